#pragma once

// Matrices with a known eigendecomposition and small noise-floor profiles for the noise-floor tests.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/beamforming/beamformer.h"
#include "core/streaming/noise_floor_profile.h"

namespace zk::test {

using Complex = std::complex<double>;

// A dense unitary M x M matrix, row by row: the product of three Householder reflections
// I - 2 u u^H / (u^H u) with random complex u, so its columns are a known orthonormal basis.
inline std::vector<Complex> randomUnitary(std::size_t M, unsigned seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> normal;
    std::vector<Complex> U(M * M);
    for (std::size_t i = 0; i < M; ++i) U[i * M + i] = 1.0;
    for (int reflection = 0; reflection < 3; ++reflection) {
        std::vector<Complex> u(M);
        double norm2 = 0.0;
        for (Complex& x : u) {
            x = Complex(normal(random), normal(random));
            norm2 += std::norm(x);
        }
        // U := U (I - 2 u u^H / norm2)
        for (std::size_t r = 0; r < M; ++r) {
            Complex dot;
            for (std::size_t k = 0; k < M; ++k) dot += U[r * M + k] * u[k];
            for (std::size_t c = 0; c < M; ++c) U[r * M + c] -= 2.0 / norm2 * dot * std::conj(u[c]);
        }
    }
    return U;
}

// sum_k lambda_k u_k u_k^H over the columns u_k of U, as M rows, exactly Hermitian (each element
// below the diagonal is the conjugate of its mirror, the diagonal is real).
inline core::MatrixRows fromEigenpairs(const std::vector<Complex>& U, const std::vector<double>& lambda) {
    const std::size_t M = lambda.size();
    core::MatrixRows rows(M, std::vector<Complex>(M));
    for (std::size_t r = 0; r < M; ++r) {
        for (std::size_t c = r; c < M; ++c) {
            Complex sum;
            for (std::size_t k = 0; k < M; ++k) sum += lambda[k] * U[r * M + k] * std::conj(U[c * M + k]);
            rows[r][c] = r == c ? Complex(sum.real(), 0.0) : sum;
            rows[c][r] = std::conj(rows[r][c]);
        }
    }
    return rows;
}

inline std::vector<Complex> flatten(const core::MatrixRows& rows) {
    std::vector<Complex> flat;
    for (const auto& row : rows) flat.insert(flat.end(), row.begin(), row.end());
    return flat;
}

// Largest element-wise distance between two matrices of the same shape.
inline double maxDistance(const core::MatrixRows& a, const core::MatrixRows& b) {
    EXPECT_EQ(a.size(), b.size());
    double worst = 0.0;
    for (std::size_t r = 0; r < std::min(a.size(), b.size()); ++r) {
        EXPECT_EQ(a[r].size(), b[r].size());
        for (std::size_t c = 0; c < std::min(a[r].size(), b[r].size()); ++c)
            worst = std::max(worst, std::abs(a[r][c] - b[r][c]));
    }
    return worst;
}

// A valid profile whose every matrix element is a float32-exact value tagged by `tag`, so that a
// payload of one profile read beside the manifest of another shows.
inline core::NoiseFloorProfile taggedProfile(std::uint64_t M, std::uint64_t fftSize, std::uint64_t tag) {
    core::NoiseFloorProfile profile;
    profile.profileHash = "hash-" + std::to_string(tag);
    profile.sampleRateHz = 48000;
    profile.channelCount = M;
    profile.fftSize = fftSize;
    profile.averagedFrames = tag;
    profile.createdAtUtc = "2024-05-06T07:08:09Z";
    profile.matrices.assign(fftSize / 2 + 1, core::MatrixRows(M, std::vector<Complex>(M)));
    for (std::size_t k = 0; k < profile.matrices.size(); ++k)
        for (std::size_t r = 0; r < M; ++r)
            for (std::size_t c = 0; c < M; ++c)
                profile.matrices[k][r][c] = Complex(static_cast<double>(tag) + 0.25 * static_cast<double>(r),
                                                    0.5 * static_cast<double>(k) - static_cast<double>(c));
    return profile;
}

// True when every matrix element carries the profile's own tag (averagedFrames).
inline bool matricesMatchTag(const core::NoiseFloorProfile& profile) {
    const auto tag = static_cast<double>(profile.averagedFrames);
    for (std::size_t k = 0; k < profile.matrices.size(); ++k)
        for (std::size_t r = 0; r < profile.matrices[k].size(); ++r)
            for (std::size_t c = 0; c < profile.matrices[k][r].size(); ++c)
                if (profile.matrices[k][r][c] !=
                    Complex(tag + 0.25 * static_cast<double>(r),
                            0.5 * static_cast<double>(k) - static_cast<double>(c)))
                    return false;
    return true;
}

}  // namespace zk::test
