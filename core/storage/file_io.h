#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

// regularFileSize (the bound a file reader takes) comes from the platform layer.
#include "core/platform/file_platform.h"

namespace zk::core {

// Closes a std::FILE* when its owner goes away; a close failure there goes unnoticed, so writers
// close through closeFile and check its result.
struct FileCloser {
    void operator()(std::FILE* file) const noexcept;
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Binary mode with the file's native name; an empty handle when the file cannot be opened.
FileHandle openFileForReading(const std::filesystem::path& path);
// Binary mode with truncation, creating the file; an empty handle when it cannot be opened.
FileHandle openFileForWriting(const std::filesystem::path& path);
// Closes the file and empties the handle; false when the close (the last flush) failed.
bool closeFile(FileHandle& file);

// Bytes the readers hand on at a time.
inline constexpr std::size_t kFileChunkBytes = 65536;

enum class FileReadStatus { Ok, CannotOpen, ReadFailed, TooLarge };

// Hands the file's bytes to `consume` in order, at most kFileChunkBytes at a time, in constant
// memory. TooLarge once the file holds more than maxBytes (bytes past the bound are not handed on);
// ReadFailed when a read fails before the end, so a failed read never passes for a shorter file.
FileReadStatus readFileChunks(const std::filesystem::path& path, std::uint64_t maxBytes,
                              const std::function<void(std::span<const std::byte>)>& consume);

// Reads the whole file into `bytes` (replacing its content) as readFileChunks does; whatever the
// file is, `bytes` never grows past maxBytes.
FileReadStatus readFileBounded(const std::filesystem::path& path, std::size_t maxBytes, std::string& bytes);

enum class FileWriteStatus { Ok, CannotOpen, WriteFailed };

// Writes the bytes in one piece to the file opened with truncation, and closes it.
FileWriteStatus writeWholeFile(const std::filesystem::path& path, std::span<const std::byte> bytes);
FileWriteStatus writeWholeFile(const std::filesystem::path& path, std::string_view text);

}  // namespace zk::core
