// The live road from the DSP queue to the map when the DSP thread falls behind the array, in the array's
// own time: every 256 / fs seconds of a stand-in clock the array hands a block of 256 frames to the DSP
// queue, and the DSP takes one block for every `pace` the array hands over. The engine is configured as a
// live start configures it, with the shipped 128-microphone profile, and measures its map interval on the
// stand-in clock; every record it publishes is rendered, as a map thread that keeps up renders them.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "app/live_dsp_step.h"
#include "app/sample_block_queue.h"
#include "app/settings_rules.h"
#include "app_test_support.h"
#include "core/beamforming/heatmap_grid.h"
#include "core/storage/device_profile.h"
#include "core/streaming/streaming_acoustic_engine.h"
#include "steering_test_model.h"

namespace zk::app::test {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint64_t kBlockFrames = 256;  // what the acquisition thread reads at a time

// Where the source stands: first here, then, in the slow runs, there.
struct Direction {
    double horizontalDeg;
    double verticalDeg;
};
constexpr Direction kFirstPlace{12.0, -8.0};
constexpr Direction kSecondPlace{-10.0, 6.0};

core::StreamingEngineConfig liveEngineConfig(std::int32_t algorithm) {
    core::StreamingEngineConfig config;
    config.frameSize = kStreamFrameSize;
    config.hopSize = kStreamHopSize;
    config.frequencyHz = 4000.0;
    config.band = {1, 2, 4000.0, 2000.0, 0};  // the third-octave band around 4 kHz
    config.csmTauSeconds = 0.5;
    config.mapIntervalMs = 100;
    config.asyncMaps = true;
    config.useBinRotation = true;
    config.dasMaxThreads = 4;
    config.beamforming.algorithm = algorithm;
    return config;
}

// An off-bin tone of 4020 Hz from the direction with white noise 16 dB below it on every microphone, in
// wire order: 51200 frames (200 blocks, whole tone periods) that repeat.
std::vector<std::int16_t> arrayStream(const core::DeviceProfile& profile, Direction source) {
    constexpr std::size_t kFrames = 51200;
    std::vector<core::MicrophonePosition> mics;
    for (const core::MicrophoneChannel& m : profile.microphones) mics.push_back({m.x, m.y, m.z});
    std::vector<std::int16_t> logical =
        core::testmodel::planeWaveSamples(mics, source.horizontalDeg, source.verticalDeg, {4020.0}, 6500.0,
                                          profile.sampleRateHz, kFrames, 343.0);
    std::mt19937 rng(29);
    std::normal_distribution<double> noise(0.0, 1000.0);
    for (std::int16_t& v : logical) {
        v = static_cast<std::int16_t>(std::clamp(std::lround(v + noise(rng)), -32768L, 32767L));
    }
    const std::size_t m = profile.channelCount;
    std::vector<std::int16_t> wire(kFrames * profile.wireChannelCount, 0);
    for (std::size_t f = 0; f < kFrames; ++f) {
        for (std::size_t l = 0; l < m; ++l) {
            wire[f * profile.wireChannelCount + profile.logicalToWire[l]] = logical[f * m + l];
        }
    }
    return wire;
}

struct TimedMap {
    double arraySeconds = 0.0;
    core::HeatmapGrid map;
};

struct LiveRun {
    std::vector<TimedMap> maps;
    BoundedBlockingQueue::Statistics queue;
};

// `seconds` of the array's stream through the live DSP queue and engine, the DSP taking one block for
// every `pace` blocks the array hands over; the array sends `before` until `moveSeconds`, then `after`.
LiveRun runLive(const core::DeviceProfile& profile, std::int32_t algorithm, int pace, double seconds,
                const std::vector<std::int16_t>& before, const std::vector<std::int16_t>& after,
                double moveSeconds) {
    core::StreamingAcousticEngine engine;
    engine.configure(profile, liveEngineConfig(algorithm));
    const Clock::time_point origin{std::chrono::hours(1)};
    Clock::time_point now = origin;
    engine.setMapClock([&now] { return now; });
    BoundedBlockingQueue queue(BoundedBlockingQueue::kDefaultCapacity,
                               BoundedBlockingQueue::Overflow::kDropBacklog);
    const std::size_t blockSamples = kBlockFrames * profile.wireChannelCount;
    const std::size_t streamBlocks = before.size() / blockSamples;
    const auto blocks = static_cast<std::uint64_t>(seconds * profile.sampleRateHz / kBlockFrames);
    LiveRun run;
    for (std::uint64_t k = 0; k < blocks; ++k) {
        const double t = static_cast<double>((k + 1) * kBlockFrames) / profile.sampleRateHz;
        now = origin + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(t));
        const std::vector<std::int16_t>& stream = t <= moveSeconds ? before : after;
        const auto first = stream.begin() + static_cast<std::ptrdiff_t>((k % streamBlocks) * blockSamples);
        queue.push({std::vector<std::int16_t>(first, first + static_cast<std::ptrdiff_t>(blockSamples)),
                    kBlockFrames, false, false});
        if ((k + 1) % static_cast<std::uint64_t>(pace) != 0) continue;
        const std::optional<SampleBlock> block = queue.pop({});
        if (!block) continue;
        pushBlockToLiveEngine(engine, *block);
        if (engine.renderPendingMap()) run.maps.push_back({t, *engine.latestMap()});
    }
    run.queue = queue.statistics();
    return run;
}

