#pragma once

namespace zk::app::platform {

// Names the calling thread for debuggers, profilers and the process's task list (at most 15
// characters are kept). Best effort: a refusal is ignored.
void nameCurrentThread(const char* name) noexcept;

}  // namespace zk::app::platform
