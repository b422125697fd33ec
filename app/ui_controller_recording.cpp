// Recording into a new Measurement of the open Project.
#include <cmath>

#include "app/settings_rules.h"
#include "app/ui_controller.h"

namespace zk::app {

QString UiController::recordingState() const {
    switch (recordingState_.load()) {
        case kRecordingActive:
            return QStringLiteral("Recording");
        case kRecordingFinalizing:
            return QStringLiteral("Finalizing");
        default:
            return QStringLiteral("Idle");
    }
}
bool UiController::recording() const { return recordingState_.load() == kRecordingActive; }
bool UiController::canStopRecording() const { return recording(); }
bool UiController::canStartRecording() const {
    return sessionState_.load() == kRunning && hasProject() && recordingState_.load() == kRecordingIdle &&
           !profileJson_.empty();
}
bool UiController::recordingFinalizing() const { return recordingState_.load() == kRecordingFinalizing; }
QString UiController::recordingMeasurementId() const { return {}; }
double UiController::recordingElapsedSeconds() const { return 0.0; }
quint64 UiController::recordingBytes() const { return 0; }
bool UiController::recordingVideoActive() const { return false; }
double UiController::recordingMaxDurationSeconds() const { return recordingMaxDurationSeconds_; }

void UiController::setRecordingMaxDurationSeconds(double seconds) {
    const double next = clampToRange(std::round(seconds), 1.0, 120.0);
    if (next == recordingMaxDurationSeconds_) return;
    recordingMaxDurationSeconds_ = next;
    settings_.setValue(QStringLiteral("recording/maxDurationSec"), next);
    emit recordingMaxDurationChanged();
    emit recordingStatsChanged();
}

void UiController::startRecording() {}
void UiController::stopRecording() {}
void UiController::notifyVideoRecorderStarted() {}
void UiController::notifyVideoRecorderStopped(const QString& actualPath) { Q_UNUSED(actualPath); }

void UiController::finalizeOpenRecordingAtExit() {}

}  // namespace zk::app
