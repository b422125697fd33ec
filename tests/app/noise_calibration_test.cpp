// The calibration's sums against a brute-force average in double, and the refusals and the subtraction
// switch of the controller against a noise floor stored through the core.
#include "app/noise_calibration.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <complex>
#include <random>
#include <vector>

#include "app/ui_controller.h"
#include "app_test_support.h"
#include "beamforming_settings_peer.h"
#include "core/streaming/noise_floor_profile.h"
#include "core/streaming/streaming_acoustic_engine.h"
#include "project_fixture.h"

namespace zk::app::test {
namespace {

using Complex = std::complex<double>;

// One random channel-major frame of m channels and `bins` bins.
std::vector<Complex> randomFrame(std::mt19937& random, std::size_t m, std::size_t bins) {
    std::normal_distribution<double> normal(0.0, 1.0);
    std::vector<Complex> frame(m * bins);
    for (Complex& v : frame) v = {normal(random), normal(random)};
    return frame;
}

// The average of x x^H over the given frames, per bin, summed straight from the definition.
std::vector<std::vector<std::vector<Complex>>> bruteForceAverage(
    const std::vector<std::vector<Complex>>& frames, std::size_t m, std::size_t bins) {
    std::vector<std::vector<std::vector<Complex>>> out(
        bins, std::vector<std::vector<Complex>>(m, std::vector<Complex>(m)));
    for (const auto& frame : frames) {
        for (std::size_t k = 0; k < bins; ++k) {
            for (std::size_t j = 0; j < m; ++j) {
                for (std::size_t c = 0; c < m; ++c) {
                    out[k][j][c] += frame[j * bins + k] * std::conj(frame[c * bins + k]) /
                                    static_cast<double>(frames.size());
                }
            }
        }
    }
    return out;
}

void expectAverageOfEveryThirdFrame(std::size_t m, std::size_t bins) {
    std::mt19937 random(42 + static_cast<unsigned>(bins));
    NoiseCalibrationAccum accum;
    std::vector<std::vector<Complex>> summed;
    for (int i = 1; i <= 60; ++i) {
        const std::vector<Complex> frame = randomFrame(random, m, bins);
        EXPECT_EQ(offerNoiseFrame(accum, frame, m), i % 3 == 0) << "frame " << i;
        if (i % 3 == 0) summed.push_back(frame);
        // A frame of another size counts neither as summed nor towards every third.
        EXPECT_FALSE(offerNoiseFrame(accum, randomFrame(random, m, bins + 1), m));
    }
    // Twenty summed: sixteen reach the sums on their own, the last four with the flush.
    ASSERT_EQ(accum.accumulatedBlocks, 20u);
    flushNoiseFrames(accum);

    const core::NoiseFloorProfile profile =
        buildNoiseFloorProfile(accum, "abc", 48000, "2026-01-02T03:04:05Z");
    EXPECT_TRUE(profile.isValid());
    EXPECT_EQ(profile.channelCount, m);
    EXPECT_EQ(profile.fftSize, 2 * bins - 2);
    EXPECT_EQ(profile.averagedFrames, 20u);
    EXPECT_EQ(profile.subtractBeta, 0.8);
    EXPECT_EQ(profile.psdFloor, 1e-10);
    EXPECT_TRUE(profile.enabled);
    EXPECT_EQ(profile.profileHash, "abc");
    EXPECT_EQ(profile.sampleRateHz, 48000u);

    const auto expected = bruteForceAverage(summed, m, bins);
    ASSERT_EQ(profile.matrices.size(), bins);
    for (std::size_t k = 0; k < bins; ++k) {
        for (std::size_t j = 0; j < m; ++j) {
            EXPECT_EQ(profile.matrices[k][j][j].imag(), 0.0) << "bin " << k << " channel " << j;
            for (std::size_t c = 0; c < m; ++c) {
                EXPECT_NEAR(std::abs(profile.matrices[k][j][c] - expected[k][j][c]), 0.0, 1e-12)
                    << "bin " << k << " entry " << j << "," << c;
                EXPECT_EQ(profile.matrices[k][c][j], std::conj(profile.matrices[k][j][c]));
            }
        }
    }
}

TEST(NoiseAccumulation, EveryThirdWellSizedFrameAveragesToTheBruteForceMatrices) {
    expectAverageOfEveryThirdFrame(3, 9);  // bins split over a team of threads
    expectAverageOfEveryThirdFrame(4, 5);  // one thread
}

TEST(NoiseAccumulation, TheFirstUsableFrameFixesTheShape) {
    std::mt19937 random(7);
    NoiseCalibrationAccum accum;
    EXPECT_FALSE(offerNoiseFrame(accum, randomFrame(random, 3, 5), 0));  // no channel count
    EXPECT_FALSE(offerNoiseFrame(accum, randomFrame(random, 1, 7), 3));  // 7 values: not a multiple of 3
    EXPECT_EQ(accum.channelCount, 0u);
    EXPECT_FALSE(offerNoiseFrame(accum, randomFrame(random, 3, 4), 3));  // first usable: 4 bins, 1st of 3
    EXPECT_EQ(accum.channelCount, 3u);
    EXPECT_EQ(accum.binCount, 4u);
    EXPECT_EQ(accum.sums.size(), 4u * 3u * 3u);
    EXPECT_FALSE(offerNoiseFrame(accum, randomFrame(random, 3, 4), 3));
    EXPECT_TRUE(offerNoiseFrame(accum, randomFrame(random, 3, 4), 3));
}

class NoiseControl : public ControllerSettingsTest {};

TEST_F(NoiseControl, CalibrationIsRefusedOutsideAPlainLiveSession) {
    UiController ui;
    BeamformingSettingsTestPeer peer(ui);
    QSignalSpy changes(&ui, &UiController::noiseSubtractionChanged);

    ui.startNoiseCalibration();
    EXPECT_EQ(lastEvent(ui), QStringLiteral("Start Live before noise calibration"));

    peer.setSessionState(kRunning);
    peer.setRecordingState(kRecordingActive);
    ui.startNoiseCalibration();
    EXPECT_EQ(lastEvent(ui), QStringLiteral("Noise calibration is not allowed while Recording"));

    peer.setRecordingState(kRecordingIdle);
    for (const std::int32_t replay : {kReplayLoading, kReplayPlaying, kReplayPaused}) {
        peer.setReplayState(replay);
        ui.startNoiseCalibration();
        EXPECT_EQ(lastEvent(ui),
                  QStringLiteral(
                      "Noise calibration is Live-only; the calibrated floor switch still works in Replay"));
    }
    EXPECT_FALSE(ui.noiseCalibrating());
    EXPECT_EQ(changes.count(), 0);

    // Cancelling with nothing running changes nothing.
    const QStringList before = ui.eventLog();
    ui.cancelNoiseCalibration();
    EXPECT_EQ(ui.eventLog(), before);
}

// A noise floor stored through the core for the given profile hash, with its switch stored on.
void storeNoiseFloor(const QString& projectDir, const std::string& hash) {
    core::NoiseFloorProfile profile;
    profile.profileHash = hash;
    profile.sampleRateHz = 16000;
    profile.channelCount = 4;
    profile.fftSize = 1024;
    profile.averagedFrames = 20;
    profile.createdAtUtc = "2026-03-04T05:06:07Z";
    profile.enabled = true;
    profile.matrices.assign(513, core::MatrixRows(4, std::vector<Complex>(4, Complex(1e-6, 0.0))));
    core::saveNoiseFloorProfile(fsPath(projectDir), profile);
}

TEST_F(NoiseControl, AFloorOfAnotherDeviceProfileCanOnlyBeSwitchedOff) {
    StoredProject project(0);
    storeNoiseFloor(project.path(), "0000000000000000");
    UiController ui;
    importShippedProfile(ui, "small-4.device.json");
    ui.openProject(project.path());
    ASSERT_TRUE(ui.hasProject()) << ui.statusText().toStdString();

    // Loaded with its stored switch, but measured with another device profile.
    EXPECT_TRUE(ui.noiseSubtractionEnabled());
    EXPECT_FALSE(ui.noiseProfileValid());
    EXPECT_EQ(ui.noiseProfileInfo(), QStringLiteral("Calibrated for another device profile - recalibrate"));

    QSignalSpy changes(&ui, &UiController::noiseSubtractionChanged);
    ui.setNoiseSubtractionEnabled(false);
    EXPECT_FALSE(ui.noiseSubtractionEnabled());
    EXPECT_EQ(lastEvent(ui), QStringLiteral("Background noise subtraction OFF"));
    EXPECT_EQ(changes.count(), 1);
    EXPECT_FALSE(core::loadNoiseFloorProfile(fsPath(project.path())).enabled);

    ui.setNoiseSubtractionEnabled(true);
    EXPECT_EQ(lastEvent(ui), QStringLiteral("Calibrate the noise floor for this device profile first"));
    EXPECT_FALSE(ui.noiseSubtractionEnabled());
    EXPECT_EQ(changes.count(), 1);
    EXPECT_FALSE(core::loadNoiseFloorProfile(fsPath(project.path())).enabled);

    // The same value again does nothing at all.
    const QStringList before = ui.eventLog();
    ui.setNoiseSubtractionEnabled(false);
    EXPECT_EQ(ui.eventLog(), before);
}

TEST_F(NoiseControl, TheSwitchFollowsAFloorOfThisDeviceProfileIntoTheStoreAndBothEngines) {
    StoredProject project(0);
    UiController ui;
    BeamformingSettingsTestPeer peer(ui);
    importShippedProfile(ui, "small-4.device.json");
    storeNoiseFloor(project.path(), ui.activeProfileHash().toStdString());
    core::rewriteNoiseFloorManifestEnabled(fsPath(project.path()), false);
    ui.openProject(project.path());
    ASSERT_TRUE(ui.noiseProfileValid());
    EXPECT_EQ(ui.noiseProfileInfo(), QStringLiteral("Calibrated 2026-03-04T05:06:07"));
    EXPECT_FALSE(ui.noiseSubtractionEnabled());

    // Both engines, configured for the floor's stream, apply it only while the switch is on.
    const core::DeviceProfile profile =
        core::loadDeviceProfile(shippedProfile("small-4.device.json").toStdString());
    core::StreamingEngineConfig config;
    config.frameSize = 1024;
    config.hopSize = 512;
    config.frequencyHz = 4000.0;
    config.band = {0, 2, 4000.0, 2000.0, 0};
    config.beamforming = peer.beamforming();
    peer.liveEngine().configure(profile, config);
    peer.replayEngine().configure(profile, config);
    EXPECT_EQ(peer.liveEngine().activeNoiseFloor(), nullptr);

    ui.setNoiseSubtractionEnabled(true);
    EXPECT_EQ(lastEvent(ui), QStringLiteral("Background noise subtraction ON"));
    EXPECT_TRUE(core::loadNoiseFloorProfile(fsPath(project.path())).enabled);
    ASSERT_NE(peer.liveEngine().activeNoiseFloor(), nullptr);
    EXPECT_EQ(peer.liveEngine().activeNoiseFloor(), peer.replayEngine().activeNoiseFloor());
    EXPECT_EQ(peer.liveEngine().activeNoiseFloor()->averagedFrames, 20u);

    // A manifest that can no longer be rewritten: the switch still changes, the failure is reported.
    std::filesystem::remove(core::noiseFloorManifestPath(fsPath(project.path())));
    std::filesystem::create_directory(core::noiseFloorManifestPath(fsPath(project.path())));
    ui.setNoiseSubtractionEnabled(false);
    EXPECT_FALSE(ui.noiseSubtractionEnabled());
    EXPECT_EQ(peer.liveEngine().activeNoiseFloor(), nullptr);
    EXPECT_EQ(peer.replayEngine().activeNoiseFloor(), nullptr);
    const QStringList log = ui.eventLog();
    ASSERT_GE(log.size(), 2);
    EXPECT_TRUE(log[log.size() - 2].mid(10).startsWith(QStringLiteral("Noise switch persist failed: ")))
        << log[log.size() - 2].toStdString();
    EXPECT_EQ(lastEvent(ui), QStringLiteral("Background noise subtraction OFF"));
}

TEST_F(NoiseControl, AReplayJudgesTheFloorByTheProfileItsMeasurementWasRecordedWith) {
    // The Measurement's profile differs from the live one only in its identity, and so in its hash.
    QJsonObject recorded =
        QJsonDocument::fromJson(QByteArray::fromStdString(shippedProfileText("small-4.device.json")))
            .object();
    recorded.insert(QStringLiteral("profileId"), QStringLiteral("SMALL-4-RECORDED"));
    StoredProject project(0);
    const core::MeasurementRecord m =
        recordMeasurement(project.path(), "m_1", 16000, QJsonDocument(recorded).toJson().toStdString(), 4);
    const std::string recordedHash = fnv1aHexOfFile(m.directory / m.deviceProfileFile);
    storeNoiseFloor(project.path(), recordedHash);
    core::rewriteNoiseFloorManifestEnabled(fsPath(project.path()), false);

    UiController ui;
    importShippedProfile(ui, "small-4.device.json");
    ui.openProject(project.path());
    ASSERT_TRUE(ui.hasSelectedMeasurement());
    ASSERT_NE(ui.activeProfileHash().toStdString(), recordedHash);
    EXPECT_FALSE(ui.noiseProfileValid());
    EXPECT_EQ(ui.noiseProfileInfo(), QStringLiteral("Calibrated for another device profile - recalibrate"));

    QSignalSpy changes(&ui, &UiController::noiseSubtractionChanged);
    ui.startSelectedMeasurementReplay();
    ASSERT_TRUE(ui.replayActive()) << lastEvent(ui).toStdString();
    EXPECT_EQ(ui.activeProfileHash().toStdString(), recordedHash);
    EXPECT_TRUE(ui.noiseProfileValid());
    EXPECT_EQ(ui.noiseProfileInfo(), QStringLiteral("Calibrated 2026-03-04T05:06:07"));
    EXPECT_EQ(changes.count(), 1);
    ui.setNoiseSubtractionEnabled(true);
    EXPECT_EQ(lastEvent(ui), QStringLiteral("Background noise subtraction ON"));
    EXPECT_TRUE(ui.noiseSubtractionEnabled());

    // Back to the live profile once the Replay stops.
    ui.stopReplay();
    EXPECT_NE(ui.activeProfileHash().toStdString(), recordedHash);
    EXPECT_FALSE(ui.noiseProfileValid());
    EXPECT_EQ(ui.noiseProfileInfo(), QStringLiteral("Calibrated for another device profile - recalibrate"));
    EXPECT_EQ(changes.count(), 3);
}

}  // namespace
}  // namespace zk::app::test
