#include "core/storage/device_profile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <string>

#include "device_profile_test_support.h"
#include "test_support.h"

namespace zk::core {
namespace {

using zk::test::Failure;
using zk::test::invalid;
using zk::test::parseFailure;
using zk::test::ProfileText;
using zk::test::shape;

const std::string kUdp = R"("udp": {"bytesPerSample": 2, "samplesPerDatagram": 64, "datagramBytes": 512,
    "sampleEncoding": "signed-int16", "byteOrder": "little-endian", "interleave": "sample-major"},)";

TEST(DeviceProfile, LoadsSortedWithWireMap) {
    ProfileText text;
    std::swap(text.microphones[0], text.microphones[3]);  // file order: logical 3, 1, 2, 0
    std::swap(text.microphones[2], text.microphones[3]);  // now 3, 1, 0, 2
    const DeviceProfile profile = parseDeviceProfile(text.str());
    EXPECT_EQ(profile.schemaVersion, 2u);
    EXPECT_EQ(profile.profileId, "P-4");
    EXPECT_EQ(profile.model, "M");
    EXPECT_EQ(profile.hardwareVersion, "H1");
    EXPECT_EQ(profile.modelCode, "2701");
    EXPECT_EQ(profile.channelCount, 4u);
    EXPECT_EQ(profile.sampleRateHz, 48000u);
    ASSERT_EQ(profile.microphones.size(), 4u);
    for (std::uint32_t i = 0; i < 4; ++i) EXPECT_EQ(profile.microphones[i].logicalChannel, i);
    EXPECT_EQ(profile.logicalToWire, (std::vector<std::uint32_t>{2, 3, 0, 1}));
    EXPECT_EQ(profile.microphones[3].wireChannel, 1u);
    EXPECT_EQ(profile.microphones[3].z, 0.01);
    EXPECT_EQ(profile.microphones[1].x, 0.05);
    ASSERT_TRUE(profile.udp.has_value());
    EXPECT_EQ(profile.udp->datagramBytes, 512u);
    EXPECT_FALSE(profile.camera.has_value());
    EXPECT_FALSE(profile.fir.has_value());
    EXPECT_TRUE(profile.isValid());
}

TEST(DeviceProfile, HeaderRules) {
    auto with = [](auto change) {
        ProfileText text;
        change(text);
        return parseFailure(text.str());
    };
    EXPECT_EQ(parseFailure("[]"), invalid("device profile root must be an object"));
    EXPECT_EQ(parseFailure("{} x"), shape("unexpected trailing JSON content"));
    EXPECT_EQ(parseFailure(ProfileText().str() + "x"), shape("unexpected trailing JSON content"));
    EXPECT_EQ(parseFailure("{}"), shape("JSON object has no key: schemaVersion"));
    for (const char* version : {"1", "3", "0", "-2", "\"2\""}) {
        const Failure expected = std::string(version) == "\"2\""
                                     ? shape("JSON value is not a number")
                                     : invalid("only device profile schemaVersion 2 is currently supported");
        EXPECT_EQ(with([&](ProfileText& t) { t.schemaVersion = version; }), expected) << version;
    }
    EXPECT_EQ(with([](ProfileText& t) { t.profileId = "\"\""; }), invalid("profileId must not be empty"));
    EXPECT_EQ(with([](ProfileText& t) { t.profileId = "7"; }), shape("JSON value is not a string"));
    const Failure positive = invalid("channelCount, wireChannelCount, sampleRateHz must be positive");
    EXPECT_EQ(with([](ProfileText& t) { t.channelCount = "0"; }), positive);
    EXPECT_EQ(with([](ProfileText& t) { t.wireChannelCount = "0.9"; }), positive);
    EXPECT_EQ(with([](ProfileText& t) { t.sampleRateHz = "4294967296"; }), positive);  // low 32 bits are 0
    // A negative count wraps to a huge one and then misses the microphone count.
    EXPECT_EQ(with([](ProfileText& t) { t.channelCount = "-1"; }),
              invalid("microphone count must equal channelCount"));
    EXPECT_EQ(with([](ProfileText& t) { t.modelCode = "\"2701\""; }), shape("JSON value is not a number"));
}

