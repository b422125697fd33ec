#pragma once

// File helpers for the store tests: whole-file bytes, and running a writer in a child process whose
// file-size limit makes every write past it fail as a full disk would.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>
#include <typeinfo>

namespace zk::test {

inline void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

inline std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << path;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs fn in a forked child with RLIMIT_FSIZE = limitBytes (SIGXFSZ ignored, so a write past the
// limit fails with EFBIG) and returns "<exception type>: <text>", or "ok" when fn returned.
inline std::string runWithFileSizeLimit(std::uint64_t limitBytes, const std::function<void()>& fn) {
    int channel[2];
    if (::pipe(channel) != 0) return "pipe failed";
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0) return "fork failed";
    if (child == 0) {
        ::close(channel[0]);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = limitBytes;
        std::string result = "ok";
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            result = "setrlimit failed";
        } else {
            try {
                fn();
            } catch (const std::invalid_argument& e) {
                result = std::string("invalid_argument: ") + e.what();
            } catch (const std::runtime_error& e) {
                // filesystem_error is a runtime_error too; its type name keeps them apart.
                result = (typeid(e) == typeid(std::runtime_error) ? "runtime_error: " : "system_error: ") +
                         std::string(e.what());
            } catch (const std::exception& e) {
                result = std::string("exception: ") + e.what();
            }
        }
        const ssize_t ignored = ::write(channel[1], result.data(), result.size());
        (void)ignored;
        ::_exit(0);
    }
    ::close(channel[1]);
    std::string result;
    char buffer[256];
    ssize_t got = 0;
    while ((got = ::read(channel[0], buffer, sizeof buffer)) > 0)
        result.append(buffer, static_cast<std::size_t>(got));
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status)) return "child died";
    return result;
}

}  // namespace zk::test
