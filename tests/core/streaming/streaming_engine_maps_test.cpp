// The map side of the streaming engine: hand-off records, stale work, latency statistics and the
// noise-floor operations.

#include <gtest/gtest.h>
#include <omp.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <stdexcept>
#include <thread>
#include <vector>

#include "core/signal/spectral_framer.h"
#include "core/storage/device_profile.h"
#include "core/streaming/noise_floor_profile.h"
#include "core/streaming/streaming_acoustic_engine.h"
#include "engine_test_support.h"
#include "steering_test_model.h"
#include "test_support.h"

namespace zk::core {
namespace {

using zk::test::customBand;
using zk::test::kDasFirstMapFrames;
using zk::test::liveConfig;
using zk::test::MapThread;
using zk::test::noiseSamples;
using zk::test::pushLogical;
using zk::test::spiralProfile;

constexpr std::int32_t kDas = 1;
constexpr std::int32_t kMvdr = 3;

std::shared_ptr<NoiseFloorProfile> silentNoiseFloor(std::uint64_t channels, std::uint64_t fftSize,
                                                    std::uint32_t sampleRateHz = 48000) {
    auto p = std::make_shared<NoiseFloorProfile>();
    p->sampleRateHz = sampleRateHz;
    p->channelCount = channels;
    p->fftSize = fftSize;
    p->averagedFrames = 16;
    p->matrices.assign(fftSize / 2 + 1, testmodel::zeroMatrix(channels));
    return p;
}

bool allZero(const std::vector<double>& values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return v == 0.0; });
}

TEST(StreamingEngineMaps, SupersededRecordIsDroppedAndTheNewestRendered) {
    const DeviceProfile profile = spiralProfile(4, 0.05, 20.0, 10.0);
    for (const std::int32_t algorithm : {kMvdr, kDas}) {
        StreamingAcousticEngine engine;
        engine.configure(profile, liveConfig(algorithm, customBand(4000.0, 200.0)));
        pushLogical(engine, profile, noiseSamples(4, kDasFirstMapFrames));  // publishes the first map
        BeamformingParameters newer;
        newer.algorithm = algorithm;
        newer.revision = (std::uint64_t{1} << 32) + 7;
        engine.setBeamformingParameters(newer);
        pushLogical(engine, profile, noiseSamples(4, 512));
        engine.requestMapNow();

        EXPECT_EQ(engine.latencyStatistics().supersededJobs, 1u) << algorithm;
        ASSERT_TRUE(engine.renderPendingMap()) << algorithm;
        EXPECT_FALSE(engine.renderPendingMap()) << algorithm;  // each record renders once
        const auto map = engine.latestMap();
        ASSERT_TRUE(map.has_value());
        // The map record keeps the low 32 bits; a matrix job's map carries the whole revision.
        EXPECT_EQ(map->parametersRevision, algorithm == kDas ? 7u : newer.revision) << algorithm;
        EXPECT_EQ(map->algorithmId, static_cast<std::uint32_t>(algorithm));
        EXPECT_EQ(engine.latestMap()->power, map->power);  // reading does not take the map
    }
}

// A camera block without a positive field of view maps over 64 x 48 degrees at 1 degree, as a profile
// without one does, on the DAS path's own grid and on a matrix algorithm's.
TEST(StreamingEngineMaps, CameraWithoutAFieldOfViewMapsOverSixtyFourByFortyEightDegrees) {
    const DeviceProfile bare = spiralProfile(4, 0.05, 0.0, 0.0);
    ASSERT_FALSE(bare.camera.has_value());
    DeviceProfile noFieldOfView = bare;
    noFieldOfView.camera = CameraCalibration{};
    noFieldOfView.camera->width = 640;
    noFieldOfView.camera->height = 480;
    DeviceProfile horizontalOnly = noFieldOfView;
    horizontalOnly.camera->hfovDeg = 60.0;
    const auto mapOf = [](const DeviceProfile& profile, std::int32_t algorithm) {
        StreamingAcousticEngine engine;
        engine.configure(profile, liveConfig(algorithm, customBand(4000.0, 200.0)));
        pushLogical(engine, profile, noiseSamples(4, kDasFirstMapFrames));  // publishes the first map
        EXPECT_TRUE(engine.renderPendingMap());
        return engine.latestMap().value_or(HeatmapGrid{});
    };
    for (const std::int32_t algorithm : {kDas, kMvdr}) {
        SCOPED_TRACE(algorithm);
        const HeatmapGrid expected = mapOf(bare, algorithm);
        for (const DeviceProfile* profile : {&noFieldOfView, &horizontalOnly}) {
            const HeatmapGrid map = mapOf(*profile, algorithm);
            ASSERT_EQ(map.width, 65u);
            ASSERT_EQ(map.height, 49u);
            EXPECT_EQ(map.azimuthDeg.front(), -32.0);
            EXPECT_EQ(map.azimuthDeg.back(), 32.0);
            EXPECT_EQ(map.elevationDeg.front(), -24.0);
            EXPECT_EQ(map.elevationDeg.back(), 24.0);
            EXPECT_EQ(map.power, expected.power);
        }
    }
}

