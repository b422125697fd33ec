#pragma once

// Another program on the same Project: a forked child that does `work` (takes a lock, starts a
// Recording), tells the test it did, and then either stops itself with SIGSTOP, as a program that
// hangs while it holds what it took, or waits. proceed() lets it go on to `then`; it is killed when the
// test is done with it.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <exception>
#include <functional>
#include <utility>

namespace zk::test {

class OtherProgram {
  public:
    enum class After { Stop, Wait };

    OtherProgram(const std::function<void()>& work, After after, const std::function<void()>& then = {})
        : after_(after) {
        int ready[2];
        int go[2];
        if (::pipe(ready) != 0 || ::pipe(go) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            ::close(go[1]);
            try {
                work();
                if (::write(ready[1], "r", 1) != 1) ::_exit(3);
                if (after == After::Stop) ::raise(SIGSTOP);
                char byte = 0;
                if (::read(go[0], &byte, 1) != 1) ::_exit(4);
                if (then) then();
            } catch (const std::exception&) {
                ::_exit(2);
            }
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(go[0]);
        ready_ = ready[0];
        go_ = go[1];
    }
    ~OtherProgram() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (ready_ >= 0) ::close(ready_);
        if (go_ >= 0) ::close(go_);
    }
    OtherProgram(const OtherProgram&) = delete;
    OtherProgram& operator=(const OtherProgram&) = delete;

    // Waits until the child has done `work` (and, for Stop, has stopped); false when it failed first.
    bool ready() {
        char byte = 0;
        if (pid_ <= 0 || ::read(ready_, &byte, 1) != 1) return false;
        if (after_ == After::Wait) return true;
        int status = 0;
        return ::waitpid(pid_, &status, WUNTRACED) == pid_ && WIFSTOPPED(status);
    }
    // Lets the child go on to `then` (a stopped one is continued first).
    void proceed() {
        if (after_ == After::Stop) ::kill(pid_, SIGCONT);
        (void)!::write(go_, "g", 1);
    }
    // Waits for the child's end: 0 when `work` and `then` succeeded.
    int finish() {
        int status = 0;
        const bool ended = ::waitpid(pid_, &status, 0) == pid_;
        pid_ = -1;
        return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

  private:
    After after_;
    pid_t pid_ = -1;
    int ready_ = -1;  // the child writes one byte once `work` is done
    int go_ = -1;     // the test writes one byte to let it go on
};

}  // namespace zk::test
