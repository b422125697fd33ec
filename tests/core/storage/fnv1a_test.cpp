#include "core/storage/fnv1a.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "test_support.h"

namespace zk::core {
namespace {

std::uint64_t hashText(std::string_view text) { return fnv1a64(text.data(), text.size()); }

TEST(Fnv1a, PublishedCheckValues) {
    EXPECT_EQ(hashText(""), 0xcbf29ce484222325ULL);
    EXPECT_EQ(hashText("a"), 0xaf63dc4c8601ec8cULL);
    EXPECT_EQ(hashText("abc"), 0xe71fa2190541574bULL);
    EXPECT_EQ(hashText("foobar"), 0x85944171f73967e8ULL);
    EXPECT_EQ(formatHash64(hashText("abc")), "e71fa2190541574b");
}

TEST(Fnv1a, FormatsSixteenLowerCaseDigits) {
    EXPECT_EQ(formatHash64(kFnv1a64OffsetBasis), "cbf29ce484222325");
    EXPECT_EQ(formatHash64(1), "0000000000000001");
    EXPECT_EQ(formatHash64(0), "0000000000000000");
    EXPECT_EQ(formatHash64(0xFFFFFFFFFFFFFFFFULL), "ffffffffffffffff");
    EXPECT_EQ(formatHash64(0x0123456789ABCDEFULL), "0123456789abcdef");
}

// High bytes must enter the hash as 0..255, not sign-extended.
TEST(Fnv1a, BytesAreUnsignedAndPiecesChain) {
    std::uint64_t naive = 0xcbf29ce484222325ULL;
    for (unsigned char c : std::string("\xFF\x80\x00z", 4)) {
        naive ^= c;
        naive *= 0x100000001b3ULL;
    }
    const std::string bytes("\xFF\x80\x00z", 4);
    EXPECT_EQ(fnv1a64(bytes.data(), bytes.size()), naive);
    const auto* data = reinterpret_cast<const std::byte*>(bytes.data());
    const std::uint64_t first = fnv1a64Append(kFnv1a64OffsetBasis, std::span(data, 1));
    EXPECT_EQ(fnv1a64Append(first, std::span(data + 1, 3)), naive);
}

TEST(Fnv1a, FileHashEqualsInMemoryHash) {
    zk::test::TempFolder folder;
    std::mt19937 random(7);
    for (std::size_t size : {0u, 1u, 65535u, 65536u, 65537u, 3u * 65536u + 11u}) {
        std::vector<char> bytes(size);
        for (char& b : bytes) b = static_cast<char>(random());
        const auto path = folder.path() / std::to_string(size);
        std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        EXPECT_EQ(hashFile(path), fnv1a64(bytes.data(), bytes.size())) << size;
    }
}

std::string hashError(const std::filesystem::path& path) {
    try {
        hashFile(path);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "<no error>";
}

TEST(Fnv1a, OpenAndReadFailuresThrow) {
    zk::test::TempFolder folder;
    const auto missing = folder / "missing.raw";
    EXPECT_EQ(hashError(missing), "cannot open file for hashing: " + missing.string());
    // A directory is no regular file: refused at open, so it never hashes as empty.
    EXPECT_EQ(hashError(folder.path()), "cannot open file for hashing: " + folder.path().string());
    // Reading this process's memory from address 0 fails with an I/O error.
    EXPECT_EQ(hashError("/proc/self/mem"), "cannot read file for hashing: /proc/self/mem");
}

}  // namespace
}  // namespace zk::core
