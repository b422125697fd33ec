// Resident memory of the program through a whole session on the UiController, offscreen: the shipped
// 128-microphone profile on the synthetic source with delay-and-sum live, then a Recording, a Replay
// of it to its end and Full Recomputes of it, then live again.
//
// Prints one row per point: VmRSS and the peak since the previous point (VmHWM, reset at every point),
// both in MB, and the heap the allocator holds and of it what is in use (mallinfo2). The figures the
// goals compare are "live" (a live DAS session) and "live again" (the same after the Replay and the Full
// Recomputes have ended).
//
// Environment: ZK_MEMORY_LIVE_S (default 20) seconds of each live phase, ZK_MEMORY_RECORD_S (default
// 10) seconds recorded, ZK_MEMORY_RECOMPUTE (default "01 DAS / Conventional,10 DAMAS") the Full
// Recompute algorithms in order, separated by commas.
#include <malloc.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QSize>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "app/platform/openmp_environment.h"
#include "app/platform/process_memory.h"
#include "app/ui_controller.h"
#include "render/heatmap_image_provider.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const char* kProfile = ZK_PROFILES_DIR "/TM27-128-H1.6.2.device.json";

bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const Clock::time_point end = Clock::now() + limit;
    while (!done() && Clock::now() < end) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

void spinFor(std::chrono::milliseconds time) {
    spinUntil([] { return false; }, time);
}

double statusMiB(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string name;
    while (status >> name) {
        if (name == std::string(key) + ":") {
            double kib = 0.0;
            status >> kib;
            return kib / 1024.0;
        }
        status.ignore(1 << 12, '\n');
    }
    return -1.0;
}

int envInt(const char* name, int fallback) {
    const char* text = std::getenv(name);
    return text != nullptr && std::atoi(text) > 0 ? std::atoi(text) : fallback;
}

// One row; the peak column covers the time since the previous row.
void mark(const char* point) {
    const struct mallinfo2 heap = mallinfo2();
    const double heldMiB = static_cast<double>(heap.arena + heap.hblkhd) / (1 << 20);
    const double usedMiB = static_cast<double>(heap.uordblks + heap.hblkhd) / (1 << 20);
    std::printf("%-34s %9.1f %9.1f %10.1f %10.1f\n", point, statusMiB("VmRSS"), statusMiB("VmHWM"), heldMiB,
                usedMiB);
    std::fflush(stdout);
    std::ofstream("/proc/self/clear_refs") << "5";
}

bool fail(const zk::app::UiController& ui, const char* what) {
    std::fprintf(stderr, "%s: %s\n", what, ui.statusText().toStdString().c_str());
    return false;
}

bool runSession() {
    const auto liveTime = std::chrono::seconds(envInt("ZK_MEMORY_LIVE_S", 20));
    const auto recordTime = std::chrono::seconds(envInt("ZK_MEMORY_RECORD_S", 10));
    const char* recomputeList = std::getenv("ZK_MEMORY_RECOMPUTE");
    const QStringList algorithms =
        QString::fromUtf8(recomputeList != nullptr ? recomputeList : "01 DAS / Conventional,10 DAMAS")
            .split(QLatin1Char(','), Qt::SkipEmptyParts);

    std::printf("%-34s %9s %9s %10s %10s\n", "point", "RSS MB", "peak MB", "heap MB", "in use MB");
    mark("start");
    QTemporaryDir folder;
    auto ui = std::make_unique<zk::app::UiController>();
    ui->importProfile(QString::fromLatin1(kProfile));
    ui->setSource(QStringLiteral("Synthetic"));
    ui->setAlgorithm(QStringLiteral("01 DAS / Conventional"));
    ui->setFrequency(8000.0);
    ui->setFrequencyBandMode(QStringLiteral("1/3 octave"));
    ui->createProject(folder.filePath(QStringLiteral("project")), QStringLiteral("Memory"));
    ui->setRecordingMaxDurationSeconds(120);
    spinFor(1s);
    mark("profile and Project open");

    const auto live = [&](const char* point) {
        ui->startLive();
        if (!spinUntil([&] { return ui->sessionState() == QStringLiteral("Running"); }, 10s))
            return fail(*ui, "live session did not start");
        spinFor(liveTime);
        mark(point);
        return true;
    };
    if (!live("live")) return false;
    QSize grid;
    ui->heatmapImageProvider()->requestImage(QStringLiteral("field"), &grid, {});
    std::printf("(live map: %d bins, %d x %d grid points)\n", ui->effectiveBinCount(), grid.width(),
                grid.height());

    bool finished = false;
    QObject::connect(ui.get(), &zk::app::UiController::recordingFinished, [&] { finished = true; });
    ui->startRecording();
    if (!ui->recording()) return fail(*ui, "recording did not start");
    const QString id = ui->recordingMeasurementId();
    spinFor(recordTime);
    mark("recording, live");
    ui->stopRecording();
    if (!spinUntil([&] { return finished && ui->selectedMeasurementId() == id; }, 120s))
        return fail(*ui, "the Recording was not finalised");
    mark("recording saved, live");
    ui->stopLive();
    spinFor(1s);
    mark("live stopped");

    ui->startSelectedMeasurementReplay();
    if (!spinUntil([&] { return ui->replayState() == QStringLiteral("Finished"); }, recordTime + 60s))
        return fail(*ui, "the Replay did not reach its end");
    mark("replay at its end");
    ui->stopReplay();
    spinFor(1s);
    mark("replay stopped");

    ui->setAnalysisBandMode(QStringLiteral("1/3 octave"));
    ui->setAnalysisFrequencyHz(4000.0);
    ui->setAnalysisFrameSize(1024);
    ui->setAnalysisHopSize(512);
    ui->setAnalysisGridStepDeg(1.0);
    for (const QString& algorithm : algorithms) {
        ui->setAnalysisAlgorithm(algorithm);
        bool done = false;
        bool success = false;
        const QMetaObject::Connection connection = QObject::connect(
            ui.get(), &zk::app::UiController::analysisFinished, [&](bool ok, const QString&) {
                done = true;
                success = ok;
            });
        ui->createFullRecomputeAnalysis();
        spinUntil([&] { return done; }, 600s);
        QObject::disconnect(connection);
        if (!success) return fail(*ui, "Full Recompute failed");
        spinFor(1s);
        mark(("recompute " + algorithm.left(12)).toStdString().c_str());
    }

    if (!live("live again")) return false;
    ui->stopLive();
    spinFor(1s);
    mark("live stopped again");
    ui.reset();
    mark("controller destroyed");
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    zk::app::platform::preferPassiveOpenMpWait(argv);  // the application's OpenMP settings, as it makes them
    zk::app::platform::limitHeapRetention();           // as the application's main does
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("zk-bench"));
    QCoreApplication::setApplicationName(QStringLiteral("zk-memory-bench"));
    QGuiApplication app(argc, argv);
    return runSession() ? 0 : 1;
}
