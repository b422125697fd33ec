#include "core/storage/durable_file.h"

#include <atomic>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <system_error>
#include <utility>

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

bool commitStagingDirectory(const fs::path& staging, const fs::path& finalPath) {
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
    return syncDirectoryToDisk(parentOf(finalPath), error);
}

namespace {

std::mutex claimsMutex;             // guards claimedStaging; taken by every creating thread
std::set<fs::path> claimedStaging;  // staging paths being filled by this process

}  // namespace

StagingClaim::StagingClaim(fs::path staging) : staging_(std::move(staging)) {
    const std::lock_guard lock(claimsMutex);
    held_ = claimedStaging.insert(staging_).second;
}

StagingClaim::~StagingClaim() {
    if (!held_) return;
    const std::lock_guard lock(claimsMutex);
    claimedStaging.erase(staging_);
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

}  // namespace zk::core
