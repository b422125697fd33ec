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
#include "core/beamforming/render_cancel.h"
#include "core/detail/parallel_for.h"
#include "core/signal/hermitian.h"

namespace zk::core {

namespace {

using detail::validityLimits;

// The limits the settings of one entry must meet; the two algorithm entries take theirs from the table.
struct CaponLimits {
    detail::ValidityLimits loading;
    detail::ValidityLimits uncertainty;
    detail::ValidityLimits uncertaintyGain;
    detail::ValidityLimits floor;
};

// MVDR is Capon without the uncertainty term.
constexpr CaponLimits kMvdrLimits{validityLimits(BeamformingAlgorithm::kMvdr, "mvdr_loading"),
                                  detail::closedRange(0.0, 0.0), detail::closedRange(0.0, 0.0),
                                  validityLimits(BeamformingAlgorithm::kMvdr, "mvdr_floor")};
constexpr CaponLimits kRobustLimits{
    validityLimits(BeamformingAlgorithm::kRobustCapon, "robust_capon_base_loading"),
    validityLimits(BeamformingAlgorithm::kRobustCapon, "robust_capon_uncertainty"),
    validityLimits(BeamformingAlgorithm::kRobustCapon, "robust_capon_uncertainty_gain"),
    validityLimits(BeamformingAlgorithm::kRobustCapon, "robust_capon_floor")};
// The general form accepts whatever keeps the computation defined: finite settings, at least zero,
// and a positive floor.
constexpr CaponLimits kGeneralLimits{detail::finiteAtLeast(0.0), detail::finiteAtLeast(0.0),
                                     detail::finiteAtLeast(0.0), detail::finiteAbove(0.0)};

// Reduces one bin to the packed upper triangle of its loaded inverse; leaves the record invalid when
// the bin has no usable power or the loaded matrix cannot be inverted.
void caponBinWeights(const MatrixRows& rows, std::uint64_t M, double baseLoading, double uncertainty,
                     double uncertaintyGain, bool robust, Beamformer::PairWeights& out) {
    std::vector<std::complex<double>> R = hermitianSymmetrize(rows);
    double trace = 0.0;
    for (std::uint64_t i = 0; i < M; ++i) {
        trace += R[i + i * M].real();
    }
    const double meanPower = trace / static_cast<double>(M);
    if (!(meanPower > 0.0) || !std::isfinite(meanPower)) {
        return;
    }
    double loadingBase = meanPower;
    if (robust) {
        const HermitianEigenResult eigen = hermitianEigen(R.data(), M);
        if (eigen.vectors.ok && !eigen.eigenvalues.empty()) {
            const double lambdaMax = eigen.eigenvalues.back();
            if (std::isfinite(lambdaMax) && lambdaMax >= 0.0) {
                loadingBase = lambdaMax;
            }
        }
    }
    const double loading =
        uncertainty * uncertaintyGain * uncertainty * loadingBase + meanPower * baseLoading;
    for (std::uint64_t i = 0; i < M; ++i) {
        R[i + i * M] += loading;
    }
    const HermitianResult inverse = hermitianInverse(R.data(), M);
    if (!inverse.ok) {
        return;
    }
    detail::packPairWeights(inverse.values, M, out);
}

// The Capon map once the band, the grid and the settings have passed their checks, in that order.
HeatmapGrid caponMapWithin(const Beamformer& beamformer, std::span<const MatrixRows> matrices,
                           std::span<const double> frequencies, double loading, double uncertainty,
                           double uncertaintyGain, double floor, const CameraGridSpec& grid,
                           const CaponLimits& limits) {
    const std::uint64_t M = beamformer.microphoneCount();
    checkBroadbandMatrix(matrices, frequencies, M);
    checkCameraGrid(grid);
    if (!limits.loading.admits(loading) || !limits.uncertainty.admits(uncertainty) ||
        !limits.uncertaintyGain.admits(uncertaintyGain) || !limits.floor.admits(floor)) {
        throw std::invalid_argument("invalid Capon parameters");
    }
    const auto cache = beamformer.steeringCacheFor(frequencies, grid);
    const bool robust = uncertaintyGain > 0.0 && uncertainty > 0.0;

    std::vector<Beamformer::PairWeights> bins(matrices.size());
    const auto binCount = static_cast<std::int64_t>(matrices.size());
    const detail::CancelPoll cancel;  // polled per bin by the team
    detail::parallelFor(binCount, beamformerThreadCount(), [&](std::int64_t b) {
        cancel.throwIfRequested();
        caponBinWeights(matrices[b], M, loading, uncertainty, uncertaintyGain, robust, bins[b]);
    });

    std::vector<double> power =
        detail::accumulateWeightedMap(*cache, bins, M, [floor](double Q, const Beamformer::PairWeights&) {
            // A NaN Q compares false here and stays NaN; the finiteness test then drops it.
            const double q = Q < floor ? floor : Q;
            const double c = 1.0 / q;
            return std::isfinite(c) ? c : 0.0;
        });
    return finalizeHeatmap(detail::mapSkeleton(*cache, frequencies), std::move(power));
}

}  // namespace

HeatmapGrid Beamformer::mvdrMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                                double loading, double floor, double horizontalSpanDeg,
                                double verticalSpanDeg, double horizontalCentreDeg, double verticalCentreDeg,
                                double horizontalStepDeg, double verticalStepDeg,
                                double focusDistanceM) const {
    return mvdrMap(matrices, frequencies, loading, floor,
                   CameraGridSpec{horizontalSpanDeg, verticalSpanDeg, horizontalCentreDeg, verticalCentreDeg,
                                  horizontalStepDeg, verticalStepDeg, focusDistanceM});
}

