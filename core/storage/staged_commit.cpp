#include "core/storage/staged_commit.h"

#include <atomic>
#include <random>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "core/storage/file_io.h"
#include "core/storage/lock_wait.h"
#include "core/storage/project_store.h"

namespace zk::core {

namespace fs = std::filesystem;

namespace {

// Set by tests only, before the writers they watch start; read by every writer.
std::atomic<CreatedEntryHook> createdEntryHook{nullptr};
// Set by tests only, before the recoveries they watch; read by fileSystemTimeNow.
std::atomic<std::chrono::seconds::rep> fileSystemClockOffsetSeconds{0};

// The newest modification of the entry or, for a directory, of anything in it; nothing when it is
// gone. Links are not followed.
std::optional<fs::file_time_type> lastChangeIn(const fs::path& path) {
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path, error);
    if (error || !fs::exists(status)) return std::nullopt;
    fs::file_time_type newest = fs::last_write_time(path, error);
    if (error) newest = fs::file_time_type::max();  // unknown: counts as just changed
    if (!fs::is_directory(status)) return newest;
    for (fs::recursive_directory_iterator it(path, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
        std::error_code timeError;
        const fs::file_time_type time = it->last_write_time(timeError);
        if (!timeError && time > newest) newest = time;
    }
    return newest;
}

// Where no lock tells, whether a writer may still be at work on what it left at `path`.
bool mayBeInUse(const fs::path& path, const WriterIdentity& writer) {
    if (writer.processId > 0 && !writer.host.empty() && writer.host == hostName()) {
        // Its id names the same process here only within one boot and one id namespace; a writer
        // that named no scope (an earlier version) is taken as running while a process has its id.
        const std::string scope = processIdScope();
        if (!scope.empty() && writer.scope == scope) return processIsRunning(writer.processId);
        if (writer.scope.empty() && processIsRunning(writer.processId)) return true;
    }
    const std::optional<fs::file_time_type> changed = lastChangeIn(path);
    if (!changed) return false;
    // Times of one file system against each other: a time ahead of its own now counts as now, and
    // where no file can be written to read that now, nothing is taken.
    const std::optional<fs::file_time_type> now = fileSystemTimeNow(parentOf(path));
    return !now || *now - *changed < kUnguardedIdleTime;
}

}  // namespace

fs::path temporaryPathBeside(const fs::path& target) {
    static std::atomic<std::uint64_t> counter{0};  // only makes names unique within the process
    // Drawn per call: forked processes would share a salt drawn once.
    std::random_device random;
    std::string name = ".";
    name += target.filename().string();
    name += '.';
    name += std::to_string((std::uint64_t{random()} << 32) ^ random());
    name += '-';
    name += std::to_string(counter.fetch_add(1));
    name += ".tmp";
    return parentOf(target) / name;
}

WriterIdentity thisWriter() { return {hostName(), currentProcessId(), processIdScope()}; }

std::optional<fs::file_time_type> fileSystemTimeNow(const fs::path& directory) {
    // A name the recovery removes as a rewrite's temporary should this process die before it does.
    const fs::path probe = temporaryPathBeside(directory / ".clock");
    FileHandle file(openNewFileForBinaryWrite(probe));
    if (!file) return std::nullopt;
    // Written, not only created: a file server stamps a write with its own clock.
    std::fputc('t', file.get());
    const bool closed = closeFile(file);
    std::error_code error;
    const fs::file_time_type time = fs::last_write_time(probe, error);
    removeFileQuietly(probe);
    if (!closed || error) return std::nullopt;
    return time + std::chrono::seconds(fileSystemClockOffsetSeconds.load());
}

void setFileSystemClockOffsetForTesting(std::chrono::seconds offset) {
    fileSystemClockOffsetSeconds.store(offset.count());
}

bool locksGuard(const fs::path& directory) {
    // Both kinds the writers rely on: some mounts serve the locks of folders (a staging folder, the
    // Project's) themselves and refuse those of files (a Recording's staging file, a lock file).
    EntryLock probe;
    if (EntryLock::take(directory / ".", probe) == EntryLock::Take::Unsupported) return false;
    probe.release();
    return EntryLock::take(directory / kProjectFile, probe) != EntryLock::Take::Unsupported;
}

void setCreatedEntryHookForTesting(CreatedEntryHook hook) { createdEntryHook.store(hook); }

fs::path parentOf(const fs::path& path) {
    const fs::path parent = path.parent_path();
    return parent.empty() ? fs::path(".") : parent;
}

void syncOrThrow(const fs::path& path, bool directory) {
    std::error_code error;
    const bool synced = directory ? syncDirectoryToDisk(path, error) : syncPathToDisk(path, error);
    if (!synced) throw fs::filesystem_error("fsync", path, error);
}

fs::path hiddenPath(const fs::path& parent, std::string_view id, std::string_view suffix) {
    // Appended piece by piece: "." + std::string(...) trips a false -Wrestrict of GCC 12.
    std::string name = ".";
    name.append(id).append(suffix);
    return parent / fs::path(name);
}

std::optional<std::string> idOfHiddenName(std::string_view name, std::string_view suffix) {
    if (name.size() <= suffix.size() + 1 || name.front() != '.' || !name.ends_with(suffix)) return {};
    return std::string(name.substr(1, name.size() - 1 - suffix.size()));
}

void removeTreeQuietly(const fs::path& path) noexcept {
    std::error_code ignored;
    fs::remove_all(path, ignored);
}

void removeFileQuietly(const fs::path& path) noexcept {
    std::error_code ignored;
    fs::remove(path, ignored);
}

std::optional<EntryLock> holdCreatedEntry(const fs::path& path, const LockDeadline& deadline) {
    if (const CreatedEntryHook hook = createdEntryHook.load()) hook(path);
    EntryLock lock;
    // Bounded: a recovery that stopped while it held the entry must not stop this writer for good.
    switch (takeEntryLockWithin(path, deadline, lock)) {
        case EntryLock::Take::Taken:
            if (lock.isNamedBy(path)) return lock;
            return std::nullopt;
        case EntryLock::Take::Unlockable:
        case EntryLock::Take::Unsupported:
            // Unguarded by a lock: where the file system takes none, its fresh changes keep it.
            return EntryLock();
        case EntryLock::Take::Busy:
        case EntryLock::Take::Missing:
            break;
    }
    return std::nullopt;
}

StagedDirectory::StagedDirectory(fs::path staging, const char* busyText) : staging_(std::move(staging)) {
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        // Made and held under a name nobody else uses: created at the staging name it would stand
        // there unheld for a moment, and another writer of the same name would remove it as a dead
        // writer's leftover.
        const fs::path own = temporaryPathBeside(staging_);
        std::error_code error;
        if (!fs::create_directory(own, error)) {
            if (error) throw fs::filesystem_error("create_directory", staging_, error);
            continue;
        }
        std::optional<EntryLock> held = holdCreatedEntry(own);
        if (!held) continue;  // another program's recovery took it for a crash's leftover
        // The lock follows the directory to the staging name.
        for (int round = 0; round < kCreateAttempts; ++round) {
            if (renameWithoutReplace(own, staging_, error)) {
                lock_ = std::move(*held);
                created_ = true;
                return;
            }
            if (error != std::errc::file_exists) break;
            // Something is at the name: a dead writer's leftover (or a link, never a writer's folder)
            // goes, a living writer's stays.
            const std::optional<EntryLock> leftover = claimLeftover(staging_);
            if (!leftover) {
                removeTreeQuietly(own);
                throw std::invalid_argument(busyText);
            }
            fs::remove_all(staging_, error);
            if (error) break;
        }
        removeTreeQuietly(own);
        if (error) throw fs::filesystem_error("create_directory", staging_, error);
    }
    throw fs::filesystem_error("create_directory", staging_, std::make_error_code(std::errc::file_exists));
}

