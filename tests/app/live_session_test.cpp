// Live sessions end to end through the controller: real datagrams on 127.0.0.1:6666 or the synthetic
// source, the four worker threads, the engine, and the maps handed to the GUI thread.

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QStringList>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <string>
#include <thread>

#include "app_test_support.h"
#include "beamforming_settings_peer.h"
#include "core/storage/device_profile.h"
#include "live_test_support.h"
#include "streaming/udp_test_support.h"

namespace zk::app::test {
namespace {

constexpr double kSourceHorizontalDeg = 12.0;
constexpr double kSourceVerticalDeg = -8.0;

core::DeviceProfile liveArray() {
    return core::loadDeviceProfile(shippedProfile(liveProfileFile()).toStdString());
}

// Whether a live map peaking on the direction has arrived.
bool onTheSource(const MapWatcher& maps, double horizontalDeg, double verticalDeg) {
    for (const MapEvent& map : maps.liveMaps()) {
        if (map.peakAzimuth == horizontalDeg && map.peakElevation == verticalDeg) return true;
    }
    return false;
}

// The streaming delay-and-sum refreshes a few of the band's bins per hop; no map comes before every bin
// holds a frame, so each map, the first included, peaks on the source.
void expectSettledMapsOn(const MapWatcher& maps, double horizontalDeg, double verticalDeg) {
    const std::vector<MapEvent> seen = maps.liveMaps();
    for (std::size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].peakAzimuth, horizontalDeg) << "map " << i << " of " << seen.size() << ": "
                                                      << seen[i].peakAzimuth << ", " << seen[i].peakElevation;
        EXPECT_EQ(seen[i].peakElevation, verticalDeg) << "map " << i;
    }
}

class LiveSession : public ControllerSettingsTest {
  protected:
    void SetUp() override {
        ControllerSettingsTest::SetUp();
        if (!waitForFreeUdpPort(kArrayPort)) GTEST_SKIP() << "UDP port 6666 stays held by another program";
    }

    // The live array with the band around the sender's tones.
    void prepare(UiController& ui, const char* source) {
        importShippedProfile(ui, liveProfileFile());
        ASSERT_EQ(ui.sessionState(), QStringLiteral("Ready")) << ui.statusText().toStdString();
        ui.setSource(QString::fromLatin1(source));
        ui.setFrequency(4000.0);
        ASSERT_EQ(ui.source(), QString::fromLatin1(source));
    }

    // Stops the session and checks what must be left: Ready, no worker, the port free.
    static void stopAndExpectNothingLeft(UiController& ui) {
        ui.stopLive();
        EXPECT_EQ(ui.sessionState(), QStringLiteral("Ready"));
        EXPECT_TRUE(ui.canStart());
        EXPECT_FALSE(ui.canStop());
        EXPECT_TRUE(
            logContains(ui.eventLog(), QStringLiteral("Acquisition stopped; Device Profile remains ready")));
        EXPECT_EQ(ui.liveMetrics(), QStringLiteral("Live stopped"));
        // The engine gave back its steering data: the next start builds its own.
        EXPECT_FALSE(BeamformingSettingsTestPeer(ui).liveEngine().streamingDasState().steering);
        // Threads that OpenMP started from a worker carry its name and end with it, a moment later.
        EXPECT_TRUE(waitUntil([] { return liveWorkerThreads() == 0; }, 2000ms)) << liveWorkerThreads();
        EXPECT_FALSE(processHoldsUdpPort(kArrayPort));
    }
};

