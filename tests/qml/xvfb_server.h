#pragma once

#include <string>
#include <sys/types.h>

namespace zk::qmltest {

// A private X server (Xvfb, 1920 x 1200, 24-bit colour) on a display number the server picks itself, so
// that tests running side by side never share one. Stopped with the object, or with the test process
// if it dies.
class XvfbServer {
public:
    XvfbServer() = default;
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // Returns false with a reason when no server could be started.
    bool start(std::string* error);
    const std::string& display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

}  // namespace zk::qmltest
