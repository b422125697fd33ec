#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace zk::core {

// Stored and exchanged as a plain i32 (BeamformingParameters::algorithm, map files); these name the ids.
enum class BeamformingAlgorithm : std::int32_t {
    kDas = 1,
    kFunctional = 2,
    kMvdr = 3,
    kRobustCapon = 4,
    kMusic = 5,
    kAutoMusic = 6,
    kOrthogonal = 7,
    kSrpPhat = 8,
    kCleanSc = 9,
    kDamas = 10,
    kDamasFista = 11,
    kNnls = 12,
    kSparseFista = 13,
    kSbl = 14,
};

/// Short name of an algorithm id ("DAS" ... "SBL"); "Unknown" for any id outside 1..14.
const char* algorithmName(std::int32_t id);

/// Whether the maps of an algorithm hold absolute levels (power that follows the source's, shown in
/// dBFS): false for MUSIC, Auto-MUSIC, SRP-PHAT and the five deconvolutions, whose maps are normalised,
/// so only their levels relative to the peak mean anything. True for an id outside 1..14.
bool algorithmHasAbsoluteLevels(std::int32_t id);

/// One row of the parameter panel. Flags span 0..1 with step 1; integers always step by 1.
struct BeamformingParameterDescriptor {
    enum Kind : std::int32_t { kFlag = 0, kInteger = 1, kReal = 2 };

    std::string label;
    std::string key;
    std::int32_t kind = kReal;
    double minimum = 0.0;
    double maximum = 0.0;
    double defaultValue = 0.0;
    double step = 0.0;
    std::string unit;
};

/// The panel rows of one algorithm in display order; empty for an id outside 1..14.
std::vector<BeamformingParameterDescriptor> parameterDescriptors(std::int32_t id);

/// Which algorithm runs and with which settings. A plain value: writers publish new copies as
/// std::shared_ptr<const BeamformingParameters>, so readers never see a record change under them.
struct BeamformingParameters {
    std::uint64_t revision = 0;
    std::int32_t algorithm = static_cast<std::int32_t>(BeamformingAlgorithm::kDas);
    bool removeCsmDiagonal = true;
    double focusDistanceM = std::numeric_limits<double>::infinity();
    double speedOfSoundMps = 343.0;

    // Functional
    std::uint32_t functionalOrder = 20;
    double functionalEigenTolerance = 1e-10;

    // MVDR
    double mvdrLoading = 0.001;
    double mvdrFloor = 1e-12;

    // Robust Capon
    double robustCaponBaseLoading = 0.001;
    double robustCaponUncertainty = 0.05;
    double robustCaponUncertaintyGain = 1.0;
    double robustCaponFloor = 1e-12;

    // MUSIC
    std::uint32_t musicSourceCount = 2;
    double musicFloor = 1e-14;

    // Auto-MUSIC; the estimator is 1 MDL, 2 AIC, 3 eigenvalue gap.
    std::uint32_t autoMusicMaxSources = 8;
    std::uint32_t autoMusicEstimator = 1;
    double autoMusicFloor = 1e-14;
    double autoMusicEigenFloor = 1e-12;

    // Orthogonal
    std::uint32_t orthogonalMaxModes = 6;
    double orthogonalEigenThreshold = 1e-4;

    // SRP-PHAT
    double phatFloor = 1e-10;
    double phatExponent = 1.0;
    bool phatZeroDiagonal = true;

    // CLEAN-SC
    double cleanLoopGain = 0.6;
    std::uint32_t cleanMaxIterations = 20;
    double cleanStopDb = -25.0;

    // DAMAS
    std::uint32_t damasIterations = 30;
    std::uint32_t damasStride = 3;
    double damasRelaxation = 1.0;

    // DAMAS-FISTA
    std::uint32_t damasFistaIterations = 40;
    std::uint32_t damasFistaStride = 3;
    double damasFistaTolerance = 1e-4;

    // NNLS
    std::uint32_t nnlsIterations = 50;
    std::uint32_t nnlsStride = 3;
    double nnlsTolerance = 1e-4;

    // Sparse-FISTA
    std::uint32_t sparseFistaIterations = 60;
    std::uint32_t sparseFistaStride = 3;
    double sparseFistaLambdaRel = 0.02;
    double sparseFistaTolerance = 1e-4;

    // SBL
    std::uint32_t sblIterations = 15;
    std::uint32_t sblStride = 4;
    double sblNoiseRel = 0.001;
    double sblPruneRel = 1e-5;

    /// Sets a key of the selected algorithm without checking panel limits or touching revision.
    /// Flags become value >= 0.5, integers take the value truncated toward zero (-0.5 stores 0).
    /// Returns false and changes nothing for a key of another algorithm, or for an integer value that
    /// is NaN or whose truncation lies outside the u32 range.
    bool setByKey(std::string_view key, double value);

    /// Reads a key of the selected algorithm (flags as 1.0 or 0.0); false for any other key.
    bool getByKey(std::string_view key, double& value) const;

    /// The rule the engine and the analysis paths enforce, for a given microphone count.
    bool isValid(std::uint64_t channelCount) const;

    /// Compact JSON of focus distance, speed of sound and the selected algorithm's keys; the
    /// "algorithmParams" text of an AnalysisRun. Independent of the global locale.
    std::string toJson() const;
};

}  // namespace zk::core
