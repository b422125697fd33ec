// All fourteen algorithms through computeBeamformingMap at the live size: the shipped 128-microphone
// array (M = 128), a 64 x 48 degree grid at 1 degree (65 x 49 = 3185 cells), F = 16 bins of a
// third-octave at 8 kHz (48 kHz, 1024-point FFT), each algorithm's default parameters, at most 4 OpenMP
// threads. The steering cache is warm, as it is for every map after the first of a live session. The
// point-spread matrix runs on 1 and 4 threads ("threads") for M = 128 and for every second microphone
// (M = 64), beside its complex matrix-product formulation.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <complex>
#include <map>
#include <numbers>
#include <random>
#include <utility>
#include <vector>

#include "bench_support.h"
#include "core/beamforming/bin_rotation_map.h"
#include "core/beamforming/compute_beamforming_map.h"
#include "core/beamforming/deconvolution_solvers.h"
#include "core/beamforming/detail/algorithm_table.h"
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
    std::vector<MatrixRows> halfMatrices;  // the same field seen by every second microphone

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
            MatrixRows half(count / 2, std::vector<std::complex<double>>(count / 2));
            for (std::size_t i = 0; i < count / 2; ++i) {
                for (std::size_t j = 0; j < count / 2; ++j) half[i][j] = r[2 * i][2 * j];
            }
            matrices.push_back(std::move(r));
            halfMatrices.push_back(std::move(half));
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

// CLEAN-SC against DAS of the same matrices, both through computeBeamformingMap with their default
// parameters on 1 and 4 threads ("threads"), alternating map by map so that both see the same machine. The
// time is that of the pair; "das_ms" and "clean_sc_ms" are the fastest of each over all iterations and
// repetitions, "clean_sc_in_das" their ratio (the goal: at most 8).
void BM_CleanScInDasMaps(benchmark::State& state) {
    Scene& s = scene();
    BeamformingParameters das, cleanSc;
    das.algorithm = 1;
    cleanSc.algorithm = 9;
    const bench::ThreadScope threads(static_cast<int>(state.range(0)));
    const auto map = [&](const BeamformingParameters& p) {
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(
            computeBeamformingMap(s.beamformer, s.matrices, s.band, p, 256, 64.0, 48.0, 1.0));
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    };
    map(das);  // warms the steering cache
    static std::map<std::int64_t, std::pair<double, double>> fastest;
    auto& [dasMs, cleanScMs] = fastest.try_emplace(state.range(0), 1e300, 1e300).first->second;
    for (auto _ : state) {
        dasMs = std::min(dasMs, map(das));
        cleanScMs = std::min(cleanScMs, map(cleanSc));
    }
    state.counters["das_ms"] = dasMs;
    state.counters["clean_sc_ms"] = cleanScMs;
    state.counters["clean_sc_in_das"] = cleanScMs / dasMs;
}
BENCHMARK(BM_CleanScInDasMaps)
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(4)
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

// The deconvolution maps and CLEAN-SC on 1 and 4 threads ("threads") for every second microphone (M = 64),
// 16 bins, each algorithm's default parameters except the stride and one SBL pass: n = 391 is the
// 64 x 48 degree grid at 1 degree with stride 3, n = 1025 a 40 x 24 degree grid at 0.5 degree (81 x 49
// cells) with stride 2; CLEAN-SC runs on the 3185 cells of the live grid.
struct ThreadCase {
    CameraGridSpec grid;
    std::uint32_t stride = 3;
};

ThreadCase threadCase(std::int64_t n) {
    const double inf = std::numeric_limits<double>::infinity();
    if (n == 391) return {{64.0, 48.0, 0.0, 0.0, 1.0, 1.0, inf}, 3};
    return {{40.0, 24.0, 0.0, 0.0, 0.5, 0.5, inf}, 2};
}

