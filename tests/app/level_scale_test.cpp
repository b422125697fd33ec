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
#include <complex>
#include <map>
#include <numbers>
#include <numeric>
#include <string>
#include <tuple>
#include <vector>

#include "app/settings_rules.h"
#include "app/ui_controller.h"
#include "app_test_support.h"
#include "beamforming_settings_peer.h"
#include "core/storage/device_profile.h"
#include "render/heatmap_image_provider.h"
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

// The band a map was made over, as the controller shows it.
struct ShownBand {
    double lowHz = 0.0;
    double highHz = 0.0;
    int bins = 0;
};
ShownBand shownBand(const UiController& ui) {
    return {ui.effectiveBandLowHz(), ui.effectiveBandHighHz(), ui.effectiveBinCount()};
}
void expectSameBand(const ShownBand& shown, const ShownBand& live, const char* path) {
    EXPECT_EQ(shown.lowHz, live.lowHz) << path;
    EXPECT_EQ(shown.highHz, live.highHz) << path;
    EXPECT_EQ(shown.bins, live.bins) << path;
}

// A running live session's engine makes one hop per kStreamHopSize frames it took.
void expectLiveHopsAtTheStreamHop(UiController& ui, std::uint64_t wireChannels) {
    BeamformingSettingsTestPeer peer(ui);
    LiveSessionState& live = peer.liveSession();
    const auto hops = static_cast<double>(live.counters.dspHops.load());
    const double frames = static_cast<double>(live.counters.ingressSamples.load() / wireChannels) -
                          static_cast<double>(live.dspQueue.statistics().droppedFrames);
    ASSERT_GT(frames, 4.0 * kStreamFrameSize);
    EXPECT_NEAR(hops * kStreamHopSize / frames, 1.0, 0.1) << hops << " hops over " << frames << " frames";
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

    // MVDR's peak follows the source but is not its level: it is shown relative to its peak.
    const struct {
        const char* path;
        ShownLevel shown;
        double live;
        bool absolute;
    } reads[] = {
        {"Replay DAS", replayDas, liveDas.levelDbfs, true},
        {"Replay MVDR", replayMvdr, liveMvdr.levelDbfs, false},
        {"Analyze at position DAS", atPositionDas, liveDas.levelDbfs, true},
        {"Analyze at position MVDR", atPositionMvdr, liveMvdr.levelDbfs, false},
        {"whole Measurement DAS", wholeDas, liveDas.levelDbfs, true},
        {"whole Measurement MVDR", wholeMvdr, liveMvdr.levelDbfs, false},
    };
    for (const auto& read : reads) {
        EXPECT_EQ(read.shown.absolute, read.absolute) << read.path;
        EXPECT_NEAR(read.shown.levelDbfs, read.live, 1.0) << read.path;
        // Diagonal removal leaves cells without power; the span covers the cells that hold one.
        EXPECT_LT(read.shown.spanDb, 200.0) << read.path;
    }
    EXPECT_LT(liveDas.spanDb, 200.0);
    EXPECT_LT(liveMvdr.spanDb, 200.0);
}

// A level in dBFS is one that follows the source: the maps whose power is the source's (DAS, Functional,
// Orthogonal, CLEAN-SC) are shown in dBFS and move with it; MUSIC, Auto-MUSIC, SRP-PHAT and the
// deconvolutions normalise their maps, and the Capon pair's peak falls decibels short of a source its
// steering misses a little, so they are shown relative to their peak.
TEST_F(LevelScale, EveryLevelShownInDbfsFollowsASourceTwentyDbQuieter) {
    if (!waitForFreeUdpPort(kArrayPort)) GTEST_SKIP() << "UDP port 6666 stays held by another program";
    UiController ui;
    const core::DeviceProfile profile = prepareUdp(ui);
    constexpr bool kAbsolute[] = {true,  true, false, false, false, false, true,
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
        } else if (id != 3 && id != 4) {
            // What makes a normalised map relative: its peak does not follow the source. The Capon pair
            // follows it, but falls short of it between grid cells.
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
        // One framing on the three paths: the band of the live frame, hopped by half of it.
        const ShownBand liveBand = shownBand(ui);
        expectLiveHopsAtTheStreamHop(
            ui, core::loadDeviceProfile((QStringLiteral(ZK_SOURCE_PROFILES_DIR) + u'/' + file).toStdString())
                    .wireChannelCount);
        ASSERT_TRUE(record(ui, 3000ms)) << ui.statusText().toStdString();
        ui.stopLive();

        ASSERT_TRUE(startReplay(ui)) << ui.replayMetrics().toStdString();
        const ShownLevel replayDas = settledLevel(ui, kReplay, 1, 300ms);
        EXPECT_NEAR(ui.peakAzimuth(), ui.azimuth(), 1.0);
        EXPECT_NEAR(ui.peakElevation(), ui.elevation(), 1.0);
        expectSameBand(shownBand(ui), liveBand, "Replay");
        const ShownLevel atPosition = analyzeAtPosition(ui);
        EXPECT_EQ(ui.analysisFrameSize(), kStreamFrameSize);
        EXPECT_EQ(ui.analysisHopSize(), kStreamHopSize);
        expectSameBand(shownBand(ui), liveBand, "Analyze at position");
        EXPECT_EQ(ui.analysisFrequencyHz(), ui.frequency());
        EXPECT_NEAR(replayDas.levelDbfs, liveDas.levelDbfs, 1.0);
        EXPECT_NEAR(atPosition.levelDbfs, liveDas.levelDbfs, 1.0);
        expectTheStoredRunRecomputesFromItsMatrices(ui, atPosition);
    }
}

