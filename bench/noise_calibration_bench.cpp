// The calibration's sums and the profile built from them at the shipped array's size: 128 channels
// and the 513 bins of a 1024-point frame. A frame comes every 512 / 48000 s and one in three is summed;
// every sixteenth summed frame pays the pass over the sums of all sixteen, so that pass must take well
// under 16 x 32 ms to keep pace.
#include <benchmark/benchmark.h>

#include <complex>
#include <random>
#include <vector>

#include "app/noise_calibration.h"

namespace {

constexpr std::uint64_t kChannels = 128;
constexpr std::uint64_t kBins = 513;

std::vector<std::complex<double>> randomFrame() {
    std::mt19937 random(1);
    std::normal_distribution<double> normal(0.0, 1.0);
    std::vector<std::complex<double>> frame(kChannels * kBins);
    for (auto& v : frame) v = {normal(random), normal(random)};
    return frame;
}

void BM_NoiseFrameSum(benchmark::State& state) {
    const std::vector<std::complex<double>> frame = randomFrame();
    zk::app::NoiseCalibrationAccum accum;
    for (auto _ : state) {
        accum.wellSizedBlocks = 2;  // the next frame is a third one: summed
        accum.pendingFrames = 15;   // and the sixteenth pending: one pass over the sums
        benchmark::DoNotOptimize(zk::app::offerNoiseFrame(accum, frame, kChannels));
    }
    state.counters["channels"] = kChannels;
    state.counters["bins"] = kBins;
    state.counters["framesPerPass"] = 16;
}
BENCHMARK(BM_NoiseFrameSum)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_NoiseFloorProfileBuild(benchmark::State& state) {
    const std::vector<std::complex<double>> frame = randomFrame();
    zk::app::NoiseCalibrationAccum accum;
    for (int i = 0; i < 3; ++i) zk::app::offerNoiseFrame(accum, frame, kChannels);
    zk::app::flushNoiseFrames(accum);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            zk::app::buildNoiseFloorProfile(accum, "hash", 48000, "2026-01-01T00:00:00Z"));
    }
    state.counters["channels"] = kChannels;
    state.counters["bins"] = kBins;
}
BENCHMARK(BM_NoiseFloorProfileBuild)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
