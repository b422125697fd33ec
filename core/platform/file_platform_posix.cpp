#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "core/platform/file_platform.h"

namespace zk::core {

std::FILE* openFileForBinaryRead(const std::filesystem::path& path) { return std::fopen(path.c_str(), "rb"); }

std::FILE* openFileForBinaryWrite(const std::filesystem::path& path) {
    return std::fopen(path.c_str(), "wb");
}

std::optional<std::uint64_t> regularFileSize(std::FILE* file) {
    struct stat info {};
    if (::fstat(::fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    return static_cast<std::uint64_t>(info.st_size);
}

bool renameWithoutReplace(const std::filesystem::path& from, const std::filesystem::path& to,
                          std::error_code& error) {
    error.clear();
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    const int renameErrno = errno;
    // File systems without RENAME_NOREPLACE: a hard link fails when the target exists, which gives
    // the same guarantee; the source name is dropped afterwards.
    if (renameErrno != EINVAL && renameErrno != ENOSYS && renameErrno != ENOTSUP) {
        error.assign(renameErrno, std::generic_category());
        return false;
    }
    if (::link(from.c_str(), to.c_str()) != 0) {
        error.assign(errno, std::generic_category());
        return false;
    }
    ::unlink(from.c_str());
    return true;
}

namespace {

// errno, or EIO when a failing call left it unset, so a failure never reads as success.
std::error_code lastError() { return std::error_code(errno != 0 ? errno : EIO, std::generic_category()); }

bool syncDescriptor(int descriptor, std::error_code& error) {
    if (::fsync(descriptor) == 0) return true;
    error = lastError();
    return false;
}

bool syncOpened(const std::filesystem::path& path, int flags, std::error_code& error) {
    const int descriptor = ::open(path.c_str(), flags | O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        error = lastError();
        return false;
    }
    const bool synced = syncDescriptor(descriptor, error);
    ::close(descriptor);
    return synced;
}

}  // namespace

bool syncFileToDisk(std::FILE* file, std::error_code& error) {
    error.clear();
    errno = 0;
    if (std::fflush(file) != 0) {
        error = lastError();
        return false;
    }
    return syncDescriptor(::fileno(file), error);
}

bool syncPathToDisk(const std::filesystem::path& path, std::error_code& error) {
    error.clear();
    return syncOpened(path, 0, error);
}

bool syncDirectoryToDisk(const std::filesystem::path& directory, std::error_code& error) {
    error.clear();
    return syncOpened(directory, O_DIRECTORY, error);
}

}  // namespace zk::core
