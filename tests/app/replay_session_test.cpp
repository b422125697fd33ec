// Replay of a Measurement recorded once through the live Recording path: the synthetic source's plane
// wave from a known direction on the shipped 128-microphone array at 48 kHz (the 4-microphone one under
// a sanitizer), played back through the real controller and its threads.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/ui_controller.h"
#include "app_test_support.h"
#include "beamforming_settings_peer.h"
#include "core/storage/measurement_store.h"
#include "live_test_support.h"
#include "project_fixture.h"
#include "render/diagnostic_image_provider.h"
#include "stepped_clock.h"

namespace zk::app::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr double kSourceAzimuthDeg = 10.0;
constexpr double kSourceElevationDeg = -6.0;
constexpr double kToneHz = 4000.0;
constexpr auto kRecordTime = 5000ms;

void spinFor(std::chrono::milliseconds duration) {
    const Clock::time_point end = Clock::now() + duration;
    while (Clock::now() < end) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// The synthetic wave is one tone on a bin: a single-bin band maps it without the leakage around it.
void prepareLiveSettings(UiController& ui) {
    importShippedProfile(ui, liveProfileFile());
    ui.setSource(QStringLiteral("Synthetic"));
    ui.setFrequency(kToneHz);
    ui.setAzimuth(kSourceAzimuthDeg);
    ui.setElevation(kSourceElevationDeg);
    ui.setFrequencyBandMode(QStringLiteral("Single bin"));
}

// Hops of a 1024-point frame every 512 frames that `frames` frames complete.
std::uint64_t hopsOf(std::uint64_t frames) { return frames < 1024 ? 0 : (frames - 1024) / 512 + 1; }

struct ReplayMap {
    double azimuth;
    double elevation;
    quint64 revision;
};

// The replay maps that reach the GUI thread, read as QML reads them.
class ReplayMaps {
  public:
    explicit ReplayMaps(UiController& ui) {
        QObject::connect(&ui, &UiController::heatmapUpdated, &context_, [this, &ui] {
            if (ui.hasHeatmap() && ui.mapSource() == QLatin1String("replay"))
                maps_.push_back({ui.peakAzimuth(), ui.peakElevation(), ui.mapParameterRevision()});
        });
    }
    const std::vector<ReplayMap>& maps() const { return maps_; }
    void clear() { maps_.clear(); }

  private:
    QObject context_;  // on the GUI thread, so the worker threads' signals arrive queued
    std::vector<ReplayMap> maps_;
};

void flipByte(const fs::path& path, std::streamoff offset) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekg(offset);
    char byte = 0;
    file.read(&byte, 1);
    byte = static_cast<char>(byte ^ 0x01);
    file.seekp(offset);
    file.write(&byte, 1);
}

// Threads named by the Replay, and the OpenMP threads its map thread started, which end with it.
int replayThreads() {
    int count = 0;
    for (const std::string& name : threadNames())
        count += name == "zk-replay-read" || name == "zk-replay-map";
    return count;
}

class MeasurementReplay : public ControllerSettingsTest {
  protected:
    // One Recording for the whole suite, made in a settings store of its own.
    static void SetUpTestSuite() {
        QCoreApplication::setApplicationName(QStringLiteral("MeasurementReplay.Recording"));
        QFile::remove(QSettings().fileName());
        recorded_ = new QTemporaryDir();
        const QString path = recorded_->filePath(QStringLiteral("project"));
        {
            UiController ui;
            prepareLiveSettings(ui);
            ui.createProject(path, QStringLiteral("Replay"));
            ui.startLive();
            QSignalSpy finished(&ui, &UiController::recordingFinished);
            spinFor(300ms);
            ui.startRecording();
            spinFor(kRecordTime);
            ui.stopRecording();
            if (finished.count() > 0 || finished.wait(30000 * kSlowdown))
                recordedId_ = new QString(finished.front().at(1).toString());
            ui.stopLive();
        }
        QFile::remove(QSettings().fileName());
    }
    static void TearDownTestSuite() {
        delete recorded_;
        delete recordedId_;
        recorded_ = nullptr;
        recordedId_ = nullptr;
    }

