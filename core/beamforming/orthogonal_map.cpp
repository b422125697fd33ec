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
#include "core/beamforming/detail/steering_blocks.h"
#include "core/beamforming/heatmap_grid.h"
#include "core/beamforming/render_cancel.h"
#include "core/detail/parallel_for.h"
#include "core/signal/hermitian.h"

namespace zk::core {

namespace {

constexpr detail::ValidityLimits kMaxModes =
    detail::validityLimits(BeamformingAlgorithm::kOrthogonal, "orthogonal_max_modes");
constexpr detail::ValidityLimits kThreshold =
    detail::validityLimits(BeamformingAlgorithm::kOrthogonal, "orthogonal_eigen_threshold");

// Grid points whose steering a bin reads at a time.
constexpr std::uint64_t kOrthogonalBlock = 256;

// Places each of the strongest eigenvalues of one bin, as a point source, at the grid point where its
// eigenvector's beam response |a^H v|^2 / M is largest.
void orthogonalBin(const MatrixRows& rows, detail::SteeringBlocks& steering, std::uint64_t bin,
                   std::uint64_t G, std::uint32_t maxModes, double relativeThreshold,
                   std::vector<double>& binMap) {
    const std::uint64_t M = rows.size();
    const std::vector<std::complex<double>> symmetric = hermitianSymmetrize(rows);
    const HermitianEigenResult eigen = hermitianEigen(symmetric.data(), M);
    if (!eigen.vectors.ok) {
        return;
    }
    const std::vector<double>& lambda = eigen.eigenvalues;
    const double lambdaMax = lambda[M - 1];
    if (!(lambdaMax > 0.0)) {
        return;
    }
    const double cutoff = lambdaMax * relativeThreshold;
    const auto selected = static_cast<std::uint64_t>(
        std::count_if(lambda.begin(), lambda.end(), [cutoff](double value) { return value >= cutoff; }));
    const std::uint64_t modes = std::min({static_cast<std::uint64_t>(maxModes), selected, M});

    // Every mode scans the points in order, a block of steering at a time shared by all modes.
    const double scale = 1.0 / static_cast<double>(M);
    std::vector<std::uint64_t> winner(modes, 0);
    std::vector<double> best(modes, -1.0);
    for (std::uint64_t first = 0; first < G; first += kOrthogonalBlock) {
        const std::uint64_t end = std::min(first + kOrthogonalBlock, G);
        const std::span<const std::complex<float>> block = steering.terms(bin, first, end);
        for (std::uint64_t k = 0; k < modes; ++k) {
            const std::complex<double>* v = eigen.vectors.values.data() + (M - 1 - k) * M;
            for (std::uint64_t g = first; g < end; ++g) {
                const std::complex<float>* a = block.data() + (g - first) * M;
                double re = 0.0;
                double im = 0.0;
                for (std::uint64_t m = 0; m < M; ++m) {
                    const double ar = a[m].real();
                    const double ai = -static_cast<double>(a[m].imag());
                    re += ar * v[m].real() - ai * v[m].imag();
                    im += ar * v[m].imag() + ai * v[m].real();
                }
                const double response = (re * re + im * im) * scale;
                if (response > best[k]) {
                    best[k] = response;
                    winner[k] = g;
                }
            }
        }
    }
    for (std::uint64_t k = 0; k < modes; ++k) {
        binMap[winner[k]] += lambda[M - 1 - k];
    }
}

}  // namespace

HeatmapGrid Beamformer::orthogonalMap(std::span<const MatrixRows> matrices,
                                      std::span<const double> frequencies, std::uint32_t maxModes,
                                      double relativeThreshold, double horizontalSpanDeg,
                                      double verticalSpanDeg, double horizontalCentreDeg,
                                      double verticalCentreDeg, double horizontalStepDeg,
                                      double verticalStepDeg, double focusDistanceM) const {
    return orthogonalMap(
        matrices, frequencies, maxModes, relativeThreshold,
        CameraGridSpec{horizontalSpanDeg, verticalSpanDeg, horizontalCentreDeg, verticalCentreDeg,
                       horizontalStepDeg, verticalStepDeg, focusDistanceM});
}

HeatmapGrid Beamformer::orthogonalMap(std::span<const MatrixRows> matrices,
                                      std::span<const double> frequencies, std::uint32_t maxModes,
                                      double relativeThreshold, const CameraGridSpec& grid) const {
    const std::uint64_t M = microphoneCount();
    checkBroadbandMatrix(matrices, frequencies, M);
    checkCameraGrid(grid);
    if (!kMaxModes.admits(maxModes) || !kThreshold.admits(relativeThreshold)) {
        throw std::invalid_argument("invalid Orthogonal parameters");
    }
    const auto cache = steeringCacheFor(frequencies, grid);

    const std::uint64_t G = cache->gridPointCount;
    const auto binCount = static_cast<std::int64_t>(matrices.size());
    std::vector<std::vector<double>> binMaps(matrices.size(), std::vector<double>(G, 0.0));
    const detail::CancelPoll cancel;  // polled per bin by the team
    detail::parallelFor(binCount, beamformerThreadCount(), [&](std::int64_t b) {
        cancel.throwIfRequested();
        detail::SteeringBlocks steering(*cache, kOrthogonalBlock, detail::SteeringBlocks::Layout::kTerms);
        orthogonalBin(matrices[b], steering, static_cast<std::uint64_t>(b), G, maxModes, relativeThreshold,
                      binMaps[b]);
    });

    std::vector<double> power(G, 0.0);
    for (const std::vector<double>& binMap : binMaps) {
        for (std::uint64_t g = 0; g < G; ++g) {
            power[g] += binMap[g];
        }
    }
    return finalizeHeatmap(detail::mapSkeleton(*cache, frequencies), std::move(power));
}

}  // namespace zk::core
