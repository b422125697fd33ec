// The live metrics line and the diagnostic rows against counters set to known values, queue drops made
// by real pushes, real datagrams on 127.0.0.1, and the process's own memory figures.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <fstream>
#include <thread>
#include <vector>

#include "app/ui_controller.h"
#include "app_test_support.h"
#include "beamforming_settings_peer.h"
#include "core/storage/device_profile.h"
#include "core/streaming/streaming_acoustic_engine.h"
#include "core/streaming/udp_source.h"
#include "streaming/udp_test_support.h"

namespace zk::app::test {
namespace {

using namespace std::chrono_literals;
using LiveMetrics = ControllerSettingsTest;
using DiagnosticRows = ControllerSettingsTest;

// Known counters: 66 blocks of 10 frames into the DSP queue (the 65th drops the 64 queued, 640 frames, and
// 2 stay), 65 of 5 into the diagnostics queue (its oldest, 5 frames, dropped), two map latencies of 1 and
// 3 ms.
void setKnownCounters(BeamformingSettingsTestPeer& peer) {
    LiveSessionState& live = peer.liveSession();
    live.dspQueue.reset();
    live.diagnosticsQueue.reset();
    for (int i = 0; i < 66; ++i) live.dspQueue.push(SampleBlock{std::vector<std::int16_t>(40, 1), 10, false});
    for (int i = 0; i < 65; ++i)
        live.diagnosticsQueue.push(SampleBlock{std::vector<std::int16_t>(20, 1), 5, false});
    live.counters.ingressSamples = 1234;
    live.counters.dspHops = 56;
    live.counters.mapsPublished = 7;
    live.counters.liveErrors = 2;
    peer.liveEngine().recordMapLatency(1000);
    peer.liveEngine().recordMapLatency(3000);
}

TEST_F(LiveMetrics, TheSyntheticLineShowsTheCounters) {
    UiController ui;
    BeamformingSettingsTestPeer peer(ui);
    setKnownCounters(peer);
    QSignalSpy changed(&ui, &UiController::liveMetricsChanged);
    peer.rebuildLiveMetrics(nullptr);
    // The latency percentiles are the upper bounds of the engine's buckets (1 ms and 4 ms).
    EXPECT_EQ(ui.liveMetrics(),
              QStringLiteral(
                  "hops 56 · maps 7 · BF avg/p50/p95/p99/max 2.00/1.00/4.00/4.00/3.00 ms · overwrite 0 · "
                  "wire values 1234 · DSP drop 640 fr · diag drop 5 fr · errors 2"));
    EXPECT_EQ(changed.count(), 1);
    peer.rebuildLiveMetrics(nullptr);
    EXPECT_EQ(changed.count(), 1);  // the same text again: no signal
}

// Sends datagrams of the given sizes to the port on 127.0.0.1.
void sendDatagrams(std::uint16_t port, const std::vector<std::size_t>& sizes) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (const std::size_t size : sizes) {
        const std::vector<char> bytes(size, 0);
        ASSERT_EQ(::sendto(fd, bytes.data(), size, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to),
                  static_cast<ssize_t>(size));
    }
    ::close(fd);
}

TEST_F(LiveMetrics, TheUdpLineShowsTheReceiverAndWarnsOfGrowingLossAtMostEveryFiveSeconds) {
    const core::DeviceProfile profile =
        core::loadDeviceProfile(shippedProfile("small-4.device.json").toStdString());
    core::UdpSource udp(0, 1 << 20, 250);
    udp.configure(profile);
    udp.start();
    // Three datagrams of the layout (2048 bytes, 256 frames each), one of a wrong size, one empty.
    sendDatagrams(udp.boundPort(), {2048, 2048, 100, 2048, 0});
    ASSERT_TRUE(QTest::qWaitFor([&] { return udp.statistics().emptyDatagrams == 1; }, 5000));

    UiController ui;
    BeamformingSettingsTestPeer peer(ui);
    setKnownCounters(peer);
    peer.liveSession().datagramBytes = profile.udp->datagramBytes;
    peer.rebuildLiveMetrics(&udp);
    const QString line = ui.liveMetrics();
    EXPECT_TRUE(line.startsWith(
        QStringLiteral("UDP 4 dgrams · 0.0 MB · rejected 2 · overflow 0 · ingress 768 fr · DSP q 2/64 "
                       "drop 640 fr · diag drop 5 fr · rx err 0 · hops 56 · maps 7 · BF "
                       "avg/p50/p95/p99/max 2.00/1.00/4.00/4.00/3.00 ms · map overwrite 0 · "
                       "DSP err 2 · diagC ")))
        << line.toStdString();
    EXPECT_NE(line.indexOf(QStringLiteral(" · diagP ")), -1);
    EXPECT_NE(line.indexOf(QStringLiteral(" · st ")), -1);
    // The receive statistics are published for the diagnostic rows.
    EXPECT_EQ(peer.liveSession().udp.datagrams.load(), 4u);
    EXPECT_EQ(peer.liveSession().udp.bytes.load(), 3u * 2048u + 100u);
    EXPECT_EQ(peer.liveSession().udp.bufferedFrames.load(), 768u);

    // The DSP queue's drops raise the warning; the datagram of the wrong length is the acquisition
    // thread's watch of the stream to name, and the empty one has no samples to misplace.
    const QString warning = QStringLiteral(
        "Acquisition degraded: DSP queue / socket overflow (dropped frames are growing) - reduce imaging "
        "bins "
        "or close auxiliary views");
    const QStringList log = ui.diagnosticsLog();
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [&](const QString& l) { return l.endsWith(warning); }));
    EXPECT_EQ(ui.statusText(), warning);

    // More loss within 5 s: counted, but not shown again.
    ui.setStatusText(QStringLiteral("other"));
    sendDatagrams(udp.boundPort(), {100});
    ASSERT_TRUE(QTest::qWaitFor([&] { return udp.statistics().datagramsReceived == 5; }, 5000));
    peer.rebuildLiveMetrics(&udp);
    EXPECT_EQ(ui.statusText(), QStringLiteral("other"));
    EXPECT_NE(ui.liveMetrics().indexOf(QStringLiteral("rejected 3")), -1);
    udp.stop();
}

