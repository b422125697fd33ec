#pragma once

class QQmlEngine;
class QObject;

namespace zk::qmltest {

class FakeHeatmapProvider;

struct QmlTestContext {
    QObject* ui = nullptr;                  // owned by the engine
    FakeHeatmapProvider* heatmap = nullptr;  // owned by the engine
};

// Makes the module importable from the linked resources and publishes a stand-in controller as "ui"
// and the test's heatmap provider under "heatmap", as the application publishes its own.
QmlTestContext installQmlTestContext(QQmlEngine& engine);

}  // namespace zk::qmltest
