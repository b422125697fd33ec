#include "device/page_payloads.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace zk::device {
namespace {

TEST(PagePayloads, PageAddressesAndBlankSectors) {
    EXPECT_EQ(encodePageAddress(256), (std::array<std::uint8_t, 2>{0x00, 0x01}));
    EXPECT_EQ(encodePageAddress(768), (std::array<std::uint8_t, 2>{0x00, 0x03}));
    EXPECT_EQ(encodePageAddress(0x12345), (std::array<std::uint8_t, 2>{0x45, 0x23}));
    ByteVector sector(256, 0xFF);
    EXPECT_TRUE(isBlankSector(sector));
    sector[200] = 0xFE;
    EXPECT_FALSE(isBlankSector(sector));
    EXPECT_FALSE(isBlankSector({}));
}

TEST(PagePayloads, Ipv4TextNeedsFourDecimalBytes) {
    for (const char* bad :
         {"256.1.1.1", "1.2.3", "1.2.3.4.5", "1..2.3", " 1.2.3.4", "1.2.3.4 ", "1.2.3.a", "1.2.3.1000", ""}) {
        EXPECT_FALSE(parseIpv4Text(bad)) << bad;
    }
    EXPECT_EQ(parseIpv4Text("1.2.3.4"), (Ipv4Bytes{1, 2, 3, 4}));
    EXPECT_EQ(parseIpv4Text("010.0.0.255"), (Ipv4Bytes{10, 0, 0, 255}));
    EXPECT_EQ(formatIpv4Text({192, 168, 1, 20}), "192.168.1.20");
}

TEST(PagePayloads, MacTextAcceptsSeparatorsAndEitherCase) {
    const MacBytes expected{0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F};
    EXPECT_EQ(parseMacText("0A-0b-0C-0d-0E-0f"), expected);
    EXPECT_EQ(parseMacText("0a:0b:0c:0d:0e:0f"), expected);
    EXPECT_EQ(parseMacText("0A0B0C0D0E0F"), expected);
    EXPECT_EQ(formatMacText(expected), "0a:0b:0c:0d:0e:0f");
    EXPECT_FALSE(parseMacText("00:11:22:33:44"));
    EXPECT_FALSE(parseMacText("00:11:22:33:44:55:66"));
    EXPECT_FALSE(parseMacText("00.11.22.33.44.55"));
    EXPECT_FALSE(parseMacText("00:11:22:33:44:5g"));
}

TEST(PagePayloads, NetworkRecordRoundTripsThroughItsByteLayout) {
    const ByteVector page{0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0xC0, 0xA8, 0x01, 0x32, 0xA0, 0xB1,
                          0xC2, 0xD3, 0xE4, 0xF5, 0xC0, 0xA8, 0x01, 0x14, 0x15, 0xB3, 0x1A, 0x0A};
    const auto record = unpackNetworkRecord(page);
    ASSERT_TRUE(record);
    EXPECT_EQ(formatMacText(record->boardMac), "00:11:22:33:44:55");
    EXPECT_EQ(formatIpv4Text(record->boardIp), "192.168.1.50");
    EXPECT_EQ(formatMacText(record->targetMac), "a0:b1:c2:d3:e4:f5");
    EXPECT_EQ(formatIpv4Text(record->targetIp), "192.168.1.20");
    EXPECT_EQ(record->sourcePort, 5555);
    EXPECT_EQ(record->targetPort, 6666);
    EXPECT_EQ(packNetworkRecord(*record), page);

    ByteVector longer = page;
    longer.resize(256, 0xFF);
    EXPECT_EQ(unpackNetworkRecord(longer), record);
    EXPECT_FALSE(unpackNetworkRecord(ByteSpan(page).first(23)));
    ByteVector zeros(24, 0x00);
    EXPECT_FALSE(unpackNetworkRecord(zeros));
    EXPECT_FALSE(unpackNetworkRecord(ByteVector(24, 0xFF)));
    zeros[23] = 1;
    EXPECT_TRUE(unpackNetworkRecord(zeros));
}

TEST(PagePayloads, FirTapsAreBigEndianInt16) {
    EXPECT_EQ(packFirTaps({32767, -1, -32768, 258}),
              (ByteVector{0x7F, 0xFF, 0xFF, 0xFF, 0x80, 0x00, 0x01, 0x02}));
    EXPECT_EQ(unpackFirTaps(ByteVector{0x7F, 0xFF, 0xFF, 0xFE, 0x80, 0x00, 0x42}),
              (std::vector<std::int16_t>{32767, -2, -32768}));
    for (const std::int32_t tap : {40000, -32769}) {
        try {
            packFirTaps({1, tap});
            FAIL() << tap;
        } catch (const std::invalid_argument& e) {
            EXPECT_STREQ(e.what(), "FIR tap out of int16 range");
        }
    }
}

}  // namespace
}  // namespace zk::device
