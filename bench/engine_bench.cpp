// The streaming engine at the live case: the shipped 128-microphone profile, 48 kHz, frame 1024, hop 512,
// the third-octave band at 8 kHz and the profile's 68.9 x 42.2 degree camera grid at 1 degree (69 x 43
// cells), OpenMP teams of 4.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <complex>
#include <cstdint>
#include <limits>
#include <memory>
#include <random>
#include <span>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "core/detail/parallel_for.h"
#include "core/signal/cross_spectral_matrix.h"
#include "core/signal/spectral_framer.h"
#include "core/storage/device_profile.h"
#include "core/streaming/streaming_acoustic_engine.h"

namespace {

using namespace zk::core;
using Clock = std::chrono::steady_clock;

constexpr std::uint64_t kFrameSize = 1024;
constexpr std::uint64_t kHop = 512;
constexpr std::size_t kDatagramFrames = 128;

const DeviceProfile& liveProfile() {
    static const DeviceProfile profile = loadDeviceProfile(ZK_PROFILES_DIR "/TM27-128-H1.6.2.device.json");
    return profile;
}

StreamingEngineConfig liveConfig(std::int32_t algorithm, bool useBinRotation) {
    StreamingEngineConfig c;
    c.frameSize = kFrameSize;
    c.hopSize = kHop;
    c.band = {0, 2, 8000.0, 2000.0, 0};
    c.mapIntervalMs = 100;
    c.asyncMaps = true;
    c.useBinRotation = useBinRotation;
    c.beamforming.algorithm = algorithm;
    return c;
}

// Seconds of noise-like wire frames, made once: the cost of the maps does not depend on the content.
const std::vector<std::int16_t>& wireSeconds(double seconds) {
    static std::vector<std::int16_t> samples;
    const auto wanted =
        static_cast<std::size_t>(seconds * liveProfile().sampleRateHz) * liveProfile().wireChannelCount;
    if (samples.size() < wanted) {
        std::mt19937 rng(11);
        std::uniform_int_distribution<int> dist(-3000, 3000);
        samples.resize(wanted);
        for (auto& s : samples) s = static_cast<std::int16_t>(dist(rng));
    }
    return samples;
}

// The map thread of the application: renderPendingMap in a loop, 2 ms apart after a miss.
class MapThread {
  public:
    explicit MapThread(StreamingAcousticEngine& engine)
        : thread_([this, &engine] {
              while (!stop_.load()) {
                  bool stored = false;
                  try {
                      stored = engine.renderPendingMap();
                  } catch (...) {
                      failures_.fetch_add(1);
                  }
                  if (stored) {
                      stored_.fetch_add(1);
                  } else {
                      std::this_thread::sleep_for(std::chrono::milliseconds(2));
                  }
              }
          }) {}
    ~MapThread() {
        stop_.store(true);
        thread_.join();
    }
    MapThread(const MapThread&) = delete;
    MapThread& operator=(const MapThread&) = delete;

    std::uint64_t stored() const { return stored_.load(); }
    std::uint64_t failures() const { return failures_.load(); }

