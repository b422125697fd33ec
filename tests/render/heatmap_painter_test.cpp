#include "render/heatmap_painter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include "heatmap_test_owner.h"

namespace zk::render {
namespace {

using test::fieldValue;
using test::makeMap;
using test::relativeOnly;
using test::TestController;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double db(double power) { return 10.0 * std::log10(power); }

// The field value is 65535 times the cell's power over the reference power, rounded (either way on a half).
void expectFieldValue(const QImage& image, int column, int row, double relativePower) {
    EXPECT_LE(std::abs(fieldValue(image, column, row) - 65535.0 * relativePower), 0.5 + 1e-6)
        << "cell row " << row << " column " << column;
}

// Random powers over 60 dB below a peak of 1 (0 dBFS) in the first cell, half the peak in the second
// (q = 32768) and 50 dB below it in the last (q = 1).
std::vector<double> spreadPowers(std::size_t n) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> exponent(-6.0, 0.0);
    std::vector<double> power(n);
    for (double& p : power) p = 0.5 * std::pow(10.0, exponent(rng));
    power[0] = 1.0;
    power[1] = 0.5;
    power[n - 1] = 1e-5;
    return power;
}

TEST(HeatmapPainter, FieldEncodesPowerRelativeToThePeak) {
    TestController ui;
    const std::vector<double> power = spreadPowers(7 * 5);
    core::HeatmapGrid map = makeMap(7, 5, power);
    map.db[9] = map.relativeDb[9] = kNaN;
    ui.publish(map, kMapSourceAnalysis);

    const QImage image = ui.field();
    ASSERT_EQ(image.size(), QSize(7, 5));
    EXPECT_EQ(image.format(), QImage::Format_RGBA8888);
    for (int row = 0; row < 5; ++row) {
        for (int column = 0; column < 7; ++column) {
            const int i = row * 7 + column;
            if (i == 9) {
                EXPECT_EQ(fieldValue(image, column, row), 0);
            } else {
                expectFieldValue(image, column, row, power[i] / power[0]);
            }
        }
    }
    EXPECT_EQ(fieldValue(image, 0, 0), 65535);
    EXPECT_EQ(fieldValue(image, 1, 0), 32768);
    EXPECT_EQ(fieldValue(image, 6, 4), 1);
    const HeatmapShaderState state = ui.shader();
    EXPECT_TRUE(state.mapHasAbsoluteLevels);
    EXPECT_EQ(state.mapPeakReferenceDbfs, 0.0);
}

// A map without db, and the normalised maps of MUSIC, Auto-MUSIC, SRP-PHAT and the deconvolutions, whose
// db (here with a peak at +15 "dBFS", as live MUSIC reads) is no level.
TEST(HeatmapPainter, RelativeMapUsesReferenceZeroAndTheOpenGate) {
    const std::vector<double> power = spreadPowers(6 * 4);
    std::vector<double> louder = power;
    for (double& p : louder) p *= std::pow(10.0, 1.5);
    std::vector<core::HeatmapGrid> maps = {relativeOnly(makeMap(6, 4, power))};
    for (const std::uint32_t algorithm : {5u, 6u, 8u, 10u, 11u, 12u, 13u, 14u}) {
        maps.push_back(makeMap(6, 4, louder));
        maps.back().algorithmId = algorithm;
    }
    for (const core::HeatmapGrid& map : maps) {
        SCOPED_TRACE(map.algorithmId);
        TestController ui;
        ui.settings.levelGateDbfs = -10.0;
        ui.shaderState.mapContrastFade = 0.25;
        ui.publish(map, kMapSourceAnalysis);

        const QImage image = ui.field();
        for (int i = 0; i < 24; ++i) expectFieldValue(image, i % 6, i / 6, power[i] / power[0]);
        const HeatmapShaderState state = ui.shader();
        EXPECT_FALSE(state.mapHasAbsoluteLevels);
        EXPECT_EQ(state.mapPeakReferenceDbfs, 0.0);
        EXPECT_EQ(state.mapContrastFade, 0.25);
        // Every cell lies within 60 dB of the peak, far above -120, though far below the -10 dBFS gate.
        EXPECT_EQ(ui.mapVisiblePixels.load(), 24);
        ASSERT_FALSE(state.mapPeaks.isEmpty());
        EXPECT_TRUE(state.mapPeaks.front()
                        .toMap()
                        .value(QStringLiteral("label"))
                        .toString()
                        .endsWith(QStringLiteral(" 0.0 dB")));
    }
}

// A map shown relative to its peak spreads over the colours the span its painted levels cover when that
// is narrower than the dynamic range; an absolute map always spans the dynamic range.
TEST(HeatmapPainter, ARelativeMapIsShownOverItsOwnSpanWhenNarrowerThanTheDynamicRange) {
    // One cell at the peak, the rest 1.5 dB below it, as a MUSIC map over a band of noise bins reads; a
    // live paint smooths the peak but leaves the cells far from it at -1.5 dB.
    std::vector<double> flat(9 * 7, std::pow(10.0, -0.15));
    flat[3 * 9 + 4] = 1.0;
    std::vector<double> wide = spreadPowers(9 * 7);
    const struct {
        const char* what;
        std::vector<double> power;
        std::uint32_t algorithm;
        std::int32_t source;
        double dynamicRangeDb;
        double shownDb;
    } cases[] = {
        {"MUSIC within 1.5 dB, analysis", flat, 5, kMapSourceAnalysis, 20.0, 1.5},
        {"MUSIC within 1.5 dB, live", flat, 5, kMapSourceLive, 20.0, 1.5},
        {"MUSIC within 1.5 dB, a narrower dynamic range", flat, 5, kMapSourceAnalysis, 1.0, 1.0},
        {"SRP-PHAT over 60 dB", wide, 8, kMapSourceAnalysis, 20.0, 20.0},
        {"uniform MUSIC map", std::vector<double>(9 * 7, 1.0), 5, kMapSourceAnalysis, 20.0, 20.0},
        {"DAS within 1.5 dB", flat, 1, kMapSourceAnalysis, 20.0, 20.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TestController ui;
        ui.settings.dynamicRange = c.dynamicRangeDb;
        core::HeatmapGrid map = makeMap(9, 7, c.power);
        map.algorithmId = c.algorithm;
        ui.publish(map, c.source);
        EXPECT_NEAR(ui.shader().mapShownRangeDb, c.shownDb, 1e-9);
    }
}

TEST(HeatmapPainter, EmptyMapPaintsOneEmptyCell) {
    TestController ui;
    ui.publish(core::HeatmapGrid{}, kMapSourceLive);
    const QImage image = ui.field();
    ASSERT_EQ(image.size(), QSize(1, 1));
    EXPECT_EQ(fieldValue(image, 0, 0), 0);
    const HeatmapShaderState state = ui.shader();
    EXPECT_TRUE(state.mapHasAbsoluteLevels);
    EXPECT_EQ(state.mapPeakReferenceDbfs, -240.0);
    EXPECT_TRUE(state.mapPeaks.isEmpty());
    EXPECT_EQ(ui.mapVisiblePixels.load(), 0);
}

// A live map's first paint is its own 3 x 3 mean with weights 1-2-1 by 1-2-1, renormalised at the
// edges, a NaN cell counting as -160 dB.
TEST(HeatmapPainter, LiveMapIsSmoothedOverItsNeighbours) {
    TestController ui;
    const int w = 5, h = 4;
    core::HeatmapGrid map = makeMap(w, h, spreadPowers(w * h));
    map.db[7] = kNaN;
    std::vector<double> expected(w * h);
    for (int r = 0; r < h; ++r) {
        for (int c = 0; c < w; ++c) {
            double sum = 0.0, weight = 0.0;
            for (int rr = std::max(r - 1, 0); rr <= std::min(r + 1, h - 1); ++rr) {
                for (int cc = std::max(c - 1, 0); cc <= std::min(c + 1, w - 1); ++cc) {
                    const double wt = (rr == r ? 2.0 : 1.0) * (cc == c ? 2.0 : 1.0);
                    const double level = map.db[rr * w + cc];
                    sum += wt * (std::isfinite(level) ? level : -160.0);
                    weight += wt;
                }
            }
            expected[r * w + c] = sum / weight;
        }
    }
    const double reference = *std::max_element(expected.begin(), expected.end());
    ui.publish(map, kMapSourceLive);
    const QImage image = ui.field();
    for (int i = 0; i < w * h; ++i) {
        expectFieldValue(image, i % w, i / w, std::pow(10.0, (expected[i] - reference) / 10.0));
    }
    EXPECT_NEAR(ui.shader().mapPeakReferenceDbfs, reference, 1e-9);
}

// A constant map is its own spatial mean, so the reference level shows the temporal smoothing alone:
// after n paints dt apart it lies at b + (a - b) exp(-dt / tau)^n.
TEST(HeatmapPainter, SmoothingConvergesAtTheTimeConstant) {
    const auto constant = [](double levelDb) {
        return makeMap(8, 6, std::vector<double>(48, std::pow(10.0, levelDb / 10)));
    };
    const auto reference = [](TestController& ui) { return ui.shader().mapPeakReferenceDbfs; };

    TestController ui;
    ui.settings.csmTauSeconds = 1.0;  // tau 0.5 s
    ui.publish(constant(-40.0), kMapSourceLive);
    EXPECT_NEAR(reference(ui), -40.0, 1e-9);
    const double a = std::exp(-0.05 / 0.5);
    for (int n = 1; n <= 40; ++n) {
        ui.advanceMs(50);
        ui.publish(constant(-20.0), kMapSourceLive);
        ASSERT_NEAR(reference(ui), -20.0 - 20.0 * std::pow(a, n), 1e-9) << "paint " << n;
    }
    EXPECT_EQ(fieldValue(ui.field(), 3, 2), 65535);

    // A gap of 5 s blends as one of 1 s; a new parameters revision starts over.
    ui.publish(constant(-40.0), kMapSourceLive);
    const double before = reference(ui);
    ui.advanceMs(5000);
    ui.publish(constant(-40.0), kMapSourceLive);
    EXPECT_NEAR(reference(ui), -40.0 + (before + 40.0) * std::exp(-1.0 / 0.5), 1e-9);
    core::HeatmapGrid revised = constant(-10.0);
    revised.parametersRevision = 5;
    ui.advanceMs(50);
    ui.publish(revised, kMapSourceLive);
    EXPECT_NEAR(reference(ui), -10.0, 1e-9);

    // Analysis maps are shown as they are, and leave the live memory alone.
    ui.publish(constant(-70.0), kMapSourceAnalysis);
    EXPECT_NEAR(reference(ui), -70.0, 1e-9);
    EXPECT_NEAR(ui.smoothing.heatmapSmoothedLevels.front(), -10.0, 1e-9);
}

TEST(HeatmapPainter, TimeConstantIsHalfTheAveragingClampedAndNaNSafe) {
    const struct {
        double csmTauSeconds, tau;
    } cases[] = {{0.5, 0.35}, {1.6, 0.8}, {10.0, 1.0}, {kNaN, 0.35}};
    for (const auto& c : cases) {
        TestController ui;
        ui.settings.csmTauSeconds = c.csmTauSeconds;
        ui.publish(makeMap(4, 4, std::vector<double>(16, 1e-4)), kMapSourceReplay);
        ui.advanceMs(50);
        ui.publish(makeMap(4, 4, std::vector<double>(16, 1e-2)), kMapSourceReplay);
        EXPECT_NEAR(ui.shader().mapPeakReferenceDbfs, -20.0 - 20.0 * std::exp(-0.05 / c.tau), 1e-9)
            << "csmTauSeconds " << c.csmTauSeconds;
    }
}

// Fade = clamp(reference - median - confidence threshold, 0, 1) with the median at position n div 2 of
// the finite levels sorted ascending; fewer than 16 finite levels give 1.
TEST(HeatmapPainter, ContrastFadeFollowsTheMedianLevel) {
    std::vector<double> levels;
    for (int i = 0; i < 20; ++i) levels.push_back(-0.1 * ((i * 7) % 20));
    std::vector<double> power;
    for (double l : levels) power.push_back(std::pow(10.0, l / 10.0));
    std::vector<double> sorted = levels;
    std::sort(sorted.begin(), sorted.end());
    const double spread = 0.0 - sorted[10];

    const struct {
        std::size_t cells;
        double confidence, fade;
    } cases[] = {{20, 0.5, spread - 0.5},
                 {20, 0.0, std::min(spread, 1.0)},
                 {20, 3.0, 0.0},
                 {20, kNaN, std::min(spread, 1.0)},
                 {15, 0.5, 1.0}};
    for (const auto& c : cases) {
        TestController ui;
        ui.settings.confidenceThresholdDb = c.confidence;
        std::vector<double> p(power.begin(), power.begin() + static_cast<std::ptrdiff_t>(c.cells));
        ui.publish(makeMap(c.cells / 5, 5, p), kMapSourceAnalysis);
        EXPECT_NEAR(ui.shader().mapContrastFade, c.fade, 1e-9)
            << c.cells << " cells, threshold " << c.confidence;
    }
}

TEST(HeatmapPainter, GateAndDynamicRangeDecideTheVisibleCount) {
    // 10 cells at -30, 12 at -85 and 8 at -95 dBFS on a 6 x 5 map.
    std::vector<double> power(30);
    for (int i = 0; i < 30; ++i) power[i] = std::pow(10.0, (i < 10 ? -30.0 : i < 22 ? -85.0 : -95.0) / 10.0);
    const auto expectedCount = [&](double gate) {
        return static_cast<int>(
            std::count_if(power.begin(), power.end(), [&](double p) { return db(p) >= gate; }));
    };
    TestController ui;
    for (double gate : {-90.0, -80.0, -100.0, -30.0, kNaN}) {
        ui.settings.levelGateDbfs = gate;
        ui.publish(makeMap(6, 5, power), kMapSourceAnalysis);
        EXPECT_EQ(ui.mapVisiblePixels.load(), expectedCount(std::isnan(gate) ? -120.0 : gate))
            << "gate " << gate;
        const HeatmapShaderState state = ui.shader();
        ASSERT_EQ(state.contourLevelCount, 12);
        for (int k = 1; k <= 12; ++k) EXPECT_EQ(state.contourLevels[k - 1], static_cast<float>(k) / 13.0f);
        EXPECT_TRUE(std::all_of(state.contourLevels.begin() + 12, state.contourLevels.end(),
                                [](float v) { return v == 0.0f; }));
    }
    for (double range : {0.0, kNaN}) {
        ui.settings.dynamicRange = range;
        ui.publish(makeMap(6, 5, power), kMapSourceAnalysis);
        EXPECT_EQ(ui.mapVisiblePixels.load(), 0);
        EXPECT_EQ(ui.shader().contourLevelCount, 0);
    }
}

TEST(HeatmapPainter, SmoothingHelpersPassMismatchedLevelsUnchanged) {
    const std::vector<double> previous = {1.0, 2.0}, levels = {-5.0, kNaN, 4.0};
    EXPECT_EQ(blendHeatmapLevels(previous, levels, 0.5).size(), 3u);
    EXPECT_EQ(blendHeatmapLevels(previous, levels, 0.5)[2], 4.0);
    const std::vector<double> blended =
        blendHeatmapLevels(std::vector<double>{kNaN, 0.0}, std::vector<double>{-20.0, kNaN}, 0.25);
    EXPECT_EQ(blended, (std::vector<double>{0.75 * -20.0 + 0.25 * -160.0, 0.75 * -160.0}));
    // 5 x 0x6666666666666667 cells wrap to 3 in 64 bits; neither that nor 2 x 2 is a plane of 3 levels.
    for (const auto& [width, height] :
         {std::pair<std::uint64_t, std::uint64_t>{5, 0x6666666666666667ull}, {2, 2}, {3, 0}}) {
        const std::vector<double> out = smoothHeatmapLevels3x3(levels, width, height);
        ASSERT_EQ(out.size(), 3u);
        EXPECT_EQ(out[0], -5.0);
        EXPECT_TRUE(std::isnan(out[1]));
    }
}

// Sizes of a malformed map must neither wrap in a product nor allocate a field of 16 GiB.
TEST(HeatmapPainter, OversizedMapPaintsTheEmptyField) {
    const struct {
        std::uint64_t width, height;
    } cases[] = {{65536, 65536}, {(std::uint64_t{1} << 32) + 1, 1}, {std::uint64_t{1} << 63, 4}};
    for (const auto& c : cases) {
        TestController ui;
        core::HeatmapGrid map;
        map.width = c.width;
        map.height = c.height;
        map.db = map.relativeDb = {-3.0};
        map.azimuthDeg = map.elevationDeg = {0.0};
        ui.publish(map, kMapSourceLive);
        const QImage image = ui.field();
        ASSERT_EQ(image.size(), QSize(1, 1)) << c.width << " x " << c.height;
        EXPECT_EQ(fieldValue(image, 0, 0), 0);
        EXPECT_EQ(ui.mapVisiblePixels.load(), 0);
        EXPECT_TRUE(ui.shader().mapPeaks.isEmpty());
    }
}

TEST(HeatmapPainter, NonFiniteLevelsAndPeakGiveAFiniteReference) {
    TestController ui;
    core::HeatmapGrid map = makeMap(4, 4, std::vector<double>(16, 1.0));
    std::fill(map.db.begin(), map.db.end(), kNaN);
    map.peakDb = kNaN;
    ui.publish(map, kMapSourceAnalysis);
    EXPECT_EQ(ui.shader().mapPeakReferenceDbfs, -240.0);
    EXPECT_EQ(ui.shader().mapContrastFade, 1.0);
    EXPECT_EQ(fieldValue(ui.field(), 2, 2), 0);
}

}  // namespace
}  // namespace zk::render
