#include "render/diagnostic_image_provider.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QVariantMap>
#include <array>
#include <cmath>

#include "render/magma_colormap.h"
#include "render/plot_palette.h"
#include "render/waterfall_painter.h"

namespace zk::render {
namespace {

void expectTransparent2x2(const QImage& image) {
    ASSERT_EQ(image.size(), QSize(2, 2));
    EXPECT_EQ(image.format(), QImage::Format_ARGB32);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 2; ++x) EXPECT_EQ(qAlpha(image.pixel(x, y)), 0);
    }
}

TEST(DiagnosticImageProvider, EmptySlotsUnknownIdsAndForeignStoresGiveTheTransparentImage) {
    DiagnosticImageProvider provider;
    QSize size;
    expectTransparent2x2(provider.requestImage(QStringLiteral("levels?17"), &size, QSize(100, 50)));
    EXPECT_EQ(size, QSize(2, 2));
    expectTransparent2x2(provider.requestImage(QStringLiteral("heatmap"), &size, {}));

    QImage red(4, 4, QImage::Format_ARGB32);
    red.fill(Qt::red);
    provider.setImage(u"heatmap", red);
    provider.setImage(u"level", red);
    for (const char* id : {"levels", "waveform", "spectrum", "analysisSpectrum", "waterfall", "heatmap"}) {
        expectTransparent2x2(provider.requestImage(QString::fromLatin1(id), nullptr, {}));
    }
}

TEST(DiagnosticImageProvider, StoredImageComesBackAtItsOwnSizeAndANullSizeIsNotWritten) {
    DiagnosticImageProvider provider;
    QImage plot(1640, 400, QImage::Format_ARGB32);
    plot.fill(Qt::blue);
    provider.setImage(u"waterfall", plot);

    QSize size;
    const QImage got = provider.requestImage(QStringLiteral("waterfall?rev=3"), &size, QSize(100, 50));
    EXPECT_EQ(got.size(), QSize(1640, 400));
    EXPECT_EQ(size, QSize(1640, 400));
    EXPECT_EQ(got.pixel(5, 5), QColor(Qt::blue).rgba());
    // The QML engine may pass no size at all.
    EXPECT_EQ(provider.requestImage(QStringLiteral("waterfall"), nullptr, {}).size(), QSize(1640, 400));
    expectTransparent2x2(provider.requestImage(QStringLiteral("spectrum"), nullptr, {}));
}

TEST(PlotPalette, MapReplacesOnlyPresentValidColoursAndReportsABackgroundChange) {
    PlotPalette palette;
    const PlotColors defaults;
    EXPECT_EQ(palette.colors().cursor, QColor(0x22, 0xd3, 0xee));
    EXPECT_EQ(palette.colors().waveformDim, QColor(0x55, 0x44, 0x9b));

    EXPECT_FALSE(
        applyPlotPalette(palette, {{"cursor", "#ff0000"}, {"bg", "no colour"}, {"grid", QVariant()}}));
    const PlotColors colors = palette.colors();
    EXPECT_EQ(colors.cursor, QColor(Qt::red));
    EXPECT_EQ(colors.bg, defaults.bg);
    EXPECT_EQ(colors.grid, defaults.grid);
    EXPECT_EQ(colors.spectrum, defaults.spectrum);

    EXPECT_FALSE(applyPlotPalette(palette, {{"waterfallBg", "#08111F"}}));
    EXPECT_TRUE(applyPlotPalette(palette, {{"waterfallBg", "#102030"}}));
    EXPECT_EQ(palette.colors().waterfallBg, QColor(0x10, 0x20, 0x30));
}

TEST(Colormap, MagmaMatchesThePublishedTable) {
    const std::array<std::array<int, 4>, 5> published{
        {{0, 0, 0, 4}, {64, 81, 18, 124}, {128, 183, 55, 121}, {192, 252, 137, 97}, {255, 252, 253, 191}}};
    for (const auto& [i, r, g, b] : published) {
        EXPECT_EQ(kMagmaTable[3 * i], r) << i;
        EXPECT_EQ(kMagmaTable[3 * i + 1], g) << i;
        EXPECT_EQ(kMagmaTable[3 * i + 2], b) << i;
    }
    EXPECT_EQ(&waterfallColormapTable(0), &kViridisTable);
    EXPECT_EQ(&waterfallColormapTable(1), &kTurboTable);
    EXPECT_EQ(&waterfallColormapTable(2), &kJetTable);
    EXPECT_EQ(&waterfallColormapTable(3), &kMagmaTable);
    EXPECT_EQ(&waterfallColormapTable(7), &kMagmaTable);
}

TEST(Colormap, SamplingInterpolatesAndKeepsEveryIndexInTheTable) {
    EXPECT_EQ(sampleColormap(kMagmaTable, 64.0 / 255.0), qRgb(81, 18, 124));
    EXPECT_EQ(sampleColormap(kMagmaTable, 1.0), qRgb(252, 253, 191));
    EXPECT_EQ(sampleColormap(kMagmaTable, 7.5), qRgb(252, 253, 191));
    EXPECT_EQ(sampleColormap(kMagmaTable, -0.25), qRgb(0, 0, 4));
    // 30 % of the way from entry 130 (186, 56, 120) to entry 131 (188, 57, 120), plus 0.5 and truncated.
    EXPECT_EQ(sampleColormap(kMagmaTable, 130.3 / 255.0), qRgb(187, 56, 120));
    EXPECT_EQ(sampleColormap(kMagmaTable, std::nan("")), qRgb(0, 0, 4));
}

}  // namespace
}  // namespace zk::render
