#include <QCoreApplication>
#include <QFile>
#include <QQmlEngine>
#include <QQuickStyle>
#include <QSettings>
#include <QStandardPaths>
#include <QtQuickTest>

#include "app/platform/media_backend.h"
#include "qml_test_context.h"

// Each test file gets a fresh engine with the stand-in controller and heatmap provider.
class QmlTestSetup : public QObject {
    Q_OBJECT

  public slots:
    void applicationAvailable() {
        zk::app::platform::selectMediaBackend();
        QStandardPaths::setTestModeEnabled(true);
        // The QML settings of the pages need both names; the store lies in Qt's test location.
        QCoreApplication::setOrganizationName(QStringLiteral("zk-qml-tests"));
        QCoreApplication::setApplicationName(QStringLiteral("zk-qml-tests"));
        QQuickStyle::setStyle(QStringLiteral("Basic"));
    }

    void qmlEngineAvailable(QQmlEngine* engine) {
        QFile::remove(QSettings().fileName());
        zk::qmltest::installQmlTestContext(*engine);
    }

    void cleanupTestCase() { QFile::remove(QSettings().fileName()); }
};

QUICK_TEST_MAIN_WITH_SETUP(zk_qml_tests, QmlTestSetup)

#include "quick_test_main.moc"
