#include "core/storage/durable_file.h"

#include <string>
#include <system_error>
#include <utility>

#include "core/platform/file_platform.h"
#include "core/storage/file_io.h"
#include "core/storage/staged_commit.h"

namespace zk::core {

namespace fs = std::filesystem;

namespace {

ReplaceStatus writeAndPlace(const fs::path& target, const std::function<bool(std::FILE*)>& writeContent,
                            const std::function<bool(const fs::path&)>& place) {
    // Held until it is renamed, so another program's recovery never removes it as a crash's leftover.
    fs::path temporary;
    FileHandle file;
    std::optional<EntryLock> held;
    for (int attempt = 0; attempt < kCreateAttempts && !held; ++attempt) {
        temporary = temporaryPathBeside(target);
        file = FileHandle(openNewFileForBinaryWrite(temporary));
        if (!file) return ReplaceStatus::CannotCreate;
        held = holdCreatedEntry(temporary);
    }
    if (!held) return ReplaceStatus::CannotCreate;
    std::error_code error;
    bool ok = false;
    try {
        ok = writeContent(file.get());
    } catch (...) {
        file.reset();
        fs::remove(temporary, error);
        throw;
    }
    ok = ok && syncFileToDisk(file.get(), error);
    ok = closeFile(file) && ok;
    ok = ok && place(temporary);
    if (!ok) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return ReplaceStatus::WriteFailed;
    }
    return syncDirectoryToDisk(parentOf(target), error) ? ReplaceStatus::Ok : ReplaceStatus::NotDurable;
}

}  // namespace

ReplaceStatus replaceFileContent(const fs::path& target,
                                 const std::function<bool(std::FILE*)>& writeContent) {
    return writeAndPlace(target, writeContent, [&target](const fs::path& temporary) {
        std::error_code error;
        fs::rename(temporary, target, error);
        return !error;
    });
}

ReplaceStatus placeNewFileContent(const fs::path& target, std::string_view content,
                                  const std::function<bool(const fs::path&)>& place) {
    return writeAndPlace(
        target,
        [content](std::FILE* file) {
            return std::fwrite(content.data(), 1, content.size(), file) == content.size();
        },
        place);
}

ReplaceStatus replaceFileContent(const fs::path& target, std::string_view content) {
    return replaceFileContent(target, [content](std::FILE* file) {
        return std::fwrite(content.data(), 1, content.size(), file) == content.size();
    });
}

void createDirectoriesDurably(const fs::path& directory) {
    // The highest missing ancestor is the first name to flush; each one below it lives in a new
    // directory whose own entries need flushing too.
    fs::path firstMissing;
    std::error_code error;
    for (fs::path p = directory; !p.empty() && p != p.parent_path(); p = p.parent_path()) {
        const fs::file_status status = fs::symlink_status(p, error);
        if (status.type() != fs::file_type::not_found) break;
        firstMissing = p;
    }
    fs::create_directories(directory, error);
    if (error) throw fs::filesystem_error("create_directories", directory, error);
    if (firstMissing.empty()) return;
    for (fs::path p = directory; p != firstMissing; p = p.parent_path()) syncOrThrow(parentOf(p), true);
    syncOrThrow(parentOf(firstMissing), true);
}

void createDirectoryInsideExisting(const fs::path& directory, EntryUnavailable::Entry parent) {
    std::error_code error;
    if (fs::create_directory(directory, error)) syncOrThrow(parentOf(directory), true);
    // Also when the name was taken and gone again before it was looked at: its parent went with it.
    std::error_code missing;
    if (error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory ||
        (error && !fs::is_directory(parentOf(directory), missing)))
        throw EntryUnavailable(parent, EntryUnavailable::Why::Gone);
    if (error) throw fs::filesystem_error("create_directory", directory, error);
}

}  // namespace zk::core