// Datagrams the profile does not describe are the sender's fault, not an overflow of this machine: the
// array's own are named as such and nothing else is blamed; each run of them is one event, and while it
// goes on the status line counts on, at most every 5 s. Stray ones from another address are named once
// a run, with their length and sender. The watch is driven on times of the test's choosing, a pass a
// second for 12 s, and by the receiver's counts after real datagrams.
TEST_F(LiveMetrics, DatagramsOfTheWrongLengthAreNamedOnceARunAndBlameNoOverflow) {
    const core::DeviceProfile profile =
        core::loadDeviceProfile(shippedProfile("small-4.device.json").toStdString());
    core::UdpSource udp(0, 1 << 20, 250);
    udp.configure(profile);
    udp.start();
    sendDatagrams(udp.boundPort(), {2048, 2047, 2049});
    ASSERT_TRUE(QTest::qWaitFor([&] { return udp.statistics().datagramsReceived == 3; }, 5000));

    UiController ui;
    BeamformingSettingsTestPeer peer(ui);
    peer.liveSession().datagramBytes = profile.udp->datagramBytes;
    peer.rebuildLiveMetrics(&udp);
    for (const QString& line : ui.diagnosticsLog())
        EXPECT_FALSE(line.contains(QStringLiteral("Acquisition degraded"))) << line.toStdString();

    const auto t0 = ArrayStreamWatch::Clock::time_point{} + std::chrono::hours(1);
    ArrayStreamWatch watch;
    watch.restart(t0);
    const auto linesStartingWith = [&](const QStringList& log, const QString& prefix) {
        return std::count_if(log.begin(), log.end(),
                             [&](const QString& line) { return line.mid(10).startsWith(prefix); });
    };
    const QString rejected = QStringLiteral("Datagrams rejected: ");
    const QString stray = QStringLiteral("Datagrams from another sender ignored: ");
    EXPECT_FALSE(peer.watchArrayStream(watch, t0, true, udp.statistics()));
    EXPECT_EQ(ui.statusText(),
              QStringLiteral("Datagrams rejected: their length does not match the Device Profile (2048 bytes "
                             "expected, 2 rejected so far)"));
    EXPECT_EQ(linesStartingWith(ui.eventLog(), rejected), 1);
    EXPECT_TRUE(ui.eventLog().last().endsWith(ui.statusText())) << ui.eventLog().last().toStdString();

    const zk::test::LoopbackSender other(udp.boundPort(), 0x7F000002);
    std::uint64_t received = 3;
    for (int second = 1; second <= 12; ++second) {
        sendDatagrams(udp.boundPort(), {100});
        other.send(std::vector<std::uint8_t>(100, 0));
        received += 2;
        ASSERT_TRUE(QTest::qWaitFor([&] { return udp.statistics().datagramsReceived == received; }, 5000));
        peer.watchArrayStream(watch, t0 + std::chrono::seconds(second), true, udp.statistics());
    }
    EXPECT_EQ(linesStartingWith(ui.eventLog(), rejected), 1) << ui.eventLog().join('\n').toStdString();
    EXPECT_EQ(linesStartingWith(ui.diagnosticsLog(), rejected), 3);  // at 0, 6 and 12 s
    EXPECT_EQ(ui.statusText(),
              QStringLiteral("Datagrams rejected: their length does not match the Device Profile (2048 bytes "
                             "expected, 14 rejected so far)"));
    const auto [address, port] = other.source();
    ASSERT_EQ(address, 0x7F000002u);
    EXPECT_EQ(linesStartingWith(ui.eventLog(), stray), 1);
    EXPECT_TRUE(ui.eventLog()
                    .filter(QStringLiteral("Datagrams from another sender ignored: 100 bytes "
                                           "from 127.0.0.2:%1; the array's stream goes on")
                                .arg(port))
                    .size() == 1)
        << ui.eventLog().join('\n').toStdString();
    for (const QString& line : ui.diagnosticsLog())
        EXPECT_FALSE(line.contains(QStringLiteral("Acquisition degraded"))) << line.toStdString();
    udp.stop();
}

