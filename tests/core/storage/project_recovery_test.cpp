#include "core/storage/project_recovery.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <string>
#include <vector>

#include "analysis_test_support.h"
#include "core/storage/analysis_map.h"
#include "core/storage/analysis_run_store.h"
#include "core/storage/measurement_store.h"
#include "core/storage/recording.h"
#include "device_profile_test_support.h"
#include "storage/storage_test_support.h"
#include "test_support.h"

namespace zk::core {
namespace {

namespace fs = std::filesystem;
using zk::test::entryNames;
using zk::test::fileText;
using zk::test::writeText;
using Names = std::vector<std::string>;

constexpr std::size_t kFrameBytes = 8;  // the 4-channel test profile

std::string rawBytes(std::size_t bytes, char seed) {
    std::string raw(bytes, '\0');
    for (std::size_t i = 0; i < bytes; ++i) raw[i] = static_cast<char>(seed + 31 * i);
    return raw;
}

// A Project holding "m1" and "m3", registered, started one and three seconds past midnight.
struct Scene {
    zk::test::TempFolder folder;
    fs::path project = folder / "p";
    fs::path measurements = project / "measurements";
    std::string profile = zk::test::ProfileText{}.str();

    Scene() {
        ProjectRecord record = createProject(project, "p");
        for (const char* id : {"m1", "m3"}) {
            commit(id);
            record.registerMeasurement(id);
        }
    }
    // A committed Measurement started at second `id[1]` of the day, not registered.
    void commit(const std::string& id, const std::string& raw = rawBytes(40 * kFrameBytes, 'a')) {
        writeText(folder / "raw", raw);
        const std::string started = std::string("2026-03-01T00:00:0") + id[1] + "Z";
        createMeasurement(project, id, profile, folder / "raw", started, started, "s", "");
    }
    void hideAs(const std::string& id, const std::string& stagingName) {
        fs::rename(measurements / id, measurements / stagingName);
    }
    fs::path run(const std::string& id) const { return measurements / "m1" / "analyses" / id; }
    void saveRun(const std::string& id) {
        createAnalysisRun(measurements / "m1", "m1", id, zk::test::sampleParameters(), 1, 2, 3, "b",
                          zk::test::sampleProvenance(), zk::test::sampleMap(8, 4, 5.0));
    }
    // A Recording's leftovers: its staging file and, unless empty, its description.
    void leaveRecording(const std::string& id, const std::string& raw, const std::string& description) {
        fs::create_directories(measurements);
        writeText(recordingStagingPath(measurements, id), raw);
        if (!description.empty()) writeText(recordingDescriptionPath(measurements, id), description);
    }
    std::string describe(const std::string& id) const {
        return writeRecordingDescription({id, profile, "udp \"x\"", "2026-03-01T00:00:02Z", "", 0, ""});
    }
};

// Sets the file's modification time to `seconds` since 1970 (negative before it).
void setModified(const fs::path& path, std::int64_t seconds) {
    const timespec times[2] = {{static_cast<time_t>(seconds), 0}, {static_cast<time_t>(seconds), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

struct Case {
    const char* name;
    std::function<void(Scene&)> arrange;
    std::function<void(Scene&, const ProjectRecoveryReport&)> check;
    Names registered;  // project.json afterwards
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

const std::vector<Case> kCases = {
    {"UnregisteredFolderIsPlacedByItsStartTime",
     [](Scene& s) { s.commit("m2"); },
     [](Scene&, const ProjectRecoveryReport& r) { EXPECT_EQ(r.recoveredMeasurements, Names{"m2"}); },
     {"m1", "m2", "m3"}},
    {"UnregisteredFolderWithAShortRawFileStaysUnlisted",
     [](Scene& s) {
         s.commit("m2");
         fs::resize_file(s.measurements / "m2" / "raw.int16", 39 * kFrameBytes);
     },
     [](Scene& s, const ProjectRecoveryReport& r) {
         EXPECT_TRUE(r.recoveredMeasurements.empty());
         ASSERT_EQ(r.failures.size(), 1u);
         EXPECT_EQ(r.failures[0].path, "measurements/m2");
         EXPECT_EQ(r.failures[0].error, "raw file size does not match its frame count");
         EXPECT_TRUE(fs::exists(s.measurements / "m2" / "raw.int16"));
     },
     {"m1", "m3"}},
    {"FolderListedUnderMeasurementsCountsAsRegistered",
     [](Scene& s) {
         s.commit("m2");
         ProjectRecord record = loadProject(s.project);
         record.registerMeasurement("measurements/m2");
     },
     [](Scene&, const ProjectRecoveryReport& r) { EXPECT_TRUE(r.recoveredMeasurements.empty()); },
     {"m1", "m3", "measurements/m2"}},
    {"CompleteMeasurementStagingIsCommittedAndRegistered",
     [](Scene& s) {
         s.commit("m2");
         s.hideAs("m2", ".m2.creating");
     },
     [](Scene& s, const ProjectRecoveryReport& r) {
         EXPECT_EQ(r.recoveredMeasurements, Names{"m2"});
         EXPECT_EQ(entryNames(s.measurements), (Names{"m1", "m2", "m3"}));
     },
     {"m1", "m2", "m3"}},
    {"MeasurementStagingWithADamagedProfileIsRemoved",
     [](Scene& s) {
         s.commit("m2");
         writeText(s.measurements / "m2" / "device_profile.json", "{}");
         s.hideAs("m2", ".m2.creating");
     },
     [](Scene& s, const ProjectRecoveryReport& r) {
         EXPECT_EQ(r.removedLeftovers, Names{"measurements/.m2.creating"});
         EXPECT_EQ(entryNames(s.measurements), (Names{"m1", "m3"}));
     },
     {"m1", "m3"}},
    {"MeasurementStagingWhoseSamplesDifferFromItsHashIsRemoved",
     [](Scene& s) {
         s.commit("m2");
         // Same length, so only the hash can tell.
         writeText(s.measurements / "m2" / "raw.int16", rawBytes(40 * kFrameBytes, 'b'));
         s.hideAs("m2", ".m2.creating");
     },
     [](Scene& s, const ProjectRecoveryReport& r) {
         EXPECT_TRUE(r.recoveredMeasurements.empty());
         EXPECT_EQ(r.removedLeftovers, Names{"measurements/.m2.creating"});
         EXPECT_EQ(entryNames(s.measurements), (Names{"m1", "m3"}));
     },
     {"m1", "m3"}},
    {"MeasurementMovedAsideForDeletionIsUnregisteredAndRemoved",
     [](Scene& s) { s.hideAs("m3", measurementDeletionPath(s.measurements, "m3").filename().string()); },
     [](Scene& s, const ProjectRecoveryReport& r) {
         EXPECT_EQ(r.removedLeftovers, Names{"measurements/.m3.deleting"});
         EXPECT_EQ(entryNames(s.measurements), Names{"m1"});
     },
     {"m1"}},
    {"CompleteRunStagingIsCommitted",
     [](Scene& s) {
         s.saveRun("a1");
         fs::rename(s.run("a1"), s.run(".a1.creating"));
     },
     [](Scene& s, const ProjectRecoveryReport& r) {
         EXPECT_EQ(r.recoveredRuns, Names{"m1/a1"});
         EXPECT_EQ(listAnalysisRuns(s.measurements / "m1"), Names{"a1"});
         EXPECT_EQ(loadAnalysisRunMap(readAnalysisRun(s.run("a1")))->relativeDb,
                   zk::test::sampleMap(8, 4, 5.0).relativeDb);
     },
     {"m1", "m3"}},
    {"RunStagingWithAnEmptyManifestOrAShortMapIsRemoved",
     [](Scene& s) {
         s.saveRun("a1");
         s.saveRun("a2");
         writeText(s.run("a1") / "analysis.json", "");
         fs::resize_file(s.run("a2") / "map.bin", fs::file_size(s.run("a2") / "map.bin") - 1);
         fs::rename(s.run("a1"), s.run(".a1.creating"));
         fs::rename(s.run("a2"), s.run(".a2.creating"));
     },
     [](Scene& s, const ProjectRecoveryReport& r) {
         EXPECT_EQ(r.removedLeftovers,
                   (Names{"measurements/m1/analyses/.a1.creating", "measurements/m1/analyses/.a2.creating"}));
         EXPECT_EQ(entryNames(s.measurements / "m1" / "analyses"), Names{});
     },
     {"m1", "m3"}},
    {"DescribedRecordingBecomesAMeasurementOfItsWholeFrames",
     [](Scene& s) { s.leaveRecording("m2", rawBytes(10 * kFrameBytes + 5, 'r'), s.describe("m2")); },
     [](Scene& s, const ProjectRecoveryReport& r) {
         EXPECT_EQ(r.recoveredRecordings, Names{"m2"});
         EXPECT_TRUE(r.removedLeftovers.empty()) << "its own files are no leftovers";
         EXPECT_EQ(fileText(s.measurements / "m2" / "raw.int16"), rawBytes(10 * kFrameBytes, 'r'));
         const MeasurementRecord m = readMeasurementManifest(s.measurements / "m2");
         EXPECT_EQ(m.totalFrames, 10u);
         EXPECT_EQ(m.source, "udp \"x\"");
         EXPECT_EQ(m.startedAt, "2026-03-01T00:00:02Z");
         EXPECT_GE(m.endedAt, m.startedAt);
         EXPECT_EQ(fileText(s.measurements / "m2" / "device_profile.json"), s.profile);
         EXPECT_EQ(entryNames(s.measurements), (Names{"m1", "m2", "m3"}));
     },
     {"m1", "m2", "m3"}},
    {"RecordingWithoutDescriptionIsKeptAndNamedEmptyOnesGo",
     [](Scene& s) {
         s.leaveRecording("m2", rawBytes(100, 'r'), "");
         s.leaveRecording("m4", "", "");
         s.leaveRecording("m5", rawBytes(kFrameBytes - 1, 'r'), s.describe("m5"));
     },
     [](Scene& s, const ProjectRecoveryReport& r) {
         ASSERT_EQ(r.undescribedRecordings.size(), 1u);
         EXPECT_EQ(r.undescribedRecordings[0].path, "measurements/.m2.recording.raw.tmp");
         EXPECT_EQ(r.undescribedRecordings[0].bytes, 100u);
         EXPECT_EQ(r.removedLeftovers,
                   (Names{"measurements/.m4.recording.raw.tmp", "measurements/.m5.recording.raw.tmp",
                          "measurements/.m5.recording.json"}));
         EXPECT_EQ(entryNames(s.measurements), (Names{".m2.recording.raw.tmp", "m1", "m3"}));
     },
     {"m1", "m3"}},
    {"RecordingAlreadyCommittedLeavesOnlyItsMeasurement",
     [](Scene& s) {
         s.commit("m2", rawBytes(6 * kFrameBytes, 'q'));
         s.leaveRecording("m2", rawBytes(6 * kFrameBytes + 3, 'q'), s.describe("m2"));
     },
     [](Scene& s, const ProjectRecoveryReport& r) {
         EXPECT_EQ(r.recoveredMeasurements, Names{"m2"});
         EXPECT_TRUE(r.recoveredRecordings.empty());
         EXPECT_EQ(entryNames(s.measurements), (Names{"m1", "m2", "m3"}));
     },
     {"m1", "m2", "m3"}},
    {"RecordingWhoseNameHoldsOtherSamplesIsKept",
     [](Scene& s) {
         s.commit("m2", rawBytes(6 * kFrameBytes, 'q'));
         s.leaveRecording("m2", rawBytes(6 * kFrameBytes, 'z'), s.describe("m2"));
     },
     [](Scene& s, const ProjectRecoveryReport& r) {
         ASSERT_EQ(r.failures.size(), 1u);
         EXPECT_EQ(r.failures[0].error, "Measurement directory already exists");
         EXPECT_EQ(fileText(recordingStagingPath(s.measurements, "m2")), rawBytes(6 * kFrameBytes, 'z'));
     },
     {"m1", "m2", "m3"}},
    {"FoldersNamedAsTheListRefusesStayUnregistered",
     [](Scene& s) {
         for (const char* name : {"a\\b", "C:x", "measurements", ".C:y.creating"}) {
             s.commit("m2");
             MeasurementRecord m = readMeasurementManifest(s.measurements / "m2");
             m.measurementId = std::string(name).starts_with('.') ? "C:y" : name;
             writeText(s.measurements / "m2" / "manifest.json", writeMeasurementManifest(m));
             s.hideAs("m2", name);
         }
     },
     [](Scene& s, const ProjectRecoveryReport& r) {
         Names failed;
         for (const auto& failure : r.failures) {
             failed.push_back(failure.path);
             EXPECT_EQ(failure.error, "folder name is not a Measurement name") << failure.path;
         }
         EXPECT_EQ(failed, (Names{"measurements/.C:y.creating", "measurements/C:x", "measurements/a\\b",
                                  "measurements/measurements"}));
         EXPECT_EQ(entryNames(s.measurements),
                   (Names{".C:y.creating", "C:x", "a\\b", "m1", "m3", "measurements"}));
     },
     {"m1", "m3"}},
    {"RunStagingWhoseMapFailsItsChecksumIsRemoved",
     [](Scene& s) {
         s.saveRun("a1");
         std::string map = fileText(s.run("a1") / "map.bin");
         map[100] ^= 0x01;  // a value of the map: the size and the format stay whole
         writeText(s.run("a1") / "map.bin", map);
         fs::rename(s.run("a1"), s.run(".a1.creating"));
     },
     [](Scene& s, const ProjectRecoveryReport& r) {
         EXPECT_TRUE(r.recoveredRuns.empty());
         EXPECT_EQ(r.removedLeftovers, Names{"measurements/m1/analyses/.a1.creating"});
         EXPECT_TRUE(listAnalysisRuns(s.measurements / "m1").empty());
     },
     {"m1", "m3"}},
    {"AFrameCountThatWrapsToAnEmptyRawFileIsNoMatch",
     [](Scene& s) {
         s.commit("m2");
         MeasurementRecord m = readMeasurementManifest(s.measurements / "m2");
         m.totalFrames = std::uint64_t{1} << 63;  // times 8 bytes a frame wraps to 0
         writeText(s.measurements / "m2" / "manifest.json", writeMeasurementManifest(m));
         fs::resize_file(s.measurements / "m2" / "raw.int16", 0);
     },
     [](Scene&, const ProjectRecoveryReport& r) {
         ASSERT_EQ(r.failures.size(), 1u);
         EXPECT_EQ(r.failures[0].error, "raw file size does not match its frame count");
     },
     {"m1", "m3"}},
    {"RecordingsDatedPast2262OrBefore1882AreRecovered",
     [](Scene& s) {
         s.leaveRecording("m2", rawBytes(6 * kFrameBytes, 'z'), s.describe("m2"));
         s.leaveRecording("m4", rawBytes(6 * kFrameBytes, 'y'), s.describe("m4"));
         setModified(recordingStagingPath(s.measurements, "m2"), 10413792000);  // 2300-01-01
         setModified(recordingStagingPath(s.measurements, "m4"), -5364662400);  // 1800-01-01
     },
     [](Scene& s, const ProjectRecoveryReport& r) {
         EXPECT_EQ(r.recoveredRecordings, (Names{"m2", "m4"}));
         // The library refuses times past 2262 and before 1882: the recovery's own time stands in. (ext4
         // clamps 1800 to the first second 32 bits hold.)
         for (const char* id : {"m2", "m4"}) {
             const std::string ended = readMeasurementManifest(s.measurements / id).endedAt;
             EXPECT_EQ(ended.size(), 20u) << id;
             EXPECT_TRUE(ended >= utcTimestampNow().substr(0, 10) || ended == "1901-12-13T20:45:52Z")
                 << id << " " << ended;
         }
     },
     {"m1", "m2", "m4", "m3"}},
    {"ADanglingLinkNamedAsTheStagingFolderDoesNotBlockTheRecovery",
     [](Scene& s) {
         s.leaveRecording("m2", rawBytes(6 * kFrameBytes, 'z'), s.describe("m2"));
         fs::create_symlink(s.folder / "nowhere", s.measurements / ".m2.creating");
     },
     [](Scene& s, const ProjectRecoveryReport& r) {
         EXPECT_EQ(r.recoveredRecordings, Names{"m2"});
         EXPECT_EQ(fileText(s.measurements / "m2" / "raw.int16"), rawBytes(6 * kFrameBytes, 'z'));
         EXPECT_EQ(entryNames(s.measurements), (Names{"m1", "m2", "m3"}));
     },
     {"m1", "m2", "m3"}},
    {"TemporariesOfRewritesGoOtherHiddenFilesStay",
     [](Scene& s) {
         for (const fs::path& path :
              {s.project / ".project.json.123-0.tmp", s.measurements / ".m9.recording.json.4-2.tmp",
               s.measurements / "m1" / ".manifest.json.9876543210-17.tmp",
               s.measurements / "m1" / "derived" / ".csm_0a.bin.5-1.tmp", s.project / ".x.tmp",
               s.measurements / "m1" / ".a-1.tmp"}) {
             fs::create_directories(path.parent_path());
             writeText(path, "partial");
         }
         writeText(s.measurements / ".m8.recording.json", s.describe("m8"));  // its samples are gone
     },
     [](Scene& s, const ProjectRecoveryReport& r) {
         EXPECT_EQ(r.removedTemporaries,
                   (Names{".project.json.123-0.tmp", "measurements/.m9.recording.json.4-2.tmp",
                          "measurements/m1/.manifest.json.9876543210-17.tmp",
                          "measurements/m1/derived/.csm_0a.bin.5-1.tmp"}));
         EXPECT_EQ(r.removedLeftovers, Names{"measurements/.m8.recording.json"});
         EXPECT_EQ(entryNames(s.project), (Names{".x.tmp", "measurements", "project.json"}));
         EXPECT_EQ(entryNames(s.measurements / "m1"),
                   (Names{".a-1.tmp", "derived", "device_profile.json", "manifest.json", "raw.int16"}));
     },
     {"m1", "m3"}},
};

class ProjectRecovery : public ::testing::TestWithParam<Case> {};

TEST_P(ProjectRecovery, FinishesOrRemovesWhatACrashLeft) {
    Scene scene;
    GetParam().arrange(scene);
    ProjectRecord record = loadProject(scene.project);
    const ProjectRecoveryReport report = recoverProject(record);
    GetParam().check(scene, report);
    EXPECT_EQ(record.measurements, GetParam().registered);
    EXPECT_EQ(loadProject(scene.project).measurements, GetParam().registered);
    // A second open finds nothing more to do.
    const ProjectRecoveryReport again = recoverProject(record);
    EXPECT_FALSE(again.changedProjectFile());
    EXPECT_TRUE(again.removedLeftovers.empty() && again.removedTemporaries.empty() &&
                again.recoveredRuns.empty());
}

INSTANTIATE_TEST_SUITE_P(Leftovers, ProjectRecovery, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) { return info.param.name; });

TEST(ProjectRecoveryOrder, ARecoveredMeasurementStartedFirstGoesFirst) {
    Scene scene;
    scene.commit("m0");
    ProjectRecord record = loadProject(scene.project);
    recoverProject(record);
    EXPECT_EQ(record.measurements, (Names{"m0", "m1", "m3"}));
}

// A deletion is finished only under the Project's lock: while another program holds the list, the
// folder moved aside stays and stays listed, and the next open finishes it.
TEST(ProjectRecoveryDeletion, WaitsWhileAnotherProgramHoldsTheList) {
    Scene scene;
    scene.hideAs("m3", measurementDeletionPath(scene.measurements, "m3").filename().string());
    ProjectRecord record = loadProject(scene.project);
    {
        EntryLock otherProgram;
        ASSERT_EQ(EntryLock::take(scene.project, otherProgram), EntryLock::Take::Taken);
        const ProjectRecoveryReport report = recoverProject(record);
        EXPECT_EQ(report.inUse, Names{"project.json"});
        EXPECT_TRUE(report.removedLeftovers.empty());
        EXPECT_EQ(entryNames(scene.measurements), (Names{".m3.deleting", "m1"}));
        EXPECT_EQ(loadProject(scene.project).measurements, (Names{"m1", "m3"}));
    }
    const ProjectRecoveryReport report = recoverProject(record);
    EXPECT_EQ(report.removedLeftovers, Names{"measurements/.m3.deleting"});
    EXPECT_EQ(loadProject(scene.project).measurements, Names{"m1"});
}

}  // namespace
}  // namespace zk::core
