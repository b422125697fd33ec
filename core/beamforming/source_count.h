#pragma once

#include <cstdint>
#include <span>

namespace zk::core {

// Source-count estimators of Auto-MUSIC.
enum class SourceCountEstimator : std::uint32_t { Mdl = 1, Aic = 2, EigenGap = 3 };

// Estimates the number of sources behind one cross-spectral matrix from its eigenvalues, given in
// descending order and each already raised to at least eigenFloor. snapshotCount is the number of
// STFT frames behind the matrix (values below 2 count as 2). Estimator 3 is the largest log gap
// between neighbouring eigenvalues; 2 is AIC; 1 and any other value MDL. The result lies in
// 1 .. max(1, min(p - 1, maxSources)), p being the number of eigenvalues.
std::uint32_t estimateSourceCount(std::span<const double> eigenvaluesDescending, std::uint64_t snapshotCount,
                                  std::uint32_t maxSources, std::uint32_t estimator, double eigenFloor);

}  // namespace zk::core
