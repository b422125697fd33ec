#include "app/ui_controller.h"

#include <QCoreApplication>
#include <QQmlEngine>
#include <QTimer>
#include <cmath>
#include <limits>

#include "app/platform/process_memory.h"
#include "app/settings_rules.h"
#include "core/streaming/replay_source.h"
#include "core/streaming/streaming_acoustic_engine.h"
#include "core/streaming/synthetic_source.h"
#include "core/streaming/udp_source.h"
#include "render/diagnostic_image_provider.h"
#include "render/heatmap_image_provider.h"

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
    uvcBackend_ = camera::makeSystemUvcBackend();
    uvcBinding_ = std::make_unique<camera::UvcDeviceBinding>(*uvcBackend_);
    cameraControl_ = std::make_unique<camera::UvcCameraControl>(camera::UvcCameraControl::Owner{
        cameraState_, *uvcBinding_, settings_, [this](const QString& text) { appendEventLog(text); },
        [this](const QString& text) { setStatusText(text); }, [this] { emit cameraDevicesChanged(); },
        [this] { emit cameraParametersChanged(); }});

    liveEngine_ = std::make_unique<core::StreamingAcousticEngine>();
    replayEngine_ = std::make_unique<core::StreamingAcousticEngine>();

    analysisStatus_ = QStringLiteral("Select a Measurement to create an AnalysisRun");
    noiseProfileInfo_ = QCoreApplication::translate("UiController", "Not calibrated");
    replayMetrics_ = QStringLiteral("Replay stopped");
    diagnosticsState_.summary = QCoreApplication::translate("UiController", "Waiting for raw samples");

    heatmapProvider_ = new render::HeatmapImageProvider();
    diagnosticProvider_ = new render::DiagnosticImageProvider();
    heatmapPainter_ = std::make_unique<render::HeatmapPainter>(render::HeatmapPainter::Owner{
        mapMutex_, latestMap_, heatmapSettings_, displayMutex_, heatmapSmoothing_, heatmapStateMutex_,
        heatmapShaderState_, mapVisiblePixels_, heatmapProvider_});

    diagnosticRowsTimer_ = new QTimer(this);
    diagnosticRowsTimer_->setInterval(kDiagnosticRowsIntervalMs);
    connect(diagnosticRowsTimer_, &QTimer::timeout, this, &UiController::rebuildDiagnosticRows);
    diagnosticRowsTimer_->start();
    memoryLineTimer_ = new QTimer(this);
    memoryLineTimer_->setInterval(kMemoryLineIntervalMs);
    connect(memoryLineTimer_, &QTimer::timeout, this, &UiController::writeMemoryLine);
    memoryLineTimer_->start();

    loadRecentProjects();

    noiseCalibrationTimer_ = new QTimer(this);
    noiseCalibrationTimer_->setInterval(kNoiseCalibrationTickMs);
    connect(noiseCalibrationTimer_, &QTimer::timeout, this, &UiController::advanceNoiseCalibration);
    analysisSpectrumTimer_ = new QTimer(this);
    analysisSpectrumTimer_->setSingleShot(true);
    analysisSpectrumTimer_->setInterval(kAnalysisSpectrumDelayMs);
    connect(analysisSpectrumTimer_, &QTimer::timeout, this, &UiController::renderAnalysisSpectrum);

    readSettingsAtStart();

    refreshCameraDevices();

    {
        std::lock_guard lock(statusMutex_);
        statusText_ = QCoreApplication::translate("UiController", "Load a validated Device Profile to begin");
    }
    initialPrompt_.store(true);
    {
        std::lock_guard lock(liveMetricsMutex_);
        liveMetrics_ = QCoreApplication::translate("UiController", "Live stopped");
    }
}

