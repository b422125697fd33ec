#pragma once

// Matrix-product formulations of the delay-and-sum map and of the point-spread matrix, the way a
// numerical library would compute them, as yardsticks for the core's kernels. Built with Eigen for
// the build machine's own vector unit (as an optimised BLAS would run there), in a shared library that
// exports only these functions.

#include <complex>
#include <cstddef>
#include <cstdint>
#include <span>

// The library hides everything else.
#pragma GCC visibility push(default)
namespace zk::bench {

// Instruction sets Eigen was built for, for the benchmark label.
const char* matrixProductInstructionSets();

// Per bin b: Y = R_b A_b (single-precision complex; A_b is M x G, one steering column per grid point, the
// cache's phaseTerms of the bin), q_g = Re(sum over m of conj(A_mg) Y_mg), and
// power[g] += max((q_g - subtract[b]) / divisor, 0). csm: F column-major M x M matrices; workspace:
// M x G values. Eigen's product runs on `threads` OpenMP threads.
void matrixProductDas(std::span<const std::complex<float>> csm, std::span<const std::complex<float>> steering,
                      std::span<const double> subtract, std::size_t mics, std::size_t points, double divisor,
                      int threads, std::span<std::complex<float>> workspace, std::span<double> power);

// Per bin: the Gram matrix G = A^H A (double-precision complex) of the n steering columns A (M x n,
// gathered from the cache's phaseTerms at the given points), P += |G / M|^2; then P / F with every
// column divided by its diagonal. out: n x n, row-major.
void matrixProductPointSpread(std::span<const std::complex<float>> steering, std::size_t mics,
                              std::size_t points, std::size_t bins,
                              std::span<const std::uint64_t> coarsePoints, int threads,
                              std::span<double> out);

// C = A B for n x n column-major double matrices, on `threads` OpenMP threads: the yardstick of one SBL
// pass, whose Gram matrix and factorisations are products of the same size.
void matrixProductDouble(std::span<const double> a, std::span<const double> b, std::span<double> c,
                         std::size_t n, int threads);

}  // namespace zk::bench
#pragma GCC visibility pop
