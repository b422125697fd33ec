#include "render/diagnostic_renderer.h"

#include <QCoreApplication>
#include <QImage>
#include <QString>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <utility>
#include <vector>

#include "core/signal/interleaved_sample_buffer.h"
#include "render/level_painter.h"
#include "render/spectrum_painters.h"
#include "render/waterfall_painter.h"
#include "render/waveform_painters.h"

namespace zk::render {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::int64_t kRenderIntervalNs = 50'000'000;
constexpr std::size_t kBankSize = 16;
constexpr std::size_t kLargestSpectrumWindow = 32768;
// The Spectrum page's bars: 32 bands in equal ratios over the spectrum plot's own axis (100 Hz to Nyquist
// from 20 kHz up), each 0..1 on the plot's -120..0 dBFS scale, so a bar reads like the curve above it.
constexpr std::size_t kSpectrumBars = 32;

std::uint64_t elapsedUs(Clock::time_point since) {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - since).count());
}

double dbfs(double counts) { return 20.0 * std::log10(std::max(1e-6, counts / 32768.0)); }

// What a render takes out of the guarded state before it paints without the lock.
struct RenderInput {
    ChannelAccumulators totals;
    std::size_t historyLength = 0;
    std::vector<double> history;     // the newest samples the trace and the spectrum need
    std::vector<std::int16_t> bank;  // ring frames of the sixteen channels the lanes and overlay show
    std::size_t bankFirst = 0;
    std::size_t bankChannels = 0;
    std::size_t ringChannels = 0;
};

// Accumulates the block under the diagnostics mutex; returns false when no render is due.
bool collect(const DiagnosticsContext& context, std::span<const std::int16_t> logical, std::size_t channels,
             std::size_t selected, std::uint32_t sampleRateHz, bool force, std::int64_t nowNs, int mode,
             double waveformS, double overlayS, std::size_t spectrumWindow, RenderInput& input) {
    const std::size_t frames = logical.size() / channels;
    const double rate = sampleRateHz;
    const std::lock_guard lock(context.diagnosticsMutex);
    DiagnosticsState& state = context.state;
    ChannelAccumulators& acc = state.accumulators;
    if (acc.channels() != channels) {
        acc.reset(channels);
        state.history.clear();
    }
    for (std::size_t f = 0; f < frames; ++f) {
        const std::int16_t* frame = logical.data() + f * channels;
        for (std::size_t k = 0; k < channels; ++k) {
            const double v = frame[k];
            acc.sum[k] += v;
            acc.sumSquares[k] += v * v;
            acc.minimum[k] = std::min(acc.minimum[k], v);
            acc.maximum[k] = std::max(acc.maximum[k], v);
        }
    }
    // Six seconds of history and one of frames, within fixed byte budgets: a profile may declare any rate.
    state.history.setCapacity(std::min(std::max<std::size_t>(48000, std::size_t{6} * sampleRateHz),
                                       kDiagnosticHistoryBytes / sizeof(double)));
    state.history.append(logical, frames, channels, selected);
    state.ring.configure(channels, std::min(std::max<std::size_t>(16384, sampleRateHz),
                                            kDiagnosticRingBytes / (channels * sizeof(std::int16_t))));
    state.ring.append(logical);
    acc.frames += frames;

    const bool due = force || state.lastRenderNs == 0 || nowNs - state.lastRenderNs >= kRenderIntervalNs;
    if (!due) {
        ++state.skippedBlocks;
        return false;
    }
    state.lastRenderNs = nowNs;

    // Only the newest samples that the trace and the spectrum read leave the lock.
    input.historyLength = state.history.size();
    const std::size_t traceLength = clampCount(rate * waveformS, 256, input.historyLength);
    state.history.copyNewest(std::max(traceLength, spectrumWindow), input.history);
    input.ringChannels = state.ring.channels();
    if (mode == 1 || mode == 2) {
        const double seconds = mode == 1 ? waveformS : overlayS;
        if (seconds > 0.0) {
            input.bankFirst = selected / kBankSize * kBankSize;
            input.bankChannels = std::min(kBankSize, channels - input.bankFirst);
            const std::size_t shown = clampCount(rate * seconds, 64, state.ring.fill());
            state.ring.copyNewest(shown, input.bankFirst, input.bankChannels, input.bank);
        }
    }
    input.totals = std::move(acc);
    acc.reset(channels);
    return true;
}

}  // namespace

