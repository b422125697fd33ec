#include "core/storage/staged_commit.h"

#include <stdexcept>
#include <system_error>
#include <utility>

namespace zk::core {

namespace fs = std::filesystem;

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

std::optional<EntryLock> holdCreatedEntry(const fs::path& path) {
    EntryLock lock;
    switch (EntryLock::take(path, true, lock)) {
        case EntryLock::Take::Taken:
            if (lock.isNamedBy(path)) return lock;
            return std::nullopt;
        case EntryLock::Take::Unlockable:
            return EntryLock();  // a file system without these locks: unguarded, as without them
        case EntryLock::Take::Busy:
        case EntryLock::Take::Missing:
            break;
    }
    return std::nullopt;
}

StagedDirectory::StagedDirectory(fs::path staging, const char* busyText) : staging_(std::move(staging)) {
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        std::error_code error;
        // A link is never a writer's staging folder (they make and hold directories), and a dangling
        // one would block the name for good.
        if (fs::symlink_status(staging_, error).type() == fs::file_type::symlink) fs::remove(staging_, error);
        if (fs::create_directory(staging_, error)) {
            std::optional<EntryLock> held = holdCreatedEntry(staging_);
            if (!held) continue;
            lock_ = std::move(*held);
            created_ = true;
            return;
        }
        if (error) throw fs::filesystem_error("create_directory", staging_, error);
        // Something is at the name: a dead writer's leftover goes, a living writer's stays.
        const std::optional<EntryLock> leftover = claimLeftover(staging_);
        if (!leftover) throw std::invalid_argument(busyText);
        fs::remove_all(staging_, error);
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

std::optional<EntryLock> claimLeftover(const fs::path& path) {
    EntryLock lock;
    if (EntryLock::take(path, false, lock) == EntryLock::Take::Busy) return std::nullopt;
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
