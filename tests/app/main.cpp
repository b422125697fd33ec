#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QStandardPaths>
#include <memory>

// Read by ThreadSanitizer at start (other builds ignore it). Listing the cameras wakes PulseAudio's
// client thread inside Qt Multimedia; that library is not instrumented, so the lock it creates on the
// GUI thread and takes on its own looks racy. Interceptors called from inside it are ignored.
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libpulse.so.0\n"
           "called_from_lib:libpulsecommon-16.1.so\n";
}

// One QGuiApplication for every test. Listing the tests (CTest's discovery) needs no platform plugin,
// so the application is made only when tests run.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Before any QSettings exists: the settings of the tests go to Qt's test location, never a user's.
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("zk-app-tests"));
    std::unique_ptr<QGuiApplication> app;
    if (!GTEST_FLAG_GET(list_tests)) app = std::make_unique<QGuiApplication>(argc, argv);
    return RUN_ALL_TESTS();
}
