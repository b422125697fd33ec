#pragma once

#include <QString>
#include <cstdint>
#include <span>
#include <vector>

#include "core/beamforming/heatmap_grid.h"

namespace zk::render {

struct MapPeak {
    std::uint64_t index = 0;  // row-major
    std::uint64_t column = 0;
    std::uint64_t row = 0;
    double level = 0.0;
};

// Local maxima of a row-major width x height level plane (NaN cells left out) within dropDb of its
// largest value, strongest first, at most maxPeaks of them and no two closer than minSeparation cells
// (Chebyshev distance). Empty when the plane holds fewer than width x height levels.
std::vector<MapPeak> findMapPeaks(std::span<const double> levels, std::uint64_t width, std::uint64_t height,
                                  double dropDb, std::uint64_t maxPeaks, std::uint64_t minSeparation);

// "azimuth° / elevation° · level dB" of a cell, one decimal each. On absolute maps the level (relative
// dB) is shown in dBFS through the map's peak. Empty when the cell lies beyond the map's axes.
QString formatPeakLabel(const core::HeatmapGrid& map, bool absolute, std::uint64_t column, std::uint64_t row,
                        double level);

}  // namespace zk::render
