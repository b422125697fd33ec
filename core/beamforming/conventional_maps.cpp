#include <omp.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <stdexcept>

#include "core/beamforming/beamformer.h"
#include "core/beamforming/detail/input_checks.h"
#include "core/beamforming/detail/map_support.h"
#include "core/beamforming/detail/pair_kernel.h"
#include "core/beamforming/detail/steering_blocks.h"
#include "core/beamforming/render_cancel.h"
#include "core/detail/parallel_for.h"

namespace zk::core {

namespace {

using Complex = std::complex<double>;

constexpr double kDegToRad = std::numbers::pi / 180.0;

// Grid points per block of the broadband loop: 32 points keep one block's steering rows of a bin in
// the first-level cache while the pair kernel walks the triangle.
constexpr std::size_t kBlockPoints = 32;

// Scans allocate one value per axis point and three planes of cells: each axis is bounded like a camera
// grid axis, and the cells to 2^24 (a 0.1-degree scan of the whole half sphere has 6.5 million).
constexpr std::uint64_t kMaxScanAxisPoints = 1'000'000;
constexpr std::uint64_t kMaxScanCells = std::uint64_t{1} << 24;

bool validFrequency(double frequencyHz) { return frequencyHz > 0.0 && std::isfinite(frequencyHz); }

}  // namespace

double Beamformer::dasPower(const MatrixRows& rows, std::span<const Complex> steering, bool removeDiagonal) {
    const std::size_t m = steering.size();
    // Every row is checked, not only the first: a short later row would be read past its end.
    if (!detail::isSquareOf(rows, m)) throw std::invalid_argument("steering dimension does not match CSM");
    if (m == 0) return 0.0;  // no microphone, no power (and no 0 / 0)
    double q = 0.0;
    for (std::size_t i = 0; i < m; ++i) {
        Complex s{};
        for (std::size_t k = 0; k < m; ++k) s += rows[i][k] * steering[k];
        q += (std::conj(steering[i]) * s).real();
    }
    const double md = static_cast<double>(m);
    if (!removeDiagonal) return std::max(q / (md * md), 0.0);
    double scale = 0.0;
    for (std::size_t i = 0; i < m; ++i) {
        const double w2 = std::norm(steering[i]);
        q -= w2 * rows[i][i].real();
        scale += w2 * std::abs(rows[i][i]);
    }
    const double divisor = m >= 2 ? md * (md - 1.0) : md * md;
    if (std::abs(q) <= 1e-12 * std::max(scale, 1.0)) return 0.0;
    return std::max(q / divisor, 0.0);
}

double Beamformer::dasPowerAtDirection(const MatrixRows& rows, double frequencyHz, double azimuthDeg,
                                       double elevationDeg, bool removeDiagonal) const {
    const std::size_t m = microphones_.size();
    if (!detail::isSquareOf(rows, m)) throw std::invalid_argument("matrix dimension does not match geometry");
    if (!validFrequency(frequencyHz)) throw std::invalid_argument("frequency must be positive");
    const double az = azimuthDeg * kDegToRad;
    const double el = elevationDeg * kDegToRad;
    const double k = 2.0 * std::numbers::pi * frequencyHz / speedOfSound();
    std::vector<Complex> w(m);
    for (std::size_t i = 0; i < m; ++i) {
        const auto& p = microphones_[i];
        const double projection =
            std::sin(az) * std::cos(el) * p.y + std::cos(az) * std::cos(el) * p.x + std::sin(el) * p.z;
        w[i] = std::polar(1.0, k * projection);
    }
    return dasPower(rows, w, removeDiagonal);
}

HeatmapGrid Beamformer::cameraGridMap(const MatrixRows& rows, double frequencyHz, double horizontalSpanDeg,
                                      double verticalSpanDeg, double horizontalCentreDeg,
                                      double verticalCentreDeg, double horizontalStepDeg,
                                      double verticalStepDeg, bool removeDiagonal) const {
    if (!validFrequency(frequencyHz)) throw std::invalid_argument("frequency must be positive");
    checkCameraGrid({horizontalSpanDeg, verticalSpanDeg, horizontalCentreDeg, verticalCentreDeg,
                     horizontalStepDeg, verticalStepDeg});
    const std::size_t m = microphones_.size();
    if (!detail::isSquareOf(rows, m)) throw std::invalid_argument("steering dimension does not match CSM");

    HeatmapGrid grid;
    grid.azimuthDeg = cameraGridAxis(horizontalSpanDeg, horizontalCentreDeg, horizontalStepDeg);
    grid.elevationDeg = cameraGridAxis(verticalSpanDeg, verticalCentreDeg, verticalStepDeg);
    grid.width = grid.azimuthDeg.size();
    grid.height = grid.elevationDeg.size();
    grid.representativeFrequencyHz = frequencyHz;

    const double k = 2.0 * std::numbers::pi * frequencyHz / speedOfSound();
    const double farField = std::numeric_limits<double>::infinity();
    std::vector<double> power(grid.width * grid.height);
    std::vector<double> d(m);
    std::vector<Complex> w(m);
    for (std::size_t r = 0; r < grid.height; ++r) {
        for (std::size_t c = 0; c < grid.width; ++c) {
            pathDifferences(grid.azimuthDeg[c], grid.elevationDeg[r], farField, d);
            for (std::size_t i = 0; i < m; ++i) w[i] = std::polar(1.0, -k * d[i]);
            power[r * grid.width + c] = dasPower(rows, w, removeDiagonal);
        }
    }
    return finalizeHeatmap(std::move(grid), std::move(power));
}

HeatmapGrid Beamformer::azimuthElevationScan(const MatrixRows& rows, double frequencyHz, double azimuthMinDeg,
                                             double azimuthMaxDeg, std::uint64_t azimuthCount,
                                             double elevationMinDeg, double elevationMaxDeg,
                                             std::uint64_t elevationCount, bool removeDiagonal) const {
    // Non-finite limits would fill the axes with NaN and pass the ordering tests.
    if (azimuthCount < 2 || azimuthCount > kMaxScanAxisPoints || !(azimuthMinDeg < azimuthMaxDeg) ||
        !std::isfinite(azimuthMinDeg) || !std::isfinite(azimuthMaxDeg)) {
        throw std::invalid_argument("invalid azimuth scan range");
    }
    if (elevationCount == 0 || elevationCount > kMaxScanAxisPoints ||
        azimuthCount * elevationCount > kMaxScanCells || !std::isfinite(elevationMinDeg) ||
        (elevationCount > 1 && (!(elevationMinDeg < elevationMaxDeg) || !std::isfinite(elevationMaxDeg)))) {
        throw std::invalid_argument("invalid elevation scan range");
    }
    const std::size_t m = microphones_.size();
    if (!detail::isSquareOf(rows, m)) throw std::invalid_argument("matrix dimension does not match geometry");
    if (!validFrequency(frequencyHz)) throw std::invalid_argument("frequency must be positive");

    HeatmapGrid grid;
    grid.azimuthDeg.resize(azimuthCount);
    const double azStep = (azimuthMaxDeg - azimuthMinDeg) / static_cast<double>(azimuthCount - 1);
    for (std::uint64_t i = 0; i < azimuthCount; ++i) {
        grid.azimuthDeg[i] = azimuthMinDeg + static_cast<double>(i) * azStep;
    }
    if (elevationCount == 1) {
        grid.elevationDeg = {elevationMinDeg};
    } else {
        grid.elevationDeg.resize(elevationCount);
        const double elStep = (elevationMaxDeg - elevationMinDeg) / static_cast<double>(elevationCount - 1);
        for (std::uint64_t j = 0; j < elevationCount; ++j) {
            grid.elevationDeg[j] = elevationMinDeg + static_cast<double>(j) * elStep;
        }
    }
    grid.width = azimuthCount;
    grid.height = elevationCount;
    grid.representativeFrequencyHz = frequencyHz;

    std::vector<double> power(azimuthCount * elevationCount);
    for (std::uint64_t j = 0; j < elevationCount; ++j) {
        for (std::uint64_t i = 0; i < azimuthCount; ++i) {
            power[j * azimuthCount + i] = dasPowerAtDirection(rows, frequencyHz, grid.azimuthDeg[i],
                                                              grid.elevationDeg[j], removeDiagonal);
        }
    }
    return finalizeHeatmap(std::move(grid), std::move(power));
}

HeatmapGrid Beamformer::scanMap(const MatrixRows& rows, double frequencyHz, double azimuthMinDeg,
                                double azimuthMaxDeg, std::uint64_t azimuthCount, double elevationDeg,
                                bool removeDiagonal) const {
    return azimuthElevationScan(rows, frequencyHz, azimuthMinDeg, azimuthMaxDeg, azimuthCount, elevationDeg,
                                elevationDeg, 1, removeDiagonal);
}

HeatmapGrid Beamformer::broadbandDas(std::span<const MatrixRows> matrices,
                                     std::span<const double> frequencies, double horizontalSpanDeg,
                                     double verticalSpanDeg, double horizontalCentreDeg,
                                     double verticalCentreDeg, double horizontalStepDeg,
                                     double verticalStepDeg, bool removeDiagonal,
                                     double focusDistanceM) const {
    return broadbandDas(matrices, frequencies,
                        CameraGridSpec{horizontalSpanDeg, verticalSpanDeg, horizontalCentreDeg,
                                       verticalCentreDeg, horizontalStepDeg, verticalStepDeg, focusDistanceM},
                        removeDiagonal);
}

HeatmapGrid Beamformer::broadbandDas(std::span<const MatrixRows> matrices,
                                     std::span<const double> frequencies, const CameraGridSpec& grid,
                                     bool removeDiagonal) const {
    if (matrices.empty() || matrices.size() != frequencies.size()) {
        throw std::invalid_argument("invalid broadband matrix/frequency band");
    }
    checkCameraGrid(grid);
    const std::size_t m = microphones_.size();
    checkBroadbandMatrix(matrices, frequencies, m);

    const auto cache = steeringCacheFor(frequencies, grid);
    const std::size_t bins = frequencies.size();

    // The strict upper triangles in single precision, packed pair by pair, and the traces.
    const std::size_t pairs = m * (m - 1) / 2;
    std::vector<float> pairRe(bins * pairs);
    std::vector<float> pairIm(bins * pairs);
    std::vector<double> trace(bins, 0.0);
    for (std::size_t b = 0; b < bins; ++b) {
        std::size_t p = b * pairs;
        for (std::size_t r = 0; r < m; ++r) {
            trace[b] += matrices[b][r][r].real();
            for (std::size_t k = r + 1; k < m; ++k, ++p) {
                pairRe[p] = static_cast<float>(matrices[b][r][k].real());
                pairIm[p] = static_cast<float>(matrices[b][r][k].imag());
            }
        }
    }

    const double md = static_cast<double>(m);
    const double divisor = removeDiagonal && m > 1 ? md * (md - 1.0) : md * md;
    const std::size_t points = cache->gridPointCount;
    const std::size_t blocks = (points + kBlockPoints - 1) / kBlockPoints;
    std::vector<double> power(points, 0.0);
    const std::span<const float> allPairRe(pairRe);
    const std::span<const float> allPairIm(pairIm);
    const int threads = beamformerThreadCount();
    std::vector<detail::SteeringBlocks> steeringAll = detail::steeringBlocksPerThread(
        *cache, threads, kBlockPoints, detail::SteeringBlocks::Layout::kPlanes);
    const detail::CancelPoll cancel;
    detail::TeamCancel teamCancel(cancel);
    // Static split of the blocks over the team; each thread walks its own blocks bin by bin, so
    // consecutive kernel calls read neighbouring stretches of the same steering rows.
#pragma omp parallel num_threads(threads)
    {
        const std::size_t team = static_cast<std::size_t>(omp_get_num_threads());
        const std::size_t rank = static_cast<std::size_t>(omp_get_thread_num());
        const std::size_t firstBlock = blocks * rank / team;
        const std::size_t endBlock = blocks * (rank + 1) / team;
        detail::SteeringBlocks& steering = steeringAll[rank];
        float scratch[kBlockPoints];
        double accumulator[kBlockPoints];
        for (std::size_t b = 0; b < bins; ++b) {
            if (teamCancel.stop()) break;
            const double diagonal = removeDiagonal ? 0.0 : trace[b];
            for (std::size_t block = firstBlock; block < endBlock; ++block) {
                const std::size_t first = block * kBlockPoints;
                const std::size_t end = std::min(first + kBlockPoints, points);
                std::fill(accumulator, accumulator + kBlockPoints, 0.0);
                const detail::PlaneBlock planes = steering.planes(b, first, end);
                detail::accumulatePairQuadraticForm(planes.re, planes.im, m, planes.stride, planes.first,
                                                    planes.end, allPairRe.subspan(b * pairs, pairs),
                                                    allPairIm.subspan(b * pairs, pairs), scratch,
                                                    accumulator);
                for (std::size_t g = first; g < end; ++g) {
                    power[g] += std::max((2.0 * accumulator[g - first] + diagonal) / divisor, 0.0);
                }
            }
        }
    }
    if (teamCancel.raised()) detail::throwCancelled();
    return finalizeHeatmap(detail::mapSkeleton(*cache, frequencies), std::move(power));
}

}  // namespace zk::core
