#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/storage/project_recovery.h"
#include "core/streaming/noise_floor_profile.h"
#include "storage/storage_test_support.h"
#include "streaming/noise_floor_test_support.h"
#include "test_support.h"

namespace zk::core {
namespace {

using Clock = std::chrono::steady_clock;

struct ChildRun {
    bool killed = false;
    Clock::duration ran{};  // from the child's start to its end
};

// Runs fn in a child process, killed with SIGKILL `killAfter` after it starts, or left to finish when
// there is no delay. Fails the test when fn threw or the child died otherwise.
template <typename Fn>
ChildRun runInChild(std::optional<Clock::duration> killAfter, Fn&& fn) {
    int started[2];
    if (::pipe(started) != 0) {
        ADD_FAILURE() << "pipe failed";
        return {};
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(started[0]);
        const char ready = 'r';
        if (::write(started[1], &ready, 1) != 1) ::_exit(3);
        try {
            fn();
        } catch (...) {
            ::_exit(2);
        }
        ::_exit(0);
    }
    ::close(started[1]);
    char ready = 0;
    const bool synced = ::read(started[0], &ready, 1) == 1;
    const auto start = Clock::now();
    ::close(started[0]);
    EXPECT_TRUE(synced);
    if (killAfter) {
        std::this_thread::sleep_for(*killAfter);
        ::kill(child, SIGKILL);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    const ChildRun run{WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL, Clock::now() - start};
    if (!run.killed) {
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child failed: status " << status;
    }
    return run;
}

// Median time a child takes for fn when it is left to finish.
template <typename Fn>
std::chrono::duration<double> medianChildTime(Fn&& fn) {
    std::vector<Clock::duration> times;
    for (int run = 0; run < 3; ++run) times.push_back(runInChild(std::nullopt, fn).ran);
    std::sort(times.begin(), times.end());
    return times[1];
}

// A save or an enabled rewrite killed at any moment leaves the old pair or the new one, whole, and
// nothing that makes the next save or load fail.
TEST(NoiseFloorCrashSafety, KilledSavesAndRewritesLeaveAWholePair) {
    zk::test::TempFolder project;
    const std::uint64_t M = 8;
    const std::uint64_t fftSize = 512;
    saveNoiseFloorProfile(project.path(), zk::test::taggedProfile(M, fftSize, 1));
    std::uint64_t tag = 1;
    bool enabled = false;
    // Kill delays are drawn over a window per operation, started at 1.3 times what a child takes for
    // it (rewriting what is already there) and adapted as the machine's load changes, so that some
    // kills land after the commit and some runs finish.
    const NoiseFloorProfile same = zk::test::taggedProfile(M, fftSize, 1);
    std::chrono::duration<double> windows[2] = {
        1.3 * medianChildTime([&] { saveNoiseFloorProfile(project.path(), same); }),
        1.3 * medianChildTime([&] { rewriteNoiseFloorManifestEnabled(project.path(), false); })};

    std::mt19937 random(2024);
    int kills = 0;
    int keptOld = 0;  // killed operations that left the old state
    int tookNew = 0;  // killed operations that had already published the new state
    // About 10 s on an idle machine; the bound only stops a machine too loaded to reach the kills.
    const auto deadline = Clock::now() + std::chrono::seconds(150);
    for (int round = 0; kills < 205 && Clock::now() < deadline; ++round) {
        const bool rewrite = round % 4 == 3;
        auto& window = windows[rewrite ? 1 : 0];
        const auto delay = std::chrono::duration_cast<Clock::duration>(
            window * std::uniform_real_distribution<double>(0.0, 1.0)(random));
        NoiseFloorProfile next = zk::test::taggedProfile(M, fftSize, tag + 1);
        next.enabled = !enabled;
        const auto operation = [&] {
            if (rewrite)
                rewriteNoiseFloorManifestEnabled(project.path(), !enabled);
            else
                saveNoiseFloorProfile(project.path(), next);
        };
        const bool killed = runInChild(delay, operation).killed;
        if (HasFailure()) return;
        kills += killed ? 1 : 0;

        NoiseFloorProfile loaded;
        try {
            loaded = loadNoiseFloorProfile(project.path());
        } catch (const std::exception& e) {
            FAIL() << "round " << round << ": " << e.what();
        }
        ASSERT_TRUE(zk::test::matricesMatchTag(loaded)) << "round " << round << ": mixed pair";
        ASSERT_EQ(loaded.profileHash, "hash-" + std::to_string(loaded.averagedFrames)) << round;
        const std::uint64_t newTag = rewrite ? tag : tag + 1;
        const bool isOld = loaded.averagedFrames == tag && loaded.enabled == enabled;
        const bool isNew = loaded.averagedFrames == newTag && loaded.enabled == !enabled;
        ASSERT_TRUE(isOld || isNew) << "round " << round << ": tag " << loaded.averagedFrames << " enabled "
                                    << loaded.enabled;
        if (!killed) {
            ASSERT_TRUE(isNew) << round;
        }
        if (killed) (isNew ? tookNew : keptOld) += 1;
        window *= !killed ? 0.9 : isNew ? 1.0 : 1.05;
        tag = loaded.averagedFrames;
        enabled = loaded.enabled;
    }
    EXPECT_GE(kills, 200);
    // The kill points spread over the whole operation, before and after its commit.
    EXPECT_GT(keptOld, 0);
    EXPECT_GT(tookNew, 0);
    saveNoiseFloorProfile(project.path(), zk::test::taggedProfile(M, fftSize, tag + 1));
    // A folder a killed save had made under a name of its own is removed by the next open.
    ProjectRecord opened;
    opened.directory = project.path();
    recoverProject(opened);
    EXPECT_EQ(zk::test::entryNames(project.path()),
              (std::vector<std::string>{".noise_floor.lock", "noise_floor"}));
}

}  // namespace
}  // namespace zk::core
