#pragma once

#include <string_view>

namespace zk::app::platform {

// Joins the console of the parent process where the platform has such a thing; a failure is ignored.
void attachParentConsole() noexcept;

// The line end that the process's console and log files expect after each message.
std::string_view consoleLineEnd() noexcept;

// Writes one formatted message (line end included) to the process's error output, and to the
// platform's debugger output where there is one. Any thread; never throws, never ends the process.
void writeConsoleMessage(std::string_view bytes) noexcept;

}  // namespace zk::app::platform
