#include <gtest/gtest.h>

#include <QOpenGLFunctions>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QTest>
#include <QVector4D>
#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "fake_heatmap_provider.h"
#include "item_search_support.h"
#include "message_capture.h"
#include "qml_test_context.h"
#include "render_environment.h"

namespace {

using zk::qmltest::findItem;
using zk::qmltest::lutEntry;
using zk::qmltest::makeField;

const QColor kBackground(0, 64, 0);
// Odd pixels per cell put a pixel centre on every texel centre, where linear filtering returns the
// cell's own value.
constexpr int kCellPx = 81;
constexpr int kTolerance = 3;

// What the controller hands the field, restated for the expectation model below.
struct Display {
    double peakRef = -20.0;
    double rangeDb = 30.0;
    double shownRangeDb = 30.0;  // what a map without absolute levels spans instead
    double gateDbfs = -35.0;
    bool absoluteLevels = true;
    bool fixedMode = false;
    double fixedRef = -30.0;
    bool overlay = false;
    double overlayThreshold = 0.35;
    double overlayAlpha = 0.5;
    double contrastFade = 1.0;
    double opacity = 1.0;
    int strip = 0;
};

struct Expected {
    double r, g, b;  // 0..255 on the window
};

// The colour one cell of 16-bit value j shows over the background, worked out in double precision from
// the stored value: relative power to level, level to scale position and gate, colour strip, blending.
Expected expectedFill(int j, const Display& d) {
    const double pn = std::max(j / 65535.0, 1e-9);
    const double level = d.peakRef + 10.0 * std::log10(pn);
    // A map without absolute levels keeps its own peak as the top, whatever the scale mode says.
    const double reference = d.fixedMode && d.absoluteLevels ? d.fixedRef : d.peakRef;
    const double range = d.absoluteLevels ? d.rangeDb : d.shownRangeDb;
    const double t = std::clamp((level - (reference - range)) / range, 0.0, 1.0);
    const double gate = d.absoluteLevels ? d.gateDbfs : -120.0;
    const double fade = std::clamp((level - gate) / 3.0, 0.0, 1.0);
    double a = level < gate ? 0.0 : fade * fade * (3.0 - 2.0 * fade);
    if (d.overlay)
        a *= std::clamp((t - d.overlayThreshold) / std::max(1.0 - d.overlayThreshold, 1e-9), 0.0, 1.0) *
             d.overlayAlpha;
    a *= d.contrastFade * d.opacity;

    const double texel = t * 256.0;
    // A position on a strip boundary would make the nearest entry a coin toss; such cases are test faults.
    EXPECT_TRUE(t <= 0.0 || t >= 1.0 || std::abs(texel - std::floor(texel) - 0.5) < 0.45)
        << "scale position " << t << " sits on a strip boundary";
    const int index = std::clamp(static_cast<int>(texel), 0, 255);
    const QColor entry = QColor::fromRgb(lutEntry(d.strip, index));
    auto channel = [&](int value, int backgroundValue) {
        return 255.0 * std::pow(value / 255.0, 1.18) * a + backgroundValue * (1.0 - a);
    };
    return {channel(entry.red(), kBackground.red()), channel(entry.green(), kBackground.green()),
            channel(entry.blue(), kBackground.blue())};
}

::testing::AssertionResult pixelMatches(const QImage& image, int x, int y, const Expected& e) {
    const QColor c = image.pixelColor(x, y);
    const double dr = c.red() - e.r, dg = c.green() - e.g, db = c.blue() - e.b;
    if (std::abs(dr) <= kTolerance && std::abs(dg) <= kTolerance && std::abs(db) <= kTolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "pixel (" << x << "," << y << ") is " << c.red() << "," << c.green() << "," << c.blue()
           << ", expected " << e.r << "," << e.g << "," << e.b;
}

int fieldValue(double relativeDb) {
    return static_cast<int>(std::pow(10.0, relativeDb / 10.0) * 65535.0 + 0.5);
}

class HeatmapFieldPixels : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const std::string why = zk::qmltest::openGlUnavailableReason(); !why.empty()) GTEST_SKIP() << why;
        capture_ = std::make_unique<zk::qmltest::MessageCapture>();
        engine_ = std::make_unique<QQmlEngine>();
        context_ = zk::qmltest::installQmlTestContext(*engine_);
    }

    void TearDown() override {
        if (!engine_) return;
        field_.reset();
        window_.reset();
        EXPECT_TRUE(capture_->messages().isEmpty()) << capture_->messages().join('\n').toStdString();
        engine_.reset();
        capture_.reset();
    }

    // A window of cellsX x cellsY field cells of kCellPx pixels each, filled by one HeatmapField.
    void makeWindow(int cellsX, int cellsY, int cellPx = kCellPx,
                    const QByteArray& item = "HeatmapField {}") {
        window_ = std::make_unique<QQuickWindow>();
        window_->setColor(kBackground);
        window_->resize(cellsX * cellPx, cellsY * cellPx);
        QObject::connect(
            window_.get(), &QQuickWindow::sceneGraphError,
            [this](QQuickWindow::SceneGraphError, const QString& message) { sceneGraphError_ = message; });
        QQmlComponent component(engine_.get());
        component.setData("import QtQuick\nimport SorvantaApp\n" + item,
                          QUrl(QStringLiteral("qrc:/probe/Field.qml")));
        field_.reset(qobject_cast<QQuickItem*>(component.create()));
        ASSERT_NE(field_, nullptr) << component.errorString().toStdString();
        field_->setParentItem(window_->contentItem());
        field_->setSize(window_->size());
        window_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
        window_->grabWindow();
        if (!sceneGraphError_.isEmpty())
            GTEST_SKIP() << "scene graph failed: " << sceneGraphError_.toStdString();
        const auto api = window_->rendererInterface()->graphicsApi();
        if (api != QSGRendererInterface::OpenGL)
            GTEST_SKIP() << "the scene graph did not run on OpenGL (api " << int(api) << ")";
    }

    void setUi(const char* name, const QVariant& value) {
        ASSERT_TRUE(context_.ui->setProperty(name, value)) << name;
    }

    void apply(const Display& d) {
        setUi("mapPeakReferenceDbfs", d.peakRef);
        setUi("dynamicRange", d.rangeDb);
        setUi("mapShownRangeDb", d.shownRangeDb);
        setUi("levelGateDbfs", d.gateDbfs);
        setUi("mapHasAbsoluteLevels", d.absoluteLevels);
        setUi("heatmapScaleMode", d.fixedMode ? QStringLiteral("Fixed dBFS") : QStringLiteral("Auto peak"));
        setUi("fixedReferenceDbfs", d.fixedRef);
        setUi("cameraOverlayThreshold", d.overlayThreshold);
        setUi("cameraOverlayAlpha", d.overlayAlpha);
        setUi("mapContrastFade", d.contrastFade);
        setUi("heatmapColormap", d.strip);
        field_->setProperty("overlayMode", d.overlay);
        field_->setOpacity(d.opacity);
    }

    // Stores the field in the provider and lets the item fetch it as it does after a map update.
    void loadField(const QImage& field) {
        context_.heatmap->setImage(QStringLiteral("field"), field);
        setUi("hasHeatmap", true);
        auto* image = field_->findChild<QObject*>(QStringLiteral("fieldImg"));
        ASSERT_NE(image, nullptr);
        const QString before = image->property("source").toString();
        QTest::qWait(2);
        QMetaObject::invokeMethod(field_.get(), "reloadField");
        ASSERT_TRUE(QTest::qWaitFor([&] {
            return image->property("source").toString() != before && image->property("status").toInt() == 1;
        }));
    }

    QImage grab() {
        const QImage image = window_->grabWindow();
        EXPECT_EQ(image.size(), window_->size());
        return image;
    }

    std::unique_ptr<zk::qmltest::MessageCapture> capture_;
    std::unique_ptr<QQmlEngine> engine_;
    zk::qmltest::QmlTestContext context_;
    std::unique_ptr<QQuickWindow> window_;
    std::unique_ptr<QQuickItem> field_;
    QString sceneGraphError_;
};

