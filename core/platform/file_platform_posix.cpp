#include <fcntl.h>
#include <sys/file.h>
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

std::FILE* openNewFileForBinaryWrite(const std::filesystem::path& path) {
    return std::fopen(path.c_str(), "wbx");
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

bool exchangePaths(const std::filesystem::path& first, const std::filesystem::path& second,
                   std::error_code& error) {
    error.clear();
    if (::renameat2(AT_FDCWD, first.c_str(), AT_FDCWD, second.c_str(), RENAME_EXCHANGE) == 0) return true;
    const int exchangeErrno = errno;
    if (exchangeErrno == EINVAL || exchangeErrno == ENOSYS || exchangeErrno == ENOTSUP)
        error = std::make_error_code(std::errc::operation_not_supported);
    else
        error.assign(exchangeErrno, std::generic_category());
    return false;
}

DirectoryHandle::DirectoryHandle(const std::filesystem::path& directory) {
    const int descriptor = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor >= 0) native_ = descriptor;
}

DirectoryHandle::~DirectoryHandle() {
    if (native_ != kNone) ::close(static_cast<int>(native_));
}

DirectoryHandle::DirectoryHandle(DirectoryHandle&& other) noexcept : native_(other.native_) {
    other.native_ = kNone;
}

DirectoryHandle& DirectoryHandle::operator=(DirectoryHandle&& other) noexcept {
    if (this != &other) {
        if (native_ != kNone) ::close(static_cast<int>(native_));
        native_ = other.native_;
        other.native_ = kNone;
    }
    return *this;
}

std::FILE* DirectoryHandle::openFileForBinaryRead(const std::filesystem::path& name) const {
    if (native_ == kNone) return nullptr;
    const int descriptor = ::openat(static_cast<int>(native_), name.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return nullptr;
    std::FILE* file = ::fdopen(descriptor, "rb");
    if (file == nullptr) ::close(descriptor);
    return file;
}

ExclusiveFileLock::ExclusiveFileLock(const std::filesystem::path& path) {
    const int descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (descriptor < 0) {
        const std::error_code error(errno, std::generic_category());
        throw std::filesystem::filesystem_error("lock", path, error);
    }
    // flock rather than fcntl locks: these exclude threads of one process too, each holding its own
    // open file description.
    int result = 0;
    while ((result = ::flock(descriptor, LOCK_EX)) != 0 && errno == EINTR) {
    }
    if (result != 0) {
        const std::error_code error(errno, std::generic_category());
        ::close(descriptor);
        throw std::filesystem::filesystem_error("lock", path, error);
    }
    native_ = descriptor;
}

// Closing the descriptor releases the lock.
ExclusiveFileLock::~ExclusiveFileLock() { ::close(static_cast<int>(native_)); }

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
