// Session states, availability flags and live session control.
#include <QCoreApplication>
#include <QImage>
#include <algorithm>
#include <cmath>

#include "app/platform/process_memory.h"
#include "app/ui_controller.h"
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

bool editableState(std::int32_t state) {
    return state == UiController::kNoProfile || state == UiController::kReady ||
           state == UiController::kFaulted;
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
           !fullRecomputeRunning_.load() && (state == kReady || state == kFaulted) &&
           deviceSession_.hasProfile();
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

void UiController::startLive() {
    try {
        if (replayState_.load() != kReplayIdle) stopReplay();
        if (fullRecomputeRunning_.load()) {
            fullRecomputeCancel_.store(true);
            if (fullRecomputeThread_.joinable()) {
                fullRecomputeThread_.request_stop();
                fullRecomputeThread_.join();
            }
        }
        platform::trimHeap();
        if (!canStart()) {
            reportEvent(QStringLiteral("Start requires a validated Device Profile and Ready state"));
            return;
        }

        stopLiveThreads();
        stopAndDeleteLiveSources();

        live_.counters.zero();
        live_.udp.zero();
        live_.degradationSeenSum = 0;
        live_.degradationWarnedNs = 0;
        hasHeatmap_.store(false);
        resetLiveView();
        emit heatmapUpdated();

        setSessionState(kStarting);
        reportEvent(QStringLiteral("Starting acquisition transaction..."));
        live_.committed.store(false);
    } catch (const std::exception& error) {
        refuseFailedStart(QString::fromUtf8(error.what()));
        return;
    } catch (...) {
        refuseFailedStart(QStringLiteral("unknown error"));
        return;
    }

    try {
        deviceSession_.start();
        const core::DeviceProfile profile = deviceSession_.runtimeConfig();

        const bool fromUdp = source_ == QLatin1String("UDP");
        if (fromUdp) {
            auto udp = std::make_unique<core::UdpSource>(kLiveUdpPort, kLiveUdpReceiveBufferBytes,
                                                         kLiveUdpReadTimeoutMs);
            udp->configure(profile);
            udpSource_ = std::move(udp);
        } else {
            live_.syntheticSettings.frequencyHz = frequency_;
            live_.syntheticSettings.tangentPlane = true;
            live_.syntheticSettings.tangentAngleXDeg = azimuth_;
            live_.syntheticSettings.tangentAngleYDeg = elevation_;
            auto synthetic = std::make_unique<core::SyntheticSource>(live_.syntheticSettings);
            synthetic->configure(profile);
            syntheticSource_ = std::move(synthetic);
        }

        core::StreamingEngineConfig config;
        config.frameSize = 1024;
        config.hopSize = 512;
        config.frequencyHz = frequency_;
        config.band = liveBand_;
        config.csmTauSeconds = heatmapSettings_.csmTauSeconds.load();
        config.mapIntervalMs = 100;
        config.asyncMaps = true;
        config.useBinRotation = true;
        config.dasMaxThreads = 4;
        config.beamforming = liveBeamforming_;
        {
            std::lock_guard lock(liveEngineMutex_);
            liveEngine_->configure(profile, config);
        }

        liveRunning_.store(true);
        startLiveThreads(profile);
        if (udpSource_) udpSource_->start();

        live_.committed.store(true);
        setSessionState(kRunning);
        reportEvent(QStringLiteral("Live acquisition running from %1")
                        .arg(fromUdp ? QStringLiteral("UDP") : QStringLiteral("Synthetic")));
    } catch (const std::exception& error) {
        failLiveStart(QString::fromUtf8(error.what()));
    } catch (...) {
        failLiveStart(QStringLiteral("unknown error"));
    }
}

// Before the transaction nothing was made: a start already shown as Starting ends Faulted, any other
// only reports the failure.
void UiController::refuseFailedStart(const QString& reason) {
    if (sessionState_.load() == kStarting) {
        failLiveStart(reason);
        return;
    }
    try {
        reportEvent(QStringLiteral("Start transaction failed: %1").arg(reason));
    } catch (...) {
        // Out of memory for the report itself; nothing changed.
    }
}

void UiController::failLiveStart(const QString& reason) {
    try {
        live_.committed.store(false);
        liveRunning_.store(false);
        stopLiveThreads();
        stopAndDeleteLiveSources();
        if (deviceSession_.state() == core::DeviceSession::kRunning) deviceSession_.stop();
        setSessionState(kFaulted);
        reportEvent(QStringLiteral("Start transaction failed: %1").arg(reason));
    } catch (...) {
        // Only the report can still fail here (out of memory); the threads and sources are gone.
        setSessionState(kFaulted);
    }
}

void UiController::stopLive() {
    try {
        if (sessionState_.load() != kRunning) return;
        if (noiseCalibrating_.load()) cancelNoiseCalibration();
        if (recordingState_.load() == kRecordingActive) stopRecording();

        setSessionState(kStopping);
        reportEvent(QStringLiteral("Stopping acquisition..."));

        liveRunning_.store(false);
        live_.committed.store(false);
        // Wakes an acquisition thread waiting in readFrames.
        if (udpSource_) udpSource_->stop();
        stopLiveThreads();
        stopAndDeleteLiveSources();
        {
            std::lock_guard lock(liveEngineMutex_);
            liveEngine_->reset();
        }
        {
            std::lock_guard lock(diagnosticsMutex_);
            diagnosticsState_.history.clear();
            diagnosticsState_.ring = render::FrameRing{};
            diagnosticsState_.waterfall.image = QImage();
        }
        if (deviceSession_.state() == core::DeviceSession::kRunning) deviceSession_.stop();

        setLiveMetricsText(QCoreApplication::translate("UiController", "Live stopped"));
        setSessionState(kReady);
        reportEvent(QStringLiteral("Acquisition stopped; Device Profile remains ready"));
    } catch (...) {
        // Only a report can fail here (out of memory): whatever happened, no worker and no source may
        // outlive the stop, and the profile stays ready.
        liveRunning_.store(false);
        live_.committed.store(false);
        stopLiveThreads();
        stopAndDeleteLiveSources();
        if (deviceSession_.state() == core::DeviceSession::kRunning) deviceSession_.stop();
        setSessionState(kReady);
    }
}

void UiController::stopAndDeleteLiveSources() {
    if (udpSource_) udpSource_->stop();
    udpSource_.reset();
    syntheticSource_.reset();
}

void UiController::resetLiveView() {
    diagnosticOutputs_.diagnosticSource.store(0);
    {
        std::lock_guard lock(diagnosticsMutex_);
        diagnosticsState_.history.clear();
        diagnosticsState_.ring = render::FrameRing{};
        diagnosticsState_.accumulators.reset(0);
        diagnosticsState_.lastRenderNs = 0;
        diagnosticsState_.skippedBlocks = 0;
        diagnosticsState_.waterfall.image = QImage();
        diagnosticsState_.summary = QCoreApplication::translate("UiController", "Waiting for raw samples");
    }
    for (const char* id : {"levels", "waveform", "spectrum", "analysisSpectrum", "waterfall"}) {
        diagnosticProvider_->setImage(QString::fromLatin1(id), QImage());
    }
    diagnosticOutputs_.diagnosticRevision.fetch_add(1);
    emit diagnosticsUpdated();
}

void UiController::runOnce() {
    try {
        const std::int32_t state = sessionState_.load();
        if (state == kRunning || state == kStarting || state == kStopping ||
            recordingState_.load() == kRecordingFinalizing || replayState_.load() == kReplayLoading ||
            fullRecomputeRunning_.load()) {
            reportEvent(QStringLiteral("Stop the active session before running a one-shot analysis"));
            return;
        }
        if (!deviceSession_.hasProfile()) {
            reportEvent(QStringLiteral("Import a Device Profile first"));
            return;
        }
        const core::DeviceProfile profile = liveProfile_;
        core::SourceAnalysisSettings settings;
        settings.frameSize = 256;
        settings.hopSize = 128;
        settings.frameCount = 1024;
        settings.bin = static_cast<std::uint64_t>(
            std::max(0L, std::lround(frequency_ / static_cast<double>(profile.sampleRateHz) * 256.0)));
        settings.frequencyHz = frequency_;
        const bool hasFieldOfView =
            profile.camera.has_value() && profile.camera->hfovDeg > 0.0 && profile.camera->vfovDeg > 0.0;
        const double halfH = hasFieldOfView ? profile.camera->hfovDeg / 2.0 : 32.0;
        const double halfV = hasFieldOfView ? profile.camera->vfovDeg / 2.0 : 24.0;
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
        if (source_ == QLatin1String("Synthetic")) {
            live_.syntheticSettings.frequencyHz = frequency_;
            live_.syntheticSettings.tangentPlane = true;
            live_.syntheticSettings.tangentAngleXDeg = azimuth_;
            live_.syntheticSettings.tangentAngleYDeg = elevation_;
            map = core::runSyntheticSelfCheck(profile, live_.syntheticSettings, settings);
        } else {
            core::UdpSource udp(kLiveUdpPort, kLiveUdpReceiveBufferBytes, kLiveUdpReadTimeoutMs);
            udp.configure(profile);
            udp.start();
            map = core::runSourceAnalysis(udp, profile, settings);
            udp.stop();
        }
        publishMap(std::move(map), render::kMapSourceLive);
        reportEvent(QStringLiteral("Run complete"));
    } catch (const std::exception& error) {
        reportEvent(QStringLiteral("Run failed: %1").arg(QString::fromUtf8(error.what())));
    } catch (...) {
        reportEvent(QStringLiteral("Run failed: %1").arg(QStringLiteral("unknown error")));
    }
}

// The working set follows on its own on this platform: returning free heap pages is the whole trim.
void UiController::trimMemory() { platform::trimHeap(); }

}  // namespace zk::app