// Two rows of five cells; the lower row runs the other way, so a flipped or mirrored field shows.
const std::vector<int> kTopRow = {65535, fieldValue(-10.0), fieldValue(-14.25), fieldValue(-20.0), 0};

std::vector<int> twoRowField() {
    std::vector<int> values = kTopRow;
    values.insert(values.end(), kTopRow.rbegin(), kTopRow.rend());
    return values;
}

void expectCells(const QImage& image, const std::vector<int>& values, int cellsX, const Display& d,
                 const char* what) {
    for (std::size_t i = 0; i < values.size(); ++i) {
        const int cx = static_cast<int>(i) % cellsX, cy = static_cast<int>(i) / cellsX;
        EXPECT_TRUE(pixelMatches(image, cx * kCellPx + kCellPx / 2, cy * kCellPx + kCellPx / 2,
                                 expectedFill(values[i], d)))
            << what << ": cell " << cx << "," << cy << " of value " << values[i];
    }
}

TEST_F(HeatmapFieldPixels, DrawsWithoutAFieldAndWithoutComplaint) {
    makeWindow(5, 2);
    apply(Display{});
    const QImage image = grab();
    EXPECT_FALSE(image.isNull());
    EXPECT_TRUE(capture_->messages().isEmpty()) << capture_->messages().join('\n').toStdString();
    for (int style : {1, 2, 3}) {
        setUi("heatmapStyle", style);
        grab();
    }
    EXPECT_TRUE(capture_->messages().isEmpty()) << capture_->messages().join('\n').toStdString();
}

