// Recording driven block by block as the acquisition thread drives it, checked against the files of
// the Measurement it leaves behind.
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QUrl>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <vector>

#include "app/ui_controller.h"
#include "app_test_support.h"
#include "core/platform/file_platform.h"
#include "core/storage/lock_wait.h"
#include "core/storage/measurement_store.h"
#include "core/storage/project_store.h"
#include "file_fault_support.h"
#include "project_fixture.h"
#include "recording_test_peer.h"
#include "storage/other_program.h"
#include "storage/storage_test_support.h"

namespace zk::app::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr std::uint32_t kWire = 4;  // the 4-channel profile

std::vector<std::int16_t> block(std::size_t frames, int seed) {
    std::vector<std::int16_t> samples(frames * kWire);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>((seed * 7919 + i * 31) % 60000 - 30000);
    return samples;
}

std::string bytesOf(const std::vector<std::int16_t>& samples) {
    return std::string(reinterpret_cast<const char*>(samples.data()), samples.size() * sizeof(std::int16_t));
}

int countEvents(const UiController& ui, const QString& text) {
    int count = 0;
    for (const QString& line : ui.eventLog()) count += line.mid(10) == text ? 1 : 0;
    return count;
}

// A ramp over the whole stream (sample k is k modulo 2^16), so a lost or shifted block shows at once.
std::vector<std::int16_t> rampBlock(std::size_t frames, std::uint64_t firstFrame) {
    std::vector<std::int16_t> samples(frames * kWire);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(firstFrame * kWire + i));
    return samples;
}

std::string rampBytes(std::uint64_t frames) {
    std::string bytes;
    for (std::uint64_t k = 0; k < frames * kWire; ++k) {
        bytes.push_back(static_cast<char>(k & 0xFF));
        bytes.push_back(static_cast<char>((k >> 8) & 0xFF));
    }
    return bytes;
}

// A disk that takes nothing until it is opened; then it writes through the Recording.
class GatedDisk {
  public:
    core::RecordingWriter::Sink sink() {
        return [this](core::Recording& recording, std::span<const std::int16_t> samples) {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return open_; });
            lock.unlock();
            recording.append(samples);
        };
    }
    void open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    ~GatedDisk() { open(); }

  private:
    std::mutex mutex_;  // guards open_; the Recording writer thread waits, the test thread opens
    std::condition_variable changed_;
    bool open_ = false;
};

class Recording : public ControllerSettingsTest {
  protected:
    void SetUp() override {
        ControllerSettingsTest::SetUp();
        ui = std::make_unique<UiController>();
        peer = std::make_unique<RecordingTestPeer>(*ui);
        importShippedProfile(*ui, "small-4.device.json");
        ui->openProject(project.path());
        ASSERT_TRUE(ui->hasProject());
        peer->setSessionState(kRunning);
    }
    void TearDown() override {
        peer.reset();
        ui.reset();
        ControllerSettingsTest::TearDown();
    }

    // Starts a Recording and returns the staging path QML is asked to record the video to.
    QString start() {
        QSignalSpy videoStart(ui.get(), &UiController::videoRecordStartRequested);
        ui->startRecording();
        EXPECT_EQ(ui->recordingState(), QStringLiteral("Recording")) << ui->statusText().toStdString();
        EXPECT_EQ(videoStart.count(), 1);
        return videoStart.isEmpty() ? QString() : videoStart.front().front().toString();
    }

    bool waitFinished(QSignalSpy& finished) { return finished.count() > 0 || finished.wait(20000); }

    fs::path measurementDir(const QString& id) const { return project.measurementDir(id.toStdString()); }

    StoredProject project{0, "Rec"};
    std::unique_ptr<UiController> ui;
    std::unique_ptr<RecordingTestPeer> peer;
};

