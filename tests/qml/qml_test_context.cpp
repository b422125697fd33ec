#include "qml_test_context.h"

#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QUrl>
#include <stdexcept>

#include "fake_heatmap_provider.h"

namespace zk::qmltest {

QmlTestContext installQmlTestContext(QQmlEngine& engine) {
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));

    QQmlComponent component(&engine, QUrl::fromLocalFile(QStringLiteral(ZK_QML_TEST_DIR "/FakeUi.qml")));
    QObject* ui = component.create();
    if (!ui) throw std::runtime_error(component.errorString().toStdString());
    ui->setParent(&engine);
    engine.rootContext()->setContextProperty(QStringLiteral("ui"), ui);

    auto* heatmap = new FakeHeatmapProvider;
    engine.addImageProvider(QStringLiteral("heatmap"), heatmap);
    return {ui, heatmap};
}

}  // namespace zk::qmltest
