#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QQuickStyle>
#include <QScreen>
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
        // A new X server's pointer rests in the middle of its screen, where the windows open: there it
        // would hover whatever a page shows, and a label's tooltip could open over the texts being judged.
        // Parked in the corner that no window reaches, it hovers nothing until a test moves it.
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            QCursor::setPos(screen->geometry().bottomRight());
    } else {
        zk::qmltest::renderUnavailableReason() = error;
    }
    const int result = RUN_ALL_TESTS();
    app.reset();
    return result;
}
