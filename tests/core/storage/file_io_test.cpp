#include "core/storage/file_io.h"

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace zk::core {
namespace {

namespace fs = std::filesystem;

// Whole-file reads, chunk boundaries and open or read failures are covered through hashFile,
// readWholeFile and loadDeviceProfile; these are the bound and the write side.
TEST(FileIo, BoundedReadNeverHoldsMoreThanTheBound) {
    zk::test::TempFolder folder;
    const std::string bytes(2 * kFileChunkBytes + 5, 'b');
    ASSERT_EQ(writeWholeFile(folder / "f", bytes), FileWriteStatus::Ok);
    std::string read = "stale";
    EXPECT_EQ(readFileBounded(folder / "f", bytes.size(), read), FileReadStatus::Ok);
    EXPECT_EQ(read, bytes);
    for (const std::size_t bound : {bytes.size() - 1, kFileChunkBytes, std::size_t{0}}) {
        EXPECT_EQ(readFileBounded(folder / "f", bound, read), FileReadStatus::TooLarge) << bound;
        EXPECT_LE(read.size(), bound);
    }
    // A sparse file past the bound stops at the bound, never read whole.
    fs::resize_file(folder / "f", std::uintmax_t{1} << 32);
    EXPECT_EQ(readFileBounded(folder / "f", std::size_t{1} << 20, read), FileReadStatus::TooLarge);
    EXPECT_LE(read.size(), std::size_t{1} << 20);
}

TEST(FileIo, WriteFailuresAreReported) {
    zk::test::TempFolder folder;
    EXPECT_EQ(writeWholeFile(folder / "missing" / "f", std::string_view("ab")), FileWriteStatus::CannotOpen);
    FileHandle empty;
    EXPECT_TRUE(closeFile(empty));
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full to fail a write";
    // The bytes sit in the stdio buffer until the close, so the failure shows only there.
    EXPECT_EQ(writeWholeFile("/dev/full", std::string_view("ab")), FileWriteStatus::WriteFailed);
}

}  // namespace
}  // namespace zk::core