// Records 1.5 s of the running live session into a Measurement, stops the session and the sender, and
// sets the form to analyse it with the live framing, frequency and default band.
void recordThenFrameLikeLive(UiController& ui, PlaneWaveSender& sender) {
    ui.setAlgorithm(algorithmName(1));
    ASSERT_TRUE(record(ui, 1500ms)) << ui.statusText().toStdString();
    ui.stopLive();
    sender.stop();
    ui.setAnalysisFrameSize(kStreamFrameSize);
    ui.setAnalysisHopSize(kStreamHopSize);
    ui.setAnalysisFrequencyHz(ui.frequency());
    ASSERT_EQ(ui.analysisBandMode(), QStringLiteral("1/3 octave"));
}

// Where the window's colour scale puts each cell of the painted field, 0 at its floor and 1 at its top:
// the level the shader decodes, within the range the controller shows.
std::vector<double> scalePositions(const UiController& ui, int& width, int& height) {
    QSize size;
    const QImage field = ui.heatmapImageProvider()->requestImage(QStringLiteral("field"), &size, {});
    width = field.width();
    height = field.height();
    const double range = ui.mapShownRangeDb();
    std::vector<double> t;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const QRgb pixel = field.pixel(x, y);
            const double power = std::max((qRed(pixel) * 256 + qGreen(pixel)) / 65535.0, 1e-9);
            t.push_back(std::clamp(1.0 + 10.0 * std::log10(power) / range, 0.0, 1.0));
        }
    }
    return t;
}

// The map peaks within one cell of the source, and in the window the source's cell stands out of the
// rest by a third of the colour scale at least, with no cell brighter than it more than a cell away.
void expectSourceSeen(const UiController& ui, const char* path) {
    SCOPED_TRACE(path);
    EXPECT_FALSE(ui.mapHasAbsoluteLevels());
    EXPECT_LT(ui.mapSpanDb(), 0.75 * ui.dynamicRange()) << "the band's noise bins no longer flatten the map";
    EXPECT_NEAR(ui.peakAzimuth(), kSourceHorizontalDeg, 1.0);
    EXPECT_NEAR(ui.peakElevation(), kSourceVerticalDeg, 1.0);
    int width = 0, height = 0;
    std::vector<double> t = scalePositions(ui, width, height);
    ASSERT_GT(width * height, 100);
    // The grids step by one degree around the centre; image line 0 is the top row.
    const int column = static_cast<int>(std::lround(kSourceHorizontalDeg + (width - 1) / 2.0));
    const int line = height - 1 - static_cast<int>(std::lround(kSourceVerticalDeg + (height - 1) / 2.0));
    const auto brightest = std::max_element(t.begin(), t.end()) - t.begin();
    EXPECT_LE(std::abs(brightest % width - column), 1);
    EXPECT_LE(std::abs(brightest / width - line), 1);
    const double source = t[static_cast<std::size_t>(line * width + column)];
    std::nth_element(t.begin(), t.begin() + t.size() / 2, t.end());
    EXPECT_GT(source - t[t.size() / 2], 1.0 / 3.0) << "source at " << source << ", median " << t[t.size() / 2];
}

