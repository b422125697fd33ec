#include "core/storage/project_repair.h"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <tuple>
#include <utility>
#include <vector>

#include "core/platform/file_platform.h"
#include "core/storage/durable_file.h"
#include "core/storage/lock_wait.h"
#include "core/storage/file_io.h"
#include "core/storage/measurement_store.h"
#include "core/storage/project_recovery.h"
#include "core/storage/staged_commit.h"

namespace zk::core {

namespace fs = std::filesystem;

namespace {

bool isRegularFileEntry(const fs::directory_entry& entry) {
    std::error_code error;
    return entry.is_regular_file(error) && !entry.is_symlink(error);
}

std::vector<fs::directory_entry> entriesOf(const fs::path& directory) {
    std::vector<fs::directory_entry> entries;
    std::error_code error;
    fs::directory_iterator it(directory, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) entries.push_back(*it);
    if (error) throw fs::filesystem_error("directory_iterator", directory, error);
    return entries;
}

bool isOurTemporary(const fs::directory_entry& entry) {
    return isRewriteTemporaryName(entry.path().filename().string()) && isRegularFileEntry(entry);
}

constexpr std::string_view kDamagedPrefix = "project.json.damaged-";

// A temporary its writer still holds is being written: another program is creating the Project.
bool isLeftoverTemporary(const fs::directory_entry& entry) {
    return isOurTemporary(entry) && claimLeftover(entry.path()).has_value();
}

// "20261209T213000Z": the UTC timestamp without the separators a file name may not hold everywhere.
std::string compactUtcNow() {
    std::string text = utcTimestampNow();
    std::erase_if(text, [](char c) { return c == '-' || c == ':'; });
    return text;
}

// The whole Measurement folders by start time (then name); folders without a readable manifest
// naming them are left to the recovery, which reports them.
std::vector<std::string> measurementFoldersByStart(const fs::path& projectDir) {
    const fs::path measurements = projectDir / "measurements";
    std::error_code error;
    if (!fs::is_directory(measurements, error)) return {};
    std::vector<std::pair<std::string, std::string>> found;  // start time, name
    for (const fs::directory_entry& entry : entriesOf(measurements)) {
        const std::string name = entry.path().filename().string();
        // A link is no folder of this Project, even when it leads to a Measurement elsewhere.
        if (name.starts_with('.') || name == "measurements" || entry.is_symlink(error) ||
            !entry.is_directory(error))
            continue;
        try {
            validateMeasurementId(name);
            const MeasurementRecord m = readMeasurementManifest(entry.path());
            if (m.measurementId == name) found.emplace_back(m.startedAt, name);
        } catch (const std::exception&) {
            // not a Measurement this list can hold
        }
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> names;
    for (auto& [startedAt, name] : found) names.push_back(std::move(name));
    return names;
}

enum class ProjectFileState { Readable, Damaged, Missing };

// Reads project.json into `record`, or says why it cannot be used (`damage`). A regular file that
// cannot be opened (no permission) is not damaged: loadProject's error passes through.
ProjectFileState inspectProjectFile(const fs::path& directory, ProjectRecord& record, std::string& damage) {
    const fs::path file = directory / kProjectFile;
    std::string text;
    const FileReadStatus read = readFileBounded(file, kMaxProjectFileBytes, text);
    if (read == FileReadStatus::CannotOpen) {
        // Anything else under the name (a pipe, a folder, a dangling link) is damage.
        std::error_code error;
        const fs::file_status entry = fs::symlink_status(file, error);
        const fs::file_status target = fs::status(file, error);
        if (!fs::exists(entry)) return ProjectFileState::Missing;
        if (fs::is_regular_file(target)) {
            record = loadProject(directory);
            return ProjectFileState::Readable;
        }
        damage = "project.json is not a regular file";
        return ProjectFileState::Damaged;
    }
    try {
        // A read past the bound or a failed one throws with its text.
        record = read == FileReadStatus::Ok ? parseProjectJson(directory, text) : loadProject(directory);
        return ProjectFileState::Readable;
    } catch (const std::exception& error) {
        damage = error.what();
    }
    return ProjectFileState::Damaged;
}

bool holdsDamagedCopy(const fs::path& directory) {
    try {
        for (const fs::directory_entry& entry : entriesOf(directory))
            if (entry.path().filename().string().starts_with(kDamagedPrefix)) return true;
    } catch (const std::exception&) {
        // nothing listed, nothing found
    }
    return false;
}

// Puts the rebuilt list in place as project.json: written and flushed beside it first, then a damaged
// file there moves aside under a free name and the new one takes its place, or the damaged one goes
// back. Records in `rebuild` where the damaged file went, or why nothing changed.
void placeRebuiltList(const fs::path& directory, std::string_view text, bool damagedInPlace,
                      ProjectRebuild& rebuild) {
    const fs::path file = directory / kProjectFile;
    const std::string stamp = compactUtcNow();
    std::error_code error;
    const ReplaceStatus placed = placeNewFileContent(file, text, [&](const fs::path& rebuilt) {
        fs::path aside;
        for (int attempt = 0; damagedInPlace && aside.empty(); ++attempt) {
            std::string name = std::string(kDamagedPrefix) + stamp;
            if (attempt > 0) name.append("-").append(std::to_string(attempt));  // "-" + ... trips -Wrestrict
            // Never over an older copy: the user may still find more in it than the rebuilt list holds.
            if (renameWithoutReplace(file, directory / name, error)) {
                aside = directory / name;
                rebuild.asideName = name;
            } else if (error != std::errc::file_exists || attempt >= 100) {
                return false;
            }
        }
        if (renameWithoutReplace(rebuilt, file, error)) return true;
        std::error_code ignored;
        if (!aside.empty() && renameWithoutReplace(aside, file, ignored)) rebuild.asideName.clear();
        return false;
    });
    switch (placed) {
        case ReplaceStatus::Ok:
        case ReplaceStatus::NotDurable:
            return;
        case ReplaceStatus::CannotCreate:
        case ReplaceStatus::WriteFailed:
            break;
    }
    rebuild.unsaved = error ? "cannot write project.json: " + error.message() : "cannot write project.json";
}

}  // namespace

bool isEmptyButForRewriteTemporaries(const fs::path& directory) {
    std::error_code error;
    const fs::file_status status = fs::status(directory, error);
    if (error && error != std::errc::no_such_file_or_directory)
        throw fs::filesystem_error("status", directory, error);
    if (!fs::exists(status)) return true;
    if (!fs::is_directory(status)) return false;
    const std::vector<fs::directory_entry> entries = entriesOf(directory);
    return std::all_of(entries.begin(), entries.end(), isLeftoverTemporary);
}

void removeRewriteTemporaries(const fs::path& directory) {
    try {
        for (const fs::directory_entry& entry : entriesOf(directory)) {
            if (!isOurTemporary(entry)) continue;
            const std::optional<EntryLock> held = claimLeftover(entry.path());
            std::error_code ignored;
            if (held) fs::remove(entry.path(), ignored);
        }
    } catch (const std::exception&) {
        // nothing listed, nothing removed
    }
}

bool finishInterruptedProjectFile(const fs::path& directory) {
    std::error_code error;
    if (fs::symlink_status(directory / kProjectFile, error).type() != fs::file_type::not_found) return false;
    std::vector<fs::directory_entry> candidates;
    try {
        for (const fs::directory_entry& entry : entriesOf(directory)) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with(".project.json.") && isOurTemporary(entry)) candidates.push_back(entry);
        }
    } catch (const std::exception&) {
        return false;
    }
    // The newest first: it holds the last content a save wrote.
    std::sort(candidates.begin(), candidates.end(), [](const auto& a, const auto& b) {
        std::error_code ignored;
        return a.last_write_time(ignored) > b.last_write_time(ignored);
    });
    for (const fs::directory_entry& candidate : candidates) {
        // One its writer still holds is that writer's to put in place: a Create Project under way.
        const std::optional<EntryLock> held = claimLeftover(candidate.path());
        if (!held) continue;
        std::string text;
        if (readFileBounded(candidate.path(), kMaxProjectFileBytes, text) != FileReadStatus::Ok) continue;
        try {
            parseProjectJson(directory, text);
        } catch (const std::exception&) {
            continue;  // cut short by the kill: the folder stays empty but for temporaries
        }
        if (!renameWithoutReplace(candidate.path(), directory / kProjectFile, error)) return false;
        syncDirectoryToDisk(directory, error);
        return true;
    }
    return false;
}