TEST_F(Recording, RefusalsNameWhatIsMissing) {
    UiController bare;
    RecordingTestPeer barePeer(bare);
    bare.startRecording();
    EXPECT_EQ(bare.statusText(), QStringLiteral("Open or create a Project before Recording"));
    barePeer.setSessionState(kRunning);
    bare.startRecording();
    EXPECT_EQ(bare.statusText(), QStringLiteral("Open or create a Project before Recording"));

    peer->setSessionState(kReady);
    ui->startRecording();
    EXPECT_EQ(ui->statusText(), QStringLiteral("Recording requires an active Live session"));
    EXPECT_EQ(ui->recordingState(), QStringLiteral("Idle"));

    peer->setSessionState(kRunning);
    start();
    peer->append(block(256, 1));
    ui->stopRecording();
    EXPECT_EQ(ui->recordingState(), QStringLiteral("Finalizing"));
    ui->startRecording();
    EXPECT_EQ(ui->statusText(), QStringLiteral("Recording requires an active Live session"));
}

TEST_F(Recording, TheBlocksBecomeASelectedMeasurementWithTheFrozenProfile) {
    const QString staging = start();
    const QString id = ui->recordingMeasurementId();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^m_\\d{8}T\\d{6}Z_\\d{3}$")).match(id).hasMatch())
        << id.toStdString();
    EXPECT_EQ(staging.toStdString(), (fs::absolute(fsPath(project.path())) / "measurements" /
                                      fsPath(u'.' + id + QStringLiteral(".camera.tmp.mp4")))
                                         .string());
    EXPECT_EQ(ui->statusText(), QStringLiteral("Recording %1 into Project Rec").arg(id));

    std::string expected;
    for (int i = 0; i < 10; ++i) {
        const auto samples = block(256, i);
        peer->append(samples);
        expected += bytesOf(samples);
    }
    EXPECT_EQ(ui->recordingBytes(), expected.size());

    QSignalSpy finished(ui.get(), &UiController::recordingFinished);
    ui->stopRecording();
    ASSERT_TRUE(waitFinished(finished));
    EXPECT_EQ(finished.front(), (QVariantList{true, id}));
    EXPECT_EQ(ui->recordingState(), QStringLiteral("Idle"));
    EXPECT_EQ(ui->statusText(), QStringLiteral("Measurement saved: %1 · Rec").arg(id));
    EXPECT_EQ(ui->selectedMeasurementId(), id);
    EXPECT_EQ(ui->selectedMeasurementIndex(), 0);
    // Selected once, so said once.
    int selections = 0;
    for (const QString& line : ui->eventLog())
        selections += line.mid(10).startsWith(QStringLiteral("Measurement selected: ") + id) ? 1 : 0;
    EXPECT_EQ(selections, 1);

    const fs::path dir = measurementDir(id);
    EXPECT_EQ(readBytes(dir / "raw.int16"), expected);
    EXPECT_EQ(ui->selectedMeasurementRawHash().toStdString(), fnv1aHexOfFile(dir / "raw.int16"));
    EXPECT_EQ(readBytes(dir / "device_profile.json"), shippedProfileText("small-4.device.json"));
    EXPECT_EQ(core::readMeasurementManifest(dir).totalFrames, 2560u);
    EXPECT_EQ(core::loadProject(fsPath(project.path())).measurements,
              std::vector<std::string>{id.toStdString()});
}

TEST_F(Recording, TheDurationLimitReportsOnceAndFinalizes) {
    ui->setRecordingMaxDurationSeconds(1.4);
    EXPECT_DOUBLE_EQ(ui->recordingMaxDurationSeconds(), 1.0);
    start();
    QSignalSpy finished(ui.get(), &UiController::recordingFinished);
    peer->append(block(256, 0));
    peer->advanceRecordingClock(1000ms);
    // Blocks keep coming before the GUI thread gets to the limit: the message is posted once.
    for (int i = 1; i < 5; ++i) peer->append(block(256, i));
    ASSERT_TRUE(waitFinished(finished));
    EXPECT_TRUE(finished.front().front().toBool());
    EXPECT_EQ(countEvents(*ui, QStringLiteral("Recording reached the 1 s Measurement limit; finalizing")), 1);
    EXPECT_EQ(core::readMeasurementManifest(measurementDir(finished.front().back().toString())).totalFrames,
              5u * 256u);
}

