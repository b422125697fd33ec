#pragma once

// Two programs on one Project: program A, a child process that is paused or killed at each of its
// steps (a forked, traced child, or the driver program stepped line by line), and program B, the test's
// own process, which opens the Project or writes into it meanwhile.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "analysis_test_support.h"
#include "core/storage/analysis_run_store.h"
#include "core/storage/lock_wait.h"
#include "core/storage/measurement_store.h"
#include "core/storage/project_recovery.h"
#include "core/storage/project_store.h"
#include "storage/recording_pattern.h"
#include "storage/storage_driver_process.h"
#include "storage/system_call_step_support.h"
#include "storage/template_project_fixture.h"

namespace zk::test {

#if defined(__x86_64__)
// Every file-changing call, and every lock taken: B also opens in the moment between A creating an
// entry and locking it.
inline std::optional<std::string> changesFilesOrLocks(pid_t pid, const user_regs_struct& r) {
    if (r.orig_rax == SYS_flock) return "lock " + step_detail::fdPath(pid, r.rdi);
    return changesFiles(pid, r);
}

// Those, and every look at a file's status: B also acts between A's check of a path and its use.
inline std::optional<std::string> looksAtOrChangesFiles(pid_t pid, const user_regs_struct& r) {
    if (r.orig_rax == SYS_newfstatat || r.orig_rax == SYS_statx)
        return "status " + step_detail::childString(pid, r.rsi);
    if (r.orig_rax == SYS_stat || r.orig_rax == SYS_lstat)
        return "status " + step_detail::childString(pid, r.rdi);
    return changesFilesOrLocks(pid, r);
}

struct Moments {
    std::size_t opened = 0;     // opens of B while A was paused
    std::size_t leftAlone = 0;  // of them, opens that reported an entry of A as in use
};

// Pauses A before each of its steps in turn and lets `whilePaused` run B meanwhile; `prepare`
// resets the files before every run, `check` sees each run after A ended.
inline Moments pauseAtEveryStep(const std::function<void()>& prepare, const std::function<bool()>& work,
                                const std::function<bool()>& whilePaused,
                                const std::function<void(const StepRun&)>& check,
                                const StepFilter& steps = changesFilesOrLocks) {
    Moments moments;
    for (std::size_t step = 1; step < 2000; ++step) {
        prepare();
        const StepRun run = runToStep(step, StepAction::Pause, work, steps, [&] {
            ++moments.opened;
            moments.leftAlone += whilePaused();
        });
        if (!run.reached) break;
        SCOPED_TRACE("B opened before A's " + run.steps[step - 1]);
        check(run);
        if (::testing::Test::HasFatalFailure()) break;
    }
    return moments;
}
#endif

// The template Project also holds an AnalysisRun "a0" of "m".
struct TwoPrograms : TemplateProjectFixture {
    TwoPrograms() : TemplateProjectFixture("two programs") {}

    void SetUp() override {
        TemplateProjectFixture::SetUp();
        if (IsSkipped()) return;
        core::createAnalysisRun(original / "measurements" / "m", "m", "a0", sampleParameters(), 1.0, 2.0, 3.0,
                                "b", sampleProvenance(), sampleMap(40, 30, 3.0));
    }
    // What program B does when it opens the Project: recovery, then the readers. True when the
    // recovery left something alone because A holds it.
    bool openAsB() {
        namespace fs = std::filesystem;
        using namespace zk::core;
        ProjectRecord record = loadProject(project);
        const ProjectRecoveryReport report = recoverProject(record);
        EXPECT_TRUE(report.failures.empty()) << report.failures[0].path << ": " << report.failures[0].error;
        EXPECT_TRUE(report.recoveredRecordings.empty() && report.recoveredMeasurements.empty());
        EXPECT_TRUE(report.recoveredRuns.empty()) << report.recoveredRuns[0];
        for (const std::string& entry : record.measurements) {
            // Listed until its deletion unregisters it; the list shows it as unreadable meanwhile.
            if (!fs::exists(measurements / entry)) continue;
            const MeasurementRecord m = readMeasurementManifest(measurements / entry);
            EXPECT_EQ(fs::file_size(measurements / entry / m.rawFile), m.totalFrames * 2 * kPatternWire);
            for (const std::string& run : listAnalysisRuns(measurements / entry))
                readAnalysisRun(measurements / entry / "analyses" / run);
        }
        return !report.inUse.empty();
    }
};

// Sets the lock wait bound of the process, and restores it when the test ends.
struct LockWaitLimit {
    explicit LockWaitLimit(std::chrono::milliseconds limit) { core::setLockWaitLimit(limit); }
    ~LockWaitLimit() { core::setLockWaitLimit(saved); }
    std::chrono::milliseconds saved = core::lockWaitLimit();
};

}  // namespace zk::test