TEST(DeviceProfile, LenientNumberReadings) {
    ProfileText text;
    text.schemaVersion = "2.7";
    text.modelCode = "2701.9";
    text.sampleRateHz = "48000.99";
    DeviceProfile profile = parseDeviceProfile(text.str());
    EXPECT_EQ(profile.schemaVersion, 2u);
    EXPECT_EQ(profile.modelCode, "2701");
    EXPECT_EQ(profile.sampleRateHz, 48000u);
    text.modelCode = "-5.5";
    EXPECT_EQ(parseDeviceProfile(text.str()).modelCode, "-5");
    text.modelCode = "1e400";  // saturates instead of an undefined conversion
    EXPECT_EQ(parseDeviceProfile(text.str()).modelCode, "9223372036854775807");
}

TEST(DeviceProfile, FirstOccurrenceCountsAndUnknownKeysAreIgnored) {
    ProfileText text;
    text.deviceExtra = R"(, "channelCount": 9, "vendor": {"any": [1, 2]})";
    text.extra = R"(, "notes": "free text", "profileId": "")";
    const DeviceProfile profile = parseDeviceProfile(text.str());
    EXPECT_EQ(profile.channelCount, 4u);
    EXPECT_EQ(profile.profileId, "P-4");
}

TEST(DeviceProfile, UdpLayoutRulesInOrder) {
    auto udp = [](const std::string& bytesPerSample, const std::string& samples, const std::string& bytes,
                  const std::string& encoding = "signed-int16", const std::string& order = "little-endian",
                  const std::string& interleave = "sample-major") {
        ProfileText text;
        text.layout = "\"udp\": {\"bytesPerSample\": " + bytesPerSample +
                      ", \"samplesPerDatagram\": " + samples + ", \"datagramBytes\": " + bytes +
                      ", \"sampleEncoding\": \"" + encoding + "\", \"byteOrder\": \"" + order +
                      "\", \"interleave\": \"" + interleave + "\"},";
        return parseFailure(text.str());
    };
    const Failure none{"<none>", ""};
    EXPECT_EQ(udp("2", "64", "512"), none);
    EXPECT_EQ(udp("4", "0", "1", "x"), invalid("UDP bytesPerSample must be 2 for the current int16 decoder"));
    EXPECT_EQ(udp("2", "0", "1", "x"), invalid("UDP samplesPerDatagram must be positive"));
    EXPECT_EQ(udp("2", "64", "1", "float32", "big-endian"),
              invalid("UDP sampleEncoding must be signed-int16"));
    EXPECT_EQ(udp("2", "64", "1", "signed-int16", "big-endian", "x"),
              invalid("UDP byteOrder must be little-endian"));
    EXPECT_EQ(udp("2", "64", "1", "signed-int16", "little-endian", "channel-major"),
              invalid("UDP interleave must be sample-major"));
    // 4 channels x 2 bytes x 8188 samples = 65504 <= 65507; 8189 samples give 65512.
    EXPECT_EQ(udp("2", "8188", "65504"), none);
    EXPECT_EQ(udp("2", "8189", "65512"), invalid("UDP payload exceeds the maximum IPv4 UDP payload"));
    EXPECT_EQ(udp("2", "64", "511"),
              invalid("UDP datagramBytes must equal wireChannelCount * bytesPerSample * samplesPerDatagram"));
    ProfileText missing;
    missing.layout = R"("udp": {"bytesPerSample": 2},)";
    EXPECT_EQ(parseFailure(missing.str()), shape("JSON object has no key: samplesPerDatagram"));
}

