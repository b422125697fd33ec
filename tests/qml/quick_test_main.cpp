#include <QQmlEngine>
#include <QQuickStyle>
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
        QQuickStyle::setStyle(QStringLiteral("Basic"));
    }

    void qmlEngineAvailable(QQmlEngine* engine) { zk::qmltest::installQmlTestContext(*engine); }
};

QUICK_TEST_MAIN_WITH_SETUP(zk_qml_tests, QmlTestSetup)

#include "quick_test_main.moc"
