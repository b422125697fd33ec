#include <cmath>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/beamforming/beamformer.h"
#include "core/beamforming/detail/algorithm_table.h"
#include "core/beamforming/detail/map_support.h"
#include "core/beamforming/render_cancel.h"
#include "core/detail/parallel_for.h"
#include "core/signal/hermitian.h"

namespace zk::core {

namespace {

constexpr detail::ValidityLimits kOrderLimits =
    detail::validityLimits(BeamformingAlgorithm::kFunctional, "functional_order");
constexpr detail::ValidityLimits kToleranceLimits =
    detail::validityLimits(BeamformingAlgorithm::kFunctional, "functional_eigen_tolerance");

// Packs the upper triangle of R^(1/order) / lambda_max^(1/order) for one bin. A matrix whose smallest
// eigenvalue is more negative than the tolerance allows is flagged, not weighted.
void functionalBinWeights(const MatrixRows& rows, std::uint64_t M, double exponent, double tolerance,
                          Beamformer::PairWeights& out) {
    const std::vector<std::complex<double>> R = hermitianSymmetrize(rows);
    const HermitianEigenResult eigen = hermitianEigen(R.data(), M);
    if (!eigen.vectors.ok || eigen.eigenvalues.size() != M) {
        return;
    }
    const std::vector<double>& lambda = eigen.eigenvalues;
    out.lambdaMin = lambda.front();
    const double lambdaMax = lambda.back();
    if (lambdaMax <= 0.0) {
        return;
    }
    if (out.lambdaMin < -(std::max(1.0, lambdaMax) * tolerance)) {
        out.notPsd = true;
        return;
    }
    out.lambdaMax = lambdaMax;

    // Upper triangle of P, diagonal included, column-major like the decomposition's output.
    std::vector<std::complex<double>> P(M * M);
    const std::vector<std::complex<double>>& vectors = eigen.vectors.values;
    for (std::uint64_t i = 0; i < M; ++i) {
        const double w = std::pow(std::max(0.0, lambda[i]) / lambdaMax, exponent);
        if (!(w > 0.0)) {
            continue;
        }
        const std::complex<double>* v = vectors.data() + i * M;
        for (std::uint64_t k = 0; k < M; ++k) {
            const std::complex<double> wConjVk = w * std::conj(v[k]);
            for (std::uint64_t j = 0; j <= k; ++j) {
                P[j + k * M] += v[j] * wConjVk;
            }
        }
    }
    detail::packPairWeights(P, M, out);
}

std::string notPsdMessage(double lambdaMin) {
    char value[64];
    std::snprintf(value, sizeof value, "%f", lambdaMin);
    return std::string("Functional matrix not PSD: min eig ") + value;
}

}  // namespace

HeatmapGrid Beamformer::functionalMap(std::span<const MatrixRows> matrices,
                                      std::span<const double> frequencies, std::uint32_t order,
                                      double eigenTolerance, double horizontalSpanDeg, double verticalSpanDeg,
                                      double horizontalCentreDeg, double verticalCentreDeg,
                                      double horizontalStepDeg, double verticalStepDeg,
                                      double focusDistanceM) const {
    return functionalMap(
        matrices, frequencies, order, eigenTolerance,
        CameraGridSpec{horizontalSpanDeg, verticalSpanDeg, horizontalCentreDeg, verticalCentreDeg,
                       horizontalStepDeg, verticalStepDeg, focusDistanceM});
}

HeatmapGrid Beamformer::functionalMap(std::span<const MatrixRows> matrices,
                                      std::span<const double> frequencies, std::uint32_t order,
                                      double eigenTolerance, const CameraGridSpec& grid) const {
    const std::uint64_t M = microphoneCount();
    checkBroadbandMatrix(matrices, frequencies, M);
    checkCameraGrid(grid);
    if (!kOrderLimits.admits(order) || !kToleranceLimits.admits(eigenTolerance)) {
        throw std::invalid_argument("invalid Functional parameters");
    }
    const std::shared_ptr<const CameraBandSteeringCache> cache = steeringCacheFor(frequencies, grid);
    const double exponent = 1.0 / static_cast<double>(order);

    std::vector<PairWeights> bins(matrices.size());
    const auto binCount = static_cast<std::int64_t>(matrices.size());
    const detail::CancelPoll cancel;  // polled per bin by the team
    detail::parallelFor(binCount, beamformerThreadCount(), [&](std::int64_t b) {
        cancel.throwIfRequested();
        functionalBinWeights(matrices[b], M, exponent, eigenTolerance, bins[b]);
    });
    for (const PairWeights& bin : bins) {
        if (bin.notPsd) {
            throw std::runtime_error(notPsdMessage(bin.lambdaMin));
        }
    }

    const auto orderValue = static_cast<double>(order);
    std::vector<double> power =
        detail::accumulateWeightedMap(*cache, bins, M, [orderValue](double Q, const PairWeights& bin) {
            const double c = std::pow(std::max(Q, 0.0), orderValue) * bin.lambdaMax;
            return std::isfinite(c) ? c : 0.0;
        });
    return finalizeHeatmap(detail::mapSkeleton(*cache, frequencies), std::move(power));
}

}  // namespace zk::core
