#include "core/storage/project_in_use.h"

#include <system_error>

#include "core/platform/file_platform.h"
#include "core/storage/project_store.h"
#include "core/storage/staged_commit.h"

namespace zk::core {

namespace fs = std::filesystem;

namespace {

// A lock file outlives every save that took it; where no lock tells, its age says nothing of a writer.
bool isLockFile(const fs::path& path, fs::file_type type) {
    return type == fs::file_type::regular && idOfHiddenName(path.filename().string(), kLockSuffix);
}

bool held(const fs::path& path, fs::file_type type) {
    EntryLock lock;
    switch (EntryLock::take(path, lock)) {
        case EntryLock::Take::Busy:
            return true;
        case EntryLock::Take::Unsupported:
            // No lock tells: what a writer has not finished stands under a hidden name, in use while
            // its writer may still be at it.
            return path.filename().string().starts_with('.') && !isLockFile(path, type) &&
                   !claimLeftover(path);
        default:
            return false;
    }
}

}  // namespace

std::optional<std::string> entryInUse(const fs::path& projectDir) {
    // The list's lock is taken through "." as ProjectRecord::change takes it.
    EntryLock lock;
    if (EntryLock::take(projectDir / ".", lock) == EntryLock::Take::Busy)
        return std::string(kProjectFile);
    lock.release();
    return entryInsideInUse(projectDir);
}

std::optional<std::string> entryInsideInUse(const fs::path& projectDir) {
    std::error_code error;
    fs::recursive_directory_iterator it(projectDir, fs::directory_options::skip_permission_denied, error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        std::error_code typeError;
        const fs::file_type type = it->symlink_status(typeError).type();
        if (typeError || (type != fs::file_type::regular && type != fs::file_type::directory)) continue;
        if (held(it->path(), type)) return it->path().lexically_relative(projectDir).generic_string();
    }
    return std::nullopt;
}

}  // namespace zk::core
