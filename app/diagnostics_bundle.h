#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariantList>

namespace zk::app {

// The folders under the Documents folder that bundles and backups go into.
QString diagnosticsRootPath();
QString backupRootPath();

// Creates a new folder prefix + when as "yyyyMMdd_HHmmss" inside root (root and its parents made as
// needed). A name that is taken, for instance by an export earlier in the same second, is never
// reused: the folder gets "_2", "_3", ... appended. The folder is made by one mkdir, so it is always a
// fresh directory of our own and never a link that leads elsewhere. Returns its path, or an empty text
// when no folder could be created.
QString createDatedFolder(const QString& root, const QString& prefix, const QDateTime& when);

// One diagnostic row: a map with the members "name" and "value".
void appendMetricRow(QVariantList& rows, const QString& name, const QString& value);

// The process's resident memory in MiB, 0 when the platform cannot tell.
double processWorkingSetMiB();

// Texts of the bundle files.
QString metricsFileText(const QVariantList& rows, const QString& liveMetrics);
QString eventsFileText(const QStringList& diagnosticsLog);
QString systemFileText(const QString& source, const QString& profilePath, const QString& projectPath);

}  // namespace zk::app
