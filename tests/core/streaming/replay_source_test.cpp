#include "core/streaming/replay_source.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "streaming/source_test_support.h"
#include "test_support.h"

namespace zk::core {
namespace {

using zk::test::countingSamples;
using zk::test::expectThrowExactly;
using zk::test::lineProfile;
using zk::test::writeRawFile;

constexpr std::uint32_t kWire = 3;

// The samples of frames [first, first + count) of an interleaved stream.
std::vector<std::int16_t> framesOf(const std::vector<std::int16_t>& samples, std::size_t first,
                                   std::size_t count) {
    return {samples.begin() + static_cast<std::ptrdiff_t>(first * kWire),
            samples.begin() + static_cast<std::ptrdiff_t>((first + count) * kWire)};
}

TEST(ReplaySource, ReadsAThousandFramesInBlocksOf256BitForBit) {
    zk::test::TempFolder folder;
    const std::vector<std::int16_t> samples = countingSamples(1000 * kWire);
    writeRawFile(folder / "raw.int16", samples);

    ReplaySource source(folder / "raw.int16");
    EXPECT_EQ(source.kind(), SourceKind::Replay);
    source.configure(lineProfile(kWire));
    source.start();
    EXPECT_EQ(source.totalFrames(), 1000u);

    std::vector<std::int16_t> all;
    std::vector<std::size_t> sizes;
    for (int i = 0; i < 5; ++i) {
        const std::vector<std::int16_t> block = source.readFrames(256);
        sizes.push_back(block.size() / kWire);
        all.insert(all.end(), block.begin(), block.end());
    }
    EXPECT_EQ(sizes, (std::vector<std::size_t>{256, 256, 256, 232, 0}));
    EXPECT_EQ(source.positionFrames(), 1000u);
    EXPECT_EQ(all, samples);
}

TEST(ReplaySource, AnIncompleteTrailingFrameIsNeverReturned) {
    zk::test::TempFolder folder;
    const std::vector<std::int16_t> samples = countingSamples(10 * kWire);
    writeRawFile(folder / "raw.int16", samples, 5);  // an odd byte count, short of an eleventh frame

    ReplaySource source(folder / "raw.int16");
    source.configure(lineProfile(kWire));
    source.start();
    EXPECT_EQ(source.totalFrames(), 10u);
    std::vector<std::int16_t> all;
    for (std::vector<std::int16_t> block = source.readFrames(4); !block.empty();
         block = source.readFrames(4)) {
        EXPECT_EQ(block.size() % kWire, 0u);
        all.insert(all.end(), block.begin(), block.end());
    }
    EXPECT_EQ(all, samples);
    EXPECT_EQ(source.positionFrames(), 10u);
    EXPECT_TRUE(source.readFrames(100).empty());

    // One read larger than the file takes every whole frame at once.
    source.seekFrame(0);
    EXPECT_EQ(source.readFrames(1'000'000), samples);
}

TEST(ReplaySource, SeekClampsToTheEndAndReadsAgainAfterTheEndOfFile) {
    zk::test::TempFolder folder;
    const std::vector<std::int16_t> samples = countingSamples(1000 * kWire);
    writeRawFile(folder / "raw.int16", samples);
    ReplaySource source(folder / "raw.int16");
    source.configure(lineProfile(kWire));
    source.start();

    EXPECT_EQ(source.readFrames(2000).size(), samples.size());
    EXPECT_TRUE(source.readFrames(1).empty());  // the stream has hit the end of the file

    source.seekFrame(5000);
    EXPECT_EQ(source.positionFrames(), 1000u);
    EXPECT_TRUE(source.readFrames(10).empty());

    source.seekFrame(10);
    EXPECT_EQ(source.positionFrames(), 10u);
    EXPECT_EQ(source.readFrames(5), framesOf(samples, 10, 5));
    EXPECT_EQ(source.positionFrames(), 15u);

    source.seekFrame(999);
    EXPECT_EQ(source.readFrames(5), framesOf(samples, 999, 1));
    EXPECT_EQ(source.positionFrames(), 1000u);
}

TEST(ReplaySource, LifecycleRules) {
    zk::test::TempFolder folder;
    const std::vector<std::int16_t> samples = countingSamples(20 * kWire);
    writeRawFile(folder / "raw.int16", samples);
    ReplaySource source(folder / "raw.int16");

    expectThrowExactly<std::logic_error>([&] { source.start(); },
                                         "replay source requires a configured profile");
    expectThrowExactly<std::logic_error>([&] { (void)source.readFrames(1); }, "replay source is not started");
    expectThrowExactly<std::logic_error>([&] { source.seekFrame(0); }, "replay source is not started");

    source.configure(lineProfile(kWire));
    source.start();
    EXPECT_EQ(source.readFrames(4), framesOf(samples, 0, 4));
    source.start();  // already open: the position stays
    EXPECT_EQ(source.positionFrames(), 4u);
    expectThrowExactly<std::logic_error>([&] { source.configure(lineProfile(kWire)); },
                                         "cannot configure replay source while open");

    source.stop();
    source.stop();
    expectThrowExactly<std::logic_error>([&] { (void)source.readFrames(1); }, "replay source is not started");
    source.configure(lineProfile(kWire));
    source.start();  // opens again at the first frame
    EXPECT_EQ(source.positionFrames(), 0u);
    EXPECT_EQ(source.readFrames(2), framesOf(samples, 0, 2));

    // An invalid profile is taken as a copy and refused only when the stream would open.
    source.stop();
    DeviceProfile invalid = lineProfile(kWire);
    invalid.profileId.clear();
    source.configure(invalid);
    expectThrowExactly<std::logic_error>([&] { source.start(); },
                                         "replay source requires a configured profile");
}

TEST(ReplaySource, MissingFileFailsToOpenAndToSize) {
    zk::test::TempFolder folder;
    ReplaySource source(folder / "absent.int16");
    source.configure(lineProfile(kWire));
    expectThrowExactly<std::runtime_error>([&] { source.start(); }, "cannot open replay raw file");
    try {
        (void)source.totalFrames();
        ADD_FAILURE() << "expected a filesystem error";
    } catch (const std::filesystem::filesystem_error& e) {
        EXPECT_NE(std::string(e.what()).find("file_size"), std::string::npos) << e.what();
        EXPECT_EQ(e.path1(), folder / "absent.int16");
        EXPECT_EQ(e.code(), std::errc::no_such_file_or_directory);
    }
}

TEST(ReplaySource, FrameCountWithoutWireChannelsIsZeroInsteadOfADivisionByZero) {
    zk::test::TempFolder folder;
    writeRawFile(folder / "raw.int16", countingSamples(12));
    ReplaySource source(folder / "raw.int16");
    EXPECT_EQ(source.totalFrames(), 0u);  // before configure

    DeviceProfile noWires = lineProfile(kWire);
    noWires.wireChannelCount = 0;
    source.configure(noWires);
    EXPECT_EQ(source.totalFrames(), 0u);
    expectThrowExactly<std::logic_error>([&] { source.start(); },
                                         "replay source requires a configured profile");

    source.configure(lineProfile(kWire));
    EXPECT_EQ(source.totalFrames(), 4u);
}

}  // namespace
}  // namespace zk::core
