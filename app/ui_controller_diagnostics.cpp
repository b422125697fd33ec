// Live metrics, diagnostic views, the memory line and the analysis spectrum.
#include <QCoreApplication>
#include <QImage>
#include <QTimer>

#include "app/platform/process_memory.h"
#include "app/settings_rules.h"
#include "app/ui_controller.h"
#include "render/diagnostic_image_provider.h"

namespace zk::app {

QVariantList UiController::channelLevels() const { return {}; }
QVariantList UiController::channelPeaks() const {
    std::lock_guard lock(diagnostics_.meterMutex);
    return diagnostics_.meters.channelPeaks;
}
QVariantList UiController::spectrumLevels() const { return {}; }
double UiController::waveformWindowS() const { return diagnosticSettings_.waveformWindowS.load(); }
double UiController::overlayWindowS() const { return diagnosticSettings_.overlayWindowS.load(); }
int UiController::waveformMode() const { return diagnosticSettings_.waveformMode.load(); }
int UiController::waterfallColormap() const { return diagnosticSettings_.waterfallColormap.load(); }
int UiController::diagnosticChannel() const { return diagnosticSettings_.diagnosticChannel.load(); }

int UiController::diagnosticChannelCount() const {
    return deviceSession_.hasProfile() && liveProfile_.isValid() ? static_cast<int>(liveProfile_.channelCount)
                                                                 : 0;
}

int UiController::diagnosticMeterPerRow() const {
    const int n = diagnosticChannelCount();
    if (n <= 0) return 1;
    if (n <= 24) return n;
    if (n <= 48) return 24;
    return 32;
}

double UiController::spectrumNyquistHz() const {
    if (replayActive() && frozenProfile_.isValid()) return frozenProfile_.sampleRateHz / 2.0;
    return deviceSession_.hasProfile() ? liveProfile_.sampleRateHz / 2.0 : 0.0;
}

QString UiController::diagnosticSummary() const {
    std::lock_guard lock(diagnostics_.mutex);
    // The diagnostics thread replaces the text: the copy shares no buffer with it.
    return QString(diagnostics_.state.summary.constData(), diagnostics_.state.summary.size());
}

QString UiController::diagnosticSource() const {
    switch (diagnostics_.outputs.diagnosticSource.load()) {
        case render::kDiagnosticSourceLive:
            return QStringLiteral("live");
        case render::kDiagnosticSourceReplay:
            return QStringLiteral("replay");
        default:
            return {};
    }
}

int UiController::diagnosticRevision() const {
    return static_cast<int>(diagnostics_.outputs.diagnosticRevision.load());
}
double UiController::diagnosticWaveformScaleAbs() const {
    return diagnostics_.outputs.diagnosticWaveformScaleAbs.load();
}
double UiController::diagnosticSpectrumBinHz() const {
    return diagnostics_.outputs.diagnosticSpectrumBinHz.load();
}
double UiController::diagnosticWaterfallSpanS() const {
    return diagnostics_.outputs.diagnosticWaterfallSpanS.load();
}
QVariantList UiController::diagnosticRows() const { return diagnosticRows_; }

QString UiController::meterReadout(int channel) const {
    std::lock_guard lock(diagnostics_.meterMutex);
    if (channel < 0 || static_cast<std::size_t>(channel) >= diagnostics_.meters.rmsDbfs.size()) return {};
    const auto index = static_cast<std::size_t>(channel);
    const double peak =
        index < diagnostics_.meters.peakDbfs.size() ? diagnostics_.meters.peakDbfs[index] : -120.0;
    return QStringLiteral("ch %1: %2 / %3 dBFS")
        .arg(channel + 1)
        .arg(diagnostics_.meters.rmsDbfs[index], 0, 'f', 1)
        .arg(peak, 0, 'f', 1);
}

void UiController::setWaveformWindowS(double seconds) {
    const double next = clampToRange(seconds, 0.1, 5.0);
    if (fuzzyEqual(next, diagnosticSettings_.waveformWindowS.load())) return;
    diagnosticSettings_.waveformWindowS.store(next);
    settings_.setValue(QStringLiteral("waveformWindowS"), next);
    emit waveformDisplayChanged();
}

void UiController::setOverlayWindowS(double seconds) {
    const double next = clampToRange(seconds, 0.005, 0.5);
    if (fuzzyEqual(next, diagnosticSettings_.overlayWindowS.load())) return;
    diagnosticSettings_.overlayWindowS.store(next);
    settings_.setValue(QStringLiteral("overlayWindowS"), next);
    emit waveformDisplayChanged();
}

void UiController::setWaveformMode(int mode) {
    const int next = std::clamp(mode, 0, 2);
    if (next == diagnosticSettings_.waveformMode.load()) return;
    diagnosticSettings_.waveformMode.store(next);
    settings_.setValue(QStringLiteral("waveformMode"), next);
    emit waveformDisplayChanged();
}

void UiController::setWaterfallColormap(int index) {
    const int next = std::clamp(index, 0, 3);
    if (next == diagnosticSettings_.waterfallColormap.load()) return;
    diagnosticSettings_.waterfallColormap.store(next);
    settings_.setValue(QStringLiteral("waterfallColormap"), next);
    {
        std::lock_guard lock(diagnostics_.mutex);
        diagnostics_.state.waterfall.image = QImage();
    }
    emit waterfallColormapChanged();
}

void UiController::setDiagnosticChannel(int channel) {
    const int count = diagnosticChannelCount();
    const int next = count < 2 ? 0 : std::clamp(channel, 0, count - 1);
    if (next == diagnosticSettings_.diagnosticChannel.load()) return;
    diagnosticSettings_.diagnosticChannel.store(next);
    {
        std::lock_guard lock(diagnostics_.mutex);
        diagnostics_.state.history.clear();
        diagnostics_.state.waterfall.image = QImage();
        diagnostics_.state.summary =
            QStringLiteral("Channel %1 selected · collecting 4096 samples").arg(next + 1);
    }
    for (const char* id : {"levels", "waveform", "spectrum", "analysisSpectrum", "waterfall"}) {
        diagnosticProvider_->setImage(QString::fromLatin1(id), QImage());
    }
    diagnostics_.outputs.diagnosticRevision.fetch_add(1);
    emit diagnosticChannelChanged();
    emit diagnosticsUpdated();
}

void UiController::writeMemoryLine() {
    const double mib = static_cast<double>(platform::residentSetBytes()) / (1024.0 * 1024.0);
    appendDiagnosticsLog(QStringLiteral("MEM WS=%1 MB cam=%2 live=%3 replay=%4")
                             .arg(mib, 0, 'f', 1)
                             .arg(uvcBinding_->isBound() ? 1 : 0)
                             .arg(run_.liveRunning.load() ? 1 : 0)
                             .arg(run_.replayRunning.load() ? 1 : 0));
}

void UiController::rebuildDiagnosticRows() {}

// Analysis window and spectrum.
quint64 UiController::analysisSpectrumRevision() const { return 0; }
double UiController::analysisSpectrumNyquistHz() const {
    return hasSelectedMeasurement() && frozenProfile_.isValid() ? frozenProfile_.sampleRateHz / 2.0 : 0.0;
}
bool UiController::hasAnalysisWindow() const { return analysis_.hasWindow; }
QString UiController::analysisWindowInfo() const {
    if (!analysis_.hasWindow) return {};
    return QStringLiteral("Window %1–%2 s · width %3 s")
        .arg(analysis_.windowStartS, 0, 'f', 2)
        .arg(analysis_.windowEndS, 0, 'f', 2)
        .arg(analysis_.windowEndS - analysis_.windowStartS, 0, 'f', 2);
}
double UiController::analysisVideoFrameSeconds() const { return 0.0; }

void UiController::clearAnalysisWindow() {
    if (!analysis_.hasWindow) return;
    analysis_.hasWindow = false;
    emit analysisWindowChanged();
    analysisSpectrumTimer_->start();
}

void UiController::renderAnalysisSpectrum() {}

}  // namespace zk::app