QStringList rowNames(const QVariantList& rows) {
    QStringList names;
    for (const QVariant& row : rows) names.append(row.toMap().value(QStringLiteral("name")).toString());
    return names;
}

// The process's resident set from its own status file, in MiB.
double residentMib() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            double kib = 0.0;
            status >> kib;
            return kib / 1024.0;
        }
    }
    return 0.0;
}

TEST_F(DiagnosticRows, ListTheCountersInOrderWithTheDatagramRate) {
    UiController ui;
    BeamformingSettingsTestPeer peer(ui);
    setKnownCounters(peer);
    core::UdpReceiveStats stats;
    stats.datagramsReceived = 1000;
    stats.datagramsDroppedWrongSize = 3;
    stats.bytesReceived = 2'450'000;
    stats.receiveErrors = 1;
    stats.bufferedFrames = 512;
    stats.emptyDatagrams = 4;  // rejected with the wrong-size ones
    stats.datagramsDroppedBySocket = 7;
    stats.datagramsDroppedBufferFull = 2;
    peer.liveSession().udp.store(stats);

    QSignalSpy changed(&ui, &UiController::diagnosticRowsChanged);
    const auto firstStart = std::chrono::steady_clock::now();
    peer.rebuildDiagnosticRows();
    const auto firstDone = std::chrono::steady_clock::now();
    ASSERT_EQ(changed.count(), 1);
    QVariantList rows = ui.diagnosticRows();
    EXPECT_EQ(rowNames(rows),
              (QStringList{
                  QStringLiteral("Process memory"), QStringLiteral("UDP datagrams"),
                  QStringLiteral("UDP received"), QStringLiteral("Datagrams rejected / rx errors"),
                  QStringLiteral("Datagrams dropped on overflow"), QStringLiteral("Ingress pending frames"),
                  QStringLiteral("DSP queue occupancy / drop"), QStringLiteral("Diagnostic queue drop"),
                  QStringLiteral("Processed frames"), QStringLiteral("Maps published"),
                  QStringLiteral("BF avg/p50/p95/p99/max"), QStringLiteral("Map overwrite / DSP errors"),
                  QStringLiteral("Array profile"), QStringLiteral("Measurements / Analysis runs")}));
    EXPECT_EQ(rowValue(rows, QStringLiteral("UDP datagrams")), QStringLiteral("1000  (0 pkt/s)"));
    EXPECT_EQ(rowValue(rows, QStringLiteral("UDP received")), QStringLiteral("2.5 MB"));
    EXPECT_EQ(rowValue(rows, QStringLiteral("Datagrams rejected / rx errors")), QStringLiteral("7 / 1"));
    EXPECT_EQ(rowValue(rows, QStringLiteral("Datagrams dropped on overflow")), QStringLiteral("9"));
    EXPECT_EQ(rowValue(rows, QStringLiteral("Ingress pending frames")), QStringLiteral("512"));
    EXPECT_EQ(rowValue(rows, QStringLiteral("DSP queue occupancy / drop")),
              QStringLiteral("2/64  ·  640 fr"));
    EXPECT_EQ(rowValue(rows, QStringLiteral("Diagnostic queue drop")), QStringLiteral("5 fr"));
    EXPECT_EQ(rowValue(rows, QStringLiteral("Processed frames")), QStringLiteral("56"));
    EXPECT_EQ(rowValue(rows, QStringLiteral("Maps published")), QStringLiteral("7"));
    EXPECT_EQ(rowValue(rows, QStringLiteral("BF avg/p50/p95/p99/max")),
              QStringLiteral("2.00/1.00/4.00/4.00/3.00 ms"));
    EXPECT_EQ(rowValue(rows, QStringLiteral("Map overwrite / DSP errors")), QStringLiteral("0 / 2"));
    EXPECT_EQ(rowValue(rows, QStringLiteral("Array profile")), QStringLiteral("none"));
    EXPECT_EQ(rowValue(rows, QStringLiteral("Measurements / Analysis runs")), QStringLiteral("0 / 0"));
    const double memoryMib = rowValue(rows, QStringLiteral("Process memory")).chopped(3).toDouble();
    EXPECT_NEAR(memoryMib, residentMib(), 0.25 * residentMib());

    // 500 more datagrams between two rebuilds: the rate lies between the bounds that the times around
    // the two rebuilds give, however long the machine's load makes either.
    std::this_thread::sleep_for(200ms);
    stats.datagramsReceived = 1500;
    peer.liveSession().udp.store(stats);
    const auto secondStart = std::chrono::steady_clock::now();
    peer.rebuildDiagnosticRows();
    const auto secondDone = std::chrono::steady_clock::now();
    rows = ui.diagnosticRows();
    const QString datagrams = rowValue(rows, QStringLiteral("UDP datagrams"));
    ASSERT_TRUE(datagrams.startsWith(QStringLiteral("1500  ("))) << datagrams.toStdString();
    const double rate = datagrams.mid(7).section(u' ', 0, 0).toDouble();
    const double longest = std::chrono::duration<double>(secondDone - firstStart).count();
    const double shortest = std::chrono::duration<double>(secondStart - firstDone).count();
    EXPECT_GE(rate, std::floor(500.0 / longest));
    EXPECT_LE(rate, std::ceil(500.0 / shortest));

    // A Recording and a Replay add their rows before the profile; a validated profile names itself.
    importShippedProfile(ui, "small-4.device.json");
    peer.setRecordingState(kRecordingActive);
    peer.setReplayState(kReplayPlaying);
    peer.rebuildDiagnosticRows();
    rows = ui.diagnosticRows();
    const QStringList names = rowNames(rows);
    ASSERT_EQ(names.size(), 16);
    EXPECT_EQ(names[12], QStringLiteral("Recording rate"));
    EXPECT_EQ(rowValue(rows, QStringLiteral("Recording rate")),
              QStringLiteral("0.0 MB/s  ·  0.0 MB  ·  0.0 s"));
    EXPECT_EQ(names[13], QStringLiteral("Replay"));
    EXPECT_EQ(rowValue(rows, QStringLiteral("Replay")), ui.replayMetrics());
    EXPECT_EQ(rowValue(rows, QStringLiteral("Array profile")), ui.profileInfo());
    EXPECT_FALSE(ui.profileInfo().isEmpty());
}

