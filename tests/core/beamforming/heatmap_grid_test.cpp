#include "core/beamforming/heatmap_grid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "test_support.h"

namespace zk::core {
namespace {

using zk::test::expectThrowExactly;

// A 3 x 2 grid (three azimuth columns, two elevation rows) with every pass-through field set away from
// its default, and stale derived fields that finalisation must overwrite.
HeatmapGrid shapedGrid() {
    HeatmapGrid g;
    g.azimuthDeg = {-10.0, 0.0, 10.0};
    g.elevationDeg = {-5.0, 5.0};
    g.width = 3;
    g.height = 2;
    g.representativeFrequencyHz = 8000.0;
    g.firstFrequencyHz = 7000.0;
    g.lastFrequencyHz = 9000.0;
    g.binCount = 4;
    g.parametersRevision = 17;
    g.algorithmId = 9;
    g.estimatedSourceCount = 2;
    g.db = {99.0};
    g.relativeDb = {99.0, 99.0};
    g.peakIndex = 77;
    g.peakAzimuthDeg = 77.0;
    g.peakElevationDeg = 77.0;
    return g;
}

void expectPassThrough(const HeatmapGrid& g, const HeatmapGrid& source) {
    EXPECT_EQ(g.azimuthDeg, source.azimuthDeg);
    EXPECT_EQ(g.elevationDeg, source.elevationDeg);
    EXPECT_EQ(g.width, source.width);
    EXPECT_EQ(g.height, source.height);
    EXPECT_EQ(g.representativeFrequencyHz, source.representativeFrequencyHz);
    EXPECT_EQ(g.firstFrequencyHz, source.firstFrequencyHz);
    EXPECT_EQ(g.lastFrequencyHz, source.lastFrequencyHz);
    EXPECT_EQ(g.parametersRevision, source.parametersRevision);
    EXPECT_EQ(g.algorithmId, source.algorithmId);
    EXPECT_EQ(g.estimatedSourceCount, source.estimatedSourceCount);
}

TEST(HeatmapGrid, DefaultsAndMoveSemantics) {
    const HeatmapGrid g;
    EXPECT_TRUE(g.azimuthDeg.empty() && g.elevationDeg.empty() && g.power.empty());
    EXPECT_TRUE(g.db.empty() && g.relativeDb.empty());
    EXPECT_EQ(g.width, 0u);
    EXPECT_EQ(g.height, 0u);
    EXPECT_EQ(g.peakIndex, 0u);
    EXPECT_EQ(g.peakAzimuthDeg, 0.0);
    EXPECT_EQ(g.peakElevationDeg, 0.0);
    EXPECT_EQ(g.peakRelativeDb, 0.0);
    EXPECT_EQ(g.peakDb, -240.0);
    EXPECT_EQ(g.minRelativeDb, -120.0);
    EXPECT_EQ(g.dynamicRangeDb, 0.0);
    EXPECT_EQ(g.representativeFrequencyHz, 0.0);
    EXPECT_EQ(g.firstFrequencyHz, 0.0);
    EXPECT_EQ(g.lastFrequencyHz, 0.0);
    EXPECT_EQ(g.binCount, 1u);
    EXPECT_EQ(g.parametersRevision, 0u);
    EXPECT_EQ(g.algorithmId, 1u);
    EXPECT_EQ(g.estimatedSourceCount, 0u);

    HeatmapGrid source = finalizeHeatmap(shapedGrid(), {1, 2, 3, 4, 5, 6});
    HeatmapGrid moved(std::move(source));
    EXPECT_EQ(moved.power.size(), 6u);
    EXPECT_TRUE(source.power.empty() && source.azimuthDeg.empty() && source.db.empty());
    EXPECT_EQ(source.width, 3u);
    EXPECT_EQ(source.parametersRevision, 17u);
    EXPECT_EQ(source.peakIndex, 5u);
}

TEST(FinalizeHeatmap, DerivesLevelsAndPeakAndKeepsOtherFields) {
    const HeatmapGrid source = shapedGrid();
    const std::vector<double> power{0.5, 2.0, 0.25, 4.0, 1e-3, 1.0};
    const HeatmapGrid g = finalizeHeatmap(source, power);

    EXPECT_EQ(g.power, power);
    ASSERT_EQ(g.db.size(), 6u);
    ASSERT_EQ(g.relativeDb.size(), 6u);
    const double peakDb = 10.0 * std::log10(4.0);
    for (std::size_t i = 0; i < power.size(); ++i) {
        EXPECT_NEAR(g.db[i], 10.0 * std::log10(power[i]), 1e-12);
        EXPECT_NEAR(g.relativeDb[i], 10.0 * std::log10(power[i] / 4.0), 1e-12);
    }
    EXPECT_EQ(g.peakIndex, 3u);  // row 1, column 0
    EXPECT_EQ(g.peakAzimuthDeg, -10.0);
    EXPECT_EQ(g.peakElevationDeg, 5.0);
    EXPECT_NEAR(g.peakDb, peakDb, 1e-12);
    EXPECT_EQ(g.peakRelativeDb, 0.0);
    EXPECT_NEAR(g.minRelativeDb, -10.0 * std::log10(4000.0), 1e-12);
    EXPECT_EQ(g.dynamicRangeDb, -g.minRelativeDb);
    EXPECT_EQ(g.binCount, source.binCount);
    expectPassThrough(g, source);
}

TEST(FinalizeHeatmap, MapsWithoutPositivePowerReadAsFloor) {
    for (const std::vector<double>& power :
         {std::vector<double>(6, 0.0), std::vector<double>{-1, -0.5, -2, -3, -1e-9, -4}}) {
        HeatmapGrid source = shapedGrid();
        source.azimuthDeg = {3.0, 4.0, 5.0};
        source.elevationDeg = {-7.0, 8.0};
        const HeatmapGrid g = finalizeHeatmap(source, power);
        EXPECT_EQ(g.power, power);
        EXPECT_EQ(g.db, std::vector<double>(6, -240.0));
        EXPECT_EQ(g.relativeDb, std::vector<double>(6, -120.0));
        EXPECT_EQ(g.peakIndex, 0u);
        EXPECT_EQ(g.peakAzimuthDeg, 3.0);
        EXPECT_EQ(g.peakElevationDeg, -7.0);
        EXPECT_EQ(g.peakRelativeDb, -120.0);
        EXPECT_EQ(g.peakDb, -240.0);
        EXPECT_EQ(g.minRelativeDb, -120.0);
        EXPECT_EQ(g.dynamicRangeDb, 0.0);
        expectPassThrough(g, source);
    }

    // Empty map with empty axes: the stale peak direction stays.
    HeatmapGrid bare;
    bare.peakAzimuthDeg = 12.0;
    bare.peakElevationDeg = -3.0;
    bare.peakIndex = 9;
    const HeatmapGrid e = finalizeHeatmap(bare, {});
    EXPECT_TRUE(e.db.empty() && e.relativeDb.empty());
    EXPECT_EQ(e.peakIndex, 0u);
    EXPECT_EQ(e.peakAzimuthDeg, 12.0);
    EXPECT_EQ(e.peakElevationDeg, -3.0);
    EXPECT_EQ(e.peakDb, -240.0);
    EXPECT_EQ(e.peakRelativeDb, -120.0);
}

TEST(FinalizeHeatmap, PeakTiesAndTheFloor) {
    const HeatmapGrid tie = finalizeHeatmap(shapedGrid(), {1, 3, 2, 3, 0, 3});
    EXPECT_EQ(tie.peakIndex, 1u);
    EXPECT_EQ(tie.peakAzimuthDeg, 0.0);
    EXPECT_EQ(tie.peakElevationDeg, -5.0);

    // Cells far below the peak, without power or below zero (diagonal removal) are floored at 1e-24 of
    // power: they hold no level, and the range spans the cells that do.
    const HeatmapGrid floored = finalizeHeatmap(shapedGrid(), {1.0, 1e-30, 0.5, 0.0, -2.0, 0.25});
    EXPECT_NEAR(floored.db[1], -240.0, 1e-12);
    EXPECT_NEAR(floored.relativeDb[1], -240.0, 1e-12);
    EXPECT_NEAR(floored.minRelativeDb, -10.0 * std::log10(4.0), 1e-12);
    EXPECT_NEAR(floored.dynamicRangeDb, 10.0 * std::log10(4.0), 1e-12);
    EXPECT_EQ(floored.peakDb, 0.0);
    for (std::size_t i = 0; i < 6; ++i)
        EXPECT_EQ(cellHoldsLevel(floored, i), i == 0 || i == 2 || i == 5) << i;

    // A peak below the floor keeps its true level while its own cell reads the floor; no cell holds a
    // level, so the map has no range.
    const HeatmapGrid tiny = finalizeHeatmap(shapedGrid(), {1e-32, 1e-30, 0, 0, 0, 0});
    EXPECT_EQ(tiny.peakIndex, 1u);
    EXPECT_NEAR(tiny.peakDb, -300.0, 1e-9);
    EXPECT_NEAR(tiny.db[1], -240.0, 1e-12);
    EXPECT_NEAR(tiny.relativeDb[1], 60.0, 1e-9);
    EXPECT_EQ(tiny.minRelativeDb, 0.0);
    EXPECT_EQ(tiny.dynamicRangeDb, 0.0);
    EXPECT_EQ(tiny.peakRelativeDb, 0.0);
}

// A map read back from its file has db (relative + peak) but no power: the floor is found in db, to a
// few ulps; without db either (a file without absolute levels) every cell counts.
TEST(FinalizeHeatmap, FlooredCellsOfAMapWithoutPower) {
    // Relative + peak gives the floor back exactly for a peak of 2, one ulp above it for 41 and 44 and
    // one below for 43: none of them is a level.
    const struct {
        double peak;
        int side;  // where the rebuilt floor lies against -240 dB
    } rows[] = {{2.0, 0}, {41.0, 1}, {43.0, -1}, {44.0, 1}};
    for (const auto& row : rows) {
        HeatmapGrid read = finalizeHeatmap(shapedGrid(), {row.peak, 0.0, 1.0, 1.0, 1.0, 1.0});
        read.power.clear();
        for (std::size_t i = 0; i < read.db.size(); ++i) read.db[i] = read.relativeDb[i] + read.peakDb;
        EXPECT_EQ((read.db[1] > -240.0) - (read.db[1] < -240.0), row.side) << row.peak;
        EXPECT_FALSE(cellHoldsLevel(read, 1)) << row.peak;
        EXPECT_TRUE(cellHoldsLevel(read, 2)) << row.peak;
        deriveLevelRange(read);
        EXPECT_NEAR(read.dynamicRangeDb, 10.0 * std::log10(row.peak), 1e-12) << row.peak;
    }

    HeatmapGrid read = finalizeHeatmap(shapedGrid(), {2.0, 0.0, 1.0, 1.0, 1.0, 1.0});
    read.power.clear();
    for (std::size_t i = 0; i < read.db.size(); ++i) read.db[i] = read.relativeDb[i] + read.peakDb;
    read.relativeDb[3] = -500.0;
    read.db[3] = -400.0;
    deriveLevelRange(read);
    EXPECT_FALSE(cellHoldsLevel(read, 3));
    EXPECT_NEAR(read.dynamicRangeDb, 10.0 * std::log10(2.0), 1e-12);

    read.db.clear();
    EXPECT_TRUE(cellHoldsLevel(read, 1));
    deriveLevelRange(read);
    EXPECT_EQ(read.minRelativeDb, -500.0);
}

TEST(FinalizeHeatmap, MalformedShapeDoesNotReadPastTheAxes) {
    HeatmapGrid noWidth = shapedGrid();
    noWidth.width = 0;
    const HeatmapGrid a = finalizeHeatmap(noWidth, {0, 0, 5});
    EXPECT_EQ(a.peakIndex, 2u);
    EXPECT_EQ(a.peakAzimuthDeg, 77.0);
    EXPECT_EQ(a.peakElevationDeg, 77.0);

    HeatmapGrid shortAxes = shapedGrid();
    shortAxes.elevationDeg = {1.0};
    const HeatmapGrid b = finalizeHeatmap(shortAxes, {0, 0, 0, 0, 6, 0});
    EXPECT_EQ(b.peakIndex, 4u);
    EXPECT_EQ(b.peakAzimuthDeg, 0.0);
    EXPECT_EQ(b.peakElevationDeg, 77.0);
}

TEST(CombineHeatmapBands, SumsPowerAndTakesFieldsFromTheFirstGrid) {
    std::vector<HeatmapGrid> grids;
    for (int k = 0; k < 3; ++k) {
        HeatmapGrid g = shapedGrid();
        g.power = {1.0 * k, 2.0, 0.5 * k, 0.0, 3.0 - k, 1.0};
        g.parametersRevision = 100 + k;
        g.algorithmId = 3 + k;
        g.representativeFrequencyHz = 1000.0 * (k + 1);
        if (k == 2) g.azimuthDeg = {40.0, 50.0, 60.0};  // axis values are not compared
        grids.push_back(g);
    }
    const std::vector<HeatmapGrid> before = grids;
    const HeatmapGrid c = combineHeatmapBands(grids);

    std::vector<double> expected(6, 0.0);
    for (const HeatmapGrid& g : grids)
        for (std::size_t i = 0; i < 6; ++i) expected[i] += g.power[i];
    EXPECT_EQ(c.power, expected);
    EXPECT_EQ(c.binCount, 3u);
    expectPassThrough(c, grids[0]);
    EXPECT_EQ(c.peakIndex, 1u);  // 6 at index 1 ties index 4; the lower wins
    EXPECT_NEAR(c.peakDb, 10.0 * std::log10(6.0), 1e-12);
    EXPECT_EQ(c.db[3], -240.0);
    for (std::size_t k = 0; k < grids.size(); ++k) EXPECT_EQ(grids[k].power, before[k].power);

    // One grid: a copy with re-derived levels (the stale ones are replaced) and binCount 1.
    HeatmapGrid single = shapedGrid();
    single.power = {1, 10, 100, 1000, 10, 1};
    single.binCount = 7;
    const HeatmapGrid one = combineHeatmapBands({single});
    EXPECT_EQ(one.power, single.power);
    EXPECT_EQ(one.binCount, 1u);
    ASSERT_EQ(one.relativeDb.size(), 6u);
    EXPECT_NEAR(one.relativeDb[0], -30.0, 1e-12);
    EXPECT_NEAR(one.db[3], 30.0, 1e-12);
    EXPECT_EQ(one.peakIndex, 3u);
    expectPassThrough(one, single);
}

TEST(CombineHeatmapBands, RejectsEmptyAndMismatchedLists) {
    expectThrowExactly<std::invalid_argument>([] { combineHeatmapBands({}); },
                                              "cannot combine an empty heatmap band");

    HeatmapGrid wide = shapedGrid();
    wide.power.assign(6, 1.0);
    HeatmapGrid tall = wide;
    tall.width = 2;
    tall.height = 3;
    expectThrowExactly<std::invalid_argument>(
        [&] {
            combineHeatmapBands({wide, tall});
        },
        "heatmap grids do not match");

    HeatmapGrid shortPower = wide;
    shortPower.power.pop_back();
    expectThrowExactly<std::invalid_argument>(
        [&] {
            combineHeatmapBands({wide, shortPower});
        },
        "heatmap grids do not match");
}

}  // namespace
}  // namespace zk::core
