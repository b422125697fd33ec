#include "core/beamforming/broadband_matrices.h"

#include <cmath>
#include <stdexcept>

#include "core/beamforming/detail/input_checks.h"

namespace zk::core {

std::vector<std::complex<double>> hermitianSymmetrize(const MatrixRows& rows) {
    const std::size_t m = rows.size();
    if (!detail::isSquareOf(rows, m)) throw std::invalid_argument("matrix is not square");
    std::vector<std::complex<double>> out(m * m);
    for (std::size_t j = 0; j < m; ++j) {
        for (std::size_t i = 0; i < m; ++i) {
            out[i + j * m] = (rows[i][j] + std::conj(rows[j][i])) * 0.5;
        }
    }
    return out;
}

void checkBroadbandMatrix(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                          std::uint64_t microphoneCount) {
    if (matrices.empty() || matrices.size() != frequencies.size()) {
        throw std::invalid_argument("invalid broadband matrix/frequency band");
    }
    for (std::size_t b = 0; b < matrices.size(); ++b) {
        // A NaN or infinite frequency would turn the whole steering entry into NaN.
        if (!(frequencies[b] > 0.0) || !std::isfinite(frequencies[b]) ||
            matrices[b].size() != microphoneCount) {
            throw std::invalid_argument("invalid broadband matrix bin");
        }
        for (const auto& row : matrices[b]) {
            if (row.size() != microphoneCount)
                throw std::invalid_argument("invalid broadband spectral matrix");
        }
    }
    if (microphoneCount == 0) throw std::invalid_argument("invalid broadband matrix band");
}

}  // namespace zk::core
