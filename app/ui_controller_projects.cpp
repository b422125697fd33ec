// Projects: check, create, open, refresh and delete, the recent-Project list, the noise floor.
#include <QCoreApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <filesystem>
#include <optional>
#include <system_error>

#include "app/error_text.h"
#include "app/file_paths.h"
#include "app/ui_controller.h"
#include "core/platform/file_platform.h"
#include "core/storage/project_deletion.h"
#include "core/storage/project_in_use.h"
#include "core/storage/project_recovery.h"
#include "core/storage/project_repair.h"
#include "core/streaming/streaming_acoustic_engine.h"

namespace zk::app {

namespace fs = std::filesystem;

namespace {

constexpr qsizetype kRecentProjectLimit = 8;

bool holdsProjectFile(const QString& directory) {
    return QFileInfo::exists(QDir(directory).filePath(QStringLiteral("project.json")));
}

bool replayIdle(std::int32_t state) { return state == kReplayIdle; }

// "project.json" as any kind of entry; a failed query throws with its own text.
bool projectFileExistsOrThrow(const fs::path& directory) {
    std::error_code error;
    const fs::file_status status = fs::symlink_status(directory / "project.json", error);
    // Inside a path that is no directory there is no project.json either.
    if (error && error != std::errc::no_such_file_or_directory && error != std::errc::not_a_directory)
        throw fs::filesystem_error("status", directory / "project.json", error);
    return !error && fs::exists(status);
}

// The checks of a directory that is to become a new Project root.
void requireEmptyProjectDirectory(const fs::path& directory) {
    if (projectFileExistsOrThrow(directory))
        throw std::runtime_error("the selected directory already contains a Project");
    std::error_code error;
    const fs::file_status status = fs::status(directory, error);
    if (error && error != std::errc::no_such_file_or_directory)
        throw fs::filesystem_error("status", directory, error);
    if (!fs::exists(status)) return;
    if (!fs::is_directory(status)) throw std::runtime_error("the selected path is not a directory");
    // A Create Project killed before its rename leaves only its temporary file behind.
    if (!core::isEmptyButForRewriteTemporaries(directory))
        throw std::runtime_error("select an empty directory for a new Project");
}

// One event-log line per thing the recovery did or could not do.
QStringList recoveryLines(const core::ProjectRecoveryReport& report) {
    QStringList lines;
    const auto each = [&lines](const std::vector<std::string>& names, const QString& pattern) {
        for (const std::string& name : names) lines.append(pattern.arg(QString::fromStdString(name)));
    };
    each(report.removedTemporaries, UiText::tr("Removed temporary file %1"));
    each(report.removedLeftovers, UiText::tr("Removed incomplete leftover %1"));
    each(report.recoveredRuns, UiText::tr("Recovered AnalysisRun %1"));
    each(report.recoveredRecordings, UiText::tr("Recovered recording %1"));
    each(report.recoveredMeasurements, UiText::tr("Recovered Measurement %1"));
    for (const auto& kept : report.undescribedRecordings) {
        lines.append(UiText::tr("Unfinished recording without its description kept: %1 (%2 bytes)")
                         .arg(QString::fromStdString(kept.path))
                         .arg(kept.bytes));
    }
    each(report.discardedVideos, UiText::tr("Removed unfinished camera video %1"));
    each(report.inUse, UiText::tr("Recovery left %1 alone: another program is using it"));
    for (const auto& failure : report.failures) {
        lines.append(UiText::tr("Recovery left %1 as it was: %2")
                         .arg(QString::fromStdString(failure.path), QString::fromStdString(failure.error)));
    }
    return lines;
}

// What the open did to a damaged or missing project.json.
QString rebuildLine(const core::ProjectRebuild& rebuild, std::size_t count) {
    const QString damage = QString::fromStdString(rebuild.damage);
    const int folders = static_cast<int>(count);
    const bool one = folders == 1;
    if (!rebuild.unsaved.empty()) {
        return (one ? UiText::tr("project.json could not be read (%1): the Measurement list was rebuilt from %n "
                                 "Measurement folder but could not be saved (%2), project.json was left as it was",
                                 nullptr, folders)
                    : UiText::tr("project.json could not be read (%1): the Measurement list was rebuilt from %n "
                                 "Measurement folders but could not be saved (%2), project.json was left as it was",
                                 nullptr, folders))
            .arg(damage, QString::fromStdString(rebuild.unsaved));
    }
    if (!rebuild.asideName.empty()) {
        return (one ? UiText::tr("project.json could not be read (%1): kept as %2, the Measurement list was "
                                 "rebuilt from %n Measurement folder",
                                 nullptr, folders)
                    : UiText::tr("project.json could not be read (%1): kept as %2, the Measurement list was "
                                 "rebuilt from %n Measurement folders",
                                 nullptr, folders))
            .arg(damage, QString::fromStdString(rebuild.asideName));
    }
    return one ? UiText::tr("project.json was missing beside its damaged copy: the Measurement list was rebuilt "
                            "from %n Measurement folder",
                            nullptr, folders)
               : UiText::tr("project.json was missing beside its damaged copy: the Measurement list was rebuilt "
                            "from %n Measurement folders",
                            nullptr, folders);
}

}  // namespace

bool UiController::hasProject() const { return project_.open; }
QString UiController::projectName() const {
    return project_.open ? QString::fromStdString(project_.record.name) : QString();
}
QString UiController::projectPath() const { return project_.open ? project_.path : QString(); }
QString UiController::projectId() const {
    return project_.open ? QString::fromStdString(project_.record.projectId) : QString();
}
QVariantList UiController::recentProjects() const { return project_.recent; }

void UiController::loadRecentProjects() {
    project_.recent.clear();
    const QVariantList stored = settings_.value(QStringLiteral("recentProjects")).toList();
    for (const QVariant& element : stored) {
        if (project_.recent.size() >= kRecentProjectLimit) break;
        const QVariantMap entry = element.toMap();
        const QString path = entry.value(QStringLiteral("path")).toString();
        if (path.isEmpty()) continue;
        project_.recent.append(
            QVariantMap{{QStringLiteral("path"), path},
                        {QStringLiteral("name"), entry.value(QStringLiteral("name")).toString()},
                        {QStringLiteral("openedAt"), entry.value(QStringLiteral("openedAt")).toString()}});
    }
}

void UiController::recordRecentProject(const QString& path, const QString& name) {
    if (path.isEmpty()) return;
    QVariantList next{
        QVariantMap{{QStringLiteral("path"), path},
                    {QStringLiteral("name"), name},
                    {QStringLiteral("openedAt"), QDateTime::currentDateTime().toString(Qt::ISODate)}}};
    for (const QVariant& entry : std::as_const(project_.recent)) {
        if (next.size() >= kRecentProjectLimit) break;
        if (entry.toMap().value(QStringLiteral("path")).toString() != path) next.append(entry);
    }
    project_.recent = next;
    settings_.setValue(QStringLiteral("recentProjects"), project_.recent);
    emit recentProjectsChanged();
}

QString UiController::validateNewProjectDir(const QString& directory) const {
    if (directory.isEmpty())
        return QCoreApplication::translate("UiController", "Select a directory for the new Project");
    if (holdsProjectFile(directory))
        return QCoreApplication::translate("UiController",
                                           "The selected directory already contains a Project");
    const QFileInfo info(directory);
    if (!info.exists()) return {};
    if (!info.isDir())
        return QCoreApplication::translate("UiController", "The selected path is not a directory");
    bool empty = false;
    try {
        empty = core::isEmptyButForRewriteTemporaries(toFsPath(directory));
    } catch (const std::exception&) {
        // cannot be listed: not known to be empty
    }
    if (!empty) {
        return QCoreApplication::translate(
            "UiController",
            "The selected directory is not empty - choose an empty directory for a new Project");
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

bool UiController::refuseProjectChange(const QString& whileRecording, const QString& whileRecomputing,
                                       const QString& whileReplaying) {
    const QString* refusal = run_.recording.load() != kRecordingIdle ? &whileRecording
                             : run_.fullRecomputeRunning.load()      ? &whileRecomputing
                             : !replayIdle(run_.replay.load())       ? &whileReplaying
                                                                     : nullptr;
    if (refusal != nullptr) reportEvent(*refusal);
    return refusal != nullptr;
}

void UiController::createProject(const QString& directory, const QString& name) {
    try {
        const QString trimmedName = name.trimmed();
        if (directory.isEmpty() || trimmedName.isEmpty()) {
            reportEvent(UiText::tr("Project creation requires a directory and a name"));
            return;
        }
        if (refuseProjectChange(UiText::tr("Finish the active Recording before changing Project"),
                                UiText::tr("Wait for Full Recompute before changing Project"),
                                UiText::tr("Stop Replay before changing Project")))
            return;
        try {
            const fs::path root = toFsPath(directory);
            requireEmptyProjectDirectory(root);
            core::removeRewriteTemporaries(root);
            core::ProjectRecord record = core::createProject(root, trimmedName.toStdString());
            project_.record = std::move(record);
            project_.path = directory;
            project_.open = true;
            settings_.setValue(QStringLiteral("lastProjectPath"), directory);
            recordRecentProject(directory, trimmedName);
            emit projectChanged();
            emit uiStateChanged();
            loadProjectNoiseFloor();
            rebuildMeasurementList();
            reportEvent(UiText::tr("Project created: %1").arg(trimmedName));
        } catch (const std::exception& error) {
            reportEvent(UiText::tr("Create Project failed: %1").arg(textOf(error)));
        }
    } catch (...) {
        // Reporting itself failed (out of memory); nothing else can be done here.
    }
}

void UiController::openProject(const QString& directory) {
    try {
        if (directory.isEmpty()) return;
        if (refuseProjectChange(UiText::tr("Finish the active Recording before changing Project"),
                                UiText::tr("Wait for Full Recompute before changing Project"),
                                UiText::tr("Stop Replay before changing Project")))
            return;
        try {
            const fs::path root = toFsPath(directory);
            core::finishInterruptedProjectFile(root);
            core::ProjectRebuild rebuild;
            core::ProjectRecord record = core::loadProjectOrRebuild(root, rebuild);
            if (!rebuild.damage.empty()) reportEvent(rebuildLine(rebuild, record.measurements.size()));
            // Leaves alone whatever a living writer, of this program or another, holds.
            const core::ProjectRecoveryReport recovered = core::recoverProject(record);
            if (recovered.unguarded && !project_.unguardedReported.contains(directory)) {
                project_.unguardedReported.insert(directory);
                reportEvent(UiText::tr("The folder of this Project takes no file locks (%1): it cannot guard "
                                       "the Project against a second program using it at the same time")
                                .arg(directory));
            }
            // Locks that work there may still stay on this computer: nothing keeps a second computer out.
            if (const std::optional<std::string> network = core::networkFileSystemOf(root);
                network && !recovered.unguarded && !project_.unguardedReported.contains(directory)) {
                project_.unguardedReported.insert(directory);
                reportEvent(
                    UiText::tr("The folder of this Project is on a network file system (%1) whose locks "
                               "may not reach other computers (%2): it cannot guard the Project against "
                               "a second computer writing to it at the same time")
                        .arg(QString::fromStdString(*network), directory));
            }
            for (const QString& line : recoveryLines(recovered)) reportEvent(line);
            project_.record = std::move(record);
            project_.path = directory;
            project_.open = true;
            settings_.setValue(QStringLiteral("lastProjectPath"), project_.path);
            recordRecentProject(projectPath(), projectName());
            emit projectChanged();
            emit uiStateChanged();
            loadProjectNoiseFloor();
            rebuildMeasurementList();
            // English has a singular; the catalogues give each count its own form (%n).
            reportLocalized(measurementCount() == 1
                                ? QT_TRANSLATE_NOOP("UiController", "Project opened: %1 · %n Measurement")
                                : QT_TRANSLATE_NOOP("UiController", "Project opened: %1 · %n Measurements"),
                            {projectName()}, measurementCount());
        } catch (const std::exception& error) {
            reportEvent(
                QCoreApplication::translate("UiController", "Open Project failed: %1").arg(textOf(error)));
        }
    } catch (...) {
    }
}

void UiController::refreshProject() {
    try {
        if (!project_.open) return;
        loadProjectNoiseFloor();
        if (refuseProjectChange(UiText::tr("Finish the active Recording before refreshing Project"),
                                UiText::tr("Wait for Full Recompute before refreshing Project"),
                                UiText::tr("Stop Replay before refreshing Project")))
            return;
        try {
            project_.record = core::loadProject(toFsPath(project_.path));
            emit projectChanged();
            rebuildMeasurementList();
            reportEvent(measurementCount() == 1
                            ? UiText::tr("Project refreshed · %n Measurement", nullptr, 1)
                            : UiText::tr("Project refreshed · %n Measurements", nullptr, measurementCount()));
        } catch (const std::exception& error) {
            reportEvent(UiText::tr("Refresh Project failed: %1").arg(textOf(error)));
        }
    } catch (...) {
    }
}

void UiController::deleteProject() {
    try {
        if (!project_.open) {
            reportEvent(UiText::tr("Open a Project first"));
            return;
        }
        if (run_.recording.load() != kRecordingIdle) {
            reportEvent(UiText::tr("Finish the active Recording before deleting the Project"));
            return;
        }
        if (run_.fullRecomputeRunning.load()) {
            reportEvent(UiText::tr("Wait for Full Recompute before deleting the Project"));
            return;
        }
        if (!replayIdle(run_.replay.load())) stopReplay();

        const QString path = project_.path;
        const fs::path root = toFsPath(path);
        bool isRoot = !path.isEmpty() && !root.parent_path().empty();
        if (isRoot) {
            try {
                isRoot = projectFileExistsOrThrow(root);
            } catch (const std::exception&) {
                isRoot = false;
            }
        }
        if (!isRoot) {
            reportEvent(UiText::tr("Refusing to delete: not a Project root"));
            return;
        }
        // Removes only what the Project holds now, which is what the user confirmed: another program's
        // work, under way or saved meanwhile, makes the deletion refuse and stays.
        core::ProjectDeletion deletion(root);
        if (const std::optional<core::ProjectDeletionRefusal> refusal = deletion.begin()) {
            const QString entry = QString::fromStdString(refusal->entry);
            if (refusal->why == core::ProjectDeletionRefusal::Why::InUse) {
                reportLocalized(QT_TRANSLATE_NOOP("UiController",
                                                  "Project %1 was not deleted: another program is using %2"),
                                {projectName(), entry});
            } else {
                reportLocalized(QT_TRANSLATE_NOOP("UiController",
                                                  "Project %1 was not deleted: another program changed %2 "
                                                  "in the meantime"),
                                {projectName(), entry});
            }
            return;
        }

        const QString name = projectName();
        project_.open = false;
        project_.record = core::ProjectRecord{};
        project_.path.clear();
        try {
            rebuildMeasurementList();
        } catch (const std::exception&) {
            // Without a Project the list only clears; nothing is read.
        }
        loadProjectNoiseFloor();
        emit projectChanged();
        emit uiStateChanged();
        if (settings_.value(QStringLiteral("lastProjectPath")).toString() == path)
            settings_.setValue(QStringLiteral("lastProjectPath"), QString());
        removeRecentProject(path);

        if (!deletion.finish(removeDirectoryTree)) {
            openProject(path);
            reportEvent(
                QCoreApplication::translate(
                    "UiController", "Delete failed: files are locked under %1 - the Project was kept open")
                    .arg(path));
            return;
        }
        reportEvent(UiText::tr("Project deleted: %1").arg(name));
    } catch (const std::exception& error) {
        reportEvent(UiText::tr("Delete Project failed: %1").arg(textOf(error)));
    } catch (...) {
    }
}

void UiController::openRecentProject(const QString& path) {
    try {
        if (path.isEmpty()) return;
        if (QFileInfo::exists(path + QStringLiteral("/project.json"))) {
            openProject(path);
            return;
        }
        removeRecentProject(path);
        reportLocalized(
            QT_TRANSLATE_NOOP("UiController", "Project no longer exists at %1 - removed from Recent"),
            {path});
    } catch (const std::exception& error) {
        reportEvent(
            QCoreApplication::translate("UiController", "Open Project failed: %1").arg(textOf(error)));
    }
}

void UiController::removeRecentProject(const QString& path) {
    try {
        QVariantList kept;
        for (const QVariant& entry : std::as_const(project_.recent)) {
            if (entry.toMap().value(QStringLiteral("path")).toString() != path) kept.append(entry);
        }
        if (kept.size() == project_.recent.size()) return;
        project_.recent = kept;
        settings_.setValue(QStringLiteral("recentProjects"), project_.recent);
        emit recentProjectsChanged();
    } catch (...) {
    }
}

void UiController::openProjectFolder() {
    try {
        if (!project_.open) {
            reportLocalized(QT_TRANSLATE_NOOP("UiController", "Open or create a Project first"));
            return;
        }
        QDesktopServices::openUrl(QUrl::fromLocalFile(project_.path));
    } catch (...) {
    }
}

void UiController::loadProjectNoiseFloor() {
    noiseFloor_.profile.reset();
    noiseFloor_.subtractionEnabled = false;
    if (project_.open) {
        const fs::path root = toFsPath(project_.path);
        if (core::noiseFloorProfileExists(root)) {
            try {
                auto loaded =
                    std::make_shared<const core::NoiseFloorProfile>(core::loadNoiseFloorProfile(root));
                noiseFloor_.subtractionEnabled = loaded->enabled;
                noiseFloor_.profile = std::move(loaded);
            } catch (const std::exception& error) {
                reportEvent(UiText::tr("Noise floor load failed: %1").arg(textOf(error)));
            }
        }
    }
    rebuildNoiseProfileInfo();
    for (core::StreamingAcousticEngine* engine : {engines_.live.get(), engines_.replay.get()}) {
        engine->setNoiseFloorProfile(noiseFloor_.profile);
        engine->setNoiseSubtractionEnabled(noiseFloor_.subtractionEnabled);
    }
    emit noiseSubtractionChanged();
}

}  // namespace zk::app
