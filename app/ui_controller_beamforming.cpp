// The live map's algorithm and its parameters, the frequency band, the simulated source's direction,
// and their hand-off to the running live and Replay engines.
#include <QCoreApplication>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>
#include <utility>

#include "app/replay_runner.h"
#include "app/settings_rules.h"
#include "app/ui_controller.h"
#include "core/streaming/streaming_acoustic_engine.h"

namespace zk::app {

namespace {

struct AlgorithmChoice {
    const char* name;
    std::int32_t id;
};

// The algorithms the live map offers; the later ids run only in a Full Recompute.
constexpr AlgorithmChoice kLiveAlgorithms[] = {
    {"01 DAS / Conventional", 1}, {"02 Functional", 2}, {"03 MVDR / Capon", 3},
    {"04 Robust Capon", 4},       {"05 MUSIC", 5},      {"06 Auto-MUSIC", 6},
    {"07 Orthogonal", 7},         {"08 SRP-PHAT", 8},
};

const AlgorithmChoice* findLiveAlgorithm(const QString& name) {
    for (const AlgorithmChoice& choice : kLiveAlgorithms) {
        if (name == QLatin1String(choice.name)) return &choice;
    }
    return nullptr;
}

const char* focusLabel(int index) {
    constexpr const char* kLabels[] = {QT_TRANSLATE_NOOP("UiController", "far field"), "1 m", "3 m", "5 m",
                                       "10 m"};
    return kLabels[std::clamp(index, 0, 4)];
}

QString bandModeText(std::int32_t mode) {
    if (mode == 1) return QStringLiteral(QT_TRANSLATE_NOOP("UiController", "Single bin"));
    if (mode == 3) return QStringLiteral(QT_TRANSLATE_NOOP("UiController", "Custom bandwidth"));
    return QStringLiteral(QT_TRANSLATE_NOOP("UiController", "1/3 octave"));
}

QString errorText(const std::exception& error) { return QString::fromUtf8(error.what()); }

// The diagonal-removal flag belongs to every algorithm, although the core lists it among DAS's keys.
constexpr std::string_view kDiagonalKey = "remove_csm_diagonal";

bool hasParameterKey(const core::BeamformingParameters& parameters, std::string_view key) {
    double ignored = 0.0;
    return key == kDiagonalKey || parameters.getByKey(key, ignored);
}

bool setParameterByKey(core::BeamformingParameters& parameters, std::string_view key, double value) {
    if (key == kDiagonalKey) {
        parameters.removeCsmDiagonal = value >= 0.5;
        return true;
    }
    return parameters.setByKey(key, value);
}

// Runs a setter's body; an exception is reported as "<operation> failed: <text>".
template <class Body>
void guarded(const char* operation, UiController* ui, Body&& body) {
    guardInvokable(
        operation, [ui](const QString& text) { ui->reportEvent(text); }, std::forward<Body>(body));
}

// The parameter labels of the algorithm table, listed here so that the catalogues hold them; the
// fields carry them translated.
[[maybe_unused]] constexpr const char* kParameterLabels[] = {
    QT_TRANSLATE_NOOP("UiController", "Base loading"),
    QT_TRANSLATE_NOOP("UiController", "Diagonal loading"),
    QT_TRANSLATE_NOOP("UiController", "Diagonal removal"),
    QT_TRANSLATE_NOOP("UiController", "Eigen floor"),
    QT_TRANSLATE_NOOP("UiController", "Eigen tolerance"),
    QT_TRANSLATE_NOOP("UiController", "Eigenvalue floor"),
    QT_TRANSLATE_NOOP("UiController", "Estimator (1 MDL, 2 AIC, 3 gap)"),
    QT_TRANSLATE_NOOP("UiController", "Functional order"),
    QT_TRANSLATE_NOOP("UiController", "Grid stride"),
    QT_TRANSLATE_NOOP("UiController", "Iterations"),
    QT_TRANSLATE_NOOP("UiController", "Lambda (rel)"),
    QT_TRANSLATE_NOOP("UiController", "Loop gain"),
    QT_TRANSLATE_NOOP("UiController", "Max iterations"),
    QT_TRANSLATE_NOOP("UiController", "Max modes"),
    QT_TRANSLATE_NOOP("UiController", "Max sources"),
    QT_TRANSLATE_NOOP("UiController", "Noise (rel)"),
    QT_TRANSLATE_NOOP("UiController", "PHAT exponent"),
    QT_TRANSLATE_NOOP("UiController", "PHAT floor"),
    QT_TRANSLATE_NOOP("UiController", "PHAT zero diagonal"),
    QT_TRANSLATE_NOOP("UiController", "Prune (rel)"),
    QT_TRANSLATE_NOOP("UiController", "Relative eigen"),
    QT_TRANSLATE_NOOP("UiController", "Relaxation"),
    QT_TRANSLATE_NOOP("UiController", "Source count"),
    QT_TRANSLATE_NOOP("UiController", "Spectrum floor"),
    QT_TRANSLATE_NOOP("UiController", "Stop level"),
    QT_TRANSLATE_NOOP("UiController", "Tolerance"),
    QT_TRANSLATE_NOOP("UiController", "Uncertainty"),
    QT_TRANSLATE_NOOP("UiController", "Uncertainty gain"),
};

}  // namespace

QVariantList parameterFieldsOf(std::int32_t algorithmId) {
    QVariantList fields;
    for (const core::BeamformingParameterDescriptor& d : core::parameterDescriptors(algorithmId)) {
        const char* type = d.kind == core::BeamformingParameterDescriptor::kFlag      ? "bool"
                           : d.kind == core::BeamformingParameterDescriptor::kInteger ? "int"
                                                                                      : "real";
        fields.append(QVariantMap{
            {QStringLiteral("key"), QString::fromStdString(d.key)},
            {QStringLiteral("label"), QCoreApplication::translate("UiController", d.label.c_str())},
            {QStringLiteral("type"), QString::fromLatin1(type)},
            {QStringLiteral("minimum"), d.minimum},
            {QStringLiteral("maximum"), d.maximum},
            {QStringLiteral("defaultValue"), d.defaultValue},
            {QStringLiteral("step"), d.step},
            {QStringLiteral("unit"), QString::fromStdString(d.unit)}});
    }
    return fields;
}

QString UiController::algorithm() const { return live_.algorithmName; }
QVariantList UiController::algorithmParameterFields() const {
    return parameterFieldsOf(live_.beamforming.algorithm);
}
quint64 UiController::beamformingParameterRevision() const { return live_.beamforming.revision; }
int UiController::focusDistanceIndex() const { return display_.focusDistanceIndex.load(); }
double UiController::airTemperatureC() const { return display_.airTemperatureC.load(); }
double UiController::speedOfSoundMps() const {
    return speedOfSoundForTemperature(display_.airTemperatureC.load());
}
double UiController::confidenceThresholdDb() const { return heatmapSettings_.confidenceThresholdDb.load(); }
double UiController::frequency() const { return live_.frequency; }
double UiController::azimuth() const { return live_.azimuth; }
double UiController::elevation() const { return live_.elevation; }
QString UiController::frequencyBandMode() const { return bandModeText(live_.band.mode); }
double UiController::bandwidthHz() const { return live_.band.bandwidthHz; }
int UiController::targetBinCount() const { return static_cast<int>(live_.band.binLimit); }
double UiController::csmTauSeconds() const { return heatmapSettings_.csmTauSeconds.load(); }
bool UiController::diagonalRemoval() const { return display_.diagonalRemoval.load(); }

// The band of the map on display: the latest map is the one every publisher hands over.
double UiController::effectiveFrequencyHz() const {
    std::lock_guard lock(map_.mutex);
    return map_.latest ? map_.latest->representativeFrequencyHz : 0.0;
}
double UiController::effectiveBandLowHz() const {
    std::lock_guard lock(map_.mutex);
    return map_.latest ? map_.latest->firstFrequencyHz : 0.0;
}
double UiController::effectiveBandHighHz() const {
    std::lock_guard lock(map_.mutex);
    return map_.latest ? map_.latest->lastFrequencyHz : 0.0;
}
int UiController::effectiveBinCount() const {
    std::lock_guard lock(map_.mutex);
    return map_.latest ? static_cast<int>(
                             std::min<std::uint64_t>(map_.latest->binCount, std::numeric_limits<int>::max()))
                       : 0;
}

bool UiController::publishBeamformingParameters() {
    if (run_.session.load() == kRunning) {
        try {
            engines_.live->setBeamformingParameters(live_.beamforming);
        } catch (const std::exception& error) {
            reportEvent(UiText::tr("Beamforming parameter update failed: %1").arg(errorText(error)));
            return false;
        }
    }
    ReplayRunner::publishBeamforming(*this);
    ReplayRunner::refreshPausedMap(*this);
    return true;
}

void UiController::applyFrequencyBand() {
    live_.band.centerHz = live_.frequency;
    ++live_.band.revision;
    if (run_.session.load() == kRunning) {
        try {
            engines_.live->setFrequencyBand(live_.band);
            setStatusText(UiText::tr("Frequency band pending at DSP boundary: %1")
                              .arg(UiText::tr(qUtf8Printable(frequencyBandMode()))));
        } catch (const std::exception& error) {
            reportEvent(UiText::tr("Frequency-band update failed: %1").arg(errorText(error)));
        }
    }
    ReplayRunner::publishBand(*this);
    ReplayRunner::refreshPausedMap(*this);
}

void UiController::setAlgorithm(const QString& algorithm) {
    guarded(QT_TRANSLATE_NOOP("UiController", "Algorithm selection"), this, [&] {
        const AlgorithmChoice* choice = findLiveAlgorithm(algorithm);
        if (choice == nullptr) {
            reportEvent(UiText::tr("%1 is contract-only and not executable yet; %2 remains active")
                            .arg(algorithm, live_.algorithmName));
            return;
        }
        live_.algorithmName = QLatin1String(choice->name);
        live_.beamforming.algorithm = choice->id;
        ++live_.beamforming.revision;
        emit beamformingParametersChanged();
        if (!publishBeamformingParameters()) return;
        emit algorithmChanged();
        reportEvent(UiText::tr("Algorithm selected: %1").arg(live_.algorithmName));
    });
}

void UiController::setBeamformingParameter(const QString& key, double value) {
    guarded(QT_TRANSLATE_NOOP("UiController", "Parameter update"), this, [&] {
        const std::string name = key.toStdString();
        if (!hasParameterKey(live_.beamforming, name)) {
            reportEvent(UiText::tr("Parameter %1 is not part of the selected algorithm").arg(key));
            return;
        }
        // A non-finite value is no setting of any kind (a flag would silently read it as off), and a
        // count the record cannot hold is refused by the setter itself: both are invalid values.
        core::BeamformingParameters candidate = live_.beamforming;
        const std::uint64_t channels =
            profileState_.session.hasProfile() ? profileState_.live.channelCount : 128;
        if (!std::isfinite(value) || !setParameterByKey(candidate, name, value) ||
            !candidate.isValid(channels)) {
            reportEvent(UiText::tr("Invalid value for %1").arg(key));
            return;
        }
        const bool diagonalChanged = candidate.removeCsmDiagonal != display_.diagonalRemoval.load();
        live_.beamforming = candidate;
        ++live_.beamforming.revision;
        // Told before the hand-off: the controller holds the value even when an engine rejects it.
        emit beamformingParametersChanged();
        // The flag is also the diagonalRemoval setting: keep the property and its key in step with it.
        if (diagonalChanged) {
            display_.diagonalRemoval.store(candidate.removeCsmDiagonal);
            settings_.setValue(QStringLiteral("diagonalRemoval"), candidate.removeCsmDiagonal);
        }
        if (!publishBeamformingParameters()) return;
        if (diagonalChanged) emit diagonalRemovalChanged();
        setStatusText(UiText::tr("Parameter %1 updated").arg(key));
    });
}

double UiController::beamformingParameterValue(const QString& key) const {
    try {
        const std::string name = key.toStdString();
        if (name == kDiagonalKey) return live_.beamforming.removeCsmDiagonal ? 1.0 : 0.0;
        double value = 0.0;
        return live_.beamforming.getByKey(name, value) ? value : 0.0;
    } catch (const std::exception&) {
        return 0.0;
    }
}

void UiController::setFocusDistanceIndex(int index) {
    guarded(QT_TRANSLATE_NOOP("UiController", "Focus distance update"), this, [&] {
        const int next = std::clamp(index, 0, 4);
        if (next == display_.focusDistanceIndex.load()) return;
        display_.focusDistanceIndex.store(next);
        settings_.setValue(QStringLiteral("focusDistanceIndex"), next);
        live_.beamforming.focusDistanceM = focusDistanceForIndex(next);
        ++live_.beamforming.revision;
        emit beamformingParametersChanged();
        if (!publishBeamformingParameters()) return;
        emit focusDistanceIndexChanged();
        reportEvent(UiText::tr("Focus distance: %1").arg(UiText::tr(focusLabel(next))));
    });
}

void UiController::setAirTemperatureC(double celsius) {
    guarded(QT_TRANSLATE_NOOP("UiController", "Air temperature update"), this, [&] {
        if (std::isnan(celsius)) return;
        const double next = clampToRange(celsius, -40.0, 60.0);
        if (std::abs(next - display_.airTemperatureC.load()) < 1e-9) return;
        display_.airTemperatureC.store(next);
        settings_.setValue(QStringLiteral("airTemperatureC"), next);
        live_.beamforming.speedOfSoundMps = speedOfSoundForTemperature(next);
        ++live_.beamforming.revision;
        emit beamformingParametersChanged();
        if (!publishBeamformingParameters()) return;
        emit airTemperatureChanged();
    });
}

void UiController::setDiagonalRemoval(bool enabled) {
    guarded(QT_TRANSLATE_NOOP("UiController", "Diagonal removal update"), this, [&] {
        if (enabled == display_.diagonalRemoval.load()) return;
        display_.diagonalRemoval.store(enabled);
        settings_.setValue(QStringLiteral("diagonalRemoval"), enabled);
        live_.beamforming.removeCsmDiagonal = enabled;
        ++live_.beamforming.revision;
        emit beamformingParametersChanged();
        if (!publishBeamformingParameters()) return;
        emit diagonalRemovalChanged();
        reportEvent(enabled ? UiText::tr("Diagonal removal ON") : UiText::tr("Diagonal removal OFF"));
    });
}

void UiController::setConfidenceThresholdDb(double db) {
    guarded(QT_TRANSLATE_NOOP("UiController", "Confidence threshold update"), this, [&] {
        if (std::isnan(db)) return;
        const double next = clampToRange(db, 0.0, 6.0);
        if (std::abs(next - heatmapSettings_.confidenceThresholdDb.load()) < 1e-9) return;
        heatmapSettings_.confidenceThresholdDb.store(next);
        settings_.setValue(QStringLiteral("confidenceThresholdDb"), next);
        refreshHeatmapImages();
        emit confidenceThresholdChanged();
    });
}

void UiController::setCsmTauSeconds(double seconds) {
    guardInvokable(
        QT_TRANSLATE_NOOP("UiController", "Averaging update"),
        [this](const QString& text) { setStatusText(text); },
        [&] {
            if (std::isnan(seconds)) return;
            const double next = clampToRange(seconds, 0.05, 10.0);
            if (fuzzyEqual(next, heatmapSettings_.csmTauSeconds.load())) return;
            heatmapSettings_.csmTauSeconds.store(next);
            settings_.setValue(QStringLiteral("csmTauSeconds"), next);
            emit csmTauSecondsChanged();
            if (run_.session.load() == kRunning) {
                try {
                    engines_.live->setAveragingTimeConstant(next);
                } catch (const std::exception& error) {
                    setStatusText(UiText::tr("Averaging update failed: %1").arg(errorText(error)));
                }
            }
            if (replayActive()) {
                try {
                    engines_.replay->setAveragingTimeConstant(next);
                } catch (const std::exception& error) {
                    setStatusText(UiText::tr("Replay averaging update failed: %1").arg(errorText(error)));
                }
                // A paused map is made again with the new averaging (and its longer or shorter warm-up).
                ReplayRunner::refreshPausedMap(*this);
            }
        });
}

double UiController::frequencyLimitSampleRate() const {
    if (replayActive() && profileState_.frozen.isValid()) return profileState_.frozen.sampleRateHz;
    if (profileState_.session.hasProfile()) return profileState_.live.sampleRateHz;
    return 0.0;
}

void UiController::setFrequency(double value) {
    guarded(QT_TRANSLATE_NOOP("UiController", "Frequency update"), this, [&] {
        if (!canEditFrequencyBand() || std::isnan(value)) return;
        const double next = frequencyForSampleRate(value, frequencyLimitSampleRate());
        if (fuzzyEqual(next, live_.frequency)) return;
        live_.frequency = next;
        settings_.setValue(QStringLiteral("frequency"), next);
        emit frequencyChanged();
        applyFrequencyBand();
    });
}

void UiController::setFrequencyBandMode(const QString& mode) {
    guarded(QT_TRANSLATE_NOOP("UiController", "Frequency band update"), this, [&] {
        if (!canEditFrequencyBand()) return;
        const std::int32_t next = mode == QLatin1String("Single bin")         ? 1
                                  : mode == QLatin1String("Custom bandwidth") ? 3
                                                                              : 2;
        if (next == live_.band.mode) return;
        live_.band.mode = next;
        settings_.setValue(QStringLiteral("frequencyBandMode"), bandModeText(next));
        applyFrequencyBand();
        emit frequencyBandChanged();
    });
}

void UiController::setBandwidthHz(double value) {
    guarded(QT_TRANSLATE_NOOP("UiController", "Frequency band update"), this, [&] {
        if (!canEditFrequencyBand() || std::isnan(value)) return;
        const double upper = profileState_.session.hasProfile() ? profileState_.live.sampleRateHz : 80000.0;
        const double next = clampToRange(value, 100.0, std::max(100.0, upper));
        if (fuzzyEqual(next, live_.band.bandwidthHz)) return;
        live_.band.bandwidthHz = next;
        settings_.setValue(QStringLiteral("bandwidthHz"), next);
        applyFrequencyBand();
        emit frequencyBandChanged();
    });
}

void UiController::setTargetBinCount(int value) {
    guarded(QT_TRANSLATE_NOOP("UiController", "Frequency band update"), this, [&] {
        if (!canEditFrequencyBand()) return;
        const auto next = static_cast<std::uint64_t>(std::clamp(value, 0, 128));
        if (next == live_.band.binLimit) return;
        live_.band.binLimit = next;
        settings_.setValue(QStringLiteral("targetBinCount"), static_cast<int>(next));
        applyFrequencyBand();
        emit frequencyBandChanged();
    });
}

void UiController::setAzimuth(double value) {
    guarded(QT_TRANSLATE_NOOP("UiController", "Azimuth update"), this, [&] {
        if (!canEditAcquisition() || std::isnan(value)) return;
        live_.azimuth = clampToRange(value, -80.0, 80.0);
        settings_.setValue(QStringLiteral("azimuth"), live_.azimuth);
        emit azimuthChanged();
    });
}

void UiController::setElevation(double value) {
    guarded(QT_TRANSLATE_NOOP("UiController", "Elevation update"), this, [&] {
        if (!canEditAcquisition() || std::isnan(value)) return;
        live_.elevation = clampToRange(value, -60.0, 60.0);
        settings_.setValue(QStringLiteral("elevation"), live_.elevation);
        emit elevationChanged();
    });
}

}  // namespace zk::app
