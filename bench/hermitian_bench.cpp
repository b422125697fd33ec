// Hermitian factorisations of M x M positive definite matrices, M = 16, 64 and the live 128
// microphones ("mics"), on the calling thread.
#include <benchmark/benchmark.h>

#include <complex>
#include <cstdint>
#include <random>
#include <vector>

#include "bench_support.h"
#include "core/signal/hermitian.h"

namespace {

using cd = std::complex<double>;

// B * B^H + I, column-major, fixed seed: a well-conditioned cross-spectral-like matrix of M mics.
std::vector<cd> positiveDefinite(std::uint64_t M) {
    std::mt19937_64 rng(7);
    std::normal_distribution<double> g;
    std::vector<cd> b(M * M), a(M * M);
    for (cd& v : b) v = cd(g(rng), g(rng));
    for (std::uint64_t c = 0; c < M; ++c) {
        for (std::uint64_t r = 0; r < M; ++r) {
            cd s = r == c ? 1.0 : 0.0;
            for (std::uint64_t k = 0; k < M; ++k) s += b[r + k * M] * std::conj(b[c + k * M]);
            a[r + c * M] = s;
        }
    }
    return a;
}

template <typename F>
void run(benchmark::State& state, F f) {
    const auto M = static_cast<std::uint64_t>(state.range(0));
    const std::vector<cd> a = positiveDefinite(M);
    for (auto _ : state) benchmark::DoNotOptimize(f(a.data(), M));
    state.counters["mics"] = static_cast<double>(M);
}

void BM_HermitianCholesky(benchmark::State& s) { run(s, zk::core::hermitianCholesky); }
void BM_HermitianInverse(benchmark::State& s) { run(s, zk::core::hermitianInverse); }
void BM_HermitianEigen(benchmark::State& s) { run(s, zk::core::hermitianEigen); }

}  // namespace

BENCHMARK(BM_HermitianCholesky)
    ->ArgName("mics")
    ->Arg(16)
    ->Arg(64)
    ->Arg(128)
    ->Apply(zk::bench::minOfRepetitions);
BENCHMARK(BM_HermitianInverse)
    ->ArgName("mics")
    ->Arg(16)
    ->Arg(64)
    ->Arg(128)
    ->Apply(zk::bench::minOfRepetitions);
BENCHMARK(BM_HermitianEigen)->ArgName("mics")->Arg(16)->Arg(64)->Arg(128)->Apply(zk::bench::minOfRepetitions);
