#include <omp.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "core/beamforming/beamformer.h"
#include "core/beamforming/deconvolution_solvers.h"
#include "core/beamforming/detail/algorithm_table.h"
#include "core/beamforming/detail/coarse_grid.h"
#include "core/beamforming/detail/map_support.h"
#include "core/beamforming/detail/point_spread_kernel.h"
#include "core/beamforming/detail/steering_blocks.h"
#include "core/beamforming/render_cancel.h"
#include "core/detail/parallel_for.h"

namespace zk::core {
namespace {

constexpr double kEpsilon = 2.220446049250313e-16;  // 2^-52

// The driver holds n x n doubles twice over (512 MiB each at this size) and every solver pass costs
// n^2 to n^3: a finer coarse grid would not return in any useful time, or not at all.
constexpr std::uint64_t kMaxCoarsePoints = 8192;

// Below this many entries the point-spread matrix is assembled from its accumulator on one thread.
constexpr std::size_t kParallelFillEntries = 512 * 512;

// Segment of the sampled lines that holds a full-grid line, as positions into the list plus the
// interpolation fraction. A single sampled line serves every line with fraction 0.
struct Segment {
    std::size_t lower = 0;
    std::size_t upper = 0;
    double fraction = 0.0;
};

std::vector<Segment> segmentsFor(const std::vector<std::uint64_t>& lines, std::uint64_t count) {
    std::vector<Segment> out(count);
    if (lines.size() < 2) return out;
    std::size_t seg = 0;
    for (std::uint64_t line = 0; line < count; ++line) {
        while (seg + 2 < lines.size() && line > lines[seg + 1]) ++seg;
        const double a = static_cast<double>(lines[seg]);
        const double b = static_cast<double>(lines[seg + 1]);
        out[line] = {seg, seg + 1, b - a > 0.0 ? (static_cast<double>(line) - a) / (b - a) : 0.0};
    }
    return out;
}

// Spreads the coarse solution (column-major over the sampled lines) back over the full height x width
// grid, row-major.
std::vector<double> spreadSolution(const std::vector<double>& x, const std::vector<std::uint64_t>& rows,
                                   const std::vector<std::uint64_t>& columns, std::uint64_t height,
                                   std::uint64_t width) {
    std::vector<double> power(height * width, 0.0);
    const std::size_t nRows = rows.size();
    if (nRows == height && columns.size() == width) {
        for (std::size_t c = 0; c < width; ++c) {
            for (std::size_t r = 0; r < height; ++r) power[r * width + c] = std::max(0.0, x[c * nRows + r]);
        }
        return power;
    }
    const std::vector<Segment> rowSeg = segmentsFor(rows, height);
    const std::vector<Segment> colSeg = segmentsFor(columns, width);
    for (std::uint64_t r = 0; r < height; ++r) {
        const Segment& rs = rowSeg[r];
        for (std::uint64_t c = 0; c < width; ++c) {
            const Segment& cs = colSeg[c];
            const double aa = x[cs.lower * nRows + rs.lower];
            const double ba = x[cs.lower * nRows + rs.upper];
            const double ab = x[cs.upper * nRows + rs.lower];
            const double bb = x[cs.upper * nRows + rs.upper];
            const double left = aa + rs.fraction * (ba - aa);
            const double right = ab + rs.fraction * (bb - ab);
            power[r * width + c] = std::max(0.0, left + cs.fraction * (right - left));
        }
    }
    return power;
}

// Coarse points per item of the delay-and-sum data: the steering of a block is reused for every matrix entry.
constexpr std::size_t kDataBlock = 8;

// The band's delay-and-sum power at the given grid points, as broadbandDas defines it: Q = trace(R) +
// 2 Re sum over r < k of conj(a_r) R_rk a_k per bin, over M^2, clamped at 0, summed over the bins, with the
// single-precision phase terms widened to double and every product and sum in double. The full map's
// single-precision pair sums are off by about 1e-7, which the solvers magnify (SBL to 3e-4 of its peak).
std::vector<double> coarseDasPower(std::span<const MatrixRows> matrices, const CameraBandSteeringCache& cache,
                                   std::span<const std::uint64_t> points) {
    const std::size_t n = points.size();
    const std::size_t m = cache.microphoneCount;
    std::vector<double> power(n, 0.0);
    if (n == 0 || m == 0) return power;
    const double divisor = static_cast<double>(m) * static_cast<double>(m);
    const int threads = beamformerThreadCount();
    std::vector<detail::SteeringBlocks> steeringAll =
        detail::steeringBlocksPerThread(cache, threads, 1, detail::SteeringBlocks::Layout::kTerms);
    // Per thread: the block's steering microphone-major, real parts then imaginary; the lanes of a short
    // last block hold what they held and are not read.
    const std::size_t scratchSize = 2 * m * kDataBlock;
    std::vector<double> scratchAll(static_cast<std::size_t>(threads) * scratchSize);
    const auto items = static_cast<std::int64_t>((n + kDataBlock - 1) / kDataBlock);
    const detail::CancelPoll cancel;
    detail::TeamCancel teamCancel(cancel);
#pragma omp parallel num_threads(threads)
    {
        const auto thread = static_cast<std::size_t>(omp_get_thread_num());
        detail::SteeringBlocks& steering = steeringAll[thread];
        double* re = scratchAll.data() + thread * scratchSize;
        double* im = re + m * kDataBlock;
#pragma omp for schedule(static)
        for (std::int64_t item = 0; item < items; ++item) {
            if (teamCancel.stop()) continue;
            const std::size_t first = static_cast<std::size_t>(item) * kDataBlock;
            const std::size_t count = std::min(kDataBlock, n - first);
            for (std::size_t bin = 0; bin < matrices.size(); ++bin) {
                for (std::size_t p = 0; p < count; ++p) {
                    const std::complex<float>* a =
                        steering.terms(bin, points[first + p], points[first + p] + 1).data();
                    for (std::size_t mic = 0; mic < m; ++mic) {
                        re[mic * kDataBlock + p] = static_cast<double>(a[mic].real());
                        im[mic * kDataBlock + p] = static_cast<double>(a[mic].imag());
                    }
                }
                const MatrixRows& r = matrices[bin];
                double trace = 0.0;
                double pairs[kDataBlock] = {};
                for (std::size_t row = 0; row < m; ++row) {
                    trace += r[row][row].real();
                    double sr[kDataBlock] = {}, si[kDataBlock] = {};
                    const std::complex<double>* entries = r[row].data();
                    for (std::size_t col = row + 1; col < m; ++col) {
                        const double xr = entries[col].real(), xi = entries[col].imag();
                        const double* ar = re + col * kDataBlock;
                        const double* ai = im + col * kDataBlock;
                        for (std::size_t p = 0; p < kDataBlock; ++p) {
                            sr[p] += xr * ar[p] - xi * ai[p];
                            si[p] += xr * ai[p] + xi * ar[p];
                        }
                    }
                    const double* ar = re + row * kDataBlock;
                    const double* ai = im + row * kDataBlock;
                    for (std::size_t p = 0; p < kDataBlock; ++p) pairs[p] += ar[p] * sr[p] + ai[p] * si[p];
                }
                for (std::size_t p = 0; p < count; ++p) {
                    power[first + p] += std::max((trace + 2.0 * pairs[p]) / divisor, 0.0);
                }
            }
        }
    }
    if (teamCancel.raised()) detail::throwCancelled();
    return power;
}

}  // namespace

std::vector<std::uint64_t> detail::coarseGridLines(std::uint64_t count, std::uint32_t stride) {
    std::vector<std::uint64_t> lines;
    if (count == 0 || stride == 0) return lines;
    for (std::uint64_t v = 0; v < count; v += stride) lines.push_back(v);
    if (lines.back() != count - 1) lines.push_back(count - 1);
    return lines;
}

std::vector<std::uint64_t> detail::coarseGridPoints(const std::vector<std::uint64_t>& rows,
                                                    const std::vector<std::uint64_t>& columns,
                                                    std::uint64_t width) {
    std::vector<std::uint64_t> points;
    points.reserve(rows.size() * columns.size());
    for (std::uint64_t c : columns) {
        for (std::uint64_t r : rows) points.push_back(r * width + c);
    }
    return points;
}

std::vector<double> Beamformer::pointSpreadMatrix(const CameraBandSteeringCache& cache,
                                                  std::span<const std::uint64_t> coarsePoints) {
    const std::size_t n = coarsePoints.size();
    const std::size_t bins = cache.frequencies.size();
    const std::size_t g = cache.gridPointCount;
    std::vector<double> p(n * n, 0.0);
    if (n == 0 || bins == 0 || g == 0) return p;
    const std::size_t m = cache.microphoneCount;
    if (m == 0) return p;
    for (std::uint64_t point : coarsePoints) {
        if (point >= g) throw std::invalid_argument("invalid camera grid");
    }

    // Accumulated transposed (row i holds column i of P) so every thread writes contiguous memory; only
    // j <= i is read because |a_j^H a_i| is symmetric in i and j to the last bit. Rows are padded to the
    // kernel's column vectors; the steering vectors are stored microphone-major, zero beyond n.
    const std::size_t stride =
        (n + detail::kGramColumnPadding - 1) / detail::kGramColumnPadding * detail::kGramColumnPadding;
    std::vector<double> acc(n * stride, 0.0);
    std::vector<double> re(m * stride, 0.0), im(m * stride, 0.0);
    const detail::GramColumns columns{re, im, m, n, stride};
    const double invM = 1.0 / static_cast<double>(m);
    const int threads = beamformerThreadCount();
    constexpr std::size_t kRowsPerItem = 4;
    const auto items = static_cast<std::int64_t>((n + kRowsPerItem - 1) / kRowsPerItem);
    const auto count = static_cast<std::int64_t>(n);
    // One point at a time per thread, views of the tables or built from the path differences into
    // scratch allocated here, before the team.
    std::vector<detail::SteeringBlocks> steeringAll =
        detail::steeringBlocksPerThread(cache, threads, 1, detail::SteeringBlocks::Layout::kTerms);
    const detail::CancelPoll cancel;
    detail::TeamCancel teamCancel(cancel);
    // One team for the whole band: each bin's vectors are converted, then its rows are summed, with the
    // team's barriers between the two steps.
#pragma omp parallel num_threads(threads)
    {
        detail::SteeringBlocks& steering = steeringAll[static_cast<std::size_t>(omp_get_thread_num())];
        for (std::size_t k = 0; k < bins; ++k) {
#pragma omp for schedule(static)
            for (std::int64_t ii = 0; ii < count; ++ii) {
                const auto i = static_cast<std::size_t>(ii);
                const std::complex<float>* a = steering.terms(k, coarsePoints[i], coarsePoints[i] + 1).data();
                for (std::size_t mic = 0; mic < m; ++mic) {
                    re[mic * stride + i] = static_cast<double>(a[mic].real());
                    im[mic * stride + i] = static_cast<double>(a[mic].imag());
                }
            }
            // Row i costs i + 1 entries: the round-robin items keep the threads' shares even.
#pragma omp for schedule(static, 1)
            for (std::int64_t item = 0; item < items; ++item) {
                if (teamCancel.raised()) continue;
                cancel.entering(detail::RenderLoop::kPointSpread);
                if (teamCancel.stop()) continue;
                const std::size_t first = static_cast<std::size_t>(item) * kRowsPerItem;
                detail::accumulateGramModulus(columns, first, std::min(first + kRowsPerItem, n), invM, acc);
            }
        }
    }

    if (teamCancel.raised()) detail::throwCancelled();
    // Entry (r, c) is the mean over the bins of acc at (max(r, c), min(r, c)), divided by column c's own
    // diagonal value where that is positive. Bands of kTileRows rows are written while the columns run,
    // so both halves of acc are read along cache lines; each entry is computed as on one thread.
    const double invBins = 1.0 / static_cast<double>(bins);
    std::vector<double> diagonal(n);
    for (std::size_t i = 0; i < n; ++i) diagonal[i] = acc[i * stride + i] * invBins;
    constexpr std::size_t kTileRows = 16;
    const auto tiles = static_cast<std::int64_t>((n + kTileRows - 1) / kTileRows);
    const int fillThreads = n * n >= kParallelFillEntries ? threads : 1;
#pragma omp parallel for num_threads(fillThreads) schedule(static)
    for (std::int64_t tile = 0; tile < tiles; ++tile) {
        const std::size_t first = static_cast<std::size_t>(tile) * kTileRows;
        const std::size_t end = std::min(first + kTileRows, n);
        for (std::size_t c = 0; c < n; ++c) {
            const double d = diagonal[c];
            for (std::size_t r = first; r < end; ++r) {
                double v = (c <= r ? acc[r * stride + c] : acc[c * stride + r]) * invBins;
                if (d > kEpsilon) v /= d;
                p[r * n + c] = std::isfinite(v) && v >= 0.0 ? v : 0.0;
            }
        }
    }
    return p;
}

HeatmapGrid Beamformer::deconvolutionMap(std::span<const MatrixRows> matrices,
                                         std::span<const double> frequencies, std::int32_t algorithmId,
                                         std::uint32_t iterations, std::uint32_t stride, double firstValue,
                                         double secondValue, double horizontalSpanDeg, double verticalSpanDeg,
                                         double horizontalCentreDeg, double verticalCentreDeg,
                                         double horizontalStepDeg, double verticalStepDeg,
                                         double focusDistanceM) const {
    return deconvolutionMap(
        matrices, frequencies, algorithmId, iterations, stride, firstValue, secondValue,
        CameraGridSpec{horizontalSpanDeg, verticalSpanDeg, horizontalCentreDeg, verticalCentreDeg,
                       horizontalStepDeg, verticalStepDeg, focusDistanceM});
}

HeatmapGrid Beamformer::deconvolutionMap(std::span<const MatrixRows> matrices,
                                         std::span<const double> frequencies, std::int32_t algorithmId,
                                         std::uint32_t iterations, std::uint32_t stride, double firstValue,
                                         double secondValue, const CameraGridSpec& grid) const {
    checkBroadbandMatrix(matrices, frequencies, microphoneCount());
    checkCameraGrid(grid);
    const detail::AlgorithmEntry* algorithm = detail::findAlgorithm(algorithmId);
    const detail::DeconvolutionSolver* solver = algorithm == nullptr ? nullptr : algorithm->deconvolution;
    if (solver == nullptr || !solver->iterations.admits(iterations) || !solver->stride.admits(stride)) {
        throw std::invalid_argument("invalid deconvolution parameters");
    }
    // The solver's own parameters are checked before any steering or map work is spent.
    if (!solver->first.admits(firstValue) || (solver->hasSecond && !solver->second.admits(secondValue))) {
        throw std::invalid_argument(solver->message);
    }
    const std::uint64_t coarsePoints =
        detail::coarseGridLines(cameraGridPointCount(grid.verticalSpanDeg, grid.verticalStepDeg), stride)
            .size() *
        detail::coarseGridLines(cameraGridPointCount(grid.horizontalSpanDeg, grid.horizontalStepDeg), stride)
            .size();
    if (coarsePoints > kMaxCoarsePoints) {
        throw std::invalid_argument(
            "deconvolution coarse grid has more than 8192 points: use a larger stride");
    }

    const auto cache = steeringCacheFor(frequencies, grid);

    const std::uint64_t width = cache->horizontalAxis.size();
    const std::uint64_t height = cache->verticalAxis.size();
    const std::vector<std::uint64_t> rows = detail::coarseGridLines(height, stride);
    const std::vector<std::uint64_t> columns = detail::coarseGridLines(width, stride);
    const std::vector<std::uint64_t> points = detail::coarseGridPoints(rows, columns, width);

    // The delay-and-sum map without diagonal removal, at the coarse points only.
    std::vector<double> b = coarseDasPower(matrices, *cache, points);
    double bmax = 0.0;
    for (double& v : b) {
        v = std::max(0.0, v);
        bmax = std::max(bmax, v);
    }
    if (bmax > 0.0 && std::isfinite(bmax)) {
        for (double& v : b) v /= bmax;
    }

    const std::vector<double> p = pointSpreadMatrix(*cache, points);
    const std::vector<double> x = solver->solve(p, b, iterations, firstValue, secondValue);

    return finalizeHeatmap(detail::mapSkeleton(*cache, frequencies),
                           spreadSolution(x, rows, columns, height, width));
}

HeatmapGrid Beamformer::damasMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                                 std::uint32_t iterations, std::uint32_t stride, double relaxation,
                                 double horizontalSpanDeg, double verticalSpanDeg, double horizontalCentreDeg,
                                 double verticalCentreDeg, double horizontalStepDeg, double verticalStepDeg,
                                 double focusDistanceM) const {
    return damasMap(matrices, frequencies, iterations, stride, relaxation,
                    CameraGridSpec{horizontalSpanDeg, verticalSpanDeg, horizontalCentreDeg, verticalCentreDeg,
                                   horizontalStepDeg, verticalStepDeg, focusDistanceM});
}

