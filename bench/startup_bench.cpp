#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

// Starts the real executable on the shipped 128-microphone profile in a home of its own, under the
// offscreen platform, until it quits right after start-up. Reports the whole run's wall time and the
// times the process itself measured from main to the QML root object and to the end of start-up.
void BM_StartupToRootObject(benchmark::State& state) {
    QTemporaryDir home;
    QDir(home.path()).mkpath("config");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home.path());
    env.insert("XDG_CONFIG_HOME", home.path() + "/config");
    env.insert("XDG_RUNTIME_DIR", home.path());
    env.insert("TMPDIR", home.path());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("SORVANTA_QUIT_AFTER_START", "1");
    env.insert("SORVANTA_STARTUP_TIMING", "1");
    const QStringList args{"--profile", ZK_PROFILES_DIR "/TM27-128-H1.6.2.device.json", "--source",
                           "Synthetic"};
    const QRegularExpression rootLine("startup: QML root object after (\\d+) ms");
    const QRegularExpression startedLine("startup: started after (\\d+) ms");
    double rootMs = 0;
    double startedMs = 0;
    for (auto _ : state) {
        QElapsedTimer wall;
        wall.start();
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(ZK_SORVANTA_EXE, args);
        if (!process.waitForFinished(60000) || process.exitCode() != 0) {
            state.SkipWithError("the executable did not start and quit cleanly");
            return;
        }
        state.SetIterationTime(static_cast<double>(wall.nsecsElapsed()) * 1e-9);
        const QString err = QString::fromLocal8Bit(process.readAllStandardError());
        rootMs += rootLine.match(err).captured(1).toDouble();
        startedMs += startedLine.match(err).captured(1).toDouble();
    }
    state.counters["root_object_ms"] = benchmark::Counter(rootMs, benchmark::Counter::kAvgIterations);
    state.counters["started_ms"] = benchmark::Counter(startedMs, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_StartupToRootObject)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