TEST_F(HeatmapFieldPixels, DecodesScalesAndGatesEveryCell) {
    makeWindow(5, 2);
    Display d;
    apply(d);
    loadField(makeField(5, 2, twoRowField()));
    const QImage gated = grab();
    expectCells(gated, twoRowField(), 5, d, "gate at -35 dBFS");
    // The two cells below the gate show the background; the one 0.75 dB above it is partly covered.
    EXPECT_TRUE(pixelMatches(gated, 3 * kCellPx + 40, 40, {0.0, 64.0, 0.0}));
    EXPECT_TRUE(pixelMatches(gated, 4 * kCellPx + 40, 40, {0.0, 64.0, 0.0}));

    d.absoluteLevels = false;
    apply(d);
    const QImage relative = grab();
    expectCells(relative, twoRowField(), 5, d, "relative levels: gate at -120 dBFS");
    // Zero power is drawn as the bottom of the strip (the reference - 90 dB), not as a hole.
    const QColor bottom = QColor::fromRgb(lutEntry(0, 0));
    EXPECT_TRUE(pixelMatches(relative, 4 * kCellPx + 40, 40,
                             {255.0 * std::pow(bottom.redF(), 1.18), 255.0 * std::pow(bottom.greenF(), 1.18),
                              255.0 * std::pow(bottom.blueF(), 1.18)}));
}

// A map shown relative to its peak whose levels lie within a few decibels of it is spread over the
// strip by the controller's shown range; an absolute map keeps the dynamic range whatever that says.
TEST_F(HeatmapFieldPixels, ARelativeMapSpansItsShownRangeAndAnAbsoluteOneTheDynamicRange) {
    makeWindow(5, 2);
    const std::vector<int> values = {65535,           fieldValue(-0.9), fieldValue(-1.6), fieldValue(-2.2),
                                     fieldValue(-2.5), 65535,           fieldValue(-0.3), fieldValue(-1.1),
                                     fieldValue(-1.8), fieldValue(-2.3)};
    Display d;
    d.absoluteLevels = false;
    d.shownRangeDb = 2.5;
    apply(d);
    loadField(makeField(5, 2, values));
    const QImage spread = grab();
    expectCells(spread, values, 5, d, "relative map over 2.5 dB");
    const QColor bottom = QColor::fromRgb(lutEntry(0, 0)), top = QColor::fromRgb(lutEntry(0, 255));
    EXPECT_TRUE(pixelMatches(spread, 40, 40,
                             {255.0 * std::pow(top.redF(), 1.18), 255.0 * std::pow(top.greenF(), 1.18),
                              255.0 * std::pow(top.blueF(), 1.18)}));
    EXPECT_TRUE(pixelMatches(spread, 4 * kCellPx + 40, 40,
                             {255.0 * std::pow(bottom.redF(), 1.18), 255.0 * std::pow(bottom.greenF(), 1.18),
                              255.0 * std::pow(bottom.blueF(), 1.18)}));

    d.absoluteLevels = true;
    d.gateDbfs = -120.0;
    apply(d);
    expectCells(grab(), values, 5, d, "absolute map over the 30 dB dynamic range");
}

