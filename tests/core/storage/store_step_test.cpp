// Every file-changing step of an export and of an AnalysisRun save, reached one by one in a traced
// child: killed before the step, what a reader finds next is whole, and the next attempt succeeds.
// Each case also runs as on a file system without a no-replace rename.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "analysis_test_support.h"
#include "core/storage/analysis_export.h"
#include "core/storage/analysis_map.h"
#include "core/storage/analysis_run_store.h"
#include "core/storage/json_reader.h"
#include "core/storage/measurement_store.h"
#include "core/storage/project_recovery.h"
#include "core/storage/project_repair.h"
#include "core/storage/project_store.h"
#include "core/storage/recording.h"
#include "device_profile_test_support.h"
#include "storage/storage_test_support.h"
#include "storage/system_call_step_support.h"
#include "streaming/noise_floor_test_support.h"
#include "test_support.h"

namespace zk::core {
namespace {

namespace fs = std::filesystem;
using zk::test::entryNames;
using zk::test::fileText;

#if defined(__x86_64__)
using zk::test::runToStep;
using zk::test::StepAction;

constexpr int kMaxSteps = 400;  // far above the steps of one save; stops a runaway loop

MeasurementRecord measurementOf(const std::string& id) {
    MeasurementRecord m;
    m.measurementId = id;
    m.profileId = "p";
    return m;
}

class StoreStep : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        if (!test::kCanTraceSystemCalls) GTEST_SKIP() << "system call tracing is written for x86-64";
    }
    // The operation as the child runs it: without a no-replace rename when the parameter says so.
    std::function<bool()> inChild(std::function<bool()> operation) const {
        const bool refuse = GetParam();
        return [refuse, operation] { return (!refuse || test::refuseNoReplaceRename()) && operation(); };
    }

    // The Measurement folder is made first: a save never makes it.
    AnalysisRunRecord runIn(const std::string& measurementId, double level) {
        fs::create_directories(project / "measurements" / measurementId);
        return createAnalysisRun(project / "measurements" / measurementId, measurementId, "run",
                                 test::sampleParameters(), 1.0, 2.0, 3.0, "b", test::sampleProvenance(),
                                 test::sampleMap(40, 30, level));
    }

    zk::test::CrashTestFolder folder;
    fs::path project = folder / "project";
};

// A Project folder to export into: an export never makes one.
fs::path madeFolder(const fs::path& path) {
    fs::create_directories(path);
    return path;
}

// "absent", or the Measurement id of the one export whose table and summary the folder holds whole.
std::string exportState(const fs::path& folder, const std::vector<std::string>& tables) {
    if (!fs::exists(folder)) return "absent";
    if (entryNames(folder) != std::vector<std::string>{"export.json", "map.csv"}) return "stray entries";
    const std::string csv = fileText(folder / "map.csv");
    try {
        const std::string id =
            parseJsonDocument(fileText(folder / "export.json")).at("measurementId").asString();
        return id == "m1" && csv == tables[0] ? "m1" : id == "m2" && csv == tables[1] ? "m2" : "mixed";
    } catch (const std::exception& e) {
        return std::string("broken summary: ") + e.what();
    }
}

