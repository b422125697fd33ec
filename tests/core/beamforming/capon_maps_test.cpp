#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <vector>

#include "core/beamforming/beamformer.h"
#include "steering_test_model.h"
#include "test_support.h"

namespace zk::core {
namespace {

using namespace testmodel;
using zk::test::expectSamePower;
using zk::test::expectThrowExactly;
using zk::test::maxRelativeDifference;

// 40 x 30 degrees at 2 degrees: 21 columns (-20 .. 20) by 16 rows (-15 .. 15).
const Grid kGrid{.vSpan = 30.0};

HeatmapGrid mvdr(const Beamformer& bf, const std::vector<MatrixRows>& matrices,
                 const std::vector<double>& freqs, double loading, double floor = 1e-12) {
    return bf.mvdrMap(matrices, freqs, loading, floor, kGrid.hSpan, kGrid.vSpan, 0.0, 0.0, kGrid.hStep,
                      kGrid.vStep, kFarField);
}

HeatmapGrid robust(const Beamformer& bf, const std::vector<MatrixRows>& matrices,
                   const std::vector<double>& freqs, double loading, double uncertainty, double gain,
                   double floor = 1e-12) {
    return bf.robustCaponMap(matrices, freqs, loading, uncertainty, gain, floor, kGrid.hSpan, kGrid.vSpan,
                             0.0, 0.0, kGrid.hStep, kGrid.vStep, kFarField);
}

// Minimum-variance power 1 / (a^H (s2 v v^H + mu I)^-1 a / M) by the Sherman-Morrison identity.
double shermanMorrisonPower(double s2, double mu, double M, double overlap) {
    const double quadratic = (M - s2 * overlap / (mu + s2 * M)) / mu;
    return 1.0 / (quadratic / M);
}

TEST(CaponMaps, MvdrOnScaledIdentityIsFlatAndStampsTheBand) {
    const auto mics = scatteredArray();
    Beamformer bf(mics, kSoundSpeed);
    const std::size_t M = mics.size();
    std::vector<MatrixRows> matrices{zeroMatrix(M), zeroMatrix(M), zeroMatrix(M)};
    addNoise(matrices[0], 2.0);
    addNoise(matrices[1], 3.0);
    addNoise(matrices[2], 0.5);
    const std::vector<double> freqs{1500.0, 2500.0, 3500.0};
    const double loading = 0.01;

    const HeatmapGrid map = mvdr(bf, matrices, freqs, loading);

    // Each bin loads to s2 (1 + L0) I, whose Capon power is s2 (1 + L0) in every direction.
    const double expected = (2.0 + 3.0 + 0.5) * (1.0 + loading);
    ASSERT_EQ(map.power.size(), kGrid.cells());
    for (const double p : map.power) {
        EXPECT_NEAR(p, expected, 1e-5 * expected);
    }
    EXPECT_EQ(map.width, kGrid.columns());
    EXPECT_EQ(map.height, kGrid.rows());
    EXPECT_DOUBLE_EQ(map.azimuthDeg.front(), -20.0);
    EXPECT_DOUBLE_EQ(map.elevationDeg.back(), 15.0);
    EXPECT_EQ(map.representativeFrequencyHz, 2500.0);
    EXPECT_EQ(map.firstFrequencyHz, 1500.0);
    EXPECT_EQ(map.lastFrequencyHz, 3500.0);
    EXPECT_EQ(map.binCount, 3u);
}

TEST(CaponMaps, MvdrOnPlaneWaveMatchesShermanMorrisonAndPeaksOnSource) {
    const auto mics = scatteredArray();
    Beamformer bf(mics, kSoundSpeed);
    const double M = static_cast<double>(mics.size());
    const std::uint64_t source = kGrid.cell(11, 14);
    const std::vector<double> freqs{2000.0, 3000.0};
    const double s2 = 1.0;
    const double n2 = 0.1;
    const double loading = 0.001;
    std::vector<MatrixRows> matrices;
    for (const double f : freqs) {
        MatrixRows R = zeroMatrix(mics.size());
        addSource(R, steering(mics, kSoundSpeed, kGrid, source, f), s2);
        addNoise(R, n2);
        matrices.push_back(R);
    }

    const HeatmapGrid map = mvdr(bf, matrices, freqs, loading);

    const double mu = n2 + loading * (s2 + n2);
    for (std::uint64_t g = 0; g < kGrid.cells(); ++g) {
        double expected = 0.0;
        for (const double f : freqs) {
            const double overlap = innerProductPower(steering(mics, kSoundSpeed, kGrid, source, f),
                                                     steering(mics, kSoundSpeed, kGrid, g, f));
            expected += shermanMorrisonPower(s2, mu, M, overlap);
        }
        ASSERT_NEAR(map.power[g], expected, 1e-3 * expected) << "cell " << g;
    }
    EXPECT_EQ(map.peakIndex, source);
    EXPECT_DOUBLE_EQ(map.peakAzimuthDeg, kGrid.h(14));
    EXPECT_DOUBLE_EQ(map.peakElevationDeg, kGrid.v(11));
}

TEST(CaponMaps, RobustCaponLoadsWithTheLargestEigenvalue) {
    const auto mics = scatteredArray();
    Beamformer bf(mics, kSoundSpeed);
    const double M = static_cast<double>(mics.size());
    const std::uint64_t source = kGrid.cell(4, 6);
    const double f = 2500.0;
    const double s2 = 2.0;
    const double n2 = 0.05;
    MatrixRows R = zeroMatrix(mics.size());
    const Vec v = steering(mics, kSoundSpeed, kGrid, source, f);
    addSource(R, v, s2);
    addNoise(R, n2);
    const double L0 = 0.002;
    const double U = 0.05;
    const double G = 2.0;

    const HeatmapGrid map = robust(bf, {R}, {f}, L0, U, G);

    // Largest eigenvalue of s2 v v^H + n2 I is s2 M + n2; the mean microphone power is s2 + n2.
    const double mu = n2 + U * U * G * (s2 * M + n2) + L0 * (s2 + n2);
    for (std::uint64_t g = 0; g < kGrid.cells(); ++g) {
        const double expected =
            shermanMorrisonPower(s2, mu, M, innerProductPower(v, steering(mics, kSoundSpeed, kGrid, g, f)));
        ASSERT_NEAR(map.power[g], expected, 1e-3 * expected) << "cell " << g;
    }
    EXPECT_EQ(map.peakIndex, source);
}

TEST(CaponMaps, RobustCaponWithoutUncertaintyOrGainIsMvdr) {
    const auto mics = scatteredArray();
    Beamformer bf(mics, kSoundSpeed);
    const std::vector<double> freqs{1800.0, 2600.0};
    std::vector<MatrixRows> matrices;
    for (const double f : freqs) {
        MatrixRows R = zeroMatrix(mics.size());
        addSource(R, steering(mics, kSoundSpeed, kGrid, kGrid.cell(3, 3), f), 1.0);
        addSource(R, steering(mics, kSoundSpeed, kGrid, kGrid.cell(12, 17), f), 0.5);
        addNoise(R, 0.2);
        matrices.push_back(R);
    }
    const HeatmapGrid reference = mvdr(bf, matrices, freqs, 0.003);
    expectSamePower(robust(bf, matrices, freqs, 0.003, 0.0, 5.0).power, reference.power);
    expectSamePower(robust(bf, matrices, freqs, 0.003, 0.3, 0.0).power, reference.power);
    EXPECT_GT(maxRelativeDifference(robust(bf, matrices, freqs, 0.003, 0.3, 5.0).power, reference.power),
              1e-2);
}

TEST(CaponMaps, MvdrResolvesTwoSourcesThatDasMerges) {
    const auto mics = scatteredArray();
    Beamformer bf(mics, kSoundSpeed);
    const double f = 2000.0;
    const std::uint64_t row = 7;
    const std::uint64_t left = kGrid.cell(row, 7);    // -6 degrees
    const std::uint64_t mid = kGrid.cell(row, 10);    // 0 degrees
    const std::uint64_t right = kGrid.cell(row, 13);  // +6 degrees
    MatrixRows R = zeroMatrix(mics.size());
    addSource(R, steering(mics, kSoundSpeed, kGrid, left, f), 1.0);
    addSource(R, steering(mics, kSoundSpeed, kGrid, right, f), 1.0);
    addNoise(R, 0.01);

    // Independent delay-and-sum along the row: one broad lobe whose top lies between the sources.
    std::vector<double> das(kGrid.columns());
    for (std::uint64_t c = 0; c < kGrid.columns(); ++c) {
        das[c] = quadraticForm(R, steering(mics, kSoundSpeed, kGrid, kGrid.cell(row, c), f));
    }
    ASSERT_GE(das[10], das[7]);
    ASSERT_GE(das[10], das[13]);

    const HeatmapGrid map = mvdr(bf, {R}, {f}, 0.001);
    const double dipDb = 10.0 * std::log10(map.power[mid]);
    EXPECT_LT(dipDb, map.db[left] - 3.0);
    EXPECT_LT(dipDb, map.db[right] - 3.0);
    EXPECT_TRUE(map.peakIndex == left || map.peakIndex == right);
    for (const std::uint64_t source : {left, right}) {
        for (const std::uint64_t neighbour : {source - 1, source + 1}) {
            EXPECT_GT(map.power[source], map.power[neighbour]);
        }
    }
}

TEST(CaponMaps, BinsThatCannotBeUsedContributeNothing) {
    const auto mics = scatteredArray();
    Beamformer bf(mics, kSoundSpeed);
    const std::size_t M = mics.size();
    MatrixRows good = zeroMatrix(M);
    addSource(good, steering(mics, kSoundSpeed, kGrid, kGrid.cell(5, 5), 2000.0), 1.0);
    addNoise(good, 0.1);
    // Positive mean power but indefinite, so the unloaded inverse fails.
    MatrixRows indefinite = zeroMatrix(M);
    addNoise(indefinite, 1.0);
    indefinite[1][1] = -0.5;

    const HeatmapGrid alone = mvdr(bf, {good}, {2000.0}, 0.0);
    const HeatmapGrid withBad = mvdr(bf, {good, indefinite}, {2000.0, 3000.0}, 0.0);
    expectSamePower(withBad.power, alone.power);
    EXPECT_EQ(withBad.binCount, 2u);

    const HeatmapGrid withZero = mvdr(bf, {zeroMatrix(M), good}, {3000.0, 2000.0}, 0.001);
    expectSamePower(withZero.power, mvdr(bf, {good}, {2000.0}, 0.001).power);

    const HeatmapGrid empty = mvdr(bf, {zeroMatrix(M), zeroMatrix(M)}, {2000.0, 3000.0}, 0.001);
    for (std::size_t g = 0; g < empty.power.size(); ++g) {
        ASSERT_EQ(empty.power[g], 0.0);
        ASSERT_EQ(empty.db[g], -240.0);
        ASSERT_EQ(empty.relativeDb[g], -120.0);
    }
    EXPECT_EQ(empty.peakDb, -240.0);
    EXPECT_EQ(empty.peakIndex, 0u);
}

TEST(CaponMaps, PointsBelowTheFloorGetItsReciprocal) {
    const auto mics = scatteredArray();
    Beamformer bf(mics, kSoundSpeed);
    MatrixRows R = zeroMatrix(mics.size());
    addSource(R, steering(mics, kSoundSpeed, kGrid, kGrid.cell(8, 2), 2200.0), 4.0);
    addNoise(R, 1.0);
    // Every Q of these bins lies far below 1e3, so each bin adds exactly 1e-3 everywhere.
    const HeatmapGrid map = mvdr(bf, {R, R}, {2200.0, 2300.0}, 0.001, 1e3);
    for (const double p : map.power) {
        ASSERT_EQ(p, 2e-3);
    }
}

TEST(CaponMaps, RejectsBadInputWithItsMessage) {
    const auto mics = scatteredArray(4);
    Beamformer bf(mics, kSoundSpeed);
    MatrixRows R = zeroMatrix(4);
    addNoise(R, 1.0);
    const std::vector<MatrixRows> one{R};
    const std::vector<double> f{1000.0};
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const auto capon = [&](std::vector<MatrixRows> m, std::vector<double> fr, double L0, double U, double G,
                           double F, double hSpan = 40.0, double step = 2.0) {
        return [&bf, m, fr, L0, U, G, F, hSpan, step] {
            bf.caponMap(m, fr, L0, U, G, F, hSpan, 30.0, 0.0, 0.0, step, step, kFarField);
        };
    };
    for (const double F : {0.0, -1e-12, nan, inf}) {
        expectThrowExactly<std::invalid_argument>(capon(one, f, 0.001, 0, 0, F), "invalid Capon parameters");
    }
    for (const double bad : {-0.001, nan, inf}) {
        expectThrowExactly<std::invalid_argument>(capon(one, f, bad, 0, 0, 1e-12),
                                                  "invalid Capon parameters");
        expectThrowExactly<std::invalid_argument>(capon(one, f, 0.001, bad, 1, 1e-12),
                                                  "invalid Capon parameters");
        expectThrowExactly<std::invalid_argument>(capon(one, f, 0.001, 0.1, bad, 1e-12),
                                                  "invalid Capon parameters");
    }
    expectThrowExactly<std::invalid_argument>(
        [&] { bf.mvdrMap(one, f, 0.001, 0.0, 40, 30, 0, 0, 2, 2, kFarField); }, "invalid Capon parameters");
    expectThrowExactly<std::invalid_argument>(
        [&] { bf.robustCaponMap(one, f, 0.001, -1.0, 1.0, 1e-12, 40, 30, 0, 0, 2, 2, kFarField); },
        "invalid Capon parameters");

    // The grid is checked before the parameters, the matrices before the grid.
    for (const double bad : {0.0, -10.0, nan}) {
        expectThrowExactly<std::invalid_argument>(capon(one, f, 0.001, 0, 0, 0.0, bad),
                                                  "invalid camera grid");
        expectThrowExactly<std::invalid_argument>(capon(one, f, 0.001, 0, 0, 0.0, 40.0, bad),
                                                  "invalid camera grid");
    }
    expectThrowExactly<std::invalid_argument>(capon({}, {}, 0.001, 0, 0, 0.0, 0.0),
                                              "invalid broadband matrix/frequency band");
    expectThrowExactly<std::invalid_argument>(capon(one, {1000.0, 2000.0}, 0.001, 0, 0, 1e-12),
                                              "invalid broadband matrix/frequency band");
    expectThrowExactly<std::invalid_argument>(capon(one, {0.0}, 0.001, 0, 0, 1e-12),
                                              "invalid broadband matrix bin");
    expectThrowExactly<std::invalid_argument>(capon({zeroMatrix(3)}, f, 0.001, 0, 0, 1e-12),
                                              "invalid broadband matrix bin");
    MatrixRows ragged = R;
    ragged[2].pop_back();
    expectThrowExactly<std::invalid_argument>(capon({ragged}, f, 0.001, 0, 0, 1e-12),
                                              "invalid broadband spectral matrix");
}

}  // namespace
}  // namespace zk::core
