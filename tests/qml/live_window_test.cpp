// The real executable on the private X server, as a user sees it: the Live page with a synthetic
// source, Start pressed with the pointer, then the screen read back and judged by its pixels.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QPointF>
#include <QProcess>
#include <QRect>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QSizeF>
#include <QTemporaryDir>
#include <QTest>
#include <QVariant>
#include <algorithm>
#include <cmath>
#include <optional>
#include <unordered_map>
#include <vector>

#include "app/application_identity.h"
#include "app/ui_controller.h"
#include "render/heatmap_image_provider.h"
#include "render_environment.h"

namespace {

const QString kProfile = QStringLiteral("TM27-128-H1.6.2.device.json");
// Where the synthetic source is put (tangent-plane angles, degrees).
constexpr double kSourceAzimuthDeg = 15.0;
constexpr double kSourceElevationDeg = 10.0;
// The abyss theme's colours the test looks for.
const QColor kSuccess(0x22, 0xc5, 0x5e);
const QColor kDanger(0xef, 0x44, 0x44);
const QColor kAccent(0xc3, 0xcc, 0xd9);

bool near(QRgb pixel, const QColor& colour, int tolerance) {
    return std::abs(qRed(pixel) - colour.red()) <= tolerance &&
           std::abs(qGreen(pixel) - colour.green()) <= tolerance &&
           std::abs(qBlue(pixel) - colour.blue()) <= tolerance;
}

// The 256 colours an opaque field shows: each entry of the viridis strip raised to the power 1.18.
std::vector<QColor> fieldColours() {
    zk::render::HeatmapImageProvider provider;
    QSize size;
    const QImage strip = provider.requestImage(QStringLiteral("lut0"), &size, QSize());
    std::vector<QColor> colours;
    for (int i = 0; i < strip.width(); ++i) {
        const QColor entry = strip.pixelColor(i, 0);
        auto lift = [](double c) { return static_cast<int>(std::lround(255.0 * std::pow(c, 1.18))); };
        colours.emplace_back(lift(entry.redF()), lift(entry.greenF()), lift(entry.blueF()));
    }
    return colours;
}

// Index of the strip entry a pixel shows, or -1 when it is no colour of the strip.
int nearestEntry(QRgb pixel, const std::vector<QColor>& colours) {
    int best = -1, bestDistance = 1 << 30;
    for (int i = 0; i < static_cast<int>(colours.size()); ++i) {
        const int dr = qRed(pixel) - colours[i].red(), dg = qGreen(pixel) - colours[i].green(),
                  db = qBlue(pixel) - colours[i].blue();
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return bestDistance <= 3 * 6 * 6 ? best : -1;
}

// A screen holds few distinct colours; each is matched against the strip once.
class StripMatcher {
  public:
    explicit StripMatcher(std::vector<QColor> colours) : colours_(std::move(colours)) {}
    int operator()(QRgb pixel) {
        const auto [it, inserted] = memo_.try_emplace(pixel & 0xFFFFFFu, 0);
        if (inserted) it->second = nearestEntry(pixel, colours_);
        return it->second;
    }

  private:
    std::vector<QColor> colours_;
    std::unordered_map<QRgb, int> memo_;
};

QString run(const QString& program, const QStringList& arguments, int timeoutMs = 20000) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

// The map as found on screen: the box that the field's colours fill, and where its top colours sit.
struct MapOnScreen {
    QRect box;
    QPointF peak;  // centroid of the top strip colours, in fractions of the box
    int topPixels = 0;
};

std::optional<MapOnScreen> findMap(const QImage& image, StripMatcher& stripIndex) {
    std::vector<int> rowCount(image.height(), 0);
    std::vector<std::vector<int>> index(image.height(), std::vector<int>(image.width(), -1));
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            index[y][x] = stripIndex(line[x]);
            if (index[y][x] >= 0) ++rowCount[y];
        }
    }
    // Rows the field crosses hold hundreds of its pixels; the legend bar holds at most its width.
    int top = -1, bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        if (rowCount[y] >= 200) {
            if (top < 0) top = y;
            bottom = y;
        }
    }
    if (top < 0) return std::nullopt;
    int left = image.width(), right = -1;
    for (int x = 0; x < image.width(); ++x) {
        int count = 0;
        for (int y = top; y <= bottom; ++y) count += index[y][x] >= 0;
        if (count * 2 >= bottom - top + 1) {
            left = std::min(left, x);
            right = std::max(right, x);
        }
    }
    if (right < left) return std::nullopt;
    MapOnScreen map;
    map.box = QRect(QPoint(left, top), QPoint(right, bottom));
    double sx = 0, sy = 0;
    for (int y = top; y <= bottom; ++y) {
        for (int x = left; x <= right; ++x) {
            if (index[y][x] >= 250) {
                sx += x + 0.5;
                sy += y + 0.5;
                ++map.topPixels;
            }
        }
    }
    if (map.topPixels > 0) {
        map.peak = QPointF((sx / map.topPixels - left) / map.box.width(),
                           (sy / map.topPixels - top) / map.box.height());
    }
    return map;
}

