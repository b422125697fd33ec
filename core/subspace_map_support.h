#pragma once

#include <cstddef>
#include <span>

#include "core/beamformer.h"
#include "core/heatmap_grid.h"

namespace zk::core {

// Axes and band stamps of a map over a cached grid (representative frequency = the middle bin, the
// upper one for an even count); the power plane is left to finalizeHeatmap.
inline HeatmapGrid subspaceMapSkeleton(const Beamformer::CameraBandSteeringCache& cache,
                                       std::span<const double> frequencies) {
    HeatmapGrid grid;
    grid.azimuthDeg = cache.horizontalAxis;
    grid.elevationDeg = cache.verticalAxis;
    grid.width = grid.azimuthDeg.size();
    grid.height = grid.elevationDeg.size();
    const std::size_t n = frequencies.size();
    grid.representativeFrequencyHz = frequencies[n / 2];
    grid.firstFrequencyHz = frequencies[0];
    grid.lastFrequencyHz = frequencies[n - 1];
    grid.binCount = n;
    return grid;
}

}  // namespace zk::core
