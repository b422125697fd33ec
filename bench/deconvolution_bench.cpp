// All fourteen algorithms through computeBeamformingMap at the live size: the shipped 128-microphone
// array (M = 128), a 64 x 48 degree grid at 1 degree (65 x 49 = 3185 cells), F = 16 bins of a
// third-octave at 8 kHz (48 kHz, 1024-point FFT), each algorithm's default parameters, at most 4 OpenMP
// threads. The steering cache is warm, as it is for every map after the first of a live session. The
// point-spread matrix runs on 1 and 4 threads ("threads") for M = 128 and for every second microphone
// (M = 64), beside its complex matrix-product formulation.

#include <benchmark/benchmark.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <vector>

#include "bench_support.h"
#include "core/beamforming/bin_rotation_map.h"
#include "core/beamforming/compute_beamforming_map.h"
#include "core/beamforming/deconvolution_solvers.h"
#include "core/beamforming/detail/coarse_grid.h"
#include "matrix_product_baselines.h"

namespace zk::core {
namespace {

constexpr double kSoundSpeed = 343.0;

struct Scene {
    std::vector<MicrophonePosition> mics = bench::liveArray();
    Beamformer beamformer{bench::liveArray(), kSoundSpeed};
    Beamformer halfArray{bench::liveArrayEvery(2), kSoundSpeed};
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
            const std::size_t count = mics.size();
            MatrixRows r(count, std::vector<std::complex<double>>(count));
            for (const auto& d : dirs) {
                const double tx = std::tan(d[0] * std::numbers::pi / 180.0);
                const double ty = std::tan(d[1] * std::numbers::pi / 180.0);
                const double n = std::sqrt(1.0 + tx * tx + ty * ty);
                std::vector<std::complex<double>> v;
                for (const auto& m : mics) {
                    v.push_back(std::polar(
                        1.0, 2.0 * std::numbers::pi * f * (tx * m.x + ty * m.y) / n / kSoundSpeed));
                }
                for (std::size_t i = 0; i < count; ++i) {
                    for (std::size_t j = 0; j < count; ++j) r[i][j] += d[2] * v[i] * std::conj(v[j]);
                }
            }
            for (std::size_t i = 0; i < count; ++i) r[i][i] += 0.05;
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
BENCHMARK(BM_ComputeBeamformingMap)
    ->DenseRange(1, 14)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Apply(bench::minOfRepetitions);

// The point-spread matrix alone for the default stride 3 (n = 23 x 17 = 391 coarse points).
std::vector<std::uint64_t> coarsePoints() {
    return detail::coarseGridPoints(detail::coarseGridLines(49, 3), detail::coarseGridLines(65, 3), 65);
}

std::shared_ptr<const Beamformer::CameraBandSteeringCache> pointSpreadCache(std::int64_t mics) {
    Scene& s = scene();
    const Beamformer& bf = mics == 64 ? s.halfArray : s.beamformer;
    return bf.steeringCacheFor(s.band.binFrequenciesHz, 64.0, 48.0, 0.0, 0.0, 1.0, 1.0,
                               std::numeric_limits<double>::infinity());
}

void BM_PointSpreadMatrix(benchmark::State& state) {
    const bench::ThreadScope threads(static_cast<int>(state.range(0)));
    const auto cache = pointSpreadCache(state.range(1));
    const auto points = coarsePoints();
    for (auto _ : state) benchmark::DoNotOptimize(Beamformer::pointSpreadMatrix(*cache, points));
    state.SetLabel(vectorLevelName(vectorLevel()));
    state.counters["n"] = static_cast<double>(points.size());
    state.counters["bins"] = static_cast<double>(cache->frequencies.size());
}
BENCHMARK(BM_PointSpreadMatrix)
    ->ArgNames({"threads", "mics"})
    ->ArgsProduct({{1, 4}, {64, 128}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Apply(bench::minOfRepetitions);

// The same matrix from one double-precision complex Gram product A^H A per bin.
void BM_MatrixProductPointSpread(benchmark::State& state) {
    const int threads = static_cast<int>(state.range(0));
    const auto cache = pointSpreadCache(state.range(1));
    const auto points = coarsePoints();
    const std::size_t mics = static_cast<std::size_t>(state.range(1));
    std::vector<double> p(points.size() * points.size());
    for (auto _ : state) {
        bench::matrixProductPointSpread(cache->phaseTerms, mics, cache->gridPointCount,
                                        cache->frequencies.size(), points, threads, p);
        benchmark::DoNotOptimize(p.data());
    }
    state.SetLabel(std::string("Eigen ") + bench::matrixProductInstructionSets());
    state.counters["n"] = static_cast<double>(points.size());
}
BENCHMARK(BM_MatrixProductPointSpread)
    ->ArgNames({"threads", "mics"})
    ->ArgsProduct({{1, 4}, {64, 128}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Apply(bench::minOfRepetitions);

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
BENCHMARK(BM_BinRotationStep)
    ->Arg(3)
    ->Arg(8)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Apply(bench::minOfRepetitions);

}  // namespace
}  // namespace zk::core
