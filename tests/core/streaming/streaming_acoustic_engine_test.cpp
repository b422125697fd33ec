#include "core/streaming/streaming_acoustic_engine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <thread>
#include <vector>

#include "allocation_counter.h"
#include "core/beamforming/detail/steering_blocks.h"
#include "engine_test_support.h"
#include "test_support.h"

namespace zk::core {
namespace {

using zk::test::customBand;
using zk::test::expectThrowExactly;
using zk::test::kDasFirstMapFrames;
using zk::test::liveConfig;
using zk::test::noiseSamples;
using zk::test::pushLogical;
using zk::test::spiralProfile;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::int32_t kDas = 1;
constexpr std::int32_t kMvdr = 3;

// Frame 64, hop 32 at 48 kHz (a hop is 2/3 ms) over a band of exactly `bins` bins of 750 Hz.
StreamingEngineConfig shortFrames(std::uint64_t bins, std::int64_t mapIntervalMs) {
    StreamingEngineConfig c;
    c.frameSize = 64;
    c.hopSize = 32;
    c.band = customBand(8000.0, 12000.0, 0, bins);
    c.mapIntervalMs = mapIntervalMs;
    c.asyncMaps = true;
    return c;
}

std::vector<std::uint64_t> binsWithEnergy(const StreamingDasState& state) {
    std::vector<std::uint64_t> out;
    for (std::size_t b = 0; b < state.diagonalSums.size(); ++b) {
        if (state.diagonalSums[b] > 0.0) out.push_back(b);
    }
    return out;
}

TEST(StreamingAcousticEngine, ConfigureRefusesBadInputAndAFailureKeepsThePipeline) {
    StreamingAcousticEngine engine;
    expectThrowExactly<std::logic_error>([&] { engine.pushWireFrames({}); },
                                         "streaming engine is not configured");
    expectThrowExactly<std::logic_error>([&] { engine.requestMapNow(); },
                                         "beamforming parameters are not available");
    // No channel count yet, so no snapshot can be valid.
    expectThrowExactly<std::invalid_argument>([&] { engine.setBeamformingParameters({}); },
                                              "invalid beamforming parameter snapshot");
    DeviceProfile broken = spiralProfile(4, 0.05, 20.0, 10.0);
    broken.logicalToWire.pop_back();
    expectThrowExactly<std::invalid_argument>([&] { engine.configure(broken, shortFrames(4, 0)); },
                                              "invalid device profile");

    const DeviceProfile profile = spiralProfile(4, 0.05, 20.0, 10.0);
    const auto refused = [&](auto change) {
        StreamingEngineConfig c = shortFrames(4, 0);
        change(c);
        expectThrowExactly<std::invalid_argument>([&] { engine.configure(profile, c); },
                                                  "invalid streaming frame/hop size");
    };
    refused([](StreamingEngineConfig& c) { c.frameSize = 0; });
    refused([](StreamingEngineConfig& c) { c.hopSize = 0; });
    refused([](StreamingEngineConfig& c) { c.hopSize = 65; });
    for (const double tau : {0.0, -1.0, kNaN, kInf}) {
        refused([tau](StreamingEngineConfig& c) { c.csmTauSeconds = tau; });
    }
    refused([](StreamingEngineConfig& c) { c.beamforming.speedOfSoundMps = 200.0; });
    // A negative interval would make every push due and the rotation period meaningless.
    refused([](StreamingEngineConfig& c) { c.mapIntervalMs = -1; });

    engine.configure(profile, shortFrames(4, 0));
    pushLogical(engine, profile, noiseSamples(4, 64));
    EXPECT_EQ(engine.processedBlockCount(), 1u);
    // A band above Nyquist fails after the gather map and framer could have been replaced; the old
    // pipeline (four channels, hop 32) must still run.
    StreamingEngineConfig aboveNyquist = shortFrames(4, 0);
    aboveNyquist.hopSize = 64;
    aboveNyquist.band.centerHz = 30000.0;
    expectThrowExactly<std::invalid_argument>(
        [&] { engine.configure(spiralProfile(6, 0.05, 20.0, 10.0), aboveNyquist); },
        "frequency-band center exceeds Nyquist");
    pushLogical(engine, profile, noiseSamples(4, 32));
    EXPECT_EQ(engine.processedBlockCount(), 2u);
}

TEST(StreamingAcousticEngine, HopsRunOnlyForCompleteFrames) {
    const DeviceProfile profile = spiralProfile(4, 0.05, 20.0, 10.0);
    StreamingAcousticEngine engine;
    engine.configure(profile, liveConfig(kDas, customBand(4000.0, 200.0)));
    const auto samples = noiseSamples(4, 4096);
    const auto frames = [&](std::size_t first, std::size_t count) {
        return std::vector<std::int16_t>(samples.begin() + static_cast<std::ptrdiff_t>(first * 4),
                                         samples.begin() + static_cast<std::ptrdiff_t>((first + count) * 4));
    };

    engine.pushWireFrames({});
    EXPECT_EQ(engine.processedBlockCount(), 0u);
    pushLogical(engine, profile, frames(0, 1023));
    EXPECT_EQ(engine.processedBlockCount(), 0u);
    EXPECT_FALSE(engine.streamingDasState().updateCount > 0);
    pushLogical(engine, profile, frames(1023, 1));
    EXPECT_EQ(engine.processedBlockCount(), 1u);
    // 512 frames are left: 511 more complete nothing, the next one completes the second frame.
    pushLogical(engine, profile, frames(1024, 511));
    EXPECT_EQ(engine.processedBlockCount(), 1u);
    pushLogical(engine, profile, frames(1535, 1));
    EXPECT_EQ(engine.processedBlockCount(), 2u);

    const std::vector<std::int16_t> ragged(4 * 3 + 1, 0);
    expectThrowExactly<std::invalid_argument>([&] { engine.pushWireFrames(ragged); },
                                              "wire frames are incomplete");
    pushLogical(engine, profile, frames(1536, 511));
    EXPECT_EQ(engine.processedBlockCount(), 2u);
}

TEST(StreamingAcousticEngine, AveragingDecaysByTheHopDurationInSeconds) {
    const DeviceProfile profile = spiralProfile(4, 0.05, 20.0, 10.0);
    StreamingAcousticEngine engine;
    // Interval 0: every bin is updated on every hop, so a bin's decay spans one hop.
    engine.configure(profile, shortFrames(6, 0));
    engine.setAveragingTimeConstant(0.05);
    // The first frame holds noise in its first hop only; the second frame is silent.
    std::vector<std::int16_t> samples(4 * 96, 0);
    const auto loud = noiseSamples(4, 32);
    std::copy(loud.begin(), loud.end(), samples.begin());

    pushLogical(engine, profile, std::vector<std::int16_t>(samples.begin(), samples.begin() + 4 * 64));
    const StreamingDasState first = engine.streamingDasState();
    EXPECT_EQ(engine.dasRotationCursor(), 0u);
    pushLogical(engine, profile, std::vector<std::int16_t>(samples.begin() + 4 * 64, samples.end()));
    const StreamingDasState& second = engine.streamingDasState();
    ASSERT_EQ(second.updateCount, 2u);

    const double alpha = std::exp(-(32.0 / 48000.0) / 0.05);
    ASSERT_EQ(binsWithEnergy(first).size(), 6u);
    for (std::size_t b = 0; b < 6; ++b) {
        EXPECT_NEAR(second.diagonalSums[b] / first.diagonalSums[b], alpha, 1e-12) << b;
    }
    for (std::size_t i = 0; i < first.beamSums.size(); i += 17) {
        if (first.beamSums[i] > 0.0) {
            EXPECT_NEAR(second.beamSums[i] / first.beamSums[i], alpha, 1e-12) << i;
        }
    }
}

TEST(StreamingAcousticEngine, DasBinsRotateOncePerMapInterval) {
    const DeviceProfile profile = spiralProfile(4, 0.05, 20.0, 10.0);
    StreamingAcousticEngine engine;
    // 3 ms is 4.5 hops of 2/3 ms, so 4 hops per map and ceil(10 / 4) = 3 bins per hop.
    engine.configure(profile, shortFrames(10, 3));
    ASSERT_EQ(engine.frequencyBand().binIndices.size(), 10u);
    pushLogical(engine, profile, noiseSamples(4, 32));
    EXPECT_EQ(engine.dasRotationCursor(), 0u);

    const std::vector<std::uint64_t> cursors{3, 6, 9, 0, 3};
    const std::vector<std::uint64_t> reached{3, 6, 9, 10, 10};
    const auto samples = noiseSamples(4, 32 * 5, 8);
    for (std::size_t hop = 0; hop < 5; ++hop) {
        pushLogical(
            engine, profile,
            std::vector<std::int16_t>(samples.begin() + static_cast<std::ptrdiff_t>(hop * 4 * 32),
                                      samples.begin() + static_cast<std::ptrdiff_t>((hop + 1) * 4 * 32)));
        EXPECT_EQ(engine.dasRotationCursor(), cursors[hop]) << "after hop " << hop + 1;
        EXPECT_EQ(binsWithEnergy(engine.streamingDasState()).size(), reached[hop]) << "after hop " << hop + 1;
        // The first map waits until every bin holds a frame; it comes at once then.
        if (hop < 4) {
            EXPECT_EQ(engine.renderPendingMap(), reached[hop] == 10) << "after hop " << hop + 1;
        }
    }

    // After a gap the rotation goes on from its cursor, and again no map comes before every bin is in.
    engine.restartContinuityWindow();
    pushLogical(engine, profile, noiseSamples(4, 64 + 32 * 2, 9));  // bins 3 to 9
    EXPECT_EQ(binsWithEnergy(engine.streamingDasState()).size(), 7u);
    EXPECT_FALSE(engine.renderPendingMap());
    std::this_thread::sleep_for(std::chrono::milliseconds(3));  // the map interval since the last map
    pushLogical(engine, profile, noiseSamples(4, 32, 10));      // bins 0 to 2
    EXPECT_EQ(binsWithEnergy(engine.streamingDasState()).size(), 10u);
    EXPECT_TRUE(engine.renderPendingMap());
}

TEST(StreamingAcousticEngine, BandSnapshotAppliesOnANewRevisionOnly) {
    const DeviceProfile profile = spiralProfile(4, 0.05, 20.0, 10.0);
    StreamingAcousticEngine engine;
    engine.configure(profile, liveConfig(kDas, customBand(4000.0, 200.0, 3)));
    const std::vector<std::uint64_t> original = engine.frequencyBand().binIndices;
    pushLogical(engine, profile, noiseSamples(4, kDasFirstMapFrames));
    ASSERT_TRUE(engine.renderPendingMap());

    engine.setFrequencyBand(customBand(9000.0, 400.0, 3));
    pushLogical(engine, profile, noiseSamples(4, 512));
    EXPECT_EQ(engine.frequencyBand().binIndices, original);
    EXPECT_TRUE(engine.latestMap().has_value());

    expectThrowExactly<std::invalid_argument>([&] { engine.setFrequencyBand(customBand(30000.0, 400.0, 4)); },
                                              "frequency-band center exceeds Nyquist");
    engine.setFrequencyBand(customBand(9000.0, 400.0, 4));
    pushLogical(engine, profile, noiseSamples(4, 512));
    const FrequencyBand& applied = engine.frequencyBand();
    EXPECT_EQ(applied.parameters.revision, 4u);
    EXPECT_EQ(applied.binIndices, resolveFrequencyBand(48000, 1024, customBand(9000.0, 400.0, 4)).binIndices);
    EXPECT_EQ(engine.streamingDasState().frequencies, applied.binFrequenciesHz);
    EXPECT_EQ(engine.streamingDasState().updateCount, 1u);
    // The new band drops the old map; the map made after the change is of the new band, once each of
    // its bins holds a frame.
    EXPECT_FALSE(engine.latestMap().has_value());
    EXPECT_FALSE(engine.renderPendingMap());
    pushLogical(engine, profile, noiseSamples(4, 512 * (applied.binIndices.size() - 1)));
    ASSERT_TRUE(engine.renderPendingMap());
    EXPECT_EQ(engine.latestMap()->firstFrequencyHz, applied.binFrequenciesHz.front());
}

TEST(StreamingAcousticEngine, AveragingTimeConstantLimits) {
    StreamingAcousticEngine engine;
    engine.setAveragingTimeConstant(0.05);
    engine.setAveragingTimeConstant(10.0);
    for (const double tau : {0.0499, 10.01, kNaN, kInf, -1.0}) {
        expectThrowExactly<std::invalid_argument>(
            [&] { engine.setAveragingTimeConstant(tau); },
            "averaging time constant must be within [0.05, 10] seconds");
    }
}

TEST(StreamingAcousticEngine, SpeedOfSoundChangeMakesQueuedMapsStale) {
    const DeviceProfile profile = spiralProfile(4, 0.05, 20.0, 10.0);
    for (const double speed : {343.0, 340.0}) {
        StreamingAcousticEngine engine;
        engine.configure(profile, liveConfig(kDas, customBand(4000.0, 200.0)));
        pushLogical(engine, profile, noiseSamples(4, kDasFirstMapFrames));  // publishes the first map
        const std::uint64_t updates = engine.streamingDasState().updateCount;
        BeamformingParameters next;
        next.revision = 9;
        next.speedOfSoundMps = speed;
        engine.setBeamformingParameters(next);
        pushLogical(engine, profile, noiseSamples(4, 512));
        // Only a new speed bumps the generation: the queued map is then dropped unrendered.
        EXPECT_EQ(engine.renderPendingMap(), speed == 343.0) << speed;
        EXPECT_EQ(engine.latestMap().has_value(), speed == 343.0) << speed;
        // The state restarted with the new speed's steering: one update since.
        EXPECT_EQ(engine.streamingDasState().updateCount, speed == 343.0 ? updates + 1 : 1u) << speed;
    }
}

TEST(StreamingAcousticEngine, LeavingDasEmptiesItsStateAndReturningStartsFromZero) {
    const DeviceProfile profile = spiralProfile(4, 0.05, 20.0, 10.0);
    StreamingEngineConfig config = liveConfig(kDas, customBand(4000.0, 300.0));
    config.mapIntervalMs = 0;  // every bin on every hop, so a fresh engine sees the same bins
    StreamingAcousticEngine engine;
    engine.configure(profile, config);
    const auto samples = noiseSamples(4, 4096, 12);
    pushLogical(engine, profile, std::vector<std::int16_t>(samples.begin(), samples.begin() + 4 * 2048));
    ASSERT_EQ(engine.streamingDasState().updateCount, 3u);

    BeamformingParameters mvdr;
    mvdr.algorithm = kMvdr;
    engine.setBeamformingParameters(mvdr);
    pushLogical(engine, profile,
                std::vector<std::int16_t>(samples.begin() + 4 * 2048, samples.begin() + 4 * 2560));
    EXPECT_EQ(engine.streamingDasState().updateCount, 0u);
    EXPECT_TRUE(engine.streamingDasState().beamSums.empty());
    EXPECT_EQ(engine.streamingDasState().steering, nullptr);
    EXPECT_EQ(engine.processedBlockCount(), 4u);  // the matrices still run

    engine.setBeamformingParameters(BeamformingParameters{});
    pushLogical(engine, profile,
                std::vector<std::int16_t>(samples.begin() + 4 * 2560, samples.begin() + 4 * 3072));
    ASSERT_EQ(engine.streamingDasState().updateCount, 1u);
    // From zero: the sums hold that one frame only, as in an engine that never saw the earlier ones.
    StreamingAcousticEngine fresh;
    fresh.configure(profile, config);
    pushLogical(fresh, profile,
                std::vector<std::int16_t>(samples.begin() + 4 * 2048, samples.begin() + 4 * 3072));
    EXPECT_EQ(engine.streamingDasState().beamSums, fresh.streamingDasState().beamSums);
    EXPECT_EQ(engine.streamingDasState().diagonalSums, fresh.streamingDasState().diagonalSums);
}

TEST(StreamingAcousticEngine, ResetAndContinuityRestartDropHistoryAndQueuedMaps) {
    const DeviceProfile profile = spiralProfile(4, 0.05, 20.0, 10.0);
    StreamingAcousticEngine engine;
    engine.configure(profile, liveConfig(kMvdr, customBand(4000.0, 200.0)));
    pushLogical(engine, profile, noiseSamples(4, 1024 + 1023));  // two hops and a job; 1023 frames left
    ASSERT_EQ(engine.processedBlockCount(), 2u);

    engine.reset();
    EXPECT_EQ(engine.processedBlockCount(), 0u);
    EXPECT_FALSE(engine.renderPendingMap());
    EXPECT_FALSE(engine.latestMap().has_value());
    pushLogical(engine, profile, noiseSamples(4, 1));
    EXPECT_EQ(engine.processedBlockCount(), 0u);  // the history went with the reset

    // After a gap the queued job stays in its slot but is stale; the count of blocks survives.
    pushLogical(engine, profile, noiseSamples(4, 1023));
    ASSERT_EQ(engine.processedBlockCount(), 1u);
    engine.restartContinuityWindow();
    EXPECT_EQ(engine.processedBlockCount(), 1u);
    EXPECT_FALSE(engine.renderPendingMap());
    pushLogical(engine, profile, noiseSamples(4, 1024));
    EXPECT_EQ(engine.processedBlockCount(), 2u);
    // The gap keeps the map clock: no map before a map interval after the last one, however many gaps.
    EXPECT_FALSE(engine.renderPendingMap());
    for (int gap = 0; gap < 3; ++gap) {
        engine.restartContinuityWindow();
        pushLogical(engine, profile, noiseSamples(4, 1024));
        EXPECT_FALSE(engine.renderPendingMap()) << gap;
    }
    EXPECT_EQ(engine.processedBlockCount(), 5u);
    EXPECT_FALSE(engine.latestMap().has_value());

    // A gap before any map of the session leaves its first map immediate.
    engine.reset();
    pushLogical(engine, profile, noiseSamples(4, 1023));
    engine.restartContinuityWindow();
    pushLogical(engine, profile, noiseSamples(4, 1024));
    EXPECT_TRUE(engine.renderPendingMap());
    EXPECT_TRUE(engine.latestMap().has_value());
}

// Samples dropped inside the program: the frame after the hole holds none of the samples before it, and
// it is the next frame of the running averages, which decay by one hop as if nothing had been lost. The
// map already stored and the one queued stay. Frame 64, hop 32, every bin on every hop.
TEST(StreamingAcousticEngine, AFramingRestartKeepsTheAveragesAndNoFrameSpansTheHole) {
    const DeviceProfile profile = spiralProfile(4, 0.05, 20.0, 10.0);
    StreamingAcousticEngine engine;
    engine.configure(profile, shortFrames(6, 0));
    engine.setAveragingTimeConstant(0.05);
    // One frame of noise and 20 loud frames that no hop reaches before the hole.
    std::vector<std::int16_t> before = noiseSamples(4, 64, 21);
    for (std::int16_t v : noiseSamples(4, 20, 22)) before.push_back(static_cast<std::int16_t>(v * 8));
    pushLogical(engine, profile, before);
    ASSERT_EQ(engine.processedBlockCount(), 1u);
    ASSERT_TRUE(engine.renderPendingMap());
    const StreamingDasState first = engine.streamingDasState();
    ASSERT_EQ(binsWithEnergy(first).size(), 6u);
    pushLogical(engine, profile, noiseSamples(4, 1, 23));  // a job queued, no hop yet
    ASSERT_EQ(engine.processedBlockCount(), 1u);

    engine.restartFraming();
    EXPECT_TRUE(engine.latestMap().has_value());
    EXPECT_TRUE(engine.renderPendingMap()) << "the queued map is still current";
    // A silent frame after the hole: it adds nothing, so each sum is the last one decayed by one hop.
    pushLogical(engine, profile, std::vector<std::int16_t>(4 * 64, 0));
    EXPECT_EQ(engine.processedBlockCount(), 2u);
    const StreamingDasState& second = engine.streamingDasState();
    ASSERT_EQ(second.updateCount, 2u);
    const double alpha = std::exp(-(32.0 / 48000.0) / 0.05);
    for (std::size_t b = 0; b < 6; ++b) {
        EXPECT_NEAR(second.diagonalSums[b] / first.diagonalSums[b], alpha, 1e-12) << b;
    }
    for (std::size_t i = 0; i < first.beamSums.size(); i += 17) {
        if (first.beamSums[i] > 0.0) {
            EXPECT_NEAR(second.beamSums[i] / first.beamSums[i], alpha, 1e-12) << i;
        }
    }
}

// The map interval runs on the clock the owner gives the engine, and neither a framing restart nor a
// continuity restart brings the next map forward.
TEST(StreamingAcousticEngine, TheMapIntervalRunsOnTheEnginesClock) {
    const DeviceProfile profile = spiralProfile(4, 0.05, 20.0, 10.0);
    for (const std::int32_t algorithm : {kDas, kMvdr}) {
        SCOPED_TRACE(algorithm);
        StreamingEngineConfig config = shortFrames(1, 100);
        config.beamforming.algorithm = algorithm;
        StreamingAcousticEngine engine;
        engine.configure(profile, config);
        std::chrono::steady_clock::time_point now{std::chrono::hours(1)};
        engine.setMapClock([&now] { return now; });
        const auto samples = noiseSamples(4, 64 + 32 * 8, 24);
        std::size_t pushed = 0;
        const auto hop = [&](std::size_t frames) {
            pushLogical(engine, profile,
                        std::vector<std::int16_t>(
                            samples.begin() + static_cast<std::ptrdiff_t>(4 * pushed),
                            samples.begin() + static_cast<std::ptrdiff_t>(4 * (pushed + frames))));
            pushed += frames;
        };
        hop(64);
        EXPECT_TRUE(engine.renderPendingMap()) << "the first map comes at once";
        now += std::chrono::milliseconds(99);
        hop(32);
        EXPECT_FALSE(engine.renderPendingMap());
        now += std::chrono::milliseconds(1);
        hop(32);
        EXPECT_TRUE(engine.renderPendingMap());
        now += std::chrono::milliseconds(50);
        engine.restartFraming();
        hop(64);
        EXPECT_FALSE(engine.renderPendingMap());
        now += std::chrono::milliseconds(50);
        hop(32);
        EXPECT_TRUE(engine.renderPendingMap());
    }
}

// A stopped session keeps nothing: the steering goes, whether the delay-and-sum state alone holds it
// (its planes) or the Beamformer's cache shares it (path differences, with no table budget); a push
// without a new configure is refused, and a configure afterwards maps again.
TEST(StreamingAcousticEngine, ReleaseDropsTheSteeringAndAConfigureAfterwardsMapsAgain) {
    const DeviceProfile profile = spiralProfile(4, 0.05, 20.0, 10.0);
    const StreamingEngineConfig config = liveConfig(kDas, customBand(4000.0, 300.0));
    for (const std::uint64_t budget : {detail::kSteeringTableBudgetBytes, std::uint64_t{0}}) {
        SCOPED_TRACE(budget);
        detail::setSteeringTableBudgetBytes(budget);
        StreamingAcousticEngine engine;
        engine.configure(profile, config);
        pushLogical(engine, profile, noiseSamples(4, kDasFirstMapFrames));
        const std::weak_ptr<const CameraBandSteeringCache> steering = engine.streamingDasState().steering;
        ASSERT_FALSE(steering.expired());
        ASSERT_EQ(steering.lock()->tablesHeld, budget != 0);
        ASSERT_TRUE(engine.renderPendingMap());

        engine.release();
        EXPECT_TRUE(steering.expired());
        EXPECT_EQ(engine.processedBlockCount(), 0u);
        EXPECT_FALSE(engine.latestMap().has_value());
        EXPECT_FALSE(engine.renderPendingMap());
        expectThrowExactly<std::logic_error>([&] { pushLogical(engine, profile, noiseSamples(4, 1024)); },
                                             "streaming engine is not configured");

        engine.configure(profile, config);
        pushLogical(engine, profile, noiseSamples(4, kDasFirstMapFrames));
        EXPECT_EQ(engine.processedBlockCount(), 16u);
        EXPECT_TRUE(engine.renderPendingMap());
        EXPECT_TRUE(engine.latestMap().has_value());
    }
    detail::setSteeringTableBudgetBytes(detail::kSteeringTableBudgetBytes);
}

TEST(StreamingAcousticEngine, SuspendedMapsStillUpdateTheMatrices) {
    const DeviceProfile profile = spiralProfile(4, 0.05, 20.0, 10.0);
    StreamingAcousticEngine engine;
    StreamingEngineConfig config = liveConfig(kMvdr, customBand(4000.0, 200.0));
    config.asyncMaps = false;
    engine.configure(profile, config);
    engine.suspendMaps();
    pushLogical(engine, profile, noiseSamples(4, 2048));
    EXPECT_EQ(engine.processedBlockCount(), 3u);
    EXPECT_FALSE(engine.latestMap().has_value());
    engine.requestMapNow();  // renders on this thread without a map thread
    ASSERT_TRUE(engine.latestMap().has_value());
    EXPECT_EQ(engine.latestMap()->algorithmId, 3u);
}

// The hop loop of the live case in miniature: after a warm-up, pushes of one datagram's frames
// allocate nothing, whichever path the algorithm takes and however the pushes fall against hops.
TEST(StreamingAcousticEngine, HopsAllocateNothingOnceWarm) {
    const DeviceProfile profile = spiralProfile(32, 0.2, 30.0, 20.0);
    for (const std::int32_t algorithm : {kDas, kMvdr}) {
        StreamingAcousticEngine engine;
        // One map a minute: DAS bins rotate one per hop, and no map after the first is due.
        engine.configure(profile, liveConfig(algorithm, {0, 2, 8000.0, 2000.0, 0}));
        const auto wire = zk::test::toWire(profile, noiseSamples(32, 48000, 3));
        const std::size_t datagram = 128 * 32;
        std::size_t offset = 0;
        const auto push = [&](std::size_t samples) {
            engine.pushWireFrames(std::span<const std::int16_t>(wire).subspan(offset, samples));
            offset += samples;
        };
        for (int i = 0; i < 40; ++i) push(datagram);
        const std::uint64_t before = engine.processedBlockCount();
        const auto during = zk::test::allocationsDuring([&] {
            for (int i = 0; i < 100; ++i) push(i % 3 == 0 ? datagram / 2 : datagram);
        });
        EXPECT_GT(engine.processedBlockCount(), before + 15) << algorithm;
        EXPECT_EQ(during.calls, 0u) << algorithm << ": " << during.bytes << " bytes";
    }
}

}  // namespace
}  // namespace zk::core
