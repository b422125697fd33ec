#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace zk::core {

// Copies the file into the store folder without overwriting anything and reuses an identical copy;
// returns the path under which the file sits in the store. The copy is made under a temporary name
// in the store folder and published only when complete, so a failed copy leaves no partial file
// under a store name. Throws std::runtime_error with the store's texts.
std::filesystem::path copyIntoStore(const std::filesystem::path& source,
                                    const std::filesystem::path& storeDir);

// Regular files of the folder (not its sub-folders) whose narrow names end with the suffix (byte
// comparison, case-sensitive), sorted; empty when the folder is missing.
std::vector<std::filesystem::path> listFilesByExtension(const std::filesystem::path& folder,
                                                        std::string_view suffix);

// The whole file, read as a device profile: std::runtime_error "cannot open: <path>" when the file
// cannot be opened, "cannot read: <path>" when a read fails, and std::invalid_argument
// "file exceeds 4 MiB: <path>" past the profile bound.
std::string readWholeFile(const std::filesystem::path& path);

// True when both files can be read, have the same size and the same bytes (of any size).
bool sameFileContent(const std::filesystem::path& a, const std::filesystem::path& b);

// True when the file's folder is the given folder, both in weakly canonical form.
bool isDirectChildOf(const std::filesystem::path& file, const std::filesystem::path& folder);

}  // namespace zk::core
