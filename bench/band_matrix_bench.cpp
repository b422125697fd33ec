// The Full Recompute of a Measurement window and its cache hit: computeBandMatrix over 60 s of the
// shipped 128-microphone profile (48 kHz, frame 1024, hop 512, the third-octave at 8 kHz: 32 bins,
// 5624 spectral frames), then derivedMatrixExists + readDerivedMatrix of the same 32 x 128 x 128 entry.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench_support.h"
#include "core/beamforming/band_matrix.h"
#include "core/beamforming/derived_matrix_cache.h"
#include "core/storage/device_profile.h"

namespace {

namespace fs = std::filesystem;
using namespace zk::core;

constexpr std::uint64_t kWindowFrames = 60 * 48000;

const DeviceProfile& liveProfile() {
    static const DeviceProfile profile = loadDeviceProfile(ZK_PROFILES_DIR "/TM27-128-H1.6.2.device.json");
    return profile;
}

// Hands out one second of noisy wire frames over and over, copied into a fresh vector per read as a
// replayed file would be, so that 60 s do not need 740 MB of samples.
class LoopingSource : public IRawSampleSource {
  public:
    explicit LoopingSource(std::uint64_t wireChannels) : wireChannels_(wireChannels) {
        std::mt19937 random(5);
        std::uniform_int_distribution<int> sample(-3000, 3000);
        samples_.resize(48000 * wireChannels);
        for (auto& s : samples_) s = static_cast<std::int16_t>(sample(random));
    }

    SourceKind kind() const override { return SourceKind::Replay; }
    void configure(const DeviceProfile&) override {}
    void start() override {}
    void stop() override {}
    std::vector<std::int16_t> readFrames(std::uint64_t frameCount) override {
        const std::uint64_t loopFrames = samples_.size() / wireChannels_;
        const std::uint64_t frames = std::min(frameCount, loopFrames - position_);
        const auto first = samples_.begin() + static_cast<std::ptrdiff_t>(position_ * wireChannels_);
        std::vector<std::int16_t> out(first, first + static_cast<std::ptrdiff_t>(frames * wireChannels_));
        position_ = (position_ + frames) % loopFrames;
        return out;
    }

  private:
    std::uint64_t wireChannels_;
    std::vector<std::int16_t> samples_;
    std::uint64_t position_ = 0;
};

BandMatrixRequest windowRequest() {
    BandMatrixRequest request;
    request.frameSize = 1024;
    request.hopSize = 512;
    request.windowFrameCount = kWindowFrames;
    request.gridStep = 2.0;
    return request;
}

void BM_ComputeBandMatrix60s(benchmark::State& state) {
    const zk::bench::ThreadScope threads(static_cast<int>(state.range(0)));
    LoopingSource source(liveProfile().wireChannelCount);
    const BandMatrixRequest request = windowRequest();
    for (auto _ : state) {
        BandMatrix result = computeBandMatrix(source, liveProfile(), request, {}, {});
        benchmark::DoNotOptimize(result.matrices.data());
    }
}
BENCHMARK(BM_ComputeBandMatrix60s)
    ->Arg(4)
    ->Arg(1)
    ->ArgName("threads")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Apply(zk::bench::minOfRepetitions);

// The entry of a short window holds the same 32 x 128 x 128 matrices as the 60 s one.
void BM_DerivedMatrixCacheHit(benchmark::State& state) {
    const fs::path measurement =
        fs::temp_directory_path() / ("zk_band_matrix_bench_" + std::to_string(::getpid()));
    LoopingSource source(liveProfile().wireChannelCount);
    BandMatrixRequest request = windowRequest();
    request.windowFrameCount = 48000;
    const BandMatrix matrix = computeBandMatrix(source, liveProfile(), request, {}, {});
    DerivedMatrixKey key;
    key.frameSize = request.frameSize;
    key.hopSize = request.hopSize;
    key.rawHash = "0123456789abcdef";
    key.profileHash = "fedcba9876543210";
    key.windowFrameCount = kWindowFrames;
    writeDerivedMatrix(measurement, key, matrix);
    for (auto _ : state) {
        if (!derivedMatrixExists(measurement, key)) state.SkipWithError("cache entry not found");
        BandMatrix read = readDerivedMatrix(measurement, key);
        benchmark::DoNotOptimize(read.matrices.data());
    }
    state.counters["bytes"] = static_cast<double>(fs::file_size(derivedMatrixDataPath(measurement, key)));
    fs::remove_all(measurement);
}
BENCHMARK(BM_DerivedMatrixCacheHit)->Unit(benchmark::kMillisecond)->Apply(zk::bench::minOfRepetitions);

}  // namespace
