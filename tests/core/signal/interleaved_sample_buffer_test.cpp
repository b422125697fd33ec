#include "core/signal/interleaved_sample_buffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "allocation_counter.h"
#include "test_support.h"

namespace zk::core {
namespace {

using zk::test::expectThrowExactly;

std::vector<std::int16_t> takeAll(InterleavedSampleBuffer& buffer) { return buffer.takeFrames(UINT64_MAX); }

TEST(InterleavedSampleBuffer, RejectsZeroChannels) {
    expectThrowExactly<std::invalid_argument>([] { InterleavedSampleBuffer buffer(0); },
                                              "channel_count must be non-zero");
}

TEST(InterleavedSampleBuffer, ReadsLittleEndianSignedSamples) {
    InterleavedSampleBuffer buffer(4);
    const std::vector<std::uint8_t> bytes{0x34, 0x12, 0xFF, 0xFF, 0x00, 0x80, 0xFF, 0x7F};
    buffer.append(bytes);
    EXPECT_EQ(buffer.framesAvailable(), 1u);
    EXPECT_EQ(takeAll(buffer), (std::vector<std::int16_t>{0x1234, -1, -32768, 32767}));
    EXPECT_EQ(buffer.framesAvailable(), 0u);
}

TEST(InterleavedSampleBuffer, SampleSplitOverTwoChunks) {
    InterleavedSampleBuffer buffer(1);
    buffer.append(std::vector<std::uint8_t>{0xCD});
    EXPECT_EQ(buffer.framesAvailable(), 0u);
    buffer.append(std::vector<std::uint8_t>{});  // an empty chunk keeps the carried byte
    EXPECT_EQ(buffer.framesAvailable(), 0u);
    buffer.append(std::vector<std::uint8_t>{0xAB});
    EXPECT_EQ(buffer.framesAvailable(), 1u);
    EXPECT_EQ(takeAll(buffer), std::vector<std::int16_t>{static_cast<std::int16_t>(0xABCD)});
}

TEST(InterleavedSampleBuffer, OddChunkCarriesOneByte) {
    const std::vector<std::uint8_t> five{0x01, 0x00, 0x02, 0x00, 0x03};

    InterleavedSampleBuffer two(2);
    two.append(five);
    EXPECT_EQ(two.framesAvailable(), 1u);
    EXPECT_EQ(two.takeFrames(10), (std::vector<std::int16_t>{1, 2}));
    // The carried 0x03 becomes the low byte of the next sample.
    two.append(std::vector<std::uint8_t>{0x01, 0x04, 0x00});
    EXPECT_EQ(two.framesAvailable(), 1u);
    EXPECT_EQ(two.takeFrames(10), (std::vector<std::int16_t>{0x0103, 4}));

    InterleavedSampleBuffer three(3);
    three.append(five);
    EXPECT_EQ(three.framesAvailable(), 0u);
    EXPECT_TRUE(three.takeFrames(10).empty());
}

TEST(InterleavedSampleBuffer, TakeFramesLeavesPartialFrameAtFront) {
    InterleavedSampleBuffer buffer(2);
    std::vector<std::uint8_t> bytes;
    for (std::uint8_t s = 1; s <= 7; ++s) {  // 3.5 frames
        bytes.push_back(s);
        bytes.push_back(0);
    }
    buffer.append(bytes);
    EXPECT_EQ(buffer.framesAvailable(), 3u);
    EXPECT_EQ(buffer.takeFrames(10), (std::vector<std::int16_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(buffer.framesAvailable(), 0u);
    buffer.append(std::vector<std::uint8_t>{8, 0});
    EXPECT_EQ(takeAll(buffer), (std::vector<std::int16_t>{7, 8}));
}

TEST(InterleavedSampleBuffer, TakeFramesLimitsAndKeepsOrder) {
    InterleavedSampleBuffer buffer(3);
    EXPECT_TRUE(buffer.takeFrames(5).empty());  // empty buffer
    std::vector<std::uint8_t> bytes;
    for (std::uint8_t s = 0; s < 12; ++s) {
        bytes.push_back(s);
        bytes.push_back(0);
    }
    buffer.append(bytes);
    EXPECT_TRUE(buffer.takeFrames(0).empty());
    EXPECT_EQ(buffer.framesAvailable(), 4u);
    EXPECT_EQ(buffer.takeFrames(1), (std::vector<std::int16_t>{0, 1, 2}));
    EXPECT_EQ(buffer.takeFrames(2), (std::vector<std::int16_t>{3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(buffer.framesAvailable(), 1u);
    EXPECT_EQ(buffer.takeFrames(2), (std::vector<std::int16_t>{9, 10, 11}));
}

TEST(InterleavedSampleBuffer, ClearDropsCarryAndSamples) {
    InterleavedSampleBuffer buffer(1);
    buffer.append(std::vector<std::uint8_t>{0x10, 0x00, 0x20, 0x00, 0x77});
    buffer.clear();
    EXPECT_EQ(buffer.framesAvailable(), 0u);
    EXPECT_EQ(buffer.channelCount(), 1u);
    buffer.append(std::vector<std::uint8_t>{0x05, 0x00});
    EXPECT_EQ(takeAll(buffer), std::vector<std::int16_t>{5});
}

TEST(InterleavedSampleBuffer, ArbitraryChunkingMatchesWholeStream) {
    std::mt19937 rng(1234);
    std::uniform_int_distribution<int> byteDist(0, 255);
    std::vector<std::uint8_t> stream(4001);
    for (auto& b : stream) {
        b = static_cast<std::uint8_t>(byteDist(rng));
    }
    std::vector<std::int16_t> expected;
    for (std::size_t i = 0; i + 1 < stream.size(); i += 2) {
        expected.push_back(static_cast<std::int16_t>(stream[i] | (stream[i + 1] << 8)));
    }
    expected.resize(expected.size() / 5 * 5);

    InterleavedSampleBuffer buffer(5);
    std::vector<std::int16_t> got;
    std::uniform_int_distribution<std::size_t> chunkDist(0, 37);
    for (std::size_t pos = 0; pos < stream.size();) {
        const std::size_t n = std::min(chunkDist(rng), stream.size() - pos);
        buffer.append(std::span(stream).subspan(pos, n));
        pos += n;
        const auto part = buffer.takeFrames(chunkDist(rng) % 4);
        got.insert(got.end(), part.begin(), part.end());
    }
    const auto rest = takeAll(buffer);
    got.insert(got.end(), rest.begin(), rest.end());
    EXPECT_EQ(got, expected);
}

std::vector<std::uint8_t> littleEndianBytes(std::int16_t first, std::size_t count) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(2 * count);
    for (std::size_t i = 0; i < count; ++i) {
        const auto value = static_cast<std::uint16_t>(first + static_cast<std::int16_t>(i));
        bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(value >> 8));
    }
    return bytes;
}

// 2 s of the 128-channel, 48 kHz stream as 32 KiB datagrams queued before anyone takes a frame.
TEST(InterleavedSampleBuffer, LargeBacklogAppendsWithGeometricGrowth) {
    constexpr std::size_t kDatagramSamples = 16384;
    constexpr std::size_t kDatagrams = 2 * 48000 * 128 / kDatagramSamples;
    InterleavedSampleBuffer buffer(128);
    std::vector<std::vector<std::uint8_t>> datagrams;
    for (std::size_t d = 0; d < kDatagrams; ++d) {
        datagrams.push_back(littleEndianBytes(static_cast<std::int16_t>(d * 7), kDatagramSamples));
    }
    {
        const zk::test::AllocationCounter counter;
        for (const auto& datagram : datagrams) {
            buffer.append(datagram);
        }
        // Exact-size growth would reallocate (and copy the whole backlog) on every datagram.
        EXPECT_LE(counter.allocations(), 16u);
        EXPECT_LE(counter.bytes(), 4 * kDatagrams * kDatagramSamples * sizeof(std::int16_t));
    }
    EXPECT_EQ(buffer.framesAvailable(), kDatagrams * kDatagramSamples / 128);

    // Taking hop-sized blocks allocates only the returned blocks and keeps the order.
    std::size_t taken = 0;
    const zk::test::AllocationCounter counter;
    std::size_t takes = 0;
    for (std::vector<std::int16_t> block; !(block = buffer.takeFrames(512)).empty(); ++takes) {
        for (const std::int16_t sample : block) {
            const std::size_t d = taken / kDatagramSamples;
            ASSERT_EQ(sample, static_cast<std::int16_t>(d * 7 + taken % kDatagramSamples)) << taken;
            ++taken;
        }
    }
    EXPECT_EQ(taken, kDatagrams * kDatagramSamples);
    EXPECT_EQ(counter.allocations(), takes);
}

// A reader that keeps a standing backlog: the taken prefix is reclaimed in place, so once warm the
// appends allocate nothing, and the stream still comes out whole and in order.
TEST(InterleavedSampleBuffer, StandingBacklogReusesItsStorage) {
    InterleavedSampleBuffer buffer(3);
    std::mt19937 rng(99);
    std::uniform_int_distribution<std::size_t> chunk(1, 4000);
    std::int16_t next = 0;
    std::int16_t expected = 0;
    std::uint64_t warmAllocations = 0;
    for (int round = 0; round < 400; ++round) {
        const std::size_t count = chunk(rng);
        const auto bytes = littleEndianBytes(next, count);
        next = static_cast<std::int16_t>(next + static_cast<std::int16_t>(count));
        {
            const zk::test::AllocationCounter counter;
            buffer.append(bytes);
            if (round >= 200) {
                warmAllocations += counter.allocations();
            }
        }
        // Leave about 3000 frames queued.
        const std::uint64_t keep = 3000;
        const std::uint64_t available = buffer.framesAvailable();
        const auto block = buffer.takeFrames(available > keep ? available - keep : 0);
        for (const std::int16_t sample : block) {
            ASSERT_EQ(sample, expected);
            ++expected;
        }
    }
    EXPECT_EQ(warmAllocations, 0u);
    for (const std::int16_t sample : takeAll(buffer)) {
        ASSERT_EQ(sample, expected);
        ++expected;
    }
}

TEST(ChannelGather, BuildRejectsEmptyAndMovesList) {
    expectThrowExactly<std::invalid_argument>([] { (void)buildChannelGatherMap({}); },
                                              "gather mapping must not be empty");
    std::vector<std::uint64_t> wire{4, 1, 7};
    const std::uint64_t* storage = wire.data();
    const ChannelGatherMap map = buildChannelGatherMap(std::move(wire));
    EXPECT_EQ(map.wireChannels, (std::vector<std::uint64_t>{4, 1, 7}));
    EXPECT_EQ(map.wireChannels.data(), storage);
}

TEST(ChannelGather, ReordersAndDropsUnusedWireChannels) {
    const ChannelGatherMap map = buildChannelGatherMap({2, 0});
    const std::vector<std::int16_t> input{10, 11, 12, 20, 21, 22};
    std::vector<std::int16_t> output(4, -1);
    gatherLogicalChannels(map, input, output, 3);
    EXPECT_EQ(output, (std::vector<std::int16_t>{12, 10, 22, 20}));

    std::vector<std::int16_t> none;
    gatherLogicalChannels(map, std::span<const std::int16_t>(), none, 3);
    EXPECT_TRUE(none.empty());
}

TEST(ChannelGather, MatchesNaiveGatherOnRandomPermutation) {
    std::mt19937 rng(77);
    const std::uint64_t w = 40;
    std::vector<std::uint64_t> wire(w);
    for (std::uint64_t i = 0; i < w; ++i) {
        wire[i] = i;
    }
    std::shuffle(wire.begin(), wire.end(), rng);
    wire.resize(29);
    const std::vector<std::uint64_t> copy = wire;
    const ChannelGatherMap map = buildChannelGatherMap(std::move(wire));

    const std::size_t frames = 300;
    std::vector<std::int16_t> input(frames * w);
    std::uniform_int_distribution<int> dist(-32768, 32767);
    for (auto& s : input) {
        s = static_cast<std::int16_t>(dist(rng));
    }
    std::vector<std::int16_t> output(frames * copy.size());
    gatherLogicalChannels(map, input, output, w);
    for (std::size_t f = 0; f < frames; ++f) {
        for (std::size_t k = 0; k < copy.size(); ++k) {
            ASSERT_EQ(output[f * copy.size() + k], input[f * w + copy[k]]);
        }
    }
}

TEST(ChannelGather, InvalidInputThrowsAndLeavesOutputUntouched) {
    const std::vector<std::int16_t> input{1, 2, 3, 4, 5, 6};
    std::vector<std::int16_t> output(2, 99);
    const auto gather = [&](std::vector<std::uint64_t> wire, std::span<const std::int16_t> in,
                            std::uint64_t w) {
        return [&output, wire = std::move(wire), in, w]() mutable {
            gatherLogicalChannels(buildChannelGatherMap(std::move(wire)), in, output, w);
        };
    };
    expectThrowExactly<std::invalid_argument>(gather({1, 1}, input, 3), "invalid channel mapping");
    expectThrowExactly<std::invalid_argument>(gather({3}, input, 3), "invalid channel mapping");
    expectThrowExactly<std::invalid_argument>(gather({0}, input, 0), "invalid channel mapping");
    expectThrowExactly<std::invalid_argument>(gather({0, 2, 0}, input, 3), "invalid channel mapping");
    expectThrowExactly<std::invalid_argument>(gather({0}, std::span(input).first(5), 3),
                                              "input is not a complete interleaved stream");
    const std::vector<std::int16_t> seven{1, 2, 3, 4, 5, 6, 7};
    expectThrowExactly<std::invalid_argument>(gather({0}, seven, 3),
                                              "input is not a complete interleaved stream");
    expectThrowExactly<std::invalid_argument>(gather({0, 1}, input, 3), "output size does not match mapping");
    EXPECT_EQ(output, (std::vector<std::int16_t>{99, 99}));

    ChannelGatherMap empty;
    expectThrowExactly<std::invalid_argument>([&] { gatherLogicalChannels(empty, input, output, 3); },
                                              "invalid channel mapping");
}

TEST(ChannelGather, LiveSizedGatherAllocatesNothing) {
    std::vector<std::uint64_t> wire(128);
    for (std::uint64_t k = 0; k < wire.size(); ++k) {
        wire[k] = (k * 8) % 127;  // a permutation of 0 .. 126, one wire channel unused
    }
    wire[127] = 127;
    const ChannelGatherMap map = buildChannelGatherMap(std::move(wire));
    const std::vector<std::int16_t> input(512 * 130, 3);
    std::vector<std::int16_t> output(512 * 128);
    const zk::test::AllocationCounter counter;
    gatherLogicalChannels(map, input, output, 130);
    EXPECT_EQ(counter.allocations(), 0u);
    const ChannelGatherMap repeated = buildChannelGatherMap({5, 9, 5});
    EXPECT_THROW(
        gatherLogicalChannels(repeated, std::span(input).first(130), std::span(output).first(3), 130),
        std::invalid_argument);
}

TEST(ChannelGather, HugeWireCountNeedsNoBitSetOfThatSize) {
    // Only the map's own entries are tracked, so an enormous (but consistent) wire count is harmless.
    const ChannelGatherMap map = buildChannelGatherMap({std::uint64_t{1} << 60, 5});
    std::vector<std::int16_t> output;
    gatherLogicalChannels(map, std::span<const std::int16_t>(), output, std::uint64_t{1} << 62);
    EXPECT_TRUE(output.empty());
}

}  // namespace
}  // namespace zk::core