TEST_F(Recording, AFailedAppendKeepsWhatWasWrittenAsTheMeasurement) {
    start();
    const QString id = ui->recordingMeasurementId();
    const auto good = block(512, 3);
    peer->append(good);
    QSignalSpy finished(ui.get(), &UiController::recordingFinished);
    QSignalSpy videoStop(ui.get(), &UiController::videoRecordStopRequested);
    peer->append(std::vector<std::int16_t>(kWire * 8 + 1, 5));  // not whole frames
    peer->append(block(256, 4));                                // after the failure: not recorded
    ASSERT_TRUE(waitFinished(finished));
    EXPECT_EQ(finished.front(), (QVariantList{true, id}));
    EXPECT_EQ(videoStop.count(), 1);
    EXPECT_EQ(
        countEvents(
            *ui, QStringLiteral("Recording failed: wire sample count is not divisible by wireChannelCount")),
        1);
    EXPECT_EQ(readBytes(measurementDir(id) / "raw.int16"), bytesOf(good));
    EXPECT_EQ(ui->selectedMeasurementId(), id);
    EXPECT_EQ(ui->recordingState(), QStringLiteral("Idle"));
}

// A full disk: the write fails, and the whole frames written before it become the Measurement.
TEST_F(Recording, AFullDiskKeepsTheWholeFramesWrittenAsTheMeasurement) {
    start();
    const QString id = ui->recordingMeasurementId();
    const auto big = block(131072, 9);  // 1 MiB, the writer's buffer
    QSignalSpy finished(ui.get(), &UiController::recordingFinished);
    {
        // Past the limit, in a frame: the part of a frame written at the end is dropped.
        FileSizeLimit limit((3u << 20) + 3);
        ASSERT_TRUE(limit.active());
        for (int i = 0; i < 6 && ui->recording(); ++i) peer->append(big);
        ASSERT_TRUE(waitFinished(finished));
    }
    EXPECT_EQ(finished.front(), (QVariantList{true, id}));
    EXPECT_EQ(countEvents(*ui, QStringLiteral("Recording failed: cannot append raw recording samples")), 1);
    EXPECT_EQ(countEvents(*ui, QStringLiteral("Measurement saved: %1 · Rec").arg(id)), 1);
    // Why it ended stays on the status line over the saved Measurement.
    EXPECT_EQ(ui->statusText(), QStringLiteral("Recording failed: cannot append raw recording samples"));
    const std::string raw = readBytes(measurementDir(id) / "raw.int16");
    EXPECT_GE(raw.size(), 2u << 20);
    EXPECT_EQ(raw.size() % (2 * kWire), 0u);
    EXPECT_TRUE(raw == (bytesOf(big) + bytesOf(big) + bytesOf(big) + bytesOf(big)).substr(0, raw.size()));
    EXPECT_EQ(core::readMeasurementManifest(measurementDir(id)).totalFrames, raw.size() / (2 * kWire));
    EXPECT_EQ(ui->selectedMeasurementId(), id);
    const fs::path measurements = fsPath(project.path()) / "measurements";
    EXPECT_EQ(std::distance(fs::directory_iterator(measurements), fs::directory_iterator()), 1)
        << "nothing hidden left";
    EXPECT_EQ(ui->recordingState(), QStringLiteral("Idle"));
}

// When even the finalize fails, the samples stay in the staging file, the status line says where,
// and the next open of the Project turns them into the Measurement.
TEST_F(Recording, AFailedFinalizeLeavesTheSamplesToTheNextOpen) {
    start();
    const QString id = ui->recordingMeasurementId();
    const auto samples = block(700, 2);
    peer->append(samples);
    fs::create_directories(measurementDir(id));  // the name is taken meanwhile
    QSignalSpy finished(ui.get(), &UiController::recordingFinished);
    ui->stopRecording();
    ASSERT_TRUE(waitFinished(finished));
    EXPECT_EQ(finished.front(), (QVariantList{false, id}));
    EXPECT_EQ(countEvents(*ui, QStringLiteral("Finalize Recording failed: Measurement already exists")), 1);
    const fs::path staging =
        fsPath(project.path()) / "measurements" / fsPath(u'.' + id + QStringLiteral(".recording.raw.tmp"));
    EXPECT_EQ(ui->statusText(),
              QStringLiteral("Recorded samples kept in %1; opening the Project again recovers them")
                  .arg(QString::fromStdString(staging.string())));
    EXPECT_EQ(readBytes(staging), bytesOf(samples));

    fs::remove(measurementDir(id));
    UiController reopened;
    reopened.openProject(project.path());
    EXPECT_TRUE(reopened.eventLog().join(u'\n').contains(QStringLiteral("Recovered recording %1").arg(id)));
    EXPECT_EQ(rowIds(reopened), QStringList{id});
    EXPECT_EQ(readBytes(measurementDir(id) / "raw.int16"), bytesOf(samples));
    EXPECT_FALSE(fs::exists(staging));
}

