// Projects and the recent-Project list.
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "app/ui_controller.h"

namespace zk::app {

namespace {

constexpr qsizetype kRecentProjectLimit = 8;

bool holdsProjectFile(const QString& directory) {
    return QFileInfo::exists(QDir(directory).filePath(QStringLiteral("project.json")));
}

}  // namespace

bool UiController::hasProject() const { return false; }
QString UiController::projectName() const { return {}; }
QString UiController::projectPath() const { return {}; }
QString UiController::projectId() const { return {}; }
QVariantList UiController::recentProjects() const { return recentProjects_; }

void UiController::loadRecentProjects() {
    recentProjects_.clear();
    const QVariantList stored = settings_.value(QStringLiteral("recentProjects")).toList();
    for (const QVariant& element : stored) {
        if (recentProjects_.size() >= kRecentProjectLimit) break;
        const QVariantMap entry = element.toMap();
        const QString path = entry.value(QStringLiteral("path")).toString();
        if (path.isEmpty()) continue;
        recentProjects_.append(QVariantMap{{QStringLiteral("path"), path},
                                           {QStringLiteral("name"), entry.value(QStringLiteral("name")).toString()},
                                           {QStringLiteral("openedAt"),
                                            entry.value(QStringLiteral("openedAt")).toString()}});
    }
}

QString UiController::validateNewProjectDir(const QString& directory) const {
    if (directory.isEmpty())
        return QCoreApplication::translate("UiController", "Select a directory for the new Project");
    if (holdsProjectFile(directory))
        return QCoreApplication::translate("UiController", "The selected directory already contains a Project");
    const QFileInfo info(directory);
    if (!info.exists()) return {};
    if (!info.isDir()) return QCoreApplication::translate("UiController", "The selected path is not a directory");
    if (!QDir(directory).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
        return QCoreApplication::translate(
            "UiController", "The selected directory is not empty - choose an empty directory for a new Project");
    }
    return {};
}

bool UiController::projectExistsAt(const QString& directory) const {
    return !directory.isEmpty() && holdsProjectFile(directory);
}

QStringList UiController::findNestedProjects(const QString& directory) const {
    QStringList found;
    if (directory.isEmpty() || !QFileInfo(directory).isDir()) return found;
    const QDir root(directory);
    for (const QString& name : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden)) {
        const QString child = root.filePath(name);
        if (holdsProjectFile(child)) found.append(child);
    }
    found.sort(Qt::CaseInsensitive);
    return found;
}

void UiController::removeRecentProject(const QString& path) {
    QVariantList kept;
    for (const QVariant& entry : std::as_const(recentProjects_)) {
        if (entry.toMap().value(QStringLiteral("path")).toString() != path) kept.append(entry);
    }
    if (kept.size() == recentProjects_.size()) return;
    recentProjects_ = kept;
    settings_.setValue(QStringLiteral("recentProjects"), recentProjects_);
    emit recentProjectsChanged();
}

void UiController::openRecentProject(const QString& path) {
    try {
        if (path.isEmpty()) return;
        if (QFileInfo::exists(path + QStringLiteral("/project.json"))) {
            openProject(path);
            return;
        }
        removeRecentProject(path);
        reportEvent(
            QCoreApplication::translate("UiController", "Project no longer exists at %1 - removed from Recent").arg(path));
    } catch (const std::exception& error) {
        reportEvent(QCoreApplication::translate("UiController", "Open Project failed: %1")
                        .arg(QString::fromUtf8(error.what())));
    }
}

void UiController::createProject(const QString& directory, const QString& name) {
    Q_UNUSED(directory);
    Q_UNUSED(name);
}
void UiController::openProject(const QString& directory) { Q_UNUSED(directory); }
void UiController::refreshProject() {}
void UiController::deleteProject() {}
void UiController::openProjectFolder() {}

}  // namespace zk::app