int countNear(const QImage& image, const QRect& area, const QColor& colour) {
    int count = 0;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) count += near(image.pixel(x, y), colour, 12);
    return count;
}

QRect boundsOf(const QImage& image, const QRect& area, const QColor& colour) {
    QRect bounds;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (near(image.pixel(x, y), colour, 12)) bounds = bounds.united(QRect(x, y, 1, 1));
    return bounds;
}

// Whether a live session runs in this build: the same controller code, started in this process.
bool liveSessionRuns() {
    QCoreApplication::setApplicationName(QStringLiteral("LiveWindow.probe"));
    QFile::remove(QSettings().fileName());
    bool runs = false;
    {
        zk::app::UiController ui;
        ui.importProfile(QStringLiteral(ZK_PROFILES_DIR "/small-4.device.json"));
        ui.setSource(QStringLiteral("Synthetic"));
        const QString before = ui.statusText();
        ui.startLive();
        runs = ui.sessionState() != QLatin1String("Ready") || ui.statusText() != before;
        ui.stopLive();
    }
    QFile::remove(QSettings().fileName());
    return runs;
}

// For people to look at: the window as the test saw it last.
void saveScreenshot(const QImage& image, const char* name = "live_window.png") {
    QDir().mkpath(ZK_ARTIFACTS_DIR);
    EXPECT_TRUE(image.save(QStringLiteral(ZK_ARTIFACTS_DIR "/") + QLatin1String(name)));
}

// The x and y extent of the profile's microphones, as the controller reads them.
QSizeF geometryExtent() {
    QCoreApplication::setApplicationName(QStringLiteral("LiveWindow.geometry"));
    QFile::remove(QSettings().fileName());
    QSizeF extent;
    {
        zk::app::UiController ui;
        ui.importProfile(QStringLiteral(ZK_PROFILES_DIR "/") + kProfile);
        double minX = 1e18, maxX = -1e18, minY = 1e18, maxY = -1e18;
        for (const QVariant& entry : ui.profileGeometry()) {
            const QPointF point = entry.toPointF();
            minX = std::min(minX, point.x());
            maxX = std::max(maxX, point.x());
            minY = std::min(minY, point.y());
            maxY = std::max(maxY, point.y());
        }
        if (maxX > minX) extent = QSizeF(maxX - minX, maxY - minY);
    }
    QFile::remove(QSettings().fileName());
    return extent;
}

class LiveWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const std::string why = zk::qmltest::openGlUnavailableReason(); !why.empty()) GTEST_SKIP() << why;
        ASSERT_FALSE(run(QStringLiteral("xdotool"), {QStringLiteral("version")}).isEmpty())
            << "xdotool is missing (tools/install-deps.sh installs it)";
        ASSERT_TRUE(root_.isValid());
        QDir dir(root_.path());
        for (const char* sub : {"bin/profiles", "home/config", "tmp", "runtime"})
            ASSERT_TRUE(dir.mkpath(sub));
        QFile::setPermissions(root_.path() + "/runtime",
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        // The real executable in a folder of its own, so its profile store is private to this run.
        const QString exe = root_.path() + "/bin/sorvanta";
        if (link(QFile::encodeName(ZK_SORVANTA_EXE).constData(), QFile::encodeName(exe).constData()) != 0) {
            ASSERT_TRUE(QFile::copy(ZK_SORVANTA_EXE, exe));
        }

        QSettings settings(root_.path() + "/home/config/" + zk::app::organizationName() + "/" +
                               zk::app::applicationName() + ".conf",
                           QSettings::IniFormat);
        settings.setValue("ui/language", "en");
        settings.setValue("ui/theme", "abyss");
        settings.setValue("azimuth", kSourceAzimuthDeg);
        settings.setValue("elevation", kSourceElevationDeg);
        // Every cell drawn and opaque, so the field shows the strip's own colours.
        settings.setValue("levelGateDbfs", -120.0);
        settings.setValue("heatmapOpacity", 1.0);
        settings.sync();
    }

    void TearDown() override {
        if (app_.state() != QProcess::NotRunning) {
            app_.terminate();
            if (!app_.waitForFinished(10000)) {
                app_.kill();
                app_.waitForFinished();
            }
        }
    }

    void start(const QString& workspace = QStringLiteral("live")) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", root_.path() + "/home");
        env.insert("XDG_CONFIG_HOME", root_.path() + "/home/config");
        env.insert("XDG_RUNTIME_DIR", root_.path() + "/runtime");
        env.insert("TMPDIR", root_.path() + "/tmp");
        env.insert("OMP_WAIT_POLICY", "PASSIVE");
        env.remove("QT_QUICK_BACKEND");
        env.remove("SORVANTA_QUIT_AFTER_START");
        app_.setProcessEnvironment(env);
        app_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        app_.start(root_.path() + "/bin/sorvanta",
                   {"--profile", QStringLiteral(ZK_PROFILES_DIR "/") + kProfile, "--source", "Synthetic",
                    "--workspace", workspace});
        ASSERT_TRUE(app_.waitForStarted());
    }

    // The window's place on the screen, once it is mapped.
    QRect waitForWindow() {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 60000 && app_.state() == QProcess::Running) {
            const QString id = run("xdotool", {"search", "--onlyvisible", "--name", "^Sorvanta Studio v"})
                                   .section('\n', 0, 0);
            if (!id.isEmpty()) {
                const QString shell = run("xdotool", {"getwindowgeometry", "--shell", id});
                QRect rect;
                for (const QString& line : shell.split('\n')) {
                    const QString key = line.section('=', 0, 0), value = line.section('=', 1);
                    if (key == "X") rect.moveLeft(value.toInt());
                    if (key == "Y") rect.moveTop(value.toInt());
                    if (key == "WIDTH") rect.setWidth(value.toInt());
                    if (key == "HEIGHT") rect.setHeight(value.toInt());
                }
                if (rect.width() > 0) return rect;
            }
            QTest::qWait(200);
        }
        return {};
    }

    QImage grab(const QRect& window) {
        return QGuiApplication::primaryScreen()
            ->grabWindow(0, window.x(), window.y(), window.width(), window.height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    }

    QTemporaryDir root_;
    QProcess app_;
};

