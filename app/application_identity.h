#pragma once

#include <QString>

namespace zk::app {

// The organisation (8 characters) and application (15 characters) names that scope the settings
// store, and the application version.
QString organizationName();
QString applicationName();
QString applicationVersion();

}  // namespace zk::app
