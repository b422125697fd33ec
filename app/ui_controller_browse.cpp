// File-system browsing for the application's own file picker. Stateless: nothing here touches the
// controller or reports to the status line; every failure is encoded in the result.
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStorageInfo>

#include "app/ui_controller.h"

namespace zk::app {

namespace {

QVariantMap failure() { return {{QStringLiteral("ok"), false}}; }

QVariantMap failure(const char* error) {
    return {{QStringLiteral("ok"), false}, {QStringLiteral("error"), QString::fromLatin1(error)}};
}

const QRegularExpression& forbiddenNameCharacters() {
    static const QRegularExpression pattern(QStringLiteral("[\\\\/:*?\"<>|]"));
    return pattern;
}

// Any kind of entry, a dangling link included: the name is taken either way.
bool entryExists(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

QString cleanAbsolute(const QString& path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }

}  // namespace

QStringList UiController::browseDrives() const {
    QStringList roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && volume.isReady() && !volume.rootPath().isEmpty())
            roots.append(volume.rootPath());
    }
    roots.removeDuplicates();
    roots.sort(Qt::CaseInsensitive);
    return roots;
}

QVariantMap UiController::browseListDir(const QString& path, const QStringList& name_filters) const {
    if (path.isEmpty()) return failure();
    const QDir dir(path);
    if (!dir.exists()) return failure();

    QDir up(dir);
    const QString parent = up.cdUp() ? QDir::cleanPath(up.absolutePath()) : QString();
    // A folder that is its own parent is a root.
    const QString folder = QDir::cleanPath(dir.absolutePath());
    const QDir::SortFlags order = QDir::Name | QDir::IgnoreCase;
    const QStringList dirs = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, order);
    const QStringList files = name_filters.isEmpty()
                                  ? QStringList()
                                  : dir.entryList(name_filters, QDir::Files | QDir::Hidden, order);
    return {{QStringLiteral("ok"), true},
            {QStringLiteral("path"), folder},
            {QStringLiteral("parent"), parent == folder ? QString() : parent},
            {QStringLiteral("dirs"), dirs},
            {QStringLiteral("files"), files}};
}

QVariantMap UiController::browseCreateDir(const QString& parent_path, const QString& base_name) const {
    if (parent_path.isEmpty() || !QDir(parent_path).exists()) return failure();
    const QString parent = cleanAbsolute(parent_path);
    QString base = base_name.trimmed();
    base.remove(forbiddenNameCharacters());
    if (base.isEmpty()) base = QStringLiteral("New Folder");

    QString name = base;
    for (int suffix = 2; entryExists(parent + u'/' + name); ++suffix) {
        name = QStringLiteral("%1 (%2)").arg(base).arg(suffix);
    }
    if (!QDir(parent).mkdir(name)) return failure();
    return {{QStringLiteral("ok"), true},
            {QStringLiteral("name"), name},
            {QStringLiteral("path"), QDir::cleanPath(parent + u'/' + name)}};
}

QVariantMap UiController::browseRenameDir(const QString& dir_path, const QString& new_name) const {
    const QString name = new_name.trimmed();
    if (name.isEmpty()) return failure("empty");
    if (name.contains(forbiddenNameCharacters()) || name == QLatin1String(".") || name == QLatin1String(".."))
        return failure("invalid");
    if (dir_path.isEmpty() || !QDir(dir_path).exists()) return failure();

    const QString current = cleanAbsolute(dir_path);
    const QFileInfo currentInfo(current);
    const QString currentName = currentInfo.fileName();
    if (name == currentName) {
        return {{QStringLiteral("ok"), true},
                {QStringLiteral("name"), currentName},
                {QStringLiteral("path"), current}};
    }
    const QString parent = QDir::cleanPath(currentInfo.absolutePath());
    const QString target = QDir::cleanPath(parent + u'/' + name);
    if (entryExists(target)) return failure("exists");
    if (currentName.isEmpty() || !QDir(parent).rename(currentName, name)) return failure("failed");
    return {{QStringLiteral("ok"), true}, {QStringLiteral("name"), name}, {QStringLiteral("path"), target}};
}

}  // namespace zk::app
