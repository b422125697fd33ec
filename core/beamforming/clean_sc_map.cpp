#include <omp.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <stdexcept>
#include <vector>

#include "core/beamforming/beamformer.h"
#include "core/beamforming/detail/algorithm_table.h"
#include "core/beamforming/detail/map_support.h"
#include "core/beamforming/detail/steering_blocks.h"
#include "core/beamforming/render_cancel.h"
#include "core/detail/parallel_for.h"

namespace zk::core {

namespace {

constexpr std::uint64_t kCancelPollPoints = 256;  // grid points of the dirty map between cancel polls
// Steering terms below which a cleaning step's projection stays on one thread (a join costs about as much).
constexpr std::uint64_t kParallelProjection = 65536;

constexpr detail::ValidityLimits kLoopGain =
    detail::validityLimits(BeamformingAlgorithm::kCleanSc, "clean_loop_gain");
constexpr detail::ValidityLimits kMaxIterations =
    detail::validityLimits(BeamformingAlgorithm::kCleanSc, "clean_max_iterations");
constexpr detail::ValidityLimits kStopDb =
    detail::validityLimits(BeamformingAlgorithm::kCleanSc, "clean_stop_db");

// One bin's working state. The matrix is kept as split real and imaginary column-major planes so the
// quadratic forms run on plain doubles (complex<double> products go through the slow NaN-aware path).
class CleanScBin {
  public:
    CleanScBin(const MatrixRows& rows, const std::complex<float>* steering, std::uint64_t M, std::uint64_t G)
        : M_(M),
          G_(G),
          scale_(1.0 / static_cast<double>(M)),
          steering_(steering),
          rRe_(M * M),
          rIm_(M * M),
          aRe_(M),
          aIm_(M),
          yRe_(M),
          yIm_(M),
          hRe_(M),
          hIm_(M),
          dirty_(G),
          clean_(G, 0.0),
          projection_(G) {
        const std::vector<std::complex<double>> R = hermitianSymmetrize(rows);
        for (std::size_t i = 0; i < R.size(); ++i) {
            rRe_[i] = R[i].real();
            rIm_[i] = R[i].imag();
        }
    }

    // Cleans the bin and returns its clean plus residual dirty power; the per-point work runs on
    // `threads`. `cancel` is the render's, captured on the calling thread: a team member has no test of
    // its own.
    std::vector<double> run(double loopGain, std::uint32_t maxIterations, double stopDb, int threads,
                            const detail::CancelPoll& cancel) {
        threads_ = threads;
        if (!dirtyMap(cancel)) detail::throwCancelled();
        double peak = 0.0;
        for (std::uint64_t i = 0; i < G_; ++i) peak = std::max(peak, dirty_[i]);
        if (peak > 0.0 && std::isfinite(peak)) {
            clean(peak, loopGain, maxIterations, stopDb, cancel);
        }
        for (std::uint64_t i = 0; i < G_; ++i) {
            dirty_[i] += clean_[i];
        }
        return std::move(dirty_);
    }

  private:
    // The dirty power at every point, each summed as on one thread. False when cancelled.
    bool dirtyMap(const detail::CancelPoll& cancel) {
        // Four vectors of M per thread, the loaded steering vector and its product with R.
        std::vector<double> scratchAll(static_cast<std::size_t>(threads_) * 4 * M_);
        detail::TeamCancel teamCancel(cancel);
        // The dirty map of a fine grid alone takes longer than a cancel may wait.
        const auto blocks = static_cast<std::int64_t>((G_ + kCancelPollPoints - 1) / kCancelPollPoints);
#pragma omp parallel for num_threads(threads_) schedule(static)
        for (std::int64_t block = 0; block < blocks; ++block) {
            if (teamCancel.stop()) continue;
            double* scratch = scratchAll.data() + static_cast<std::size_t>(omp_get_thread_num()) * 4 * M_;
            double* aRe = scratch;
            double* aIm = scratch + M_;
            double* yRe = scratch + 2 * M_;
            double* yIm = scratch + 3 * M_;
            const std::uint64_t first = static_cast<std::uint64_t>(block) * kCancelPollPoints;
            const std::uint64_t end = std::min(first + kCancelPollPoints, G_);
            for (std::uint64_t i = first; i < end; ++i) {
                loadSteering(i, aRe, aIm);
                multiplyBySteering(rRe_, rIm_, aRe, aIm, yRe, yIm);
                double q = 0.0;
                for (std::uint64_t j = 0; j < M_; ++j) {
                    q += aRe[j] * yRe[j] + aIm[j] * yIm[j];
                }
                const double d = scale_ * scale_ * q;
                dirty_[i] = d > 0.0 ? d : 0.0;
            }
        }
        return !teamCancel.raised();
    }

