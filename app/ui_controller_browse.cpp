// File-system browsing for the application's own file picker.
#include "app/ui_controller.h"

namespace zk::app {

namespace {

QVariantMap failure() { return {{QStringLiteral("ok"), false}}; }

}  // namespace

QStringList UiController::browseDrives() const { return {}; }

QVariantMap UiController::browseListDir(const QString& path, const QStringList& name_filters) const {
    Q_UNUSED(path);
    Q_UNUSED(name_filters);
    return failure();
}

QVariantMap UiController::browseCreateDir(const QString& parent_path, const QString& base_name) const {
    Q_UNUSED(parent_path);
    Q_UNUSED(base_name);
    return failure();
}

QVariantMap UiController::browseRenameDir(const QString& dir_path, const QString& new_name) const {
    Q_UNUSED(dir_path);
    Q_UNUSED(new_name);
    return failure();
}

}  // namespace zk::app
