// What a live session makes of the datagrams on the array's port, through the real controller and real
// datagrams on 127.0.0.1:6666, on a clock that stands still until the test moves it: stray datagrams
// from another address beside the array's stream, a new session's first rejected datagrams, a slow
// start.

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <thread>

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

constexpr std::uint32_t kStrayAddress = 0x7F000002;  // 127.0.0.2
const QString kGapText = QStringLiteral("Live sample gap detected; continuity window restarted");
const QString kLostText =
    QStringLiteral("Recording stopped: datagrams were lost, the samples are no longer contiguous");
const QString kRejectedText = QStringLiteral("Datagrams rejected: ");
const QString kStrayText = QStringLiteral("Datagrams from another sender ignored: ");

core::DeviceProfile liveArray() {
    return core::loadDeviceProfile(shippedProfile(liveProfileFile()).toStdString());
}

qsizetype linesStartingWith(const QStringList& log, const QString& prefix) {
    return std::count_if(log.begin(), log.end(),
                         [&](const QString& line) { return line.mid(10).startsWith(prefix); });
}

qsizetype linesContaining(const QStringList& log, const QString& text) {
    return std::count_if(log.begin(), log.end(), [&](const QString& line) { return line.contains(text); });
}

// Whole datagrams of the profile's layout, each told apart by its number in its first two samples, from
// 127.0.0.1 at the array's pace; on request one of the wrong length from the same socket in place of
// the next.
class NumberedArraySender {
  public:
    explicit NumberedArraySender(const core::DeviceProfile& profile)
        : sender_(kArrayPort),
          bytes_(profile.udp->datagramBytes),
          interval_(std::chrono::duration_cast<std::chrono::steady_clock::duration>(
              std::chrono::duration<double>(static_cast<double>(profile.udp->samplesPerDatagram) /
                                            static_cast<double>(profile.sampleRateHz)))) {}
    ~NumberedArraySender() { stop(); }
    NumberedArraySender(const NumberedArraySender&) = delete;
    NumberedArraySender& operator=(const NumberedArraySender&) = delete;

    static std::vector<std::uint8_t> datagram(std::uint64_t number, std::size_t bytes) {
        std::vector<std::uint8_t> d(bytes);
        for (std::size_t i = 0; i < bytes; ++i)
            d[i] = static_cast<std::uint8_t>((number * 131 + i * 7) & 0xFF);
        for (std::size_t i = 0; i < 4; ++i) d[i] = static_cast<std::uint8_t>(number >> (8 * i));
        return d;
    }
    static std::uint64_t numberOf(const std::uint8_t* d) {
        return std::uint64_t{d[0]} | std::uint64_t{d[1]} << 8 | std::uint64_t{d[2]} << 16 |
               std::uint64_t{d[3]} << 24;
    }

