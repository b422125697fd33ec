#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string_view>

namespace zk::core {

// The two ways the stores put something under a final name, so that a crash or a power cut at any
// moment leaves either the old state or the new one, never a half-written file or directory.

enum class ReplaceStatus {
    Ok,
    CannotCreate,  // the temporary file beside the target could not be created
    WriteFailed,   // writing, flushing, closing or renaming failed; the target holds its old content
    NotDurable,    // the new content is in place, but the directory did not confirm the rename
};

// Writes the new content to a hidden temporary file beside the target, checks the writes and the
// close, flushes it to the device, renames it over the target and flushes the parent directory.
// `writeContent` writes to the open file and returns false when a write failed. The temporary file is
// removed on every failure before the rename. Safe to call from several threads for distinct targets.
ReplaceStatus replaceFileContent(const std::filesystem::path& target,
                                 const std::function<bool(std::FILE*)>& writeContent);
ReplaceStatus replaceFileContent(const std::filesystem::path& target, std::string_view content);

// Publishes a filled staging directory under its final name: flushes every file and directory in the
// staging tree and the staging directory itself, renames it to `finalPath` only when nothing exists
// there (never replacing anything, not even an empty directory), then flushes the parent of
// `finalPath`. Throws std::filesystem::filesystem_error with the operation name "fsync" (and the path
// that failed) or "rename" (both paths; std::errc::file_exists when the final name is taken). A
// failure before the rename leaves the staging directory as it was; an "fsync" failure of the parent
// comes after the rename, with the directory in place.
void commitStagingDirectory(const std::filesystem::path& staging, const std::filesystem::path& finalPath);

}  // namespace zk::core