StagedDirectory::~StagedDirectory() {
    // Still ours: nobody else removes or replaces an entry that this writer holds.
    if (!committed_ && (lock_ ? lock_.isNamedBy(staging_) : created_)) removeTreeQuietly(staging_);
}

bool StagedDirectory::commit(const fs::path& finalPath) {
    const bool durable = commitStagingDirectory(staging_, finalPath);
    committed_ = true;
    return durable;
}

bool StagedDirectory::commitReplacing(const fs::path& finalPath, const fs::path& retired) {
    std::error_code error;
    const fs::file_status old = fs::symlink_status(finalPath, error);
    if (old.type() == fs::file_type::not_found) return commit(finalPath);
    if (error) throw fs::filesystem_error("rename", staging_, finalPath, error);
    // Only a directory is an older item; anything else at that name is not ours to replace.
    if (!fs::is_directory(old))
        throw fs::filesystem_error("rename", staging_, finalPath,
                                   std::make_error_code(std::errc::file_exists));
    for (fs::recursive_directory_iterator it(staging_, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error))
        if (it->is_regular_file()) syncOrThrow(it->path(), false);
    if (error) throw fs::filesystem_error("fsync", staging_, error);
    syncOrThrow(staging_, true);
    if (exchangePaths(staging_, finalPath, error)) {
        committed_ = true;
        // The staging name now holds the old item, which nobody holds.
        removeTreeQuietly(staging_);
    } else {
        if (error != std::errc::operation_not_supported)
            throw fs::filesystem_error("rename", staging_, finalPath, error);
        if (!renameWithoutReplace(finalPath, retired, error))
            throw fs::filesystem_error("rename", finalPath, retired, error);
        if (!renameWithoutReplace(staging_, finalPath, error)) {
            std::error_code ignored;
            renameWithoutReplace(retired, finalPath, ignored);
            throw fs::filesystem_error("rename", staging_, finalPath, error);
        }
        committed_ = true;
        removeTreeQuietly(retired);
    }
    return syncDirectoryToDisk(parentOf(finalPath), error);
}

