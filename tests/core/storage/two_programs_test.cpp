// Two programs on one Project: program A (a forked child) writes while program B (this process)
// opens the Project the way the application does, at every file-changing step of A and at each lock
// A takes. A's work must end saved and whole, B's open must never touch it, and B lists it after a
// refresh.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <complex>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "analysis_test_support.h"
#include "core/beamforming/derived_matrix_cache.h"
#include "core/storage/analysis_export.h"
#include "core/storage/analysis_map.h"
#include "core/storage/analysis_run_store.h"
#include "core/storage/lock_wait.h"
#include "core/storage/measurement_store.h"
#include "core/storage/project_in_use.h"
#include "core/storage/project_recovery.h"
#include "core/storage/project_repair.h"
#include "core/storage/project_store.h"
#include "core/storage/recording.h"
#include "core/streaming/noise_floor_profile.h"
#include "storage/other_program.h"
#include "storage/recording_pattern.h"
#include "storage/storage_driver_process.h"
#include "storage/storage_test_support.h"
#include "storage/system_call_step_support.h"
#include "storage/template_project_fixture.h"
#include "storage/two_programs_support.h"
#include "streaming/noise_floor_test_support.h"
#include "test_support.h"

namespace zk::core {
namespace {

namespace fs = std::filesystem;
using zk::test::entryNames;
using zk::test::fileText;
using zk::test::kPatternWire;
using zk::test::samplesFrom;
using Names = std::vector<std::string>;
using zk::test::Driver;
using zk::test::expectThrowExactly;
using zk::test::LockWaitLimit;
using zk::test::TwoPrograms;
#if defined(__x86_64__)
using zk::test::Moments;
using zk::test::pauseAtEveryStep;
#endif

#if defined(__x86_64__)

TEST_F(TwoPrograms, ARecordingEndsSavedAndWholeWhateverMomentTheOtherOpens) {
    const std::size_t blockSamples = kPatternWire * 70'000;  // 420 kB: the 1 MiB buffer spills mid-frame
    const int blocks = 3;
    const std::string appended = zk::test::bytesOf(samplesFrom(0, blockSamples * blocks));
    const auto record = [&] {
        Recording recording(project, "m1", profile, "program A");
        for (int b = 0; b < blocks; ++b) recording.append(samplesFrom(b * blockSamples, blockSamples));
        recording.finalize("");
        return true;
    };
    const Moments moments = pauseAtEveryStep(
        [&] { reset(); }, record, [&] { return openAsB(); },
        [&](const zk::test::StepRun& run) {
            ASSERT_EQ(run.exitCode, 0) << "A's Recording failed";
            // B's refresh: the list as project.json holds it now.
            EXPECT_EQ(loadProject(project).measurements, (Names{"m", "m1"}));
            EXPECT_EQ(entryNames(measurements), (Names{"m", "m1"})) << "nothing left hidden";
            const MeasurementRecord m1 = readMeasurementManifest(measurements / "m1");
            EXPECT_EQ(m1.totalFrames, appended.size() / (2 * kPatternWire));
            EXPECT_TRUE(fileText(measurements / "m1" / "raw.int16") == appended) << "byte-exact";
        });
    EXPECT_GT(moments.opened, 20u);
    EXPECT_GT(moments.leftAlone, 10u);
}

TEST_F(TwoPrograms, AnAnalysisRunSaveEndsSavedWhateverMomentTheOtherOpens) {
    const HeatmapGrid map = zk::test::sampleMap(48, 32, 7.0);
    const auto save = [&] {
        createAnalysisRun(measurement, "m", "a1", zk::test::sampleParameters(), 1.0, 2.0, 3.0, "b",
                          zk::test::sampleProvenance(), map);
        return true;
    };
    const Moments moments =
        pauseAtEveryStep([&] { reset(); }, save, [&] { return openAsB(); },
                         [&](const zk::test::StepRun& run) {
                             ASSERT_EQ(run.exitCode, 0) << "A's save failed";
                             EXPECT_EQ(entryNames(measurement / "analyses"), (Names{"a0", "a1"}));
                             const std::optional<HeatmapGrid> read =
                                 loadAnalysisRunMap(readAnalysisRun(measurement / "analyses" / "a1"));
                             ASSERT_TRUE(read.has_value());
                             EXPECT_EQ(read->relativeDb, map.relativeDb);
                         });
    EXPECT_GT(moments.leftAlone, 3u);
}

TEST_F(TwoPrograms, AnExportEndsWholeWhateverMomentTheOtherOpens) {
    const AnalysisRunRecord run = readAnalysisRun(original / "measurements" / "m" / "analyses" / "a0");
    AnalysisRunRecord previous = run;  // an older export of other content under the run's name
    previous.peakDb = -1.0;
    exportAnalysisRun(previous, readMeasurementManifest(original / "measurements" / "m"), original);
    const auto exportRun = [&] {
        AnalysisRunRecord here = run;
        here.directory = measurement / "analyses" / "a0";
        exportAnalysisRun(here, readMeasurementManifest(measurement), project);
        return true;
    };
    const Moments moments = pauseAtEveryStep(
        [&] { reset(); }, exportRun, [&] { return openAsB(); },
        [&](const zk::test::StepRun& ended) {
            ASSERT_EQ(ended.exitCode, 0) << "A's export failed";
            EXPECT_EQ(entryNames(project / "exports"), Names{"a0"}) << "nothing left hidden";
            EXPECT_NE(fileText(project / "exports" / "a0" / "export.json").find("\"peakDb\": 3"),
                      std::string::npos);
        });
    EXPECT_GT(moments.leftAlone, 3u);
}

TEST_F(TwoPrograms, ADeletionIsFinishedByItsOwnProgramWhateverMomentTheOtherOpens) {
    const auto remove = [&] {
        const MeasurementDeletion deletion = beginMeasurementDeletion(project, measurement, "m");
        fs::remove_all(deletion.doomed);
        return true;
    };
    const Moments moments = pauseAtEveryStep([&] { reset(); }, remove, [&] { return openAsB(); },
                                             [&](const zk::test::StepRun& run) {
                                                 ASSERT_EQ(run.exitCode, 0) << "A's deletion failed";
                                                 EXPECT_TRUE(loadProject(project).measurements.empty());
                                                 EXPECT_TRUE(entryNames(measurements).empty());
                                             });
    EXPECT_GT(moments.leftAlone, 3u);
}

TEST_F(TwoPrograms, ANoiseFloorSaveEndsWholeWhateverMomentTheOtherOpens) {
    saveNoiseFloorProfile(original, zk::test::taggedProfile(4, 64, 1));
    const auto save = [&] {
        saveNoiseFloorProfile(project, zk::test::taggedProfile(4, 64, 2));
        return true;
    };
    const Moments moments =
        pauseAtEveryStep([&] { reset(); }, save, [&] { return openAsB(); },
                         [&](const zk::test::StepRun& run) {
                             ASSERT_EQ(run.exitCode, 0) << "A's save failed";
                             EXPECT_EQ(loadNoiseFloorProfile(project).averagedFrames, 2u);
                             std::error_code missing;
                             EXPECT_FALSE(fs::exists(project / ".noise_floor.staging", missing));
                             EXPECT_FALSE(fs::exists(project / ".noise_floor.retired", missing));
                         });
    EXPECT_GT(moments.leftAlone, 3u);
}

// A renames the Measurement while B, at every step of A, saves a note without waiting: both labels
// stay whatever moment B wrote in, and while A held the folder B was refused, never reverted.
TEST_F(TwoPrograms, LabelEditsOfTwoProgramsKeepEachOthersLabels) {
    bool noted = false;
    std::size_t refused = 0;
    const auto rename = [&] {
        updateMeasurementLabels(measurement, {.displayName = "name of A"}, lockWaitLimit());
        return true;
    };
    const auto noteAsB = [&] {
        try {
            updateMeasurementLabels(measurement, {.notes = "note of B"}, std::chrono::milliseconds(0));
            noted = true;
        } catch (const EntryUnavailable& held) {
            EXPECT_EQ(held.why(), EntryUnavailable::Why::Held);
            ++refused;
        }
        return false;
    };
    const Moments moments = pauseAtEveryStep(
        [&] {
            reset();
            noted = false;
        },
        rename, noteAsB,
        [&](const zk::test::StepRun& run) {
            ASSERT_EQ(run.exitCode, 0) << "A's rename failed";
            const MeasurementRecord m = readMeasurementManifest(measurement);
            EXPECT_EQ(m.displayName, "name of A");
            EXPECT_EQ(m.notes, noted ? "note of B" : "");
            EXPECT_EQ(m.source, "template") << "every other key kept";
        });
    EXPECT_GT(refused, 0u) << "B never met A's lock";
    EXPECT_GT(moments.opened, refused) << "B never wrote";
}

// A deletes the Measurement while B, at every step of A, saves an AnalysisRun and a derived matrix
// into it: what B saved goes with the Measurement, and nothing B writes makes its folder again.
TEST_F(TwoPrograms, NothingSavedIntoADeletedMeasurementMakesItsFolderAgain) {
    const auto remove = [&] {
        const MeasurementDeletion deletion = beginMeasurementDeletion(project, measurement, "m");
        fs::remove_all(deletion.doomed);
        return true;
    };
    BandMatrix matrix;
    matrix.band.binIndices = {4};
    matrix.band.binFrequenciesHz = {500.0};
    matrix.matrices = {MatrixRows{{std::complex<double>(1.0, 0.0)}}};
    const auto saveAsB = [&] {
        try {
            createAnalysisRun(measurement, "m", "a1", zk::test::sampleParameters(), 1.0, 2.0, 3.0, "b",
                              zk::test::sampleProvenance(), zk::test::sampleMap(8, 6, 1.0));
        } catch (const std::exception&) {
        }
        try {
            writeDerivedMatrix(measurement, DerivedMatrixKey{}, matrix);
        } catch (const std::exception&) {
        }
        return false;
    };
    pauseAtEveryStep([&] { reset(); }, remove, saveAsB,
                     [&](const zk::test::StepRun& run) {
                         ASSERT_EQ(run.exitCode, 0) << "A's deletion failed";
                         EXPECT_TRUE(loadProject(project).measurements.empty());
                         EXPECT_TRUE(entryNames(measurements).empty()) << "nothing made again";
                     });
    // Once it is gone, B is told so and nothing is made.
    expectThrowExactly<EntryUnavailable>(
        [&] {
            createAnalysisRun(measurement, "m", "a1", zk::test::sampleParameters(), 1.0, 2.0, 3.0, "b",
                              zk::test::sampleProvenance(), std::nullopt);
        },
        "the Measurement no longer exists");
    expectThrowExactly<std::runtime_error>(
        [&] { writeDerivedMatrix(measurement, DerivedMatrixKey{}, matrix); },
        "cannot create derived cache directory");
    expectThrowExactly<EntryUnavailable>(
        [&] { updateMeasurementLabels(measurement, {.notes = "late"}, std::chrono::milliseconds(0)); },
        "the Measurement no longer exists");
    EXPECT_TRUE(entryNames(measurements).empty());
}

// A creates a Project while B, at every step of A, opens the folder as the application does and
// clears it as a Create Project would whose check for an empty folder came just before A's temporary
// file: A's Create Project ends with its own project.json every time, and B sees the folder in use.
TEST_F(TwoPrograms, ACreateProjectIsFinishedByItsOwnProgramWhateverMomentTheOtherOpens) {
    const fs::path fresh = folder / "fresh";
    std::size_t creating = 0;  // moments B found A's project.json being written
    const auto create = [&] {
        createProject(fresh, "A");
        return true;
    };
    const auto openAsB = [&] {
        finishInterruptedProjectFile(fresh);
        try {
            ProjectRebuild rebuild;
            ProjectRecord record = loadProjectOrRebuild(fresh, rebuild);
            recoverProject(record);
        } catch (const std::exception&) {
            // not a Project yet
        }
        std::error_code missing;
        if (!fs::exists(fresh / "project.json", missing) && !isEmptyButForRewriteTemporaries(fresh))
            ++creating;
        removeRewriteTemporaries(fresh);
        return false;
    };
    pauseAtEveryStep([&] { fs::remove_all(fresh); }, create, openAsB,
                     [&](const zk::test::StepRun& run) {
                         ASSERT_EQ(run.exitCode, 0) << "A was told it failed";
                         EXPECT_EQ(loadProject(fresh).name, "A");
                         EXPECT_EQ(entryNames(fresh), Names{"project.json"});
                     });
    EXPECT_GT(creating, 0u);
}

#endif

// A program that stops while it holds the Project's lock: the other gives up on it once the bound has
// passed and changes nothing, refuses a deletion at once and names the lock as in use; once the
// holder goes on, every change goes through.
TEST_F(TwoPrograms, AStoppedHolderOfTheProjectsLockIsWaitedForOnlyUpToTheBound) {
    reset();
    zk::test::OtherProgram holder(
        [&] {
            auto* lock = new EntryLock;  // held until the child ends
            if (EntryLock::take(project / ".", *lock) != EntryLock::Take::Taken)
                throw std::runtime_error("not taken");
        },
        zk::test::OtherProgram::After::Stop);
    ASSERT_TRUE(holder.ready());
    const std::string before = fileText(project / "project.json");
    {
        const LockWaitLimit bound(std::chrono::milliseconds(50));
        ProjectRecord record = loadProject(project);
        const auto start = std::chrono::steady_clock::now();
        expectThrowExactly<EntryUnavailable>(
            [&] { record.registerMeasurement("m2"); },
            "another program has held the Project's lock for more than 0.05 s");
        // Only a lower bound: a loaded machine makes the wait longer, never shorter.
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50))
            << "gave up without waiting";
        expectThrowExactly<EntryUnavailable>([&] { beginMeasurementDeletion(project, measurement, "m"); },
                                             "another program is changing the Project");
        EXPECT_EQ(fileText(project / "project.json"), before);
        EXPECT_EQ(entryNames(measurements), Names{"m"}) << "moved back";
        EXPECT_EQ(entryInUse(project), std::optional<std::string>("project.json"));
        // An open that finds the list damaged refuses at once rather than wait for its lock.
        zk::test::writeText(project / "project.json", "{");
        ProjectRebuild rebuild;
        expectThrowExactly<EntryUnavailable>([&] { loadProjectOrRebuild(project, rebuild); },
                                             "another program is changing the Project");
        EXPECT_EQ(fileText(project / "project.json"), "{") << "left as it was";
        zk::test::writeText(project / "project.json", before);
    }
    holder.proceed();
    EXPECT_EQ(holder.finish(), 0);
    EXPECT_EQ(entryInUse(project), std::nullopt);
    ProjectRecord record = loadProject(project);
    record.registerMeasurement("m2");
    EXPECT_EQ(loadProject(project).measurements, (Names{"m", "m2"}));
}

