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
// `writeContent` writes to the open file and returns false when a write failed (what it throws passes
// through). The temporary file is removed on every failure before the rename. Safe to call from several
// threads for distinct targets.
ReplaceStatus replaceFileContent(const std::filesystem::path& target,
                                 const std::function<bool(std::FILE*)>& writeContent);
ReplaceStatus replaceFileContent(const std::filesystem::path& target, std::string_view content);

// Publishes a filled staging directory under its final name: flushes every file and directory in the
// staging tree and the staging directory itself, renames it to `finalPath` only when nothing exists
// there (with renameWithoutReplace: nothing is ever replaced, not even an empty directory, except
// that on a file system without a no-replace rename an empty directory created at `finalPath`
// between its check and its rename could be), then
// flushes the parent of `finalPath`. Returns false when only that last flush failed: the directory is
// in place and complete, but its name may not survive a power cut. Throws
// std::filesystem::filesystem_error with the operation name "fsync" (and the path that failed) or
// "rename" (both paths; std::errc::file_exists when the final name is taken); such a failure leaves
// the staging directory as it was.
bool commitStagingDirectory(const std::filesystem::path& staging, const std::filesystem::path& finalPath);

// Marks a staging path as being filled by this process from construction to destruction, so that a
// writer may remove a staging directory it finds (left by a failed or killed writer) only when no
// thread of the process holds it. Another process must not create the same id at the same time.
class StagingClaim {
  public:
    explicit StagingClaim(std::filesystem::path staging);
    ~StagingClaim();
    StagingClaim(const StagingClaim&) = delete;
    StagingClaim& operator=(const StagingClaim&) = delete;
    // False when another thread held the path already; this claim then holds nothing.
    bool held() const { return held_; }

  private:
    std::filesystem::path staging_;
    bool held_ = false;
};

// Creates the directory and its missing parents; when it had to create any, also flushes the names
// it created in their parents. Throws std::filesystem::filesystem_error "create_directories" or
// "fsync".
void createDirectoriesDurably(const std::filesystem::path& directory);

}  // namespace zk::core
