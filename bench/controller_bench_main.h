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

#include "app/platform/openmp_environment.h"

namespace zk::bench {

inline int runControllerBenchmarks(int argc, char** argv, const char* applicationName) {
    // The application's OpenMP settings, made as it makes them before anything runs.
    zk::app::platform::preferPassiveOpenMpWait(argv);
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
