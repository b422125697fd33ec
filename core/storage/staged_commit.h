#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/platform/file_platform.h"
#include "core/storage/lock_wait.h"

namespace zk::core {

// The one way the stores put a new item in place, and what the Project's recovery relies on: an item
// is built under a hidden staging name beside its final place (stage), locked by its writer for as
// long as the writer works on it (hold), published under its final name in one step (commit), and
// what a dead writer left is finished or removed by the recovery, which never touches an entry that
// a living writer holds (recover). The locks are the system's advisory ones, dropped when their
// holder dies, so a crash leaves nothing locked.

// Suffix of a Measurement or AnalysisRun folder being built.
inline constexpr std::string_view kCreatingSuffix = ".creating";

// An item replaced whole (the noise floor folder): built in parent/.<name>.staging, the old one set
// aside as parent/.<name>.retired where the file system cannot swap the two, and every save holding
// the lock file parent/.<name>.lock throughout.
inline constexpr std::string_view kStagingSuffix = ".staging";
inline constexpr std::string_view kRetiredSuffix = ".retired";
inline constexpr std::string_view kLockSuffix = ".lock";

// parent / ("." + id + suffix): a hidden name no store lists.
std::filesystem::path hiddenPath(const std::filesystem::path& parent, std::string_view id,
                                 std::string_view suffix);
// The id inside "." + id + suffix; nothing for a name of another form.
std::optional<std::string> idOfHiddenName(std::string_view name, std::string_view suffix);

// How often a writer creates a new entry before it gives up: an entry is gone again only when another
// program's recovery won the race for its lock (holdCreatedEntry), which it cannot win again once the
// name is created anew and locked, so a few rounds always suffice.
inline constexpr int kCreateAttempts = 8;

// A hidden name beside `target` unique to this call, also across processes: "." + target's name + "."
// + digits + "-" + digits + ".tmp", the form the recovery removes when no living writer holds it.
std::filesystem::path temporaryPathBeside(const std::filesystem::path& target);

// Where the file system takes no locks (EntryLock::Take::Unsupported) nobody can tell a living writer
// from a dead one by its lock. A leftover then counts as in use while its writer, when it names
// itself in a scope where its process id tells (processIdScope), still runs on this computer, and
// otherwise while anything in it changed within this time. That age is read against the time the
// file system itself gives a file written now (fileSystemTimeNow), never against this computer's
// clock, which may run hours apart from a file server's.
inline constexpr std::chrono::seconds kUnguardedIdleTime{3600};

// The writer a leftover names (a Recording names itself in its description); empty when unknown. A
// description of an earlier version names no scope.
struct WriterIdentity {
    std::string host;
    std::int64_t processId = 0;
    std::string scope;  // processIdScope() of the writer
};
WriterIdentity thisWriter();

// The modification time the file system of `directory` gives a file written there now, read from a
// hidden temporary file written, read and removed there; nothing when none can be written.
std::optional<std::filesystem::file_time_type> fileSystemTimeNow(const std::filesystem::path& directory);
// For tests: fileSystemTimeNow reads `offset` from what the file system says, as a file server whose
// clock runs that far from this computer's would; 0 (the default) reads it as it is.
void setFileSystemClockOffsetForTesting(std::chrono::seconds offset);

// False where the file system of the Project folder `directory` takes no locks of folders, or none of
// files (probed on its project.json), so that nothing there can tell a second program's work in
// progress from a crash's leftover.
bool locksGuard(const std::filesystem::path& directory);

// For tests: called by every writer between creating a new entry and locking it (holdCreatedEntry),
// on the writer's thread; null (the default) calls nothing.
using CreatedEntryHook = void (*)(const std::filesystem::path& created);
void setCreatedEntryHookForTesting(CreatedEntryHook hook);

// The directory that holds `path`'s name: "." for a bare name.
std::filesystem::path parentOf(const std::filesystem::path& path);
// Flushes a file or (`directory`) a directory to the device; throws std::filesystem::filesystem_error
// "fsync".
void syncOrThrow(const std::filesystem::path& path, bool directory);

// Removes a file, or a directory with everything in it; failures are ignored.
void removeTreeQuietly(const std::filesystem::path& path) noexcept;
// Removes one file (or an empty directory) and never a directory's content; failures are ignored.
void removeFileQuietly(const std::filesystem::path& path) noexcept;

// Hold: locks an entry the caller has just created exclusively. Nothing when the entry is no longer
// there (another program's recovery found it unlocked and removed it in between) or that recovery
// still holds it once `deadline` has passed: the caller then creates it again, a writer of a fresh
// name under another fresh name at once (the default: no wait), a writer of a fixed name once that
// recovery has removed it. The lock is empty on a file system without such locks, where the entry
// stays unguarded.
std::optional<EntryLock> holdCreatedEntry(
    const std::filesystem::path& path,
    const LockDeadline& deadline = LockDeadline(std::chrono::milliseconds(0)));

// Stage and commit: a new hidden directory held by this writer until it is destroyed, removed then
// unless it was committed.
class StagedDirectory {
  public:
    // Creates a new empty directory under a name of its own beside `staging` (whose parent must
    // exist), holds it and only then renames it to `staging`, so that two writers of one name never
    // take each other's new directory for a leftover. A leftover at `staging` is removed first unless
    // a living writer holds it: then std::invalid_argument with `busyText`. Other failures throw
    // std::filesystem::filesystem_error "create_directory".
    StagedDirectory(std::filesystem::path staging, const char* busyText);
    ~StagedDirectory();
    StagedDirectory(const StagedDirectory&) = delete;
    StagedDirectory& operator=(const StagedDirectory&) = delete;

