// Front end of the signal chain: FFT, framing and cross-spectral updates at live-stream sizes
// (128 microphones, frame 1024, a band of 32 bins).

#include <benchmark/benchmark.h>

#include <complex>
#include <cstdint>
#include <random>
#include <vector>

#include "core/signal/cross_spectral_matrix.h"
#include "core/signal/fft.h"
#include "core/signal/spectral_framer.h"

namespace {

constexpr std::uint64_t kChannels = 128;
constexpr std::uint64_t kFrameSize = 1024;
constexpr std::uint64_t kBandFirstBin = 160;
constexpr std::uint64_t kBandBins = 32;

std::vector<std::complex<double>> randomComplex(std::size_t n, std::mt19937& rng) {
    std::normal_distribution<double> dist(0.0, 1.0);
    std::vector<std::complex<double>> v(n);
    for (auto& x : v) {
        x = {dist(rng), dist(rng)};
    }
    return v;
}

// 1024-point transform; the timing includes refilling the 16 KiB input, since the transform consumes it.
void BM_FftRadix2_1024(benchmark::State& state) {
    std::mt19937 rng(1);
    const auto input = randomComplex(kFrameSize, rng);
    for (auto _ : state) {
        auto spectrum = zk::core::fftRadix2(input);
        benchmark::DoNotOptimize(spectrum.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FftRadix2_1024);

// One hop: exactly 1024 samples of each of 128 channels, giving one frame (128 windowed 1024-point FFTs).
void BM_SpectralFramerHop_128ch_1024(benchmark::State& state) {
    std::mt19937 rng(2);
    std::uniform_int_distribution<int> dist(-32768, 32767);
    std::vector<std::int16_t> samples(kChannels * kFrameSize);
    for (auto& s : samples) {
        s = static_cast<std::int16_t>(dist(rng));
    }
    const zk::core::SpectralFramer framer(kFrameSize, kFrameSize / 2);
    for (auto _ : state) {
        auto frames = framer.frame(samples, kChannels);
        benchmark::DoNotOptimize(frames.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SpectralFramerHop_128ch_1024)->UseRealTime();

// addFrameBins over 32 bins of one 128-channel frame into one matrix (32 rank-one updates of 128 x 128).
void csmUpdate(benchmark::State& state, bool exponential) {
    std::mt19937 rng(3);
    zk::core::SpectralFrame frame{kFrameSize, kChannels, {}};
    for (std::uint64_t c = 0; c < kChannels; ++c) {
        frame.spectra.push_back(randomComplex(kFrameSize, rng));
    }
    zk::core::CrossSpectralMatrix matrix(kChannels);
    if (exponential) {
        matrix.setAveragingAlpha(0.9);
    }
    matrix.addFrameBins(frame, kBandFirstBin, kBandFirstBin + kBandBins);
    for (auto _ : state) {
        matrix.addFrameBins(frame, kBandFirstBin, kBandFirstBin + kBandBins);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBandBins);
}

void BM_CsmAddFrameBinsPlain_128ch_32bins(benchmark::State& state) { csmUpdate(state, false); }
BENCHMARK(BM_CsmAddFrameBinsPlain_128ch_32bins);

void BM_CsmAddFrameBinsExponential_128ch_32bins(benchmark::State& state) { csmUpdate(state, true); }
BENCHMARK(BM_CsmAddFrameBinsExponential_128ch_32bins);

}  // namespace
