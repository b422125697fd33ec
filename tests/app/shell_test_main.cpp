#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QStandardPaths>
#include <memory>

// Read by ThreadSanitizer at start (other builds ignore it); the same list as qt_threads.tsan.supp,
// which the started executable gets: Qt's QML loader thread hands memory and wait conditions over
// through Qt's futex-based QMutex, invisible inside the uninstrumented Qt libraries.
extern "C" const char* __tsan_default_suppressions() {
    return "race:libQt6Core.so.6\n"
           "race:libQt6Qml.so.6\n"
           "race:libQt6Quick.so.6\n"
           "race:libQt6Gui.so.6\n";
}

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
