// What a Chinese or Japanese user reads where the controller speaks: an operation that fails names
// itself in that language, a Replay's frozen profile line follows a language switch, and a run's
// parameters read as words, never as JSON.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QSignalSpy>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "analysis_fixture.h"
#include "app/i18n_manager.h"
#include "app/run_parameters_text.h"
#include "app_test_support.h"
#include "core/beamforming/beamforming_parameters.h"
#include "language_judge.h"
#include "project_fixture.h"

namespace zk::app::test {
namespace {

namespace fs = std::filesystem;

// The controller's catalogue in the language of the test, English again afterwards.
class InLanguage : public ControllerSettingsTest, public ::testing::WithParamInterface<const char*> {
  protected:
    void SetUp() override {
        ControllerSettingsTest::SetUp();
        i18n_.setLanguage(QLatin1String(GetParam()));
        ASSERT_NE(UiText::tr("Live stopped"), QStringLiteral("Live stopped"));
    }
    void TearDown() override {
        i18n_.setLanguage(QStringLiteral("en"));
        ControllerSettingsTest::TearDown();
    }
    I18nManager i18n_{QCoreApplication::instance(), nullptr};
};

// One operation made to fail: what the failure line's catalogue text is, and how the reason the store
// or the core gives in English by its contract begins (the one part of the line that may stay English).
struct Failure {
    const char* operation;
    const char* source;
    std::function<void(UiController&, PlaneWaveProject&, QTemporaryDir&)> provoke;
    const char* coreReason;
};

const Failure kFailures[] = {
    {"Create Project", "Create Project failed: %1",
     [](UiController& ui, PlaneWaveProject&, QTemporaryDir& dir) {
         QFile(dir.filePath(QStringLiteral("file"))).open(QIODevice::WriteOnly);
         ui.createProject(dir.filePath(QStringLiteral("file")), QStringLiteral("Hall"));
     },
     "the selected path is not a directory"},
    {"Profile validation", "Profile validation failed: %1",
     [](UiController& ui, PlaneWaveProject&, QTemporaryDir& dir) {
         QFile file(dir.filePath(QStringLiteral("broken.device.json")));
         file.open(QIODevice::WriteOnly);
         file.write("{\"schemaVersion\": 2");
         file.close();
         ui.importProfile(file.fileName());
     },
     "expected ',' or '}' in object"},
    {"Export", "Export failed: %1",
     [](UiController& ui, PlaneWaveProject& project, QTemporaryDir&) {
         core::createAnalysisRun(project.measurementDir(), "m_wave", "a_metadata",
                                 core::AnalysisRunParameters{}, 0.0, 0.0, 0.0, "b", {}, std::nullopt);
         ui.openProject(project.path());
         ui.exportSelectedAnalysis();
     },
     "AnalysisRun has no persisted map; nothing to export"},
    {"Full Recompute", "Full Recompute failed: %1",
     [](UiController& ui, PlaneWaveProject& project, QTemporaryDir&) {
         ui.openProject(project.path());
         std::fstream raw(project.rawPath(), std::ios::in | std::ios::out | std::ios::binary);
         raw.seekp(100);
         raw.put('\x55');
         raw.close();
         configureSingleBin(ui, 4.0);
         runAnalysis(ui);
     },
     "raw integrity hash does not match Measurement manifest"},
    {"Save AnalysisRun", "Save AnalysisRun failed: %1",
     [](UiController& ui, PlaneWaveProject& project, QTemporaryDir&) {
         ui.openProject(project.path());
         configureSingleBin(ui, 4.0);
         if (!runAnalysis(ui)) return;
         std::ofstream(project.measurementDir() / "analyses");
         ui.savePendingAnalysis();
     },
     "filesystem error: create_directory"},
};

using FailedOperation = InLanguage;

// Made to fail in the user's language, each operation names itself in that language; only the reason
// the core reports, quoted as it gave it, stays English.
TEST_P(FailedOperation, NamesItselfInTheLanguageOfTheInterface) {
    for (const Failure& failure : kFailures) {
        SCOPED_TRACE(failure.operation);
        QTemporaryDir dir;
        PlaneWaveProject project(4096);
        UiController ui;
        failure.provoke(ui, project, dir);
        const QString line = lastEvent(ui);
        const QString translated = UiText::tr(failure.source);
        const qsizetype at = translated.indexOf(QStringLiteral("%1"));
        ASSERT_GE(at, 0) << translated.toStdString();
        const QString before = translated.left(at);
        const QString after = translated.mid(at + 2);
        ASSERT_TRUE(line.startsWith(before) && line.endsWith(after) &&
                    line.size() > before.size() + after.size())
            << "logged: " << line.toStdString() << "\nexpected the form of: " << translated.toStdString();
        EXPECT_TRUE(holdsCjk(before + after)) << translated.toStdString();
        EXPECT_EQ(latinWords(before + after, {}), QStringList()) << translated.toStdString();
        const QString reason = line.mid(before.size(), line.size() - before.size() - after.size());
        EXPECT_TRUE(reason.startsWith(QLatin1String(failure.coreReason))) << reason.toStdString();
    }
}

using ReplayProfileLine = InLanguage;

// The frozen profile line of a Replay is named anew in the language chosen while it plays.
TEST_P(ReplayProfileLine, FollowsALanguageSwitch) {
    StoredProject project(2);
    UiController ui;
    ui.openProject(project.path());
    ui.selectMeasurement(0);
    ui.startSelectedMeasurementReplay();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui.replayState() != QLatin1String("Loading"); }, 20000))
        << ui.replayMetrics().toStdString();
    const QString translated = ui.replayProfileInfo();
    EXPECT_TRUE(holdsCjk(translated)) << translated.toStdString();
    i18n_.setLanguage(QStringLiteral("en"));
    const core::DeviceProfile profile = core::parseDeviceProfile(shippedProfileText("small-4.device.json"));
    EXPECT_EQ(ui.replayProfileInfo().toStdString(), profile.profileId + " · schema 2 · " + profile.model);
    i18n_.setLanguage(QLatin1String(GetParam()));
    EXPECT_EQ(ui.replayProfileInfo().toStdString(), translated.toStdString());
    ui.stopReplay();
}

