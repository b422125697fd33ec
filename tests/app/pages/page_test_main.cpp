#include <QCoreApplication>
#include <QFile>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickStyle>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtQuickTest>

#include "app/ui_controller.h"
#include "page_fixture.h"

// Each test file gets a fresh engine with the real controller as "ui", in a settings store of its own.
// Backups and bundles go to the Documents folder under HOME, so the run has a home of its own.
class PageTestSetup : public QObject {
    Q_OBJECT

  public slots:
    void applicationAvailable() {
        qputenv("HOME", home_.path().toUtf8());
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("zk-page-tests"));
        QCoreApplication::setApplicationName(QStringLiteral("zk-page-tests"));
        QQuickStyle::setStyle(QStringLiteral("Basic"));
    }

    void qmlEngineAvailable(QQmlEngine* engine) {
        QFile::remove(QSettings().fileName());
        engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
        auto* controller = new zk::app::UiController(engine, engine);
        controller->registerImageProviders(*engine);
        engine->rootContext()->setContextProperty(QStringLiteral("ui"), controller);
        engine->rootContext()->setContextProperty(QStringLiteral("fixture"), new zk::qmltest::PageFixture(engine));
    }

    void cleanupTestCase() { QFile::remove(QSettings().fileName()); }

  private:
    QTemporaryDir home_;
};

QUICK_TEST_MAIN_WITH_SETUP(zk_page_tests, PageTestSetup)

#include "page_test_main.moc"