    const std::filesystem::path& path() const { return staging_; }

    // Flushes the tree and publishes it under `finalPath` without replacing anything (see
    // commitStagingDirectory). False when only the flush of the parent failed afterwards.
    bool commit(const std::filesystem::path& finalPath);

    // Publishes it in place of an older directory at `finalPath`: committed when the name is free,
    // otherwise swapped with the old one in one step, or where the file system cannot swap, the old
    // one is renamed to `retired` first and put back when the new one cannot take its place. The old
    // one is removed afterwards. False when only the flush of the parent failed. Throws
    // std::filesystem::filesystem_error "fsync" or "rename"; std::errc::file_exists when something
    // other than a directory is at `finalPath`.
    bool commitReplacing(const std::filesystem::path& finalPath, const std::filesystem::path& retired);

  private:
    std::filesystem::path staging_;
    EntryLock lock_;
    bool created_ = false;  // by this writer, which holds it when the file system can lock
    bool committed_ = false;
};

// Flushes every file and directory in the staging tree and the staging directory itself, renames it
// to `finalPath` only when nothing exists there (renameWithoutReplace), then flushes the parent of
// `finalPath`. Returns false when only that last flush failed: the directory is in place and
// complete, but its name may not survive a power cut. Throws std::filesystem::filesystem_error
// "fsync" (with the path that failed) or "rename" (both paths; std::errc::file_exists when the final
// name is taken); such a failure leaves the staging directory as it was.
bool commitStagingDirectory(const std::filesystem::path& staging, const std::filesystem::path& finalPath);

// Recover: holds a leftover while the recovery acts on it. Nothing when a living writer holds it; the
// lock is empty when the entry is gone or is no kind of entry a writer of ours ever locks. Where the
// file system takes no locks, nothing while the leftover may still be in use (kUnguardedIdleTime),
// judged by `writer` when known; the lock is empty otherwise.
std::optional<EntryLock> claimLeftover(const std::filesystem::path& path, const WriterIdentity& writer = {});

// Settles what a replacing commit whose writer died left at `retired`: the old item goes back to
// `finalPath` when nothing took its place, and is removed otherwise. The caller holds what the
// writer held (its staging item or its lock file). False when a rename or removal failed.
bool settleRetired(const std::filesystem::path& finalPath, const std::filesystem::path& retired);

}  // namespace zk::core
