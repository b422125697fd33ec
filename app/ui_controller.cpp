#include "app/ui_controller.h"

#include <QCoreApplication>
#include <QQmlEngine>
#include <QTimer>
#include <cmath>
#include <limits>

#include "app/platform/process_memory.h"
#include "app/live_runner.h"
#include "app/replay_runner.h"
#include "app/settings_rules.h"
#include "camera/uvc_camera_control.h"
#include "camera/uvc_control_backend.h"
#include "core/streaming/replay_source.h"
#include "core/streaming/streaming_acoustic_engine.h"
#include "core/streaming/synthetic_source.h"
#include "core/streaming/udp_source.h"
#include "render/diagnostic_image_provider.h"
#include "render/heatmap_image_provider.h"
#include "render/heatmap_painter.h"

namespace zk::app {

namespace {

constexpr int kDiagnosticRowsIntervalMs = 1000;
constexpr int kMemoryLineIntervalMs = 30000;
constexpr int kNoiseCalibrationTickMs = 100;
constexpr int kAnalysisSpectrumDelayMs = 250;

// A stored double, or the fallback when the value is missing, not a number or NaN.
double storedDouble(const QSettings& settings, const QString& key, double fallback) {
    bool ok = false;
    const double value = settings.value(key, fallback).toDouble(&ok);
    return ok && !std::isnan(value) ? value : fallback;
}

// A stored integer within [lo, hi] (the nearer bound outside), or the fallback when unreadable.
int storedInt(const QSettings& settings, const QString& key, int fallback, int lo, int hi) {
    bool ok = false;
    const qlonglong value = settings.value(key, fallback).toLongLong(&ok);
    if (!ok) return fallback;
    return static_cast<int>(std::clamp<qlonglong>(value, lo, hi));
}

double storedInRange(const QSettings& settings, const QString& key, double fallback, double lo, double hi) {
    return clampToRange(storedDouble(settings, key, fallback), lo, hi);
}

}  // namespace

UiController::UiController(QObject* parent, QQmlEngine* engine) : QObject(parent), engine_(engine) {
    camera_.backend = camera::makeSystemUvcBackend();
    camera_.binding = std::make_unique<camera::UvcDeviceBinding>(*camera_.backend);
    camera_.control = std::make_unique<camera::UvcCameraControl>(camera::UvcCameraControl::Owner{
        camera_.state, *camera_.binding, settings_, [this](const QString& text) { appendEventLog(text); },
        [this](const QString& text) { setStatusText(text); }, [this] { emit cameraDevicesChanged(); },
        [this] { emit cameraParametersChanged(); }});

    engines_.live = std::make_unique<core::StreamingAcousticEngine>();
    engines_.replay = std::make_unique<core::StreamingAcousticEngine>();

    analysis_.status = UiText::tr("Select a Measurement to create an AnalysisRun");
    noiseFloor_.info = QCoreApplication::translate("UiController", "Not calibrated");
    diagnostics_.state.setSummaryNote(QCoreApplication::translate("UiController", "Waiting for raw samples"));

    imageOutputs_.heatmapProvider = new render::HeatmapImageProvider();
    imageOutputs_.diagnosticProvider = new render::DiagnosticImageProvider();
    imageOutputs_.painter = std::make_unique<render::HeatmapPainter>(render::HeatmapPainter::Owner{
        map_.mutex, map_.latest, heatmapSettings_, map_.displayMutex, map_.smoothing, map_.shaderStateMutex,
        map_.shaderState, map_.visiblePixels, imageOutputs_.heatmapProvider});

    timers_.diagnosticRows = new QTimer(this);
    timers_.diagnosticRows->setInterval(kDiagnosticRowsIntervalMs);
    connect(timers_.diagnosticRows, &QTimer::timeout, this, &UiController::rebuildDiagnosticRows);
    timers_.diagnosticRows->start();
    timers_.memoryLine = new QTimer(this);
    timers_.memoryLine->setInterval(kMemoryLineIntervalMs);
    connect(timers_.memoryLine, &QTimer::timeout, this, &UiController::writeMemoryLine);
    timers_.memoryLine->start();

    loadRecentProjects();

    timers_.noiseCalibration = new QTimer(this);
    timers_.noiseCalibration->setInterval(kNoiseCalibrationTickMs);
    connect(timers_.noiseCalibration, &QTimer::timeout, this, &UiController::advanceNoiseCalibration);
    timers_.analysisSpectrum = new QTimer(this);
    timers_.analysisSpectrum->setSingleShot(true);
    timers_.analysisSpectrum->setInterval(kAnalysisSpectrumDelayMs);
    connect(timers_.analysisSpectrum, &QTimer::timeout, this, &UiController::renderAnalysisSpectrum);
    timers_.recordingWatchdog = new QTimer(this);
    timers_.recordingWatchdog->setObjectName(QStringLiteral("recordingWatchdog"));
    timers_.recordingWatchdog->setSingleShot(true);
    connect(timers_.recordingWatchdog, &QTimer::timeout, this, &UiController::onRecordingWatchdog);

    readSettingsAtStart();

    refreshCameraDevices();

    {
        std::lock_guard lock(texts_.statusMutex);
        texts_.statusText =
            QCoreApplication::translate("UiController", "Load a validated Device Profile to begin");
    }
    texts_.initialPrompt.store(true);
    {
        std::lock_guard lock(texts_.liveMetricsMutex);
        texts_.liveMetrics = QCoreApplication::translate("UiController", "Live stopped");
    }
}

UiController::~UiController() {
    run_.noiseCalibrating.store(false);
    timers_.noiseCalibration->stop();
    if (threads_.noiseCapture.joinable()) threads_.noiseCapture.join();

    run_.liveRunning.store(false);
    run_.replayRunning.store(false);
    run_.fullRecomputeCancel.store(true);

    if (sources_.udp) sources_.udp->stop();

    LiveRunner::stopThreads(*this);
    ReplayRunner::stopThreads(*this);

    run_.fullRecomputeCancel.store(true);
    if (threads_.fullRecompute.joinable()) {
        threads_.fullRecompute.request_stop();
        threads_.fullRecompute.join();
        platform::trimHeap();
    }

    if (threads_.analysisSpectrum.joinable()) {
        run_.analysisSpectrumCancel.store(true);
        threads_.analysisSpectrum.join();
    }

    finalizeOpenRecordingAtExit();
    if (threads_.recordingFinalize.joinable()) threads_.recordingFinalize.join();

    if (sources_.udp) sources_.udp->stop();
    sources_.udp.reset();
    sources_.synthetic.reset();

    if (!imageOutputs_.handedOver) {
        delete imageOutputs_.heatmapProvider;
        delete imageOutputs_.diagnosticProvider;
    }
}

void UiController::registerImageProviders(QQmlEngine& engine) {
    if (imageOutputs_.handedOver) return;
    engine.addImageProvider(QStringLiteral("heatmap"), imageOutputs_.heatmapProvider);
    engine.addImageProvider(QStringLiteral("diagnostic"), imageOutputs_.diagnosticProvider);
    imageOutputs_.handedOver = true;
}

render::HeatmapImageProvider* UiController::heatmapImageProvider() const {
    return imageOutputs_.heatmapProvider;
}

render::DiagnosticImageProvider* UiController::diagnosticImageProvider() const {
    return imageOutputs_.diagnosticProvider;
}

void UiController::readSettingsAtStart() {
    profileState_.path = settings_.value(QStringLiteral("profilePath")).toString();
    recording_.maxDurationMs.store(static_cast<std::int64_t>(
        1000.0 *
        clampToRange(std::round(storedDouble(settings_, QStringLiteral("recording/maxDurationSec"), 10.0)),
                     1.0, 120.0)));

    const QString storedSource = settings_.value(QStringLiteral("source"), QStringLiteral("UDP")).toString();
    live_.source = storedSource == QLatin1String("Synthetic") ? storedSource : QStringLiteral("UDP");

    live_.frequency = storedDouble(settings_, QStringLiteral("frequency"), 8000.0);
    live_.band.centerHz = live_.frequency;
    live_.azimuth = storedDouble(settings_, QStringLiteral("azimuth"), 0.0);
    live_.elevation = storedDouble(settings_, QStringLiteral("elevation"), 0.0);

    heatmapSettings_.dynamicRange.store(
        storedInRange(settings_, QStringLiteral("dynamicRange"), 20.0, 0.1, 60.0));
    heatmapSettings_.csmTauSeconds.store(
        storedInRange(settings_, QStringLiteral("csmTauSeconds"), 0.1, 0.05, 10.0));
    analysis_.windowSeconds =
        storedInRange(settings_, QStringLiteral("analysisWindowSeconds"), 0.0, 0.0, 5.0);
    heatmapSettings_.levelGateDbfs.store(
        storedInRange(settings_, QStringLiteral("levelGateDbfs"), -90.0, -120.0, 0.0));
    display_.fixedReferenceDbfs.store(
        storedInRange(settings_, QStringLiteral("fixedReferenceDbfs"), -30.0, -120.0, 0.0));
    display_.heatmapScaleMode.store(
        settings_.value(QStringLiteral("heatmapScaleMode")).toString() == QLatin1String("Fixed dBFS") ? 1
                                                                                                      : 0);
    display_.heatmapColormap.store(storedInt(settings_, QStringLiteral("heatmapColormap"), 0, 0, 2));
    display_.heatmapStyle.store(storedInt(settings_, QStringLiteral("heatmapStyle"), 0, 0, 2));
    diagnosticSettings_.waveformWindowS.store(
        storedInRange(settings_, QStringLiteral("waveformWindowS"), 0.5, 0.1, 5.0));
    diagnosticSettings_.overlayWindowS.store(
        storedInRange(settings_, QStringLiteral("overlayWindowS"), 0.02, 0.005, 0.5));
    diagnosticSettings_.waveformMode.store(storedInt(settings_, QStringLiteral("waveformMode"), 0, 0, 2));
    diagnosticSettings_.waterfallColormap.store(
        storedInt(settings_, QStringLiteral("waterfallColormap"), 3, 0, 3));
    display_.heatmapOpacity.store(storedInRange(settings_, QStringLiteral("heatmapOpacity"), 0.82, 0.1, 1.0));
    display_.cameraMirror.store(settings_.value(QStringLiteral("cameraMirror"), false).toBool());

    // The overlay placement is a per-session adjustment: every start begins centred and unscaled.
    for (const char* key : {"cameraOverlayAlpha", "cameraOverlayThreshold", "cameraOverlayScale",
                            "cameraOverlayOffsetX", "cameraOverlayOffsetY"}) {
        settings_.remove(QLatin1String(key));
    }
    display_.cameraOverlayAlpha.store(0.5);
    display_.cameraOverlayThreshold.store(0.35);
    display_.cameraOverlayScale.store(1.0);
    display_.cameraOverlayOffsetX.store(0.0);
    display_.cameraOverlayOffsetY.store(0.0);

    display_.diagonalRemoval.store(settings_.value(QStringLiteral("diagonalRemoval"), true).toBool());
    live_.beamforming.algorithm = static_cast<std::int32_t>(core::BeamformingAlgorithm::kDas);
    live_.beamforming.removeCsmDiagonal = display_.diagonalRemoval.load();

    display_.focusDistanceIndex.store(storedInt(settings_, QStringLiteral("focusDistanceIndex"), 0, 0, 4));
    live_.beamforming.focusDistanceM = focusDistanceForIndex(display_.focusDistanceIndex.load());

    display_.airTemperatureC.store(
        storedInRange(settings_, QStringLiteral("airTemperatureC"), 20.0, -40.0, 60.0));
    live_.beamforming.speedOfSoundMps = speedOfSoundForTemperature(display_.airTemperatureC.load());

    heatmapSettings_.confidenceThresholdDb.store(
        storedInRange(settings_, QStringLiteral("confidenceThresholdDb"), 1.0, 0.0, 6.0));

    const QString bandMode = settings_.value(QStringLiteral("frequencyBandMode")).toString();
    live_.band.mode = bandMode == QLatin1String("Single bin")         ? 1
                      : bandMode == QLatin1String("Custom bandwidth") ? 3
                                                                      : 2;
    live_.band.centerHz = live_.frequency;
    live_.band.bandwidthHz = storedInRange(settings_, QStringLiteral("bandwidthHz"), 2000.0, 100.0, 40000.0);
    live_.band.binLimit =
        static_cast<std::uint64_t>(storedInt(settings_, QStringLiteral("targetBinCount"), 0, 0, 128));

    analysis_.frequencyHz =
        storedInRange(settings_, QStringLiteral("analysisFrequencyHz"), 1000.0, 100.0, 40000.0);
    const int frameSize =
        storedInt(settings_, QStringLiteral("analysisFrameSize"), 256, 0, std::numeric_limits<int>::max());
    analysis_.frameSize = frameSize == 256 || frameSize == 512 || frameSize == 1024 ? frameSize : 256;
    analysis_.hopSize = storedInt(settings_, QStringLiteral("analysisHopSize"), analysis_.frameSize / 2, 1,
                                  analysis_.frameSize);
    analysis_.ownHopSize = analysis_.hopSize;
    analysis_.gridStepDeg = storedInRange(settings_, QStringLiteral("analysisGridStepDeg"), 1.0, 0.5, 5.0);
    analysis_.bandMode = QStringLiteral("1/3 octave");
    analysis_.bandwidthHz = 2000.0;
}

void UiController::resetDefaults() {
    try {
        if (!canImportProfile()) {
            reportEvent(UiText::tr("Stop the active session before resetting settings"));
            return;
        }
        settings_.clear();

        live_.source = QStringLiteral("UDP");
        // The default on a bin of the loaded profile, never its Nyquist bin.
        live_.frequency = frequencyForSampleRate(
            8000.0, profileState_.session.hasProfile() ? profileState_.live.sampleRateHz : 0.0);
        live_.azimuth = 0.0;
        live_.elevation = 0.0;
        heatmapSettings_.dynamicRange.store(20.0);
        heatmapSettings_.levelGateDbfs.store(-90.0);
        display_.fixedReferenceDbfs.store(-30.0);
        display_.heatmapScaleMode.store(0);
        display_.heatmapOpacity.store(0.82);
        display_.diagonalRemoval.store(true);
        display_.cameraMirror.store(false);
        display_.cameraOverlayAlpha.store(0.5);
        display_.cameraOverlayThreshold.store(0.35);
        display_.cameraOverlayScale.store(1.0);
        display_.cameraOverlayOffsetX.store(0.0);
        display_.cameraOverlayOffsetY.store(0.0);

        live_.beamforming.removeCsmDiagonal = true;
        ++live_.beamforming.revision;
        live_.band.mode = 2;
        live_.band.centerHz = live_.frequency;
        live_.band.bandwidthHz = 2000.0;
        live_.band.binLimit = 10;
        ++live_.band.revision;

        emit sourceChanged();
        emit frequencyChanged();
        emit azimuthChanged();
        emit elevationChanged();
        emit frequencyBandChanged();
        emit dynamicRangeChanged();
        emit levelGateDbfsChanged();
        emit heatmapScaleModeChanged();
        emit fixedReferenceDbfsChanged();
        emit heatmapOpacityChanged();
        emit cameraSettingsChanged();
        emit diagonalRemovalChanged();
        emit beamformingParametersChanged();

        reportEvent(UiText::tr("Display and acquisition defaults restored"));
    } catch (const std::exception& error) {
        reportEvent(UiText::tr("Reset defaults failed: %1").arg(QString::fromUtf8(error.what())));
    }
}

void UiController::setSessionState(std::int32_t state) {
    if (run_.session.exchange(state) != state) emit uiStateChanged();
}

}  // namespace zk::app
