#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace zk::app {

// The value word after the first word equal to the option (exact, case-sensitive); none when the
// option is absent or is the last word. The program path counts as a word like any other.
std::optional<QString> optionValue(const QStringList& arguments, const QString& option);

// The profile store folder beside the executable.
QString profileStoreDir(const QString& executableDir);

// The device profile to import at start when no "--profile" is given: the remembered path, else its
// file name in the profile store, else the store's "TM27-128-H1.6.2.device.json" or first ".json"
// file; a relative path that names no file is taken against the executable's folder. The absolute
// path of an existing file, or an empty text when there is none to import.
QString startupProfilePath(const QString& rememberedPath, const QString& executableDir);

// The remembered Project directory when it still holds a "project.json", else an empty text.
QString startupProjectPath(const QString& rememberedPath);

}  // namespace zk::app