UiController::~UiController() {
    noiseCalibrating_.store(false);
    noiseCalibrationTimer_->stop();
    if (noiseCaptureThread_.joinable()) noiseCaptureThread_.join();

    liveRunning_.store(false);
    replayRunning_.store(false);
    fullRecomputeCancel_.store(true);

    if (udpSource_) udpSource_->stop();

    stopLiveThreads();
    for (std::jthread* thread : {&replayMapThread_, &replayReaderThread_}) {
        if (thread->joinable()) {
            thread->request_stop();
            thread->join();
        }
    }

    fullRecomputeCancel_.store(true);
    if (fullRecomputeThread_.joinable()) {
        fullRecomputeThread_.request_stop();
        fullRecomputeThread_.join();
        platform::trimHeap();
    }

    if (analysisSpectrumThread_.joinable()) {
        analysisSpectrumCancel_.store(true);
        analysisSpectrumThread_.join();
    }

    finalizeOpenRecordingAtExit();
    if (recordingFinalizeThread_.joinable()) recordingFinalizeThread_.join();

    if (udpSource_) udpSource_->stop();
    udpSource_.reset();
    syntheticSource_.reset();

    if (!providersHandedOver_) {
        delete heatmapProvider_;
        delete diagnosticProvider_;
    }
}

void UiController::registerImageProviders(QQmlEngine& engine) {
    if (providersHandedOver_) return;
    engine.addImageProvider(QStringLiteral("heatmap"), heatmapProvider_);
    engine.addImageProvider(QStringLiteral("diagnostic"), diagnosticProvider_);
    providersHandedOver_ = true;
}

void UiController::readSettingsAtStart() {
    profilePath_ = settings_.value(QStringLiteral("profilePath")).toString();
    recordingMaxDurationSeconds_ =
        clampToRange(std::round(storedDouble(settings_, QStringLiteral("recording/maxDurationSec"), 10.0)),
                     1.0, 120.0);

    const QString storedSource = settings_.value(QStringLiteral("source"), QStringLiteral("UDP")).toString();
    source_ = storedSource == QLatin1String("Synthetic") ? storedSource : QStringLiteral("UDP");

    frequency_ = storedDouble(settings_, QStringLiteral("frequency"), 8000.0);
    liveBand_.centerHz = frequency_;
    azimuth_ = storedDouble(settings_, QStringLiteral("azimuth"), 0.0);
    elevation_ = storedDouble(settings_, QStringLiteral("elevation"), 0.0);

    heatmapSettings_.dynamicRange.store(storedInRange(settings_, QStringLiteral("dynamicRange"), 20.0, 0.1, 60.0));
    heatmapSettings_.csmTauSeconds.store(
        storedInRange(settings_, QStringLiteral("csmTauSeconds"), 0.1, 0.05, 10.0));
    analysisWindowSeconds_ = storedInRange(settings_, QStringLiteral("analysisWindowSeconds"), 0.0, 0.0, 5.0);
    heatmapSettings_.levelGateDbfs.store(
        storedInRange(settings_, QStringLiteral("levelGateDbfs"), -90.0, -120.0, 0.0));
    fixedReferenceDbfs_.store(storedInRange(settings_, QStringLiteral("fixedReferenceDbfs"), -30.0, -120.0, 0.0));
    heatmapScaleMode_.store(
        settings_.value(QStringLiteral("heatmapScaleMode")).toString() == QLatin1String("Fixed dBFS") ? 1 : 0);
    heatmapColormap_.store(storedInt(settings_, QStringLiteral("heatmapColormap"), 0, 0, 2));
    heatmapStyle_.store(storedInt(settings_, QStringLiteral("heatmapStyle"), 0, 0, 2));
    diagnosticSettings_.waveformWindowS.store(
        storedInRange(settings_, QStringLiteral("waveformWindowS"), 0.5, 0.1, 5.0));
    diagnosticSettings_.overlayWindowS.store(
        storedInRange(settings_, QStringLiteral("overlayWindowS"), 0.02, 0.005, 0.5));
    diagnosticSettings_.waveformMode.store(storedInt(settings_, QStringLiteral("waveformMode"), 0, 0, 2));
    diagnosticSettings_.waterfallColormap.store(storedInt(settings_, QStringLiteral("waterfallColormap"), 3, 0, 3));
    heatmapOpacity_.store(storedInRange(settings_, QStringLiteral("heatmapOpacity"), 0.82, 0.1, 1.0));
    cameraMirror_.store(settings_.value(QStringLiteral("cameraMirror"), false).toBool());

    // The overlay placement is a per-session adjustment: every start begins centred and unscaled.
    for (const char* key : {"cameraOverlayAlpha", "cameraOverlayThreshold", "cameraOverlayScale",
                            "cameraOverlayOffsetX", "cameraOverlayOffsetY"}) {
        settings_.remove(QLatin1String(key));
    }
    cameraOverlayAlpha_.store(0.5);
    cameraOverlayThreshold_.store(0.35);
    cameraOverlayScale_.store(1.0);
    cameraOverlayOffsetX_.store(0.0);
    cameraOverlayOffsetY_.store(0.0);

    diagonalRemoval_.store(settings_.value(QStringLiteral("diagonalRemoval"), true).toBool());
    liveBeamforming_.algorithm = static_cast<std::int32_t>(core::BeamformingAlgorithm::kDas);
    liveBeamforming_.removeCsmDiagonal = diagonalRemoval_.load();

    focusDistanceIndex_.store(storedInt(settings_, QStringLiteral("focusDistanceIndex"), 0, 0, 4));
    liveBeamforming_.focusDistanceM = focusDistanceForIndex(focusDistanceIndex_.load());

    airTemperatureC_.store(storedInRange(settings_, QStringLiteral("airTemperatureC"), 20.0, -40.0, 60.0));
    liveBeamforming_.speedOfSoundMps = speedOfSoundForTemperature(airTemperatureC_.load());

    heatmapSettings_.confidenceThresholdDb.store(
        storedInRange(settings_, QStringLiteral("confidenceThresholdDb"), 1.0, 0.0, 6.0));

    const QString bandMode = settings_.value(QStringLiteral("frequencyBandMode")).toString();
    liveBand_.mode = bandMode == QLatin1String("Single bin")         ? 1
                     : bandMode == QLatin1String("Custom bandwidth") ? 3
                                                                     : 2;
    liveBand_.centerHz = frequency_;
    liveBand_.bandwidthHz = storedInRange(settings_, QStringLiteral("bandwidthHz"), 2000.0, 100.0, 40000.0);
    liveBand_.binLimit =
        static_cast<std::uint64_t>(storedInt(settings_, QStringLiteral("targetBinCount"), 0, 0, 128));

    analysisFrequencyHz_ = storedInRange(settings_, QStringLiteral("analysisFrequencyHz"), 1000.0, 100.0, 40000.0);
    const int frameSize = storedInt(settings_, QStringLiteral("analysisFrameSize"), 256, 0,
                                    std::numeric_limits<int>::max());
    analysisFrameSize_ = frameSize == 256 || frameSize == 512 || frameSize == 1024 ? frameSize : 256;
    analysisHopSize_ = storedInt(settings_, QStringLiteral("analysisHopSize"), analysisFrameSize_ / 2, 1,
                                 analysisFrameSize_);
    analysisGridStepDeg_ = storedInRange(settings_, QStringLiteral("analysisGridStepDeg"), 1.0, 0.5, 5.0);
    analysisBandMode_ = QStringLiteral("1/3 octave");
    analysisBandwidthHz_ = 2000.0;
}

