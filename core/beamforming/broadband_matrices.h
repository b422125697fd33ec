#pragma once

#include <complex>
#include <cstdint>
#include <span>
#include <vector>

#include "core/signal/matrix_rows.h"

namespace zk::core {

// Element (i, j) of the flat column-major result is (R[i][j] + conj(R[j][i])) / 2. The rows must form
// a square matrix.
std::vector<std::complex<double>> hermitianSymmetrize(const MatrixRows& rows);

// Common input check of the broadband algorithm entries; throws std::invalid_argument with the text of
// the first failing rule.
void checkBroadbandMatrix(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                          std::uint64_t microphoneCount);

}  // namespace zk::core
