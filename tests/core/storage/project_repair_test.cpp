#include "core/storage/project_repair.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "core/storage/measurement_store.h"
#include "device_profile_test_support.h"
#include "storage/storage_test_support.h"
#include "storage/system_call_step_support.h"
#include "test_support.h"

namespace zk::core {
namespace {

namespace fs = std::filesystem;
using zk::test::entryNames;
using zk::test::fileText;
using zk::test::writeText;
using Names = std::vector<std::string>;

const std::string kDamaged = "{\"projectId\": \"zkproj-0\", \"na";  // cut short
// "b_early" started before "a_late": the rebuilt list goes by start time, not by name.
const Names kByStart = {"b_early", "a_late"};

// A Project whose two Measurements are whole and whose project.json is damaged.
void makeDamagedProject(const fs::path& project, const fs::path& scratch) {
    createProject(project, "p");
    const std::string profile = zk::test::ProfileText{}.str();
    for (const auto& [id, started] :
         {std::pair{"b_early", "2026-03-01T00:00:01Z"}, std::pair{"a_late", "2026-03-01T00:00:02Z"}}) {
        writeText(scratch / "raw", std::string(40 * 8, 'r'));
        createMeasurement(project, id, profile, scratch / "raw", started, started, "s", "");
    }
    writeText(project / "project.json", kDamaged);
}

// The name a repair at `time` gives the damaged file first.
std::string asideNameAt(std::chrono::system_clock::time_point time) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm utc{};
    ::gmtime_r(&seconds, &utc);
    char text[40];
    std::strftime(text, sizeof text, "project.json.damaged-%Y%m%dT%H%M%SZ", &utc);
    return text;
}

// Older damaged copies under the names a repair in this second or the next would take: each is kept,
// and the new one goes beside them. Repeated until the repair ran within those two seconds. The repair
// writes once, under the Project's lock.
TEST(ProjectRepair, KeepsTheDamagedFileBesideOlderCopiesAndListsTheFoldersByStartTime) {
    zk::test::TempFolder folder;
    const zk::test::ProjectFileWritesWatch watch;
    bool landed = false;
    for (int attempt = 0; !landed && attempt < 50; ++attempt) {
        const fs::path project = folder / ("p" + std::to_string(attempt));
        makeDamagedProject(project, folder.path());
        const auto now = std::chrono::system_clock::now();
        const Names older = {asideNameAt(now), asideNameAt(now + std::chrono::seconds(1))};
        for (const std::string& name : older) writeText(project / name, "older copy " + name);

        ProjectRebuild rebuild;
        const int unlockedBefore = watch.unlocked();  // creating the Project wrote without the lock
        const ProjectRecord record = loadProjectOrRebuild(project, rebuild);
        EXPECT_EQ(watch.unlocked(), unlockedBefore) << "written without the Project's lock";
        EXPECT_EQ(record.measurements, kByStart);
        EXPECT_EQ(loadProject(project), record);
        EXPECT_EQ(rebuild.damage, "unterminated string");
        EXPECT_EQ(rebuild.unsaved, "");
        for (const std::string& name : older) EXPECT_EQ(fileText(project / name), "older copy " + name);
        EXPECT_EQ(fileText(project / rebuild.asideName), kDamaged);
        EXPECT_EQ(entryNames(project).size(), 5u) << "measurements, project.json and three copies";
        landed = rebuild.asideName.starts_with(older[0]) || rebuild.asideName.starts_with(older[1]);
    }
    EXPECT_TRUE(landed);
}

// A link among the Measurement folders that leads to a Measurement of another Project is none of
// this Project's: the rebuilt list never holds it.
TEST(ProjectRepair, ALinkToAMeasurementOutsideTheProjectIsNotListed) {
    zk::test::TempFolder folder;
    const fs::path project = folder / "p";
    makeDamagedProject(project, folder.path());
    const fs::path elsewhere = folder / "elsewhere";
    createProject(elsewhere, "elsewhere");
    writeText(folder / "raw", std::string(40 * 8, 'r'));
    createMeasurement(elsewhere, "c_outside", zk::test::ProfileText{}.str(), folder / "raw",
                      "2026-03-01T00:00:00Z", "2026-03-01T00:00:00Z", "s", "");
    fs::create_directory_symlink(elsewhere / "measurements" / "c_outside",
                                 project / "measurements" / "c_outside");

    ProjectRebuild rebuild;
    EXPECT_EQ(loadProjectOrRebuild(project, rebuild).measurements, kByStart);
    EXPECT_EQ(loadProject(project).measurements, kByStart);
}

// Where the rebuilt list cannot be written (a real full file system, read-only media), the Project
// opens from its folders and the damaged file stays in place, untouched; once there is room again, the
// next open repairs it. A folder left with a damaged copy but no project.json is rebuilt too.
TEST(ProjectRepair, WithoutRoomOpensFromTheFoldersAndRepairsOnceThereIsRoom) {
    for (const bool readOnly : {false, true}) {
        SCOPED_TRACE(readOnly ? "read-only media" : "full disk");
        zk::test::TempFolder folder;
        zk::test::SmallTmpfs disk(folder / "disk", "1m");
        if (!disk.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here: " << disk.error();
        const fs::path project = folder / "disk" / "p";
        makeDamagedProject(project, folder.path());
        if (readOnly) {
            ASSERT_TRUE(disk.setReadOnly(true));
        } else {
            std::FILE* filler = std::fopen((folder / "disk" / "filler").c_str(), "wb");
            ASSERT_NE(filler, nullptr);
            const std::string chunk(4096, 'f');
            while (std::fwrite(chunk.data(), 1, chunk.size(), filler) == chunk.size() &&
                   std::fflush(filler) == 0) {
            }
            std::fclose(filler);
        }

        ProjectRebuild rebuild;
        EXPECT_EQ(loadProjectOrRebuild(project, rebuild).measurements, kByStart);
        EXPECT_EQ(rebuild.unsaved.substr(0, 25), "cannot write project.json");
        EXPECT_EQ(rebuild.asideName, "");
        EXPECT_EQ(fileText(project / "project.json"), kDamaged);
        EXPECT_EQ(entryNames(project), (Names{"measurements", "project.json"})) << "nothing left hidden";

        if (readOnly) {
            ASSERT_TRUE(disk.setReadOnly(false));
        } else {
            fs::remove(folder / "disk" / "filler");
        }
        EXPECT_EQ(loadProjectOrRebuild(project, rebuild).measurements, kByStart);
        EXPECT_EQ(rebuild.unsaved, "");
        EXPECT_EQ(fileText(project / rebuild.asideName), kDamaged);
        EXPECT_EQ(loadProject(project).measurements, kByStart);

        fs::remove(project / "project.json");
        EXPECT_EQ(loadProjectOrRebuild(project, rebuild).measurements, kByStart);
        EXPECT_EQ(rebuild.damage, "project.json is missing");
        EXPECT_EQ(loadProject(project).measurements, kByStart);
        EXPECT_EQ(entryNames(project).size(), 3u);
    }
}

// The rebuilt list cannot take the name once the damaged file has moved aside (that rename fails):
// the damaged file goes back under its own name, nothing is left beside it, and the next open repairs
// the Project.
TEST(ProjectRepair, TheDamagedFileComesBackWhenTheRebuiltListCannotTakeItsPlace) {
    if (!zk::test::kCanTraceSystemCalls) GTEST_SKIP() << "system call tracing is written for x86-64";
    zk::test::TempFolder folder;
    const fs::path project = folder / "p";
    const auto repair = [&] {
        ProjectRebuild rebuild;
        loadProjectOrRebuild(project, rebuild);
        return rebuild.unsaved.empty();
    };
    const auto damage = [&] {
        fs::remove_all(project);
        makeDamagedProject(project, folder.path());
    };
    damage();
    const zk::test::StepRun whole = zk::test::runToStep(1000, zk::test::StepAction::Kill, repair);
    if (whole.untraceable) GTEST_SKIP() << "this process cannot trace its children";
    ASSERT_EQ(whole.exitCode, 0) << whole.failure;
    const std::string placing = "-> " + (project / "project.json").string();
    const auto found = std::find_if(whole.steps.begin(), whole.steps.end(),
                                    [&](const std::string& step) { return step.ends_with(placing); });
    ASSERT_NE(found, whole.steps.end());
    ASSERT_NE(found, whole.steps.begin());
    EXPECT_NE(std::prev(found)->find("rename " + (project / "project.json").string() + " -> "),
              std::string::npos)
        << "the damaged file moved aside just before";

    damage();
    const zk::test::StepRun failed =
        zk::test::runToStep(static_cast<std::size_t>(found - whole.steps.begin()) + 1,
                            zk::test::StepAction::FailWithIoError, repair);
    EXPECT_TRUE(failed.reached);
    EXPECT_EQ(failed.exitCode, 1) << "reported unsaved";
    EXPECT_EQ(fileText(project / "project.json"), kDamaged);
    EXPECT_EQ(entryNames(project), (Names{"measurements", "project.json"})) << "nothing left beside it";
    ProjectRebuild rebuild;
    EXPECT_EQ(loadProjectOrRebuild(project, rebuild).measurements, kByStart);
    EXPECT_EQ(loadProject(project).measurements, kByStart);
}

}  // namespace
}  // namespace zk::core
