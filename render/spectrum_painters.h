#pragma once

#include <QImage>
#include <QPainterPath>
#include <QPointF>
#include <array>
#include <cstddef>
#include <span>
#include <vector>

#include "render/plot_canvas.h"
#include "render/plot_palette.h"

namespace zk::render {

// One-sided dBFS spectrum (N / 2 + 1 bins) of the newest N samples, N the largest power of two from 256
// to 32768 within largestWindow and the sample count; empty when none fits. Mean removed, symmetric Hann
// window, full-scale sine at a bin centre = 0 dBFS, floor -120 dBFS. peakFrequencyHz and peakLevelDbfs
// receive the first highest bin above DC (0 Hz and -120 dBFS when no bin rises above -120).
[[nodiscard]] std::vector<double> computeChannelSpectrumDbfs(std::span<const double> samples,
                                                             double sampleRateHz, std::size_t largestWindow,
                                                             double& peakFrequencyHz, double& peakLevelDbfs);

// Bins [first, end) that one column of the logarithmic frequency axis covers; empty when first >= end.
struct ColumnBins {
    std::size_t first = 0;
    std::size_t end = 0;
};
using FrequencyColumns = std::array<ColumnBins, kPlotWidth>;

// The logarithmic axis from lowest Hz to lowest x e^span over the plot's columns, for bins spaced
// spacingHz apart from 0 Hz. Shared by the spectrum curve and the waterfall rows.
[[nodiscard]] FrequencyColumns frequencyColumns(std::size_t bins, double lowestHz, double span,
                                                double spacingHz);

// The largest value of a column's bins, floored at -120 dBFS (NaN values never win).
[[nodiscard]] double columnLevel(std::span<const double> spectrumDbfs, ColumnBins bins);

// The Spectrum page's bars: bars levels in 0..1, one per logarithmic band of the spectrum plot's own
// axis (from min(Nyquist / 100, 100 Hz) to Nyquist, cut in equal ratios), each the band's largest bin
// under the plot's scale (-120 dBFS empty, 0 dBFS full). Empty without bins or without a positive span.
[[nodiscard]] std::vector<double> spectrumBarLevels(std::span<const double> spectrumDbfs, double sampleRateHz,
                                                    std::size_t bars);

// The points of spectrumCurvePath, one per column.
[[nodiscard]] std::vector<QPointF> spectrumCurvePoints(std::span<const double> spectrumDbfs,
                                                       double sampleRateHz);

// The curve of one spectrum (one value per bin from 0 Hz to Nyquist) across the 820 columns, -120 dBFS at
// row 199 and 0 dBFS at the top; empty without bins or without a positive axis span.
[[nodiscard]] QPainterPath spectrumCurvePath(std::span<const double> spectrumDbfs, double sampleRateHz);

// The spectrum in the palette's cursor colour, with an optional second spectrum of the same length drawn
// beneath it at alpha 110 (an empty span draws none).
[[nodiscard]] QImage paintSpectrumPlot(std::span<const double> spectrumDbfs, double sampleRateHz,
                                       const PlotColors& colors, std::span<const double> second = {});

}  // namespace zk::render