TEST(DeviceProfile, UdpPayloadLimitWithSixtyFourChannels) {
    auto layout = [](std::uint32_t samples, std::uint32_t bytes) {
        UdpStreamLayout l{2, samples, bytes, "signed-int16", "little-endian", "sample-major"};
        try {
            l.validate(64);
        } catch (const std::invalid_argument& e) {
            return std::string(e.what());
        }
        return std::string("ok");
    };
    EXPECT_EQ(layout(511, 65408), "ok");
    EXPECT_EQ(layout(512, 65536), "UDP payload exceeds the maximum IPv4 UDP payload");
    EXPECT_EQ(layout(511, 65407),
              "UDP datagramBytes must equal wireChannelCount * bytesPerSample * samplesPerDatagram");
}

TEST(DeviceProfile, LegacyWireLayout) {
    auto wire = [](const std::string& format, const std::string& interleave,
                   const std::string& bytes = "512") {
        ProfileText text;
        text.layout.clear();
        text.deviceExtra = ", \"wire\": {\"bytesPerDatagram\": " + bytes +
                           ", \"samplesPerDatagram\": 64, \"sampleFormat\": \"" + format +
                           "\", \"interleave\": \"" + interleave + "\"}";
        return text.str();
    };
    const DeviceProfile profile = parseDeviceProfile(wire("int16le", "channel-major"));
    ASSERT_TRUE(profile.udp.has_value());
    EXPECT_EQ(*profile.udp, (UdpStreamLayout{2, 64, 512, "signed-int16", "little-endian", "sample-major"}));
    EXPECT_EQ(parseFailure(wire("int16le", "sample-major")),
              invalid("device.wire: only interleave channel-major"));
    EXPECT_EQ(parseFailure(wire("int16be", "sample-major")),
              invalid("device.wire sampleFormat must be int16le"));
    EXPECT_EQ(parseFailure(wire("int16le", "channel-major", "510")),
              invalid("UDP datagramBytes must equal wireChannelCount * bytesPerSample * samplesPerDatagram"));

    // With both blocks the "udp" one counts and the broken legacy block is never read.
    ProfileText both;
    both.deviceExtra = R"(, "wire": {"bytesPerDatagram": 1, "sampleFormat": "float"})";
    EXPECT_EQ(parseDeviceProfile(both.str()).udp->samplesPerDatagram, 64u);

    ProfileText neither;
    neither.layout.clear();
    const DeviceProfile bare = parseDeviceProfile(neither.str());
    EXPECT_FALSE(bare.udp.has_value());
    EXPECT_TRUE(bare.isValid());
}