// Another program's recovery that stops while it holds an entry this one has just created: the writer
// of a fixed name waits for it only until its deadline, one of a fresh name (the default) not at all,
// and neither keeps the entry.
TEST_F(TwoPrograms, AStoppedRecoveryHoldingAFreshEntryIsWaitedForOnlyUntilTheDeadline) {
    reset();
    const fs::path fresh = project / ".fresh";
    zk::test::writeText(fresh, "");
    zk::test::OtherProgram recovery(
        [&] {
            auto* lock = new EntryLock;  // held until the child ends
            if (EntryLock::take(fresh, *lock) != EntryLock::Take::Taken)
                throw std::runtime_error("not taken");
        },
        zk::test::OtherProgram::After::Stop);
    ASSERT_TRUE(recovery.ready());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(holdCreatedEntry(fresh, std::chrono::milliseconds(50)), std::nullopt);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50))
        << "gave up without waiting";
    EXPECT_EQ(holdCreatedEntry(fresh), std::nullopt);
    recovery.proceed();
    EXPECT_EQ(recovery.finish(), 0);
    EXPECT_NE(holdCreatedEntry(fresh), std::nullopt);
}

constexpr int kDriverBlocks = 6;
constexpr std::size_t kDriverBlockFrames = 70'000;  // 420 kB: the 1 MiB buffer spills mid-frame

