// Map result hand-off, the map display properties and the frequency-band hand-off.
#include "app/ui_controller.h"
#include "core/streaming/streaming_acoustic_engine.h"

namespace zk::app {

namespace {

QVector4D contourGroup(const render::HeatmapShaderState& state, std::size_t group) {
    const std::size_t first = group * 4;
    return {state.contourLevels[first], state.contourLevels[first + 1], state.contourLevels[first + 2],
            state.contourLevels[first + 3]};
}

}  // namespace

bool UiController::hasHeatmap() const { return hasHeatmap_.load(); }
QString UiController::mapSource() const {
    switch (heatmapSettings_.mapSource.load()) {
        case render::kMapSourceLive:
            return QStringLiteral("live");
        case render::kMapSourceReplay:
            return QStringLiteral("replay");
        case render::kMapSourceAnalysis:
            return QStringLiteral("analysis");
        default:
            return {};
    }
}
double UiController::peakAzimuth() const { return live_.map.peakAzimuthDeg.load(); }
double UiController::peakElevation() const { return live_.map.peakElevationDeg.load(); }
double UiController::peakDb() const { return live_.map.peakRelativeDb.load(); }
double UiController::peakLevelDbfs() const { return live_.map.peakDb.load(); }
double UiController::mapSpanDb() const { return live_.map.dynamicRangeDb.load(); }
int UiController::mapVisiblePixels() const { return mapVisiblePixels_.load(); }
double UiController::effectiveFrequencyHz() const { return live_.map.representativeFrequencyHz.load(); }
double UiController::effectiveBandLowHz() const { return live_.map.firstFrequencyHz.load(); }
double UiController::effectiveBandHighHz() const { return live_.map.lastFrequencyHz.load(); }
int UiController::effectiveBinCount() const { return static_cast<int>(live_.map.binCount.load()); }
quint64 UiController::mapParameterRevision() const { return live_.map.parameterRevision.load(); }
int UiController::mapAlgorithmId() const { return static_cast<int>(live_.map.algorithmId.load()); }

bool UiController::mapHasAbsoluteLevels() const {
    std::lock_guard lock(heatmapStateMutex_);
    return heatmapShaderState_.mapHasAbsoluteLevels;
}
double UiController::mapPeakReferenceDbfs() const {
    std::lock_guard lock(heatmapStateMutex_);
    return heatmapShaderState_.mapPeakReferenceDbfs;
}
double UiController::mapContrastFade() const {
    std::lock_guard lock(heatmapStateMutex_);
    return heatmapShaderState_.mapContrastFade;
}
QVariantList UiController::mapPeaks() const {
    std::lock_guard lock(heatmapStateMutex_);
    return heatmapShaderState_.mapPeaks;
}
int UiController::contourLevelCount() const {
    std::lock_guard lock(heatmapStateMutex_);
    return heatmapShaderState_.contourLevelCount;
}
QVector4D UiController::contourLevels0() const {
    std::lock_guard lock(heatmapStateMutex_);
    return contourGroup(heatmapShaderState_, 0);
}
QVector4D UiController::contourLevels1() const {
    std::lock_guard lock(heatmapStateMutex_);
    return contourGroup(heatmapShaderState_, 1);
}
QVector4D UiController::contourLevels2() const {
    std::lock_guard lock(heatmapStateMutex_);
    return contourGroup(heatmapShaderState_, 2);
}
QVector4D UiController::contourLevels3() const {
    std::lock_guard lock(heatmapStateMutex_);
    return contourGroup(heatmapShaderState_, 3);
}
QVector4D UiController::contourLevels4() const {
    std::lock_guard lock(heatmapStateMutex_);
    return contourGroup(heatmapShaderState_, 4);
}
QVector4D UiController::contourLevels5() const {
    std::lock_guard lock(heatmapStateMutex_);
    return contourGroup(heatmapShaderState_, 5);
}

void UiController::publishMap(core::HeatmapGrid map, std::int32_t kind) {
    heatmapSettings_.mapSource.exchange(kind);
    live_.map.publish(map);
    {
        std::lock_guard lock(mapMutex_);
        latestMap_ = std::move(map);
    }
    hasHeatmap_.store(true);
    refreshHeatmapImages();
}

void UiController::refreshHeatmapImages() {
    try {
        heatmapPainter_->refreshHeatmapImages();
    } catch (const std::exception& error) {
        setStatusText(QStringLiteral("Map render error: %1").arg(QString::fromUtf8(error.what())));
    }
    emit heatmapUpdated();
}

void UiController::applyFrequencyBand() {
    liveBand_.centerHz = frequency_;
    ++liveBand_.revision;
    if (sessionState_.load() == kRunning) {
        try {
            liveEngine_->setFrequencyBand(liveBand_);
            setStatusText(
                QStringLiteral("Frequency band pending at DSP boundary: %1").arg(frequencyBandMode()));
        } catch (const std::exception& error) {
            reportEvent(
                QStringLiteral("Frequency-band update failed: %1").arg(QString::fromUtf8(error.what())));
        }
    }
    if (replayActive()) {
        try {
            replayEngine_->setFrequencyBand(liveBand_);
            reportEvent(QStringLiteral("Replay frequency band pending: %1").arg(frequencyBandMode()));
        } catch (const std::exception& error) {
            reportEvent(QStringLiteral("Replay frequency-band update failed: %1")
                            .arg(QString::fromUtf8(error.what())));
        }
    }
}

}  // namespace zk::app
