// One SBL pass (iterations 1, noise_rel 0.001, prune_rel 1e-5) over the point-spread matrix of the
// shipped 128-microphone array, 16 bins of a third-octave at 8 kHz (48 kHz, 1024-point FFT), on a 64 x 48
// degree grid at 1 degree (65 x 49 cells): n = 391 (stride 3), n = 1000 (a 40 x 25 block of cells),
// n = 2000 (a 50 x 40 block) and n = 3185 (stride 1), on 1 and 4 OpenMP threads. "peak_MiB" is the
// resident memory the pass adds at its peak (Linux: the high-water mark reset before the pass), beside the
// size of one n x n matrix of doubles ("n2_doubles_MiB"); the point-spread matrix itself is not counted.
// BM_SblPassInProducts sets the pass against one n x n double matrix product built for this CPU
// (-march=native Eigen), the two interleaved in one process, the fastest of five of each;
// BM_SblStraightPassInProducts does the same for a pass in the straight form (almost no noise loading).

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <limits>
#include <map>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "bench_support.h"
#include "core/beamforming/deconvolution_solvers.h"
#include "core/beamforming/detail/coarse_grid.h"
#include "core/beamforming/detail/sbl_pass.h"
#include "core/signal/frequency_band.h"
#include "matrix_product_baselines.h"

namespace zk::core {
namespace {

constexpr std::uint64_t kWidth = 65;
constexpr std::uint64_t kHeight = 49;

std::vector<std::uint64_t> pointsFor(std::int64_t n) {
    if (n == 391) {
        return detail::coarseGridPoints(detail::coarseGridLines(kHeight, 3),
                                        detail::coarseGridLines(kWidth, 3), kWidth);
    }
    if (n == 1000 || n == 2000) {
        std::vector<std::uint64_t> rows(n == 1000 ? 25 : 40), columns(n == 1000 ? 40 : 50);
        for (std::uint64_t i = 0; i < rows.size(); ++i) rows[i] = i + (kHeight - rows.size()) / 2;
        for (std::uint64_t i = 0; i < columns.size(); ++i) columns[i] = i + (kWidth - columns.size()) / 2;
        return detail::coarseGridPoints(rows, columns, kWidth);
    }
    return detail::coarseGridPoints(detail::coarseGridLines(kHeight, 1), detail::coarseGridLines(kWidth, 1),
                                    kWidth);
}

struct Problem {
    std::vector<double> p;
    std::vector<double> b;
};

// P of the coarse points and b = P x for two point sources, normalised to a largest value of 1.
const Problem& problem(std::int64_t n) {
    static std::map<std::int64_t, Problem> made;
    auto found = made.find(n);
    if (found != made.end()) return found->second;
    const Beamformer beamformer(bench::liveArray(), 343.0);
    FrequencyBandParameters band;
    band.centerHz = 8000.0;
    band.binLimit = 16;
    const FrequencyBand resolved = resolveFrequencyBand(48000, 1024, band);
    const auto cache = beamformer.steeringCacheFor(resolved.binFrequenciesHz, 64.0, 48.0, 0.0, 0.0, 1.0, 1.0,
                                                   std::numeric_limits<double>::infinity());
    Problem out;
    const std::vector<std::uint64_t> points = pointsFor(n);
    const std::size_t size = points.size();
    out.p = Beamformer::pointSpreadMatrix(*cache, points);
    out.b.assign(size, 0.0);
    const std::size_t sources[2] = {size / 3, 2 * size / 3 + 7};
    double largest = 0.0;
    for (std::size_t j = 0; j < size; ++j) {
        out.b[j] = out.p[j * size + sources[0]] + 0.5 * out.p[j * size + sources[1]];
        largest = std::max(largest, out.b[j]);
    }
    for (double& v : out.b) v /= largest;
    return made.emplace(n, std::move(out)).first->second;
}

double statusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0) return std::stod(line.substr(key.size()));
    }
    return 0.0;
}

