// The heatmap painter on the two map sizes the display sees: a live 65 x 49 map (about 1-degree steps,
// temporal and spatial smoothing on, each paint blending into the last) and a 0.25-degree analysis map
// of 257 x 193 cells (drawn unsmoothed). One paint produces the field image, the contrast fade, the
// visible count and the peak marks.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "bench_support.h"
#include "core/beamforming/heatmap_grid.h"
#include "render/heatmap_painter.h"
#include "render/heatmap_state.h"

namespace {

using zk::core::HeatmapGrid;
using namespace zk::render;

// Two sources 6 dB apart over a -40 dB floor with a little ripple, on a 60 x 45 degree field of view.
HeatmapGrid syntheticMap(std::uint64_t width, std::uint64_t height) {
    HeatmapGrid grid;
    grid.width = width;
    grid.height = height;
    for (std::uint64_t c = 0; c < width; ++c) grid.azimuthDeg.push_back(-30.0 + 60.0 * c / (width - 1));
    for (std::uint64_t r = 0; r < height; ++r) grid.elevationDeg.push_back(-22.5 + 45.0 * r / (height - 1));
    std::vector<double> power(width * height);
    for (std::uint64_t r = 0; r < height; ++r) {
        for (std::uint64_t c = 0; c < width; ++c) {
            const double az = grid.azimuthDeg[c], el = grid.elevationDeg[r];
            const double a = std::exp(-((az - 8) * (az - 8) + (el - 4) * (el - 4)) / 30.0);
            const double b = 0.25 * std::exp(-((az + 15) * (az + 15) + (el + 10) * (el + 10)) / 20.0);
            power[r * width + c] = 1e-3 * (a + b + 1e-4 * (1.5 + std::sin(0.7 * az) * std::cos(0.9 * el)));
        }
    }
    return zk::core::finalizeHeatmap(std::move(grid), std::move(power));
}

// The controller's records and locks, as the painter is handed them.
struct Owner {
    std::mutex mapMutex;  // guards latestBeamMap
    std::optional<HeatmapGrid> latestBeamMap;
    HeatmapDisplaySettings settings;
    std::mutex displayMutex;  // guards smoothing
    HeatmapSmoothingMemory smoothing;
    std::mutex heatmapStateMutex;  // guards shaderState
    HeatmapShaderState shaderState;
    std::atomic<std::int32_t> mapVisiblePixels{0};  // written by the painter
    HeatmapPainter painter{{mapMutex, latestBeamMap, settings, displayMutex, smoothing, heatmapStateMutex,
                            shaderState, mapVisiblePixels, nullptr}};
};

void paintField(benchmark::State& state, std::uint64_t width, std::uint64_t height, std::int32_t source) {
    Owner owner;
    owner.settings.mapSource = source;
    const HeatmapGrid map = syntheticMap(width, height);
    owner.painter.paintHeatmapField(map);
    for (auto _ : state) benchmark::DoNotOptimize(owner.painter.paintHeatmapField(map));
    state.counters["cells"] = static_cast<double>(width * height);
    state.counters["peaks"] = static_cast<double>(owner.shaderState.mapPeaks.size());
}

void BM_PaintLiveField65x49(benchmark::State& state) { paintField(state, 65, 49, kMapSourceLive); }
void BM_PaintAnalysisField257x193(benchmark::State& state) {
    paintField(state, 257, 193, kMapSourceAnalysis);
}
void BM_PaintLiveField257x193(benchmark::State& state) { paintField(state, 257, 193, kMapSourceLive); }

BENCHMARK(BM_PaintLiveField65x49)->Unit(benchmark::kMicrosecond)->Apply(zk::bench::minOfRepetitions);
BENCHMARK(BM_PaintAnalysisField257x193)->Unit(benchmark::kMicrosecond)->Apply(zk::bench::minOfRepetitions);
BENCHMARK(BM_PaintLiveField257x193)->Unit(benchmark::kMicrosecond)->Apply(zk::bench::minOfRepetitions);

}  // namespace