TEST_F(HeatmapFieldPixels, FixedReferenceBelowTheMapSaturatesAtTheTop) {
    makeWindow(5, 2);
    Display d;
    d.gateDbfs = -120.0;
    d.fixedMode = true;
    d.fixedRef = -45.0;
    apply(d);
    loadField(makeField(5, 2, twoRowField()));
    const QImage image = grab();
    expectCells(image, twoRowField(), 5, d, "fixed reference");
    const QColor top = image.pixelColor(40, 40);
    for (int cell = 1; cell < 4; ++cell) EXPECT_EQ(image.pixelColor(cell * kCellPx + 40, 40), top) << cell;

    d.absoluteLevels = false;
    apply(d);
    expectCells(grab(), twoRowField(), 5, d, "relative levels under a fixed dBFS scale");
}

TEST_F(HeatmapFieldPixels, CameraOverlayRampsAboveTheThreshold) {
    makeWindow(5, 2);
    Display d;
    d.absoluteLevels = false;
    d.overlay = true;
    apply(d);
    loadField(makeField(5, 2, twoRowField()));
    expectCells(grab(), twoRowField(), 5, d, "overlay");

    d.overlayThreshold = 1.0;
    apply(d);
    const QImage nothing = grab();
    for (int x = 0; x < nothing.width(); x += 7)
        for (int y = 0; y < nothing.height(); y += 7)
            ASSERT_TRUE(pixelMatches(nothing, x, y, {0.0, 64.0, 0.0})) << "threshold 1 draws nothing";
}

TEST_F(HeatmapFieldPixels, ContrastFadeOpacityAndColormapFollowTheController) {
    makeWindow(5, 2);
    Display d;
    d.absoluteLevels = false;
    d.contrastFade = 0.6;
    d.opacity = 0.5;
    d.strip = 2;
    apply(d);
    loadField(makeField(5, 2, twoRowField()));
    expectCells(grab(), twoRowField(), 5, d, "faded, half opaque, third strip");
    d.strip = 1;
    apply(d);
    QTest::qWait(20);
    expectCells(grab(), twoRowField(), 5, d, "second strip");
}

double meanDifference(const QImage& a, const QImage& b) {
    double sum = 0.0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QColor p = a.pixelColor(x, y), q = b.pixelColor(x, y);
            sum +=
                std::abs(p.red() - q.red()) + std::abs(p.green() - q.green()) + std::abs(p.blue() - q.blue());
        }
    return sum / (a.width() * a.height());
}

// Mirrored the way the map panel mirrors it, the field moves its peak label to the mirrored place, but
// the label's pixels are those of the plain label, not their mirror image.
TEST_F(HeatmapFieldPixels, MirroredFieldKeepsItsPeakLabelReadable) {
    makeWindow(5, 2, kCellPx,
               "HeatmapField { transform: Scale { origin.x: width / 2; xScale: mirrored ? -1 : 1 } }");
    Display d;
    d.absoluteLevels = false;
    apply(d);
    loadField(makeField(1, 1, {65535}));
    setUi("heatmapStyle", 3);
    setUi("mapPeaks",
          QVariantList{QVariantMap{{"u", 0.2}, {"v", 0.7}, {"label", "-3.0 dB"}, {"primary", false}}});
    QQuickItem* pill = nullptr;
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return (pill = findItem(field_.get(), QStringLiteral("pill"))) != nullptr; }));

    const QImage plain = grab();
    const QRect plainRect = pill->mapRectToScene(QRectF(0, 0, pill->width(), pill->height())).toAlignedRect();
    field_->setProperty("mirrored", true);
    const QImage mirrored = grab();
    const QRectF mirroredRect = pill->mapRectToScene(QRectF(0, 0, pill->width(), pill->height()));
    EXPECT_NEAR(mirroredRect.center().x(), plain.width() - plainRect.center().x(), 1.5);

    const QImage before = plain.copy(plainRect);
    const QImage after = mirrored.copy(QRect(mirroredRect.topLeft().toPoint(), plainRect.size()));
    const double same = meanDifference(after, before);
    const double flipped = meanDifference(after, before.mirrored(true, false));
    EXPECT_GT(flipped, 5.0) << "the label shows text that its mirror image changes";
    EXPECT_LT(same, 0.5 * flipped) << "the label reads as its mirror image";
}

// Between cell centres the field shows the bilinear interpolation of the cells' power (texture edges
// clamp); the model below works it out in double precision, the window's colours are read back through
// the colour strip. A narrow scale (0.03 dB per strip entry) makes the strip fine enough to see 0.05 dB.
class HeatmapFieldInterpolation : public HeatmapFieldPixels {
  protected:
    static constexpr double kScaleDb = 8.0;
    static constexpr double kToleranceDb = 0.05;