    void clean(double firstPeak, double loopGain, std::uint32_t maxIterations, double stopDb,
               const detail::CancelPoll& cancel) {
        const double threshold =
            std::max(std::numeric_limits<double>::epsilon(), std::pow(10.0, stopDb / 10.0) * firstPeak);
        double norm = matrixNorm(rRe_, rIm_);
        std::vector<double> nextRe(M_ * M_);
        std::vector<double> nextIm(M_ * M_);
        for (std::uint32_t count = 0; count < maxIterations; ++count) {
            cancel.entering(detail::RenderLoop::kCleanSc);
            cancel.throwIfRequested();
            std::uint64_t p = 0;
            for (std::uint64_t i = 1; i < G_; ++i) {
                if (dirty_[i] > dirty_[p]) {
                    p = i;
                }
            }
            const double peak = dirty_[p];
            if (threshold >= peak) {
                return;
            }
            loadSteering(p, aRe_.data(), aIm_.data());
            multiplyBySteering(rRe_, rIm_, aRe_.data(), aIm_.data(), yRe_.data(), yIm_.data());
            for (std::uint64_t k = 0; k < M_; ++k) {
                hRe_[k] = yRe_[k] * scale_ / peak;
                hIm_[k] = yIm_[k] * scale_ / peak;
            }
            projectSource();

            const double removed = peak * loopGain;
            for (std::uint64_t k = 0; k < M_; ++k) {
                for (std::uint64_t i = 0; i < M_; ++i) {
                    // h_i conj(h_k)
                    const double outerRe = hRe_[i] * hRe_[k] + hIm_[i] * hIm_[k];
                    const double outerIm = hIm_[i] * hRe_[k] - hRe_[i] * hIm_[k];
                    nextRe[i + k * M_] = rRe_[i + k * M_] - removed * outerRe;
                    nextIm[i + k * M_] = rIm_[i + k * M_] - removed * outerIm;
                }
            }
            for (std::uint64_t k = 1; k < M_; ++k) {
                for (std::uint64_t j = 0; j < k; ++j) {
                    const std::size_t upper = j + k * M_;
                    const std::size_t lower = k + j * M_;
                    const double re = 0.5 * (nextRe[upper] + nextRe[lower]);
                    const double im = 0.5 * (nextIm[upper] - nextIm[lower]);
                    nextRe[upper] = re;
                    nextRe[lower] = re;
                    nextIm[upper] = im;
                    nextIm[lower] = -im;
                }
            }
            const double nextNorm = matrixNorm(nextRe, nextIm);
            if (nextNorm > norm * 1.00000001) {
                return;
            }
            rRe_.swap(nextRe);
            rIm_.swap(nextIm);
            norm = nextNorm;
            clean_[p] += removed;
            for (std::uint64_t i = 0; i < G_; ++i) {
                const double d = dirty_[i] - std::norm(projection_[i]) * removed;
                dirty_[i] = d > 0.0 ? d : 0.0;
            }
        }
    }

    void loadSteering(std::uint64_t point, double* aRe, double* aIm) const {
        const std::complex<float>* a = steering_ + point * M_;
        for (std::uint64_t m = 0; m < M_; ++m) {
            aRe[m] = a[m].real();
            aIm[m] = a[m].imag();
        }
    }

    // y = X a, X column-major.
    void multiplyBySteering(const std::vector<double>& xRe, const std::vector<double>& xIm, const double* aRe,
                            const double* aIm, double* yRe, double* yIm) const {
        std::fill_n(yRe, M_, 0.0);
        std::fill_n(yIm, M_, 0.0);
        for (std::uint64_t k = 0; k < M_; ++k) {
            const double ar = aRe[k];
            const double ai = aIm[k];
            const double* colRe = xRe.data() + k * M_;
            const double* colIm = xIm.data() + k * M_;
            for (std::uint64_t j = 0; j < M_; ++j) {
                yRe[j] += colRe[j] * ar - colIm[j] * ai;
                yIm[j] += colRe[j] * ai + colIm[j] * ar;
            }
        }
    }

