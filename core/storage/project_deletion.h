#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <system_error>

#include "core/platform/file_platform.h"

namespace zk::core {

// Why a Delete Project left the Project as it was, with the entry that made it refuse: its path
// relative to the Project folder, in generic form ("project.json" for the Project's own lock).
struct ProjectDeletionRefusal {
    enum class Why {
        InUse,    // a living program holds it (entryInUse)
        Changed,  // another program added or changed it after the deletion began
    };
    Why why = Why::InUse;
    std::string entry;

    friend bool operator==(const ProjectDeletionRefusal&, const ProjectDeletionRefusal&) = default;
};

// Deletes a Project folder and only what it held when the deletion began, which is what the user
// confirmed; in two steps, so that the caller can close the Project in between. One thread.
//
// begin() notes every entry, holds the Project's lock (so no list change of another program is under
// way), moves the folder aside under a hidden name beside it (nothing new can start in it from then
// on: every writer reaches the Project by its path, and none makes the folder again), and checks that
// no entry inside is in use and none was added or changed since the start; otherwise the folder goes
// back in place and begin() refuses. finish() then removes the folder, project.json first, so that a
// kill at any moment leaves the Project whole at its place or no Project at all (a hidden folder
// without project.json may stay beside it). A Project reached through a link is the folder the link
// leads to; the link goes with it.
class ProjectDeletion {
  public:
    // Removes a directory tree, true once it is gone.
    using TreeRemoval = std::function<bool(const std::filesystem::path&)>;

    explicit ProjectDeletion(std::filesystem::path projectDir);
    // Puts back a folder that begin() moved aside and finish() did not remove.
    ~ProjectDeletion();
    ProjectDeletion(const ProjectDeletion&) = delete;
    ProjectDeletion& operator=(const ProjectDeletion&) = delete;

    // Nothing once the folder is moved aside and checked; the refusal otherwise, with the Project as it
    // was. Never waits. Throws EntryUnavailable (Project, Gone) when the folder no longer exists,
    // std::filesystem::filesystem_error "directory_iterator" when it cannot be listed and "rename"
    // when it cannot be moved aside or back (with both paths).
    std::optional<ProjectDeletionRefusal> begin();

    // Removes what begin() moved aside with `removeTree`. False when part of it remains: the folder
    // then goes back to its place with its project.json, and what was removed stays removed.
    bool finish(const TreeRemoval& removeTree);

  private:
    using Inventory = std::map<std::string, EntryStamp>;
    static Inventory inventoryOf(const std::filesystem::path& directory);
    std::optional<ProjectDeletionRefusal> checkAside(const Inventory& confirmed);
    // The folder back at its place; the error when it could not go back.
    std::error_code putBack() noexcept;

    std::filesystem::path root_;
    std::filesystem::path link_;   // the link the Project was reached through, removed with it
    std::filesystem::path aside_;  // set while the folder stands under its hidden name
    EntryLock lock_;               // the Project folder's lock, which follows it aside
    std::string projectFile_;      // project.json as confirmed, written back when the folder returns
};

// For tests: called by begin() with the folder's hidden name, once it stands there and before it is
// checked, on the caller's thread; null (the default) calls nothing.
using ProjectDeletionHook = void (*)(const std::filesystem::path& aside);
void setProjectDeletionHookForTesting(ProjectDeletionHook hook);

}  // namespace zk::core
