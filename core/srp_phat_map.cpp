#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

#include "core/beamformer.h"
#include "core/heatmap_grid.h"
#include "core/pair_kernel.h"
#include "core/subspace_map_support.h"

namespace zk::core {

namespace {

// The pair kernel runs over this many consecutive grid points at a time.
constexpr std::uint64_t kPointBlock = 128;

struct WhitenedBand {
    std::vector<float> pairRe;         // B x P, bin b's block at b * P
    std::vector<float> pairIm;         // same layout
    std::vector<double> diagonalTerm;  // B
};

// Divides every cross term by a power of the geometric mean of its two auto powers, so that with
// exponent 1 only the phase of each cross spectrum is left.
WhitenedBand whitenBand(std::span<const MatrixRows> matrices, std::uint64_t M, double floor, double exponent,
                        bool zeroDiagonal) {
    const std::uint64_t pairCount = M * (M - 1) / 2;
    WhitenedBand band;
    band.pairRe.resize(matrices.size() * pairCount);
    band.pairIm.resize(matrices.size() * pairCount);
    band.diagonalTerm.assign(matrices.size(), 0.0);
    std::vector<double> autoPower(M);
    for (std::size_t b = 0; b < matrices.size(); ++b) {
        const MatrixRows& R = matrices[b];
        for (std::uint64_t k = 0; k < M; ++k) {
            autoPower[k] = std::max(0.0, R[k][k].real());
        }
        std::size_t p = b * pairCount;
        for (std::uint64_t x = 0; x + 1 < M; ++x) {
            for (std::uint64_t y = x + 1; y < M; ++y, ++p) {
                const double divisor =
                    std::pow(std::max(floor, std::sqrt(autoPower[x] * autoPower[y])), exponent);
                band.pairRe[p] = static_cast<float>(2.0 * R[x][y].real() / divisor);
                band.pairIm[p] = static_cast<float>(2.0 * R[x][y].imag() / divisor);
            }
        }
        if (!zeroDiagonal) {
            double diagonal = 0.0;
            for (std::uint64_t k = 0; k < M; ++k) {
                diagonal += autoPower[k] / std::pow(std::max(floor, autoPower[k]), exponent);
            }
            band.diagonalTerm[b] = diagonal;
        }
    }
    return band;
}

}  // namespace

HeatmapGrid Beamformer::srpPhatMap(std::span<const MatrixRows> matrixRows,
                                   std::span<const double> frequencies, double floor, double exponent,
                                   bool zeroDiagonal, double horizontalSpanDeg, double verticalSpanDeg,
                                   double horizontalCentreDeg, double verticalCentreDeg,
                                   double horizontalStepDeg, double verticalStepDeg,
                                   double focusDistanceM) const {
    const std::size_t B = matrixRows.size();
    if (B == 0 || B != frequencies.size()) {
        throw std::invalid_argument("invalid broadband matrix/frequency band");
    }
    if (!std::isfinite(floor) || !(floor > 0.0) || !std::isfinite(exponent) || exponent < 0.0 ||
        exponent > 1.0) {
        throw std::invalid_argument("invalid PHAT parameters");
    }
    checkCameraGrid({horizontalSpanDeg, verticalSpanDeg, horizontalCentreDeg, verticalCentreDeg,
                     horizontalStepDeg, verticalStepDeg, focusDistanceM});
    const std::uint64_t M = microphoneCount();
    checkBroadbandMatrix(matrixRows, frequencies, M);
    const auto cache =
        steeringCacheFor(frequencies, horizontalSpanDeg, verticalSpanDeg, horizontalCentreDeg,
                         verticalCentreDeg, horizontalStepDeg, verticalStepDeg, focusDistanceM);

    const WhitenedBand band = whitenBand(matrixRows, M, floor, exponent, zeroDiagonal);
    const double normalisation =
        zeroDiagonal && M > 1 ? static_cast<double>(M * (M - 1)) : static_cast<double>(M * M);
    const std::uint64_t pairCount = M * (M - 1) / 2;
    const std::uint64_t G = cache->gridPointCount;
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
            for (std::size_t b = 0; b < B; ++b) {
                std::fill_n(accumulator.begin(), count, band.diagonalTerm[b]);
                if (pairCount > 0) {
                    const std::size_t planeOffset = b * M * G;
                    const std::size_t pairOffset = b * pairCount;
                    accumulatePairQuadraticForm(
                        std::span(cache->phasePlaneRe).subspan(planeOffset, M * G),
                        std::span(cache->phasePlaneIm).subspan(planeOffset, M * G), M, G, first, end,
                        std::span(band.pairRe).subspan(pairOffset, pairCount),
                        std::span(band.pairIm).subspan(pairOffset, pairCount),
                        std::span(scratch).first(count), std::span(accumulator).first(count));
                }
                for (std::uint64_t i = 0; i < count; ++i) {
                    power[first + i] += std::max(accumulator[i] / normalisation, 0.0);
                }
            }
        }
    }
    return finalizeHeatmap(subspaceMapSkeleton(*cache, frequencies), std::move(power));
}

}  // namespace zk::core
