#include "core/storage/staged_commit.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "storage/storage_test_support.h"
#include "test_support.h"

namespace zk::core {
namespace {

namespace fs = std::filesystem;
using Take = EntryLock::Take;
using zk::test::fileText;
using zk::test::writeText;

TEST(EntryLock, OneHolderAtATimeAndTheKindsOfEntryItRefuses) {
    zk::test::TempFolder folder;
    writeText(folder / "file", "x");
    fs::create_directory(folder / "dir");
    fs::create_symlink(folder / "file", folder / "link");
    ::mkfifo((folder / "fifo").c_str(), 0600);
    for (const char* name : {"file", "dir"}) {
        SCOPED_TRACE(name);
        EntryLock first;
        ASSERT_EQ(EntryLock::take(folder / name, false, first), Take::Taken);
        EXPECT_TRUE(first.isNamedBy(folder / name));
        EntryLock second;  // another holder in this process counts as another program
        EXPECT_EQ(EntryLock::take(folder / name, false, second), Take::Busy);
        EXPECT_FALSE(second);
        first.release();
        EXPECT_EQ(EntryLock::take(folder / name, false, second), Take::Taken);
    }
    EntryLock lock;
    EXPECT_EQ(EntryLock::take(folder / "absent", false, lock), Take::Missing);
    EXPECT_EQ(EntryLock::take(folder / "link", false, lock), Take::Unlockable);
    EXPECT_EQ(EntryLock::take(folder / "fifo", false, lock), Take::Unlockable);
}

// True while the thread waits in flock, as the system tells.
bool blockedInFlock(pid_t thread) {
    std::ifstream in("/proc/self/task/" + std::to_string(thread) + "/syscall");
    std::string call;
    return in >> call && call == std::to_string(SYS_flock);
}

TEST(EntryLock, AWaitingTakeReturnsOnlyOnceTheHolderLetsGo) {
    if (!std::ifstream("/proc/thread-self/syscall")) GTEST_SKIP() << "the system does not tell the call";
    zk::test::TempFolder folder;
    EntryLock holder;
    ASSERT_EQ(EntryLock::take(folder.path(), false, holder), Take::Taken);
    std::atomic<pid_t> thread{0};   // the waiter's thread id, once it runs
    std::atomic<bool> back{false};  // the waiter's take returned
    Take result = Take::Missing;
    std::thread waiter([&] {
        thread = static_cast<pid_t>(::syscall(SYS_gettid));
        EntryLock lock;
        result = EntryLock::take(folder.path(), true, lock);
        back = true;
    });
    // Waits for the event, not for a time: the waiter blocked in the lock, or back without it.
    while (!back && !(thread != 0 && blockedInFlock(thread))) std::this_thread::yield();
    const bool returnedWhileHeld = back;
    holder.release();
    waiter.join();
    EXPECT_FALSE(returnedWhileHeld) << "did not wait for the holder";
    EXPECT_EQ(result, Take::Taken);
}

TEST(EntryLock, NoLongerNamedOnceTheEntryIsRemovedOrReplaced) {
    zk::test::TempFolder folder;
    writeText(folder / "a", "x");
    EntryLock lock;
    ASSERT_EQ(EntryLock::take(folder / "a", false, lock), Take::Taken);
    fs::remove(folder / "a");
    EXPECT_FALSE(lock.isNamedBy(folder / "a"));
    writeText(folder / "a", "y");
    EXPECT_FALSE(lock.isNamedBy(folder / "a"));
}

TEST(EntryLock, TheSystemDropsTheLockOfAHolderThatDies) {
    zk::test::TempFolder folder;
    writeText(folder / "held", "x");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        EntryLock lock;
        const bool taken = EntryLock::take(folder / "held", false, lock) == Take::Taken;
        (void)!::write(ready[1], taken ? "1" : "0", 1);
        ::pause();
        ::_exit(0);
    }
    char answer = 0;
    ASSERT_EQ(::read(ready[0], &answer, 1), 1);
    ASSERT_EQ(answer, '1');
    EntryLock lock;
    EXPECT_EQ(EntryLock::take(folder / "held", false, lock), Take::Busy);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(EntryLock::take(folder / "held", false, lock), Take::Taken);
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST(StagedDirectory, ReplacesADeadWritersLeftoverRefusesALivingOnesAndRemovesItsOwnUncommitted) {
    zk::test::TempFolder folder;
    const fs::path staging = folder / ".x.creating";
    fs::create_directory(staging);
    writeText(staging / "old", "from a killed writer");
    {
        StagedDirectory staged(staging, "busy");
        EXPECT_TRUE(fs::is_empty(staging));
        EntryLock other;
        EXPECT_EQ(EntryLock::take(staging, false, other), Take::Busy);
        try {
            StagedDirectory second(staging, "busy");
            ADD_FAILURE() << "a living writer's staging was taken over";
        } catch (const std::invalid_argument& error) {
            EXPECT_STREQ(error.what(), "busy");
        }
        EXPECT_TRUE(fs::exists(staging));
    }
    EXPECT_FALSE(fs::exists(staging)) << "uncommitted, so removed";
    {
        StagedDirectory staged(staging, "busy");
        writeText(staging / "f", "whole");
        staged.commit(folder / "x");
    }
    EXPECT_EQ(fileText(folder / "x" / "f"), "whole");
}

// A writer whose folder was removed under it (another program deleted what held it) and made anew by
// a second writer leaves the second writer's folder alone when it goes.
TEST(StagedDirectory, AWriterRemovesOnlyTheFolderItStillHolds) {
    zk::test::TempFolder folder;
    const fs::path staging = folder / ".x.creating";
    std::optional<StagedDirectory> first(std::in_place, staging, "busy");
    fs::remove_all(staging);
    StagedDirectory second(staging, "busy");
    writeText(staging / "f", "second's");
    first.reset();
    EXPECT_EQ(fileText(staging / "f"), "second's");
    second.commit(folder / "x");
    EXPECT_EQ(fileText(folder / "x" / "f"), "second's");
}

TEST(SettleRetired, AnOlderItemComesBackOnlyWhereNothingTookItsPlace) {
    zk::test::TempFolder folder;
    fs::create_directories(folder / ".a.retired");
    writeText(folder / ".a.retired" / "f", "old a");
    EXPECT_TRUE(settleRetired(folder / "a", folder / ".a.retired"));
    EXPECT_EQ(fileText(folder / "a" / "f"), "old a");
    fs::create_directories(folder / ".a.retired");
    EXPECT_TRUE(settleRetired(folder / "a", folder / ".a.retired"));
    EXPECT_FALSE(fs::exists(folder / ".a.retired"));
    EXPECT_EQ(fileText(folder / "a" / "f"), "old a");
    EXPECT_TRUE(settleRetired(folder / "b", folder / ".b.retired")) << "nothing to settle";
}

}  // namespace
}  // namespace zk::core
