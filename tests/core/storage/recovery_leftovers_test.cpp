// What recovery does with the leftovers of unfinished exports, noise-floor saves and camera videos,
// and with entries a living writer holds.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "analysis_test_support.h"
#include "core/platform/file_platform.h"
#include "core/storage/analysis_run_store.h"
#include "core/storage/measurement_store.h"
#include "core/storage/project_recovery.h"
#include "core/storage/recording.h"
#include "core/storage/staged_commit.h"
#include "core/storage/video_file.h"
#include "core/streaming/noise_floor_profile.h"
#include "storage/recording_pattern.h"
#include "storage/storage_test_support.h"
#include "streaming/noise_floor_test_support.h"
#include "test_support.h"

namespace zk::core {
namespace {

namespace fs = std::filesystem;
using zk::test::entryNames;
using zk::test::fileText;
using Names = std::vector<std::string>;

void writeText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    zk::test::writeText(path, text);
}

std::string box(const char* type, const std::string& payload) {
    const std::uint32_t size = static_cast<std::uint32_t>(8 + payload.size());
    std::string out{static_cast<char>(size >> 24), static_cast<char>(size >> 16),
                    static_cast<char>(size >> 8), static_cast<char>(size)};
    return out + type + payload;
}

// A box whose size field is 1, followed by a 64-bit size.
std::string largeBox(const char* type, const std::string& payload) {
    const std::uint64_t size = 16 + payload.size();
    std::string out{0, 0, 0, 1};
    out += type;
    for (int shift = 56; shift >= 0; shift -= 8) out.push_back(static_cast<char>(size >> shift));
    return out + payload;
}

const std::string kFtyp = box("ftyp", "isomiso2");
const std::string kMoov = box("moov", box("mvhd", std::string(100, 'v')));
const std::string kMdat = box("mdat", std::string(300, 'd'));

TEST(WholeMp4File, OnlyAFileWhoseBoxesTileItAndHoldTheMovieIsWhole) {
    const struct {
        const char* name;
        std::string bytes;
        bool whole;
    } cases[] = {
        {"finished", kFtyp + kMdat + kMoov, true},
        {"movie first", kFtyp + kMoov + kMdat, true},
        {"64-bit box size", kFtyp + largeBox("mdat", std::string(50, 'd')) + kMoov, true},
        {"last box to the end", kFtyp + kMoov + std::string{0, 0, 0, 0} + "mdat" + std::string(40, 'd'),
         true},
        {"no movie (the recorder died)", kFtyp + kMdat, false},
        {"movie cut short", kFtyp + kMdat + kMoov.substr(0, kMoov.size() - 1), false},
        {"bytes after the last box", kFtyp + kMdat + kMoov + "xyz", false},
        {"box smaller than its header", kFtyp + std::string{0, 0, 0, 4} + "moov", false},
        // Read as 8 bytes long, the box would end inside its size, which reads as a last box.
        {"64-bit box smaller than its header",
         kFtyp + std::string{0, 0, 0, 1} + "moov" + std::string(7, '\0') + "\x08", false},
        {"empty", "", false},
    };
    zk::test::TempFolder folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeText(folder / "v.mp4", c.bytes);
        EXPECT_EQ(isWholeMp4File(folder / "v.mp4"), c.whole);
    }
    EXPECT_FALSE(isWholeMp4File(folder / "absent.mp4"));
}

// A Project with the registered Measurement "m", whose template is copied to a fresh folder.
struct RecoveryLeftovers : ::testing::Test {
    zk::test::TempFolder folder;
    fs::path project = folder / "p";
    fs::path measurements = project / "measurements";
    fs::path exports = project / "exports";
    std::string profile = zk::test::threeChannelProfile();
    std::string samples = zk::test::bytesOf(zk::test::samplesFrom(0, 3 * 50));

    void SetUp() override {
        createProject(project, "p");
        Recording recording(project, "m", profile, "s");
        recording.append(zk::test::samplesFrom(0, 3 * 10));
        recording.finalize("");
    }
    // The leftovers of a Recording "m2" whose program died (or that `writer` still records), with its
    // camera video.
    void leaveRecording(const std::string& video, const WriterIdentity& writer = {}) {
        writeText(recordingStagingPath(measurements, "m2"), samples);
        writeText(recordingDescriptionPath(measurements, "m2"),
                  writeRecordingDescription({"m2", profile, "s", "2030-01-01T00:00:00Z", writer.host,
                                             writer.processId, writer.scope}));
        if (!video.empty()) writeText(measurements / ".m2.camera.tmp.mp4", video);
    }
    ProjectRecoveryReport open() {
        ProjectRecord record = loadProject(project);
        return recoverProject(record);
    }
};

