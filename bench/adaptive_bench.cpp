// Adaptive maps at live-view size: the shipped 128-microphone array (M = 128), a 64 x 48 degree grid
// at 2 degrees (33 x 25 = 825 cells), F = 16 bins near 8 kHz, on 1 and 4 OpenMP threads ("threads").
// The warm variants reuse the Beamformer's steering cache as the streaming engine does between map
// jobs; the cold variant includes building the steering entry.

#include <benchmark/benchmark.h>

#include <algorithm>
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
using zk::core::HeatmapGrid;
using zk::core::MatrixRows;
using zk::core::MicrophonePosition;

constexpr std::size_t kMics = 128;
constexpr std::size_t kBins = 16;
constexpr double kSpeed = 343.0;
constexpr double kFar = std::numeric_limits<double>::infinity();

std::vector<double> band() {
    std::vector<double> f(kBins);
    for (std::size_t b = 0; b < kBins; ++b) {
        f[b] = (163.0 + static_cast<double>(b)) * 48000.0 / 1024.0;
    }
    return f;
}

// Two far-field sources plus sensor noise and a little random coherent clutter per bin.
std::vector<MatrixRows> matrices(const std::vector<MicrophonePosition>& mics, const std::vector<double>& f) {
    std::mt19937 rng(7u);
    std::normal_distribution<double> gauss;
    std::vector<MatrixRows> out;
    for (const double hz : f) {
        MatrixRows R(kMics, std::vector<std::complex<double>>(kMics));
        const auto add = [&](double tx, double ty, double power) {
            std::vector<std::complex<double>> v(kMics);
            for (std::size_t m = 0; m < kMics; ++m) {
                const double d = (tx * mics[m].x + ty * mics[m].y) / std::sqrt(1 + tx * tx + ty * ty);
                v[m] = std::polar(1.0, 2.0 * std::numbers::pi * hz * d / kSpeed);
            }
            for (std::size_t i = 0; i < kMics; ++i) {
                for (std::size_t k = 0; k < kMics; ++k) {
                    R[i][k] += power * v[i] * std::conj(v[k]);
                }
            }
        };
        add(0.2, 0.1, 1.0);
        add(-0.3, -0.15, 0.4);
        for (int clutter = 0; clutter < 4; ++clutter) {
            add(0.6 * gauss(rng), 0.4 * gauss(rng), 0.01);
        }
        for (std::size_t i = 0; i < kMics; ++i) {
            R[i][i] += 0.05;
        }
        out.push_back(std::move(R));
    }
    return out;
}

struct Fixture {
    std::vector<MicrophonePosition> mics = zk::bench::liveArray();
    std::vector<double> freqs = band();
    std::vector<MatrixRows> csm = matrices(mics, freqs);
};

const Fixture& fixture() {
    static const Fixture f;
    return f;
}

template <typename Run>
void runWarm(benchmark::State& state, Run run) {
    const zk::bench::ThreadScope threads(static_cast<int>(state.range(0)));
    const Fixture& fx = fixture();
    Beamformer bf(fx.mics, kSpeed);
    benchmark::DoNotOptimize(run(bf, fx));
    for (auto _ : state) {
        HeatmapGrid map = run(bf, fx);
        benchmark::DoNotOptimize(map.power.data());
    }
    state.SetLabel("M=128, 33x25 cells, F=16");
}

HeatmapGrid mvdr(const Beamformer& bf, const Fixture& fx) {
    return bf.mvdrMap(fx.csm, fx.freqs, 0.001, 1e-12, 64, 48, 0, 0, 2, 2, kFar);
}
HeatmapGrid robustCapon(const Beamformer& bf, const Fixture& fx) {
    return bf.robustCaponMap(fx.csm, fx.freqs, 0.001, 0.05, 1.0, 1e-12, 64, 48, 0, 0, 2, 2, kFar);
}
HeatmapGrid functional(const Beamformer& bf, const Fixture& fx) {
    return bf.functionalMap(fx.csm, fx.freqs, 20, 1e-10, 64, 48, 0, 0, 2, 2, kFar);
}
HeatmapGrid cleanSc(const Beamformer& bf, const Fixture& fx) {
    return bf.cleanScMap(fx.csm, fx.freqs, 0.6, 20, -25.0, 64, 48, 0, 0, 2, 2, kFar);
}

void BM_Mvdr(benchmark::State& state) { runWarm(state, mvdr); }
void BM_RobustCapon(benchmark::State& state) { runWarm(state, robustCapon); }
void BM_Functional(benchmark::State& state) { runWarm(state, functional); }
void BM_CleanSc(benchmark::State& state) { runWarm(state, cleanSc); }

void BM_MvdrColdSteering(benchmark::State& state) {
    const zk::bench::ThreadScope threads(static_cast<int>(state.range(0)));
    const Fixture& fx = fixture();
    for (auto _ : state) {
        Beamformer bf(fx.mics, kSpeed);
        HeatmapGrid map = mvdr(bf, fx);
        benchmark::DoNotOptimize(map.power.data());
    }
    state.SetLabel("M=128, 33x25 cells, F=16, steering built per call");
}

void options(benchmark::internal::Benchmark* b) {
    b->ArgName("threads")->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();
    zk::bench::minOfRepetitions(b);
}

BENCHMARK(BM_Mvdr)->Apply(options);
BENCHMARK(BM_RobustCapon)->Apply(options);
BENCHMARK(BM_Functional)->Apply(options);
BENCHMARK(BM_CleanSc)->Apply(options);
BENCHMARK(BM_MvdrColdSteering)->Apply(options);

}  // namespace
