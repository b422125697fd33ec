// Replay of a stored Measurement through the Replay engine.
#include "app/ui_controller.h"

namespace zk::app {

QString UiController::replayState() const {
    switch (replayState_.load()) {
        case kReplayLoading:
            return QStringLiteral("Loading");
        case kReplayPlaying:
            return QStringLiteral("Playing");
        case kReplayPaused:
            return QStringLiteral("Paused");
        case kReplayFinished:
            return QStringLiteral("Finished");
        case kReplayFaulted:
            return QStringLiteral("Faulted");
        default:
            return QStringLiteral("Idle");
    }
}
bool UiController::replayActive() const {
    const std::int32_t state = replayState_.load();
    return state == kReplayLoading || state == kReplayPlaying || state == kReplayPaused;
}
bool UiController::replayPlaying() const { return replayState_.load() == kReplayPlaying; }
bool UiController::replayPaused() const { return false; }
bool UiController::canPauseReplay() const {
    const std::int32_t state = replayState_.load();
    return state == kReplayPlaying || state == kReplayPaused;
}
bool UiController::canStopReplay() const { return replayState_.load() != kReplayIdle; }
bool UiController::canStartReplay() const {
    const std::int32_t replay = replayState_.load();
    const std::int32_t session = sessionState_.load();
    return (replay == kReplayIdle || replay == kReplayFinished || replay == kReplayFaulted) &&
           session != kStarting && session != kRunning && session != kStopping && hasSelectedMeasurement() &&
           selectedMeasurementRawAvailable() && recordingState_.load() == kRecordingIdle &&
           !fullRecomputeRunning_.load();
}
QString UiController::replayMeasurementId() const { return {}; }
QString UiController::replayProfileInfo() const { return {}; }
QString UiController::replayMetrics() const { return replayMetrics_; }
double UiController::replayPositionSeconds() const { return 0.0; }
double UiController::replayDurationSeconds() const { return 0.0; }

void UiController::refreshReplayPosition() {
    emit replayPositionChanged();
    emit replayDurationChanged();
}

void UiController::startSelectedMeasurementReplay() {}
void UiController::setReplayPaused(bool paused) { Q_UNUSED(paused); }
void UiController::seekReplay(double seconds) { Q_UNUSED(seconds); }
void UiController::stopReplay() {}
void UiController::analyzeReplayPosition() {}

}  // namespace zk::app
