#include "core/storage/file_io.h"

#include <vector>

namespace zk::core {

void FileCloser::operator()(std::FILE* file) const noexcept {
    if (file != nullptr) std::fclose(file);
}

FileHandle openFileForReading(const std::filesystem::path& path) {
    return FileHandle(openFileForBinaryRead(path));
}

FileHandle openFileForWriting(const std::filesystem::path& path) {
    return FileHandle(openFileForBinaryWrite(path));
}

bool closeFile(FileHandle& file) {
    std::FILE* raw = file.release();
    return raw == nullptr || std::fclose(raw) == 0;
}

FileReadStatus readFileChunks(const std::filesystem::path& path, std::uint64_t maxBytes,
                              const std::function<void(std::span<const std::byte>)>& consume) {
    // C stdio rather than an ifstream: ferror tells a failed read apart from the end of the file.
    FileHandle file = openFileForReading(path);
    if (!file) return FileReadStatus::CannotOpen;
    std::vector<std::byte> chunk(kFileChunkBytes);
    std::uint64_t seen = 0;
    while (true) {
        const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), file.get());
        if (got > maxBytes - seen) return FileReadStatus::TooLarge;
        seen += got;
        if (got > 0) consume(std::span<const std::byte>(chunk.data(), got));
        if (got < chunk.size())
            return std::ferror(file.get()) ? FileReadStatus::ReadFailed : FileReadStatus::Ok;
    }
}

FileReadStatus readFileBounded(const std::filesystem::path& path, std::size_t maxBytes, std::string& bytes) {
    bytes.clear();
    return readFileChunks(path, maxBytes, [&bytes](std::span<const std::byte> chunk) {
        bytes.append(reinterpret_cast<const char*>(chunk.data()), chunk.size());
    });
}

FileWriteStatus writeWholeFile(const std::filesystem::path& path, std::span<const std::byte> bytes) {
    FileHandle file = openFileForWriting(path);
    if (!file) return FileWriteStatus::CannotOpen;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    const bool closed = closeFile(file);
    return written && closed ? FileWriteStatus::Ok : FileWriteStatus::WriteFailed;
}

FileWriteStatus writeWholeFile(const std::filesystem::path& path, std::string_view text) {
    return writeWholeFile(path, std::as_bytes(std::span<const char>(text.data(), text.size())));
}

}  // namespace zk::core
