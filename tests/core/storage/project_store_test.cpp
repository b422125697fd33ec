#include "core/storage/project_store.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>
#include <vector>

#include "core/storage/lock_wait.h"
#include "storage/storage_test_support.h"
#include "test_support.h"

namespace zk::core {
namespace {

namespace fs = std::filesystem;
using zk::test::entryNames;
using zk::test::expectThrowExactly;
using zk::test::fileText;
using zk::test::quoted;
using zk::test::writeText;

std::string projectFile(const std::string& id, const std::string& nameText, const std::string& created,
                        const std::string& modified, const std::string& notesText,
                        const std::string& measurementsLine) {
    return zk::test::flatJsonFile({{"schemaVersion", "1"},
                                   {"projectId", quoted(id)},
                                   {"name", quoted(nameText)},
                                   {"createdAt", quoted(created)},
                                   {"modifiedAt", quoted(modified)},
                                   {"notes", quoted(notesText)},
                                   {"measurements", measurementsLine}});
}

TEST(ProjectStore, WritesTheFileByteForByte) {
    ProjectRecord record;
    record.projectId = "zkproj-0123456789abcdef";
    record.name = "Hall \"A\" \\ 2";
    record.createdAt = "2026-03-01T09:05:07Z";
    record.modifiedAt = "2026-03-02T10:00:00Z";
    record.notes = "line\nnext\ttab";
    record.measurements = {"m1", "m \"2\""};
    EXPECT_EQ(writeProjectJson(record),
              projectFile("zkproj-0123456789abcdef", "Hall \\\"A\\\" \\\\ 2", "2026-03-01T09:05:07Z",
                          "2026-03-02T10:00:00Z", "line\\nnext\\ttab", R"(["m1", "m \"2\""])"));
    record.directory = "d";
    EXPECT_EQ(parseProjectJson("d", writeProjectJson(record)), record);
    record.measurements.clear();
    EXPECT_NE(writeProjectJson(record).find("  \"measurements\": []\n}\n"), std::string::npos);
}

TEST(ProjectStore, CreateSavesANewProject) {
    zk::test::TempFolder folder;
    const ProjectRecord project = createProject(folder / "a" / "b", "Hall \"A\" \\");
    EXPECT_TRUE(std::regex_match(project.projectId, std::regex("zkproj-[0-9a-f]{16}"))) << project.projectId;
    EXPECT_EQ(project.createdAt.size(), 20u);
    EXPECT_EQ(project.modifiedAt, project.createdAt);
    EXPECT_EQ(fileText(folder / "a" / "b" / "project.json"),
              projectFile(project.projectId, "Hall \\\"A\\\" \\\\", project.createdAt, project.createdAt, "",
                          "[]"));
    EXPECT_EQ(loadProject(folder / "a" / "b"), project);
    EXPECT_EQ(entryNames(folder / "a" / "b"), std::vector<std::string>{"project.json"});
}

// Derived from the lengths alone, ids of projects with names of equal length would collide.
TEST(ProjectStore, IdsDoNotCollide) {
    zk::test::TempFolder folder;
    std::set<std::string> ids;
    for (int i = 0; i < 20; ++i) {
        ids.insert(createProject(folder / ("same" + std::to_string(i)), "same").projectId);
        ids.insert(
            createProject(folder / ("other" + std::to_string(i)), "name" + std::to_string(i % 10)).projectId);
    }
    EXPECT_EQ(ids.size(), 40u);
}

TEST(ProjectStore, RegisterAndUnregister) {
    zk::test::TempFolder folder;
    ProjectRecord project = createProject(folder.path(), "p");
    const zk::test::ProjectFileWritesWatch watch;
    project.registerMeasurement("m1");
    project.registerMeasurement("m2");
    EXPECT_NE(fileText(folder / "project.json").find("  \"measurements\": [\"m1\", \"m2\"]\n"),
              std::string::npos);
    const std::string before = fileText(folder / "project.json");
    expectThrowExactly<std::invalid_argument>([&] { project.registerMeasurement("m1"); },
                                              "measurement directory already registered");
    EXPECT_EQ(project.measurements, (std::vector<std::string>{"m1", "m2"}));
    EXPECT_EQ(fileText(folder / "project.json"), before);

    // A stale modifiedAt shows whether an unlisted name saved the file.
    project.modifiedAt = "2000-01-01T00:00:00Z";
    project.unregisterMeasurement("absent");
    EXPECT_EQ(fileText(folder / "project.json"), before);
    project.unregisterMeasurement("m1");
    const ProjectRecord loaded = loadProject(folder.path());
    EXPECT_EQ(loaded.measurements, std::vector<std::string>{"m2"});
    EXPECT_NE(loaded.modifiedAt, "2000-01-01T00:00:00Z");
    EXPECT_EQ(loaded, project);
    EXPECT_EQ(watch.unlocked(), 0) << "project.json written after its lock was released";
}

// The list changes under the lock of the Project folder, also when the Project is reached through a
// link: another holder of the lock (here the test, as another program) keeps a change from starting.
TEST(ProjectStore, AChangeThroughALinkWaitsForTheLockOfTheFolderItself) {
    zk::test::TempFolder folder;
    createProject(folder / "real", "p");
    fs::create_directory_symlink(folder / "real", folder / "link");
    ProjectRecord record = loadProject(folder / "link");
    EntryLock otherProgram;
    ASSERT_EQ(EntryLock::take(folder / "real", otherProgram), EntryLock::Take::Taken);
    const auto edit = [](ProjectRecord&) { return false; };
    EXPECT_FALSE(record.change(edit, false));
    otherProgram.release();
    EXPECT_TRUE(record.change(edit, false));
}

// A Project that another program deleted, or moved aside to delete it, is never made again by a change
// of its list, which says instead that the Project is gone.
TEST(ProjectStore, AChangeOfAProjectAnotherProgramDeletedMakesNothingAgain) {
    for (const bool movedAside : {false, true}) {
        SCOPED_TRACE(movedAside ? "moved aside" : "removed");
        zk::test::TempFolder folder;
        ProjectRecord record = createProject(folder / "p", "p");
        const std::string before = fileText(folder / "p" / "project.json");
        if (movedAside) {
            fs::rename(folder / "p", folder / ".p.deleting");
        } else {
            fs::remove_all(folder / "p");
        }
        expectThrowExactly<EntryUnavailable>([&] { record.registerMeasurement("m1"); },
                                             "the Project no longer exists");
        EXPECT_FALSE(fs::exists(folder / "p"));
        if (movedAside) {
            EXPECT_EQ(fileText(folder / ".p.deleting" / "project.json"), before);
        }
    }
}

TEST(ProjectStore, ReaderRules) {
    zk::test::TempFolder folder;
    expectThrowExactly<std::runtime_error>([&] { loadProject(folder.path()); },
                                           "cannot open project.json: " + (folder / "project.json").string());
    const std::string head =
        R"({"schemaVersion": 7, "projectId": "kept exactly", "name": "n", "createdAt": "c",
                                 "modifiedAt": "m", "extra": [1])";
    writeText(folder / "project.json", head + R"(, "measurements": ["a"]})");
    ProjectRecord project = loadProject(folder.path());
    EXPECT_EQ(project.notes, "");
    EXPECT_EQ(project.projectId, "kept exactly");
    EXPECT_EQ(project.directory, folder.path());
    project.save();
    EXPECT_EQ(fileText(folder / "project.json"), projectFile("kept exactly", "n", "c", "m", "", R"(["a"])"));

