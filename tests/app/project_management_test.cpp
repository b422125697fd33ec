// Creating, opening, refreshing and deleting Projects through the controller, checked against the files
// on disk and the settings store.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include "app/ui_controller.h"
#include "app_test_support.h"
#include "core/storage/project_deletion.h"
#include "core/storage/project_store.h"
#include "core/storage/recording.h"
#include "core/streaming/noise_floor_profile.h"
#include "project_fixture.h"
#include "storage/other_program.h"

namespace zk::app::test {
namespace {

namespace fs = std::filesystem;

using ProjectManagement = ControllerSettingsTest;

QStringList recentPaths(const UiController& ui) {
    QStringList paths;
    for (const QVariant& entry : ui.recentProjects())
        paths.append(entry.toMap().value(QStringLiteral("path")).toString());
    return paths;
}

TEST_F(ProjectManagement, CreateMakesAMissingDirectoryAndRefusesOneThatHoldsAnything) {
    QTemporaryDir dir;
    UiController ui;
    const QString target = dir.filePath(QStringLiteral("a/b/new"));

    ui.createProject(target, QStringLiteral("   "));
    EXPECT_EQ(ui.statusText(), QStringLiteral("Project creation requires a directory and a name"));
    EXPECT_FALSE(ui.hasProject());

    QSignalSpy projectChanged(&ui, &UiController::projectChanged);
    ui.createProject(target, QStringLiteral("  Hall 4  "));
    ASSERT_TRUE(ui.hasProject()) << ui.statusText().toStdString();
    EXPECT_EQ(projectChanged.count(), 1);
    EXPECT_EQ(ui.statusText(), QStringLiteral("Project created: Hall 4"));
    EXPECT_EQ(ui.projectPath(), target);
    EXPECT_EQ(ui.projectName(), QStringLiteral("Hall 4"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^zkproj-[0-9a-f]{16}$")).match(ui.projectId()).hasMatch());
    const core::ProjectRecord onDisk = core::loadProject(fsPath(target));
    EXPECT_EQ(onDisk.name, "Hall 4");
    EXPECT_EQ(QString::fromStdString(onDisk.projectId), ui.projectId());
    EXPECT_EQ(QSettings().value(QStringLiteral("lastProjectPath")).toString(), target);
    EXPECT_EQ(recentPaths(ui), QStringList{target});
    EXPECT_EQ(ui.measurementCount(), 0);

    const QString occupied = dir.filePath(QStringLiteral("occupied"));
    ASSERT_TRUE(QDir().mkpath(occupied + QStringLiteral("/sub")));
    ui.createProject(occupied, QStringLiteral("Other"));
    EXPECT_EQ(ui.statusText(),
              QStringLiteral("Create Project failed: select an empty directory for a new Project"));
    EXPECT_EQ(ui.projectPath(), target) << "a failed create leaves the open Project";
    EXPECT_FALSE(QFile::exists(occupied + QStringLiteral("/project.json")));

    const QString file = dir.filePath(QStringLiteral("plain.txt"));
    QFile(file).open(QIODevice::WriteOnly);
    ui.createProject(file, QStringLiteral("File"));
    EXPECT_EQ(ui.statusText(), QStringLiteral("Create Project failed: the selected path is not a directory"));

    ui.createProject(target, QStringLiteral("Again"));
    EXPECT_EQ(ui.statusText(),
              QStringLiteral("Create Project failed: the selected directory already contains a Project"));

    const QString empty = dir.filePath(QStringLiteral("empty"));
    ASSERT_TRUE(QDir().mkpath(empty));
    ui.createProject(empty, QStringLiteral("Empty"));
    EXPECT_EQ(ui.projectPath(), empty);
    EXPECT_EQ(recentPaths(ui), (QStringList{empty, target}));
}

// A Create Project killed before its rename leaves only a hidden temporary file: the folder counts as
// empty, and a whole temporary project.json opens.
TEST_F(ProjectManagement, AFolderHoldingOnlyTemporaryFilesOfAKilledCreateIsEmpty) {
    QTemporaryDir dir;
    UiController ui;
    const QString cut = dir.filePath(QStringLiteral("cut"));
    ASSERT_TRUE(QDir().mkpath(cut));
    {
        QFile partial(cut + QStringLiteral("/.project.json.8123-0.tmp"));
        ASSERT_TRUE(partial.open(QIODevice::WriteOnly));
        partial.write("{\n  \"schemaVersion\": 1,\n  \"projectId\": \"zkp");
    }
    EXPECT_EQ(ui.validateNewProjectDir(cut), QString());
    ui.createProject(cut, QStringLiteral("Again"));
    ASSERT_TRUE(ui.hasProject()) << ui.statusText().toStdString();
    EXPECT_EQ(ui.statusText(), QStringLiteral("Project created: Again"));
    EXPECT_EQ(QDir(cut).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{QStringLiteral("project.json")});

    // Whole, the kill fell just before the rename: the Project it names opens.
    const QString whole = dir.filePath(QStringLiteral("whole"));
    ASSERT_TRUE(QDir().mkpath(whole));
    ASSERT_TRUE(QFile::rename(cut + QStringLiteral("/project.json"),
                              whole + QStringLiteral("/.project.json.77-3.tmp")));
    ui.openProject(whole);
    EXPECT_EQ(ui.statusText(), QStringLiteral("Project opened: Again · 0 Measurements"));
    EXPECT_EQ(ui.projectPath(), whole);

    // Anything else in the folder still makes it occupied.
    const QString other = dir.filePath(QStringLiteral("other"));
    ASSERT_TRUE(QDir().mkpath(other));
    QFile(other + QStringLiteral("/.project.json.1-0.tmp")).open(QIODevice::WriteOnly);
    QFile(other + QStringLiteral("/.notes.tmp")).open(QIODevice::WriteOnly);
    EXPECT_FALSE(ui.validateNewProjectDir(other).isEmpty());
    ui.createProject(other, QStringLiteral("Other"));
    EXPECT_EQ(ui.statusText(),
              QStringLiteral("Create Project failed: select an empty directory for a new Project"));
}

TEST_F(ProjectManagement, OpenListsTheStoredMeasurementsNewestFirstAndSelectsTheNewest) {
    StoredProject stored(3, "Stored");
    UiController ui;
    const int eventsBefore = ui.eventLog().size();
    ui.openProject(QString());
    EXPECT_EQ(ui.eventLog().size(), eventsBefore) << "an empty path is no request";

    ui.openProject(stored.path());
    ASSERT_TRUE(ui.hasProject());
    EXPECT_EQ(ui.statusText(), QStringLiteral("Project opened: Stored · 3 Measurements"));
    EXPECT_EQ(rowIds(ui), (QStringList{"m_3", "m_2", "m_1"}));
    EXPECT_EQ(ui.selectedMeasurementIndex(), 0);
    EXPECT_EQ(ui.selectedMeasurementId(), QStringLiteral("m_3"));
    EXPECT_EQ(QSettings().value(QStringLiteral("lastProjectPath")).toString(), stored.path());

    // A folder without project.json changes nothing of the open Project.
    QTemporaryDir plain;
    ui.openProject(plain.path());
    EXPECT_TRUE(ui.statusText().startsWith(QStringLiteral("Open Project failed: cannot open project.json")))
        << ui.statusText().toStdString();
    EXPECT_EQ(ui.projectPath(), stored.path());
    EXPECT_EQ(ui.measurementCount(), 3);
}

TEST_F(ProjectManagement, RefreshRereadsProjectJsonWithoutTouchingRecentOrLastPath) {
    StoredProject stored(1);
    UiController ui;
    const QStringList before = ui.eventLog();
    ui.refreshProject();
    EXPECT_EQ(ui.eventLog(), before) << "without a Project there is nothing to refresh";

    ui.openProject(stored.path());
    EXPECT_EQ(ui.statusText(), QStringLiteral("Project opened: Stored · 1 Measurement"));
    recordMeasurement(stored.path(), "m_outside", 800, shippedProfileText("small-4.device.json"), 4);
    QSettings().setValue(QStringLiteral("lastProjectPath"), QStringLiteral("/elsewhere"));
    QSignalSpy recentChanged(&ui, &UiController::recentProjectsChanged);
    ui.refreshProject();
    EXPECT_EQ(ui.statusText(), QStringLiteral("Project refreshed · 2 Measurements"));
    EXPECT_EQ(rowIds(ui), (QStringList{"m_outside", "m_1"}));
    EXPECT_EQ(recentChanged.count(), 0);
    EXPECT_EQ(QSettings().value(QStringLiteral("lastProjectPath")).toString(), QStringLiteral("/elsewhere"));
}

TEST_F(ProjectManagement, DeleteRefusesWhatIsNoLongerAProjectRootAndRemovesARealOne) {
    UiController ui;
    ui.deleteProject();
    EXPECT_EQ(ui.statusText(), QStringLiteral("Open a Project first"));

    StoredProject stored(2, "Doomed");
    ui.openProject(stored.path());
    ASSERT_TRUE(QFile::rename(stored.path() + QStringLiteral("/project.json"),
                              stored.path() + QStringLiteral("/project.json.moved")));
    ui.deleteProject();
    EXPECT_EQ(ui.statusText(), QStringLiteral("Refusing to delete: not a Project root"));
    EXPECT_TRUE(ui.hasProject());
    EXPECT_TRUE(fs::exists(stored.measurementDir("m_1") / "raw.int16")) << "a refused delete removes nothing";

    ASSERT_TRUE(QFile::rename(stored.path() + QStringLiteral("/project.json.moved"),
                              stored.path() + QStringLiteral("/project.json")));

    // Another program records into the Project: the deletion is refused and names what is in use, and
    // that Recording ends saved.
    std::optional<core::Recording> recording;  // the other program's
    zk::test::OtherProgram recorder(
        [&] {
            recording.emplace(fsPath(stored.path()), "m_9", shippedProfileText("small-4.device.json"),
                              "other");
            recording->append(std::vector<std::int16_t>(4 * 160, 7));
        },
        zk::test::OtherProgram::After::Wait, [&] { recording->finalize({}); });
    ASSERT_TRUE(recorder.ready());
    ui.deleteProject();
    EXPECT_EQ(ui.statusText(), QStringLiteral("Project Doomed was not deleted: another program is using "
                                              "measurements/.m_9.recording.raw.tmp"));
    EXPECT_TRUE(ui.hasProject());
    recorder.proceed();
    EXPECT_EQ(recorder.finish(), 0);
    EXPECT_EQ(core::loadProject(fsPath(stored.path())).measurements,
              (std::vector<std::string>{"m_1", "m_2", "m_9"}));

    // A sibling of the Project must survive its deletion.
    const QString sibling = stored.tempPath(QStringLiteral("sibling.txt"));
    QFile(sibling).open(QIODevice::WriteOnly);
    QSignalSpy projectChanged(&ui, &UiController::projectChanged);
    ui.deleteProject();
    EXPECT_EQ(ui.statusText(), QStringLiteral("Project deleted: Doomed"));
    EXPECT_FALSE(ui.hasProject());
    EXPECT_EQ(ui.measurementCount(), 0);
    EXPECT_EQ(ui.selectedMeasurementIndex(), -1);
    EXPECT_EQ(projectChanged.count(), 1);
    EXPECT_FALSE(QFileInfo::exists(stored.path()));
    EXPECT_TRUE(QFileInfo::exists(sibling));
    EXPECT_TRUE(recentPaths(ui).isEmpty());
    EXPECT_EQ(QSettings().value(QStringLiteral("lastProjectPath")).toString(), QString());
}

// Another program saves into the Project after the user confirmed its deletion (here at the moment
// the deletion checks it): the deletion refuses, names what was saved, and the Project stays open at its
// place with it, first in the recent list.
TEST_F(ProjectManagement, DeleteRefusesWhatAnotherProgramSavedMeanwhileAndNamesIt) {
    UiController ui;
    StoredProject stored(1, "Kept");
    ui.openProject(stored.path());
    core::setProjectDeletionHookForTesting(
        [](const fs::path& aside) { std::ofstream(aside / "measurements" / "saved-by-B.txt") << "B"; });
    ui.deleteProject();
    core::setProjectDeletionHookForTesting(nullptr);
    EXPECT_EQ(ui.statusText(), QStringLiteral("Project Kept was not deleted: another program changed "
                                              "measurements/saved-by-B.txt in the meantime"));
    EXPECT_TRUE(ui.hasProject());
    EXPECT_EQ(readBytes(stored.measurementDir("saved-by-B.txt")), "B");
    EXPECT_EQ(core::loadProject(fsPath(stored.path())).measurements, std::vector<std::string>{"m_1"});
    EXPECT_EQ(recentPaths(ui), QStringList{stored.path()});
}

TEST_F(ProjectManagement, TheRecentListKeepsEightPathsNewestFirstEachOnce) {
    QTemporaryDir dir;
    QStringList created;
    for (int i = 0; i < 9; ++i) {
        const QString path = dir.filePath(QStringLiteral("p%1").arg(i));
        core::createProject(fsPath(path), QStringLiteral("P%1").arg(i).toStdString());
        created.append(path);
    }
    UiController ui;
    for (const QString& path : created) ui.openProject(path);
    QStringList expected;
    for (int i = 8; i >= 1; --i) expected.append(created[i]);
    EXPECT_EQ(recentPaths(ui), expected) << "the ninth open drops the oldest";

    const QString before = ui.recentProjects()[4].toMap().value(QStringLiteral("openedAt")).toString();
    ui.openRecentProject(created[4]);
    const QStringList reordered = recentPaths(ui);
    ASSERT_EQ(reordered.size(), 8);
    EXPECT_EQ(reordered.front(), created[4]);
    EXPECT_EQ(reordered.count(created[4]), 1);
    const QVariantMap front = ui.recentProjects().front().toMap();
    EXPECT_EQ(front.value(QStringLiteral("name")).toString(), QStringLiteral("P4"));
    const QDateTime openedAt =
        QDateTime::fromString(front.value(QStringLiteral("openedAt")).toString(), Qt::ISODate);
    EXPECT_TRUE(openedAt.isValid());
    EXPECT_LE(std::abs(openedAt.secsTo(QDateTime::currentDateTime())), 5);
    EXPECT_FALSE(before.isEmpty());

    // The stored list is the one shown, and a new controller loads it in the same order.
    UiController again;
    EXPECT_EQ(recentPaths(again), reordered);

    // Paths are text: another spelling of the same folder is another entry.
    ui.openProject(created[4] + QStringLiteral("/"));
    EXPECT_EQ(recentPaths(ui).mid(0, 2), (QStringList{created[4] + "/", created[4]}));
}

TEST_F(ProjectManagement, OpeningAProjectLoadsItsNoiseFloorAndNamesWhichProfileItFits) {
    StoredProject stored(0);
    core::NoiseFloorProfile profile;
    profile.profileHash = fnv1aHexOfFile(fsPath(shippedProfile("small-4.device.json")));
    profile.sampleRateHz = 16000;
    profile.channelCount = 4;
    profile.fftSize = 8;
    profile.averagedFrames = 10;
    profile.createdAtUtc = "2024-05-06T07:08:09Z";
    profile.enabled = true;
    profile.matrices.assign(5, core::MatrixRows(4, std::vector<std::complex<double>>(4, {1.0, 0.0})));
    core::saveNoiseFloorProfile(fsPath(stored.path()), profile);

    UiController ui;
    EXPECT_EQ(ui.noiseProfileInfo(), QStringLiteral("Not calibrated"));
    ui.openProject(stored.path());
    EXPECT_TRUE(ui.noiseSubtractionEnabled()) << "the stored switch comes with the profile";
    EXPECT_FALSE(ui.noiseProfileValid());
    EXPECT_EQ(ui.noiseProfileInfo(), QStringLiteral("Calibrated for another device profile - recalibrate"));

    importShippedProfile(ui, "small-4.device.json");
    ui.refreshProject();
    EXPECT_TRUE(ui.noiseProfileValid());
    EXPECT_EQ(ui.noiseProfileInfo(), QStringLiteral("Calibrated 2024-05-06T07:08:09"));

    ui.deleteProject();
    EXPECT_FALSE(ui.noiseSubtractionEnabled());
    EXPECT_EQ(ui.noiseProfileInfo(), QStringLiteral("Not calibrated"));
}

}  // namespace
}  // namespace zk::app::test
