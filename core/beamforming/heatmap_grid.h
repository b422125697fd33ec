#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zk::core {

// Result of every beamforming algorithm: linear beam power over a grid of directions plus the
// derived dB views and peak. Cells are row-major: (row r, column c) at r * width + c, a row being
// one elevation value and a column one azimuth value. Levels are 10 log10 of power.
struct HeatmapGrid {
    std::vector<double> azimuthDeg;    // one value per column, ascending
    std::vector<double> elevationDeg;  // one value per row, ascending
    std::vector<double> power;
    std::vector<double> db;
    std::vector<double> relativeDb;  // db - peakDb
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    std::uint64_t peakIndex = 0;
    double peakAzimuthDeg = 0.0;
    double peakElevationDeg = 0.0;
    double peakRelativeDb = 0.0;
    double peakDb = -240.0;
    double minRelativeDb = -120.0;
    double dynamicRangeDb = 0.0;
    double representativeFrequencyHz = 0.0;
    double firstFrequencyHz = 0.0;
    double lastFrequencyHz = 0.0;
    std::uint64_t binCount = 1;
    std::uint64_t parametersRevision = 0;
    std::uint32_t algorithmId = 1;
    std::uint32_t estimatedSourceCount = 0;
};

// Stores power in the grid and derives db, relativeDb and the peak and range fields; every other
// field passes through. Width and the axes must already be set. Cells are floored at 1e-24 (-240 dB);
// a map with no positive cell reads -240 dB absolute and -120 dB relative everywhere. The range
// (minRelativeDb, dynamicRangeDb) spans the cells that hold a level (cellHoldsLevel) only.
HeatmapGrid finalizeHeatmap(HeatmapGrid grid, std::vector<double> power);

// Whether cell i holds a level: its power lies above the 1e-24 floor. A floored cell (diagonal removal
// leaves cells without power) has no level; its db is the floor and its relative level means nothing.
// A map read back from its file has no power, so there the floor is recognised in db; a map with
// neither plane (a file without absolute levels) counts every cell.
bool cellHoldsLevel(const HeatmapGrid& grid, std::size_t i);

// Sets minRelativeDb and dynamicRangeDb from the cells that hold a level; 0 and 0 when none does.
void deriveLevelRange(HeatmapGrid& grid);

// Whether the map's levels are absolute (dBFS): its algorithm shows them so (algorithmHasAbsoluteLevels)
// and it holds its db plane. Otherwise only its levels relative to its peak mean anything.
bool mapHasAbsoluteLevels(const HeatmapGrid& map);

// Sums the power of maps on the same grid (one per bin) into one finalised broadband map whose other
// fields come from the first grid and whose binCount is the number of grids. Throws
// std::invalid_argument on an empty list or grids of different shape.
HeatmapGrid combineHeatmapBands(const std::vector<HeatmapGrid>& grids);

}  // namespace zk::core