// A job queued before a reset is dropped; one a map thread took just before the reset is rendered, but its
// map is not stored. The render (MVDR over 32 bins, 128 microphones, 65 x 49 cells) lasts far longer than
// the 10 ms wait.
TEST(StreamingEngineMaps, RecordsMadeStaleByAResetAreNeverStored) {
    const DeviceProfile profile = spiralProfile(128, 0.3, 0.0, 0.0);
    StreamingAcousticEngine engine;
    engine.configure(profile, liveConfig(kMvdr, {0, 2, 8000.0, 2000.0, 0}));
    pushLogical(engine, profile, noiseSamples(128, 1024));
    engine.reset();
    EXPECT_FALSE(engine.renderPendingMap());

    pushLogical(engine, profile, noiseSamples(128, 1024));
    std::atomic<bool> started{false};  // set by the map thread just before it takes the job
    std::atomic<int> result{-1};       // written by the map thread when the render returns
    std::thread mapThread([&] {
        started.store(true);
        try {
            result.store(engine.renderPendingMap() ? 1 : 0);
        } catch (...) {
            result.store(2);
        }
    });
    while (!started.load()) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    engine.reset();
    mapThread.join();
    EXPECT_EQ(engine.latencyStatistics().mapCount, 1u);  // it was rendered
    EXPECT_EQ(result.load(), 0);
    EXPECT_FALSE(engine.latestMap().has_value());
}

TEST(StreamingEngineMaps, LatencyBucketsAndPercentiles) {
    const auto single = [](std::uint64_t us) {
        StreamingAcousticEngine engine;
        engine.recordMapLatency(us);
        return engine.latencyStatistics();
    };
    const MapLatencyStats s300 = single(300);
    EXPECT_EQ(s300.mapCount, 1u);
    EXPECT_EQ(s300.sampleCount, 1u);
    EXPECT_DOUBLE_EQ(s300.meanMs, 0.3);
    EXPECT_DOUBLE_EQ(s300.maxMs, 0.3);
    for (const double p : {s300.p50Ms, s300.p95Ms, s300.p99Ms}) EXPECT_DOUBLE_EQ(p, 0.5);
    EXPECT_DOUBLE_EQ(single(250).p50Ms, 0.25);  // a bound belongs to its own bucket
    EXPECT_DOUBLE_EQ(single(251).p50Ms, 0.5);
    EXPECT_DOUBLE_EQ(single(250001).p50Ms, 256.0);
    const MapLatencyStats slow = single(300000);  // the unbounded bucket reports the maximum
    EXPECT_DOUBLE_EQ(slow.p50Ms, 300.0);
    EXPECT_DOUBLE_EQ(slow.p99Ms, 300.0);

    // 95 fast samples and 5 slow ones: p95 needs the 95th sample, p99 the 99th.
    StreamingAcousticEngine engine;
    for (int i = 0; i < 95; ++i) engine.recordMapLatency(100);
    for (int i = 0; i < 5; ++i) engine.recordMapLatency(3000);
    const MapLatencyStats mixed = engine.latencyStatistics();
    EXPECT_EQ(mixed.mapCount, 100u);
    EXPECT_DOUBLE_EQ(mixed.meanMs, (95 * 100 + 5 * 3000) / 100.0 / 1000.0);
    EXPECT_DOUBLE_EQ(mixed.p50Ms, 0.25);
    EXPECT_DOUBLE_EQ(mixed.p95Ms, 0.25);
    EXPECT_DOUBLE_EQ(mixed.p99Ms, 4.0);
    EXPECT_DOUBLE_EQ(mixed.maxMs, 3.0);
}