HeatmapGrid Beamformer::mvdrMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                                double loading, double floor, const CameraGridSpec& grid) const {
    return caponMapWithin(*this, matrices, frequencies, loading, 0.0, 0.0, floor, grid, kMvdrLimits);
}

HeatmapGrid Beamformer::robustCaponMap(std::span<const MatrixRows> matrices,
                                       std::span<const double> frequencies, double baseLoading,
                                       double uncertainty, double uncertaintyGain, double floor,
                                       double horizontalSpanDeg, double verticalSpanDeg,
                                       double horizontalCentreDeg, double verticalCentreDeg,
                                       double horizontalStepDeg, double verticalStepDeg,
                                       double focusDistanceM) const {
    return robustCaponMap(
        matrices, frequencies, baseLoading, uncertainty, uncertaintyGain, floor,
        CameraGridSpec{horizontalSpanDeg, verticalSpanDeg, horizontalCentreDeg, verticalCentreDeg,
                       horizontalStepDeg, verticalStepDeg, focusDistanceM});
}

HeatmapGrid Beamformer::robustCaponMap(std::span<const MatrixRows> matrices,
                                       std::span<const double> frequencies, double baseLoading,
                                       double uncertainty, double uncertaintyGain, double floor,
                                       const CameraGridSpec& grid) const {
    return caponMapWithin(*this, matrices, frequencies, baseLoading, uncertainty, uncertaintyGain, floor,
                          grid, kRobustLimits);
}

HeatmapGrid Beamformer::caponMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                                 double loading, double uncertainty, double uncertaintyGain, double floor,
                                 double horizontalSpanDeg, double verticalSpanDeg, double horizontalCentreDeg,
                                 double verticalCentreDeg, double horizontalStepDeg, double verticalStepDeg,
                                 double focusDistanceM) const {
    return caponMap(matrices, frequencies, loading, uncertainty, uncertaintyGain, floor,
                    CameraGridSpec{horizontalSpanDeg, verticalSpanDeg, horizontalCentreDeg, verticalCentreDeg,
                                   horizontalStepDeg, verticalStepDeg, focusDistanceM});
}

HeatmapGrid Beamformer::caponMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                                 double loading, double uncertainty, double uncertaintyGain, double floor,
                                 const CameraGridSpec& grid) const {
    return caponMapWithin(*this, matrices, frequencies, loading, uncertainty, uncertaintyGain, floor, grid,
                          kGeneralLimits);
}

}  // namespace zk::core
