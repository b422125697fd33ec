#include "core/storage/profile_store.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "test_support.h"

namespace zk::core {
namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string storeError(const fs::path& source, const fs::path& store) {
    try {
        copyIntoStore(source, store);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "<no error>";
}

class ProfileStore : public ::testing::Test {
  protected:
    zk::test::TempFolder temp;
    fs::path store = temp / "app" / "profiles";
};

TEST_F(ProfileStore, SameFileTwiceIsStoredOnce) {
    const auto source = temp / "in" / "TM27-128-H1.6.2.device.json";
    writeFile(source, "{\"a\":1}");
    const fs::path first = copyIntoStore(source, store);
    EXPECT_EQ(first, store / "TM27-128-H1.6.2.device.json");
    EXPECT_EQ(readWholeFile(first), "{\"a\":1}");
    EXPECT_EQ(copyIntoStore(source, store), first);
    EXPECT_EQ(namesIn(store), std::vector<std::string>{"TM27-128-H1.6.2.device.json"});
}

TEST_F(ProfileStore, DifferentContentGetsNumberedNamesAndIdenticalContentIsReused) {
    const auto a = temp / "a" / "TM27-128-H1.6.2.device.json";
    const auto b = temp / "b" / "TM27-128-H1.6.2.device.json";
    const auto c = temp / "c" / "TM27-128-H1.6.2.device.json";
    writeFile(a, "first");
    writeFile(b, "second");
    writeFile(c, "third!");  // same size as "second", different bytes
    EXPECT_EQ(copyIntoStore(a, store), store / "TM27-128-H1.6.2.device.json");
    EXPECT_EQ(copyIntoStore(b, store), store / "TM27-128-H1.6.2.device (2).json");
    EXPECT_EQ(copyIntoStore(c, store), store / "TM27-128-H1.6.2.device (3).json");
    EXPECT_EQ(copyIntoStore(b, store), store / "TM27-128-H1.6.2.device (2).json");
    EXPECT_EQ(readWholeFile(store / "TM27-128-H1.6.2.device (3).json"), "third!");
    EXPECT_EQ(namesIn(store).size(), 3u);
}

TEST_F(ProfileStore, DotNameHasNoExtension) {
    writeFile(temp / "a" / ".json", "one");
    writeFile(temp / "b" / ".json", "two");
    EXPECT_EQ(copyIntoStore(temp / "a" / ".json", store), store / ".json");
    EXPECT_EQ(copyIntoStore(temp / "b" / ".json", store), store / ".json (2)");
}

TEST_F(ProfileStore, SourceInsideTheStoreIsReturnedUnchanged) {
    writeFile(store / "p.json", "x");
    const std::vector<fs::path> spellings = {
        store / "p.json",
        store / "." / "p.json",
        store / ".." / "profiles" / "p.json",
    };
    for (const fs::path& spelling : spellings) EXPECT_EQ(copyIntoStore(spelling, store), spelling);
    fs::create_directory_symlink(store, temp / "link");
    EXPECT_EQ(copyIntoStore(temp / "link" / "p.json", store), temp / "link" / "p.json");
    EXPECT_EQ(copyIntoStore(store / "p.json", temp / "link"), store / "p.json");
    EXPECT_EQ(namesIn(store), std::vector<std::string>{"p.json"});
}

TEST_F(ProfileStore, OccupiedNamesAreNeverOverwritten) {
    writeFile(temp / "in" / "p.json", "new");
    fs::create_directories(store / "p.json");                    // a folder under the plain name
    fs::create_symlink(temp / "nowhere", store / "p (2).json");  // a dangling link
    writeFile(store / "p (3).json", "old");
    EXPECT_EQ(copyIntoStore(temp / "in" / "p.json", store), store / "p (4).json");
    EXPECT_TRUE(fs::is_directory(store / "p.json"));
    EXPECT_TRUE(fs::is_symlink(store / "p (2).json"));
    EXPECT_FALSE(fs::exists(temp / "nowhere"));
    EXPECT_EQ(readWholeFile(store / "p (3).json"), "old");
    EXPECT_EQ(readWholeFile(store / "p (4).json"), "new");
}

TEST_F(ProfileStore, Failures) {
    const auto missing = temp / "in" / "missing.json";
    EXPECT_EQ(storeError(missing, store), "store source missing: " + missing.string());
    EXPECT_EQ(storeError(temp.path(), store), "store source missing: " + temp.path().string());

    const auto source = temp / "in" / "p.json";
    writeFile(source, "x");
    writeFile(temp / "blocker", "a file where the store folder should be");
    EXPECT_EQ(storeError(source, temp / "blocker" / "profiles"),
              "cannot create store dir: " + (temp / "blocker" / "profiles").string());

    writeFile(store / "p.json", "taken");
    for (int k = 2; k <= 100; ++k) writeFile(store / ("p (" + std::to_string(k) + ").json"), "taken");
    EXPECT_EQ(storeError(source, store), "store name collision unresolved: " + source.string());
    EXPECT_EQ(namesIn(store).size(), 100u);
}

// A copy that runs out of space midway must leave neither a partial file under a store name nor a
// temporary file behind. A file-size limit makes every write past 4 KiB fail like a full disk.
TEST_F(ProfileStore, FailedCopyLeavesNoPartialFile) {
    const auto source = temp / "in" / "big.json";
    writeFile(source, std::string(256 * 1024, 'x'));
    fs::create_directories(store);

    rlimit previous{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = previous;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string error = storeError(source, store);
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(error, "cannot copy into store: " + (store / "big.json").string());
    EXPECT_TRUE(namesIn(store).empty());
    EXPECT_EQ(copyIntoStore(source, store), store / "big.json");
    EXPECT_EQ(fs::file_size(store / "big.json"), 256u * 1024u);
}

TEST_F(ProfileStore, ListsRegularFilesBySuffixInPathOrder) {
    EXPECT_TRUE(listFilesByExtension(temp / "absent", ".json").empty());
    writeFile(temp / "plain-file", "x");
    EXPECT_TRUE(listFilesByExtension(temp / "plain-file", ".json").empty());

    for (const char* name : {"b.json", "A.json", "a.JSON", "x.json.bak", "json", ".json", "B.device.json"}) {
        writeFile(store / name, name);
    }
    fs::create_directories(store / "dir.json");
    writeFile(store / "sub" / "nested.json", "n");
    const std::vector<fs::path> expected = {store / ".json", store / "A.json", store / "B.device.json",
                                            store / "b.json"};
    EXPECT_EQ(listFilesByExtension(store, ".json"), expected);
    EXPECT_EQ(listFilesByExtension(store, ".device.json"), std::vector<fs::path>{store / "B.device.json"});
    EXPECT_EQ(listFilesByExtension(store, "").size(), 7u);  // every regular file, no folders
}

TEST_F(ProfileStore, ReadsAndComparesFiles) {
    const std::string bytes("a\0b\r\n\xFF", 6);
    writeFile(temp / "one", bytes);
    writeFile(temp / "two", bytes);
    writeFile(temp / "other", std::string("a\0b\r\n\xFE", 6));
    writeFile(temp / "longer", bytes + "!");
    EXPECT_EQ(readWholeFile(temp / "one"), bytes);
    EXPECT_EQ(readWholeFile(temp / "one").size(), 6u);
    EXPECT_TRUE(sameFileContent(temp / "one", temp / "two"));
    EXPECT_FALSE(sameFileContent(temp / "one", temp / "other"));
    EXPECT_FALSE(sameFileContent(temp / "one", temp / "longer"));
    EXPECT_FALSE(sameFileContent(temp / "one", temp / "absent"));
    EXPECT_FALSE(sameFileContent(temp.path(), temp.path()));

    const auto absent = temp / "absent";
    EXPECT_THROW(
        {
            try {
                readWholeFile(absent);
            } catch (const std::runtime_error& e) {
                EXPECT_EQ(std::string(e.what()), "cannot open: " + absent.string());
                throw;
            }
        },
        std::runtime_error);
    // A directory opens on POSIX but cannot be read; it must not read as an empty file.
    EXPECT_THROW(readWholeFile(temp.path()), std::runtime_error);
}

TEST_F(ProfileStore, DirectChildTest) {
    writeFile(store / "p.json", "x");
    EXPECT_TRUE(isDirectChildOf(store / "p.json", store));
    EXPECT_TRUE(isDirectChildOf(store / "p.json", store.string() + "/"));
    EXPECT_TRUE(isDirectChildOf(store / "not-yet.json", store));
    EXPECT_TRUE(isDirectChildOf(store / "sub" / ".." / "p.json", store));
    EXPECT_FALSE(isDirectChildOf(store / "sub" / "p.json", store));
    EXPECT_FALSE(isDirectChildOf(store / "p.json", store.parent_path()));
    EXPECT_FALSE(isDirectChildOf(temp / "p.json", store));
}

// The store holds device profiles: it reads no file past the profile bound, whatever the file is.
TEST_F(ProfileStore, ReadsNoFileBeyondFourMiB) {
    constexpr std::size_t kFourMiB = std::size_t{4} << 20;
    const std::string bound(kFourMiB, 'x');
    writeFile(temp / "bound", bound);
    writeFile(temp / "over", bound + "x");
    writeFile(temp / "over2", bound + "x");
    writeFile(temp / "overDiffers", bound + "y");
    EXPECT_EQ(readWholeFile(temp / "bound").size(), kFourMiB);
    zk::test::expectThrowExactly<std::invalid_argument>([&] { readWholeFile(temp / "over"); },
                                                        "file exceeds 4 MiB: " + (temp / "over").string());
    // Comparing is not bounded: it holds one chunk of each file at a time.
    EXPECT_TRUE(sameFileContent(temp / "over", temp / "over2"));
    EXPECT_FALSE(sameFileContent(temp / "over", temp / "overDiffers"));
    // A device is no regular file: refused at open rather than read up to the bound.
    if (fs::exists("/dev/zero")) {
        zk::test::expectThrowExactly<std::runtime_error>([] { readWholeFile("/dev/zero"); },
                                                         "cannot open: /dev/zero");
    }
}

}  // namespace
}  // namespace zk::core
