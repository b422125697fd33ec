#include "core/storage/project_store.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <system_error>

#include "core/platform/file_platform.h"
#include "core/storage/durable_file.h"
#include "core/storage/file_io.h"
#include "core/storage/fnv1a.h"
#include "core/storage/json_reader.h"
#include "core/storage/json_writer.h"
#include "core/storage/lock_wait.h"
#include "core/storage/measurement_store.h"

namespace zk::core {

namespace fs = std::filesystem;

namespace {

void createDirectoriesOrThrow(const fs::path& directory) {
    std::error_code error;
    const bool created = fs::create_directories(directory, error);
    if (error) throw fs::filesystem_error("create_directories", directory, error);
    // Saving makes project.json durable inside the directory; a new directory needs its own name too.
    const fs::path parent = directory.parent_path().empty() ? fs::path(".") : directory.parent_path();
    if (created && !syncDirectoryToDisk(parent, error)) throw fs::filesystem_error("fsync", parent, error);
}

// Hashes the creation time in nanoseconds, the name and a random value: projects created in the same
// second, or with names of equal length, still get distinct ids.
std::string newProjectId(std::string_view name) {
    const std::int64_t nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                         std::chrono::system_clock::now().time_since_epoch())
                                         .count();
    std::random_device random;
    const std::uint64_t salt = (std::uint64_t{random()} << 32) ^ random();
    std::uint64_t hash = fnv1a64(&nanoseconds, sizeof nanoseconds);
    hash = fnv1a64Append(hash, std::as_bytes(std::span<const char>(name.data(), name.size())));
    hash = fnv1a64Append(hash, std::as_bytes(std::span<const std::uint64_t>(&salt, 1)));
    return "zkproj-" + formatHash64(hash);
}

// ProjectRecord::change; false, with nothing done, while another holder keeps the lock past `deadline`.
// EntryUnavailable (Gone) when the folder no longer exists (it is never made again here: a Delete
// Project of another program removed it) or was moved aside while this waited for its lock.
bool changeUnlessHeld(ProjectRecord& record, const std::function<bool(ProjectRecord&)>& edit,
                      const LockDeadline& deadline) {
    // Through "." so that a Project reached through a symbolic link is locked too. A file system
    // without such locks leaves the list unguarded, as it was without them.
    // A holder that stopped or hangs must not stop this program for good: the wait is bounded.
    EntryLock lock;
    const fs::path folder = record.directory / ".";
    switch (takeEntryLockWithin(folder, deadline, lock)) {
        case EntryLock::Take::Busy:
            return false;
        case EntryLock::Take::Missing:
            throw EntryUnavailable(EntryUnavailable::Entry::Project, EntryUnavailable::Why::Gone);
        default:
            break;
    }
    if (lock && !lock.isNamedBy(folder))
        throw EntryUnavailable(EntryUnavailable::Entry::Project, EntryUnavailable::Why::Gone);
    try {
        record = loadProject(record.directory);
    } catch (const std::exception&) {
        // Unreadable: the change applies to the record as the caller holds it, as it always did.
    }
    if (edit(record)) record.save();
    return true;
}

}  // namespace

void ProjectRecord::save() const {
    createDirectoriesOrThrow(directory);
    // Replaced through a temporary file: truncating the only copy would lose the Project on a crash.
    if (replaceFileContent(directory / kProjectFile, writeProjectJson(*this)) != ReplaceStatus::Ok)
        throw std::runtime_error("cannot write project.json");
}

bool ProjectRecord::change(const std::function<bool(ProjectRecord&)>& edit, bool wait) {
    if (wait) return change(edit, LockDeadline());
    return changeUnlessHeld(*this, edit, LockDeadline(std::chrono::milliseconds(0)));
}

bool ProjectRecord::change(const std::function<bool(ProjectRecord&)>& edit, const LockDeadline& deadline) {
    if (!changeUnlessHeld(*this, edit, deadline))
        throw EntryUnavailable(EntryUnavailable::Entry::Project, EntryUnavailable::Why::Held,
                               deadline.allowed());
    return true;
}

void ProjectRecord::registerMeasurement(std::string_view directoryName, const LockDeadline& deadline) {
    change(
        [directoryName](ProjectRecord& record) {
            std::vector<std::string>& list = record.measurements;
            if (std::find(list.begin(), list.end(), directoryName) != list.end())
                throw std::invalid_argument("measurement directory already registered");
            list.emplace_back(directoryName);
            record.modifiedAt = utcTimestampNow();
            return true;
        },
        deadline);
}

void ProjectRecord::unregisterMeasurement(std::string_view directoryName) {
    change([directoryName](ProjectRecord& record) {
        std::vector<std::string>& list = record.measurements;
        const auto found = std::find(list.begin(), list.end(), directoryName);
        if (found == list.end()) return false;
        list.erase(found);
        record.modifiedAt = utcTimestampNow();
        return true;
    });
}

ProjectRecord newProjectRecord(const fs::path& directory, std::string_view name) {
    ProjectRecord record;
    record.directory = directory;
    record.projectId = newProjectId(name);
    record.name = std::string(name);
    record.createdAt = utcTimestampNow();
    record.modifiedAt = record.createdAt;
    return record;
}

ProjectRecord createProject(const fs::path& directory, std::string_view name) {
    createDirectoriesOrThrow(directory);
    const ProjectRecord record = newProjectRecord(directory, name);
    record.save();
    return record;
}

ProjectRecord loadProject(const fs::path& directory) {
    const fs::path path = directory / kProjectFile;
    std::string text;
    switch (readFileBounded(path, kMaxProjectFileBytes, text)) {
        case FileReadStatus::Ok:
            return parseProjectJson(directory, text);
        case FileReadStatus::CannotOpen:
            throw std::runtime_error("cannot open project.json: " + path.string());
        case FileReadStatus::TooLarge:
            static_assert(kMaxProjectFileBytes == std::size_t{16} << 20, "the message names the bound");
            throw std::runtime_error("project.json exceeds 16 MiB");
        case FileReadStatus::ReadFailed:
            break;
    }
    // A failed read must not pass for a shorter file.
    throw std::runtime_error("cannot read project.json: " + path.string());
}

ProjectRecord parseProjectJson(const fs::path& directory, std::string_view text) {
    const JsonValue root = parseJsonDocument(text);
    ProjectRecord record;
    record.directory = directory;
    record.projectId = root.at("projectId").asString();
    record.name = root.at("name").asString();
    record.createdAt = root.at("createdAt").asString();
    record.modifiedAt = root.at("modifiedAt").asString();
    if (root.contains("notes")) record.notes = root.at("notes").asString();
    const JsonArray& names = root.at("measurements").asArray();
    record.measurements.reserve(names.size());
    for (const JsonValue& entry : names) record.measurements.push_back(entry.asString());
    return record;
}

std::string writeProjectJson(const ProjectRecord& record) {
    std::vector<std::string> names;
    names.reserve(record.measurements.size());
    for (const std::string& name : record.measurements) names.push_back('"' + jsonEscape(name) + '"');
    JsonFileBuilder file;
    file.rawMember("schemaVersion", "1")
        .stringMember("projectId", record.projectId)
        .stringMember("name", record.name)
        .stringMember("createdAt", record.createdAt)
        .stringMember("modifiedAt", record.modifiedAt)
        .stringMember("notes", record.notes)
        .rawMember("measurements", jsonInlineArray(names));
    return file.finish();
}

}  // namespace zk::core
