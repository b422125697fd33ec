// Full Recompute through the controller as a user runs it: a plane wave recorded into a Measurement,
// recomputed with every algorithm, the derived cache hit, broken and refilled, cancels and refusals.
#include "app/full_recompute.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "analysis_fixture.h"
#include "app_test_support.h"
#include "core/storage/analysis_map.h"
#include "core/storage/analysis_run_store.h"
#include "core/streaming/noise_floor_profile.h"

namespace zk::app::test {
namespace {

namespace fs = std::filesystem;

using FullRecompute = ControllerSettingsTest;

std::vector<fs::path> derivedFiles(const PlaneWaveProject& project) {
    return filesIn(project.measurementDir() / "derived");
}

fs::path derivedFileEndingIn(const PlaneWaveProject& project, const std::string& extension) {
    for (const fs::path& file : derivedFiles(project))
        if (file.extension() == extension) return file;
    return {};
}

// The pending result saved and read back: what the controller computed, independently of its texts.
core::AnalysisRunRecord saveAndRead(UiController& ui, const PlaneWaveProject& project) {
    ui.savePendingAnalysis();
    EXPECT_FALSE(ui.hasPendingAnalysis());
    return core::readAnalysisRun(project.measurementDir() / "analyses" /
                                 ui.selectedAnalysisId().toStdString());
}

// The relative level of the map cell nearest the array's axis (azimuth and elevation 0).
double axisLevelDb(const core::HeatmapGrid& map) {
    const auto nearestZero = [](const std::vector<double>& axis) {
        std::size_t best = 0;
        for (std::size_t i = 1; i < axis.size(); ++i)
            if (std::abs(axis[i]) < std::abs(axis[best])) best = i;
        return best;
    };
    return map.relativeDb[nearestZero(map.elevationDeg) * map.width + nearestZero(map.azimuthDeg)];
}

TEST_F(FullRecompute, AFloorStoredSwitchedOffIsSubtractedOnceTheSwitchIsTurnedOn) {
    // Two seconds of white noise on the small array: no source anywhere.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("project"));
    core::createProject(fsPath(path), "Noise");
    core::Recording recording(fsPath(path), "m_noise", shippedProfileText("small-4.device.json"),
                              "Synthetic");
    std::vector<std::int16_t> samples(2 * 16000 * 4);
    std::uint32_t state = 99u;
    for (std::int16_t& sample : samples) {
        state = state * 1664525u + 1013904223u;
        sample = static_cast<std::int16_t>(static_cast<int>(state >> 21) - 1024);
    }
    recording.append(samples);
    const core::MeasurementRecord m = recording.finalize({}).measurement;

    // A floor common to all four microphones (the array's axis), a little stronger than the noise
    // (about 1e-6 of full scale squared per bin), stored switched off.
    core::NoiseFloorProfile floor;
    floor.profileHash = m.profileHash;
    floor.sampleRateHz = 16000;
    floor.channelCount = 4;
    floor.fftSize = 1024;
    floor.averagedFrames = 30;
    floor.createdAtUtc = "2026-03-04T05:06:07Z";
    floor.enabled = false;
    floor.matrices.assign(513, core::MatrixRows(4, std::vector<std::complex<double>>(4, {1e-6, 0.0})));
    core::saveNoiseFloorProfile(fsPath(path), floor);

    UiController ui;
    importShippedProfile(ui, "small-4.device.json");
    ui.openProject(path);
    ASSERT_TRUE(ui.noiseProfileValid());
    ASSERT_FALSE(ui.noiseSubtractionEnabled());
    ui.setAnalysisBandMode(QStringLiteral("Single"));
    ui.setAnalysisFrequencyHz(4000.0);
    ui.setAnalysisFrameSize(1024);
    ui.setAnalysisHopSize(512);
    ui.setAnalysisGridStepDeg(2.0);
    // Without the diagonal removal the axis keeps the power the floor takes away there.
    ui.setAnalysisBeamformingParameter(QStringLiteral("remove_csm_diagonal"), 0.0);

    ui.setNoiseSubtractionEnabled(true);
    ASSERT_TRUE(ui.noiseSubtractionEnabled());
    ASSERT_TRUE(runAnalysis(ui)) << ui.analysisStatus().toStdString();
    ui.savePendingAnalysis();
    const core::AnalysisRunRecord subtracted =
        core::readAnalysisRun(m.directory / "analyses" / ui.selectedAnalysisId().toStdString());
    EXPECT_TRUE(subtracted.parameters.noiseSubtracted);

    // The same settings again, served from the derived cache, which holds the matrices before the
    // subtraction: the floor comes off there too.
    ASSERT_TRUE(runAnalysis(ui)) << ui.analysisStatus().toStdString();
    ui.savePendingAnalysis();
    const core::AnalysisRunRecord fast =
        core::readAnalysisRun(m.directory / "analyses" / ui.selectedAnalysisId().toStdString());
    EXPECT_EQ(fast.provenance.recomputeMode, "fast");
    EXPECT_TRUE(fast.parameters.noiseSubtracted);
    EXPECT_EQ(readBytes(fast.directory / "map.bin"), readBytes(subtracted.directory / "map.bin"));

    // A floor of 1024-point frames has no bins for 512-point ones: the page says it was left out.
    ui.setAnalysisFrameSize(512);
    ui.setAnalysisHopSize(256);
    ASSERT_TRUE(runAnalysis(ui)) << ui.analysisStatus().toStdString();
    const QString note = QStringLiteral(
        "Noise floor not subtracted: it was calibrated with 1024-point frames, this analysis uses 512-point "
        "frames");
    EXPECT_TRUE(ui.analysisStatus().endsWith(u'\n' + note)) << ui.analysisStatus().toStdString();
    EXPECT_EQ(lastEvent(ui), note);
    ui.savePendingAnalysis();
    EXPECT_FALSE(core::readAnalysisRun(m.directory / "analyses" / ui.selectedAnalysisId().toStdString())
                     .parameters.noiseSubtracted);
    ui.setAnalysisFrameSize(1024);
    ui.setAnalysisHopSize(512);

    // The same band once more without the floor, framed anew rather than read from the cache.
    fs::remove_all(m.directory / "derived");
    ui.setNoiseSubtractionEnabled(false);
    ASSERT_TRUE(runAnalysis(ui)) << ui.analysisStatus().toStdString();
    ui.savePendingAnalysis();
    const core::AnalysisRunRecord plain =
        core::readAnalysisRun(m.directory / "analyses" / ui.selectedAnalysisId().toStdString());
    EXPECT_FALSE(plain.parameters.noiseSubtracted);
    EXPECT_EQ(plain.provenance.recomputeMode, "full");

    // Noise alone looks alike in every direction; with the floor gone the axis falls far below.
    const double withFloor = axisLevelDb(*core::loadAnalysisRunMap(subtracted));
    const double without = axisLevelDb(*core::loadAnalysisRunMap(plain));
    EXPECT_GT(without, -6.0);
    EXPECT_LT(withFloor, without - 10.0);
}

TEST_F(FullRecompute, EveryAlgorithmPeaksAtTheRecordedSourceDirection) {
    PlaneWaveProject project;
    UiController ui;
    ui.openProject(project.path());
    ASSERT_TRUE(ui.canCreateAnalysis()) << lastEvent(ui).toStdString();
    configureSingleBin(ui);

    const QStringList names = {
        "01 DAS / Conventional", "02 Functional", "03 MVDR / Capon", "04 Robust Capon", "05 MUSIC",
        "06 Auto-MUSIC",         "07 Orthogonal", "08 SRP-PHAT",     "09 CLEAN-SC",     "10 DAMAS",
        "11 DAMAS-FISTA",        "12 NNLS",       "13 Sparse-FISTA", "14 SBL / ARD"};
    for (int i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(names[i].toStdString());
        // The deconvolutions (ids 10 to 14) solve over every pair of cells: they run on a coarser grid.
        const double step = i >= 9 ? 4.0 : 2.0;
        ui.setAnalysisGridStepDeg(step);
        ui.setAnalysisAlgorithm(names[i]);
        ASSERT_EQ(ui.analysisAlgorithm(), names[i]);
        ASSERT_TRUE(runAnalysis(ui)) << ui.analysisStatus().toStdString();
        const core::AnalysisRunRecord run = saveAndRead(ui, project);
        EXPECT_NEAR(run.peakAzimuthDeg, kSourceAzimuthDeg, step + 1e-9);
        EXPECT_NEAR(run.peakElevationDeg, kSourceElevationDeg, step + 1e-9);
        EXPECT_EQ(run.parameters.gridStepDeg, step);
        EXPECT_EQ(run.parameters.bandBinCount, 1u);
        EXPECT_EQ(run.parameters.frequencyBin, 172u);
        EXPECT_DOUBLE_EQ(run.parameters.frequencyHz, kToneHz);
        // Only the first run frames the raw file; algorithm and grid do not enter the cache key.
        EXPECT_EQ(run.provenance.recomputeMode, i == 0 ? "full" : "fast");
        EXPECT_EQ(run.provenance.inputFrames, 48000u);
        EXPECT_EQ(run.provenance.stftFrames, (48000u - 1024u) / 512u + 1u);
        const std::optional<core::HeatmapGrid> map = core::loadAnalysisRunMap(run);
        ASSERT_TRUE(map.has_value());
        EXPECT_EQ(map->peakAzimuthDeg, run.peakAzimuthDeg);
        EXPECT_EQ(map->relativeDb[map->peakIndex], 0.0);
    }
    EXPECT_EQ(ui.analysisRunCount(), 14);
}

TEST_F(FullRecompute, ASecondRunHitsTheDerivedCacheAndGivesTheSameMapBitForBit) {
    PlaneWaveProject project;
    UiController ui;
    ui.openProject(project.path());
    ui.setAnalysisAlgorithm(QStringLiteral("03 MVDR / Capon"));
    configureSingleBin(ui);
    EXPECT_TRUE(derivedFiles(project).empty());

    QSignalSpy progress(&ui, &UiController::analysisProgressChanged);
    ASSERT_TRUE(runAnalysis(ui)) << ui.analysisStatus().toStdString();
    EXPECT_TRUE(ui.analysisStatus().startsWith(QStringLiteral("Analysis computed - not saved yet: MVDR · ")));
    EXPECT_TRUE(ui.pendingAnalysisInfo().endsWith(QStringLiteral("· full")))
        << ui.pendingAnalysisInfo().toStdString();
    EXPECT_EQ(ui.analysisProgress(), 1.0);
    // At most one post per percent, the start and the end.
    EXPECT_LE(progress.count(), 103);
    EXPECT_GE(progress.count(), 2);
    EXPECT_EQ(derivedFiles(project).size(), 2u);  // the matrices and their sidecar
    const core::AnalysisRunRecord first = saveAndRead(ui, project);

    ASSERT_TRUE(runAnalysis(ui)) << ui.analysisStatus().toStdString();
    EXPECT_TRUE(ui.pendingAnalysisInfo().endsWith(QStringLiteral("· fast")));
    EXPECT_TRUE(
        eventLogHas(ui, QStringLiteral("Analysis computed - not saved yet: ") + ui.pendingAnalysisInfo()));
    const core::AnalysisRunRecord second = saveAndRead(ui, project);
    EXPECT_EQ(second.provenance.recomputeMode, "fast");
    EXPECT_FALSE(second.parameters.noiseSubtracted);
    EXPECT_EQ(first.provenance.stftFrames, second.provenance.stftFrames);
    EXPECT_EQ(first.provenance.inputRawHash, fnv1aHexOfFile(project.rawPath()));
    EXPECT_EQ(first.parameters, second.parameters);

    const core::HeatmapGrid a = *core::loadAnalysisRunMap(first);
    const core::HeatmapGrid b = *core::loadAnalysisRunMap(second);
    EXPECT_EQ(a.relativeDb, b.relativeDb);
    EXPECT_EQ(a.azimuthDeg, b.azimuthDeg);
    EXPECT_EQ(a.peakDb, b.peakDb);
    EXPECT_EQ(readBytes(first.directory / "map.bin"), readBytes(second.directory / "map.bin"));

    // A changed band is another cache entry.
    ui.setAnalysisFrequencyHz(4000.0);
    ASSERT_TRUE(runAnalysis(ui));
    EXPECT_TRUE(ui.pendingAnalysisInfo().endsWith(QStringLiteral("· full")));
    EXPECT_EQ(derivedFiles(project).size(), 4u);
}

void writeBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// One kind of damage to the derived cache entry of the first run, and the text the second run logs
// for it (empty: the entry is a silent miss).
struct CacheDamage {
    const char* name;
    std::function<void(const fs::path& data, const fs::path& sidecar)> apply;
    QString logged;
};

int eventsContaining(const UiController& ui, const QString& text) {
    int count = 0;
    for (const QString& line : ui.eventLog()) count += line.contains(text) ? 1 : 0;
    return count;
}

// A damaged entry is never rendered from and never makes a run "fast": the run recomputes from the raw
// file, gives the map of the first run bit for bit, and rewrites the entry, which serves the next run.
TEST_F(FullRecompute, ADamagedCacheEntryIsAMissThatIsRecomputedAndRewritten) {
    const QString unreadable = QStringLiteral("Derived cache entry unreadable, recomputing it: ");
    const std::vector<CacheDamage> table = {
        {"truncated data",
         [](const fs::path& data, const fs::path&) { fs::resize_file(data, fs::file_size(data) / 2); },
         unreadable + QStringLiteral("truncated derived matrix data")},
        {"flipped byte in a matrix value",
         [](const fs::path& data, const fs::path&) {
             std::string bytes = readBytes(data);
             bytes[bytes.size() - 100] ^= 0x20;
             writeBytes(data, bytes);
         },
         unreadable + QStringLiteral("derived matrix checksum mismatch")},
        {"sidecar written before the checksum",
         [](const fs::path&, const fs::path& sidecar) {
             std::string text = readBytes(sidecar);
             const std::size_t at = text.find(",\n  \"dataHash\"");
             ASSERT_NE(at, std::string::npos);
             writeBytes(sidecar, text.erase(at, text.rfind('"') + 1 - at));
         },
         QString()},
    };
    for (const CacheDamage& damage : table) {
        SCOPED_TRACE(damage.name);
        PlaneWaveProject project(12000);
        UiController ui;
        ui.openProject(project.path());
        configureSingleBin(ui);
        ASSERT_TRUE(runAnalysis(ui));
        const core::AnalysisRunRecord first = saveAndRead(ui, project);
        const fs::path data = derivedFileEndingIn(project, ".bin");
        const fs::path sidecar = derivedFileEndingIn(project, ".json");
        ASSERT_FALSE(data.empty());
        const std::string intactData = readBytes(data);
        const std::string intactSidecar = readBytes(sidecar);
        damage.apply(data, sidecar);

        ASSERT_TRUE(runAnalysis(ui)) << ui.analysisStatus().toStdString();
        if (damage.logged.isEmpty()) {
            EXPECT_EQ(eventsContaining(ui, unreadable), 0);
        } else {
            EXPECT_EQ(eventsContaining(ui, damage.logged), 1);
        }
        EXPECT_TRUE(ui.pendingAnalysisInfo().endsWith(QStringLiteral("· full")));
        EXPECT_TRUE(readBytes(data) == intactData);  // binary: no dump of its bytes on failure
        EXPECT_EQ(readBytes(sidecar), intactSidecar);
        const core::AnalysisRunRecord second = saveAndRead(ui, project);
        EXPECT_EQ(second.provenance.recomputeMode, "full");
        EXPECT_EQ(readBytes(first.directory / "map.bin"), readBytes(second.directory / "map.bin"));

        ASSERT_TRUE(runAnalysis(ui));
        EXPECT_TRUE(ui.pendingAnalysisInfo().endsWith(QStringLiteral("· fast")));
    }
}

TEST_F(FullRecompute, AChangedRawFileFailsTheRunWithoutAResultOrFiles) {
    PlaneWaveProject project;
    UiController ui;
    ui.openProject(project.path());
    configureSingleBin(ui);
    {
        std::fstream raw(project.rawPath(), std::ios::in | std::ios::out | std::ios::binary);
        raw.seekp(100);
        raw.put('\x55');
    }
    QSignalSpy finished(&ui, &UiController::analysisFinished);
    EXPECT_FALSE(runAnalysis(ui));
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(
        ui.analysisStatus(),
        QStringLiteral("Full Recompute failed: raw integrity hash does not match Measurement manifest"));
    EXPECT_EQ(lastEvent(ui), ui.analysisStatus());
    EXPECT_FALSE(ui.analysisBusy());
    EXPECT_FALSE(ui.hasPendingAnalysis());
    EXPECT_TRUE(derivedFiles(project).empty());
    EXPECT_TRUE(filesIn(project.measurementDir() / "analyses").empty());
}

TEST_F(FullRecompute, CancelEndsTheWorkerWithinOneChunkAndWritesNothing) {
    PlaneWaveProject project(48000);
    FullRecomputeJob job = singleBinJob(project, 2.0, "a_cancel");

    int progressCalls = 0;
    int callsAfterCancel = 0;
    bool cancel = false;
    FullRecomputeHooks hooks;
    hooks.cancelled = [&] { return cancel; };
    hooks.progress = [&](double) {
        if (cancel) ++callsAfterCancel;
        if (++progressCalls == 3) cancel = true;
    };
    EXPECT_THROW(
        {
            try {
                runFullRecompute(job, hooks);
            } catch (const std::runtime_error& error) {
                EXPECT_STREQ(error.what(), "Band matrix computation cancelled");
                throw;
            }
        },
        std::runtime_error);
    EXPECT_LE(callsAfterCancel, 1);
    EXPECT_TRUE(derivedFiles(project).empty());
}

TEST_F(FullRecompute, CancelIsHeardWhileTheRawFileIsHashed) {
    PlaneWaveProject project(48000 * 4);
    FullRecomputeJob job;
    job.measurement = project.measurement();
    job.profile = core::loadDeviceProfile(project.measurementDir() / project.measurement().deviceProfileFile);
    job.request.frameSize = 1024;
    job.request.hopSize = 512;
    job.request.gridStep = 2.0;
    // 4 s of 128 channels is 47 MiB: the test is asked between the chunks of the first hash.
    int asked = 0;
    FullRecomputeHooks hooks;
    hooks.cancelled = [&] { return ++asked > 5; };
    bool progressed = false;
    hooks.progress = [&](double) { progressed = true; };
    try {
        runFullRecompute(job, hooks);
        ADD_FAILURE() << "the run was not cancelled";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Band matrix computation cancelled");
    }
    EXPECT_EQ(asked, 6);
    EXPECT_FALSE(progressed);
    EXPECT_TRUE(derivedFiles(project).empty());
}

TEST_F(FullRecompute, ClosingTheControllerDuringARunCancelsItAndLeavesNoFiles) {
    // Long enough that the run is still reading when the controller goes.
    PlaneWaveProject project(48000 * 6);
    auto ui = std::make_unique<UiController>();
    ui->openProject(project.path());
    configureSingleBin(*ui);
    ui->createFullRecomputeAnalysis();
    ASSERT_TRUE(ui->analysisBusy());
    EXPECT_FALSE(ui->canCreateAnalysis());
    EXPECT_TRUE(ui->analysisStatus().startsWith(QStringLiteral("Analysis a_")));

    // Refusals while the run is busy: the band mode, a save, another start.
    ui->setAnalysisBandMode(QStringLiteral("Custom"));
    EXPECT_EQ(ui->analysisBandMode(), QStringLiteral("Single"));
    const QStringList before = ui->eventLog();
    ui->setAnalysisBeamformingParameter(QStringLiteral("no_such_key"), 1.0);
    EXPECT_EQ(ui->eventLog(), before);
    ui->createFullRecomputeAnalysis();
    EXPECT_EQ(lastEvent(*ui), QStringLiteral("Wait until the Full Recompute ends"));
    EXPECT_EQ(ui->createAnalysisBlocker(), lastEvent(*ui));

    ui.reset();
    EXPECT_TRUE(derivedFiles(project).empty());
    EXPECT_FALSE(fs::exists(project.measurementDir() / "analyses"));
}

TEST_F(FullRecompute, StartingLiveCancelsARunWhoseFailureArrivesLater) {
    PlaneWaveProject project(48000 * 6);
    UiController ui;
    importShippedProfile(ui, kArrayProfile);
    ui.setSource(QStringLiteral("Synthetic"));
    ui.openProject(project.path());
    configureSingleBin(ui);
    QSignalSpy finished(&ui, &UiController::analysisFinished);
    ui.createFullRecomputeAnalysis();
    ASSERT_TRUE(ui.analysisBusy());
    ui.startLive();
    // The cancelled run still counts as busy until its failure handler has run on this thread.
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() > 0; }, 60000));
    EXPECT_FALSE(finished.front().at(0).toBool());
    EXPECT_EQ(ui.analysisStatus(),
              QStringLiteral("Full Recompute failed: Band matrix computation cancelled"));
    EXPECT_TRUE(eventLogHas(ui, ui.analysisStatus()));
    EXPECT_FALSE(ui.analysisBusy());
    EXPECT_FALSE(ui.hasPendingAnalysis());
    EXPECT_LT(ui.analysisProgress(), 1.0);
    ui.stopLive();
    EXPECT_TRUE(QTest::qWaitFor([&] { return ui.sessionState() != QStringLiteral("Stopping"); }, 20000));
    EXPECT_TRUE(derivedFiles(project).empty());
    EXPECT_FALSE(fs::exists(project.measurementDir() / "analyses"));
}

