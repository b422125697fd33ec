#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

#include "beamforming/detail/vector_level_cap.h"
#include "core/beamforming/beamformer.h"
#include "core/platform/cpu_features.h"
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
    // first deflation would blow the matrix up, so the bin keeps its dirty map untouched. Scaled by 1e170
    // the squared moduli overflow, which must not hide the growth.
    const std::vector<MicrophonePosition> mics{{-0.05, 0.0, 0.0}, {0.05, 0.0, 0.0}};
    Beamformer bf(mics, kSoundSpeed);
    for (const double scale : {1.0, 1e170}) {
        SCOPED_TRACE(scale);
        MatrixRows R = zeroMatrix(2);
        R[0][0] = scale;
        R[1][1] = -0.9 * scale;
        const HeatmapGrid map = cleanSc(bf, {R}, {2000.0}, 0.6, 20, -25.0);
        for (const double p : map.power) {
            ASSERT_NEAR(p, 0.1 / 4.0 * scale, 1e-7 * scale);
        }
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

// CLEAN-SC written out step by step in complex double, over the map's own steering terms: the full
// double sums of the dirty map and the projection, R - N h h^H over every entry, then made Hermitian, and
// the norm as a sum of hypot.
std::vector<double> straightCleanSc(const Beamformer& bf, const std::vector<MatrixRows>& matrices,
                                    const std::vector<double>& freqs, double gain, std::uint32_t iterations,
                                    double stopDb, const CameraGridSpec& grid) {
    using C = std::complex<double>;
    const auto cache = bf.steeringCacheFor(freqs, grid);
    const std::size_t G = cache->gridPointCount;
    const std::size_t M = matrices[0].size();
    const double s = 1.0 / static_cast<double>(M);
    auto a = [&](std::size_t bin, std::size_t g, std::size_t m) {
        return C(cache->phaseTerms[(bin * G + g) * M + m]);
    };
    std::vector<double> power(G, 0.0);
    for (std::size_t bin = 0; bin < matrices.size(); ++bin) {
        const MatrixRows& in = matrices[bin];
        std::vector<std::vector<C>> R(M, std::vector<C>(M));
        for (std::size_t i = 0; i < M; ++i)
            for (std::size_t k = 0; k < M; ++k) R[i][k] = (in[i][k] + std::conj(in[k][i])) / 2.0;
        std::vector<double> D(G), clean(G, 0.0);
        for (std::size_t g = 0; g < G; ++g) {
            C q{};
            for (std::size_t j = 0; j < M; ++j)
                for (std::size_t k = 0; k < M; ++k) q += std::conj(a(bin, g, j)) * R[j][k] * a(bin, g, k);
            const double d = s * s * q.real();
            D[g] = d > 0.0 ? d : 0.0;
        }
        const double p0 = *std::max_element(D.begin(), D.end());
        auto norm = [&](const std::vector<std::vector<C>>& X) {
            double n = 0.0;
            for (const auto& row : X)
                for (const C& x : row) n += std::hypot(x.real(), x.imag());
            return n;
        };
        if (p0 > 0.0 && std::isfinite(p0)) {
            const double threshold =
                std::max(std::numeric_limits<double>::epsilon(), std::pow(10.0, stopDb / 10.0) * p0);
            double n = norm(R);
            for (std::uint32_t count = 0; count < iterations; ++count) {
                const std::size_t p = testmodel::argmax(D);
                const double pm = D[p];
                if (threshold >= pm) break;
                std::vector<C> h(M);
                for (std::size_t k = 0; k < M; ++k) {
                    for (std::size_t j = 0; j < M; ++j) h[k] += R[k][j] * a(bin, p, j);
                    h[k] *= s / pm;
                }
                const double removed = pm * gain;
                auto next = R;
                for (std::size_t i = 0; i < M; ++i)
                    for (std::size_t k = 0; k < M; ++k) next[i][k] -= removed * h[i] * std::conj(h[k]);
                for (std::size_t j = 0; j < M; ++j) {
                    for (std::size_t k = j + 1; k < M; ++k) {
                        const C upper = next[j][k], lower = next[k][j];
                        next[j][k] = {(upper.real() + lower.real()) / 2.0,
                                      (upper.imag() - lower.imag()) / 2.0};
                        next[k][j] = std::conj(next[j][k]);
                    }
                }
                const double nextNorm = norm(next);
                if (nextNorm > n * 1.00000001) break;
                R = std::move(next);
                n = nextNorm;
                clean[p] += removed;
                for (std::size_t g = 0; g < G; ++g) {
                    C projection{};
                    for (std::size_t j = 0; j < M; ++j) projection += std::conj(a(bin, g, j)) * h[j];
                    const double d = D[g] - std::norm(s * projection) * removed;
                    D[g] = d > 0.0 ? d : 0.0;
                }
            }
        }
        for (std::size_t g = 0; g < G; ++g) power[g] += clean[g] + D[g];
    }
    return power;
}

// The map against the straight steps at every vector level: two sources with noise over three bins, the
// middle one silent, on an odd number of microphones and a grid that is not a whole number of vectors or
// blocks (23 x 16 = 368 cells); a light loop gain with many steps lets the rounding of each step add up.
TEST(CleanScMap, EqualsTheStraightStepsInDoubleAtEveryVectorLevel) {
    struct Case {
        double gain;
        std::uint32_t iterations;
        double stopDb;
    };
    const auto mics = testmodel::planarArray(21, 0.4, 5);
    const CameraGridSpec grid{44.0, 30.0, 1.0, -1.0, 2.0, 2.0, kFarField};
    const std::vector<double> freqs = {3000.0, 3500.0, 4200.0};
    std::vector<MatrixRows> matrices;
    for (const double f : freqs) {
        MatrixRows R = zeroMatrix(mics.size());
        if (f != 3500.0) {
            addSource(R, testmodel::steeringToward(mics, kSoundSpeed, 7.0, 4.0, f), 1.0);
            addSource(R, testmodel::steeringToward(mics, kSoundSpeed, -12.0, -6.0, f), 0.2);
            addNoise(R, 0.05);
        }
        matrices.push_back(std::move(R));
    }
    for (const Case c : {Case{0.6, 20, -25.0}, Case{0.1, 120, -40.0}}) {
        Beamformer bf(mics, kSoundSpeed);
        const std::vector<double> expected =
            straightCleanSc(bf, matrices, freqs, c.gain, c.iterations, c.stopDb, grid);
        const double peak = *std::max_element(expected.begin(), expected.end());
        for (const VectorLevel level : test::kVectorLevels) {
            const test::VectorLevelCap cap(level);
            if (!test::vectorLevelAvailable(level)) continue;
            SCOPED_TRACE(testing::Message() << vectorLevelName(level) << " gain " << c.gain);
            const HeatmapGrid map = bf.cleanScMap(matrices, freqs, c.gain, c.iterations, c.stopDb, grid);
            ASSERT_EQ(map.power.size(), expected.size());
            for (std::size_t g = 0; g < expected.size(); ++g) {
                ASSERT_NEAR(map.power[g], expected[g], 1e-12 * peak) << "cell " << g;
            }
        }
    }
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
