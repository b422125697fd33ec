// An array that stops sending, through the real controller and real datagrams on 127.0.0.1:6666, and
// where the live texts say what happened: a silence, a gap of the map, a stop reason that stays.

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <limits>
#include <string>
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
// the status line counts on whenever the silence has doubled, without a line a second. When datagrams
// come again, from a source that moved meanwhile, both clear, and every map after the silence is made of
// the new samples alone: it peaks on the new direction, at the level the maps had settled on.
TEST_F(LiveSilence, AnArrayThatStopsSendingIsReportedAndTheReportClearsWhenItResumes) {
    const core::DeviceProfile profile = liveArray();
    UiController ui;
    PublishedMaps maps(ui);
    QObject context;  // on the GUI thread: the acquisition thread's signals arrive queued
    std::vector<bool> staleSeen;
    QObject::connect(&ui, &UiController::mapStaleChanged, &context,
                     [&] { staleSeen.push_back(ui.mapStale()); });
    startFrom(ui, "UDP");
    PlaneWaveSender sender(profile, kSourceHorizontalDeg, kSourceVerticalDeg);
    sender.start();
    ASSERT_TRUE(waitUntil([&] { return maps.count() >= 5; }, 2000ms)) << ui.liveMetrics().toStdString();
    EXPECT_FALSE(ui.mapStale());

    // A sender that starts late on a busy machine makes a silence of its own before this one.
    const qsizetype logBefore = ui.eventLog().size();
    const qsizetype diagnosticsBefore = ui.diagnosticsLog().size();
    sender.pause();
    ASSERT_TRUE(waitUntil([&] { return ui.mapStale(); }, 2000ms)) << ui.statusText().toStdString();
    ASSERT_TRUE(waitUntil([&] { return !staleSeen.empty() && staleSeen.back(); }, 1000ms));
    const std::vector<PublishedMap> before = maps.maps();
    const double settled = meanPeakDbfs(before, before.size() - 3, before.size());
    // The first report names the silence it saw: one whole second, so it came before the second was up.
    EXPECT_EQ(linesStartingWith(ui.eventLog().mid(logBefore), QStringLiteral("No data from the array for ")),
              1)
        << ui.eventLog().join('\n').toStdString();
    EXPECT_EQ(
        linesStartingWith(ui.eventLog().mid(logBefore), QStringLiteral("No data from the array for 1 s")), 1);
    EXPECT_TRUE(ui.statusText().startsWith(QStringLiteral("No data from the array for ")))
        << ui.statusText().toStdString();
    EXPECT_EQ(ui.sessionState(), QStringLiteral("Running"));

    // Every status text goes to the diagnostics log: the reports up to 8 s, each at least double the one
    // before, while the event log keeps the onset alone.
    const QString prefix = QStringLiteral("No data from the array for ");
    const auto reportedSeconds = [&] {
        std::vector<int> seconds;
        for (const QString& line : ui.diagnosticsLog().mid(diagnosticsBefore)) {
            if (line.mid(10).startsWith(prefix))
                seconds.push_back(line.mid(10 + prefix.size()).section(u' ', 0, 0).toInt());
        }
        return seconds;
    };
    ASSERT_TRUE(
        waitUntil([&] { return !reportedSeconds().empty() && reportedSeconds().back() >= 8; }, 9000ms))
        << ui.diagnosticsLog().join('\n').toStdString();
    const std::vector<int> reports = reportedSeconds();
    EXPECT_EQ(reports.front(), 1);
    for (std::size_t i = 1; i < reports.size(); ++i)
        EXPECT_GE(reports[i], 2 * reports[i - 1]) << "report " << i << " of " << reports.size();
    EXPECT_EQ(linesStartingWith(ui.eventLog().mid(logBefore), prefix), 1);
    EXPECT_TRUE(ui.mapStale());

    // The source moved during the silence.
    constexpr double kMovedHorizontalDeg = -15.0;
    constexpr double kMovedVerticalDeg = 6.0;
    PlaneWaveSender moved(profile, kMovedHorizontalDeg, kMovedVerticalDeg);
    moved.start();
    ASSERT_TRUE(waitUntil([&] { return !ui.mapStale(); }, 2000ms)) << ui.statusText().toStdString();
    EXPECT_TRUE(ui.statusText().startsWith(QStringLiteral("Data from the array again after ")))
        << ui.statusText().toStdString();
    EXPECT_EQ(
        linesStartingWith(ui.eventLog().mid(logBefore), QStringLiteral("Data from the array again after ")),
        1);
    EXPECT_TRUE(waitUntil([&] { return !staleSeen.back(); }, 1000ms));
    // The window restarted at the silence: no map after it holds a sample from before, and no gap was
    // blamed.
    ASSERT_TRUE(waitUntil([&] { return maps.count() >= before.size() + 5; }, 2000ms));
    moved.stop();
    sender.stop();
    ui.stopLive();
    const std::vector<PublishedMap> after = maps.maps();
    for (std::size_t i = before.size(); i < after.size(); ++i) {
        EXPECT_EQ(after[i].peakAzimuth, kMovedHorizontalDeg) << "map " << i - before.size() << " after";
        EXPECT_EQ(after[i].peakElevation, kMovedVerticalDeg) << "map " << i - before.size() << " after";
    }
    expectMapsOnTheSource(after, before.size(), settled, kMovedHorizontalDeg, kMovedVerticalDeg);
    EXPECT_EQ(linesStartingWith(ui.diagnosticsLog(), kGapText), 0);
    EXPECT_FALSE(ui.mapStale());
}