TEST_F(RecoveryLeftovers, ARecoveredRecordingKeepsItsFinishedCameraVideo) {
    const std::string video = kFtyp + kMdat + kMoov;
    leaveRecording(video);
    const ProjectRecoveryReport report = open();
    EXPECT_EQ(report.recoveredRecordings, Names{"m2"});
    EXPECT_TRUE(report.discardedVideos.empty());
    EXPECT_EQ(readMeasurementManifest(measurements / "m2").videoFile, "video_camera.mp4");
    EXPECT_EQ(fileText(measurements / "m2" / "video_camera.mp4"), video);
    EXPECT_EQ(entryNames(measurements), (Names{"m", "m2"}));
}

TEST_F(RecoveryLeftovers, ARecoveredRecordingDropsAnUnfinishedCameraVideoAndNamesItOnce) {
    leaveRecording(kFtyp + kMdat);
    const ProjectRecoveryReport report = open();
    EXPECT_EQ(report.recoveredRecordings, Names{"m2"});
    EXPECT_EQ(report.discardedVideos, Names{"measurements/.m2.camera.tmp.mp4"});
    EXPECT_EQ(readMeasurementManifest(measurements / "m2").videoFile, "");
    EXPECT_EQ(entryNames(measurements), (Names{"m", "m2"}));
    EXPECT_TRUE(open().discardedVideos.empty());
}

// The stop watchdog finalizes without the video, and the program may end before the recorder stops.
TEST_F(RecoveryLeftovers, ACameraVideoWithoutItsRecordingGoes) {
    writeText(measurements / ".m1.camera.tmp.mp4", kFtyp + kMdat + kMoov);
    EXPECT_EQ(open().removedLeftovers, Names{"measurements/.m1.camera.tmp.mp4"});
    EXPECT_EQ(entryNames(measurements), Names{"m"});
}

TEST_F(RecoveryLeftovers, AnUnfinishedExportGoesAndAnOlderExportSetAsideComesBack) {
    writeText(exports / ".a1.exporting" / "map.csv", "partial");
    writeText(exports / ".a2.replaced" / "map.csv", "older a2");  // set aside, the new one never came
    writeText(exports / ".a3.replaced" / "map.csv", "older a3");  // set aside, the new one is in place
    writeText(exports / "a3" / "map.csv", "newer a3");
    const ProjectRecoveryReport report = open();
    EXPECT_EQ(report.removedLeftovers, Names{"exports/.a1.exporting"});
    EXPECT_EQ(entryNames(exports), (Names{"a2", "a3"}));
    EXPECT_EQ(fileText(exports / "a2" / "map.csv"), "older a2");
    EXPECT_EQ(fileText(exports / "a3" / "map.csv"), "newer a3");
}

TEST_F(RecoveryLeftovers, AnUnfinishedNoiseFloorSaveGoesAndAPairSetAsideComesBack) {
    saveNoiseFloorProfile(project, zk::test::taggedProfile(4, 64, 1));
    fs::rename(project / "noise_floor", project / ".noise_floor.retired");
    writeText(project / ".noise_floor.staging" / "noise_floor.bin", std::string(1000, 'n'));
    const ProjectRecoveryReport report = open();
    EXPECT_EQ(report.removedLeftovers, Names{".noise_floor.staging"});
    EXPECT_EQ(loadNoiseFloorProfile(project).averagedFrames, 1u);
    std::error_code missing;
    EXPECT_FALSE(fs::exists(project / ".noise_floor.retired", missing));
}