TEST_F(LiveSession, UdpMapsPeakOnTheSendersDirectionAndStopLeavesNothing) {
    const core::DeviceProfile profile = liveArray();
    UiController ui;
    prepare(ui, "UDP");
    MapWatcher maps(ui);
    QSignalSpy states(&ui, &UiController::uiStateChanged);

    ASSERT_NO_FATAL_FAILURE(startLiveOnTheArrayPort(ui, &states));
    EXPECT_EQ(states.count(), 2);  // Starting, then Running
    EXPECT_TRUE(logContains(ui.eventLog(), QStringLiteral("Live acquisition running from UDP")));
    EXPECT_FALSE(ui.hasHeatmap());
    EXPECT_FALSE(ui.canStart());
    EXPECT_TRUE(ui.canStop());
    EXPECT_FALSE(ui.canChangeSource());
    EXPECT_TRUE(ui.canEditFrequencyBand());
    EXPECT_TRUE(processHoldsUdpPort(kArrayPort));
    EXPECT_TRUE(waitUntil([] { return liveWorkerThreads() >= 4; }, 1000ms)) << liveWorkerThreads();

    PlaneWaveSender sender(profile, kSourceHorizontalDeg, kSourceVerticalDeg);
    sender.start();
    ASSERT_TRUE(
        waitUntil([&] { return onTheSource(maps, kSourceHorizontalDeg, kSourceVerticalDeg); }, 2000ms))
        << ui.liveMetrics().toStdString();
    ASSERT_TRUE(waitUntil([&] { return maps.liveMapCount() >= 6; }, 2000ms))
        << ui.liveMetrics().toStdString();
    expectSettledMapsOn(maps, kSourceHorizontalDeg, kSourceVerticalDeg);
    EXPECT_EQ(maps.liveMaps().back().algorithmId, 1);
    EXPECT_TRUE(ui.hasHeatmap());
    EXPECT_EQ(ui.mapSource(), QStringLiteral("live"));
    // The third-octave band around the frequency, or the 32 bins around its centre when it is wider.
    const double binHz = profile.sampleRateHz / 1024.0;
    const double centre = ui.frequency();
    EXPECT_GT(ui.effectiveBinCount(), 10);
    EXPECT_NEAR(ui.effectiveBandLowHz(), std::max(centre / std::pow(2.0, 1.0 / 6.0), centre - 16 * binHz),
                2 * binHz);
    EXPECT_NEAR(ui.effectiveBandHighHz(), std::min(centre * std::pow(2.0, 1.0 / 6.0), centre + 16 * binHz),
                2 * binHz);
    EXPECT_TRUE(ui.liveMetrics().startsWith(QStringLiteral("UDP "))) << ui.liveMetrics().toStdString();

    sender.stop();
    stopAndExpectNothingLeft(ui);
}

TEST_F(LiveSession, SyntheticMapsPeakOnTheSyntheticDirection) {
    UiController ui;
    prepare(ui, "Synthetic");
    ui.setAzimuth(10.0);
    ui.setElevation(-6.0);
    // The synthetic wave is one tone on a bin; the bins around it would hold only its leakage and the
    // rounding noise of the samples.
    ui.setFrequencyBandMode(QStringLiteral("Single bin"));
    MapWatcher maps(ui);
    std::atomic<int> barUpdates{0};  // counted on the diagnostics thread, read here
    QObject::connect(&ui, &UiController::spectrumLevelsChanged, [&barUpdates] { ++barUpdates; });

    ui.startLive();
    ASSERT_EQ(ui.sessionState(), QStringLiteral("Running")) << ui.statusText().toStdString();
    EXPECT_TRUE(logContains(ui.eventLog(), QStringLiteral("Live acquisition running from Synthetic")));
    EXPECT_FALSE(processHoldsUdpPort(kArrayPort));
    ASSERT_TRUE(waitUntil([&] { return onTheSource(maps, 10.0, -6.0); }, 2000ms))
        << ui.liveMetrics().toStdString();
    ASSERT_TRUE(waitUntil([&] { return maps.liveMapCount() >= 6; }, 2000ms))
        << ui.liveMetrics().toStdString();
    expectSettledMapsOn(maps, 10.0, -6.0);
    EXPECT_TRUE(ui.liveMetrics().startsWith(QStringLiteral("hops "))) << ui.liveMetrics().toStdString();

    // The Spectrum page's bars: the tone lights the band of the spectrum axis that holds it. Counted
    // from here on, after the start's own clearing, so only the diagnostics thread's renders count.
    barUpdates.store(0);
    ASSERT_TRUE(waitUntil([&] { return barUpdates.load() > 0 && !ui.spectrumLevels().isEmpty(); }, 2000ms));
    const QVariantList bars = ui.spectrumLevels();
    ASSERT_EQ(bars.size(), 32);
    const double nyquist = ui.spectrumNyquistHz();
    const double lowest = std::min(nyquist / 100.0, 100.0);
    const auto toneBand = static_cast<qsizetype>(
        std::floor(32.0 * std::log(ui.frequency() / lowest) / std::log(nyquist / lowest)));
    qsizetype loudest = 0;
    for (qsizetype k = 0; k < bars.size(); ++k) {
        EXPECT_GE(bars[k].toDouble(), 0.0) << k;
        EXPECT_LE(bars[k].toDouble(), 1.0) << k;
        if (bars[k].toDouble() > bars[loudest].toDouble()) loudest = k;
    }
    EXPECT_EQ(loudest, toneBand) << ui.frequency() << " Hz";
    stopAndExpectNothingLeft(ui);
}

