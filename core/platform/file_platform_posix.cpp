#include <fcntl.h>
#include <linux/magic.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <limits>

#include "core/platform/file_platform.h"

namespace zk::core {

namespace {

// Opened without blocking, so a named pipe or a device in place of a file never stalls the reader;
// anything but a regular file is refused, and blocking reads are restored for the rest.
std::FILE* regularFileForReading(int directory, const char* name) {
    const int descriptor = ::openat(directory, name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) return nullptr;
    struct stat info {};
    const int flags = ::fcntl(descriptor, F_GETFL);
    if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode) || flags < 0 ||
        ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(descriptor);
        errno = EINVAL;
        return nullptr;
    }
    std::FILE* file = ::fdopen(descriptor, "rb");
    if (file == nullptr) ::close(descriptor);
    return file;
}

// The errno every advisory lock fails with, for tests; 0 in the program. Read by every lock call.
std::atomic<int> injectedLockError{0};
// For tests: the injected failure spares directories. Read by every lock call.
std::atomic<bool> injectedForFilesOnly{false};
// The network file system every directory reads as held by, for tests; null in the program.
std::atomic<const char*> pretendedNetworkFileSystem{nullptr};

// flock, retried after a signal, or the injected failure.
int lockDescriptor(int descriptor, int operation, bool directory) {
    if (const int injected = injectedLockError.load(std::memory_order_relaxed);
        injected != 0 && !(directory && injectedForFilesOnly.load(std::memory_order_relaxed))) {
        errno = injected;
        return -1;
    }
    int result = 0;
    while ((result = ::flock(descriptor, operation)) != 0 && errno == EINTR) {
    }
    return result;
}

// Errors of flock that say the file system offers no such locks rather than that one is taken.
bool isUnsupportedLock(int error) { return error == ENOLCK || error == EOPNOTSUPP || error == ENOSYS; }

bool isUnsupportedRenameFlag(int error) {
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == EPERM;
}

// Without RENAME_NOREPLACE a directory is moved with rename(2) once nothing is at `to`: rename(2)
// fails on a file or a non-empty directory there, so the only entry it could ever replace is an empty
// directory created at `to` in between, and a crash leaves nothing behind.
bool renameDirectoryIfAbsent(const std::filesystem::path& from, const std::filesystem::path& to,
                             std::error_code& error) {
    struct stat target {};
    if (::lstat(to.c_str(), &target) == 0) {
        error = std::make_error_code(std::errc::file_exists);
        return false;
    }
    if (errno != ENOENT) {
        error.assign(errno, std::generic_category());
        return false;
    }
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
    const int renameErrno = errno;
    if (renameErrno == ENOTEMPTY || renameErrno == EEXIST || renameErrno == ENOTDIR) {
        error = std::make_error_code(std::errc::file_exists);
    } else {
        error.assign(renameErrno, std::generic_category());
    }
    return false;
}

}  // namespace

std::FILE* openFileForBinaryRead(const std::filesystem::path& path) {
    return regularFileForReading(AT_FDCWD, path.c_str());
}

std::FILE* openFileForBinaryWrite(const std::filesystem::path& path) {
    return std::fopen(path.c_str(), "wb");
}

std::FILE* openNewFileForBinaryWrite(const std::filesystem::path& path) {
    return std::fopen(path.c_str(), "wbx");
}

bool seekFileTo(std::FILE* file, std::uint64_t offset) {
    std::clearerr(file);
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) return false;
    return ::fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

