#include "core/storage/file_io.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "test_support.h"

namespace zk::core {
namespace {

namespace fs = std::filesystem;

std::string randomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& b : bytes) b = static_cast<char>(random());
    return bytes;
}

std::string fileContent(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(FileIo, ChunksArriveInOrderAndNeverExceedTheChunkSize) {
    zk::test::TempFolder folder;
    for (const std::size_t size :
         {std::size_t{0}, std::size_t{1}, kFileChunkBytes, kFileChunkBytes + 1, 3 * kFileChunkBytes + 17}) {
        const std::string bytes = randomBytes(size, static_cast<unsigned>(size));
        const auto path = folder / "f";
        ASSERT_EQ(writeWholeFile(path, bytes), FileWriteStatus::Ok);
        std::string joined;
        std::size_t largest = 0;
        const FileReadStatus status = readFileChunks(path, size, [&](std::span<const std::byte> chunk) {
            largest = std::max(largest, chunk.size());
            joined.append(reinterpret_cast<const char*>(chunk.data()), chunk.size());
        });
        EXPECT_EQ(status, FileReadStatus::Ok) << size;
        EXPECT_EQ(joined, bytes) << size;
        EXPECT_LE(largest, kFileChunkBytes);
        EXPECT_EQ(fileContent(path), bytes);
    }
}

TEST(FileIo, BoundedReadStopsAtTheBound) {
    zk::test::TempFolder folder;
    const std::string bytes = randomBytes(2 * kFileChunkBytes + 5, 3);
    ASSERT_EQ(writeWholeFile(folder / "f", bytes), FileWriteStatus::Ok);
    std::string read = "stale";
    EXPECT_EQ(readFileBounded(folder / "f", bytes.size(), read), FileReadStatus::Ok);
    EXPECT_EQ(read, bytes);
    for (const std::size_t bound : {bytes.size() - 1, kFileChunkBytes, std::size_t{0}}) {
        EXPECT_EQ(readFileBounded(folder / "f", bound, read), FileReadStatus::TooLarge) << bound;
        EXPECT_LE(read.size(), bound);
    }
    EXPECT_EQ(readFileBounded(folder / "absent", 10, read), FileReadStatus::CannotOpen);
    // A directory opens on POSIX and then fails to read; that is not an empty file.
    EXPECT_EQ(readFileBounded(folder.path(), 10, read), FileReadStatus::ReadFailed);
    if (fs::exists("/dev/zero")) {
        EXPECT_EQ(readFileBounded("/dev/zero", std::size_t{1} << 20, read), FileReadStatus::TooLarge);
        EXPECT_LE(read.size(), std::size_t{1} << 20);
    }
}

TEST(FileIo, WholeFileWritesTruncateAndReportFailures) {
    zk::test::TempFolder folder;
    ASSERT_EQ(writeWholeFile(folder / "f", std::string(1000, 'x')), FileWriteStatus::Ok);
    ASSERT_EQ(writeWholeFile(folder / "f", std::string_view("ab")), FileWriteStatus::Ok);
    EXPECT_EQ(fileContent(folder / "f"), "ab");
    EXPECT_EQ(writeWholeFile(folder / "missing" / "f", std::string_view("ab")), FileWriteStatus::CannotOpen);
    FileHandle empty;
    EXPECT_TRUE(closeFile(empty));
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full to fail a write";
    // The data sits in the stdio buffer until the close, so the failure shows only there.
    EXPECT_EQ(writeWholeFile("/dev/full", std::string_view("ab")), FileWriteStatus::WriteFailed);
}

}  // namespace
}  // namespace zk::core