TEST(DeviceProfile, MicrophoneRules) {
    auto mics = [](std::vector<std::string> list, const std::string& wireCount = "4") {
        ProfileText text;
        text.layout.clear();
        text.wireChannelCount = wireCount;
        text.microphones = std::move(list);
        return parseFailure(text.str());
    };
    auto mic = [](int logical, int wire, const std::string& x = "0") {
        return "{\"logicalChannel\": " + std::to_string(logical) +
               ", \"wireChannel\": " + std::to_string(wire) + ", \"x\": " + x + ", \"y\": 0, \"z\": 0}";
    };
    EXPECT_EQ(mics({mic(0, 0), mic(1, 1), mic(2, 2)}), invalid("microphone count must equal channelCount"));
    EXPECT_EQ(mics({mic(0, 0), mic(1, 1), mic(2, 2), mic(4, 3)}), invalid("logicalChannel out of range"));
    EXPECT_EQ(mics({mic(0, 0), mic(1, 1), mic(2, 2), mic(3, 4)}), invalid("wireChannel out of range"));
    EXPECT_EQ(mics({mic(0, 0), mic(1, 1), mic(1, 2), mic(3, 3)}), invalid("duplicate logicalChannel"));
    EXPECT_EQ(mics({mic(0, 0), mic(1, 1), mic(2, 1), mic(3, 3)}), invalid("duplicate wireChannel"));
    // Range checks come before the duplicate checks for the same microphone.
    EXPECT_EQ(mics({mic(0, 0), mic(0, 9), mic(2, 2), mic(3, 3)}), invalid("wireChannel out of range"));
    EXPECT_EQ(mics({mic(0, 0), mic(1, 1), mic(2, 2), mic(3, 3)}, "5"),
              invalid("wire channels must cover the full range"));
    EXPECT_EQ(mics({mic(0, 0), mic(1, 1), mic(2, 2), mic(3, 3)}, "3"), invalid("wireChannel out of range"));
    EXPECT_EQ(mics({mic(0, 0), mic(1, 1), mic(2, 2), mic(3, 3, "1e999")}),
              invalid("microphone.x must be finite"));
    EXPECT_EQ(mics({mic(0, 0), mic(1, 1), mic(2, 2),
                    "{\"logicalChannel\": 3, \"wireChannel\": 3, \"x\": 0, "
                    "\"y\": -1e999, \"z\": 0}"}),
              invalid("microphone.y must be finite"));
    EXPECT_EQ(mics({mic(0, 0), mic(1, 1), mic(2, 2), "[3, 3, 0, 0, 0]"}),
              shape("JSON value is not an object"));
    EXPECT_EQ(mics({mic(0, 0), mic(1, 1), mic(2, 2), "{\"logicalChannel\": 3, \"wireChannel\": 3}"}),
              shape("JSON object has no key: x"));
    EXPECT_EQ(mics({mic(0, 0), mic(1, 1), mic(2, 2), mic(3, 3, "\"0\"")}),
              shape("JSON value is not a number"));
}

// A wire channel count read from the file must not size any allocation: a count of 2^32 - 1 with
// four microphones is refused by the coverage rule at once.
TEST(DeviceProfile, MicrophonesMustBeAnArray) {
    const std::string valid = ProfileText().str();
    const std::string head = valid.substr(0, valid.find("\"array\": {") + 9);
    // Neither a scalar nor an object with the right member count passes as the microphone list.
    EXPECT_EQ(parseFailure(head + "{\"microphones\": 4}\n}\n"), shape("JSON value is not an array"));
    EXPECT_EQ(parseFailure(head + "{\"microphones\": {\"a\": 1, \"b\": 2, \"c\": 3}}\n}\n"),
              shape("JSON value is not an array"));
}

TEST(DeviceProfile, HugeWireChannelCountIsRefusedWithoutAllocatingForIt) {
    ProfileText text;
    text.layout.clear();
    text.wireChannelCount = "4294967295";
    EXPECT_EQ(parseFailure(text.str()), invalid("wire channels must cover the full range"));
}

TEST(DeviceProfile, IsValidConsistencyTest) {
    EXPECT_FALSE(DeviceProfile{}.isValid());
    const DeviceProfile good = parseDeviceProfile(ProfileText().str());
    ASSERT_TRUE(good.isValid());
    auto broken = [&](auto change) {
        DeviceProfile p = good;
        change(p);
        return p.isValid();
    };
    EXPECT_FALSE(broken([](DeviceProfile& p) { p.schemaVersion = 0; }));
    EXPECT_FALSE(broken([](DeviceProfile& p) { p.profileId.clear(); }));
    EXPECT_FALSE(broken([](DeviceProfile& p) { p.channelCount = 0; }));
    EXPECT_FALSE(broken([](DeviceProfile& p) { p.wireChannelCount = 0; }));
    EXPECT_FALSE(broken([](DeviceProfile& p) { p.sampleRateHz = 0; }));
    EXPECT_FALSE(broken([](DeviceProfile& p) { p.microphones.pop_back(); }));
    EXPECT_FALSE(broken([](DeviceProfile& p) { p.logicalToWire.push_back(0); }));
    EXPECT_FALSE(broken([](DeviceProfile& p) { p.udp->bytesPerSample = 4; }));
    EXPECT_FALSE(broken([](DeviceProfile& p) { p.udp->samplesPerDatagram = 0; }));
    EXPECT_FALSE(broken([](DeviceProfile& p) { p.udp->datagramBytes += 2; }));
    EXPECT_FALSE(broken([](DeviceProfile& p) { p.udp->sampleEncoding = "signed-int24"; }));
    EXPECT_FALSE(broken([](DeviceProfile& p) { p.udp->byteOrder = "big-endian"; }));
    EXPECT_FALSE(broken([](DeviceProfile& p) { p.udp->interleave = "channel-major"; }));
    EXPECT_TRUE(broken([](DeviceProfile& p) { p.udp.reset(); }));
    // The payload limit is not part of the consistency test.
    EXPECT_TRUE(broken([](DeviceProfile& p) {
        p.udp->samplesPerDatagram = 10000;
        p.udp->datagramBytes = 80000;
    }));
}

