#pragma once

#include <complex>
#include <cstdint>
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

}  // namespace zk::core
