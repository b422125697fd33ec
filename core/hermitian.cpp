#include "core/hermitian.h"

#include <Eigen/Cholesky>
#include <Eigen/Core>
#include <Eigen/Eigenvalues>
#include <stdexcept>

namespace zk::core {
namespace {

using MatrixMap = Eigen::Map<Eigen::MatrixXcd>;
using ConstMatrixMap = Eigen::Map<const Eigen::MatrixXcd>;

void requireMatrix(const std::complex<double>* matrix, std::uint64_t M) {
    if (matrix == nullptr || M == 0) throw std::invalid_argument("invalid Hermitian matrix");
}

HermitianResult failed(std::uint64_t M) {
    HermitianResult result;
    result.dimension = M;
    return result;
}

// Eigen's LLT only rejects non-positive pivots, so NaN input slips through as "success"; a factor
// or inverse that is not finite is no usable decomposition.
bool finite(const MatrixMap& m) { return m.allFinite(); }

}  // namespace

HermitianResult hermitianCholesky(const std::complex<double>* matrix, std::uint64_t M) {
    requireMatrix(matrix, M);
    const auto n = static_cast<Eigen::Index>(M);
    HermitianResult result;
    result.dimension = M;
    // Factor in place inside the output buffer: LLT reads only the lower triangle and leaves the
    // factor there, so one copy of the input is all the memory traffic needed.
    result.values.assign(matrix, matrix + M * M);
    MatrixMap a(result.values.data(), n, n);
    Eigen::LLT<Eigen::Ref<Eigen::MatrixXcd>> llt(a);
    if (llt.info() != Eigen::Success) return failed(M);
    a.triangularView<Eigen::StrictlyUpper>().setZero();
    if (!finite(a)) return failed(M);
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
    std::vector<std::complex<double>> factor(matrix, matrix + M * M);
    MatrixMap f(factor.data(), n, n);
    Eigen::LLT<Eigen::Ref<Eigen::MatrixXcd>> llt(f);
    if (llt.info() != Eigen::Success) return failed(M);

    HermitianResult result;
    result.dimension = M;
    result.values.resize(M * M);
    MatrixMap x(result.values.data(), n, n);
    x.setIdentity();
    llt.solveInPlace(x);
    if (!finite(x)) return failed(M);

    // Round-off leaves X slightly non-Hermitian; callers rely on exact symmetry (real diagonal).
    for (Eigen::Index c = 0; c < n; ++c) {
        x(c, c) = std::complex<double>(x(c, c).real(), 0.0);
        for (Eigen::Index r = c + 1; r < n; ++r) {
            const std::complex<double> mean = (x(r, c) + std::conj(x(c, r))) * 0.5;
            x(r, c) = mean;
            x(c, r) = std::conj(mean);
        }
    }
    result.ok = true;
    return result;
}

}  // namespace zk::core