using RunParameters = InLanguage;

// The parameters of a run of every algorithm read as the panel's words in the user's language, with
// their values and units.
TEST_P(RunParameters, ReadAsWordsOfTheInterface) {
    for (std::int32_t id = 1; id <= 14; ++id) {
        core::BeamformingParameters parameters;
        parameters.algorithm = id;
        parameters.focusDistanceM = id % 2 == 0 ? 3.0 : parameters.focusDistanceM;
        core::AnalysisRunParameters run;
        run.algorithmId = core::algorithmName(id);
        run.algorithmParams = parameters.toJson();
        const QString text = runParametersText(run);
        EXPECT_TRUE(holdsCjk(text)) << text.toStdString();
        EXPECT_EQ(latinWords(text, {}), QStringList()) << run.algorithmId << ": " << text.toStdString();
        EXPECT_FALSE(text.contains(u'{') || text.contains(u'"')) << text.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, FailedOperation, ::testing::Values("zh_CN", "ja_JP"),
                         [](const auto& info) { return std::string(info.param); });
INSTANTIATE_TEST_SUITE_P(Languages, ReplayProfileLine, ::testing::Values("zh_CN", "ja_JP"),
                         [](const auto& info) { return std::string(info.param); });
INSTANTIATE_TEST_SUITE_P(Languages, RunParameters, ::testing::Values("zh_CN", "ja_JP"),
                         [](const auto& info) { return std::string(info.param); });

// In English the stored members read under their labels, in the order stored; text that is no JSON
// object is shown as it is.
TEST(RunParametersText, NamesEachStoredMemberByItsLabel) {
    core::AnalysisRunParameters run;
    run.algorithmId = "MUSIC";
    run.algorithmParams =
        R"({"focus_distance_m":"infinity","speed_of_sound_mps":343.2,"music_source_count":2,)"
        R"("music_floor":1e-14,"remove_csm_diagonal":true,"later_key":0.5})";
    EXPECT_EQ(runParametersText(run),
              QStringLiteral("far field · speed of sound 343.2 m/s · Source count 2 · "
                             "Spectrum floor 1e-14 · remove_csm_diagonal on · "
                             "later_key 0.5"));
    run.algorithmId = "CLEAN-SC";
    run.algorithmParams = R"({"focus_distance_m":3,"clean_stop_db":-20})";
    EXPECT_EQ(runParametersText(run), QStringLiteral("focus 3 m · Stop level -20 dB"));
    run.algorithmParams = "[1, 2]";
    EXPECT_EQ(runParametersText(run), QStringLiteral("[1, 2]"));
}

}  // namespace
}  // namespace zk::app::test
