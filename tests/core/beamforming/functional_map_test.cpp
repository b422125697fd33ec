#include <gtest/gtest.h>

#include <algorithm>
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

// 40 x 30 degrees at 2 degrees: 21 columns (-20 .. 20) by 16 rows (-15 .. 15).
const Grid kGrid{.vSpan = 30.0};

HeatmapGrid functional(const Beamformer& bf, const std::vector<MatrixRows>& matrices,
                       const std::vector<double>& freqs, std::uint32_t order, double tolerance = 1e-10) {
    return bf.functionalMap(matrices, freqs, order, tolerance, kGrid.hSpan, kGrid.vSpan, 0.0, 0.0,
                            kGrid.hStep, kGrid.vStep, kFarField);
}

TEST(FunctionalMap, OrderOneIsMTimesDasWithoutDiagonalRemoval) {
    const auto mics = scatteredArray();
    Beamformer bf(mics, kSoundSpeed);
    const double M = static_cast<double>(mics.size());
    const std::vector<double> freqs{1900.0, 2700.0};
    std::vector<MatrixRows> matrices;
    for (const double f : freqs) {
        MatrixRows R = zeroMatrix(mics.size());
        addSource(R, steering(mics, kSoundSpeed, kGrid, kGrid.cell(2, 3), f), 1.5);
        addSource(R, steering(mics, kSoundSpeed, kGrid, kGrid.cell(13, 16), f), 0.7);
        addNoise(R, 0.3);
        matrices.push_back(R);
    }

    const HeatmapGrid map = functional(bf, matrices, freqs, 1);

    for (std::uint64_t g = 0; g < kGrid.cells(); ++g) {
        double expected = 0.0;
        for (std::size_t b = 0; b < freqs.size(); ++b) {
            expected += quadraticForm(matrices[b], steering(mics, kSoundSpeed, kGrid, g, freqs[b])) / M;
        }
        ASSERT_NEAR(map.power[g], expected, 1e-4 * expected) << "cell " << g;
    }
    const HeatmapGrid das = bf.broadbandDas(matrices, freqs, kGrid.hSpan, kGrid.vSpan, 0.0, 0.0, kGrid.hStep,
                                            kGrid.vStep, false, kFarField);
    for (std::uint64_t g = 0; g < kGrid.cells(); ++g) {
        ASSERT_NEAR(map.power[g], M * das.power[g], 1e-4 * map.power[g]);
    }
    EXPECT_EQ(map.peakIndex, das.peakIndex);
}

TEST(FunctionalMap, RankOnePlusNoiseMatchesTheEigenClosedForm) {
    const auto mics = scatteredArray();
    Beamformer bf(mics, kSoundSpeed);
    const double M = static_cast<double>(mics.size());
    const double f = 2400.0;
    const std::uint64_t source = kGrid.cell(9, 4);
    const Vec v = steering(mics, kSoundSpeed, kGrid, source, f);
    const double s2 = 1.0;
    const double n2 = 0.1;
    MatrixRows R = zeroMatrix(mics.size());
    addSource(R, v, s2);
    addNoise(R, n2);

    for (const std::uint32_t order : {4u, 20u}) {
        const HeatmapGrid map = functional(bf, {R}, {f}, order);
        // Eigenvalues s2 M + n2 along v and n2 elsewhere: P = u u^H + w0 (I - u u^H).
        const double lambdaMax = s2 * M + n2;
        const double w0 = std::pow(n2 / lambdaMax, 1.0 / order);
        for (std::uint64_t g = 0; g < kGrid.cells(); ++g) {
            const double overlap = innerProductPower(v, steering(mics, kSoundSpeed, kGrid, g, f)) / M;
            const double Q = (overlap + w0 * (M - overlap)) / M;
            const double expected = std::pow(Q, order) * lambdaMax;
            ASSERT_NEAR(map.power[g], expected, 1e-3 * expected) << "order " << order << " cell " << g;
        }
        EXPECT_EQ(map.peakIndex, source);
    }
}

TEST(FunctionalMap, HigherOrderSharpensTheSourceAgainstTheBackground) {
    const auto mics = scatteredArray();
    Beamformer bf(mics, kSoundSpeed);
    const double f = 3000.0;
    const std::uint64_t strong = kGrid.cell(4, 4);
    const std::uint64_t weak = kGrid.cell(12, 16);
    MatrixRows R = zeroMatrix(mics.size());
    addSource(R, steering(mics, kSoundSpeed, kGrid, strong, f), 1.0);
    addSource(R, steering(mics, kSoundSpeed, kGrid, weak, f), 0.3);
    addNoise(R, 0.05);

    const HeatmapGrid low = functional(bf, {R}, {f}, 1);
    const HeatmapGrid high = functional(bf, {R}, {f}, 20);
    EXPECT_EQ(low.peakIndex, strong);
    EXPECT_EQ(high.peakIndex, strong);
    // Cells within 3 dB of the peak: the main lobe narrows as the order grows.
    const auto lobeCells = [](const HeatmapGrid& map) {
        return std::count_if(map.relativeDb.begin(), map.relativeDb.end(), [](double r) { return r > -3.0; });
    };
    EXPECT_LT(2 * lobeCells(high), lobeCells(low));
}