TEST(StreamingEngineMaps, WithoutSamplesOnlySupersededJobsAreReported) {
    const DeviceProfile profile = spiralProfile(4, 0.05, 20.0, 10.0);
    StreamingAcousticEngine engine;
    engine.recordMapLatency(500);
    engine.configure(profile, liveConfig(kMvdr, customBand(4000.0, 200.0)));  // zeroes the statistics
    pushLogical(engine, profile, noiseSamples(4, 1024));
    engine.requestMapNow();
    const MapLatencyStats s = engine.latencyStatistics();
    EXPECT_EQ(s.supersededJobs, 1u);
    EXPECT_EQ(s.mapCount, 0u);
    EXPECT_EQ(s.sampleCount, 0u);
    for (const double v : {s.meanMs, s.p50Ms, s.p95Ms, s.p99Ms, s.maxMs}) EXPECT_EQ(v, 0.0);
}

TEST(StreamingEngineMaps, NoiseCaptureQueueKeepsTheNewest128Frames) {
    const DeviceProfile profile = spiralProfile(4, 0.05, 20.0, 10.0);
    StreamingEngineConfig config = liveConfig(kMvdr, customBand(8000.0, 2000.0));
    config.frameSize = 64;
    config.hopSize = 32;
    StreamingAcousticEngine engine;
    engine.configure(profile, config);
    engine.setNoiseCaptureEnabled(true);
    const auto samples = noiseSamples(4, 64 + 199 * 32, 21);  // 200 frames
    pushLogical(engine, profile, samples, 128);
    EXPECT_EQ(engine.noiseCaptureOverflowCount(), 72u);

    const std::vector<SpectralFrame> frames = SpectralFramer(64, 32).frame(samples, 4);
    ASSERT_EQ(frames.size(), 200u);
    std::size_t taken = 0;
    while (const auto block = engine.takeNoiseCaptureBlock()) {
        const SpectralFrame& expected = frames[72 + taken];
        ASSERT_EQ(block->values.size(), 4u * 33u);
        for (std::size_t c = 0; c < 4; ++c) {
            for (std::size_t k = 0; k < 33; ++k) {
                EXPECT_NEAR(std::abs(block->values[c * 33 + k] - expected.spectra[c][k]), 0.0, 1e-9)
                    << taken << " " << c << " " << k;
            }
        }
        ++taken;
    }
    EXPECT_EQ(taken, 128u);

    pushLogical(engine, profile, noiseSamples(4, 64, 22));
    engine.setNoiseCaptureEnabled(false);  // every switch empties the queue and the count
    EXPECT_EQ(engine.noiseCaptureOverflowCount(), 0u);
    EXPECT_FALSE(engine.takeNoiseCaptureBlock());
    pushLogical(engine, profile, noiseSamples(4, 64, 23));
    EXPECT_FALSE(engine.takeNoiseCaptureBlock());
}

TEST(StreamingEngineMaps, ActiveNoiseFloorOnlyForAProfileOfTheStream) {
    StreamingAcousticEngine engine;
    auto matching = silentNoiseFloor(4, 64);
    engine.setNoiseFloorProfile(matching);
    engine.setNoiseSubtractionEnabled(true);
    EXPECT_FALSE(engine.activeNoiseFloor());  // no stream yet

    StreamingEngineConfig config = liveConfig(kDas, customBand(8000.0, 2000.0));
    config.frameSize = 64;
    config.hopSize = 32;
    engine.configure(spiralProfile(4, 0.05, 20.0, 10.0), config);
    EXPECT_EQ(engine.activeNoiseFloor(), matching);
    matching->enabled = false;  // the stored choice is not consulted here
    EXPECT_EQ(engine.activeNoiseFloor(), matching);
    engine.setNoiseSubtractionEnabled(false);
    EXPECT_FALSE(engine.activeNoiseFloor());
    engine.setNoiseSubtractionEnabled(true);

    const auto refused = [&](auto change) {
        auto p = silentNoiseFloor(4, 64);
        change(*p);
        engine.setNoiseFloorProfile(p);
        return !engine.activeNoiseFloor();
    };
    EXPECT_TRUE(refused([](NoiseFloorProfile& p) { p.channelCount = 0; }));
    EXPECT_TRUE(refused([](NoiseFloorProfile& p) { p.channelCount = 5; }));
    EXPECT_TRUE(refused([](NoiseFloorProfile& p) { p.fftSize = 0; }));
    EXPECT_TRUE(refused([](NoiseFloorProfile& p) { p.averagedFrames = 0; }));
    EXPECT_TRUE(refused([](NoiseFloorProfile& p) { p.sampleRateHz = 44100; }));
    EXPECT_TRUE(refused([](NoiseFloorProfile& p) { p.matrices.pop_back(); }));
    EXPECT_TRUE(refused([](NoiseFloorProfile& p) {
        p.fftSize = 128;
        p.matrices.resize(65, testmodel::zeroMatrix(4));
    }));
    EXPECT_FALSE(refused([](NoiseFloorProfile&) {}));
    engine.setNoiseFloorProfile(nullptr);
    EXPECT_FALSE(engine.activeNoiseFloor());
}

