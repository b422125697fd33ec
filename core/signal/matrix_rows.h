#pragma once

#include <complex>
#include <vector>

namespace zk::core {

// One cross-spectral matrix handed over row by row: row i, column j = R_ij.
using MatrixRows = std::vector<std::vector<std::complex<double>>>;

}  // namespace zk::core
