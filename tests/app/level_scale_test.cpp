// One level scale through the real controller. A tone between the bins of every frame size, with white
// noise on every microphone, arrives as the array's datagrams on 127.0.0.1: it reads one level on the live
// map, on the Replay of its Recording, after "Analyze at position" and over the whole Measurement, and
// every level shown in dBFS follows it when it is 20 dB quieter. Every shipped profile at its defaults
// reads on its Replay and at a position what it read live.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <numeric>
#include <string>
#include <vector>

#include "app/ui_controller.h"
#include "app_test_support.h"
#include "core/storage/device_profile.h"
#include "live_test_support.h"
#include "project_fixture.h"

namespace zk::app::test {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr double kSourceHorizontalDeg = 10.0;
constexpr double kSourceVerticalDeg = -6.0;
// About -13.5 dBFS in the band, and 20 dB below; the noise lies some 70 dB below the louder tone in a bin.
constexpr double kLoudAmplitude = 8000.0;
constexpr double kQuietAmplitude = 800.0;
constexpr double kNoiseRms = 30.0;

const QString kLive = QStringLiteral("live");
const QString kReplay = QStringLiteral("replay");

// The algorithms by id, as the controller names them; the live map offers the first eight.
const char* const kAlgorithms[] = {
    "01 DAS / Conventional", "02 Functional", "03 MVDR / Capon", "04 Robust Capon", "05 MUSIC",
    "06 Auto-MUSIC",         "07 Orthogonal", "08 SRP-PHAT",     "09 CLEAN-SC",     "10 DAMAS",
    "11 DAMAS-FISTA",        "12 NNLS",       "13 Sparse-FISTA", "14 SBL / ARD"};
QString algorithmName(int id) { return QString::fromLatin1(kAlgorithms[id - 1]); }

// A tone at a sixth of the sample rate (8 kHz at 48 kHz): 170.67 bins of a 1024-point frame, 42.67 of a
// 256-point one, so no frame size holds it on a bin. It repeats every six frames, and the noise with it
// about every second.
ToneInNoise noisyTone(const core::DeviceProfile& profile, double amplitude) {
    const std::size_t unit = std::lcm(std::size_t{profile.udp->samplesPerDatagram}, std::size_t{6});
    const std::size_t rate = profile.sampleRateHz;
    return {static_cast<double>(rate) / 6.0, amplitude, kNoiseRms, unit * ((rate + unit - 1) / unit)};
}

void spinFor(std::chrono::milliseconds duration) {
    const Clock::time_point end = Clock::now() + duration * kSlowdown;
    while (Clock::now() < end) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// What the peak box shows of a map: its level (dBFS when absolute), its span, and whether it is shown as
// absolute or relative to its peak. NaN when no map came.
struct ShownLevel {
    double levelDbfs = std::nan("");
    double spanDb = std::nan("");
    bool absolute = false;
};

ShownLevel shown(const UiController& ui) {
    return {ui.peakLevelDbfs(), ui.mapSpanDb(), ui.mapHasAbsoluteLevels()};
}

// The median of five maps of `source` made with `algorithm`, once `settle` has passed after the first (the
// averaging converges). A median, so that a map made just after a datagram lost on a loaded machine
// does not count.
ShownLevel settledLevel(UiController& ui, const QString& source, int algorithm,
                        std::chrono::milliseconds settle) {
    const auto current = [&] {
        return ui.hasHeatmap() && ui.mapSource() == source && ui.mapAlgorithmId() == algorithm;
    };
    if (!waitUntil(current, 5000ms)) return {};
    spinFor(settle);
    std::vector<ShownLevel> maps;
    QSignalSpy updated(&ui, &UiController::heatmapUpdated);
    while (maps.size() < 5) {
        if (!updated.wait(5000 * kSlowdown)) return {};
        if (current()) maps.push_back(shown(ui));
    }
    std::sort(maps.begin(), maps.end(),
              [](const ShownLevel& a, const ShownLevel& b) { return a.levelDbfs < b.levelDbfs; });
    return maps[maps.size() / 2];
}

// The map of the Full Recompute that `start` begins, once it has finished.
template <typename Start>
ShownLevel analysisLevel(UiController& ui, Start start) {
    QSignalSpy finished(&ui, &UiController::analysisFinished);
    start();
    if (!(finished.count() > 0 || finished.wait(120000 * kSlowdown))) return {};
    if (!finished.front().front().toBool() || ui.mapSource() != QLatin1String("analysis")) return {};
    return shown(ui);
}
ShownLevel analysisLevel(UiController& ui) {
    return analysisLevel(ui, [&] { ui.createFullRecomputeAnalysis(); });
}

// Records `duration` of the running session into a new Measurement, which the controller then selects.
bool record(UiController& ui, std::chrono::milliseconds duration) {
    QSignalSpy recorded(&ui, &UiController::recordingFinished);
    ui.startRecording();
    spinFor(duration);
    ui.stopRecording();
    return (recorded.count() > 0 || recorded.wait(30000 * kSlowdown)) && recorded.front().front().toBool();
}

bool startReplay(UiController& ui) {
    ui.startSelectedMeasurementReplay();
    return waitUntil([&] { return ui.replayState() == QStringLiteral("Playing"); }, 10s);
}

// "Analyze at position" of a playing Replay once it is past one second, with the window of 0.5 s.
ShownLevel analyzeAtPosition(UiController& ui) {
    if (!waitUntil([&] { return ui.replayPositionSeconds() >= 1.0; }, 5s)) return {};
    ui.setReplayPaused(true);
    ui.setAnalysisWindowSeconds(0.5);
    return analysisLevel(ui, [&] { ui.analyzeReplayPosition(); });
}

// The saved run of "Analyze at position", selected again after the form was changed, recomputed with
// the settings it was made with: the form follows its band and window, and the recompute reads its own
// matrices from the derived cache.
void expectTheStoredRunRecomputesFromItsMatrices(UiController& ui, const ShownLevel& stored) {
    SCOPED_TRACE("the stored run of Analyze at position");
    const int bins = ui.effectiveBinCount();
    const double frequencyHz = ui.analysisFrequencyHz();
    ui.savePendingAnalysis();
    ASSERT_EQ(ui.analysisRunCount(), 1);
    ui.clearAnalysisWindow();
    ui.setAnalysisFrequencyHz(1000.0);
    ui.setAnalysisFrameSize(256);
    ui.selectAnalysisRun(0);
    EXPECT_TRUE(ui.hasAnalysisWindow());
    EXPECT_EQ(ui.analysisFrequencyHz(), frequencyHz);
    const ShownLevel again = analysisLevel(ui);
    EXPECT_TRUE(ui.pendingAnalysisInfo().endsWith(QStringLiteral("· fast")))
        << ui.pendingAnalysisInfo().toStdString();
    EXPECT_EQ(ui.effectiveBinCount(), bins);
    EXPECT_EQ(again.levelDbfs, stored.levelDbfs);
}

class LevelScale : public ControllerSettingsTest {
  protected:
    // The live array with the UDP source, a single-bin band on the bin next to the tone, and a Project.
    core::DeviceProfile prepareUdp(UiController& ui) {
        const core::DeviceProfile profile =
            core::loadDeviceProfile(shippedProfile(liveProfileFile()).toStdString());
        importShippedProfile(ui, liveProfileFile());
        ui.setSource(QStringLiteral("UDP"));
        ui.setFrequency(profile.sampleRateHz / 6.0);
        ui.setFrequencyBandMode(QStringLiteral("Single bin"));
        ui.createProject(dir_.filePath(QStringLiteral("project")), QStringLiteral("Levels"));
        EXPECT_TRUE(ui.hasProject()) << ui.statusText().toStdString();
        return profile;
    }

    QTemporaryDir dir_;
};

TEST_F(LevelScale, AnOffBinToneWithNoiseReadsOneLevelOnLiveReplayAndEveryRecompute) {
    if (!waitForFreeUdpPort(kArrayPort)) GTEST_SKIP() << "UDP port 6666 stays held by another program";
    UiController ui;
    const core::DeviceProfile profile = prepareUdp(ui);
    const int das = 1;
    const int mvdr = 3;

    PlaneWaveSender sender(profile, kSourceHorizontalDeg, kSourceVerticalDeg,
                           noisyTone(profile, kLoudAmplitude));
    sender.start();
    ui.startLive();
    ASSERT_EQ(ui.sessionState(), QStringLiteral("Running")) << ui.statusText().toStdString();
    const ShownLevel liveDas = settledLevel(ui, kLive, das, 500ms);
    ui.setAlgorithm(algorithmName(mvdr));
    const ShownLevel liveMvdr = settledLevel(ui, kLive, mvdr, 500ms);
    ui.setAlgorithm(algorithmName(das));
    ASSERT_TRUE(std::isfinite(liveDas.levelDbfs) && std::isfinite(liveMvdr.levelDbfs))
        << ui.liveMetrics().toStdString();
    EXPECT_LT(liveDas.levelDbfs, 0.0);
    EXPECT_GT(liveDas.levelDbfs, -30.0);
    ASSERT_TRUE(record(ui, 4000ms)) << ui.statusText().toStdString();
    ui.stopLive();
    sender.stop();
    ASSERT_TRUE(ui.hasSelectedMeasurement());

    ASSERT_TRUE(startReplay(ui)) << ui.replayMetrics().toStdString();
    const ShownLevel replayDas = settledLevel(ui, kReplay, das, 300ms);
    ui.setAlgorithm(algorithmName(mvdr));
    const ShownLevel replayMvdr = settledLevel(ui, kReplay, mvdr, 300ms);

    // At the position with the Replay's framing and bin, whatever the form held (256 / 128 at first).
    ASSERT_EQ(ui.analysisFrameSize(), 256);
    ui.setAnalysisAlgorithm(algorithmName(mvdr));
    const ShownLevel atPositionMvdr = analyzeAtPosition(ui);
    EXPECT_EQ(ui.analysisFrameSize(), 1024);
    EXPECT_EQ(ui.analysisHopSize(), 512);
    EXPECT_EQ(ui.analysisFrequencyHz(), ui.frequency());
    ui.setAnalysisAlgorithm(algorithmName(das));
    const ShownLevel atPositionDas = analysisLevel(ui);
    EXPECT_TRUE(ui.pendingAnalysisInfo().endsWith(QStringLiteral("· fast")))
        << ui.pendingAnalysisInfo().toStdString();
    expectTheStoredRunRecomputesFromItsMatrices(ui, atPositionDas);

    // The whole Measurement, eight times the frames, framed anew and then from the cache.
    ui.clearAnalysisWindow();
    ui.setAnalysisAlgorithm(algorithmName(mvdr));
    const ShownLevel wholeMvdr = analysisLevel(ui);
    ui.setAnalysisAlgorithm(algorithmName(das));
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
        EXPECT_TRUE(read.shown.absolute) << read.path;
        EXPECT_NEAR(read.shown.levelDbfs, read.live, 1.0) << read.path;
        // Diagonal removal leaves cells without power; the span covers the cells that hold one.
        EXPECT_LT(read.shown.spanDb, 200.0) << read.path;
    }
    EXPECT_LT(liveDas.spanDb, 200.0);
    EXPECT_LT(liveMvdr.spanDb, 200.0);
}

// A level in dBFS is one that follows the source: the maps whose power is the source's (DAS, Functional,
// the Capon pair, Orthogonal, CLEAN-SC) are shown in dBFS and move with it; MUSIC, Auto-MUSIC, SRP-PHAT
// and the deconvolutions normalise their maps, so they are shown relative to their peak.
TEST_F(LevelScale, EveryLevelShownInDbfsFollowsASourceTwentyDbQuieter) {
    if (!waitForFreeUdpPort(kArrayPort)) GTEST_SKIP() << "UDP port 6666 stays held by another program";
    UiController ui;
    const core::DeviceProfile profile = prepareUdp(ui);
    constexpr bool kAbsolute[] = {true,  true, true,  true,  false, false, true,
                                  false, true, false, false, false, false, false};

    // [0] the loud source, [1] the quiet one; ids 1 .. 8 live, 1 .. 14 over the whole Measurement.
    ShownLevel live[2][9];
    ShownLevel analysis[2][15];
    for (int quiet = 0; quiet < 2; ++quiet) {
        SCOPED_TRACE(quiet ? "quiet" : "loud");
        PlaneWaveSender sender(profile, kSourceHorizontalDeg, kSourceVerticalDeg,
                               noisyTone(profile, quiet ? kQuietAmplitude : kLoudAmplitude));
        sender.start();
        ASSERT_TRUE(waitForFreeUdpPort(kArrayPort));
        ui.startLive();
        ASSERT_EQ(ui.sessionState(), QStringLiteral("Running")) << lastEvent(ui).toStdString();
        for (int id = 1; id <= 8; ++id) {
            ui.setAlgorithm(algorithmName(id));
            live[quiet][id] = settledLevel(ui, kLive, id, 500ms);
        }
        ui.setAlgorithm(algorithmName(1));
        ASSERT_TRUE(record(ui, 2000ms)) << ui.statusText().toStdString();
        ui.stopLive();
        sender.stop();

        ui.setAnalysisBandMode(QStringLiteral("Single"));
        ui.setAnalysisFrameSize(1024);
        ui.setAnalysisHopSize(512);
        ui.setAnalysisFrequencyHz(ui.frequency());
        for (int id = 1; id <= 14; ++id) {
            ui.setAnalysisAlgorithm(algorithmName(id));
            analysis[quiet][id] = analysisLevel(ui);
        }
    }

    const auto expectFollows = [&](const char* page, int id, const ShownLevel& loud,
                                   const ShownLevel& quiet) {
        SCOPED_TRACE(std::string(page) + " " + algorithmName(id).toStdString());
        ASSERT_TRUE(std::isfinite(loud.levelDbfs) && std::isfinite(quiet.levelDbfs));
        EXPECT_EQ(loud.absolute, kAbsolute[id - 1]);
        EXPECT_EQ(quiet.absolute, kAbsolute[id - 1]);
        if (loud.absolute) {
            EXPECT_NEAR(loud.levelDbfs - quiet.levelDbfs, 20.0, 0.5);
        } else {
            // What makes it relative: its peak does not follow the source.
            EXPECT_GT(std::abs(loud.levelDbfs - quiet.levelDbfs - 20.0), 0.5);
        }
    };
    for (int id = 1; id <= 8; ++id) expectFollows("live", id, live[0][id], live[1][id]);
    for (int id = 1; id <= 14; ++id) expectFollows("whole Measurement", id, analysis[0][id], analysis[1][id]);
}

// A newcomer who picks any shipped profile and starts the synthetic source at the default settings sees a
// live map of it (the default frequency lands on no bin without power, whatever the sample rate), and the
// same level on the Replay of a Recording and at a position of it: at 16 kHz the default band lies above
// 0.45 x the rate, where the live map finds it.
TEST_F(LevelScale, EveryShippedProfileShowsItsLiveLevelOnReplayAndAtAPosition) {
    const QStringList files = QDir(QStringLiteral(ZK_SOURCE_PROFILES_DIR))
                                  .entryList({QStringLiteral("*.device.json")}, QDir::Files);
    ASSERT_GE(files.size(), 2);
    for (const QString& file : files) {
        SCOPED_TRACE(file.toStdString());
        QFile::remove(QSettings().fileName());
        QTemporaryDir dir;
        UiController ui;
        ui.importProfile(QStringLiteral(ZK_SOURCE_PROFILES_DIR) + u'/' + file);
        ASSERT_EQ(ui.sessionState(), QStringLiteral("Ready")) << ui.statusText().toStdString();
        ui.setSource(QStringLiteral("Synthetic"));
        ui.createProject(dir.filePath(QStringLiteral("project")), QStringLiteral("Levels"));
        ui.startLive();
        ASSERT_EQ(ui.sessionState(), QStringLiteral("Running")) << ui.statusText().toStdString();
        // Waits for the source's level rather than for a time: on a loaded machine the first maps may
        // follow a restart of the average. A frequency on a bin without power never gets there.
        const auto sourceShown = [&] {
            return ui.hasHeatmap() && ui.mapSource() == QLatin1String("live") && ui.peakLevelDbfs() > -60.0;
        };
        const bool shownLive = waitUntil(sourceShown, 20000ms * kSlowdown);
        EXPECT_TRUE(shownLive) << "at " << ui.frequency() << " Hz the map peaks at " << ui.peakLevelDbfs()
                               << " dBFS";
        EXPECT_NEAR(ui.peakAzimuth(), ui.azimuth(), 1.0);
        EXPECT_NEAR(ui.peakElevation(), ui.elevation(), 1.0);
        // Under a sanitizer the 128-microphone array streams faster than its numeric path runs, so its
        // averages restart at every gap: levels are compared where the live path keeps up.
        if (kSlowdown > 1 && file != QLatin1String(liveProfileFile())) continue;
        const ShownLevel liveDas = settledLevel(ui, kLive, 1, 500ms);
        ASSERT_TRUE(record(ui, 3000ms)) << ui.statusText().toStdString();
        ui.stopLive();

        ASSERT_TRUE(startReplay(ui)) << ui.replayMetrics().toStdString();
        const ShownLevel replayDas = settledLevel(ui, kReplay, 1, 300ms);
        EXPECT_NEAR(ui.peakAzimuth(), ui.azimuth(), 1.0);
        EXPECT_NEAR(ui.peakElevation(), ui.elevation(), 1.0);
        const ShownLevel atPosition = analyzeAtPosition(ui);
        EXPECT_EQ(ui.analysisFrequencyHz(), ui.frequency());
        EXPECT_NEAR(replayDas.levelDbfs, liveDas.levelDbfs, 1.0);
        EXPECT_NEAR(atPosition.levelDbfs, liveDas.levelDbfs, 1.0);
        expectTheStoredRunRecomputesFromItsMatrices(ui, atPosition);
    }
}

}  // namespace
}  // namespace zk::app::test