    void SetUp() override {
        ControllerSettingsTest::SetUp();
        ASSERT_NE(recordedId_, nullptr) << "the Recording of the suite failed";
        id = *recordedId_;
        copy = folder.filePath(QStringLiteral("project"));
        fs::copy(fsPath(recorded_->filePath(QStringLiteral("project"))), fsPath(copy),
                 fs::copy_options::recursive);
        measurementDir = fsPath(copy) / "measurements" / id.toStdString();
        manifest = core::readMeasurementManifest(measurementDir);
        rate = manifest.sampleRateHz;
    }
    void TearDown() override {
        ui.reset();
        ControllerSettingsTest::TearDown();
    }

    // A controller on the copied Project, its newest Measurement selected.
    void openCopy() {
        ui = std::make_unique<UiController>();
        prepareLiveSettings(*ui);
        ui->openProject(copy);
        ASSERT_EQ(ui->selectedMeasurementId(), id) << ui->statusText().toStdString();
        ASSERT_TRUE(ui->canStartReplay());
    }
    void startAndWaitForPlaying() {
        ui->startSelectedMeasurementReplay();
        ASSERT_TRUE(waitUntil([&] { return ui->replayState() == QStringLiteral("Playing"); }, 10s))
            << ui->replayState().toStdString() << ": " << ui->replayMetrics().toStdString();
    }
    double durationS() const { return static_cast<double>(manifest.totalFrames) / rate; }

    static QTemporaryDir* recorded_;
    static QString* recordedId_;

    QTemporaryDir folder;
    QString copy;
    QString id;
    fs::path measurementDir;
    core::MeasurementRecord manifest;
    double rate = 0.0;
    std::unique_ptr<UiController> ui;
};

QTemporaryDir* MeasurementReplay::recorded_ = nullptr;
QString* MeasurementReplay::recordedId_ = nullptr;

TEST_F(MeasurementReplay, PlaysAtRealTimeWithMapsOnTheRecordedDirectionToTheEnd) {
    openCopy();
    DeadlineRecorder pacing;
    BeamformingSettingsTestPeer(*ui).setReplayClock(pacing);
    ReplayMaps maps(*ui);
    QSignalSpy finished(ui.get(), &UiController::replayFinished);
    std::vector<std::pair<double, Clock::time_point>> positions;
    QObject::connect(ui.get(), &UiController::replayPositionChanged, ui.get(),
                     [&] { positions.emplace_back(ui->replayPositionSeconds(), Clock::now()); });
    // The channel meters re-read their levels on this signal, as QML does; the live session that made
    // the Recording left the meters of another controller, so only the Replay can fill these.
    QVariantList meterLevels;
    QObject::connect(ui.get(), &UiController::channelLevelsChanged, ui.get(),
                     [&] { meterLevels = ui->channelLevels(); });

    const Clock::time_point started = Clock::now();
    ui->startSelectedMeasurementReplay();
    EXPECT_EQ(ui->replayState(), QStringLiteral("Loading"));
    EXPECT_TRUE(ui->busy());
    EXPECT_EQ(ui->replayMetrics(), QStringLiteral("Validating frozen Profile and raw integrity..."));
    EXPECT_EQ(ui->replayMeasurementId(), id);
    EXPECT_EQ(ui->replayProfileInfo(), ui->selectedMeasurementProfileInfo());
    EXPECT_TRUE(logContains(ui->eventLog(), QStringLiteral("Loading Replay %1 with frozen Profile %2")
                                                .arg(id, QString::fromStdString(manifest.profileId))));

    ASSERT_TRUE(finished.count() > 0 ||
                finished.wait(static_cast<int>(durationS() * 1000 + 60000) * kSlowdown))
        << ui->replayMetrics().toStdString();
    EXPECT_EQ(finished.front(), (QVariantList{true, id}));
    EXPECT_EQ(ui->replayState(), QStringLiteral("Finished"));
    EXPECT_TRUE(ui->canStartReplay());
    // A finished Replay is not sought again: its engine gave back its steering data already.
    EXPECT_FALSE(BeamformingSettingsTestPeer(*ui).replayEngine().streamingDasState().steering);
    EXPECT_TRUE(logContains(ui->eventLog(), QStringLiteral("Replaying Measurement %1").arg(id)));
    EXPECT_TRUE(logContains(ui->eventLog(), QStringLiteral("Replay complete: %1").arg(id)));
    EXPECT_DOUBLE_EQ(ui->replayDurationSeconds(), durationS());
    EXPECT_DOUBLE_EQ(ui->replayPositionSeconds(), durationS());
    // Every frame of the file went through the engine once.
    EXPECT_EQ(ui->replayMetrics(),
              QStringLiteral("Complete · %1 hops · integrity verified").arg(hopsOf(manifest.totalFrames)));

    // Every channel carries the recorded tone of amplitude 30000, an RMS of -3.8 dBFS, which the meters
    // show on their -96 .. 0 dBFS scale.
    ASSERT_EQ(meterLevels.size(), static_cast<qsizetype>(manifest.channelCount));
    for (const QVariant& level : meterLevels) EXPECT_NEAR(level.toDouble(), (96.0 - 3.8) / 96.0, 0.01);

    // The position never runs ahead of the sample clock: each one reaches the GUI thread no sooner than
    // its time after the start. A loaded machine can only make it later.
    ASSERT_FALSE(positions.empty());
    EXPECT_DOUBLE_EQ(positions.back().first, durationS());
    for (const auto& [seconds, at] : positions)
        ASSERT_GE(std::chrono::duration<double>(at - started).count(), seconds - 1e-3)
            << "at " << seconds << " s";
    // After each block the reader waits until that block's time on the sample clock: the deadlines it
    // sets show half or double speed, or another clock, whatever the machine's load does to the waits.
    const std::vector<Clock::time_point> deadlines = pacing.deadlines();
    ASSERT_EQ(deadlines.size(), (manifest.totalFrames + 255) / 256);
    for (std::size_t i = 1; i < deadlines.size(); ++i) {
        const auto frames = static_cast<double>(std::min<std::uint64_t>(256, manifest.totalFrames - 256 * i));
        const double stepS = std::chrono::duration<double>(deadlines[i] - deadlines[i - 1]).count();
        ASSERT_NEAR(stepS, frames / rate, 1e-6) << "block " << i;
    }

    // From the first maps on, while it plays and not only at its end, and each one peaks on the source.
    // The third map onwards: by then every bin of the band is in.
    ASSERT_GE(maps.maps().size(), 3u);
    for (std::size_t i = 2; i < maps.maps().size(); ++i) {
        EXPECT_EQ(maps.maps()[i].azimuth, kSourceAzimuthDeg) << "map " << i;
        EXPECT_EQ(maps.maps()[i].elevation, kSourceElevationDeg) << "map " << i;
    }
}

