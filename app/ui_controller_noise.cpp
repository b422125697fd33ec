// Noise-floor calibration and subtraction.
#include <QCoreApplication>
#include <QTimer>

#include "app/ui_controller.h"

namespace zk::app {

bool UiController::noiseSubtractionEnabled() const { return false; }
bool UiController::noiseCalibrating() const { return noiseCalibrating_.load(); }
bool UiController::noiseProfileValid() const { return false; }
QString UiController::noiseProfileInfo() const { return noiseProfileInfo_; }
double UiController::noiseCalibrationRemainingSeconds() const { return 0.0; }

void UiController::rebuildNoiseProfileInfo() {
    noiseProfileInfo_ = QCoreApplication::translate("UiController", "Not calibrated");
}

void UiController::setNoiseSubtractionEnabled(bool enabled) { Q_UNUSED(enabled); }
void UiController::startNoiseCalibration() {}
void UiController::cancelNoiseCalibration() {}
void UiController::advanceNoiseCalibration() { noiseCalibrationTimer_->stop(); }

}  // namespace zk::app
