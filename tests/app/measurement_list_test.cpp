// The Measurement list of the open Project: rows, selection, label edits and deletion, checked against
// Measurements recorded through the storage layer.
#include <gtest/gtest.h>

#include <QSettings>
#include <QUrl>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <utility>

#include "app/ui_controller.h"
#include "app_test_support.h"
#include "core/platform/file_platform.h"
#include "core/storage/analysis_run_store.h"
#include "core/storage/measurement_store.h"
#include "core/storage/project_store.h"
#include "project_fixture.h"
#include "storage/other_program.h"
#include "storage/storage_test_support.h"

namespace zk::app::test {
namespace {

namespace fs = std::filesystem;

using MeasurementList = ControllerSettingsTest;
using zk::test::entryNames;

QVariantMap rowOf(const UiController& ui, int index) { return ui.measurements().at(index).toMap(); }

void addAnalysisRun(const fs::path& measurementDir, const std::string& id, double frequencyHz) {
    core::AnalysisRunParameters parameters;
    parameters.algorithmId = "DAS";
    parameters.frequencyHz = frequencyHz;
    parameters.bandLowHz = frequencyHz - 100.0;
    parameters.bandHighHz = frequencyHz + 100.0;
    core::AnalysisRunProvenance provenance;
    provenance.recomputeMode = "full";
    core::createAnalysisRun(measurementDir, "m_1", id, parameters, 12.5, -3.0, 7.0, "test", provenance,
                            std::nullopt);
}

TEST_F(MeasurementList, RowsCarryTheManifestTheRawFileSizeAndTheRunsNewestFirst) {
    StoredProject stored(2);
    addAnalysisRun(stored.measurementDir("m_1"), "a_1", 2000.0);
    addAnalysisRun(stored.measurementDir("m_1"), "a_2", 4000.0);
    UiController ui;
    ui.openProject(stored.path());
    ASSERT_EQ(ui.measurementCount(), 2);

    const QVariantMap first = rowOf(ui, 1);
    EXPECT_EQ(first.value("directory").toString(), QStringLiteral("m_1"));
    EXPECT_TRUE(first.value("valid").toBool());
    EXPECT_EQ(first.value("source").toString(), QStringLiteral("Synthetic"));
    EXPECT_EQ(first.value("profileId").toString(), QStringLiteral("SMALL-4"));
    EXPECT_EQ(first.value("sampleRateHz").toULongLong(), 16000u);
    EXPECT_EQ(first.value("wireChannelCount").toULongLong(), 4u);
    EXPECT_EQ(first.value("totalFrames").toULongLong(), 1600u);
    EXPECT_EQ(first.value("rawBytes").toULongLong(), 1600u * 4u * 2u);
    EXPECT_TRUE(first.value("rawAvailable").toBool());
    EXPECT_DOUBLE_EQ(first.value("durationSeconds").toDouble(), 0.1);
    EXPECT_DOUBLE_EQ(rowOf(ui, 0).value("durationSeconds").toDouble(), 0.2);
    // The usual 16-digit hash is shown whole.
    const std::string profileHash = fnv1aHexOfFile(fsPath(shippedProfile("small-4.device.json")));
    EXPECT_EQ(first.value("profileHash").toString().toStdString(), profileHash);

    EXPECT_EQ(first.value("analysisCount").toULongLong(), 2u);
    const QVariantList runs = first.value("analyses").toList();
    ASSERT_EQ(runs.size(), 2);
    EXPECT_EQ(runs[0].toMap().value("id").toString(), QStringLiteral("a_2"));
    EXPECT_DOUBLE_EQ(runs[0].toMap().value("frequencyHz").toDouble(), 4000.0);
    EXPECT_DOUBLE_EQ(runs[1].toMap().value("bandLowHz").toDouble(), 1900.0);
    EXPECT_EQ(runs[1].toMap().value("mode").toString(), QStringLiteral("full"));
    EXPECT_DOUBLE_EQ(runs[1].toMap().value("peakAzimuth").toDouble(), 12.5);
}

TEST_F(MeasurementList, SelectionShowsTheFrozenProfileAndTheRecordedHashes) {
    QSettings().setValue(QStringLiteral("analysisFrequencyHz"), 20000.0);
    StoredProject stored(2);
    UiController ui;
    ASSERT_DOUBLE_EQ(ui.analysisFrequencyHz(), 20000.0);
    ui.openProject(stored.path());
    EXPECT_DOUBLE_EQ(ui.analysisFrequencyHz(), 7187.5)
        << "limited to 0.45 of the recorded 16 kHz, on a bin of the 256-point analysis frame";
    EXPECT_DOUBLE_EQ(QSettings().value(QStringLiteral("analysisFrequencyHz")).toDouble(), 20000.0);

    const QStringList before = ui.eventLog();
    ui.selectMeasurement(-1);
    ui.selectMeasurement(ui.measurementCount());
    EXPECT_EQ(ui.eventLog(), before);
    EXPECT_EQ(ui.selectedMeasurementIndex(), 0);

    ui.selectMeasurement(1);
    EXPECT_EQ(ui.statusText(), QStringLiteral("Measurement selected: m_1 · frozen Profile SMALL-4"));
    EXPECT_EQ(ui.selectedMeasurementId(), QStringLiteral("m_1"));
    const QString info = ui.selectedMeasurementInfo();
    EXPECT_TRUE(info.startsWith(
        QStringLiteral("4 logical / 4 wire · 16000 Hz · 0.10 s (1600 frames) · source Synthetic · ")))
        << info.toStdString();
    EXPECT_EQ(ui.selectedMeasurementProfileInfo(), QStringLiteral("SMALL-4 · schema 2 · SMALL-4"));
    const fs::path dir = stored.measurementDir("m_1");
    EXPECT_EQ(ui.selectedMeasurementRawHash().toStdString(), fnv1aHexOfFile(dir / "raw.int16"));
    EXPECT_EQ(ui.selectedMeasurementProfileHash().toStdString(), fnv1aHexOfFile(dir / "device_profile.json"));
    EXPECT_EQ(ui.selectedMeasurementGeometryHash().size(), 16);
    EXPECT_TRUE(ui.selectedMeasurementRawAvailable());
    EXPECT_EQ(ui.selectedMeasurementVideoPath(), QString());
    EXPECT_EQ(ui.selectedMeasurementVideoUrl(), QString());

    // An unreadable frozen profile blocks that Measurement only.
    std::ofstream(stored.measurementDir("m_2") / "device_profile.json", std::ios::trunc) << "{ broken";
    ui.selectMeasurement(0);
    EXPECT_TRUE(ui.statusText().startsWith(QStringLiteral("Open frozen Device Profile failed: ")))
        << ui.statusText().toStdString();
    EXPECT_EQ(ui.selectedMeasurementId(), QStringLiteral("m_1"));
}

TEST_F(MeasurementList, AVideoInsideTheMeasurementIsOfferedByPathAndUrl) {
    StoredProject stored(0);
    const fs::path video = fsPath(stored.tempPath(QStringLiteral("clip.mp4")));
    std::ofstream(video, std::ios::binary) << "not really a video, but not empty";
    recordMeasurement(stored.path(), "m_video", 160, shippedProfileText("small-4.device.json"), 4, video);
    UiController ui;
    ui.openProject(stored.path());
    const fs::path inside = stored.measurementDir("m_video") / "video_camera.mp4";
    ASSERT_TRUE(fs::exists(inside));
    EXPECT_EQ(ui.selectedMeasurementVideoPath().toStdString(), inside.string());
    EXPECT_EQ(ui.selectedMeasurementVideoUrl(),
              QUrl::fromLocalFile(QString::fromStdString(inside.string())).toString());

    fs::remove(inside);
    ui.refreshProject();
    EXPECT_EQ(rowOf(ui, 0).value("videoFile").toString(), QStringLiteral("video_camera.mp4"));
    EXPECT_EQ(ui.selectedMeasurementVideoPath(), QString()) << "a named video whose file is gone is no video";
}

TEST_F(MeasurementList, RenameAndNoteRewriteTheManifestAndKeepTheSelection) {
    StoredProject stored(3);
    UiController ui;
    ui.openProject(stored.path());
    ui.selectMeasurement(1);
    ASSERT_EQ(ui.selectedMeasurementId(), QStringLiteral("m_2"));

    ui.renameSelectedMeasurement(QStringLiteral("  Fan test  "));
    EXPECT_EQ(ui.statusText(), QStringLiteral("Renamed m_2 -> Fan test"));
    EXPECT_EQ(core::readMeasurementManifest(stored.measurementDir("m_2")).displayName, "Fan test");
    EXPECT_EQ(ui.selectedMeasurementId(), QStringLiteral("m_2")) << "the renamed Measurement stays selected";
    EXPECT_EQ(rowOf(ui, 1).value("displayName").toString(), QStringLiteral("Fan test"));

    ui.setSelectedMeasurementNote(QStringLiteral("  Lab 3 "), QStringLiteral(" Workshop "),
                                  QStringLiteral("  fan at 2 m\nsecond line"));
    EXPECT_EQ(ui.statusText(), QStringLiteral("Note saved: m_2"));
    const core::MeasurementRecord noted = core::readMeasurementManifest(stored.measurementDir("m_2"));
    EXPECT_EQ(noted.location, "Lab 3");
    EXPECT_EQ(noted.scene, "Workshop");
    EXPECT_EQ(noted.notes, "  fan at 2 m\nsecond line");
    EXPECT_EQ(noted.displayName, "Fan test") << "a note keeps the alias";
    EXPECT_EQ(noted.rawHash, fnv1aHexOfFile(stored.measurementDir("m_2") / "raw.int16"))
        << "labels never touch the raw";

    ui.renameSelectedMeasurement(QStringLiteral("   "));
    EXPECT_EQ(ui.statusText(), QStringLiteral("Alias cleared: m_2"));
    const core::MeasurementRecord cleared = core::readMeasurementManifest(stored.measurementDir("m_2"));
    EXPECT_EQ(cleared.displayName, "");
    EXPECT_EQ(cleared.location, "Lab 3") << "a rename keeps the note";
}

// Two programs show one Measurement, B with the labels it read before A changed them: each edit
// changes only what its user edited, so neither reverts the other. Once A deleted the Measurement,
// B's edit says so and makes nothing.
TEST_F(MeasurementList, LabelEditsOfTwoProgramsNeverRevertEachOther) {
    StoredProject stored(1);
    UiController a;
    UiController b;
    a.openProject(stored.path());
    b.openProject(stored.path());
    a.renameSelectedMeasurement(QStringLiteral("Name of A"));
    b.setSelectedMeasurementNote(QString(), QString(), QStringLiteral("note of B"));
    a.setSelectedMeasurementNote(QStringLiteral("Hall"), QString(), QString());
    b.renameSelectedMeasurement(QStringLiteral("Name of B"));
    const core::MeasurementRecord m = core::readMeasurementManifest(stored.measurementDir("m_1"));
    EXPECT_EQ(m.displayName, "Name of B");
    EXPECT_EQ(m.location, "Hall");
    EXPECT_EQ(m.notes, "note of B");
    EXPECT_EQ(rowOf(b, 0).value("location").toString(), QStringLiteral("Hall")) << "B shows A's edit";

    a.deleteSelectedMeasurement();
    b.renameSelectedMeasurement(QStringLiteral("late"));
    EXPECT_EQ(b.statusText(), QStringLiteral("Measurement m_1 was not changed: the Measurement no longer "
                                             "exists - another program deleted it"));
    EXPECT_TRUE(entryNames(stored.measurementDir("m_1").parent_path()).empty()) << "nothing made again";
}

// A program that stopped while it holds the Project's lock or the Measurement's folder: a deletion is
// refused at once with the reason, never waiting on it, and the Measurement stays listed, selected and
// whole; once that program is gone, the deletion goes through.
TEST_F(MeasurementList, ADeletionNeverWaitsForAProgramThatStoppedHoldingWhatItNeeds) {
    StoredProject stored(2);
    UiController ui;
    ui.openProject(stored.path());
    const std::pair<fs::path, QString> cases[] = {
        {fsPath(stored.path()) / ".", QStringLiteral("another program is changing the Project - try again")},
        {stored.measurementDir("m_2"),
         QStringLiteral("another program is using or changing the Measurement - try again")}};
    for (const auto& [held, reason] : cases) {
        zk::test::OtherProgram other(
            [held] {
                auto* lock = new core::EntryLock;  // held until the child ends
                if (core::EntryLock::take(held, *lock) != core::EntryLock::Take::Taken)
                    throw std::runtime_error("not taken");
            },
            zk::test::OtherProgram::After::Stop);
        ASSERT_TRUE(other.ready());
        ui.deleteSelectedMeasurement();
        EXPECT_EQ(ui.statusText(), QStringLiteral("Measurement m_2 was not deleted: ") + reason) << held;
        EXPECT_EQ(rowIds(ui), (QStringList{"m_2", "m_1"})) << held;
        EXPECT_EQ(ui.selectedMeasurementId(), QStringLiteral("m_2")) << held;
        EXPECT_EQ(entryNames(stored.measurementDir("m_2")),
                  (std::vector<std::string>{"device_profile.json", "manifest.json", "raw.int16"}))
            << held;
    }
    ui.deleteSelectedMeasurement();
    EXPECT_EQ(rowIds(ui), QStringList{"m_1"});
    EXPECT_FALSE(fs::exists(stored.measurementDir("m_2")));
}

TEST_F(MeasurementList, DeleteUnregistersRemovesAndSelectsTheNewestLeft) {
    StoredProject stored(3);
    UiController ui;
    ui.deleteSelectedMeasurement();
    EXPECT_EQ(ui.statusText(), QStringLiteral("Select a Measurement first"));
    ui.openProject(stored.path());
    ui.selectMeasurement(1);
    ui.deleteSelectedMeasurement();
    const QStringList log = ui.eventLog();
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const QString& line) {
        return line.mid(10) == QStringLiteral("Measurement deleted: m_2");
    })) << log.join('\n').toStdString();
    EXPECT_FALSE(fs::exists(stored.measurementDir("m_2")));
    EXPECT_EQ(core::loadProject(fsPath(stored.path())).measurements,
              (std::vector<std::string>{"m_1", "m_3"}));
    EXPECT_EQ(rowIds(ui), (QStringList{"m_3", "m_1"}));
    EXPECT_EQ(ui.selectedMeasurementId(), QStringLiteral("m_3"));
}