TEST_F(LiveSession, ParameterChangesReachTheNextMaps) {
    const core::DeviceProfile profile = liveArray();
    UiController ui;
    prepare(ui, "UDP");
    MapWatcher maps(ui);
    ASSERT_NO_FATAL_FAILURE(startLiveOnTheArrayPort(ui));
    PlaneWaveSender sender(profile, kSourceHorizontalDeg, kSourceVerticalDeg);
    sender.start();
    ASSERT_TRUE(waitUntil([&] { return maps.liveMapCount() >= 2; }, 2000ms));
    const quint64 firstRevision = maps.liveMaps().back().parameterRevision;

    ui.setAlgorithm(QStringLiteral("03 MVDR / Capon"));
    ui.setAirTemperatureC(30.0);
    maps.clear();
    ASSERT_TRUE(waitUntil(
        [&] {
            const auto seen = maps.liveMaps();
            return !seen.empty() && seen.back().algorithmId == 3 &&
                   seen.back().parameterRevision >= firstRevision + 2;
        },
        3000ms));
    const MapEvent mvdr = maps.liveMaps().back();
    EXPECT_EQ(mvdr.peakAzimuth, kSourceHorizontalDeg);
    EXPECT_EQ(mvdr.peakElevation, kSourceVerticalDeg);

    // A custom 500 Hz band: the maps' band edges lie that far apart, give or take one bin.
    ui.setFrequencyBandMode(QStringLiteral("Custom bandwidth"));
    ui.setBandwidthHz(500.0);
    EXPECT_TRUE(ui.statusText().startsWith(QStringLiteral("Frequency band pending at DSP boundary: ")));
    maps.clear();
    ASSERT_TRUE(waitUntil(
        [&] {
            const auto seen = maps.liveMaps();
            return !seen.empty() && seen.back().bandHighHz - seen.back().bandLowHz < 600.0;
        },
        3000ms));
    const MapEvent narrow = maps.liveMaps().back();
    EXPECT_NEAR(narrow.bandHighHz - narrow.bandLowHz, 500.0, profile.sampleRateHz / 1024.0 + 1e-9);
    EXPECT_EQ(narrow.algorithmId, 3);

    // Focusing at 1 m: a new revision; every map after it carries at least that one.
    ui.setFocusDistanceIndex(1);
    maps.clear();
    ASSERT_TRUE(waitUntil(
        [&] {
            const auto seen = maps.liveMaps();
            return !seen.empty() && seen.back().parameterRevision > mvdr.parameterRevision;
        },
        3000ms));
    sender.stop();
    stopAndExpectNothingLeft(ui);
}

// An off-bin tone in noise from real datagrams. Every live map, from the first of the session on, reads
// within 1 dB of the level the maps settle on and within 2 degrees of the source. Then the DSP stalls
// while the stream goes on: its queue drops its backlog, the block after it restarts the framing and
// says so, and the maps after the gap keep to the same rule.
TEST_F(LiveSession, EveryMapFromTheStartAndAfterAGapReadsTheSettledLevelOnTheSource) {
    const core::DeviceProfile profile = liveArray();
    UiController ui;
    BeamformingSettingsTestPeer peer(ui);
    prepare(ui, "UDP");
    PublishedMaps maps(ui);
    ASSERT_NO_FATAL_FAILURE(startLiveOnTheArrayPort(ui));
    PlaneWaveSender sender(profile, kSourceHorizontalDeg, kSourceVerticalDeg, ToneInNoise{});
    sender.start();
    // Three time constants of the average (0.5 s): the last maps are settled.
    constexpr std::size_t kSettled = 20;
    ASSERT_TRUE(waitUntil([&] { return maps.count() >= kSettled; }, 4000ms))
        << ui.liveMetrics().toStdString();
    const std::vector<PublishedMap> start = maps.maps();
    const double settled = meanPeakDbfs(start, kSettled - 5, kSettled);
    expectMapsOnTheSource(start, 0, settled, kSourceHorizontalDeg, kSourceVerticalDeg);
    const QString gapText = QStringLiteral("Live sample gap detected; continuity window restarted");
    EXPECT_FALSE(logContains(ui.diagnosticsLog(), gapText));

    {
        // The DSP thread waits for the engine between two blocks while its queue overflows.
        const std::lock_guard stall(peer.liveEngineMutex());
        ASSERT_TRUE(
            waitUntil([&] { return peer.liveSession().dspQueue.statistics().droppedBlocks > 0; }, 5000ms))
            << ui.liveMetrics().toStdString();
    }
    ASSERT_TRUE(waitUntil([&] { return logContains(ui.diagnosticsLog(), gapText); }, 5000ms))
        << ui.liveMetrics().toStdString();
    const std::size_t atGap = maps.count();
    ASSERT_TRUE(waitUntil([&] { return maps.count() >= atGap + 10; }, 3000ms));
    ui.stopLive();
    // Every map published since the start, the ones made right after the gap among them.
    expectMapsOnTheSource(maps.maps(), 0, settled, kSourceHorizontalDeg, kSourceVerticalDeg);
    sender.stop();
}

