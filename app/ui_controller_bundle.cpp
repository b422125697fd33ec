// Diagnostics bundle and settings backup.
#include "app/ui_controller.h"

namespace zk::app {

QString UiController::lastDiagnosticsPath() const { return lastDiagnosticsPath_; }
QString UiController::lastBackupPath() const { return lastBackupPath_; }

QString UiController::exportDiagnosticsBundle() { return {}; }
QString UiController::backupNow() { return {}; }
void UiController::openDiagnosticsFolder() {}

}  // namespace zk::app
