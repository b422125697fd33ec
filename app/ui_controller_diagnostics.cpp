// Live metrics, diagnostic views, the memory line and the analysis spectrum.
#include <QCoreApplication>
#include <QImage>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>
#include <utility>

#include "app/analysis_spectrum.h"
#include "app/platform/process_memory.h"
#include "app/platform/thread_name.h"
#include "app/settings_rules.h"
#include "app/ui_controller.h"
#include "camera/uvc_device_binding.h"
#include "core/streaming/streaming_acoustic_engine.h"
#include "render/diagnostic_image_provider.h"
#include "render/diagnostic_renderer.h"
#include "render/plot_palette.h"
#include "render/spectrum_painters.h"

namespace zk::app {

namespace {

// The level meters' scale: the painter draws -96 dBFS as an empty bar and 0 dBFS as a full one.
constexpr double kMeterFloorDbfs = -96.0;

QString label(const char* text) { return QCoreApplication::translate("UiController", text); }

QVariantMap row(const QString& name, const QString& value) {
    return {{QStringLiteral("name"), name}, {QStringLiteral("value"), value}};
}

QString oneDecimal(double value) { return QString::number(value, 'f', 1); }
QString twoDecimals(double value) { return QString::number(value, 'f', 2); }

std::int64_t steadyNowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

QVariantList UiController::channelLevels() const {
    std::lock_guard lock(diagnostics_.meterMutex);
    QVariantList levels;
    levels.reserve(static_cast<qsizetype>(diagnostics_.meters.rmsDbfs.size()));
    for (const double dbfs : diagnostics_.meters.rmsDbfs) {
        const double level = std::isfinite(dbfs) ? std::clamp(dbfs, kMeterFloorDbfs, 0.0) : kMeterFloorDbfs;
        levels.append((level - kMeterFloorDbfs) / -kMeterFloorDbfs);
    }
    return levels;
}
QVariantList UiController::channelPeaks() const {
    std::lock_guard lock(diagnostics_.meterMutex);
    return diagnostics_.meters.channelPeaks;
}
QVariantList UiController::spectrumLevels() const {
    std::lock_guard lock(diagnostics_.meterMutex);
    return diagnostics_.meters.spectrumLevels;
}
double UiController::waveformWindowS() const { return diagnosticSettings_.waveformWindowS.load(); }
double UiController::overlayWindowS() const { return diagnosticSettings_.overlayWindowS.load(); }
int UiController::waveformMode() const { return diagnosticSettings_.waveformMode.load(); }
int UiController::waterfallColormap() const { return diagnosticSettings_.waterfallColormap.load(); }
int UiController::diagnosticChannel() const { return diagnosticSettings_.diagnosticChannel.load(); }

int UiController::diagnosticChannelCount() const {
    return profileState_.session.hasProfile() && profileState_.live.isValid()
               ? static_cast<int>(profileState_.live.channelCount)
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
    if (replayActive() && profileState_.frozen.isValid()) return profileState_.frozen.sampleRateHz / 2.0;
    return profileState_.session.hasProfile() ? profileState_.live.sampleRateHz / 2.0 : 0.0;
}

QString UiController::diagnosticSummary() const {
    std::lock_guard lock(diagnostics_.mutex);
    // The diagnostics thread replaces the text: the copy shares no buffer with it.
    return QString(diagnostics_.state.summary.constData(), diagnostics_.state.summary.size());
}

int UiController::diagnosticSilentChannels() const {
    std::lock_guard lock(diagnostics_.mutex);
    return diagnostics_.state.summarySilentChannels;
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
QVariantList UiController::diagnosticRows() const { return diagnostics_.rows; }

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
        diagnostics_.state.setSummaryNote(
            UiText::tr("Channel %1 selected · collecting 4096 samples").arg(next + 1));
    }
    {
        // The bars show the selected channel: the previous channel's are gone with its spectrum image.
        std::lock_guard lock(diagnostics_.meterMutex);
        diagnostics_.meters.spectrumLevels.clear();
    }
    for (const char* id : {"levels", "waveform", "spectrum", "analysisSpectrum", "waterfall"}) {
        imageOutputs_.diagnosticProvider->setImage(QString::fromLatin1(id), QImage());
    }
    diagnostics_.outputs.diagnosticRevision.fetch_add(1);
    emit diagnosticChannelChanged();
    emit diagnosticsUpdated();
    emit spectrumLevelsChanged();
}

void UiController::writeMemoryLine() {
    const double mib = static_cast<double>(platform::residentSetBytes()) / (1024.0 * 1024.0);
    appendDiagnosticsLog(QStringLiteral("MEM WS=%1 MB cam=%2 live=%3 replay=%4")
                             .arg(mib, 0, 'f', 1)
                             .arg(camera_.binding->isBound() ? 1 : 0)
                             .arg(run_.liveRunning.load() ? 1 : 0)
                             .arg(run_.replayRunning.load() ? 1 : 0));
}

void UiController::rebuildDiagnosticRows() {
    try {
        const PublishedUdpStatistics& udp = liveSession_.udp;
        const LiveCounters& counters = liveSession_.counters;
        const BoundedBlockingQueue::Statistics dsp = liveSession_.dspQueue.statistics();
        const BoundedBlockingQueue::Statistics diagnostics = liveSession_.diagnosticsQueue.statistics();
        const core::MapLatencyStats latency = engines_.live->latencyStatistics();

        const std::uint64_t datagrams = udp.datagrams.load();
        const std::int64_t now = steadyNowNs();
        double rate = 0.0;
        if (diagnostics_.previousSnapshotNs != 0 && now > diagnostics_.previousSnapshotNs) {
            rate = (static_cast<double>(datagrams) - static_cast<double>(diagnostics_.previousDatagrams)) /
                   (static_cast<double>(now - diagnostics_.previousSnapshotNs) / 1e9);
        }
        diagnostics_.previousDatagrams = datagrams;
        diagnostics_.previousSnapshotNs = now;

        QVariantList rows;
        rows.append(row(label(QT_TRANSLATE_NOOP("UiController", "Process memory")),
                        QStringLiteral("%1 MB").arg(oneDecimal(
                            static_cast<double>(platform::residentSetBytes()) / (1024.0 * 1024.0)))));
        rows.append(row(label(QT_TRANSLATE_NOOP("UiController", "UDP datagrams")),
                        UiText::tr("%1  (%2 pkt/s)").arg(datagrams).arg(QString::number(rate, 'f', 0))));
        rows.append(
            row(label(QT_TRANSLATE_NOOP("UiController", "UDP received")),
                QStringLiteral("%1 MB").arg(oneDecimal(static_cast<double>(udp.bytes.load()) / 1e6))));
        rows.append(
            row(label(QT_TRANSLATE_NOOP("UiController", "Datagrams rejected / rx errors")),
                QStringLiteral("%1 / %2").arg(udp.wrongSizeDatagrams.load()).arg(udp.receiveErrors.load())));
        rows.append(row(label(QT_TRANSLATE_NOOP("UiController", "Datagrams dropped on overflow")),
                        QString::number(udp.overflowDatagrams.load())));
        rows.append(row(label(QT_TRANSLATE_NOOP("UiController", "Ingress pending frames")),
                        QString::number(udp.bufferedFrames.load())));
        rows.append(
            row(label(QT_TRANSLATE_NOOP("UiController", "DSP queue occupancy / drop")),
                UiText::tr("%1/%2  ·  %3 fr").arg(dsp.size).arg(dsp.highWaterMark).arg(dsp.droppedFrames)));
        rows.append(row(label(QT_TRANSLATE_NOOP("UiController", "Diagnostic queue drop")),
                        UiText::tr("%1 fr").arg(diagnostics.droppedFrames)));
        rows.append(row(label(QT_TRANSLATE_NOOP("UiController", "Processed frames")),
                        QString::number(counters.dspHops.load())));
        rows.append(row(label(QT_TRANSLATE_NOOP("UiController", "Maps published")),
                        QString::number(counters.mapsPublished.load())));
        rows.append(
            row(label(QT_TRANSLATE_NOOP("UiController", "BF avg/p50/p95/p99/max")),
                QStringLiteral("%1/%2/%3/%4/%5 ms")
                    .arg(twoDecimals(latency.meanMs), twoDecimals(latency.p50Ms), twoDecimals(latency.p95Ms),
                         twoDecimals(latency.p99Ms), twoDecimals(latency.maxMs))));
        rows.append(
            row(label(QT_TRANSLATE_NOOP("UiController", "Map overwrite / DSP errors")),
                QStringLiteral("%1 / %2").arg(latency.supersededJobs).arg(counters.liveErrors.load())));
        if (run_.recording.load() == kRecordingActive) {
            const double megabytes = static_cast<double>(recording_.bytesWritten.load()) / 1e6;
            const double seconds = static_cast<double>(recording_.elapsedMs.load()) / 1000.0;
            rows.append(row(label(QT_TRANSLATE_NOOP("UiController", "Recording rate")),
                            QStringLiteral("%1 MB/s  ·  %2 MB  ·  %3 s")
                                .arg(oneDecimal(seconds > 0.0 ? megabytes / seconds : 0.0),
                                     oneDecimal(megabytes), oneDecimal(seconds))));
        }
        if (run_.replay.load() != kReplayIdle)
            rows.append(row(label(QT_TRANSLATE_NOOP("UiController", "Replay")), replayMetrics()));
        rows.append(row(label(QT_TRANSLATE_NOOP("UiController", "Array profile")),
                        profileState_.session.hasProfile() ? profileInfo() : UiText::tr("none")));
        rows.append(row(label(QT_TRANSLATE_NOOP("UiController", "Measurements / Analysis runs")),
                        QStringLiteral("%1 / %2").arg(measurementCount()).arg(analysisRunCount())));
        diagnostics_.rows = std::move(rows);
        emit diagnosticRowsChanged();
    } catch (...) {
        // Out of memory for a snapshot: the previous rows stay until the next tick.
    }
}

// Analysis window and spectrum.
quint64 UiController::analysisSpectrumRevision() const {
    return diagnostics_.analysisSpectrumRevision.load();
}
double UiController::analysisSpectrumNyquistHz() const {
    return hasSelectedMeasurement() && profileState_.frozen.isValid()
               ? profileState_.frozen.sampleRateHz / 2.0
               : 0.0;
}
bool UiController::hasAnalysisWindow() const { return analysis_.hasWindow; }
QString UiController::analysisWindowInfo() const {
    if (!analysis_.hasWindow) return {};
    return UiText::tr("Window %1–%2 s · width %3 s")
        .arg(analysis_.windowStartS, 0, 'f', 2)
        .arg(analysis_.windowEndS, 0, 'f', 2)
        .arg(analysis_.windowEndS - analysis_.windowStartS, 0, 'f', 2);
}
double UiController::analysisVideoFrameSeconds() const {
    if (!hasSelectedMeasurement()) return 0.0;
    const core::MeasurementRecord& selected = project_.selected;
    const bool knownDuration = selected.sampleRateHz > 0;
    const double duration =
        knownDuration ? static_cast<double>(selected.totalFrames) / static_cast<double>(selected.sampleRateHz)
                      : 0.0;
    // The window of the result on screen: the pending run's, else the selected run's, else the set one.
    std::optional<std::pair<double, double>> window;
    const AnalysisRunState& runs = analysis_.runs;
    const auto runWindow = [](const core::AnalysisRunParameters& parameters) {
        return std::make_pair(parameters.windowStartSeconds, parameters.windowEndSeconds);
    };
    if (runs.pending) {
        window = runWindow(runs.pending->parameters);
    } else if (runs.selectedIndex >= 0) {
        window = runWindow(runs.selected.parameters);
    } else if (analysis_.hasWindow) {
        window = std::make_pair(analysis_.windowStartS, analysis_.windowEndS);
    }
    // A run over the whole Measurement stores no window (negative bounds).
    if (!window || !(window->first >= 0.0) || !(window->second >= window->first)) return duration / 2.0;
    const double centre = (window->first + window->second) / 2.0;
    return knownDuration ? std::clamp(centre, 0.0, duration) : centre;
}

void UiController::clearAnalysisWindow() {
    // A running Full Recompute records, exports and shows the window it is computed on.
    if (!analysis_.hasWindow || run_.fullRecomputeRunning.load()) return;
    analysis_.hasWindow = false;
    emit analysisWindowChanged();
    timers_.analysisSpectrum->start();
}

void UiController::renderAnalysisSpectrum() {
    try {
        if (run_.fullRecomputeRunning.load()) return;
        const std::uint64_t generation = ++diagnostics_.analysisSpectrumGeneration;
        if (!hasSelectedMeasurement() || !profileState_.frozen.isValid() ||
            project_.selected.rawFile.empty()) {
            imageOutputs_.diagnosticProvider->setImage(QStringLiteral("analysisSpectrum"), QImage());
            diagnostics_.analysisSpectrumRevision.fetch_add(1);
            emit analysisSpectrumChanged();
            return;
        }
        if (threads_.analysisSpectrum.joinable()) {
            run_.analysisSpectrumCancel.store(true);
            threads_.analysisSpectrum.join();
        }
        run_.analysisSpectrumCancel.store(false);
        const std::string& rawName = project_.selected.rawFile;
        const std::filesystem::path raw = project_.selected.directory / std::filesystem::path(std::u8string(
                                                                            rawName.begin(), rawName.end()));
        const std::uint32_t wireChannels = profileState_.frozen.wireChannelCount;
        const double sampleRateHz = profileState_.frozen.sampleRateHz;
        const bool windowSet = analysis_.hasWindow;
        const double startS = analysis_.windowStartS;
        const double endS = analysis_.windowEndS;
        threads_.analysisSpectrum = std::jthread([=, this] {
            platform::nameCurrentThread("zk-analysis-fft");
            try {
                std::error_code error;
                const std::uint64_t bytes = std::filesystem::file_size(raw, error);
                const std::uint64_t total = error || wireChannels == 0 ? 0 : bytes / (2ULL * wireChannels);
                std::uint64_t first = 0;
                std::uint64_t count = total;
                if (windowSet) {
                    first = std::min<std::uint64_t>(
                        total, static_cast<std::uint64_t>(std::max(0L, std::lround(sampleRateHz * startS))));
                    count = std::min<std::uint64_t>(
                        total - first, static_cast<std::uint64_t>(
                                           std::max(0L, std::lround(sampleRateHz * (endS - startS)))));
                }
                const std::size_t n = analysisSpectrumFftSize(count);
                const WindowSpectrum spectrum = computeWindowSpectrum(raw, wireChannels, first, count, n,
                                                                      n / 2, run_.analysisSpectrumCancel);
                if (run_.analysisSpectrumCancel.load() || spectrum.averageDbfs.empty()) return;
                QImage image =
                    render::paintSpectrumPlot(spectrum.averageDbfs, sampleRateHz,
                                              render::PlotPalette::processWide().colors(), spectrum.peakDbfs);
                QMetaObject::invokeMethod(
                    this,
                    [this, generation, image = std::move(image)] {
                        // A newer request or a cleared selection has replaced this spectrum.
                        if (generation != diagnostics_.analysisSpectrumGeneration) return;
                        imageOutputs_.diagnosticProvider->setImage(QStringLiteral("analysisSpectrum"), image);
                        diagnostics_.analysisSpectrumRevision.fetch_add(1);
                        emit analysisSpectrumChanged();
                    },
                    Qt::QueuedConnection);
            } catch (const std::exception& error) {
                setStatusText(
                    UiText::tr("Analysis spectrum failed: %1").arg(QString::fromUtf8(error.what())));
            } catch (...) {
            }
        });
    } catch (const std::exception& error) {
        reportEvent(UiText::tr("Analysis spectrum failed: %1").arg(QString::fromUtf8(error.what())));
    }
}

}  // namespace zk::app
