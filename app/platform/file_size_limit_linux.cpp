#include <csignal>

#include "app/platform/file_size_limit.h"

namespace zk::app::platform {

// Past RLIMIT_FSIZE the kernel sends SIGXFSZ, whose default action ends the process; ignored, the
// write fails with EFBIG instead.
void reportFileSizeLimitAsWriteFailure() noexcept { std::signal(SIGXFSZ, SIG_IGN); }

}  // namespace zk::app::platform
