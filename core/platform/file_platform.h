#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>

namespace zk::core {

// The few file calls that differ between platforms; one implementation file per platform.

// Opens a file for binary reading with its native (wide on Windows) name; null on failure.
std::FILE* openFileForBinaryRead(const std::filesystem::path& path);

// Opens a file for binary writing with truncation, creating it; null on failure.
std::FILE* openFileForBinaryWrite(const std::filesystem::path& path);

// Size in bytes of the open file when it is a regular file; empty for devices, pipes and failures.
std::optional<std::uint64_t> regularFileSize(std::FILE* file);

// Renames `from` to `to` only when nothing exists at `to`, atomically. Returns false and sets `error`
// (std::errc::file_exists when `to` is taken) when it did not rename.
bool renameWithoutReplace(const std::filesystem::path& from, const std::filesystem::path& to,
                          std::error_code& error);

// Durability: the only calls in the code base that reach the storage device. Each returns false and
// sets `error` when the device did not confirm the flush.

// Writes out the stream's buffer, then the file's data and metadata.
bool syncFileToDisk(std::FILE* file, std::error_code& error);
// The same for a file written by someone else (a copy), opened read-only for the flush.
bool syncPathToDisk(const std::filesystem::path& path, std::error_code& error);
// Makes the names created, renamed or removed in the directory durable.
bool syncDirectoryToDisk(const std::filesystem::path& directory, std::error_code& error);

}  // namespace zk::core
