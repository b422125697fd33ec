#pragma once

// Reaches every step of a store write without hooks in the code under test: the operation runs in a
// forked child traced with ptrace, which is stopped at the chosen system call and either killed with
// SIGKILL before the call runs or has that call fail. A seccomp filter stands in for a file system
// without a no-replace rename.

#include <fcntl.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/user.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>

namespace zk::test {

#if defined(__x86_64__)
inline constexpr bool kCanTraceSystemCalls = true;

using StepFilter = std::function<bool(pid_t, const user_regs_struct&)>;

// Calls that create, change, rename, remove or flush files and directories.
inline bool changesFiles(pid_t, const user_regs_struct& r) {
    switch (r.orig_rax) {
        case SYS_write:
        case SYS_pwrite64:
        case SYS_writev:
        case SYS_pwritev:
        case SYS_pwritev2:
        case SYS_rename:
        case SYS_renameat:
        case SYS_renameat2:
        case SYS_link:
        case SYS_linkat:
        case SYS_mkdir:
        case SYS_mkdirat:
        case SYS_rmdir:
        case SYS_unlink:
        case SYS_unlinkat:
        case SYS_fsync:
        case SYS_fdatasync:
        case SYS_ftruncate:
        case SYS_copy_file_range:
        case SYS_sendfile:
        case SYS_fallocate:
            return true;
        case SYS_open:
            return (r.rsi & (O_CREAT | O_TRUNC)) != 0;
        case SYS_openat:
            return (r.rdx & (O_CREAT | O_TRUNC)) != 0;
        default:
            return false;
    }
}

// The flush of the given directory (or file) itself, told by the path of the flushed descriptor.
inline StepFilter flushOf(const std::filesystem::path& path) {
    const std::filesystem::path wanted = std::filesystem::weakly_canonical(path);
    return [wanted](pid_t pid, const user_regs_struct& r) {
        if (r.orig_rax != SYS_fsync && r.orig_rax != SYS_fdatasync) return false;
        std::error_code error;
        const std::filesystem::path target = std::filesystem::read_symlink(
            "/proc/" + std::to_string(pid) + "/fd/" + std::to_string(r.rdi), error);
        return !error && target == wanted;
    };
}

enum class StepAction { Kill, FailWithIoError };

inline constexpr int kUntraceable = 77;

struct StepOutcome {
    bool untraceable = false;  // the child could not be traced (already under a debugger, or refused)
    bool reached = false;      // the child came to the chosen call
    int exitCode = -1;         // when it ran to its end: 0 when fn returned true
};

// Runs fn in a forked, traced child. At the `step`-th call (counting from 1) that `counted` selects,
// the child is killed before the call runs, or the call returns EIO without running and the child
// goes on. fn must not use gtest assertions; what it throws counts as false.
inline StepOutcome runToStep(int step, StepAction action, const std::function<bool()>& fn,
                             const StepFilter& counted = changesFiles) {
    StepOutcome outcome;
    const pid_t pid = ::fork();
    if (pid < 0) return outcome;
    if (pid == 0) {
        if (::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) ::_exit(kUntraceable);
        ::raise(SIGSTOP);
        bool ok = false;
        try {
            ok = fn();
        } catch (...) {
        }
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFEXITED(status)) {
        outcome.untraceable = WEXITSTATUS(status) == kUntraceable;
        return outcome;
    }
    ::ptrace(PTRACE_SETOPTIONS, pid, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL);
    int seen = 0;
    int signal = 0;
    bool entering = true;
    bool failOnExit = false;
    while (true) {
        ::ptrace(PTRACE_SYSCALL, pid, nullptr, reinterpret_cast<void*>(static_cast<long>(signal)));
        signal = 0;
        if (::waitpid(pid, &status, 0) != pid) break;
        if (WIFEXITED(status)) {
            outcome.exitCode = WEXITSTATUS(status);
            break;
        }
        if (WIFSIGNALED(status)) break;
        if (WSTOPSIG(status) != (SIGTRAP | 0x80)) {
            signal = WSTOPSIG(status);  // an ordinary signal: delivered on the next resume
            continue;
        }
        user_regs_struct regs{};
        ::ptrace(PTRACE_GETREGS, pid, nullptr, &regs);
        if (entering && counted(pid, regs) && ++seen == step) {
            outcome.reached = true;
            if (action == StepAction::Kill) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                return outcome;
            }
            regs.orig_rax = static_cast<unsigned long long>(-1);  // no such call: nothing runs
            ::ptrace(PTRACE_SETREGS, pid, nullptr, &regs);
            failOnExit = true;
        } else if (!entering && failOnExit) {
            regs.rax = static_cast<unsigned long long>(-EIO);
            ::ptrace(PTRACE_SETREGS, pid, nullptr, &regs);
            failOnExit = false;
        }
        entering = !entering;
    }
    return outcome;
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
#endif

}  // namespace zk::test
