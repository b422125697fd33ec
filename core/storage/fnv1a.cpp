#include "core/storage/fnv1a.h"

#include <limits>
#include <stdexcept>

#include "core/storage/file_io.h"

namespace zk::core {

std::uint64_t fnv1a64Append(std::uint64_t hash, std::span<const std::byte> bytes) {
    for (const std::byte b : bytes) {
        hash ^= static_cast<std::uint64_t>(b);
        hash *= kFnv1a64Prime;
    }
    return hash;
}

std::uint64_t fnv1a64(std::span<const std::byte> bytes) { return fnv1a64Append(kFnv1a64OffsetBasis, bytes); }

std::uint64_t fnv1a64(const void* data, std::size_t size) {
    return fnv1a64(std::span<const std::byte>(static_cast<const std::byte*>(data), size));
}

std::uint64_t hashFile(const std::filesystem::path& path) {
    std::uint64_t hash = kFnv1a64OffsetBasis;
    const FileReadStatus status =
        readFileChunks(path, std::numeric_limits<std::uint64_t>::max(),
                       [&hash](std::span<const std::byte> chunk) { hash = fnv1a64Append(hash, chunk); });
    if (status == FileReadStatus::CannotOpen)
        throw std::runtime_error("cannot open file for hashing: " + path.string());
    if (status != FileReadStatus::Ok)
        throw std::runtime_error("cannot read file for hashing: " + path.string());
    return hash;
}

std::string formatHash64(std::uint64_t value) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out(16, '0');
    for (int i = 15; i >= 0; --i) {
        out[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
        value >>= 4;
    }
    return out;
}

}  // namespace zk::core
