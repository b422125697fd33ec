#pragma once

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace zk::core {

// The few file calls that differ between platforms; one implementation file per platform.

// Opens a file for binary reading with its native (wide on Windows) name; null on failure.
std::FILE* openFileForBinaryRead(const std::filesystem::path& path);

// Renames `from` to `to` only when nothing exists at `to`, atomically. Returns false and sets `error`
// (std::errc::file_exists when `to` is taken) when it did not rename.
bool renameWithoutReplace(const std::filesystem::path& from, const std::filesystem::path& to,
                          std::error_code& error);

}  // namespace zk::core