void BM_DeconvolutionThreads(benchmark::State& state) {
    Scene& s = scene();
    const ThreadCase c = threadCase(state.range(1));
    BeamformingParameters p;
    p.damasStride = p.damasFistaStride = p.nnlsStride = p.sparseFistaStride = p.sblStride = c.stride;
    p.sblIterations = 1;
    const detail::AlgorithmEntry* entry = detail::findAlgorithm(static_cast<std::int32_t>(state.range(0)));
    state.SetLabel(entry->name);
    const auto frequencies = std::span<const double>(s.band.binFrequenciesHz);
    entry->map(s.halfArray, s.halfMatrices, frequencies, p, 256, c.grid);  // warm the cache
    const bench::ThreadScope threads(static_cast<int>(state.range(2)));
    for (auto _ : state)
        benchmark::DoNotOptimize(entry->map(s.halfArray, s.halfMatrices, frequencies, p, 256, c.grid));
}
BENCHMARK(BM_DeconvolutionThreads)
    ->ArgNames({"id", "n", "threads"})
    ->ArgsProduct({{10, 11, 12, 13, 14}, {391, 1025}, {1, 4}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Apply(bench::minOfRepetitions);

// The point-spread matrix of the same two coarse grids alone.
void BM_PointSpreadThreads(benchmark::State& state) {
    Scene& s = scene();
    const ThreadCase c = threadCase(state.range(0));
    const auto cache = s.halfArray.steeringCacheFor(s.band.binFrequenciesHz, c.grid);
    const std::uint64_t width = cache->horizontalAxis.size();
    const auto points =
        detail::coarseGridPoints(detail::coarseGridLines(cache->verticalAxis.size(), c.stride),
                                 detail::coarseGridLines(width, c.stride), width);
    const bench::ThreadScope threads(static_cast<int>(state.range(1)));
    for (auto _ : state) benchmark::DoNotOptimize(Beamformer::pointSpreadMatrix(*cache, points));
    state.counters["n"] = static_cast<double>(points.size());
}
BENCHMARK(BM_PointSpreadThreads)
    ->ArgNames({"n", "threads"})
    ->ArgsProduct({{391, 1025}, {1, 4}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Apply(bench::minOfRepetitions);

// Each solver alone on that matrix, b = P x for two point sources (the map's own b depends on the scene).
void BM_SolverThreads(benchmark::State& state) {
    Scene& s = scene();
    const ThreadCase c = threadCase(state.range(1));
    static std::map<std::int64_t, std::pair<std::vector<double>, std::vector<double>>> problems;
    auto& [psf, b] = problems[state.range(1)];
    if (psf.empty()) {
        const auto cache = s.halfArray.steeringCacheFor(s.band.binFrequenciesHz, c.grid);
        const std::uint64_t width = cache->horizontalAxis.size();
        const auto points =
            detail::coarseGridPoints(detail::coarseGridLines(cache->verticalAxis.size(), c.stride),
                                     detail::coarseGridLines(width, c.stride), width);
        psf = Beamformer::pointSpreadMatrix(*cache, points);
        const std::size_t n = points.size();
        b.assign(n, 0.0);
        for (std::size_t j = 0; j < n; ++j) b[j] = psf[j * n + n / 3] + 0.5 * psf[j * n + 2 * n / 3 + 7];
    }
    const detail::DeconvolutionSolver* solver =
        detail::findAlgorithm(static_cast<std::int32_t>(state.range(0)))->deconvolution;
    const BeamformingParameters p;
    const double values[5][2] = {{p.damasRelaxation, 0.0},
                                 {p.damasFistaTolerance, 0.0},
                                 {p.nnlsTolerance, 0.0},
                                 {p.sparseFistaLambdaRel, p.sparseFistaTolerance},
                                 {p.sblNoiseRel, p.sblPruneRel}};
    const std::uint32_t iterations[5] = {p.damasIterations, p.damasFistaIterations, p.nnlsIterations,
                                         p.sparseFistaIterations, 1};
    const auto k = static_cast<std::size_t>(state.range(0) - 10);
    state.SetLabel(detail::findAlgorithm(static_cast<std::int32_t>(state.range(0)))->name);
    const bench::ThreadScope threads(static_cast<int>(state.range(2)));
    for (auto _ : state)
        benchmark::DoNotOptimize(solver->solve(psf, b, iterations[k], values[k][0], values[k][1]));
    state.counters["n"] = static_cast<double>(b.size());
}
BENCHMARK(BM_SolverThreads)
    ->ArgNames({"id", "n", "threads"})
    ->ArgsProduct({{10, 11, 12, 13, 14}, {391, 1025}, {1, 4}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Apply(bench::minOfRepetitions);

void BM_CleanScThreads(benchmark::State& state) {
    Scene& s = scene();
    const CameraGridSpec grid{64.0, 48.0, 0.0, 0.0, 1.0, 1.0, std::numeric_limits<double>::infinity()};
    const BeamformingParameters p;
    s.halfArray.cleanScMap(s.halfMatrices, s.band.binFrequenciesHz, p.cleanLoopGain, p.cleanMaxIterations,
                           p.cleanStopDb, grid);  // warm the cache
    const bench::ThreadScope threads(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(s.halfArray.cleanScMap(s.halfMatrices, s.band.binFrequenciesHz,
                                                        p.cleanLoopGain, p.cleanMaxIterations, p.cleanStopDb,
                                                        grid));
    }
}
BENCHMARK(BM_CleanScThreads)
    ->ArgNames({"threads"})
    ->Arg(1)
    ->Arg(4)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Apply(bench::minOfRepetitions);

}  // namespace
}  // namespace zk::core