HeatmapGrid Beamformer::damasMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                                 std::uint32_t iterations, std::uint32_t stride, double relaxation,
                                 const CameraGridSpec& grid) const {
    return deconvolutionMap(matrices, frequencies, 10, iterations, stride, relaxation, 0.0, grid);
}

HeatmapGrid Beamformer::damasFistaMap(std::span<const MatrixRows> matrices,
                                      std::span<const double> frequencies, std::uint32_t iterations,
                                      std::uint32_t stride, double tolerance, double horizontalSpanDeg,
                                      double verticalSpanDeg, double horizontalCentreDeg,
                                      double verticalCentreDeg, double horizontalStepDeg,
                                      double verticalStepDeg, double focusDistanceM) const {
    return damasFistaMap(
        matrices, frequencies, iterations, stride, tolerance,
        CameraGridSpec{horizontalSpanDeg, verticalSpanDeg, horizontalCentreDeg, verticalCentreDeg,
                       horizontalStepDeg, verticalStepDeg, focusDistanceM});
}

HeatmapGrid Beamformer::damasFistaMap(std::span<const MatrixRows> matrices,
                                      std::span<const double> frequencies, std::uint32_t iterations,
                                      std::uint32_t stride, double tolerance,
                                      const CameraGridSpec& grid) const {
    return deconvolutionMap(matrices, frequencies, 11, iterations, stride, tolerance, 0.0, grid);
}

