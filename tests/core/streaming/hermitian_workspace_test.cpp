#include "core/streaming/detail/hermitian_workspace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "core/signal/hermitian.h"
#include "streaming/noise_floor_test_support.h"

namespace zk::core::detail {
namespace {

using zk::test::Complex;
using zk::test::flatten;
using zk::test::fromEigenpairs;
using zk::test::randomUnitary;

// Eigenvalues against the chosen spectrum and each unit eigenvector against the column of U it must
// be (up to a unit phase, so |u_k^H v_k| = 1).
TEST(HermitianWorkspace, RecoversAKnownEigendecomposition) {
    HermitianWorkspace workspace;
    for (const std::size_t M : {1u, 2u, 3u, 8u, 33u, 64u}) {
        const std::vector<Complex> U = randomUnitary(M, 7 + static_cast<unsigned>(M));
        std::vector<double> lambda(M);
        for (std::size_t k = 0; k < M; ++k)
            lambda[k] = 0.75 * static_cast<double>(k) - 0.2 * static_cast<double>(M);
        const std::vector<Complex> D = flatten(fromEigenpairs(U, lambda));
        ASSERT_TRUE(workspace.decompose(D, M)) << M;

        const double tolerance =
            1e-12 * static_cast<double>(M) * (1.0 + std::abs(lambda.front()) + lambda.back());
        for (std::size_t k = 0; k < M; ++k) {
            EXPECT_NEAR(workspace.eigenvalues()[k], lambda[k], tolerance) << M << " " << k;
            Complex overlap;
            for (std::size_t i = 0; i < M; ++i)
                overlap += std::conj(U[i * M + k]) * workspace.eigenvector(k)[i];
            EXPECT_NEAR(std::abs(overlap), 1.0, 1e-10) << M << " " << k;
        }
    }
}

// Repeated eigenvalues leave the basis free inside each eigenspace; it must still be orthonormal and
// rebuild the matrix.
TEST(HermitianWorkspace, RepeatedEigenvaluesGiveAnOrthonormalBasis) {
    const std::size_t M = 12;
    const std::vector<Complex> U = randomUnitary(M, 3);
    const std::vector<double> lambda = {-2, -2, -2, 0, 0, 1, 1, 1, 1, 5, 5, 9};
    const std::vector<Complex> D = flatten(fromEigenpairs(U, lambda));
    HermitianWorkspace workspace;
    ASSERT_TRUE(workspace.decompose(D, M));
    for (std::size_t a = 0; a < M; ++a) {
        EXPECT_NEAR(workspace.eigenvalues()[a], lambda[a], 1e-12 * 9 * M);
        for (std::size_t b = 0; b < M; ++b) {
            Complex dot;
            for (std::size_t i = 0; i < M; ++i)
                dot += std::conj(workspace.eigenvector(a)[i]) * workspace.eigenvector(b)[i];
            EXPECT_NEAR(std::abs(dot - (a == b ? 1.0 : 0.0)), 0.0, 1e-12) << a << " " << b;
        }
    }
    for (std::size_t r = 0; r < M; ++r) {
        for (std::size_t c = 0; c < M; ++c) {
            Complex sum;
            for (std::size_t k = 0; k < M; ++k)
                sum += workspace.eigenvalues()[k] * workspace.eigenvector(k)[r] *
                       std::conj(workspace.eigenvector(k)[c]);
            EXPECT_NEAR(std::abs(sum - D[r * M + c]), 0.0, 1e-12 * 9 * M);
        }
    }
}

// The eigenvalues of an unstructured matrix agree with the helpers' Eigen-based solver.
TEST(HermitianWorkspace, AgreesWithTheHelpersOnARandomMatrix) {
    const std::size_t M = 40;
    std::mt19937 random(11);
    std::normal_distribution<double> normal;
    std::vector<Complex> D(M * M);
    for (std::size_t r = 0; r < M; ++r) {
        D[r * M + r] = normal(random);
        for (std::size_t c = r + 1; c < M; ++c) {
            D[r * M + c] = Complex(normal(random), normal(random));
            D[c * M + r] = std::conj(D[r * M + c]);
        }
    }
    HermitianWorkspace workspace;
    ASSERT_TRUE(workspace.decompose(D, M));
    const HermitianEigenResult reference = hermitianEigen(D.data(), M);
    ASSERT_TRUE(reference.vectors.ok);
    for (std::size_t k = 0; k < M; ++k)
        EXPECT_NEAR(workspace.eigenvalues()[k], reference.eigenvalues[k], 1e-11);
}

// The positive-definite test gives the helpers' Cholesky verdict, the boundary cases included.
TEST(HermitianWorkspace, PositiveDefiniteAsTheCholeskyHelperDecides) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<Complex> U = randomUnitary(6, 5);
    const std::vector<std::vector<Complex>> cases = {
        {4.0},
        {0.0},
        {-1.0},
        {nan},
        {Complex(2, 0), Complex(0, 1), Complex(0, -1), Complex(2, 0)},
        {1.0, 2.0, 2.0, 1.0},
        {1.0, 1.0, 1.0, 1.0},
        {1.0, nan, nan, 1.0},
        flatten(fromEigenpairs(U, {0.5, 1, 2, 3, 4, 5})),
        flatten(fromEigenpairs(U, {-0.5, 1, 2, 3, 4, 5})),
    };
    const std::vector<bool> expected = {true, false, false, false, true, false, false, false, true, false};
    HermitianWorkspace workspace;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto M = static_cast<std::size_t>(std::lround(std::sqrt(static_cast<double>(cases[i].size()))));
        EXPECT_EQ(workspace.isPositiveDefinite(cases[i], M), expected[i]) << i;
        EXPECT_EQ(hermitianCholesky(cases[i].data(), M).ok, expected[i]) << i;
    }
}

TEST(HermitianWorkspace, NonFiniteInputFailsAndZeroHasZeroEigenvalues) {
    const double inf = std::numeric_limits<double>::infinity();
    HermitianWorkspace workspace;
    EXPECT_FALSE(workspace.decompose(std::vector<Complex>{1.0, 0.0, 0.0, inf}, 2));
    EXPECT_FALSE(workspace.decompose(std::vector<Complex>{1.0, Complex(0, std::nan("")), 0.0, 1.0}, 2));
    ASSERT_TRUE(workspace.decompose(std::vector<Complex>(9), 3));
    for (const double value : workspace.eigenvalues()) EXPECT_EQ(value, 0.0);
}

}  // namespace
}  // namespace zk::core::detail
