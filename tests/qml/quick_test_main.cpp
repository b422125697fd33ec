#include <QCoreApplication>
#include <QFile>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickStyle>
#include <QSettings>
#include <QStandardPaths>
#include <QtQuickTest>

#include "app/i18n_manager.h"
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
        // The real language switch beside the stand-in "i18n", for tests that read a page in another
        // language; the engine owns it, and its catalogue leaves with it.
        engine->rootContext()->setContextProperty(
            QStringLiteral("languageSwitch"), new zk::app::I18nManager(QCoreApplication::instance(), engine));
    }

    void cleanupTestCase() { QFile::remove(QSettings().fileName()); }
};

QUICK_TEST_MAIN_WITH_SETUP(zk_qml_tests, QmlTestSetup)

#include "quick_test_main.moc"