void UiController::resetDefaults() {
    try {
        if (!canImportProfile()) {
            reportEvent(QStringLiteral("Stop the active session before resetting settings"));
            return;
        }
        settings_.clear();

        source_ = QStringLiteral("UDP");
        frequency_ = 8000.0;
        azimuth_ = 0.0;
        elevation_ = 0.0;
        heatmapSettings_.dynamicRange.store(20.0);
        heatmapSettings_.levelGateDbfs.store(-90.0);
        fixedReferenceDbfs_.store(-30.0);
        heatmapScaleMode_.store(0);
        heatmapOpacity_.store(0.82);
        diagonalRemoval_.store(true);
        cameraMirror_.store(false);
        cameraOverlayAlpha_.store(0.5);
        cameraOverlayThreshold_.store(0.35);
        cameraOverlayScale_.store(1.0);
        cameraOverlayOffsetX_.store(0.0);
        cameraOverlayOffsetY_.store(0.0);

        liveBeamforming_.removeCsmDiagonal = true;
        ++liveBeamforming_.revision;
        liveBand_.mode = 2;
        liveBand_.centerHz = frequency_;
        liveBand_.bandwidthHz = 2000.0;
        liveBand_.binLimit = 10;
        ++liveBand_.revision;

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

        reportEvent(QStringLiteral("Display and acquisition defaults restored"));
    } catch (const std::exception& error) {
        reportEvent(QStringLiteral("Reset defaults failed: %1").arg(QString::fromUtf8(error.what())));
    }
}

void UiController::setSessionState(std::int32_t state) {
    if (sessionState_.exchange(state) != state) emit uiStateChanged();
}

}  // namespace zk::app
