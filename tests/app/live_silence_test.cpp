// An array that stops sending, through the real controller and real datagrams on 127.0.0.1:6666, and
// where the live texts say what happened: a silence, a gap of the map, a stop reason that stays.

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <thread>

#include "app_test_support.h"
#include "beamforming_settings_peer.h"
#include "core/storage/device_profile.h"
#include "core/storage/measurement_store.h"
#include "live_test_support.h"
#include "project_fixture.h"

namespace zk::app::test {
namespace {

constexpr double kSourceHorizontalDeg = 12.0;
constexpr double kSourceVerticalDeg = -8.0;
const QString kGapText = QStringLiteral("Live sample gap detected; continuity window restarted");

core::DeviceProfile liveArray() {
    return core::loadDeviceProfile(shippedProfile(liveProfileFile()).toStdString());
}

// Lines of the log whose text (after the time stamp) begins with the prefix.
qsizetype linesStartingWith(const QStringList& log, const QString& prefix) {
    return std::count_if(log.begin(), log.end(),
                         [&](const QString& line) { return line.mid(10).startsWith(prefix); });
}

class LiveSilence : public ControllerSettingsTest {
  protected:
    void SetUp() override {
        ControllerSettingsTest::SetUp();
        if (!waitForFreeUdpPort(kArrayPort)) GTEST_SKIP() << "UDP port 6666 stays held by another program";
    }
    static void startFrom(UiController& ui, const char* source) {
        importShippedProfile(ui, liveProfileFile());
        ui.setSource(QString::fromLatin1(source));
        ui.setFrequency(4000.0);
        if (QLatin1String(source) == QLatin1String("UDP")) {
            ASSERT_NO_FATAL_FAILURE(startLiveOnTheArrayPort(ui));
            return;
        }
        ui.startLive();
        ASSERT_EQ(ui.sessionState(), QStringLiteral("Running")) << ui.statusText().toStdString();
    }
};

// Within 2 s of the last datagram the status line and the event log say so and the map is marked stale;
// when datagrams come again both clear and the maps go on from the new samples.
TEST_F(LiveSilence, AnArrayThatStopsSendingIsReportedAndTheReportClearsWhenItResumes) {
    const core::DeviceProfile profile = liveArray();
    UiController ui;
    MapWatcher maps(ui);
    QObject context;  // on the GUI thread: the acquisition thread's signals arrive queued
    std::vector<bool> staleSeen;
    QObject::connect(&ui, &UiController::mapStaleChanged, &context,
                     [&] { staleSeen.push_back(ui.mapStale()); });
    startFrom(ui, "UDP");
    PlaneWaveSender sender(profile, kSourceHorizontalDeg, kSourceVerticalDeg);
    sender.start();
    ASSERT_TRUE(waitUntil([&] { return maps.liveMapCount() >= 2; }, 2000ms))
        << ui.liveMetrics().toStdString();
    EXPECT_FALSE(ui.mapStale());

    // A sender that starts late on a busy machine makes a silence of its own before this one.
    const qsizetype logBefore = ui.eventLog().size();
    sender.pause();
    ASSERT_TRUE(waitUntil([&] { return ui.mapStale(); }, 2000ms)) << ui.statusText().toStdString();
    ASSERT_TRUE(waitUntil([&] { return !staleSeen.empty() && staleSeen.back(); }, 1000ms));
    // The first report names the silence it saw: one whole second, so it came before the second was up.
    EXPECT_EQ(linesStartingWith(ui.eventLog().mid(logBefore), QStringLiteral("No data from the array for ")),
              1)
        << ui.eventLog().join('\n').toStdString();
    EXPECT_EQ(
        linesStartingWith(ui.eventLog().mid(logBefore), QStringLiteral("No data from the array for 1 s")), 1);
    EXPECT_TRUE(ui.statusText().startsWith(QStringLiteral("No data from the array for ")))
        << ui.statusText().toStdString();
    EXPECT_EQ(ui.sessionState(), QStringLiteral("Running"));

    maps.clear();
    sender.resumeWithFlood(0);
    ASSERT_TRUE(waitUntil([&] { return !ui.mapStale(); }, 2000ms)) << ui.statusText().toStdString();
    EXPECT_TRUE(ui.statusText().startsWith(QStringLiteral("Data from the array again after ")))
        << ui.statusText().toStdString();
    EXPECT_EQ(
        linesStartingWith(ui.eventLog().mid(logBefore), QStringLiteral("Data from the array again after ")),
        1);
    EXPECT_TRUE(waitUntil([&] { return !staleSeen.back(); }, 1000ms));
    // The window restarted at the silence: the maps after it peak on the source, and no gap was blamed.
    ASSERT_TRUE(waitUntil([&] { return maps.liveMapCount() >= 3; }, 2000ms));
    EXPECT_EQ(maps.liveMaps().back().peakAzimuth, kSourceHorizontalDeg);
    EXPECT_EQ(maps.liveMaps().back().peakElevation, kSourceVerticalDeg);
    EXPECT_EQ(linesStartingWith(ui.diagnosticsLog(), kGapText), 0);
    sender.stop();
    ui.stopLive();
    EXPECT_FALSE(ui.mapStale());
}

// A Recording running into the silence ends at its last sample and is saved; its stop reason stays on the
// status line through the saved Measurement and the returning data, which only the logs record.
TEST_F(LiveSilence, ARecordingEndsAtTheSilenceAndItsReasonStaysOnTheStatusLine) {
    const core::DeviceProfile profile = liveArray();
    StoredProject project{0, "Live"};
    UiController ui;
    ui.openProject(project.path());
    ASSERT_TRUE(ui.hasProject());
    ui.setRecordingMaxDurationSeconds(120);  // only the silence may end it
    startFrom(ui, "UDP");
    PlaneWaveSender sender(profile, kSourceHorizontalDeg, kSourceVerticalDeg);
    sender.start();
    QSignalSpy finished(&ui, &UiController::recordingFinished);
    ui.startRecording();
    ASSERT_TRUE(ui.recording()) << ui.statusText().toStdString();
    ASSERT_TRUE(waitUntil([&] { return ui.recordingBytes() > 0; }, 2000ms));

    sender.pause();
    ASSERT_TRUE(finished.count() > 0 || finished.wait(20000 * kSlowdown)) << ui.statusText().toStdString();
    ASSERT_TRUE(finished.front().front().toBool()) << ui.statusText().toStdString();
    const QString reason = QStringLiteral("Recording stopped: no data from the array for 1 s");
    EXPECT_TRUE(logContains(ui.eventLog(), reason)) << ui.eventLog().join('\n').toStdString();
    const QString id = finished.front().back().toString();
    EXPECT_TRUE(logContains(ui.eventLog(), QStringLiteral("Measurement saved: %1 · Live").arg(id)));
    EXPECT_EQ(ui.selectedMeasurementId(), id);
    EXPECT_EQ(ui.statusText(), reason);
    // Every sample received went in, none after: the file holds whole frames of what was sent.
    const std::filesystem::path dir = project.measurementDir(id.toStdString());
    const std::uint64_t frames = core::readMeasurementManifest(dir).totalFrames;
    EXPECT_GT(frames, 0u);
    EXPECT_EQ(std::filesystem::file_size(dir / "raw.int16"), frames * profile.wireChannelCount * 2);

    const qsizetype logBefore = ui.eventLog().size();
    sender.resumeWithFlood(0);
    ASSERT_TRUE(waitUntil([&] { return !ui.mapStale(); }, 2000ms));
    EXPECT_EQ(
        linesStartingWith(ui.eventLog().mid(logBefore), QStringLiteral("Data from the array again after ")),
        1);
    EXPECT_EQ(ui.statusText(), reason);
    // The size did not change since the save: nothing after the silence reached the Measurement.
    EXPECT_EQ(std::filesystem::file_size(dir / "raw.int16"), frames * profile.wireChannelCount * 2);
    // The user's next step replaces it.
    ui.stopLive();
    EXPECT_EQ(ui.statusText(), QStringLiteral("Acquisition stopped; Device Profile remains ready"));
    sender.stop();
}

// Blocks dropped from the diagnostics queue alone leave the map's samples whole: no gap is reported.
TEST_F(LiveSilence, DropsOfTheDiagnosticsQueueAloneReportNoGap) {
    // A slow observer of the diagnostics images holds the diagnostics thread (which emits on its own
    // thread) while its queue overflows; connected before the workers start.
    std::atomic<bool> hold{false};     // set and cleared by the test thread
    std::atomic<bool> holding{false};  // set by the diagnostics thread once it waits
    std::atomic<int> renders{0};       // counted by the diagnostics thread
    UiController ui;
    QObject::connect(&ui, &UiController::diagnosticsUpdated, [&] {
        while (hold.load()) {
            holding.store(true);
            std::this_thread::sleep_for(1ms);
        }
        renders.fetch_add(1);
    });
    BeamformingSettingsTestPeer peer(ui);
    startFrom(ui, "Synthetic");
    LiveSessionState& live = peer.liveSession();
    hold.store(true);
    const struct Release {
        std::atomic<bool>& flag;
        ~Release() { flag.store(false); }
    } release{hold};
    ASSERT_TRUE(waitUntil([&] { return holding.load(); }, 2000ms));
    ASSERT_TRUE(waitUntil([&] { return live.diagnosticsQueue.statistics().droppedBlocks > 0; }, 5000ms));
    hold.store(false);
    // Once the queue has been empty, the block marked as the gap has been taken; a render after that
    // comes from it or a later block, past the point where a gap would have been reported.
    ASSERT_TRUE(waitUntil([&] { return live.diagnosticsQueue.statistics().size == 0; }, 5000ms));
    const int rendersAtEmpty = renders.load();
    ASSERT_TRUE(waitUntil([&] { return renders.load() > rendersAtEmpty; }, 5000ms));
    const std::uint64_t dspDropped = live.dspQueue.statistics().droppedBlocks;
    ui.stopLive();
    if (dspDropped > 0) GTEST_SKIP() << "the DSP fell behind too; its gap is a real one";
    EXPECT_EQ(linesStartingWith(ui.diagnosticsLog(), kGapText), 0) << ui.liveMetrics().toStdString();
}

}  // namespace
}  // namespace zk::app::test