bool renderDiagnosticImages(const DiagnosticsContext& context, std::span<const std::int16_t> block,
                            const core::DeviceProfile& profile, bool force, int sourceKind,
                            std::int64_t nowNs) {
    const Clock::time_point started = Clock::now();
    const std::size_t wire = profile.wireChannelCount;
    const std::size_t channels = profile.logicalToWire.size();
    if (wire == 0 || channels == 0 || block.empty() || block.size() % wire != 0) return false;
    std::vector<std::int16_t> logical(block.size() / wire * channels);
    try {
        std::vector<std::uint64_t> wireChannels(profile.logicalToWire.begin(), profile.logicalToWire.end());
        core::gatherLogicalChannels(core::buildChannelGatherMap(std::move(wireChannels)), block, logical,
                                    wire);
    } catch (const std::invalid_argument&) {
        return false;  // a profile whose mapping does not fit its wire channels: the block is ignored
    }

    const DiagnosticDisplaySettings& settings = context.settings;
    const std::size_t selected = static_cast<std::size_t>(
        std::clamp(settings.diagnosticChannel.load(), 0,
                   static_cast<int>(std::min<std::size_t>(channels - 1, std::numeric_limits<int>::max()))));
    const int mode = settings.waveformMode.load();
    const double waveformS = settings.waveformWindowS.load();
    const double overlayS = settings.overlayWindowS.load();
    const double rate = profile.sampleRateHz;
    std::size_t spectrumLimit = 1024;
    while (8 * static_cast<std::uint64_t>(spectrumLimit) <= profile.sampleRateHz) spectrumLimit *= 2;

    RenderInput input;
    const bool due = collect(context, logical, channels, selected, profile.sampleRateHz, force, nowNs, mode,
                             waveformS, overlayS, std::min(spectrumLimit, kLargestSpectrumWindow), input);
    DiagnosticOutputs& out = context.outputs;
    out.collectUs += elapsedUs(started);
    ++out.collectCount;
    if (!due) return false;
    const ChannelAccumulators& totals = input.totals;
    if (totals.frames == 0 || input.historyLength == 0) return false;

    std::vector<double> rmsDbfs(channels);
    std::vector<double> peakDbfs(channels);
    std::size_t silent = 0;
    const double frameCount = static_cast<double>(totals.frames);
    for (std::size_t k = 0; k < channels; ++k) {
        const double mean = totals.sum[k] / frameCount;
        const double rms = std::sqrt(std::max(0.0, totals.sumSquares[k] / frameCount - mean * mean));
        rmsDbfs[k] = dbfs(rms);
        if (rms < 1.0) ++silent;
        const double lo = totals.minimum[k] == std::numeric_limits<double>::max() ? 0.0 : totals.minimum[k];
        const double hi =
            totals.maximum[k] == std::numeric_limits<double>::lowest() ? 0.0 : totals.maximum[k];
        peakDbfs[k] = dbfs(std::max(std::abs(lo), std::abs(hi)));
    }

    Clock::time_point stage = Clock::now();
    double peakHz = 0.0;
    double peakLevel = -120.0;
    const std::vector<double> spectrum =
        computeChannelSpectrumDbfs(input.history, rate, spectrumLimit, peakHz, peakLevel);
    const std::size_t windowLength = spectrum.empty() ? 0 : 2 * (spectrum.size() - 1);
    const PlotColors colors = context.palette.colors();
    QImage spectrumImage = paintSpectrumPlot(spectrum, rate, colors);
    QVariantList spectrumBars;
    for (const double level : spectrumBarLevels(spectrum, rate, kSpectrumBars)) spectrumBars.append(level);
    out.spectrumUs += elapsedUs(stage);

    {
        const std::lock_guard lock(context.channelMeterMutex);
        ChannelMeters& meters = context.meters;
        meters.channelPeaks.clear();
        meters.channelPeaks.reserve(static_cast<qsizetype>(channels));
        for (const double peak : peakDbfs) meters.channelPeaks.append(peak);
        meters.rmsDbfs = rmsDbfs;
        meters.peakDbfs = peakDbfs;
        meters.spectrumLevels = std::move(spectrumBars);
    }

    stage = Clock::now();
    QImage waveformImage;
    const WaveformFrames bank{input.bank, input.bankChannels, input.bankFirst};
    const double viewSeconds = mode == 2 ? overlayS : waveformS;
    if (mode == 1 && input.ringChannels == channels) {
        waveformImage = paintLanesWaveform(bank, selected, rate, viewSeconds, colors);
    } else if (mode == 2 && input.ringChannels == channels) {
        waveformImage = paintOverlayWaveform(bank, selected, rate, viewSeconds);
    } else {
        const std::size_t traceLength = clampCount(rate * waveformS, 256, input.history.size());
        SingleTraceWaveform trace =
            paintSingleTraceWaveform(std::span<const double>(input.history).last(traceLength), colors);
        out.diagnosticWaveformScaleAbs = trace.scale;
        waveformImage = std::move(trace.image);
    }
    out.waveformUs += elapsedUs(stage);

    stage = Clock::now();
    context.provider.setImage(u"levels", paintLevelsImage(rmsDbfs, peakDbfs, colors));
    out.levelsUs += elapsedUs(stage);
    context.provider.setImage(u"waveform", waveformImage);
    context.provider.setImage(u"spectrum", spectrumImage);

    if (!spectrum.empty()) {
        stage = Clock::now();
        const ColormapTable& table = waterfallColormapTable(settings.waterfallColormap.load());
        QImage waterfall;
        double spanS = 0.0;
        {
            // The palette is read under the lock, so a background change either reaches this row or
            // drops the image after it.
            const std::lock_guard lock(context.diagnosticsMutex);
            spanS = updateWaterfallImage(context.state.waterfall, spectrum, rate, table,
                                         context.palette.colors().waterfallBg, nowNs);
            waterfall = context.state.waterfall.image;
        }
        context.provider.setImage(u"waterfall", waterfall);
        out.diagnosticWaterfallSpanS = spanS;
        out.waterfallUs += elapsedUs(stage);
    }
    const double binHz = windowLength == 0 ? 0.0 : rate / static_cast<double>(windowLength);
    out.diagnosticSpectrumBinHz = binHz;

    const double selectedMean = totals.sum[selected] / frameCount;
    // In the language of the moment: the controller's catalogue context, translated on this thread.
    const QString summary = QCoreApplication::translate(
                                "UiController",
                                "CH %1 | DC %2 counts | RMS %3 dBFS | raw %4..%5 | peak %6 Hz / %7 dBFS | "
                                "silent %8/%9 | win %10 (df %11 Hz)")
                                .arg(selected + 1)
                                .arg(selectedMean, 0, 'f', 1)
                                .arg(rmsDbfs[selected], 0, 'f', 1)
                                .arg(totals.minimum[selected], 0, 'f', 0)
                                .arg(totals.maximum[selected], 0, 'f', 0)
                                .arg(peakHz, 0, 'f', 1)
                                .arg(peakLevel, 0, 'f', 1)
                                .arg(silent)
                                .arg(channels)
                                .arg(windowLength)
                                .arg(binHz, 0, 'f', 1);
    {
        const std::lock_guard lock(context.diagnosticsMutex);
        context.state.summary = summary;
        context.state.summarySilentChannels = static_cast<int>(
            std::min<std::size_t>(silent, static_cast<std::size_t>(std::numeric_limits<int>::max())));
    }

    out.diagnosticSource = sourceKind;
    ++out.diagnosticRevision;
    out.renderUs += elapsedUs(started);
    ++out.renderCount;
    return true;
}

bool renderDiagnosticImages(const DiagnosticsContext& context, std::span<const std::int16_t> block,
                            const core::DeviceProfile& profile, bool force, int sourceKind) {
    const std::int64_t nowNs =
        std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
    return renderDiagnosticImages(context, block, profile, force, sourceKind, nowNs);
}

void setPlotPalette(const DiagnosticsContext& context, const QVariantMap& values) {
    if (!applyPlotPalette(context.palette, values)) return;
    const std::lock_guard lock(context.diagnosticsMutex);
    context.state.waterfall.image = QImage();
}

}  // namespace zk::render
