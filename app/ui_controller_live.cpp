// Session states, availability flags and live session control.
#include "app/platform/process_memory.h"
#include "app/ui_controller.h"

namespace zk::app {

namespace {

bool editableState(std::int32_t state) { return state == kNoProfile || state == kReady || state == kFaulted; }

bool replayBusy(std::int32_t state) {
    return state == kReplayLoading || state == kReplayPlaying || state == kReplayPaused;
}

}  // namespace

QString UiController::sessionState() const {
    switch (run_.session.load()) {
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
    return run_.recording.load() == kRecordingIdle && !replayBusy(run_.replay.load()) &&
           editableState(run_.session.load());
}

bool UiController::canEditAcquisition() const { return canChangeSource(); }

bool UiController::canEditFrequencyBand() const {
    const std::int32_t state = run_.session.load();
    return (deviceSession_.hasProfile() && (state == kReady || state == kRunning)) ||
           (replayBusy(run_.replay.load()) && frozenProfile_.isValid());
}

bool UiController::canStart() const {
    const std::int32_t state = run_.session.load();
    return run_.recording.load() == kRecordingIdle && run_.replay.load() == kReplayIdle &&
           !run_.fullRecomputeRunning.load() && (state == kReady || state == kFaulted) &&
           deviceSession_.hasProfile();
}

bool UiController::canStop() const { return run_.session.load() == kRunning; }

bool UiController::busy() const {
    const std::int32_t state = run_.session.load();
    return run_.recording.load() == kRecordingFinalizing || run_.replay.load() == kReplayLoading ||
           run_.fullRecomputeRunning.load() || state == kStarting || state == kStopping;
}

bool UiController::canCalibrateNoise() const {
    return !run_.noiseCalibrating.load() && run_.recording.load() == kRecordingIdle &&
           !replayBusy(run_.replay.load()) && run_.session.load() == kRunning;
}

void UiController::startLive() {}

void UiController::stopLive() {}

void UiController::runOnce() {}

void UiController::trimMemory() { platform::trimHeap(); }

void UiController::stopLiveThreads() {
    run_.liveRunning.store(false);
    dspQueue_.close();
    diagnosticsQueue_.close();
    for (std::jthread* thread :
         {&threads_.acquisition, &threads_.dsp, &threads_.liveMap, &threads_.liveDiagnostics}) {
        if (thread->joinable()) thread->request_stop();
    }
    for (std::jthread* thread :
         {&threads_.acquisition, &threads_.dsp, &threads_.liveMap, &threads_.liveDiagnostics}) {
        if (thread->joinable()) thread->join();
    }
}

}  // namespace zk::app
