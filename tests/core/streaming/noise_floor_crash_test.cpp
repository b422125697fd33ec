#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/streaming/noise_floor_profile.h"
#include "storage/storage_test_support.h"
#include "streaming/noise_floor_test_support.h"
#include "test_support.h"

namespace zk::core {
namespace {

using Clock = std::chrono::steady_clock;

// Median wall time of a few runs of fn.
template <typename Fn>
Clock::duration medianDuration(Fn&& fn) {
    std::vector<Clock::duration> times;
    for (int run = 0; run < 5; ++run) {
        const auto start = Clock::now();
        fn();
        times.push_back(Clock::now() - start);
    }
    std::sort(times.begin(), times.end());
    return times[2];
}

// Runs fn in a child process and kills it with SIGKILL after `delay` from the moment it starts.
// Returns true when the kill landed, false when fn finished first; fails the test when fn threw.
template <typename Fn>
bool killedPartWay(Clock::duration delay, Fn&& fn) {
    int started[2];
    if (::pipe(started) != 0) {
        ADD_FAILURE() << "pipe failed";
        return false;
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
    ::close(started[0]);
    EXPECT_TRUE(synced);
    std::this_thread::sleep_for(delay);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) return true;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child failed: status " << status;
    return false;
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
    const NoiseFloorProfile probe = zk::test::taggedProfile(M, fftSize, 1);
    const auto saveTime = medianDuration([&] { saveNoiseFloorProfile(project.path(), probe); });
    const auto rewriteTime = medianDuration([&] { rewriteNoiseFloorManifestEnabled(project.path(), false); });

    std::mt19937 random(2024);
    int kills = 0;
    int keptOld = 0;  // killed operations that left the old state
    int tookNew = 0;  // killed operations that had already published the new state
    const auto deadline = Clock::now() + std::chrono::seconds(40);
    for (int round = 0; kills < 240 && Clock::now() < deadline; ++round) {
        const bool rewrite = round % 4 == 3;
        const auto window = 1.5 * (rewrite ? rewriteTime : saveTime);
        const auto delay = std::chrono::duration_cast<Clock::duration>(
            window * std::uniform_real_distribution<double>(0.0, 1.0)(random));
        NoiseFloorProfile next = zk::test::taggedProfile(M, fftSize, tag + 1);
        next.enabled = !enabled;
        const bool killed = killedPartWay(delay, [&] {
            if (rewrite)
                rewriteNoiseFloorManifestEnabled(project.path(), !enabled);
            else
                saveNoiseFloorProfile(project.path(), next);
        });
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
        tag = loaded.averagedFrames;
        enabled = loaded.enabled;
    }
    EXPECT_GE(kills, 200);
    // The kill points spread over the whole operation, before and after its commit.
    EXPECT_GT(keptOld, 0);
    EXPECT_GT(tookNew, 0);
    saveNoiseFloorProfile(project.path(), zk::test::taggedProfile(M, fftSize, tag + 1));
    EXPECT_EQ(zk::test::entryNames(project.path()),
              (std::vector<std::string>{".noise_floor.lock", "noise_floor"}));
}

}  // namespace
}  // namespace zk::core
