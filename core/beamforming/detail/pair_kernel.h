#pragma once

#include <cstdint>
#include <span>

#include "core/platform/cpu_features.h"

namespace zk::core::detail {

// Adds, for every grid point g in [first, end), the sum over microphone pairs r < k of
// Re(conj(a_r) * X_rk * a_k) to accumulator[g - first]; the accumulator is not cleared.
// planeRe / planeIm: one bin's steering planes, microphone-major with row stride gridPointCount.
// pairRe / pairIm: the strict upper triangle of X packed pair by pair in row order.
// scratch and accumulator hold end - first entries each. Products and partial sums are single
// precision; partial sums go into the double accumulator after at most 512 pairs (or one tile of a few
// triangle rows, when that alone holds more). Runs the widest variant vectorLevel() allows and returns
// its level (the level one would run, when there is nothing to add).
VectorLevel accumulatePairQuadraticForm(std::span<const float> planeRe, std::span<const float> planeIm,
                                        std::uint64_t microphoneCount, std::uint64_t gridPointCount,
                                        std::uint64_t first, std::uint64_t end, std::span<const float> pairRe,
                                        std::span<const float> pairIm, std::span<float> scratch,
                                        std::span<double> accumulator);

}  // namespace zk::core::detail
