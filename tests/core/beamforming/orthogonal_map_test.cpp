#include <gtest/gtest.h>

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

using zk::test::expectThrowExactly;

using namespace testmodel;

constexpr double kSpeed = 343.0;
constexpr double kInf = std::numeric_limits<double>::infinity();

struct OrthogonalFixture {
    std::vector<MicrophonePosition> mics = spiralArray(20, 0.2);
    Beamformer beamformer{spiralArray(20, 0.2), kSpeed};
    Grid grid;

    Vec steer(std::uint64_t cell, double f) const { return steering(mics, kSpeed, grid, cell, f); }

    HeatmapGrid map(const std::vector<MatrixRows>& m, const std::vector<double>& f, std::uint32_t modes,
                    double threshold) const {
        return beamformer.orthogonalMap(m, f, modes, threshold, grid.hSpan, grid.vSpan, grid.hCentre,
                                        grid.vCentre, grid.hStep, grid.vStep, grid.focus);
    }
};

double total(const HeatmapGrid& grid) { return std::accumulate(grid.power.begin(), grid.power.end(), 0.0); }

TEST(OrthogonalMap, RankOnePutsMTimesSourcePowerOnTheSourceCellPerBin) {
    OrthogonalFixture fx;
    const std::uint64_t cell = fx.grid.cell(3, 15);
    const std::vector<double> freqs = {2500.0, 3000.0, 3500.0};
    const double s2 = 0.7;
    std::vector<MatrixRows> matrices;
    for (double f : freqs) matrices.push_back(mixture({{fx.steer(cell, f), s2}}, 0.0, fx.mics.size()));

    const HeatmapGrid map = fx.map(matrices, freqs, 6, 1e-4);
    const double M = static_cast<double>(fx.mics.size());
    EXPECT_EQ(map.peakIndex, cell);
    EXPECT_NEAR(map.power[cell], freqs.size() * M * s2, 1e-9);
    EXPECT_NEAR(total(map), map.power[cell], 1e-9);
    EXPECT_EQ(map.binCount, 3u);
    EXPECT_DOUBLE_EQ(map.representativeFrequencyHz, 3000.0);
    EXPECT_EQ(map.width, fx.grid.columns());
    EXPECT_EQ(map.height, fx.grid.rows());
}

TEST(OrthogonalMap, SeparatedSourcesEachGetTheirMode) {
    OrthogonalFixture fx;
    const std::uint64_t a = fx.grid.cell(1, 2);
    const std::uint64_t b = fx.grid.cell(9, 18);
    const std::vector<double> freqs = {4000.0};
    const std::vector<MatrixRows> matrices = {
        mixture({{fx.steer(a, freqs[0]), 2.0}, {fx.steer(b, freqs[0]), 1.0}}, 0.0, fx.mics.size())};
    const HeatmapGrid map = fx.map(matrices, freqs, 6, 1e-4);
    const double M = static_cast<double>(fx.mics.size());
    EXPECT_EQ(map.peakIndex, a);
    EXPECT_GT(map.power[b], 0.0);
    // Noise-free rank two: the two eigenvalues sum to the trace M (2 + 1).
    EXPECT_NEAR(total(map), 3.0 * M, 1e-9);
    EXPECT_NEAR(map.power[a] + map.power[b], 3.0 * M, 1e-9);
    // One mode only: just the strongest eigenvalue, on the strongest source.
    const HeatmapGrid one = fx.map(matrices, freqs, 1, 1e-4);
    EXPECT_EQ(one.peakIndex, a);
    EXPECT_DOUBLE_EQ(one.power[b], 0.0);
}

TEST(OrthogonalMap, ThresholdSelectsTheModesThatCount) {
    OrthogonalFixture fx;
    const std::uint64_t cell = fx.grid.cell(5, 10);
    const std::vector<double> freqs = {3000.0};
    const double noise = 0.01;
    const std::vector<MatrixRows> matrices = {
        mixture({{fx.steer(cell, freqs[0]), 1.0}}, noise, fx.mics.size())};
    const double M = static_cast<double>(fx.mics.size());
    // Eigenvalues: M + noise once, noise M - 1 times.
    EXPECT_NEAR(total(fx.map(matrices, freqs, 6, 0.0)), M + 6.0 * noise, 1e-9);
    EXPECT_NEAR(total(fx.map(matrices, freqs, 32, 0.0)), M + M * noise, 1e-9);
    EXPECT_NEAR(total(fx.map(matrices, freqs, 6, 1e-4)), M + 6.0 * noise, 1e-9);
    EXPECT_NEAR(total(fx.map(matrices, freqs, 6, 1e-3)), M + noise, 1e-9);
    EXPECT_EQ(fx.map(matrices, freqs, 6, 1e-3).peakIndex, cell);
    // Above 1 no eigenvalue reaches the cut: an empty map.
    const HeatmapGrid none = fx.map(matrices, freqs, 6, 1.5);
    EXPECT_DOUBLE_EQ(total(none), 0.0);
    EXPECT_DOUBLE_EQ(none.peakDb, -240.0);
}

