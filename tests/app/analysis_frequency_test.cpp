// The Analysis form's centre frequency is the one the run records: a bin of the analysis frame, kept in
// the recorded Measurement's range; and the form follows the AnalysisRun the user has selected.
#include <gtest/gtest.h>

#include <QSettings>
#include <QSignalSpy>
#include <QTest>

#include "analysis_fixture.h"
#include "app/settings_rules.h"
#include "app_test_support.h"
#include "core/storage/analysis_run_store.h"

namespace zk::app::test {
namespace {

using AnalysisFrequency = ControllerSettingsTest;

TEST_F(AnalysisFrequency, TheFormShowsTheBinTheRunRecordsAndFollowsTheSelectedRun) {
    const PlaneWaveProject project;
    {
        UiController ui;
        ui.openProject(project.path());
        ASSERT_TRUE(ui.hasSelectedMeasurement()) << ui.statusText().toStdString();
        ui.setAnalysisFrameSize(256);
        ui.setAnalysisHopSize(128);
        ui.setAnalysisBandMode(QStringLiteral("Single"));
        ui.setAnalysisGridStepDeg(2.0);

        // Bins of 187.5 Hz at 48 kHz and 256 points; of 46.875 Hz at 1024.
        const struct {
            double asked;
            int frameSize;
            double shown;
        } rules[] = {
            {8016.0, 256, 8062.5},     // bin 43, not the 8016 typed
            {8016.0, 1024, 8015.625},  // bin 171
            {50.0, 256, 187.5},        // bin 1, not bin 0
            {30000.0, 256, 21562.5},   // bin 115, the last below 0.45 x 48 kHz
        };
        for (const auto& rule : rules) {
            ui.setAnalysisFrameSize(rule.frameSize);
            ui.setAnalysisFrequencyHz(rule.asked);
            EXPECT_EQ(ui.analysisFrequencyHz(), rule.shown) << rule.asked << " Hz at " << rule.frameSize;
        }
        // A new frame puts the frequency back on one of its bins.
        ui.setAnalysisFrameSize(1024);
        ui.setAnalysisFrequencyHz(8016.0);
        ui.setAnalysisFrameSize(256);
        EXPECT_EQ(ui.analysisFrequencyHz(), 8062.5);

        ASSERT_TRUE(runAnalysis(ui)) << ui.analysisStatus().toStdString();
        ui.savePendingAnalysis();
        const core::AnalysisRunRecord run = core::readAnalysisRun(project.measurementDir() / "analyses" /
                                                                  ui.selectedAnalysisId().toStdString());
        EXPECT_EQ(run.parameters.frequencyHz, ui.analysisFrequencyHz());
        EXPECT_EQ(run.parameters.frameSize, 256u);
    }

    // A later start with other form values: opening the Project selects that run, and the form (and
    // the spectrum cursor bound to it) shows the run's band.
    QSettings().setValue(QStringLiteral("analysisFrequencyHz"), 1000.0);
    QSettings().setValue(QStringLiteral("analysisFrameSize"), 1024);
    QSettings().setValue(QStringLiteral("analysisHopSize"), 512);
    UiController ui;
    ASSERT_EQ(ui.analysisFrequencyHz(), 1000.0);
    ASSERT_EQ(ui.analysisBandMode(), QStringLiteral("1/3 octave"));
    ui.openProject(project.path());
    ASSERT_TRUE(ui.hasSelectedAnalysis());
    EXPECT_EQ(ui.analysisFrequencyHz(), 8062.5);
    EXPECT_EQ(ui.analysisFrameSize(), 256);
    EXPECT_EQ(ui.analysisHopSize(), 128);
    EXPECT_EQ(ui.analysisBandMode(), QStringLiteral("Single"));
    EXPECT_EQ(QSettings().value(QStringLiteral("analysisFrequencyHz")).toDouble(), 1000.0)
        << "following a run stores nothing";
}

// "Analyze at position" computes with the Replay's framing and the form shows it, but the framing the
// user stored stays theirs: a frame chosen afterwards starts from the user's own hop, and a selected
// run's framing is borrowed the same way.
TEST_F(AnalysisFrequency, AReplayPositionLendsItsFramingWithoutOverwritingTheUsersOwn) {
    StoredProject project(0);
    recordMeasurement(project.path(), "m_long", 32000, shippedProfileText("small-4.device.json"), 4);
    UiController ui;
    ui.openProject(project.path());
    ui.setAnalysisFrameSize(512);
    ui.setAnalysisHopSize(64);
    ui.setAnalysisGridStepDeg(5.0);
    const auto stored = [](const char* key) { return QSettings().value(QLatin1String(key)).toInt(); };
    ASSERT_EQ(stored("analysisHopSize"), 64);

    ui.startSelectedMeasurementReplay();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui.replayPlaying(); }, 30000)) << lastEvent(ui).toStdString();
    ui.setReplayPaused(true);
    ui.seekReplay(1.5);
    QSignalSpy finished(&ui, &UiController::analysisFinished);
    ui.analyzeReplayPosition();
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() > 0; }, 120000)) << lastEvent(ui).toStdString();
    ASSERT_TRUE(finished.front().at(0).toBool()) << ui.analysisStatus().toStdString();
    EXPECT_EQ(ui.analysisFrameSize(), kStreamFrameSize);
    EXPECT_EQ(ui.analysisHopSize(), kStreamHopSize);
    ui.savePendingAnalysis();
    const core::AnalysisRunRecord run = core::readAnalysisRun(project.measurementDir("m_long") / "analyses" /
                                                              ui.selectedAnalysisId().toStdString());
    EXPECT_EQ(run.parameters.frameSize, static_cast<std::uint32_t>(kStreamFrameSize));
    EXPECT_EQ(run.parameters.hopSize, static_cast<std::uint32_t>(kStreamHopSize));
    EXPECT_EQ(stored("analysisFrameSize"), 512);
    EXPECT_EQ(stored("analysisHopSize"), 64);

    // Frames that hold the lent hop of 512 and frames that do not: each starts from the hop of 64.
    for (const int frame : {256, 512}) {
        ui.selectAnalysisRun(0);
        ASSERT_EQ(ui.analysisHopSize(), kStreamHopSize) << "the form follows the selected run";
        ui.setAnalysisFrameSize(frame);
        EXPECT_EQ(ui.analysisHopSize(), 64) << frame;
        EXPECT_EQ(stored("analysisFrameSize"), frame);
        EXPECT_EQ(stored("analysisHopSize"), 64) << frame;
    }
    // The user's own hop above a smaller frame still becomes half of it.
    ui.setAnalysisFrameSize(1024);
    ui.setAnalysisHopSize(512);
    ui.setAnalysisFrameSize(256);
    EXPECT_EQ(ui.analysisHopSize(), 128);
    EXPECT_EQ(stored("analysisHopSize"), 128);
}

}  // namespace
}  // namespace zk::app::test
