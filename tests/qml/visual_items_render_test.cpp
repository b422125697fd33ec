// The plain framed map, the two level-bar cards and the plot panel, drawn by OpenGL in a window on a
// private Xvfb.
#include <gtest/gtest.h>

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <memory>
#include <string_view>
#include <vector>

#include "fake_heatmap_provider.h"
#include "item_search_support.h"
#include "message_capture.h"
#include "qml_test_context.h"
#include "render/diagnostic_image_provider.h"
#include "render_environment.h"

namespace {

bool near(const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) <= 3 && std::abs(a.green() - b.green()) <= 3 &&
           std::abs(a.blue() - b.blue()) <= 3;
}

std::string describe(const QColor& c) {
    return std::to_string(c.red()) + "," + std::to_string(c.green()) + "," + std::to_string(c.blue());
}

// How much of colour `over` a pixel shows on top of `under` (0..1): an anti-aliased edge pixel counts
// with its covered fraction.
double coverage(const QColor& pixel, const QColor& over, const QColor& under) {
    const double dr = over.red() - under.red(), dg = over.green() - under.green(),
                 db = over.blue() - under.blue();
    const double along = (pixel.red() - under.red()) * dr + (pixel.green() - under.green()) * dg +
                         (pixel.blue() - under.blue()) * db;
    return std::clamp(along / (dr * dr + dg * dg + db * db), 0.0, 1.0);
}

class VisualItems : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const std::string why = zk::qmltest::openGlUnavailableReason(); !why.empty()) GTEST_SKIP() << why;
        capture_ = std::make_unique<zk::qmltest::MessageCapture>();
        engine_ = std::make_unique<QQmlEngine>();
        context_ = zk::qmltest::installQmlTestContext(*engine_);
        theme_ = create(
            "QtObject { property color accent: Theme.accent; property color border: Theme.border\n"
            "  property color surface: Theme.surface; property color surfaceAlt: Theme.surfaceAlt }");
    }

    void TearDown() override {
        if (!engine_) return;
        item_.reset();
        window_.reset();
        theme_.reset();
        EXPECT_TRUE(capture_->messages().isEmpty()) << capture_->messages().join('\n').toStdString();
        engine_.reset();
        capture_.reset();
    }

    std::unique_ptr<QObject> create(const char* body) {
        QQmlComponent component(engine_.get());
        component.setData(QByteArray("import QtQuick\nimport SorvantaApp\n") + body,
                          QUrl(QStringLiteral("qrc:/probe/Item.qml")));
        std::unique_ptr<QObject> object(component.create());
        EXPECT_NE(object, nullptr) << component.errorString().toStdString();
        return object;
    }

    QColor theme(const char* role) const { return theme_->property(role).value<QColor>(); }

    // Shows one item of the module filling a window of the given size.
    void show(const char* type, int width, int height) {
        window_ = std::make_unique<QQuickWindow>();
        window_->resize(width, height);
        item_.reset(qobject_cast<QQuickItem*>(create(type).release()));
        ASSERT_NE(item_, nullptr);
        item_->setParentItem(window_->contentItem());
        item_->setSize(window_->size());
        window_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
        window_->grabWindow();
        if (window_->rendererInterface()->graphicsApi() != QSGRendererInterface::OpenGL)
            GTEST_SKIP() << "the scene graph did not run on OpenGL";
    }

    void setUi(const char* name, const QVariant& value) {
        ASSERT_TRUE(context_.ui->setProperty(name, value)) << name;
    }

    QImage grab() {
        QTest::qWait(20);
        return window_->grabWindow();
    }

    std::unique_ptr<zk::qmltest::MessageCapture> capture_;
    std::unique_ptr<QQmlEngine> engine_;
    zk::qmltest::QmlTestContext context_;
    std::unique_ptr<QObject> theme_;
    std::unique_ptr<QQuickWindow> window_;
    std::unique_ptr<QQuickItem> item_;
};

// What the bar cards promise: a row inside the margins shared evenly by tracks with fixed gaps, and in
// each track a bar standing on its bottom, centred, of the level's height (at least the stub).
struct BarCard {
    const char* type;
    const char* model;
    const char* cardRole;
    double left, right, top, bottom, spacing, barWidth, stub;
};
constexpr BarCard kMeters{"ChannelMetersItem {}", "channelLevels", "surface", 10, 10, 30, 10, 4, 0.5, 0.04};
constexpr BarCard kSpectrum{"SpectrogramItem {}", "spectrumLevels", "surfaceAlt", 8, 8, 30, 8, 2, 1.0, 0.02};

struct Track {
    double left, width, top, bottom;
};

Track trackOf(const BarCard& c, int count, int index, int width, int height) {
    const double w = (width - c.left - c.right - c.spacing * (count - 1)) / count;
    return {c.left + index * (w + c.spacing), w, c.top, height - c.bottom};
}