bool commitStagingDirectory(const fs::path& staging, const fs::path& finalPath) {
    std::error_code error;
    fs::recursive_directory_iterator it(staging, error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        std::error_code typeError;
        const fs::file_status status = it->symlink_status(typeError);
        if (typeError) throw fs::filesystem_error("fsync", it->path(), typeError);
        if (fs::is_regular_file(status)) syncOrThrow(it->path(), false);
        if (fs::is_directory(status)) syncOrThrow(it->path(), true);
    }
    if (error) throw fs::filesystem_error("fsync", staging, error);
    syncOrThrow(staging, true);
    if (!renameWithoutReplace(staging, finalPath, error))
        throw fs::filesystem_error("rename", staging, finalPath, error);
    return syncDirectoryToDisk(parentOf(finalPath), error);
}

std::optional<EntryLock> claimLeftover(const fs::path& path, const WriterIdentity& writer) {
    EntryLock lock;
    switch (EntryLock::take(path, lock)) {
        case EntryLock::Take::Busy:
            return std::nullopt;
        case EntryLock::Take::Unsupported:
            if (mayBeInUse(path, writer)) return std::nullopt;
            break;
        case EntryLock::Take::Taken:
        case EntryLock::Take::Missing:
        case EntryLock::Take::Unlockable:
            break;
    }
    return lock;
}

bool settleRetired(const fs::path& finalPath, const fs::path& retired) {
    std::error_code error;
    if (fs::symlink_status(retired, error).type() == fs::file_type::not_found) return true;
    // Without the old item the final name would stay empty: it is never removed then.
    if (fs::symlink_status(finalPath, error).type() == fs::file_type::not_found)
        return renameWithoutReplace(retired, finalPath, error);
    fs::remove_all(retired, error);
    return !error;
}

}  // namespace zk::core
