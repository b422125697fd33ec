#include <gtest/gtest.h>

#include <QGuiApplication>

// QImage, QPainter and the image providers want a QGuiApplication; the offscreen platform needs no
// display, also when the test list is read at build time.
int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
