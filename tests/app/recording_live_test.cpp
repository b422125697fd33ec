// Recording from a real live session on the synthetic source, as a user does it through the controller:
// the acquisition thread appends while the GUI thread waits. The shipped 128-microphone array at
// 48 kHz (the 4-microphone one under a sanitizer).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <chrono>
#include <filesystem>
#include <memory>

#include "app/ui_controller.h"
#include "app_test_support.h"
#include "core/storage/measurement_store.h"
#include "live_test_support.h"
#include "project_fixture.h"

namespace zk::app::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr std::uint64_t kFramesPerBlock = 256;  // what the acquisition thread reads per call

void spinFor(std::chrono::milliseconds duration) {
    const Clock::time_point end = Clock::now() + duration;
    while (Clock::now() < end) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

class LiveRecording : public ControllerSettingsTest {
  protected:
    void SetUp() override {
        ControllerSettingsTest::SetUp();
        ui = std::make_unique<UiController>();
        importShippedProfile(*ui, liveProfileFile());
        ui->setSource(QStringLiteral("Synthetic"));
        ui->openProject(project.path());
        ASSERT_TRUE(ui->hasProject());
        ui->startLive();
        ASSERT_EQ(ui->sessionState(), QStringLiteral("Running")) << ui->statusText().toStdString();
    }
    void TearDown() override {
        ui->stopLive();
        ui.reset();
        ControllerSettingsTest::TearDown();
    }

    StoredProject project{0, "Live"};
    std::unique_ptr<UiController> ui;  // made in SetUp, inside the test's own settings store
};

TEST_F(LiveRecording, TwoSecondsBecomeTheSelectedMeasurement) {
    QSignalSpy finished(ui.get(), &UiController::recordingFinished);
    const Clock::time_point started = Clock::now();
    ui->startRecording();
    ASSERT_TRUE(ui->recording()) << ui->statusText().toStdString();
    const QString id = ui->recordingMeasurementId();
    spinFor(2000ms);
    ui->stopRecording();
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    ASSERT_TRUE(finished.count() > 0 || finished.wait(30000 * kSlowdown)) << ui->statusText().toStdString();
    ASSERT_EQ(finished.front(), (QVariantList{true, id}));

    EXPECT_EQ(ui->selectedMeasurementId(), id);
    EXPECT_EQ(ui->selectedMeasurementIndex(), 0);
    const fs::path dir = project.measurementDir(id.toStdString());
    const std::string profileText = shippedProfileText(liveProfileFile());
    const core::DeviceProfile profile = core::parseDeviceProfile(profileText);
    const std::uint64_t frameBytes = 2u * profile.wireChannelCount;
    const std::uint64_t frames = fs::file_size(dir / "raw.int16") / frameBytes;
    EXPECT_EQ(fs::file_size(dir / "raw.int16") % frameBytes, 0u);
    // The source is paced at 48 kHz and blocks reach the Recording whole, so at most one block more
    // than the time the test measured. A loaded machine makes the full queue drop blocks, so fewer
    // frames are allowed, though not fewer than half the time.
    EXPECT_LE(static_cast<double>(frames), seconds * profile.sampleRateHz + kFramesPerBlock);
    EXPECT_GE(static_cast<double>(frames), 1.0 * profile.sampleRateHz);

    const core::MeasurementRecord manifest = core::readMeasurementManifest(dir);
    EXPECT_EQ(manifest.totalFrames, frames);
    EXPECT_EQ(manifest.source, "Synthetic");
    EXPECT_EQ(manifest.rawHash, fnv1aHexOfFile(dir / "raw.int16"));
    EXPECT_EQ(ui->selectedMeasurementRawHash().toStdString(), manifest.rawHash);
    EXPECT_EQ(readBytes(dir / "device_profile.json"), profileText) << "the profile as it was imported";
    EXPECT_EQ(ui->sessionState(), QStringLiteral("Running")) << "the live session goes on";
}

TEST_F(LiveRecording, TheDurationLimitEndsTheRecordingOnce) {
    ui->setRecordingMaxDurationSeconds(1);
    QSignalSpy finished(ui.get(), &UiController::recordingFinished);
    ui->startRecording();
    ASSERT_TRUE(ui->recording());
    ASSERT_TRUE(finished.wait(30000 * kSlowdown)) << ui->statusText().toStdString();
    EXPECT_TRUE(finished.front().front().toBool());
    spinFor(300ms);
    int limitLines = 0;
    for (const QString& line : ui->eventLog())
        limitLines +=
            line.mid(10) == QStringLiteral("Recording reached the 1 s Measurement limit; finalizing");
    EXPECT_EQ(limitLines, 1);
    const core::DeviceProfile profile = core::parseDeviceProfile(shippedProfileText(liveProfileFile()));
    const std::filesystem::path dir =
        project.measurementDir(finished.front().back().toString().toStdString());
    // The limit is wall-clock time; a loaded machine may drop blocks, so only what was kept is checked.
    const std::uint64_t frames = core::readMeasurementManifest(dir).totalFrames;
    EXPECT_GT(frames, 0u);
    EXPECT_EQ(std::filesystem::file_size(dir / "raw.int16"), frames * profile.wireChannelCount * 2);
    EXPECT_EQ(ui->recordingState(), QStringLiteral("Idle"));
}

TEST_F(LiveRecording, StoppingLiveEndsTheRecordingAsAMeasurement) {
    QSignalSpy finished(ui.get(), &UiController::recordingFinished);
    ui->startRecording();
    spinFor(300ms);
    ui->stopLive();
    ASSERT_TRUE(finished.count() > 0 || finished.wait(30000 * kSlowdown)) << ui->statusText().toStdString();
    EXPECT_TRUE(finished.front().front().toBool());
    EXPECT_EQ(ui->measurementCount(), 1);
}

}  // namespace
}  // namespace zk::app::test