    expectThrowExactly<std::runtime_error>([&] { parseProjectJson("d", head + "}"); },
                                           "JSON object has no key: measurements");
    expectThrowExactly<std::runtime_error>([&] { parseProjectJson("d", head + R"(, "measurements": [1]})"); },
                                           "JSON value is not a string");
    expectThrowExactly<std::runtime_error>([&] { parseProjectJson("d", head + R"(, "measurements": {}})"); },
                                           "JSON value is not an array");
    expectThrowExactly<std::runtime_error>(
        [&] { parseProjectJson("d", head + R"(, "measurements": []} ,)"); },
        "unexpected trailing JSON content");
}

// Read whole into memory only up to 16 MiB: a larger (here sparse) file is refused unread.
TEST(ProjectStore, ReadsNoProjectFileBeyondSixteenMiB) {
    zk::test::TempFolder folder;
    const ProjectRecord project = createProject(folder / "p", "name");
    std::string text = fileText(folder / "p" / "project.json");
    text.resize(std::size_t{16} << 20, '\n');
    writeText(folder / "p" / "project.json", text);
    EXPECT_EQ(loadProject(folder / "p"), project);
    fs::resize_file(folder / "p" / "project.json", (std::uintmax_t{16} << 20) + 1);
    expectThrowExactly<std::runtime_error>([&] { loadProject(folder / "p"); }, "project.json exceeds 16 MiB");
}

// Saved in place, a failed write would truncate the only copy of the Project.
TEST(ProjectStore, FullDiskKeepsTheSavedProject) {
    zk::test::TempFolder folder;
    ProjectRecord project = createProject(folder.path(), "p");
    project.registerMeasurement("m1");
    const std::string before = fileText(folder / "project.json");
    const std::string result = zk::test::runWithFileSizeLimit(before.size() + 100, [&] {
        project.registerMeasurement(std::string(200, 'x'));
        return std::string("saved");
    });
    EXPECT_EQ(result, "cannot write project.json");
    EXPECT_EQ(fileText(folder / "project.json"), before);
    EXPECT_EQ(entryNames(folder.path()), std::vector<std::string>{"project.json"});
}

}  // namespace
}  // namespace zk::core
