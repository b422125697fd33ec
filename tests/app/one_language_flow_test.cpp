// The whole flow of a user in Chinese or Japanese over the real controller: Live with the synthetic
// source, Record, Stop & save, Replay to its end, Replay again, Pause, Analyze at position, Save, then
// the same recompute twice, the second from the derived cache, each saved; and a flow with a second
// program that holds the noise floor and the Project. Every status text, every event-log line and every
// information line the pages show along it must be in that language; only names (ids, the Project,
// profile, source, algorithm and build), numbers, hashes, units and acronyms may stay in Latin letters.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

#include "app/i18n_manager.h"
#include "app/ui_controller.h"
#include "app_test_support.h"
#include "core/platform/file_platform.h"
#include "core/storage/analysis_run_store.h"
#include "core/storage/device_profile.h"
#include "core/streaming/noise_floor_profile.h"
#include "language_judge.h"
#include "live_test_support.h"
#include "storage/other_program.h"
#include "storage/storage_test_support.h"
#include "streaming/noise_floor_test_support.h"

namespace zk::app::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string readFile(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

class OneLanguageFlow : public ControllerSettingsTest, public ::testing::WithParamInterface<const char*> {
  protected:
    // Status texts as they are set, from whichever thread sets them.
    void watchStatus(UiController& ui) {
        QObject::connect(
            &ui, &UiController::statusTextChanged, &ui,
            [this, &ui] {
                const QString text = ui.statusText();
                std::lock_guard lock(statusMutex);
                statuses.append(text);
            },
            Qt::DirectConnection);
    }

    // As each flow starts: the live profile, the synthetic source and a new Project.
    void createHangar(UiController& ui, const QString& projectDir) {
        watchStatus(ui);
        importShippedProfile(ui, liveProfileFile());
        ui.setSource(QStringLiteral("Synthetic"));
        ui.createProject(projectDir, QStringLiteral("Hangar survey"));
    }

    // The information lines the pages show at this step, the signal monitor's summary and the
    // Diagnostics page's rows.
    void sample(const UiController& ui, const char* step) {
        const QStringList lines{
            ui.profileInfo(),          ui.noiseProfileInfo(),           ui.replayMetrics(),
            ui.replayProfileInfo(),    ui.selectedMeasurementInfo(),    ui.selectedMeasurementProfileInfo(),
            ui.analysisStatus(),       ui.analysisWindowInfo(),         ui.pendingAnalysisInfo(),
            ui.selectedAnalysisInfo(), ui.selectedAnalysisProvenance(), ui.selectedAnalysisParameters(),
            ui.diagnosticSummary()};
        for (const QString& line : lines)
            if (!line.isEmpty()) information.emplace_back(step, line);
        for (const QVariant& row : ui.diagnosticRows()) {
            const QVariantMap map = row.toMap();
            information.emplace_back(step, map.value(QStringLiteral("name")).toString() +
                                               QStringLiteral(": ") +
                                               map.value(QStringLiteral("value")).toString());
        }
    }

    std::mutex statusMutex;  // guards statuses: the status line is also set on worker threads
    QStringList statuses;
    std::vector<std::pair<const char*, QString>> information;
};

TEST_P(OneLanguageFlow, EveryStatusEventAndInformationTextIsInTheLanguageOfTheInterface) {
    const QString language = QString::fromLatin1(GetParam());
    // As the program starts: the language first, then the controller, whose constructor already logs.
    I18nManager i18n(QCoreApplication::instance(), nullptr);
    i18n.setLanguage(language);
    ASSERT_NE(QCoreApplication::translate("UiController", "Live stopped"), QStringLiteral("Live stopped"));

    QTemporaryDir folder(QDir::tempPath() +
                         QStringLiteral("/zk-one-language-XXXXXX"));  // test names hold '/'
    const QString projectDir = folder.filePath(QStringLiteral("hangar"));
    QStringList statusTexts;
    {
        UiController ui;
        createHangar(ui, projectDir);
        ASSERT_TRUE(ui.hasProject()) << ui.statusText().toStdString();

        // Live, Record, Stop & save.
        ui.startLive();
        // A rendered summary, whose colour comes from its count: every synthetic channel sounds.
        ASSERT_TRUE(waitUntil(
            [&] {
                return ui.hasHeatmap() && !ui.diagnosticRows().isEmpty() &&
                       ui.diagnosticSilentChannels() >= 0;
            },
            20s));
        EXPECT_EQ(ui.diagnosticSilentChannels(), 0) << ui.diagnosticSummary().toStdString();
        sample(ui, "live");
        QSignalSpy recorded(&ui, &UiController::recordingFinished);
        ui.startRecording();
        ASSERT_TRUE(ui.recording()) << ui.statusText().toStdString();
        ASSERT_TRUE(waitUntil([&] { return ui.recordingElapsedSeconds() >= 1.5; }, 20s));
        const QString rateRow = QCoreApplication::translate("UiController", "Recording rate");
        ASSERT_TRUE(waitUntil(
            [&] {
                const QVariantList rows = ui.diagnosticRows();
                return std::any_of(rows.begin(), rows.end(), [&](const QVariant& row) {
                    return row.toMap().value(QStringLiteral("name")).toString() == rateRow;
                });
            },
            5s));
        sample(ui, "recording");
        ui.stopRecording();
        ASSERT_TRUE(recorded.count() > 0 || recorded.wait(30000 * kSlowdown));
        ASSERT_TRUE(recorded.front().at(0).toBool()) << ui.statusText().toStdString();
        const QString measurementId = recorded.front().at(1).toString();
        ui.stopLive();
        ASSERT_EQ(ui.selectedMeasurementId(), measurementId);
        sample(ui, "saved");

        // Replay to the end, with a pause on the way.
        QSignalSpy replayEnded(&ui, &UiController::replayFinished);
        ui.startSelectedMeasurementReplay();
        sample(ui, "replay loading");
        ASSERT_TRUE(waitUntil([&] { return ui.replayPositionSeconds() >= 0.3; }, 20s))
            << ui.replayState().toStdString();
        sample(ui, "replay playing");
        ui.setReplayPaused(true);
        sample(ui, "replay paused");
        ui.setReplayPaused(false);
        ASSERT_TRUE(replayEnded.count() > 0 || replayEnded.wait(20000 * kSlowdown));
        ASSERT_EQ(ui.replayState(), QStringLiteral("Finished"));
        sample(ui, "replay finished");

        // Again, paused, analyzed at the position and saved.
        ui.startSelectedMeasurementReplay();
        ASSERT_TRUE(waitUntil([&] { return ui.replayPositionSeconds() >= 0.8; }, 20s))
            << ui.replayState().toStdString();
        ui.setReplayPaused(true);
        QSignalSpy analyzed(&ui, &UiController::analysisFinished);
        ui.analyzeReplayPosition();
        sample(ui, "analysis running");
        ASSERT_TRUE(analyzed.count() > 0 || analyzed.wait(60000 * kSlowdown));
        ASSERT_TRUE(analyzed.front().at(0).toBool()) << ui.statusText().toStdString();
        sample(ui, "analysis computed");
        ui.savePendingAnalysis();
        ASSERT_TRUE(ui.hasSelectedAnalysis()) << ui.statusText().toStdString();
        sample(ui, "analysis saved");

        // The same recompute twice: the second reads the derived cache, and says so in the language too.
        for (const char* step : {"recompute", "recompute from the cache"}) {
            QSignalSpy recomputed(&ui, &UiController::analysisFinished);
            ui.createFullRecomputeAnalysis();
            ASSERT_TRUE(recomputed.count() > 0 || recomputed.wait(60000 * kSlowdown));
            ASSERT_TRUE(recomputed.front().at(0).toBool()) << ui.statusText().toStdString();
            sample(ui, step);
            // Saved a millisecond apart at least, as the ids of two runs must differ.
            QTest::qWait(2);
            ui.savePendingAnalysis();
            sample(ui, step);
        }
        const QVariantList runs = ui.analysisRuns();
        ASSERT_EQ(runs.size(), 3);
        EXPECT_EQ(runs.back().toMap().value(QStringLiteral("mode")).toString(), QStringLiteral("fast"));

        // The names the texts may hold, read from the controller and from the files the flow wrote.
        const core::DeviceProfile profile =
            core::parseDeviceProfile(readFile(shippedProfile(liveProfileFile())));
        const fs::path runDir = fs::path(projectDir.toStdString()) / "measurements" /
                                measurementId.toStdString() / "analyses" /
                                ui.selectedAnalysisId().toStdString();
        const core::AnalysisRunRecord run = core::readAnalysisRun(runDir);
        const QStringList names{measurementId,
                                ui.selectedAnalysisId(),
                                ui.projectName(),
                                QDir::toNativeSeparators(folder.path()),
                                ui.source(),
                                QString::fromStdString(profile.profileId),
                                QString::fromStdString(profile.model),
                                QString::fromStdString(run.parameters.algorithmId),
                                QString::fromStdString(run.buildVersion)};

        // The check can fail: the English source of a line of this flow holds English words.
        EXPECT_EQ(
            latinWords(QStringLiteral("Measurement saved: %1 · %2").arg(measurementId, ui.projectName()),
                       names),
            (QStringList{"Measurement", "saved"}));
        EXPECT_EQ(
            latinWords(QStringLiteral("RMS -3.0 dBFS | peak 1002.0 Hz / -6.0 dBFS | silent 0/16"), names),
            (QStringList{"peak", "silent"}));

        std::lock_guard lock(statusMutex);
        statusTexts = statuses;
        QStringList english;
        const auto judge = [&](const QString& where, const QString& text) {
            const QStringList words = latinWords(text, names);
            if (!words.isEmpty()) english << where + QStringLiteral(": ") + text;
        };
        for (const QString& text : statusTexts) judge(QStringLiteral("status"), text);
        const QStringList events = ui.eventLog();
        for (const QString& line : events) judge(QStringLiteral("event log"), line);
        for (const auto& [step, line] : information) judge(QString::fromLatin1(step), line);
        EXPECT_TRUE(english.isEmpty()) << english.join(u'\n').toStdString();

        // The flow said something at every step, in the language of the interface.
        EXPECT_GE(events.size(), 15) << events.join(u'\n').toStdString();
        EXPECT_TRUE(std::all_of(events.begin(), events.end(), holdsCjk)) << events.join(u'\n').toStdString();
        EXPECT_GE(information.size(), 60u);
    }
    i18n.setLanguage(QStringLiteral("en"));
}

// A second program holds the noise floor while this one calibrates and switches subtraction, and holds
// the Project while this one opens it damaged: each refusal says why in the language of the interface.
TEST_P(OneLanguageFlow, ASecondProgramsRefusalsAreInTheLanguageOfTheInterface) {
    const QString language = QString::fromLatin1(GetParam());
    I18nManager i18n(QCoreApplication::instance(), nullptr);
    i18n.setLanguage(language);
    QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/zk-one-language-XXXXXX"));
    const QString projectDir = folder.filePath(QStringLiteral("hangar"));
    const fs::path root = fs::path(projectDir.toStdString());
    {
        UiController ui;
        createHangar(ui, projectDir);
        ASSERT_TRUE(ui.hasProject()) << ui.statusText().toStdString();
        // A floor saved earlier, whose switch this program will fail to store.
        core::saveNoiseFloorProfile(root, zk::test::taggedProfile(4, 64, 1));
        const auto holding = [](fs::path held) {
            return [held] {
                auto* lock = new core::EntryLock;  // held until the child ends
                if (core::EntryLock::take(held, *lock) != core::EntryLock::Take::Taken)
                    throw std::runtime_error("not taken");
            };
        };
        zk::test::OtherProgram noiseFloor(holding(root / ".noise_floor.lock"),
                                          zk::test::OtherProgram::After::Stop);
        zk::test::OtherProgram projectLock(holding(root / "."), zk::test::OtherProgram::After::Stop);
        ASSERT_TRUE(noiseFloor.ready() && projectLock.ready());

        ui.startLive();
        ASSERT_TRUE(waitUntil([&] { return ui.canCalibrateNoise(); }, 20s)) << ui.statusText().toStdString();
        ui.startNoiseCalibration();
        ASSERT_TRUE(waitUntil([&] { return !ui.noiseCalibrating(); }, 20s));
        ASSERT_TRUE(ui.noiseSubtractionEnabled());
        ui.setNoiseSubtractionEnabled(false);
        ui.stopLive();
        zk::test::writeText(root / "project.json", "{");
        ui.openProject(projectDir);

        const QStringList events = ui.eventLog();
        const auto told = [&](const char* source) {
            const QString prefix = QCoreApplication::translate("UiController", source).section(u'%', 0, 0);
            return std::count_if(events.begin(), events.end(),
                                 [&](const QString& line) { return line.mid(10).startsWith(prefix); });
        };
        EXPECT_EQ(told("Noise floor kept for this session only: %1"), 1) << events.join(u'\n').toStdString();
        EXPECT_EQ(told("Noise switch persist failed: %1"), 1) << events.join(u'\n').toStdString();
        EXPECT_EQ(told("Open Project failed: %1"), 1) << events.join(u'\n').toStdString();

        const core::DeviceProfile profile =
            core::parseDeviceProfile(readFile(shippedProfile(liveProfileFile())));
        const QStringList names{ui.projectName(), QDir::toNativeSeparators(folder.path()), ui.source(),
                                QString::fromStdString(profile.profileId),
                                QString::fromStdString(profile.model)};
        QStringList english;
        std::lock_guard lock(statusMutex);
        for (const QString& text : statuses + events)
            if (!latinWords(text, names).isEmpty()) english << text;
        EXPECT_TRUE(english.isEmpty()) << english.join(u'\n').toStdString();
        projectLock.proceed();
        noiseFloor.proceed();
    }
    i18n.setLanguage(QStringLiteral("en"));
}

INSTANTIATE_TEST_SUITE_P(Languages, OneLanguageFlow, ::testing::Values("zh_CN", "ja_JP"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param);
                         });

}  // namespace
}  // namespace zk::app::test
