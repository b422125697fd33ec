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
#include "core/beamforming/detail/clean_sc_kernels.h"
#include "core/beamforming/detail/map_support.h"
#include "core/beamforming/detail/steering_blocks.h"
#include "core/beamforming/render_cancel.h"
#include "core/detail/parallel_for.h"

namespace zk::core {

namespace {

// Grid points per task of the grid-wide steps, and of the dirty map between cancel polls.
constexpr std::uint64_t kBlockPoints = 256;
// Steering terms below which a cleaning step's projection stays on one thread (a join costs about as much).
constexpr std::uint64_t kParallelProjection = 65536;
// Modulus sums at or below this may have lost entries whose squares underflow; they are redone with hypot.
constexpr double kSmallestSquaredModulusSum = 1e-140;

constexpr detail::ValidityLimits kLoopGain =
    detail::validityLimits(BeamformingAlgorithm::kCleanSc, "clean_loop_gain");
constexpr detail::ValidityLimits kMaxIterations =
    detail::validityLimits(BeamformingAlgorithm::kCleanSc, "clean_max_iterations");
constexpr detail::ValidityLimits kStopDb =
    detail::validityLimits(BeamformingAlgorithm::kCleanSc, "clean_stop_db");

// One bin's working state. The matrix is Hermitian and kept as its upper triangle in split real and
// imaginary column-major planes; everything runs in double on the steering widened from single precision.
class CleanScBin {
  public:
    CleanScBin(const MatrixRows& rows, const detail::PlaneBlock& steering, std::uint64_t M, std::uint64_t G)
        : M_(M),
          G_(G),
          scale_(1.0 / static_cast<double>(M)),
          kernels_(detail::cleanScKernels()),
          steering_{steering.re.data(), steering.im.data(), steering.stride, M},
          rRe_(M * M),
          rIm_(M * M),
          nextRe_(M * M),
          nextIm_(M * M),
          aRe_(M),
          aIm_(M),
          yRe_(M),
          yIm_(M),
          hRe_(M),
          hIm_(M),
          dirty_(G),
          clean_(G, 0.0) {
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
    // s^2 a^H R a at every point. False when cancelled.
    bool dirtyMap(const detail::CancelPoll& cancel) {
        std::vector<double> diagonal(M_);
        std::vector<double> pairRe(M_ * (M_ - 1) / 2);
        std::vector<double> pairIm(pairRe.size());
        std::size_t pair = 0;
        for (std::uint64_t r = 0; r < M_; ++r) {
            diagonal[r] = rRe_[r + r * M_];
            for (std::uint64_t k = r + 1; k < M_; ++k, ++pair) {
                pairRe[pair] = rRe_[r + k * M_];
                pairIm[pair] = rIm_[r + k * M_];
            }
        }
        const detail::PackedHermitian packed{diagonal.data(), pairRe.data(), pairIm.data()};
        detail::TeamCancel teamCancel(cancel);
        // The dirty map of a fine grid alone takes longer than a cancel may wait.
        const auto blocks = static_cast<std::int64_t>((G_ + kBlockPoints - 1) / kBlockPoints);
#pragma omp parallel for num_threads(threads_) schedule(static)
        for (std::int64_t block = 0; block < blocks; ++block) {
            if (teamCancel.stop()) continue;
            const std::uint64_t first = static_cast<std::uint64_t>(block) * kBlockPoints;
            const std::uint64_t end = std::min(first + kBlockPoints, G_);
            kernels_.hermitianForm(steering_, first, end, packed, dirty_.data() + first);
            for (std::uint64_t i = first; i < end; ++i) {
                const double d = scale_ * scale_ * dirty_[i];
                dirty_[i] = d > 0.0 ? d : 0.0;
            }
        }
        return !teamCancel.raised();
    }

    void clean(double firstPeak, double loopGain, std::uint32_t maxIterations, double stopDb,
               const detail::CancelPoll& cancel) {
        const double threshold =
            std::max(std::numeric_limits<double>::epsilon(), std::pow(10.0, stopDb / 10.0) * firstPeak);
        // The norm of R itself: the step that removes nothing (h is still zero).
        double norm =
            modulusSum(rRe_, rIm_,
                       kernels_.subtractOuterProduct(M_, rRe_.data(), rIm_.data(), hRe_.data(), hIm_.data(),
                                                     0.0, nextRe_.data(), nextIm_.data()));
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
            for (std::uint64_t m = 0; m < M_; ++m) {
                aRe_[m] = steering_.re[m * steering_.stride + p];
                aIm_[m] = steering_.im[m * steering_.stride + p];
            }
            kernels_.hermitianTimesVector(M_, rRe_.data(), rIm_.data(), aRe_.data(), aIm_.data(), yRe_.data(),
                                          yIm_.data());
            for (std::uint64_t k = 0; k < M_; ++k) {
                hRe_[k] = yRe_[k] * scale_ / peak;
                hIm_[k] = yIm_[k] * scale_ / peak;
            }
            const double removed = peak * loopGain;
            const double nextNorm = modulusSum(
                nextRe_, nextIm_,
                kernels_.subtractOuterProduct(M_, rRe_.data(), rIm_.data(), hRe_.data(), hIm_.data(), removed,
                                              nextRe_.data(), nextIm_.data()));
            if (nextNorm > norm * 1.00000001) {
                return;
            }
            rRe_.swap(nextRe_);
            rIm_.swap(nextIm_);
            norm = nextNorm;
            clean_[p] += removed;
            subtractProjection(removed);
        }
    }