    static double modelLevel(const std::vector<int>& values, int cellsX, int cellsY, double u, double v) {
        auto axis = [](double coordinate, int cells, int& i0, int& i1) {
            const double pos = coordinate * cells - 0.5;
            const double base = std::floor(pos);
            i0 = std::clamp(static_cast<int>(base), 0, cells - 1);
            i1 = std::clamp(static_cast<int>(base) + 1, 0, cells - 1);
            return pos - base;
        };
        int x0, x1, y0, y1;
        const double fx = axis(u, cellsX, x0, x1), fy = axis(v, cellsY, y0, y1);
        auto power = [&](int x, int y) {
            return values.at(static_cast<std::size_t>(y * cellsX + x)) / 65535.0;
        };
        const double top = power(x0, y0) + fx * (power(x1, y0) - power(x0, y0));
        const double bottom = power(x0, y1) + fx * (power(x1, y1) - power(x0, y1));
        return 10.0 * std::log10(std::max(top + fy * (bottom - top), 1e-9));
    }

    // The strip entry whose shown colour (full cover, strip 0) is nearest to the pixel, or -1.
    static int stripEntry(const QColor& c) {
        int best = -1;
        double bestDistance = 1e9;
        for (int i = 0; i < 256; ++i) {
            const QColor e = QColor::fromRgb(lutEntry(0, i));
            const double dr = c.red() - 255.0 * std::pow(e.redF(), 1.18);
            const double dg = c.green() - 255.0 * std::pow(e.greenF(), 1.18);
            const double distance = dr * dr + dg * dg;
            if (distance < bestDistance) {
                bestDistance = distance;
                best = i;
            }
        }
        return bestDistance <= 2.0 * kTolerance * kTolerance ? best : -1;
    }

    // Every pixel between the outermost cell centres whose model level lies inside the scale topped at
    // `topDb` shows the strip entry of that level, to within the tolerance.
    void expectFollowsModel(const std::vector<int>& values, int cellsX, int cellsY, int cellPx,
                            double topDb) {
        Display d;
        d.peakRef = 0.0;
        d.gateDbfs = -120.0;
        d.fixedMode = true;
        d.fixedRef = topDb;
        d.rangeDb = kScaleDb;
        apply(d);
        const QImage image = grab();
        const double floorDb = topDb - kScaleDb, entryDb = kScaleDb / 256.0;
        int checked = 0;
        for (int y = cellPx / 2; y <= (cellsY - 1) * cellPx + cellPx / 2; ++y) {
            for (int x = cellPx / 2; x <= (cellsX - 1) * cellPx + cellPx / 2; ++x) {
                const double level =
                    modelLevel(values, cellsX, cellsY, (x + 0.5) / image.width(), (y + 0.5) / image.height());
                if (level < floorDb + 2 * entryDb || level > topDb - 2 * entryDb) continue;
                const int entry = stripEntry(image.pixelColor(x, y));
                ASSERT_GE(entry, 0) << "pixel (" << x << "," << y << ") is no strip colour";
                const double low = floorDb + entry * entryDb, high = low + entryDb;
                ASSERT_TRUE(level > low - kToleranceDb && level < high + kToleranceDb)
                    << "pixel (" << x << "," << y << ") shows " << low << ".." << high << " dB, model "
                    << level << " dB (scale top " << topDb << " dB)";
                ++checked;
            }
        }
        EXPECT_GT(checked, 100) << "scale top " << topDb << " dB";
    }
};

TEST_F(HeatmapFieldInterpolation, TwoCellsFollowTheModelBetweenTheirCentres) {
    const std::vector<int> values = {fieldValue(-24.2), fieldValue(-21.1)};
    makeWindow(2, 1, 160);
    loadField(makeField(2, 1, values));
    expectFollowsModel(values, 2, 1, 160, -18.0);
}

TEST_F(HeatmapFieldInterpolation, ARampInBothDirectionsFollowsTheModel) {
    constexpr int kCellsX = 6, kCellsY = 3, kPx = 48;
    std::vector<int> values;
    for (int y = 0; y < kCellsY; ++y)
        for (int x = 0; x < kCellsX; ++x) values.push_back(fieldValue(-3.0 * x - 4.0 * y));
    makeWindow(kCellsX, kCellsY, kPx);
    loadField(makeField(kCellsX, kCellsY, values));
    // Overlapping scales cover the ramp from 0 to -23 dB.
    for (double top : {0.5, -5.5, -11.5, -17.5}) expectFollowsModel(values, kCellsX, kCellsY, kPx, top);
}