class LevelBars : public VisualItems, public ::testing::WithParamInterface<BarCard> {
  protected:
    static constexpr int kWidth = 420;
    static constexpr int kHeight = 240;

    QObject* placeholder() { return item_->findChild<QObject*>(QStringLiteral("placeholder")); }

    int trackPixels(const QImage& image) {
        int count = 0;
        for (int y = 30; y < kHeight - 10; ++y)
            for (int x = 10; x < kWidth - 10; ++x) count += image.pixelColor(x, y) == theme("border") ? 1 : 0;
        return count;
    }
};

TEST_P(LevelBars, EachTrackFillsToItsLevelWithAStubForSilence) {
    const BarCard& card = GetParam();
    show(card.type, kWidth, kHeight);
    if (IsSkipped()) return;
    ASSERT_NE(placeholder(), nullptr);
    EXPECT_TRUE(placeholder()->property("visible").toBool());
    EXPECT_EQ(trackPixels(grab()), 0) << "no tracks before the first levels";
    // The other card's list does not feed this one.
    setUi(std::string_view(card.model) == kMeters.model ? kSpectrum.model : kMeters.model,
          QVariantList{0.5, 0.5});
    EXPECT_EQ(trackPixels(grab()), 0);

    const std::vector<double> levels = {0.0, 0.25, 0.5, 0.01, 1.0, 0.7};
    setUi(card.model, QVariantList(levels.begin(), levels.end()));
    EXPECT_FALSE(placeholder()->property("visible").toBool());
    const QImage image = grab();
    const QColor accent = theme("accent"), track = theme("border"), surface = theme(card.cardRole);
    EXPECT_TRUE(near(image.pixelColor(4, kHeight / 2), surface));
    const int n = static_cast<int>(levels.size());
    for (int i = 0; i < n; ++i) {
        SCOPED_TRACE("bar " + std::to_string(i) + " at level " + std::to_string(levels[i]));
        const Track t = trackOf(card, n, i, kWidth, kHeight);
        const double barHeight = (t.bottom - t.top) * std::max(card.stub, levels[i]);
        const int centre = static_cast<int>(t.left + t.width / 2);
        double height = 0;
        for (int y = static_cast<int>(t.top); y < static_cast<int>(t.bottom); ++y)
            height += coverage(image.pixelColor(centre, y), accent, track);
        EXPECT_NEAR(height, barHeight, 1.0);
        // Across the middle of the bar: against the track for a narrower bar, the card for a full one.
        const int middle = static_cast<int>(t.bottom - barHeight / 2);
        EXPECT_TRUE(near(image.pixelColor(centre, middle), accent))
            << describe(image.pixelColor(centre, middle));
        const bool full = card.barWidth >= 1.0;
        double width = 0;
        for (int x = static_cast<int>(t.left) + (full ? -1 : 2);
             x <= static_cast<int>(t.left + t.width) + (full ? 1 : -3); ++x)
            width += coverage(image.pixelColor(x, middle), accent, full ? surface : track);
        EXPECT_NEAR(width, t.width * card.barWidth, 1.0);
        if (barHeight < t.bottom - t.top - 8) {
            EXPECT_TRUE(near(image.pixelColor(centre, static_cast<int>(t.bottom - barHeight) - 4), track));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cards, LevelBars, ::testing::Values(kMeters, kSpectrum),
                         [](const auto& info) { return std::string(info.param.model); });

TEST_F(VisualItems, OneHundredTwentyEightMetersShareTheRowEvenly) {
    constexpr int kWide = 1300, kHigh = 240;
    show(kMeters.type, kWide, kHigh);
    if (IsSkipped()) return;
    setUi(kMeters.model, QVariantList(128, 0.5));
    grab();
    auto* row = item_->findChild<QQuickItem*>(QStringLiteral("bars"));
    ASSERT_NE(row, nullptr);
    QList<QQuickItem*> tracks;
    for (QQuickItem* child : row->childItems())
        if (child->objectName() == QLatin1String("track")) tracks.append(child);
    ASSERT_EQ(tracks.size(), 128);
    std::sort(tracks.begin(), tracks.end(), [](QQuickItem* a, QQuickItem* b) { return a->x() < b->x(); });
    for (int i = 0; i < 128; ++i) {
        const Track t = trackOf(kMeters, 128, i, kWide, kHigh);
        const QRectF box = tracks[i]->mapRectToScene(QRectF(0, 0, tracks[i]->width(), tracks[i]->height()));
        EXPECT_NEAR(box.left(), t.left, 1.0) << i;
        EXPECT_NEAR(box.width(), t.width, 1.0) << i;
        EXPECT_NEAR(box.top(), t.top, 0.5) << i;
        EXPECT_NEAR(box.bottom(), t.bottom, 0.5) << i;
    }
}

// A card of five by two map cells of kCellPx pixels inside the 8 px margin. With the stand-in
// controller's display values (peak reference 0 dB, 30 dB range, no absolute levels, first strip) a
// cell of 16-bit value j shows the strip entry of its scale position raised to the shader's 1.18.
class HeatmapItemPixels : public VisualItems {
  protected:
    static constexpr int kCellPx = 81;
    static constexpr int kMargin = 8;

    void SetUp() override {
        VisualItems::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        show("HeatmapItem {}", 5 * kCellPx + 2 * kMargin, 2 * kCellPx + 2 * kMargin);
    }

    // Emits the controller's map signal and waits until the field shows the provider's image.
    void announceMap() {
        QObject* image = item_->findChild<QObject*>(QStringLiteral("fieldImg"));
        ASSERT_NE(image, nullptr);
        const QString before = image->property("source").toString();
        QTest::qWait(2);
        ASSERT_TRUE(QMetaObject::invokeMethod(context_.ui, "heatmapUpdated"));
        ASSERT_TRUE(QTest::qWaitFor([&] {
            return image->property("source").toString() != before && image->property("status").toInt() == 1;
        }));
    }

    static QColor cellColour(int j) {
        const double level = 10.0 * std::log10(std::max(j / 65535.0, 1e-9));
        const double t = std::clamp((level + 30.0) / 30.0, 0.0, 1.0);
        const QColor entry =
            QColor::fromRgb(zk::qmltest::lutEntry(0, std::clamp(static_cast<int>(t * 256.0), 0, 255)));
        auto channel = [](int v) { return static_cast<int>(std::lround(255.0 * std::pow(v / 255.0, 1.18))); };
        return QColor(channel(entry.red()), channel(entry.green()), channel(entry.blue()));
    }

    static QColor cellPixel(const QImage& image, int index) {
        return image.pixelColor(kMargin + (index % 5) * kCellPx + kCellPx / 2,
                                kMargin + (index / 5) * kCellPx + kCellPx / 2);
    }

    // Every pixel inside the margin shows the card.
    void expectEmpty(const char* when) {
        const QImage image = grab();
        for (int y = kMargin; y < image.height() - kMargin; y += 3)
            for (int x = kMargin; x < image.width() - kMargin; x += 3)
                ASSERT_TRUE(near(image.pixelColor(x, y), theme("surfaceAlt")))
                    << when << ": " << x << "," << y << " is " << describe(image.pixelColor(x, y));
    }
};

int fieldValue(double relativeDb) {
    return static_cast<int>(std::pow(10.0, relativeDb / 10.0) * 65535.0 + 0.5);
}

TEST_F(HeatmapItemPixels, ShowsEachNewMapInTheColoursOfItsLevelsInsideTheFrame) {
    // The top row falls left to right and the lower row rises, so a flipped or mirrored map shows.
    std::vector<int> cells = {65535, fieldValue(-10.0), fieldValue(-14.25), fieldValue(-20.0), 0};
    cells.insert(cells.end(), cells.rbegin(), cells.rend());
    context_.heatmap->setImage(QStringLiteral("field"), zk::qmltest::makeField(5, 2, cells));
    setUi("hasHeatmap", true);
    announceMap();
    const QImage image = grab();
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(near(cellPixel(image, i), cellColour(cells[i])))
            << "cell " << i << ": " << describe(cellPixel(image, i)) << ", expected "
            << describe(cellColour(cells[i]));
    for (int y = 20; y < image.height() - 20; y += 10)
        EXPECT_TRUE(near(image.pixelColor(4, y), theme("surfaceAlt")));
    EXPECT_TRUE(near(image.pixelColor(image.width() / 2, 4), theme("surfaceAlt")));
}

// An empty field would decode as the floor of the scale and paint the card in the bottom colour.
TEST_F(HeatmapItemPixels, EmptyBeforeTheFirstMapAndKeptWhileTheControllerHasNone) {
    expectEmpty("at start");
    ASSERT_TRUE(QMetaObject::invokeMethod(context_.ui, "heatmapUpdated"));
    QTest::qWait(50);
    expectEmpty("after an update without a map");

    const std::vector<int> first(10, fieldValue(-10.0));
    context_.heatmap->setImage(QStringLiteral("field"), zk::qmltest::makeField(5, 2, first));
    setUi("hasHeatmap", true);
    announceMap();
    const QImage shown = grab();
    EXPECT_TRUE(near(cellPixel(shown, 3), cellColour(first[3])));
    // A new field in the provider while the controller reports no map: not fetched, not shown.
    context_.heatmap->setImage(QStringLiteral("field"),
                               zk::qmltest::makeField(5, 2, std::vector<int>(10, 65535)));
    setUi("hasHeatmap", false);
    const int requests = context_.heatmap->requestCount(QStringLiteral("field"));
    ASSERT_TRUE(QMetaObject::invokeMethod(context_.ui, "heatmapUpdated"));
    QTest::qWait(100);
    EXPECT_EQ(context_.heatmap->requestCount(QStringLiteral("field")), requests);
    EXPECT_EQ(grab(), shown);
}

// The plot panel stretches the provider's picture over exactly its plot rectangle: the four texels of a
// 2 x 2 picture fill the four quarters of the rectangle, and the gutters beside it keep the panel's
// background.
TEST_F(VisualItems, PlotPanelStretchesTheProviderPictureOverThePlotRectangle) {
    QImage picture(2, 2, QImage::Format_RGB32);
    const QColor texels[2][2] = {{QColor(230, 20, 20), QColor(20, 220, 30)},
                                 {QColor(30, 40, 230), QColor(240, 230, 20)}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) picture.setPixelColor(x, y, texels[y][x]);
    context_.diagnostic->setImage(u"spectrum", picture);
    show("DiagnosticPlotPanel { axisMode: \"spectrum\"; imageSource: \"image://diagnostic/spectrum?1\" }",
         480, 260);
    auto* box = item_->findChild<QQuickItem*>(QStringLiteral("axisBox"));
    ASSERT_NE(box, nullptr);
    const double left = box->property("leftGutter").toDouble();
    const double plotW = box->property("plotW").toDouble();
    const double plotH = box->property("plotH").toDouble();
    ASSERT_GT(left, 20.0);
    ASSERT_GT(plotW, 100.0);
    ASSERT_GT(plotH, 100.0);
    const QPointF origin = box->mapToScene(QPointF(left, 0));
    const QImage image = grab();
    const double dpr = image.devicePixelRatio();
    auto pixel = [&](double x, double y) { return image.pixelColor(int(x * dpr), int(y * dpr)); };
    for (int row = 0; row < 2; ++row) {
        for (int col = 0; col < 2; ++col) {
            const QColor seen =
                pixel(origin.x() + (col + 0.5) * plotW / 2, origin.y() + (row + 0.5) * plotH / 2);
            EXPECT_TRUE(near(seen, texels[row][col]))
                << "quarter " << row << "," << col << ": " << describe(seen);
        }
    }
    const QColor gutter = pixel(origin.x() - left / 2, origin.y() + plotH / 4);
    for (const auto& line : texels)
        for (const QColor& texel : line) EXPECT_FALSE(near(gutter, texel)) << describe(gutter);
    const QColor below = pixel(origin.x() + plotW / 4, origin.y() + plotH + 8);
    EXPECT_FALSE(near(below, texels[1][0])) << "the picture ends at the plot's bottom: " << describe(below);
}

// WCAG 2 relative luminance of a pixel.
double luminance(const QColor& c) {
    auto linear = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

// On screen, in every theme, the number on each overlay chip stands out from the chip by at least 4.5:1:
// the glyph pixel farthest in luminance from the chip's fill is measured against that fill.
TEST_F(VisualItems, OverlayChipNumbersReachTheContrastFloorOnScreen) {
    show("DiagnosticPlotPanel { axisMode: \"overlay\" }", 640, 300);
    const auto themes = create(
        "QtObject { function use(id) { Theme.themeId = id }\n"
        "  readonly property var order: Theme.themeOrder }");
    ASSERT_NE(themes, nullptr);
    const QStringList order = themes->property("order").toStringList();
    ASSERT_EQ(order.size(), 9);
    setUi("diagnosticChannel", 100);  // no chip selected, so no border inside the measured area
    for (const QString& id : order) {
        ASSERT_TRUE(QMetaObject::invokeMethod(themes.get(), "use", Q_ARG(QVariant, id)));
        const QImage image = grab();
        for (int i = 0; i < 16; ++i) {
            auto* chip = zk::qmltest::findItem(item_.get(), QStringLiteral("overlayChip%1").arg(i));
            ASSERT_NE(chip, nullptr) << i;
            const QRect inner = chip->mapRectToScene(QRectF(0, 0, chip->width(), chip->height()))
                                    .toAlignedRect()
                                    .adjusted(3, 3, -3, -3);
            const double fill = luminance(chip->property("color").value<QColor>());
            double farthest = fill;
            for (int y = inner.top(); y <= inner.bottom(); ++y)
                for (int x = inner.left(); x <= inner.right(); ++x) {
                    const double l = luminance(image.pixelColor(x, y));
                    if (std::abs(l - fill) > std::abs(farthest - fill)) farthest = l;
                }
            const double ratio = (std::max(fill, farthest) + 0.05) / (std::min(fill, farthest) + 0.05);
            EXPECT_GE(ratio, 4.5) << id.toStdString() << " chip " << i;
        }
    }
}

}  // namespace
