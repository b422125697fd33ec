// The live view's cost on the GUI thread: the acoustic canvas of the Live page (1100 x 840 pixels, its
// size in the 1680 x 1000 window) in a real OpenGL window on a private Xvfb (Mesa's software OpenGL),
// fed a new field at 10 maps per second, as the live map thread feeds it. Field sizes: the shipped
// profile's live grid (69 x 43 cells, 1-degree steps over its camera's field of view) and a 0.25-degree
// analysis grid (257 x 193). Each iteration is one 100 ms map period; its manual time is the GUI thread's
// CPU time in that period (reload, image request, polish, synchronisation, and the drawing too when the
// scene graph renders on the GUI thread). Counters: frames per second of the window, the GUI thread's
// busy share, the scene-graph synchronisation time per map (the GUI thread is blocked meanwhile) and
// the drawing time per frame up to the buffer swap (texture uploads, the shader pass and Mesa's
// rasterising, on the render thread).
#include <benchmark/benchmark.h>
#include <time.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QOpenGLContext>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "app/platform/media_backend.h"
#include "fake_heatmap_provider.h"
#include "qml_test_context.h"
#include "xvfb_server.h"

namespace {

double threadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec * 1e-6;
}

// Runs the event loop for the given time without spinning, so idle time costs no CPU.
void runEventLoop(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// One source circling the centre: a fresh field every map, as the painter stores it.
QImage movingSource(int width, int height, int map) {
    const double angle = map * 0.3;
    const double cx = width * (0.5 + 0.25 * std::cos(angle)), cy = height * (0.5 + 0.25 * std::sin(angle));
    const double sigma2 = 0.01 * width * width;
    std::vector<int> values(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
            values[static_cast<std::size_t>(y) * width + x] =
                static_cast<int>((1e-3 + 0.999 * std::exp(-d2 / sigma2)) * 65535.0 + 0.5);
        }
    }
    return zk::qmltest::makeField(width, height, values);
}

struct Scene {
    std::unique_ptr<QQmlEngine> engine;
    zk::qmltest::QmlTestContext context;
    std::unique_ptr<QQuickWindow> window;
    std::unique_ptr<QQuickItem> canvas;
    std::unique_ptr<QObject> host;
};

// The canvas inside a host that stands where the main window stands for the pages.
bool makeScene(Scene& scene, std::string* error) {
    scene.engine = std::make_unique<QQmlEngine>();
    scene.context = zk::qmltest::installQmlTestContext(*scene.engine);
    QQmlComponent component(scene.engine.get());
    component.setData(
        "import QtQuick\nimport SorvantaApp\n"
        "Item { id: window; property var appCamera: null; width: 1100; height: 840\n"
        "  AcousticCanvas { objectName: 'canvas'; anchors.fill: parent } }",
        QUrl(QStringLiteral("qrc:/bench/LiveView.qml")));
    scene.host.reset(component.create());
    auto* host = qobject_cast<QQuickItem*>(scene.host.get());
    if (!host) {
        *error = component.errorString().toStdString();
        return false;
    }
    scene.window = std::make_unique<QQuickWindow>();
    scene.window->resize(1100, 840);
    host->setParentItem(scene.window->contentItem());
    scene.window->show();
    runEventLoop(300);
    if (scene.window->rendererInterface()->graphicsApi() != QSGRendererInterface::OpenGL) {
        *error = "the scene graph does not run on OpenGL";
        return false;
    }
    QObject* ui = scene.context.ui;
    ui->setProperty("hasProfile", true);
    ui->setProperty("mapSource", QStringLiteral("live"));
    ui->setProperty("mapHasAbsoluteLevels", true);
    ui->setProperty("mapPeakReferenceDbfs", -20.0);
    ui->setProperty("levelGateDbfs", -60.0);
    ui->setProperty("mapVisiblePixels", 100);
    ui->setProperty("hasHeatmap", true);
    return true;
}

