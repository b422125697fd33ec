// Noise-floor calibration and subtraction.
#include <QCoreApplication>
#include <QTimer>

#include "app/ui_controller.h"

namespace zk::app {

bool UiController::noiseSubtractionEnabled() const { return noiseFloor_.subtractionEnabled; }
bool UiController::noiseCalibrating() const { return run_.noiseCalibrating.load(); }
bool UiController::noiseProfileValid() const {
    const core::NoiseFloorProfile* profile = noiseFloor_.profile.get();
    return profile != nullptr && profile->isValid() &&
           QString::fromStdString(profile->profileHash) == activeProfileHash();
}
QString UiController::noiseProfileInfo() const { return noiseFloor_.info; }
double UiController::noiseCalibrationRemainingSeconds() const { return 0.0; }

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

void UiController::setNoiseSubtractionEnabled(bool enabled) { Q_UNUSED(enabled); }
void UiController::startNoiseCalibration() {}
void UiController::cancelNoiseCalibration() {}
void UiController::advanceNoiseCalibration() { timers_.noiseCalibration->stop(); }

}  // namespace zk::app
