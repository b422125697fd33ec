#include "matrix_product_baselines.h"

#include <omp.h>

#include <Eigen/Core>
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <new>

namespace zk::bench {

const char* matrixProductInstructionSets() { return Eigen::SimdInstructionSetsInUse(); }

void matrixProductDas(std::span<const std::complex<float>> csm, std::span<const std::complex<float>> steering,
                      std::span<const double> subtract, std::size_t mics, std::size_t points, double divisor,
                      int threads, std::span<std::complex<float>> workspace, std::span<double> power) {
    using Matrix = Eigen::Matrix<std::complex<float>, Eigen::Dynamic, Eigen::Dynamic>;
    // Each thread multiplies its own slice of grid columns: with only M = 128 rows, Eigen's own
    // threading of one product scales far worse than this split.
    Eigen::setNbThreads(1);
    const auto m = static_cast<Eigen::Index>(mics);
    std::fill(power.begin(), power.end(), 0.0);
    std::atomic<bool> failed{false};  // set by any thread of the team whose product could not allocate
#pragma omp parallel num_threads(threads)
    try {
        const auto team = static_cast<std::size_t>(omp_get_num_threads());
        const auto rank = static_cast<std::size_t>(omp_get_thread_num());
        const std::size_t first = points * rank / team;
        const std::size_t end = points * (rank + 1) / team;
        const auto g = static_cast<Eigen::Index>(end - first);
        Eigen::Map<Matrix> y(workspace.data() + first * mics, m, g);
        Eigen::RowVectorXf q(g);
        for (std::size_t b = 0; b < subtract.size(); ++b) {
            const Eigen::Map<const Matrix> r(csm.data() + b * mics * mics, m, m);
            const Eigen::Map<const Matrix> a(steering.data() + (b * points + first) * mics, m, g);
            y.noalias() = r * a;
            q = a.conjugate().cwiseProduct(y).colwise().sum().real();
            for (Eigen::Index i = 0; i < g; ++i) {
                power[first + static_cast<std::size_t>(i)] += std::max((q[i] - subtract[b]) / divisor, 0.0);
            }
        }
    } catch (...) {
        failed = true;
    }
    if (failed) throw std::bad_alloc();
}

void matrixProductPointSpread(std::span<const std::complex<float>> steering, std::size_t mics,
                              std::size_t points, std::size_t bins,
                              std::span<const std::uint64_t> coarsePoints, int threads,
                              std::span<double> out) {
    using Matrix = Eigen::MatrixXcd;
    Eigen::setNbThreads(threads);
    const auto n = static_cast<Eigen::Index>(coarsePoints.size());
    const auto m = static_cast<Eigen::Index>(mics);
    Matrix a(m, n);
    Matrix gram(n, n);
    Eigen::MatrixXd p = Eigen::MatrixXd::Zero(n, n);
    const double invM = 1.0 / static_cast<double>(mics);
    for (std::size_t b = 0; b < bins; ++b) {
        for (Eigen::Index i = 0; i < n; ++i) {
            const std::complex<float>* column = steering.data() + (b * points + coarsePoints[i]) * mics;
            for (Eigen::Index k = 0; k < m; ++k) a(k, i) = std::complex<double>(column[k]);
        }
        gram.noalias() = a.adjoint() * a;
        p += (gram * invM).cwiseAbs2();
    }
    p /= static_cast<double>(bins);
    for (Eigen::Index i = 0; i < n; ++i) {
        const double d = p(i, i);
        if (d > 0.0) p.col(i) /= d;
    }
    // Row-major out: entry [j][i] = p(j, i).
    Eigen::Map<Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>>(out.data(), n, n) = p;
}

void matrixProductDouble(std::span<const double> a, std::span<const double> b, std::span<double> c,
                         std::size_t n, int threads) {
    Eigen::setNbThreads(threads);
    const auto size = static_cast<Eigen::Index>(n);
    Eigen::Map<Eigen::MatrixXd>(c.data(), size, size).noalias() =
        Eigen::Map<const Eigen::MatrixXd>(a.data(), size, size) *
        Eigen::Map<const Eigen::MatrixXd>(b.data(), size, size);
}

}  // namespace zk::bench