ProjectRecord loadProjectOrRebuild(const fs::path& directory, ProjectRebuild& rebuild) {
    rebuild = {};
    ProjectRecord record;
    ProjectFileState state = inspectProjectFile(directory, record, rebuild.damage);
    if (state == ProjectFileState::Readable) return record;
    if (state == ProjectFileState::Missing && !holdsDamagedCopy(directory)) return loadProject(directory);

    // Another program may be repairing or saving it meanwhile: decided again under the Project's lock.
    // The open runs on the GUI thread, which never waits for a holder that may have stopped.
    EntryLock lock;
    if (EntryLock::take(directory / ".", lock) == EntryLock::Take::Busy)
        throw EntryUnavailable(EntryUnavailable::Entry::Project, EntryUnavailable::Why::Held);
    state = inspectProjectFile(directory, record, rebuild.damage);
    if (state == ProjectFileState::Readable) return record;
    if (state == ProjectFileState::Missing) {
        if (!holdsDamagedCopy(directory)) return loadProject(directory);
        rebuild.damage = "project.json is missing";
    }
    fs::path named = directory;
    if (named.filename().empty()) named = named.parent_path();  // a path given with a trailing separator
    record = newProjectRecord(directory, named.filename().string());
    record.measurements = measurementFoldersByStart(directory);
    placeRebuiltList(directory, writeProjectJson(record), state == ProjectFileState::Damaged, rebuild);
    return record;
}

}  // namespace zk::core
