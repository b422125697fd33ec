#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/beamforming/beamformer.h"
#include "core/beamforming/beamforming_parameters.h"
#include "core/beamforming/compute_beamforming_map.h"
#include "steering_test_model.h"
#include "test_support.h"

namespace zk::core {
namespace {

using zk::test::expectThrowExactly;

using namespace testmodel;

constexpr double kSpeed = 343.0;

struct MusicFixture {
    std::vector<MicrophonePosition> mics = spiralArray(24, 0.15);
    Beamformer beamformer{spiralArray(24, 0.15), kSpeed};
    Grid grid;

    Vec steer(std::uint64_t cell, double f) const { return steering(mics, kSpeed, grid, cell, f); }

    std::vector<MatrixRows> band(const std::vector<std::uint64_t>& cells, const std::vector<double>& freqs,
                                 double noise) const {
        std::vector<MatrixRows> out;
        for (double f : freqs) {
            std::vector<Source> sources;
            for (std::uint64_t cell : cells) sources.push_back({steer(cell, f), 1.0});
            out.push_back(mixture(sources, noise, mics.size()));
        }
        return out;
    }

    HeatmapGrid fixed(const std::vector<MatrixRows>& m, const std::vector<double>& f, std::uint32_t k,
                      double floor = 1e-14) const {
        return beamformer.fixedMusicMap(m, f, k, floor, grid.hSpan, grid.vSpan, grid.hCentre, grid.vCentre,
                                        grid.hStep, grid.vStep, grid.focus);
    }

