// One absolute level scale through the real controller: a steady synthetic tone read on the live map, on
// the Replay of its Recording, after "Analyze at position" and after Full Recomputes of another window
// length, with DAS and MVDR; and a live map of the synthetic source for every shipped profile.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "app/ui_controller.h"
#include "app_test_support.h"
#include "live_test_support.h"

namespace zk::app::test {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// A bin of every frame the paths use (1024 live and Replay, 256 in the analysis) at 48 and 16 kHz, so a
// single-bin band holds the whole tone on each.
constexpr double kToneHz = 3000.0;

void spinFor(std::chrono::milliseconds duration) {
    const Clock::time_point end = Clock::now() + duration * kSlowdown;
    while (Clock::now() < end) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// What the peak box shows of the newest map of `source` made with `algorithm`, once `settle` has
// passed after the first such map (the averaging converges); NaN when none came.
struct ShownLevel {
    double levelDbfs = std::nan("");
    double spanDb = std::nan("");
};

ShownLevel settledLevel(UiController& ui, const QString& source, int algorithm,
                        std::chrono::milliseconds settle) {
    const auto current = [&] {
        return ui.hasHeatmap() && ui.mapSource() == source && ui.mapAlgorithmId() == algorithm;
    };
    if (!waitUntil(current, 5000ms)) return {};
    spinFor(settle);
    if (!waitUntil(current, 5000ms)) return {};
    return {ui.peakLevelDbfs(), ui.mapSpanDb()};
}

ShownLevel analysisLevel(UiController& ui) {
    QSignalSpy finished(&ui, &UiController::analysisFinished);
    ui.createFullRecomputeAnalysis();
    if (!(finished.count() > 0 || finished.wait(120000 * kSlowdown))) return {};
    if (!finished.front().front().toBool() || ui.mapSource() != QLatin1String("analysis")) return {};
    return {ui.peakLevelDbfs(), ui.mapSpanDb()};
}

using LevelScale = ControllerSettingsTest;

TEST_F(LevelScale, ASteadyToneReadsOneLevelOnLiveReplayAndEveryRecompute) {
    QTemporaryDir dir;
    UiController ui;
    importShippedProfile(ui, liveProfileFile());
    ui.setSource(QStringLiteral("Synthetic"));
    ui.setFrequency(kToneHz);
    ui.setAzimuth(10.0);
    ui.setElevation(-6.0);
    ui.setFrequencyBandMode(QStringLiteral("Single bin"));
    ASSERT_EQ(ui.frequency(), kToneHz);
    ui.createProject(dir.filePath(QStringLiteral("project")), QStringLiteral("Levels"));
    ASSERT_TRUE(ui.hasProject()) << ui.statusText().toStdString();

    const QString das = QStringLiteral("01 DAS / Conventional");
    const QString mvdr = QStringLiteral("03 MVDR / Capon");
    const QString live = QStringLiteral("live");
    ui.startLive();
    ASSERT_EQ(ui.sessionState(), QStringLiteral("Running")) << ui.statusText().toStdString();
    const ShownLevel liveDas = settledLevel(ui, live, 1, 500ms);
    ui.setAlgorithm(mvdr);
    const ShownLevel liveMvdr = settledLevel(ui, live, 3, 500ms);
    ui.setAlgorithm(das);
    ASSERT_TRUE(std::isfinite(liveDas.levelDbfs) && std::isfinite(liveMvdr.levelDbfs));
    // Some 30000 counts of full scale: below 0 dBFS, far above the -240 dB floor.
    EXPECT_LT(liveDas.levelDbfs, 0.0);
    EXPECT_GT(liveDas.levelDbfs, -30.0);

    QSignalSpy recorded(&ui, &UiController::recordingFinished);
    ui.startRecording();
    spinFor(3000ms);
    ui.stopRecording();
    ASSERT_TRUE(recorded.count() > 0 || recorded.wait(30000 * kSlowdown));
    ASSERT_TRUE(recorded.front().front().toBool()) << ui.statusText().toStdString();
    ui.stopLive();
    ASSERT_TRUE(ui.hasSelectedMeasurement());

    const QString replay = QStringLiteral("replay");
    ui.startSelectedMeasurementReplay();
    ASSERT_TRUE(waitUntil([&] { return ui.replayState() == QStringLiteral("Playing"); }, 10s))
        << ui.replayMetrics().toStdString();
    const ShownLevel replayDas = settledLevel(ui, replay, 1, 300ms);
    ui.setAlgorithm(mvdr);
    const ShownLevel replayMvdr = settledLevel(ui, replay, 3, 300ms);
    ASSERT_TRUE(waitUntil([&] { return ui.replayPositionSeconds() >= 1.0; }, 5s));
    ui.setReplayPaused(true);

    // Analyze at position over half a second, then the same window with MVDR from the derived cache.
    ui.setAnalysisWindowSeconds(0.5);
    QSignalSpy finished(&ui, &UiController::analysisFinished);
    ui.analyzeReplayPosition();
    ASSERT_TRUE(finished.count() > 0 || finished.wait(120000 * kSlowdown));
    ASSERT_TRUE(finished.front().front().toBool()) << ui.analysisStatus().toStdString();
    const ShownLevel atPositionDas{ui.peakLevelDbfs(), ui.mapSpanDb()};
    ui.setAnalysisAlgorithm(mvdr);
    const ShownLevel atPositionMvdr = analysisLevel(ui);
    EXPECT_TRUE(ui.analysisStatus().contains(QStringLiteral("fast"))) << ui.analysisStatus().toStdString();

    // The whole Measurement, six times the frames, framed anew and then from the cache.
    ui.clearAnalysisWindow();
    const ShownLevel wholeMvdr = analysisLevel(ui);
    ui.setAnalysisAlgorithm(das);
    const ShownLevel wholeDas = analysisLevel(ui);

    const struct {
        const char* path;
        ShownLevel shown;
        double live;
    } reads[] = {
        {"Replay DAS", replayDas, liveDas.levelDbfs},
        {"Replay MVDR", replayMvdr, liveMvdr.levelDbfs},
        {"Analyze at position DAS", atPositionDas, liveDas.levelDbfs},
        {"Analyze at position MVDR", atPositionMvdr, liveMvdr.levelDbfs},
        {"whole Measurement DAS", wholeDas, liveDas.levelDbfs},
        {"whole Measurement MVDR", wholeMvdr, liveMvdr.levelDbfs},
    };
    for (const auto& read : reads) {
        EXPECT_NEAR(read.shown.levelDbfs, read.live, 1.0) << read.path;
        // Diagonal removal leaves cells without power; the span covers the cells that hold one.
        EXPECT_LT(read.shown.spanDb, 200.0) << read.path;
    }
    EXPECT_LT(liveDas.spanDb, 200.0);
    EXPECT_LT(liveMvdr.spanDb, 200.0);
}

// A newcomer who picks any shipped profile and starts the synthetic source at the default settings sees a
// live map of it: the default frequency lands on no bin without power, whatever the sample rate.
TEST_F(LevelScale, EveryShippedProfileShowsALiveMapOfTheSyntheticSourceAtItsDefaults) {
    const QStringList files = QDir(QStringLiteral(ZK_SOURCE_PROFILES_DIR))
                                  .entryList({QStringLiteral("*.device.json")}, QDir::Files);
    ASSERT_GE(files.size(), 2);
    for (const QString& file : files) {
        SCOPED_TRACE(file.toStdString());
        QFile::remove(QSettings().fileName());
        UiController ui;
        ui.importProfile(QStringLiteral(ZK_SOURCE_PROFILES_DIR) + u'/' + file);
        ASSERT_EQ(ui.sessionState(), QStringLiteral("Ready")) << ui.statusText().toStdString();
        ui.setSource(QStringLiteral("Synthetic"));
        ui.startLive();
        ASSERT_EQ(ui.sessionState(), QStringLiteral("Running")) << ui.statusText().toStdString();
        // Waits for the source's level rather than for a time: on a loaded machine the first maps may
        // follow a restart of the average. A frequency on a bin without power never gets there.
        const auto sourceShown = [&] {
            return ui.hasHeatmap() && ui.mapSource() == QLatin1String("live") && ui.peakLevelDbfs() > -60.0;
        };
        const bool shown = waitUntil(sourceShown, 20000ms * kSlowdown);
        const double azimuth = ui.peakAzimuth();
        const double elevation = ui.peakElevation();
        ui.stopLive();
        EXPECT_TRUE(shown) << "at " << ui.frequency() << " Hz the map peaks at " << ui.peakLevelDbfs()
                           << " dBFS";
        EXPECT_NEAR(azimuth, ui.azimuth(), 1.0);
        EXPECT_NEAR(elevation, ui.elevation(), 1.0);
    }
}

}  // namespace
}  // namespace zk::app::test