// The DSP thread slowed on purpose to a quarter of the array's rate: before each block it takes, it waits
// until the acquisition has handed over four blocks' worth of frames since the last one. Its queue then
// overflows again and again, and the live view still shows a map for every second of the array's samples
// at least, each within 3 dB of the level the full-speed view settled on and 2 degrees of the source; when
// the source moves, the maps follow it.
TEST_F(LiveSession, AQuarterRateDspStillShowsSettledMapsOnTheSource) {
    const core::DeviceProfile profile = liveArray();
    const std::uint64_t blockSamples = 256u * profile.wireChannelCount;
    // Declared before the controller, so that they outlive its DSP thread.
    std::atomic<std::uint64_t> pace{1};  // blocks handed over per block the DSP takes; set here, read by it
    std::uint64_t takenAt = 0;           // the DSP thread's: ingress when it took its last block
    UiController ui;
    BeamformingSettingsTestPeer peer(ui);
    prepare(ui, "UDP");
    LiveSessionState& live = peer.liveSession();
    live.beforeDspBlock = [&](std::stop_token stop) {
        while (!stop.stop_requested() &&
               live.counters.ingressSamples.load() < takenAt + pace.load() * blockSamples) {
            std::this_thread::sleep_for(1ms);
        }
        takenAt = live.counters.ingressSamples.load();
    };
    PublishedMaps maps(ui);
    ASSERT_NO_FATAL_FAILURE(startLiveOnTheArrayPort(ui));
    PlaneWaveSender sender(profile, kSourceHorizontalDeg, kSourceVerticalDeg, ToneInNoise{});
    sender.start();
    constexpr std::size_t kSettled = 20;
    ASSERT_TRUE(waitUntil([&] { return maps.count() >= kSettled; }, 4000ms))
        << ui.liveMetrics().toStdString();
    const double settled = meanPeakDbfs(maps.maps(), kSettled - 5, kSettled);

    pace.store(4);
    const std::size_t first = maps.count();
    std::uint64_t ingress0 = live.counters.ingressSamples.load();
    std::uint64_t dropped0 = live.dspQueue.statistics().droppedBlocks;
    const auto arraySeconds = [&] {
        return static_cast<double>(live.counters.ingressSamples.load() - ingress0) /
               profile.wireChannelCount / profile.sampleRateHz;
    };
    // Four overflows of the queue and three seconds of the array's samples.
    const auto overflowedFor = [&](double seconds) {
        return live.dspQueue.statistics().droppedBlocks >= dropped0 + 4 * 64 && arraySeconds() >= seconds;
    };
    ASSERT_TRUE(waitUntil([&] { return overflowedFor(3.0); }, 20000ms)) << ui.liveMetrics().toStdString();
    const double seconds = arraySeconds();
    const std::size_t moved = maps.count();

    // The source moves. The quarter-rate average turns to it within about 1.6 s of the stream, and the
    // backlog of the queue adds up to 64 blocks (0.34 s of the 128-microphone array, 1 s of the small one).
    constexpr double kSecondHorizontalDeg = -10.0;
    constexpr double kSecondVerticalDeg = 6.0;
    sender.stop();
    PlaneWaveSender second(profile, kSecondHorizontalDeg, kSecondVerticalDeg, ToneInNoise{});
    second.start();
    ingress0 = live.counters.ingressSamples.load();
    dropped0 = live.dspQueue.statistics().droppedBlocks;
    ASSERT_TRUE(waitUntil([&] { return arraySeconds() >= 4.0; }, 20000ms)) << ui.liveMetrics().toStdString();
    const std::size_t followed = maps.count();
    ASSERT_TRUE(waitUntil([&] { return overflowedFor(7.0); }, 20000ms)) << ui.liveMetrics().toStdString();
    const std::vector<PublishedMap> published = maps.maps();
    ui.stopLive();
    second.stop();

    const auto slowMaps = static_cast<double>(moved - first);
    RecordProperty("mapsPerSecondOfSamples", std::to_string(slowMaps / seconds));
    EXPECT_GE(slowMaps, std::floor(seconds)) << "maps in " << seconds << " s of samples";
    EXPECT_GE(published.size() - followed, 3u) << "maps in 3 s of samples after the average turned";
    const auto expectOn = [&](std::size_t from, std::size_t to, double horizontalDeg, double verticalDeg) {
        for (std::size_t i = from; i < to; ++i) {
            EXPECT_GE(published[i].peakDbfs, settled - 3.0) << "map " << i << " of " << published.size();
            EXPECT_LE(std::abs(published[i].peakAzimuth - horizontalDeg), 2.0) << "map " << i;
            EXPECT_LE(std::abs(published[i].peakElevation - verticalDeg), 2.0) << "map " << i;
        }
    };
    expectOn(first, moved, kSourceHorizontalDeg, kSourceVerticalDeg);
    expectOn(followed, published.size(), kSecondHorizontalDeg, kSecondVerticalDeg);
}

