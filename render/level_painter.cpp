#include "render/level_painter.h"

#include <QColor>
#include <QPainter>
#include <QRectF>
#include <algorithm>
#include <cstddef>

#include "render/plot_canvas.h"

namespace zk::render {
namespace {

constexpr double kFloorDbfs = -96.0;

// Level clamped to the meter's -96 .. 0 dBFS; NaN reads as the floor so no NaN reaches a coordinate.
double meterLevel(double dbfs) { return dbfs > kFloorDbfs ? std::min(dbfs, 0.0) : kFloorDbfs; }

std::size_t levelColumns(std::size_t channels) {
    if (channels <= 24) return channels;
    return channels <= 48 ? 24 : 32;
}

}  // namespace

QImage paintLevelsImage(std::span<const double> rmsDbfs, std::span<const double> peakDbfs,
                        const PlotColors& colors) {
    QImage image = blankPlotImage();
    const std::size_t channels = rmsDbfs.size();
    if (channels == 0) return image;
    const std::size_t columns = levelColumns(channels);
    const std::size_t rows = (channels + columns - 1) / columns;
    const double cellWidth = static_cast<double>(kPlotWidth) / static_cast<double>(columns);
    const double cellHeight = static_cast<double>(kPlotHeight) / static_cast<double>(rows);
    const double barWidth = std::clamp(cellWidth / 2.0, 4.0, 14.0);
    // Above 384 channels a cell is lower than the 16 units kept below each bar: the bar vanishes.
    const double barHeight = std::max(0.0, cellHeight - 16.0);
    const QColor hot = QColor::fromString(u"#fb7185");
    const QColor warm = QColor::fromString(u"#fbbf24");
    const QColor cool = QColor::fromString(u"#22c55e");

    QPainter painter(&image);
    painter.scale(kPlotScale, kPlotScale);
    for (std::size_t k = 0; k < channels; ++k) {
        const double left = (static_cast<double>(k % columns) + 0.5) * cellWidth - barWidth / 2.0;
        const double top = static_cast<double>(k / columns) * cellHeight;
        const double bottom = top + barHeight;
        painter.fillRect(QRectF(left, top, barWidth, barHeight), colors.grid);

        const double rms = rmsDbfs[k];
        const double levelY = top + (1.0 - (96.0 + meterLevel(rms)) / 96.0) * barHeight;
        const QColor& fill = rms > -6.0 ? hot : (rms > -24.0 ? warm : cool);
        painter.fillRect(QRectF(left, levelY, barWidth, bottom - levelY), fill);

        const double peak = k < peakDbfs.size() ? peakDbfs[k] : kFloorDbfs;
        const double peakY = top + (1.0 - (96.0 + meterLevel(peak)) / 96.0) * barHeight;
        painter.fillRect(QRectF(left - 1.0, peakY - 1.0, barWidth + 2.0, 2.0), hot);
    }
    return image;
}

}  // namespace zk::render