// Where locks fail, another program's recovery may take a Recording it judged abandoned: the Recording
// stops at its next block and says why in the user's words, and offers no samples as kept here.
TEST_F(Recording, ARecordingWhoseStagingFileAnotherProgramTookStopsAndSaysWhy) {
    const zk::test::LocksFail noLocks;
    start();
    const QString id = ui->recordingMeasurementId();
    const fs::path staging =
        core::recordingStagingPath(fsPath(project.path()) / "measurements", id.toStdString());
    // As that recovery leaves it: the samples copied into a Measurement of their own, the name gone.
    fs::rename(staging, fsPath(project.path()) / "taken.raw");
    QSignalSpy finished(ui.get(), &UiController::recordingFinished);
    peer->append(block(700, 1));
    ASSERT_TRUE(waitFinished(finished));
    EXPECT_EQ(finished.front(), (QVariantList{false, id}));
    const QString reason =
        QStringLiteral("another program opening this Project has taken over the Recording's samples");
    EXPECT_EQ(countEvents(*ui, QStringLiteral("Recording failed: ") + reason), 1);
    EXPECT_EQ(countEvents(*ui, QStringLiteral("Finalize Recording failed: ") + reason), 1);
    EXPECT_FALSE(ui->statusText().startsWith(QStringLiteral("Recorded samples kept in")))
        << ui->statusText().toStdString();
    EXPECT_EQ(ui->recordingState(), QStringLiteral("Idle"));
    EXPECT_EQ(zk::test::fileText(fsPath(project.path()) / "taken.raw"), "") << "nothing written into it";
}

// A program that stopped while it holds the Project's lock: the finalize gives up on it once the wait
// bound has passed and says why, and the samples wait for the next open of the Project, which lists
// them whole with nothing left hidden.
TEST_F(Recording, AFinalizeGivesUpOnAProgramThatStoppedHoldingTheProject) {
    start();
    const QString id = ui->recordingMeasurementId();
    const auto samples = block(700, 3);
    peer->append(samples);
    {
        zk::test::OtherProgram other(
            [this] {
                auto* lock = new core::EntryLock;  // held until the child ends
                if (core::EntryLock::take(fsPath(project.path()) / ".", *lock) !=
                    core::EntryLock::Take::Taken)
                    throw std::runtime_error("not taken");
            },
            zk::test::OtherProgram::After::Stop);
        ASSERT_TRUE(other.ready());
        const std::chrono::milliseconds bound = core::lockWaitLimit();
        core::setLockWaitLimit(50ms);
        QSignalSpy finished(ui.get(), &UiController::recordingFinished);
        ui->stopRecording();
        const bool ended = waitFinished(finished);
        core::setLockWaitLimit(bound);
        ASSERT_TRUE(ended);
        EXPECT_EQ(finished.front(), (QVariantList{false, id}));
        EXPECT_EQ(
            countEvents(*ui, QStringLiteral("Finalize Recording failed: another program has held the lock "
                                            "of this Project for more than 0.05 s")),
            1);
        EXPECT_EQ(ui->recordingState(), QStringLiteral("Idle"));
    }
    UiController reopened;
    reopened.openProject(project.path());
    EXPECT_EQ(rowIds(reopened), QStringList{id});
    EXPECT_EQ(readBytes(measurementDir(id) / "raw.int16"), bytesOf(samples));
    EXPECT_EQ(zk::test::entryNames(fsPath(project.path()) / "measurements"),
              std::vector<std::string>{id.toStdString()});
}

