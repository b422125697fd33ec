#pragma once

// Pieces shared by the broadband maps over a cached camera grid: the grid's axes and band stamps, and
// the blocked evaluation of per-bin weighted quadratic forms over the cached phase planes.

#include <omp.h>

#include <algorithm>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "core/beamforming/beamformer.h"
#include "core/beamforming/detail/pair_kernel.h"
#include "core/beamforming/detail/steering_blocks.h"
#include "core/beamforming/heatmap_grid.h"
#include "core/beamforming/render_cancel.h"
#include "core/detail/parallel_for.h"

namespace zk::core::detail {

// Axes and band stamps of a map (representative frequency = the middle bin, the upper one for an even
// count); the power plane is left to finalizeHeatmap. frequencies must not be empty.
inline HeatmapGrid mapSkeleton(std::span<const double> horizontalAxis, std::span<const double> verticalAxis,
                               std::span<const double> frequencies) {
    HeatmapGrid grid;
    grid.azimuthDeg.assign(horizontalAxis.begin(), horizontalAxis.end());
    grid.elevationDeg.assign(verticalAxis.begin(), verticalAxis.end());
    grid.width = grid.azimuthDeg.size();
    grid.height = grid.elevationDeg.size();
    const std::size_t n = frequencies.size();
    grid.representativeFrequencyHz = frequencies[n / 2];
    grid.firstFrequencyHz = frequencies[0];
    grid.lastFrequencyHz = frequencies[n - 1];
    grid.binCount = n;
    return grid;
}

inline HeatmapGrid mapSkeleton(const Beamformer::CameraBandSteeringCache& cache,
                               std::span<const double> frequencies) {
    return mapSkeleton(cache.horizontalAxis, cache.verticalAxis, frequencies);
}

// Fills a bin's weights from the upper triangle, diagonal included, of a column-major M x M Hermitian
// matrix W, so that Q = a^H W a / M: the diagonal term is trace(W) / M and each pair r < k carries
// 2 W_rk / M. Marks the bin valid.
inline void packPairWeights(std::span<const std::complex<double>> W, std::uint64_t M,
                            Beamformer::PairWeights& out) {
    const double scale = 1.0 / static_cast<double>(M);
    double trace = 0.0;
    for (std::uint64_t i = 0; i < M; ++i) {
        trace += W[i + i * M].real();
    }
    out.diagonalTerm = trace * scale;
    const std::size_t pairCount = M * (M - 1) / 2;
    out.pairRe.resize(pairCount);
    out.pairIm.resize(pairCount);
    std::size_t pair = 0;
    for (std::uint64_t x = 0; x + 1 < M; ++x) {
        for (std::uint64_t y = x + 1; y < M; ++y, ++pair) {
            const std::complex<double> w = W[x + y * M];
            out.pairRe[pair] = static_cast<float>(2.0 * scale * w.real());
            out.pairIm[pair] = static_cast<float>(2.0 * scale * w.imag());
        }
    }
    out.valid = true;
}

// The weighted point stage runs the single-precision pair kernel over this many consecutive points.
inline constexpr std::uint64_t kWeightedMapPointBlock = 128;

// Sums toPower(Q, bin) over the valid bins at every grid point, Q being the bin's diagonal term plus
// its weighted pair sum. Parallel over blocks of points; each block owns its slice of the plane.
// toPower must not throw: it runs inside the OpenMP team.
template <typename ToPower>
std::vector<double> accumulateWeightedMap(const Beamformer::CameraBandSteeringCache& cache,
                                          std::span<const Beamformer::PairWeights> bins, std::uint64_t M,
                                          ToPower toPower) {
    constexpr std::uint64_t kBlock = kWeightedMapPointBlock;
    const std::uint64_t G = cache.gridPointCount;
    std::vector<double> power(G, 0.0);
    const auto blockCount = static_cast<std::int64_t>((G + kBlock - 1) / kBlock);
    const int threads = beamformerThreadCount();
    // Everything the team needs is allocated before it, so nothing inside it can throw.
    std::vector<float> scratchAll(static_cast<std::size_t>(threads) * kBlock);
    std::vector<double> accumulatorAll(static_cast<std::size_t>(threads) * kBlock);
    std::vector<SteeringBlocks> steeringAll =
        steeringBlocksPerThread(cache, threads, kBlock, SteeringBlocks::Layout::kPlanes);
    const CancelPoll cancel;
    TeamCancel teamCancel(cancel);
#pragma omp parallel num_threads(threads)
    {
        const auto thread = static_cast<std::size_t>(omp_get_thread_num());
        const std::span<float> scratch = std::span(scratchAll).subspan(thread * kBlock, kBlock);
        const std::span<double> accumulator = std::span(accumulatorAll).subspan(thread * kBlock, kBlock);
        SteeringBlocks& steering = steeringAll[thread];
#pragma omp for schedule(static)
        for (std::int64_t block = 0; block < blockCount; ++block) {
            if (teamCancel.raised()) continue;
            cancel.entering(RenderLoop::kWeightedPoints);
            if (teamCancel.stop()) continue;
            const std::uint64_t first = static_cast<std::uint64_t>(block) * kBlock;
            const std::uint64_t end = std::min(first + kBlock, G);
            const std::uint64_t count = end - first;
            for (std::size_t b = 0; b < bins.size(); ++b) {
                const Beamformer::PairWeights& weights = bins[b];
                if (!weights.valid) {
                    continue;
                }
                std::fill_n(accumulator.begin(), count, weights.diagonalTerm);
                const PlaneBlock planes = steering.planes(b, first, end);
                accumulatePairQuadraticForm(planes.re, planes.im, M, planes.stride, planes.first, planes.end,
                                            weights.pairRe, weights.pairIm, scratch.first(count),
                                            accumulator.first(count));
                for (std::uint64_t i = 0; i < count; ++i) {
                    power[first + i] += toPower(accumulator[i], weights);
                }
            }
        }
    }
    if (teamCancel.raised()) throwCancelled();
    return power;
}

}  // namespace zk::core::detail
