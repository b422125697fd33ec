#pragma once

// The driver program (storage_driver.cpp) as a child process, stepped line by line.

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace zk::test {

class Driver {
  public:
    // With `locksFail` every lock the driver takes fails as on a file system without a lock service.
    // `launcher` runs it through another program (as "unshare --pid --fork --kill-child"), which
    // must end the driver when it is killed itself.
    Driver(const std::filesystem::path& project, int blocks, std::size_t blockFrames, bool locksFail = false,
           const std::vector<std::string>& launcher = {}) {
        int toChild[2];
        int fromChild[2];
        if (::pipe(toChild) != 0 || ::pipe(fromChild) != 0) return;
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
        ::posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
        ::posix_spawn_file_actions_addclose(&actions, toChild[1]);
        ::posix_spawn_file_actions_addclose(&actions, fromChild[0]);
        std::vector<std::string> words = launcher;
        for (const std::string& word : {std::string(ZK_STORAGE_DRIVER), project.string(), std::string("m1"),
                                        std::to_string(blocks), std::to_string(blockFrames)})
            words.push_back(word);
        if (locksFail) words.emplace_back("nolocks");
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        if (::posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        ::posix_spawn_file_actions_destroy(&actions);
        ::close(toChild[0]);
        ::close(fromChild[1]);
        input_ = toChild[1];
        output_ = fromChild[0];
    }
    ~Driver() {
        if (pid_ > 0) kill();
        if (input_ >= 0) ::close(input_);
        ::close(output_);
    }
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;

    bool started() const { return pid_ > 0; }

    // The driver's next report; empty when it ended without one.
    std::string readLine() {
        std::string line;
        char c = 0;
        while (::read(output_, &c, 1) == 1 && c != '\n') line.push_back(c);
        return line;
    }
    void step() { (void)!::write(input_, "go\n", 3); }
    // Its input stays open: a driver that a launcher ends only once the launcher is gone must not
    // see its input end first and finish in order.
    void kill() {
        ::kill(pid_, SIGKILL);
        reap();
    }
    // The exit status; the driver is gone afterwards. One still waiting for a step ends at once.
    int wait() {
        ::close(input_);
        input_ = -1;
        return reap();
    }

  private:
    int reap() {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return status;
    }

    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
};

}  // namespace zk::test
