#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <stdexcept>
#include <string>
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

HeatmapGrid cleanSc(const Beamformer& bf, const std::vector<MatrixRows>& matrices,
                    const std::vector<double>& freqs, double gain, std::uint32_t iterations, double stopDb) {
    return bf.cleanScMap(matrices, freqs, gain, iterations, stopDb, kGrid.hSpan, kGrid.vSpan, 0.0, 0.0,
                         kGrid.hStep, kGrid.vStep, kFarField);
}

void expectNonNegative(const HeatmapGrid& map) {
    EXPECT_GE(*std::min_element(map.power.begin(), map.power.end()), 0.0);
}

// One on-grid source of power s2: the dirty map is s2 |v^H a|^2 / M^2 and every CLEAN-SC step with
// gain phi removes the fraction phi of what is left, so after k steps the map is
// (1 - phi)^k D0 plus (1 - (1 - phi)^k) s2 at the source.
struct RankOneCase {
    std::vector<MicrophonePosition> mics = scatteredArray();
    double f = 2500.0;
    double s2 = 3.0;
    std::uint64_t source = kGrid.cell(10, 5);
    MatrixRows R;
    std::vector<double> dirty;

    RankOneCase() : R(zeroMatrix(mics.size())), dirty(kGrid.cells()) {
        const Vec v = steering(mics, kSoundSpeed, kGrid, source, f);
        addSource(R, v, s2);
        const double M = static_cast<double>(mics.size());
        for (std::uint64_t g = 0; g < kGrid.cells(); ++g) {
            dirty[g] = s2 * innerProductPower(v, steering(mics, kSoundSpeed, kGrid, g, f)) / (M * M);
        }
    }

    void expectAfterSteps(const HeatmapGrid& map, int steps, double phi) const {
        const double left = std::pow(1.0 - phi, steps);
        for (std::uint64_t g = 0; g < kGrid.cells(); ++g) {
            const double expected = left * dirty[g] + (g == source ? (1.0 - left) * s2 : 0.0);
            ASSERT_NEAR(map.power[g], expected, 1e-5 * s2) << "cell " << g << " after " << steps;
        }
    }
};

TEST(CleanScMap, LoopGainOneTurnsARankOneSourceIntoOnePoint) {
    const RankOneCase one;
    Beamformer bf(one.mics, kSoundSpeed);
    MatrixRows second = zeroMatrix(one.mics.size());
    addSource(second, steering(one.mics, kSoundSpeed, kGrid, one.source, 3100.0), 2.0);

    const HeatmapGrid map = cleanSc(bf, {one.R, second}, {one.f, 3100.0}, 1.0, 20, -25.0);

    EXPECT_EQ(map.peakIndex, one.source);
    EXPECT_NEAR(map.power[one.source], one.s2 + 2.0, 1e-5 * (one.s2 + 2.0));
    for (std::uint64_t g = 0; g < kGrid.cells(); ++g) {
        if (g != one.source) {
            ASSERT_LT(map.power[g], 1e-5);
        }
    }
    expectNonNegative(map);
    EXPECT_EQ(map.binCount, 2u);
    EXPECT_EQ(map.representativeFrequencyHz, 3100.0);
}

TEST(CleanScMap, EachIterationRemovesTheLoopGainFraction) {
    const RankOneCase one;
    Beamformer bf(one.mics, kSoundSpeed);
    one.expectAfterSteps(cleanSc(bf, {one.R}, {one.f}, 0.5, 1, -25.0), 1, 0.5);
    one.expectAfterSteps(cleanSc(bf, {one.R}, {one.f}, 0.5, 2, -25.0), 2, 0.5);
    one.expectAfterSteps(cleanSc(bf, {one.R}, {one.f}, 0.6, 3, -60.0), 3, 0.6);
}

TEST(CleanScMap, StopLevelEndsTheCleaningOfABin) {
    const RankOneCase one;
    Beamformer bf(one.mics, kSoundSpeed);
    // Residual peaks 0.5^k of the first: 0.5^9 is the first below -25 dB, 0.5^7 the first below -20 dB.
    one.expectAfterSteps(cleanSc(bf, {one.R}, {one.f}, 0.5, 200, -25.0), 9, 0.5);
    one.expectAfterSteps(cleanSc(bf, {one.R}, {one.f}, 0.5, 200, -20.0), 7, 0.5);
}

