#pragma once

// The one table of the beamforming algorithms: for every id its name, whether bin rotation may run it,
// its parameter rows (panel descriptors and the validity limits that isValid and the entries share),
// the entry that computes its map from BeamformingParameters, and for the deconvolution ids the solver.

#include <array>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string_view>
#include <variant>
#include <vector>

#include "core/beamforming/beamformer.h"
#include "core/beamforming/beamforming_parameters.h"
#include "core/beamforming/deconvolution_solvers.h"

namespace zk::core::detail {

// Inclusive on both ends; the comparisons refuse NaN and, the limits being finite, infinities too.
struct ParameterLimits {
    double minimum = 0.0;
    double maximum = 0.0;
    constexpr bool admits(double value) const { return value >= minimum && value <= maximum; }
};

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
};

// The rows of each algorithm in panel order.
namespace parameter_rows {

using P = BeamformingParameters;

inline constexpr ParameterRow kDasRows[] = {
    {"remove_csm_diagonal", "Diagonal removal", {0.0, 1.0}, 1.0, "", &P::removeCsmDiagonal},
};
inline constexpr ParameterRow kFunctionalRows[] = {
    {"functional_order", "Functional order", {1.0, 64.0}, 1.0, "", &P::functionalOrder},
    {"functional_eigen_tolerance", "Eigen tolerance", {0.0, 1e-4}, 1e-11, "", &P::functionalEigenTolerance},
};
inline constexpr ParameterRow kMvdrRows[] = {
    {"mvdr_loading", "Diagonal loading", {0.0, 1.0}, 1e-4, "", &P::mvdrLoading},
    {"mvdr_floor", "Eigenvalue floor", {1e-15, 1e-6}, 1e-13, "", &P::mvdrFloor},
};
inline constexpr ParameterRow kRobustCaponRows[] = {
    {"robust_capon_base_loading", "Base loading", {0.0, 1.0}, 1e-4, "", &P::robustCaponBaseLoading},
    {"robust_capon_uncertainty", "Uncertainty", {0.0, 1.0}, 0.01, "", &P::robustCaponUncertainty},
    {"robust_capon_uncertainty_gain",
     "Uncertainty gain",
     {0.0, 10.0},
     0.1,
     "",
     &P::robustCaponUncertaintyGain},
    {"robust_capon_floor", "Eigenvalue floor", {1e-15, 1e-6}, 1e-13, "", &P::robustCaponFloor},
};
inline constexpr ParameterRow kMusicRows[] = {
    {"music_source_count", "Source count", {1.0, 16.0}, 1.0, "", &P::musicSourceCount},
    {"music_floor", "Spectrum floor", {1e-16, 1e-8}, 1e-15, "", &P::musicFloor},
};
inline constexpr ParameterRow kAutoMusicRows[] = {
    {"auto_music_max_sources", "Max sources", {1.0, 32.0}, 1.0, "", &P::autoMusicMaxSources},
    {"auto_music_estimator", "Estimator (1 MDL, 2 AIC, 3 gap)", {1.0, 3.0}, 1.0, "", &P::autoMusicEstimator},
    {"auto_music_floor", "Spectrum floor", {1e-16, 1e-8}, 1e-15, "", &P::autoMusicFloor},
    {"auto_music_eigen_floor", "Eigen floor", {1e-16, 1e-8}, 1e-13, "", &P::autoMusicEigenFloor},
};
inline constexpr ParameterRow kOrthogonalRows[] = {
    {"orthogonal_max_modes", "Max modes", {1.0, 32.0}, 1.0, "", &P::orthogonalMaxModes},
    {"orthogonal_eigen_threshold", "Relative eigen", {0.0, 1.0}, 1e-5, "", &P::orthogonalEigenThreshold},
};
inline constexpr ParameterRow kSrpPhatRows[] = {
    {"phat_floor", "PHAT floor", {1e-12, 1e-6}, 1e-11, "", &P::phatFloor},
    {"phat_exponent", "PHAT exponent", {0.0, 1.0}, 0.05, "", &P::phatExponent},
    {"phat_zero_diagonal", "PHAT zero diagonal", {0.0, 1.0}, 1.0, "", &P::phatZeroDiagonal},
};
inline constexpr ParameterRow kCleanScRows[] = {
    {"clean_loop_gain", "Loop gain", {0.05, 1.0}, 0.05, "", &P::cleanLoopGain},
    {"clean_max_iterations", "Max iterations", {1.0, 200.0}, 1.0, "", &P::cleanMaxIterations},
    {"clean_stop_db", "Stop level", {-60.0, -5.0}, 1.0, "dB", &P::cleanStopDb},
};
inline constexpr ParameterRow kDamasRows[] = {
    {"damas_iterations", "Iterations", {1.0, 500.0}, 1.0, "", &P::damasIterations},
    {"damas_stride", "Grid stride", {1.0, 8.0}, 1.0, "", &P::damasStride},
    {"damas_relaxation", "Relaxation", {0.05, 2.0}, 0.05, "", &P::damasRelaxation},
};
inline constexpr ParameterRow kDamasFistaRows[] = {
    {"damas_fista_iterations", "Iterations", {1.0, 500.0}, 1.0, "", &P::damasFistaIterations},
    {"damas_fista_stride", "Grid stride", {1.0, 8.0}, 1.0, "", &P::damasFistaStride},
    {"damas_fista_tolerance", "Tolerance", {1e-6, 0.01}, 1e-5, "", &P::damasFistaTolerance},
};
inline constexpr ParameterRow kNnlsRows[] = {
    {"nnls_iterations", "Iterations", {1.0, 500.0}, 1.0, "", &P::nnlsIterations},
    {"nnls_stride", "Grid stride", {1.0, 8.0}, 1.0, "", &P::nnlsStride},
    {"nnls_tolerance", "Tolerance", {1e-6, 0.01}, 1e-5, "", &P::nnlsTolerance},
};
inline constexpr ParameterRow kSparseFistaRows[] = {
    {"sparse_fista_iterations", "Iterations", {1.0, 500.0}, 1.0, "", &P::sparseFistaIterations},
    {"sparse_fista_stride", "Grid stride", {1.0, 8.0}, 1.0, "", &P::sparseFistaStride},
    {"sparse_fista_lambda_rel", "Lambda (rel)", {0.0, 0.5}, 0.005, "", &P::sparseFistaLambdaRel},
    {"sparse_fista_tolerance", "Tolerance", {1e-6, 0.01}, 1e-5, "", &P::sparseFistaTolerance},
};
inline constexpr ParameterRow kSblRows[] = {
    {"sbl_iterations", "Iterations", {1.0, 100.0}, 1.0, "", &P::sblIterations},
    {"sbl_stride", "Grid stride", {2.0, 8.0}, 1.0, "", &P::sblStride},
    {"sbl_noise_rel", "Noise (rel)", {1e-5, 0.1}, 1e-4, "", &P::sblNoiseRel},
    {"sbl_prune_rel", "Prune (rel)", {1e-7, 0.01}, 1e-6, "", &P::sblPruneRel},
};

}  // namespace parameter_rows