TEST_F(DiagnosticRows, TheRowsAreRebuiltEverySecondFromTheStart) {
    UiController ui;
    QSignalSpy changed(&ui, &UiController::diagnosticRowsChanged);
    EXPECT_TRUE(changed.wait(3000));
    EXPECT_EQ(ui.diagnosticRows().size(), 14);
}

TEST_F(DiagnosticRows, MetersReadTheLastLevelsOfEachChannel) {
    UiController ui;
    BeamformingSettingsTestPeer peer(ui);
    EXPECT_TRUE(ui.channelLevels().isEmpty());
    EXPECT_EQ(ui.meterReadout(0), QString());
    peer.setChannelMeters({-12.34, -96.0, 0.0, -150.0}, {-3.21, -90.0});
    EXPECT_EQ(ui.meterReadout(0), QStringLiteral("ch 1: -12.3 / -3.2 dBFS"));
    EXPECT_EQ(ui.meterReadout(3), QStringLiteral("ch 4: -150.0 / -120.0 dBFS"));  // no peak value
    EXPECT_EQ(ui.meterReadout(4), QString());
    EXPECT_EQ(ui.meterReadout(-1), QString());
    // Fractions of the meter's -96..0 dBFS scale.
    const QVariantList levels = ui.channelLevels();
    ASSERT_EQ(levels.size(), 4);
    EXPECT_NEAR(levels[0].toDouble(), (96.0 - 12.34) / 96.0, 1e-12);
    EXPECT_EQ(levels[1].toDouble(), 0.0);
    EXPECT_EQ(levels[2].toDouble(), 1.0);
    EXPECT_EQ(levels[3].toDouble(), 0.0);
}

}  // namespace
}  // namespace zk::app::test
