#pragma once

#include <QVariantList>
#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

// The UiController state that the heatmap painter reads and writes, as plain records. The controller
// owns them beside its locks; each record names the lock of the controller that guards it.

namespace zk::render {

// Origin of the displayed map (the controller's mapSource); other values paint like live maps.
inline constexpr std::int32_t kMapSourceLive = 1;
inline constexpr std::int32_t kMapSourceReplay = 2;
inline constexpr std::int32_t kMapSourceAnalysis = 3;

// Display settings: no mutex; every field is an atomic of its own, since the GUI thread's setters store
// them while a map worker paints. The defaults are the controller's first-start settings.
struct HeatmapDisplaySettings {
    std::atomic<double> dynamicRange{20.0};    // dB; above 0 the painter counts cells and draws contours
    std::atomic<double> csmTauSeconds{0.1};    // s; the temporal smoothing follows half of it
    std::atomic<double> levelGateDbfs{-90.0};  // dBFS; absolute cells below it are neither counted nor marked
    std::atomic<double> confidenceThresholdDb{1.0};  // dB; taken off the contrast fade
    std::atomic<std::int32_t> mapSource{0};          // origin of the latest map, set by the map publisher
};

// The painter's smoothing memory. Guarded by the UiController's display mutex.
struct HeatmapSmoothingMemory {
    std::vector<double> heatmapSmoothedLevels;
    bool heatmapSmoothingValid = false;
    std::int32_t heatmapSmoothingSource = 0;
    std::uint64_t heatmapSmoothingRevision = 0;
    std::uint32_t heatmapSmoothingAlgorithm = 0;
    std::int64_t heatmapLastPaintNs = 0;  // steady clock
};

// Shader inputs and peak marks read by the QML heatmap item. Guarded by the UiController's heatmap
// state mutex.
struct HeatmapShaderState {
    bool mapHasAbsoluteLevels = false;
    double mapPeakReferenceDbfs = 0.0;
    double mapShownRangeDb = 20.0;  // dB below the reference at the floor of the colours
    double mapContrastFade = 1.0;
    std::int32_t contourLevelCount = 0;
    std::array<float, 24> contourLevels{};  // contourLevels0 ... contourLevels5, four each
    QVariantList mapPeaks;                  // maps with "u", "v", "label", "primary"
};

}  // namespace zk::render