// A field rising from -30 dB to 0 dB left to right; one contour at 0.9 of the 30 dB scale (-3 dB).
class HeatmapFieldContours : public HeatmapFieldPixels {
  protected:
    static constexpr int kWidth = 400;
    static constexpr int kLeft = 66;
    static constexpr int kRight = 65535;

    void SetUp() override {
        HeatmapFieldPixels::SetUp();
        if (IsSkipped()) return;
        makeWindow(1, 1, 1);
        window_->resize(kWidth, 81);
        field_->setSize(window_->size());
        QTest::qWait(20);
        Display d;
        d.peakRef = 0.0;
        d.absoluteLevels = false;
        apply(d);
        setUi("contourLevelCount", 1);
        setUi("contourLevels0", QVector4D(0.9f, 0.0f, 0.0f, 0.0f));
        loadField(makeField(2, 1, {kLeft, kRight}));
    }

    // Where the linearly interpolated power between the two texel centres reaches -3 dB.
    static double lineX() {
        const double target = std::pow(10.0, -0.3) * 65535.0;
        const double f = (target - kLeft) / (kRight - kLeft);
        const double c0 = kWidth / 4.0, c1 = 3.0 * kWidth / 4.0;
        return c0 + f * (c1 - c0) - 0.5;
    }

    QImage row(int style) {
        setUi("heatmapStyle", style);
        return grab();
    }
};

TEST_F(HeatmapFieldContours, LineOnlyStyleDrawsTheLevelBoundary) {
    const QImage image = row(1);
    const int y = 40;
    int brightest = -1, best = -1;
    for (int x = 0; x < kWidth; ++x) {
        const int blue = image.pixelColor(x, y).blue();
        if (blue > best) {
            best = blue;
            brightest = x;
        }
    }
    const double expectedX = lineX();
    EXPECT_NEAR(brightest, expectedX, 1.5);
    // The line takes the strip colour of its own level, at nearly full cover.
    const QColor line = image.pixelColor(brightest, y);
    const QColor entry = QColor::fromRgb(lutEntry(0, static_cast<int>(0.9 * 256)));
    EXPECT_GE(line.blue(), 0.8 * entry.blue());
    EXPECT_NEAR(double(line.red()) / line.blue(), double(entry.red()) / entry.blue(), 0.06);
    EXPECT_NEAR(
        double(line.green() - kBackground.green() * (1.0 - line.blue() / double(entry.blue()))) / line.blue(),
        double(entry.green()) / entry.blue(), 0.06);
    for (int x = 0; x < kWidth; ++x) {
        if (std::abs(x - expectedX) > 8) {
            ASSERT_TRUE(pixelMatches(image, x, y, {0.0, 64.0, 0.0})) << "away from the line, x " << x;
        }
    }
}

TEST_F(HeatmapFieldContours, LinesOverTheFillDarkenOnlyAtTheBoundary) {
    const QImage fill = row(0);
    const QImage lined = row(2);
    const int y = 40;
    const double expectedX = lineX();
    const int lineAt = static_cast<int>(std::lround(expectedX));
    EXPECT_LT(lined.pixelColor(lineAt, y).blue(), 0.7 * fill.pixelColor(lineAt, y).blue())
        << "the translucent ink darkens the fill on the line";
    for (int x = 0; x < kWidth; ++x) {
        if (std::abs(x - expectedX) > 8) {
            const QColor a = fill.pixelColor(x, y), b = lined.pixelColor(x, y);
            ASSERT_LE(std::abs(a.blue() - b.blue()) + std::abs(a.red() - b.red()), 2) << "x " << x;
        }
    }
}

TEST_F(HeatmapFieldContours, NoLevelsDrawNoLines) {
    setUi("contourLevelCount", 0);
    const QImage lines = row(1);
    for (int x = 0; x < kWidth; x += 3)
        ASSERT_TRUE(pixelMatches(lines, x, 40, {0.0, 64.0, 0.0})) << "x " << x;
    EXPECT_EQ(row(2), row(0)) << "contour over fill without levels is the plain fill";
}

}  // namespace
