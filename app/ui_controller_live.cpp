// Session states, availability flags and live session control.
#include <QCoreApplication>
#include <QImage>
#include <algorithm>
#include <cmath>

#include "app/live_runner.h"
#include "app/platform/process_memory.h"
#include "app/settings_rules.h"
#include "app/ui_controller.h"
#include "core/beamforming/camera_grid.h"
#include "core/streaming/source_analysis.h"
#include "core/streaming/streaming_acoustic_engine.h"
#include "core/streaming/synthetic_source.h"
#include "core/streaming/udp_source.h"
#include "render/diagnostic_image_provider.h"

namespace zk::app {

namespace {

// The array's stream: port, a receive buffer for bursts of the network, and the longest wait of a read.
constexpr std::int32_t kLiveUdpPort = 6666;
constexpr std::int32_t kLiveUdpReceiveBufferBytes = 16777216;
constexpr std::int32_t kLiveUdpReadTimeoutMs = 250;

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
    return (profileState_.session.hasProfile() && (state == kReady || state == kRunning)) ||
           (replayBusy(run_.replay.load()) && profileState_.frozen.isValid());
}

bool UiController::canStart() const {
    const std::int32_t state = run_.session.load();
    return run_.recording.load() == kRecordingIdle && run_.replay.load() == kReplayIdle &&
           !run_.fullRecomputeRunning.load() && (state == kReady || state == kFaulted) &&
           profileState_.session.hasProfile();
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

void UiController::startLive() {
    try {
        if (run_.replay.load() != kReplayIdle) stopReplay();
        if (run_.fullRecomputeRunning.load()) {
            run_.fullRecomputeCancel.store(true);
            if (threads_.fullRecompute.joinable()) {
                threads_.fullRecompute.request_stop();
                threads_.fullRecompute.join();
            }
        }
        platform::trimHeap();
        if (!canStart()) {
            reportEvent(UiText::tr("Start requires a validated Device Profile and Ready state"));
            return;
        }

        LiveRunner::stopThreads(*this);
        stopAndDeleteLiveSources();

        liveSession_.counters.zero();
        liveSession_.udp.zero();
        liveSession_.degradationSeenSum = 0;
        liveSession_.degradationWarnedNs = 0;
        if (liveSession_.mapStale.exchange(false)) emit mapStaleChanged();
        map_.hasHeatmap.store(false);
        resetLiveView();
        emit heatmapUpdated();

        setSessionState(kStarting);
        reportEvent(UiText::tr("Starting acquisition transaction..."));
        liveSession_.committed.store(false);
    } catch (const std::exception& error) {
        refuseFailedStart(QString::fromUtf8(error.what()));
        return;
    } catch (...) {
        refuseFailedStart(UiText::tr("unknown error"));
        return;
    }

    try {
        profileState_.session.start();
        const core::DeviceProfile profile = profileState_.session.runtimeConfig();

        const bool fromUdp = live_.source == QLatin1String("UDP");
        if (fromUdp) {
            auto udp = std::make_unique<core::UdpSource>(kLiveUdpPort, kLiveUdpReceiveBufferBytes,
                                                         kLiveUdpReadTimeoutMs);
            udp->configure(profile);
            sources_.udp = std::move(udp);
        } else {
            liveSession_.syntheticSettings.frequencyHz = live_.frequency;
            liveSession_.syntheticSettings.tangentPlane = true;
            liveSession_.syntheticSettings.tangentAngleXDeg = live_.azimuth;
            liveSession_.syntheticSettings.tangentAngleYDeg = live_.elevation;
            auto synthetic = std::make_unique<core::SyntheticSource>(liveSession_.syntheticSettings);
            synthetic->configure(profile);
            sources_.synthetic = std::move(synthetic);
        }

        core::StreamingEngineConfig config;
        config.frameSize = kStreamFrameSize;
        config.hopSize = kStreamHopSize;
        config.frequencyHz = live_.frequency;
        config.band = live_.band;
        config.csmTauSeconds = heatmapSettings_.csmTauSeconds.load();
        config.mapIntervalMs = 100;
        config.asyncMaps = true;
        config.useBinRotation = true;
        config.dasMaxThreads = 4;
        config.beamforming = live_.beamforming;
        {
            std::lock_guard lock(engines_.liveMutex);
            engines_.live->configure(profile, config);
        }
        handNoiseFloorToEngines(noiseFloor_.profile, noiseFloor_.subtractionEnabled, engines_.live.get(),
                                engines_.replay.get());

        liveSession_.datagramBytes = profile.udp ? profile.udp->datagramBytes : 0;
        run_.liveRunning.store(true);
        LiveRunner::startThreads(*this, profile);
        if (sources_.udp) sources_.udp->start();

        liveSession_.committed.store(true);
        setSessionState(kRunning);
        reportEvent(UiText::tr("Live acquisition running from %1").arg(live_.source));
    } catch (const std::exception& error) {
        failLiveStart(QString::fromUtf8(error.what()));
    } catch (...) {
        failLiveStart(UiText::tr("unknown error"));
    }
}

// Before the transaction nothing was made: a start already shown as Starting ends Faulted, any other
// only reports the failure.
void UiController::refuseFailedStart(const QString& reason) {
    if (run_.session.load() == kStarting) {
        failLiveStart(reason);
        return;
    }
    try {
        reportEvent(UiText::tr("Start transaction failed: %1").arg(reason));
    } catch (...) {
        // Out of memory for the report itself; nothing changed.
    }
}

void UiController::failLiveStart(const QString& reason) {
    try {
        liveSession_.committed.store(false);
        run_.liveRunning.store(false);
        LiveRunner::stopThreads(*this);
        stopAndDeleteLiveSources();
        if (profileState_.session.state() == core::DeviceSession::kRunning) profileState_.session.stop();
        setSessionState(kFaulted);
        reportEvent(UiText::tr("Start transaction failed: %1").arg(reason));
    } catch (...) {
        // Only the report can still fail here (out of memory); the threads and sources are gone.
        setSessionState(kFaulted);
    }
}

void UiController::stopLive() { haltLive(false); }

void UiController::haltLive(bool faulted) {
    try {
        if (run_.session.load() != kRunning) return;
        if (run_.noiseCalibrating.load()) cancelNoiseCalibration();
        if (run_.recording.load() == kRecordingActive) stopRecording();

        setSessionState(kStopping);
        if (!faulted) reportEvent(UiText::tr("Stopping acquisition..."));

        run_.liveRunning.store(false);
        liveSession_.committed.store(false);
        // Wakes an acquisition thread waiting in readFrames.
        if (sources_.udp) sources_.udp->stop();
        LiveRunner::stopThreads(*this);
        stopAndDeleteLiveSources();
        if (liveSession_.mapStale.exchange(false)) emit mapStaleChanged();
        {
            // The next start configures the engine afresh, so a stopped session keeps none of it.
            std::lock_guard lock(engines_.liveMutex);
            engines_.live->release();
        }
        {
            std::lock_guard lock(diagnostics_.mutex);
            diagnostics_.state.history.clear();
            diagnostics_.state.ring = render::FrameRing{};
            diagnostics_.state.waterfall.image = QImage();
        }
        platform::trimHeap();
        if (profileState_.session.state() == core::DeviceSession::kRunning) profileState_.session.stop();

        setLiveMetricsText(QCoreApplication::translate("UiController", "Live stopped"));
        setSessionState(faulted ? kFaulted : kReady);
        if (!faulted) reportEvent(UiText::tr("Acquisition stopped; Device Profile remains ready"));
    } catch (...) {
        // Only a report can fail here (out of memory): whatever happened, no worker and no source may
        // outlive the stop, and the profile stays ready.
        run_.liveRunning.store(false);
        liveSession_.committed.store(false);
        LiveRunner::stopThreads(*this);
        stopAndDeleteLiveSources();
        if (profileState_.session.state() == core::DeviceSession::kRunning) profileState_.session.stop();
        setSessionState(faulted ? kFaulted : kReady);
    }
}

void UiController::stopAndDeleteLiveSources() {
    if (sources_.udp) sources_.udp->stop();
    sources_.udp.reset();
    sources_.synthetic.reset();
}

void UiController::resetLiveView() {
    diagnostics_.outputs.diagnosticSource.store(0);
    {
        std::lock_guard lock(diagnostics_.mutex);
        diagnostics_.state.history.clear();
        diagnostics_.state.ring = render::FrameRing{};
        diagnostics_.state.accumulators.reset(0);
        diagnostics_.state.lastRenderNs = 0;
        diagnostics_.state.skippedBlocks = 0;
        diagnostics_.state.waterfall.image = QImage();
        diagnostics_.state.setSummaryNote(
            QCoreApplication::translate("UiController", "Waiting for raw samples"));
    }
    {
        std::lock_guard lock(diagnostics_.meterMutex);
        diagnostics_.meters.spectrumLevels.clear();
    }
    for (const char* id : {"levels", "waveform", "spectrum", "analysisSpectrum", "waterfall"}) {
        imageOutputs_.diagnosticProvider->setImage(QString::fromLatin1(id), QImage());
    }
    diagnostics_.outputs.diagnosticRevision.fetch_add(1);
    emit diagnosticsUpdated();
    emit spectrumLevelsChanged();
}

void UiController::runOnce() {
    try {
        const std::int32_t state = run_.session.load();
        if (state == kRunning || state == kStarting || state == kStopping ||
            run_.recording.load() == kRecordingFinalizing || run_.replay.load() == kReplayLoading ||
            run_.fullRecomputeRunning.load()) {
            reportEvent(UiText::tr("Stop the active session before running a one-shot analysis"));
            return;
        }
        if (!profileState_.session.hasProfile()) {
            reportEvent(UiText::tr("Import a Device Profile first"));
            return;
        }
        const core::DeviceProfile profile = profileState_.live;
        core::SourceAnalysisSettings settings;
        settings.frameSize = 256;
        settings.hopSize = 128;
        settings.frameCount = 1024;
        // Off bin 0 and the Nyquist bin, where a real signal has no power to map.
        settings.bin = static_cast<std::uint64_t>(std::clamp(
            std::lround(live_.frequency / static_cast<double>(profile.sampleRateHz) * 256.0), 1L, 127L));
        settings.frequencyHz = live_.frequency;
        const core::CameraFieldOfView fov = core::mapFieldOfView(profile);
        const double halfH = fov.horizontalDeg / 2.0;
        const double halfV = fov.verticalDeg / 2.0;
        settings.azimuthMinDeg = -halfH;
        settings.azimuthMaxDeg = halfH;
        settings.azimuthCount = static_cast<std::uint64_t>(std::floor(2.0 * halfH)) + 1;
        settings.elevationMinDeg = -halfV;
        settings.elevationMaxDeg = halfV;
        settings.elevationCount = static_cast<std::uint64_t>(std::floor(2.0 * halfV)) + 1;
        settings.cameraGrid = true;
        settings.removeCsmDiagonal = false;
        settings.tolerateShortInput = false;

        core::HeatmapGrid map;
        if (live_.source == QLatin1String("Synthetic")) {
            liveSession_.syntheticSettings.frequencyHz = live_.frequency;
            liveSession_.syntheticSettings.tangentPlane = true;
            liveSession_.syntheticSettings.tangentAngleXDeg = live_.azimuth;
            liveSession_.syntheticSettings.tangentAngleYDeg = live_.elevation;
            map = core::runSyntheticSelfCheck(profile, liveSession_.syntheticSettings, settings);
        } else {
            core::UdpSource udp(kLiveUdpPort, kLiveUdpReceiveBufferBytes, kLiveUdpReadTimeoutMs);
            udp.configure(profile);
            udp.start();
            map = core::runSourceAnalysis(udp, profile, settings);
            udp.stop();
        }
        publishMap(std::move(map), render::kMapSourceLive);
        reportEvent(UiText::tr("Run complete"));
    } catch (const std::exception& error) {
        reportEvent(UiText::tr("Run failed: %1").arg(QString::fromUtf8(error.what())));
    } catch (...) {
        reportEvent(UiText::tr("Run failed: %1").arg(UiText::tr("unknown error")));
    }
}

// The working set follows on its own on this platform: returning free heap pages is the whole trim.
void UiController::trimMemory() { platform::trimHeap(); }

}  // namespace zk::app