TEST_F(MeasurementList, AFailedUnregisterKeepsTheFilesOfTheMeasurement) {
    StoredProject stored(2);
    UiController ui;
    ui.openProject(stored.path());
    // project.json can no longer be read: the Measurement cannot leave the Project, so it must stay whole.
    const fs::path projectJson = fsPath(stored.path()) / "project.json";
    fs::rename(projectJson, fsPath(stored.path()) / "project.json.saved");
    fs::create_directory(projectJson);
    ui.deleteSelectedMeasurement();
    EXPECT_TRUE(ui.eventLog().join('\n').contains(QStringLiteral("Project unregister failed: ")));
    EXPECT_TRUE(fs::exists(stored.measurementDir("m_2") / "raw.int16"));
    EXPECT_TRUE(fs::exists(stored.measurementDir("m_2") / "manifest.json"));
}

TEST_F(MeasurementList, ARegisteredMeasurementWhoseFolderIsGoneIsListedButNotSelectable) {
    StoredProject stored(3);
    fs::remove_all(stored.measurementDir("m_3"));
    UiController ui;
    ui.openProject(stored.path());
    ASSERT_EQ(ui.measurementCount(), 3) << ui.statusText().toStdString();
    const QVariantMap gone = rowOf(ui, 0);
    EXPECT_FALSE(gone.value("valid").toBool());
    EXPECT_EQ(gone.value("id").toString(), QStringLiteral("m_3"));
    EXPECT_FALSE(gone.value("error").toString().isEmpty());
    EXPECT_EQ(ui.selectedMeasurementId(), QStringLiteral("m_2"))
        << "the newest valid Measurement is selected";
    ui.selectMeasurement(0);
    EXPECT_EQ(ui.selectedMeasurementId(), QStringLiteral("m_2"));
}

