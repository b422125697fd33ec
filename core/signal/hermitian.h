#pragma once

#include <complex>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace zk::core {

// Flat M x M matrices here are column-major: element (r, c) lives at index r + c * M. A Hermitian
// matrix stored row by row reads as its conjugate under this convention, so eigenvectors and factors
// come back conjugated/transposed relative to the row-by-row matrix; inverse and eigenvalues do not.

struct HermitianResult {
    std::vector<std::complex<double>> values;  // M * M, column-major; empty when ok is false
    std::uint64_t dimension = 0;               // M, set even on failure
    bool ok = false;
};

struct HermitianEigenResult {
    std::vector<double> eigenvalues;  // ascending; empty when vectors.ok is false
    HermitianResult vectors;          // unit eigenvector k in column k, matching eigenvalues[k]
};

// Each function reads a full Hermitian matrix of M * M values and throws std::invalid_argument
// "invalid Hermitian matrix" when matrix is null or M is 0. Numerical failure only clears ok.
// All are pure and safe to call concurrently.

// Lower-triangular L with A = L * L^H (strict upper part zero); ok = false unless A is positive definite.
HermitianResult hermitianCholesky(const std::complex<double>* matrix, std::uint64_t M);

// Eigenvalues in ascending order with their unit eigenvectors.
HermitianEigenResult hermitianEigen(const std::complex<double>* matrix, std::uint64_t M);

// Inverse of a positive-definite A, made exactly Hermitian (diagonal imaginary parts are 0).
HermitianResult hermitianInverse(const std::complex<double>* matrix, std::uint64_t M);

// hermitianCholesky and hermitianEigen for one size M on storage made once by the constructor, for
// loops that must not allocate: no call allocates for M up to 256 (past that, Eigen's blocked Cholesky
// takes its panel scratch from the heap). A call reads M * M values as they do (null throws the same),
// gives their bits and returns their ok; its result stays here until the next call and is unusable
// after a false return. One workspace per thread.
class HermitianWorkspace {
  public:
    // Throws std::invalid_argument "invalid Hermitian matrix" when M is 0.
    explicit HermitianWorkspace(std::uint64_t M);
    ~HermitianWorkspace();
    HermitianWorkspace(HermitianWorkspace&&) noexcept;
    HermitianWorkspace& operator=(HermitianWorkspace&&) noexcept;

    [[nodiscard]] std::uint64_t dimension() const { return dimension_; }

    bool cholesky(const std::complex<double>* matrix);
    bool eigen(const std::complex<double>* matrix);

    // M * M column-major: the factor, or the eigenvectors (column k for eigenvalues()[k]).
    [[nodiscard]] std::span<const std::complex<double>> values() const;
    // Ascending, after eigen().
    [[nodiscard]] std::span<const double> eigenvalues() const;

  private:
    struct Buffers;  // the Eigen objects, kept out of this header
    std::uint64_t dimension_;
    std::unique_ptr<Buffers> buffers_;
};

}  // namespace zk::core