// The delay-and-sum noise reference reads the profile bin of each band frequency at the stream's bin
// width of 46.875 Hz. A noise floor that drowns exactly the band's bins empties the map; read at a bin
// width of 46 Hz, the bins near 18 kHz would land 7 bins higher, on silent matrices.
TEST(StreamingEngineMaps, DasNoiseReferenceReadsTheBandsOwnBins) {
    const DeviceProfile profile = spiralProfile(4, 0.05, 20.0, 10.0);
    StreamingAcousticEngine engine;
    engine.configure(profile, liveConfig(kDas, customBand(18000.0, 200.0)));
    const FrequencyBand band = engine.frequencyBand();
    auto loudBand = silentNoiseFloor(4, 1024);
    for (const std::uint64_t k : band.binIndices) {
        testmodel::addNoise(loudBand->matrices[k], 1e12);
    }
    engine.setNoiseFloorProfile(loudBand);
    const auto render = [&] {
        engine.requestMapNow();
        EXPECT_TRUE(engine.renderPendingMap());
        return engine.latestMap().value();
    };
    pushLogical(engine, profile, noiseSamples(4, kDasFirstMapFrames));
    EXPECT_FALSE(allZero(render().power));
    engine.setNoiseSubtractionEnabled(true);
    EXPECT_TRUE(allZero(render().power));
    // A new profile object replaces the cached reference.
    engine.setNoiseFloorProfile(silentNoiseFloor(4, 1024));
    EXPECT_FALSE(allZero(render().power));

    // A band that reaches Nyquist ends on the bin below it, which the profile covers.
    engine.setFrequencyBand(customBand(23900.0, 200.0, 1));
    pushLogical(engine, profile, noiseSamples(4, kDasFirstMapFrames - 512));
    ASSERT_EQ(engine.frequencyBand().binIndices.back(), 511u);
    EXPECT_FALSE(allZero(render().power));
}

