#pragma once

#include <complex>
#include <cstdint>
#include <vector>

namespace zk::core {

// One cross-spectral matrix handed over row by row: row i, column j = R_ij.
using MatrixRows = std::vector<std::vector<std::complex<double>>>;

// The per-frame mean of a plain sum over `frames` spectral frames. Every map reads its absolute level per
// spectral frame, as the averaged live matrices do, so a level does not grow with the window behind it.
// frames 0 leaves the rows as they are.
inline MatrixRows perFrameMean(MatrixRows sum, std::uint64_t frames) {
    if (frames == 0) return sum;
    const double scale = 1.0 / static_cast<double>(frames);
    for (auto& row : sum) {
        for (auto& value : row) value *= scale;
    }
    return sum;
}

}  // namespace zk::core
