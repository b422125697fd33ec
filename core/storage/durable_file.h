#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string_view>

#include "core/storage/lock_wait.h"

namespace zk::core {

// Replacing one file, so that a crash or a power cut at any moment leaves either the old content or
// the new one, never a half-written file (new directories go through staged_commit.h).

enum class ReplaceStatus {
    Ok,
    CannotCreate,  // the temporary file beside the target could not be created
    WriteFailed,   // writing, flushing, closing or renaming failed; the target holds its old content
    NotDurable,    // the new content is in place, but the directory did not confirm the rename
};

// Writes the new content to a hidden temporary file beside the target, checks the writes and the
// close, flushes it to the device, holding the file's lock until then (staged_commit.h), renames it over the
// target and flushes the parent directory. `writeContent` writes to the open file and returns false when a
// write failed (what it throws passes through). The temporary file is removed on every failure before the
// rename. Safe to call from several threads for distinct targets.
ReplaceStatus replaceFileContent(const std::filesystem::path& target,
                                 const std::function<bool(std::FILE*)>& writeContent);
ReplaceStatus replaceFileContent(const std::filesystem::path& target, std::string_view content);

// As replaceFileContent, except that `place` puts the flushed temporary file in place of the target
// (and returns false when it did not: the temporary is then removed and the result is WriteFailed).
ReplaceStatus placeNewFileContent(const std::filesystem::path& target, std::string_view content,
                                  const std::function<bool(const std::filesystem::path& temporary)>& place);

// Creates the directory and its missing parents; when it had to create any, also flushes the names
// it created in their parents. Throws std::filesystem::filesystem_error "create_directories" or
// "fsync".
void createDirectoriesDurably(const std::filesystem::path& directory);

// Creates the directory inside its parent, never the parent itself (one another program deleted is
// not made again), and flushes its name there. Nothing when it exists already. EntryUnavailable
// (`parent`, Gone) when the parent no longer exists; std::filesystem::filesystem_error
// "create_directory" or "fsync" otherwise.
void createDirectoryInsideExisting(const std::filesystem::path& directory, EntryUnavailable::Entry parent);

}  // namespace zk::core
