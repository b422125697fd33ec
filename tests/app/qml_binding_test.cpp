// A real QML engine binds to every property of "ui" without a warning and follows its change signals.
#include <gtest/gtest.h>

#include <QImage>
#include <QMetaProperty>
#include <QMutex>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickImageProvider>
#include <memory>

#include "app/ui_controller.h"
#include "app_test_support.h"

namespace zk::app::test {
namespace {

using QmlBinding = ControllerSettingsTest;

// Every message of the engine while a test watches; warnings and worse fail the test.
QMutex messagesMutex;  // guards messages: the QML engine may report from its loader threads
QStringList messages;
void recordMessage(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtDebugMsg || type == QtInfoMsg) return;
    QMutexLocker lock(&messagesMutex);
    messages.append(text);
}

class MessageWatch {
  public:
    MessageWatch() : previous_(qInstallMessageHandler(recordMessage)) {}
    ~MessageWatch() { qInstallMessageHandler(previous_); }
    QStringList take() {
        QMutexLocker lock(&messagesMutex);
        QStringList taken;
        taken.swap(messages);
        return taken;
    }

  private:
    QtMessageHandler previous_;
};

// One QML property per controller property, bound to it; the one property without a change signal is
// read once when the component completes, as a page reads it on demand.
QByteArray bindingComponentText() {
    QByteArray text = "import QtQuick\nItem {\n";
    QByteArray onCompleted;
    const QMetaObject& meta = UiController::staticMetaObject;
    for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i) {
        const QMetaProperty property = meta.property(i);
        const QByteArray name = property.name();
        if (property.hasNotifySignal() || property.isConstant()) {
            text += "    property var p_" + name + ": ui." + name + "\n";
        } else {
            text += "    property var p_" + name + "\n";
            onCompleted += "p_" + name + " = ui." + name + "; ";
        }
    }
    text += "    Component.onCompleted: { " + onCompleted + "}\n}\n";
    return text;
}

bool sameAsCpp(const QVariant& qml, const QVariant& cpp) {
    if (cpp.typeId() == QMetaType::QVariantList || cpp.typeId() == QMetaType::QStringList) {
        return qml.toList().size() == cpp.toList().size();
    }
    if (cpp.canConvert<double>() && cpp.typeId() != QMetaType::QString &&
        cpp.typeId() != QMetaType::QVector4D) {
        return qml.toDouble() == cpp.toDouble() ||
               (qml.toDouble() != qml.toDouble() && cpp.toDouble() != cpp.toDouble());
    }
    return qml == cpp || qml.toString() == cpp.toString();
}

TEST_F(QmlBinding, EveryPropertyBindsWithoutAWarningAndFollowsItsSignal) {
    MessageWatch watch;
    QQmlEngine engine;
    auto* ui = new UiController(&engine, &engine);
    ui->registerImageProviders(engine);
    engine.rootContext()->setContextProperty(QStringLiteral("ui"), ui);
    importShippedProfile(*ui, "small-4.device.json");

    QQmlComponent component(&engine);
    component.setData(bindingComponentText(), QUrl(QStringLiteral("qrc:/BindingProbe.qml")));
    ASSERT_TRUE(component.isReady()) << component.errorString().toStdString();
    std::unique_ptr<QObject> item(component.create());
    ASSERT_NE(item, nullptr) << component.errorString().toStdString();

    const QMetaObject& meta = UiController::staticMetaObject;
    int bound = 0;
    for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i) {
        const QByteArray name = meta.property(i).name();
        const QVariant qml = item->property("p_" + name);
        const QVariant cpp = meta.property(i).read(ui);
        EXPECT_TRUE(sameAsCpp(qml, cpp)) << name.constData() << ": " << qml.toString().toStdString() << " vs "
                                         << cpp.toString().toStdString();
        ++bound;
    }
    EXPECT_EQ(bound, 178);

    ui->setDynamicRange(33.0);
    ui->setProperty("uiTheme", QStringLiteral("daylight"));
    ui->reportEvent(QStringLiteral("seen by QML"));
    ui->setFrequency(2000.0);
    EXPECT_EQ(item->property("p_dynamicRange").toDouble(), 33.0);
    EXPECT_EQ(item->property("p_uiTheme").toString(), QStringLiteral("daylight"));
    EXPECT_EQ(item->property("p_statusText").toString(), QStringLiteral("seen by QML"));
    EXPECT_EQ(item->property("p_eventLog").toStringList().size(), ui->eventLog().size());
    EXPECT_EQ(item->property("p_frequency").toDouble(), 2000.0);
    EXPECT_EQ(item->property("p_sessionState").toString(), QStringLiteral("Ready"));
    EXPECT_EQ(item->property("p_profileGeometry").toList().size(), 4);

    // The engine hands out the controller's images: the field before any map is one zero pixel.
    auto* heatmap = dynamic_cast<QQuickImageProvider*>(engine.imageProvider(QStringLiteral("heatmap")));
    auto* diagnostic = dynamic_cast<QQuickImageProvider*>(engine.imageProvider(QStringLiteral("diagnostic")));
    ASSERT_NE(heatmap, nullptr);
    ASSERT_NE(diagnostic, nullptr);
    QSize size;
    const QImage field = heatmap->requestImage(QStringLiteral("field?stamp=1"), &size, QSize());
    EXPECT_EQ(field.size(), QSize(1, 1));
    EXPECT_EQ(field.pixel(0, 0) & 0xFFFFFFu, 0u);
    EXPECT_EQ(diagnostic->requestImage(QStringLiteral("waveform?3"), &size, QSize()).size(), QSize(2, 2));

    item.reset();
    const QStringList warnings = watch.take();
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join(u'\n').toStdString();
}

}  // namespace
}  // namespace zk::app::test
