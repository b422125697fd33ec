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
#include "core/beamforming/source_count.h"
#include "core/detail/parallel_for.h"
#include "core/signal/hermitian.h"

namespace zk::core {

namespace {

// Grid points whose steering a bin reads at a time.
constexpr std::uint64_t kMusicBlock = 256;

using detail::validityLimits;

constexpr detail::ValidityLimits kSourceCount =
    validityLimits(BeamformingAlgorithm::kMusic, "music_source_count");
constexpr detail::ValidityLimits kFixedFloor = validityLimits(BeamformingAlgorithm::kMusic, "music_floor");
constexpr detail::ValidityLimits kMaxSources =
    validityLimits(BeamformingAlgorithm::kAutoMusic, "auto_music_max_sources");
constexpr detail::ValidityLimits kEstimator =
    validityLimits(BeamformingAlgorithm::kAutoMusic, "auto_music_estimator");
constexpr detail::ValidityLimits kAutoFloor =
    validityLimits(BeamformingAlgorithm::kAutoMusic, "auto_music_floor");
constexpr detail::ValidityLimits kEigenFloor =
    validityLimits(BeamformingAlgorithm::kAutoMusic, "auto_music_eigen_floor");

// The limits of the settings that reach musicMap.
struct MusicLimits {
    detail::ValidityLimits spectrumFloor;
    detail::ValidityLimits eigenFloor;
    detail::ValidityLimits maxSources;
    detail::ValidityLimits estimator;
};

// The general form accepts whatever keeps the computation defined: finite positive floors, a non-zero
// source bound and a known estimator.
constexpr detail::ValidityLimits kAnyPositive = detail::finiteAbove(0.0);
constexpr detail::ValidityLimits kAnySourceBound = detail::closedRange(1.0, 4294967295.0);
constexpr detail::ValidityLimits kAnyEstimator = detail::closedRange(1.0, 3.0);
constexpr MusicLimits kGeneralLimits{kAnyPositive, kAnyPositive, kAnySourceBound, kAnyEstimator};
// The fixed entry sets the estimator settings itself; only its floor comes from the caller.
constexpr MusicLimits kFixedLimits{kFixedFloor, kAnyPositive, kAnySourceBound, kAnyEstimator};
constexpr MusicLimits kAutoLimits{kAutoFloor, kEigenFloor, kMaxSources, kEstimator};

bool validMusicConfig(const Beamformer::MusicConfig& config, const MusicLimits& limits) {
    return limits.spectrumFloor.admits(config.spectrumFloor) && limits.eigenFloor.admits(config.eigenFloor) &&
           limits.maxSources.admits(config.maxSources) && limits.estimator.admits(config.estimator);
}

// Source count of one bin from its ascending eigenvalues, clamped to 1 .. M - 1.
std::uint32_t binSourceCount(const std::vector<double>& ascending, const Beamformer::MusicConfig& config) {
    const std::size_t M = ascending.size();
    std::uint64_t K = config.fixedSourceCount;
    if (K == 0) {
        std::vector<double> descending(M);
        for (std::size_t j = 0; j < M; ++j) {
            descending[j] = std::max(ascending[M - 1 - j], config.eigenFloor);
        }
        K = estimateSourceCount(descending, config.snapshotCount, config.maxSources, config.estimator,
                                config.eigenFloor);
    }
    if (K > M - 1) {
        K = M - 1;
    } else if (K == 0) {
        K = 1;
    }
    return static_cast<std::uint32_t>(K);
}

// Pseudo-spectrum 1 / max(floor, (M - |U^H a|^2) / M) of one bin over every grid point, U holding the
// eigenvectors of the K largest eigenvalues of the symmetrised matrix.
Beamformer::MusicBinResult musicBin(const MatrixRows& rows, detail::SteeringBlocks& steering,
                                    std::uint64_t bin, std::uint64_t G,
                                    const Beamformer::MusicConfig& config) {
    Beamformer::MusicBinResult result;
    const std::uint64_t M = rows.size();
    const std::vector<std::complex<double>> symmetric = hermitianSymmetrize(rows);
    const HermitianEigenResult eigen = hermitianEigen(symmetric.data(), M);
    if (!eigen.vectors.ok) {
        return result;
    }
    const std::uint32_t K = binSourceCount(eigen.eigenvalues, config);
    result.sourceCount = K;

    // Columns M - K .. M - 1 of the column-major eigenvector matrix, contiguous and in that order.
    const std::complex<double>* signal = eigen.vectors.values.data() + (M - K) * M;
    const double scale = 1.0 / static_cast<double>(M);
    const double mDouble = static_cast<double>(M);
    result.pseudoSpectrum.resize(G);
    std::vector<std::complex<double>> a(M);
    std::span<const std::complex<float>> block;
    for (std::uint64_t g = 0; g < G; ++g) {
        if (g % kMusicBlock == 0) block = steering.terms(bin, g, std::min(g + kMusicBlock, G));
        const std::complex<float>* column = block.data() + (g % kMusicBlock) * M;
        for (std::uint64_t m = 0; m < M; ++m) {
            a[m] = std::conj(std::complex<double>(column[m]));
        }
        double energy = 0.0;
        for (std::uint32_t k = 0; k < K; ++k) {
            const std::complex<double>* u = signal + static_cast<std::size_t>(k) * M;
            double re = 0.0;
            double im = 0.0;
            for (std::uint64_t m = 0; m < M; ++m) {
                re += a[m].real() * u[m].real() - a[m].imag() * u[m].imag();
                im += a[m].real() * u[m].imag() + a[m].imag() * u[m].real();
            }
            energy += re * re + im * im;
        }
        const double t = (mDouble - energy) * scale;
        result.pseudoSpectrum[g] = 1.0 / std::max(config.spectrumFloor, t);
    }
    return result;
}

// The MUSIC map once the band, the grid and the settings (against the caller's limits) have passed
// their checks, in that order.
HeatmapGrid musicMapWithin(const Beamformer& beamformer, std::span<const MatrixRows> matrices,
                           std::span<const double> frequencies, const Beamformer::MusicConfig& config,
                           const CameraGridSpec& grid, const MusicLimits& limits) {
    const std::uint64_t M = beamformer.microphoneCount();
    checkBroadbandMatrix(matrices, frequencies, M);
    checkCameraGrid(grid);
    if (!validMusicConfig(config, limits)) {
        throw std::invalid_argument("invalid MUSIC parameters");
    }
    const auto cache = beamformer.steeringCacheFor(frequencies, grid);
    if (M < 2) {
        throw std::invalid_argument("MUSIC requires at least two channels");
    }

    const std::uint64_t G = cache->gridPointCount;
    const auto binCount = static_cast<std::int64_t>(matrices.size());
    std::vector<Beamformer::MusicBinResult> bins(matrices.size());
    const detail::CancelPoll cancel;  // polled per bin by the team
    detail::parallelFor(binCount, beamformerThreadCount(), [&](std::int64_t b) {
        cancel.throwIfRequested();
        detail::SteeringBlocks steering(*cache, kMusicBlock, detail::SteeringBlocks::Layout::kTerms);
        bins[b] = musicBin(matrices[b], steering, static_cast<std::uint64_t>(b), G, config);
    });

    std::vector<double> power(G, 0.0);
    std::vector<std::uint32_t> counts;
    for (const Beamformer::MusicBinResult& bin : bins) {
        if (bin.pseudoSpectrum.empty()) {
            continue;
        }
        counts.push_back(bin.sourceCount);
        const double peak = *std::max_element(bin.pseudoSpectrum.begin(), bin.pseudoSpectrum.end());
        if (!(peak > 0.0)) {
            continue;
        }
        for (std::uint64_t g = 0; g < G; ++g) {
            power[g] += bin.pseudoSpectrum[g] / peak;
        }
    }

    HeatmapGrid map = detail::mapSkeleton(*cache, frequencies);
    if (config.fixedSourceCount == 0 && !counts.empty()) {
        std::sort(counts.begin(), counts.end());
        map.estimatedSourceCount = counts[counts.size() / 2];
    }
    return finalizeHeatmap(std::move(map), std::move(power));
}

}  // namespace

HeatmapGrid Beamformer::fixedMusicMap(std::span<const MatrixRows> matrices,
                                      std::span<const double> frequencies, std::uint32_t sourceCount,
                                      double floor, double horizontalSpanDeg, double verticalSpanDeg,
                                      double horizontalCentreDeg, double verticalCentreDeg,
                                      double horizontalStepDeg, double verticalStepDeg,
                                      double focusDistanceM) const {
    return fixedMusicMap(
        matrices, frequencies, sourceCount, floor,
        CameraGridSpec{horizontalSpanDeg, verticalSpanDeg, horizontalCentreDeg, verticalCentreDeg,
                       horizontalStepDeg, verticalStepDeg, focusDistanceM});
}

HeatmapGrid Beamformer::fixedMusicMap(std::span<const MatrixRows> matrices,
                                      std::span<const double> frequencies, std::uint32_t sourceCount,
                                      double floor, const CameraGridSpec& grid) const {
    if (!kSourceCount.admits(sourceCount)) {
        throw std::invalid_argument("invalid MUSIC source count");
    }
    MusicConfig config;
    config.fixedSourceCount = sourceCount;
    config.snapshotCount = 2;
    config.maxSources = 1;
    config.estimator = 1;
    config.spectrumFloor = floor;
    config.eigenFloor = 1e-12;
    return musicMapWithin(*this, matrices, frequencies, config, grid, kFixedLimits);
}

HeatmapGrid Beamformer::autoMusicMap(std::span<const MatrixRows> matrices,
                                     std::span<const double> frequencies, std::uint64_t snapshotCount,
                                     std::uint32_t maxSources, std::uint32_t estimator, double floor,
                                     double eigenFloor, double horizontalSpanDeg, double verticalSpanDeg,
                                     double horizontalCentreDeg, double verticalCentreDeg,
                                     double horizontalStepDeg, double verticalStepDeg,
                                     double focusDistanceM) const {
    return autoMusicMap(
        matrices, frequencies, snapshotCount, maxSources, estimator, floor, eigenFloor,
        CameraGridSpec{horizontalSpanDeg, verticalSpanDeg, horizontalCentreDeg, verticalCentreDeg,
                       horizontalStepDeg, verticalStepDeg, focusDistanceM});
}

HeatmapGrid Beamformer::autoMusicMap(std::span<const MatrixRows> matrices,
                                     std::span<const double> frequencies, std::uint64_t snapshotCount,
                                     std::uint32_t maxSources, std::uint32_t estimator, double floor,
                                     double eigenFloor, const CameraGridSpec& grid) const {
    MusicConfig config;
    config.fixedSourceCount = 0;
    config.snapshotCount = snapshotCount;
    config.maxSources = maxSources;
    config.estimator = estimator;
    config.spectrumFloor = floor;
    config.eigenFloor = eigenFloor;
    return musicMapWithin(*this, matrices, frequencies, config, grid, kAutoLimits);
}

HeatmapGrid Beamformer::musicMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                                 const MusicConfig& config, double horizontalSpanDeg, double verticalSpanDeg,
                                 double horizontalCentreDeg, double verticalCentreDeg,
                                 double horizontalStepDeg, double verticalStepDeg,
                                 double focusDistanceM) const {
    return musicMap(matrices, frequencies, config,
                    CameraGridSpec{horizontalSpanDeg, verticalSpanDeg, horizontalCentreDeg, verticalCentreDeg,
                                   horizontalStepDeg, verticalStepDeg, focusDistanceM});
}

HeatmapGrid Beamformer::musicMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                                 const MusicConfig& config, const CameraGridSpec& grid) const {
    return musicMapWithin(*this, matrices, frequencies, config, grid, kGeneralLimits);
}

}  // namespace zk::core
