// All fourteen algorithms through computeBeamformingMap at the live size: M = 64 microphones, a
// 64 x 48 degree grid at 1 degree (65 x 49 = 3185 cells), F = 16 bins of a third-octave at 8 kHz
// (48 kHz, 1024-point FFT), each algorithm's default parameters, at most 4 OpenMP threads. The steering
// cache is warm, as it is for every map after the first of a live session.

#include <benchmark/benchmark.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <vector>

#include "core/beamforming/bin_rotation_map.h"
#include "core/beamforming/compute_beamforming_map.h"
#include "core/beamforming/detail/coarse_grid.h"
#include "core/beamforming/deconvolution_solvers.h"

namespace zk::core {
namespace {

constexpr double kSoundSpeed = 343.0;

std::vector<MicrophonePosition> diskArray64() {
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> u(-0.35, 0.35);
    std::vector<MicrophonePosition> mics;
    while (mics.size() < 64) {
        const double x = u(rng), y = u(rng);
        if (x * x + y * y <= 0.35 * 0.35) mics.push_back({x, y, 0.0});
    }
    return mics;
}

struct Scene {
    std::vector<MicrophonePosition> mics = diskArray64();
    Beamformer beamformer{diskArray64(), kSoundSpeed};
    FrequencyBand band;
    std::vector<MatrixRows> matrices;

    Scene() {
        FrequencyBandParameters p;
        p.centerHz = 8000.0;
        p.binLimit = 16;
        band = resolveFrequencyBand(48000, 1024, p);
        // Two incoherent sources and sensor noise.
        const double dirs[2][3] = {{12.0, -6.0, 1.0}, {-20.0, 10.0, 0.5}};
        for (double f : band.binFrequenciesHz) {
            MatrixRows r(64, std::vector<std::complex<double>>(64));
            for (const auto& d : dirs) {
                const double tx = std::tan(d[0] * std::numbers::pi / 180.0);
                const double ty = std::tan(d[1] * std::numbers::pi / 180.0);
                const double n = std::sqrt(1.0 + tx * tx + ty * ty);
                std::vector<std::complex<double>> v;
                for (const auto& m : mics) {
                    v.push_back(std::polar(
                        1.0, 2.0 * std::numbers::pi * f * (tx * m.x + ty * m.y) / n / kSoundSpeed));
                }
                for (std::size_t i = 0; i < 64; ++i) {
                    for (std::size_t j = 0; j < 64; ++j) r[i][j] += d[2] * v[i] * std::conj(v[j]);
                }
            }
            for (std::size_t i = 0; i < 64; ++i) r[i][i] += 0.05;
            matrices.push_back(std::move(r));
        }
    }
};

Scene& scene() {
    static Scene s;
    return s;
}

void BM_ComputeBeamformingMap(benchmark::State& state) {
    Scene& s = scene();
    BeamformingParameters p;
    p.algorithm = static_cast<std::int32_t>(state.range(0));
    state.SetLabel(algorithmName(p.algorithm));
    computeBeamformingMap(s.beamformer, s.matrices, s.band, p, 256, 64.0, 48.0, 1.0);  // warm the cache
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            computeBeamformingMap(s.beamformer, s.matrices, s.band, p, 256, 64.0, 48.0, 1.0));
    }
}
BENCHMARK(BM_ComputeBeamformingMap)->DenseRange(1, 14)->Unit(benchmark::kMillisecond)->UseRealTime();

// The point-spread matrix alone for the default stride 3 (n = 23 x 17 = 391 coarse points).
void BM_PointSpreadMatrix(benchmark::State& state) {
    Scene& s = scene();
    const auto cache = s.beamformer.steeringCacheFor(s.band.binFrequenciesHz, 64.0, 48.0, 0.0, 0.0, 1.0, 1.0,
                                                     std::numeric_limits<double>::infinity());
    const auto stride = static_cast<std::uint32_t>(state.range(0));
    const auto points = detail::coarseGridPoints(detail::coarseGridLines(49, stride), detail::coarseGridLines(65, stride), 65);
    state.counters["n"] = static_cast<double>(points.size());
    for (auto _ : state) benchmark::DoNotOptimize(Beamformer::pointSpreadMatrix(*cache, points));
}
BENCHMARK(BM_PointSpreadMatrix)->Arg(3)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();

// One live rotation step of MVDR after the rebuild (fresh matrices each step are not needed: the cost is
// the refreshed groups).
void BM_BinRotationStep(benchmark::State& state) {
    Scene& s = scene();
    BeamformingParameters p;
    p.algorithm = static_cast<std::int32_t>(state.range(0));
    state.SetLabel(algorithmName(p.algorithm));
    BinRotationMap map;
    map.update(s.beamformer, s.matrices, s.band, p, 256, 64.0, 48.0, 1.0, 1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(map.update(s.beamformer, s.matrices, s.band, p, 256, 64.0, 48.0, 1.0, 1));
    }
}
BENCHMARK(BM_BinRotationStep)->Arg(3)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace zk::core
