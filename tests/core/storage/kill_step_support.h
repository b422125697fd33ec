#pragma once

// Crashes at every step: a child runs the work under ptrace and is killed with SIGKILL just before
// its n-th file-changing system call (a write, an open for writing, a rename, a link, a removal, a
// new directory, a truncation), for n = 1, 2, ... until the work ends untouched. Each kill leaves
// on disk exactly what a crash at that moment leaves (the page cache outlives the process).

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/user.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zk::test {

struct KilledRun {
    bool killed = false;             // false: the work ended before the step came
    std::vector<std::string> steps;  // the file-changing calls made, each "call path"
    std::string failure;             // set when the child failed by itself
};

#if defined(__x86_64__)
inline constexpr bool kKillStepsSupported = true;

namespace kill_step_detail {

inline std::string childString(pid_t pid, unsigned long long address) {
    std::string text;
    const int mem = ::open(("/proc/" + std::to_string(pid) + "/mem").c_str(), O_RDONLY);
    if (mem < 0) return text;
    // Page by page: a read across into an unmapped page fails as a whole.
    for (int pages = 0; pages < 2; ++pages) {
        char buffer[4096];
        const std::size_t toPageEnd = 4096 - (address % 4096);
        const ssize_t got = ::pread(mem, buffer, toPageEnd, static_cast<off_t>(address));
        if (got <= 0) break;
        const std::size_t length = ::strnlen(buffer, static_cast<std::size_t>(got));
        text.append(buffer, length);
        if (length < static_cast<std::size_t>(got)) break;
        address += static_cast<unsigned long long>(got);
    }
    ::close(mem);
    return text;
}

inline std::string fdPath(pid_t pid, unsigned long long fd) {
    char target[4096];
    const std::string link = "/proc/" + std::to_string(pid) + "/fd/" + std::to_string(fd);
    const ssize_t length = ::readlink(link.c_str(), target, sizeof target - 1);
    return length > 0 ? std::string(target, static_cast<std::size_t>(length)) : std::string("?");
}

// "call path" for a call that changes a file or a directory entry; nothing for any other call.
inline std::optional<std::string> fileChange(pid_t pid, const user_regs_struct& r) {
    const auto onFd = [&](const char* call, unsigned long long fd) -> std::optional<std::string> {
        if (fd <= 2) return std::nullopt;  // the standard streams
        return std::string(call) + " " + fdPath(pid, fd);
    };
    const auto onPath = [&](const char* call, unsigned long long address) {
        return std::string(call) + " " + childString(pid, address);
    };
    const auto opened = [&](unsigned long long flags,
                            unsigned long long address) -> std::optional<std::string> {
        if ((flags & (O_WRONLY | O_RDWR | O_CREAT | O_TRUNC)) == 0) return std::nullopt;
        return onPath("open", address);
    };
    switch (r.orig_rax) {
        case SYS_write:
        case SYS_pwrite64:
        case SYS_writev:
        case SYS_pwritev:
        case SYS_pwritev2:
            return onFd("write", r.rdi);
        case SYS_ftruncate:
            return onFd("truncate", r.rdi);
        case SYS_fallocate:
            return onFd("allocate", r.rdi);
        case SYS_sendfile:
            return onFd("copy", r.rdi);
        case SYS_copy_file_range:
            return onFd("copy", r.rdx);
        case SYS_open:
            return opened(r.rsi, r.rdi);
        case SYS_creat:
            return onPath("open", r.rdi);
        case SYS_openat:
            return opened(r.rdx, r.rsi);
        case SYS_truncate:
            return onPath("truncate", r.rdi);
        case SYS_rename:
        case SYS_link:
            return onPath(r.orig_rax == SYS_link ? "link" : "rename", r.rdi) + " -> " +
                   childString(pid, r.rsi);
        case SYS_renameat:
        case SYS_renameat2:
        case SYS_linkat:
            return onPath(r.orig_rax == SYS_linkat ? "link" : "rename", r.rsi) + " -> " +
                   childString(pid, r.r10);
        case SYS_unlink:
        case SYS_rmdir:
            return onPath("remove", r.rdi);
        case SYS_unlinkat:
            return onPath("remove", r.rsi);
        case SYS_mkdir:
            return onPath("mkdir", r.rdi);
        case SYS_mkdirat:
            return onPath("mkdir", r.rsi);
        default:
            return std::nullopt;
    }
}

}  // namespace kill_step_detail

// Runs `work` in a traced child and kills it just before its `step`-th file-changing call (1-based).
inline KilledRun runKilledBeforeStep(std::size_t step, const std::function<void()>& work) {
    using namespace kill_step_detail;
    KilledRun run;
    const pid_t pid = ::fork();
    if (pid < 0) {
        run.failure = "fork failed";
        return run;
    }
    if (pid == 0) {
        if (::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) ::_exit(3);
        ::raise(SIGSTOP);
        try {
            work();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "traced work failed: %s\n", e.what());
            ::_exit(2);
        }
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::ptrace(PTRACE_SETOPTIONS, pid, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL);
    int pendingSignal = 0;
    for (;;) {
        ::ptrace(PTRACE_SYSCALL, pid, nullptr, pendingSignal);
        pendingSignal = 0;
        if (::waitpid(pid, &status, 0) != pid) {
            run.failure = "lost the child";
            return run;
        }
        if (WIFEXITED(status) || WIFSIGNALED(status)) {
            if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
                run.failure = "child ended with status " + std::to_string(status);
            return run;
        }
        if (!WIFSTOPPED(status)) continue;
        if (WSTOPSIG(status) != (SIGTRAP | 0x80)) {
            pendingSignal = WSTOPSIG(status);
            continue;
        }
        user_regs_struct regs{};
        ::ptrace(PTRACE_GETREGS, pid, nullptr, &regs);
        // At the entry of a call the kernel has not yet set its result: rax still holds -ENOSYS.
        if (regs.rax != static_cast<unsigned long long>(-ENOSYS)) continue;
        const std::optional<std::string> change = fileChange(pid, regs);
        if (!change) continue;
        run.steps.push_back(*change);
        if (run.steps.size() == step) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            run.killed = true;
            return run;
        }
    }
}
#else
inline constexpr bool kKillStepsSupported = false;

inline KilledRun runKilledBeforeStep(std::size_t, const std::function<void()>&) {
    return {false, {}, "system call tracing is implemented for x86-64 Linux only"};
}
#endif

// Index (1-based) of the last step whose text contains `part`, 0 when none does.
inline std::size_t lastStepWith(const std::vector<std::string>& steps, const std::string& part) {
    for (std::size_t i = steps.size(); i > 0; --i)
        if (steps[i - 1].find(part) != std::string::npos) return i;
    return 0;
}

// Kills a child before each step in turn: `prepare` resets the files before every run, `check`
// gets the step number and what the kill left, until a run ends by itself. Returns that complete
// run, whose steps tell where the work passed each point.
inline KilledRun killAtEveryStep(const std::function<void()>& prepare, const std::function<void()>& work,
                                 const std::function<void(std::size_t, const KilledRun&)>& check) {
    for (std::size_t step = 1;; ++step) {
        prepare();
        KilledRun run = runKilledBeforeStep(step, work);
        if (!run.killed || !run.failure.empty()) return run;
        check(step, run);
        if (::testing::Test::HasFatalFailure() || step > 500) return run;
    }
}

}  // namespace zk::test
