#include "core/storage/durable_file.h"

#include <atomic>
#include <random>
#include <string>
#include <system_error>

#include "core/platform/file_platform.h"
#include "core/storage/file_io.h"

namespace zk::core {

namespace fs = std::filesystem;

namespace {

fs::path parentOf(const fs::path& path) {
    const fs::path parent = path.parent_path();
    return parent.empty() ? fs::path(".") : parent;
}

// Hidden (no store lists dot names) and unique per call, also across forked processes (which would
// share a salt drawn once), so concurrent writers of one target never share a temporary file.
fs::path temporaryNameBeside(const fs::path& target) {
    static std::atomic<std::uint64_t> counter{0};  // only makes names unique within the process
    std::random_device random;
    std::string name = ".";
    name += target.filename().string();
    name += '.';
    name += std::to_string((std::uint64_t{random()} << 32) ^ random());
    name += '-';
    name += std::to_string(counter.fetch_add(1));
    name += ".tmp";
    return parentOf(target) / name;
}

void syncOrThrow(const fs::path& path, bool directory) {
    std::error_code error;
    const bool synced = directory ? syncDirectoryToDisk(path, error) : syncPathToDisk(path, error);
    if (!synced) throw fs::filesystem_error("fsync", path, error);
}

}  // namespace

ReplaceStatus replaceFileContent(const fs::path& target,
                                 const std::function<bool(std::FILE*)>& writeContent) {
    const fs::path temporary = temporaryNameBeside(target);
    FileHandle file = openFileForWriting(temporary);
    if (!file) return ReplaceStatus::CannotCreate;
    std::error_code error;
    bool ok = writeContent(file.get());
    ok = ok && syncFileToDisk(file.get(), error);
    ok = closeFile(file) && ok;
    if (ok) fs::rename(temporary, target, error);
    if (!ok || error) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return ReplaceStatus::WriteFailed;
    }
    return syncDirectoryToDisk(parentOf(target), error) ? ReplaceStatus::Ok : ReplaceStatus::NotDurable;
}

ReplaceStatus replaceFileContent(const fs::path& target, std::string_view content) {
    return replaceFileContent(target, [content](std::FILE* file) {
        return std::fwrite(content.data(), 1, content.size(), file) == content.size();
    });
}

void commitStagingDirectory(const fs::path& staging, const fs::path& finalPath) {
    std::error_code error;
    fs::recursive_directory_iterator it(staging, error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        std::error_code typeError;
        const fs::file_status status = it->symlink_status(typeError);
        if (typeError) throw fs::filesystem_error("fsync", it->path(), typeError);
        if (fs::is_regular_file(status)) syncOrThrow(it->path(), false);
        if (fs::is_directory(status)) syncOrThrow(it->path(), true);
    }
    if (error) throw fs::filesystem_error("fsync", staging, error);
    syncOrThrow(staging, true);
    if (!renameWithoutReplace(staging, finalPath, error))
        throw fs::filesystem_error("rename", staging, finalPath, error);
    syncOrThrow(parentOf(finalPath), true);
}

}  // namespace zk::core
