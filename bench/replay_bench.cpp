// Replay of a long Measurement through the UiController: the shipped 128-microphone profile (48 kHz),
// 65 s of the synthetic plane wave written straight through the store (about 800 MB of raw samples)
// into a Project in a temporary folder, then replayed with delay-and-sum on the engine's camera grid
// (its size is reported as gridCells), a single-bin band at 3984 Hz.
//
// BM_ReplayPlayback (60 s at 1.0x): replay maps reaching the GUI thread per second (goal: at least 9.5),
// and the reader's drift: the replay position's advance minus the steady time that passed, at the end
// and at its largest over the 60 s, in ms (goal: no growing drift).
// BM_ReplaySeekLatency: from seekReplay on a paused Replay (where no other map is under way) to the
// first replay map on the GUI thread, to nine positions spread over the Measurement (default averaging
// 0.1 s: 0.3 s of warm-up and 10 s of waterfall history before each).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QSize>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/ui_controller.h"
#include "controller_bench_main.h"
#include "core/storage/device_profile.h"
#include "core/storage/project_store.h"
#include "core/storage/recording.h"
#include "core/streaming/synthetic_source.h"
#include "render/heatmap_image_provider.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr double kRecordedS = 65.0;
constexpr auto kPlayTime = 60s;
const char* kProfile = ZK_PROFILES_DIR "/TM27-128-H1.6.2.device.json";

bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const Clock::time_point end = Clock::now() + limit;
    while (!done() && Clock::now() < end) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

// The Project with the one long Measurement, made once for every case.
const QString& recordedProject() {
    static QTemporaryDir folder;
    static const QString path = [] {
        const QString dir = folder.filePath(QStringLiteral("project"));
        const std::filesystem::path root(dir.toStdString());
        zk::core::createProject(root, "ReplayBench");
        const zk::core::DeviceProfile profile = zk::core::loadDeviceProfile(kProfile);
        std::string text;
        {
            std::ifstream in(kProfile, std::ios::binary);
            text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        zk::core::SyntheticSource source({3984.375, 0.0, 0.0, 343.0, 30000.0, true, 10.0, -6.0});
        source.configure(profile);
        zk::core::Recording recording(root, "m_bench", text, "Synthetic");
        const auto total = static_cast<std::uint64_t>(kRecordedS * profile.sampleRateHz);
        for (std::uint64_t done = 0; done < total; done += 4800) recording.append(source.readFrames(4800));
        recording.finalize({});
        return dir;
    }();
    return path;
}

// A controller with the Measurement selected and the live band on its tone.
std::unique_ptr<zk::app::UiController> openReplay(benchmark::State& state) {
    auto ui = std::make_unique<zk::app::UiController>();
    ui->importProfile(QString::fromLatin1(kProfile));
    ui->setFrequency(3984.375);
    ui->setFrequencyBandMode(QStringLiteral("Single bin"));
    ui->openProject(recordedProject());
    if (!ui->canStartReplay()) {
        state.SkipWithError(("no Measurement to replay: " + ui->statusText()).toStdString().c_str());
        return nullptr;
    }
    return ui;
}

// Counts the replay maps as they reach the GUI thread.
class ReplayMapCounter {
  public:
    explicit ReplayMapCounter(zk::app::UiController& ui) {
        QObject::connect(&ui, &zk::app::UiController::heatmapUpdated, &context_, [this, &ui] {
            if (ui.hasHeatmap() && ui.mapSource() == QLatin1String("replay")) ++count;
        });
    }
    int count = 0;

  private:
    QObject context_;
};

void BM_ReplayPlayback(benchmark::State& state) {
    for (auto _ : state) {
        std::unique_ptr<zk::app::UiController> ui = openReplay(state);
        if (!ui) return;
        ui->startSelectedMeasurementReplay();
        if (!spinUntil([&] { return ui->replayState() == QStringLiteral("Playing"); }, 60s)) {
            state.SkipWithError(("replay did not start: " + ui->replayMetrics()).toStdString().c_str());
            return;
        }
        // Measured from the first position the reader reports, once the first maps are under way.
        spinUntil([&] { return ui->replayPositionSeconds() > 0.5; }, 10s);
        ReplayMapCounter maps(*ui);
        const double startPosition = ui->replayPositionSeconds();
        const Clock::time_point start = Clock::now();
        double largestDriftMs = 0.0;
        double driftMs = 0.0;
        const QMetaObject::Connection watch =
            QObject::connect(ui.get(), &zk::app::UiController::replayPositionChanged, ui.get(), [&] {
                const double wallS = std::chrono::duration<double>(Clock::now() - start).count();
                driftMs = (ui->replayPositionSeconds() - startPosition - wallS) * 1000.0;
                if (std::abs(driftMs) > std::abs(largestDriftMs)) largestDriftMs = driftMs;
            });
        spinUntil([] { return false; }, kPlayTime);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const double advanced = ui->replayPositionSeconds() - startPosition;
        QObject::disconnect(watch);  // the stop below reports position 0
        QSize grid;
        ui->heatmapImageProvider()->requestImage(QStringLiteral("field"), &grid, {});
        ui->stopReplay();
        state.counters["gridCells"] = grid.width() * grid.height();
        state.SetIterationTime(seconds);
        state.counters["mapsPerS"] = maps.count / seconds;
        state.counters["positionAdvanceS"] = advanced;
        state.counters["driftEndMs"] = driftMs;
        state.counters["driftLargestMs"] = largestDriftMs;
    }
}
BENCHMARK(BM_ReplayPlayback)->Iterations(1)->Unit(benchmark::kSecond)->UseManualTime();

void BM_ReplaySeekLatency(benchmark::State& state) {
    std::unique_ptr<zk::app::UiController> ui = openReplay(state);
    if (!ui) return;
    ui->startSelectedMeasurementReplay();
    if (!spinUntil([&] { return ui->replayState() == QStringLiteral("Playing"); }, 60s)) {
        state.SkipWithError(("replay did not start: " + ui->replayMetrics()).toStdString().c_str());
        return;
    }
    ui->setReplayPaused(true);
    spinUntil([] { return false; }, 500ms);
    ReplayMapCounter maps(*ui);
    const double duration = ui->replayDurationSeconds();
    double longestMs = 0.0;
    int seeks = 0;
    for (auto _ : state) {
        const double target = duration * (0.1 + 0.8 * static_cast<double>(seeks % 9) / 8.0);
        ++seeks;
        spinUntil([] { return false; }, 200ms);
        const int before = maps.count;
        const Clock::time_point start = Clock::now();
        ui->seekReplay(target);
        if (!spinUntil([&] { return maps.count > before; }, 10s)) {
            state.SkipWithError("no map after the seek");
            break;
        }
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        longestMs = std::max(longestMs, ms);
        state.SetIterationTime(ms / 1000.0);
    }
    state.counters["longestMs"] = longestMs;
    ui->stopReplay();
}
BENCHMARK(BM_ReplaySeekLatency)->Iterations(9)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace

int main(int argc, char** argv) { return zk::bench::runControllerBenchmarks(argc, argv, "zk-replay-bench"); }
