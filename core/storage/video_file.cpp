#include "core/storage/video_file.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "core/storage/file_io.h"

namespace zk::core {

bool isWholeMp4File(const std::filesystem::path& path) {
    FileHandle file = openFileForReading(path);
    if (!file) return false;
    const std::optional<std::uint64_t> size = regularFileSize(file.get());
    if (!size || *size == 0) return false;
    const auto bigEndian = [](const unsigned char* bytes, int count) {
        std::uint64_t value = 0;
        for (int i = 0; i < count; ++i) value = (value << 8) | bytes[i];
        return value;
    };
    bool sawMovie = false;
    std::uint64_t offset = 0;
    while (offset < *size) {
        std::array<unsigned char, 16> header{};
        if (*size - offset < 8 || !seekFileTo(file.get(), offset) ||
            std::fread(header.data(), 1, 8, file.get()) != 8)
            return false;
        std::uint64_t boxBytes = bigEndian(header.data(), 4);
        std::uint64_t headerBytes = 8;
        if (boxBytes == 1) {
            if (*size - offset < 16 || std::fread(header.data() + 8, 1, 8, file.get()) != 8) return false;
            boxBytes = bigEndian(header.data() + 8, 8);
            headerBytes = 16;
        } else if (boxBytes == 0) {
            boxBytes = *size - offset;  // the last box, up to the end of the file
        }
        // A box ends after its own header: a smaller one would have the next box start inside it.
        if (boxBytes < headerBytes || boxBytes > *size - offset) return false;
        if (std::memcmp(header.data() + 4, "moov", 4) == 0) sawMovie = true;
        offset += boxBytes;
    }
    return sawMovie;
}

}  // namespace zk::core
