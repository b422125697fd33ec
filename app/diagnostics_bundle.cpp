#include "app/diagnostics_bundle.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QSysInfo>
#include <QVariantMap>

#include "app/application_identity.h"
#include "app/platform/process_memory.h"

namespace zk::app {

namespace {

// Far more than any user makes in one second; bounds the search when the names are taken otherwise.
constexpr int kMaxFoldersPerSecond = 1000;

QString documentsFolder() { return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation); }

}  // namespace

QString diagnosticsRootPath() {
    return QDir(documentsFolder()).filePath(applicationName() + QStringLiteral("-diagnostics"));
}

QString backupRootPath() {
    return QDir(documentsFolder()).filePath(applicationName() + QStringLiteral("-backup"));
}

QString createDatedFolder(const QString& root, const QString& prefix, const QDateTime& when) {
    if (root.isEmpty() || !QDir().mkpath(root)) return {};
    const QDir parent(root);
    const QString stem = prefix + when.toString(QStringLiteral("yyyyMMdd_HHmmss"));
    for (int n = 1; n <= kMaxFoldersPerSecond; ++n) {
        const QString name = n == 1 ? stem : stem + QStringLiteral("_%1").arg(n);
        if (parent.mkdir(name)) return parent.filePath(name);
        // mkdir fails both on a taken name and on a folder we may not write; only the first moves on.
        if (!QFileInfo::exists(parent.filePath(name)) && !QFileInfo(parent.filePath(name)).isSymLink())
            return {};
    }
    return {};
}

void appendMetricRow(QVariantList& rows, const QString& name, const QString& value) {
    rows.append(QVariantMap{{QStringLiteral("name"), name}, {QStringLiteral("value"), value}});
}

double processWorkingSetMiB() {
    return static_cast<double>(platform::residentSetBytes()) / (1024.0 * 1024.0);
}

QString metricsFileText(const QVariantList& rows, const QString& liveMetrics) {
    QString text;
    for (const QVariant& row : rows) {
        const QVariantMap map = row.toMap();
        text += map.value(QStringLiteral("name")).toString() + QStringLiteral(": ") +
                map.value(QStringLiteral("value")).toString() + u'\n';
    }
    return text + u'\n' + liveMetrics + u'\n';
}

QString eventsFileText(const QStringList& diagnosticsLog) { return diagnosticsLog.join(u'\n') + u'\n'; }

QString systemFileText(const QString& source, const QString& profilePath, const QString& projectPath) {
    return QStringLiteral("%1 %2\nQt %3\nOS: %4 %5\n")
               .arg(applicationName(), applicationVersion(), QString::fromLatin1(qVersion()),
                    QSysInfo::prettyProductName(), QSysInfo::currentCpuArchitecture()) +
           QStringLiteral("Source: %1\nProfile: %2\nProject: %3\n").arg(source, profilePath, projectPath);
}

}  // namespace zk::app
