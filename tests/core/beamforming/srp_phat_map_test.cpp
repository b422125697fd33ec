#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/beamforming/beamformer.h"
#include "steering_test_model.h"
#include "test_support.h"

namespace zk::core {
namespace {

using zk::test::expectThrowExactly;

using namespace testmodel;

constexpr double kSpeed = 343.0;
constexpr double kInf = std::numeric_limits<double>::infinity();

struct SrpFixture {
    std::vector<MicrophonePosition> mics = spiralArray(16, 0.15);
    Beamformer beamformer{spiralArray(16, 0.15), kSpeed};
    Grid grid;

    Vec steer(std::uint64_t cell, double f) const { return steering(mics, kSpeed, grid, cell, f); }

    HeatmapGrid map(const std::vector<MatrixRows>& m, const std::vector<double>& f, double floor,
                    double exponent, bool zeroDiagonal) const {
        return beamformer.srpPhatMap(m, f, floor, exponent, zeroDiagonal, grid.hSpan, grid.vSpan,
                                     grid.hCentre, grid.vCentre, grid.hStep, grid.vStep, grid.focus);
    }

    // Steered response power in double: every entry divided by pow(max(floor, sqrt(dx dy)), g),
    // diagonal optionally dropped, normalised, clipped per bin and summed.
    std::vector<double> reference(const std::vector<MatrixRows>& matrices, const std::vector<double>& freqs,
                                  double floor, double exponent, bool zeroDiagonal) const {
        const std::size_t M = mics.size();
        const double n = zeroDiagonal && M > 1 ? double(M * (M - 1)) : double(M * M);
        std::vector<double> power(grid.cells(), 0.0);
        for (std::size_t b = 0; b < matrices.size(); ++b) {
            MatrixRows W = matrices[b];
            for (std::size_t x = 0; x < M; ++x) {
                for (std::size_t y = 0; y < M; ++y) {
                    const double dx = std::max(0.0, matrices[b][x][x].real());
                    const double dy = std::max(0.0, matrices[b][y][y].real());
                    W[x][y] /= std::pow(std::max(floor, std::sqrt(dx * dy)), exponent);
                    if (x == y) W[x][y] = zeroDiagonal ? 0.0 : dx / std::pow(std::max(floor, dx), exponent);
                }
            }
            for (std::uint64_t g = 0; g < grid.cells(); ++g) {
                power[g] += std::max(quadraticForm(W, steer(g, freqs[b])) / n, 0.0);
            }
        }
        return power;
    }
};

void expectMapsNear(const std::vector<double>& actual, const std::vector<double>& expected, double relative) {
    ASSERT_EQ(actual.size(), expected.size());
    double scale = 0.0;
    for (double value : expected) scale = std::max(scale, std::abs(value));
    for (std::size_t i = 0; i < actual.size(); ++i)
        EXPECT_NEAR(actual[i], expected[i], relative * scale) << i;
}

// A random Hermitian positive semi-definite matrix: a sum of random rank-one terms plus noise.
MatrixRows noisyRandomCsm(std::size_t M, std::mt19937& rng) {
    MatrixRows R = testmodel::randomCsm(M, 3, rng);
    addNoise(R, 0.5);
    return R;
}

TEST(SrpPhatMap, PeaksOnTheCellOfASingleOnGridSource) {
    SrpFixture fx;
    const std::vector<double> freqs = {2000.0, 3000.0, 4000.0};
    for (const std::uint64_t cell : {fx.grid.cell(5, 10), fx.grid.cell(1, 3), fx.grid.cell(8, 19)}) {
        std::vector<MatrixRows> matrices;
        for (double f : freqs) matrices.push_back(mixture({{fx.steer(cell, f), 2.0}}, 0.5, fx.mics.size()));
        for (const bool zeroDiagonal : {true, false}) {
            const HeatmapGrid map = fx.map(matrices, freqs, 1e-10, 1.0, zeroDiagonal);
            EXPECT_EQ(map.peakIndex, cell);
            EXPECT_EQ(map.binCount, 3u);
            EXPECT_DOUBLE_EQ(map.representativeFrequencyHz, 3000.0);
        }
        // Pure phase transform of a coherent source: every whitened cross term has modulus
        // 2 / 2.5 and aligns at the source, so each bin gives (2 / 2.5) there.
        EXPECT_NEAR(fx.map(matrices, freqs, 1e-10, 1.0, true).power[cell], 3.0 * 2.0 / 2.5, 1e-5);
    }
}

TEST(SrpPhatMap, MatchesTheWhitenedResponseEvaluatedInDouble) {
    SrpFixture fx;
    std::mt19937 rng(7);
    const std::vector<double> freqs = {1500.0, 2500.0};
    const std::vector<MatrixRows> matrices = {noisyRandomCsm(fx.mics.size(), rng),
                                              noisyRandomCsm(fx.mics.size(), rng)};
    for (const double exponent : {0.0, 0.5, 1.0}) {
        for (const bool zeroDiagonal : {true, false}) {
            expectMapsNear(fx.map(matrices, freqs, 1e-10, exponent, zeroDiagonal).power,
                           fx.reference(matrices, freqs, 1e-10, exponent, zeroDiagonal), 2e-5);
        }
    }
}

TEST(SrpPhatMap, ExponentOneIsInvariantToChannelGains) {
    SrpFixture fx;
    const std::size_t M = fx.mics.size();
    const std::vector<double> freqs = {2500.0, 3500.0};
    const std::uint64_t cell = fx.grid.cell(6, 13);
    std::vector<MatrixRows> plain;
    std::vector<MatrixRows> scaled;
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> gainDist(0.2, 5.0);
    std::vector<double> gains(M);
    for (double& gain : gains) gain = gainDist(rng);
    for (double f : freqs) {
        plain.push_back(mixture({{fx.steer(cell, f), 1.0}, {fx.steer(fx.grid.cell(2, 2), f), 0.3}}, 0.2, M));
        scaled.push_back(plain.back());
        for (std::size_t i = 0; i < M; ++i) {
            for (std::size_t j = 0; j < M; ++j) scaled.back()[i][j] *= gains[i] * gains[j];
        }
    }
    for (const bool zeroDiagonal : {true, false}) {
        const HeatmapGrid reference = fx.map(plain, freqs, 1e-10, 1.0, zeroDiagonal);
        expectMapsNear(fx.map(scaled, freqs, 1e-10, 1.0, zeroDiagonal).power, reference.power, 1e-5);
        EXPECT_EQ(reference.peakIndex, cell);
    }
    // Without the phase transform the gains reshape the map.
    const auto unweighted = fx.map(plain, freqs, 1e-10, 0.0, true).power;
    const auto unweightedScaled = fx.map(scaled, freqs, 1e-10, 0.0, true).power;
    EXPECT_GT(std::abs(unweightedScaled[cell] / unweighted[cell] - 1.0), 0.1);
}

TEST(SrpPhatMap, ExponentZeroEqualsDelayAndSum) {
    SrpFixture fx;
    std::mt19937 rng(3);
    const std::vector<double> freqs = {2000.0, 2600.0, 3200.0};
    std::vector<MatrixRows> matrices;
    for (std::size_t b = 0; b < freqs.size(); ++b) matrices.push_back(noisyRandomCsm(fx.mics.size(), rng));
    const Grid& g = fx.grid;
    for (const bool zeroDiagonal : {true, false}) {
        const HeatmapGrid srp = fx.map(matrices, freqs, 1e-10, 0.0, zeroDiagonal);
        const HeatmapGrid das = fx.beamformer.broadbandDas(
            matrices, freqs, g.hSpan, g.vSpan, g.hCentre, g.vCentre, g.hStep, g.vStep, zeroDiagonal, g.focus);
        expectMapsNear(srp.power, das.power, 1e-5);
        // Independently: plain a^H R a / n in double, clipped per bin.
        const double M = static_cast<double>(fx.mics.size());
        const double n = zeroDiagonal ? M * (M - 1.0) : M * M;
        std::vector<double> expected(g.cells(), 0.0);
        for (std::size_t b = 0; b < freqs.size(); ++b) {
            MatrixRows R = matrices[b];
            if (zeroDiagonal) {
                for (std::size_t i = 0; i < R.size(); ++i) R[i][i] = 0.0;
            }
            for (std::uint64_t cell = 0; cell < g.cells(); ++cell) {
                expected[cell] += std::max(quadraticForm(R, fx.steer(cell, freqs[b])) / n, 0.0);
            }
        }
        expectMapsNear(srp.power, expected, 1e-5);
    }
}

TEST(SrpPhatMap, SingleMicrophoneNormalisesByOne) {
    const Beamformer beamformer({{0.0, 0.0, 0.0}}, kSpeed);
    const std::vector<MatrixRows> matrices = {MatrixRows{{cd{4.0, 0.0}}}, MatrixRows{{cd{9.0, 0.0}}}};
    const std::vector<double> freqs = {1000.0, 2000.0};
    const HeatmapGrid zero =
        beamformer.srpPhatMap(matrices, freqs, 1e-10, 1.0, true, 10, 10, 0, 0, 5, 5, kInf);
    ASSERT_EQ(zero.power.size(), 9u);
    for (double value : zero.power) EXPECT_DOUBLE_EQ(value, 0.0);
    const HeatmapGrid kept =
        beamformer.srpPhatMap(matrices, freqs, 1e-10, 0.0, false, 10, 10, 0, 0, 5, 5, kInf);
    for (double value : kept.power) EXPECT_DOUBLE_EQ(value, 13.0);
    const HeatmapGrid whitened =
        beamformer.srpPhatMap(matrices, freqs, 1e-10, 1.0, false, 10, 10, 0, 0, 5, 5, kInf);
    for (double value : whitened.power) EXPECT_DOUBLE_EQ(value, 2.0);
}

TEST(SrpPhatMap, SilentMicrophonesAreDividedByTheFloor) {
    // Microphone 0 reports no power yet a cross term: the floor keeps its weight finite.
    const Beamformer beamformer({{0.0, 0.0, 0.0}, {0.0, 0.0, 0.0}}, kSpeed);
    const std::vector<MatrixRows> matrices = {
        MatrixRows{{cd{0.0, 0.0}, cd{1e-3, 0.0}}, {cd{1e-3, 0.0}, cd{1.0, 0.0}}}};
    const std::vector<double> freqs = {1000.0};
    const double floor = 1e-2;
    const HeatmapGrid map =
        beamformer.srpPhatMap(matrices, freqs, floor, 1.0, true, 10, 10, 0, 0, 5, 5, kInf);
    // Coincident microphones: every direction sees the pair weight 2 * 1e-3 / floor over M (M - 1) = 2.
    for (double value : map.power) EXPECT_NEAR(value, 2.0 * 1e-3 / floor / 2.0, 1e-7);
}

TEST(SrpPhatMap, RejectsBadInputInCheckOrder) {
    SrpFixture fx;
    const std::size_t M = fx.mics.size();
    const std::vector<MatrixRows> matrices = {mixture({}, 1.0, M)};
    const std::vector<double> freqs = {1000.0};
    const std::vector<double> zeroFreq = {0.0};
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Beamformer& bf = fx.beamformer;

    expectThrowExactly<std::invalid_argument>(
        [&] { bf.srpPhatMap({}, {}, nan, 2.0, true, 0, 0, 0, 0, 0, 0, kInf); },
        "invalid broadband matrix/frequency band");
    expectThrowExactly<std::invalid_argument>(
        [&] {
            bf.srpPhatMap(matrices, std::vector<double>{1.0, 2.0}, nan, 2.0, true, 0, 0, 0, 0, 0, 0, kInf);
        },
        "invalid broadband matrix/frequency band");
    // Parameters come before the grid and the bins.
    for (const double exponent : {1.5, -0.1, nan, kInf}) {
        expectThrowExactly<std::invalid_argument>(
            [&] { bf.srpPhatMap(matrices, zeroFreq, 1e-10, exponent, true, 0, 0, 0, 0, 0, 0, kInf); },
            "invalid PHAT parameters");
    }
    for (const double floor : {0.0, -1e-10, nan, kInf}) {
        expectThrowExactly<std::invalid_argument>(
            [&] { bf.srpPhatMap(matrices, zeroFreq, floor, 1.0, true, 0, 0, 0, 0, 0, 0, kInf); },
            "invalid PHAT parameters");
    }
    for (const double bad : {0.0, -2.0, nan}) {
        expectThrowExactly<std::invalid_argument>(
            [&] { bf.srpPhatMap(matrices, zeroFreq, 1e-10, 1.0, true, bad, 20, 0, 0, 2, 2, kInf); },
            "invalid camera grid");
        expectThrowExactly<std::invalid_argument>(
            [&] { bf.srpPhatMap(matrices, zeroFreq, 1e-10, 1.0, true, 40, 20, 0, 0, 2, bad, kInf); },
            "invalid camera grid");
    }
    expectThrowExactly<std::invalid_argument>(
        [&] { bf.srpPhatMap(matrices, zeroFreq, 1e-10, 1.0, true, 40, 20, 0, 0, 2, 2, kInf); },
        "invalid broadband matrix bin");
    const std::vector<MatrixRows> wrongSize = {mixture({}, 1.0, M + 1)};
    expectThrowExactly<std::invalid_argument>(
        [&] { bf.srpPhatMap(wrongSize, freqs, 1e-10, 1.0, true, 40, 20, 0, 0, 2, 2, kInf); },
        "invalid broadband matrix bin");
    MatrixRows ragged = matrices[0];
    ragged.back().push_back(cd{});
    const std::vector<MatrixRows> raggedBand = {ragged};
    expectThrowExactly<std::invalid_argument>(
        [&] { bf.srpPhatMap(raggedBand, freqs, 1e-10, 1.0, true, 40, 20, 0, 0, 2, 2, kInf); },
        "invalid broadband spectral matrix");
    // Boundary values are accepted.
    EXPECT_NO_THROW(bf.srpPhatMap(matrices, freqs, 1e-10, 0.0, true, 40, 20, 0, 0, 2, 2, kInf));
    EXPECT_NO_THROW(bf.srpPhatMap(matrices, freqs, 1e-10, 1.0, false, 40, 20, 0, 0, 2, 2, kInf));
}

}  // namespace
}  // namespace zk::core
