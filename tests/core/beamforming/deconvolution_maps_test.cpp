#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/beamforming/beamformer.h"
#include "core/beamforming/deconvolution_solvers.h"
#include "core/beamforming/detail/coarse_grid.h"
#include "deconvolution_reference.h"
#include "steering_test_model.h"
#include "test_support.h"

namespace zk::core {
namespace {

using zk::test::expectThrowExactly;

constexpr double kSoundSpeed = 343.0;
constexpr double kInf = std::numeric_limits<double>::infinity();

std::vector<MicrophonePosition> diskArray(std::size_t count, double radius, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    std::vector<MicrophonePosition> mics;
    while (mics.size() < count) {
        const double x = (2.0 * u(rng) - 1.0) * radius;
        const double y = (2.0 * u(rng) - 1.0) * radius;
        if (x * x + y * y <= radius * radius) mics.push_back({x, y, 0.0});
    }
    return mics;
}

// Far-field wave from a camera direction, from the independent pinhole model.
std::vector<std::complex<double>> planeWave(const std::vector<MicrophonePosition>& mics, double f,
                                            double hDeg, double vDeg) {
    return testmodel::steeringToward(mics, kSoundSpeed, hDeg, vDeg, f);
}

struct Source {
    double hDeg;
    double vDeg;
    double power;
};

std::vector<MatrixRows> bandMatrices(const std::vector<MicrophonePosition>& mics,
                                     const std::vector<double>& freqs, const std::vector<Source>& sources) {
    std::vector<MatrixRows> out;
    for (double f : freqs) {
        MatrixRows r = testmodel::zeroMatrix(mics.size());
        for (const Source& s : sources) testmodel::addSource(r, planeWave(mics, f, s.hDeg, s.vDeg), s.power);
        out.push_back(std::move(r));
    }
    return out;
}

std::size_t cellOf(const HeatmapGrid& g, double hDeg, double vDeg) {
    std::size_t col = 0, row = 0;
    for (std::size_t c = 0; c < g.width; ++c) {
        if (std::abs(g.azimuthDeg[c] - hDeg) < std::abs(g.azimuthDeg[col] - hDeg)) col = c;
    }
    for (std::size_t r = 0; r < g.height; ++r) {
        if (std::abs(g.elevationDeg[r] - vDeg) < std::abs(g.elevationDeg[row] - vDeg)) row = r;
    }
    return row * g.width + col;
}

class DeconvolutionMaps : public ::testing::Test {
  protected:
    // 40 x 30 degrees at 2 degrees: 21 columns x 16 rows, axes -20..20 and -15..15.
    static constexpr double kH = 40.0, kV = 30.0, kStep = 2.0;
    std::vector<MicrophonePosition> mics = diskArray(24, 0.3, 7);
    Beamformer beamformer{diskArray(24, 0.3, 7), kSoundSpeed};
    std::vector<double> freqs = {5000.0, 6000.0, 7000.0};

