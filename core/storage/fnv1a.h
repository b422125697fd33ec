#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace zk::core {

inline constexpr std::uint64_t kFnv1a64OffsetBasis = 0xcbf29ce484222325ULL;
inline constexpr std::uint64_t kFnv1a64Prime = 0x100000001b3ULL;

// Continues a 64-bit FNV-1a hash over more bytes; hashing pieces in order equals hashing them joined.
std::uint64_t fnv1a64Append(std::uint64_t hash, std::span<const std::byte> bytes);

std::uint64_t fnv1a64(std::span<const std::byte> bytes);
std::uint64_t fnv1a64(const void* data, std::size_t size);

// Hashes the file chunk by chunk in constant memory. Throws std::runtime_error
// "cannot open file for hashing: <path>" when it cannot be opened and
// "cannot read file for hashing: <path>" when a read fails before the end of the file.
std::uint64_t hashFile(const std::filesystem::path& path);

// Exactly 16 lower-case hexadecimal digits, zero-padded, no prefix.
std::string formatHash64(std::uint64_t value);

}  // namespace zk::core