// Limits of one row; a key the rows do not hold fails constant evaluation, so a misspelt key in a
// constexpr use does not compile.
constexpr ParameterLimits limitsIn(std::span<const ParameterRow> rows, std::string_view key) {
    for (const ParameterRow& row : rows) {
        if (row.key == key) return row.limits;
    }
    throw std::logic_error("unknown beamforming parameter key");
}

// What a deconvolution id adds: the limits of its iteration count and stride (refused with "invalid
// deconvolution parameters"), of its one or two real values (refused with `message`), and its solver.
struct DeconvolutionSolver {
    ParameterLimits iterations;
    ParameterLimits stride;
    ParameterLimits first;
    bool hasSecond = false;
    ParameterLimits second;
    const char* message = "";
    std::vector<double> (*solve)(std::span<const double> pointSpread, std::span<const double> b,
                                 std::uint32_t iterations, double first, double second) = nullptr;
};

inline constexpr DeconvolutionSolver kDamasSolver{
    limitsIn(parameter_rows::kDamasRows, "damas_iterations"),
    limitsIn(parameter_rows::kDamasRows, "damas_stride"),
    limitsIn(parameter_rows::kDamasRows, "damas_relaxation"),
    false,
    {},
    "invalid DAMAS relaxation",
    [](std::span<const double> p, std::span<const double> b, std::uint32_t n, double w, double) {
        return damasSolve(p, b, n, w);
    }};