void liveView(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    Scene scene;
    std::string error;
    if (!makeScene(scene, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    // Emitted on the render thread (or the GUI thread) while the GUI thread waits for the hand-over.
    // Counted on the render thread, read at the end.
    std::atomic<long long> frames{0}, syncNs{0}, renderNs{0};
    std::atomic<bool> syncOnGuiThread{false};  // written on the render thread, read at the end
    QElapsedTimer syncClock, renderClock;      // render thread only
    QObject::connect(
        scene.window.get(), &QQuickWindow::frameSwapped, scene.window.get(),
        [&] {
            ++frames;
            renderNs += renderClock.nsecsElapsed();
        },
        Qt::DirectConnection);
    QObject::connect(
        scene.window.get(), &QQuickWindow::beforeSynchronizing, scene.window.get(),
        [&] {
            syncOnGuiThread = QThread::currentThread() == qApp->thread();
            syncClock.start();
        },
        Qt::DirectConnection);
    QObject::connect(
        scene.window.get(), &QQuickWindow::afterSynchronizing, scene.window.get(),
        [&] { syncNs += syncClock.nsecsElapsed(); }, Qt::DirectConnection);

    // Painted beforehand: in the application the map thread paints them, not the GUI thread.
    std::vector<QImage> fields;
    for (int i = 0; i < 21; ++i) fields.push_back(movingSource(width, height, i));
    QObject::connect(
        scene.window.get(), &QQuickWindow::beforeRendering, scene.window.get(), [&] { renderClock.start(); },
        Qt::DirectConnection);
    int map = 0;
    double cpuTotal = 0;
    QElapsedTimer wall;
    wall.start();
    for (auto _ : state) {
        const double cpu0 = threadCpuMs();
        QElapsedTimer period;
        period.start();
        scene.context.heatmap->setImage(QStringLiteral("field"), fields[map++ % fields.size()]);
        QMetaObject::invokeMethod(scene.context.ui, "heatmapUpdated");
        runEventLoop(std::max<int>(1, 100 - static_cast<int>(period.elapsed())));
        const double cpu = threadCpuMs() - cpu0;
        cpuTotal += cpu;
        state.SetIterationTime(cpu * 1e-3);
    }
    const double seconds = wall.nsecsElapsed() * 1e-9;
    state.counters["fps"] = frames.load() / seconds;
    state.counters["gui_busy_share"] = cpuTotal * 1e-3 / seconds;
    state.counters["sync_ms_per_map"] = syncNs.load() * 1e-6 / std::max(map, 1);
    state.counters["render_ms_per_frame"] = renderNs.load() * 1e-6 / std::max<long long>(frames.load(), 1);
    state.counters["field_cells"] = width * height;
    state.counters["render_on_gui_thread"] = syncOnGuiThread.load() ? 1 : 0;
    const int fetched = scene.context.heatmap->requestCount(QStringLiteral("field"));
    if (fetched < map * 9 / 10) state.SkipWithError("the canvas did not fetch every field");
}

BENCHMARK(liveView)
    ->Args({69, 43})
    ->Args({257, 193})
    ->Iterations(100)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

// A private Xvfb and an OpenGL scene graph, as the window test uses: the software Quick backend would
// draw no shader at all.
int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    zk::app::platform::selectMediaBackend();
    zk::qmltest::XvfbServer server;
    std::string error;
    if (!server.start(&error)) {
        std::fprintf(stderr, "live view bench: %s\n", error.c_str());
        return 1;
    }
    setenv("DISPLAY", server.display().c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    setenv("QSG_RHI_BACKEND", "opengl", 1);
    setenv("QT_XCB_GL_INTEGRATION", "xcb_glx", 1);
    unsetenv("QT_QUICK_BACKEND");
    QStandardPaths::setTestModeEnabled(true);
    QQuickStyle::setStyle(QStringLiteral("Basic"));
    QGuiApplication app(argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