HeatmapGrid Beamformer::nnlsMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                                std::uint32_t iterations, std::uint32_t stride, double tolerance,
                                double horizontalSpanDeg, double verticalSpanDeg, double horizontalCentreDeg,
                                double verticalCentreDeg, double horizontalStepDeg, double verticalStepDeg,
                                double focusDistanceM) const {
    return nnlsMap(matrices, frequencies, iterations, stride, tolerance,
                   CameraGridSpec{horizontalSpanDeg, verticalSpanDeg, horizontalCentreDeg, verticalCentreDeg,
                                  horizontalStepDeg, verticalStepDeg, focusDistanceM});
}

HeatmapGrid Beamformer::nnlsMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                                std::uint32_t iterations, std::uint32_t stride, double tolerance,
                                const CameraGridSpec& grid) const {
    return deconvolutionMap(matrices, frequencies, 12, iterations, stride, tolerance, 0.0, grid);
}

HeatmapGrid Beamformer::sparseFistaMap(std::span<const MatrixRows> matrices,
                                       std::span<const double> frequencies, std::uint32_t iterations,
                                       std::uint32_t stride, double lambdaRel, double tolerance,
                                       double horizontalSpanDeg, double verticalSpanDeg,
                                       double horizontalCentreDeg, double verticalCentreDeg,
                                       double horizontalStepDeg, double verticalStepDeg,
                                       double focusDistanceM) const {
    return sparseFistaMap(
        matrices, frequencies, iterations, stride, lambdaRel, tolerance,
        CameraGridSpec{horizontalSpanDeg, verticalSpanDeg, horizontalCentreDeg, verticalCentreDeg,
                       horizontalStepDeg, verticalStepDeg, focusDistanceM});
}

