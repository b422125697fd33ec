#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <stdexcept>
#include <string>

#include "core/beamforming/beamformer.h"
#include "core/beamforming/detail/pair_kernel.h"
#include "core/signal/cross_spectral_matrix.h"
#include "core/signal/spectral_framer.h"
#include "steering_test_model.h"
#include "test_support.h"

namespace zk::core {
namespace {

using C = std::complex<double>;
using testmodel::outerProduct;
using testmodel::planarArray;
using testmodel::planeWaveSteering;
using testmodel::quadraticForm;
using testmodel::randomCsm;
using zk::test::messageOf;
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

MatrixRows identity(std::size_t m) {
    MatrixRows r(m, std::vector<C>(m));
    for (std::size_t i = 0; i < m; ++i) r[i][i] = 1.0;
    return r;
}

TEST(DasPower, ClosedForms) {
    const auto mics = planarArray(8, 0.2);
    const auto w = planeWaveSteering(mics, 3000.0, 10.0, -5.0, 343.0);
    EXPECT_NEAR(Beamformer::dasPower(identity(8), w, false), 1.0 / 8.0, 1e-15);
    EXPECT_EQ(Beamformer::dasPower(identity(8), w, true), 0.0);
    const auto r = outerProduct(w);
    EXPECT_NEAR(Beamformer::dasPower(r, w, false), 1.0, 1e-12);
    EXPECT_NEAR(Beamformer::dasPower(r, w, true), 1.0, 1e-12);
    // Away from the source the response is below 1.
    const auto other = planeWaveSteering(mics, 3000.0, -20.0, 15.0, 343.0);
    EXPECT_LT(Beamformer::dasPower(r, other, false), 0.5);
}

TEST(DasPower, DiagonalRemovalTreatsRoundingResidueAsZero) {
    const std::vector<C> w{1.0, 1.0};
    const MatrixRows tiny{{{1, 0}, {1e-13, 0}}, {{1e-13, 0}, {1, 0}}};
    EXPECT_EQ(Beamformer::dasPower(tiny, w, true), 0.0);
    const MatrixRows small{{{1, 0}, {1e-3, 0}}, {{1e-3, 0}, {1, 0}}};
    EXPECT_NEAR(Beamformer::dasPower(small, w, true), 2e-3 / 2.0, 1e-15);
    const MatrixRows negative{{{1, 0}, {-0.5, 0}}, {{-0.5, 0}, {1, 0}}};
    EXPECT_EQ(Beamformer::dasPower(negative, w, true), 0.0);  // clamped
}

TEST(DasPower, RefusesMismatchedMatricesInAnyRow) {
    const std::vector<C> w(3, 1.0);
    MatrixRows r = identity(3);
    r[2].pop_back();
    EXPECT_EQ(messageOf([&] { Beamformer::dasPower(r, w, false); }), "steering dimension does not match CSM");
    EXPECT_EQ(messageOf([&] { Beamformer::dasPower(identity(2), w, false); }),
              "steering dimension does not match CSM");
    EXPECT_EQ(Beamformer::dasPower({}, {}, false), 0.0);
}

TEST(DasPowerAtDirection, PeaksAtThePlaneWaveDirection) {
    const auto mics = planarArray(16, 0.3, 3);
    Beamformer bf(mics, 343.0);
    const double f = 4000.0, az = 30.0 * std::numbers::pi / 180, el = 0.2;
    // Plane wave along (cos el cos az, cos el sin az, sin el): X_m = exp(+i k dir . r_m).
    std::vector<C> x;
    for (const auto& p : mics) {
        const double proj =
            std::cos(el) * std::cos(az) * p.x + std::cos(el) * std::sin(az) * p.y + std::sin(el) * p.z;
        x.push_back(std::polar(1.0, 2.0 * std::numbers::pi * f / 343.0 * proj));
    }
    const auto r = outerProduct(x);
    EXPECT_NEAR(bf.dasPowerAtDirection(r, f, 30.0, 0.2 * 180 / std::numbers::pi, false), 1.0, 1e-12);
    EXPECT_LT(bf.dasPowerAtDirection(r, f, -60.0, 0.0, false), 0.5);

    const auto map = bf.scanMap(r, f, -90.0, 90.0, 13, 0.2 * 180 / std::numbers::pi, true);
    EXPECT_DOUBLE_EQ(map.peakAzimuthDeg, 30.0);

    EXPECT_EQ(messageOf([&] { bf.dasPowerAtDirection(identity(3), f, 0, 0, false); }),
              "matrix dimension does not match geometry");
    auto shortRow = r;
    shortRow.back().pop_back();
    EXPECT_EQ(messageOf([&] { bf.dasPowerAtDirection(shortRow, f, 0, 0, false); }),
              "matrix dimension does not match geometry");
    for (double bad : {0.0, -10.0, kNaN, kInf}) {
        EXPECT_EQ(messageOf([&] { bf.dasPowerAtDirection(r, bad, 0, 0, false); }),
                  "frequency must be positive");
    }
}

TEST(AzimuthElevationScan, AxesAndRanges) {
    Beamformer bf(planarArray(4, 0.2), 343.0);
    const auto r = identity(4);
    const auto scan = bf.scanMap(r, 1000.0, 0.0, 90.0, 4, 5.0, false);
    EXPECT_EQ(scan.width, 4u);
    EXPECT_EQ(scan.height, 1u);
    EXPECT_EQ(scan.azimuthDeg, (std::vector<double>{0.0, 30.0, 60.0, 90.0}));
    EXPECT_EQ(scan.elevationDeg, (std::vector<double>{5.0}));
    EXPECT_DOUBLE_EQ(scan.representativeFrequencyHz, 1000.0);
    for (double p : scan.power) EXPECT_NEAR(p, 0.25, 1e-15);

    const auto one = bf.azimuthElevationScan(r, 1000.0, -10, 10, 3, 20.0, -20.0, 1, false);
    EXPECT_EQ(one.elevationDeg, (std::vector<double>{20.0}));
    const auto two = bf.azimuthElevationScan(r, 1000.0, -10, 10, 3, -20.0, 20.0, 3, false);
    EXPECT_EQ(two.elevationDeg, (std::vector<double>{-20.0, 0.0, 20.0}));
    EXPECT_EQ(two.power.size(), 9u);

    EXPECT_EQ(messageOf([&] { bf.scanMap(r, 1000.0, 0, 90, 1, 0, false); }), "invalid azimuth scan range");
    EXPECT_EQ(messageOf([&] { bf.scanMap(r, 1000.0, 90, 90, 4, 0, false); }), "invalid azimuth scan range");
    EXPECT_EQ(messageOf([&] { bf.scanMap(r, 1000.0, kNaN, 90, 4, 0, false); }), "invalid azimuth scan range");
    EXPECT_EQ(messageOf([&] { bf.azimuthElevationScan(r, 1000.0, 0, 9, 4, 0, 0, 0, false); }),
              "invalid elevation scan range");
    EXPECT_EQ(messageOf([&] { bf.azimuthElevationScan(r, 1000.0, 0, 9, 4, 5, 5, 2, false); }),
              "invalid elevation scan range");
    EXPECT_EQ(messageOf([&] { bf.azimuthElevationScan(r, 1000.0, 0, 9, 4, kNaN, 5, 1, false); }),
              "invalid elevation scan range");
}

TEST(AzimuthElevationScan, RefusesCountsBeyondWhatCanBeAllocated) {
    const Beamformer bf(planarArray(4, 0.2), 343.0);
    const auto r = identity(4);
    constexpr std::uint64_t kHuge = std::uint64_t{1} << 40;
    EXPECT_EQ(messageOf([&] { bf.scanMap(r, 1000.0, 0, 90, kHuge, 0, false); }),
              "invalid azimuth scan range");
    EXPECT_EQ(messageOf([&] { bf.azimuthElevationScan(r, 1000.0, 0, 9, 4, -5, 5, kHuge, false); }),
              "invalid elevation scan range");
    // Each axis within its bound, the cells beyond theirs.
    EXPECT_EQ(
        messageOf([&] { bf.azimuthElevationScan(r, 1000.0, 0, 9, 1'000'000, -5, 5, 1'000'000, false); }),
        "invalid elevation scan range");
    EXPECT_EQ(bf.scanMap(r, 1000.0, 0, 90, 100'000, 0, false).width, 100'000u);
}

TEST(CameraGridMap, SourceCellAndGridChecks) {
    const auto mics = planarArray(20, 0.3, 5);
    Beamformer bf(mics, 343.0);
    const double f = 5000.0;
    const auto r = outerProduct(planeWaveSteering(mics, f, 12.0, -8.0, 343.0));
    const auto map = bf.cameraGridMap(r, f, 64, 48, 0, 0, 2, 2, false);
    EXPECT_EQ(map.width, 33u);
    EXPECT_EQ(map.height, 25u);
    EXPECT_DOUBLE_EQ(map.peakAzimuthDeg, 12.0);
    EXPECT_DOUBLE_EQ(map.peakElevationDeg, -8.0);
    EXPECT_NEAR(map.power[map.peakIndex], 1.0, 1e-12);
    EXPECT_DOUBLE_EQ(map.representativeFrequencyHz, f);
    EXPECT_EQ(map.binCount, 1u);

    for (double bad : {0.0, kNaN}) {
        EXPECT_EQ(messageOf([&] { bf.cameraGridMap(r, bad, 64, 48, 0, 0, 2, 2, false); }),
                  "frequency must be positive");
    }
    EXPECT_EQ(messageOf([&] { bf.cameraGridMap(r, f, -64, 48, 0, 0, 2, 2, false); }), "invalid camera grid");
    EXPECT_EQ(messageOf([&] { bf.cameraGridMap(r, f, 64, 48, 0, 0, 2, 0, false); }), "invalid camera grid");
    EXPECT_EQ(messageOf([&] { bf.cameraGridMap(r, f, 180, 48, 0, 0, 2, 2, false); }), "invalid camera grid");
}

TEST(BroadbandDas, MatchesBruteForceDoublePrecision) {
    const auto mics = planarArray(40, 0.35, 11);  // 780 pairs: the kernel flushes to double mid-way
    Beamformer bf(mics, 343.0);
    std::mt19937 rng(42);
    const std::vector<double> freqs{2000.0, 3500.0, 6000.0};
    std::vector<MatrixRows> matrices;
    for (double f : freqs) {
        auto r = randomCsm(40, 3, rng);
        const auto src = outerProduct(planeWaveSteering(mics, f, -14.0, 6.0, 343.0));
        for (std::size_t i = 0; i < 40; ++i) {
            for (std::size_t j = 0; j < 40; ++j) r[i][j] += 50.0 * src[i][j];
        }
        matrices.push_back(r);
    }
    for (bool removeDiagonal : {false, true}) {
        const auto map = bf.broadbandDas(matrices, freqs, 50, 36, 2, -1, 3, 3, removeDiagonal, kInf);
        ASSERT_EQ(map.width, 17u);
        ASSERT_EQ(map.height, 13u);
        const double m = 40.0;
        const double divisor = removeDiagonal ? m * (m - 1) : m * m;
        std::vector<double> expected(map.power.size(), 0.0);
        double peak = 0.0;
        for (std::size_t g = 0; g < expected.size(); ++g) {
            for (std::size_t b = 0; b < freqs.size(); ++b) {
                const auto a = planeWaveSteering(mics, freqs[b], map.azimuthDeg[g % map.width],
                                                 map.elevationDeg[g / map.width], 343.0);
                double q = quadraticForm(matrices[b], a);
                if (removeDiagonal) {
                    for (std::size_t i = 0; i < 40; ++i) q -= matrices[b][i][i].real();
                }
                expected[g] += std::max(q / divisor, 0.0);
            }
            peak = std::max(peak, expected[g]);
        }
        for (std::size_t g = 0; g < expected.size(); ++g) {
            EXPECT_NEAR(map.power[g], expected[g], 1e-5 * peak) << g;
        }
        const auto strongest = std::max_element(expected.begin(), expected.end()) - expected.begin();
        EXPECT_EQ(map.peakIndex, static_cast<std::uint64_t>(strongest));
        EXPECT_NEAR(map.peakAzimuthDeg, -14.0, 1.5);
        EXPECT_NEAR(map.peakElevationDeg, 6.0, 1.5);
    }
}

TEST(BroadbandDas, OneBinEqualsCameraGridMap) {
    const auto mics = planarArray(24, 0.3, 13);
    Beamformer bf(mics, 343.0);
    std::mt19937 rng(1);
    const std::vector<MatrixRows> matrices{randomCsm(24, 2, rng)};
    const std::vector<double> freqs{4500.0};
    for (bool removeDiagonal : {false, true}) {
        const auto a = bf.cameraGridMap(matrices[0], freqs[0], 40, 30, 0, 0, 2, 2, removeDiagonal);
        const auto b = bf.broadbandDas(matrices, freqs, 40, 30, 0, 0, 2, 2, removeDiagonal, kInf);
        ASSERT_EQ(a.power.size(), b.power.size());
        EXPECT_EQ(a.azimuthDeg, b.azimuthDeg);
        EXPECT_EQ(a.elevationDeg, b.elevationDeg);
        const double peak = a.power[a.peakIndex];
        for (std::size_t g = 0; g < a.power.size(); ++g) EXPECT_NEAR(a.power[g], b.power[g], 1e-5 * peak);
        EXPECT_EQ(a.peakIndex, b.peakIndex);
    }
}

TEST(BroadbandDas, StampsAndZeroBand) {
    Beamformer bf(planarArray(6, 0.2), 343.0);
    const std::vector<double> freqs{500.0, 600.0, 700.0, 800.0};
    const std::vector<MatrixRows> zeros(4, MatrixRows(6, std::vector<C>(6)));
    const auto map = bf.broadbandDas(zeros, freqs, 64, 48, 0, 0, 2, 2, true, kInf);
    EXPECT_DOUBLE_EQ(map.representativeFrequencyHz, 700.0);
    EXPECT_DOUBLE_EQ(map.firstFrequencyHz, 500.0);
    EXPECT_DOUBLE_EQ(map.lastFrequencyHz, 800.0);
    EXPECT_EQ(map.binCount, 4u);
    EXPECT_EQ(map.width, 33u);
    EXPECT_EQ(map.height, 25u);
    for (double p : map.power) EXPECT_EQ(p, 0.0);
    for (double d : map.db) EXPECT_EQ(d, -240.0);
    EXPECT_EQ(map.peakDb, -240.0);

    // R = I without diagonal removal: every cell and bin gives M / M^2.
    std::vector<MatrixRows> ones(4, identity(6));
    const auto flat = bf.broadbandDas(ones, freqs, 10, 10, 0, 0, 5, 5, false, 2.0);
    for (double p : flat.power) EXPECT_NEAR(p, 4.0 / 6.0, 1e-9);
}

TEST(BroadbandDas, RefusesBadInputInOrder) {
    Beamformer bf(planarArray(3, 0.2), 343.0);
    const MatrixRows ok = identity(3);
    const std::vector<MatrixRows> one{ok};
    const std::vector<double> f1{1000.0};
    auto run = [&](std::span<const MatrixRows> m, std::span<const double> f, double hs, double hstep,
                   double focus = kInf) {
        return messageOf([&] { bf.broadbandDas(m, f, hs, 20, 0, 0, hstep, 2, true, focus); });
    };
    EXPECT_EQ(run({}, {}, -1, 2), "invalid broadband matrix/frequency band");
    EXPECT_EQ(run(one, {}, 20, 2), "invalid broadband matrix/frequency band");
    EXPECT_EQ(run(one, f1, -20, 2), "invalid camera grid");
    EXPECT_EQ(run(one, f1, 20, 0), "invalid camera grid");
    EXPECT_EQ(run(one, f1, 180, 2), "invalid camera grid");
    EXPECT_EQ(run(one, f1, kNaN, 2), "invalid camera grid");
    EXPECT_EQ(run(one, f1, 20, 2, kNaN), "invalid camera grid");
    for (double bad : {0.0, kNaN, kInf}) {
        const std::vector<double> f{bad};
        EXPECT_EQ(run(one, f, 20, 2), "invalid broadband matrix bin");
    }
    const std::vector<MatrixRows> wrongRows{identity(2)};
    EXPECT_EQ(run(wrongRows, f1, 20, 2), "invalid broadband matrix bin");
    MatrixRows shortLast = ok;
    shortLast[2].resize(2);
    const std::vector<MatrixRows> bad{shortLast};
    EXPECT_EQ(run(bad, f1, 20, 2), "invalid broadband spectral matrix");
}

TEST(PairKernel, MatchesPairSumOverUnevenBlocks) {
    std::mt19937 rng(9);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    const std::size_t m = 37, g_count = 50, first = 3, end = 48;  // 32 + 8 + scalar tail
    std::vector<float> re(m * g_count), im(m * g_count);
    for (std::size_t i = 0; i < re.size(); ++i) {
        const float phase = 3.0f * u(rng);
        re[i] = std::cos(phase);
        im[i] = std::sin(phase);
    }
    const std::size_t pairs = m * (m - 1) / 2;
    std::vector<float> xr(pairs), xi(pairs);
    for (std::size_t p = 0; p < pairs; ++p) {
        xr[p] = u(rng);
        xi[p] = u(rng);
    }
    std::vector<float> scratch(end - first, 123.0f);  // garbage the kernel must clear
    std::vector<double> acc(end - first, 5.0);        // added to, not cleared
    detail::accumulatePairQuadraticForm(re, im, m, g_count, first, end, xr, xi, scratch, acc);
    for (std::size_t g = first; g < end; ++g) {
        double expected = 5.0;
        std::size_t p = 0;
        for (std::size_t r = 0; r < m; ++r) {
            for (std::size_t k = r + 1; k < m; ++k, ++p) {
                const C ar(re[r * g_count + g], im[r * g_count + g]);
                const C ak(re[k * g_count + g], im[k * g_count + g]);
                expected += (std::conj(ar) * C(xr[p], xi[p]) * ak).real();
            }
        }
        EXPECT_NEAR(acc[g - first], expected, 2e-4) << g;
    }
}

// Direction and sign end to end: int16 plane waves from two mirrored directions, framed with the
// Hann framer, summed into one cross-spectral matrix per bin, mapped on the camera grid.
TEST(BroadbandDas, PeakAtSourceDirectionFromSyntheticSamples) {
    const auto mics = planarArray(24, 0.3, 31);
    Beamformer bf(mics, 343.0);
    const double fs = 48000.0;
    const std::size_t n = 512;
    const std::vector<std::uint64_t> bins{40, 50, 60};
    std::vector<double> freqs;
    for (auto k : bins) freqs.push_back(static_cast<double>(k) * fs / static_cast<double>(n));
    const SpectralFramer framer(n, n / 2);
    for (const auto& [h, v] : {std::pair{14.0, -10.0}, std::pair{-14.0, 10.0}}) {
        const auto samples = testmodel::planeWaveSamples(mics, h, v, freqs, 3000.0, fs, n * 9, 343.0);
        const auto frames = framer.frame(samples, mics.size());
        ASSERT_EQ(frames.size(), 17u);
        std::vector<MatrixRows> matrices;
        for (auto k : bins) {
            CrossSpectralMatrix csm(mics.size());
            for (const auto& frame : frames) csm.addFrameBins(frame, k, k + 1);
            matrices.push_back(csm.toRows());
        }
        for (bool removeDiagonal : {true, false}) {
            const auto map = bf.broadbandDas(matrices, freqs, 64, 48, 0, 0, 2, 2, removeDiagonal, kInf);
            EXPECT_DOUBLE_EQ(map.peakAzimuthDeg, h);
            EXPECT_DOUBLE_EQ(map.peakElevationDeg, v);
            // The mirrored cell is far down: the sign convention is not ambiguous.
            const std::size_t mirror =
                static_cast<std::size_t>((-v + 24) / 2) * map.width + static_cast<std::size_t>((-h + 32) / 2);
            EXPECT_LT(map.relativeDb[mirror], -6.0);
        }
    }
}

}  // namespace
}  // namespace zk::core
