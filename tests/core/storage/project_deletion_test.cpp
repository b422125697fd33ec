// Delete Project beside another program: program A (a forked, traced child) deletes the Project and is
// paused before each of its steps, while program B (this process, or the driver program) records, saves
// an AnalysisRun, exports or saves a noise floor. Whatever B was told it saved stays, and every refusal
// of A names what B did; a kill of A at any step leaves the Project whole or gone.
#include "core/storage/project_deletion.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <cstdio>
#include <functional>
#include <map>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/storage/analysis_export.h"
#include "core/storage/analysis_map.h"
#include "core/storage/lock_wait.h"
#include "core/storage/staged_commit.h"
#include "core/streaming/noise_floor_profile.h"
#include "permission_support.h"
#include "storage/two_programs_support.h"
#include "streaming/noise_floor_test_support.h"
#include "test_support.h"

namespace zk::core {
namespace {

namespace fs = std::filesystem;
using zk::test::fileText;
using zk::test::kPatternWire;
using zk::test::samplesFrom;
using zk::test::TwoPrograms;
using Names = std::vector<std::string>;

// What A tells the test, in memory both processes share: A makes no call of its own to tell it.
struct Outcome {
    enum Kind { NotRun, Deleted, InUse, Changed, RemovalFailed };
    Kind kind = NotRun;
    char entry[512] = {};
};

class SharedOutcome {
  public:
    SharedOutcome()
        : outcome_(new (::mmap(nullptr, sizeof(Outcome), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS,
                               -1, 0)) Outcome) {}
    ~SharedOutcome() { ::munmap(outcome_, sizeof(Outcome)); }
    SharedOutcome(const SharedOutcome&) = delete;
    SharedOutcome& operator=(const SharedOutcome&) = delete;
    Outcome& operator*() const { return *outcome_; }
    Outcome* operator->() const { return outcome_; }

  private:
    Outcome* outcome_;
};

bool removedWhole(const fs::path& tree) {
    removeTreeQuietly(tree);
    std::error_code error;
    return fs::symlink_status(tree, error).type() == fs::file_type::not_found;
}

// Program A: Delete Project as the application runs it.
bool deleteProjectAsA(const fs::path& project, Outcome& out) {
    ProjectDeletion deletion(project);
    if (const std::optional<ProjectDeletionRefusal> refusal = deletion.begin()) {
        out.kind = refusal->why == ProjectDeletionRefusal::Why::InUse ? Outcome::InUse : Outcome::Changed;
        std::snprintf(out.entry, sizeof out.entry, "%s", refusal->entry.c_str());
        return true;
    }
    out.kind = deletion.finish(removedWhole) ? Outcome::Deleted : Outcome::RemovalFailed;
    return true;
}

// Every entry below `directory` with its content ("/" for a folder).
std::map<std::string, std::string> treeOf(const fs::path& directory) {
    std::map<std::string, std::string> tree;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(directory)) {
        const std::string name = entry.path().lexically_relative(directory).generic_string();
        tree[name] = entry.is_directory() ? "/" : fileText(entry.path());
    }
    return tree;
}

// The hidden entries A may leave beside the Project.
Names hiddenBeside(const fs::path& folder) {
    Names hidden;
    for (const std::string& name : zk::test::entryNames(folder))
        if (name.starts_with('.')) hidden.push_back(name);
    return hidden;
}

// The template also holds an older export of "a0" and an older noise floor, which B replaces under the
// same names.
struct DeleteProject : TwoPrograms {
    void SetUp() override {
        TwoPrograms::SetUp();
        if (IsSkipped()) return;
        AnalysisRunRecord older = readAnalysisRun(original / "measurements" / "m" / "analyses" / "a0");
        older.peakDb = -1.0;
        exportAnalysisRun(older, readMeasurementManifest(original / "measurements" / "m"), original);
        saveNoiseFloorProfile(original, zk::test::taggedProfile(4, 64, 1));
    }