void BM_SblSolvePass(benchmark::State& state) {
    // A fixed threshold keeps every large block mapped on its own and unmapped when freed; glibc would
    // otherwise raise it after the first free and keep later passes' blocks resident in its heap.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    const bench::ThreadScope threads(static_cast<int>(state.range(1)));
    const Problem& input = problem(state.range(0));
    double peakMiB = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        std::ofstream("/proc/self/clear_refs") << "5";  // resets the high-water mark
        const double before = statusKiB("VmRSS");
        state.ResumeTiming();
        benchmark::DoNotOptimize(sblSolve(input.p, input.b, 1, 0.001, 1e-5));
        state.PauseTiming();
        peakMiB = std::max(peakMiB, (statusKiB("VmHWM") - before) / 1024.0);
        state.ResumeTiming();
    }
    const double n = static_cast<double>(input.b.size());
    state.counters["n"] = n;
    state.counters["peak_MiB"] = peakMiB;
    state.counters["n2_doubles_MiB"] = n * n * 8.0 / (1024.0 * 1024.0);
}
BENCHMARK(BM_SblSolvePass)
    ->ArgNames({"n", "threads"})
    ->ArgsProduct({{391, 1000, 2000, 3185}, {1, 4}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->ComputeStatistics("min", bench::fastest)
    ->ReportAggregatesOnly(true);

double secondsOf(const auto& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The pass against the product, the two interleaved, the fastest of five of each. "products_per_pass" is
// the goal's figure; "product_GFLOPS" what the yardstick reaches (2 n^3 flops).
template <typename Pass>
void passInProducts(benchmark::State& state, std::size_t n, int threads, const Pass& runPass) {
    std::vector<double> a(n * n), b(n * n), c(n * n);
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (double& v : a) v = u(rng);
    for (double& v : b) v = u(rng);
    double pass = 1e300, product = 1e300;
    for (auto _ : state) {
        for (int repeat = 0; repeat < 5; ++repeat) {
            product = std::min(product, secondsOf([&] { bench::matrixProductDouble(a, b, c, n, threads); }));
            pass = std::min(pass, secondsOf(runPass));
        }
    }
    const double size = static_cast<double>(n);
    state.SetLabel(std::string(vectorLevelName(vectorLevel())) + " against Eigen " +
                   bench::matrixProductInstructionSets());
    state.counters["n"] = size;
    state.counters["pass_s"] = pass;
    state.counters["product_s"] = product;
    state.counters["products_per_pass"] = pass / product;
    state.counters["product_GFLOPS"] = 2.0 * size * size * size / product * 1e-9;
}

// The solver's first pass (every point active, the Woodbury form at this noise loading).
void BM_SblPassInProducts(benchmark::State& state) {
    const int threads = static_cast<int>(state.range(1));
    const bench::ThreadScope team(threads);
    const Problem& input = problem(state.range(0));
    passInProducts(state, input.b.size(), threads,
                   [&] { benchmark::DoNotOptimize(sblSolve(input.p, input.b, 1, 0.001, 1e-5)); });
}
BENCHMARK(BM_SblPassInProducts)
    ->ArgNames({"n", "threads"})
    ->ArgsProduct({{2000, 3185}, {1, 4}})
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->Iterations(1);

// One pass in the straight form: every point active with the first pass's variances and almost no noise
// loading, as once the fit is close ("straight" is 1 when the pass took that form).
void BM_SblStraightPassInProducts(benchmark::State& state) {
    const int threads = static_cast<int>(state.range(1));
    const bench::ThreadScope team(threads);
    const Problem& input = problem(state.range(0));
    const std::size_t n = input.b.size();
    std::vector<double> pty(n, 0.0), gamma(n);
    for (std::size_t j = 0; j < n; ++j) {
        for (std::size_t i = 0; i < n; ++i) pty[i] += input.p[j * n + i] * input.b[j];
    }
    for (std::size_t i = 0; i < n; ++i) gamma[i] = std::max(1e-6, pty[i] * pty[i]);
    std::vector<std::size_t> active(n);
    std::iota(active.begin(), active.end(), std::size_t{0});
    detail::SblWorkspace work(n);
    const detail::CancelPoll cancel;
    std::vector<double> projected, retained;
    passInProducts(state, n, threads, [&] {
        benchmark::DoNotOptimize(
            detail::sblPass(input.p, input.b, pty, gamma, active, 1e-13, work, cancel, projected, retained));
    });
    state.counters["straight"] = work.straight ? 1.0 : 0.0;
}
BENCHMARK(BM_SblStraightPassInProducts)
    ->ArgNames({"n", "threads"})
    ->ArgsProduct({{2000, 3185}, {1, 4}})
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace
}  // namespace zk::core