// How the stream breaks while a Recording runs, and the reason it ends with.
struct StreamBreak {
    const char* name;
    std::size_t wrongBytes;    // 0: the sender pauses; else datagrams of this length replace whole ones
    std::uint64_t wrongCount;  // how many
    bool silence;              // no samples come until the sender is back
    const char* reason;        // the Recording's end, in the event log and held on the status line
    const char* report;        // how the event log names the break itself (the start of its line)
};

void PrintTo(const StreamBreak& cut, std::ostream* out) { *out << cut.name; }

class LiveBreak : public LiveSilence, public ::testing::WithParamInterface<StreamBreak> {};

// A Recording running into a break ends at its last sample before it and is saved: every sample the file
// holds follows the one before it in the sent wave. The reason stays on the status line through the saved
// Measurement and the returning data, which only the logs record.
TEST_P(LiveBreak, ARecordingEndsAtTheBreakAndItsReasonStaysOnTheStatusLine) {
    const StreamBreak& cut = GetParam();
    const core::DeviceProfile profile = liveArray();
    StoredProject project{0, "Live"};
    UiController ui;
    ui.openProject(project.path());
    ASSERT_TRUE(ui.hasProject());
    ui.setRecordingMaxDurationSeconds(120);  // only the break may end it
    startFrom(ui, "UDP");
    PlaneWaveSender sender(profile, kSourceHorizontalDeg, kSourceVerticalDeg);
    sender.start();
    QSignalSpy finished(&ui, &UiController::recordingFinished);
    ui.startRecording();
    ASSERT_TRUE(ui.recording()) << ui.statusText().toStdString();
    ASSERT_TRUE(waitUntil([&] { return ui.recordingBytes() > 0; }, 2000ms));

    if (cut.wrongBytes == 0) {
        sender.pause();
    } else {
        sender.sendWrongLength(cut.wrongBytes, cut.wrongCount);
    }
    ASSERT_TRUE(finished.count() > 0 || finished.wait(20000 * kSlowdown)) << ui.statusText().toStdString();
    ASSERT_TRUE(finished.front().front().toBool()) << ui.statusText().toStdString();
    const QString reason = QString::fromUtf8(cut.reason);
    EXPECT_TRUE(logContains(ui.eventLog(), reason)) << ui.eventLog().join('\n').toStdString();
    const QString id = finished.front().back().toString();
    EXPECT_TRUE(logContains(ui.eventLog(), QStringLiteral("Measurement saved: %1 · Live").arg(id)));
    EXPECT_EQ(ui.selectedMeasurementId(), id);
    const QString report = QString::fromUtf8(cut.report);
    ASSERT_TRUE(waitUntil([&] { return linesStartingWith(ui.eventLog(), report) == 1; }, 2000ms))
        << ui.eventLog().join('\n').toStdString();
    if (cut.wrongBytes != 0) {
        // Datagrams came all along: they are named, not an array that stopped.
        EXPECT_EQ(linesStartingWith(ui.eventLog(), QStringLiteral("No data from the array")), 0);
    }
    EXPECT_EQ(ui.statusText(), reason);

    // The file holds whole datagrams of the sent wave, each the successor of the one before: no splice.
    const std::filesystem::path dir = project.measurementDir(id.toStdString());
    const std::uint64_t frames = core::readMeasurementManifest(dir).totalFrames;
    const std::string raw = readBytes(dir / "raw.int16");
    ASSERT_EQ(raw.size(), frames * profile.wireChannelCount * 2);
    const std::vector<std::vector<std::uint8_t>>& wave = sender.datagrams();
    const std::size_t datagramBytes = profile.udp->datagramBytes;
    ASSERT_GT(raw.size(), 0u);
    ASSERT_EQ(raw.size() % datagramBytes, 0u);
    const auto datagramAt = [&](std::size_t i) {
        return std::vector<std::uint8_t>(raw.begin() + static_cast<std::ptrdiff_t>(i * datagramBytes),
                                         raw.begin() + static_cast<std::ptrdiff_t>((i + 1) * datagramBytes));
    };
    const auto first = std::find(wave.begin(), wave.end(), datagramAt(0));
    ASSERT_NE(first, wave.end());
    for (std::size_t i = 1; i < raw.size() / datagramBytes; ++i) {
        const std::size_t expected = (static_cast<std::size_t>(first - wave.begin()) + i) % wave.size();
        ASSERT_EQ(datagramAt(i), wave[expected]) << "datagram " << i << " of the Recording";
    }

    const qsizetype logBefore = ui.eventLog().size();
    sender.sendWrongLength(0, 0);
    sender.resumeWithFlood(0);
    if (cut.silence) {
        ASSERT_TRUE(waitUntil([&] { return !ui.mapStale(); }, 2000ms));
        EXPECT_EQ(linesStartingWith(ui.eventLog().mid(logBefore),
                                    QStringLiteral("Data from the array again after ")),
                  1);
    }
    EXPECT_EQ(ui.statusText(), reason);
    // The size did not change since the save: nothing after the break reached the Measurement.
    EXPECT_EQ(std::filesystem::file_size(dir / "raw.int16"), raw.size());
    // The user's next step replaces it.
    ui.stopLive();
    EXPECT_EQ(ui.statusText(), QStringLiteral("Acquisition stopped; Device Profile remains ready"));
    sender.stop();
}

INSTANTIATE_TEST_SUITE_P(
    Breaks, LiveBreak,
    ::testing::Values(
        StreamBreak{"Silence", 0, 0, true, "Recording stopped: no data from the array for 1 s",
                    "No data from the array for 1 s"},
        // One datagram of the wrong length in place of a whole one: a splice, unless it is a break.
        StreamBreak{"OneWrongLength", 1000, 1, false,
                    "Recording stopped: datagrams were lost, the samples are no longer contiguous",
                    "Datagrams rejected: their length does not match the Device Profile"},
        // Nothing but datagrams of the wrong length: named as such, not as an array that stopped.
        StreamBreak{"OnlyWrongLength", 1000, std::numeric_limits<std::uint64_t>::max(), true,
                    "Recording stopped: only rejected datagrams from the array for 1 s",
                    "Only rejected datagrams from the array for 1 s: their length does not match the Device "
                    "Profile"}),
    [](const ::testing::TestParamInfo<StreamBreak>& info) { return std::string(info.param.name); });

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
