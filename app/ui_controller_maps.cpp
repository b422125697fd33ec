// Map result hand-off and the map display properties.
#include "app/ui_controller.h"
#include "core/streaming/streaming_acoustic_engine.h"
#include "render/heatmap_painter.h"

namespace zk::app {

namespace {

QVector4D contourGroup(const render::HeatmapShaderState& state, std::size_t group) {
    const std::size_t first = group * 4;
    return {state.contourLevels[first], state.contourLevels[first + 1], state.contourLevels[first + 2],
            state.contourLevels[first + 3]};
}

// A field of the latest published map (like its band, read under the hand-off lock); 0 before the first.
template <typename Field>
Field latestMapValue(const MapHandoff& map, Field core::HeatmapGrid::*field) {
    std::lock_guard lock(map.mutex);
    return map.latest ? (*map.latest).*field : Field{};
}

}  // namespace

bool UiController::hasHeatmap() const { return map_.hasHeatmap.load(); }
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
double UiController::peakAzimuth() const { return latestMapValue(map_, &core::HeatmapGrid::peakAzimuthDeg); }
double UiController::peakElevation() const {
    return latestMapValue(map_, &core::HeatmapGrid::peakElevationDeg);
}
double UiController::peakDb() const { return latestMapValue(map_, &core::HeatmapGrid::peakRelativeDb); }
double UiController::peakLevelDbfs() const { return latestMapValue(map_, &core::HeatmapGrid::peakDb); }
double UiController::mapSpanDb() const { return latestMapValue(map_, &core::HeatmapGrid::dynamicRangeDb); }
int UiController::mapVisiblePixels() const { return map_.visiblePixels.load(); }
bool UiController::mapStale() const { return liveSession_.mapStale.load(); }
quint64 UiController::mapParameterRevision() const {
    return latestMapValue(map_, &core::HeatmapGrid::parametersRevision);
}
int UiController::mapAlgorithmId() const {
    return static_cast<int>(latestMapValue(map_, &core::HeatmapGrid::algorithmId));
}

bool UiController::mapHasAbsoluteLevels() const {
    std::lock_guard lock(map_.shaderStateMutex);
    return map_.shaderState.mapHasAbsoluteLevels;
}
double UiController::mapPeakReferenceDbfs() const {
    std::lock_guard lock(map_.shaderStateMutex);
    return map_.shaderState.mapPeakReferenceDbfs;
}
double UiController::mapShownRangeDb() const {
    std::lock_guard lock(map_.shaderStateMutex);
    return map_.shaderState.mapShownRangeDb;
}
double UiController::mapContrastFade() const {
    std::lock_guard lock(map_.shaderStateMutex);
    return map_.shaderState.mapContrastFade;
}
QVariantList UiController::mapPeaks() const {
    std::lock_guard lock(map_.shaderStateMutex);
    return map_.shaderState.mapPeaks;
}
int UiController::contourLevelCount() const {
    std::lock_guard lock(map_.shaderStateMutex);
    return map_.shaderState.contourLevelCount;
}
QVector4D UiController::contourLevels0() const {
    std::lock_guard lock(map_.shaderStateMutex);
    return contourGroup(map_.shaderState, 0);
}
QVector4D UiController::contourLevels1() const {
    std::lock_guard lock(map_.shaderStateMutex);
    return contourGroup(map_.shaderState, 1);
}
QVector4D UiController::contourLevels2() const {
    std::lock_guard lock(map_.shaderStateMutex);
    return contourGroup(map_.shaderState, 2);
}
QVector4D UiController::contourLevels3() const {
    std::lock_guard lock(map_.shaderStateMutex);
    return contourGroup(map_.shaderState, 3);
}
QVector4D UiController::contourLevels4() const {
    std::lock_guard lock(map_.shaderStateMutex);
    return contourGroup(map_.shaderState, 4);
}
QVector4D UiController::contourLevels5() const {
    std::lock_guard lock(map_.shaderStateMutex);
    return contourGroup(map_.shaderState, 5);
}

void UiController::publishMap(core::HeatmapGrid map, std::int32_t kind) {
    heatmapSettings_.mapSource.exchange(kind);
    {
        std::lock_guard lock(map_.mutex);
        map_.latest = std::move(map);
    }
    map_.hasHeatmap.store(true);
    refreshHeatmapImages();
}

void UiController::refreshHeatmapImages() {
    try {
        imageOutputs_.painter->refreshHeatmapImages();
    } catch (const std::exception& error) {
        setStatusText(UiText::tr("Map render error: %1").arg(QString::fromUtf8(error.what())));
    }
    emit heatmapUpdated();
}

}  // namespace zk::app
