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

TEST(ReplaySource, ReadsInBlocksBitForBitAndSeeksPastTheEndAndBack) {
    zk::test::TempFolder folder;
    const std::vector<std::int16_t> samples = countingSamples(1000 * kWire);
    writeRawFile(folder / "raw.int16", samples);
    ReplaySource source(folder / "raw.int16");
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

    // The stream has hit the end of the file: a seek must clear that before it reads again.
    source.seekFrame(5000);
    EXPECT_EQ(source.positionFrames(), 1000u);
    EXPECT_TRUE(source.readFrames(10).empty());
    source.seekFrame(10);
    EXPECT_EQ(source.readFrames(5), framesOf(samples, 10, 5));
    EXPECT_EQ(source.positionFrames(), 15u);
    source.seekFrame(999);
    EXPECT_EQ(source.readFrames(5), framesOf(samples, 999, 1));
}

TEST(ReplaySource, AnIncompleteTrailingFrameIsNeverReturned) {
    zk::test::TempFolder folder;
    const std::vector<std::int16_t> samples = countingSamples(10 * kWire);
    writeRawFile(folder / "raw.int16", samples, 5);  // an odd byte count, short of an eleventh frame
    ReplaySource source(folder / "raw.int16");
    source.configure(lineProfile(kWire));
    source.start();
    EXPECT_EQ(source.totalFrames(), 10u);
    EXPECT_EQ(source.readFrames(8), framesOf(samples, 0, 8));
    EXPECT_EQ(source.readFrames(8), framesOf(samples, 8, 2));
    EXPECT_TRUE(source.readFrames(8).empty());
    source.seekFrame(0);
    EXPECT_EQ(source.readFrames(1'000'000), samples);  // more than one read chunk asked at once
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
    expectThrowExactly<std::logic_error>([&] { (void)source.readFrames(1); }, "replay source is not started");
    source.start();  // opens again at the first frame
    EXPECT_EQ(source.readFrames(2), framesOf(samples, 0, 2));
    EXPECT_EQ(source.positionFrames(), 2u);

    ReplaySource missing(folder / "absent.int16");
    missing.configure(lineProfile(kWire));
    expectThrowExactly<std::runtime_error>([&] { missing.start(); }, "cannot open replay raw file");
    try {
        (void)missing.totalFrames();
        ADD_FAILURE() << "expected a filesystem error";
    } catch (const std::filesystem::filesystem_error& e) {
        EXPECT_NE(std::string(e.what()).find("file_size"), std::string::npos) << e.what();
        EXPECT_EQ(e.path1(), folder / "absent.int16");
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
