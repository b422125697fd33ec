#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QStandardPaths>
#include <memory>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Before any QSettings exists: the settings of the tests go to Qt's test location, never a user's.
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("zk-device-tests"));
    QCoreApplication::setApplicationName(QStringLiteral("zk-device-tests"));
    std::unique_ptr<QCoreApplication> app;
    if (!GTEST_FLAG_GET(list_tests)) app = std::make_unique<QCoreApplication>(argc, argv);
    return RUN_ALL_TESTS();
}