// What interrupts a Replay between two runs of blocks played in step with a stand-in clock.
struct ReplayInterruption {
    const char* name;
    bool pause;        // paused, the clock moving on, then resumed
    bool seekToStart;  // a seek to frame 0
};

void PrintTo(const ReplayInterruption& interruption, std::ostream* out) { *out << interruption.name; }

class ReplayPacing : public MeasurementReplay, public ::testing::WithParamInterface<ReplayInterruption> {
  protected:
    // The reader is held at its newest wait: lets it pass `blocks` times, each time until the next
    // wait is set.
    void playInStep(SteppedClock& clock, std::size_t blocks) {
        for (std::size_t i = 0; i < blocks; ++i) {
            const std::size_t set = clock.waits().size();
            clock.pass(1);
            ASSERT_TRUE(clock.waitForWaits(set + 1)) << "block " << i;
        }
    }
};

TEST_P(ReplayPacing, EveryBlockWaitsOneBlockAheadOfTheClockAndThePositionFollowsTheSeek) {
    const ReplayInterruption interruption = GetParam();
    constexpr std::size_t kBlocks = 20;
    openCopy();
    ASSERT_FALSE(HasFatalFailure());
    SteppedClock clock;
    BeamformingSettingsTestPeer peer(*ui);
    peer.setReplayClock(clock);
    std::vector<double> positionsShown;
    const struct StopsOnExit {
        SteppedClock& clock;
        std::unique_ptr<UiController>& ui;
        ~StopsOnExit() {
            clock.release();
            ui.reset();
        }
    } stops{clock, ui};
    QObject::connect(ui.get(), &UiController::replayPositionChanged, ui.get(),
                     [&] { positionsShown.push_back(ui->replayPositionSeconds()); });

    startAndWaitForPlaying();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(clock.waitForWaits(1));
    playInStep(clock, kBlocks);
    ASSERT_FALSE(HasFatalFailure());
    // Held at the wait after block kBlocks + 1; the handlers the reader posted so far are run.
    QCoreApplication::processEvents();
    std::size_t played = kBlocks + 1;

    if (interruption.pause) {
        ui->setReplayPaused(true);
        const std::size_t naps = clock.naps();
        clock.pass(1);
        // 150 ms of the clock while paused, and no block read.
        ASSERT_TRUE(clock.waitForNaps(naps + 10));
        EXPECT_EQ(clock.waits().size(), played);
        QCoreApplication::processEvents();
    } else if (!interruption.seekToStart) {
        clock.pass(1);
    }
    if (interruption.seekToStart && interruption.pause) {
        QSignalSpy seekPositions(ui.get(), &UiController::replayPositionChanged);
        ui->seekReplay(0.0);
        ASSERT_TRUE(waitUntil([&] { return seekPositions.count() >= 2; }, 2000ms));
        EXPECT_EQ(ui->replayPositionSeconds(), 0.0);
        EXPECT_EQ(clock.waits().size(), played);
    } else if (interruption.seekToStart) {
        // The seek comes while the reader waits after a block; when it wakes, a position of its own is
        // due. It must give way to the seek's: the reader is stopped in the seek's poll for its map,
        // after its own position would have been stored, to read what the Replay shows.
        clock.holdNaps(true);
        positionsShown.clear();
        ui->seekReplay(0.0);
        const std::size_t naps = clock.naps();
        clock.advance(200ms);
        ASSERT_TRUE(clock.waitForNaps(naps + 1));
        QCoreApplication::processEvents();
        EXPECT_EQ(ui->replayPositionSeconds(), 0.0);
        for (const double seconds : positionsShown) EXPECT_EQ(seconds, 0.0);
        clock.holdNaps(false);
    }
    if (interruption.seekToStart) played = 0;
    if (interruption.pause) ui->setReplayPaused(false);

    // The index of the first wait after the interruption.
    constexpr std::size_t resumedAt = kBlocks + 1;
    ASSERT_TRUE(clock.waitForWaits(resumedAt + 1));
    playInStep(clock, kBlocks);
    ASSERT_FALSE(HasFatalFailure());
    played += kBlocks + 1;
    const std::vector<SteppedClock::Wait> waits = clock.waits();

    // The wait after each block ends one block of the sample clock after the clock's time when it is
    // set, the first after the interruption too: none ends already, which would play block after block
    // at once to catch up on the paused or sought time, and none later.
    ASSERT_EQ(waits.size(), 2 * kBlocks + 2);
    const double blockS = 256.0 / rate;
    for (std::size_t i = 0; i < waits.size(); ++i)
        EXPECT_NEAR(std::chrono::duration<double>(waits[i].deadline - waits[i].setAt).count(), blockS, 1e-6)
            << "block " << i;
    if (interruption.pause) {
        EXPECT_GE(waits[resumedAt].setAt - waits[resumedAt - 1].deadline, 10 * 15ms) << "the paused time";
    }
    // Each block read went through the engine once, from the seek's frame on.
    EXPECT_EQ(peer.replayEngine().processedBlockCount(), hopsOf(played * 256));
    if (interruption.seekToStart) {
        EXPECT_LE(ui->replayPositionSeconds(), static_cast<double>(played) * blockS);
    }
}

