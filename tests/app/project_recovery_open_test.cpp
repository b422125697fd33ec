// Opening a Project after a crash: the leftovers are finished or removed before the Measurement list
// is built, each with one event-log line, and the list keeps newest first.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "app/ui_controller.h"
#include "app_test_support.h"
#include "core/platform/file_platform.h"
#include "core/storage/analysis_run_store.h"
#include "core/storage/measurement_store.h"
#include "core/storage/project_store.h"
#include "core/storage/recording.h"
#include "project_fixture.h"

namespace zk::app::test {
namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

core::HeatmapGrid smallMap() {
    core::HeatmapGrid grid;
    grid.width = 2;
    grid.height = 2;
    grid.azimuthDeg = {-1.0, 1.0};
    grid.elevationDeg = {-1.0, 1.0};
    return core::finalizeHeatmap(grid, {1.0, 2.0, 3.0, 4.0});
}

void saveRun(const fs::path& measurementDir, const std::string& id) {
    core::AnalysisRunParameters parameters;
    parameters.algorithmId = "DAS";
    core::createAnalysisRun(measurementDir, "m_1", id, parameters, 0.0, 0.0, 0.0, "b", {}, smallMap());
}

using ProjectRecoveryOpen = ControllerSettingsTest;

TEST_F(ProjectRecoveryOpen, LeftoversAreFinishedBeforeTheListIsBuilt) {
    StoredProject project(2);
    const fs::path root = fsPath(project.path());
    const fs::path measurements = root / "measurements";
    const std::string profile = shippedProfileText("small-4.device.json");
    // Committed but never registered, as a crash before the registration leaves it.
    recordMeasurement(project.path(), "m_3", 800, profile, 4);
    core::ProjectRecord record = core::loadProject(root);
    record.unregisterMeasurement("m_3");
    // A Recording that never finalized, with 12 whole frames and half of one.
    writeFile(core::recordingStagingPath(measurements, "m_4"), std::string(12 * 8 + 4, '\x11'));
    writeFile(core::recordingDescriptionPath(measurements, "m_4"),
              core::writeRecordingDescription({"m_4", profile, "UDP", core::utcTimestampNow(), "", 0, ""}));
    writeFile(measurements / ".m_x.recording.raw.tmp", std::string(100, '\x22'));
    // A complete run before its rename, and one killed while its manifest was written.
    saveRun(project.measurementDir("m_1"), "a_1");
    saveRun(project.measurementDir("m_1"), "a_2");
    const fs::path analyses = project.measurementDir("m_1") / "analyses";
    fs::rename(analyses / "a_1", analyses / ".a_1.creating");
    writeFile(analyses / "a_2" / "analysis.json", "");
    fs::rename(analyses / "a_2", analyses / ".a_2.creating");
    writeFile(root / ".project.json.81-0.tmp", "{");

    UiController ui;
    importShippedProfile(ui, "small-4.device.json");
    ui.openProject(project.path());
    ASSERT_TRUE(ui.hasProject());
    EXPECT_EQ(rowIds(ui), (QStringList{QStringLiteral("m_4"), QStringLiteral("m_3"), QStringLiteral("m_2"),
                                       QStringLiteral("m_1")}));
    QStringList events;
    for (const QString& line : ui.eventLog()) events.append(line.mid(10));
    // In this order, each once, before the open's own report.
    const QStringList expected{
        QStringLiteral("Removed temporary file .project.json.81-0.tmp"),
        QStringLiteral("Removed incomplete leftover measurements/m_1/analyses/.a_2.creating"),
        QStringLiteral("Recovered AnalysisRun m_1/a_1"),
        QStringLiteral("Recovered recording m_4"),
        QStringLiteral("Recovered Measurement m_3"),
        QStringLiteral("Unfinished recording without its description kept: "
                       "measurements/.m_x.recording.raw.tmp (100 bytes)"),
        QStringLiteral("Project opened: Stored · 4 Measurements"),
    };
    QStringList found;
    for (const QString& line : events)
        if (expected.contains(line) || line.startsWith(QStringLiteral("Re"))) found.append(line);
    EXPECT_EQ(found.join(u'\n').toStdString(), expected.join(u'\n').toStdString());
    EXPECT_EQ(core::listAnalysisRuns(project.measurementDir("m_1")), std::vector<std::string>{"a_1"});
    EXPECT_EQ(readBytes(project.measurementDir("m_4") / "raw.int16"), std::string(12 * 8, '\x11'));
    EXPECT_EQ(readBytes(measurements / ".m_x.recording.raw.tmp"), std::string(100, '\x22'));
}

// Another program records into the Project: its unfinished Recording is named once and left as it is.
// Where the Project's folder takes no locks, the Recording's description names that program, and the
// log says once that the folder cannot guard the Project; also where only the locks of folders work,
// as the Recording's file and the lock files are files.
TEST_F(ProjectRecoveryOpen, WhatAnotherProgramHoldsIsNamedOnceAndLeftAlone) {
    enum class Locks { Work, Fail, FailOnFiles };
    for (const Locks locks : {Locks::Work, Locks::Fail, Locks::FailOnFiles}) {
        const bool locksFail = locks != Locks::Work;
        SCOPED_TRACE(locks == Locks::Work   ? "locks work"
                     : locks == Locks::Fail ? "locks fail"
                                            : "file locks fail");
        StoredProject project(1);
        const fs::path measurements = fsPath(project.path()) / "measurements";
        const std::string profile = shippedProfileText("small-4.device.json");
        const fs::path raw = core::recordingStagingPath(measurements, "m_5");
        writeFile(raw, std::string(12 * 8, '\x11'));
        // A program that runs: this one.
        const std::string host = locksFail ? core::hostName() : std::string();
        writeFile(core::recordingDescriptionPath(measurements, "m_5"),
                  core::writeRecordingDescription({"m_5", profile, "UDP", core::utcTimestampNow(), host,
                                                   locksFail ? core::currentProcessId() : 0,
                                                   locksFail ? core::processIdScope() : std::string()}));
        writeFile(measurements / ".m_5.camera.tmp.mp4", "video being recorded");
        core::EntryLock otherProgram;
        if (locksFail) {
            core::failAdvisoryLocksForTesting(ENOLCK, locks == Locks::FailOnFiles);
        } else {
            ASSERT_EQ(core::EntryLock::take(raw, otherProgram), core::EntryLock::Take::Taken);
        }

        UiController ui;
        importShippedProfile(ui, "small-4.device.json");
        ui.openProject(project.path());
        ui.openProject(project.path());
        core::failAdvisoryLocksForTesting(0);
        ASSERT_TRUE(ui.hasProject());
        EXPECT_EQ(rowIds(ui), QStringList{QStringLiteral("m_1")});
        const QString line = QStringLiteral(
            "Recovery left measurements/.m_5.recording.raw.tmp alone: another program is using it");
        const QString unguarded =
            QStringLiteral(
                "The folder of this Project takes no file locks (%1): it cannot guard the Project "
                "against a second program using it at the same time")
                .arg(project.path());
        int named = 0;
        int warned = 0;
        for (const QString& event : ui.eventLog()) {
            named += event.mid(10) == line;
            warned += event.mid(10) == unguarded;
        }
        EXPECT_EQ(named, 2) << "once per open";
        EXPECT_EQ(warned, locksFail ? 1 : 0) << "once per Project";
        EXPECT_EQ(readBytes(raw), std::string(12 * 8, '\x11'));
        EXPECT_EQ(readBytes(measurements / ".m_5.camera.tmp.mp4"), "video being recorded");
    }
}

// On a network file system, whose locks may stay on each computer, the log says once per Project that
// a second computer writing at the same time is not kept out; a local folder says nothing.
TEST_F(ProjectRecoveryOpen, AProjectOnANetworkFileSystemSaysOnceThatASecondComputerIsNotKeptOut) {
    for (const bool network : {false, true}) {
        SCOPED_TRACE(network ? "network file system" : "local folder");
        StoredProject project(1);
        if (!network && core::networkFileSystemOf(fsPath(project.path())))
            GTEST_SKIP() << "the test folder itself is on a network file system";
        if (network) core::pretendNetworkFileSystemForTesting("NFS");
        UiController ui;
        ui.openProject(project.path());
        ui.openProject(project.path());
        core::pretendNetworkFileSystemForTesting(nullptr);
        ASSERT_TRUE(ui.hasProject());
        const QString notice =
            QStringLiteral(
                "The folder of this Project is on a network file system (NFS) whose locks may not "
                "reach other computers (%1): it cannot guard the Project against a second computer "
                "writing to it at the same time")
                .arg(project.path());
        int told = 0;
        for (const QString& event : ui.eventLog()) told += event.mid(10) == notice;
        EXPECT_EQ(told, network ? 1 : 0);
    }
}

}  // namespace
}  // namespace zk::app::test
