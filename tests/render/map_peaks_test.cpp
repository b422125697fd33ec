#include "render/map_peaks.h"

#include <gtest/gtest.h>

#include <QLocale>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "heatmap_test_owner.h"

namespace zk::render {
namespace {

using test::makeMap;
using test::mark;
using test::relativeOnly;
using test::TestController;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::vector<std::uint64_t> indices(const std::vector<MapPeak>& peaks) {
    std::vector<std::uint64_t> out;
    for (const MapPeak& p : peaks) out.push_back(p.index);
    return out;
}

TEST(FindMapPeaks, PlateausAreNoPeaksAndIsolatedCellsAre) {
    const std::vector<double> flat(9, -3.0);
    EXPECT_TRUE(findMapPeaks(flat, 3, 3, 6.0, 4, 1).empty());
    // Two equal adjacent top cells are both candidates; within minSeparation only one survives.
    const std::vector<double> twin = {-9, -9, -9, -9, -1, -1, -9, -9, -9, -9, -9, -9};
    EXPECT_EQ(indices(findMapPeaks(twin, 4, 3, 6.0, 4, 1)).size(), 2u);
    EXPECT_EQ(findMapPeaks(twin, 4, 3, 6.0, 4, 3).size(), 1u);
    // A cell whose neighbours are all NaN is a peak.
    const std::vector<double> lonely = {kNaN, kNaN, kNaN, kNaN, -4, kNaN};
    const std::vector<MapPeak> peaks = findMapPeaks(lonely, 3, 2, 6.0, 4, 3);
    ASSERT_EQ(peaks.size(), 1u);
    EXPECT_EQ(peaks[0].index, 4u);
    EXPECT_EQ(peaks[0].column, 1u);
    EXPECT_EQ(peaks[0].row, 1u);
    EXPECT_EQ(peaks[0].level, -4.0);
}

TEST(FindMapPeaks, PicksStrongestFirstWithinDropAndSeparation) {
    // Peaks at columns 1 (0 dB), 3 (-2 dB), 7 (-5 dB) and 9 (-7 dB) of one row.
    const std::vector<double> row = {-20, 0, -20, -2, -20, -20, -20, -5, -20, -7, -20};
    EXPECT_EQ(indices(findMapPeaks(row, 11, 1, 6.0, 4, 2)), (std::vector<std::uint64_t>{1, 3, 7}));
    EXPECT_EQ(indices(findMapPeaks(row, 11, 1, 6.0, 4, 3)), (std::vector<std::uint64_t>{1, 7}));
    EXPECT_EQ(indices(findMapPeaks(row, 11, 1, 8.0, 4, 2)), (std::vector<std::uint64_t>{1, 3, 7, 9}));
    EXPECT_EQ(indices(findMapPeaks(row, 11, 1, 8.0, 2, 2)), (std::vector<std::uint64_t>{1, 3}));
    EXPECT_EQ(indices(findMapPeaks(row, 11, 1, -5.0, 4, 2)), (std::vector<std::uint64_t>{1}));
    EXPECT_EQ(indices(findMapPeaks(row, 11, 1, kNaN, 4, 2)), (std::vector<std::uint64_t>{1}));
    EXPECT_EQ(findMapPeaks(row, 11, 1, std::numeric_limits<double>::infinity(), 9, 2).size(), 4u);
    EXPECT_TRUE(findMapPeaks(row, 11, 1, 6.0, 0, 2).empty());
}

TEST(FindMapPeaks, RefusesPlanesShorterThanTheirSize) {
    const std::vector<double> one = {1.0};
    EXPECT_TRUE(findMapPeaks(one, 2, 1, 6.0, 4, 3).empty());
    EXPECT_TRUE(findMapPeaks(one, 0, 1, 6.0, 4, 3).empty());
    // 3 x 0xAAAAAAAAAAAAAAAB wraps to 1 in 64 bits: a product check would read far past the vector.
    EXPECT_TRUE(findMapPeaks(one, 3, 0xAAAAAAAAAAAAAAABull, 6.0, 4, 3).empty());
    EXPECT_TRUE(findMapPeaks(one, std::uint64_t{1} << 32, std::uint64_t{1} << 32, 6.0, 4, 3).empty());
    const std::vector<double> none(4, kNaN);
    EXPECT_TRUE(findMapPeaks(none, 2, 2, 6.0, 4, 3).empty());
}

TEST(FormatPeakLabel, ShowsDirectionAndLevelWithOneDecimal) {
    core::HeatmapGrid map = makeMap(3, 2, {0.25, 0.5, 1.0, 0.125, 0.1, 0.2});
    map.azimuthDeg = {-12.34, 0.0, 7.26};
    map.elevationDeg = {3.96, -0.5};
    map.peakDb = -20.44;
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));  // the text keeps its decimal point
    EXPECT_EQ(formatPeakLabel(map, true, 0, 1, -3.0), QStringLiteral("-12.3° / -0.5° · -23.4 dB"));
    EXPECT_EQ(formatPeakLabel(map, false, 2, 0, -3.0), QStringLiteral("7.3° / 4.0° · -3.0 dB"));
    QLocale::setDefault(previous);
    EXPECT_TRUE(formatPeakLabel(map, false, 3, 0, 0.0).isEmpty());
    EXPECT_TRUE(formatPeakLabel(map, false, 0, 2, 0.0).isEmpty());
}

