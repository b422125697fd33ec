// Full Recompute through the UiController: a 10 s Measurement of the shipped 128-microphone profile
// (48 kHz, 480000 frames, about 123 MB of raw samples: a 4 kHz plane wave from (10, -5) degrees),
// recomputed whole at frame 1024 / hop 512 in the 1/3-octave band around 4 kHz (bins 77 to 95, 19 bins)
// on the camera's 68.9 x 42.2 degree view at 1 degree (70 x 43 = 3010 cells).
//
// Cases: DAS, MVDR and DAMAS, each with the derived cache emptied before every run (miss: the raw file
// is hashed twice, framed and accumulated, the entry written) and with it filled (hit: the stored
// matrices are read and rendered).
//
// Counters: seconds from createFullRecomputeAnalysis to analysisFinished; analysisProgressChanged
// deliveries per second on the GUI thread; the GUI thread's longest stretch without running a 1 ms
// timer meanwhile.
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
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>

#include "app/ui_controller.h"
#include "controller_bench_main.h"
#include "core/storage/device_profile.h"
#include "core/storage/project_store.h"
#include "core/storage/recording.h"
#include "core/streaming/synthetic_source.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const char* kProfile = ZK_PROFILES_DIR "/TM27-128-H1.6.2.device.json";
constexpr std::uint64_t kFrames = 480000;

bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const Clock::time_point end = Clock::now() + limit;
    while (!done() && Clock::now() < end) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

// The recorded Project, made once for every case.
struct WaveProject {
    QTemporaryDir folder;
    QString path;
    std::filesystem::path measurementDir;

    WaveProject() {
        path = folder.filePath(QStringLiteral("project"));
        zk::core::createProject(path.toStdString(), "Bench");
        std::ifstream in(kProfile, std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        zk::core::SyntheticSourceSettings settings;
        settings.frequencyHz = 4031.25;
        settings.speedOfSoundMps = 331.3 * std::sqrt(1.0 + 20.0 / 273.15);
        settings.amplitude = 6000.0;
        settings.tangentPlane = true;
        settings.tangentAngleXDeg = 10.0;
        settings.tangentAngleYDeg = -5.0;
        zk::core::SyntheticSource source(settings);
        source.configure(zk::core::parseDeviceProfile(text));
        zk::core::Recording recording(path.toStdString(), "m_bench", text, "Synthetic");
        for (std::uint64_t done = 0; done < kFrames; done += 48000)
            recording.append(source.readFrames(48000));
        measurementDir = recording.finalize({}).measurement.directory;
    }
};

WaveProject& project() {
    static WaveProject shared;
    return shared;
}

void BM_FullRecompute(benchmark::State& state) {
    static const char* const names[] = {"01 DAS / Conventional", "03 MVDR / Capon", "10 DAMAS"};
    const QString algorithm = QString::fromLatin1(names[state.range(0)]);
    const bool hit = state.range(1) != 0;
    WaveProject& wave = project();
    zk::app::UiController ui;
    ui.openProject(wave.path);
    ui.setAnalysisAlgorithm(algorithm);
    ui.setAnalysisBandMode(QStringLiteral("1/3 octave"));
    ui.setAnalysisFrequencyHz(4000.0);
    ui.setAnalysisFrameSize(1024);
    ui.setAnalysisHopSize(512);
    ui.setAnalysisGridStepDeg(1.0);

    const auto runOnce = [&](double* progressPerSecond, double* longestGapMs) {
        int progressSignals = 0;
        const QMetaObject::Connection counting = QObject::connect(
            &ui, &zk::app::UiController::analysisProgressChanged, [&] { ++progressSignals; });
        QElapsedTimer sinceTick;
        qint64 longestGapUs = 0;
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        tick.setInterval(1);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            longestGapUs = std::max(longestGapUs, sinceTick.nsecsElapsed() / 1000);
            sinceTick.restart();
        });
        bool finished = false;
        bool success = false;
        const QMetaObject::Connection done =
            QObject::connect(&ui, &zk::app::UiController::analysisFinished, [&](bool ok, const QString&) {
                finished = true;
                success = ok;
            });
        const Clock::time_point start = Clock::now();
        sinceTick.start();
        tick.start();
        ui.createFullRecomputeAnalysis();
        spinUntil([&] { return finished; }, 600s);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        tick.stop();
        QObject::disconnect(counting);
        QObject::disconnect(done);
        if (progressPerSecond) *progressPerSecond = progressSignals / seconds;
        if (longestGapMs) *longestGapMs = longestGapUs / 1000.0;
        return success ? seconds : -1.0;
    };

    std::error_code error;
    if (hit && runOnce(nullptr, nullptr) < 0) {
        state.SkipWithError(ui.analysisStatus().toStdString().c_str());
        return;
    }
    double progressRate = 0.0;
    double longestGap = 0.0;
    for (auto _ : state) {
        if (!hit) std::filesystem::remove_all(wave.measurementDir / "derived", error);
        const double seconds = runOnce(&progressRate, &longestGap);
        if (seconds < 0) {
            state.SkipWithError(ui.analysisStatus().toStdString().c_str());
            return;
        }
        state.SetIterationTime(seconds);
        ui.discardPendingAnalysis();
    }
    state.counters["progressPerS"] = progressRate;
    state.counters["guiLongestGapMs"] = longestGap;
    state.SetLabel(
        (algorithm + (hit ? QStringLiteral(" cache hit") : QStringLiteral(" cache miss"))).toStdString());
}
BENCHMARK(BM_FullRecompute)
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

}  // namespace

int main(int argc, char** argv) {
    return zk::bench::runControllerBenchmarks(argc, argv, "zk-full-recompute-bench");
}
