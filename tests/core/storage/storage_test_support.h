#pragma once

// Helpers for the store tests that need a second process: a full disk and crashes.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace zk::test {

// Runs fn in a forked child whose files cannot grow past limitBytes: a write past the limit fails
// with EFBIG (SIGXFSZ is ignored) as on a full disk. Returns fn's result, the text of what it threw,
// or a description of how the child died.
inline std::string runWithFileSizeLimit(std::uint64_t limitBytes, const std::function<std::string()>& fn) {
    int channel[2];
    if (::pipe(channel) != 0) return "<pipe failed>";
    const pid_t child = ::fork();
    if (child < 0) return "<fork failed>";
    if (child == 0) {
        ::close(channel[0]);
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{static_cast<rlim_t>(limitBytes), static_cast<rlim_t>(limitBytes)};
        std::string result;
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            result = "<setrlimit failed>";
        } else {
            try {
                result = fn();
            } catch (const std::exception& e) {
                result = e.what();
            }
        }
        // Raise the limit again so that the answer itself is not refused.
        const rlimit open{RLIM_INFINITY, RLIM_INFINITY};
        ::setrlimit(RLIMIT_FSIZE, &open);
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

// Runs fn in a forked child whose address space cannot grow past limitBytes, so that a runaway
// allocation fails with std::bad_alloc there. Returns as runWithFileSizeLimit does.
inline std::string runWithAddressSpaceLimit(std::uint64_t limitBytes,
                                            const std::function<std::string()>& fn) {
    int channel[2];
    if (::pipe(channel) != 0) return "<pipe failed>";
    const pid_t child = ::fork();
    if (child < 0) return "<fork failed>";
    if (child == 0) {
        ::close(channel[0]);
        const rlimit limit{static_cast<rlim_t>(limitBytes), static_cast<rlim_t>(limitBytes)};
        std::string result;
        if (::setrlimit(RLIMIT_AS, &limit) != 0) {
            result = "<setrlimit failed>";
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

inline std::string fileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    ASSERT_TRUE(out.good()) << path;
}

// The names in the directory, sorted.
inline std::vector<std::string> entryNames(const std::filesystem::path& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace zk::test
