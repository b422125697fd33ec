// Delay-and-sum at the live size: the shipped 128-microphone array (M = 128), a 64 x 48 degree grid at
// 1 degree (65 x 49 = 3185 cells), F = 32 bins between 2 and 8 kHz, far field, warm steering cache.
// Each entry runs on 1 and on 4 OpenMP threads ("threads"); broadbandDas also at each kernel vector
// level ("vector": 0 baseline, 1 AVX2, 2 AVX-512, capped at what the CPU has).
#include <benchmark/benchmark.h>

#include <cmath>
#include <complex>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "bench_support.h"
#include "core/beamforming/beamformer.h"
#include "matrix_product_baselines.h"

namespace {

using zk::bench::liveArray;
using zk::bench::minOfRepetitions;
using zk::bench::ThreadScope;
using zk::core::Beamformer;
using zk::core::MatrixRows;
using C = std::complex<double>;

constexpr std::size_t kMics = 128;
constexpr std::size_t kBins = 32;
constexpr double kInf = std::numeric_limits<double>::infinity();

struct Scenario {
    std::vector<double> freqs;
    std::vector<MatrixRows> matrices;
    std::vector<C> spectra;

    Scenario() {
        std::mt19937 rng(1);
        std::normal_distribution<double> n(0.0, 1.0);
        for (std::size_t b = 0; b < kBins; ++b) freqs.push_back(2000.0 + 187.5 * static_cast<double>(b));
        for (std::size_t b = 0; b < kBins; ++b) {
            MatrixRows r(kMics, std::vector<C>(kMics));
            for (int t = 0; t < 3; ++t) {
                std::vector<C> v(kMics);
                for (auto& x : v) x = {n(rng), n(rng)};
                for (std::size_t i = 0; i < kMics; ++i) {
                    for (std::size_t j = 0; j < kMics; ++j) r[i][j] += v[i] * std::conj(v[j]);
                }
            }
            matrices.push_back(std::move(r));
        }
        spectra.resize(kBins * kMics);
        for (auto& x : spectra) x = {n(rng), n(rng)};
    }
};

const Scenario& scenario() {
    static const Scenario s;
    return s;
}

// The flops of the pair formulation: four multiply-adds per pair, cell and bin.
double pairFlops(std::size_t gridPoints) {
    return 8.0 * static_cast<double>(kMics * (kMics - 1) / 2) * static_cast<double>(gridPoints) *
           static_cast<double>(kBins);
}

void BM_BroadbandDasWarmCache(benchmark::State& state) {
    const ThreadScope threads(static_cast<int>(state.range(0)));
    const zk::bench::VectorLevelScope level(state.range(1));
    const auto& s = scenario();
    Beamformer bf(liveArray(), 343.0);
    auto map = bf.broadbandDas(s.matrices, s.freqs, 64, 48, 0, 0, 1, 1, true, kInf);
    for (auto _ : state) {
        map = bf.broadbandDas(s.matrices, s.freqs, 64, 48, 0, 0, 1, 1, true, kInf);
        benchmark::DoNotOptimize(map.power.data());
    }
    state.SetLabel(zk::core::vectorLevelName(zk::core::vectorLevel()));
    state.counters["cells"] = static_cast<double>(map.power.size());
    state.counters["flops"] =
        benchmark::Counter(pairFlops(map.power.size()), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_BroadbandDasWarmCache)
    ->ArgNames({"threads", "vector"})
    ->ArgsProduct({{1, 4}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Apply(minOfRepetitions);

// The same map as a single-precision complex matrix product: Y = R A over the grid's steering columns,
// power = Re(sum of conj(A) .* Y) minus the trace, per bin. Twice the pair formulation's flops.
void BM_MatrixProductDas(benchmark::State& state) {
    const int threads = static_cast<int>(state.range(0));
    const auto& s = scenario();
    Beamformer bf(liveArray(), 343.0);
    const auto cache = bf.steeringCacheFor(s.freqs, 64, 48, 0, 0, 1, 1, kInf);
    const std::size_t points = cache->gridPointCount;
    std::vector<std::complex<float>> csm(kBins * kMics * kMics);
    std::vector<double> trace(kBins, 0.0);
    for (std::size_t b = 0; b < kBins; ++b) {
        for (std::size_t j = 0; j < kMics; ++j) {
            trace[b] += s.matrices[b][j][j].real();
            for (std::size_t i = 0; i < kMics; ++i) {
                csm[(b * kMics + j) * kMics + i] = std::complex<float>(s.matrices[b][i][j]);
            }
        }
    }
    std::vector<std::complex<float>> workspace(kMics * points);
    std::vector<double> power(points);
    const double divisor = kMics * (kMics - 1.0);
    for (auto _ : state) {
        zk::bench::matrixProductDas(csm, cache->phaseTerms, trace, kMics, points, divisor, threads, workspace,
                                    power);
        benchmark::DoNotOptimize(power.data());
    }
    state.SetLabel(std::string("Eigen ") + zk::bench::matrixProductInstructionSets());
    state.counters["flops"] =
        benchmark::Counter(2.0 * pairFlops(points), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_MatrixProductDas)
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(4)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Apply(minOfRepetitions);

// The textbook loop: double-precision pair sum per cell and bin over the same cached phase terms.
void BM_NaiveDoubleDas(benchmark::State& state) {
    const int threads = static_cast<int>(state.range(0));
    const auto& s = scenario();
    Beamformer bf(liveArray(), 343.0);
    const auto cache = bf.steeringCacheFor(s.freqs, 64, 48, 0, 0, 1, 1, kInf);
    const std::size_t points = cache->gridPointCount;
    std::vector<double> power(points);
    for (auto _ : state) {
#pragma omp parallel for num_threads(threads) schedule(static)
        for (std::size_t g = 0; g < points; ++g) {
            double total = 0.0;
            for (std::size_t b = 0; b < kBins; ++b) {
                const std::complex<float>* a = &cache->phaseTerms[(b * points + g) * kMics];
                double q = 0.0;
                for (std::size_t k = 0; k < kMics; ++k) {
                    const C ak(a[k]);
                    for (std::size_t l = k + 1; l < kMics; ++l) {
                        q += 2.0 * (std::conj(ak) * s.matrices[b][k][l] * C(a[l])).real();
                    }
                }
                total += std::max(q / (kMics * (kMics - 1.0)), 0.0);
            }
            power[g] = total;
        }
        benchmark::DoNotOptimize(power.data());
    }
    state.counters["flops"] =
        benchmark::Counter(pairFlops(points), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_NaiveDoubleDas)
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(4)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->ComputeStatistics("min", zk::bench::fastest)
    ->ReportAggregatesOnly(true);

// Four bins per call, walking through the band as the streaming engine does.
void BM_UpdateStreamingDasFourBins(benchmark::State& state) {
    const int threads = static_cast<int>(state.range(0));
    const auto& s = scenario();
    Beamformer bf(liveArray(), 343.0);
    zk::core::StreamingDasState das;
    bf.updateStreamingDas(das, s.spectra, s.freqs, 0.9, 64, 48, 0, 0, 1, 1, kInf, threads, 0, 0);
    std::uint64_t first = 0;
    for (auto _ : state) {
        bf.updateStreamingDas(das, s.spectra, s.freqs, 0.9, 64, 48, 0, 0, 1, 1, kInf, threads, first, 4);
        first = (first + 4) % kBins;
        benchmark::DoNotOptimize(das.beamSums.data());
    }
    state.counters["cells"] = static_cast<double>(das.gridPointCount);
}
BENCHMARK(BM_UpdateStreamingDasFourBins)
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(4)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->Apply(minOfRepetitions);

void BM_SteeringCacheBuild(benchmark::State& state) {
    const ThreadScope threads(static_cast<int>(state.range(0)));
    const auto& s = scenario();
    Beamformer bf(liveArray(), 343.0);
    double speed = 343.0;
    std::size_t bytes = 0;
    for (auto _ : state) {
        speed = speed == 343.0 ? 344.0 : 343.0;  // a new speed empties the cache
        bf.setSpeedOfSound(speed);
        const auto cache = bf.steeringCacheFor(s.freqs, 64, 48, 0, 0, 1, 1, kInf);
        bytes = cache->phaseTerms.size() * sizeof(std::complex<float>) +
                (cache->phasePlaneRe.size() + cache->phasePlaneIm.size()) * sizeof(float);
        benchmark::DoNotOptimize(cache.get());
    }
    state.counters["MiB"] = static_cast<double>(bytes) / (1024.0 * 1024.0);
}
BENCHMARK(BM_SteeringCacheBuild)
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(4)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Apply(minOfRepetitions);

}  // namespace
