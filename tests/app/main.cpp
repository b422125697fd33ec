#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QStandardPaths>
#include <memory>

// Read by ThreadSanitizer at start (other builds ignore it). Qt (with its QML loader thread and GLib's
// event loop), PulseAudio (woken inside Qt Multimedia when the cameras are listed) and glibc's tzset
// (log lines carry the local time) are not instrumented: the locks they hand memory over with (Qt's
// event queue for a signal queued from a worker, an image painted on one thread and freed on another)
// are invisible. Interceptors called from inside Qt, GLib and PulseAudio, and races inside tzset, are
// ignored; every access of ours stays watched.
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Gui.so.6\n"
           "called_from_lib:libQt6Qml.so.6\n"
           "called_from_lib:libQt6Quick.so.6\n"
           "called_from_lib:libglib-2.0.so.0\n"
           "called_from_lib:libpulse.so.0\n"
           "called_from_lib:libpulsecommon-16.1.so\n"
           "race:tzset_internal\n";
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
