// The one rule behind Start Replay and Create AnalysisRun, state by state: the flag QML enables the
// control by, the reason the control shows and the refusal the operation reports are the same.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "analysis_fixture.h"
#include "app_test_support.h"
#include "project_fixture.h"

namespace zk::app::test {
namespace {

namespace fs = std::filesystem;

using ActionRules = ControllerSettingsTest;

struct Expected {
    QString replay;    // the reason Start Replay is refused for, empty when it would start
    QString analysis;  // the same for Create AnalysisRun
};

const QString kLiveOrReplay =
    QStringLiteral("Full Recompute requires a selected Measurement while Live and Replay are stopped");

// Checks both rules in the state the controller is in; a refused operation reports its reason and
// changes nothing.
void expectRules(UiController& ui, const Expected& expected, const char* state) {
    SCOPED_TRACE(state);
    EXPECT_EQ(ui.startReplayBlocker().toStdString(), expected.replay.toStdString());
    EXPECT_EQ(ui.canStartReplay(), expected.replay.isEmpty());
    EXPECT_EQ(ui.createAnalysisBlocker().toStdString(), expected.analysis.toStdString());
    EXPECT_EQ(ui.canCreateAnalysis(), expected.analysis.isEmpty());
    const QString replayState = ui.replayState();
    const bool busy = ui.analysisBusy();
    if (!expected.replay.isEmpty()) {
        ui.startSelectedMeasurementReplay();
        EXPECT_EQ(lastEvent(ui).toStdString(), expected.replay.toStdString());
        EXPECT_EQ(ui.replayState(), replayState);
    }
    if (!expected.analysis.isEmpty()) {
        ui.createFullRecomputeAnalysis();
        EXPECT_EQ(lastEvent(ui).toStdString(), expected.analysis.toStdString());
        EXPECT_EQ(ui.analysisBusy(), busy);
    }
}

TEST_F(ActionRules, OneRuleGivesTheFlagTheReasonAndTheRefusal) {
    PlaneWaveProject project(48000 * 3);
    UiController ui;
    expectRules(ui, {QStringLiteral("Select a valid Measurement before Replay"), kLiveOrReplay},
                "nothing open");

    ui.openProject(project.path());
    ASSERT_TRUE(ui.hasSelectedMeasurement());
    expectRules(ui, {}, "a Measurement selected");

    ui.startSelectedMeasurementReplay();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui.replayState() == QLatin1String("Playing"); }, 30000))
        << ui.replayMetrics().toStdString();
    expectRules(ui, {QStringLiteral("A Replay is running: stop it first"), kLiveOrReplay}, "Replay playing");
    ui.setReplayPaused(true);
    expectRules(ui, {QStringLiteral("A Replay is running: stop it first"), kLiveOrReplay}, "Replay paused");
    ui.stopReplay();

    configureSingleBin(ui);
    ui.createFullRecomputeAnalysis();
    ASSERT_TRUE(ui.analysisBusy());
    expectRules(ui,
                {QStringLiteral("Wait until the Full Recompute ends"),
                 QStringLiteral("Wait until the Full Recompute ends")},
                "Full Recompute running");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ui.analysisBusy(); }, 240000));

    importShippedProfile(ui, "small-4.device.json");
    ui.setSource(QStringLiteral("Synthetic"));
    ui.startLive();
    ASSERT_EQ(ui.sessionState(), QStringLiteral("Running")) << ui.statusText().toStdString();
    expectRules(ui, {QStringLiteral("Stop Live before starting Measurement Replay"), kLiveOrReplay}, "Live");
    ui.stopLive();

    // A raw file gone: each action says so, the Full Recompute with the file's own problem.
    fs::remove(project.rawPath());
    ui.refreshProject();
    ASSERT_TRUE(ui.hasSelectedMeasurement());
    ASSERT_FALSE(ui.selectedMeasurementRawAvailable());
    const QString rawProblem = ui.createAnalysisBlocker();
    EXPECT_TRUE(rawProblem.contains(QStringLiteral("m_wave"))) << rawProblem.toStdString();
    expectRules(ui, {QStringLiteral("Replay raw asset is missing"), rawProblem}, "raw file missing");
}

}  // namespace
}  // namespace zk::app::test
