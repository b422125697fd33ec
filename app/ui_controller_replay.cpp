// Replay of a stored Measurement through the Replay engine: the operations of the GUI thread and the
// handlers the reader posts to it.
#include <algorithm>
#include <cmath>

#include "app/platform/process_memory.h"
#include "app/replay_runner.h"
#include "app/settings_rules.h"
#include "app/ui_controller.h"
#include "core/streaming/replay_source.h"
#include "core/streaming/streaming_acoustic_engine.h"

namespace zk::app {

namespace {

QString errorText(const std::exception& error) { return QString::fromUtf8(error.what()); }

}  // namespace

double ReplayRunner::limitedFrequency(double hz, double sampleRateHz) {
    return frequencyForSampleRate(hz, sampleRateHz);
}

core::FrequencyBandParameters ReplayRunner::limitedBand(core::FrequencyBandParameters band,
                                                        double sampleRateHz) {
    band.centerHz = limitedFrequency(band.centerHz, sampleRateHz);
    return band;
}

void ReplayRunner::setState(UiController& ui, std::int32_t state) {
    const bool wasActive = ui.replayActive();
    if (ui.run_.replay.exchange(state) == state) return;
    emit ui.replayStateChanged();
    emit ui.uiStateChanged();
    // The noise floor is judged against the replayed Measurement's profile while a Replay is active.
    if (ui.replayActive() != wasActive) {
        ui.rebuildNoiseProfileInfo();
        emit ui.noiseSubtractionChanged();
    }
}

void ReplayRunner::refreshPausedMap(UiController& ui) {
    if (!ui.replayActive() || !ui.replay_.paused.load() || !ui.profileState_.frozen.isValid()) return;
    ui.replay_.seekTargetFrames.store(
        std::llround(ui.profileState_.frozen.sampleRateHz * ui.replay_.positionSeconds.load()));
}

// Only a Replay whose reader configured the engine takes settings; one still loading gets them when
// its start handler runs, and says so.
void ReplayRunner::reportPendingWhileLoading(UiController& ui) {
    if (ui.run_.replay.load() != kReplayLoading) return;
    ui.reportEvent(UiText::tr("Replay frequency band pending: %1")
                       .arg(UiText::tr(qUtf8Printable(ui.frequencyBandMode()))));
}

void ReplayRunner::publishBand(UiController& ui) {
    reportPendingWhileLoading(ui);
    const std::int32_t state = ui.run_.replay.load();
    if (state != kReplayPlaying && state != kReplayPaused) return;
    try {
        ui.engines_.replay->setFrequencyBand(
            limitedBand(ui.live_.band, ui.profileState_.frozen.sampleRateHz));
        ui.reportEvent(UiText::tr("Replay frequency band pending: %1")
                           .arg(UiText::tr(qUtf8Printable(ui.frequencyBandMode()))));
    } catch (const std::exception& error) {
        ui.reportEvent(UiText::tr("Replay frequency-band update failed: %1").arg(errorText(error)));
    }
}

void ReplayRunner::publishBeamforming(UiController& ui) {
    reportPendingWhileLoading(ui);
    const std::int32_t state = ui.run_.replay.load();
    if (state != kReplayPlaying && state != kReplayPaused) return;
    try {
        ui.engines_.replay->setBeamformingParameters(ui.live_.beamforming);
    } catch (const std::exception& error) {
        ui.reportEvent(UiText::tr("Replay beamforming update failed: %1").arg(errorText(error)));
    }
}

void ReplayRunner::onStarted(UiController& ui) {
    ui.replay_.metrics = UiText::tr("1.0x · frozen Profile · hash verified");
    emit ui.replayMetricsChanged();
    emit ui.replayDurationChanged();
    for (core::StreamingAcousticEngine* engine : {ui.engines_.live.get(), ui.engines_.replay.get()}) {
        engine->setNoiseFloorProfile(ui.noiseFloor_.profile);
        engine->setNoiseSubtractionEnabled(ui.noiseFloor_.subtractionEnabled);
    }
    setState(ui, kReplayPlaying);
    // Settings changed while the reader was loading reach the engine now; unchanged ones are no-ops.
    try {
        ui.engines_.replay->setFrequencyBand(
            limitedBand(ui.live_.band, ui.profileState_.frozen.sampleRateHz));
        ui.engines_.replay->setBeamformingParameters(ui.live_.beamforming);
    } catch (const std::exception& error) {
        ui.reportEvent(UiText::tr("Replay beamforming update failed: %1").arg(errorText(error)));
    }
    ui.reportEvent(UiText::tr("Replaying Measurement %1").arg(ui.replay_.measurementId));
}

void ReplayRunner::releaseEnded(UiController& ui) {
    // A finished or failed Replay is neither resumed nor sought: its reader has ended, and its engine and
    // source are given back now rather than at the next stop or start.
    stopThreads(ui);
    if (ui.sources_.replay) ui.sources_.replay->stop();
    ui.sources_.replay.reset();
    ui.engines_.replay->release();
    platform::trimHeap();
}

void ReplayRunner::onFinished(UiController& ui) {
    ui.replay_.paused.store(false);
    ui.replay_.metrics =
        UiText::tr("Complete · %1 hops · integrity verified").arg(ui.engines_.replay->processedBlockCount());
    releaseEnded(ui);
    emit ui.replayPausedChanged();
    emit ui.replayPositionChanged();
    emit ui.replayMetricsChanged();
    setState(ui, kReplayFinished);
    ui.reportEvent(UiText::tr("Replay complete: %1").arg(ui.replay_.measurementId));
    emit ui.replayFinished(true, ui.replay_.measurementId);
}

void ReplayRunner::onFailed(UiController& ui, const QString& error) {
    releaseEnded(ui);
    ui.replay_.metrics = error;
    emit ui.replayMetricsChanged();
    setState(ui, kReplayFaulted);
    ui.reportEvent(UiText::tr("Replay failed: %1").arg(error));
    emit ui.replayFinished(false, ui.replay_.measurementId);
}

QString UiController::replayState() const {
    switch (run_.replay.load()) {
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
    const std::int32_t state = run_.replay.load();
    return state == kReplayLoading || state == kReplayPlaying || state == kReplayPaused;
}
bool UiController::replayPlaying() const { return run_.replay.load() == kReplayPlaying; }
bool UiController::replayPaused() const { return replay_.paused.load(); }
bool UiController::canPauseReplay() const {
    const std::int32_t state = run_.replay.load();
    return state == kReplayPlaying || state == kReplayPaused;
}
bool UiController::canStopReplay() const { return run_.replay.load() != kReplayIdle; }
bool UiController::canStartReplay() const { return startReplayBlocker().isEmpty(); }
QString UiController::startReplayBlocker() const {
    const std::int32_t replay = run_.replay.load();
    const std::int32_t session = run_.session.load();
    if (session == kStarting || session == kRunning || session == kStopping)
        return UiText::tr("Stop Live before starting Measurement Replay");
    if (!hasSelectedMeasurement()) return UiText::tr("Select a valid Measurement before Replay");
    if (!selectedMeasurementRawAvailable()) return UiText::tr("Replay raw asset is missing");
    if (replay == kReplayLoading || replay == kReplayPlaying || replay == kReplayPaused)
        return UiText::tr("A Replay is running: stop it first");
    if (run_.recording.load() != kRecordingIdle) return UiText::tr("Wait until the Recording is saved");
    if (run_.fullRecomputeRunning.load()) return UiText::tr("Wait until the Full Recompute ends");
    return {};
}
QString UiController::replayMeasurementId() const { return replay_.measurementId; }
QString UiController::replayProfileInfo() const {
    if (replay_.profileId.empty()) return {};
    return profileInfoText(replay_.profileId, replay_.profileSchemaVersion, replay_.profileModel);
}
QString UiController::replayMetrics() const { return replay_.metrics; }
double UiController::replayPositionSeconds() const { return replay_.positionSeconds.load(); }
double UiController::replayDurationSeconds() const { return replay_.durationSeconds.load(); }

void UiController::refreshReplayPosition() {
    emit replayPositionChanged();
    emit replayDurationChanged();
}

void UiController::startSelectedMeasurementReplay() {
    try {
        if (const QString blocker = startReplayBlocker(); !blocker.isEmpty()) {
            reportEvent(blocker);
            return;
        }
        if (run_.replay.load() != kReplayIdle) stopReplay();

        replay_.measurementId = selectedMeasurementId();
        replay_.profileId = profileState_.frozen.profileId;
        replay_.profileSchemaVersion = profileState_.frozen.schemaVersion;
        replay_.profileModel = profileState_.frozen.model;
        replay_.profileHash = QString::fromStdString(project_.selected.profileHash);
        replay_.positionSeconds.store(0.0);
        replay_.durationSeconds.store(0.0);
        replay_.seekTargetFrames.store(-1);
        replay_.paused.store(false);
        map_.hasHeatmap.store(false);
        resetLiveView();
        // A replay's map errors are reported like a live session's: the first one after a start.
        liveSession_.counters.liveErrors.store(0);

        replay_.metrics = UiText::tr("Validating frozen Profile and raw integrity...");
        emit replayPositionChanged();
        emit replayDurationChanged();
        emit replayPausedChanged();
        emit replayMetricsChanged();
        emit heatmapUpdated();

        ReplayRunner::setState(*this, kReplayLoading);
        reportEvent(UiText::tr("Loading Replay %1 with frozen Profile %2")
                        .arg(replay_.measurementId, QString::fromStdString(profileState_.frozen.profileId)));

        const double rate = profileState_.frozen.sampleRateHz;
        ReplayStart start{project_.selected,
                          profileState_.frozen,
                          ReplayRunner::limitedFrequency(live_.frequency, rate),
                          ReplayRunner::limitedBand(live_.band, rate),
                          live_.beamforming,
                          replay_.generation.fetch_add(1) + 1};
        try {
            ReplayRunner::startThreads(*this, std::move(start));
        } catch (const std::exception& error) {
            run_.replayRunning.store(false);
            ReplayRunner::onFailed(*this, errorText(error));
        }
    } catch (const std::exception& error) {
        reportEvent(UiText::tr("Replay failed: %1").arg(errorText(error)));
    } catch (...) {
    }
}

void UiController::setReplayPaused(bool paused) {
    try {
        const std::int32_t state = run_.replay.load();
        if (state != kReplayPlaying && state != kReplayPaused) return;
        replay_.paused.store(paused);
        ReplayRunner::setState(*this, paused ? kReplayPaused : kReplayPlaying);
        emit replayPausedChanged();
        if (paused) {
            reportEvent(UiText::tr("Replay paused at %1 s").arg(replay_.positionSeconds.load(), 0, 'f', 2));
        } else {
            reportEvent(UiText::tr("Replay resumed: %1").arg(replay_.measurementId));
        }
    } catch (...) {
    }
}

void UiController::seekReplay(double seconds) {
    try {
        if (!replayActive() || !profileState_.frozen.isValid() || std::isnan(seconds)) return;
        const double clamped = std::clamp(seconds, 0.0, std::max(0.0, replay_.durationSeconds.load()));
        replay_.requestSeek(std::llround(profileState_.frozen.sampleRateHz * clamped), clamped);
        emit replayPositionChanged();
    } catch (...) {
    }
}

void UiController::stopReplay() {
    try {
        if (run_.replay.load() == kReplayIdle) return;
        if (run_.noiseCalibrating.load()) cancelNoiseCalibration();
        replay_.generation.fetch_add(1);
        ReplayRunner::stopThreads(*this);
        if (sources_.replay) sources_.replay->stop();
        sources_.replay.reset();
        engines_.replay->release();
        platform::trimHeap();

        replay_.paused.store(false);
        replay_.seekTargetFrames.store(-1);
        replay_.positionSeconds.store(0.0);
        replay_.durationSeconds.store(0.0);
        map_.hasHeatmap.store(false);
        resetLiveView();
        replay_.metrics = UiText::tr("Replay stopped");
        emit replayPausedChanged();
        emit replayPositionChanged();
        emit replayDurationChanged();
        emit replayMetricsChanged();
        emit heatmapUpdated();
        ReplayRunner::setState(*this, kReplayIdle);
        reportEvent(UiText::tr("Replay stopped; Live Profile was not changed"));
    } catch (...) {
        // Only a report can fail here (out of memory): no replay thread may outlive the stop.
        ReplayRunner::stopThreads(*this);
        ReplayRunner::setState(*this, kReplayIdle);
    }
}

void UiController::analyzeReplayPosition() {
    try {
        if (!replayActive() || !hasSelectedMeasurement() || !profileState_.frozen.isValid()) {
            reportEvent(UiText::tr("Analyze at position requires an active Replay"));
            return;
        }
        if (run_.fullRecomputeRunning.load()) {
            reportEvent(UiText::tr("Wait for the running Full Recompute to finish"));
            return;
        }
        const double duration = replay_.durationSeconds.load();
        if (!(duration > 0.0)) return;
        const double position = std::clamp(replay_.positionSeconds.load(), 0.0, duration);
        const double window =
            analysis_.windowSeconds > 0.0
                ? analysis_.windowSeconds
                : std::clamp(3.0 * heatmapSettings_.csmTauSeconds.load(), 0.5, std::max(duration, 0.5));
        analysis_.windowStartS = std::max(position - std::min(duration, window), 0.0);
        // Near the start the window reaches on to one whole analysis frame, as far as the Measurement goes.
        const double frameSeconds =
            static_cast<double>(kStreamFrameSize) / std::max(profileState_.frozenSampleRate(), 1.0);
        analysis_.windowEndS = std::min(std::max(position, analysis_.windowStartS + frameSeconds), duration);
        analysis_.hasWindow = true;
        emit analysisWindowChanged();

        analysis_.bandMode = live_.band.mode == 1   ? QStringLiteral("Single")
                             : live_.band.mode == 3 ? QStringLiteral("Custom")
                                                    : QStringLiteral("1/3 octave");
        if (live_.band.mode == 3) analysis_.bandwidthHz = live_.band.bandwidthHz;
        // The Replay's framing and bin, so the position reads what the Replay showed; nothing is stored.
        analysis_.frameSize = kStreamFrameSize;
        analysis_.hopSize = kStreamHopSize;
        analysis_.frequencyHz =
            ReplayRunner::limitedFrequency(live_.frequency, profileState_.frozenSampleRate());
        emit analysisParametersChanged();

        stopReplay();
        createFullRecomputeAnalysis();
    } catch (const std::exception& error) {
        reportEvent(UiText::tr("Analyze at position failed: %1").arg(errorText(error)));
    } catch (...) {
    }
}

}  // namespace zk::app
