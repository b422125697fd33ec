#include "device/uart_v2_codec.h"

#include <gtest/gtest.h>

#include <numeric>
#include <random>
#include <stdexcept>

#include "bitwise_crc.h"

namespace zk::device {
namespace {

ByteVector bytes(std::initializer_list<int> values) {
    ByteVector out;
    for (const int v : values) out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

TEST(UartV2Crc, MatchesABitSerialRegisterAndTheCheckValue) {
    const ByteVector digits = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(crc16Ccitt(digits), 0x29B1);
    EXPECT_EQ(bitSerialCrc16(digits), 0x29B1);
    EXPECT_EQ(crc16Ccitt({}), 0xFFFF);

    std::mt19937 rng(7);
    for (int length : {1, 2, 17, 258, 300}) {
        ByteVector message(static_cast<std::size_t>(length));
        for (auto& b : message) b = static_cast<std::uint8_t>(rng());
        EXPECT_EQ(crc16Ccitt(message), bitSerialCrc16(message)) << length;
    }
}

TEST(UartV2Frame, EncodesTheWorkedRequestsAndResponse) {
    EXPECT_EQ(buildUartV2Request(0x30, {}), bytes({0xAA, 0x5A, 0x30, 0x00, 0x00, 0x39, 0x09}));
    const ByteVector page256 = bytes({0x00, 0x01});
    EXPECT_EQ(buildUartV2Request(0x10, page256),
              bytes({0xAA, 0x5A, 0x10, 0x02, 0x00, 0x00, 0x01, 0x1F, 0xE8}));
    const ByteVector gain3 = bytes({0x03});
    EXPECT_EQ(buildUartV2Request(0x43, gain3), bytes({0xAA, 0x5A, 0x43, 0x01, 0x00, 0x03, 0xD3, 0x76}));
    EXPECT_EQ(encodeUartV2Frame(0x42, true, 0, {}), bytes({0xAA, 0x5A, 0x42, 0x00, 0x00, 0x00, 0x34, 0x07}));
}

TEST(UartV2Frame, CarriesAtMost258DataBytes) {
    ByteVector data(258);
    std::iota(data.begin(), data.end(), 0);
    const ByteVector frame = encodeUartV2Frame(0x10, true, 0, data);
    ASSERT_EQ(frame.size(), 8u + 258u);
    ByteVector buffer;
    const auto decoded = takeUartV2Frame(buffer, frame);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->data, data);
    EXPECT_TRUE(buffer.empty());

    data.push_back(0);
    try {
        encodeUartV2Frame(0x10, false, 0, data);
        FAIL() << "259 data bytes were framed";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "uart_v2 frame data exceeds 258 bytes");
    }
}

TEST(UartV2Decoder, SkipsNoiseBadSyncAndBadCrcBeforeAValidFrame) {
    const ByteVector good = encodeUartV2Frame(0x21, true, 4, bytes({9, 8, 7}));
    ByteVector corrupt = encodeUartV2Frame(0x10, true, 0, bytes({1, 2}));
    corrupt[6] ^= 0x40;  // data byte changed, CRC kept
    ByteVector stream = bytes({0x00, 0xAA, 0x13, 0x5A, 0xAA});
    stream.insert(stream.end(), corrupt.begin(), corrupt.end());
    stream.insert(stream.end(), good.begin(), good.end());

    ByteVector buffer;
    const auto frame = takeUartV2Frame(buffer, stream);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->command, 0x21);
    EXPECT_EQ(frame->status, 4);
    EXPECT_EQ(frame->data, bytes({9, 8, 7}));
    EXPECT_TRUE(buffer.empty());
    EXPECT_FALSE(takeUartV2Frame(buffer, {}));
}

TEST(UartV2Decoder, TreatsALengthOver258AsNoise) {
    // A valid sync with length 259, then a real frame.
    ByteVector stream = bytes({0xAA, 0x5A, 0x10, 0x00, 0x03, 0x01});
    const ByteVector good = encodeUartV2Frame(0x30, true, 0, {});
    stream.insert(stream.end(), good.begin(), good.end());
    ByteVector buffer;
    const auto frame = takeUartV2Frame(buffer, stream);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->command, 0x30);
}

TEST(UartV2Decoder, WaitsForTruncatedFramesAndKeepsASplitSync) {
    const ByteVector frame = encodeUartV2Frame(0x10, true, 0, bytes({1, 2, 3, 4}));
    ByteVector buffer;
    for (std::size_t i = 0; i + 1 < frame.size(); ++i) {
        EXPECT_FALSE(takeUartV2Frame(buffer, ByteSpan(&frame[i], 1))) << "returned before byte " << i;
    }
    EXPECT_EQ(buffer.size(), frame.size() - 1);
    const auto done = takeUartV2Frame(buffer, ByteSpan(&frame.back(), 1));
    ASSERT_TRUE(done);
    EXPECT_EQ(done->data, bytes({1, 2, 3, 4}));

    ByteVector tail;
    EXPECT_FALSE(takeUartV2Frame(tail, bytes({0x11, 0x22, 0xAA})));
    EXPECT_EQ(tail, bytes({0xAA}));
    EXPECT_FALSE(takeUartV2Frame(tail, bytes({0x11, 0x22})));
    EXPECT_TRUE(tail.empty());
}

TEST(UartV2Decoder, ReturnsTwoFramesOfOneReadOneAfterTheOther) {
    ByteVector stream = encodeUartV2Frame(0x42, true, 0, {});
    const ByteVector second = encodeUartV2Frame(0x43, true, 7, bytes({5}));
    stream.insert(stream.end(), second.begin(), second.end());
    ByteVector buffer;
    const auto first = takeUartV2Frame(buffer, stream);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->command, 0x42);
    EXPECT_EQ(buffer, second);
    const auto next = takeUartV2Frame(buffer, {});
    ASSERT_TRUE(next);
    EXPECT_EQ(next->command, 0x43);
    EXPECT_EQ(next->status, 7);
}

TEST(UartV2Status, NamesTheLowByte) {
    EXPECT_EQ(uartV2StatusName(0), "OK");
    EXPECT_EQ(uartV2StatusName(4), "ERR_PAGE");
    EXPECT_EQ(uartV2StatusName(6), "ERR_PROTECTED");
    EXPECT_EQ(uartV2StatusName(9), "ERR_UNKNOWN");
    EXPECT_EQ(uartV2StatusName(0x107), "ERR_STATE");
}

}  // namespace
}  // namespace zk::device