TEST_F(MeasurementList, AFrozenProfileThatFailsItsHashChangesNoSetting) {
    QSettings().setValue(QStringLiteral("analysisFrequencyHz"), 7000.0);
    StoredProject stored(2);
    // Still a valid profile, but not the one recorded: at 8 kHz it would lower the frequency to 3600 Hz.
    std::string edited = shippedProfileText("small-4.device.json");
    edited.replace(edited.find("16000"), 5, "8000");
    std::ofstream(stored.measurementDir("m_2") / "device_profile.json", std::ios::trunc) << edited;

    UiController ui;
    ui.openProject(stored.path());
    EXPECT_EQ(ui.selectedMeasurementId(), QStringLiteral("m_1")) << "the newest Measurement that verifies";
    EXPECT_DOUBLE_EQ(ui.analysisFrequencyHz(), 7000.0);
    const QVariantMap failed = rowOf(ui, 0);
    EXPECT_FALSE(failed.value("valid").toBool());
    EXPECT_EQ(failed.value("error").toString(),
              QStringLiteral("device_profile.json: frozen Profile hash does not match Measurement manifest"));
    const QString file =
        QString::fromStdString((stored.measurementDir("m_2") / "device_profile.json").string());
    EXPECT_EQ(
        ui.eventLog().filter(QStringLiteral("Open frozen Device Profile failed: %1: ").arg(file)).size(), 1);

    ui.selectMeasurement(0);
    EXPECT_EQ(ui.selectedMeasurementId(), QStringLiteral("m_1"));
    EXPECT_DOUBLE_EQ(ui.analysisFrequencyHz(), 7000.0);
    EXPECT_EQ(ui.selectedMeasurementProfileInfo(), QStringLiteral("SMALL-4 · schema 2 · SMALL-4"));
}

