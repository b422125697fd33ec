#include "render/waterfall_painter.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "render/magma_colormap.h"
#include "render/plot_canvas.h"
#include "render/spectrum_painters.h"

namespace zk::render {

const ColormapTable& waterfallColormapTable(int index) {
    switch (index) {
        case 0:
            return kViridisTable;
        case 1:
            return kTurboTable;
        case 2:
            return kJetTable;
        default:
            return kMagmaTable;
    }
}

QRgb sampleColormap(std::span<const std::uint8_t, 768> table, double position) {
    const auto entry = [&](std::size_t i) { return qRgb(table[3 * i], table[3 * i + 1], table[3 * i + 2]); };
    if (!(position >= 0.0)) return entry(0);
    const double u = 255.0 * std::min(position, 1.0);
    const auto i = static_cast<std::size_t>(std::floor(u));
    if (i > 254) return entry(255);
    const double frac = u - static_cast<double>(i);
    const auto channel = [&](std::size_t c) {
        const double a = table[3 * i + c];
        const double b = table[3 * (i + 1) + c];
        return static_cast<int>(a + (b - a) * frac + 0.5);
    };
    return qRgb(channel(0), channel(1), channel(2));
}

double updateWaterfallImage(WaterfallState& state, std::span<const double> spectrumDbfs, double sampleRateHz,
                            const ColormapTable& table, const QColor& background, std::int64_t nowNs) {
    if (spectrumDbfs.empty()) return 200.0 * state.averageRowIntervalS;
    if (state.lastRowNs && nowNs > *state.lastRowNs) {
        const double interval = static_cast<double>(nowNs - *state.lastRowNs) * 1e-9;
        state.averageRowIntervalS =
            state.averageRowIntervalS > 0.0 ? 0.9 * state.averageRowIntervalS + 0.1 * interval : interval;
    }
    state.lastRowNs = nowNs;

    const QSize size(kPlotWidth, kPlotHeight);
    if (state.image.size() != size || state.image.format() != QImage::Format_ARGB32) {
        state.image = QImage(size, QImage::Format_ARGB32);
        state.image.fill(background);
    }
    QImage next(size, QImage::Format_ARGB32);
    if (background.alpha() == 255) {
        // Over an opaque background the old rows land unchanged, so copying them equals drawing them.
        for (int y = 1; y < kPlotHeight; ++y) {
            std::memcpy(next.scanLine(y), state.image.constScanLine(y - 1),
                        static_cast<std::size_t>(kPlotWidth) * sizeof(QRgb));
        }
    } else {
        next.fill(background);
        QPainter painter(&next);
        painter.drawImage(0, 1, state.image);
    }

    const double nyquist = sampleRateHz / 2.0;
    const double lowest = std::min(nyquist / 100.0, 100.0);
    const double logSpan = std::log(nyquist / lowest);
    const double span = logSpan >= 1e-9 ? logSpan : 1e-9;
    const std::size_t bins = spectrumDbfs.size();
    const double spacing = nyquist / static_cast<double>(bins < 3 ? 1 : bins - 1);
    const FrequencyColumns columns = frequencyColumns(bins, lowest, span, spacing);
    auto* row = reinterpret_cast<QRgb*>(next.scanLine(0));
    for (std::size_t x = 0; x < columns.size(); ++x) {
        const double t = std::clamp((columnLevel(spectrumDbfs, columns[x]) + 100.0) / 80.0, 0.0, 1.0);
        row[x] = sampleColormap(table, t);
    }
    state.image = std::move(next);
    return 200.0 * state.averageRowIntervalS;
}

}  // namespace zk::render
