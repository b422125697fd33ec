#include "app/platform/shell_dialog_warmup.h"

namespace zk::app::platform {

// Linux desktops have no in-process shell dialog server to preload, and the application browses
// files with its own QML picker.
void warmUpShellFileDialog() noexcept {}

}  // namespace zk::app::platform
