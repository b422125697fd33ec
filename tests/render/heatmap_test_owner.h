#pragma once

// A stand-in for the UiController: owns the records and locks the heatmap painter works on, with a
// steady clock the test moves by hand. Also builds maps and reads the field image back.

#include <gtest/gtest.h>

#include <QImage>
#include <QVariantMap>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "core/beamforming/heatmap_grid.h"
#include "render/heatmap_image_provider.h"
#include "render/heatmap_painter.h"
#include "render/heatmap_state.h"

namespace zk::render::test {

struct TestController {
    std::mutex mapMutex;  // guards latestBeamMap
    std::optional<core::HeatmapGrid> latestBeamMap;
    HeatmapDisplaySettings settings;
    std::mutex displayMutex;  // guards smoothing
    HeatmapSmoothingMemory smoothing;
    std::mutex heatmapStateMutex;  // guards shaderState
    HeatmapShaderState shaderState;
    std::atomic<std::int32_t> mapVisiblePixels{-1};  // -1 until the first paint
    HeatmapImageProvider provider;
    std::atomic<std::int64_t> nowNs{1'000'000'000};  // the fake steady clock, read by painting threads
    HeatmapPainter painter{{mapMutex, latestBeamMap, settings, displayMutex, smoothing, heatmapStateMutex,
                            shaderState, mapVisiblePixels, &provider},
                           [this] { return nowNs.load(); }};

    // As the controller publishes a map: source first, then the map under the map mutex, then a repaint.
    void publish(core::HeatmapGrid map, std::int32_t source) {
        settings.mapSource = source;
        {
            const std::lock_guard lock(mapMutex);
            latestBeamMap = std::move(map);
        }
        painter.refreshHeatmapImages();
    }
    QImage field() { return provider.requestImage(QStringLiteral("field"), nullptr, {}); }
    HeatmapShaderState shader() {
        const std::lock_guard lock(heatmapStateMutex);
        return shaderState;
    }
    void advanceMs(double ms) { nowNs += static_cast<std::int64_t>(ms * 1e6); }
};

// A finalised absolute map of width x height cells, azimuth -40 + 10 c and elevation -15 + 5 r degrees.
inline core::HeatmapGrid makeMap(std::uint64_t width, std::uint64_t height, std::vector<double> power) {
    core::HeatmapGrid grid;
    grid.width = width;
    grid.height = height;
    for (std::uint64_t c = 0; c < width; ++c)
        grid.azimuthDeg.push_back(-40.0 + 10.0 * static_cast<double>(c));
    for (std::uint64_t r = 0; r < height; ++r)
        grid.elevationDeg.push_back(-15.0 + 5.0 * static_cast<double>(r));
    return core::finalizeHeatmap(std::move(grid), std::move(power));
}

// The same map with relative levels only (no db vector of matching length).
inline core::HeatmapGrid relativeOnly(core::HeatmapGrid grid) {
    grid.db.clear();
    return grid;
}

// The 16-bit red/green value the field image holds for map cell (row, column); checks blue and alpha.
inline int fieldValue(const QImage& image, int column, int row) {
    const uchar* pixel = image.constScanLine(image.height() - 1 - row) + 4 * column;
    EXPECT_EQ(pixel[2], 0);
    EXPECT_EQ(pixel[3], 255);
    return pixel[0] * 256 + pixel[1];
}

inline QVariantMap mark(const HeatmapShaderState& state, qsizetype i) { return state.mapPeaks.at(i).toMap(); }

}  // namespace zk::render::test
