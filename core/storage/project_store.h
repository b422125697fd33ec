#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/storage/lock_wait.h"

namespace zk::core {

inline constexpr std::string_view kProjectFile = "project.json";
// Far above the list of any real Project; keeps a hostile file from being read whole into memory.
// The repair of a damaged Project reads up to the same bound.
inline constexpr std::size_t kMaxProjectFileBytes = std::size_t{16} << 20;

// A Project directory and its project.json. A plain value: copies are independent and nothing is
// cached between a load and a save. One thread at a time per record; programs and threads that change
// the Measurement list of one Project wait for one another through the lock of the Project folder.
struct ProjectRecord {
    std::filesystem::path directory;
    std::string projectId;  // "zkproj-" + 16 lower-case hex digits; a loaded id is kept as read
    std::string name;
    std::string createdAt;  // UTC timestamp text
    std::string modifiedAt;
    std::string notes;
    std::vector<std::string> measurements;  // Measurement directory names in registration order

    // Creates the directory if missing and replaces project.json through a temporary file, so a crash
    // leaves the old file or the new one. std::runtime_error "cannot write project.json".
    void save() const;
    // Reads project.json afresh under the lock of the Project folder (EntryLock), lets `edit` change
    // that record and, unless it returns false, saves it, so that two programs that each change the
    // list never drop the other's change. This record becomes the one read (and saved); when
    // project.json cannot be read, `edit` works on this record as it is. Waits for other holders of
    // the lock until `deadline`, then throws EntryUnavailable (lock_wait.h); with `wait` false
    // nothing happens and the result is false while another holds it. EntryUnavailable (Gone) when
    // the folder no longer exists (it is never created here) or was moved away during the wait.
    bool change(const std::function<bool(ProjectRecord&)>& edit, const LockDeadline& deadline);
    bool change(const std::function<bool(ProjectRecord&)>& edit, bool wait = true);
    // std::invalid_argument "measurement directory already registered" when listed already (in the
    // file as read under the lock). The record holds the change even when the save then throws.
    void registerMeasurement(std::string_view directoryName, const LockDeadline& deadline = {});
    // Without effect (and without saving) when the name is not listed.
    void unregisterMeasurement(std::string_view directoryName);

    friend bool operator==(const ProjectRecord&, const ProjectRecord&) = default;
};

ProjectRecord createProject(const std::filesystem::path& directory, std::string_view name);
// The record createProject saves (a new id, created and modified now, no Measurements), unsaved.
ProjectRecord newProjectRecord(const std::filesystem::path& directory, std::string_view name);
// std::runtime_error "cannot open project.json: " + path when it cannot be opened (or is not a regular
// file), "project.json exceeds 16 MiB" past the bound, and the JSON and accessor texts otherwise.
ProjectRecord loadProject(const std::filesystem::path& directory);
ProjectRecord parseProjectJson(const std::filesystem::path& directory, std::string_view text);
std::string writeProjectJson(const ProjectRecord& record);

}  // namespace zk::core
