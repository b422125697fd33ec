#pragma once

// Reaches every step of a store write without hooks in the code under test: the work runs in a
// forked child traced with ptrace, which is stopped at its n-th system call of a chosen kind and
// either killed with SIGKILL before the call runs (on disk exactly what a crash at that moment
// leaves: the page cache outlives the process) or has that call fail with EIO. A seccomp filter
// stands in for a file system without a no-replace rename.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/user.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#if defined(__x86_64__)
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#endif

namespace zk::test {

enum class StepAction { Kill, FailWithIoError, Pause };

struct StepRun {
    bool untraceable = false;        // the child could not be traced (already under a debugger, or refused)
    bool reached = false;            // the child came to the chosen call (and was killed, or the call failed)
    int exitCode = -1;               // when it ran to its end: 0 when the work returned true
    std::vector<std::string> steps;  // the counted calls made, each "call path"
    std::string failure;             // set when the child failed by itself
};

#if defined(__x86_64__)
inline constexpr bool kCanTraceSystemCalls = true;

// Describes a call the steps count as "call path"; nothing for any other call.
using StepFilter = std::function<std::optional<std::string>(pid_t, const user_regs_struct&)>;

namespace step_detail {

inline constexpr int kUntraceable = 77;

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

}  // namespace step_detail

// Calls that create, change, rename or remove files and directories: a write, an open for writing, a
// truncation, a rename, a link, a removal, a new directory. Not a flush: a kill just before one
// leaves what a kill before the next change leaves.
inline std::optional<std::string> changesFiles(pid_t pid, const user_regs_struct& r) {
    using namespace step_detail;
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

// The flush of the given directory (or file) itself, told by the path of the flushed descriptor.
inline StepFilter flushOf(const std::filesystem::path& path) {
    const std::filesystem::path wanted = std::filesystem::weakly_canonical(path);
    return [wanted](pid_t pid, const user_regs_struct& r) -> std::optional<std::string> {
        if (r.orig_rax != SYS_fsync && r.orig_rax != SYS_fdatasync) return std::nullopt;
        const std::string target = step_detail::fdPath(pid, r.rdi);
        if (target != wanted.string()) return std::nullopt;
        return "flush " + target;
    };
}

// Runs `work` in a forked, traced child. At the `step`-th call (counting from 1) that `counted`
// describes, the child is killed before the call runs, or the call returns EIO without running and
// the child goes on, or (Pause) `whilePaused` runs in this process while the child waits before the
// call, which then runs. `work` must not use gtest assertions; what it throws counts as false.
inline StepRun runToStep(std::size_t step, StepAction action, const std::function<bool()>& work,
                         const StepFilter& counted = changesFiles,
                         const std::function<void()>& whilePaused = {}) {
    StepRun run;
    const pid_t pid = ::fork();
    if (pid < 0) {
        run.failure = "fork failed";
        return run;
    }
    if (pid == 0) {
        if (::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) ::_exit(step_detail::kUntraceable);
        ::raise(SIGSTOP);
        bool ok = false;
        try {
            ok = work();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "traced work failed: %s\n", e.what());
        } catch (...) {
            std::fprintf(stderr, "traced work failed\n");
        }
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFEXITED(status)) {
        run.untraceable = WEXITSTATUS(status) == step_detail::kUntraceable;
        run.failure = "this process cannot trace its children";
        return run;
    }
    ::ptrace(PTRACE_SETOPTIONS, pid, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL);
    int signal = 0;
    bool entering = true;
    bool failOnExit = false;
    for (;;) {
        ::ptrace(PTRACE_SYSCALL, pid, nullptr, reinterpret_cast<void*>(static_cast<long>(signal)));
        signal = 0;
        if (::waitpid(pid, &status, 0) != pid) {
            run.failure = "lost the child";
            return run;
        }
        if (WIFEXITED(status) || WIFSIGNALED(status)) {
            if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
            if (run.exitCode != 0) run.failure = "child ended with status " + std::to_string(status);
            return run;
        }
        if (WSTOPSIG(status) != (SIGTRAP | 0x80)) {
            signal = WSTOPSIG(status);  // an ordinary signal: delivered on the next resume
            continue;
        }
        user_regs_struct regs{};
        ::ptrace(PTRACE_GETREGS, pid, nullptr, &regs);
        if (entering) {
            const std::optional<std::string> call = counted(pid, regs);
            if (call) run.steps.push_back(*call);
            if (call && run.steps.size() == step) {
                run.reached = true;
                if (action == StepAction::Kill) {
                    ::kill(pid, SIGKILL);
                    ::waitpid(pid, &status, 0);
                    return run;
                }
                if (action == StepAction::Pause) {
                    if (whilePaused) whilePaused();
                    entering = !entering;
                    continue;
                }
                regs.orig_rax = static_cast<unsigned long long>(-1);  // no such call: nothing runs
                ::ptrace(PTRACE_SETREGS, pid, nullptr, &regs);
                failOnExit = true;
            }
        } else if (failOnExit) {
            regs.rax = static_cast<unsigned long long>(-EIO);
            ::ptrace(PTRACE_SETREGS, pid, nullptr, &regs);
            failOnExit = false;
        }
        entering = !entering;
    }
}

// From here on this process's renameat2 refuses RENAME_NOREPLACE and RENAME_EXCHANGE with EINVAL, as
// on a file system without them; every other call runs as before. False when it cannot be set.
inline bool refuseNoReplaceRename() {
    constexpr unsigned kFlags = 1u | 2u;  // RENAME_NOREPLACE | RENAME_EXCHANGE
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_renameat2, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[4])),
        BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, kFlags, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EINVAL),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog program{static_cast<unsigned short>(sizeof filter / sizeof filter[0]), filter};
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}
#else
inline constexpr bool kCanTraceSystemCalls = false;

inline StepRun runToStep(std::size_t, StepAction, const std::function<bool()>&) {
    return {false, false, -1, {}, "system call tracing is implemented for x86-64 Linux only"};
}
#endif

// Index (1-based) of the last step whose text contains `part`, 0 when none does.
inline std::size_t lastStepWith(const std::vector<std::string>& steps, const std::string& part) {
    for (std::size_t i = steps.size(); i > 0; --i)
        if (steps[i - 1].find(part) != std::string::npos) return i;
    return 0;
}

// Kills a child before each file-changing step in turn: `prepare` resets the files before every
// run, `check` gets the step number and what the kill left, until a run ends by itself. Returns
// that complete run, whose steps tell where the work passed each point.
inline StepRun killAtEveryStep(const std::function<void()>& prepare, const std::function<bool()>& work,
                               const std::function<void(std::size_t, const StepRun&)>& check) {
    for (std::size_t step = 1;; ++step) {
        prepare();
        StepRun run = runToStep(step, StepAction::Kill, work);
        if (!run.reached || !run.failure.empty()) return run;
        check(step, run);
        if (::testing::Test::HasFatalFailure() || step > 500) return run;
    }
}

}  // namespace zk::test
