#pragma once

namespace zk::app::platform {

// Makes a write past the process's file-size limit fail like a full disk instead of ending the
// process, so a Recording keeps what it wrote. Call once at start, before any worker thread exists.
void reportFileSizeLimitAsWriteFailure() noexcept;

}  // namespace zk::app::platform
