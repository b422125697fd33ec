#include "core/storage/staged_commit.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/storage/lock_wait.h"
#include "core/storage/measurement_store.h"
#include "core/storage/project_store.h"
#include "core/storage/recording.h"
#include "core/streaming/noise_floor_profile.h"
#include "storage/recording_pattern.h"
#include "storage/storage_test_support.h"
#include "streaming/noise_floor_test_support.h"
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
        ASSERT_EQ(EntryLock::take(folder / name, first), Take::Taken);
        EXPECT_TRUE(first.isNamedBy(folder / name));
        EntryLock second;  // another holder in this process counts as another program
        EXPECT_EQ(EntryLock::take(folder / name, second), Take::Busy);
        EXPECT_FALSE(second);
        first.release();
        EXPECT_EQ(EntryLock::take(folder / name, second), Take::Taken);
    }
    EntryLock lock;
    EXPECT_EQ(EntryLock::take(folder / "absent", lock), Take::Missing);
    EXPECT_EQ(EntryLock::take(folder / "link", lock), Take::Unlockable);
    EXPECT_EQ(EntryLock::take(folder / "fifo", lock), Take::Unlockable);
}

TEST(EntryLock, NoLongerNamedOnceTheEntryIsRemovedOrReplaced) {
    zk::test::TempFolder folder;
    writeText(folder / "a", "x");
    EntryLock lock;
    ASSERT_EQ(EntryLock::take(folder / "a", lock), Take::Taken);
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
        const bool taken = EntryLock::take(folder / "held", lock) == Take::Taken;
        (void)!::write(ready[1], taken ? "1" : "0", 1);
        ::pause();
        ::_exit(0);
    }
    char answer = 0;
    ASSERT_EQ(::read(ready[0], &answer, 1), 1);
    ASSERT_EQ(answer, '1');
    EntryLock lock;
    EXPECT_EQ(EntryLock::take(folder / "held", lock), Take::Busy);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(EntryLock::take(folder / "held", lock), Take::Taken);
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
        EXPECT_EQ(EntryLock::take(staging, other), Take::Busy);
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

// Holds every entry a writer creates before the writer can, as a recovery that stopped right there.
std::vector<EntryLock>* heldByStoppedRecovery = nullptr;  // the test's thread only
void holdEveryCreatedEntry(const fs::path& created) {
    EntryLock lock;
    if (EntryLock::take(created, lock) == Take::Taken) heldByStoppedRecovery->push_back(std::move(lock));
}

// An action asked not to wait (as the GUI thread asks) never waits, however many entries it creates
// that another program holds: it gives up on each at once, never once per entry up to the bound.
TEST(LockDeadline, AnActionThatMayNotWaitNeverWaitsForTheEntriesItCreates) {
    zk::test::TempFolder folder;
    const fs::path project = folder / "p";
    createProject(project, "p");
    Recording recording(project, "m", zk::test::threeChannelProfile(), "s");
    recording.append(zk::test::samplesFrom(0, 3 * 10));
    recording.finalize("");
    const fs::path measurement = project / "measurements" / "m";
    const std::pair<const char*, std::function<void()>> actions[] = {
        {"noise floor save",
         [&] {
             saveNoiseFloorProfile(project, zk::test::taggedProfile(4, 64, 1), std::chrono::milliseconds(0));
         }},
        {"label edit",
         [&] { updateMeasurementLabels(measurement, {.notes = "n"}, std::chrono::milliseconds(0)); }},
        {"project change", [&] {
             ProjectRecord record = loadProject(project);
             record.change([](ProjectRecord& r) { return !(r.notes = "n").empty(); }, false);
         }}};
    const std::chrono::milliseconds bound = lockWaitLimit();
    setLockWaitLimit(std::chrono::seconds(5));
    std::vector<EntryLock> held;
    heldByStoppedRecovery = &held;
    setCreatedEntryHookForTesting(holdEveryCreatedEntry);
    for (const auto& [name, action] : actions) {
        SCOPED_TRACE(name);
        held.clear();
        const auto start = std::chrono::steady_clock::now();
        EXPECT_ANY_THROW(action()) << "nothing it created was its own";
        EXPECT_LT(std::chrono::steady_clock::now() - start, lockWaitLimit()) << "it waited";
        EXPECT_GE(held.size(), 2u) << "it made a fresh entry instead of waiting";
    }
    setCreatedEntryHookForTesting(nullptr);
    heldByStoppedRecovery = nullptr;
    setLockWaitLimit(bound);
}

}  // namespace
}  // namespace zk::core