TEST_F(FullRecompute, TheWindowOfARunCannotChangeWhileItIsBusy) {
    // Three seconds of the small array; the window is placed by analysing a paused Replay at 2.0 s.
    StoredProject project(0);
    const core::MeasurementRecord m =
        recordMeasurement(project.path(), "m_long", 48000, shippedProfileText("small-4.device.json"), 4);
    UiController ui;
    ui.openProject(project.path());
    ui.setAnalysisWindowSeconds(0.5);
    ui.startSelectedMeasurementReplay();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui.replayPlaying(); }, 30000)) << lastEvent(ui).toStdString();
    ui.setFrequency(2000.0);  // the analysis takes the live band, here well below the recorded Nyquist
    ui.setReplayPaused(true);
    ui.seekReplay(2.0);
    QSignalSpy finished(&ui, &UiController::analysisFinished);
    ui.analyzeReplayPosition();
    ASSERT_TRUE(ui.analysisBusy()) << lastEvent(ui).toStdString();
    ASSERT_EQ(ui.analysisWindowInfo(), QStringLiteral("Window 1.50–2.00 s · width 0.50 s"));

    // "Whole measurement" while the run computes the window: refused, the run keeps its window.
    QSignalSpy window(&ui, &UiController::analysisWindowChanged);
    ui.clearAnalysisWindow();
    EXPECT_TRUE(ui.hasAnalysisWindow());
    EXPECT_EQ(window.count(), 0);

    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() > 0; }, 120000));
    ASSERT_TRUE(finished.front().at(0).toBool()) << ui.analysisStatus().toStdString();
    EXPECT_DOUBLE_EQ(ui.analysisVideoFrameSeconds(), 1.75);
    ui.savePendingAnalysis();
    const core::AnalysisRunRecord run =
        core::readAnalysisRun(m.directory / "analyses" / ui.selectedAnalysisId().toStdString());
    EXPECT_EQ(run.parameters.windowStartSeconds, 1.5);
    EXPECT_EQ(run.parameters.windowEndSeconds, 2.0);
    EXPECT_EQ(run.provenance.inputFrames, 8000u);  // 0.5 s at 16 kHz: the window the run was computed on

    // Once the run is over the window can go.
    ui.clearAnalysisWindow();
    EXPECT_FALSE(ui.hasAnalysisWindow());
    EXPECT_EQ(window.count(), 1);
}