TEST_P(StoreStep, ExportIsAbsentOldOrNewAfterAKillAtEachStep) {
    const AnalysisRunRecord first = runIn("m1", 1.0);
    const AnalysisRunRecord second = runIn("m2", 2.0);
    const fs::path exportDir = project / "exports" / "run";
    const std::vector<std::string> tables = {
        fileText(exportAnalysisRun(first, measurementOf("m1"), madeFolder(folder / "reference1")).csvPath),
        fileText(exportAnalysisRun(second, measurementOf("m2"), madeFolder(folder / "reference2")).csvPath)};
    for (const bool withOlder : {false, true}) {
        int step = 1;
        for (; step < kMaxSteps; ++step) {
            fs::remove_all(project / "exports");
            if (withOlder) exportAnalysisRun(first, measurementOf("m1"), project);
            const test::StepRun outcome =
                runToStep(step, StepAction::Kill, inChild([&] {
                              exportAnalysisRun(second, measurementOf("m2"), project);
                              return true;
                          }));
            if (outcome.untraceable) GTEST_SKIP() << "this process cannot trace its children";
            const std::string state = exportState(exportDir, tables);
            if (!outcome.reached) {
                EXPECT_EQ(outcome.exitCode, 0);
                EXPECT_EQ(state, "m2");
                break;
            }
            // An older export is replaced only by a complete one; without one, none or a whole one.
            // Where the older one cannot be swapped out in one step it is moved aside first, so a kill
            // in between leaves no export folder (never a partial one).
            EXPECT_TRUE(state == "m2" || state == (withOlder ? "m1" : "absent") ||
                        (GetParam() && state == "absent"))
                << state << " after a kill at step " << step << (withOlder ? " over an older export" : "");
            // The next export of the run clears what the killed one left beside it, but for a folder it
            // had made under a name of its own, which the next open removes.
            exportAnalysisRun(first, measurementOf("m1"), project);
            ProjectRecord opened;
            opened.directory = project;
            recoverProject(opened);
            EXPECT_EQ(entryNames(project / "exports"), std::vector<std::string>{"run"}) << step;
            EXPECT_EQ(exportState(exportDir, tables), "m1") << step;
        }
        EXPECT_GT(step, 5) << "the export ran in fewer steps than it writes files";
        EXPECT_LT(step, kMaxSteps);
    }
}

TEST_P(StoreStep, RunListingShowsOnlyWholeRunsAndASaveCanBeRetriedAfterAKillAtEachStep) {
    const fs::path measurement = project / "measurements" / "m1";
    const auto save = [&] { return runIn("m1", 5.0); };
    int step = 1;
    for (; step < kMaxSteps; ++step) {
        fs::remove_all(measurement);
        fs::create_directories(measurement);
        const test::StepRun outcome = runToStep(step, StepAction::Kill, inChild([&] {
                                                    save();
                                                    return true;
                                                }));
        if (outcome.untraceable) GTEST_SKIP() << "this process cannot trace its children";
        const std::vector<std::string> listed = listAnalysisRuns(measurement);
        if (!outcome.reached) {
            EXPECT_EQ(outcome.exitCode, 0);
            EXPECT_EQ(listed, std::vector<std::string>{"run"});
            break;
        }
        if (listed.empty()) {
            // Killed before the rename: the same id saves at once, over whatever staging was left.
            EXPECT_NO_THROW(save()) << step;
        } else {
            EXPECT_EQ(listed, std::vector<std::string>{"run"}) << step;
        }
        const AnalysisRunRecord run = readAnalysisRun(measurement / "analyses" / "run");
        EXPECT_EQ(loadAnalysisRunMap(run)->relativeDb, test::sampleMap(40, 30, 5.0).relativeDb) << step;
        EXPECT_EQ(listAnalysisRuns(measurement), std::vector<std::string>{"run"}) << step;
    }
    EXPECT_GT(step, 5);
    EXPECT_LT(step, kMaxSteps);
}

