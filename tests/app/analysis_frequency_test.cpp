// The Analysis form's centre frequency is the one the run records: a bin of the analysis frame, kept in
// the recorded Measurement's range; and the form follows the AnalysisRun the user has selected.
#include <gtest/gtest.h>

#include <QSettings>

#include "analysis_fixture.h"
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

}  // namespace
}  // namespace zk::app::test
