#pragma once

// Helpers for the store tests that need a second process: a full disk and crashes.

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/platform/file_platform.h"
#include "core/storage/staged_commit.h"

namespace zk::test {

// Sets the soft limit on file sizes (RLIM_INFINITY lifts it); the hard limit stays, so a child can
// lift its own limit again to retry after a "full disk".
inline bool setFileSizeLimit(rlim_t bytes) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) != 0) return false;
    limit.rlim_cur = bytes;
    return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

// A tmpfs of its own, mounted for the test (root only) and detached afterwards.
class SmallTmpfs {
  public:
    explicit SmallTmpfs(const std::filesystem::path& at, const char* size) : at_(at) {
        std::filesystem::create_directories(at_);
        const std::string options = std::string("size=") + size;
        mounted_ = ::mount("tmpfs", at_.c_str(), "tmpfs", 0, options.c_str()) == 0;
        if (!mounted_) error_ = std::strerror(errno);
    }
    ~SmallTmpfs() {
        if (mounted_) ::umount2(at_.c_str(), MNT_DETACH);
    }
    SmallTmpfs(const SmallTmpfs&) = delete;
    SmallTmpfs& operator=(const SmallTmpfs&) = delete;
    bool mounted() const { return mounted_; }
    // Makes it read-only, or writable again; false when it cannot.
    bool setReadOnly(bool readOnly) {
        return mounted_ &&
               ::mount("tmpfs", at_.c_str(), "tmpfs", MS_REMOUNT | (readOnly ? MS_RDONLY : 0), nullptr) == 0;
    }
    const std::string& error() const { return error_; }

  private:
    std::filesystem::path at_;
    bool mounted_ = false;
    std::string error_;
};

// While alive, every advisory lock this process takes fails as on a file system without a lock
// service; the children it forks meanwhile inherit that.
class LocksFail {
  public:
    LocksFail() { zk::core::failAdvisoryLocksForTesting(ENOLCK); }
    ~LocksFail() { zk::core::failAdvisoryLocksForTesting(0); }
    LocksFail(const LocksFail&) = delete;
    LocksFail& operator=(const LocksFail&) = delete;
};

// While alive, notes whether a project.json was written while nobody held the lock of its Project
// folder (every writer calls it between creating a temporary file and locking that).
class ProjectFileWritesWatch {
  public:
    ProjectFileWritesWatch() {
        unlockedWrites() = 0;
        zk::core::setCreatedEntryHookForTesting(check);
    }
    ~ProjectFileWritesWatch() { zk::core::setCreatedEntryHookForTesting(nullptr); }
    ProjectFileWritesWatch(const ProjectFileWritesWatch&) = delete;
    ProjectFileWritesWatch& operator=(const ProjectFileWritesWatch&) = delete;
    int unlocked() const { return unlockedWrites(); }

  private:
    static int& unlockedWrites() {
        static int count = 0;  // the writers' thread only
        return count;
    }
    static void check(const std::filesystem::path& created) {
        if (!created.filename().string().starts_with(".project.json.")) return;
        zk::core::EntryLock other;
        if (zk::core::EntryLock::take(created.parent_path(), other) != zk::core::EntryLock::Take::Busy)
            ++unlockedWrites();
    }
};

// Runs fn in a forked child after `prepare` (which returns false when it could not set the child
// up). Returns fn's result, the text of what it threw, or a description of how the child died.
inline std::string runInChild(const std::function<bool()>& prepare, const std::function<std::string()>& fn) {
    int channel[2];
    if (::pipe(channel) != 0) return "<pipe failed>";
    const pid_t child = ::fork();
    if (child < 0) return "<fork failed>";
    if (child == 0) {
        ::close(channel[0]);
        std::string result;
        if (!prepare()) {
            result = "<child setup failed>";
        } else {
            try {
                result = fn();
            } catch (const std::exception& e) {
                result = e.what();
            }
        }
        const bool sent =
            ::write(channel[1], result.data(), result.size()) == static_cast<ssize_t>(result.size());
        ::_exit(sent ? 0 : 1);
    }
    ::close(channel[1]);
    std::string result;
    char buffer[4096];
    ssize_t got = 0;
    while ((got = ::read(channel[0], buffer, sizeof buffer)) > 0)
        result.append(buffer, static_cast<std::size_t>(got));
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "<child died: " + std::to_string(status) + ">";
    return result;
}