double meanPeakDb(const std::vector<TimedMap>& maps, std::size_t first) {
    double sum = 0.0;
    for (std::size_t i = first; i < maps.size(); ++i) sum += maps[i].map.peakDb;
    return sum / static_cast<double>(maps.size() - first);
}

// The longest wait for a map: from the first samples to the first map, and between two maps.
double longestWaitSeconds(const std::vector<TimedMap>& maps, double seconds) {
    double longest = maps.empty() ? seconds : maps.front().arraySeconds;
    for (std::size_t i = 1; i < maps.size(); ++i) {
        longest = std::max(longest, maps[i].arraySeconds - maps[i - 1].arraySeconds);
    }
    longest = std::max(longest, seconds - (maps.empty() ? 0.0 : maps.back().arraySeconds));
    return longest;
}

bool peaksOn(const core::HeatmapGrid& map, Direction place) {
    return std::abs(map.peakAzimuthDeg - place.horizontalDeg) <= 2.0 &&
           std::abs(map.peakElevationDeg - place.verticalDeg) <= 2.0;
}

class SlowDsp : public ::testing::TestWithParam<std::int32_t> {};

// At full speed the live view settles and shows about ten maps a second. With the DSP at a quarter of
// the array's rate its queue overflows again and again; the view still shows a map at every interval,
// each within 3 dB of the settled level and 2 degrees of the source. When the source moves, the maps
// follow it within the time the average and the backlog take, and then keep to the same rule.
TEST_P(SlowDsp, AQuarterRateDspStillShowsSettledMapsOnTheSource) {
    const std::int32_t algorithm = GetParam();
    const core::DeviceProfile profile =
        core::loadDeviceProfile(shippedProfile("TM27-128-H1.6.2.device.json").toStdString());
    const std::vector<std::int16_t> first = arrayStream(profile, kFirstPlace);
    const std::vector<std::int16_t> second = arrayStream(profile, kSecondPlace);

    constexpr double kFullSeconds = 2.0;  // four time constants of the average
    const LiveRun full = runLive(profile, algorithm, 1, kFullSeconds, first, first, kFullSeconds);
    EXPECT_EQ(full.queue.droppedBlocks, 0u);
    ASSERT_GE(full.maps.size(), 15u);
    const double settledDb = meanPeakDb(full.maps, full.maps.size() - 5);
    const auto lastSecond = std::count_if(full.maps.begin(), full.maps.end(), [&](const TimedMap& m) {
        return m.arraySeconds > kFullSeconds - 1.0;
    });
    EXPECT_GE(lastSecond, 9) << "maps a second at full speed";
    EXPECT_LE(lastSecond, 11);

    // The quarter-rate average takes about 1.6 s of the stream to turn to the new place (ln 2 time
    // constants of its hops, which come at a fifth of their full rate), and the backlog up to 0.34 s more.
    constexpr double kSlowSeconds = 8.0;
    constexpr double kMoveSeconds = 3.0;
    constexpr double kFollowSeconds = 2.5;
    const LiveRun slow = runLive(profile, algorithm, 4, kSlowSeconds, first, second, kMoveSeconds);
    EXPECT_GT(slow.queue.droppedBlocks, 8u * 64u) << "the queue overflowed again and again";
    EXPECT_LE(longestWaitSeconds(slow.maps, kSlowSeconds), 1.0);
    // The averages go on over the dropped blocks, so a map still comes at every interval.
    RecordProperty("mapsPerSecondAtAQuarter", std::to_string(slow.maps.size() / kSlowSeconds));
    EXPECT_GE(static_cast<double>(slow.maps.size()), 8.0 * kSlowSeconds)
        << "maps in " << kSlowSeconds << " s";
    std::size_t followed = 0;
    for (std::size_t i = 0; i < slow.maps.size(); ++i) {
        const core::HeatmapGrid& map = slow.maps[i].map;
        const double t = slow.maps[i].arraySeconds;
        SCOPED_TRACE(testing::Message() << "map " << i << " at " << t << " s, peak " << map.peakAzimuthDeg
                                        << " / " << map.peakElevationDeg);
        const bool settled = t <= kMoveSeconds || t >= kMoveSeconds + kFollowSeconds;
        if (t <= kMoveSeconds) {
            EXPECT_TRUE(peaksOn(map, kFirstPlace));
        } else if (t >= kMoveSeconds + kFollowSeconds) {
            EXPECT_TRUE(peaksOn(map, kSecondPlace));
            ++followed;
        } else {
            EXPECT_TRUE(peaksOn(map, kFirstPlace) || peaksOn(map, kSecondPlace));
        }
        // A level the view shows in dBFS; the others are shown relative to their peak. While the average
        // turns, the two places share the power.
        if (settled && core::mapHasAbsoluteLevels(map)) {
            EXPECT_GE(map.peakDb, settledDb - 3.0);
        }
    }
    EXPECT_GE(followed, 20u) << "maps after the source moved";
}

