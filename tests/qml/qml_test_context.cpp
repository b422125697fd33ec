#include "qml_test_context.h"

#include <QCoreApplication>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QUrl>
#include <stdexcept>

#include "app/i18n_manager.h"
#include "app/ui_controller.h"
#include "camera/camera_filter_chain.h"
#include "device/device_controller.h"
#include "fake_heatmap_provider.h"
#include "render/diagnostic_image_provider.h"

namespace zk::qmltest {

namespace {

QObject* publishStandIn(QQmlEngine& engine, const char* file, const char* name) {
    QQmlComponent component(&engine,
                            QUrl::fromLocalFile(QStringLiteral(ZK_QML_TEST_DIR "/") + QLatin1String(file)));
    QObject* object = component.create();
    if (!object) throw std::runtime_error(component.errorString().toStdString());
    object->setParent(&engine);
    engine.rootContext()->setContextProperty(QLatin1String(name), object);
    return object;
}

}  // namespace

QmlTestContext installQmlTestContext(QQmlEngine& engine) {
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    QmlTestContext context;
    context.ui = publishStandIn(engine, "FakeUi.qml", "ui");
    context.i18n = publishStandIn(engine, "FakeI18n.qml", "i18n");
    context.cameraFilter = publishStandIn(engine, "FakeCameraFilter.qml", "cameraFilter");
    context.deviceCtl = publishStandIn(engine, "FakeDeviceCtl.qml", "deviceCtl");
    context.heatmap = new FakeHeatmapProvider;
    engine.addImageProvider(QStringLiteral("heatmap"), context.heatmap);
    // The real provider: it serves an empty picture for every view until something is stored.
    context.diagnostic = new render::DiagnosticImageProvider;
    engine.addImageProvider(QStringLiteral("diagnostic"), context.diagnostic);
    return context;
}

app::UiController* installApplicationContext(QQmlEngine& engine) {
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    QQmlContext* root = engine.rootContext();
    auto* i18n = new app::I18nManager(QCoreApplication::instance(), &engine);
    root->setContextProperty(QStringLiteral("i18n"), i18n);
    auto* ui = new app::UiController(&engine, &engine);
    QObject::connect(i18n, &app::I18nManager::languageChanged, ui, [ui] { ui->refreshLocalizedStrings(); });
    root->setContextProperty(QStringLiteral("ui"), ui);
    root->setContextProperty(QStringLiteral("cameraFilter"), new camera::CameraFilterChain(&engine));
    root->setContextProperty(QStringLiteral("deviceCtl"), new device::DeviceController(ui, &engine));
    ui->registerImageProviders(engine);
    return ui;
}

}  // namespace zk::qmltest
