#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QQuickStyle>
#include <QStandardPaths>
#include <cstdlib>
#include <memory>

#include "app/platform/media_backend.h"
#include "render_environment.h"
#include "xvfb_server.h"

// The pixels come from a real OpenGL scene graph: a private Xvfb with Mesa's software OpenGL. The
// software Quick backend is kept out, because a ShaderEffect draws nothing there.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    zk::app::platform::selectMediaBackend();
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();

    zk::qmltest::XvfbServer server;
    std::string error;
    std::unique_ptr<QGuiApplication> app;
    if (server.start(&error)) {
        setenv("DISPLAY", server.display().c_str(), 1);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        setenv("QSG_RHI_BACKEND", "opengl", 1);
        setenv("QT_XCB_GL_INTEGRATION", "xcb_glx", 1);
        unsetenv("QT_QUICK_BACKEND");
        unsetenv("QT_SCALE_FACTOR");
        unsetenv("QT_SCREEN_SCALE_FACTORS");
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("zk-qml-tests"));
        QQuickStyle::setStyle(QStringLiteral("Basic"));
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        zk::qmltest::renderUnavailableReason() = error;
    }
    const int result = RUN_ALL_TESTS();
    app.reset();
    return result;
}
