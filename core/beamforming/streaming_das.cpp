#include <omp.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "core/beamforming/beamformer.h"
#include "core/beamforming/detail/input_checks.h"
#include "core/beamforming/detail/map_support.h"
#include "core/beamforming/detail/pair_kernel.h"
#include "core/beamforming/detail/steering_blocks.h"

namespace zk::core {

namespace {

constexpr std::size_t kProjectionBlock = 128;

// Grid points per block of a beam formed from block-wise steering.
constexpr std::size_t kBeamBlock = 256;

bool allFinite(std::span<const double> values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

}  // namespace

void StreamingDasState::reset() {
    std::fill(beamSums.begin(), beamSums.end(), 0.0);
    std::fill(diagonalSums.begin(), diagonalSums.end(), 0.0);
    updateCount = 0;
}

void Beamformer::updateStreamingDas(StreamingDasState& state, std::span<const std::complex<double>> spectra,
                                    std::span<const double> frequencies, double alpha,
                                    double horizontalSpanDeg, double verticalSpanDeg,
                                    double horizontalCentreDeg, double verticalCentreDeg,
                                    double horizontalStepDeg, double verticalStepDeg, double focusDistanceM,
                                    std::int32_t maxThreads, std::uint64_t firstBin,
                                    std::uint64_t binLimit) const {
    return updateStreamingDas(
        state, spectra, frequencies, alpha,
        CameraGridSpec{horizontalSpanDeg, verticalSpanDeg, horizontalCentreDeg, verticalCentreDeg,
                       horizontalStepDeg, verticalStepDeg, focusDistanceM},
        maxThreads, firstBin, binLimit);
}

void Beamformer::updateStreamingDas(StreamingDasState& state, std::span<const std::complex<double>> spectra,
                                    std::span<const double> frequencies, double alpha,
                                    const CameraGridSpec& grid, std::int32_t maxThreads,
                                    std::uint64_t firstBin, std::uint64_t binLimit) const {
    const std::size_t m = microphones_.size();
    const std::size_t bins = frequencies.size();
    // A non-finite frequency would make every later call miss the state's key and rebuild it.
    if (bins == 0 || !std::isfinite(alpha) || !(alpha > 0.0 && alpha < 1.0) || spectra.size() != bins * m ||
        !allFinite(frequencies)) {
        throw std::invalid_argument("invalid streaming DAS update");
    }
    checkCameraGrid(grid);

    if (state.microphoneCount != m || !state.key.sameAs(grid) ||
        !detail::sameFrequencies(state.frequencies, frequencies)) {
        const auto cache = steeringCacheFor(frequencies, grid);
        // Built aside and swapped in whole, so a failed allocation leaves the old state intact.
        StreamingDasState rebuilt;
        rebuilt.frequencies.assign(frequencies.begin(), frequencies.end());
        rebuilt.horizontalAxis = cache->horizontalAxis;
        rebuilt.verticalAxis = cache->verticalAxis;
        rebuilt.gridPointCount = cache->gridPointCount;
        rebuilt.microphoneCount = m;
        rebuilt.key = grid;
        if (cache->tablesHeld) {
            rebuilt.phasePlaneRe = cache->phasePlaneRe;
            rebuilt.phasePlaneIm = cache->phasePlaneIm;
        } else {
            rebuilt.blockedSteering = cache;
        }
        rebuilt.beamSums.assign(bins * cache->gridPointCount, 0.0);
        rebuilt.diagonalSums.assign(bins, 0.0);
        state = std::move(rebuilt);
    }

    const double wOld = state.updateCount == 0 ? 0.0 : alpha;
    const double wNew = state.updateCount == 0 ? 1.0 : 1.0 - alpha;
    const std::size_t start = std::min<std::uint64_t>(firstBin, bins);
    const std::size_t end = binLimit == 0 ? bins : std::min<std::uint64_t>(bins, start + binLimit);

    for (std::size_t b = start; b < end; ++b) {
        double energy = 0.0;
        for (std::size_t i = 0; i < m; ++i) energy += std::norm(spectra[b * m + i]);
        state.diagonalSums[b] = wOld * state.diagonalSums[b] + wNew * energy;
    }

    const std::size_t points = state.gridPointCount;
    const int threads = std::max(1, std::min(omp_get_max_threads(), static_cast<int>(maxThreads)));
    const float* planeRe = state.phasePlaneRe.data();
    const float* planeIm = state.phasePlaneIm.data();
    double* beamSums = state.beamSums.data();
    // Without tables the beam is formed block by block of points, from steering built per block; with
    // them one block spans the grid. All scratch is allocated here, before the team.
    const bool blocked = state.blockedSteering != nullptr;
    const std::size_t blockPoints = blocked ? kBeamBlock : points;
    std::vector<detail::SteeringBlocks> steeringAll;
    if (blocked) {
        steeringAll = detail::steeringBlocksPerThread(*state.blockedSteering, threads, kBeamBlock,
                                                      detail::SteeringBlocks::Layout::kPlanes);
    }
    std::vector<std::vector<float>> beamRe(static_cast<std::size_t>(threads), std::vector<float>(points));
    std::vector<std::vector<float>> beamIm(static_cast<std::size_t>(threads), std::vector<float>(points));
#pragma omp parallel num_threads(threads) if (threads > 1)
    {
        std::vector<float>& yRe = beamRe[static_cast<std::size_t>(omp_get_thread_num())];
        std::vector<float>& yIm = beamIm[static_cast<std::size_t>(omp_get_thread_num())];
#pragma omp for schedule(static)
        for (std::size_t b = start; b < end; ++b) {
            std::fill(yRe.begin(), yRe.end(), 0.0f);
            std::fill(yIm.begin(), yIm.end(), 0.0f);
            for (std::size_t first = 0; first < points; first += blockPoints) {
                const std::size_t count = std::min(blockPoints, points - first);
                const float* blockRe = nullptr;
                const float* blockIm = nullptr;
                std::size_t stride = points;
                if (blocked) {
                    const detail::PlaneBlock planes =
                        steeringAll[static_cast<std::size_t>(omp_get_thread_num())].planes(b, first,
                                                                                           first + count);
                    blockRe = planes.re.data();
                    blockIm = planes.im.data();
                    stride = planes.stride;
                } else {
                    blockRe = planeRe + b * m * points + first;
                    blockIm = planeIm + b * m * points + first;
                }
                float* __restrict yr = yRe.data() + first;
                float* __restrict yi = yIm.data() + first;
                for (std::size_t i = 0; i < m; ++i) {
                    // y += conj(a) * X
                    const float xr = static_cast<float>(spectra[b * m + i].real());
                    const float xi = static_cast<float>(spectra[b * m + i].imag());
                    const float* __restrict ar = blockRe + i * stride;
                    const float* __restrict ai = blockIm + i * stride;
                    for (std::size_t g = 0; g < count; ++g) {
                        yr[g] = std::fma(ar[g], xr, std::fma(ai[g], xi, yr[g]));
                        yi[g] = std::fma(ar[g], xi, std::fma(-ai[g], xr, yi[g]));
                    }
                }
            }
            float* __restrict yr = yRe.data();
            float* __restrict yi = yIm.data();
            double* __restrict sums = beamSums + b * points;
            for (std::size_t g = 0; g < points; ++g) {
                const double re = yr[g];
                const double im = yi[g];
                sums[g] = wOld * sums[g] + wNew * (re * re + im * im);
            }
        }
    }
    state.updateCount += 1;
}

HeatmapGrid Beamformer::finalizeStreamingDas(std::span<const double> horizontalAxis,
                                             std::span<const double> verticalAxis,
                                             std::span<const double> frequencies,
                                             std::span<const double> beamSums,
                                             std::span<const double> diagonalSums, bool removeDiagonal,
                                             std::span<const double> noiseBeamSums,
                                             std::span<const double> noiseDiagonalSums) const {
    const std::size_t bins = frequencies.size();
    const std::size_t points = horizontalAxis.size() * verticalAxis.size();
    if (bins == 0 || points == 0 || beamSums.size() != points * bins || diagonalSums.size() != bins ||
        (!noiseBeamSums.empty() && noiseBeamSums.size() != points * bins) ||
        (!noiseDiagonalSums.empty() && noiseDiagonalSums.size() != bins)) {
        throw std::invalid_argument("invalid DAS grid finalization input");
    }
    HeatmapGrid grid = detail::mapSkeleton(horizontalAxis, verticalAxis, frequencies);

    const double md = static_cast<double>(microphones_.size());
    const double divisor = removeDiagonal && microphones_.size() > 1 ? md * (md - 1.0) : md * md;
    const bool noiseBeams = !noiseBeamSums.empty();
    const bool noiseDiagonal = noiseBeams && !noiseDiagonalSums.empty();
    std::vector<double> power(points, 0.0);
    for (std::size_t b = 0; b < bins; ++b) {
        const double n = noiseDiagonal ? noiseDiagonalSums[b] : 0.0;
        const double offset = removeDiagonal ? std::max(diagonalSums[b] - n, 0.0) : 0.0;
        for (std::size_t g = 0; g < points; ++g) {
            const double noise = noiseBeams ? noiseBeamSums[b * points + g] : 0.0;
            const double v = (beamSums[b * points + g] - noise - offset) / divisor;
            power[g] += std::max(v, 0.0);
        }
    }
    return finalizeHeatmap(std::move(grid), std::move(power));
}

void Beamformer::projectBand(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                             double horizontalSpanDeg, double verticalSpanDeg, double horizontalCentreDeg,
                             double verticalCentreDeg, double horizontalStepDeg, double verticalStepDeg,
                             double focusDistanceM, std::vector<double>& outBeamSums,
                             std::vector<double>& outDiagonalSums) const {
    return projectBand(matrices, frequencies,
                       CameraGridSpec{horizontalSpanDeg, verticalSpanDeg, horizontalCentreDeg,
                                      verticalCentreDeg, horizontalStepDeg, verticalStepDeg, focusDistanceM},
                       outBeamSums, outDiagonalSums);
}

void Beamformer::projectBand(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                             const CameraGridSpec& grid, std::vector<double>& outBeamSums,
                             std::vector<double>& outDiagonalSums) const {
    if (matrices.empty() || matrices.size() != frequencies.size() || !allFinite(frequencies)) {
        throw std::invalid_argument("invalid matrix band projection input");
    }
    const std::size_t m = microphones_.size();
    for (const auto& matrix : matrices) {
        if (!detail::isSquareOf(matrix, m))
            throw std::invalid_argument("matrix dimension does not match geometry");
    }
    checkCameraGrid(grid);
    const auto cache = steeringCacheFor(frequencies, grid);

    const std::size_t bins = frequencies.size();
    const std::size_t points = cache->gridPointCount;
    const std::size_t pairs = m * (m - 1) / 2;
    outBeamSums.assign(bins * points, 0.0);
    outDiagonalSums.assign(bins, 0.0);
    const int threads = beamformerThreadCount();
    // Per-thread buffers are allocated before the team, so nothing inside it can throw.
    struct Scratch {
        std::vector<float> pairRe, pairIm, scratch;
        std::vector<double> accumulator;
    };
    std::vector<Scratch> scratchAll(static_cast<std::size_t>(threads));
    for (Scratch& s : scratchAll) {
        s.pairRe.resize(pairs);
        s.pairIm.resize(pairs);
        s.scratch.resize(kProjectionBlock);
        s.accumulator.resize(kProjectionBlock);
    }
    std::vector<detail::SteeringBlocks> steeringAll = detail::steeringBlocksPerThread(
        *cache, threads, kProjectionBlock, detail::SteeringBlocks::Layout::kPlanes);
#pragma omp parallel num_threads(threads)
    {
        const auto thread = static_cast<std::size_t>(omp_get_thread_num());
        std::vector<float>& pairRe = scratchAll[thread].pairRe;
        std::vector<float>& pairIm = scratchAll[thread].pairIm;
        std::vector<float>& scratch = scratchAll[thread].scratch;
        std::vector<double>& accumulator = scratchAll[thread].accumulator;
        detail::SteeringBlocks& steering = steeringAll[thread];
#pragma omp for schedule(static)
        for (std::size_t b = 0; b < bins; ++b) {
            const MatrixRows& rows = matrices[b];
            double trace = 0.0;
            std::size_t p = 0;
            for (std::size_t r = 0; r < m; ++r) {
                trace += rows[r][r].real();
                for (std::size_t k = r + 1; k < m; ++k, ++p) {
                    pairRe[p] = static_cast<float>(rows[r][k].real());
                    pairIm[p] = static_cast<float>(rows[r][k].imag());
                }
            }
            outDiagonalSums[b] = trace;
            for (std::size_t first = 0; first < points; first += kProjectionBlock) {
                const std::size_t end = std::min(first + kProjectionBlock, points);
                std::fill(accumulator.begin(), accumulator.end(), 0.0);
                const detail::PlaneBlock planes = steering.planes(b, first, end);
                detail::accumulatePairQuadraticForm(planes.re, planes.im, m, planes.stride, planes.first,
                                                    planes.end, pairRe, pairIm, scratch, accumulator);
                for (std::size_t g = first; g < end; ++g) {
                    outBeamSums[b * points + g] = trace + 2.0 * accumulator[g - first];
                }
            }
        }
    }
}

}  // namespace zk::core
