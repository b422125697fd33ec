#pragma once

// The one table of the beamforming algorithms: for every id its name, whether bin rotation may run it,
// whether its levels are absolute, its parameter rows (panel descriptors and the validity limits that isValid
// and the entries share), the entry that computes its map from BeamformingParameters, and for the
// deconvolution ids the solver.

#include <array>
#include <cstdint>
#include <limits>
#include <span>
#include <stdexcept>
#include <string_view>
#include <variant>
#include <vector>

#include "core/beamforming/beamformer.h"
#include "core/beamforming/beamforming_parameters.h"
#include "core/beamforming/deconvolution_solvers.h"
#include "core/beamforming/detail/source_level.h"

namespace zk::core::detail {

// What the panel offers; never enforced, the validity limits are.
struct ParameterLimits {
    double minimum = 0.0;
    double maximum = 0.0;
};

inline constexpr double kUnbounded = std::numeric_limits<double>::infinity();

// The finite values between two ends, each open or closed; an infinite end leaves that side unbounded.
// NaN and infinities are refused whatever the ends.
struct ValidityLimits {
    double lower = -kUnbounded;
    double upper = kUnbounded;
    bool lowerClosed = false;
    bool upperClosed = false;
    constexpr bool admits(double value) const {
        constexpr double kLargest = std::numeric_limits<double>::max();
        if (!(value >= -kLargest && value <= kLargest)) return false;
        return (lowerClosed ? value >= lower : value > lower) &&
               (upperClosed ? value <= upper : value < upper);
    }
};

constexpr ValidityLimits finiteAtLeast(double lower) { return {lower, kUnbounded, true, false}; }
constexpr ValidityLimits finiteAbove(double lower) { return {lower, kUnbounded, false, false}; }
constexpr ValidityLimits finiteBelow(double upper) { return {-kUnbounded, upper, false, false}; }
constexpr ValidityLimits closedRange(double lower, double upper) { return {lower, upper, true, true}; }
constexpr ValidityLimits openClosedRange(double lower, double upper) { return {lower, upper, false, true}; }
constexpr ValidityLimits openRange(double lower, double upper) { return {lower, upper, false, false}; }

using FlagField = bool BeamformingParameters::*;
using IntegerField = std::uint32_t BeamformingParameters::*;
using RealField = double BeamformingParameters::*;
// Alternative order matches the descriptor kinds: 0 flag, 1 integer, 2 real.
using ParameterField = std::variant<FlagField, IntegerField, RealField>;

// One panel row bound to its member, so descriptors, key access, JSON and validity read the same row;
// defaults come from a default-constructed record.
struct ParameterRow {
    std::string_view key;
    std::string_view label;
    ParameterLimits limits;
    double step = 0.0;
    std::string_view unit;
    ParameterField field;
    ValidityLimits validity;
};

// Row builders by kind: flags span 0 .. 1 with step 1 and integers step by 1, as the panel requires.
constexpr ParameterRow flagRow(std::string_view key, std::string_view label, FlagField field) {
    return {key, label, {0.0, 1.0}, 1.0, "", field, closedRange(0.0, 1.0)};
}
constexpr ParameterRow integerRow(std::string_view key, std::string_view label, ParameterLimits limits,
                                  IntegerField field, ValidityLimits validity) {
    return {key, label, limits, 1.0, "", field, validity};
}
// A count is valid whenever it is not 0: its panel maximum only bounds what the panel offers. What a
// count would make unbounded is bounded where it arises (the MUSIC map reduces its source count to
// M - 1, the deconvolution driver caps its coarse grid).
constexpr ParameterRow countRow(std::string_view key, std::string_view label, ParameterLimits limits,
                                IntegerField field) {
    return integerRow(key, label, limits, field, finiteAtLeast(1.0));
}
constexpr ParameterRow realRow(std::string_view key, std::string_view label, ParameterLimits limits,
                               double step, std::string_view unit, RealField field, ValidityLimits validity) {
    return {key, label, limits, step, unit, field, validity};
}

// The rows of each algorithm in panel order.
namespace parameter_rows {

using P = BeamformingParameters;

inline constexpr ParameterRow kDasRows[] = {
    flagRow("remove_csm_diagonal", "Diagonal removal", &P::removeCsmDiagonal),
};
inline constexpr ParameterRow kFunctionalRows[] = {
    countRow("functional_order", "Functional order", {1.0, 64.0}, &P::functionalOrder),
    realRow("functional_eigen_tolerance", "Eigen tolerance", {0.0, 1e-4}, 1e-11, "",
            &P::functionalEigenTolerance, finiteAtLeast(0.0)),
};
inline constexpr ParameterRow kMvdrRows[] = {
    realRow("mvdr_loading", "Diagonal loading", {0.0, 1.0}, 1e-4, "", &P::mvdrLoading, finiteAtLeast(0.0)),
    realRow("mvdr_floor", "Eigenvalue floor", {1e-15, 1e-6}, 1e-13, "", &P::mvdrFloor, finiteAbove(0.0)),
};
inline constexpr ParameterRow kRobustCaponRows[] = {
    realRow("robust_capon_base_loading", "Base loading", {0.0, 1.0}, 1e-4, "", &P::robustCaponBaseLoading,
            finiteAtLeast(0.0)),
    realRow("robust_capon_uncertainty", "Uncertainty", {0.0, 1.0}, 0.01, "", &P::robustCaponUncertainty,
            finiteAtLeast(0.0)),
    realRow("robust_capon_uncertainty_gain", "Uncertainty gain", {0.0, 10.0}, 0.1, "",
            &P::robustCaponUncertaintyGain, finiteAtLeast(0.0)),
    realRow("robust_capon_floor", "Eigenvalue floor", {1e-15, 1e-6}, 1e-13, "", &P::robustCaponFloor,
            finiteAbove(0.0)),
};
inline constexpr ParameterRow kMusicRows[] = {
    countRow("music_source_count", "Source count", {1.0, 16.0}, &P::musicSourceCount),
    realRow("music_floor", "Spectrum floor", {1e-16, 1e-8}, 1e-15, "", &P::musicFloor, finiteAbove(0.0)),
};
inline constexpr ParameterRow kAutoMusicRows[] = {
    countRow("auto_music_max_sources", "Max sources", {1.0, 32.0}, &P::autoMusicMaxSources),
    integerRow("auto_music_estimator", "Estimator (1 MDL, 2 AIC, 3 gap)", {1.0, 3.0}, &P::autoMusicEstimator,
               closedRange(1.0, 3.0)),
    realRow("auto_music_floor", "Spectrum floor", {1e-16, 1e-8}, 1e-15, "", &P::autoMusicFloor,
            finiteAbove(0.0)),
    realRow("auto_music_eigen_floor", "Eigen floor", {1e-16, 1e-8}, 1e-13, "", &P::autoMusicEigenFloor,
            finiteAbove(0.0)),
};
inline constexpr ParameterRow kOrthogonalRows[] = {
    countRow("orthogonal_max_modes", "Max modes", {1.0, 32.0}, &P::orthogonalMaxModes),
    realRow("orthogonal_eigen_threshold", "Relative eigen", {0.0, 1.0}, 1e-5, "",
            &P::orthogonalEigenThreshold, finiteAtLeast(0.0)),
};
inline constexpr ParameterRow kSrpPhatRows[] = {
    realRow("phat_floor", "PHAT floor", {1e-12, 1e-6}, 1e-11, "", &P::phatFloor, finiteAbove(0.0)),
    realRow("phat_exponent", "PHAT exponent", {0.0, 1.0}, 0.05, "", &P::phatExponent, closedRange(0.0, 1.0)),
    flagRow("phat_zero_diagonal", "PHAT zero diagonal", &P::phatZeroDiagonal),
};
inline constexpr ParameterRow kCleanScRows[] = {
    realRow("clean_loop_gain", "Loop gain", {0.05, 1.0}, 0.05, "", &P::cleanLoopGain,
            openClosedRange(0.0, 1.0)),
    countRow("clean_max_iterations", "Max iterations", {1.0, 200.0}, &P::cleanMaxIterations),
    realRow("clean_stop_db", "Stop level", {-60.0, -5.0}, 1.0, "dB", &P::cleanStopDb, finiteBelow(0.0)),
};
inline constexpr ParameterRow kDamasRows[] = {
    countRow("damas_iterations", "Iterations", {1.0, 500.0}, &P::damasIterations),
    countRow("damas_stride", "Grid stride", {1.0, 8.0}, &P::damasStride),
    realRow("damas_relaxation", "Relaxation", {0.05, 2.0}, 0.05, "", &P::damasRelaxation,
            openClosedRange(0.0, 2.0)),
};
inline constexpr ParameterRow kDamasFistaRows[] = {
    countRow("damas_fista_iterations", "Iterations", {1.0, 500.0}, &P::damasFistaIterations),
    countRow("damas_fista_stride", "Grid stride", {1.0, 8.0}, &P::damasFistaStride),
    realRow("damas_fista_tolerance", "Tolerance", {1e-6, 0.01}, 1e-5, "", &P::damasFistaTolerance,
            finiteAbove(0.0)),
};
inline constexpr ParameterRow kNnlsRows[] = {
    countRow("nnls_iterations", "Iterations", {1.0, 500.0}, &P::nnlsIterations),
    countRow("nnls_stride", "Grid stride", {1.0, 8.0}, &P::nnlsStride),
    realRow("nnls_tolerance", "Tolerance", {1e-6, 0.01}, 1e-5, "", &P::nnlsTolerance, finiteAbove(0.0)),
};
inline constexpr ParameterRow kSparseFistaRows[] = {
    countRow("sparse_fista_iterations", "Iterations", {1.0, 500.0}, &P::sparseFistaIterations),
    countRow("sparse_fista_stride", "Grid stride", {1.0, 8.0}, &P::sparseFistaStride),
    realRow("sparse_fista_lambda_rel", "Lambda (rel)", {0.0, 0.5}, 0.005, "", &P::sparseFistaLambdaRel,
            finiteAtLeast(0.0)),
    realRow("sparse_fista_tolerance", "Tolerance", {1e-6, 0.01}, 1e-5, "", &P::sparseFistaTolerance,
            finiteAbove(0.0)),
};
// The panel starts the SBL stride at 2; a stride of 1 is still valid.
inline constexpr ParameterRow kSblRows[] = {
    countRow("sbl_iterations", "Iterations", {1.0, 100.0}, &P::sblIterations),
    countRow("sbl_stride", "Grid stride", {2.0, 8.0}, &P::sblStride),
    realRow("sbl_noise_rel", "Noise (rel)", {1e-5, 0.1}, 1e-4, "", &P::sblNoiseRel, finiteAbove(0.0)),
    realRow("sbl_prune_rel", "Prune (rel)", {1e-7, 0.01}, 1e-6, "", &P::sblPruneRel, openRange(0.0, 1.0)),
};

}  // namespace parameter_rows

// Validity limits of one row; a key the rows do not hold fails constant evaluation, so a misspelt key
// in a constexpr use does not compile.
constexpr ValidityLimits validityIn(std::span<const ParameterRow> rows, std::string_view key) {
    for (const ParameterRow& row : rows) {
        if (row.key == key) return row.validity;
    }
    throw std::logic_error("unknown beamforming parameter key");
}

// The most passes a solver makes: the panel offers up to 500, and each pass over the coarse grid costs
// up to n^2 (n^3 for SBL), so a count far beyond that, valid as a record, would never return.
inline constexpr double kMaxSolverIterations = 10000.0;

// The validity limits of a solver's iteration count: those of its row, at most kMaxSolverIterations.
constexpr ValidityLimits solverIterations(std::span<const ParameterRow> rows, std::string_view key) {
    ValidityLimits limits = validityIn(rows, key);
    limits.upper = kMaxSolverIterations;
    limits.upperClosed = true;
    return limits;
}

// What a deconvolution id adds: the validity limits of its iteration count and stride (refused with
// "invalid deconvolution parameters"), of its one or two real values (refused with `message`), and its
// solver.
struct DeconvolutionSolver {
    ValidityLimits iterations;
    ValidityLimits stride;
    ValidityLimits first;
    bool hasSecond = false;
    ValidityLimits second;
    const char* message = "";
    std::vector<double> (*solve)(std::span<const double> pointSpread, std::span<const double> b,
                                 std::uint32_t iterations, double first, double second) = nullptr;
};

inline constexpr DeconvolutionSolver kDamasSolver{
    solverIterations(parameter_rows::kDamasRows, "damas_iterations"),
    validityIn(parameter_rows::kDamasRows, "damas_stride"),
    validityIn(parameter_rows::kDamasRows, "damas_relaxation"),
    false,
    {},
    "invalid DAMAS relaxation",
    [](std::span<const double> p, std::span<const double> b, std::uint32_t n, double w, double) {
        return damasSolve(p, b, n, w);
    }};
inline constexpr DeconvolutionSolver kDamasFistaSolver{
    solverIterations(parameter_rows::kDamasFistaRows, "damas_fista_iterations"),
    validityIn(parameter_rows::kDamasFistaRows, "damas_fista_stride"),
    validityIn(parameter_rows::kDamasFistaRows, "damas_fista_tolerance"),
    false,
    {},
    "invalid DAMAS-FISTA tolerance",
    [](std::span<const double> p, std::span<const double> b, std::uint32_t n, double tol, double) {
        return damasFistaSolve(p, b, n, tol);
    }};
inline constexpr DeconvolutionSolver kNnlsSolver{
    solverIterations(parameter_rows::kNnlsRows, "nnls_iterations"),
    validityIn(parameter_rows::kNnlsRows, "nnls_stride"),
    validityIn(parameter_rows::kNnlsRows, "nnls_tolerance"),
    false,
    {},
    "invalid NNLS tolerance",
    [](std::span<const double> p, std::span<const double> b, std::uint32_t n, double tol, double) {
        return nnlsSolve(p, b, n, tol);
    }};
inline constexpr DeconvolutionSolver kSparseFistaSolver{
    solverIterations(parameter_rows::kSparseFistaRows, "sparse_fista_iterations"),
    validityIn(parameter_rows::kSparseFistaRows, "sparse_fista_stride"),
    validityIn(parameter_rows::kSparseFistaRows, "sparse_fista_lambda_rel"),
    true,
    validityIn(parameter_rows::kSparseFistaRows, "sparse_fista_tolerance"),
    "invalid Sparse-FISTA parameters",
    [](std::span<const double> p, std::span<const double> b, std::uint32_t n, double lambda, double tol) {
        return sparseFistaSolve(p, b, n, lambda, tol);
    }};
inline constexpr DeconvolutionSolver kSblSolver{
    solverIterations(parameter_rows::kSblRows, "sbl_iterations"),
    validityIn(parameter_rows::kSblRows, "sbl_stride"),
    validityIn(parameter_rows::kSblRows, "sbl_noise_rel"),
    true,
    validityIn(parameter_rows::kSblRows, "sbl_prune_rel"),
    "invalid SBL parameters",
    [](std::span<const double> p, std::span<const double> b, std::uint32_t n, double noise, double prune) {
        return sblSolve(p, b, n, noise, prune);
    }};

// The map of one algorithm over the given bins on the given grid, with the settings of the record
// (snapshotCount is read by Auto-MUSIC only).
using MapEntry = HeatmapGrid (*)(const Beamformer& beamformer, std::span<const MatrixRows> matrices,
                                 std::span<const double> frequencies, const BeamformingParameters& p,
                                 std::uint64_t snapshotCount, const CameraGridSpec& grid);

struct AlgorithmEntry {
    std::int32_t id = 0;
    const char* name = "";
    bool rotatable = false;
    // The map's peak reads the source's level (dBFS); false for maps normalised per bin (MUSIC), whitened
    // (SRP-PHAT) or scaled to the DAS peak (the deconvolutions), and for the Capon pair: its peak is
    // p / (1 + S (1 - rho)) for a wave of power p that the steering misses by 1 - rho of the beam
    // pattern, S = pM over the loading, so an off-bin tone or a source half a cell off costs decibels
    // (MVDR 5 to 36 dB, Robust Capon up to 11 dB on the 128-microphone array at 8 kHz).
    bool absoluteLevels = true;
    std::span<const ParameterRow> parameters;
    MapEntry map = nullptr;
    const DeconvolutionSolver* deconvolution = nullptr;
};

inline constexpr std::array<AlgorithmEntry, 14> kAlgorithms{{
    {1, "DAS", false, true, parameter_rows::kDasRows,
     [](const auto& b, auto m, auto f, const auto& p, std::uint64_t, const auto& g) {
         return b.broadbandDas(m, f, g, p.removeCsmDiagonal);
     }},
    {2, "Functional", true, true, parameter_rows::kFunctionalRows,
     [](const auto& b, auto m, auto f, const auto& p, std::uint64_t, const auto& g) {
         return atSourceLevel(b.functionalMap(m, f, p.functionalOrder, p.functionalEigenTolerance, g),
                              eigenSourceGain(b.microphoneCount()));
     }},
    {3, "MVDR", true, false, parameter_rows::kMvdrRows,
     [](const auto& b, auto m, auto f, const auto& p, std::uint64_t, const auto& g) {
         return atSourceLevel(b.mvdrMap(m, f, p.mvdrLoading, p.mvdrFloor, g),
                              caponSourceGain(b.microphoneCount(), p.mvdrLoading, 0.0, 0.0));
     }},
    {4, "RobustCapon", true, false, parameter_rows::kRobustCaponRows,
     [](const auto& b, auto m, auto f, const auto& p, std::uint64_t, const auto& g) {
         return atSourceLevel(b.robustCaponMap(m, f, p.robustCaponBaseLoading, p.robustCaponUncertainty,
                                               p.robustCaponUncertaintyGain, p.robustCaponFloor, g),
                              caponSourceGain(b.microphoneCount(), p.robustCaponBaseLoading,
                                              p.robustCaponUncertainty, p.robustCaponUncertaintyGain));
     }},
    {5, "MUSIC", true, false, parameter_rows::kMusicRows,
     [](const auto& b, auto m, auto f, const auto& p, std::uint64_t, const auto& g) {
         return b.fixedMusicMap(m, f, p.musicSourceCount, p.musicFloor, g);
     }},
    {6, "AutoMUSIC", true, false, parameter_rows::kAutoMusicRows,
     [](const auto& b, auto m, auto f, const auto& p, std::uint64_t snapshots, const auto& g) {
         return b.autoMusicMap(m, f, snapshots, p.autoMusicMaxSources, p.autoMusicEstimator, p.autoMusicFloor,
                               p.autoMusicEigenFloor, g);
     }},
    {7, "Orthogonal", true, true, parameter_rows::kOrthogonalRows,
     [](const auto& b, auto m, auto f, const auto& p, std::uint64_t, const auto& g) {
         return atSourceLevel(b.orthogonalMap(m, f, p.orthogonalMaxModes, p.orthogonalEigenThreshold, g),
                              eigenSourceGain(b.microphoneCount()));
     }},
    {8, "SRP-PHAT", true, false, parameter_rows::kSrpPhatRows,
     [](const auto& b, auto m, auto f, const auto& p, std::uint64_t, const auto& g) {
         return b.srpPhatMap(m, f, p.phatFloor, p.phatExponent, p.phatZeroDiagonal, g);
     }},
    {9, "CLEAN-SC", false, true, parameter_rows::kCleanScRows,
     [](const auto& b, auto m, auto f, const auto& p, std::uint64_t, const auto& g) {
         return b.cleanScMap(m, f, p.cleanLoopGain, p.cleanMaxIterations, p.cleanStopDb, g);
     }},
    {10, "DAMAS", false, false, parameter_rows::kDamasRows,
     [](const auto& b, auto m, auto f, const auto& p, std::uint64_t, const auto& g) {
         return b.damasMap(m, f, p.damasIterations, p.damasStride, p.damasRelaxation, g);
     },
     &kDamasSolver},
    {11, "DAMAS-FISTA", false, false, parameter_rows::kDamasFistaRows,
     [](const auto& b, auto m, auto f, const auto& p, std::uint64_t, const auto& g) {
         return b.damasFistaMap(m, f, p.damasFistaIterations, p.damasFistaStride, p.damasFistaTolerance, g);
     },
     &kDamasFistaSolver},
    {12, "NNLS", false, false, parameter_rows::kNnlsRows,
     [](const auto& b, auto m, auto f, const auto& p, std::uint64_t, const auto& g) {
         return b.nnlsMap(m, f, p.nnlsIterations, p.nnlsStride, p.nnlsTolerance, g);
     },
     &kNnlsSolver},
    {13, "Sparse-FISTA", false, false, parameter_rows::kSparseFistaRows,
     [](const auto& b, auto m, auto f, const auto& p, std::uint64_t, const auto& g) {
         return b.sparseFistaMap(m, f, p.sparseFistaIterations, p.sparseFistaStride, p.sparseFistaLambdaRel,
                                 p.sparseFistaTolerance, g);
     },
     &kSparseFistaSolver},
    {14, "SBL", false, false, parameter_rows::kSblRows,
     [](const auto& b, auto m, auto f, const auto& p, std::uint64_t, const auto& g) {
         return b.sblMap(m, f, p.sblIterations, p.sblStride, p.sblNoiseRel, p.sblPruneRel, g);
     },
     &kSblSolver},
}};

// The entry of an id, or nullptr outside 1..14.
constexpr const AlgorithmEntry* findAlgorithm(std::int32_t id) {
    for (const AlgorithmEntry& entry : kAlgorithms) {
        if (entry.id == id) return &entry;
    }
    return nullptr;
}

// The validity limits of a key of an algorithm, for the entries' own checks (evaluated at compile time
// there). Searches without comparing element pointers, which GCC cannot fold in sanitizer builds.
constexpr ValidityLimits validityLimits(BeamformingAlgorithm algorithm, std::string_view key) {
    for (const AlgorithmEntry& entry : kAlgorithms) {
        if (entry.id == static_cast<std::int32_t>(algorithm)) return validityIn(entry.parameters, key);
    }
    throw std::logic_error("unknown beamforming algorithm");
}

}  // namespace zk::core::detail
