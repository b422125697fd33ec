#include <gtest/gtest.h>

#include <QGuiApplication>
#include <memory>

// One QGuiApplication for every test. Listing the tests (CTest's discovery) needs no platform plugin,
// so the application is made only when tests run.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    std::unique_ptr<QGuiApplication> app;
    if (!GTEST_FLAG_GET(list_tests)) app = std::make_unique<QGuiApplication>(argc, argv);
    return RUN_ALL_TESTS();
}
