#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QStandardPaths>
#include <memory>

// One QGuiApplication for every test. Listing the tests (CTest's discovery) needs no platform plugin,
// so the application is made only when tests run.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Before any QSettings exists: the settings of the tests go to Qt's test location, never a user's.
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("zk-shell-tests"));
    std::unique_ptr<QGuiApplication> app;
    if (!GTEST_FLAG_GET(list_tests)) app = std::make_unique<QGuiApplication>(argc, argv);
    return RUN_ALL_TESTS();
}