// Every kind of staged entry, held as its living writer holds it: left alone and named once, then
// handled by the first open after the writer let go.
TEST_F(RecoveryLeftovers, WhatALivingWriterHoldsIsLeftAloneAndNamedOnce) {
    leaveRecording(kFtyp + kMdat);
    fs::create_directories(measurements / ".m3.creating");
    fs::create_directories(measurements / "m" / "analyses" / ".a1.creating");
    fs::create_directories(exports / ".a1.exporting");
    writeText(project / ".project.json.1-1.tmp", "partial");
    writeText(project / ".noise_floor.staging" / "noise_floor.bin", "partial");
    writeText(project / ".noise_floor.lock", "");
    writeText(measurements / ".m9.deleting" / "raw.int16", "x");
    const Names heldPaths = {"measurements/.m2.recording.raw.tmp",
                             "measurements/.m3.creating",
                             "measurements/m/analyses/.a1.creating",
                             "exports/.a1.exporting",
                             ".project.json.1-1.tmp",
                             ".noise_floor.lock",
                             "measurements/.m9.deleting"};
    std::vector<EntryLock> held(heldPaths.size());
    for (std::size_t i = 0; i < heldPaths.size(); ++i)
        ASSERT_EQ(EntryLock::take(project / heldPaths[i], held[i]), EntryLock::Take::Taken);

    const ProjectRecoveryReport report = open();
    EXPECT_FALSE(report.unguarded);
    Names inUse = report.inUse;
    Names expected = heldPaths;
    std::sort(inUse.begin(), inUse.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(inUse, expected);
    EXPECT_TRUE(report.removedLeftovers.empty() && report.removedTemporaries.empty());
    EXPECT_TRUE(report.recoveredRecordings.empty() && report.failures.empty());
    EXPECT_TRUE(fs::exists(measurements / ".m2.camera.tmp.mp4")) << "the video of a living Recording stays";

    held.clear();
    const ProjectRecoveryReport after = open();
    EXPECT_TRUE(after.inUse.empty());
    EXPECT_EQ(after.recoveredRecordings, Names{"m2"});
    EXPECT_EQ(entryNames(measurements), (Names{"m", "m2"})) << "nothing left hidden";
    EXPECT_EQ(entryNames(measurements / "m" / "analyses"), Names{});
    EXPECT_EQ(entryNames(exports), Names{});
    EXPECT_EQ(entryNames(project), (Names{".noise_floor.lock", "exports", "measurements", "project.json"}));
}

// Where the folder takes no locks, the entries a living writer would hold are left alone while they
// may be in use: a Recording while the program its description names runs, the rest while they
// changed within the hour. Once they aged, or that program ended, the next open handles them.
TEST_F(RecoveryLeftovers, WhereLocksFailWhatMayBeInUseIsLeftAloneUntilItAgedOrItsWriterEnded) {
    const zk::test::LocksFail locksFail;
    leaveRecording(kFtyp + kMdat, thisWriter());
    const Names staged = {".project.json.1-1.tmp", "exports/.a1.exporting", "measurements/.m3.creating",
                          "measurements/m/analyses/..a2.creating.5-1.tmp",
                          "measurements/m/analyses/.a1.creating"};
    writeText(project / staged[0], "partial");
    for (std::size_t i = 1; i < staged.size(); ++i) fs::create_directories(project / staged[i]);
    const std::string recording = "measurements/.m2.recording.raw.tmp";

    ProjectRecoveryReport report = open();
    EXPECT_TRUE(report.unguarded);
    Names inUse = report.inUse;
    std::sort(inUse.begin(), inUse.end());
    EXPECT_EQ(inUse, (Names{staged[0], staged[1], recording, staged[2], staged[3], staged[4]}));
    EXPECT_TRUE(report.removedLeftovers.empty() && report.removedTemporaries.empty());

    const fs::file_time_type hoursAgo = fs::file_time_type::clock::now() - std::chrono::hours(2);
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(project))
        fs::last_write_time(entry.path(), hoursAgo);
    report = open();
    EXPECT_EQ(report.inUse, Names{recording}) << "its program still runs";
    Names handled = report.removedLeftovers;
    handled.insert(handled.end(), report.removedTemporaries.begin(), report.removedTemporaries.end());
    std::sort(handled.begin(), handled.end());
    EXPECT_EQ(handled, staged);

    const pid_t ended = ::fork();
    if (ended == 0) ::_exit(0);
    ::waitpid(ended, nullptr, 0);
    leaveRecording(kFtyp + kMdat, {thisWriter().host, ended, thisWriter().scope});
    report = open();
    EXPECT_TRUE(report.inUse.empty());
    EXPECT_EQ(report.recoveredRecordings, Names{"m2"});
    EXPECT_EQ(entryNames(measurements), (Names{"m", "m2"})) << "nothing left hidden";
}

}  // namespace
}  // namespace zk::core