// 2 x 4294836226 x 2147549185 is 4 modulo 2^64: a wrapping product would let such a layout claim
// four-byte datagrams.
TEST(DeviceProfile, PayloadProductNeverWraps) {
    EXPECT_EQ(udpPayloadBytes(64, 511), 65408u);
    EXPECT_EQ(udpPayloadBytes(0xFFFFFFFFu, 0xFFFFFFFFu), std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(udpPayloadBytes(4294836226u, 2147549185u), std::numeric_limits<std::uint64_t>::max());
    DeviceProfile p = parseDeviceProfile(ProfileText().str());
    p.wireChannelCount = 4294836226u;
    p.udp->samplesPerDatagram = 2147549185u;
    p.udp->datagramBytes = 4;
    EXPECT_FALSE(p.isValid());
    EXPECT_THROW(p.udp->validate(p.wireChannelCount), std::invalid_argument);
}

TEST(DeviceProfile, LoadFromFile) {
    zk::test::TempFolder folder;
    EXPECT_THROW(
        {
            try {
                loadDeviceProfile(folder / "absent.device.json");
            } catch (const std::runtime_error& e) {
                EXPECT_STREQ(e.what(), "cannot open device profile");
                throw;
            }
        },
        std::runtime_error);
    // A path that opens but cannot be read is refused like one that does not open.
    try {
        loadDeviceProfile(folder.path());
        ADD_FAILURE() << "a directory loaded as a profile";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "cannot open device profile");
    }
    const auto path = folder / "p.device.json";
    std::ofstream(path, std::ios::binary) << ProfileText().str();
    EXPECT_EQ(loadDeviceProfile(path), parseDeviceProfile(ProfileText().str()));
}

// Blanks may follow the root value, so padding keeps a profile valid at any size.
TEST(DeviceProfile, LoadRefusesFilesBeyondFourMiB) {
    constexpr std::size_t kFourMiB = std::size_t{4} << 20;
    zk::test::TempFolder folder;
    const auto path = folder / "padded.device.json";
    std::string text = ProfileText().str();
    text.resize(kFourMiB, ' ');
    std::ofstream(path, std::ios::binary) << text;
    EXPECT_EQ(loadDeviceProfile(path), parseDeviceProfile(ProfileText().str()));
    std::ofstream(path, std::ios::binary | std::ios::app) << ' ';
    zk::test::expectThrowExactly<std::invalid_argument>([&] { loadDeviceProfile(path); },
                                                        "device profile file exceeds 4 MiB");
}

// An endless device must be refused after the bound, not read until memory runs out.
// Only a regular file is read: a device is refused at open, before a byte is read.
TEST(DeviceProfile, LoadRefusesAnEndlessDevice) {
    if (!std::filesystem::exists("/dev/zero")) GTEST_SKIP() << "no /dev/zero on this system";
    zk::test::expectThrowExactly<std::runtime_error>([] { loadDeviceProfile("/dev/zero"); },
                                                     "cannot open device profile");
}

}  // namespace
}  // namespace zk::core