    void start() {
        running_.store(true);
        thread_ = std::thread([this] { run(); });
    }
    void stop() {
        running_.store(false);
        if (thread_.joinable()) thread_.join();
    }
    // Whole datagrams sent so far: the number of the next.
    std::uint64_t sent() const { return sent_.load(); }
    // The next datagram goes out `bytes` long; returns once it went, with the number it replaced.
    std::uint64_t sendWrongLengthNext(std::size_t bytes) {
        wrongBytes_.store(bytes);
        while (wrongBytes_.load() != 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return wrongAt_.load();
    }
    bool waitUntilSent(std::uint64_t count) const {
        return QTest::qWaitFor([&] { return sent() >= count; }, 20000 * kSlowdown);
    }

  private:
    void run() {
        auto due = std::chrono::steady_clock::now();
        std::uint64_t number = 0;
        while (running_.load()) {
            if (const std::size_t wrong = wrongBytes_.load(); wrong != 0) {
                sender_.send(std::vector<std::uint8_t>(wrong, 0x33));
                wrongAt_.store(number++);
                wrongBytes_.store(0);
            } else {
                // A datagram the system refused (no buffer on a loaded machine) goes out again: an array
                // loses nothing before the wire.
                const std::vector<std::uint8_t> d = datagram(number, bytes_);
                while (!sender_.trySend(d)) {
                    if (!running_.load()) return;
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
                ++number;
                sent_.store(number);
            }
            due += interval_;
            std::this_thread::sleep_until(due);
        }
    }

    zk::test::LoopbackSender sender_;
    std::size_t bytes_;
    std::chrono::steady_clock::duration interval_;
    std::atomic<bool> running_{false};        // set by start, cleared by stop; read by the sender
    std::atomic<std::uint64_t> sent_{0};      // written by the sender
    std::atomic<std::size_t> wrongBytes_{0};  // set by the test, cleared by the sender once sent
    std::atomic<std::uint64_t> wrongAt_{0};   // written by the sender before it clears wrongBytes_
    std::thread thread_;
};

class LiveStreamWatch : public ControllerSettingsTest {
  protected:
    void SetUp() override {
        ControllerSettingsTest::SetUp();
        if (!waitForFreeUdpPort(kArrayPort)) GTEST_SKIP() << "UDP port 6666 stays held by another program";
    }
    // A UDP session whose silences and runs of rejected datagrams are timed by `clock`.
    static void startOnTheArrayPort(UiController& ui, StandInClock& clock) {
        BeamformingSettingsTestPeer(ui).setLiveClock(clock);
        importShippedProfile(ui, liveProfileFile());
        ui.setSource(QStringLiteral("UDP"));
        ui.setFrequency(4000.0);
        ASSERT_NO_FATAL_FAILURE(startLiveOnTheArrayPort(ui));
    }
};

// A stray sender on 127.0.0.2 sends a 100-byte datagram now and then beside the array's whole datagrams:
// the Recording goes on through every one of them and holds every datagram of the array, in order; the
// strays are counted on the Diagnostics page and named once in the event log, and no text speaks of a
// loss. A datagram of the wrong length from the array's own address is still a break that ends it.
TEST_F(LiveStreamWatch, StraysFromAnotherAddressLeaveTheRecordingWholeAndTheArraysOwnWrongLengthEndsIt) {
    const core::DeviceProfile profile = liveArray();
    StoredProject project{0, "Live"};
    UiController ui;
    BeamformingSettingsTestPeer peer(ui);
    StandInClock clock;  // stands still: no silence is seen however long a pass takes on a loaded machine
    ui.openProject(project.path());
    ASSERT_TRUE(ui.hasProject());
    ui.setRecordingMaxDurationSeconds(120);  // only the break may end it
    ASSERT_NO_FATAL_FAILURE(startOnTheArrayPort(ui, clock));
    NumberedArraySender array(profile);
    array.start();
    LiveSessionState& live = peer.liveSession();
    ASSERT_TRUE(waitUntil([&] { return live.counters.ingressSamples.load() > 0; }, 2000ms));
    QSignalSpy finished(&ui, &UiController::recordingFinished);
    ui.startRecording();
    ASSERT_TRUE(ui.recording()) << ui.statusText().toStdString();
    ASSERT_TRUE(waitUntil([&] { return ui.recordingBytes() > 0; }, 2000ms));

    // About a tenth of a second of the array's datagrams between two strays.
    constexpr int kStrays = 8;
    const std::uint64_t between =
        std::max<std::uint64_t>(4, profile.sampleRateHz / 10 / profile.udp->samplesPerDatagram);
    const zk::test::LoopbackSender stray(kArrayPort, kStrayAddress);
    std::vector<std::uint64_t> sentAtStray;
    for (int i = 0; i < kStrays; ++i) {
        ASSERT_TRUE(array.waitUntilSent(array.sent() + between));
        sentAtStray.push_back(array.sent());
        stray.send(std::vector<std::uint8_t>(100, 0x44));
    }
    core::UdpSource* udp = peer.udpSource();
    ASSERT_NE(udp, nullptr);
    ASSERT_TRUE(waitUntil([&] { return udp->statistics().strayDatagrams == kStrays; }, 2000ms));
    ASSERT_TRUE(array.waitUntilSent(array.sent() + between));
    ASSERT_TRUE(clock.waitForPasses());
    if (udp->statistics().datagramsDroppedBySocket > 0)
        GTEST_SKIP() << "the system dropped " << udp->statistics().datagramsDroppedBySocket
                     << " datagrams of the array: a real loss ends the Recording";
    EXPECT_EQ(finished.count(), 0) << ui.statusText().toStdString();
    EXPECT_TRUE(ui.recording());
    const QStringList diagnosticsBefore = ui.diagnosticsLog();
    EXPECT_EQ(linesContaining(diagnosticsBefore, QStringLiteral("Recording stopped")), 0);
    EXPECT_EQ(linesContaining(diagnosticsBefore, kGapText), 0);
    EXPECT_EQ(linesStartingWith(diagnosticsBefore, kRejectedText), 0);
    const auto [strayAddress, strayPort] = stray.source();
    ASSERT_EQ(strayAddress, kStrayAddress);
    EXPECT_EQ(linesStartingWith(ui.eventLog(), kStrayText), 1) << ui.eventLog().join('\n').toStdString();
    EXPECT_TRUE(logContains(ui.eventLog(), QStringLiteral("Datagrams from another sender ignored: 100 bytes "
                                                          "from 127.0.0.2:%1; the array's stream goes on")
                                               .arg(strayPort)));
    // The Diagnostics page counts them with the rejected datagrams.
    ASSERT_TRUE(waitUntil([&] { return live.udp.wrongSizeDatagrams.load() == kStrays; }, 2000ms));
    peer.rebuildDiagnosticRows();
    EXPECT_EQ(rowValue(ui.diagnosticRows(), QStringLiteral("Datagrams rejected / rx errors")),
              QStringLiteral("%1 / 0").arg(kStrays));

    const std::uint64_t wrongAt = array.sendWrongLengthNext(1000);
    ASSERT_TRUE(finished.count() > 0 || finished.wait(20000 * kSlowdown)) << ui.statusText().toStdString();
    ASSERT_TRUE(finished.front().front().toBool()) << ui.statusText().toStdString();
    if (udp->statistics().datagramsDroppedBySocket > 0)
        GTEST_SKIP() << "the system dropped " << udp->statistics().datagramsDroppedBySocket
                     << " datagrams of the array: a real loss ends the Recording";
    EXPECT_TRUE(logContains(ui.eventLog(), kLostText)) << ui.eventLog().join('\n').toStdString();
    EXPECT_EQ(ui.statusText(), kLostText);
    ASSERT_TRUE(waitUntil([&] { return linesStartingWith(ui.eventLog(), kRejectedText) == 1; }, 2000ms));
    EXPECT_EQ(finished.count(), 1);
    const QString id = finished.front().back().toString();
    array.stop();
    ui.stopLive();

    // One Measurement: the array's datagrams one after the other, from before the first stray up to the
    // one the wrong length replaced.
    const std::filesystem::path dir = project.measurementDir(id.toStdString());
    const std::string raw = readBytes(dir / "raw.int16");
    const std::size_t bytes = profile.udp->datagramBytes;
    ASSERT_EQ(raw.size(), core::readMeasurementManifest(dir).totalFrames * profile.wireChannelCount * 2);
    ASSERT_GT(raw.size(), 0u);
    ASSERT_EQ(raw.size() % bytes, 0u);
    const auto* data = reinterpret_cast<const std::uint8_t*>(raw.data());
    const std::uint64_t first = NumberedArraySender::numberOf(data);
    const std::uint64_t count = raw.size() / bytes;
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::vector<std::uint8_t> expected = NumberedArraySender::datagram(first + i, bytes);
        ASSERT_TRUE(std::equal(expected.begin(), expected.end(), data + i * bytes))
            << "datagram " << i << " of " << count << " is not the array's number " << first + i;
    }
    EXPECT_LT(first, sentAtStray.front());
    EXPECT_EQ(first + count, wrongAt) << "the Recording ended before the break";
    EXPECT_GT(first + count, sentAtStray.back());
}

// Each session names its own first rejected datagram and its own first stray, however soon after the
// last session's: the clock stands still, so the last session's runs would still be going on.
TEST_F(LiveStreamWatch, ANewSessionNamesItsFirstRejectedAndStrayDatagramsAgain) {
    const core::DeviceProfile profile = liveArray();
    UiController ui;
    BeamformingSettingsTestPeer peer(ui);
    StandInClock clock;
    for (int session = 0; session < 2; ++session) {
        SCOPED_TRACE(session);
        ASSERT_NO_FATAL_FAILURE(startOnTheArrayPort(ui, clock));
        const qsizetype logBefore = ui.eventLog().size();
        const zk::test::LoopbackSender array(kArrayPort);
        const zk::test::LoopbackSender stray(kArrayPort, kStrayAddress);
        array.send(NumberedArraySender::datagram(0, profile.udp->datagramBytes));
        array.send(std::vector<std::uint8_t>(1000, 0));
        stray.send(std::vector<std::uint8_t>(100, 0));
        core::UdpSource* udp = peer.udpSource();
        ASSERT_NE(udp, nullptr);
        ASSERT_TRUE(waitUntil([&] { return udp->statistics().datagramsReceived == 3; }, 2000ms));
        ASSERT_TRUE(clock.waitForPasses());
        const QStringList log = ui.eventLog().mid(logBefore);
        EXPECT_EQ(linesStartingWith(log, kRejectedText), 1) << log.join('\n').toStdString();
        EXPECT_EQ(linesStartingWith(log, kStrayText), 1) << log.join('\n').toStdString();
        ui.stopLive();
    }
}

// The array's first samples may come late: that is no silence, and no return from one. Once it has
// sent, a second without samples is a silence; an array that does not send at all is told of after the
// start's grace, and its first samples are the first, not a return.
TEST_F(LiveStreamWatch, ASlowStartIsNoSilence) {
    const core::DeviceProfile profile = liveArray();
    UiController ui;
    BeamformingSettingsTestPeer peer(ui);
    StandInClock clock;
    const QString silence = QStringLiteral("No data from the array for ");
    const QString again = QStringLiteral("Data from the array again after ");
    const QString firstData = QStringLiteral("First data from the array after ");
    const auto sendWhole = [&](std::uint64_t number) {
        zk::test::LoopbackSender(kArrayPort)
            .send(NumberedArraySender::datagram(number, profile.udp->datagramBytes));
    };

    ASSERT_NO_FATAL_FAILURE(startOnTheArrayPort(ui, clock));
    qsizetype logBefore = ui.eventLog().size();
    ASSERT_TRUE(clock.waitForPasses());
    clock.advance(2500ms);
    ASSERT_TRUE(clock.waitForPasses());
    EXPECT_EQ(linesStartingWith(ui.eventLog().mid(logBefore), silence), 0)
        << ui.eventLog().join('\n').toStdString();
    EXPECT_FALSE(ui.mapStale());
    sendWhole(0);
    ASSERT_TRUE(waitUntil([&] { return peer.liveSession().counters.ingressSamples.load() > 0; }, 2000ms));
    ASSERT_TRUE(clock.waitForPasses());
    EXPECT_EQ(linesStartingWith(ui.eventLog().mid(logBefore), again), 0);
    EXPECT_EQ(linesStartingWith(ui.eventLog().mid(logBefore), firstData), 0);
    clock.advance(1000ms);
    ASSERT_TRUE(clock.waitForPasses());
    EXPECT_EQ(
        linesStartingWith(ui.eventLog().mid(logBefore), QStringLiteral("No data from the array for 1 s")), 1)
        << ui.eventLog().join('\n').toStdString();
    EXPECT_TRUE(ui.mapStale());
    ui.stopLive();

    ASSERT_NO_FATAL_FAILURE(startOnTheArrayPort(ui, clock));
    logBefore = ui.eventLog().size();
    ASSERT_TRUE(clock.waitForPasses());
    clock.advance(3000ms);
    ASSERT_TRUE(clock.waitForPasses());
    EXPECT_EQ(linesStartingWith(ui.eventLog().mid(logBefore), silence), 1);
    EXPECT_EQ(
        linesStartingWith(ui.eventLog().mid(logBefore), QStringLiteral("No data from the array for 3 s")), 1)
        << ui.eventLog().join('\n').toStdString();
    sendWhole(1);
    ASSERT_TRUE(waitUntil([&] { return peer.liveSession().counters.ingressSamples.load() > 0; }, 2000ms));
    ASSERT_TRUE(clock.waitForPasses());
    EXPECT_EQ(linesStartingWith(ui.eventLog().mid(logBefore),
                                QStringLiteral("First data from the array after 3.0 s")),
              1)
        << ui.eventLog().join('\n').toStdString();
    EXPECT_EQ(linesStartingWith(ui.eventLog().mid(logBefore), again), 0);
    EXPECT_FALSE(ui.mapStale());
    ui.stopLive();
}

}  // namespace
}  // namespace zk::app::test