TEST_F(MeasurementList, ARunOpenedByIdsShowsInItsMeasurementRowAtOnce) {
    StoredProject stored(2);
    UiController ui;
    ui.openProject(stored.path());
    ASSERT_EQ(ui.selectedMeasurementId(), QStringLiteral("m_2"));
    addAnalysisRun(stored.measurementDir("m_1"), "a_1", 2000.0);
    ui.openAnalysisRun(QStringLiteral("m_1"), QStringLiteral("a_1"));
    EXPECT_EQ(ui.selectedAnalysisId(), QStringLiteral("a_1"));
    const QVariantMap row = rowOf(ui, 1);
    EXPECT_EQ(row.value("analysisCount").toULongLong(), 1u);
    const QVariantList runs = row.value("analyses").toList();
    ASSERT_EQ(runs.size(), 1);
    EXPECT_EQ(runs[0].toMap().value("id").toString(), QStringLiteral("a_1"));
    EXPECT_DOUBLE_EQ(runs[0].toMap().value("frequencyHz").toDouble(), 2000.0);
}

TEST_F(MeasurementList, RegisteredNamesResolveOnlyToOneFolderInsideMeasurements) {
    StoredProject stored(2);
    core::ProjectRecord record = core::loadProject(fsPath(stored.path()));
    record.measurements = {"measurements/m_1", "m_2"};
    record.save();
    UiController ui;
    ui.openProject(stored.path());
    ASSERT_EQ(ui.measurementCount(), 2) << ui.statusText().toStdString();
    EXPECT_EQ(rowIds(ui), (QStringList{"m_2", "m_1"}));

    // A name the list refuses is one unusable row with its reason, named once in the event log; the
    // other Measurements stay listed and the Project opens.
    const std::pair<std::string, const char*> refused[] = {
        {"../outside", "Measurement path escapes the Project root"},
        {"measurements/../../outside", "Measurement path escapes the Project root"},
        {"measurements", "Measurement name is not a directory name"},
        {".", "Measurement name is not a directory name"},
        {"measurements/m_1/analyses", "Measurement name is not a directory name"},
        {"/tmp", "absolute Measurement path is not allowed"},
    };
    const auto expectRefused = [&](const UiController& opened, const std::string& name, const char* why,
                                   const QString& next = QStringLiteral("m_1")) {
        ASSERT_EQ(rowIds(opened).mid(0, 2), (QStringList{QString::fromStdString(name), next})) << name;
        EXPECT_FALSE(rowOf(opened, 0).value("valid").toBool()) << name;
        EXPECT_EQ(rowOf(opened, 0).value("error").toString(), QLatin1String(why)) << name;
        EXPECT_EQ(opened.selectedMeasurementId(), next) << name;
        const QString line = QStringLiteral(
                                 "project.json lists %1, which is not a Measurement folder of this "
                                 "Project: %2")
                                 .arg(QString::fromStdString(name), QLatin1String(why));
        EXPECT_EQ(opened.eventLog().filter(line).size(), 1) << name;
    };
    for (const auto& [name, message] : refused) {
        record.measurements = {"m_1", name};
        record.save();
        ui.refreshProject();
        EXPECT_EQ(ui.statusText(), QStringLiteral("Project refreshed · 2 Measurements")) << name;
        expectRefused(ui, name, message);
    }
    record.measurements = {"m_1", "m_2", "/tmp"};
    record.save();
    UiController opened;
    opened.openProject(stored.path());
    EXPECT_TRUE(opened.hasProject());
    EXPECT_EQ(opened.statusText(), QStringLiteral("Project opened: Stored · 3 Measurements"));
    expectRefused(opened, "/tmp", "absolute Measurement path is not allowed", QStringLiteral("m_2"));

    // A link inside measurements that points out of the Project is refused as well.
    QTemporaryDir outside;
    fs::create_directory_symlink(fsPath(outside.path()), stored.measurementDir("linked"));
    record.measurements = {"m_1", "linked"};
    record.save();
    ui.refreshProject();
    expectRefused(ui, "linked", "Measurement path escapes the Project root");
}

}  // namespace
}  // namespace zk::app::test
