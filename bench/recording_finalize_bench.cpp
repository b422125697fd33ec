// Stop of a long Recording through the UiController: the shipped 128-microphone profile (48 kHz) on
// the synthetic source, recorded for 60 s into a Project in a temporary folder (about 740 MB of raw
// samples), then stopped while the live session goes on.
//
// Counters: seconds from stopRecording to the new Measurement being the selected one (the raw file
// copied, hashed and flushed, the manifest written, the Project reloaded and the list rebuilt), and
// the GUI thread's longest stretch without running a 1 ms timer meanwhile (goal: at most 16 ms) and
// when, from the stop, that stretch ended.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <functional>

#include "app/ui_controller.h"
#include "controller_bench_main.h"
#include "core/storage/device_profile.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kRecordTime = 60s;
const char* kProfile = ZK_PROFILES_DIR "/TM27-128-H1.6.2.device.json";

// Runs the GUI thread's event loop until the condition holds or the time is up.
bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const Clock::time_point end = Clock::now() + limit;
    while (!done() && Clock::now() < end) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

void BM_FinalizeLongRecording(benchmark::State& state) {
    for (auto _ : state) {
        QTemporaryDir folder;
        zk::app::UiController ui;
        ui.importProfile(QString::fromLatin1(kProfile));
        ui.setSource(QStringLiteral("Synthetic"));
        ui.createProject(folder.filePath(QStringLiteral("project")), QStringLiteral("Bench"));
        ui.setRecordingMaxDurationSeconds(120);
        ui.startLive();
        if (!spinUntil([&] { return ui.sessionState() == QStringLiteral("Running"); }, 10s)) {
            state.SkipWithError(("live session did not start: " + ui.statusText()).toStdString().c_str());
            return;
        }
        ui.startRecording();
        if (!ui.recording()) {
            state.SkipWithError(ui.statusText().toStdString().c_str());
            return;
        }
        const QString id = ui.recordingMeasurementId();
        spinUntil([] { return false; }, kRecordTime);
        const double recordedBytes = static_cast<double>(ui.recordingBytes());

        // The GUI thread's gaps: a precise 1 ms timer notes the longest time between two of its runs.
        QElapsedTimer sinceTick;
        qint64 longestGapUs = 0;
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        tick.setInterval(1);
        Clock::time_point stop;
        double longestGapAtS = 0.0;  // when it ended, from the stop
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const qint64 gapUs = sinceTick.nsecsElapsed() / 1000;
            if (gapUs > longestGapUs) {
                longestGapUs = gapUs;
                longestGapAtS = std::chrono::duration<double>(Clock::now() - stop).count();
            }
            sinceTick.restart();
        });
        bool finished = false;
        bool saved = false;
        QObject::connect(&ui, &zk::app::UiController::recordingFinished, [&](bool success, const QString&) {
            finished = true;
            saved = success;
        });

        tick.start();
        sinceTick.start();
        stop = Clock::now();
        ui.stopRecording();
        const bool selected = spinUntil([&] { return finished && ui.selectedMeasurementId() == id; }, 600s);
        const double seconds = std::chrono::duration<double>(Clock::now() - stop).count();
        tick.stop();
        ui.stopLive();
        if (!selected || !saved) {
            state.SkipWithError(
                ("finalize did not select the Measurement: " + ui.statusText()).toStdString().c_str());
            return;
        }
        state.SetIterationTime(seconds);
        state.counters["stopToSelectedS"] = seconds;
        state.counters["guiLongestBlockMs"] = static_cast<double>(longestGapUs) / 1000.0;
        state.counters["longestBlockEndS"] = longestGapAtS;
        state.counters["rawMB"] = recordedBytes / 1e6;
        const zk::core::DeviceProfile profile = zk::core::loadDeviceProfile(kProfile);
        state.counters["recordedS"] = recordedBytes / (2.0 * profile.wireChannelCount * profile.sampleRateHz);
    }
}
BENCHMARK(BM_FinalizeLongRecording)->Iterations(1)->Unit(benchmark::kSecond)->UseManualTime();

}  // namespace

int main(int argc, char** argv) {
    return zk::bench::runControllerBenchmarks(argc, argv, "zk-recording-bench");
}
