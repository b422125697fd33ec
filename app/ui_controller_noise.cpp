// Noise-floor calibration and subtraction.
#include <QCoreApplication>
#include <QDateTime>
#include <QTimer>
#include <algorithm>
#include <chrono>

#include "app/error_text.h"
#include "app/file_paths.h"
#include "app/ui_controller.h"
#include "core/streaming/streaming_acoustic_engine.h"

namespace zk::app {

namespace {

constexpr double kCalibrationSeconds = 5.0;
constexpr std::uint64_t kLeastAccumulatedBlocks = 8;

// Ends a run without reading its sums: the flag first, so the capture thread leaves its loop.
std::shared_ptr<NoiseCalibrationAccum> endCalibrationRun(std::atomic<bool>& calibrating,
                                                         std::jthread& capture, QTimer& timer,
                                                         NoiseCalibrationRun& run) {
    calibrating.store(false);
    if (capture.joinable()) capture.join();
    if (run.engine != nullptr) run.engine->setNoiseCaptureEnabled(false);
    timer.stop();
    std::shared_ptr<NoiseCalibrationAccum> accum = std::move(run.accum);
    run.engine = nullptr;
    run.remainingSeconds = 0.0;
    return accum;
}

}  // namespace

bool UiController::noiseSubtractionEnabled() const { return noiseFloor_.subtractionEnabled; }
bool UiController::noiseCalibrating() const { return run_.noiseCalibrating.load(); }
bool UiController::noiseProfileValid() const {
    const core::NoiseFloorProfile* profile = noiseFloor_.profile.get();
    return profile != nullptr && profile->isValid() &&
           QString::fromStdString(profile->profileHash) == activeProfileHash();
}
QString UiController::noiseProfileInfo() const { return noiseFloor_.info; }
double UiController::noiseCalibrationRemainingSeconds() const {
    return noiseFloor_.calibration.remainingSeconds;
}

void UiController::rebuildNoiseProfileInfo() {
    const core::NoiseFloorProfile* profile = noiseFloor_.profile.get();
    if (profile == nullptr || !profile->isValid()) {
        noiseFloor_.info = QCoreApplication::translate("UiController", "Not calibrated");
    } else if (noiseProfileValid()) {
        noiseFloor_.info = QCoreApplication::translate("UiController", "Calibrated %1")
                               .arg(QString::fromStdString(profile->createdAtUtc.substr(0, 19)));
    } else {
        noiseFloor_.info = QCoreApplication::translate("UiController",
                                                       "Calibrated for another device profile - recalibrate");
    }
}

void UiController::setNoiseSubtractionEnabled(bool enabled) {
    try {
        if (enabled == noiseFloor_.subtractionEnabled) return;
        if (enabled && !noiseProfileValid()) {
            reportEvent(UiText::tr("Calibrate the noise floor for this device profile first"));
            return;
        }
        // The profile stays as the engines share it; the switch is what they and the store follow.
        noiseFloor_.subtractionEnabled = enabled;
        if (project_.open && noiseFloor_.profile) {
            try {
                const std::filesystem::path root = toFsPath(project_.path);
                if (core::noiseFloorProfileExists(root))
                    core::rewriteNoiseFloorManifestEnabled(root, enabled, std::chrono::milliseconds(0));
            } catch (const std::exception& error) {
                reportEvent(UiText::tr("Noise switch persist failed: %1").arg(textOf(error)));
            }
        }
        handNoiseFloorToEngines(noiseFloor_.profile, enabled, engines_.live.get(), engines_.replay.get());
        emit noiseSubtractionChanged();
        reportEvent(enabled ? UiText::tr("Background noise subtraction ON")
                            : UiText::tr("Background noise subtraction OFF"));
    } catch (const std::exception& error) {
        reportEvent(UiText::tr("Noise switch persist failed: %1").arg(textOf(error)));
    }
}

void UiController::startNoiseCalibration() {
    try {
        if (!canCalibrateNoise()) {
            const std::int32_t replay = run_.replay.load();
            if (run_.recording.load() != kRecordingIdle) {
                reportEvent(UiText::tr("Noise calibration is not allowed while Recording"));
            } else if (replay == kReplayLoading || replay == kReplayPlaying || replay == kReplayPaused) {
                reportEvent(UiText::tr(
                    "Noise calibration is Live-only; the calibrated floor switch still works in Replay"));
            } else {
                reportEvent(UiText::tr("Start Live before noise calibration"));
            }
            return;
        }
        if (threads_.noiseCapture.joinable()) threads_.noiseCapture.join();

        NoiseCalibrationRun& run = noiseFloor_.calibration;
        run.accum = std::make_shared<NoiseCalibrationAccum>();
        run.engine = engines_.live.get();
        run.engine->setNoiseCaptureEnabled(true);

        run_.noiseCalibrating.store(true);
        run.elapsed.start();
        run.remainingSeconds = kCalibrationSeconds;
        const std::uint64_t channels = profileState_.live.channelCount;
        threads_.noiseCapture =
            std::jthread([this, engine = run.engine, accum = run.accum, channels](std::stop_token stop) {
                runNoiseCapture(stop, run_.noiseCalibrating, *engine, accum, channels);
            });
        timers_.noiseCalibration->start();
        emit noiseSubtractionChanged();
        emit noiseCalibrationProgressChanged();
        reportEvent(UiText::tr("Noise calibration started - keep the environment stable"));
    } catch (const std::exception& error) {
        // No thread could be made: the run is undone.
        run_.noiseCalibrating.store(false);
        if (noiseFloor_.calibration.engine != nullptr)
            noiseFloor_.calibration.engine->setNoiseCaptureEnabled(false);
        noiseFloor_.calibration = NoiseCalibrationRun{};
        timers_.noiseCalibration->stop();
        emit noiseSubtractionChanged();
        emit noiseCalibrationProgressChanged();
        reportEvent(UiText::tr("Noise calibration failed: %1").arg(textOf(error)));
    }
}

void UiController::cancelNoiseCalibration() {
    try {
        if (!run_.noiseCalibrating.load()) return;
        endCalibrationRun(run_.noiseCalibrating, threads_.noiseCapture, *timers_.noiseCalibration,
                          noiseFloor_.calibration);
        emit noiseSubtractionChanged();
        emit noiseCalibrationProgressChanged();
        reportEvent(UiText::tr("Noise calibration cancelled"));
    } catch (...) {
        // Only the report can fail (out of memory); the run has ended.
    }
}

void UiController::advanceNoiseCalibration() {
    try {
        if (!run_.noiseCalibrating.load()) {
            timers_.noiseCalibration->stop();
            return;
        }
        NoiseCalibrationRun& run = noiseFloor_.calibration;
        const double elapsedS = static_cast<double>(run.elapsed.elapsed()) / 1000.0;
        run.remainingSeconds = std::max(0.0, kCalibrationSeconds - elapsedS);
        emit noiseCalibrationProgressChanged();
        if (elapsedS < kCalibrationSeconds) return;

        const std::shared_ptr<NoiseCalibrationAccum> accum =
            endCalibrationRun(run_.noiseCalibrating, threads_.noiseCapture, *timers_.noiseCalibration, run);
        if (!accum || accum->accumulatedBlocks < kLeastAccumulatedBlocks || accum->channelCount == 0) {
            emit noiseSubtractionChanged();
            emit noiseCalibrationProgressChanged();
            reportEvent(UiText::tr("Noise calibration failed: not enough frames captured"));
            return;
        }

        const bool replaying = replayActive() && profileState_.frozen.isValid();
        const core::DeviceProfile& device = replaying ? profileState_.frozen : profileState_.live;
        // A new profile each time: the one the engines hold is never touched.
        auto profile = std::make_shared<const core::NoiseFloorProfile>(
            buildNoiseFloorProfile(*accum, activeProfileHash().toStdString(), device.sampleRateHz,
                                   QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString()));
        noiseFloor_.profile = profile;
        noiseFloor_.subtractionEnabled = true;

        if (project_.open) {
            try {
                // Never waited for on the GUI thread: another program saving refuses this save.
                core::saveNoiseFloorProfile(toFsPath(project_.path), *profile, std::chrono::milliseconds(0));
            } catch (const std::exception& error) {
                reportEvent(UiText::tr("Noise floor kept for this session only: %1").arg(textOf(error)));
            }
        } else {
            reportEvent(UiText::tr("Noise floor calibrated for this session (no Project open)"));
        }
        handNoiseFloorToEngines(noiseFloor_.profile, true, engines_.live.get(), engines_.replay.get());
        rebuildNoiseProfileInfo();
        emit noiseSubtractionChanged();
        emit noiseCalibrationProgressChanged();
        reportEvent(UiText::tr("Noise floor calibrated"));
    } catch (const std::exception& error) {
        reportEvent(UiText::tr("Noise calibration failed: %1").arg(textOf(error)));
    }
}

}  // namespace zk::app
