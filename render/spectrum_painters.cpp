#include "render/spectrum_painters.h"

#include <QColor>
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <complex>
#include <mutex>
#include <numbers>
#include <utility>

#include "core/signal/fft.h"
#include "render/plot_raster.h"

namespace zk::render {
namespace {

constexpr double kFloorDbfs = -120.0;

// floor(value) as an index below limit; NaN counts as 0 and anything beyond as limit.
std::size_t binIndex(double value, std::size_t limit) {
    const double bin = std::floor(value);
    if (!(bin > 0.0)) return 0;
    return bin >= static_cast<double>(limit) ? limit : static_cast<std::size_t>(bin);
}

struct LogAxis {
    double lowestHz = 0.0;
    double span = 0.0;
};

// Symmetric Hann weights and their sum for one window length.
struct HannWindow {
    std::vector<double> weights;
    double sum = 0.0;
};

// The window of a power-of-two length from 256 to 32768, built once per length and then shared read-only
// by every painting thread.
const HannWindow& hannWindow(std::size_t n) {
    static std::array<std::once_flag, 8> built;
    static std::array<HannWindow, 8> windows;
    const auto slot = static_cast<std::size_t>(std::countr_zero(n) - 8);
    std::call_once(built[slot], [n, &window = windows[slot]] {
        window.weights.resize(n);
        const double step = 2.0 * std::numbers::pi / static_cast<double>(n - 1);
        for (std::size_t i = 0; i < n; ++i) {
            window.weights[i] = 0.5 * (1.0 - std::cos(step * static_cast<double>(i)));
            window.sum += window.weights[i];
        }
    });
    return windows[slot];
}

LogAxis spectrumAxis(double sampleRateHz) {
    const double nyquist = sampleRateHz / 2.0;
    const double lowest = std::min(nyquist / 100.0, 100.0);
    return {lowest, std::log(nyquist / lowest)};
}

}  // namespace

std::vector<double> computeChannelSpectrumDbfs(std::span<const double> samples, double sampleRateHz,
                                               std::size_t largestWindow, double& peakFrequencyHz,
                                               double& peakLevelDbfs) {
    peakFrequencyHz = 0.0;
    peakLevelDbfs = kFloorDbfs;
    std::size_t n = 0;
    for (std::size_t candidate = 32768; candidate >= 256; candidate /= 2) {
        if (candidate <= largestWindow && candidate <= samples.size()) {
            n = candidate;
            break;
        }
    }
    if (n == 0) return {};

    const std::span<const double> newest = samples.last(n);
    double sum = 0.0;
    for (const double s : newest) sum += s;
    const double mean = sum / static_cast<double>(n);
    const HannWindow& window = hannWindow(n);
    std::vector<std::complex<double>> buffer(n);
    for (std::size_t i = 0; i < n; ++i) buffer[i] = {(newest[i] - mean) * window.weights[i], 0.0};
    buffer = core::fftRadix2(std::move(buffer));

    const std::size_t bins = n / 2 + 1;
    std::vector<double> levels(bins);
    const double norm = 1.0 / (window.sum * 32768.0);
    for (std::size_t i = 0; i < bins; ++i) {
        const double gain = (i == 0 || i == n / 2) ? 1.0 : 2.0;
        const double magnitude = std::abs(buffer[i]) * gain * norm;
        levels[i] = 20.0 * std::log10(std::max(1e-6, magnitude));
    }
    for (std::size_t i = 1; i < bins; ++i) {
        if (levels[i] > peakLevelDbfs) {
            peakLevelDbfs = levels[i];
            peakFrequencyHz = static_cast<double>(i) * sampleRateHz / static_cast<double>(n);
        }
    }
    return levels;
}

FrequencyColumns frequencyColumns(std::size_t bins, double lowestHz, double span, double spacingHz) {
    FrequencyColumns columns{};
    if (bins == 0) return columns;
    for (std::size_t x = 0; x < columns.size(); ++x) {
        const double f0 = lowestHz * std::exp(static_cast<double>(x) * span / kPlotWidth);
        const double f1 = lowestHz * std::exp(static_cast<double>(x + 1) * span / kPlotWidth);
        columns[x].first = binIndex(f0 / spacingHz, bins - 1);
        columns[x].end = std::min(std::max<std::size_t>(1, binIndex(f1 / spacingHz, bins)) + 1, bins);
    }
    return columns;
}

double columnLevel(std::span<const double> spectrumDbfs, ColumnBins bins) {
    double level = kFloorDbfs;
    for (std::size_t i = bins.first; i < bins.end; ++i) {
        if (spectrumDbfs[i] > level) level = spectrumDbfs[i];
    }
    return level;
}

std::vector<double> spectrumBarLevels(std::span<const double> spectrumDbfs, double sampleRateHz,
                                      std::size_t bars) {
    std::vector<double> levels;
    const LogAxis axis = spectrumAxis(sampleRateHz);
    const std::size_t bins = spectrumDbfs.size();
    if (bins == 0 || bars == 0 || !(axis.span > 0.0)) return levels;
    const double spacing = sampleRateHz / 2.0 / static_cast<double>(std::max<std::size_t>(bins - 1, 1));
    const double step = axis.span / static_cast<double>(bars);
    const auto edgeHz = [&](std::size_t k) {
        return axis.lowestHz * std::exp(static_cast<double>(k) * step);
    };
    levels.reserve(bars);
    // The same bin rule as the plot's columns, so a band narrower than a bin still reads its nearest bin.
    for (std::size_t k = 0; k < bars; ++k) {
        const ColumnBins band{
            binIndex(edgeHz(k) / spacing, bins - 1),
            std::min(std::max<std::size_t>(1, binIndex(edgeHz(k + 1) / spacing, bins)) + 1, bins)};
        levels.push_back(std::clamp((columnLevel(spectrumDbfs, band) - kFloorDbfs) / -kFloorDbfs, 0.0, 1.0));
    }
    return levels;
}

std::vector<QPointF> spectrumCurvePoints(std::span<const double> spectrumDbfs, double sampleRateHz) {
    std::vector<QPointF> points;
    const LogAxis axis = spectrumAxis(sampleRateHz);
    const std::size_t bins = spectrumDbfs.size();
    if (bins == 0 || !(axis.span > 0.0)) return points;
    const double spacing = sampleRateHz / 2.0 / static_cast<double>(bins - 1);
    const FrequencyColumns columns = frequencyColumns(bins, axis.lowestHz, axis.span, spacing);
    points.reserve(columns.size());
    for (std::size_t x = 0; x < columns.size(); ++x) {
        const double t = std::clamp((columnLevel(spectrumDbfs, columns[x]) - kFloorDbfs) / 120.0, 0.0, 1.0);
        points.emplace_back(static_cast<double>(x), 199.0 - nearestInt(200.0 * t));
    }
    return points;
}

QPainterPath spectrumCurvePath(std::span<const double> spectrumDbfs, double sampleRateHz) {
    const std::vector<QPointF> points = spectrumCurvePoints(spectrumDbfs, sampleRateHz);
    QPainterPath path;
    if (points.empty()) return path;
    path.reserve(static_cast<int>(points.size()));
    path.moveTo(points.front());
    for (std::size_t i = 1; i < points.size(); ++i) path.lineTo(points[i]);
    return path;
}

QImage paintSpectrumPlot(std::span<const double> spectrumDbfs, double sampleRateHz, const PlotColors& colors,
                         std::span<const double> second) {
    QImage image = blankPlotImage();
    const LogAxis axis = spectrumAxis(sampleRateHz);
    if (spectrumDbfs.empty() || !(axis.span > 0.0)) return image;
    // Antialiased like a QPainter stroke, drawn directly (see plot_raster.h).
    if (second.size() == spectrumDbfs.size()) {
        QColor faint = colors.cursor;
        faint.setAlpha(110);
        strokeCurve(image, spectrumCurvePoints(second, sampleRateHz), 1.0, faint.rgba());
    }
    strokeCurve(image, spectrumCurvePoints(spectrumDbfs, sampleRateHz), 2.0, colors.cursor.rgba());
    return image;
}

}  // namespace zk::render