TEST(FunctionalMap, NotPsdMatrixIsReportedWithSixDecimals) {
    const auto mics = scatteredArray(8);
    Beamformer bf(mics, kSoundSpeed);
    MatrixRows good = zeroMatrix(8);
    addNoise(good, 1.0);
    MatrixRows slightlyNegative = good;
    slightlyNegative[3][3] = -0.25;
    MatrixRows negative = good;
    negative[0][0] = -0.5;

    expectThrowExactly<std::runtime_error>(
        [&] {
            functional(bf, {good, negative}, {1000.0, 1100.0}, 4, 0.0);
        },
        "Functional matrix not PSD: min eig -0.500000");
    // The first offending bin in bin order names the value.
    expectThrowExactly<std::runtime_error>(
        [&] {
            functional(bf, {good, slightlyNegative, negative}, {1000.0, 1100.0, 1200.0}, 4, 0.0);
        },
        "Functional matrix not PSD: min eig -0.250000");
    // A tolerance of 0.3 x max(1, lambda_max) admits -0.25 but not -0.5.
    EXPECT_NO_THROW(functional(bf, {slightlyNegative}, {1000.0}, 4, 0.3));
    expectThrowExactly<std::runtime_error>([&] { functional(bf, {negative}, {1000.0}, 4, 0.3); },
                                           "Functional matrix not PSD: min eig -0.500000");
}

TEST(FunctionalMap, NegativeEigenvaluesWithinToleranceAreClipped) {
    const auto mics = scatteredArray(8);
    Beamformer bf(mics, kSoundSpeed);
    const double f = 1500.0;
    MatrixRows clipped = zeroMatrix(8);
    addNoise(clipped, 1.0);
    clipped[5][5] = -1e-12;
    MatrixRows zeroed = clipped;
    zeroed[5][5] = 0.0;

    // Eigenvalue -1e-12 lies within 1e-10; it gets weight 0 exactly as an eigenvalue of 0 does.
    const HeatmapGrid a = functional(bf, {clipped}, {f}, 3);
    const HeatmapGrid b = functional(bf, {zeroed}, {f}, 3);
    for (std::size_t g = 0; g < a.power.size(); ++g) {
        ASSERT_NEAR(a.power[g], b.power[g], 1e-6 * b.power[g]);
    }
}

TEST(FunctionalMap, ZeroBinsAreSkippedNotReported) {
    const auto mics = scatteredArray();
    Beamformer bf(mics, kSoundSpeed);
    MatrixRows R = zeroMatrix(mics.size());
    addSource(R, steering(mics, kSoundSpeed, kGrid, kGrid.cell(6, 6), 2000.0), 1.0);
    addNoise(R, 0.1);

    const HeatmapGrid withZero = functional(bf, {zeroMatrix(mics.size()), R}, {3000.0, 2000.0}, 20, 0.0);
    expectSamePower(withZero.power, functional(bf, {R}, {2000.0}, 20).power);

    const HeatmapGrid empty = functional(bf, {zeroMatrix(mics.size())}, {2000.0}, 20, 0.0);
    for (std::size_t g = 0; g < empty.power.size(); ++g) {
        ASSERT_EQ(empty.power[g], 0.0);
        ASSERT_EQ(empty.db[g], -240.0);
    }
    EXPECT_EQ(empty.peakDb, -240.0);
}

TEST(FunctionalMap, RejectsBadInputWithItsMessage) {
    const auto mics = scatteredArray(4);
    Beamformer bf(mics, kSoundSpeed);
    MatrixRows R = zeroMatrix(4);
    addNoise(R, 1.0);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const auto call = [&](std::vector<MatrixRows> m, std::vector<double> fr, std::uint32_t order, double tol,
                          double vSpan = 30.0, double hStep = 2.0) {
        return [&bf, m, fr, order, tol, vSpan, hStep] {
            bf.functionalMap(m, fr, order, tol, 40.0, vSpan, 0.0, 0.0, hStep, 2.0, kFarField);
        };
    };
    expectThrowExactly<std::invalid_argument>(call({R}, {1000.0}, 0, 1e-10), "invalid Functional parameters");
    for (const double bad : {-1e-10, nan, inf}) {
        expectThrowExactly<std::invalid_argument>(call({R}, {1000.0}, 20, bad),
                                                  "invalid Functional parameters");
    }
    for (const double bad : {0.0, -2.0, nan}) {
        expectThrowExactly<std::invalid_argument>(call({R}, {1000.0}, 0, nan, bad), "invalid camera grid");
        expectThrowExactly<std::invalid_argument>(call({R}, {1000.0}, 0, nan, 30.0, bad),
                                                  "invalid camera grid");
    }
    expectThrowExactly<std::invalid_argument>(call({}, {}, 0, nan, 0.0),
                                              "invalid broadband matrix/frequency band");
    expectThrowExactly<std::invalid_argument>(call({R}, {-5.0}, 20, 1e-10), "invalid broadband matrix bin");
    MatrixRows ragged = R;
    ragged[0].push_back({});
    expectThrowExactly<std::invalid_argument>(call({ragged}, {1000.0}, 20, 1e-10),
                                              "invalid broadband spectral matrix");
}

}  // namespace
}  // namespace zk::core
