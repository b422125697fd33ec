#include "render/map_peaks.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

namespace zk::render {
namespace {

// No neighbour is greater, and some neighbour is smaller unless the cell has none that is a number:
// a plateau is no peak, an isolated cell is.
bool isLocalMaximum(std::span<const double> levels, std::size_t width, std::size_t height, std::size_t row,
                    std::size_t column) {
    const double value = levels[row * width + column];
    bool anyNeighbour = false;
    bool anySmaller = false;
    const std::size_t rowEnd = std::min(row + 2, height);
    const std::size_t columnEnd = std::min(column + 2, width);
    for (std::size_t r = row == 0 ? 0 : row - 1; r < rowEnd; ++r) {
        for (std::size_t c = column == 0 ? 0 : column - 1; c < columnEnd; ++c) {
            if (r == row && c == column) continue;
            const double neighbour = levels[r * width + c];
            if (std::isnan(neighbour)) continue;
            if (neighbour > value) return false;
            anyNeighbour = true;
            anySmaller = anySmaller || neighbour < value;
        }
    }
    return !anyNeighbour || anySmaller;
}

std::uint64_t distance(std::uint64_t a, std::uint64_t b) { return a > b ? a - b : b - a; }

}  // namespace

std::vector<MapPeak> findMapPeaks(std::span<const double> levels, std::uint64_t width, std::uint64_t height,
                                  double dropDb, std::uint64_t maxPeaks, std::uint64_t minSeparation) {
    // Division instead of width * height: the product of two 64-bit sizes can wrap past the length.
    if (width == 0 || height == 0 || maxPeaks == 0 || width > levels.size() / height) return {};
    const std::size_t cells = static_cast<std::size_t>(width * height);

    double top = -std::numeric_limits<double>::infinity();
    bool anyNumber = false;
    for (std::size_t i = 0; i < cells; ++i) {
        if (std::isnan(levels[i])) continue;
        top = anyNumber ? std::max(top, levels[i]) : levels[i];
        anyNumber = true;
    }
    if (!anyNumber) return {};

    // A NaN drop counts as 0; an infinite one admits every cell (top - inf would be NaN at top = +inf).
    const double drop = dropDb > 0.0 ? dropDb : 0.0;
    const double threshold = std::isinf(drop) ? -std::numeric_limits<double>::infinity() : top - drop;

    std::vector<MapPeak> candidates;
    for (std::size_t row = 0; row < height; ++row) {
        for (std::size_t column = 0; column < width; ++column) {
            const std::size_t index = row * width + column;
            const double value = levels[index];
            if (std::isnan(value) || value < threshold) continue;
            if (isLocalMaximum(levels, width, height, row, column)) {
                candidates.push_back({index, column, row, value});
            }
        }
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const MapPeak& a, const MapPeak& b) { return a.level > b.level; });

    std::vector<MapPeak> picked;
    for (const MapPeak& candidate : candidates) {
        if (picked.size() == maxPeaks) break;
        const bool tooClose = std::any_of(picked.begin(), picked.end(), [&](const MapPeak& p) {
            return std::max(distance(p.column, candidate.column), distance(p.row, candidate.row)) <
                   minSeparation;
        });
        if (!tooClose) picked.push_back(candidate);
    }
    return picked;
}

QString formatPeakLabel(const core::HeatmapGrid& map, bool absolute, std::uint64_t column, std::uint64_t row,
                        double level) {
    if (column >= map.azimuthDeg.size() || row >= map.elevationDeg.size()) return {};
    const double shown = absolute ? level - map.peakRelativeDb + map.peakDb : level;
    return QStringLiteral("%1° / %2° · %3 dB")
        .arg(map.azimuthDeg[column], 0, 'f', 1)
        .arg(map.elevationDeg[row], 0, 'f', 1)
        .arg(shown, 0, 'f', 1);
}

}  // namespace zk::render