std::string algorithmName(const ::testing::TestParamInfo<std::int32_t>& info) {
    const char* const names[] = {"Das", "Functional", "Mvdr"};
    return names[info.param - 1];
}
// The delay-and-sum path of the live default, and the matrices' path with its bin rotation: Functional
// shows its level in dBFS, MVDR relative to its peak. Under a sanitizer the matrices' 128-microphone maps
// take minutes and this test starts no thread of its own, so only the live default runs there.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr std::int32_t kLiveAlgorithms[] = {1};
#else
constexpr std::int32_t kLiveAlgorithms[] = {1, 2, 3};
#endif
INSTANTIATE_TEST_SUITE_P(LiveAlgorithms, SlowDsp, ::testing::ValuesIn(kLiveAlgorithms), algorithmName);

// What the DSP step restarts for each kind of hole before a block: a hole in the array's own stream or a
// silence restarts the averages (the map shown so far is dropped with them); a drop of its own queue
// restarts only the framing, so the averages, the map and the map clock go on.
TEST(LiveDspStep, EachHoleRestartsWhatItCallsFor) {
    const core::DeviceProfile profile =
        core::loadDeviceProfile(shippedProfile("small-4.device.json").toStdString());
    const std::size_t wire = profile.wireChannelCount;
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> value(-3000, 3000);
    std::vector<std::int16_t> samples(4096 * wire);
    for (std::int16_t& s : samples) s = static_cast<std::int16_t>(value(rng));
    const auto frames = [&](std::size_t first, std::size_t count) {
        return std::vector<std::int16_t>(
            samples.begin() + static_cast<std::ptrdiff_t>(first * wire),
            samples.begin() + static_cast<std::ptrdiff_t>((first + count) * wire));
    };
    const struct {
        const char* hole;
        bool gap, afterSilence, dropped;
        bool averagesGoOn;
    } cases[] = {
        {"none", false, false, false, true},
        {"queue drop", false, false, true, true},
        {"array gap", true, false, false, false},
        {"silence", false, true, false, false},
        {"array gap and queue drop", true, false, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hole);
        core::StreamingAcousticEngine engine;
        core::StreamingEngineConfig config = liveEngineConfig(1);
        config.mapIntervalMs = 0;  // every band bin on every hop, and a map after every push
        engine.configure(profile, config);
        pushBlockToLiveEngine(engine, {frames(0, 1024 + 300), 1324, false, false});
        ASSERT_EQ(engine.processedBlockCount(), 1u);
        ASSERT_EQ(engine.streamingDasState().updateCount, 1u);
        ASSERT_TRUE(engine.renderPendingMap());

        SampleBlock next{frames(2048, 1024), 1024, c.gap, c.afterSilence};
        next.dropped = c.dropped;
        pushBlockToLiveEngine(engine, next);
        // Without a restart of the framing, the 812 frames left before the hole would make two frames.
        const std::uint64_t newHops = c.dropped || c.gap || c.afterSilence ? 1 : 2;
        EXPECT_EQ(engine.processedBlockCount(), 1 + newHops);
        EXPECT_EQ(engine.streamingDasState().updateCount, (c.averagesGoOn ? 1 : 0) + newHops);
        EXPECT_EQ(engine.latestMap().has_value(), c.averagesGoOn);
    }
}

}  // namespace
}  // namespace zk::app::test
