#pragma once

namespace zk::app::platform {

// Sets "OMP_WAIT_POLICY" to "PASSIVE" when it is unset or empty, so idle OpenMP workers sleep
// instead of spinning. Where the OpenMP runtime has read its environment before main, the value only
// takes effect in a new process image: there the call starts the program afresh with the same
// arguments and returns only when that fails. argv is main's, null-terminated.
void preferPassiveOpenMpWait(char** argv) noexcept;

}  // namespace zk::app::platform