INSTANTIATE_TEST_SUITE_P(Interruptions, ReplayPacing,
                         ::testing::Values(ReplayInterruption{"SteadyPlay", false, false},
                                           ReplayInterruption{"PauseAndResume", true, false},
                                           ReplayInterruption{"SeekToStartWhilePlaying", false, true},
                                           ReplayInterruption{"SeekToStartWhilePaused", true, true}),
                         [](const ::testing::TestParamInfo<ReplayInterruption>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(MeasurementReplay, SeekWhilePausedShowsTheMapAfterItsWarmUpAndHistory) {
    openCopy();
    BeamformingSettingsTestPeer peer(*ui);
    startAndWaitForPlaying();
    ui->setReplayPaused(true);
    EXPECT_EQ(ui->replayState(), QStringLiteral("Paused"));
    EXPECT_TRUE(ui->replayPaused());
    EXPECT_TRUE(ui->eventLog().last().contains(QStringLiteral("Replay paused at ")));
    spinFor(300ms);  // the maps and positions of the playing Replay arrive

    ReplayMaps maps(*ui);
    QSignalSpy positionSpy(ui.get(), &UiController::replayPositionChanged);
    const double middle = durationS() / 2.0;
    const std::int64_t target = std::llround(rate * middle);
    ui->seekReplay(middle);
    EXPECT_EQ(positionSpy.count(), 1);
    EXPECT_DOUBLE_EQ(ui->replayPositionSeconds(), middle);
    // Within a second on an idle machine; bench/replay_bench.cpp measures the seek latency.
    ASSERT_TRUE(waitUntil([&] { return !maps.maps().empty(); }, 1000ms)) << ui->replayMetrics().toStdString();
    EXPECT_EQ(maps.maps().back().azimuth, kSourceAzimuthDeg);
    EXPECT_EQ(maps.maps().back().elevation, kSourceElevationDeg);
    ASSERT_TRUE(waitUntil([&] { return positionSpy.count() >= 2; }, 1000ms));
    EXPECT_DOUBLE_EQ(ui->replayPositionSeconds(), static_cast<double>(target) / rate);

    // The default averaging of 0.1 s warms up over 0.3 s of samples before the target.
    const auto warmUp = static_cast<std::uint64_t>(std::trunc(rate * 0.3));
    EXPECT_EQ(peer.replayEngine().processedBlockCount(), hopsOf(warmUp));

    // The waterfall holds one row per 50 ms of the samples before the warm-up, and its span follows
    // the recorded time.
    const auto step = static_cast<std::uint64_t>(0.05 * rate);
    const std::uint64_t history = std::min<std::uint64_t>(200 * step, target - warmUp);
    const QImage waterfall = peer.waterfallImage();
    ASSERT_FALSE(waterfall.isNull());
    int painted = 0;
    for (int y = 0; y < waterfall.height(); ++y) {
        const QRgb background = waterfall.pixel(0, waterfall.height() - 1);
        bool differs = false;
        for (int x = 0; x < waterfall.width() && !differs; ++x) differs = waterfall.pixel(x, y) != background;
        painted += differs ? 1 : 0;
    }
    EXPECT_GE(painted, static_cast<int>(history / step));
    EXPECT_LE(painted, static_cast<int>((history + warmUp) / step) + 2);
    EXPECT_NEAR(ui->diagnosticWaterfallSpanS(), 200 * 0.05, 1.0);

    // A beamforming change while paused makes the map at the same place again, with the new parameters.
    maps.clear();
    ui->setDiagonalRemoval(!ui->diagonalRemoval());
    const quint64 revision = peer.beamforming().revision;
    ASSERT_TRUE(
        waitUntil([&] { return !maps.maps().empty() && maps.maps().back().revision == revision; }, 1000ms));
    EXPECT_EQ(ui->replayState(), QStringLiteral("Paused"));
    EXPECT_DOUBLE_EQ(ui->replayPositionSeconds(), static_cast<double>(target) / rate);
    EXPECT_EQ(peer.replayEngine().processedBlockCount(), hopsOf(warmUp));

    // A longer averaging warms up over 3 tau, here every frame before the target.
    maps.clear();
    ui->setCsmTauSeconds(1.0);
    ASSERT_TRUE(waitUntil([&] { return !maps.maps().empty(); }, 2000ms));
    ASSERT_TRUE(waitUntil(
        [&] {
            return peer.replayEngine().processedBlockCount() ==
                   hopsOf(std::min<std::uint64_t>(target, 3 * rate));
        },
        1000ms))
        << peer.replayEngine().processedBlockCount();

    // Beyond the end the seek stops at the duration.
    maps.clear();
    ui->seekReplay(1e6);
    EXPECT_DOUBLE_EQ(ui->replayPositionSeconds(), durationS());
    ASSERT_TRUE(waitUntil([&] { return !maps.maps().empty(); }, 3000ms));
    spinFor(100ms);
    EXPECT_DOUBLE_EQ(ui->replayPositionSeconds(), durationS());

    ui->setReplayPaused(false);
    EXPECT_EQ(ui->replayState(), QStringLiteral("Playing"));
    EXPECT_TRUE(ui->eventLog().last().endsWith(QStringLiteral("Replay resumed: %1").arg(id)));
    ui->stopReplay();
    EXPECT_EQ(ui->replayState(), QStringLiteral("Idle"));
    EXPECT_FALSE(peer.replayEngine().streamingDasState().steering);
}

TEST_F(MeasurementReplay, AModifiedRawFileOrFrozenProfileFailsTheIntegrityCheck) {
    flipByte(measurementDir / "raw.int16", 1001);
    openCopy();
    QSignalSpy finished(ui.get(), &UiController::replayFinished);
    ui->startSelectedMeasurementReplay();
    ASSERT_TRUE(finished.wait(10000 * kSlowdown));
    EXPECT_EQ(finished.front(), (QVariantList{false, id}));
    EXPECT_EQ(ui->replayState(), QStringLiteral("Faulted"));
    EXPECT_EQ(ui->replayMetrics(), QStringLiteral("raw integrity hash does not match manifest"));
    EXPECT_TRUE(ui->eventLog().last().endsWith(
        QStringLiteral("Replay failed: raw integrity hash does not match manifest")));
    EXPECT_FALSE(ui->hasHeatmap());
    EXPECT_TRUE(ui->canStartReplay());
    ui->stopReplay();
    EXPECT_EQ(ui->replayState(), QStringLiteral("Idle"));
    EXPECT_EQ(ui->replayMetrics(), QStringLiteral("Replay stopped"));
    EXPECT_TRUE(
        ui->eventLog().last().endsWith(QStringLiteral("Replay stopped; Live Profile was not changed")));

    // The raw file restored, the frozen profile edited after the selection verified it: it still parses
    // but no longer hashes as recorded.
    ui.reset();
    fs::copy_file(fsPath(recorded_->filePath(QStringLiteral("project"))) / "measurements" / id.toStdString() /
                      "raw.int16",
                  measurementDir / "raw.int16", fs::copy_options::overwrite_existing);
    openCopy();
    std::ofstream(measurementDir / manifest.deviceProfileFile, std::ios::app) << "\n";
    QSignalSpy again(ui.get(), &UiController::replayFinished);
    ui->startSelectedMeasurementReplay();
    ASSERT_TRUE(again.wait(10000 * kSlowdown));
    EXPECT_EQ(ui->replayMetrics(), QStringLiteral("frozen Profile hash does not match manifest"));
    EXPECT_EQ(ui->replayState(), QStringLiteral("Faulted"));
}

TEST_F(MeasurementReplay, HandlersOfAStoppedReplayArriveLateAndChangeNothing) {
    openCopy();
    QSignalSpy states(ui.get(), &UiController::replayStateChanged);
    QSignalSpy finished(ui.get(), &UiController::replayFinished);

    // The reader verifies, starts and posts while the GUI thread runs no events.
    ui->startSelectedMeasurementReplay();
    const Clock::time_point until = Clock::now() + 10s * kSlowdown;
    while (replayThreads() < 2 && Clock::now() < until) std::this_thread::sleep_for(5ms);
    ASSERT_GE(replayThreads(), 2);
    std::this_thread::sleep_for(300ms);
    ui->stopReplay();
    states.clear();
    EXPECT_TRUE(waitUntil([] { return replayThreads() == 0; }, 2000ms)) << replayThreads();
    spinFor(300ms);
    EXPECT_EQ(states.count(), 0);
    EXPECT_EQ(ui->replayState(), QStringLiteral("Idle"));
    EXPECT_EQ(ui->replayMetrics(), QStringLiteral("Replay stopped"));
    EXPECT_EQ(ui->replayPositionSeconds(), 0.0);

    // A restart before the old handlers run: only the new Replay's handlers act.
    ui->startSelectedMeasurementReplay();
    std::this_thread::sleep_for(200ms);
    ui->stopReplay();
    ui->startSelectedMeasurementReplay();
    EXPECT_EQ(ui->replayState(), QStringLiteral("Loading"));
    ASSERT_TRUE(waitUntil([&] { return ui->replayState() == QStringLiteral("Playing"); }, 10s));
    spinFor(300ms);
    EXPECT_EQ(ui->replayState(), QStringLiteral("Playing"));
    EXPECT_EQ(finished.count(), 0);
    ui->stopReplay();

    // A failure posted by a Replay stopped meanwhile is dropped as well.
    flipByte(measurementDir / "raw.int16", 7);
    ui->startSelectedMeasurementReplay();
    std::this_thread::sleep_for(1000ms * kSlowdown);
    ui->stopReplay();
    spinFor(300ms);
    EXPECT_EQ(finished.count(), 0);
    EXPECT_EQ(ui->replayState(), QStringLiteral("Idle"));
}

TEST_F(MeasurementReplay, RefusalsAndAnalysisOfTheCurrentPosition) {
    openCopy();
    ui->analyzeReplayPosition();
    EXPECT_TRUE(
        ui->eventLog().last().endsWith(QStringLiteral("Analyze at position requires an active Replay")));

    ui->startLive();
    ASSERT_EQ(ui->sessionState(), QStringLiteral("Running"));
    EXPECT_FALSE(ui->canStartReplay());
    ui->startSelectedMeasurementReplay();
    EXPECT_TRUE(
        ui->eventLog().last().endsWith(QStringLiteral("Stop Live before starting Measurement Replay")));
    EXPECT_EQ(ui->replayState(), QStringLiteral("Idle"));
    ui->stopLive();

    startAndWaitForPlaying();
    // Live start ends the Replay first.
    ui->startLive();
    EXPECT_EQ(ui->replayState(), QStringLiteral("Idle"));
    EXPECT_EQ(ui->sessionState(), QStringLiteral("Running"));
    ui->stopLive();

    startAndWaitForPlaying();
    ui->setReplayPaused(true);
    spinFor(300ms);
    ReplayMaps maps(*ui);
    ui->seekReplay(1.0);
    ASSERT_TRUE(waitUntil([&] { return !maps.maps().empty(); }, 2000ms));
    spinFor(100ms);
    ui->setAnalysisWindowSeconds(5.0);
    QSignalSpy window(ui.get(), &UiController::analysisWindowChanged);
    QSignalSpy analysed(ui.get(), &UiController::analysisFinished);
    ui->analyzeReplayPosition();
    EXPECT_EQ(window.count(), 1);
    EXPECT_TRUE(ui->hasAnalysisWindow());
    EXPECT_EQ(ui->analysisWindowInfo(), QStringLiteral("Window 0.00–1.00 s · width 1.00 s"));
    EXPECT_NEAR(ui->analysisVideoFrameSeconds(), 0.5, 1e-9) << "the video stands at the window's centre";
    EXPECT_EQ(ui->analysisBandMode(), QStringLiteral("Single"));
    // The live frequency, on the bin of the analysis frame that the run will name.
    const double bin = rate / ui->analysisFrameSize();
    EXPECT_EQ(ui->analysisFrequencyHz(), std::round(ui->frequency() / bin) * bin);
    EXPECT_EQ(ui->replayState(), QStringLiteral("Idle"));
    EXPECT_TRUE(waitUntil([] { return replayThreads() == 0; }, 2000ms)) << replayThreads();

    // The window's result, once computed, keeps the video at its centre without the set window.
    ASSERT_TRUE(analysed.count() > 0 || analysed.wait(30000 * kSlowdown))
        << ui->analysisStatus().toStdString();
    ASSERT_TRUE(analysed.front().front().toBool()) << ui->analysisStatus().toStdString();
    ASSERT_TRUE(ui->hasPendingAnalysis());
    ui->clearAnalysisWindow();
    EXPECT_FALSE(ui->hasAnalysisWindow());
    EXPECT_NEAR(ui->analysisVideoFrameSeconds(), 0.5, 1e-9);
    ui->discardPendingAnalysis();
    EXPECT_NEAR(ui->analysisVideoFrameSeconds(), durationS() / 2.0, 1e-9)
        << "no window: half the Measurement";

    // Paused at the very start, the window reaches on to one whole analysis frame.
    startAndWaitForPlaying();
    ui->setReplayPaused(true);
    ui->seekReplay(0.0);
    ASSERT_TRUE(waitUntil([&] { return ui->replayPositionSeconds() == 0.0; }, 2000ms));
    analysed.clear();
    ui->analyzeReplayPosition();
    const QString frame = QString::number(1024.0 / rate, 'f', 2);
    EXPECT_EQ(ui->analysisWindowInfo(), QStringLiteral("Window 0.00–%1 s · width %1 s").arg(frame));
    ASSERT_TRUE(analysed.count() > 0 || analysed.wait(30000 * kSlowdown))
        << ui->eventLog().join('\n').toStdString();
    EXPECT_TRUE(analysed.front().front().toBool()) << ui->analysisStatus().toStdString();
}

}  // namespace
}  // namespace zk::app::test