inline constexpr DeconvolutionSolver kDamasFistaSolver{
    limitsIn(parameter_rows::kDamasFistaRows, "damas_fista_iterations"),
    limitsIn(parameter_rows::kDamasFistaRows, "damas_fista_stride"),
    limitsIn(parameter_rows::kDamasFistaRows, "damas_fista_tolerance"),
    false,
    {},
    "invalid DAMAS-FISTA tolerance",
    [](std::span<const double> p, std::span<const double> b, std::uint32_t n, double tol, double) {
        return damasFistaSolve(p, b, n, tol);
    }};
inline constexpr DeconvolutionSolver kNnlsSolver{
    limitsIn(parameter_rows::kNnlsRows, "nnls_iterations"),
    limitsIn(parameter_rows::kNnlsRows, "nnls_stride"),
    limitsIn(parameter_rows::kNnlsRows, "nnls_tolerance"),
    false,
    {},
    "invalid NNLS tolerance",
    [](std::span<const double> p, std::span<const double> b, std::uint32_t n, double tol, double) {
        return nnlsSolve(p, b, n, tol);
    }};
inline constexpr DeconvolutionSolver kSparseFistaSolver{
    limitsIn(parameter_rows::kSparseFistaRows, "sparse_fista_iterations"),
    limitsIn(parameter_rows::kSparseFistaRows, "sparse_fista_stride"),
    limitsIn(parameter_rows::kSparseFistaRows, "sparse_fista_lambda_rel"),
    true,
    limitsIn(parameter_rows::kSparseFistaRows, "sparse_fista_tolerance"),
    "invalid Sparse-FISTA parameters",
    [](std::span<const double> p, std::span<const double> b, std::uint32_t n, double lambda, double tol) {
        return sparseFistaSolve(p, b, n, lambda, tol);
    }};
inline constexpr DeconvolutionSolver kSblSolver{
    limitsIn(parameter_rows::kSblRows, "sbl_iterations"),
    limitsIn(parameter_rows::kSblRows, "sbl_stride"),
    limitsIn(parameter_rows::kSblRows, "sbl_noise_rel"),
    true,
    limitsIn(parameter_rows::kSblRows, "sbl_prune_rel"),
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
    std::span<const ParameterRow> parameters;
    MapEntry map = nullptr;
    const DeconvolutionSolver* deconvolution = nullptr;
};