  private:
    std::atomic<bool> stop_{false};           // set by the destructor, read by the loop
    std::atomic<std::uint64_t> stored_{0};    // maps stored, written by the loop
    std::atomic<std::uint64_t> failures_{0};  // exceptions caught, written by the loop
    std::thread thread_;
};

// (a) 10 s of signal pushed datagram by datagram as fast as the engine takes it, DAS maps every 100 ms
// rendered by a map thread. "realtime_x" is seconds of signal per second of wall time (goal: 10);
// "das_update_ms" the mean per-hop DAS update from latencyStatistics.
void BM_EngineLiveDas10s(benchmark::State& state) {
    const zk::bench::ThreadScope threads(static_cast<int>(state.range(0)));
    const DeviceProfile& profile = liveProfile();
    const auto& wire = wireSeconds(10.0);
    StreamingAcousticEngine engine;
    engine.configure(profile, liveConfig(1, false));
    const std::size_t block = kDatagramFrames * profile.wireChannelCount;
    double wallSeconds = 0.0;
    std::uint64_t maps = 0;
    MapLatencyStats stats;
    std::uint64_t hops = 0;
    for (auto _ : state) {
        engine.reset();
        const MapThread mapThread(engine);
        const auto t0 = Clock::now();
        for (std::size_t offset = 0; offset + block <= wire.size(); offset += block) {
            engine.pushWireFrames(std::span(wire).subspan(offset, block));
        }
        const auto t1 = Clock::now();
        wallSeconds = std::chrono::duration<double>(t1 - t0).count();
        state.SetIterationTime(wallSeconds);
        maps = mapThread.stored();
        hops = engine.processedBlockCount();
        stats = engine.latencyStatistics();
        if (mapThread.failures() != 0) state.SkipWithError("a map render failed");
    }
    state.counters["realtime_x"] = 10.0 / wallSeconds;
    state.counters["hop_us"] = wallSeconds / static_cast<double>(hops) * 1e6;
    state.counters["maps_per_s"] = static_cast<double>(maps) / wallSeconds;
    state.counters["das_update_ms"] = stats.meanMs;
    state.counters["das_update_p95_ms"] = stats.p95Ms;
    state.counters["bins"] = static_cast<double>(engine.frequencyBand().binIndices.size());
}
BENCHMARK(BM_EngineLiveDas10s)
    ->Arg(4)
    ->ArgName("threads")
    ->Iterations(1)
    ->Repetitions(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The parts of one hop at the live sizes, as the engine runs them: 0 framing (128 Hann-windowed
// 1024-point transforms), 1 matrix update (one 128 x 128 rank-one update per band bin, 4 threads),
// 2 DAS update (the bins of one rotation step: ceil(F / 9) of F, 9 hops per 100 ms map), on 1 or 4
// threads.
void BM_EngineHopPart(benchmark::State& state) {
    const int teams = static_cast<int>(state.range(1));
    const zk::bench::ThreadScope threads(teams);
    const DeviceProfile& profile = liveProfile();
    const std::uint64_t m = profile.channelCount;
    const FrequencyBand band =
        resolveFrequencyBand(profile.sampleRateHz, kFrameSize, {0, 2, 8000.0, 2000.0, 0});
    const std::size_t bins = band.binIndices.size();
    const auto& wire = wireSeconds(10.0);
    const std::vector<std::int16_t> frameSamples(wire.begin(),
                                                 wire.begin() + static_cast<std::ptrdiff_t>(m * kFrameSize));
    const SpectralFramer framer(kFrameSize, kHop);
    std::vector<SpectralFrame> frames;
    framer.frameInto(frameSamples, m, frames);
    std::vector<std::complex<double>> bandBuffer(bins * m);
    for (std::size_t i = 0; i < bins; ++i) {
        for (std::uint64_t c = 0; c < m; ++c)
            bandBuffer[i * m + c] = frames.front().spectra[c][band.binIndices[i]];
    }
    const double hopSeconds = static_cast<double>(kHop) / profile.sampleRateHz;
    std::vector<CrossSpectralMatrix> matrices;
    for (std::size_t i = 0; i < bins; ++i) {
        matrices.emplace_back(m);
        matrices.back().setAveragingAlpha(std::exp(-hopSeconds / 0.5));
    }
    std::vector<MicrophonePosition> mics;
    for (const auto& mic : profile.microphones) mics.push_back({mic.x, mic.y, mic.z});
    const Beamformer beamformer(mics, 343.0);
    const CameraGridSpec grid{profile.camera->hfovDeg,
                              profile.camera->vfovDeg,
                              0.0,
                              0.0,
                              1.0,
                              1.0,
                              std::numeric_limits<double>::infinity()};
    StreamingDasState das;
    const std::uint64_t perHop = (bins + 8) / 9;
    beamformer.updateStreamingDas(das, bandBuffer, band.binFrequenciesHz, 0.9, grid, 4, 0, 0);
    std::uint64_t cursor = 0;

    for (auto _ : state) {
        switch (state.range(0)) {
            case 0:
                framer.frameInto(frameSamples, m, frames);
                benchmark::DoNotOptimize(frames.data());
                break;
            case 1:
                detail::parallelFor(static_cast<std::int64_t>(bins), teams, [&](std::int64_t i) {
                    const auto b = static_cast<std::size_t>(i);
                    matrices[b].addSpectrum(std::span(bandBuffer).subspan(b * m, m));
                });
                benchmark::ClobberMemory();
                break;
            default:
                beamformer.updateStreamingDas(das, bandBuffer, band.binFrequenciesHz, 0.9, grid, teams,
                                              cursor, perHop);
                cursor = cursor + perHop < bins ? cursor + perHop : 0;
                benchmark::ClobberMemory();
                break;
        }
    }
    static const char* const kNames[] = {"framing", "matrix update", "DAS update"};
    state.SetLabel(kNames[std::min<std::int64_t>(state.range(0), 2)]);
    state.counters["bins"] = static_cast<double>(state.range(0) == 2 ? perHop : bins);
    state.counters["grid_cells"] = static_cast<double>(das.gridPointCount);
}
BENCHMARK(BM_EngineHopPart)
    ->ArgsProduct({{0, 1, 2}, {1, 4}})
    ->ArgNames({"part", "threads"})
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

// (b) MVDR through the BinRotationMap at M = 128: 5 s of signal pushed at the stream's own pace while the
// map thread renders the newest job. Latency percentiles from latencyStatistics (bucket bounds); the live
// view needs at least 10 maps per second, which the mean render time bounds as render_capacity_per_s.
void BM_EngineLiveMvdrRotation(benchmark::State& state) {
    const zk::bench::ThreadScope threads(4);
    const DeviceProfile& profile = liveProfile();
    const auto& wire = wireSeconds(5.0);
    StreamingAcousticEngine engine;
    engine.configure(profile, liveConfig(3, true));
    const std::size_t block = kDatagramFrames * profile.wireChannelCount;
    const std::size_t total = std::size_t{5} * profile.sampleRateHz * profile.wireChannelCount;
    const auto datagramPeriod = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(static_cast<double>(kDatagramFrames) / profile.sampleRateHz));
    MapLatencyStats stats;
    double maps = 0.0;
    double wallSeconds = 0.0;
    for (auto _ : state) {
        engine.reset();
        const MapThread mapThread(engine);
        const auto t0 = Clock::now();
        auto next = t0;
        for (std::size_t offset = 0; offset + block <= total; offset += block) {
            engine.pushWireFrames(std::span(wire).subspan(offset, block));
            next += datagramPeriod;
            std::this_thread::sleep_until(next);
        }
        wallSeconds = std::chrono::duration<double>(Clock::now() - t0).count();
        state.SetIterationTime(wallSeconds);
        maps = static_cast<double>(mapThread.stored());
        stats = engine.latencyStatistics();
        if (mapThread.failures() != 0) state.SkipWithError("a map render failed");
    }
    state.counters["p50_ms"] = stats.p50Ms;
    state.counters["p95_ms"] = stats.p95Ms;
    state.counters["mean_ms"] = stats.meanMs;
    state.counters["max_ms"] = stats.maxMs;
    state.counters["maps_per_s"] = maps / wallSeconds;  // at most 10: one map is published per 100 ms
    state.counters["render_capacity_per_s"] = stats.meanMs > 0.0 ? 1000.0 / stats.meanMs : 0.0;
    state.counters["superseded"] = static_cast<double>(stats.supersededJobs);
}
BENCHMARK(BM_EngineLiveMvdrRotation)
    ->Iterations(1)
    ->Repetitions(2)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