// The disk takes nothing while blocks keep coming: once the Recording's queue is full it ends at the
// last block queued, says why, and every block queued before the end reaches the Measurement.
TEST_F(Recording, ADiskTooSlowForTheStreamEndsTheRecordingAtTheLastQueuedSample) {
    GatedDisk disk;
    peer->setSink(disk.sink());
    start();
    const QString id = ui->recordingMeasurementId();
    constexpr std::size_t kFrames = 131072;  // 1 MiB blocks
    QSignalSpy finished(ui.get(), &UiController::recordingFinished);
    std::uint64_t frames = 0;
    for (int i = 0; i < 64 && ui->recording(); ++i) {
        peer->append(rampBlock(kFrames, frames));
        if (ui->recording()) frames += kFrames;
    }
    EXPECT_FALSE(ui->recording()) << "the queue never filled";
    EXPECT_EQ(ui->recordingBytes(), frames * kWire * 2) << "the block that did not fit is not counted";
    peer->append(rampBlock(kFrames, frames + kFrames));  // after the end: not recorded
    const QString why =
        QStringLiteral("Recording stopped: the disk is too slow for the stream (0.1 MB/s needed)");
    // 16 kHz x 4 channels x 2 bytes; said while the queued samples still wait for the disk.
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui->statusText() == why; }, 5000))
        << ui->statusText().toStdString();
    disk.open();
    ASSERT_TRUE(waitFinished(finished));
    EXPECT_EQ(finished.front(), (QVariantList{true, id}));
    EXPECT_EQ(countEvents(*ui, why), 1);
    EXPECT_EQ(countEvents(*ui, QStringLiteral("Measurement saved: %1 · Rec").arg(id)), 1);
    // The reason stays on the status line over the saved Measurement and later background notices, which
    // the logs keep, until the user's next step.
    EXPECT_EQ(ui->statusText(), why);
    const QString gap = QStringLiteral("Live sample gap detected; continuity window restarted");
    ui->setAdvisoryStatus(gap);
    EXPECT_EQ(ui->statusText(), why);
    EXPECT_TRUE(ui->diagnosticsLog().last().endsWith(gap));
    ui->selectMeasurement(0);
    EXPECT_TRUE(ui->statusText().startsWith(QStringLiteral("Measurement selected: ")))
        << ui->statusText().toStdString();
    ui->setAdvisoryStatus(gap);
    EXPECT_EQ(ui->statusText(), gap);
    const fs::path dir = measurementDir(id);
    EXPECT_EQ(core::readMeasurementManifest(dir).totalFrames, frames);
    EXPECT_TRUE(readBytes(dir / "raw.int16") == rampBytes(frames)) << "whole contiguous frames";
    EXPECT_EQ(ui->recordingState(), QStringLiteral("Idle"));
    EXPECT_EQ(ui->sessionState(), QStringLiteral("Running")) << "the live view goes on";
}

// raw.int16 has no timestamps: a block after lost datagrams ends the Recording before it. A gap before
// the Recording's first sample is none in the file.
TEST_F(Recording, AGapInTheStreamEndsTheRecordingAtTheLastContiguousSample) {
    start();
    const QString id = ui->recordingMeasurementId();
    QSignalSpy finished(ui.get(), &UiController::recordingFinished);
    peer->append(rampBlock(256, 0), true);
    peer->append(rampBlock(256, 256));
    EXPECT_TRUE(ui->recording());
    peer->append(rampBlock(256, 9000), true);
    EXPECT_FALSE(ui->recording());
    peer->append(rampBlock(256, 9256));
    ASSERT_TRUE(waitFinished(finished));
    EXPECT_EQ(finished.front(), (QVariantList{true, id}));
    EXPECT_EQ(countEvents(*ui, QStringLiteral("Recording stopped: datagrams were lost, the samples are no "
                                              "longer contiguous")),
              1);
    EXPECT_EQ(readBytes(measurementDir(id) / "raw.int16"), rampBytes(512));
    EXPECT_EQ(core::readMeasurementManifest(measurementDir(id)).totalFrames, 512u);
}

