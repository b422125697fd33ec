// A Recording that fills the disk to the last byte still becomes a Measurement: in its own finalize,
// and through the recovery after a crash. The room the finalize needs is kept from the start.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/storage/project_recovery.h"
#include "core/storage/project_store.h"
#include "core/storage/recording.h"
#include "storage/storage_test_support.h"
#include "test_support.h"

namespace zk::core {
namespace {

namespace fs = std::filesystem;
using zk::test::entryNames;
using zk::test::fileText;
using zk::test::SmallTmpfs;

// The 128-channel profile: its frozen copy (12.7 KB) is most of what a finalize writes.
std::string largeProfile() { return fileText(fs::path(ZK_PROFILES_DIR) / "TM27-128-H1.6.2.device.json"); }

std::uint64_t allocatedBytes(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return static_cast<std::uint64_t>(info.st_blocks) * 512;
}

// A block of 64 frames of 128 channels whose bytes tell their place.
std::vector<std::int16_t> blockNumber(int n) {
    std::vector<std::int16_t> block(64 * 128);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<std::int16_t>(n * 7919 + static_cast<int>(i) * 31);
    return block;
}

// Appends blocks until the file system refuses one; returns the blocks appended whole. Sticky after
// the first failure, so the file holds a prefix of them.
int appendUntilFull(Recording& recording) {
    for (int n = 0; n < 100000; ++n) {
        try {
            recording.append(blockNumber(n));
        } catch (const std::runtime_error&) {
            return n;
        }
    }
    ADD_FAILURE() << "the disk never filled";
    return 0;
}

std::string bytesOfBlocks(int count) {
    std::string bytes;
    for (int n = 0; n < count; ++n) {
        const std::vector<std::int16_t> block = blockNumber(n);
        bytes.append(reinterpret_cast<const char*>(block.data()), block.size() * 2);
    }
    return bytes;
}

// Everything the finalize writes fits in the room the description kept, measured on the disk the
// tests run on (no mount needed): the frozen profile, the manifest and the new project.json.
TEST(RecordingReserve, TheDescriptionKeepsTheRoomTheFinalizeWrites) {
    zk::test::TempFolder folder;
    const fs::path project = folder / "p";
    createProject(project, std::string(3000, 'n'));  // a project.json of a few blocks
    const std::string profile = largeProfile();
    Recording recording(project, "m1", profile, "udp");
    const fs::path description = recordingDescriptionPath(project / "measurements", "m1");
    const std::uint64_t textBytes = writeRecordingDescription(readRecordingDescription(description)).size();
    const std::uint64_t kept = allocatedBytes(description) - (textBytes + 4095) / 4096 * 4096;
    recording.append(blockNumber(0));
    const MeasurementRecord m = recording.finalize("").measurement;
    const std::uint64_t written = allocatedBytes(m.directory / "device_profile.json") +
                                  allocatedBytes(m.directory / "manifest.json") +
                                  allocatedBytes(project / "project.json");
    // Each file takes whole blocks, and the folders the finalize makes or grows take a few more.
    EXPECT_GE(kept, written + 4 * 4096);
    EXPECT_LT(kept, written + (64u << 10)) << "kept far more than needed";
    EXPECT_EQ(entryNames(project / "measurements"), std::vector<std::string>{"m1"});
}

// The cut removes only the blanks: the description reads as before, and a second cut changes nothing.
TEST(RecordingReserve, ReleasingKeepsTheDescription) {
    zk::test::TempFolder folder;
    const fs::path project = folder / "p";
    createProject(project, "p");
    Recording recording(project, "m1", largeProfile(), "udp");
    const fs::path description = recordingDescriptionPath(project / "measurements", "m1");
    const RecordingDescription before = readRecordingDescription(description);
    EXPECT_TRUE(releaseRecordingReserve(description));
    EXPECT_EQ(fs::file_size(description), writeRecordingDescription(before).size());
    EXPECT_EQ(readRecordingDescription(description), before);
    EXPECT_TRUE(releaseRecordingReserve(description));
    EXPECT_EQ(fs::file_size(description), writeRecordingDescription(before).size());
    EXPECT_FALSE(releaseRecordingReserve(folder / "absent"));
}

TEST(RecordingFullTmpfs, FinalizesWithTheWholeFramesItHoldsAndSoDoesTheRecoveryAfterACrash) {
    zk::test::TempFolder folder;
    const SmallTmpfs disk(folder / "disk", "3m");
    if (!disk.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here: " << disk.error();
    const fs::path project = folder / "disk" / "p";
    createProject(project, "p");
    const fs::path measurements = project / "measurements";
    const std::string profile = largeProfile();

    {
        Recording recording(project, "m1", profile, "udp");
        const int whole = appendUntilFull(recording);
        ASSERT_GT(whole, 0);
        const RecordingResult result = recording.finalize("");
        const std::string raw = fileText(measurements / "m1" / "raw.int16");
        EXPECT_EQ(raw.size(), result.bytesWritten);
        EXPECT_EQ(raw.size() % (2 * 128), 0u) << "whole frames only";
        EXPECT_EQ(raw, bytesOfBlocks(whole + 1).substr(0, raw.size())) << "a prefix of what was appended";
        EXPECT_GE(raw.size(), bytesOfBlocks(whole).size() - (std::size_t{1} << 20))
            << "at most the stream's buffer is lost";
        EXPECT_EQ(fileText(measurements / "m1" / "device_profile.json"), profile);
    }
    EXPECT_EQ(loadProject(project).measurements, std::vector<std::string>{"m1"});
    EXPECT_EQ(entryNames(measurements), std::vector<std::string>{"m1"});

    // Room for a second Recording, which fills the disk again and whose program dies without a finalize.
    fs::remove_all(measurements / "m1");
    loadProject(project).unregisterMeasurement("m1");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        try {
            auto recording = std::make_unique<Recording>(project, "m2", profile, "udp");
            for (int n = 0; n < 100000; ++n) {
                try {
                    recording->append(blockNumber(n));
                } catch (const std::runtime_error&) {
                    std::_Exit(0);  // as a kill: no destructor, no finalize
                }
            }
        } catch (...) {
        }
        std::_Exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the second Recording never filled the disk";
    ProjectRecord record = loadProject(project);
    const ProjectRecoveryReport report = recoverProject(record);
    EXPECT_EQ(report.recoveredRecordings, std::vector<std::string>{"m2"});
    EXPECT_TRUE(report.failures.empty()) << report.failures.front().error;
    EXPECT_EQ(loadProject(project).measurements, std::vector<std::string>{"m2"});
    const std::string raw = fileText(measurements / "m2" / "raw.int16");
    EXPECT_GT(raw.size(), 0u);
    EXPECT_EQ(raw, bytesOfBlocks(static_cast<int>(raw.size() / (64 * 128 * 2)) + 1).substr(0, raw.size()));
    EXPECT_EQ(entryNames(measurements), std::vector<std::string>{"m2"});
}

}  // namespace
}  // namespace zk::core
