#include "core/storage/file_io.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <ostream>
#include <string>

#include "core/storage/analysis_map.h"
#include "core/storage/analysis_run_store.h"
#include "core/storage/device_profile.h"
#include "core/storage/fnv1a.h"
#include "core/storage/measurement_store.h"
#include "core/storage/profile_store.h"
#include "core/storage/project_store.h"
#include "core/streaming/replay_source.h"
#include "device_profile_test_support.h"
#include "storage/storage_test_support.h"
#include "test_support.h"

namespace zk::core {
namespace {

namespace fs = std::filesystem;

// Whole-file reads, chunk boundaries and open or read failures are covered through hashFile,
// readWholeFile and loadDeviceProfile; these are the bound and the write side.
TEST(FileIo, BoundedReadNeverHoldsMoreThanTheBound) {
    zk::test::TempFolder folder;
    const std::string bytes(2 * kFileChunkBytes + 5, 'b');
    ASSERT_EQ(writeWholeFile(folder / "f", bytes), FileWriteStatus::Ok);
    std::string read = "stale";
    EXPECT_EQ(readFileBounded(folder / "f", bytes.size(), read), FileReadStatus::Ok);
    EXPECT_EQ(read, bytes);
    for (const std::size_t bound : {bytes.size() - 1, kFileChunkBytes, std::size_t{0}}) {
        EXPECT_EQ(readFileBounded(folder / "f", bound, read), FileReadStatus::TooLarge) << bound;
        EXPECT_LE(read.size(), bound);
    }
    // A sparse file past the bound stops at the bound, never read whole.
    fs::resize_file(folder / "f", std::uintmax_t{1} << 32);
    EXPECT_EQ(readFileBounded(folder / "f", std::size_t{1} << 20, read), FileReadStatus::TooLarge);
    EXPECT_LE(read.size(), std::size_t{1} << 20);
}

TEST(FileIo, WriteFailuresAreReported) {
    zk::test::TempFolder folder;
    EXPECT_EQ(writeWholeFile(folder / "missing" / "f", std::string_view("ab")), FileWriteStatus::CannotOpen);
    FileHandle empty;
    EXPECT_TRUE(closeFile(empty));
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full to fail a write";
    // The bytes sit in the stdio buffer until the close, so the failure shows only there.
    EXPECT_EQ(writeWholeFile("/dev/full", std::string_view("ab")), FileWriteStatus::WriteFailed);
}

// A named pipe in place of a Project file: every reader refuses it at once with its own "cannot
// open" text (a writer that never comes would otherwise block it for good). Each read runs in a child
// with a deadline, so a reader that blocks fails the test instead of hanging it.
struct PipeReader {
    const char* name;
    const char* file;      // the pipe's name inside the folder
    const char* expected;  // "{folder}" stands for the folder's path
    std::function<std::string(const fs::path& folder)> read;
};

void PrintTo(const PipeReader& reader, std::ostream* out) { *out << reader.name; }

std::string nullOrOpened(std::FILE* file) {
    const FileHandle owned(file);
    return owned ? "opened" : "refused";
}

class RegularFilesOnly : public ::testing::TestWithParam<PipeReader> {};

TEST_P(RegularFilesOnly, APipeIsRefusedWithoutWaiting) {
    const PipeReader& reader = GetParam();
    zk::test::TempFolder folder;
    ASSERT_EQ(::mkfifo((folder / reader.file).c_str(), 0600), 0);
    std::string expected = reader.expected;
    if (const std::size_t at = expected.find("{folder}"); at != std::string::npos)
        expected.replace(at, 8, folder.path().string());
    EXPECT_EQ(zk::test::runWithDeadline(10, [&] { return reader.read(folder.path()); }), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Readers, RegularFilesOnly,
    ::testing::Values(
        PipeReader{"OpenForReading", "f", "refused",
                   [](const fs::path& d) { return nullOrOpened(openFileForReading(d / "f").release()); }},
        PipeReader{
            "OpenThroughDirectory", "f", "refused",
            [](const fs::path& d) { return nullOrOpened(DirectoryHandle(d).openFileForBinaryRead("f")); }},
        PipeReader{"ProjectFile", "project.json", "cannot open project.json: {folder}/project.json",
                   [](const fs::path& d) { return loadProject(d).name; }},
        PipeReader{"MeasurementManifest", "manifest.json", "cannot open measurement manifest",
                   [](const fs::path& d) { return readMeasurementManifest(d).measurementId; }},
        PipeReader{"AnalysisManifest", "analysis.json", "cannot open analysis manifest",
                   [](const fs::path& d) { return readAnalysisRun(d).analysisId; }},
        PipeReader{"AnalysisMap", "map.bin", "cannot open Analysis map",
                   [](const fs::path& d) { return std::to_string(readAnalysisMap(d / "map.bin").width); }},
        PipeReader{"FrozenDeviceProfile", "device_profile.json", "cannot open device profile",
                   [](const fs::path& d) { return loadDeviceProfile(d / "device_profile.json").profileId; }},
        PipeReader{"ProfileStore", "a.json", "cannot open: {folder}/a.json",
                   [](const fs::path& d) { return readWholeFile(d / "a.json"); }},
        PipeReader{"RawHash", "raw.int16", "cannot open file for hashing: {folder}/raw.int16",
                   [](const fs::path& d) { return std::to_string(hashFile(d / "raw.int16")); }},
        PipeReader{"Replay", "raw.int16", "cannot open replay raw file",
                   [](const fs::path& d) {
                       ReplaySource replay(d / "raw.int16");
                       replay.configure(parseDeviceProfile(zk::test::ProfileText{}.str()));
                       replay.start();
                       return std::string("started");
                   }}),
    [](const ::testing::TestParamInfo<PipeReader>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zk::core