// The map thread renders with the Beamformer its record was made with, while the producer reconfigures
// and the GUI thread changes the speed of sound and the algorithm. Run under TSan as well.
TEST(StreamingEngineMaps, MapThreadKeepsItsBeamformerThroughReconfigureAndSpeedChanges) {
    // Single-threaded teams: tiny OpenMP regions on every hop only crawl on a loaded machine, and the
    // threads under test are the engine's own.
    const struct SerialTeams {
        int previous = omp_get_max_threads();
        SerialTeams() { omp_set_num_threads(1); }
        ~SerialTeams() { omp_set_num_threads(previous); }
    } serialTeams;
    const DeviceProfile profile = spiralProfile(8, 0.1, 20.0, 10.0);
    StreamingEngineConfig das = liveConfig(kDas, customBand(4000.0, 300.0));
    das.mapIntervalMs = 0;
    StreamingEngineConfig mvdr = liveConfig(kMvdr, customBand(5000.0, 300.0));
    mvdr.mapIntervalMs = 0;
    mvdr.useBinRotation = true;
    StreamingAcousticEngine engine;
    engine.configure(profile, das);
    auto noise = silentNoiseFloor(8, 1024);
    for (auto& m : noise->matrices) testmodel::addNoise(m, 1.0);
    engine.setNoiseFloorProfile(noise);
    engine.setNoiseSubtractionEnabled(true);

    MapThread maps(engine);
    std::atomic<bool> done{false};  // set by the producer when it has pushed everything
    std::thread gui([&] {
        const double speeds[] = {340.0, 343.0, 346.0};
        for (std::uint64_t i = 0; !done.load(); ++i) {
            BeamformingParameters p;
            p.revision = i;
            p.speedOfSoundMps = speeds[i % 3];
            p.algorithm = i % 4 == 3 ? kMvdr : kDas;
            engine.setBeamformingParameters(p);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    const auto samples = noiseSamples(8, 512 * 16, 30);
    for (int round = 0; round < 12; ++round) {
        engine.configure(profile, round % 2 == 0 ? das : mvdr);
        for (int push = 0; push < 4; ++push) pushLogical(engine, profile, samples, 256);
    }
    done.store(true);
    gui.join();

    // Only delay-and-sum records from here on: the reset drops any job still queued.
    engine.setBeamformingParameters(BeamformingParameters{});
    engine.reset();
    pushLogical(engine, profile, samples, 512);
    const std::uint64_t before = maps.stored();
    engine.requestMapNow();
    EXPECT_TRUE(maps.waitForMoreThan(before));
    maps.stop();
    EXPECT_EQ(maps.failures(), 0u) << maps.lastFailure();
    ASSERT_TRUE(engine.latestMap().has_value());
    EXPECT_EQ(engine.latestMap()->algorithmId, 1u);
}

// The snapshots an exponential average is worth, against its weights summed frame by frame: the first
// frame taken whole, then each new one at 1 - alpha while the older ones decay by alpha.
TEST(StreamingEngineMaps, AnAveragesSnapshotsAreThoseOfItsWeights) {
    EXPECT_EQ(averagedSnapshotCount(0, 0.9), 0u);
    EXPECT_EQ(averagedSnapshotCount(1, 0.9), 1u);
    // The live hop at 48 and 16 kHz with the default time constant of 0.5 s.
    for (const double alpha : {std::exp(-(512.0 / 48000.0) / 0.5), std::exp(-(512.0 / 16000.0) / 0.5)}) {
        SCOPED_TRACE(alpha);
        for (const std::uint64_t frames : {2u, 3u, 10u, 40u, 100u, 1000u, 100000u}) {
            double sum = 1.0, squares = 1.0;  // of the weights, frame by frame
            for (std::uint64_t k = 1; k < frames; ++k) {
                sum = alpha * sum + (1.0 - alpha);
                squares = alpha * alpha * squares + (1.0 - alpha) * (1.0 - alpha);
            }
            EXPECT_EQ(averagedSnapshotCount(frames, alpha), std::llround(sum * sum / squares)) << frames;
        }
        EXPECT_EQ(averagedSnapshotCount(100000, alpha), std::llround((1.0 + alpha) / (1.0 - alpha)));
    }
}

// Auto-MUSIC on the live engine of the shipped 4-microphone array: one tone in noise 20 dB below it,
// over the third-octave band. The average holds the same snapshots after 3 s and after 30 s of the
// stream, so the late map counts the same one source as the early one, and peaks on it.
TEST(StreamingEngineMaps, AutoMusicCountsTheSameSourcesEarlyAndLateInASession) {
    const DeviceProfile profile = loadDeviceProfile(ZK_PROFILES_DIR "/small-4.device.json");
    const double rate = profile.sampleRateHz;
    const double toneHz = rate / 6.0;
    std::vector<MicrophonePosition> mics;
    for (const MicrophoneChannel& m : profile.microphones) mics.push_back({m.x, m.y, m.z});
    constexpr std::size_t kSecondFrames = 16000;
    std::vector<std::int16_t> second =
        testmodel::planeWaveSamples(mics, 10.0, -6.0, {toneHz}, 8000.0, rate, kSecondFrames, 343.0);
    std::mt19937 rng(29);
    std::normal_distribution<double> noise(0.0, 8000.0 / std::sqrt(2.0) / 10.0);
    for (std::int16_t& v : second) {
        v = static_cast<std::int16_t>(std::clamp(std::lround(v + noise(rng)), -32768L, 32767L));
    }
    StreamingEngineConfig config;
    config.frameSize = 1024;
    config.hopSize = 512;
    config.band = {1, 2, toneHz, 2000.0, 0};
    config.mapIntervalMs = 60000;
    config.asyncMaps = true;
    config.useBinRotation = true;
    config.beamforming.algorithm = 6;
    StreamingAcousticEngine engine;
    engine.configure(profile, config);
    const auto mapAfter = [&](int seconds) {
        for (int s = 0; s < seconds; ++s) pushLogical(engine, profile, second, 256);
        engine.requestMapNow();
        EXPECT_TRUE(engine.renderPendingMap());
        return *engine.latestMap();
    };
    const HeatmapGrid early = mapAfter(3);
    const HeatmapGrid late = mapAfter(27);
    EXPECT_EQ(early.estimatedSourceCount, 1u);
    EXPECT_EQ(late.estimatedSourceCount, 1u);
    EXPECT_EQ(late.peakAzimuthDeg, 10.0);
    EXPECT_EQ(late.peakElevationDeg, -6.0);
}

}  // namespace
}  // namespace zk::core