    // The dirty map less the accepted component's projection, |s a_i^H h|^2 times the removed power. The
    // blocks do not depend on the team size, so neither do the bits.
    void subtractProjection(double removed) {
        const int threads = G_ * M_ >= kParallelProjection ? threads_ : 1;
        const auto blocks = static_cast<std::int64_t>((G_ + kBlockPoints - 1) / kBlockPoints);
#pragma omp parallel for num_threads(threads) schedule(static)
        for (std::int64_t block = 0; block < blocks; ++block) {
            const std::uint64_t first = static_cast<std::uint64_t>(block) * kBlockPoints;
            const std::uint64_t end = std::min(first + kBlockPoints, G_);
            kernels_.subtractProjectedSource(steering_, first, end, hRe_.data(), hIm_.data(), scale_, removed,
                                             dirty_.data() + first);
        }
    }

    // The kernel's sum of moduli of the matrix in (re, im), redone with hypot where its squares may have
    // overflowed or underflowed.
    double modulusSum(const std::vector<double>& re, const std::vector<double>& im, double fast) const {
        if (std::isfinite(fast) && fast > kSmallestSquaredModulusSum) return fast;
        double diagonal = 0.0;
        double above = 0.0;
        for (std::uint64_t k = 0; k < M_; ++k) {
            for (std::uint64_t i = 0; i < k; ++i) above += std::hypot(re[i + k * M_], im[i + k * M_]);
            diagonal += std::hypot(re[k + k * M_], im[k + k * M_]);
        }
        return diagonal + 2.0 * above;
    }

    std::uint64_t M_;
    std::uint64_t G_;
    int threads_ = 1;
    double scale_;
    const detail::CleanScKernels& kernels_;
    detail::SteeringPlanes steering_;  // M x G planes of this bin
    std::vector<double> rRe_, rIm_;
    std::vector<double> nextRe_, nextIm_;
    std::vector<double> aRe_, aIm_;
    std::vector<double> yRe_, yIm_;
    std::vector<double> hRe_, hIm_;
    std::vector<double> dirty_;
    std::vector<double> clean_;
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
    // steering once per iteration, so a bin's planes are read whole (built into one bin of scratch per
    // thread when the entry holds no tables).
    const auto binCount = static_cast<std::int64_t>(matrices.size());
    const int available = beamformerThreadCount();
    const int threads = binCount >= available ? available : 1;
    const int pointThreads = binCount >= available ? 1 : available;
    std::vector<detail::SteeringBlocks> steeringAll =
        detail::steeringBlocksPerThread(*cache, threads, G, detail::SteeringBlocks::Layout::kPlanes);
    std::vector<std::vector<double>> planes(matrices.size());
    const detail::CancelPoll cancel;
    detail::parallelFor(binCount, threads, [&](std::int64_t b) {
        cancel.throwIfRequested();
        detail::SteeringBlocks& steering = steeringAll[static_cast<std::size_t>(omp_get_thread_num())];
        const auto bin = static_cast<std::size_t>(b);
        CleanScBin clean(matrices[bin], steering.planes(bin, 0, G), M, G);
        planes[bin] = clean.run(loopGain, maxIterations, stopDb, pointThreads, cancel);
    });
    std::vector<double> power(G, 0.0);
    for (const std::vector<double>& plane : planes) {
        for (std::uint64_t i = 0; i < G; ++i) power[i] += plane[i];
    }
    return finalizeHeatmap(detail::mapSkeleton(*cache, frequencies), std::move(power));
}

}  // namespace zk::core