TEST_F(LiveSession, BusyPortFaultsTheStartAndLeavesNothingBehind) {
    UiController ui;
    prepare(ui, "UDP");
    {
        PortBlocker other(kArrayPort);
        ASSERT_TRUE(other.bound());
        ui.startLive();
        EXPECT_EQ(ui.sessionState(), QStringLiteral("Faulted"));
        EXPECT_TRUE(ui.statusText().startsWith(QStringLiteral("Start transaction failed: ")))
            << ui.statusText().toStdString();
        EXPECT_TRUE(ui.canStart());
        EXPECT_TRUE(ui.canChangeSource());
        EXPECT_EQ(liveWorkerThreads(), 0);
    }
    // The blocker is gone; the failed start left no socket of its own on the port.
    EXPECT_FALSE(processHoldsUdpPort(kArrayPort));

    // Faulted starts like Ready once the port is free.
    ASSERT_NO_FATAL_FAILURE(startLiveOnTheArrayPort(ui));
    stopAndExpectNothingLeft(ui);
}

TEST_F(LiveSession, AReceiverThatEndsFaultsTheSessionAndSaysSoOnce) {
    UiController ui;
    prepare(ui, "UDP");
    ASSERT_NO_FATAL_FAILURE(startLiveOnTheArrayPort(ui));
    const int fd = zk::test::socketBoundTo(kArrayPort);
    ASSERT_GE(fd, 0);
    // Pulled from under the receive thread: its next wait fails and no datagram can come any more.
    ::close(fd);
    ASSERT_TRUE(waitUntil([&] { return ui.sessionState() == QStringLiteral("Faulted"); }, 5000ms))
        << ui.statusText().toStdString();
    const QString text = QStringLiteral("UDP receive stopped: the socket can no longer be waited on");
    EXPECT_EQ(ui.statusText(), text);
    QTest::qWait(600);  // two more metric rounds: none may report again
    const QStringList log = ui.eventLog();
    EXPECT_EQ(std::count_if(log.begin(), log.end(), [&](const QString& line) { return line.endsWith(text); }),
              1)
        << log.join('\n').toStdString();
    EXPECT_FALSE(
        logContains(ui.eventLog(), QStringLiteral("Acquisition stopped; Device Profile remains ready")));
    EXPECT_EQ(liveWorkerThreads(), 0);
    EXPECT_TRUE(ui.canStart());

    ASSERT_NO_FATAL_FAILURE(startLiveOnTheArrayPort(ui));
    stopAndExpectNothingLeft(ui);
}

TEST_F(LiveSession, AOneShotRunWithNothingSendingFailsAfterItsFirstEmptyRead) {
    UiController ui;
    prepare(ui, "UDP");
    ui.runOnce();
    EXPECT_EQ(ui.statusText(), QStringLiteral("Run failed: source returned no complete frames"));
    EXPECT_FALSE(processHoldsUdpPort(kArrayPort));
}

}  // namespace
}  // namespace zk::app::test