// Also where neither program can take a lock: the Recording names its program, which still runs.
TEST_F(TwoPrograms, ARecordingOfAnotherProgramEndsSavedAndWholeWhileThisOneOpens) {
    const std::string appended =
        zk::test::bytesOf(samplesFrom(0, kDriverBlocks * kDriverBlockFrames * kPatternWire));
    for (const bool locksFail : {false, true}) {
        SCOPED_TRACE(locksFail ? "locks fail" : "locks work");
        reset();
        std::optional<zk::test::LocksFail> noLocks;
        if (locksFail) noLocks.emplace();
        Driver a(project, kDriverBlocks, kDriverBlockFrames, locksFail);
        ASSERT_TRUE(a.started());
        ASSERT_EQ(a.readLine(), "started");
        for (int b = 1; b <= kDriverBlocks + 1; ++b) {
            EXPECT_TRUE(openAsB()) << "the Recording is in use";
            EXPECT_NE(entryInUse(project), std::nullopt) << "a Delete Project would remove the Recording";
            EXPECT_EQ(loadProject(project).measurements, Names{"m"});
            a.step();
            ASSERT_EQ(a.readLine(), b <= kDriverBlocks ? "appended " + std::to_string(b) : "saved");
        }
        EXPECT_EQ(a.wait(), 0);
        EXPECT_EQ(loadProject(project).measurements, (Names{"m", "m1"}));
        EXPECT_EQ(entryInUse(project), std::nullopt);
        EXPECT_FALSE(openAsB());
        EXPECT_EQ(entryNames(measurements), (Names{"m", "m1"}));
        EXPECT_TRUE(fileText(measurements / "m1" / "raw.int16") == appended) << "byte-exact";
    }
}

