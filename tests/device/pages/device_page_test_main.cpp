#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QObject>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickStyle>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QVariantList>
#include <QtQuickTest>
#include <memory>

#include "app/ui_controller.h"
#include "device/device_controller.h"
#include "fake_firmware.h"
#include "fake_network_probe.h"

namespace {

// The firmware as the QML test sees it: its port, its flash pages and what it was asked.
class FirmwareView : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString portName READ portName CONSTANT)

  public:
    FirmwareView(FakeFirmware& firmware, QObject* parent) : QObject(parent), firmware_(firmware) {}

    QString portName() const { return firmware_.portName(); }
    Q_INVOKABLE QString pageHex(int address) const {
        return QString::fromLatin1(firmware_.page(static_cast<std::uint32_t>(address)).toHex());
    }
    Q_INVOKABLE QVariantList gains() const {
        QVariantList list;
        for (int gain : firmware_.seen().gains) list.append(gain);
        return list;
    }
    Q_INVOKABLE QVariantList acts() const {
        QVariantList list;
        for (bool on : firmware_.seen().acts) list.append(on);
        return list;
    }
    Q_INVOKABLE int resets() const { return firmware_.seen().resets; }
    Q_INVOKABLE int writes() const { return firmware_.seen().writes; }

  private:
    FakeFirmware& firmware_;
};

}  // namespace

// The Device page with the real controllers, the serial link ending in a firmware on a pseudo-terminal.
// Backups and profiles stay in a home of the run's own.
class DevicePageTestSetup : public QObject {
    Q_OBJECT

  public slots:
    void applicationAvailable() {
        qputenv("HOME", home_.path().toUtf8());
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("zk-device-page-tests"));
        QCoreApplication::setApplicationName(QStringLiteral("zk-device-page-tests"));
        QQuickStyle::setStyle(QStringLiteral("Basic"));
        firmware_ = std::make_unique<FakeFirmware>(FakeFirmware::Protocol::UartV2);
        firmware_->setPage(0, QByteArray::fromHex("0a1b2c3d4e5f60719900"));
    }

    void qmlEngineAvailable(QQmlEngine* engine) {
        QFile::remove(QSettings().fileName());
        engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
        auto* ui = new zk::app::UiController(engine, engine);
        zk::device::DeviceController::Services services;
        services.activeProfile = [ui] { return ui->activeProfile(); };
        const QString port = firmware_->portName();
        services.listPorts = [port] {
            return QList<zk::device::SerialPortListing>{{port, QStringLiteral("pty")}};
        };
        services.networkProbe = std::make_unique<FakeNetworkProbe>();
        auto* device = new zk::device::DeviceController(std::move(services), engine);
        QObject::connect(ui, &zk::app::UiController::profileInfoChanged, device,
                         &zk::device::DeviceController::firPresetIdsChanged);
        engine->rootContext()->setContextProperty(QStringLiteral("ui"), ui);
        engine->rootContext()->setContextProperty(QStringLiteral("deviceCtl"), device);
        engine->rootContext()->setContextProperty(QStringLiteral("firmware"),
                                                  new FirmwareView(*firmware_, engine));
    }

    void cleanupTestCase() { QFile::remove(QSettings().fileName()); }

  private:
    QTemporaryDir home_;
    std::unique_ptr<FakeFirmware> firmware_;  // outlives every engine of the run
};

QUICK_TEST_MAIN_WITH_SETUP(zk_device_page_tests, DevicePageTestSetup)

#include "device_page_test_main.moc"