// MUSIC and Auto-MUSIC over the default band at 20 dB SNR: every bin's pseudo-spectrum is normalised to
// its peak, so the band's bins that hold only noise add a nearly flat floor and the map spans a few
// decibels; the window spreads them over its colours, live and over the whole Measurement.
TEST_F(LevelScale, MusicOverTheDefaultBandShowsItsSourceInTheWindowsColours) {
    if (!waitForFreeUdpPort(kArrayPort)) GTEST_SKIP() << "UDP port 6666 stays held by another program";
    UiController ui;
    const core::DeviceProfile profile = prepareUdp(ui);
    ui.setFrequencyBandMode(QStringLiteral("1/3 octave"));
    ToneInNoise tone = noisyTone(profile, kLoudAmplitude);
    tone.noiseRms = kLoudAmplitude / std::sqrt(2.0) / 10.0;
    PlaneWaveSender sender(profile, kSourceHorizontalDeg, kSourceVerticalDeg, tone);
    sender.start();
    ui.startLive();
    ASSERT_EQ(ui.sessionState(), QStringLiteral("Running")) << ui.statusText().toStdString();
    for (const int id : {5, 6}) {
        ui.setAlgorithm(algorithmName(id));
        ASSERT_TRUE(std::isfinite(settledLevel(ui, kLive, id, 1000ms).levelDbfs));
        expectSourceSeen(ui, ("live " + algorithmName(id).toStdString()).c_str());
    }
    ASSERT_NO_FATAL_FAILURE(recordThenFrameLikeLive(ui, sender));
    for (const int id : {5, 6}) {
        ui.setAnalysisAlgorithm(algorithmName(id));
        ASSERT_TRUE(std::isfinite(analysisLevel(ui).levelDbfs));
        expectSourceSeen(ui, ("whole Measurement " + algorithmName(id).toStdString()).c_str());
    }
}

// The tone's level in dBFS over the bins of a band at the engines' frame: for each bin, |X_k|^2 of the
// tone alone at one microphone, with the symmetric Hann window and the scale that reads a full-scale
// sine at a bin centre as its RMS, averaged over the tone's phase; a plain DFT in double precision.
double toneBandLevelDbfs(double rateHz, double toneHz, double amplitude, double lowHz, double highHz) {
    constexpr int N = kStreamFrameSize;
    constexpr double kTwoPi = 2.0 * std::numbers::pi;
    std::vector<double> window(N);
    double windowSum = 0.0;
    for (int n = 0; n < N; ++n) {
        window[n] = 0.5 * (1.0 - std::cos(kTwoPi * n / (N - 1)));
        windowSum += window[n];
    }
    const double scale = std::sqrt(2.0) / (windowSum * 32768.0);
    const double binHz = rateHz / N;
    constexpr int kPhases = 8;
    double power = 0.0;
    for (long k = std::lround(lowHz / binHz); k <= std::lround(highHz / binHz); ++k) {
        for (int phase = 0; phase < kPhases; ++phase) {
            std::complex<double> x;
            for (int n = 0; n < N; ++n) {
                const double cycles = toneHz * n / rateHz + static_cast<double>(phase) / kPhases;
                x += window[n] * amplitude * std::sin(kTwoPi * cycles) *
                     std::polar(1.0, -kTwoPi * static_cast<double>(k) * n / N);
            }
            power += std::norm(x * scale) / kPhases;
        }
    }
    return 10.0 * std::log10(power);
}

// A tone between the bins at about `fraction` of the profile's rate, whole periods of it in about a second
// of whole datagrams, with white noise of noiseRms on every microphone.
ToneInNoise toneAt(const core::DeviceProfile& profile, double fraction, double noiseRms) {
    const ToneInNoise period = noisyTone(profile, kLoudAmplitude);
    const auto frames = static_cast<double>(period.periodFrames);
    const double cycles = std::round(fraction * frames);
    return {profile.sampleRateHz * cycles / frames, kLoudAmplitude, noiseRms, period.periodFrames};
}

std::vector<std::string> shippedProfileFiles() {
    std::vector<std::string> files;
    for (const QString& file :
         QDir(QStringLiteral(ZK_SOURCE_PROFILES_DIR)).entryList({QStringLiteral("*.device.json")}, QDir::Files)) {
        files.push_back(file.toStdString());
    }
    return files;
}

// A shipped profile and a tone frequency as a fraction of its rate.
using ProfileAndTone = std::tuple<std::string, double>;

