#pragma once

#include <cstdint>
#include <vector>

// Coarse sub-grid on which the deconvolution algorithms solve; the Beamformer entries live in
// beamformer.h and are implemented in deconvolution_maps.cpp.
namespace zk::core::detail {

// Sampled lines of one grid dimension: 0, stride, 2 stride, ... while below count, then count - 1 when
// the last one is not already count - 1. Empty for count 0; stride must be at least 1.
std::vector<std::uint64_t> coarseGridLines(std::uint64_t count, std::uint32_t stride);

// Full-grid indices row * width + column of the coarse points: for each sampled column in order, for each
// sampled row in order.
std::vector<std::uint64_t> coarseGridPoints(const std::vector<std::uint64_t>& rows,
                                            const std::vector<std::uint64_t>& columns, std::uint64_t width);

}  // namespace zk::core::detail
