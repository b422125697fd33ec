// Session states, availability flags and live session control.
#include "app/platform/process_memory.h"
#include "app/ui_controller.h"

namespace zk::app {

namespace {

bool editableState(std::int32_t state) {
    return state == UiController::kNoProfile || state == UiController::kReady || state == UiController::kFaulted;
}

bool replayBusy(std::int32_t state) {
    return state == UiController::kReplayLoading || state == UiController::kReplayPlaying ||
           state == UiController::kReplayPaused;
}

}  // namespace

QString UiController::sessionState() const {
    switch (sessionState_.load()) {
        case kNoProfile:
            return QStringLiteral("NoProfile");
        case kReady:
            return QStringLiteral("Ready");
        case kStarting:
            return QStringLiteral("Starting");
        case kRunning:
            return QStringLiteral("Running");
        case kStopping:
            return QStringLiteral("Stopping");
        default:
            return QStringLiteral("Faulted");
    }
}

bool UiController::canChangeSource() const {
    return recordingState_.load() == kRecordingIdle && !replayBusy(replayState_.load()) &&
           editableState(sessionState_.load());
}

bool UiController::canEditAcquisition() const { return canChangeSource(); }

bool UiController::canEditFrequencyBand() const {
    const std::int32_t state = sessionState_.load();
    return (deviceSession_.hasProfile() && (state == kReady || state == kRunning)) ||
           (replayBusy(replayState_.load()) && frozenProfile_.isValid());
}

bool UiController::canStart() const {
    const std::int32_t state = sessionState_.load();
    return recordingState_.load() == kRecordingIdle && replayState_.load() == kReplayIdle &&
           !fullRecomputeRunning_.load() && (state == kReady || state == kFaulted) && deviceSession_.hasProfile();
}

bool UiController::canStop() const { return sessionState_.load() == kRunning; }

bool UiController::busy() const {
    const std::int32_t state = sessionState_.load();
    return recordingState_.load() == kRecordingFinalizing || replayState_.load() == kReplayLoading ||
           fullRecomputeRunning_.load() || state == kStarting || state == kStopping;
}

bool UiController::canCalibrateNoise() const {
    return !noiseCalibrating_.load() && recordingState_.load() == kRecordingIdle &&
           !replayBusy(replayState_.load()) && sessionState_.load() == kRunning;
}

void UiController::startLive() {}

void UiController::stopLive() {}

void UiController::runOnce() {}

void UiController::trimMemory() { platform::trimHeap(); }

void UiController::stopLiveThreads() {
    liveRunning_.store(false);
    for (std::jthread* thread : {&acquisitionThread_, &dspThread_, &liveMapThread_, &liveDiagnosticsThread_}) {
        if (thread->joinable()) thread->request_stop();
    }
    for (std::jthread* thread : {&acquisitionThread_, &dspThread_, &liveMapThread_, &liveDiagnosticsThread_}) {
        if (thread->joinable()) thread->join();
    }
}

}  // namespace zk::app
