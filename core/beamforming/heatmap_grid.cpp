#include "core/beamforming/heatmap_grid.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <stdexcept>
#include <utility>

#include "core/beamforming/beamforming_parameters.h"

namespace zk::core {
namespace {

constexpr double kFloorPower = 1e-24;
constexpr double kFloorDb = -240.0;
constexpr double kEmptyRelativeDb = -120.0;
// db is read back as relativeDb + peakDb, which may miss the floor by a few ulps.
constexpr double kFloorDbTolerance = 1e-9;

// Producers guarantee the axes cover the peak cell; the checks only keep a malformed grid from
// reading past its axes (or dividing by a zero width), leaving the direction unchanged instead.
void setPeakDirection(HeatmapGrid& grid, std::size_t index) {
    if (grid.width == 0) return;
    const std::uint64_t column = index % grid.width;
    const std::uint64_t row = index / grid.width;
    if (column < grid.azimuthDeg.size()) grid.peakAzimuthDeg = grid.azimuthDeg[column];
    if (row < grid.elevationDeg.size()) grid.peakElevationDeg = grid.elevationDeg[row];
}

}  // namespace

HeatmapGrid finalizeHeatmap(HeatmapGrid grid, std::vector<double> power) {
    grid.power = std::move(power);
    const std::vector<double>& p = grid.power;
    const std::size_t n = p.size();

    std::size_t peak = 0;
    for (std::size_t i = 1; i < n; ++i) {
        if (p[i] > p[peak]) peak = i;
    }

    if (n == 0 || !(p[peak] > 0.0)) {
        grid.db.assign(n, kFloorDb);
        grid.relativeDb.assign(n, kEmptyRelativeDb);
        grid.peakIndex = 0;
        if (!grid.azimuthDeg.empty()) grid.peakAzimuthDeg = grid.azimuthDeg.front();
        if (!grid.elevationDeg.empty()) grid.peakElevationDeg = grid.elevationDeg.front();
        grid.peakRelativeDb = kEmptyRelativeDb;
        grid.peakDb = kFloorDb;
        grid.minRelativeDb = kEmptyRelativeDb;
        grid.dynamicRangeDb = 0.0;
        return grid;
    }

    grid.peakIndex = peak;
    setPeakDirection(grid, peak);
    // The peak itself is not floored: a peak below 1e-24 keeps its true level.
    const double peakDb = 10.0 * std::log10(p[peak]);
    grid.peakDb = peakDb;
    grid.peakRelativeDb = 0.0;

    grid.db.resize(n);
    grid.relativeDb.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double db = 10.0 * std::log10(std::max(p[i], kFloorPower));
        grid.db[i] = db;
        grid.relativeDb[i] = db - peakDb;
    }
    deriveLevelRange(grid);
    return grid;
}

bool cellHoldsLevel(const HeatmapGrid& grid, std::size_t i) {
    if (grid.power.size() == grid.relativeDb.size())
        return i < grid.power.size() && grid.power[i] > kFloorPower;
    if (grid.db.size() == grid.relativeDb.size())
        return i < grid.db.size() && grid.db[i] > kFloorDb + kFloorDbTolerance;
    return true;
}

void deriveLevelRange(HeatmapGrid& grid) {
    bool any = false;
    double minRelative = 0.0;
    for (std::size_t i = 0; i < grid.relativeDb.size(); ++i) {
        if (!cellHoldsLevel(grid, i)) continue;
        if (!any || grid.relativeDb[i] < minRelative) minRelative = grid.relativeDb[i];
        any = true;
    }
    grid.minRelativeDb = minRelative;
    grid.dynamicRangeDb = any ? -minRelative : 0.0;
}

HeatmapGrid combineHeatmapBands(const std::vector<HeatmapGrid>& grids) {
    if (grids.empty()) throw std::invalid_argument("cannot combine an empty heatmap band");
    const HeatmapGrid& first = grids.front();
    std::vector<double> sum(first.power.size(), 0.0);
    for (const HeatmapGrid& grid : grids) {
        if (grid.width != first.width || grid.height != first.height || grid.power.size() != sum.size()) {
            throw std::invalid_argument("heatmap grids do not match");
        }
        for (std::size_t i = 0; i < sum.size(); ++i) sum[i] += grid.power[i];
    }
    HeatmapGrid combined = first;
    combined.binCount = grids.size();
    return finalizeHeatmap(std::move(combined), std::move(sum));
}

bool mapHasAbsoluteLevels(const HeatmapGrid& map) {
    return map.db.size() == map.relativeDb.size() &&
           algorithmHasAbsoluteLevels(static_cast<std::int32_t>(map.algorithmId));
}

}  // namespace zk::core
