// Session states and the live-control refusals, the one-shot run and a live session over the synthetic
// source (which binds no port), through the controller.

#include <gtest/gtest.h>

#include <QQmlComponent>
#include <QQmlEngine>
#include <QSignalSpy>
#include <QThread>
#include <chrono>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app_test_support.h"
#include "beamforming_settings_peer.h"
#include "core/storage/device_profile.h"
#include "core/streaming/synthetic_source.h"
#include "live_test_support.h"
#include "render/heatmap_image_provider.h"
#include "stepped_clock.h"

namespace zk::app::test {
namespace {

using LiveControl = ControllerSettingsTest;

QString lastEventText(const UiController& ui) { return ui.eventLog().back().mid(10); }

TEST_F(LiveControl, StartWithoutProfileIsRefusedAndChangesNoState) {
    UiController ui;
    QSignalSpy states(&ui, &UiController::uiStateChanged);
    QSignalSpy maps(&ui, &UiController::heatmapUpdated);
    ui.startLive();
    EXPECT_EQ(ui.sessionState(), QStringLiteral("NoProfile"));
    EXPECT_EQ(lastEventText(ui), QStringLiteral("Start requires a validated Device Profile and Ready state"));
    EXPECT_EQ(ui.statusText(), QStringLiteral("Start requires a validated Device Profile and Ready state"));
    EXPECT_EQ(states.count(), 0);
    EXPECT_EQ(maps.count(), 0);
    EXPECT_EQ(liveWorkerThreads(), 0);

    // Stopping what never ran does nothing at all.
    const QStringList before = ui.eventLog();
    ui.stopLive();
    EXPECT_EQ(ui.eventLog(), before);
    EXPECT_EQ(states.count(), 0);
}

TEST_F(LiveControl, AvailabilityFollowsTheSessionState) {
    UiController ui;
    EXPECT_FALSE(ui.canStart());
    EXPECT_TRUE(ui.canChangeSource());
    EXPECT_FALSE(ui.canEditFrequencyBand());
    EXPECT_FALSE(ui.busy());
    importShippedProfile(ui, "small-4.device.json");
    ASSERT_EQ(ui.sessionState(), QStringLiteral("Ready"));
    EXPECT_TRUE(ui.canStart());
    EXPECT_FALSE(ui.canStop());
    EXPECT_TRUE(ui.canEditAcquisition());
    EXPECT_TRUE(ui.canEditFrequencyBand());
    EXPECT_FALSE(ui.canCalibrateNoise());

    ui.setSource(QStringLiteral("Synthetic"));
    ui.startLive();
    ASSERT_EQ(ui.sessionState(), QStringLiteral("Running")) << ui.statusText().toStdString();
    EXPECT_FALSE(ui.canStart());
    EXPECT_TRUE(ui.canStop());
    EXPECT_FALSE(ui.canChangeSource());
    EXPECT_FALSE(ui.canEditAcquisition());
    EXPECT_FALSE(ui.canImportProfile());
    EXPECT_TRUE(ui.canEditFrequencyBand());
    EXPECT_TRUE(ui.canCalibrateNoise());
    EXPECT_FALSE(ui.busy());

    // A second start and a one-shot run are refused while running, and change nothing.
    QSignalSpy states(&ui, &UiController::uiStateChanged);
    ui.startLive();
    EXPECT_EQ(lastEventText(ui), QStringLiteral("Start requires a validated Device Profile and Ready state"));
    ui.runOnce();
    EXPECT_EQ(lastEventText(ui),
              QStringLiteral("Stop the active session before running a one-shot analysis"));
    EXPECT_EQ(ui.sessionState(), QStringLiteral("Running"));
    EXPECT_EQ(states.count(), 0);
    EXPECT_TRUE(waitUntil([] { return liveWorkerThreads() >= 4; }, 1000ms)) << liveWorkerThreads();

    ui.stopLive();
    EXPECT_EQ(ui.sessionState(), QStringLiteral("Ready"));
    EXPECT_EQ(states.count(), 2);  // Stopping, then Ready
    EXPECT_TRUE(ui.canStart());
    EXPECT_TRUE(waitUntil([] { return liveWorkerThreads() == 0; }, 2000ms));
}

TEST_F(LiveControl, SyntheticSessionPacesItselfAtTheSampleRate) {
    using Clock = std::chrono::steady_clock;
    UiController ui;
    DeadlineRecorder pacing;
    BeamformingSettingsTestPeer peer(ui);
    peer.setLiveClock(pacing);
    importShippedProfile(ui, "small-4.device.json");  // 4 channels at 16 kHz
    ui.setSource(QStringLiteral("Synthetic"));
    // Each metrics line as it reaches the GUI thread, with the time it came; "wire values N" counts the
    // samples read so far (4 per frame).
    std::vector<std::pair<Clock::time_point, double>> lines;
    QObject::connect(&ui, &UiController::liveMetricsChanged, &ui, [&] {
        const QString text = ui.liveMetrics();
        const qsizetype at = text.indexOf(QStringLiteral("wire values "));
        if (at >= 0) lines.emplace_back(Clock::now(), text.mid(at + 12).section(u' ', 0, 0).toDouble());
    });
    const Clock::time_point started = Clock::now();
    ui.startLive();
    ASSERT_EQ(ui.sessionState(), QStringLiteral("Running"));
    ASSERT_TRUE(waitUntil([&] { return pacing.deadlines().size() >= 100 && lines.size() >= 2; }, 2000ms));
    ui.stopLive();

    // The source never runs ahead of the sample clock: a line that counts N frames comes no sooner than
    // N / 16000 s after the start. A loaded machine can only make it later.
    for (const auto& [at, values] : lines)
        ASSERT_GE(std::chrono::duration<double>(at - started).count(), values / 4.0 / 16000.0 - 1e-3)
            << values << " wire values";
    // Each block of 256 frames waits for a deadline 16 ms after the one before: half or double speed, or
    // another clock, shows in the deadlines whatever the machine's load does to the waits.
    const std::vector<Clock::time_point> deadlines = pacing.deadlines();
    for (std::size_t i = 1; i < deadlines.size(); ++i)
        ASSERT_EQ(deadlines[i] - deadlines[i - 1], 16ms) << "block " << i;
    EXPECT_EQ(peer.liveSession().counters.ingressSamples.load(), deadlines.size() * 256 * 4);
}

// A synthetic live session's start: committed at once, or long after its acquisition thread began to
// wait for the commit (a start transaction on a busy machine).
struct SyntheticStart {
    const char* name;
    std::chrono::milliseconds commitAfter;
};

void PrintTo(const SyntheticStart& start, std::ostream* out) { *out << start.name; }

class SyntheticPacing : public ControllerSettingsTest,
                        public ::testing::WithParamInterface<SyntheticStart> {};

TEST_P(SyntheticPacing, TheSourceStartsOnItsClockAndStaysOneBlockAhead) {
    using Clock = std::chrono::steady_clock;
    const core::DeviceProfile profile =
        core::loadDeviceProfile(shippedProfile("small-4.device.json").toStdString());  // 4 wires, 16 kHz
    UiController ui;
    BeamformingSettingsTestPeer peer(ui);
    SteppedClock clock;
    peer.setLiveClock(clock);
    core::SyntheticSource source(peer.liveSession().syntheticSettings);
    source.configure(profile);
    peer.liveSession().dspQueue.reset();
    peer.liveSession().diagnosticsQueue.reset();
    peer.setLiveRunning(true);
    clock.holdNaps(true);
    std::jthread acquisition(
        [&](std::stop_token stop) { peer.runSyntheticAcquisition(stop, source, profile); });
    // Before the thread is joined on any way out: no wait of the clock holds it then.
    const ReleasedOnExit released{clock};

    // The thread waits for the commit; the clock moves on meanwhile.
    ASSERT_TRUE(clock.waitForNaps(1));
    clock.advance(GetParam().commitAfter);
    const Clock::time_point committedAt = clock.time();
    peer.liveSession().committed.store(true);
    clock.holdNaps(false);

    // Block by block: each wait is let pass once it is set.
    constexpr std::size_t kBlocks = 20;
    for (std::size_t i = 1; i <= kBlocks; ++i) {
        ASSERT_TRUE(clock.waitForWaits(i));
        clock.pass(1);
    }
    ASSERT_TRUE(clock.waitForWaits(kBlocks + 1));
    const std::vector<SteppedClock::Wait> waits = clock.waits();
    const std::uint64_t samplesRead = peer.liveSession().counters.ingressSamples.load();
    clock.release();
    acquisition.request_stop();
    acquisition.join();
    peer.setLiveRunning(false);

    // The first block is timed from the commit, and every deadline lies one block (256 frames, 16 ms)
    // ahead of the clock when it is set. One already behind would let block after block go at once.
    ASSERT_EQ(waits.size(), kBlocks + 1);
    EXPECT_EQ(waits.front().setAt, committedAt);
    for (std::size_t i = 0; i < waits.size(); ++i)
        EXPECT_EQ(waits[i].deadline - waits[i].setAt, 16ms) << "block " << i;
    EXPECT_EQ(samplesRead, kBlocks * 256 * 4);
}

INSTANTIATE_TEST_SUITE_P(Starts, SyntheticPacing,
                         ::testing::Values(SyntheticStart{"CommittedAtOnce", 0ms},
                                           SyntheticStart{"CommittedOneSecondLate", 1000ms}),
                         [](const ::testing::TestParamInfo<SyntheticStart>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(LiveControl, RunOnceWithoutCameraScansTheDefaultGridAndPeaksOnTheSyntheticWave) {
    UiController ui;
    ui.runOnce();
    EXPECT_EQ(lastEventText(ui), QStringLiteral("Import a Device Profile first"));

    importShippedProfile(ui, "TM27-128-H1.6.2.device.json");
    ui.setSource(QStringLiteral("Synthetic"));
    ui.setFrequency(3750.0);  // a bin of the 256-point frame at 48 kHz
    ui.setAzimuth(-14.0);
    ui.setElevation(9.0);
    QSignalSpy maps(&ui, &UiController::heatmapUpdated);
    ui.runOnce();
    EXPECT_EQ(lastEventText(ui), QStringLiteral("Run complete"));
    EXPECT_EQ(maps.count(), 1);
    EXPECT_TRUE(ui.hasHeatmap());
    EXPECT_EQ(ui.mapSource(), QStringLiteral("live"));
    EXPECT_EQ(ui.peakAzimuth(), -14.0);
    EXPECT_EQ(ui.peakElevation(), 9.0);
    EXPECT_EQ(ui.sessionState(), QStringLiteral("Ready"));
    QSize size;
    // The profile's 68.9 x 42.2 degree camera at one cell per degree.
    ui.heatmapImageProvider()->requestImage(QStringLiteral("field"), &size, {});
    EXPECT_EQ(size, QSize(69, 43));

    UiController small;
    importShippedProfile(small, "small-4.device.json");
    small.setSource(QStringLiteral("Synthetic"));
    small.setFrequency(2000.0);
    small.runOnce();
    EXPECT_EQ(lastEventText(small), QStringLiteral("Run complete"));
    small.heatmapImageProvider()->requestImage(QStringLiteral("field"), &size, {});
    EXPECT_EQ(size, QSize(65, 49));
}

// A diagnostics-thread error has a first report of its own and takes nothing from the one the DSP,
// map and acquisition threads share. The error comes from a handler connected directly to the signal
// the diagnostics thread emits inside its guarded body; the DSP error from an incomplete wire frame.
TEST_F(LiveControl, DiagnosticsErrorsNeverHideTheFirstDspError) {
    UiController ui;
    BeamformingSettingsTestPeer peer(ui);
    importShippedProfile(ui, "small-4.device.json");
    ui.setSource(QStringLiteral("Synthetic"));
    std::atomic<int> thrown{0};  // written on the diagnostics thread, read here
    QObject::connect(
        &ui, &UiController::channelLevelsChanged, &ui,
        [&] {
            if (QThread::currentThread() != ui.thread() && thrown.load() < 2) {
                thrown.fetch_add(1);
                throw std::runtime_error("painter failed");
            }
        },
        Qt::DirectConnection);
    const auto logged = [&ui](const QString& text) {
        return static_cast<int>(ui.diagnosticsLog().filter(text).size());
    };
    ui.startLive();
    ASSERT_EQ(ui.sessionState(), QStringLiteral("Running"));
    ASSERT_TRUE(waitUntil([&] { return thrown.load() == 2; }, 2000ms));

    peer.liveSession().dspQueue.push(SampleBlock{std::vector<std::int16_t>(3), 0, false});
    EXPECT_TRUE(waitUntil([&] { return logged(QStringLiteral("DSP error: ")) > 0; }, 2000ms));
    ui.stopLive();
    EXPECT_EQ(logged(QStringLiteral("Diagnostics error: painter failed")), 1);
    EXPECT_EQ(logged(QStringLiteral("DSP error: wire frames are incomplete")), 1);
    EXPECT_EQ(peer.liveSession().counters.liveErrors.load(), 1u);
    EXPECT_EQ(peer.liveSession().counters.diagnosticsErrors.load(), 2u);
}

// A QML binding on the map properties, as the Live page holds: the signal comes from the map thread,
// the handler runs on the GUI thread with the values of a published map.
TEST_F(LiveControl, QmlSeesLiveMapsOnItsOwnThread) {
    UiController ui;
    importShippedProfile(ui, "TM27-128-H1.6.2.device.json");
    ui.setSource(QStringLiteral("Synthetic"));
    ui.setFrequency(4000.0);
    ui.setAzimuth(6.0);
    ui.setElevation(4.0);

    QQmlEngine engine;
    QQmlComponent component(&engine);
    component.setData(R"(
        import QtQml
        QtObject {
            property var ui
            property int maps: 0
            property real azimuth: 0
            property Connections watcher: Connections {
                target: ui
                function onHeatmapUpdated() {
                    if (!ui.hasHeatmap) return
                    maps += 1
                    azimuth = ui.peakAzimuth
                }
            }
        }
    )",
                      QUrl());
    std::unique_ptr<QObject> item(
        component.createWithInitialProperties({{QStringLiteral("ui"), QVariant::fromValue(&ui)}}));
    ASSERT_TRUE(item) << component.errorString().toStdString();

    std::atomic<bool> emittedOffGui{false};
    const auto probe = QObject::connect(&ui, &UiController::heatmapUpdated, [&] {
        if (ui.hasHeatmap() && QThread::currentThread() != ui.thread()) emittedOffGui.store(true);
    });
    ui.startLive();
    ASSERT_EQ(ui.sessionState(), QStringLiteral("Running"));
    EXPECT_TRUE(waitUntil([&] { return item->property("maps").toInt() >= 3; }, 2000ms))
        << ui.liveMetrics().toStdString() << "\n"
        << ui.eventLog().join('\n').toStdString();
    EXPECT_EQ(item->property("azimuth").toDouble(), 6.0);
    ui.stopLive();
    QObject::disconnect(probe);
    EXPECT_TRUE(emittedOffGui.load());
}

}  // namespace
}  // namespace zk::app::test