TEST_F(Recording, TheVideoTheRecorderHandsBackJoinsTheMeasurement) {
    ui->setRecordingMaxDurationSeconds(120);
    const QString staging = start();
    const QString id = ui->recordingMeasurementId();
    ui->notifyVideoRecorderStarted();
    EXPECT_TRUE(ui->recordingVideoActive());
    peer->advanceRecordingClock(30000ms);
    peer->append(block(256, 1));

    QSignalSpy videoStop(ui.get(), &UiController::videoRecordStopRequested);
    ui->stopRecording();
    EXPECT_EQ(videoStop.count(), 1);
    EXPECT_EQ(ui->recordingState(), QStringLiteral("Recording")) << "waits for the recorder";
    ASSERT_TRUE(peer->watchdog()->isActive());
    EXPECT_NEAR(peer->watchdog()->interval(), 11000, 5);

    std::ofstream(fsPath(staging), std::ios::binary) << "camera bytes";
    QSignalSpy finished(ui.get(), &UiController::recordingFinished);
    ui->notifyVideoRecorderStopped(QUrl::fromLocalFile(staging).toString());
    EXPECT_FALSE(peer->watchdog()->isActive());
    ASSERT_TRUE(waitFinished(finished));
    EXPECT_EQ(readBytes(measurementDir(id) / "video_camera.mp4"), "camera bytes");
    EXPECT_FALSE(fs::exists(fsPath(staging)));
    EXPECT_FALSE(ui->selectedMeasurementVideoPath().isEmpty());
}

TEST_F(Recording, ARecorderPathOtherThanTheStagingFileIsNeverTakenOrRemoved) {
    start();
    const QString id = ui->recordingMeasurementId();
    ui->notifyVideoRecorderStarted();
    peer->append(block(256, 2));
    const fs::path rawStaging =
        fsPath(project.path()) / "measurements" / fsPath(u'.' + id + QStringLiteral(".recording.raw.tmp"));
    const fs::path userFile = fsPath(project.tempPath(QStringLiteral("holiday.mp4")));
    const fs::path beside = fsPath(project.path()) / "measurements" / "other.mp4";
    std::ofstream(userFile, std::ios::binary) << "user video";
    std::ofstream(beside, std::ios::binary) << "other video";
    // Finalize removes the video file it takes: a path other than the staging file must never be taken.
    for (const fs::path& path : {userFile, beside, rawStaging}) {
        ui->notifyVideoRecorderStarted();
        ui->notifyVideoRecorderStopped(QString::fromStdString(path.string()));
    }
    ui->notifyVideoRecorderStarted();
    ui->stopRecording();
    QSignalSpy finished(ui.get(), &UiController::recordingFinished);
    ui->notifyVideoRecorderStopped(QUrl::fromLocalFile(QString::fromStdString(userFile.string())).toString());
    ASSERT_TRUE(waitFinished(finished));
    EXPECT_TRUE(finished.front().front().toBool());
    EXPECT_EQ(readBytes(userFile), "user video");
    EXPECT_EQ(readBytes(beside), "other video");
    EXPECT_EQ(core::readMeasurementManifest(measurementDir(id)).videoFile, "");
    EXPECT_EQ(readBytes(measurementDir(id) / "raw.int16"), bytesOf(block(256, 2)));
}

