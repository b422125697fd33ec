#include "render/heatmap_image_provider.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QSize>
#include <array>

namespace zk::render {
namespace {

QImage request(HeatmapImageProvider& provider, const char* id, QSize* size = nullptr) {
    return provider.requestImage(QString::fromLatin1(id), size, QSize(640, 480));
}

std::array<int, 3> stripEntry(const QImage& strip, int x) {
    const uchar* p = strip.constScanLine(0) + 3 * x;
    return {p[0], p[1], p[2]};
}

TEST(HeatmapImageProvider, StartsWithTransparentFieldAndPlaceholder) {
    HeatmapImageProvider provider;
    for (const char* id : {"field", "field?1718000000123"}) {
        const QImage field = request(provider, id);
        ASSERT_EQ(field.size(), QSize(1, 1)) << id;
        EXPECT_EQ(field.format(), QImage::Format_RGBA8888);
        const uchar* p = field.constScanLine(0);
        EXPECT_EQ(p[0] | p[1] | p[2] | p[3], 0);
    }
    for (const char* id : {"camera", "unknown", "", "Field"}) {
        const QImage placeholder = request(provider, id);
        ASSERT_EQ(placeholder.size(), QSize(1, 1)) << id;
        EXPECT_EQ(placeholder.format(), QImage::Format_ARGB32);
        EXPECT_EQ(placeholder.pixel(0, 0), 0u);
    }
}

TEST(HeatmapImageProvider, StoresEachIdInItsSlot) {
    HeatmapImageProvider provider;
    QImage camera(4, 3, QImage::Format_RGB32);
    camera.fill(Qt::red);
    QImage field(5, 2, QImage::Format_RGBA8888);
    field.fill(0xFF00FF00u);
    QImage other(2, 2, QImage::Format_ARGB32);
    other.fill(Qt::blue);
    provider.setImage(QStringLiteral("camera"), camera);
    provider.setImage(QStringLiteral("field"), field);
    provider.setImage(QStringLiteral("anything"), other);
    EXPECT_EQ(request(provider, "camera?7"), camera);
    EXPECT_EQ(request(provider, "field"), field);
    EXPECT_EQ(request(provider, "unknown"), other);
    // The size and the requested size leave the stored image as it is.
    EXPECT_EQ(request(provider, "field").size(), QSize(5, 2));
}

TEST(HeatmapImageProvider, WritesTheSizeOnlyWhenAskedFor) {
    HeatmapImageProvider provider;
    QSize size(-7, -7);
    EXPECT_EQ(request(provider, "lut1", &size).width(), 256);
    EXPECT_EQ(size, QSize(256, 1));
    EXPECT_EQ(request(provider, "field", &size).size(), QSize(1, 1));
    EXPECT_EQ(size, QSize(1, 1));
    EXPECT_FALSE(request(provider, "lut2", nullptr).isNull());
}

TEST(HeatmapImageProvider, LutSuffixPicksAClampedStrip) {
    HeatmapImageProvider provider;
    const std::array<int, 3> viridis0{68, 1, 84}, turbo0{48, 18, 59}, jet0{0, 0, 128};
    const struct {
        const char* id;
        std::array<int, 3> first;
    } cases[] = {{"lut", viridis0},   {"lut0", viridis0}, {"lutx", viridis0},
                 {"lut-1", viridis0}, {"lut1", turbo0},   {"lut1?99", turbo0},
                 {"lut2", jet0},      {"lut7", jet0},     {"lut12", jet0}};
    for (const auto& c : cases) {
        const QImage strip = request(provider, c.id);
        ASSERT_EQ(strip.size(), QSize(256, 1)) << c.id;
        EXPECT_EQ(strip.format(), QImage::Format_RGB888);
        EXPECT_EQ(stripEntry(strip, 0), c.first) << c.id;
    }
}

// Rows of the published tables (matplotlib's viridis and jet, Google's Turbo), 8 bits per channel.
TEST(HeatmapImageProvider, StripsHoldThePublishedColormaps) {
    HeatmapImageProvider provider;
    const struct {
        const char* id;
        int entry;
        std::array<int, 3> rgb;
    } rows[] = {
        {"lut0", 0, {68, 1, 84}},      {"lut0", 128, {33, 145, 140}}, {"lut0", 255, {253, 231, 37}},
        {"lut0", 64, {59, 82, 139}},   {"lut0", 192, {94, 201, 98}},  {"lut1", 0, {48, 18, 59}},
        {"lut1", 128, {164, 252, 60}}, {"lut1", 255, {122, 4, 3}},    {"lut1", 64, {40, 188, 235}},
        {"lut1", 192, {251, 126, 33}}, {"lut2", 0, {0, 0, 128}},      {"lut2", 128, {125, 255, 122}},
        {"lut2", 255, {128, 0, 0}},    {"lut2", 96, {22, 255, 225}},  {"lut2", 224, {255, 30, 0}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(stripEntry(request(provider, row.id), row.entry), row.rgb)
            << row.id << " entry " << row.entry;
    }
}

}  // namespace
}  // namespace zk::render