std::optional<std::uint64_t> regularFileSize(std::FILE* file) {
    struct stat info {};
    if (::fstat(::fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    return static_cast<std::uint64_t>(info.st_size);
}

bool holdsDataThrough(std::FILE* file, std::uint64_t bytes) {
    const off_t position = ::ftello(file);
    if (position < 0 || std::fflush(file) != 0) return true;
    const off_t hole = ::lseek(::fileno(file), 0, SEEK_HOLE);
    // fseeko also drops what the stream had buffered and puts the descriptor back in step.
    ::fseeko(file, position, SEEK_SET);
    return hole < 0 || static_cast<std::uint64_t>(hole) >= bytes;
}

bool renameWithoutReplace(const std::filesystem::path& from, const std::filesystem::path& to,
                          std::error_code& error) {
    error.clear();
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    const int renameErrno = errno;
    if (!isUnsupportedRenameFlag(renameErrno)) {
        error.assign(renameErrno, std::generic_category());
        return false;
    }
    struct stat source {};
    if (::lstat(from.c_str(), &source) != 0) {
        error.assign(errno, std::generic_category());
        return false;
    }
    if (S_ISDIR(source.st_mode)) return renameDirectoryIfAbsent(from, to, error);
    // A file: a hard link fails when the target exists, which gives the same guarantee; the source
    // name is dropped afterwards.
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
    return regularFileForReading(static_cast<int>(native_), name.c_str());
}

EntryLock::~EntryLock() { release(); }

EntryLock::EntryLock(EntryLock&& other) noexcept : native_(other.native_) { other.native_ = kNone; }

EntryLock& EntryLock::operator=(EntryLock&& other) noexcept {
    if (this != &other) {
        release();
        native_ = other.native_;
        other.native_ = kNone;
    }
    return *this;
}

EntryLock::Take EntryLock::take(const std::filesystem::path& path, EntryLock& lock) {
    lock.release();
    // Read-only and non-blocking: a directory opens so too, and a named pipe never stalls the open.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) return errno == ENOENT || errno == ENOTDIR ? Take::Missing : Take::Unlockable;
    struct stat info {};
    if (::fstat(descriptor, &info) != 0 || !(S_ISREG(info.st_mode) || S_ISDIR(info.st_mode))) {
        ::close(descriptor);
        return Take::Unlockable;
    }
    // flock rather than fcntl locks: these exclude other descriptions of this process too.
    if (lockDescriptor(descriptor, LOCK_EX | LOCK_NB, S_ISDIR(info.st_mode)) != 0) {
        const int lockErrno = errno;
        ::close(descriptor);
        if (lockErrno == EWOULDBLOCK) return Take::Busy;
        return isUnsupportedLock(lockErrno) ? Take::Unsupported : Take::Unlockable;
    }
    lock.native_ = descriptor;
    return Take::Taken;
}

bool EntryLock::isNamedBy(const std::filesystem::path& path) const {
    struct stat held {};
    struct stat named {};
    return native_ != kNone && ::fstat(static_cast<int>(native_), &held) == 0 &&
           ::lstat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

void EntryLock::release() noexcept {
    if (native_ == kNone) return;
    // Closing the description releases the lock.
    ::close(static_cast<int>(native_));
    native_ = kNone;
}

void failAdvisoryLocksForTesting(int errorNumber, bool filesOnly) {
    injectedForFilesOnly.store(filesOnly);
    injectedLockError.store(errorNumber);
}

std::optional<EntryStamp> entryStamp(const std::filesystem::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return std::nullopt;
    const auto nanoseconds = [](const timespec& time) {
        return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
    };
    return EntryStamp{static_cast<std::uint64_t>(info.st_dev),
                      static_cast<std::uint64_t>(info.st_ino),
                      S_ISDIR(info.st_mode),
                      static_cast<std::uint64_t>(info.st_size),
                      nanoseconds(info.st_mtim),
                      nanoseconds(info.st_ctim)};
}

bool isSoleNameOf(std::FILE* file, const std::filesystem::path& path) {
    struct stat open {};
    struct stat named {};
    return ::fstat(::fileno(file), &open) == 0 && ::lstat(path.c_str(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino && open.st_nlink == 1;
}

std::optional<std::string> networkFileSystemOf(const std::filesystem::path& directory) {
    if (const char* pretended = pretendedNetworkFileSystem.load()) return std::string(pretended);
    struct statfs info {};
    if (::statfs(directory.c_str(), &info) != 0) return std::nullopt;
    // Those whose locks Linux may keep on the client (mounted so, or by the protocol); a cluster file
    // system with a lock service of its own (Ceph, GFS2, OCFS2) is not among them.
    switch (static_cast<unsigned long>(info.f_type)) {
        case NFS_SUPER_MAGIC:
            return "NFS";
        case SMB_SUPER_MAGIC:
        case CIFS_SUPER_MAGIC:
        case SMB2_SUPER_MAGIC:
            return "SMB";
        case V9FS_MAGIC:
            return "9P";
        case AFS_SUPER_MAGIC:
        case AFS_FS_MAGIC:
            return "AFS";
        case CODA_SUPER_MAGIC:
            return "Coda";
        default:
            return std::nullopt;
    }
}

void pretendNetworkFileSystemForTesting(const char* name) { pretendedNetworkFileSystem.store(name); }

std::string hostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

std::int64_t currentProcessId() { return ::getpid(); }

std::string processIdScope() {
    // The boot id changes with every start of the system; the namespace's link reads "pid:[inode]".
    char boot[64] = {};
    const int descriptor = ::open("/proc/sys/kernel/random/boot_id", O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return {};
    const ssize_t bootLength = ::read(descriptor, boot, sizeof boot - 1);
    ::close(descriptor);
    char space[64] = {};
    const ssize_t spaceLength = ::readlink("/proc/self/ns/pid", space, sizeof space - 1);
    if (bootLength <= 0 || spaceLength <= 0) return {};
    std::string scope(boot, static_cast<std::size_t>(bootLength));
    while (!scope.empty() && (scope.back() == '\n' || scope.back() == ' ')) scope.pop_back();
    scope += ' ';
    scope.append(space, static_cast<std::size_t>(spaceLength));
    return scope;
}

bool processIsRunning(std::int64_t processId) {
    if (processId <= 0 || processId > std::numeric_limits<pid_t>::max()) return false;
    return ::kill(static_cast<pid_t>(processId), 0) == 0 || errno == EPERM;
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
