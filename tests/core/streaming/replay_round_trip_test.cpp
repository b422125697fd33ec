// A synthetic plane wave recorded into a Measurement through the real stores and replayed from its
// raw.int16.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/storage/device_profile.h"
#include "core/storage/project_store.h"
#include "core/storage/recording.h"
#include "core/streaming/replay_source.h"
#include "core/streaming/source_analysis.h"
#include "core/streaming/synthetic_source.h"
#include "device_profile_test_support.h"
#include "streaming/source_test_support.h"
#include "test_support.h"

namespace zk::core {
namespace {

using zk::test::oneShotAtBin;
using zk::test::tangentWave;

constexpr std::uint32_t kMics = 24;
constexpr std::uint64_t kFrames = 6 * 256;

// A loadable profile text: 24 microphones on a spiral, logical channel m on wire channel 5m mod 24.
std::string spiralProfileText() {
    zk::test::ProfileText text;
    text.channelCount = text.wireChannelCount = std::to_string(kMics);
    text.layout.clear();
    text.microphones.clear();
    for (const MicrophoneChannel& p : zk::test::spiralPositions(kMics, 0.2)) {
        char mic[160];
        std::snprintf(mic, sizeof mic,
                      R"({"logicalChannel": %u, "wireChannel": %u, "x": %.17g, "y": %.17g, "z": 0})",
                      p.logicalChannel, p.logicalChannel * 5 % kMics, p.x, p.y);
        text.microphones.emplace_back(mic);
    }
    return text.str();
}

std::vector<std::int16_t> framesOf(const std::vector<std::int16_t>& samples, std::size_t first,
                                   std::size_t count) {
    return {samples.begin() + static_cast<std::ptrdiff_t>(first * kMics),
            samples.begin() + static_cast<std::ptrdiff_t>((first + count) * kMics)};
}

TEST(ReplayRoundTrip, SyntheticWaveRecordedIntoAMeasurementReplaysBitForBitAndPeaksAtItsDirection) {
    zk::test::TempFolder folder;
    const auto project = folder / "project";
    createProject(project, "p");
    const std::string profileText = spiralProfileText();
    const DeviceProfile profile = parseDeviceProfile(profileText);
    ASSERT_NE(profile.logicalToWire[1], 1u);  // wire order differs from logical order

    const SyntheticSourceSettings wave = tangentWave(6000.0, 9.0, -4.0);
    SyntheticSource synthetic(wave);
    synthetic.configure(profile);
    std::vector<std::int16_t> written;
    {
        Recording recording(project, "m1", profileText, "synthetic");
        for (std::uint64_t block = 0; block < kFrames / 256; ++block) {
            const std::vector<std::int16_t> samples = synthetic.readFrames(256);
            recording.append(samples);
            written.insert(written.end(), samples.begin(), samples.end());
        }
        const RecordingResult result = recording.finalize("");
        ASSERT_EQ(result.measurement.totalFrames, kFrames);
        ASSERT_EQ(result.measurement.directory, project / "measurements" / "m1");
    }

    ReplaySource replay(project / "measurements" / "m1" / "raw.int16");
    replay.configure(profile);
    replay.start();
    EXPECT_EQ(replay.totalFrames(), kFrames);
    std::vector<std::int16_t> read;
    for (std::vector<std::int16_t> block = replay.readFrames(256); !block.empty();
         block = replay.readFrames(256)) {
        read.insert(read.end(), block.begin(), block.end());
    }
    EXPECT_EQ(read, written);
    EXPECT_EQ(replay.positionFrames(), kFrames);

    replay.seekFrame(kFrames + 1000);
    EXPECT_EQ(replay.positionFrames(), kFrames);
    EXPECT_TRUE(replay.readFrames(256).empty());
    replay.seekFrame(700);
    EXPECT_EQ(replay.readFrames(100), framesOf(written, 700, 100));

    // The replayed samples give the self-check's map, peaking where the wave came from.
    replay.seekFrame(0);
    const HeatmapGrid replayed = runSourceAnalysis(replay, profile, oneShotAtBin(32));
    const HeatmapGrid direct = runSyntheticSelfCheck(profile, wave, oneShotAtBin(32));
    EXPECT_EQ(replayed.peakAzimuthDeg, 9.0);
    EXPECT_EQ(replayed.peakElevationDeg, -4.0);
    EXPECT_EQ(replayed.power, direct.power);
    EXPECT_EQ(replay.positionFrames(), 1024u);
}

}  // namespace
}  // namespace zk::core
