#include "core/signal/hermitian.h"

#include <Eigen/Cholesky>
#include <Eigen/Core>
#include <Eigen/Eigenvalues>
#include <stdexcept>

namespace zk::core {
namespace {

using ConstMatrixMap = Eigen::Map<const Eigen::MatrixXcd>;

void requireMatrix(const std::complex<double>* matrix, std::uint64_t M) {
    if (matrix == nullptr || M == 0) throw std::invalid_argument("invalid Hermitian matrix");
}

HermitianResult failed(std::uint64_t M) {
    HermitianResult result;
    result.dimension = M;
    return result;
}

}  // namespace

// Eigen works on its own aligned copies rather than on maps of the caller's buffers: its vectorised
// kernels round differently with the buffer's alignment, and the same matrix must always give the same
// bits. The copies cost O(M^2) next to the O(M^3) factorisations.

HermitianResult hermitianCholesky(const std::complex<double>* matrix, std::uint64_t M) {
    requireMatrix(matrix, M);
    const auto n = static_cast<Eigen::Index>(M);
    const Eigen::LLT<Eigen::MatrixXcd> llt(ConstMatrixMap(matrix, n, n));
    if (llt.info() != Eigen::Success) return failed(M);

    HermitianResult result;
    result.dimension = M;
    result.values.resize(M * M);
    Eigen::Map<Eigen::MatrixXcd> factor(result.values.data(), n, n);
    factor = llt.matrixL();
    // LLT only rejects non-positive pivots, so NaN input would pass as success.
    if (!factor.allFinite()) return failed(M);
    result.ok = true;
    return result;
}

HermitianEigenResult hermitianEigen(const std::complex<double>* matrix, std::uint64_t M) {
    requireMatrix(matrix, M);
    const auto n = static_cast<Eigen::Index>(M);
    HermitianEigenResult result;
    result.vectors.dimension = M;
    const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXcd> solver(ConstMatrixMap(matrix, n, n),
                                                                 Eigen::ComputeEigenvectors);
    if (solver.info() != Eigen::Success) return result;
    const Eigen::VectorXd& values = solver.eigenvalues();
    const Eigen::MatrixXcd& vectors = solver.eigenvectors();
    if (!values.allFinite() || !vectors.allFinite()) return result;
    result.eigenvalues.assign(values.data(), values.data() + n);
    result.vectors.values.assign(vectors.data(), vectors.data() + n * n);
    result.vectors.ok = true;
    return result;
}

HermitianResult hermitianInverse(const std::complex<double>* matrix, std::uint64_t M) {
    requireMatrix(matrix, M);
    const auto n = static_cast<Eigen::Index>(M);
    const Eigen::LLT<Eigen::MatrixXcd> llt(ConstMatrixMap(matrix, n, n));
    if (llt.info() != Eigen::Success) return failed(M);
    Eigen::MatrixXcd x = Eigen::MatrixXcd::Identity(n, n);
    llt.solveInPlace(x);
    if (!x.allFinite()) return failed(M);

    // Round-off leaves X slightly non-Hermitian; callers rely on exact symmetry (real diagonal).
    HermitianResult result;
    result.dimension = M;
    result.values.resize(M * M);
    std::complex<double>* out = result.values.data();
    for (Eigen::Index c = 0; c < n; ++c) {
        out[c + c * n] = std::complex<double>(x(c, c).real(), 0.0);
        for (Eigen::Index r = c + 1; r < n; ++r) {
            const std::complex<double> mean = (x(r, c) + std::conj(x(c, r))) * 0.5;
            out[r + c * n] = mean;
            out[c + r * n] = std::conj(mean);
        }
    }
    result.ok = true;
    return result;
}

}  // namespace zk::core
