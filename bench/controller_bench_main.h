#pragma once

// The main of the benchmarks that drive a UiController: the controller needs a GUI application,
// offscreen, with the settings of Qt's test location.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QString>
#include <cstdlib>

namespace zk::bench {

inline int runControllerBenchmarks(int argc, char** argv, const char* applicationName) {
    // The application asks for passive OpenMP waits before anything runs; libgomp reads its settings
    // when it is loaded, before main, so the run starts itself again with the variable in place.
    if (std::getenv("OMP_WAIT_POLICY") == nullptr) {
        setenv("OMP_WAIT_POLICY", "PASSIVE", 1);
        execv("/proc/self/exe", argv);
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("zk-bench"));
    QCoreApplication::setApplicationName(QString::fromUtf8(applicationName));
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace zk::bench