// Killed after each block, and once more at a random moment of the next step: the next open makes a
// Measurement of every whole frame the driver's file holds, and leaves nothing hidden.
TEST_F(TwoPrograms, AnotherProgramKilledAtAnyMomentIsRecoveredByTheNextOpen) {
    const std::string appended =
        zk::test::bytesOf(samplesFrom(0, kDriverBlocks * kDriverBlockFrames * kPatternWire));
    const std::uint64_t frameBytes = 2 * kPatternWire;
    std::mt19937 random(35);
    int recovered = 0;
    for (int completed = 0; completed <= kDriverBlocks; ++completed) {
        // Where locks fail, killed between steps only: the Recording's description names its program,
        // while a folder its finalize was filling stays in use for its age.
        for (const std::string kind : {"", ", mid-step", ", locks fail"}) {
            const bool midStep = kind == ", mid-step";
            const bool locksFail = kind == ", locks fail";
            SCOPED_TRACE("killed after " + std::to_string(completed) + " blocks" + kind);
            reset();
            std::optional<zk::test::LocksFail> noLocks;
            if (locksFail) noLocks.emplace();
            Driver a(project, kDriverBlocks, kDriverBlockFrames, locksFail);
            ASSERT_TRUE(a.started());
            ASSERT_EQ(a.readLine(), "started");
            for (int b = 1; b <= completed; ++b) {
                a.step();
                ASSERT_EQ(a.readLine(), "appended " + std::to_string(b));
            }
            if (midStep) {
                a.step();
                ::usleep(std::uniform_int_distribution<useconds_t>(0, 20'000)(random));
            }
            a.kill();
            const fs::path staging = recordingStagingPath(measurements, "m1");
            std::error_code missing;
            const std::uint64_t onDisk = std::max<std::uint64_t>(
                fs::exists(staging) ? fs::file_size(staging) : 0,
                fs::exists(measurements / "m1", missing) ? fs::file_size(measurements / "m1" / "raw.int16")
                                                         : 0);
            ProjectRecord record = loadProject(project);
            const ProjectRecoveryReport report = recoverProject(record);
            EXPECT_TRUE(report.failures.empty() && report.inUse.empty()) << "a dead program holds nothing";
            EXPECT_EQ(loadProject(project).measurements, record.measurements);
            const std::uint64_t frames = onDisk / frameBytes;
            if (frames == 0) {
                EXPECT_EQ(record.measurements, Names{"m"});
                EXPECT_EQ(entryNames(measurements), Names{"m"});
                continue;
            }
            EXPECT_EQ(record.measurements, (Names{"m", "m1"}));
            EXPECT_EQ(entryNames(measurements), (Names{"m", "m1"})) << "nothing left hidden";
            EXPECT_EQ(readMeasurementManifest(measurements / "m1").totalFrames, frames);
            EXPECT_TRUE(fileText(measurements / "m1" / "raw.int16") ==
                        appended.substr(0, frames * frameBytes));
            ++recovered;
        }
    }
    EXPECT_GT(recovered, 5);
}

// Each program reads project.json, adds its Measurement and saves, as a finalize does; whatever the
// interleaving, no entry is lost.
TEST_F(TwoPrograms, TwoProgramsRegisteringAtOnceKeepEachOthersEntries) {
    reset();
    constexpr int kEach = 60;
    const auto registerAll = [&](char program) {
        for (int i = 0; i < kEach; ++i) {
            ProjectRecord record = loadProject(project);
            record.registerMeasurement(std::string(1, program) + std::to_string(i));
        }
    };
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        try {
            registerAll('a');
        } catch (...) {
            ::_exit(1);
        }
        ::_exit(0);
    }
    registerAll('b');
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const Names listed = loadProject(project).measurements;
    EXPECT_EQ(listed.size(), 1u + 2 * kEach);
    for (char program : {'a', 'b'}) {
        Names own;
        for (const std::string& name : listed)
            if (name[0] == program) own.push_back(name);
        ASSERT_EQ(own.size(), static_cast<std::size_t>(kEach));
        for (int i = 0; i < kEach; ++i) EXPECT_EQ(own[i], std::string(1, program) + std::to_string(i));
    }
}

}  // namespace
}  // namespace zk::core
