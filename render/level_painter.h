#pragma once

#include <QImage>
#include <span>

#include "render/plot_palette.h"

namespace zk::render {

// One RMS bar with its peak mark per channel in a grid of up to 32 columns, on the plot canvas.
// rmsDbfs and peakDbfs hold one value per channel (a missing peak counts as -96 dBFS).
[[nodiscard]] QImage paintLevelsImage(std::span<const double> rmsDbfs, std::span<const double> peakDbfs,
                                      const PlotColors& colors);

}  // namespace zk::render