HeatmapGrid Beamformer::sparseFistaMap(std::span<const MatrixRows> matrices,
                                       std::span<const double> frequencies, std::uint32_t iterations,
                                       std::uint32_t stride, double lambdaRel, double tolerance,
                                       const CameraGridSpec& grid) const {
    return deconvolutionMap(matrices, frequencies, 13, iterations, stride, lambdaRel, tolerance, grid);
}

HeatmapGrid Beamformer::sblMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                               std::uint32_t iterations, std::uint32_t stride, double noiseRel,
                               double pruneRel, double horizontalSpanDeg, double verticalSpanDeg,
                               double horizontalCentreDeg, double verticalCentreDeg, double horizontalStepDeg,
                               double verticalStepDeg, double focusDistanceM) const {
    return sblMap(matrices, frequencies, iterations, stride, noiseRel, pruneRel,
                  CameraGridSpec{horizontalSpanDeg, verticalSpanDeg, horizontalCentreDeg, verticalCentreDeg,
                                 horizontalStepDeg, verticalStepDeg, focusDistanceM});
}

HeatmapGrid Beamformer::sblMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                               std::uint32_t iterations, std::uint32_t stride, double noiseRel,
                               double pruneRel, const CameraGridSpec& grid) const {
    return deconvolutionMap(matrices, frequencies, 14, iterations, stride, noiseRel, pruneRel, grid);
}

}  // namespace zk::core