TEST(CleanScMap, ResolvesTwoSourcesThatDasMerges) {
    const auto mics = scatteredArray();
    Beamformer bf(mics, kSoundSpeed);
    const double f = 2000.0;
    const std::uint64_t row = 7;
    const std::uint64_t strong = kGrid.cell(row, 3);  // -14 degrees
    const std::uint64_t weak = kGrid.cell(row, 17);   // +14 degrees
    MatrixRows R = zeroMatrix(mics.size());
    addSource(R, steering(mics, kSoundSpeed, kGrid, strong, f), 1.0);
    addSource(R, steering(mics, kSoundSpeed, kGrid, weak, f), 0.5);
    addNoise(R, 0.01);

    // Independent delay-and-sum: the weaker source only widens the stronger one's lobe; along the
    // row through both there is a single local maximum.
    std::vector<double> das(kGrid.columns());
    for (std::uint64_t c = 0; c < kGrid.columns(); ++c) {
        das[c] = quadraticForm(R, steering(mics, kSoundSpeed, kGrid, kGrid.cell(row, c), f));
    }
    int localMaxima = 0;
    for (std::uint64_t c = 1; c + 1 < kGrid.columns(); ++c) {
        localMaxima += das[c] > das[c - 1] && das[c] > das[c + 1] ? 1 : 0;
    }
    ASSERT_EQ(localMaxima, 1);

    const HeatmapGrid map = cleanSc(bf, {R}, {f}, 0.6, 50, -40.0);
    expectNonNegative(map);
    EXPECT_EQ(map.peakIndex, strong);
    std::vector<double> rest = map.power;
    rest[strong] = 0.0;
    EXPECT_EQ(argmax(rest), weak);
    const double total = std::accumulate(map.power.begin(), map.power.end(), 0.0);
    EXPECT_GT(map.power[strong] + map.power[weak], 0.8 * total);
}

TEST(CleanScMap, DivergentStepIsNotApplied) {
    // Two microphones with an indefinite matrix: the dirty map is flat (the diagonal only) and the
    // first deflation would blow the matrix up, so the bin keeps its dirty map untouched.
    const std::vector<MicrophonePosition> mics{{-0.05, 0.0, 0.0}, {0.05, 0.0, 0.0}};
    Beamformer bf(mics, kSoundSpeed);
    MatrixRows R = zeroMatrix(2);
    R[0][0] = 1.0;
    R[1][1] = -0.9;
    const HeatmapGrid map = cleanSc(bf, {R}, {2000.0}, 0.6, 20, -25.0);
    for (const double p : map.power) {
        ASSERT_NEAR(p, 0.1 / 4.0, 1e-7);
    }
}

TEST(CleanScMap, ZeroBinsAddTheirZeroDirtyMap) {
    const RankOneCase one;
    Beamformer bf(one.mics, kSoundSpeed);
    const MatrixRows zero = zeroMatrix(one.mics.size());
    const HeatmapGrid mixed = cleanSc(bf, {zero, one.R}, {1000.0, one.f}, 0.5, 3, -25.0);
    expectSamePower(mixed.power, cleanSc(bf, {one.R}, {one.f}, 0.5, 3, -25.0).power);

    const HeatmapGrid empty = cleanSc(bf, {zero}, {1000.0}, 0.6, 20, -25.0);
    for (std::size_t g = 0; g < empty.power.size(); ++g) {
        ASSERT_EQ(empty.power[g], 0.0);
        ASSERT_EQ(empty.relativeDb[g], -120.0);
    }
    EXPECT_EQ(empty.peakDb, -240.0);
}

TEST(CleanScMap, RejectsBadInputWithItsMessage) {
    const auto mics = scatteredArray(4);
    Beamformer bf(mics, kSoundSpeed);
    MatrixRows R = zeroMatrix(4);
    addNoise(R, 1.0);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const auto call = [&](std::vector<MatrixRows> m, std::vector<double> fr, double gain, std::uint32_t it,
                          double stop, double hSpan = 40.0, double vStep = 2.0) {
        return [&bf, m, fr, gain, it, stop, hSpan, vStep] {
            bf.cleanScMap(m, fr, gain, it, stop, hSpan, 30.0, 0.0, 0.0, 2.0, vStep, kFarField);
        };
    };
    const std::string bad = "invalid CLEAN-SC parameters";
    for (const double gain : {0.0, -0.5, 1.0000001, nan, inf}) {
        expectThrowExactly<std::invalid_argument>(call({R}, {1000.0}, gain, 20, -25.0), bad);
    }
    expectThrowExactly<std::invalid_argument>(call({R}, {1000.0}, 0.6, 0, -25.0), bad);
    for (const double stop : {0.0, 3.0, nan, -inf}) {
        expectThrowExactly<std::invalid_argument>(call({R}, {1000.0}, 0.6, 20, stop), bad);
    }
    EXPECT_NO_THROW(call({R}, {1000.0}, 1.0, 1, -5.0)());

    for (const double g : {0.0, -1.0, nan}) {
        expectThrowExactly<std::invalid_argument>(call({R}, {1000.0}, 0.0, 0, 0.0, g), "invalid camera grid");
        expectThrowExactly<std::invalid_argument>(call({R}, {1000.0}, 0.0, 0, 0.0, 40.0, g),
                                                  "invalid camera grid");
    }
    expectThrowExactly<std::invalid_argument>(call({R, R}, {1000.0}, 0.0, 0, 0.0, 0.0),
                                              "invalid broadband matrix/frequency band");
    expectThrowExactly<std::invalid_argument>(call({R, zeroMatrix(5)}, {1000.0, 2000.0}, 0.6, 20, -25.0),
                                              "invalid broadband matrix bin");
    MatrixRows ragged = R;
    ragged[3].clear();
    expectThrowExactly<std::invalid_argument>(call({ragged}, {1000.0}, 0.6, 20, -25.0),
                                              "invalid broadband spectral matrix");
}

}  // namespace
}  // namespace zk::core