TEST_F(LiveWindow, StartShowsTheSyntheticSourceWhereItPointsAndTheHeaderSaysRunning) {
    start();
    const QRect window = waitForWindow();
    ASSERT_TRUE(window.isValid()) << "the window never appeared";
    const QRect header(0, 0, window.width(), 72);
    const QRect sidebar(0, 72, 104, window.height() - 72);

    // The enabled Start button is the only thing in the sidebar drawn in the success colour.
    QImage image;
    QRect start;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 30000 && !start.isValid()) {
        QTest::qWait(250);
        image = grab(window);
        start = boundsOf(image, sidebar, kSuccess);
    }
    ASSERT_TRUE(start.isValid()) << "no enabled Start button in the sidebar";
    const QPoint press = window.topLeft() + start.center();
    run("xdotool",
        {"mousemove", "--sync", QString::number(press.x()), QString::number(press.y()), "click", "1"});

    // Running shows as the session pill in the success colour; the label inside it reads "Running".
    bool running = false;
    clock.restart();
    while (clock.elapsed() < 20000 && !running) {
        QTest::qWait(250);
        image = grab(window);
        running = countNear(image, header, kSuccess) > 20;
    }
    if (!running) {
        saveScreenshot(image);
        ASSERT_EQ(countNear(image, header, kDanger), 0) << "the session faulted";
        if (!liveSessionRuns()) GTEST_SKIP() << "live session not available";
        FAIL() << "Start did not bring the session to Running";
    }
    QFont bold(QStringLiteral("Segoe UI"));
    bold.setPixelSize(12);
    bold.setBold(true);
    const QRect pill = boundsOf(image, header, kSuccess);
    EXPECT_NEAR(pill.width(), QFontMetricsF(bold).horizontalAdvance(QStringLiteral("Running")) + 24, 3.0)
        << "the pill's width is that of its label";

    // The maps arrive: the field's colours fill a 4:3 box and the top colours gather at the source.
    // The first maps can show only the cells near the source while the display level settles; a
    // loaded machine may take seconds to get past them.
    StripMatcher matcher(fieldColours());
    std::optional<MapOnScreen> map;
    auto settled = [&] {
        return map && map->topPixels > 0 && map->box.width() > 400 &&
               std::abs(double(map->box.width()) / map->box.height() - 4.0 / 3.0) <= 0.04;
    };
    clock.restart();
    while (clock.elapsed() < 30000 && !settled()) {
        QTest::qWait(500);
        image = grab(window);
        map = findMap(image, matcher);
    }
    saveScreenshot(image);
    ASSERT_TRUE(map.has_value()) << "no map colours on screen";
    ASSERT_GT(map->topPixels, 0) << "no peak colour on screen";
    EXPECT_GT(map->box.left(), sidebar.right()) << "the map stands on the page, beside the sidebar";
    EXPECT_GT(map->box.width(), 400);
    EXPECT_NEAR(double(map->box.width()) / map->box.height(), 4.0 / 3.0, 0.04);

    QFile profileFile(QStringLiteral(ZK_PROFILES_DIR "/") + kProfile);
    ASSERT_TRUE(profileFile.open(QIODevice::ReadOnly));
    const QByteArray text = profileFile.readAll();
    const double hfov = QRegularExpression(R"("hfovDeg"\s*:\s*([0-9.]+))").match(text).captured(1).toDouble();
    const double vfov = QRegularExpression(R"("vfovDeg"\s*:\s*([0-9.]+))").match(text).captured(1).toDouble();
    ASSERT_GT(hfov, 0.0);
    ASSERT_GT(vfov, 0.0);
    // Azimuth grows to the right, elevation upwards, each across the camera's field of view.
    EXPECT_NEAR(map->peak.x(), (kSourceAzimuthDeg + hfov / 2) / hfov, 0.04);
    EXPECT_NEAR(map->peak.y(), (vfov / 2 - kSourceElevationDeg) / vfov, 0.05);
}

// The Device workspace: the array's top view at the right of the page shows the microphones of the
// profile, drawn with one scale on both axes, so their bounds are as wide against their height as the
// array is.
TEST_F(LiveWindow, DeviceWorkspaceDrawsTheArrayInItsOwnProportions) {
    const QSizeF extent = geometryExtent();
    ASSERT_TRUE(extent.isValid() && extent.height() > 0) << "the profile's microphones span no area";
    start(QStringLiteral("device"));
    const QRect window = waitForWindow();
    ASSERT_TRUE(window.isValid()) << "the window never appeared";
    // The layout card: 380 px wide at the page's right margin, above the log card.
    const QRect card(window.width() - 14 - 380, 72, 380, window.height() - 72 - 260);

    // The window opens on the Live page and switches after start-up; the current workspace's accent bar
    // stands at the left edge of its sidebar button, and Device's button is the first, near the top.
    const QRect navEdge(0, 72, 24, 240);
    QImage image;
    int count = 0;
    bool onDevice = false;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 30000 && !(onDevice && count >= 128 * 4)) {
        QTest::qWait(250);
        image = grab(window);
        const QRect bar = boundsOf(image, navEdge, kAccent);
        onDevice = bar.isValid() && bar.center().y() < 72 + 110;
        count = countNear(image, card, kAccent);
    }
    saveScreenshot(image, "device_window.png");
    ASSERT_TRUE(onDevice) << "the Device workspace is not the current one";
    ASSERT_GE(count, 128 * 4) << "the microphones are not drawn in the layout card";
    const QRect dots = boundsOf(image, card, kAccent);
    EXPECT_NEAR(double(dots.width()) / dots.height(), extent.width() / extent.height(),
                0.05 * extent.width() / extent.height());
    EXPECT_GT(dots.width(), 200) << "the array fills the card";
}

}  // namespace
