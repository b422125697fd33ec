// Beamforming, frequency-band, map-display, camera-overlay, source and appearance settings.
#include <QCoreApplication>
#include <cmath>

#include "app/settings_rules.h"
#include "app/ui_controller.h"
#include "core/streaming/streaming_acoustic_engine.h"
#include "render/plot_palette.h"

namespace zk::app {

namespace {

struct AlgorithmChoice {
    const char* name;
    std::int32_t id;
};

// The algorithms the live map offers; the later ids run only in a Full Recompute.
constexpr AlgorithmChoice kLiveAlgorithms[] = {
    {"01 DAS / Conventional", 1}, {"02 Functional", 2}, {"03 MVDR / Capon", 3}, {"04 Robust Capon", 4},
    {"05 MUSIC", 5},              {"06 Auto-MUSIC", 6}, {"07 Orthogonal", 7},   {"08 SRP-PHAT", 8},
};

const char* focusLabel(int index) {
    constexpr const char* kLabels[] = {"far field", "1 m", "3 m", "5 m", "10 m"};
    return kLabels[std::clamp(index, 0, 4)];
}

QString bandModeText(std::int32_t mode) {
    if (mode == 1) return QStringLiteral("Single bin");
    if (mode == 3) return QStringLiteral("Custom bandwidth");
    return QStringLiteral("1/3 octave");
}

QString errorText(const std::exception& error) { return QString::fromUtf8(error.what()); }

}  // namespace

QVariantList parameterFieldsOf(std::int32_t algorithmId) {
    QVariantList fields;
    for (const core::BeamformingParameterDescriptor& d : core::parameterDescriptors(algorithmId)) {
        const char* type = d.kind == core::BeamformingParameterDescriptor::kFlag      ? "bool"
                           : d.kind == core::BeamformingParameterDescriptor::kInteger ? "int"
                                                                                     : "real";
        fields.append(QVariantMap{{QStringLiteral("key"), QString::fromStdString(d.key)},
                                  {QStringLiteral("label"), QString::fromStdString(d.label)},
                                  {QStringLiteral("type"), QString::fromLatin1(type)},
                                  {QStringLiteral("minimum"), d.minimum},
                                  {QStringLiteral("maximum"), d.maximum},
                                  {QStringLiteral("defaultValue"), d.defaultValue},
                                  {QStringLiteral("step"), d.step},
                                  {QStringLiteral("unit"), QString::fromStdString(d.unit)}});
    }
    return fields;
}

QString UiController::uiTheme() const {
    return settings_.value(QStringLiteral("ui/theme"), QStringLiteral("abyss")).toString();
}
QString UiController::uiLanguage() const {
    return settings_.value(QStringLiteral("ui/language"), QStringLiteral("zh_CN")).toString();
}
QString UiController::source() const { return source_; }
QString UiController::algorithm() const { return algorithmName_; }
QVariantList UiController::algorithmParameterFields() const { return parameterFieldsOf(liveBeamforming_.algorithm); }
int UiController::focusDistanceIndex() const { return focusDistanceIndex_.load(); }
double UiController::airTemperatureC() const { return airTemperatureC_.load(); }
double UiController::speedOfSoundMps() const { return speedOfSoundForTemperature(airTemperatureC_.load()); }
double UiController::confidenceThresholdDb() const { return heatmapSettings_.confidenceThresholdDb.load(); }
double UiController::frequency() const { return frequency_; }
double UiController::azimuth() const { return azimuth_; }
double UiController::elevation() const { return elevation_; }
QString UiController::frequencyBandMode() const { return bandModeText(liveBand_.mode); }
double UiController::bandwidthHz() const { return liveBand_.bandwidthHz; }
int UiController::targetBinCount() const { return static_cast<int>(liveBand_.binLimit); }
double UiController::dynamicRange() const { return heatmapSettings_.dynamicRange.load(); }
double UiController::csmTauSeconds() const { return heatmapSettings_.csmTauSeconds.load(); }
double UiController::levelGateDbfs() const { return heatmapSettings_.levelGateDbfs.load(); }
QString UiController::heatmapScaleMode() const {
    return heatmapScaleMode_.load() == 1 ? QStringLiteral("Fixed dBFS") : QStringLiteral("Auto peak");
}
int UiController::heatmapColormap() const { return heatmapColormap_.load(); }
int UiController::heatmapStyle() const { return heatmapStyle_.load(); }
double UiController::fixedReferenceDbfs() const { return fixedReferenceDbfs_.load(); }
double UiController::heatmapOpacity() const { return heatmapOpacity_.load(); }
bool UiController::diagonalRemoval() const { return diagonalRemoval_.load(); }
bool UiController::cameraMirror() const { return cameraMirror_.load(); }
double UiController::cameraOverlayAlpha() const { return cameraOverlayAlpha_.load(); }
double UiController::cameraOverlayThreshold() const { return cameraOverlayThreshold_.load(); }
double UiController::cameraOverlayScale() const { return cameraOverlayScale_.load(); }
double UiController::cameraOverlayOffsetX() const { return cameraOverlayOffsetX_.load(); }
double UiController::cameraOverlayOffsetY() const { return cameraOverlayOffsetY_.load(); }

void UiController::setUiTheme(const QString& theme) {
    settings_.setValue(QStringLiteral("ui/theme"), theme);
    emit uiThemeChanged();
}

void UiController::setUiLanguage(const QString& language) {
    settings_.setValue(QStringLiteral("ui/language"), language);
    emit uiLanguageChanged();
}

bool UiController::publishBeamformingParameters() {
    if (sessionState_.load() == kRunning) {
        try {
            liveEngine_->setBeamformingParameters(liveBeamforming_);
        } catch (const std::exception& error) {
            reportEvent(QStringLiteral("Beamforming parameter update failed: %1").arg(errorText(error)));
            return false;
        }
    }
    if (replayActive()) {
        try {
            replayEngine_->setBeamformingParameters(liveBeamforming_);
        } catch (const std::exception& error) {
            reportEvent(QStringLiteral("Replay beamforming update failed: %1").arg(errorText(error)));
        }
    }
    return true;
}

void UiController::setAlgorithm(const QString& algorithm) {
    try {
        const AlgorithmChoice* choice = nullptr;
        for (const AlgorithmChoice& c : kLiveAlgorithms) {
            if (algorithm == QLatin1String(c.name)) choice = &c;
        }
        if (choice == nullptr) {
            reportEvent(QStringLiteral("%1 is contract-only and not executable yet; %2 remains active")
                            .arg(algorithm, algorithmName_));
            return;
        }
        algorithmName_ = algorithm;
        liveBeamforming_.algorithm = choice->id;
        ++liveBeamforming_.revision;
        if (!publishBeamformingParameters()) return;
        emit algorithmChanged();
        reportEvent(QStringLiteral("Algorithm selected: %1").arg(algorithm));
    } catch (const std::exception& error) {
        reportEvent(QStringLiteral("Algorithm selection failed: %1").arg(errorText(error)));
    }
}

void UiController::setBeamformingParameter(const QString& key, double value) {
    try {
        core::BeamformingParameters candidate = liveBeamforming_;
        if (!candidate.setByKey(key.toStdString(), value)) {
            reportEvent(QStringLiteral("Parameter %1 is not part of the selected algorithm").arg(key));
            return;
        }
        const std::uint64_t channels = deviceSession_.hasProfile() ? liveProfile_.channelCount : 128;
        if (!candidate.isValid(channels)) {
            reportEvent(QStringLiteral("Invalid value for %1").arg(key));
            return;
        }
        liveBeamforming_ = candidate;
        ++liveBeamforming_.revision;
        if (!publishBeamformingParameters()) return;
        setStatusText(QStringLiteral("Parameter %1 updated").arg(key));
    } catch (const std::exception& error) {
        reportEvent(QStringLiteral("Parameter update failed: %1").arg(errorText(error)));
    }
}

double UiController::beamformingParameterValue(const QString& key) const {
    double value = 0.0;
    return liveBeamforming_.getByKey(key.toStdString(), value) ? value : 0.0;
}

void UiController::setFocusDistanceIndex(int index) {
    const int clamped = std::clamp(index, 0, 4);
    if (clamped == focusDistanceIndex_.load()) return;
    focusDistanceIndex_.store(clamped);
    settings_.setValue(QStringLiteral("focusDistanceIndex"), clamped);
    liveBeamforming_.focusDistanceM = focusDistanceForIndex(clamped);
    ++liveBeamforming_.revision;
    if (!publishBeamformingParameters()) return;
    emit focusDistanceIndexChanged();
    reportEvent(QStringLiteral("Focus distance: %1").arg(QLatin1String(focusLabel(clamped))));
}

void UiController::setAirTemperatureC(double celsius) {
    const double clamped = clampToRange(celsius, -40.0, 60.0);
    if (std::abs(clamped - airTemperatureC_.load()) < 1e-9) return;
    airTemperatureC_.store(clamped);
    settings_.setValue(QStringLiteral("airTemperatureC"), clamped);
    liveBeamforming_.speedOfSoundMps = speedOfSoundForTemperature(clamped);
    ++liveBeamforming_.revision;
    if (!publishBeamformingParameters()) return;
    emit airTemperatureChanged();
}

void UiController::setDiagonalRemoval(bool enabled) {
    if (enabled == diagonalRemoval_.load()) return;
    diagonalRemoval_.store(enabled);
    settings_.setValue(QStringLiteral("diagonalRemoval"), enabled);
    liveBeamforming_.removeCsmDiagonal = enabled;
    ++liveBeamforming_.revision;
    if (!publishBeamformingParameters()) return;
    emit diagonalRemovalChanged();
    reportEvent(enabled ? QStringLiteral("Diagonal removal ON") : QStringLiteral("Diagonal removal OFF"));
}

void UiController::setConfidenceThresholdDb(double db) {
    const double clamped = clampToRange(db, 0.0, 6.0);
    if (std::abs(clamped - heatmapSettings_.confidenceThresholdDb.load()) < 1e-9) return;
    heatmapSettings_.confidenceThresholdDb.store(clamped);
    settings_.setValue(QStringLiteral("confidenceThresholdDb"), clamped);
    refreshHeatmapImages();
    emit confidenceThresholdChanged();
}

void UiController::setCsmTauSeconds(double seconds) {
    const double clamped = clampToRange(seconds, 0.05, 10.0);
    if (fuzzyEqual(clamped, heatmapSettings_.csmTauSeconds.load())) return;
    heatmapSettings_.csmTauSeconds.store(clamped);
    settings_.setValue(QStringLiteral("csmTauSeconds"), clamped);
    emit csmTauSecondsChanged();
    if (sessionState_.load() == kRunning) {
        try {
            liveEngine_->setAveragingTimeConstant(clamped);
        } catch (const std::exception& error) {
            setStatusText(QStringLiteral("Averaging update failed: %1").arg(errorText(error)));
        }
    }
    if (replayActive()) {
        try {
            replayEngine_->setAveragingTimeConstant(clamped);
        } catch (const std::exception& error) {
            setStatusText(QStringLiteral("Replay averaging update failed: %1").arg(errorText(error)));
        }
    }
}

double UiController::frequencyLimitSampleRate() const {
    if (replayActive() && frozenProfile_.isValid()) return frozenProfile_.sampleRateHz;
    if (deviceSession_.hasProfile()) return liveProfile_.sampleRateHz;
    return 0.0;
}

void UiController::setFrequency(double value) {
    if (!canEditFrequencyBand()) return;
    const double fs = frequencyLimitSampleRate();
    double next = 0.0;
    if (fs > 0.0) {
        const double bin = fs / 1024.0;
        next = std::round(clampToRange(value, 100.0, fs / 2.0) / bin) * bin;
        next = std::clamp(next, bin, fs / 2.0);
    } else {
        next = clampToRange(value, 100.0, 40000.0);
    }
    if (fuzzyEqual(next, frequency_)) return;
    frequency_ = next;
    settings_.setValue(QStringLiteral("frequency"), next);
    emit frequencyChanged();
    applyFrequencyBand();
}

void UiController::setFrequencyBandMode(const QString& mode) {
    if (!canEditFrequencyBand()) return;
    const std::int32_t next = mode == QLatin1String("Single bin")         ? 1
                              : mode == QLatin1String("Custom bandwidth") ? 3
                                                                          : 2;
    if (next == liveBand_.mode) return;
    liveBand_.mode = next;
    settings_.setValue(QStringLiteral("frequencyBandMode"), bandModeText(next));
    emit frequencyBandChanged();
    applyFrequencyBand();
}

void UiController::setBandwidthHz(double value) {
    if (!canEditFrequencyBand()) return;
    const double upper = deviceSession_.hasProfile() ? liveProfile_.sampleRateHz : 80000.0;
    const double next = clampToRange(value, 100.0, std::max(100.0, upper));
    if (fuzzyEqual(next, liveBand_.bandwidthHz)) return;
    liveBand_.bandwidthHz = next;
    settings_.setValue(QStringLiteral("bandwidthHz"), next);
    emit frequencyBandChanged();
    applyFrequencyBand();
}

void UiController::setTargetBinCount(int value) {
    if (!canEditFrequencyBand()) return;
    const auto next = static_cast<std::uint64_t>(std::clamp(value, 0, 128));
    if (next == liveBand_.binLimit) return;
    liveBand_.binLimit = next;
    settings_.setValue(QStringLiteral("targetBinCount"), static_cast<int>(next));
    emit frequencyBandChanged();
    applyFrequencyBand();
}

void UiController::setAzimuth(double value) {
    if (!canEditAcquisition()) return;
    azimuth_ = clampToRange(value, -80.0, 80.0);
    settings_.setValue(QStringLiteral("azimuth"), azimuth_);
    emit azimuthChanged();
}

void UiController::setElevation(double value) {
    if (!canEditAcquisition()) return;
    elevation_ = clampToRange(value, -60.0, 60.0);
    settings_.setValue(QStringLiteral("elevation"), elevation_);
    emit elevationChanged();
}

void UiController::setSource(const QString& source) {
    if (!canChangeSource()) return;
    if (source != QLatin1String("UDP") && source != QLatin1String("Synthetic")) {
        reportEvent(QStringLiteral("Unsupported source: %1").arg(source));
        return;
    }
    if (source == source_) return;
    source_ = source;
    settings_.setValue(QStringLiteral("source"), source);
    emit sourceChanged();
}

void UiController::setPlotPalette(const QVariantMap& palette) {
    try {
        render::setPlotPalette(
            render::DiagnosticsContext{diagnosticSettings_, diagnosticsMutex_, diagnosticsState_,
                                       channelMeterMutex_, channelMeters_, diagnosticOutputs_,
                                       *diagnosticProvider_, render::PlotPalette::processWide()},
            palette);
    } catch (const std::exception& error) {
        reportEvent(QStringLiteral("Plot palette update failed: %1").arg(errorText(error)));
    }
}

namespace {

// One display value: clamp, compare by the fuzzy rule, store, write the key; true when it changed.
bool storeDisplayValue(QSettings& settings, std::atomic<double>& target, const char* key, double value,
                       double lo, double hi) {
    const double next = clampToRange(value, lo, hi);
    if (fuzzyEqual(next, target.load())) return false;
    target.store(next);
    settings.setValue(QLatin1String(key), next);
    return true;
}

bool storeDisplayIndex(QSettings& settings, std::atomic<std::int32_t>& target, const char* key, int value,
                       int lo, int hi) {
    const int next = std::clamp(value, lo, hi);
    if (next == target.load()) return false;
    target.store(next);
    settings.setValue(QLatin1String(key), next);
    return true;
}

}  // namespace

void UiController::setDynamicRange(double value) {
    if (!storeDisplayValue(settings_, heatmapSettings_.dynamicRange, "dynamicRange", value, 0.1, 60.0)) return;
    emit dynamicRangeChanged();
    refreshHeatmapImages();
}

void UiController::setLevelGateDbfs(double value) {
    if (!storeDisplayValue(settings_, heatmapSettings_.levelGateDbfs, "levelGateDbfs", value, -120.0, 0.0))
        return;
    emit levelGateDbfsChanged();
    refreshHeatmapImages();
}

void UiController::setFixedReferenceDbfs(double value) {
    if (!storeDisplayValue(settings_, fixedReferenceDbfs_, "fixedReferenceDbfs", value, -120.0, 0.0)) return;
    emit fixedReferenceDbfsChanged();
    refreshHeatmapImages();
}

void UiController::setHeatmapScaleMode(const QString& mode) {
    const std::int32_t next = mode == QLatin1String("Fixed dBFS") ? 1 : 0;
    if (next == heatmapScaleMode_.load()) return;
    heatmapScaleMode_.store(next);
    settings_.setValue(QStringLiteral("heatmapScaleMode"), heatmapScaleMode());
    emit heatmapScaleModeChanged();
    refreshHeatmapImages();
}

void UiController::setHeatmapColormap(int index) {
    if (!storeDisplayIndex(settings_, heatmapColormap_, "heatmapColormap", index, 0, 2)) return;
    emit heatmapColormapChanged();
    refreshHeatmapImages();
}

void UiController::setHeatmapStyle(int index) {
    if (!storeDisplayIndex(settings_, heatmapStyle_, "heatmapStyle", index, 0, 3)) return;
    emit heatmapStyleChanged();
    refreshHeatmapImages();
}

void UiController::setHeatmapOpacity(double value) {
    if (!storeDisplayValue(settings_, heatmapOpacity_, "heatmapOpacity", value, 0.1, 1.0)) return;
    emit heatmapOpacityChanged();
}

void UiController::setCameraMirror(bool enabled) {
    if (enabled == cameraMirror_.load()) return;
    cameraMirror_.store(enabled);
    settings_.setValue(QStringLiteral("cameraMirror"), enabled);
    emit cameraSettingsChanged();
}

void UiController::setCameraOverlayAlpha(double value) {
    if (!storeDisplayValue(settings_, cameraOverlayAlpha_, "cameraOverlayAlpha", value, 0.0, 1.0)) return;
    emit cameraSettingsChanged();
    refreshHeatmapImages();
}

void UiController::setCameraOverlayThreshold(double value) {
    if (!storeDisplayValue(settings_, cameraOverlayThreshold_, "cameraOverlayThreshold", value, 0.0, 0.95))
        return;
    emit cameraSettingsChanged();
    refreshHeatmapImages();
}

void UiController::setCameraOverlayScale(double value) {
    if (!storeDisplayValue(settings_, cameraOverlayScale_, "cameraOverlayScale", value, 0.5, 2.0)) return;
    emit cameraSettingsChanged();
}

void UiController::setCameraOverlayOffsetX(double value) {
    if (!storeDisplayValue(settings_, cameraOverlayOffsetX_, "cameraOverlayOffsetX", value, -0.5, 0.5)) return;
    emit cameraSettingsChanged();
}

void UiController::setCameraOverlayOffsetY(double value) {
    if (!storeDisplayValue(settings_, cameraOverlayOffsetY_, "cameraOverlayOffsetY", value, -0.5, 0.5)) return;
    emit cameraSettingsChanged();
}

}  // namespace zk::app