TEST_F(Recording, TheWatchdogFinalizesWithoutTheUnfinishedVideo) {
    const QString staging = start();
    const QString id = ui->recordingMeasurementId();
    ui->notifyVideoRecorderStarted();
    peer->append(block(256, 6));
    std::ofstream(fsPath(staging), std::ios::binary) << "half a video";
    ui->stopRecording();
    ASSERT_TRUE(peer->watchdog()->isActive());
    QSignalSpy finished(ui.get(), &UiController::recordingFinished);
    peer->watchdog()->start(1);  // the recorder stays silent; no need to wait the full time
    ASSERT_TRUE(waitFinished(finished));
    EXPECT_EQ(countEvents(
                  *ui, QStringLiteral("Video recorder did not stop in time; finalizing Measurement anyway")),
              1);
    EXPECT_EQ(countEvents(*ui, QStringLiteral("Finalizing Measurement %1...").arg(id)), 1);
    EXPECT_TRUE(finished.front().front().toBool());
    EXPECT_EQ(core::readMeasurementManifest(measurementDir(id)).videoFile, "");
    QFile media(QStandardPaths::writableLocation(QStandardPaths::TempLocation) +
                QStringLiteral("/sorvanta_media.log"));
    ASSERT_TRUE(media.open(QIODevice::ReadOnly));
    EXPECT_TRUE(
        media.readAll().contains("video recorder stop watchdog fired; finalizing without flushed video"));

    EXPECT_FALSE(fs::exists(fsPath(staging))) << "the unfinished video is not left behind";

    // A recorder that answers after the watchdog changes nothing any more, and what it wrote since
    // goes too.
    std::ofstream(fsPath(staging), std::ios::binary) << "the rest of the video";
    ui->notifyVideoRecorderStopped(staging);
    EXPECT_EQ(ui->recordingState(), QStringLiteral("Idle"));
    EXPECT_FALSE(fs::exists(fsPath(staging)));
}

TEST_F(Recording, HandlersOfAnEndedRecordingAreIgnored) {
    start();
    const std::uint64_t first = peer->generation();
    peer->append(block(256, 1));
    QSignalSpy finished(ui.get(), &UiController::recordingFinished);
    ui->stopRecording();
    ASSERT_TRUE(waitFinished(finished));

    start();
    const QString current = ui->recordingMeasurementId();
    const QStringList logBefore = ui->eventLog();
    peer->deliverStaleHandlers(first);
    EXPECT_EQ(ui->recordingState(), QStringLiteral("Recording"));
    EXPECT_EQ(ui->recordingMeasurementId(), current);
    EXPECT_EQ(ui->eventLog(), logBefore);
    EXPECT_EQ(finished.count(), 1);
    peer->append(block(256, 2));
    EXPECT_EQ(ui->recordingBytes(), 256u * kWire * 2u) << "the current Recording still takes blocks";
}

TEST_F(Recording, ClosingTheControllerKeepsAnOpenRecordingWithoutVideo) {
    const QString staging = start();
    const QString id = ui->recordingMeasurementId();
    ui->notifyVideoRecorderStarted();
    const auto samples = block(1024, 8);
    peer->append(samples);
    std::ofstream(fsPath(staging), std::ios::binary) << "recorder still writing";
    peer.reset();
    ui.reset();

    const fs::path dir = measurementDir(id);
    EXPECT_EQ(readBytes(dir / "raw.int16"), bytesOf(samples));
    EXPECT_EQ(core::readMeasurementManifest(dir).videoFile, "");
    EXPECT_FALSE(fs::exists(dir / "video_camera.mp4"));
    EXPECT_EQ(core::loadProject(fsPath(project.path())).measurements,
              std::vector<std::string>{id.toStdString()});
}

TEST_F(Recording, TheDurationLimitIsAWholeNumberOfSecondsWithinBounds) {
    QSignalSpy changed(ui.get(), &UiController::recordingMaxDurationChanged);
    for (const auto& [given, stored] : {std::pair{0.4, 1.0}, {500.0, 120.0}, {10.5, 11.0}, {-3.0, 1.0}}) {
        ui->setRecordingMaxDurationSeconds(given);
        EXPECT_DOUBLE_EQ(ui->recordingMaxDurationSeconds(), stored) << given;
        EXPECT_DOUBLE_EQ(QSettings().value(QStringLiteral("recording/maxDurationSec")).toDouble(), stored);
    }
    const int emitted = changed.count();
    ui->setRecordingMaxDurationSeconds(0.6);
    EXPECT_EQ(changed.count(), emitted) << "the same whole second is no change";
}

}  // namespace
}  // namespace zk::app::test