    HeatmapGrid run(std::int32_t id, const std::vector<MatrixRows>& r, std::uint32_t iterations,
                    std::uint32_t stride, double first, double second = 0.0, double hSpan = kH,
                    double step = kStep) const {
        return beamformer.deconvolutionMap(r, freqs, id, iterations, stride, first, second, hSpan, kV, 0.0,
                                           0.0, step, step, kInf);
    }
};

TEST(CoarseGrid, SampledLinesIncludeLastLine) {
    using L = std::vector<std::uint64_t>;
    EXPECT_EQ(detail::coarseGridLines(12, 5), (L{0, 5, 10, 11}));
    EXPECT_EQ(detail::coarseGridLines(10, 3), (L{0, 3, 6, 9}));
    EXPECT_EQ(detail::coarseGridLines(4, 1), (L{0, 1, 2, 3}));
    EXPECT_EQ(detail::coarseGridLines(5, 10), (L{0, 4}));
    EXPECT_EQ(detail::coarseGridLines(1, 3), (L{0}));
    EXPECT_TRUE(detail::coarseGridLines(0, 3).empty());
    // Column-major over the sampled lines: every sampled row of the first sampled column first.
    EXPECT_EQ(detail::coarseGridPoints(L{0, 2}, L{0, 3, 4}, 5), (L{0, 10, 3, 13, 4, 14}));
}

TEST_F(DeconvolutionMaps, PointSpreadMatrixMatchesSteeringModel) {
    const auto cache = beamformer.steeringCacheFor(freqs, kH, kV, 0.0, 0.0, kStep, kStep, kInf);
    const std::vector<std::uint64_t> points =
        detail::coarseGridPoints(detail::coarseGridLines(16, 3), detail::coarseGridLines(21, 3), 21);
    const std::size_t n = points.size();
    const std::vector<double> p = Beamformer::pointSpreadMatrix(*cache, points);
    ASSERT_EQ(p.size(), n * n);
    const std::size_t m = mics.size();
    for (std::size_t i = 0; i < n; ++i) {
        EXPECT_EQ(p[i * n + i], 1.0);
        for (std::size_t j = 0; j < n; ++j) {
            EXPECT_GE(p[j * n + i], 0.0);
            EXPECT_LE(p[j * n + i], 1.0 + 1e-9);
            EXPECT_NEAR(p[j * n + i], p[i * n + j], 1e-6);
        }
    }
    // Brute force in double from the geometry: mean over bins of |a_j^H a_i / M|^2.
    auto direction = [&](std::uint64_t point) {
        return std::pair{cache->horizontalAxis[point % 21], cache->verticalAxis[point / 21]};
    };
    for (std::size_t i : {std::size_t{0}, std::size_t{5}, n - 1}) {
        for (std::size_t j : {std::size_t{1}, std::size_t{6}, n / 2}) {
            double expected = 0.0;
            for (double f : freqs) {
                const auto [hi, vi] = direction(points[i]);
                const auto [hj, vj] = direction(points[j]);
                const auto ai = planeWave(mics, f, hi, vi);
                const auto aj = planeWave(mics, f, hj, vj);
                std::complex<double> g = 0.0;
                for (std::size_t k = 0; k < m; ++k) g += std::conj(aj[k]) * ai[k];
                expected += std::norm(g / static_cast<double>(m)) / static_cast<double>(freqs.size());
            }
            EXPECT_NEAR(p[j * n + i], expected, 1e-5) << i << "," << j;
        }
    }
}

TEST_F(DeconvolutionMaps, PointSpreadMatrixEdgeCases) {
    const auto cache = beamformer.steeringCacheFor(freqs, kH, kV, 0.0, 0.0, kStep, kStep, kInf);
    // Two coarse points with identical steering see each other fully.
    const std::vector<std::uint64_t> twice = {40, 40};
    EXPECT_EQ(Beamformer::pointSpreadMatrix(*cache, twice), (std::vector<double>{1.0, 1.0, 1.0, 1.0}));
    EXPECT_TRUE(Beamformer::pointSpreadMatrix(*cache, std::vector<std::uint64_t>{}).empty());
}

TEST_F(DeconvolutionMaps, InputFailuresInOrder) {
    const auto r = bandMatrices(mics, freqs, {{0.0, 0.0, 1.0}});
    expectThrowExactly<std::invalid_argument>([&] { run(10, {}, 10, 3, 1.0); },
                                              "invalid broadband matrix/frequency band");
    auto shortRow = r;
    shortRow[1][2].pop_back();
    expectThrowExactly<std::invalid_argument>([&] { run(10, shortRow, 0, 0, 1.0, 0.0, 0.0); },
                                              "invalid broadband spectral matrix");
    expectThrowExactly<std::invalid_argument>([&] { run(10, r, 0, 3, 1.0, 0.0, 0.0); },
                                              "invalid camera grid");
    expectThrowExactly<std::invalid_argument>([&] { run(10, r, 0, 3, 1.0, 0.0, kH, -1.0); },
                                              "invalid camera grid");
    expectThrowExactly<std::invalid_argument>([&] { run(10, r, 0, 3, 1.0); },
                                              "invalid deconvolution parameters");
    expectThrowExactly<std::invalid_argument>([&] { run(12, r, 10, 0, 1e-4); },
                                              "invalid deconvolution parameters");
    expectThrowExactly<std::invalid_argument>([&] { run(9, r, 10, 3, 1.0); },
                                              "invalid deconvolution parameters");

    expectThrowExactly<std::invalid_argument>([&] { run(10, r, 5, 3, 2.0000001); },
                                              "invalid DAMAS relaxation");
    expectThrowExactly<std::invalid_argument>([&] { run(10, r, 5, 3, 0.0); }, "invalid DAMAS relaxation");
    expectThrowExactly<std::invalid_argument>([&] { run(10, r, 5, 3, std::nan("")); },
                                              "invalid DAMAS relaxation");
    expectThrowExactly<std::invalid_argument>([&] { run(11, r, 5, 3, 0.0); },
                                              "invalid DAMAS-FISTA tolerance");
    expectThrowExactly<std::invalid_argument>([&] { run(12, r, 5, 3, kInf); }, "invalid NNLS tolerance");
    expectThrowExactly<std::invalid_argument>([&] { run(13, r, 5, 3, -0.1, 1e-4); },
                                              "invalid Sparse-FISTA parameters");
    expectThrowExactly<std::invalid_argument>([&] { run(13, r, 5, 3, 0.02, 0.0); },
                                              "invalid Sparse-FISTA parameters");
    expectThrowExactly<std::invalid_argument>([&] { run(14, r, 5, 4, 0.0, 1e-5); }, "invalid SBL parameters");
    expectThrowExactly<std::invalid_argument>([&] { run(14, r, 5, 4, 1e-3, 1.0); }, "invalid SBL parameters");

    EXPECT_NO_THROW(run(10, r, 5, 3, 2.0));
    EXPECT_NO_THROW(run(13, r, 5, 3, 0.0, 1e-4));
}

TEST_F(DeconvolutionMaps, RefusesCoarseGridsBeyondTheBound) {
    // 64 x 48 degrees at 0.5 degrees: 129 x 97 points, all of them coarse points at stride 1.
    const auto r = bandMatrices(mics, freqs, {{0.0, 0.0, 1.0}});
    const auto fine = [&](std::int32_t id, std::uint32_t stride, double first, double second) {
        return beamformer.deconvolutionMap(r, freqs, id, 5, stride, first, second, 64.0, 48.0, 0.0, 0.0, 0.5,
                                           0.5, kInf);
    };
    for (std::int32_t id = 10; id <= 14; ++id) {
        expectThrowExactly<std::invalid_argument>(
            [&] { fine(id, 1, id == 10 ? 1.0 : (id == 14 ? 1e-3 : 1e-4), 1e-4); },
            "deconvolution coarse grid has more than 8192 points: use a larger stride");
    }
    // The default stride keeps the finest shell grid well inside the bound (43 x 33 points).
    EXPECT_EQ(fine(12, 3, 1e-4, 0.0).width, 129u);
}

TEST_F(DeconvolutionMaps, SilentBandGivesEmptyMap) {
    const std::vector<MatrixRows> silent(
        freqs.size(), MatrixRows(mics.size(), std::vector<std::complex<double>>(mics.size())));
    for (std::int32_t id = 10; id <= 14; ++id) {
        const HeatmapGrid g = run(id, silent, 10, 3, id == 10 ? 1.0 : (id >= 13 ? 1e-3 : 1e-4), 1e-4);
        EXPECT_EQ(g.peakDb, -240.0);
        EXPECT_EQ(g.power, std::vector<double>(21 * 16, 0.0));
    }
}

TEST_F(DeconvolutionMaps, StrideOneCopiesSolutionPointForPoint) {
    const auto r = bandMatrices(mics, freqs, {{4.0, -2.0, 1.0}, {-10.0, 6.0, 0.5}});
    const HeatmapGrid g = run(12, r, 20, 1, 1e-4);
    const auto cache = beamformer.steeringCacheFor(freqs, kH, kV, 0.0, 0.0, kStep, kStep, kInf);
    const auto points =
        detail::coarseGridPoints(detail::coarseGridLines(16, 1), detail::coarseGridLines(21, 1), 21);
    const std::vector<double> b = reference::dasData(
        r, reference::floatSteering(mics, testmodel::Grid{kH, kV, 0.0, 0.0, kStep, kStep}, freqs, points));
    const auto x = nnlsSolve(Beamformer::pointSpreadMatrix(*cache, points), b, 20, 1e-4);
    for (std::size_t k = 0; k < points.size(); ++k)
        EXPECT_NEAR(g.power[points[k]], std::max(0.0, x[k]), 1e-12);
    EXPECT_EQ(g.width, 21u);
    EXPECT_EQ(g.height, 16u);
    EXPECT_EQ(g.azimuthDeg, cache->horizontalAxis);
    EXPECT_EQ(g.elevationDeg, cache->verticalAxis);
    EXPECT_EQ(g.representativeFrequencyHz, 6000.0);
    EXPECT_EQ(g.firstFrequencyHz, 5000.0);
    EXPECT_EQ(g.lastFrequencyHz, 7000.0);
    EXPECT_EQ(g.binCount, 3u);
}

TEST_F(DeconvolutionMaps, StrideBeyondGridInterpolatesBilinearlyFromCorners) {
    const auto r = bandMatrices(mics, freqs, {{-16.0, 10.0, 1.0}, {20.0, -15.0, 0.7}});
    // At a 5-degree step the grid has 9 x 7 points, so the largest stride samples only its corners.
    const HeatmapGrid g = run(10, r, 30, 8, 1.0, 0.0, kH, 5.0);
    const std::size_t w = g.width, h = g.height;
    const double c00 = g.power[0], c01 = g.power[w - 1], c10 = g.power[(h - 1) * w], c11 = g.power[h * w - 1];
    EXPECT_GT(c00 + c01 + c10 + c11, 0.0);
    for (std::size_t row = 0; row < h; ++row) {
        const double tr = static_cast<double>(row) / static_cast<double>(h - 1);
        for (std::size_t col = 0; col < w; ++col) {
            const double tc = static_cast<double>(col) / static_cast<double>(w - 1);
            const double expected =
                (1 - tr) * (1 - tc) * c00 + (1 - tr) * tc * c01 + tr * (1 - tc) * c10 + tr * tc * c11;
            EXPECT_NEAR(g.power[row * w + col], expected, 1e-12);
        }
    }
}

TEST_F(DeconvolutionMaps, SingleSourcePeaksAtItsCell) {
    // (-8, 5) lies on the sampled lines of strides 1 and 2 (column 6 from -20, row 10 from -15).
    const auto r = bandMatrices(mics, freqs, {{-8.0, 5.0, 2.0}});
    for (std::uint32_t stride : {1u, 2u}) {
        const HeatmapGrid maps[] = {run(10, r, 30, stride, 1.0), run(11, r, 40, stride, 1e-4),
                                    run(12, r, 50, stride, 1e-4), run(13, r, 60, stride, 0.02, 1e-4),
                                    run(14, r, 15, 2, 1e-3, 1e-5)};
        for (const HeatmapGrid& g : maps) {
            EXPECT_EQ(g.peakIndex, cellOf(g, -8.0, 5.0)) << "stride " << stride;
            EXPECT_NEAR(g.peakAzimuthDeg, -8.0, 1e-9);
            EXPECT_NEAR(g.peakElevationDeg, 5.0, 1e-9);
        }
    }
}

TEST_F(DeconvolutionMaps, TwoSeparatedSourcesGiveTwoPeaks) {
    const auto r = bandMatrices(mics, freqs, {{-12.0, -5.0, 1.0}, {10.0, 7.0, 1.0}});
    const HeatmapGrid maps[] = {run(10, r, 30, 1, 1.0), run(11, r, 40, 1, 1e-4), run(12, r, 50, 1, 1e-4),
                                run(13, r, 60, 1, 0.02, 1e-4), run(14, r, 15, 1, 1e-3, 1e-5)};
    for (std::int32_t k = 0; k < 5; ++k) {
        const HeatmapGrid& g = maps[k];
        const std::size_t a = cellOf(g, -12.0, -5.0), b = cellOf(g, 10.0, 7.0), mid = cellOf(g, -1.0, 1.0);
        EXPECT_GT(g.relativeDb[a], -3.0) << "id " << 10 + k;
        EXPECT_GT(g.relativeDb[b], -3.0) << "id " << 10 + k;
        EXPECT_LT(g.relativeDb[mid], -10.0) << "id " << 10 + k;
        EXPECT_TRUE(g.peakIndex == a || g.peakIndex == b);
    }
}

}  // namespace
}  // namespace zk::core
