#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

#include "core/beamforming/beamformer.h"
#include "core/beamforming/detail/algorithm_table.h"
#include "core/beamforming/detail/map_support.h"
#include "core/beamforming/heatmap_grid.h"

namespace zk::core {

namespace {

constexpr detail::ValidityLimits kFloor =
    detail::validityLimits(BeamformingAlgorithm::kSrpPhat, "phat_floor");
constexpr detail::ValidityLimits kExponent =
    detail::validityLimits(BeamformingAlgorithm::kSrpPhat, "phat_exponent");

// Divides every cross term by a power of the geometric mean of its two auto powers, so that with
// exponent 1 only the phase of each cross spectrum is left. Every bin is usable.
std::vector<Beamformer::PairWeights> whitenBand(std::span<const MatrixRows> matrices, std::uint64_t M,
                                                double floor, double exponent, bool zeroDiagonal) {
    const std::uint64_t pairCount = M * (M - 1) / 2;
    std::vector<Beamformer::PairWeights> band(matrices.size());
    std::vector<double> autoPower(M);
    for (std::size_t b = 0; b < matrices.size(); ++b) {
        const MatrixRows& R = matrices[b];
        Beamformer::PairWeights& weights = band[b];
        for (std::uint64_t k = 0; k < M; ++k) {
            autoPower[k] = std::max(0.0, R[k][k].real());
        }
        weights.pairRe.resize(pairCount);
        weights.pairIm.resize(pairCount);
        std::size_t p = 0;
        for (std::uint64_t x = 0; x + 1 < M; ++x) {
            for (std::uint64_t y = x + 1; y < M; ++y, ++p) {
                const double divisor =
                    std::pow(std::max(floor, std::sqrt(autoPower[x] * autoPower[y])), exponent);
                weights.pairRe[p] = static_cast<float>(2.0 * R[x][y].real() / divisor);
                weights.pairIm[p] = static_cast<float>(2.0 * R[x][y].imag() / divisor);
            }
        }
        if (!zeroDiagonal) {
            double diagonal = 0.0;
            for (std::uint64_t k = 0; k < M; ++k) {
                diagonal += autoPower[k] / std::pow(std::max(floor, autoPower[k]), exponent);
            }
            weights.diagonalTerm = diagonal;
        }
        weights.valid = true;
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
    return srpPhatMap(matrixRows, frequencies, floor, exponent, zeroDiagonal,
                      CameraGridSpec{horizontalSpanDeg, verticalSpanDeg, horizontalCentreDeg,
                                     verticalCentreDeg, horizontalStepDeg, verticalStepDeg, focusDistanceM});
}

HeatmapGrid Beamformer::srpPhatMap(std::span<const MatrixRows> matrixRows,
                                   std::span<const double> frequencies, double floor, double exponent,
                                   bool zeroDiagonal, const CameraGridSpec& grid) const {
    const std::size_t B = matrixRows.size();
    if (B == 0 || B != frequencies.size()) {
        throw std::invalid_argument("invalid broadband matrix/frequency band");
    }
    if (!kFloor.admits(floor) || !kExponent.admits(exponent)) {
        throw std::invalid_argument("invalid PHAT parameters");
    }
    checkCameraGrid(grid);
    const std::uint64_t M = microphoneCount();
    checkBroadbandMatrix(matrixRows, frequencies, M);
    const auto cache = steeringCacheFor(frequencies, grid);

    const std::vector<PairWeights> band = whitenBand(matrixRows, M, floor, exponent, zeroDiagonal);
    const double normalisation =
        zeroDiagonal && M > 1 ? static_cast<double>(M * (M - 1)) : static_cast<double>(M * M);
    std::vector<double> power = detail::accumulateWeightedMap(
        *cache, band, M,
        [normalisation](double Q, const PairWeights&) { return std::max(Q / normalisation, 0.0); });
    return finalizeHeatmap(detail::mapSkeleton(*cache, frequencies), std::move(power));
}

}  // namespace zk::core
