#include <omp.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "core/beamforming/beamformer.h"
#include "core/beamforming/detail/input_checks.h"
#include "core/beamforming/detail/map_support.h"
#include "core/beamforming/detail/pair_kernel.h"
#include "core/beamforming/detail/steering_blocks.h"
#include "core/platform/cpu_features.h"

namespace zk::core {

namespace {

constexpr std::size_t kProjectionBlock = 128;

// Grid points per block of a beam formed from block-wise steering.
constexpr std::size_t kBeamBlock = 256;

// One bin of the live map over `points` grid points: y = sum over microphones of conj(a_m) X_m at every
// point, in single precision, then sums = wOld sums + wNew |y|^2. Microphone m's steering row starts at
// plane + m * stride. The fused form is what the FMA variants run; the baseline multiplies and adds,
// since a fused multiply-add without hardware support is a library call.
template <bool kFused>
[[gnu::always_inline]] inline void beamBinBody(const float* __restrict planeRe,
                                               const float* __restrict planeIm, std::size_t stride,
                                               const std::complex<double>* spectra, std::size_t m,
                                               std::size_t points, float* __restrict yr, float* __restrict yi,
                                               double* __restrict sums, double wOld, double wNew) {
    std::fill(yr, yr + points, 0.0f);
    std::fill(yi, yi + points, 0.0f);
    for (std::size_t i = 0; i < m; ++i) {
        const float xr = static_cast<float>(spectra[i].real());
        const float xi = static_cast<float>(spectra[i].imag());
        const float* __restrict ar = planeRe + i * stride;
        const float* __restrict ai = planeIm + i * stride;
        for (std::size_t g = 0; g < points; ++g) {
            if constexpr (kFused) {
                yr[g] = std::fma(ar[g], xr, std::fma(ai[g], xi, yr[g]));
                yi[g] = std::fma(ar[g], xi, std::fma(-ai[g], xr, yi[g]));
            } else {
                yr[g] = ar[g] * xr + (ai[g] * xi + yr[g]);
                yi[g] = ar[g] * xi + (yi[g] - ai[g] * xr);
            }
        }
    }
    for (std::size_t g = 0; g < points; ++g) {
        const double re = yr[g];
        const double im = yi[g];
        sums[g] = wOld * sums[g] + wNew * (re * re + im * im);
    }
}

using BeamBinKernel = void (*)(const float*, const float*, std::size_t, const std::complex<double>*,
                               std::size_t, std::size_t, float*, float*, double*, double, double);

void beamBinBaseline(const float* planeRe, const float* planeIm, std::size_t stride,
                     const std::complex<double>* spectra, std::size_t m, std::size_t points, float* yr,
                     float* yi, double* sums, double wOld, double wNew) {
    beamBinBody<false>(planeRe, planeIm, stride, spectra, m, points, yr, yi, sums, wOld, wNew);
}

#ifdef ZK_DISPATCH_KERNELS
__attribute__((target("avx2,fma"))) void beamBinAvx2(const float* planeRe, const float* planeIm,
                                                     std::size_t stride, const std::complex<double>* spectra,
                                                     std::size_t m, std::size_t points, float* yr, float* yi,
                                                     double* sums, double wOld, double wNew) {
    beamBinBody<true>(planeRe, planeIm, stride, spectra, m, points, yr, yi, sums, wOld, wNew);
}

// The loop streams the planes from memory; full 512-bit loads of the unaligned rows split cache lines and
// measured slower than 256-bit ones, so this variant keeps the AVX-512 instruction set at 256 bits.
__attribute__((target("avx512f,avx512bw,avx512dq,avx512vl,prefer-vector-width=256"))) void beamBinAvx512(
    const float* planeRe, const float* planeIm, std::size_t stride, const std::complex<double>* spectra,
    std::size_t m, std::size_t points, float* yr, float* yi, double* sums, double wOld, double wNew) {
    beamBinBody<true>(planeRe, planeIm, stride, spectra, m, points, yr, yi, sums, wOld, wNew);
}
#endif

// The widest variant the CPU and the build offer, chosen per call.
BeamBinKernel beamBinKernel() {
#ifdef ZK_DISPATCH_KERNELS
    switch (vectorLevel()) {
        case VectorLevel::kAvx512:
            return beamBinAvx512;
        case VectorLevel::kAvx2:
            return beamBinAvx2;
        case VectorLevel::kBaseline:
            break;
    }
#endif
    return beamBinBaseline;
}

bool allFinite(std::span<const double> values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

}  // namespace

void StreamingDasState::reset() {
    std::fill(beamSums.begin(), beamSums.end(), 0.0);
    std::fill(diagonalSums.begin(), diagonalSums.end(), 0.0);
    std::fill(binReached.begin(), binReached.end(), std::uint8_t{0});
    binsReached = 0;
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
        const auto cache = steeringPlanesFor(frequencies, grid);
        // Built aside and swapped in whole, so a failed allocation leaves the old state intact.
        StreamingDasState rebuilt;
        rebuilt.frequencies.assign(frequencies.begin(), frequencies.end());
        rebuilt.horizontalAxis = cache->horizontalAxis;
        rebuilt.verticalAxis = cache->verticalAxis;
        rebuilt.gridPointCount = cache->gridPointCount;
        rebuilt.microphoneCount = m;
        rebuilt.key = grid;
        rebuilt.steering = cache;
        rebuilt.beamSums.assign(bins * cache->gridPointCount, 0.0);
        rebuilt.diagonalSums.assign(bins, 0.0);
        rebuilt.binReached.assign(bins, 0);
        state = std::move(rebuilt);
    }