inline constexpr std::array<AlgorithmEntry, 14> kAlgorithms{{
    {1, "DAS", false, parameter_rows::kDasRows,
     [](const auto& b, auto m, auto f, const auto& p, std::uint64_t, const auto& g) {
         return b.broadbandDas(m, f, g, p.removeCsmDiagonal);
     }},
    {2, "Functional", true, parameter_rows::kFunctionalRows,
     [](const auto& b, auto m, auto f, const auto& p, std::uint64_t, const auto& g) {
         return b.functionalMap(m, f, p.functionalOrder, p.functionalEigenTolerance, g);
     }},
    {3, "MVDR", true, parameter_rows::kMvdrRows,
     [](const auto& b, auto m, auto f, const auto& p, std::uint64_t, const auto& g) {
         return b.mvdrMap(m, f, p.mvdrLoading, p.mvdrFloor, g);
     }},
    {4, "RobustCapon", true, parameter_rows::kRobustCaponRows,
     [](const auto& b, auto m, auto f, const auto& p, std::uint64_t, const auto& g) {
         return b.robustCaponMap(m, f, p.robustCaponBaseLoading, p.robustCaponUncertainty,
                                 p.robustCaponUncertaintyGain, p.robustCaponFloor, g);
     }},
    {5, "MUSIC", true, parameter_rows::kMusicRows,
     [](const auto& b, auto m, auto f, const auto& p, std::uint64_t, const auto& g) {
         return b.fixedMusicMap(m, f, p.musicSourceCount, p.musicFloor, g);
     }},
    {6, "AutoMUSIC", true, parameter_rows::kAutoMusicRows,
     [](const auto& b, auto m, auto f, const auto& p, std::uint64_t snapshots, const auto& g) {
         return b.autoMusicMap(m, f, snapshots, p.autoMusicMaxSources, p.autoMusicEstimator, p.autoMusicFloor,
                               p.autoMusicEigenFloor, g);
     }},
    {7, "Orthogonal", true, parameter_rows::kOrthogonalRows,
     [](const auto& b, auto m, auto f, const auto& p, std::uint64_t, const auto& g) {
         return b.orthogonalMap(m, f, p.orthogonalMaxModes, p.orthogonalEigenThreshold, g);
     }},
    {8, "SRP-PHAT", true, parameter_rows::kSrpPhatRows,
     [](const auto& b, auto m, auto f, const auto& p, std::uint64_t, const auto& g) {
         return b.srpPhatMap(m, f, p.phatFloor, p.phatExponent, p.phatZeroDiagonal, g);
     }},
    {9, "CLEAN-SC", false, parameter_rows::kCleanScRows,
     [](const auto& b, auto m, auto f, const auto& p, std::uint64_t, const auto& g) {
         return b.cleanScMap(m, f, p.cleanLoopGain, p.cleanMaxIterations, p.cleanStopDb, g);
     }},
    {10, "DAMAS", false, parameter_rows::kDamasRows,
     [](const auto& b, auto m, auto f, const auto& p, std::uint64_t, const auto& g) {
         return b.damasMap(m, f, p.damasIterations, p.damasStride, p.damasRelaxation, g);
     },
     &kDamasSolver},
    {11, "DAMAS-FISTA", false, parameter_rows::kDamasFistaRows,
     [](const auto& b, auto m, auto f, const auto& p, std::uint64_t, const auto& g) {
         return b.damasFistaMap(m, f, p.damasFistaIterations, p.damasFistaStride, p.damasFistaTolerance, g);
     },
     &kDamasFistaSolver},
    {12, "NNLS", false, parameter_rows::kNnlsRows,
     [](const auto& b, auto m, auto f, const auto& p, std::uint64_t, const auto& g) {
         return b.nnlsMap(m, f, p.nnlsIterations, p.nnlsStride, p.nnlsTolerance, g);
     },
     &kNnlsSolver},
    {13, "Sparse-FISTA", false, parameter_rows::kSparseFistaRows,
     [](const auto& b, auto m, auto f, const auto& p, std::uint64_t, const auto& g) {
         return b.sparseFistaMap(m, f, p.sparseFistaIterations, p.sparseFistaStride, p.sparseFistaLambdaRel,
                                 p.sparseFistaTolerance, g);
     },
     &kSparseFistaSolver},
    {14, "SBL", false, parameter_rows::kSblRows,
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

// The limits of a key of an algorithm, for the entries' own checks (evaluated at compile time there).
// Searches without comparing element pointers, which GCC cannot fold in sanitizer builds.
constexpr ParameterLimits parameterLimits(BeamformingAlgorithm algorithm, std::string_view key) {
    for (const AlgorithmEntry& entry : kAlgorithms) {
        if (entry.id == static_cast<std::int32_t>(algorithm)) return limitsIn(entry.parameters, key);
    }
    throw std::logic_error("unknown beamforming algorithm");
}

}  // namespace zk::core::detail
