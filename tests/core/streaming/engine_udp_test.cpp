// The live path once, end to end: real datagrams on 127.0.0.1 in the shipped 128-microphone profile's
// layout, through UdpSource, the engine and a map thread, to a map that peaks on the source's cell.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "core/storage/device_profile.h"
#include "core/streaming/streaming_acoustic_engine.h"
#include "core/streaming/udp_source.h"
#include "engine_test_support.h"
#include "steering_test_model.h"

namespace zk::core {
namespace {

constexpr double kSourceHorizontalDeg = 12.0;
constexpr double kSourceVerticalDeg = -8.0;
constexpr std::size_t kDatagrams = 96;

// The array's datagrams of a plane wave from the source direction: tones on bins 80 .. 92 of a
// 1024-point frame at 48 kHz, each microphone delayed by its arrival time, in wire order.
std::vector<std::vector<std::uint8_t>> planeWaveDatagrams(const DeviceProfile& profile) {
    std::vector<double> tones;
    for (int k = 80; k <= 92; ++k) tones.push_back(k * 48000.0 / 1024.0);
    const std::size_t frames = kDatagrams * profile.udp->samplesPerDatagram;
    const auto logical =
        testmodel::planeWaveSamples(zk::test::positionsOf(profile), kSourceHorizontalDeg, kSourceVerticalDeg,
                                    tones, 800.0, 48000.0, frames, 343.0);
    const auto wire = zk::test::toWire(profile, logical);
    const std::size_t perDatagram = std::size_t{profile.udp->samplesPerDatagram} * profile.wireChannelCount;
    std::vector<std::vector<std::uint8_t>> datagrams;
    for (std::size_t d = 0; d < kDatagrams; ++d) {
        std::vector<std::uint8_t> bytes;
        for (std::size_t i = d * perDatagram; i < (d + 1) * perDatagram; ++i) {
            const auto v = static_cast<std::uint16_t>(wire[i]);
            bytes.push_back(static_cast<std::uint8_t>(v & 0xFF));
            bytes.push_back(static_cast<std::uint8_t>(v >> 8));
        }
        datagrams.push_back(std::move(bytes));
    }
    return datagrams;
}

// Streams the datagrams from a sender thread into a running UdpSource and the engine, then asks for
// one more map after the last push and returns it.
HeatmapGrid liveMap(std::int32_t algorithm, bool useBinRotation) {
    const DeviceProfile profile = loadDeviceProfile(ZK_PROFILES_DIR "/TM27-128-H1.6.2.device.json");
    StreamingEngineConfig config = zk::test::liveConfig(algorithm, zk::test::customBand(4000.0, 300.0));
    config.mapIntervalMs = 100;
    config.useBinRotation = useBinRotation;
    StreamingAcousticEngine engine;
    engine.configure(profile, config);
    const auto datagrams = planeWaveDatagrams(profile);

    UdpSource source(0, 1 << 23, 250);
    source.configure(profile);
    source.start();
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    EXPECT_GE(fd, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(source.boundPort());
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::thread sender([&] {
        for (const auto& d : datagrams) {
            ::sendto(fd, d.data(), d.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });

    zk::test::MapThread maps(engine);
    const std::uint64_t expected = kDatagrams * profile.udp->samplesPerDatagram;
    std::uint64_t pushed = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (pushed < expected && std::chrono::steady_clock::now() < deadline) {
        const std::vector<std::int16_t> samples = source.readFrames(1024);
        engine.pushWireFrames(samples);
        pushed += samples.size() / profile.wireChannelCount;
    }
    sender.join();
    ::close(fd);
    source.stop();
    EXPECT_EQ(pushed, expected);
    EXPECT_EQ(source.statistics().datagramsDroppedWrongSize, 0u);
    EXPECT_EQ(engine.processedBlockCount(), (expected - 1024) / 512 + 1);

    const std::uint64_t before = maps.stored();
    engine.requestMapNow();
    EXPECT_TRUE(maps.waitForMoreThan(before, std::chrono::seconds(120)));
    maps.stop();
    EXPECT_EQ(maps.failures(), 0u) << maps.lastFailure();
    const auto map = engine.latestMap();
    EXPECT_TRUE(map.has_value());
    return map.value_or(HeatmapGrid{});
}

TEST(StreamingEngineOverUdp, DelayAndSumMapPeaksOnTheSource) {
    const HeatmapGrid map = liveMap(1, false);
    EXPECT_EQ(map.algorithmId, 1u);
    EXPECT_EQ(map.width, 69u);  // the profile's 68.9 x 42.2 degree camera at 1 degree
    EXPECT_EQ(map.height, 43u);
    EXPECT_EQ(map.peakAzimuthDeg, kSourceHorizontalDeg);
    EXPECT_EQ(map.peakElevationDeg, kSourceVerticalDeg);
}

TEST(StreamingEngineOverUdp, MvdrWithBinRotationPeaksOnTheSource) {
    const HeatmapGrid map = liveMap(3, true);
    EXPECT_EQ(map.algorithmId, 3u);
    EXPECT_EQ(map.width, 69u);
    EXPECT_EQ(map.peakAzimuthDeg, kSourceHorizontalDeg);
    EXPECT_EQ(map.peakElevationDeg, kSourceVerticalDeg);
}

}  // namespace
}  // namespace zk::core