// The rename that publishes a save fails while the program lives: what was at the final name stays
// (an older export set aside comes back), the save reports the failure and leaves nothing hidden.
TEST_P(StoreStep, AFailedPublishingRenameKeepsWhatWasThereAndLeavesNothingHidden) {
    const AnalysisRunRecord first = runIn("m1", 1.0);
    const AnalysisRunRecord second = runIn("m2", 2.0);
    for (const char* reference : {"reference1", "reference2"}) fs::create_directories(folder / reference);
    const std::vector<std::string> tables = {
        fileText(exportAnalysisRun(first, measurementOf("m1"), folder / "reference1").csvPath),
        fileText(exportAnalysisRun(second, measurementOf("m2"), folder / "reference2").csvPath)};
    const fs::path exports = project / "exports";
    const fs::path runs = project / "measurements" / "m1" / "analyses";
    struct Row {
        const char* name;
        fs::path published;
        std::function<void()> reset;
        std::function<void()> work;
        std::function<void()> check;
    };
    const std::vector<Row> rows = {
        {"an export over an older one", exports / "run",
         [&] { exportAnalysisRun(first, measurementOf("m1"), project); },
         [&] { exportAnalysisRun(second, measurementOf("m2"), project); },
         [&] {
             EXPECT_EQ(exportState(exports / "run", tables), "m1");
             EXPECT_EQ(entryNames(exports), std::vector<std::string>{"run"});
         }},
        {"an AnalysisRun save", runs / "a2", [&] { fs::remove_all(runs / "a2"); },
         [&] {
             createAnalysisRun(project / "measurements" / "m1", "m1", "a2", test::sampleParameters(), 1.0,
                               2.0, 3.0, "b", test::sampleProvenance(), test::sampleMap(4, 3, 1.0));
         },
         [&] { EXPECT_EQ(entryNames(runs), std::vector<std::string>{"run"}); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto work = inChild([&] {
            row.work();
            return true;
        });
        row.reset();
        const test::StepRun whole = runToStep(kMaxSteps, StepAction::Kill, work);
        if (whole.untraceable) GTEST_SKIP() << "this process cannot trace its children";
        const std::size_t publishing = test::lastStepWith(whole.steps, "-> " + row.published.string());
        ASSERT_GT(publishing, 0u);
        row.reset();
        const test::StepRun failed = runToStep(publishing, StepAction::FailWithIoError, work);
        EXPECT_TRUE(failed.reached);
        EXPECT_EQ(failed.exitCode, 1) << "the failure is reported";
        row.check();
    }
}

INSTANTIATE_TEST_SUITE_P(RenameKinds, StoreStep, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("WithoutNoReplaceRename")
                                               : std::string("Native");
                         });

// A Create Project killed before any of its steps leaves a folder in which a Project can be created
// again (it holds nothing, or nothing but temporary files of the rewrite) or that opens (project.json
// whole, or whole under its temporary name and put in place).
TEST(StoreStepCreateProject, AKilledCreateLeavesAFolderThatCanBeCreatedOrOpened) {
    if (!test::kCanTraceSystemCalls) GTEST_SKIP() << "system call tracing is written for x86-64";
    zk::test::CrashTestFolder folder;
    const fs::path project = folder / "project";
    int creatable = 0;
    int opened = 0;
    const test::StepRun whole = test::killAtEveryStep(
        [&] { fs::remove_all(project); },
        [&] {
            createProject(project, "p");
            return true;
        },
        [&](std::size_t step, const test::StepRun&) {
            if (!isEmptyButForRewriteTemporaries(project)) {
                EXPECT_EQ(loadProject(project).name, "p") << step;
                return;
            }
            if (finishInterruptedProjectFile(project)) {
                EXPECT_EQ(loadProject(project).name, "p") << step;
                ++opened;
                return;
            }
            ++creatable;
            removeRewriteTemporaries(project);
            EXPECT_EQ(createProject(project, "again").name, "again") << step;
        });
    if (whole.untraceable) GTEST_SKIP() << "this process cannot trace its children";
    EXPECT_EQ(whole.exitCode, 0);
    EXPECT_GT(creatable, 2) << "the kills never fell before the rename";
    EXPECT_GE(opened, 1) << "no kill fell between the whole temporary file and its rename";
}

// When only the last flush (the new name in its folder) fails, the data is in place: the save is
// reported as done, marked not durable, and reads back.
TEST(StoreDurability, AFailedFinalFolderFlushIsASaveThatIsNotDurable) {
    if (!test::kCanTraceSystemCalls) GTEST_SKIP() << "system call tracing is written for x86-64";
    zk::test::CrashTestFolder folder;
    const fs::path project = folder / "project";
    createProject(project, "p");
    const std::string profile = zk::test::ProfileText{}.str();
    const fs::path measurement = project / "measurements" / "m1";
    const fs::path raw = folder / "raw.bin";
    zk::test::writeText(raw, std::string(64, 'r'));
    createMeasurement(project, "m0", profile, raw, "", "", "", "");  // so the folders exist before the child

    struct Case {
        const char* name;
        fs::path flushedFolder;
        int flushStep;               // the flush of the new name in its folder
        std::function<bool()> save;  // true when the save succeeded and reported "not durable"
        std::function<void()> check;
    };
    const std::vector<Case> cases = {
        {"AnalysisRun", project / "measurements" / "m0" / "analyses", 1,
         [&] {
             fs::create_directories(project / "measurements" / "m0" / "analyses");
             bool durable = true;
             createAnalysisRun(project / "measurements" / "m0", "m0", "r", test::sampleParameters(), 1, 2, 3,
                               "b", test::sampleProvenance(), test::sampleMap(4, 3, 1.0), {}, &durable);
             return !durable;
         },
         [&] {
             EXPECT_EQ(listAnalysisRuns(project / "measurements" / "m0"), std::vector<std::string>{"r"});
             EXPECT_TRUE(
                 loadAnalysisRunMap(readAnalysisRun(project / "measurements" / "m0" / "analyses" / "r")));
         }},
        {"Measurement", project / "measurements", 1,
         [&] {
             bool durable = true;
             createMeasurement(project, "m1", profile, raw, "", "", "", "", RawFileTransfer::Copy, &durable);
             return !durable;
         },
         [&] {
             EXPECT_EQ(readMeasurementManifest(measurement).rawHash,
                       zk::test::naiveFnv1a64Hex(fileText(raw)));
         }},
        // The first flush of the folder publishes the Recording's description.
        {"Recording", project / "measurements", 2,
         [&] {
             Recording recording(project, "m2", profile, "test");
             recording.append(std::vector<std::int16_t>(8 * 4, 7));
             return !recording.finalize("").durable;
         },
         [&] {
             EXPECT_EQ(loadProject(project).measurements, std::vector<std::string>{"m2"});
             EXPECT_EQ(readMeasurementManifest(project / "measurements" / "m2").totalFrames, 8u);
         }},
    };
    for (const Case& c : cases) {
        const test::StepRun outcome =
            runToStep(c.flushStep, StepAction::FailWithIoError, c.save, test::flushOf(c.flushedFolder));
        if (outcome.untraceable) GTEST_SKIP() << "this process cannot trace its children";
        EXPECT_TRUE(outcome.reached) << c.name;
        EXPECT_EQ(outcome.exitCode, 0) << c.name << ": not reported as saved but not durable";
        c.check();
    }
}
#endif

}  // namespace
// A noise floor saved into a new folder makes that folder's name durable in the Project before the
// floor counts as saved: a failed flush there fails the save.
TEST(StoreDurability, ANewNoiseFloorFolderIsFlushedInTheProject) {
    if (!test::kCanTraceSystemCalls) GTEST_SKIP() << "system call tracing is written for x86-64";
    zk::test::CrashTestFolder folder;
    const fs::path project = folder / "project";
    createProject(project, "p");
    const test::StepRun outcome = runToStep(
        1, StepAction::FailWithIoError,
        [&] {
            try {
                saveNoiseFloorProfile(project, test::taggedProfile(2, 8, 1));
            } catch (const fs::filesystem_error&) {
                return true;
            }
            return false;
        },
        test::flushOf(project));
    if (outcome.untraceable) GTEST_SKIP() << "this process cannot trace its children";
    EXPECT_TRUE(outcome.reached) << "the Project folder was never flushed";
    EXPECT_EQ(outcome.exitCode, 0) << "the failed flush was not reported";
}

}  // namespace zk::core
