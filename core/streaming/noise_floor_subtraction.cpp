#include "core/streaming/noise_floor_subtraction.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <optional>

#include "core/detail/parallel_for.h"
#include "core/signal/hermitian.h"
#include "core/streaming/detail/noise_floor_bin.h"

namespace zk::core {

namespace {

using Complex = std::complex<double>;

bool isSquare(const MatrixRows& matrix, std::uint64_t M) {
    return matrix.size() == M &&
           std::all_of(matrix.begin(), matrix.end(), [M](const auto& row) { return row.size() == M; });
}

// Scratch of the per-bin step, one set per thread and kept for the thread's life.
struct BinScratch {
    std::vector<Complex> difference;              // D, row by row
    std::vector<Complex> kept;                    // sum of the kept lambda_k w_k w_k^H, column-major
    std::optional<HermitianWorkspace> hermitian;  // for the size of the last call
};

void setZero(MatrixRows& out) {
    for (auto& row : out) std::fill(row.begin(), row.end(), Complex());
}

}  // namespace

namespace detail {

NoiseFloorBinPath subtractNoiseFloorBin(const MatrixRows& C, const MatrixRows& N, double beta,
                                        double psdFloor, std::uint64_t M, MatrixRows& out) {
    if (!isSquare(C, M) || !isSquare(N, M) || !isSquare(out, M)) return NoiseFloorBinPath::Unchanged;
    thread_local BinScratch scratch;
    const std::size_t n = M;
    std::vector<Complex>& D = scratch.difference;
    D.resize(n * n);
    // Each element and its mirror come from one value, so D is exactly Hermitian (real diagonal).
    for (std::size_t r = 0; r < n; ++r) {
        D[r * n + r] = Complex(C[r][r].real() - beta * N[r][r].real(), 0.0);
        for (std::size_t c = r + 1; c < n; ++c) {
            const Complex upper = C[r][c] - beta * N[r][c];
            const Complex lower = C[c][r] - beta * N[c][r];
            D[r * n + c] = (upper + std::conj(lower)) * 0.5;
            D[c * n + r] = std::conj(D[r * n + c]);
        }
    }

    // An empty matrix has nothing to repair.
    if (n == 0) return NoiseFloorBinPath::Cholesky;
    if (!scratch.hermitian || scratch.hermitian->dimension() != M) scratch.hermitian.emplace(M);
    HermitianWorkspace& hermitian = *scratch.hermitian;
    // Read column-major, D stands as its conjugate: the same definiteness and eigenvalues, conjugated
    // eigenvectors w_k = conj(v_k).
    if (hermitian.cholesky(D.data())) {
        for (std::size_t r = 0; r < n; ++r) std::copy_n(D.begin() + r * n, n, out[r].begin());
        return NoiseFloorBinPath::Cholesky;
    }
    if (!hermitian.eigen(D.data())) {
        setZero(out);
        return NoiseFloorBinPath::Zero;
    }
    const std::span<const double> lambda = hermitian.eigenvalues();
    const double lambdaMax = lambda[n - 1];
    if (!std::isfinite(lambdaMax) || lambdaMax <= 0.0) {
        setZero(out);
        return NoiseFloorBinPath::Zero;
    }

    // lambda_k w_k w_k^H column-major reads row by row as lambda_k v_k v_k^H.
    std::vector<Complex>& S = scratch.kept;
    S.assign(n * n, Complex());
    const double threshold = psdFloor * lambdaMax;
    for (std::size_t k = n; k-- > 0 && lambda[k] >= threshold;) {
        const Complex* w = hermitian.values().data() + k * n;
        for (std::size_t j = 0; j < n; ++j) {
            const Complex scaled = lambda[k] * std::conj(w[j]);
            Complex* column = S.data() + j * n;
            for (std::size_t i = 0; i < n; ++i)
                column[i] += Complex(w[i].real() * scaled.real() - w[i].imag() * scaled.imag(),
                                     w[i].real() * scaled.imag() + w[i].imag() * scaled.real());
        }
    }
    for (std::size_t r = 0; r < n; ++r)
        for (std::size_t c = 0; c < n; ++c) out[r][c] = (S[r * n + c] + std::conj(S[c * n + r])) * 0.5;
    return NoiseFloorBinPath::Eigen;
}

}  // namespace detail

bool subtractNoiseFloor(std::vector<MatrixRows>& cleaned, std::span<const MatrixRows> rows,
                        const NoiseFloorProfile& profile, std::span<const std::uint64_t> binIndices) {
    cleaned.clear();
    if (rows.size() != binIndices.size()) return false;
    if (binIndices.empty()) return true;
    const double beta = profile.subtractBeta;
    const double psdFloor = profile.psdFloor;
    if (std::isnan(beta) || std::isnan(psdFloor) || beta < 0.0 || psdFloor < 0.0) return false;
    const std::uint64_t M = profile.channelCount;
    for (std::size_t j = 0; j < binIndices.size(); ++j) {
        if (binIndices[j] >= profile.matrices.size()) return false;
        if (!isSquare(rows[j], M) || !isSquare(profile.matrices[binIndices[j]], M)) return false;
    }

    cleaned.assign(binIndices.size(), MatrixRows(M, std::vector<Complex>(M)));
    const auto bins = static_cast<std::int64_t>(binIndices.size());
    detail::parallelFor(bins, bins > 3 ? 4 : 1, [&](std::int64_t j) {
        const auto b = static_cast<std::size_t>(j);
        detail::subtractNoiseFloorBin(rows[b], profile.matrices[binIndices[b]], beta, psdFloor, M,
                                      cleaned[b]);
    });
    return true;
}

}  // namespace zk::core
