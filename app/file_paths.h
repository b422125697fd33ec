#pragma once

#include <QString>
#include <filesystem>

namespace zk::app {

// Path text of QML and the settings store to a file-system path and back, without normalising.
inline std::filesystem::path toFsPath(const QString& path) {
    return std::filesystem::path(path.toStdU16String());
}
inline QString fromFsPath(const std::filesystem::path& path) {
    return QString::fromStdU16String(path.u16string());
}

// Whether candidate is base itself or lies below it. Both are brought to their weakly canonical form
// (symbolic links and ".." of the existing leading part resolved), then compared element by element;
// a path that cannot be brought to that form counts as outside. Never throws.
bool isPathWithin(const std::filesystem::path& base, const std::filesystem::path& candidate) noexcept;
bool isPathWithin(const QString& base, const QString& candidate) noexcept;

// Removes a directory tree (links are removed, never followed), up to 10 attempts 60 ms apart while
// something survives, ignoring removal errors. True when the directory is gone; a failed query of its
// existence counts as still there. Blocks the calling thread for at most about 0.6 s.
bool removeDirectoryTree(const std::filesystem::path& directory) noexcept;

}  // namespace zk::app
