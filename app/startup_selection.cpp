#include "app/startup_selection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <system_error>

#include "core/storage/profile_store.h"

namespace zk::app {

namespace {

bool isExistingFile(const QString& path) { return !path.isEmpty() && QFileInfo(path).isFile(); }

// The preferred shipped profile, else the first of the store's ".json" files by name.
QString defaultStoreProfile(const QString& storeDir) {
    std::vector<std::filesystem::path> files;
    try {
        files = zk::core::listFilesByExtension(
            std::filesystem::path(QFile::encodeName(storeDir).toStdString()), ".json");
    } catch (const std::exception&) {
        return {};  // An unreadable store counts as empty.
    }
    if (files.empty()) return {};
    const QString preferred = storeDir + QStringLiteral("/TM27-128-H1.6.2.device.json");
    if (isExistingFile(preferred)) return preferred;
    return QFile::decodeName(files.front().c_str());
}

}  // namespace

std::optional<QString> optionValue(const QStringList& arguments, const QString& option) {
    const qsizetype at = arguments.indexOf(option);
    if (at < 0 || at + 1 >= arguments.size()) return std::nullopt;
    return arguments.at(at + 1);
}

QString profileStoreDir(const QString& executableDir) { return executableDir + QStringLiteral("/profiles"); }

QString startupProfilePath(const QString& rememberedPath, const QString& executableDir) {
    const QString storeDir = profileStoreDir(executableDir);
    QString path = rememberedPath;
    if (!path.isEmpty() && !isExistingFile(path)) {
        const QString moved = storeDir + QLatin1Char('/') + QFileInfo(path).fileName();
        if (isExistingFile(moved)) path = moved;
    }
    if (path.isEmpty()) path = defaultStoreProfile(storeDir);
    if (path.isEmpty()) return {};
    if (!isExistingFile(path) && QDir::isRelativePath(path)) {
        path = executableDir + QLatin1Char('/') + path;
    }
    if (!isExistingFile(path)) return {};
    return QFileInfo(path).absoluteFilePath();
}

QString startupProjectPath(const QString& rememberedPath) {
    if (rememberedPath.isEmpty()) return {};
    if (!QFileInfo::exists(rememberedPath + QStringLiteral("/project.json"))) return {};
    return rememberedPath;
}

}  // namespace zk::app
