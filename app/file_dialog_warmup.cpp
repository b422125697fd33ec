#include "app/file_dialog_warmup.h"

#include "app/platform/shell_dialog_warmup.h"

namespace zk::app {

void FileDialogWarmup::run() { platform::warmUpShellFileDialog(); }

}  // namespace zk::app
