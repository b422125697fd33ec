#include "core/streaming/noise_floor_subtraction.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "allocation_counter.h"
#include "core/streaming/detail/noise_floor_bin.h"
#include "streaming/noise_floor_test_support.h"

namespace zk::core {
namespace {

using detail::NoiseFloorBinPath;
using zk::test::Complex;
using zk::test::fromEigenpairs;
using zk::test::maxDistance;
using zk::test::randomUnitary;

// A profile of fftSize 4 (bins 0, 1, 2) whose bin 1 holds N; the others are zero.
NoiseFloorProfile profileWithBin1(const MatrixRows& N, double beta, double psdFloor) {
    NoiseFloorProfile profile;
    profile.channelCount = N.size();
    profile.fftSize = 4;
    profile.averagedFrames = 10;
    profile.subtractBeta = beta;
    profile.psdFloor = psdFloor;
    profile.matrices.assign(3, MatrixRows(N.size(), std::vector<Complex>(N.size())));
    profile.matrices[1] = N;
    return profile;
}

MatrixRows zeros(std::size_t M) { return MatrixRows(M, std::vector<Complex>(M)); }

// C and N share one eigenbasis U, so C - beta N = U diag(c - beta n) U^H and the repaired matrix is
// U diag(kept) U^H in closed form.
struct SharedBasisCase {
    std::vector<Complex> U = randomUnitary(6, 21);
    std::vector<double> c = {9, 7, 5, 4, 3, 2};
    std::vector<double> n = {1, 2, 3, 4, 5, 6};
    MatrixRows C = fromEigenpairs(U, c);
    MatrixRows N = fromEigenpairs(U, n);

