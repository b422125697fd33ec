#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

namespace zk::core {

// The few file calls that differ between platforms; one implementation file per platform.

// Opens a regular file for binary reading with its native (wide on Windows) name; null on failure and
// for anything else (a named pipe, a device, a directory), without ever waiting for a writer.
std::FILE* openFileForBinaryRead(const std::filesystem::path& path);

// Opens a file for binary writing with truncation, creating it; null on failure.
std::FILE* openFileForBinaryWrite(const std::filesystem::path& path);

// Creates the file for binary writing only when nothing exists at the path (atomically, so two
// writers never share it); null when it exists or cannot be created.
std::FILE* openNewFileForBinaryWrite(const std::filesystem::path& path);

// Moves the read position to the byte offset from the start and clears the end-of-file and error
// marks; false when the file cannot be positioned there.
bool seekFileTo(std::FILE* file, std::uint64_t offset);

// Size in bytes of the open file when it is a regular file; empty for devices, pipes and failures.
std::optional<std::uint64_t> regularFileSize(std::FILE* file);

// False when the open file has a hole (a range holding no data on disk, read back as zeros) within
// its first `bytes` bytes. No writer of this program leaves holes, so a header that counts on such a
// range is refused before the reader allocates for it. True where holes cannot be told apart. Keeps
// the read position.
bool holdsDataThrough(std::FILE* file, std::uint64_t bytes);

// Renames `from` to `to` only when nothing exists at `to`. Returns false and sets `error`
// (std::errc::file_exists when `to` is taken) when it did not rename. Atomic where the file system
// has a no-replace rename; elsewhere a file is linked to `to` and then unlinked, and a directory is
// renamed after a check that nothing is at `to`, by a rename that fails on a file or a non-empty
// directory: the one entry it could replace is an empty directory created at `to` in between.
bool renameWithoutReplace(const std::filesystem::path& from, const std::filesystem::path& to,
                          std::error_code& error);

// Swaps two existing entries (files or directories) in one atomic step. Returns false and sets `error`
// when it did not swap; std::errc::operation_not_supported when the file system cannot swap.
bool exchangePaths(const std::filesystem::path& first, const std::filesystem::path& second,
                   std::error_code& error);

// An open directory: files opened through it come from that directory even when its name is renamed
// or replaced in between, so a reader sees the files of one directory together. Move-only.
class DirectoryHandle {
  public:
    DirectoryHandle() = default;
    // Empty when the path cannot be opened as a directory.
    explicit DirectoryHandle(const std::filesystem::path& directory);
    ~DirectoryHandle();
    DirectoryHandle(DirectoryHandle&& other) noexcept;
    DirectoryHandle& operator=(DirectoryHandle&& other) noexcept;
    DirectoryHandle(const DirectoryHandle&) = delete;
    DirectoryHandle& operator=(const DirectoryHandle&) = delete;

    explicit operator bool() const { return native_ != kNone; }
    // Opens the regular file `name` of the directory for binary reading as openFileForBinaryRead does;
    // null on failure or when empty.
    std::FILE* openFileForBinaryRead(const std::filesystem::path& name) const;

  private:
    static constexpr std::intptr_t kNone = -1;
    std::intptr_t native_ = kNone;
};

// The exclusive advisory lock of one existing file or directory, taken through an open file
// description of its own: every other holder (another process, or another description in this one)
// finds it taken, and the system drops it when its holder dies, so a crash leaves nothing locked.
// Move-only; released on destruction.
class EntryLock {
  public:
    enum class Take {
        Taken,        // this lock holds it
        Busy,         // another holder has it
        Missing,      // nothing is at the path
        Unlockable,   // something that cannot be opened for locking (a link, a device, no access): no
                      // writer of ours ever holds such an entry
        Unsupported,  // the file system takes no such locks (a network share without a lock service):
                      // nobody can tell whether a writer holds it
    };

    EntryLock() = default;
    ~EntryLock();
    EntryLock(EntryLock&& other) noexcept;
    EntryLock& operator=(EntryLock&& other) noexcept;
    EntryLock(const EntryLock&) = delete;
    EntryLock& operator=(const EntryLock&) = delete;

    // Locks the entry at `path` without following a final symbolic link, never waiting: Busy while
    // another holder has it (lock_wait.h waits, up to a deadline). `lock` holds it when the result is
    // Taken and is empty otherwise.
    static Take take(const std::filesystem::path& path, EntryLock& lock);

    explicit operator bool() const { return native_ != kNone; }
    // True when `path` still names the locked entry (not removed or replaced since it was locked).
    bool isNamedBy(const std::filesystem::path& path) const;
    void release() noexcept;

  private:
    static constexpr std::intptr_t kNone = -1;
    std::intptr_t native_ = kNone;
};

// For tests: from now on every advisory lock of this process (EntryLock) fails with `errorNumber` as
// on a file system without a lock service (ENOLCK); 0 takes locks again. With `filesOnly` the locks of
// directories still work, as on a mount that serves folder locks itself and passes file locks to a
// server that refuses them.
void failAdvisoryLocksForTesting(int errorNumber, bool filesOnly = false);

// True when `path` names the open file and no other name does (one link): nobody renamed, replaced,
// removed or linked it elsewhere since it was opened. False when that cannot be told.
bool isSoleNameOf(std::FILE* file, const std::filesystem::path& path);

// The network file system that holds `directory` ("NFS", "SMB", ...), whose locks may stay on each
// computer that takes them; nothing for a local file system or when it cannot be told.
std::optional<std::string> networkFileSystemOf(const std::filesystem::path& directory);
// For tests: from now on every directory reads as held by the network file system `name`; null ends it.
void pretendNetworkFileSystemForTesting(const char* name);

// Who writes: this computer's name and this process's id, and whether a process of this computer
// still runs (a process of another user counts as running). A process id names one process only
// within its scope: this boot of the system and this process's id namespace (a sandboxed program has
// ids of its own), given as one text; empty where it cannot be told.
std::string hostName();
std::int64_t currentProcessId();
std::string processIdScope();
bool processIsRunning(std::int64_t processId);

// One state of an entry, read without following a final link: which entry it is (device and index
// node), what kind, its size, and when its data and its node last changed. Two stamps of one path
// differ whenever the entry was replaced, written or renamed in between.
struct EntryStamp {
    std::uint64_t device = 0;
    std::uint64_t node = 0;
    bool directory = false;
    std::uint64_t bytes = 0;
    std::int64_t modifiedNs = 0;
    std::int64_t changedNs = 0;

    friend bool operator==(const EntryStamp&, const EntryStamp&) = default;
};
// Empty when nothing can be read at the path.
std::optional<EntryStamp> entryStamp(const std::filesystem::path& path);

// Durability: the only calls in the code base that reach the storage device. Each returns false and
// sets `error` when the device did not confirm the flush.

// Writes out the stream's buffer, then the file's data and metadata.
bool syncFileToDisk(std::FILE* file, std::error_code& error);
// The same for a file written by someone else (a copy), opened read-only for the flush.
bool syncPathToDisk(const std::filesystem::path& path, std::error_code& error);
// Makes the names created, renamed or removed in the directory durable.
bool syncDirectoryToDisk(const std::filesystem::path& directory, std::error_code& error);

}  // namespace zk::core
