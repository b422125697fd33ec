#pragma once

// Pieces shared by the Capon and Functional maps: both reduce each bin to packed pair weights plus a
// diagonal term and then evaluate the quadratic form block by block over the cached phase planes.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "core/beamformer.h"
#include "core/heatmap_grid.h"
#include "core/pair_kernel.h"

namespace zk::core::adaptive {

// The point stage runs the single-precision pair kernel over this many consecutive grid points.
inline constexpr std::uint64_t kPointBlock = 128;

// Axes and band stamps of a map over the cached grid; the power plane is left to finalizeHeatmap.
inline HeatmapGrid mapSkeleton(const Beamformer::CameraBandSteeringCache& cache,
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

// Sums toPower(Q, bin) over the valid bins at every grid point, Q being the bin's diagonal term plus
// its weighted pair sum. Parallel over blocks of points; each block owns its slice of the plane.
template <typename ToPower>
std::vector<double> accumulateWeightedMap(const Beamformer::CameraBandSteeringCache& cache,
                                          std::span<const Beamformer::PairWeights> bins, std::uint64_t M,
                                          ToPower toPower) {
    const std::uint64_t G = cache.gridPointCount;
    std::vector<double> power(G, 0.0);
    const auto blockCount = static_cast<std::int64_t>((G + kPointBlock - 1) / kPointBlock);
#pragma omp parallel num_threads(beamformerThreadCount())
    {
        std::vector<float> scratch(kPointBlock);
        std::vector<double> accumulator(kPointBlock);
#pragma omp for schedule(static)
        for (std::int64_t block = 0; block < blockCount; ++block) {
            const std::uint64_t first = static_cast<std::uint64_t>(block) * kPointBlock;
            const std::uint64_t end = std::min(first + kPointBlock, G);
            const std::uint64_t count = end - first;
            for (std::size_t b = 0; b < bins.size(); ++b) {
                const Beamformer::PairWeights& weights = bins[b];
                if (!weights.valid) {
                    continue;
                }
                std::fill_n(accumulator.begin(), count, weights.diagonalTerm);
                const std::size_t plane = b * M * G;
                accumulatePairQuadraticForm(std::span<const float>(cache.phasePlaneRe).subspan(plane, M * G),
                                            std::span<const float>(cache.phasePlaneIm).subspan(plane, M * G),
                                            M, G, first, end, weights.pairRe, weights.pairIm,
                                            std::span<float>(scratch).first(count),
                                            std::span<double>(accumulator).first(count));
                for (std::uint64_t i = 0; i < count; ++i) {
                    power[first + i] += toPower(accumulator[i], weights);
                }
            }
        }
    }
    return power;
}

}  // namespace zk::core::adaptive
