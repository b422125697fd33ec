#pragma once

#include <cstdint>
#include <span>
#include <vector>

// Non-negative solvers for P x = b, where P is the n x n point-spread matrix of a coarse grid
// (row-major, entry [j][i] = response at point j to a unit source at point i) and b the normalised
// delay-and-sum power at the same points. Every solver is a pure function: no state, no locks, any number
// may run at once. n is taken from b; the solvers throw std::invalid_argument when P is not n x n and
// otherwise trust the caller to have validated the real parameters. Between iterations (and inside an SBL
// pass, between blocks) they poll the calling thread's render cancel test (render_cancel.h) and throw its
// error.
namespace zk::core {

// Largest eigenvalue of P^T P by twelve power-iteration steps from the uniform vector: the step size
// of the gradient solvers. Never below 2^-52; 1 for an empty matrix or one that maps the iterate to zero.
double lipschitzEstimate(std::span<const double> pointSpread, std::size_t n);

// Relaxed non-negative Gauss-Seidel: exactly `iterations` sweeps, each updating x in place.
std::vector<double> damasSolve(std::span<const double> pointSpread, std::span<const double> b,
                               std::uint32_t iterations, double relaxation);

// Accelerated projected gradient on ||P x - b||^2 with x >= 0, stopping on a relative change <= tolerance.
std::vector<double> damasFistaSolve(std::span<const double> pointSpread, std::span<const double> b,
                                    std::uint32_t iterations, double tolerance);

// Projected gradient without momentum, same stopping rule as damasFistaSolve.
std::vector<double> nnlsSolve(std::span<const double> pointSpread, std::span<const double> b,
                              std::uint32_t iterations, double tolerance);

// damasFistaSolve with an L1 penalty lambdaRel * max(0, max(P^T b)).
std::vector<double> sparseFistaSolve(std::span<const double> pointSpread, std::span<const double> b,
                                     std::uint32_t iterations, double lambdaRel, double tolerance);

// Sparse Bayesian learning with automatic relevance determination; the result is scaled to a largest
// value of 1 (all zeros when b has no positive value).
std::vector<double> sblSolve(std::span<const double> pointSpread, std::span<const double> b,
                             std::uint32_t iterations, double noiseRel, double pruneRel);

}  // namespace zk::core