    MatrixRows expected(double beta, double psdFloor) const {
        std::vector<double> d(c.size());
        for (std::size_t k = 0; k < c.size(); ++k) d[k] = c[k] - beta * n[k];
        const double largest = *std::max_element(d.begin(), d.end());
        for (double& value : d)
            if (value < psdFloor * largest) value = 0.0;
        return fromEigenpairs(U, d);
    }
};

TEST(NoiseFloorSubtraction, TakesTheCholeskyEigenOrZeroPathWithClosedFormResults) {
    const SharedBasisCase basis;
    const std::uint64_t bin = 1;
    struct Case {
        double beta;
        double psdFloor;
        NoiseFloorBinPath path;
    };
    // 0.2: all of c - beta n positive; 0.8: 8.2 5.4 2.6 0.8 -1 -2.8, of which 0.2 x 8.2 keeps three
    // and a floor of 0 keeps the four non-negative ones.
    for (const Case& test :
         {Case{0.2, 1e-10, NoiseFloorBinPath::Cholesky}, Case{0.8, 0.2, NoiseFloorBinPath::Eigen},
          Case{0.8, 0.0, NoiseFloorBinPath::Eigen}}) {
        const NoiseFloorProfile profile = profileWithBin1(basis.N, test.beta, test.psdFloor);
        std::vector<MatrixRows> cleaned;
        ASSERT_TRUE(subtractNoiseFloor(cleaned, std::vector<MatrixRows>{basis.C}, profile, {&bin, 1}));
        ASSERT_EQ(cleaned.size(), 1u);
        EXPECT_LT(maxDistance(cleaned[0], basis.expected(test.beta, test.psdFloor)), 1e-12) << test.beta;
        for (std::size_t r = 0; r < 6; ++r) {
            EXPECT_EQ(cleaned[0][r][r].imag(), 0.0);
            for (std::size_t c = 0; c < 6; ++c) EXPECT_EQ(cleaned[0][r][c], std::conj(cleaned[0][c][r]));
        }
        MatrixRows out = zeros(6);
        EXPECT_EQ(detail::subtractNoiseFloorBin(basis.C, basis.N, test.beta, test.psdFloor, 6, out),
                  test.path);
    }

    // beta N above C in every direction: lambda_max < 0 and the output is the zero matrix.
    MatrixRows twice = basis.C;
    for (auto& row : twice)
        for (Complex& value : row) value *= 2.0;
    MatrixRows out = zeros(6);
    out[2][3] = 7.0;
    EXPECT_EQ(detail::subtractNoiseFloorBin(basis.C, twice, 0.8, 1e-10, 6, out), NoiseFloorBinPath::Zero);
    EXPECT_EQ(out, zeros(6));
}

// A larger indefinite difference goes through a deep reduction; the closed form still holds.
TEST(NoiseFloorSubtraction, EigenRepairMatchesTheClosedFormAtFortyEightChannels) {
    const std::size_t M = 48;
    const std::vector<Complex> U = randomUnitary(M, 4);
    std::vector<double> c(M);
    std::vector<double> n(M);
    std::vector<double> kept(M);
    for (std::size_t k = 0; k < M; ++k) {
        c[k] = 1.0 + static_cast<double>(k);
        n[k] = 30.0 - 0.5 * static_cast<double>(k);
        const double d = c[k] - n[k];  // beta 1: from -29 up to 25.5
        kept[k] = d >= 0.01 * 25.5 ? d : 0.0;
    }
    MatrixRows out = zeros(M);
    EXPECT_EQ(detail::subtractNoiseFloorBin(fromEigenpairs(U, c), fromEigenpairs(U, n), 1.0, 0.01, M, out),
              NoiseFloorBinPath::Eigen);
    EXPECT_LT(maxDistance(out, fromEigenpairs(U, kept)), 1e-11);
}

TEST(NoiseFloorSubtraction, BetaZeroGivesAPositiveDefiniteMatrixBackExactly) {
    const SharedBasisCase basis;
    const NoiseFloorProfile profile = profileWithBin1(basis.N, 0.0, 1e-10);
    const std::uint64_t bin = 1;
    std::vector<MatrixRows> cleaned;
    ASSERT_TRUE(subtractNoiseFloor(cleaned, std::vector<MatrixRows>{basis.C}, profile, {&bin, 1}));
    EXPECT_EQ(cleaned[0], basis.C);
}

// Four bins run on a team of threads, three on the caller; each thread's scratch must stay its own.
TEST(NoiseFloorSubtraction, FourBinsInParallelMatchThreeSequentially) {
    const std::size_t M = 20;
    NoiseFloorProfile profile;
    profile.channelCount = M;
    profile.fftSize = 16;
    profile.averagedFrames = 1;
    std::vector<MatrixRows> rows;
    for (unsigned b = 0; b < 9; ++b) {
        const std::vector<Complex> U = randomUnitary(M, 100 + b);
        std::vector<double> c(M);
        std::vector<double> n(M);
        for (std::size_t k = 0; k < M; ++k) {
            c[k] = 2.0 + std::sin(static_cast<double>(k + b));
            n[k] = 2.0 + std::cos(static_cast<double>(3 * k + b));
        }
        profile.matrices.push_back(fromEigenpairs(U, n));
        rows.push_back(fromEigenpairs(U, c));
    }
    const std::vector<std::uint64_t> bins = {8, 3, 5, 1, 0, 2, 7, 6};
    std::vector<MatrixRows> parallel;
    ASSERT_TRUE(subtractNoiseFloor(parallel, std::span(rows).first(8), profile, bins));
    for (std::size_t start = 0; start + 3 <= bins.size(); start += 3) {
        std::vector<MatrixRows> sequential;
        ASSERT_TRUE(subtractNoiseFloor(sequential, std::span(rows).subspan(start, 3), profile,
                                       std::span(bins).subspan(start, 3)));
        for (std::size_t j = 0; j < 3; ++j) EXPECT_EQ(sequential[j], parallel[start + j]) << start + j;
    }
}

TEST(NoiseFloorSubtraction, RefusesWhatDoesNotFitAndClearsTheOutput) {
    const SharedBasisCase basis;
    const NoiseFloorProfile profile = profileWithBin1(basis.N, 0.8, 1e-10);
    const std::vector<MatrixRows> one = {basis.C};
    const std::vector<std::uint64_t> bin1 = {1};
    std::vector<MatrixRows> cleaned(2, zeros(1));

    EXPECT_TRUE(subtractNoiseFloor(cleaned, {}, profile, {}));
    EXPECT_TRUE(cleaned.empty());
    cleaned.assign(2, zeros(1));
    EXPECT_FALSE(subtractNoiseFloor(cleaned, one, profile, std::vector<std::uint64_t>{1, 2}));
    EXPECT_TRUE(cleaned.empty());
    EXPECT_FALSE(subtractNoiseFloor(cleaned, one, profile, std::vector<std::uint64_t>{3}));

    MatrixRows shortRow = basis.C;
    shortRow[4].pop_back();
    EXPECT_FALSE(subtractNoiseFloor(cleaned, std::vector<MatrixRows>{shortRow}, profile, bin1));
    NoiseFloorProfile misshapen = profileWithBin1(basis.N, 0.8, 1e-10);
    misshapen.matrices[1].pop_back();
    EXPECT_FALSE(subtractNoiseFloor(cleaned, one, misshapen, bin1));

    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const auto& [beta, floor] :
         {std::pair{-0.1, 1e-10}, std::pair{nan, 1e-10}, std::pair{0.8, -1e-10}, std::pair{0.8, nan}}) {
        const NoiseFloorProfile bad = profileWithBin1(basis.N, beta, floor);
        EXPECT_FALSE(subtractNoiseFloor(cleaned, one, bad, bin1)) << beta << " " << floor;
        EXPECT_TRUE(cleaned.empty());
    }

