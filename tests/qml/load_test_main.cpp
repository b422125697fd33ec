#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QQuickStyle>
#include <QStandardPaths>
#include <memory>

#include "app/platform/media_backend.h"

// Listing the tests (CTest's discovery) needs no platform plugin, so the application is made only when
// tests run; the style is the application's.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    zk::app::platform::selectMediaBackend();
    std::unique_ptr<QGuiApplication> app;
    if (!GTEST_FLAG_GET(list_tests)) {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("zk-qml-tests"));
        QQuickStyle::setStyle(QStringLiteral("Basic"));
        app = std::make_unique<QGuiApplication>(argc, argv);
    }
    return RUN_ALL_TESTS();
}
