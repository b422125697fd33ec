// The live road through the controller when more arrives than it can take: a socket whose buffer
// overflows, and floods at 10x and 100x the array's rate on 127.0.0.1:6666.

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <QSignalSpy>
#include <algorithm>
#include <chrono>
#include <vector>

#include "app_test_support.h"
#include "beamforming_settings_peer.h"
#include "core/storage/device_profile.h"
#include "core/storage/measurement_store.h"
#include "core/streaming/udp_source.h"
#include "live_test_support.h"
#include "project_fixture.h"
#include "streaming/udp_test_support.h"

namespace zk::app::test {
namespace {

using Clock = std::chrono::steady_clock;

const QString kDegradedWarning = QStringLiteral(
    "Acquisition degraded: DSP queue / socket overflow (dropped frames are growing) - reduce "
    "imaging bins or close auxiliary views");

core::DeviceProfile liveArray() {
    return core::loadDeviceProfile(shippedProfile(liveProfileFile()).toStdString());
}

// A socket of this thread that sends one datagram of the array's size to the port.
class OneShotSender {
  public:
    explicit OneShotSender(std::size_t bytes) : socket_(kArrayPort), datagram_(bytes, 0) {}
    int send(int count) {
        int sent = 0;
        for (int i = 0; i < count; ++i) sent += socket_.trySend(datagram_);
        return sent;
    }

  private:
    zk::test::LoopbackSender socket_;
    std::vector<std::uint8_t> datagram_;
};

class LiveOverload : public ControllerSettingsTest {
  protected:
    void SetUp() override {
        ControllerSettingsTest::SetUp();
        if (!waitForFreeUdpPort(kArrayPort)) GTEST_SKIP() << "UDP port 6666 stays held by another program";
    }
    static void startUdp(UiController& ui) {
        importShippedProfile(ui, liveProfileFile());
        ui.setSource(QStringLiteral("UDP"));
        ui.setFrequency(4000.0);
        ASSERT_NO_FATAL_FAILURE(startLiveOnTheArrayPort(ui));
    }
};

TEST_F(LiveOverload, DatagramsTheSocketDroppedRaiseTheDegradedWarning) {
    const core::DeviceProfile profile = liveArray();
    UiController ui;
    BeamformingSettingsTestPeer peer(ui);
    startUdp(ui);
    const int fd = zk::test::socketBoundTo(kArrayPort);
    ASSERT_GE(fd, 0);
    // The smallest buffer the system grants; a burst from this thread, which hands each datagram over
    // synchronously, outruns the receive thread.
    const int smallest = 1;
    ASSERT_EQ(::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &smallest, sizeof smallest), 0);
    OneShotSender sender(profile.udp->datagramBytes);
    constexpr int kBurst = 200;
    ASSERT_EQ(sender.send(kBurst), kBurst);
    // The system tells its count with the next datagram it delivers: one after the burst has drained.
    QTest::qWait(200);
    ASSERT_EQ(sender.send(1), 1);
    core::UdpSource* udp = peer.udpSource();
    ASSERT_NE(udp, nullptr);
    core::UdpReceiveStats stats;
    ASSERT_TRUE(waitUntil(
        [&] {
            stats = udp->statistics();
            return stats.datagramsReceived + stats.datagramsDroppedBySocket == kBurst + 1u;
        },
        1000ms))
        << stats.datagramsReceived << " + " << stats.datagramsDroppedBySocket;
    if (stats.datagramsDroppedBySocket == 0) GTEST_SKIP() << "the receive thread kept up with the burst";
    EXPECT_TRUE(waitUntil([&] { return logContains(ui.diagnosticsLog(), kDegradedWarning); }, 1000ms))
        << ui.liveMetrics().toStdString();
    // Nothing else was lost, so only the socket's drops can have raised it.
    EXPECT_EQ(stats.datagramsDroppedBufferFull + stats.datagramsDroppedWrongSize, 0u);
    EXPECT_EQ(peer.liveSession().dspQueue.statistics().droppedFrames, 0u) << "the DSP fell behind";
    ui.stopLive();
}

// Datagrams the system drops while a Recording runs leave a gap raw.int16 cannot hold: the Recording
// ends at the last contiguous sample and becomes a Measurement, and the live view goes on.
TEST_F(LiveOverload, DatagramsLostDuringARecordingEndItWhileTheLiveViewGoesOn) {
    const core::DeviceProfile profile = liveArray();
    StoredProject project{0, "Live"};
    UiController ui;
    BeamformingSettingsTestPeer peer(ui);
    ui.openProject(project.path());
    ASSERT_TRUE(ui.hasProject());
    ui.setRecordingMaxDurationSeconds(120);  // only the gap may end it
    startUdp(ui);
    MapWatcher maps(ui);
    PlaneWaveSender stream(profile, 12.0, -8.0);
    stream.start();
    ASSERT_TRUE(waitUntil([&] { return maps.liveMapCount() >= 1; }, 2000ms));
    QSignalSpy finished(&ui, &UiController::recordingFinished);
    ui.startRecording();
    ASSERT_TRUE(ui.recording()) << ui.statusText().toStdString();
    ASSERT_TRUE(waitUntil([&] { return ui.recordingBytes() > 0; }, 2000ms));

    const int fd = zk::test::socketBoundTo(kArrayPort);
    ASSERT_GE(fd, 0);
    const int smallest = 1;
    ASSERT_EQ(::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &smallest, sizeof smallest), 0);
    OneShotSender burst(profile.udp->datagramBytes);
    burst.send(200);
    // The stream's next datagram brings the system's count.
    if (!waitUntil([&] { return peer.udpSource()->statistics().datagramsDroppedBySocket > 0; }, 1000ms)) {
        ui.stopLive();
        GTEST_SKIP() << "the receive thread kept up with the burst";
    }
    ASSERT_TRUE(finished.count() > 0 || finished.wait(20000 * kSlowdown)) << ui.statusText().toStdString();
    EXPECT_TRUE(logContains(
        ui.eventLog(),
        QStringLiteral("Recording stopped: datagrams were lost, the samples are no longer contiguous")));
    EXPECT_TRUE(finished.front().front().toBool()) << ui.statusText().toStdString();
    const std::filesystem::path dir =
        project.measurementDir(finished.front().back().toString().toStdString());
    const std::uint64_t frames = core::readMeasurementManifest(dir).totalFrames;
    EXPECT_GT(frames, 0u);
    EXPECT_EQ(std::filesystem::file_size(dir / "raw.int16"), frames * profile.wireChannelCount * 2);

