#include "core/signal/hermitian.h"

#include <Eigen/Cholesky>
#include <Eigen/Core>
#include <Eigen/Eigenvalues>
#include <cmath>
#include <stdexcept>

namespace zk::core {
namespace {

using ConstMatrixMap = Eigen::Map<const Eigen::MatrixXcd>;
using EigenSolver = Eigen::SelfAdjointEigenSolver<Eigen::MatrixXcd>;

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
    const EigenSolver solver(ConstMatrixMap(matrix, n, n), Eigen::ComputeEigenvectors);
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

struct HermitianWorkspace::Buffers {
    explicit Buffers(Eigen::Index n)
        : llt(n),
          values(n, n),
          eigenvalues(n),
          subdiagonal(n > 1 ? n - 1 : 1),
          reflectorScales(n > 1 ? n - 1 : 1),
          reflectorScratch(n) {}

    Eigen::LLT<Eigen::MatrixXcd> llt;
    Eigen::MatrixXcd values;  // the factor or the eigenvectors
    Eigen::VectorXd eigenvalues;
    Eigen::VectorXd subdiagonal;        // of the tridiagonal reduction
    Eigen::VectorXcd reflectorScales;   // its Householder coefficients
    Eigen::VectorXcd reflectorScratch;  // for forming its unitary factor
};

HermitianWorkspace::HermitianWorkspace(std::uint64_t M) : dimension_(M) {
    if (M == 0) throw std::invalid_argument("invalid Hermitian matrix");
    buffers_ = std::make_unique<Buffers>(static_cast<Eigen::Index>(M));
}

HermitianWorkspace::~HermitianWorkspace() = default;
HermitianWorkspace::HermitianWorkspace(HermitianWorkspace&&) noexcept = default;
HermitianWorkspace& HermitianWorkspace::operator=(HermitianWorkspace&&) noexcept = default;

std::span<const std::complex<double>> HermitianWorkspace::values() const {
    return {buffers_->values.data(), static_cast<std::size_t>(buffers_->values.size())};
}

std::span<const double> HermitianWorkspace::eigenvalues() const {
    return {buffers_->eigenvalues.data(), static_cast<std::size_t>(buffers_->eigenvalues.size())};
}

bool HermitianWorkspace::cholesky(const std::complex<double>* matrix) {
    requireMatrix(matrix, dimension_);
    const auto n = static_cast<Eigen::Index>(dimension_);
    Buffers& b = *buffers_;
    b.llt.compute(ConstMatrixMap(matrix, n, n));
    if (b.llt.info() != Eigen::Success) return false;
    b.values = b.llt.matrixL();
    return b.values.allFinite();
}

// The steps of SelfAdjointEigenSolver::compute with eigenvectors, in its order and on kept buffers:
// compute itself makes a new Householder scratch vector on every call.
bool HermitianWorkspace::eigen(const std::complex<double>* matrix) {
    requireMatrix(matrix, dimension_);
    const auto n = static_cast<Eigen::Index>(dimension_);
    Buffers& b = *buffers_;
    const ConstMatrixMap input(matrix, n, n);
    Eigen::MatrixXcd& vectors = b.values;
    if (n == 1) {
        b.eigenvalues(0) = input(0, 0).real();
        vectors(0, 0) = 1.0;
        return std::isfinite(b.eigenvalues(0));
    }
    // Scaled into [-1, 1] against over- and underflow.
    vectors = input.triangularView<Eigen::Lower>();
    double scale = vectors.cwiseAbs().maxCoeff();
    if (scale == 0.0) scale = 1.0;
    vectors.triangularView<Eigen::Lower>() /= scale;
    Eigen::internal::tridiagonalization_inplace(vectors, b.reflectorScales);
    b.eigenvalues = vectors.diagonal().real();
    b.subdiagonal = vectors.diagonal<-1>().real();
    Eigen::Tridiagonalization<Eigen::MatrixXcd>::HouseholderSequenceType(vectors,
                                                                         b.reflectorScales.conjugate())
        .setLength(n - 1)
        .setShift(1)
        .evalTo(vectors, b.reflectorScratch);
    const Eigen::ComputationInfo info = Eigen::internal::computeFromTridiagonal_impl(
        b.eigenvalues, b.subdiagonal, EigenSolver::m_maxIterations, true, vectors);
    b.eigenvalues *= scale;
    return info == Eigen::Success && b.eigenvalues.allFinite() && vectors.allFinite();
}

}  // namespace zk::core
