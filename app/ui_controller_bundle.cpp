// Diagnostics bundle and settings backup.
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <exception>

#include "app/diagnostics_bundle.h"
#include "app/settings_text.h"
#include "app/text_file_writer.h"
#include "app/ui_controller.h"

namespace zk::app {

namespace {

QString exportFailed() {
    return QCoreApplication::translate("UiController", "Diagnostics export failed: %1");
}
QString backupFailed() { return QCoreApplication::translate("UiController", "Backup failed: %1"); }

QString exceptionText(const std::exception* error) {
    return error != nullptr ? QString::fromUtf8(error->what()) : UiText::tr("unknown error");
}

}  // namespace

QString UiController::lastDiagnosticsPath() const { return lastDiagnosticsPath_; }
QString UiController::lastBackupPath() const { return lastBackupPath_; }

QString UiController::exportDiagnosticsBundle() {
    try {
        const QString folder =
            createDatedFolder(diagnosticsRootPath(), QStringLiteral("diag_"), QDateTime::currentDateTime());
        if (folder.isEmpty()) {
            reportEvent(QCoreApplication::translate("UiController",
                                                    "Diagnostics export failed: cannot create folder"));
            return {};
        }
        rebuildDiagnosticRows();
        settings_.sync();

        // Every file is tried; those that could not be written are named in the report.
        QStringList failures;
        auto write = [&](const char* name, const QString& text) {
            QString error;
            if (!writeTextFileAtomically(folder, QString::fromLatin1(name), text, &error))
                failures << QStringLiteral("%1: %2").arg(QString::fromLatin1(name), error);
        };
        write("metrics.txt", metricsFileText(diagnostics_.rows, liveMetrics()));
        write("events.txt", eventsFileText(diagnosticsLog()));
        write("settings.ini", settingsStoreText(settings_));
        write("system.txt", systemFileText(source(), profilePath(), projectPath()));

        const QFileInfo profile(profilePath());
        if (!profilePath().isEmpty() && profile.isFile()) {
            const QString target = QDir(folder).filePath(profile.fileName());
            // A profile named like one of the files above leaves that file in place.
            QFile source(profile.absoluteFilePath());
            if (!QFileInfo::exists(target) && !source.copy(target))
                failures << QStringLiteral("%1: %2").arg(profile.fileName(), source.errorString());
        }

        if (!failures.isEmpty()) {
            reportEvent(
                exportFailed().arg(UiText::tr("cannot write %1").arg(failures.join(QStringLiteral("; ")))));
            return {};
        }
        lastDiagnosticsPath_ = folder;
        emit lastDiagnosticsPathChanged();
        reportLocalized(QT_TRANSLATE_NOOP("UiController", "Diagnostics bundle exported: %1"), {folder});
        return folder;
    } catch (const std::exception& error) {
        reportEvent(exportFailed().arg(exceptionText(&error)));
    } catch (...) {
        reportEvent(exportFailed().arg(exceptionText(nullptr)));
    }
    return {};
}

QString UiController::backupNow() {
    try {
        const QString folder =
            createDatedFolder(backupRootPath(), QStringLiteral("backup_"), QDateTime::currentDateTime());
        if (folder.isEmpty()) {
            reportEvent(QCoreApplication::translate("UiController", "Backup failed: cannot create folder"));
            return {};
        }
        settings_.sync();
        QString error;
        const QString file = QStringLiteral("settings.ini");
        if (!writeTextFileAtomically(folder, file, settingsStoreText(settings_), &error)) {
            // The folder holds nothing, so it is no backup; rmdir leaves a folder that is not empty.
            QDir().rmdir(folder);
            reportEvent(
                backupFailed().arg(UiText::tr("cannot write %1").arg(file + QStringLiteral(": ") + error)));
            return {};
        }
        lastBackupPath_ = folder;
        emit lastBackupPathChanged();
        reportLocalized(QT_TRANSLATE_NOOP("UiController", "Settings backup written: %1"), {folder});
        return folder;
    } catch (const std::exception& error) {
        reportEvent(backupFailed().arg(exceptionText(&error)));
    } catch (...) {
        reportEvent(backupFailed().arg(exceptionText(nullptr)));
    }
    return {};
}

void UiController::openDiagnosticsFolder() {
    try {
        const QString root = diagnosticsRootPath();
        QDir().mkpath(root);
        QDesktopServices::openUrl(QUrl::fromLocalFile(root));
    } catch (const std::exception& error) {
        reportEvent(QCoreApplication::translate("UiController", "Open diagnostics folder failed: %1")
                        .arg(exceptionText(&error)));
    } catch (...) {
        reportEvent(QCoreApplication::translate("UiController", "Open diagnostics folder failed: %1")
                        .arg(exceptionText(nullptr)));
    }
}

}  // namespace zk::app