// One hot cell at row 2, column 6 of a 9 x 7 map: azimuth 20°, elevation -5°, 2e-3 of power.
core::HeatmapGrid hotCellMap() {
    std::vector<double> power(63, 1e-7);
    power[2 * 9 + 6] = 2e-3;
    return makeMap(9, 7, power);
}

TEST(HeatmapPeakMarks, OneHotCellGivesOnePrimaryMark) {
    for (const bool absolute : {true, false}) {
        TestController ui;
        ui.publish(absolute ? hotCellMap() : relativeOnly(hotCellMap()), kMapSourceLive);
        const HeatmapShaderState state = ui.shader();
        ASSERT_EQ(state.mapPeaks.size(), 1);
        const QVariantMap peak = mark(state, 0);
        EXPECT_EQ(peak.value("label").toString(), absolute ? QStringLiteral("20.0° / -5.0° · -27.0 dB")
                                                           : QStringLiteral("20.0° / -5.0° · 0.0 dB"));
        EXPECT_DOUBLE_EQ(peak.value("u").toDouble(), 6.5 / 9.0);
        EXPECT_DOUBLE_EQ(peak.value("v").toDouble(), 4.5 / 7.0);
        EXPECT_TRUE(peak.value("primary").toBool());
        EXPECT_EQ(peak.size(), 4);
    }
}

// minSeparation is max(3, min(W, H) div 8): a second peak 3 dB down joins the marks only that far away.
TEST(HeatmapPeakMarks, SecondPeakNeedsTheSeparationOfTheMapSize) {
    const struct {
        std::uint64_t width, height, apart;
        int marks;
        const char* label;  // of the second mark: column 11, row 10 + apart
    } cases[] = {{33, 25, 2, 1, ""},
                 {33, 25, 3, 2, "70.0° / 50.0° · -3.0 dB"},
                 {160, 120, 14, 1, ""},
                 {160, 120, 15, 2, "70.0° / 110.0° · -3.0 dB"}};
    for (const auto& c : cases) {
        std::vector<double> power(c.width * c.height, 1e-6);
        const std::uint64_t first = 10 * c.width + 10;
        power[first] = 1.0;
        power[first + c.apart * c.width + 1] = 0.5;
        TestController ui;
        ui.publish(makeMap(c.width, c.height, power), kMapSourceAnalysis);
        const HeatmapShaderState state = ui.shader();
        ASSERT_EQ(state.mapPeaks.size(), c.marks)
            << c.width << " x " << c.height << ", " << c.apart << " apart";
        EXPECT_TRUE(mark(state, 0).value("primary").toBool());
        if (c.marks == 2) {
            EXPECT_FALSE(mark(state, 1).value("primary").toBool());
            EXPECT_EQ(mark(state, 1).value("label").toString(), QString::fromUtf8(c.label));
        }
    }
}

TEST(HeatmapPeakMarks, CellsBelowTheGateAreNotMarked) {
    std::vector<double> power(12 * 12, 1e-12);
    power[3 * 12 + 3] = 1e-8;  // -80 dBFS
    power[8 * 12 + 8] = 5e-9;  // -83 dBFS
    for (const double gate : {-90.0, -82.0}) {
        TestController ui;
        ui.settings.levelGateDbfs = gate;
        ui.publish(makeMap(12, 12, power), kMapSourceAnalysis);
        EXPECT_EQ(ui.shader().mapPeaks.size(), gate < -83.0 ? 2 : 1) << "gate " << gate;
    }
}

}  // namespace
}  // namespace zk::render