    HeatmapGrid automatic(const std::vector<MatrixRows>& m, const std::vector<double>& f,
                          std::uint64_t snapshots = 1000, std::uint32_t maxSources = 8,
                          std::uint32_t estimator = 1) const {
        return beamformer.autoMusicMap(m, f, snapshots, maxSources, estimator, 1e-14, 1e-12, grid.hSpan,
                                       grid.vSpan, grid.hCentre, grid.vCentre, grid.hStep, grid.vStep,
                                       grid.focus);
    }
};

const std::vector<double> kFreqs = {3000.0, 3500.0, 4000.0, 4500.0};

TEST(MusicMap, PeaksOnTheCellOfASingleOnGridSource) {
    MusicFixture fx;
    for (const std::uint64_t cell : {fx.grid.cell(5, 10), fx.grid.cell(2, 3), fx.grid.cell(9, 17)}) {
        const auto matrices = fx.band({cell}, kFreqs, 0.05);
        const HeatmapGrid fixedMap = fx.fixed(matrices, kFreqs, 1);
        EXPECT_EQ(fixedMap.peakIndex, cell);
        EXPECT_EQ(fixedMap.width, fx.grid.columns());
        EXPECT_EQ(fixedMap.height, fx.grid.rows());
        EXPECT_EQ(fixedMap.estimatedSourceCount, 0u);
        const HeatmapGrid autoMap = fx.automatic(matrices, kFreqs);
        EXPECT_EQ(autoMap.peakIndex, cell);
        EXPECT_EQ(autoMap.estimatedSourceCount, 1u);
    }
}

TEST(MusicMap, FocusedGridPeaksOnTheSourceCell) {
    MusicFixture fx;
    fx.grid.focus = 1.5;
    const std::uint64_t cell = fx.grid.cell(3, 14);
    const HeatmapGrid map = fx.fixed(fx.band({cell}, kFreqs, 0.05), kFreqs, 1);
    EXPECT_EQ(map.peakIndex, cell);
}

TEST(MusicMap, SummedPeakEqualsBinCountAndStampsTheBand) {
    MusicFixture fx;
    const std::uint64_t cell = fx.grid.cell(4, 12);
    const HeatmapGrid map = fx.fixed(fx.band({cell}, kFreqs, 0.1), kFreqs, 1);
    // Every bin is normalised to its own maximum, which all bins place on the source cell.
    EXPECT_NEAR(map.power[cell], static_cast<double>(kFreqs.size()), 1e-12);
    EXPECT_DOUBLE_EQ(map.peakDb, 10.0 * std::log10(map.power[cell]));
    EXPECT_EQ(map.binCount, kFreqs.size());
    EXPECT_DOUBLE_EQ(map.representativeFrequencyHz, 4000.0);
    EXPECT_DOUBLE_EQ(map.firstFrequencyHz, 3000.0);
    EXPECT_DOUBLE_EQ(map.lastFrequencyHz, 4500.0);
    EXPECT_DOUBLE_EQ(map.azimuthDeg.front(), -20.0);
    EXPECT_DOUBLE_EQ(map.elevationDeg.back(), 10.0);
}

TEST(MusicMap, ResolvesTwoSourcesThatDasMerges) {
    MusicFixture fx;
    const std::uint64_t row = 5;
    const std::uint64_t left = fx.grid.cell(row, 8);
    const std::uint64_t right = fx.grid.cell(row, 12);
    const std::vector<double> freqs = {4000.0};
    const auto matrices = fx.band({left, right}, freqs, 0.01);

    // Conventional beam power along the row has one maximum between the sources: they merge.
    std::vector<double> das(fx.grid.columns());
    for (std::uint64_t c = 0; c < das.size(); ++c) {
        das[c] = quadraticForm(matrices[0], fx.steer(fx.grid.cell(row, c), freqs[0]));
    }
    EXPECT_EQ(argmax(das), 10u);
    for (std::uint64_t c = 8; c < 10; ++c) EXPECT_LT(das[c], das[c + 1]);
    for (std::uint64_t c = 10; c < 12; ++c) EXPECT_GT(das[c], das[c + 1]);

    const HeatmapGrid music = fx.fixed(matrices, freqs, 2);
    const std::uint64_t middle = fx.grid.cell(row, 10);
    EXPECT_TRUE(music.peakIndex == left || music.peakIndex == right);
    EXPECT_GT(music.power[left], 100.0 * music.power[middle]);
    EXPECT_GT(music.power[right], 100.0 * music.power[middle]);
    for (const std::uint64_t source : {left, right}) {
        for (const std::int64_t offset : {-1, 1}) {
            EXPECT_GT(music.power[source], music.power[source + offset]);
            EXPECT_GT(music.power[source], music.power[source + offset * fx.grid.columns()]);
        }
    }
}

TEST(MusicMap, SourceCountIsClampedToChannelsMinusOne) {
    MusicFixture fx;
    const auto matrices = fx.band({fx.grid.cell(5, 5), fx.grid.cell(7, 15)}, kFreqs, 0.2);
    // The entry takes at most 16 sources, fewer than these 24 channels; the general form shows the clamp.
    const auto general = [&](std::uint32_t k) {
        Beamformer::MusicConfig config;
        config.fixedSourceCount = k;
        return fx.beamformer.musicMap(matrices, kFreqs, config, fx.grid.hSpan, fx.grid.vSpan, fx.grid.hCentre,
                                      fx.grid.vCentre, fx.grid.hStep, fx.grid.vStep, fx.grid.focus);
    };
    const HeatmapGrid clamped = general(100);
    const HeatmapGrid largest = general(23);
    EXPECT_EQ(clamped.power, largest.power);
    EXPECT_EQ(fx.fixed(matrices, kFreqs, 16).power, general(16).power);
    EXPECT_NE(fx.fixed(matrices, kFreqs, 2).power, largest.power);
}

// The user's road: a record's count passes the validity rule beyond the panel's 16 and reaches the map,
// which reduces a count above M - 1 itself.
TEST(MusicMap, RecordCountsBeyondThePanelAreMappedAndReducedToChannelsMinusOne) {
    MusicFixture fx;
    const auto matrices = fx.band({fx.grid.cell(5, 5), fx.grid.cell(7, 15)}, kFreqs, 0.2);
    FrequencyBand band;
    band.binFrequenciesHz = kFreqs;
    const auto recordMap = [&](double count) {
        BeamformingParameters p;
        p.algorithm = 5;
        EXPECT_TRUE(p.setByKey("music_source_count", count));
        EXPECT_TRUE(p.isValid(fx.mics.size())) << count;
        return computeBeamformingMap(fx.beamformer, matrices, band, p, 10, fx.grid.hSpan, fx.grid.vSpan,
                                     fx.grid.hStep);
    };
    const HeatmapGrid seventeen = recordMap(17);
    const HeatmapGrid reduced = recordMap(23);
    EXPECT_EQ(seventeen.power, fx.fixed(matrices, kFreqs, 17).power);
    EXPECT_NE(seventeen.power, recordMap(16).power);
    EXPECT_NE(seventeen.power, reduced.power);
    for (const double count : {24.0, 100.0, 4294967295.0}) {
        EXPECT_EQ(recordMap(count).power, reduced.power) << count;
    }
}

TEST(MusicMap, TwoChannelsAlwaysUseOneSource) {
    const std::vector<MicrophonePosition> mics = {{-0.05, 0.0, 0.0}, {0.05, 0.0, 0.0}};
    const Beamformer beamformer(mics, kSpeed);
    Grid grid;
    const std::uint64_t cell = grid.cell(5, 14);
    const std::vector<double> freqs = {2000.0, 2500.0};
    std::vector<MatrixRows> matrices;
    for (double f : freqs)
        matrices.push_back(mixture({{steering(mics, kSpeed, grid, cell, f), 1.0}}, 0.1, 2));
    const auto fixed = [&](std::uint32_t k) {
        return beamformer.fixedMusicMap(matrices, freqs, k, 1e-14, grid.hSpan, grid.vSpan, 0, 0, grid.hStep,
                                        grid.vStep, grid.focus);
    };
    EXPECT_EQ(fixed(5).power, fixed(1).power);
    for (const std::uint32_t estimator : {1u, 2u, 3u}) {
        const HeatmapGrid autoMap =
            beamformer.autoMusicMap(matrices, freqs, 100, 16, estimator, 1e-14, 1e-12, grid.hSpan, grid.vSpan,
                                    0, 0, grid.hStep, grid.vStep, grid.focus);
        EXPECT_EQ(autoMap.estimatedSourceCount, 1u);
        EXPECT_EQ(autoMap.power, fixed(1).power);
    }
}

TEST(MusicMap, AutoMusicReportsTheMedianSourceCount) {
    MusicFixture fx;
    const std::vector<std::uint64_t> cells = {fx.grid.cell(1, 2), fx.grid.cell(9, 18), fx.grid.cell(5, 10)};
    const std::vector<double> freqs = {3000.0, 3500.0, 4000.0, 4500.0};
    const std::vector<std::size_t> counts = {1, 3, 2, 2};
    std::vector<MatrixRows> matrices;
    for (std::size_t b = 0; b < freqs.size(); ++b) {
        const std::vector<std::uint64_t> used(cells.begin(), cells.begin() + counts[b]);
        matrices.push_back(fx.band(used, {freqs[b]}, 0.01)[0]);
        const std::vector<MatrixRows> single = {matrices.back()};
        const std::vector<double> singleFreq = {freqs[b]};
        for (const std::uint32_t estimator : {1u, 2u, 3u}) {
            EXPECT_EQ(fx.automatic(single, singleFreq, 1000, 8, estimator).estimatedSourceCount, counts[b]);
        }
    }
    EXPECT_EQ(fx.automatic(matrices, freqs).estimatedSourceCount, 2u);
    // Capped at one source per bin, the median follows the cap.
    EXPECT_EQ(fx.automatic(matrices, freqs, 1000, 1).estimatedSourceCount, 1u);
}

TEST(MusicMap, BinWithFailedDecompositionIsSkipped) {
    MusicFixture fx;
    const std::uint64_t cell = fx.grid.cell(6, 6);
    const std::vector<double> goodFreqs = {3000.0, 4000.0};
    auto good = fx.band({cell}, goodFreqs, 0.05);
    MatrixRows broken = good[0];
    broken[3][4] = {std::numeric_limits<double>::quiet_NaN(), 0.0};
    const std::vector<MatrixRows> withBroken = {good[0], broken, good[1]};
    const std::vector<double> freqs = {3000.0, 3500.0, 4000.0};

    const HeatmapGrid reference = fx.fixed(good, goodFreqs, 1);
    const HeatmapGrid map = fx.fixed(withBroken, freqs, 1);
    EXPECT_EQ(map.power, reference.power);
    EXPECT_EQ(map.binCount, 3u);
    EXPECT_NEAR(map.power[cell], 2.0, 1e-12);
    // Failed bins stay out of the median: only the valid two-source bin counts.
    const std::vector<MatrixRows> mixed = {broken, fx.band({cell, fx.grid.cell(1, 1)}, {3500.0}, 0.01)[0],
                                           broken};
    EXPECT_EQ(fx.automatic(mixed, freqs).estimatedSourceCount, 2u);
    const std::vector<MatrixRows> allBroken = {broken};
    const HeatmapGrid empty = fx.fixed(allBroken, {3000.0}, 1);
    EXPECT_DOUBLE_EQ(empty.peakDb, -240.0);
    EXPECT_EQ(empty.estimatedSourceCount, 0u);
    EXPECT_EQ(fx.automatic(allBroken, {3000.0}).estimatedSourceCount, 0u);
}

TEST(MusicMap, PointsInsideTheSignalSubspaceReachTheFloor) {
    MusicFixture fx;
    const std::uint64_t cell = fx.grid.cell(5, 10);
    const std::vector<double> freqs = {4000.0};
    const auto matrices = fx.band({cell}, freqs, 0.0);
    const double floor = 0.3;
    const HeatmapGrid map = fx.fixed(matrices, freqs, 1, floor);
    // With one source the signal subspace is v / |v|, so t = (M - |a^H v|^2 / M) / M.
    const Vec v = fx.steer(cell, freqs[0]);
    const double M = static_cast<double>(fx.mics.size());
    std::size_t plateau = 0;
    for (std::uint64_t g = 0; g < fx.grid.cells(); ++g) {
        cd dot{};
        const Vec a = fx.steer(g, freqs[0]);
        for (std::size_t m = 0; m < a.size(); ++m) dot += std::conj(a[m]) * v[m];
        const double t = (M - std::norm(dot) / M) / M;
        if (std::abs(t - floor) < 1e-5) continue;
        if (t < floor) {
            ++plateau;
            EXPECT_NEAR(map.power[g], 1.0, 1e-12) << g;
        } else {
            EXPECT_NEAR(map.power[g], floor / t, 1e-5) << g;
        }
    }
    EXPECT_GT(plateau, 1u);
}

TEST(MusicMap, RejectsBadInputWithItsMessage) {
    MusicFixture fx;
    const auto matrices = fx.band({fx.grid.cell(5, 10)}, {4000.0}, 0.1);
    const std::vector<double> freqs = {4000.0};
    const Grid g = fx.grid;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const Beamformer& bf = fx.beamformer;

    // The fixed entry checks its count before anything else.
    expectThrowExactly<std::invalid_argument>(
        [&] { bf.fixedMusicMap({}, {}, 0, nan, 0, 0, 0, 0, 0, 0, inf); }, "invalid MUSIC source count");
    expectThrowExactly<std::invalid_argument>(
        [&] { bf.fixedMusicMap({}, {}, 2, 1e-14, g.hSpan, g.vSpan, 0, 0, 2, 2, inf); },
        "invalid broadband matrix/frequency band");
    expectThrowExactly<std::invalid_argument>(
        [&] { bf.fixedMusicMap(matrices, {}, 2, 1e-14, g.hSpan, g.vSpan, 0, 0, 2, 2, inf); },
        "invalid broadband matrix/frequency band");
    expectThrowExactly<std::invalid_argument>(
        [&] { bf.fixedMusicMap(matrices, std::vector<double>{0.0}, 2, nan, 0, 0, 0, 0, 0, 0, inf); },
        "invalid broadband matrix bin");
    MatrixRows ragged = matrices[0];
    ragged[2].pop_back();
    const std::vector<MatrixRows> raggedBand = {ragged};
    expectThrowExactly<std::invalid_argument>(
        [&] { bf.fixedMusicMap(raggedBand, freqs, 2, 1e-14, g.hSpan, g.vSpan, 0, 0, 2, 2, inf); },
        "invalid broadband spectral matrix");

    // Grid before parameters.
    for (const double bad : {0.0, -2.0, nan}) {
        expectThrowExactly<std::invalid_argument>(
            [&] { bf.fixedMusicMap(matrices, freqs, 2, nan, bad, g.vSpan, 0, 0, 2, 2, inf); },
            "invalid camera grid");
        expectThrowExactly<std::invalid_argument>(
            [&] { bf.fixedMusicMap(matrices, freqs, 2, 1e-14, g.hSpan, g.vSpan, 0, 0, 2, bad, inf); },
            "invalid camera grid");
    }
    for (const double badFloor : {0.0, -1e-14, nan, inf}) {
        expectThrowExactly<std::invalid_argument>(
            [&] { bf.fixedMusicMap(matrices, freqs, 2, badFloor, g.hSpan, g.vSpan, 0, 0, 2, 2, inf); },
            "invalid MUSIC parameters");
        expectThrowExactly<std::invalid_argument>(
            [&] {
                bf.autoMusicMap(matrices, freqs, 10, 4, 1, 1e-14, badFloor, g.hSpan, g.vSpan, 0, 0, 2, 2,
                                inf);
            },
            "invalid MUSIC parameters");
    }
    expectThrowExactly<std::invalid_argument>(
        [&] { bf.autoMusicMap(matrices, freqs, 10, 0, 1, 1e-14, 1e-12, g.hSpan, g.vSpan, 0, 0, 2, 2, inf); },
        "invalid MUSIC parameters");
    for (const std::uint32_t badEstimator : {0u, 4u}) {
        expectThrowExactly<std::invalid_argument>(
            [&] {
                bf.autoMusicMap(matrices, freqs, 10, 4, badEstimator, 1e-14, 1e-12, g.hSpan, g.vSpan, 0, 0, 2,
                                2, inf);
            },
            "invalid MUSIC parameters");
    }
    Beamformer::MusicConfig config;
    config.fixedSourceCount = 1;
    config.maxSources = 0;
    expectThrowExactly<std::invalid_argument>(
        [&] { bf.musicMap(matrices, freqs, config, g.hSpan, g.vSpan, 0, 0, 2, 2, inf); },
        "invalid MUSIC parameters");

    const Beamformer single({{0.0, 0.0, 0.0}}, kSpeed);
    const std::vector<MatrixRows> oneByOne = {MatrixRows{{cd{1.0, 0.0}}}};
    expectThrowExactly<std::invalid_argument>(
        [&] { single.fixedMusicMap(oneByOne, freqs, 1, 1e-14, g.hSpan, g.vSpan, 0, 0, 2, 2, inf); },
        "MUSIC requires at least two channels");
}

}  // namespace
}  // namespace zk::core
