#pragma once

#include <QImage>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "core/beamforming/heatmap_grid.h"
#include "render/heatmap_state.h"

namespace zk::render {

class HeatmapImageProvider;

// The heatmap painter behind UiController::refreshHeatmapImages and UiController::paintHeatmapField:
// turns a map into the "field" image (each cell's power relative to a reference level, 16 bits over
// red and green) and publishes the shader inputs and peak marks. It works on its owner's state, each
// part under the owner's lock that guards it, and paints outside every lock, so any thread may call it,
// also several at once.
class HeatmapPainter {
  public:
    // The owner's members the painter works on; all of them outlive the painter.
    struct Owner {
        std::mutex& mapMutex;
        const std::optional<core::HeatmapGrid>& latestBeamMap;  // guarded by mapMutex
        const HeatmapDisplaySettings& settings;
        std::mutex& displayMutex;
        HeatmapSmoothingMemory& smoothing;  // guarded by displayMutex
        std::mutex& heatmapStateMutex;
        HeatmapShaderState& shaderState;              // guarded by heatmapStateMutex
        std::atomic<std::int32_t>& mapVisiblePixels;  // written by exchange
        HeatmapImageProvider* provider;               // not owned (the QML engine deletes it); may be null
    };
    using SteadyClockNs = std::function<std::int64_t()>;

    // clock gives the steady time in ns that paces the temporal smoothing (the steady clock by default).
    explicit HeatmapPainter(Owner owner, SteadyClockNs clock = {});

    // Paints the latest published map, if any, and stores it as the provider's "field" image.
    void refreshHeatmapImages() const;

    // The field image of map; publishes the contrast fade, reference level, contour levels, peak marks
    // and the visible-cell count to the owner.
    QImage paintHeatmapField(const core::HeatmapGrid& map) const;

  private:
    // Blends the levels into the smoothing memory (under the display mutex) and smooths the result over
    // each cell's neighbours.
    std::vector<double> smoothForDisplay(const core::HeatmapGrid& map, const std::vector<double>& levels,
                                         std::uint64_t width, std::uint64_t height, std::int32_t mapSource,
                                         double csmTauSeconds) const;

    Owner owner_;
    SteadyClockNs clock_;
};

// Exponential blend out[i] = (1 - a) * levels[i] + a * previous[i], non-finite inputs taken as -160 dB;
// levels itself when the lengths differ.
std::vector<double> blendHeatmapLevels(std::span<const double> previous, std::span<const double> levels,
                                       double a);

// 1-2-1 by 1-2-1 weighted mean over each cell's 3 x 3 neighbourhood of a row-major width x height plane,
// weights renormalised at the edges, non-finite values taken as -160 dB. Levels that do not form such
// a plane pass unchanged.
std::vector<double> smoothHeatmapLevels3x3(std::span<const double> levels, std::uint64_t width,
                                           std::uint64_t height);

}  // namespace zk::render