    // g_i = s a_i^H h at every grid point.
    void projectSource() {
        const auto count = static_cast<std::int64_t>(G_);
        const int threads = G_ * M_ >= kParallelProjection ? threads_ : 1;
#pragma omp parallel for num_threads(threads) schedule(static)
        for (std::int64_t point = 0; point < count; ++point) {
            const auto i = static_cast<std::uint64_t>(point);
            const std::complex<float>* a = steering_ + i * M_;
            double re = 0.0;
            double im = 0.0;
            for (std::uint64_t j = 0; j < M_; ++j) {
                const double ar = a[j].real();
                const double ai = a[j].imag();
                re += ar * hRe_[j] + ai * hIm_[j];
                im += ar * hIm_[j] - ai * hRe_[j];
            }
            projection_[i] = {scale_ * re, scale_ * im};
        }
    }

    static double matrixNorm(const std::vector<double>& re, const std::vector<double>& im) {
        double sum = 0.0;
        for (std::size_t i = 0; i < re.size(); ++i) {
            sum += std::hypot(re[i], im[i]);
        }
        return sum;
    }

    std::uint64_t M_;
    std::uint64_t G_;
    int threads_ = 1;
    double scale_;
    const std::complex<float>* steering_;  // G x M phase terms of this bin
    std::vector<double> rRe_, rIm_;
    std::vector<double> aRe_, aIm_;
    std::vector<double> yRe_, yIm_;
    std::vector<double> hRe_, hIm_;
    std::vector<double> dirty_;
    std::vector<double> clean_;
    std::vector<std::complex<double>> projection_;
};

}  // namespace

HeatmapGrid Beamformer::cleanScMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                                   double loopGain, std::uint32_t maxIterations, double stopDb,
                                   double horizontalSpanDeg, double verticalSpanDeg,
                                   double horizontalCentreDeg, double verticalCentreDeg,
                                   double horizontalStepDeg, double verticalStepDeg,
                                   double focusDistanceM) const {
    return cleanScMap(matrices, frequencies, loopGain, maxIterations, stopDb,
                      CameraGridSpec{horizontalSpanDeg, verticalSpanDeg, horizontalCentreDeg,
                                     verticalCentreDeg, horizontalStepDeg, verticalStepDeg, focusDistanceM});
}

HeatmapGrid Beamformer::cleanScMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                                   double loopGain, std::uint32_t maxIterations, double stopDb,
                                   const CameraGridSpec& grid) const {
    const std::uint64_t M = microphoneCount();
    checkBroadbandMatrix(matrices, frequencies, M);
    checkCameraGrid(grid);
    if (!kLoopGain.admits(loopGain) || !kMaxIterations.admits(maxIterations) || !kStopDb.admits(stopDb)) {
        throw std::invalid_argument("invalid CLEAN-SC parameters");
    }
    const std::shared_ptr<const CameraBandSteeringCache> cache = steeringCacheFor(frequencies, grid);
    const std::uint64_t G = cache->gridPointCount;
    // With a bin for every thread the bins are cleaned independently, one per team member at a time;
    // with fewer, one after the other with the points of each shared out. The planes are summed in bin
    // order afterwards, so the map is the same on any number of threads. Cleaning revisits every point's
    // steering once per iteration, so a bin's steering is read whole (built into one bin of scratch per
    // thread when the entry holds no tables).
    const auto binCount = static_cast<std::int64_t>(matrices.size());
    const int available = beamformerThreadCount();
    const int threads = binCount >= available ? available : 1;
    const int pointThreads = binCount >= available ? 1 : available;
    std::vector<detail::SteeringBlocks> steeringAll =
        detail::steeringBlocksPerThread(*cache, threads, G, detail::SteeringBlocks::Layout::kTerms);
    std::vector<std::vector<double>> planes(matrices.size());
    const detail::CancelPoll cancel;
    detail::parallelFor(binCount, threads, [&](std::int64_t b) {
        cancel.throwIfRequested();
        detail::SteeringBlocks& steering = steeringAll[static_cast<std::size_t>(omp_get_thread_num())];
        const auto bin = static_cast<std::size_t>(b);
        CleanScBin clean(matrices[bin], steering.terms(bin, 0, G).data(), M, G);
        planes[bin] = clean.run(loopGain, maxIterations, stopDb, pointThreads, cancel);
    });
    std::vector<double> power(G, 0.0);
    for (const std::vector<double>& plane : planes) {
        for (std::uint64_t i = 0; i < G; ++i) power[i] += plane[i];
    }
    return finalizeHeatmap(detail::mapSkeleton(*cache, frequencies), std::move(power));
}

}  // namespace zk::core
