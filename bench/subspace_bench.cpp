// Subspace and phase-transform maps at live-view size: the shipped 128-microphone array (M = 128), a
// 64 x 48 degree grid at 2 degrees (33 x 25 = 825 points), F = 16 bins, on 1 and 4 OpenMP threads
// ("threads"). The steering entry is built before timing, as it is reused from one live map to the next.

#include <benchmark/benchmark.h>

#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

#include "bench_support.h"
#include "core/beamforming/beamformer.h"

namespace {

using zk::core::Beamformer;
using zk::core::MatrixRows;
using zk::core::MicrophonePosition;

constexpr std::size_t kMics = 128;
constexpr std::size_t kBins = 16;
constexpr double kSpanH = 64.0, kSpanV = 48.0, kStep = 2.0;
constexpr double kFar = std::numeric_limits<double>::infinity();

struct Scene {
    Beamformer beamformer{zk::bench::liveArray(), 343.0};
    std::vector<double> frequencies;
    std::vector<MatrixRows> matrices;

    // Two plane-wave sources plus noise, with random phases so every bin has full rank.
    Scene() {
        std::mt19937 rng(5);
        std::normal_distribution<double> normal;
        const auto& mics = zk::bench::liveArray();
        for (std::size_t b = 0; b < kBins; ++b) {
            const double f = 7000.0 + 125.0 * b;
            frequencies.push_back(f);
            MatrixRows R(kMics, std::vector<std::complex<double>>(kMics));
            for (const double angle : {0.1, -0.2}) {
                std::vector<std::complex<double>> v(kMics);
                for (std::size_t m = 0; m < kMics; ++m) {
                    const double d = std::sin(angle) * mics[m].x + 0.05 * mics[m].y;
                    v[m] = std::polar(1.0, -2.0 * std::numbers::pi * f * d / 343.0);
                }
                for (std::size_t i = 0; i < kMics; ++i)
                    for (std::size_t j = 0; j < kMics; ++j) R[i][j] += v[i] * std::conj(v[j]);
            }
            for (std::size_t i = 0; i < kMics; ++i) {
                R[i][i] += 0.1 + 0.01 * std::abs(normal(rng));
            }
            matrices.push_back(std::move(R));
        }
        beamformer.steeringCacheFor(frequencies, kSpanH, kSpanV, 0, 0, kStep, kStep, kFar);
    }
};

Scene& scene() {
    static Scene s;
    return s;
}

void BM_FixedMusic(benchmark::State& state) {
    const zk::bench::ThreadScope threads(static_cast<int>(state.range(1)));
    Scene& s = scene();
    const auto sources = static_cast<std::uint32_t>(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(s.beamformer.fixedMusicMap(s.matrices, s.frequencies, sources, 1e-14, kSpanH,
                                                            kSpanV, 0, 0, kStep, kStep, kFar));
    }
}
void options(benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)->UseRealTime();
    zk::bench::minOfRepetitions(b);
}

BENCHMARK(BM_FixedMusic)->ArgNames({"sources", "threads"})->ArgsProduct({{2, 16}, {1, 4}})->Apply(options);

void BM_AutoMusic(benchmark::State& state) {
    const zk::bench::ThreadScope threads(static_cast<int>(state.range(1)));
    Scene& s = scene();
    const auto estimator = static_cast<std::uint32_t>(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(s.beamformer.autoMusicMap(s.matrices, s.frequencies, 64, 8, estimator, 1e-14,
                                                           1e-12, kSpanH, kSpanV, 0, 0, kStep, kStep, kFar));
    }
}
BENCHMARK(BM_AutoMusic)->ArgNames({"estimator", "threads"})->ArgsProduct({{1, 3}, {1, 4}})->Apply(options);

void BM_Orthogonal(benchmark::State& state) {
    const zk::bench::ThreadScope threads(static_cast<int>(state.range(1)));
    Scene& s = scene();
    const auto modes = static_cast<std::uint32_t>(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(s.beamformer.orthogonalMap(s.matrices, s.frequencies, modes, 0.0, kSpanH,
                                                            kSpanV, 0, 0, kStep, kStep, kFar));
    }
}
BENCHMARK(BM_Orthogonal)->ArgNames({"modes", "threads"})->ArgsProduct({{6, 32}, {1, 4}})->Apply(options);

void BM_SrpPhat(benchmark::State& state) {
    const zk::bench::ThreadScope threads(static_cast<int>(state.range(0)));
    Scene& s = scene();
    for (auto _ : state) {
        benchmark::DoNotOptimize(s.beamformer.srpPhatMap(s.matrices, s.frequencies, 1e-10, 1.0, true, kSpanH,
                                                         kSpanV, 0, 0, kStep, kStep, kFar));
    }
}
BENCHMARK(BM_SrpPhat)->ArgName("threads")->Arg(1)->Arg(4)->Apply(options);

}  // namespace