    SharedOutcome outcome;
    const std::string recorded = zk::test::bytesOf(samplesFrom(0, kPatternWire * 300));
    const HeatmapGrid map = zk::test::sampleMap(12, 8, 7.0);
};

// One kind of work of B: what it does (true when it was told it saved), the text a refusal for it
// names, and what stays once it was told so.
struct OtherWork {
    const char* name;
    const char* named;
    std::function<bool()> save;
    std::function<void()> expectSaved;
};

#if defined(__x86_64__)

TEST_F(DeleteProject, NothingTheOtherProgramWasToldItSavedIsGoneWhateverStepItSavedAt) {
    // B never waits long for the Project's lock that A holds while paused.
    const zk::test::LockWaitLimit bound(std::chrono::milliseconds(20));
    const std::vector<OtherWork> works = {
        {"records", "m1",
         [&] {
             Recording recording(project, "m1", profile, "program B");
             recording.append(samplesFrom(0, kPatternWire * 300));
             recording.finalize("");
             return true;
         },
         [&] {
             EXPECT_EQ(loadProject(project).measurements, (Names{"m", "m1"}));
             EXPECT_TRUE(fileText(measurements / "m1" / "raw.int16") == recorded) << "byte-exact";
         }},
        {"saves an AnalysisRun", "a1",
         [&] {
             createAnalysisRun(measurement, "m", "a1", zk::test::sampleParameters(), 1.0, 2.0, 3.0, "b",
                               zk::test::sampleProvenance(), map);
             return true;
         },
         [&] {
             const std::optional<HeatmapGrid> read =
                 loadAnalysisRunMap(readAnalysisRun(measurement / "analyses" / "a1"));
             ASSERT_TRUE(read.has_value());
             EXPECT_EQ(read->relativeDb, map.relativeDb);
         }},
        {"exports", "exports/",
         [&] {
             AnalysisRunRecord run = readAnalysisRun(original / "measurements" / "m" / "analyses" / "a0");
             run.directory = measurement / "analyses" / "a0";
             exportAnalysisRun(run, readMeasurementManifest(original / "measurements" / "m"), project);
             return true;
         },
         [&] {
             EXPECT_NE(fileText(project / "exports" / "a0" / "export.json").find("\"peakDb\": 3"),
                       std::string::npos);
         }},
        {"saves a noise floor", "noise_floor",
         [&] {
             saveNoiseFloorProfile(project, zk::test::taggedProfile(4, 64, 2));
             return true;
         },
         [&] { EXPECT_EQ(loadNoiseFloorProfile(project).averagedFrames, 2u); }},
    };
    for (const OtherWork& work : works) {
        SCOPED_TRACE("B " + std::string(work.name));
        bool saved = false;
        std::set<std::string> failures;  // what B was told when it was not saved
        std::size_t deleted = 0;
        std::size_t refused = 0;
        std::size_t savedCount = 0;
        zk::test::pauseAtEveryStep(
            [&] {
                reset();
                saved = false;
                *outcome = Outcome{};
            },
            [&] { return deleteProjectAsA(project, *outcome); },
            [&] {
                try {
                    saved = work.save();
                } catch (const std::exception& error) {
                    failures.insert(error.what());
                }
                return false;
            },
            [&](const zk::test::StepRun& run) {
                ASSERT_EQ(run.exitCode, 0) << "A failed: " << run.failure;
                const std::string entry = outcome->entry;
                EXPECT_EQ(hiddenBeside(folder), Names{}) << "nothing left under a hidden name";
                savedCount += saved;
                if (outcome->kind == Outcome::Deleted) {
                    ++deleted;
                    EXPECT_FALSE(saved) << "what B was told it saved went with the Project";
                    EXPECT_FALSE(fs::exists(project)) << "B's failed work made the folder again";
                    return;
                }
                ASSERT_TRUE(outcome->kind == Outcome::InUse || outcome->kind == Outcome::Changed)
                    << outcome->kind;
                ++refused;
                EXPECT_NE(entry.find(work.named), std::string::npos) << "refused for " << entry;
                EXPECT_EQ(loadProject(project).name, "two programs");
                if (saved) work.expectSaved();
            });
        EXPECT_GT(deleted, 5u);
        EXPECT_GT(refused, 5u);
        EXPECT_GT(savedCount, 5u);
        // Refused at once and by name, never by a half-made folder.
        for (const std::string& failure : failures) {
            EXPECT_TRUE(
                failure == "the Project no longer exists" || failure == "the Measurement no longer exists" ||
                failure == "cannot open Analysis map" || failure.starts_with("cannot open project.json: ") ||
                failure.starts_with("another program has held the Project's lock"))
                << failure;
        }
    }
}

// B starts a Recording as another program (the driver) while A is paused, and goes on recording after
// A ended: a Recording that began after A's check makes A refuse, or never begins; once begun it
// ends saved. Also where no lock works: the Recording's staging file is then fresh work.
TEST_F(DeleteProject, ARecordingThatStartsWhileTheProjectIsDeletedEndsSavedOrNeverStarts) {
    for (const bool locksFail : {false, true}) {
        SCOPED_TRACE(locksFail ? "locks fail" : "locks work");
        std::optional<zk::test::LocksFail> noLocks;
        if (locksFail) noLocks.emplace();
        std::optional<zk::test::Driver> b;
        std::string started;
        std::size_t recorded = 0;
        std::size_t deleted = 0;
        zk::test::pauseAtEveryStep(
            [&] {
                reset();
                b.reset();
                *outcome = Outcome{};
            },
            [&] { return deleteProjectAsA(project, *outcome); },
            [&] {
                b.emplace(project, 1, 300, locksFail);
                started = b->readLine();
                return false;
            },
            [&](const zk::test::StepRun& run) {
                ASSERT_EQ(run.exitCode, 0) << "A failed: " << run.failure;
                EXPECT_EQ(hiddenBeside(folder), Names{});
                if (started != "started") {
                    EXPECT_TRUE(started.starts_with("failed cannot open project.json") ||
                                started == "failed the Project no longer exists")
                        << started;
                    EXPECT_EQ(WEXITSTATUS(b->wait()), 1);
                    deleted += outcome->kind == Outcome::Deleted;
                    return;
                }
                ASSERT_EQ(outcome->kind, Outcome::InUse) << outcome->entry;
                // Its staging file, or where no lock tells, its description beside it.
                EXPECT_TRUE(std::string(outcome->entry).starts_with("measurements/.m1.recording."))
                    << outcome->entry;
                b->step();
                ASSERT_EQ(b->readLine(), "appended 1");
                b->step();
                ASSERT_EQ(b->readLine(), "saved");
                EXPECT_EQ(b->wait(), 0);
                EXPECT_EQ(loadProject(project).measurements, (Names{"m", "m1"}));
                EXPECT_EQ(fs::file_size(measurements / "m1" / "raw.int16"), 300 * 2 * kPatternWire);
                ++recorded;
            });
        // Where no lock works A makes no step before its move but the move itself.
        EXPECT_GE(recorded, locksFail ? 1u : 5u);
        EXPECT_GT(deleted, 5u);
    }
}

// The other way round: A records (a traced child) and B deletes the Project at each of A's steps, its
// looks at a file's status too, so also between A's read of project.json and its first change. A
// Recording that has not yet made its staging file never starts into the Project deleted meanwhile,
// and makes nothing there again; one that has makes the deletion refuse, and ends saved.
TEST_F(DeleteProject, ARecordingNeverStartsIntoAProjectDeletedUnderIt) {
    std::optional<ProjectDeletionRefusal> refusal;
    std::size_t refused = 0;
    std::size_t deleted = 0;
    zk::test::pauseAtEveryStep(
        [&] {
            reset();
            *outcome = Outcome{};
        },
        [&] {
            try {
                Recording recording(project, "m1", profile, "program A");
                recording.append(samplesFrom(0, kPatternWire * 300));
                recording.finalize("");
                return true;
            } catch (const std::exception& error) {
                std::snprintf(outcome->entry, sizeof outcome->entry, "%s", error.what());
                return false;
            }
        },
        [&] {
            ProjectDeletion deletion(project);
            refusal = deletion.begin();
            if (!refusal) {
                EXPECT_TRUE(deletion.finish(removedWhole));
            }
            return false;
        },
        [&](const zk::test::StepRun& run) {
            EXPECT_EQ(hiddenBeside(folder), Names{});
            if (!refusal) {
                ++deleted;
                EXPECT_NE(run.exitCode, 0) << "A's Recording was told it saved into a deleted Project";
                EXPECT_FALSE(fs::exists(project)) << "made again";
                const std::string told = outcome->entry;
                EXPECT_TRUE(told == "the Project no longer exists" ||
                            told.starts_with("cannot open project.json"))
                    << told;
                return;
            }
            ++refused;
            // Its staging file (or its second name in the committed folder), or the list it registers in.
            EXPECT_TRUE(refusal->entry.find("m1") != std::string::npos || refusal->entry == "project.json")
                << refusal->entry;
            ASSERT_EQ(run.exitCode, 0) << run.failure;
            EXPECT_EQ(loadProject(project).measurements, (Names{"m", "m1"}));
            EXPECT_TRUE(fileText(measurements / "m1" / "raw.int16") == recorded);
        },
        zk::test::looksAtOrChangesFiles);
    EXPECT_GT(refused, 5u);
    EXPECT_GT(deleted, 3u);
}

// Killed before any of its file-changing steps, A leaves the Project whole at its place, or no
// Project there: beside it at most a hidden folder that is the whole Project, or no Project at all.
TEST_F(DeleteProject, KilledAtAnyStepItLeavesTheProjectWholeOrGone) {
    reset();
    const std::map<std::string, std::string> whole = treeOf(project);
    std::size_t keptWhole = 0;
    std::size_t gone = 0;
    const zk::test::StepRun complete =
        zk::test::killAtEveryStep([&] { reset(); }, [&] { return deleteProjectAsA(project, *outcome); },
                                  [&](std::size_t, const zk::test::StepRun&) {
                                      if (fs::exists(project)) {
                                          EXPECT_EQ(treeOf(project), whole);
                                          ++keptWhole;
                                          return;
                                      }
                                      ++gone;
                                      for (const std::string& name : hiddenBeside(folder)) {
                                          if (fs::exists(folder / name / "project.json")) {
                                              EXPECT_EQ(treeOf(folder / name), whole);
                                          }
                                          fs::remove_all(folder / name);
                                      }
                                  });
    EXPECT_EQ(complete.exitCode, 0) << complete.failure;
    EXPECT_EQ(outcome->kind, Outcome::Deleted);
    EXPECT_FALSE(fs::exists(project));
    EXPECT_EQ(hiddenBeside(folder), Names{});
    EXPECT_EQ(keptWhole, 1u) << "the move aside is its first step";
    EXPECT_GT(gone, 10u);
}

#endif

// What cannot be removed (a folder this user may not change) stays, and the Project goes back to its
// place with its project.json, opening again.
TEST_F(DeleteProject, WhatCannotBeRemovedGoesBackToItsPlaceWithItsProjectFile) {
    reset();
    const std::string projectFile = fileText(project / "project.json");
    const fs::path analyses = measurement / "analyses";
    fs::permissions(analyses, fs::perms::owner_read | fs::perms::owner_exec);
    {
        const zk::test::WithoutPermissionOverride asAnyUser;
        ProjectDeletion deletion(project);
        ASSERT_EQ(deletion.begin(), std::nullopt);
        EXPECT_FALSE(fs::exists(project)) << "aside while it is removed";
        EXPECT_FALSE(deletion.finish(removedWhole));
    }
    fs::permissions(analyses, fs::perms::owner_all);
    EXPECT_EQ(fileText(project / "project.json"), projectFile);
    EXPECT_EQ(loadProject(project).measurements, Names{"m"});
    EXPECT_TRUE(fs::exists(analyses / "a0")) << "kept";
    EXPECT_EQ(hiddenBeside(folder), Names{});
}

// Reached through a link, the Project is the folder the link leads to: that folder goes, then the
// link, and nothing beside them.
TEST_F(DeleteProject, AProjectReachedThroughALinkGoesWithTheLink) {
    reset();
    fs::create_directory_symlink(project, folder / "link");
    ProjectDeletion deletion(folder / "link");
    ASSERT_EQ(deletion.begin(), std::nullopt);
    EXPECT_TRUE(deletion.finish(removedWhole));
    std::error_code missing;
    EXPECT_FALSE(fs::exists(fs::symlink_status(folder / "link", missing)));
    EXPECT_FALSE(fs::exists(project));
    EXPECT_EQ(zk::test::entryNames(folder), Names{"original"});
}

// A Project's own lock files are no work in use where file locks fail: an idle Project with a noise
// floor deletes at once.
TEST_F(DeleteProject, WhereFileLocksFailAnIdleProjectWithANoiseFloorDeletesAtOnce) {
    for (const bool foldersToo : {false, true}) {
        SCOPED_TRACE(foldersToo ? "no locks at all" : "file locks fail");
        reset();
        ASSERT_TRUE(fs::exists(project / ".noise_floor.lock"));
        zk::core::failAdvisoryLocksForTesting(ENOLCK, !foldersToo);
        ProjectDeletion deletion(project);
        const std::optional<ProjectDeletionRefusal> refusal = deletion.begin();
        zk::core::failAdvisoryLocksForTesting(0);
        ASSERT_EQ(refusal, std::nullopt) << refusal->entry;
        EXPECT_TRUE(deletion.finish(removedWhole));
        EXPECT_FALSE(fs::exists(project));
    }
}

}  // namespace
}  // namespace zk::core
