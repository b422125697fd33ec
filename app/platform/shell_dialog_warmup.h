#pragma once

namespace zk::app::platform {

// Loads the platform's file-open dialog server once, so the first dialog the user opens comes up
// without the loading delay. Runs on a pool thread; every failure is ignored.
void warmUpShellFileDialog() noexcept;

}  // namespace zk::app::platform