class ShownLevels : public ControllerSettingsTest, public ::testing::WithParamInterface<ProfileAndTone> {
  protected:
    // The array of the profile with the UDP source at frequencyHz in the default band, and a Project.
    void prepare(UiController& ui, const std::string& file, double frequencyHz) {
        ui.importProfile(QStringLiteral(ZK_SOURCE_PROFILES_DIR) + u'/' + QString::fromStdString(file));
        ASSERT_EQ(ui.sessionState(), QStringLiteral("Ready")) << ui.statusText().toStdString();
        ui.setSource(QStringLiteral("UDP"));
        ui.setFrequency(frequencyHz);
        ASSERT_EQ(ui.frequencyBandMode(), QStringLiteral("1/3 octave"));
        ui.createProject(dir_.filePath(QStringLiteral("project")), QStringLiteral("Levels"));
        ASSERT_TRUE(ui.hasProject()) << ui.statusText().toStdString();
    }

    QTemporaryDir dir_;
};

// Every map shown in dBFS reads the source's level: DAS within 0.1 dB of the tone's own level in the band,
// the others within 1 dB of DAS, live and over the whole Measurement, on every shipped profile at two
// frequencies of the default band.
TEST_P(ShownLevels, EveryMapInDbfsReadsTheSourcesLevel) {
    const auto& [file, fraction] = GetParam();
    if (kSlowdown > 1 && file != liveProfileFile()) {
        GTEST_SKIP() << "under a sanitizer this array streams faster than its numeric path runs";
    }
    if (!waitForFreeUdpPort(kArrayPort)) GTEST_SKIP() << "UDP port 6666 stays held by another program";
    const core::DeviceProfile profile =
        core::loadDeviceProfile(std::string(ZK_SOURCE_PROFILES_DIR) + '/' + file);
    const ToneInNoise tone = toneAt(profile, fraction, kNoiseRms);
    UiController ui;
    ASSERT_NO_FATAL_FAILURE(prepare(ui, file, tone.frequencyHz));

    PlaneWaveSender sender(profile, kSourceHorizontalDeg, kSourceVerticalDeg, tone);
    sender.start();
    ui.startLive();
    ASSERT_EQ(ui.sessionState(), QStringLiteral("Running")) << ui.statusText().toStdString();
    std::map<int, ShownLevel> live;
    for (const int id : {1, 2, 3, 4, 7}) {
        ui.setAlgorithm(algorithmName(id));
        live[id] = settledLevel(ui, kLive, id, 500ms);
    }
    const double liveSource = toneBandLevelDbfs(profile.sampleRateHz, tone.frequencyHz, tone.amplitude,
                                                ui.effectiveBandLowHz(), ui.effectiveBandHighHz());
    ASSERT_NO_FATAL_FAILURE(recordThenFrameLikeLive(ui, sender));
    std::map<int, ShownLevel> whole;
    for (const int id : {1, 2, 4, 7, 9}) {
        ui.setAnalysisAlgorithm(algorithmName(id));
        whole[id] = analysisLevel(ui);
    }
    const double wholeSource = toneBandLevelDbfs(profile.sampleRateHz, tone.frequencyHz, tone.amplitude,
                                                 ui.effectiveBandLowHz(), ui.effectiveBandHighHz());

    const auto expectSourceLevel = [](const char* path, std::map<int, ShownLevel>& shown, double source) {
        SCOPED_TRACE(path);
        ASSERT_TRUE(shown[1].absolute);
        EXPECT_NEAR(shown[1].levelDbfs, source, 0.1) << "DAS";
        for (const auto& [id, level] : shown) {
            SCOPED_TRACE(algorithmName(id).toStdString());
            ASSERT_TRUE(std::isfinite(level.levelDbfs));
            EXPECT_EQ(level.absolute, id != 3 && id != 4);
            if (level.absolute) {
                EXPECT_NEAR(level.levelDbfs, shown[1].levelDbfs, 1.0);
            }
        }
    };
    expectSourceLevel("live", live, liveSource);
    expectSourceLevel("whole Measurement", whole, wholeSource);
}

INSTANTIATE_TEST_SUITE_P(EveryShippedProfile, ShownLevels,
                         ::testing::Combine(::testing::ValuesIn(shippedProfileFiles()),
                                            ::testing::Values(1.0 / 6.0, 0.0524)),
                         [](const ::testing::TestParamInfo<ProfileAndTone>& info) {
                             std::string name = std::get<0>(info.param).substr(0, std::get<0>(info.param).find('.'));
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name + (std::get<1>(info.param) > 0.1 ? "_sixth" : "_twentieth");
                         });

}  // namespace
}  // namespace zk::app::test