    MatrixRows untouched = zeros(5);
    EXPECT_EQ(detail::subtractNoiseFloorBin(basis.C, basis.N, 0.8, 0.0, 6, untouched),
              NoiseFloorBinPath::Unchanged);
    EXPECT_EQ(untouched, zeros(5));
}

// Each path reuses the thread's scratch: once warm, the per-bin step asks for no memory at all.
TEST(NoiseFloorSubtraction, PerBinStepAllocatesNothingAfterTheFirstCall) {
    const std::size_t M = 24;
    const std::vector<Complex> U = randomUnitary(M, 9);
    std::vector<double> c(M);
    std::vector<double> n(M);
    for (std::size_t k = 0; k < M; ++k) {
        c[k] = 1.0 + static_cast<double>(k);
        n[k] = static_cast<double>(M - k);
    }
    const MatrixRows C = fromEigenpairs(U, c);
    const MatrixRows N = fromEigenpairs(U, n);
    MatrixRows out = zeros(M);
    const auto runAllPaths = [&] {
        EXPECT_EQ(detail::subtractNoiseFloorBin(C, N, 0.0, 1e-10, M, out), NoiseFloorBinPath::Cholesky);
        EXPECT_EQ(detail::subtractNoiseFloorBin(C, N, 1.0, 1e-10, M, out), NoiseFloorBinPath::Eigen);
        EXPECT_EQ(detail::subtractNoiseFloorBin(C, N, 1e3, 1e-10, M, out), NoiseFloorBinPath::Zero);
    };
    runAllPaths();
    EXPECT_EQ(zk::test::allocationsDuring([&] {
                  for (int repeat = 0; repeat < 3; ++repeat) runAllPaths();
              }).calls,
              0u);
}

// The Hermitian operations run on Eigen, which allocates with malloc, past operator new: warm steps make
// no such call, also at a size where Eigen factorises in blocks.
TEST(NoiseFloorSubtraction, PerBinStepCallsNoMallocAfterTheFirstCall) {
    const std::size_t M = 64;
    std::vector<double> c(M);
    for (std::size_t k = 0; k < M; ++k) c[k] = 1.0 + static_cast<double>(k);
    const MatrixRows C = fromEigenpairs(randomUnitary(M, 17), c);
    MatrixRows half = zeros(M);  // M / 2 times the identity: C minus it is indefinite
    for (std::size_t k = 0; k < M; ++k) half[k][k] = static_cast<double>(M) / 2.0;
    const MatrixRows none = zeros(M);
    MatrixRows out = zeros(M);
    const auto runAllPaths = [&] {
        return std::array{detail::subtractNoiseFloorBin(C, none, 0.0, 1e-10, M, out),
                          detail::subtractNoiseFloorBin(C, half, 1.0, 1e-10, M, out),
                          detail::subtractNoiseFloorBin(none, C, 1.0, 1e-10, M, out)};
    };
    const std::array expected = {NoiseFloorBinPath::Cholesky, NoiseFloorBinPath::Eigen,
                                 NoiseFloorBinPath::Zero};
    ASSERT_EQ(runAllPaths(), expected);
    std::array<NoiseFloorBinPath, 3> warm{};
    EXPECT_EQ(zk::test::allocationsDuring([&] { warm = runAllPaths(); }).mallocCalls, 0u);
    EXPECT_EQ(warm, expected);
}

// On the team too: a warm call allocates the output and nothing per bin.
TEST(NoiseFloorSubtraction, ParallelCallAllocatesOnlyItsOutput) {
    const std::size_t M = 12;
    const std::size_t bins = 8;
    const std::vector<Complex> U = randomUnitary(M, 2);
    std::vector<double> c(M);
    std::vector<double> n(M);
    for (std::size_t k = 0; k < M; ++k) {
        c[k] = 1.0 + static_cast<double>(k);
        n[k] = static_cast<double>(M - k);
    }
    NoiseFloorProfile profile;
    profile.channelCount = M;
    profile.fftSize = 2 * (bins - 1);
    profile.averagedFrames = 1;
    profile.subtractBeta = 1.0;
    profile.matrices.assign(bins, fromEigenpairs(U, n));
    const std::vector<MatrixRows> rows(bins, fromEigenpairs(U, c));
    std::vector<std::uint64_t> indices(bins);
    for (std::size_t b = 0; b < bins; ++b) indices[b] = b;

    std::vector<MatrixRows> cleaned;
    ASSERT_TRUE(subtractNoiseFloor(cleaned, rows, profile, indices));
    const auto outputOnly = zk::test::allocationsDuring([&] {
        std::vector<MatrixRows> probe;
        probe.assign(bins, MatrixRows(M, std::vector<Complex>(M)));
    });
    for (int repeat = 0; repeat < 3; ++repeat) {
        std::vector<MatrixRows> again;
        const auto used = zk::test::allocationsDuring(
            [&] { ASSERT_TRUE(subtractNoiseFloor(again, rows, profile, indices)); });
        EXPECT_EQ(used.calls, outputOnly.calls);
        EXPECT_EQ(again, cleaned);
    }
}

}  // namespace
}  // namespace zk::core