TEST(OrthogonalMap, UniformResponsePlacesEveryModeAtTheFirstPoint) {
    // Coincident microphones see every direction alike, so each mode's response is flat.
    const Beamformer beamformer({{0.0, 0.0, 0.0}, {0.0, 0.0, 0.0}}, kSpeed);
    const std::vector<MatrixRows> matrices = {MatrixRows{{cd{3.0, 0.0}, cd{}}, {cd{}, cd{1.0, 0.0}}}};
    const std::vector<double> freqs = {1000.0};
    const HeatmapGrid map =
        beamformer.orthogonalMap(matrices, freqs, 8, 0.0, 10.0, 10.0, 0, 0, 5.0, 5.0, kInf);
    ASSERT_EQ(map.power.size(), 9u);
    EXPECT_DOUBLE_EQ(map.power[0], 4.0);
    EXPECT_DOUBLE_EQ(total(map), 4.0);
}

TEST(OrthogonalMap, BinsWithoutPositiveEigenvaluesOrDecompositionAddNothing) {
    OrthogonalFixture fx;
    const std::uint64_t cell = fx.grid.cell(2, 4);
    const std::size_t M = fx.mics.size();
    const std::vector<double> freqs = {3000.0, 3500.0, 4000.0};
    MatrixRows good = mixture({{fx.steer(cell, freqs[1]), 1.0}}, 0.0, M);
    MatrixRows zero(M, std::vector<cd>(M, cd{}));
    MatrixRows negative = mixture({}, -1.0, M);
    MatrixRows broken = good;
    broken[0][0] = {std::numeric_limits<double>::infinity(), 0.0};
    const std::vector<MatrixRows> matrices = {zero, good, negative};
    const HeatmapGrid map = fx.map(matrices, freqs, 4, 0.0);
    EXPECT_EQ(map.peakIndex, cell);
    EXPECT_NEAR(total(map), static_cast<double>(M), 1e-9);
    const std::vector<MatrixRows> unusable = {zero, negative, broken};
    EXPECT_DOUBLE_EQ(fx.map(unusable, freqs, 4, 0.0).peakDb, -240.0);
}

TEST(OrthogonalMap, RejectsBadInputWithItsMessage) {
    OrthogonalFixture fx;
    const std::size_t M = fx.mics.size();
    const std::vector<MatrixRows> matrices = {mixture({}, 1.0, M)};
    const std::vector<double> freqs = {1000.0};
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Beamformer& bf = fx.beamformer;

    expectThrowExactly<std::invalid_argument>(
        [&] { bf.orthogonalMap({}, {}, 0, nan, 0, 0, 0, 0, 0, 0, kInf); },
        "invalid broadband matrix/frequency band");
    expectThrowExactly<std::invalid_argument>(
        [&] { bf.orthogonalMap(matrices, std::vector<double>{-5.0}, 0, nan, 0, 0, 0, 0, 0, 0, kInf); },
        "invalid broadband matrix bin");
    const std::vector<MatrixRows> short_ = {mixture({}, 1.0, M - 1)};
    expectThrowExactly<std::invalid_argument>(
        [&] { bf.orthogonalMap(short_, freqs, 6, 1e-4, 40, 20, 0, 0, 2, 2, kInf); },
        "invalid broadband matrix bin");
    for (const double bad : {0.0, -1.0, nan}) {
        expectThrowExactly<std::invalid_argument>(
            [&] { bf.orthogonalMap(matrices, freqs, 0, nan, 40, bad, 0, 0, 2, 2, kInf); },
            "invalid camera grid");
        expectThrowExactly<std::invalid_argument>(
            [&] { bf.orthogonalMap(matrices, freqs, 0, nan, 40, 20, 0, 0, bad, 2, kInf); },
            "invalid camera grid");
    }
    expectThrowExactly<std::invalid_argument>(
        [&] { bf.orthogonalMap(matrices, freqs, 0, 1e-4, 40, 20, 0, 0, 2, 2, kInf); },
        "invalid Orthogonal parameters");
    for (const double bad : {-1e-9, nan, kInf}) {
        expectThrowExactly<std::invalid_argument>(
            [&] { bf.orthogonalMap(matrices, freqs, 6, bad, 40, 20, 0, 0, 2, 2, kInf); },
            "invalid Orthogonal parameters");
    }
}

}  // namespace
}  // namespace zk::core
