#include "core/beamforming/beamforming_parameters.h"

#include <array>
#include <cmath>
#include <locale>
#include <sstream>
#include <variant>

namespace zk::core {

namespace {

using FlagField = bool BeamformingParameters::*;
using IntegerField = std::uint32_t BeamformingParameters::*;
using RealField = double BeamformingParameters::*;
// Alternative order matches the descriptor kinds: 0 flag, 1 integer, 2 real.
using Field = std::variant<FlagField, IntegerField, RealField>;

// One row binds a key to its member, so descriptors, key access and JSON read the same table; the
// defaults come from a default-constructed record rather than from a second copy here.
struct ParameterEntry {
    std::int32_t algorithm;
    std::string_view key;
    std::string_view label;
    double minimum;
    double maximum;
    double step;
    std::string_view unit;
    Field field;
};

using P = BeamformingParameters;

constexpr std::array<ParameterEntry, 40> kParameterTable{{
    {1, "remove_csm_diagonal", "Diagonal removal", 0.0, 1.0, 1.0, "", &P::removeCsmDiagonal},
    {2, "functional_order", "Functional order", 1.0, 64.0, 1.0, "", &P::functionalOrder},
    {2, "functional_eigen_tolerance", "Eigen tolerance", 0.0, 1e-4, 1e-11, "", &P::functionalEigenTolerance},
    {3, "mvdr_loading", "Diagonal loading", 0.0, 1.0, 1e-4, "", &P::mvdrLoading},
    {3, "mvdr_floor", "Eigenvalue floor", 1e-15, 1e-6, 1e-13, "", &P::mvdrFloor},
    {4, "robust_capon_base_loading", "Base loading", 0.0, 1.0, 1e-4, "", &P::robustCaponBaseLoading},
    {4, "robust_capon_uncertainty", "Uncertainty", 0.0, 1.0, 0.01, "", &P::robustCaponUncertainty},
    {4, "robust_capon_uncertainty_gain", "Uncertainty gain", 0.0, 10.0, 0.1, "",
     &P::robustCaponUncertaintyGain},
    {4, "robust_capon_floor", "Eigenvalue floor", 1e-15, 1e-6, 1e-13, "", &P::robustCaponFloor},
    {5, "music_source_count", "Source count", 1.0, 16.0, 1.0, "", &P::musicSourceCount},
    {5, "music_floor", "Spectrum floor", 1e-16, 1e-8, 1e-15, "", &P::musicFloor},
    {6, "auto_music_max_sources", "Max sources", 1.0, 32.0, 1.0, "", &P::autoMusicMaxSources},
    {6, "auto_music_estimator", "Estimator (1 MDL, 2 AIC, 3 gap)", 1.0, 3.0, 1.0, "", &P::autoMusicEstimator},
    {6, "auto_music_floor", "Spectrum floor", 1e-16, 1e-8, 1e-15, "", &P::autoMusicFloor},
    {6, "auto_music_eigen_floor", "Eigen floor", 1e-16, 1e-8, 1e-13, "", &P::autoMusicEigenFloor},
    {7, "orthogonal_max_modes", "Max modes", 1.0, 32.0, 1.0, "", &P::orthogonalMaxModes},
    {7, "orthogonal_eigen_threshold", "Relative eigen", 0.0, 1.0, 1e-5, "", &P::orthogonalEigenThreshold},
    {8, "phat_floor", "PHAT floor", 1e-12, 1e-6, 1e-11, "", &P::phatFloor},
    {8, "phat_exponent", "PHAT exponent", 0.0, 1.0, 0.05, "", &P::phatExponent},
    {8, "phat_zero_diagonal", "PHAT zero diagonal", 0.0, 1.0, 1.0, "", &P::phatZeroDiagonal},
    {9, "clean_loop_gain", "Loop gain", 0.05, 1.0, 0.05, "", &P::cleanLoopGain},
    {9, "clean_max_iterations", "Max iterations", 1.0, 200.0, 1.0, "", &P::cleanMaxIterations},
    {9, "clean_stop_db", "Stop level", -60.0, -5.0, 1.0, "dB", &P::cleanStopDb},
    {10, "damas_iterations", "Iterations", 1.0, 500.0, 1.0, "", &P::damasIterations},
    {10, "damas_stride", "Grid stride", 1.0, 8.0, 1.0, "", &P::damasStride},
    {10, "damas_relaxation", "Relaxation", 0.05, 2.0, 0.05, "", &P::damasRelaxation},
    {11, "damas_fista_iterations", "Iterations", 1.0, 500.0, 1.0, "", &P::damasFistaIterations},
    {11, "damas_fista_stride", "Grid stride", 1.0, 8.0, 1.0, "", &P::damasFistaStride},
    {11, "damas_fista_tolerance", "Tolerance", 1e-6, 0.01, 1e-5, "", &P::damasFistaTolerance},
    {12, "nnls_iterations", "Iterations", 1.0, 500.0, 1.0, "", &P::nnlsIterations},
    {12, "nnls_stride", "Grid stride", 1.0, 8.0, 1.0, "", &P::nnlsStride},
    {12, "nnls_tolerance", "Tolerance", 1e-6, 0.01, 1e-5, "", &P::nnlsTolerance},
    {13, "sparse_fista_iterations", "Iterations", 1.0, 500.0, 1.0, "", &P::sparseFistaIterations},
    {13, "sparse_fista_stride", "Grid stride", 1.0, 8.0, 1.0, "", &P::sparseFistaStride},
    {13, "sparse_fista_lambda_rel", "Lambda (rel)", 0.0, 0.5, 0.005, "", &P::sparseFistaLambdaRel},
    {13, "sparse_fista_tolerance", "Tolerance", 1e-6, 0.01, 1e-5, "", &P::sparseFistaTolerance},
    {14, "sbl_iterations", "Iterations", 1.0, 100.0, 1.0, "", &P::sblIterations},
    {14, "sbl_stride", "Grid stride", 2.0, 8.0, 1.0, "", &P::sblStride},
    {14, "sbl_noise_rel", "Noise (rel)", 1e-5, 0.1, 1e-4, "", &P::sblNoiseRel},
    {14, "sbl_prune_rel", "Prune (rel)", 1e-7, 0.01, 1e-6, "", &P::sblPruneRel},
}};

template <class... Fs>
struct Overloaded : Fs... {
    using Fs::operator()...;
};

const ParameterEntry* findEntry(std::int32_t algorithm, std::string_view key) {
    for (const ParameterEntry& entry : kParameterTable) {
        if (entry.algorithm == algorithm && entry.key == key) return &entry;
    }
    return nullptr;
}

double readField(const BeamformingParameters& p, const Field& field) {
    return std::visit(Overloaded{
                          [&](FlagField f) { return p.*f ? 1.0 : 0.0; },
                          [&](IntegerField f) { return static_cast<double>(p.*f); },
                          [&](RealField f) { return p.*f; },
                      },
                      field);
}

bool finiteAtLeastZero(double v) { return std::isfinite(v) && v >= 0.0; }
bool finitePositive(double v) { return std::isfinite(v) && v > 0.0; }

bool algorithmBlockValid(const BeamformingParameters& p) {
    switch (p.algorithm) {
        case 1:
            return true;
        case 2:
            return p.functionalOrder != 0 && finiteAtLeastZero(p.functionalEigenTolerance);
        case 3:
            return finiteAtLeastZero(p.mvdrLoading) && finitePositive(p.mvdrFloor);
        case 4:
            return finiteAtLeastZero(p.robustCaponBaseLoading) &&
                   finiteAtLeastZero(p.robustCaponUncertainty) &&
                   finiteAtLeastZero(p.robustCaponUncertaintyGain) && finitePositive(p.robustCaponFloor);
        case 5:
            return p.musicSourceCount != 0 && finitePositive(p.musicFloor);
        case 6:
            return p.autoMusicMaxSources != 0 && p.autoMusicEstimator >= 1 && p.autoMusicEstimator <= 3 &&
                   finitePositive(p.autoMusicFloor) && finitePositive(p.autoMusicEigenFloor);
        case 7:
            return p.orthogonalMaxModes != 0 && finiteAtLeastZero(p.orthogonalEigenThreshold);
        case 8:
            return finitePositive(p.phatFloor) && finiteAtLeastZero(p.phatExponent) && p.phatExponent <= 1.0;
        case 9:
            return finitePositive(p.cleanLoopGain) && p.cleanLoopGain <= 1.0 && p.cleanMaxIterations != 0 &&
                   std::isfinite(p.cleanStopDb) && p.cleanStopDb < 0.0;
        case 10:
            return p.damasIterations != 0 && p.damasStride != 0 && finitePositive(p.damasRelaxation) &&
                   p.damasRelaxation <= 2.0;
        case 11:
            return p.damasFistaIterations != 0 && p.damasFistaStride != 0 &&
                   finitePositive(p.damasFistaTolerance);
        case 12:
            return p.nnlsIterations != 0 && p.nnlsStride != 0 && finitePositive(p.nnlsTolerance);
        case 13:
            return p.sparseFistaIterations != 0 && p.sparseFistaStride != 0 &&
                   finiteAtLeastZero(p.sparseFistaLambdaRel) && finitePositive(p.sparseFistaTolerance);
        case 14:
            return p.sblIterations != 0 && p.sblStride != 0 && finitePositive(p.sblNoiseRel) &&
                   finitePositive(p.sblPruneRel) && p.sblPruneRel < 1.0;
        default:
            return false;
    }
}

}  // namespace

const char* algorithmName(std::int32_t id) {
    static constexpr std::array<const char*, 14> kNames{
        "DAS",      "Functional", "MVDR",  "RobustCapon", "MUSIC", "AutoMUSIC",    "Orthogonal",
        "SRP-PHAT", "CLEAN-SC",   "DAMAS", "DAMAS-FISTA", "NNLS",  "Sparse-FISTA", "SBL",
    };
    if (id < 1 || id > static_cast<std::int32_t>(kNames.size())) return "Unknown";
    return kNames[static_cast<std::size_t>(id - 1)];
}

std::vector<BeamformingParameterDescriptor> parameterDescriptors(std::int32_t id) {
    const BeamformingParameters defaults;
    std::vector<BeamformingParameterDescriptor> out;
    for (const ParameterEntry& entry : kParameterTable) {
        if (entry.algorithm != id) continue;
        BeamformingParameterDescriptor d;
        d.label = entry.label;
        d.key = entry.key;
        d.kind = static_cast<std::int32_t>(entry.field.index());
        d.minimum = entry.minimum;
        d.maximum = entry.maximum;
        d.defaultValue = readField(defaults, entry.field);
        d.step = entry.step;
        d.unit = entry.unit;
        out.push_back(std::move(d));
    }
    return out;
}

bool BeamformingParameters::setByKey(std::string_view key, double value) {
    const ParameterEntry* entry = findEntry(algorithm, key);
    if (entry == nullptr) return false;
    return std::visit(Overloaded{
                          [&](FlagField f) {
                              this->*f = value >= 0.5;
                              return true;
                          },
                          [&](IntegerField f) {
                              // Converting a value outside the target range is undefined; the negated
                              // comparison also refuses NaN.
                              constexpr double kUpperExclusive = 4294967296.0;
                              if (!(value >= 0.0 && value < kUpperExclusive)) return false;
                              this->*f = static_cast<std::uint32_t>(value);
                              return true;
                          },
                          [&](RealField f) {
                              this->*f = value;
                              return true;
                          },
                      },
                      entry->field);
}

bool BeamformingParameters::getByKey(std::string_view key, double& value) const {
    const ParameterEntry* entry = findEntry(algorithm, key);
    if (entry == nullptr) return false;
    value = readField(*this, entry->field);
    return true;
}

bool BeamformingParameters::isValid(std::uint64_t channelCount) const {
    if (channelCount < 2) return false;
    if (algorithm < 1 || algorithm > 14) return false;
    if (!std::isinf(focusDistanceM) && !(focusDistanceM >= 0.1 && focusDistanceM <= 100.0)) return false;
    if (!(std::isfinite(speedOfSoundMps) && speedOfSoundMps >= 300.0 && speedOfSoundMps <= 400.0)) {
        return false;
    }
    return algorithmBlockValid(*this);
}

std::string BeamformingParameters::toJson() const {
    std::ostringstream os;
    os.imbue(std::locale::classic());
    os.precision(17);
    os << "{\"focus_distance_m\":";
    if (std::isinf(focusDistanceM)) {
        os << "\"infinity\"";
    } else {
        os << focusDistanceM;
    }
    os << ",\"speed_of_sound_mps\":" << speedOfSoundMps;
    for (const ParameterEntry& entry : kParameterTable) {
        if (entry.algorithm != algorithm) continue;
        os << ",\"" << entry.key << "\":";
        std::visit(Overloaded{
                       [&](FlagField f) { os << (this->*f ? "true" : "false"); },
                       [&](IntegerField f) { os << this->*f; },
                       [&](RealField f) { os << this->*f; },
                   },
                   entry.field);
    }
    os << '}';
    return os.str();
}

}  // namespace zk::core
