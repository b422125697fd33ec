#pragma once

class QQmlEngine;
class QObject;

namespace zk::app {
class UiController;
}

namespace zk::render {
class DiagnosticImageProvider;
}

namespace zk::qmltest {

class FakeHeatmapProvider;

struct QmlTestContext {
    QObject* ui = nullptr;                                  // owned by the engine
    FakeHeatmapProvider* heatmap = nullptr;                 // owned by the engine
    QObject* i18n = nullptr;                                // owned by the engine
    QObject* cameraFilter = nullptr;                        // owned by the engine
    QObject* deviceCtl = nullptr;                           // owned by the engine
    render::DiagnosticImageProvider* diagnostic = nullptr;  // owned by the engine
};

// Makes the module importable from the linked resources and publishes stand-ins for the controller
// ("ui"), the language switch ("i18n"), the camera filter ("cameraFilter"), the device controller
// ("deviceCtl"), the test's heatmap provider ("heatmap") and the diagnostic image provider
// ("diagnostic"), under the names the application uses.
QmlTestContext installQmlTestContext(QQmlEngine& engine);

// Publishes the application's own context objects and image providers, made as the start-up makes
// them. The settings are those of the current application name; callers keep them private.
app::UiController* installApplicationContext(QQmlEngine& engine);

}  // namespace zk::qmltest