    const std::size_t start = std::min<std::uint64_t>(firstBin, bins);
    const std::size_t end = binLimit == 0 ? bins : std::min<std::uint64_t>(bins, start + binLimit);
    // Weights of the old and the new power in bin b: a bin's first update takes the new one whole.
    const std::uint8_t* reached = state.binReached.data();
    const auto wOld = [reached, alpha](std::size_t b) { return reached[b] != 0 ? alpha : 0.0; };
    const auto wNew = [reached, alpha](std::size_t b) { return reached[b] != 0 ? 1.0 - alpha : 1.0; };

    for (std::size_t b = start; b < end; ++b) {
        double energy = 0.0;
        for (std::size_t i = 0; i < m; ++i) energy += std::norm(spectra[b * m + i]);
        state.diagonalSums[b] = wOld(b) * state.diagonalSums[b] + wNew(b) * energy;
    }

    const std::size_t points = state.gridPointCount;
    const int threads = std::max(1, std::min(omp_get_max_threads(), static_cast<int>(maxThreads)));
    // Without tables the beam is formed block by block of points, from steering built per block into
    // scratch made here, before the team; with them one block spans the grid.
    const bool blocked = !state.steering->tablesHeld;
    std::vector<detail::SteeringBlocks> steeringAll;
    if (blocked) {
        steeringAll = detail::steeringBlocksPerThread(*state.steering, threads, kBeamBlock,
                                                      detail::SteeringBlocks::Layout::kPlanes);
    }
    // Two float rows per thread, grown here and kept, so that a hop allocates nothing (with tables) and
    // nothing inside the team can throw.
    const std::size_t rowLength = blocked ? std::min(kBeamBlock, points) : points;
    const std::size_t rowPair = 2 * rowLength;
    if (state.beamScratch.size() < static_cast<std::size_t>(threads) * rowPair) {
        state.beamScratch.resize(static_cast<std::size_t>(threads) * rowPair);
    }
    const BeamBinKernel kernel = beamBinKernel();
    const float* planeRe = state.steering->phasePlaneRe.data();
    const float* planeIm = state.steering->phasePlaneIm.data();
    double* beamSums = state.beamSums.data();
    float* scratch = state.beamScratch.data();
#pragma omp parallel num_threads(threads) if (threads > 1)
    {
        const auto rank = static_cast<std::size_t>(omp_get_thread_num());
        float* rows = scratch + rank * rowPair;
#pragma omp for schedule(static)
        for (std::size_t b = start; b < end; ++b) {
            if (!blocked) {
                kernel(planeRe + b * m * points, planeIm + b * m * points, points, spectra.data() + b * m, m,
                       points, rows, rows + rowLength, beamSums + b * points, wOld(b), wNew(b));
                continue;
            }
            for (std::size_t first = 0; first < points; first += kBeamBlock) {
                const std::size_t count = std::min(kBeamBlock, points - first);
                const detail::PlaneBlock planes = steeringAll[rank].planes(b, first, first + count);
                kernel(planes.re.data() + planes.first, planes.im.data() + planes.first, planes.stride,
                       spectra.data() + b * m, m, count, rows, rows + rowLength,
                       beamSums + b * points + first, wOld(b), wNew(b));
            }
        }
    }
    for (std::size_t b = start; b < end; ++b) {
        if (state.binReached[b] == 0) {
            state.binReached[b] = 1;
            ++state.binsReached;
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
    // The planes are all it reads; a table of phase terms would stay in the cache for nothing.
    const auto cache = steeringPlanesFor(frequencies, grid);

    const std::size_t bins = frequencies.size();
    const std::size_t points = cache->gridPointCount;
    const std::size_t pairs = m * (m - 1) / 2;
    outBeamSums.assign(bins * points, 0.0);
    outDiagonalSums.assign(bins, 0.0);
    // Per-thread scratch is allocated before the team: an allocation failing inside it would terminate.
    const int threads = beamformerThreadCount();
    const std::size_t perThread = 2 * pairs + kProjectionBlock;
    std::vector<float> floatScratch(static_cast<std::size_t>(threads) * perThread);
    std::vector<double> accumulators(static_cast<std::size_t>(threads) * kProjectionBlock);
    std::vector<detail::SteeringBlocks> steeringAll = detail::steeringBlocksPerThread(
        *cache, threads, kProjectionBlock, detail::SteeringBlocks::Layout::kPlanes);
#pragma omp parallel num_threads(threads)
    {
        const auto rank = static_cast<std::size_t>(omp_get_thread_num());
        const std::span<float> pairRe(floatScratch.data() + rank * perThread, pairs);
        const std::span<float> pairIm(pairRe.data() + pairs, pairs);
        const std::span<float> scratch(pairIm.data() + pairs, kProjectionBlock);
        const std::span<double> accumulator(accumulators.data() + rank * kProjectionBlock, kProjectionBlock);
        detail::SteeringBlocks& steering = steeringAll[rank];
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