// A named pipe or a device in place of raw.int16 is never read (it could block or never end); the
// refusal says what is wrong with the file instead of blaming the session state.
TEST_F(FullRecompute, ARawFileThatIsNoRegularFileIsNamedInTheRefusal) {
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> replace;
        const char* problem;
    };
    const Case cases[] = {
        {"named pipe", [](const fs::path& raw) { ASSERT_EQ(::mkfifo(raw.c_str(), 0600), 0); },
         "is not a regular file"},
        {"device", [](const fs::path& raw) { fs::create_symlink("/dev/zero", raw); },
         "is not a regular file"},
        {"missing", [](const fs::path&) {}, "is missing"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PlaneWaveProject project(4096);
        fs::remove(project.rawPath());
        c.replace(project.rawPath());
        UiController ui;
        ui.openProject(project.path());
        ASSERT_TRUE(ui.hasSelectedMeasurement()) << ui.statusText().toStdString();
        EXPECT_FALSE(ui.canCreateAnalysis());
        ui.createFullRecomputeAnalysis();
        EXPECT_EQ(
            ui.statusText(),
            QStringLiteral("Raw file raw.int16 of Measurement m_wave %1").arg(QLatin1String(c.problem)));
        EXPECT_FALSE(ui.analysisBusy());
    }
}

TEST_F(FullRecompute, SettersKeepTheirRanges) {
    PlaneWaveProject project(4096);
    UiController ui;
    ui.openProject(project.path());
    ui.setAnalysisAlgorithm(QStringLiteral("01 DAS (CBF)"));
    EXPECT_EQ(lastEvent(ui), QStringLiteral("Unsupported analysis algorithm: 01 DAS (CBF)"));
    ui.setAnalysisFrameSize(1024);
    ui.setAnalysisHopSize(512);
    ui.setAnalysisFrameSize(256);
    EXPECT_EQ(ui.analysisHopSize(), 128);
    ui.setAnalysisFrequencyHz(30000.0);
    EXPECT_EQ(ui.analysisFrequencyHz(), 115 * 187.5) << "the last bin of 256 points below 0.45 x 48 kHz";
}

}  // namespace
}  // namespace zk::app::test
