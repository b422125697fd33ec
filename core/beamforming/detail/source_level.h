#pragma once

// The level scale of the maps whose peak is a multiple of the source's power. For one plane wave of
// power p on every bin, R = p a a^H + s I with |a_m| = 1 over M microphones, the map at the wave's
// direction holds:
// - Functional: lambda_max Q^n with Q = 1 there, lambda_max = pM + s;
// - Orthogonal: lambda_max = pM + s, placed on one cell;
// - Capon with loading d = U^2 G lambda_max + L0 (p + s): 1 / (a^H (R + dI)^-1 a / M) = pM + s + d.
// Divided by their gains (M, and M (1 + U^2 G) + L0) each reads p + O(s / M), as DAS does.

#include <cstdint>
#include <utility>
#include <vector>

#include "core/beamforming/heatmap_grid.h"

namespace zk::core::detail {

inline double eigenSourceGain(std::uint64_t microphones) { return static_cast<double>(microphones); }

// baseLoading L0, uncertainty U and its gain G as the Capon map takes them (U = G = 0 for MVDR).
inline double caponSourceGain(std::uint64_t microphones, double baseLoading, double uncertainty,
                              double uncertaintyGain) {
    return static_cast<double>(microphones) * (1.0 + uncertainty * uncertainty * uncertaintyGain) +
           baseLoading;
}

// The map with its power divided by gain (> 0): its dB and peak level follow, its shape stays.
inline HeatmapGrid atSourceLevel(HeatmapGrid map, double gain) {
    std::vector<double> power = std::move(map.power);
    for (double& cell : power) cell /= gain;
    return finalizeHeatmap(std::move(map), std::move(power));
}

}  // namespace zk::core::detail