    maps.clear();
    EXPECT_TRUE(waitUntil([&] { return maps.liveMapCount() >= 2; }, 2000ms));
    EXPECT_EQ(ui.sessionState(), QStringLiteral("Running"));
    stream.stop();
    ui.stopLive();
}

// Every datagram sent is accounted for by one counter, the sample buffer never holds more than its
// bound, and maps keep to their interval however many gaps the flood makes.
TEST_F(LiveOverload, AFloodIsCountedBoundedAndMapsKeepTheirInterval) {
    const core::DeviceProfile profile = liveArray();
    const std::uint64_t frameBytes = 2u * profile.wireChannelCount;
    const std::uint64_t datagramSamples = profile.udp->datagramBytes / 2;
    constexpr auto kFlood = 1000ms;
    constexpr auto kMapInterval = 100ms;
    for (const double factor : {10.0, 100.0}) {
        SCOPED_TRACE(factor);
        UiController ui;
        BeamformingSettingsTestPeer peer(ui);
        startUdp(ui);
        core::UdpSource* udp = peer.udpSource();
        ASSERT_NE(udp, nullptr);
        const std::uint64_t boundBytes = udp->bufferCapacityFrames() * frameBytes;
        LiveCounters& counters = peer.liveSession().counters;

        PlaneWaveSender sender(profile, 12.0, -8.0);
        sender.setRateFactor(factor);
        const std::uint64_t mapsBefore = counters.mapsPublished.load();
        const Clock::time_point start = Clock::now();
        sender.start();
        std::uint64_t peakBytes = 0;
        while (Clock::now() - start < kFlood) {
            peakBytes = std::max(peakBytes, udp->reservedBufferBytes());
            QTest::qWait(2);
        }
        const std::uint64_t maps = counters.mapsPublished.load() - mapsBefore;
        const auto window = Clock::now() - start;
        sender.stop();
        EXPECT_LE(peakBytes, boundBytes);
        EXPECT_LE(maps, static_cast<std::uint64_t>(window / kMapInterval) + 2) << "in " << window.count();

        // A last datagram once the socket has drained brings the system's drop count.
        QTest::qWait(200);
        OneShotSender last(profile.udp->datagramBytes);
        ASSERT_EQ(last.send(1), 1);
        const std::uint64_t sent = sender.sent() + 1;
        core::UdpReceiveStats stats;
        const bool settled = waitUntil(
            [&] {
                stats = udp->statistics();
                const std::uint64_t kept = stats.datagramsReceived - stats.datagramsDroppedBufferFull -
                                           stats.datagramsDroppedWrongSize;
                return stats.datagramsReceived + stats.datagramsDroppedBySocket == sent &&
                       counters.ingressSamples.load() == kept * datagramSamples;
            },
            2000ms);
        EXPECT_TRUE(settled) << "sent " << sent << ", received " << stats.datagramsReceived << ", socket "
                             << stats.datagramsDroppedBySocket << ", buffer full "
                             << stats.datagramsDroppedBufferFull << ", ingress samples "
                             << counters.ingressSamples.load();
        EXPECT_GT(sent, 0u);
        ui.stopLive();
    }
}

}  // namespace
}  // namespace zk::app::test
