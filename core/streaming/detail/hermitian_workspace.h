#pragma once

#include <complex>
#include <cstddef>
#include <span>
#include <vector>

namespace zk::core::detail {

// The Cholesky test and the eigendecomposition of the Hermitian matrix helpers, on buffers the
// workspace owns and keeps from call to call: after the first call at a given size nothing is
// allocated, which the per-bin loops of the live path need. Matrices are read row by row (element
// (r, c) at r * M + c) and must be Hermitian. One workspace per thread.
class HermitianWorkspace {
  public:
    // True when the matrix is positive definite: every Cholesky pivot is positive and the factor is
    // finite, as the helpers' LLT-based factorisation decides.
    bool isPositiveDefinite(std::span<const std::complex<double>> matrix, std::size_t M);

    // Eigenvalues in ascending order with unit eigenvectors (Householder reduction to a real
    // tridiagonal matrix, then implicit QL with Wilkinson shifts). False when the iteration does not
    // converge or the input or result is not finite; eigenvalues() and eigenvector() are then unusable.
    bool decompose(std::span<const std::complex<double>> matrix, std::size_t M);

    std::span<const double> eigenvalues() const { return {eigenvalues_.data(), size_}; }
    // Unit eigenvector of eigenvalues()[k]: matrix * v = lambda * v.
    std::span<const std::complex<double>> eigenvector(std::size_t k) const {
        return {vectors_.data() + k * size_, size_};
    }

  private:
    void reserve(std::size_t M);
    void reduceToTridiagonal();
    void accumulateReflectors();
    bool diagonaliseTridiagonal();
    void sortAscending();

    std::size_t size_ = 0;
    std::vector<std::complex<double>> work_;     // factor, or the reduced matrix and its reflectors
    std::vector<std::complex<double>> vectors_;  // eigenvector k in row k
    std::vector<std::complex<double>> column_;   // one reflector's product vector
    std::vector<std::complex<double>> tau_;      // reflector scales
    std::vector<double> eigenvalues_;            // tridiagonal diagonal, then the eigenvalues
    std::vector<double> offDiagonal_;            // tridiagonal off-diagonal
};

}  // namespace zk::core::detail
