#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "app/platform/console_output.h"

namespace zk::app::platform {

// A process started from a shell already owns its terminal through the inherited descriptors.
void attachParentConsole() noexcept {}

std::string_view consoleLineEnd() noexcept { return "\n"; }

void writeConsoleMessage(std::string_view bytes) noexcept {
    // A closed standard error leaves nowhere to write: Linux has neither a console of its own to open
    // nor a debugger output channel.
    if (fcntl(STDERR_FILENO, F_GETFD) == -1) return;
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    // One write call per message, so lines of concurrent threads do not interleave; the loop only
    // finishes a write that a signal or a full pipe cut short.
    while (left > 0) {
        const ssize_t written = ::write(STDERR_FILENO, data, left);
        if (written < 0) {
            if (errno == EINTR) continue;
            return;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
}

}  // namespace zk::app::platform
