#include "xvfb_server.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zk::qmltest {

XvfbServer::~XvfbServer() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
}

bool XvfbServer::start(std::string* error) {
    int fds[2];
    if (pipe(fds) != 0) {
        *error = "pipe failed";
        return false;
    }
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        *error = "fork failed";
        return false;
    }
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(1);
        close(fds[0]);
        const int devnull = open("/dev/null", O_WRONLY);
        if (devnull >= 0) {
            dup2(devnull, STDOUT_FILENO);
            dup2(devnull, STDERR_FILENO);
        }
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1920x1200x24", "-nolisten", "tcp",
               "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    pid_ = pid;

    // The server writes its display number and a newline once it accepts connections.
    std::string number;
    pollfd entry{fds[0], POLLIN, 0};
    while (number.find('\n') == std::string::npos && poll(&entry, 1, 15000) > 0) {
        char buffer[16];
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n <= 0) break;
        number.append(buffer, static_cast<std::size_t>(n));
    }
    close(fds[0]);
    const auto end = number.find('\n');
    if (end == std::string::npos || end == 0) {
        *error = "Xvfb did not report a display (is the package xvfb installed?)";
        return false;
    }
    display_.assign(1, ':');
    display_.append(number, 0, end);
    return true;
}

}  // namespace zk::qmltest