// Runs fn in a forked child whose files cannot grow past limitBytes: a write past the limit fails
// with EFBIG (SIGXFSZ is ignored) as on a full disk.
inline std::string runWithFileSizeLimit(std::uint64_t limitBytes, const std::function<std::string()>& fn) {
    return runInChild(
        [limitBytes] {
            std::signal(SIGXFSZ, SIG_IGN);
            return setFileSizeLimit(static_cast<rlim_t>(limitBytes));
        },
        fn);
}

// Runs fn in a forked child whose address space cannot grow past limitBytes, so that a runaway
// allocation fails with std::bad_alloc there.
inline std::string runWithAddressSpaceLimit(std::uint64_t limitBytes,
                                            const std::function<std::string()>& fn) {
    return runInChild(
        [limitBytes] {
            const rlimit limit{static_cast<rlim_t>(limitBytes), static_cast<rlim_t>(limitBytes)};
            return ::setrlimit(RLIMIT_AS, &limit) == 0;
        },
        fn);
}

// Runs fn in a forked child that SIGALRM ends after `seconds`, so a call that blocks fails the test
// with "<child died: ...>" instead of hanging it.
inline std::string runWithDeadline(unsigned seconds, const std::function<std::string()>& fn) {
    return runInChild(
        [seconds] {
            ::alarm(seconds);
            return true;
        },
        fn);
}

// On tmpfs when there is one: a kill tests the order of renames, which the page cache keeps across
// the kill, and without device flushes each step is quick.
inline std::filesystem::path crashTestBase() {
    std::error_code error;
    const std::filesystem::path shm = "/dev/shm";
    return std::filesystem::is_directory(shm, error) && ::access(shm.c_str(), W_OK) == 0
               ? shm
               : std::filesystem::temp_directory_path();
}

// A fresh name under crashTestBase, for a folder of many runs that the caller creates and removes.
inline std::filesystem::path killFolder() {
    return crashTestBase() / ("zk_kill_" + std::to_string(std::random_device{}()));
}

// A fresh folder under crashTestBase, removed with everything in it when the object goes.
class CrashTestFolder {
  public:
    CrashTestFolder() {
        static int counter = 0;
        path_ = crashTestBase() / ("zk_step_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        std::filesystem::create_directories(path_);
    }
    ~CrashTestFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    CrashTestFolder(const CrashTestFolder&) = delete;
    CrashTestFolder& operator=(const CrashTestFolder&) = delete;
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

inline std::string fileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    ASSERT_TRUE(out.good()) << path;
}

// FNV-1a 64 written out once more, bit by bit as published, so that stored hashes are checked
// against something other than the code under test.
inline std::string naiveFnv1a64Hex(std::string_view bytes) {
    std::uint64_t hash = 14695981039346656037ULL;
    for (const unsigned char byte : bytes) {
        hash ^= byte;
        hash *= 1099511628211ULL;
    }
    static const char* digits = "0123456789abcdef";
    std::string text(16, '0');
    for (int i = 0; i < 16; ++i) text[static_cast<std::size_t>(i)] = digits[(hash >> (60 - 4 * i)) & 0xF];
    return text;
}

// The stores' hand-formatted layout for a flat object: "{", one "  \"key\": value" line per member
// with commas on all but the last, "}", every line ending with a line feed.
inline std::string flatJsonFile(const std::vector<std::pair<std::string, std::string>>& members) {
    std::string text = "{\n";
    for (std::size_t i = 0; i < members.size(); ++i)
        text +=
            "  \"" + members[i].first + "\": " + members[i].second + (i + 1 < members.size() ? ",\n" : "\n");
    return text + "}\n";
}

inline std::string quoted(const std::string& text) { return '"' + text + '"'; }

// The names in the directory, sorted.
inline std::vector<std::string> entryNames(const std::filesystem::path& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace zk::test
