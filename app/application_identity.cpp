#include "app/application_identity.h"

namespace zk::app {

namespace {

// Both names grow from one stem at run time, so the settings scope and the Documents folders that
// carry the application name cannot drift apart.
QString nameStem() { return QStringLiteral("Sorv") + QStringLiteral("anta"); }

}  // namespace

QString organizationName() { return nameStem(); }

QString applicationName() { return nameStem() + QLatin1Char(' ') + QStringLiteral("Studio"); }

QString applicationVersion() { return QStringLiteral("1.2.2"); }

}  // namespace zk::app
