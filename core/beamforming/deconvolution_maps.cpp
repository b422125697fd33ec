#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "core/beamforming/beamformer.h"
#include "core/beamforming/deconvolution_solvers.h"
#include "core/beamforming/detail/coarse_grid.h"
#include "core/beamforming/detail/map_support.h"
#include "core/beamforming/detail/steering_blocks.h"

namespace zk::core {
namespace {

constexpr double kEpsilon = 2.220446049250313e-16;  // 2^-52

bool finite(double v) { return std::isfinite(v); }

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

void checkSolverParameters(std::int32_t algorithmId, double first, double second) {
    switch (algorithmId) {
        case 10:
            if (!finite(first) || first <= 0.0 || first > 2.0) {
                throw std::invalid_argument("invalid DAMAS relaxation");
            }
            return;
        case 11:
            if (!finite(first) || first <= 0.0) throw std::invalid_argument("invalid DAMAS-FISTA tolerance");
            return;
        case 12:
            if (!finite(first) || first <= 0.0) throw std::invalid_argument("invalid NNLS tolerance");
            return;
        case 13:
            if (!finite(first) || first < 0.0 || !finite(second) || second <= 0.0) {
                throw std::invalid_argument("invalid Sparse-FISTA parameters");
            }
            return;
        case 14:
            if (!finite(first) || first <= 0.0 || !finite(second) || second <= 0.0 || second >= 1.0) {
                throw std::invalid_argument("invalid SBL parameters");
            }
            return;
        default:
            throw std::invalid_argument("invalid deconvolution parameters");
    }
}

std::vector<double> runSolver(std::int32_t algorithmId, const std::vector<double>& p,
                              const std::vector<double>& b, std::uint32_t iterations, double first,
                              double second) {
    switch (algorithmId) {
        case 10:
            return damasSolve(p, b, iterations, first);
        case 11:
            return damasFistaSolve(p, b, iterations, first);
        case 12:
            return nnlsSolve(p, b, iterations, first);
        case 13:
            return sparseFistaSolve(p, b, iterations, first, second);
        default:
            return sblSolve(p, b, iterations, first, second);
    }
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
    // j <= i is computed because |a_j^H a_i| is symmetric in i and j to the last bit.
    std::vector<double> acc(n * n, 0.0);
    std::vector<double> re(n * m), im(n * m);
    const double invM = 1.0 / static_cast<double>(m);
    const int threads = beamformerThreadCount();
    detail::SteeringBlocks steering(cache, 1, detail::SteeringBlocks::Layout::kTerms);
    for (std::size_t k = 0; k < bins; ++k) {
        for (std::size_t i = 0; i < n; ++i) {
            const std::complex<float>* a = steering.terms(k, coarsePoints[i], coarsePoints[i] + 1).data();
            for (std::size_t mic = 0; mic < m; ++mic) {
                re[i * m + mic] = static_cast<double>(a[mic].real());
                im[i * m + mic] = static_cast<double>(a[mic].imag());
            }
        }
        const auto count = static_cast<std::int64_t>(n);
#pragma omp parallel for num_threads(threads) schedule(static, 1)
        for (std::int64_t ii = 0; ii < count; ++ii) {
            const auto i = static_cast<std::size_t>(ii);
            const double* ri = re.data() + i * m;
            const double* qi = im.data() + i * m;
            double* out = acc.data() + i * n;
            for (std::size_t j = 0; j <= i; ++j) {
                const double* rj = re.data() + j * m;
                const double* qj = im.data() + j * m;
                double gr = 0.0, gi = 0.0;
                for (std::size_t mic = 0; mic < m; ++mic) {
                    gr += rj[mic] * ri[mic] + qj[mic] * qi[mic];
                    gi += rj[mic] * qi[mic] - qj[mic] * ri[mic];
                }
                gr *= invM;
                gi *= invM;
                out[j] += gr * gr + gi * gi;
            }
        }
    }

    const double invBins = 1.0 / static_cast<double>(bins);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j <= i; ++j) {
            const double v = acc[i * n + j] * invBins;
            p[j * n + i] = v;
            p[i * n + j] = v;
        }
    }
    for (std::size_t i = 0; i < n; ++i) {
        const double d = p[i * n + i];
        if (d > kEpsilon) {
            for (std::size_t j = 0; j < n; ++j) p[j * n + i] /= d;
        }
    }
    for (double& v : p) {
        if (!std::isfinite(v) || v < 0.0) v = 0.0;
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
    if (iterations == 0 || stride == 0 || algorithmId < 10 || algorithmId > 14) {
        throw std::invalid_argument("invalid deconvolution parameters");
    }
    // The solver's own parameters are checked before any steering or map work is spent.
    checkSolverParameters(algorithmId, firstValue, secondValue);

    const auto cache = steeringCacheFor(frequencies, grid);
    const HeatmapGrid das = broadbandDas(matrices, frequencies, grid, false);

    const std::uint64_t width = cache->horizontalAxis.size();
    const std::uint64_t height = cache->verticalAxis.size();
    const std::vector<std::uint64_t> rows = detail::coarseGridLines(height, stride);
    const std::vector<std::uint64_t> columns = detail::coarseGridLines(width, stride);
    const std::vector<std::uint64_t> points = detail::coarseGridPoints(rows, columns, width);

    std::vector<double> b(points.size());
    double bmax = 0.0;
    for (std::size_t k = 0; k < points.size(); ++k) {
        b[k] = std::max(0.0, das.power[points[k]]);
        bmax = std::max(bmax, b[k]);
    }
    if (bmax > 0.0 && std::isfinite(bmax)) {
        for (double& v : b) v /= bmax;
    }

    const std::vector<double> p = pointSpreadMatrix(*cache, points);
    const std::vector<double> x = runSolver(algorithmId, p, b, iterations, firstValue, secondValue);

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
