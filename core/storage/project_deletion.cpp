#include "core/storage/project_deletion.h"

#include <atomic>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "core/storage/durable_file.h"
#include "core/storage/file_io.h"
#include "core/storage/lock_wait.h"
#include "core/storage/project_in_use.h"
#include "core/storage/project_store.h"
#include "core/storage/staged_commit.h"

namespace zk::core {

namespace fs = std::filesystem;

namespace {

// Set by tests only, before the deletion they watch; read by every deletion.
std::atomic<ProjectDeletionHook> deletionHook{nullptr};

// A file differs by any part of its stamp; a folder only by being another folder, as its times change
// with every entry added to or removed from it, and each of those is compared itself.
bool sameState(const EntryStamp& confirmed, const EntryStamp& now) {
    if (confirmed.device != now.device || confirmed.node != now.node || confirmed.directory != now.directory)
        return false;
    return now.directory || confirmed == now;
}

EntryUnavailable projectGone() {
    return EntryUnavailable(EntryUnavailable::Entry::Project, EntryUnavailable::Why::Gone);
}

}  // namespace

ProjectDeletion::ProjectDeletion(fs::path projectDir) : root_(std::move(projectDir)) {
    // "a/b/" names the folder b: moved aside, it must land beside b, not inside it.
    if (!root_.has_filename()) root_ = root_.parent_path();
}

ProjectDeletion::~ProjectDeletion() {
    if (!aside_.empty()) putBack();
}

ProjectDeletion::Inventory ProjectDeletion::inventoryOf(const fs::path& directory) {
    Inventory entries;
    std::error_code error;
    fs::recursive_directory_iterator it(directory, fs::directory_options::skip_permission_denied, error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        // One removed meanwhile is nothing to keep.
        if (const std::optional<EntryStamp> stamp = entryStamp(it->path()))
            entries.emplace(it->path().lexically_relative(directory).generic_string(), *stamp);
    }
    if (error) throw fs::filesystem_error("directory_iterator", directory, error);
    return entries;
}

std::optional<ProjectDeletionRefusal> ProjectDeletion::begin() {
    using Why = ProjectDeletionRefusal::Why;
    std::error_code error;
    if (!fs::is_directory(root_, error)) throw projectGone();
    // Reached through a link, the Project is the folder it leads to: moved aside, the link alone would
    // go while finish() removed the project.json of the folder behind it.
    if (fs::is_symlink(root_, error)) {
        link_ = root_;
        root_ = fs::canonical(link_, error);
        if (error) throw projectGone();
    }
    // What the user confirmed, noted before anything else: whatever another program does from here on
    // shows in the check below.
    const Inventory confirmed = inventoryOf(root_);
    // A writer at work is refused in place, before the move could disturb it.
    if (std::optional<std::string> busy = entryInUse(root_)) return ProjectDeletionRefusal{Why::InUse, *busy};
    switch (EntryLock::take(root_ / ".", lock_)) {
        case EntryLock::Take::Busy:
            return ProjectDeletionRefusal{Why::InUse, std::string(kProjectFile)};
        case EntryLock::Take::Missing:
            throw projectGone();
        default:
            break;
    }
    const fs::path aside = temporaryPathBeside(root_);
    if (!renameWithoutReplace(root_, aside, error)) {
        lock_.release();
        throw fs::filesystem_error("rename", root_, aside, error);
    }
    aside_ = aside;
    std::optional<ProjectDeletionRefusal> refusal;
    try {
        if (const ProjectDeletionHook hook = deletionHook.load()) hook(aside_);
        refusal = checkAside(confirmed);
    } catch (...) {
        putBack();
        throw;
    }
    if (refusal) {
        if (const std::error_code stuck = putBack())
            throw fs::filesystem_error("rename", aside_, root_, stuck);
        return refusal;
    }
    // Kept to be written back should the removal fail: finish() removes project.json first.
    if (readFileBounded(aside_ / kProjectFile, kMaxProjectFileBytes, projectFile_) != FileReadStatus::Ok)
        projectFile_.clear();
    return std::nullopt;
}

std::optional<ProjectDeletionRefusal> ProjectDeletion::checkAside(const Inventory& confirmed) {
    using Why = ProjectDeletionRefusal::Why;
    // The folder's own lock is this deletion's.
    if (std::optional<std::string> busy = entryInsideInUse(aside_))
        return ProjectDeletionRefusal{Why::InUse, *busy};
    for (const auto& [name, stamp] : inventoryOf(aside_)) {
        const auto found = confirmed.find(name);
        if (found == confirmed.end() || !sameState(found->second, stamp))
            return ProjectDeletionRefusal{Why::Changed, name};
    }
    return std::nullopt;
}

bool ProjectDeletion::finish(const TreeRemoval& removeTree) {
    if (aside_.empty()) throw std::logic_error("the Project deletion has not begun");
    // From here on the folder is no Project: a kill leaves nothing that opens as if it were whole.
    removeFileQuietly(aside_ / kProjectFile);
    if (removeTree(aside_)) {
        aside_.clear();
        lock_.release();
        if (!link_.empty()) removeFileQuietly(link_);
        return true;
    }
    putBack();
    return false;
}

void setProjectDeletionHookForTesting(ProjectDeletionHook hook) { deletionHook.store(hook); }

std::error_code ProjectDeletion::putBack() noexcept {
    std::error_code error;
    try {
        const fs::path file = aside_ / kProjectFile;
        if (!projectFile_.empty() && fs::symlink_status(file, error).type() == fs::file_type::not_found)
            replaceFileContent(file, projectFile_);
    } catch (...) {
        // Back without its list rather than not back at all.
    }
    if (!renameWithoutReplace(aside_, root_, error)) return error;
    aside_.clear();
    lock_.release();
    return {};
}

}  // namespace zk::core
