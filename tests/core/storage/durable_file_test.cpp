#include "core/storage/durable_file.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "core/storage/staged_commit.h"
#include "storage/storage_test_support.h"
#include "storage/system_call_step_support.h"
#include "test_support.h"

namespace zk::core {
namespace {

namespace fs = std::filesystem;
using zk::test::entryNames;
using zk::test::fileText;
using zk::test::writeText;

TEST(DurableFile, ReplaceLeavesOnlyTheNewContent) {
    zk::test::TempFolder folder;
    writeText(folder / "a.json", "old content, longer than the new one");
    EXPECT_EQ(replaceFileContent(folder / "a.json", std::string_view("new")), ReplaceStatus::Ok);
    EXPECT_EQ(fileText(folder / "a.json"), "new");
    EXPECT_EQ(entryNames(folder.path()), std::vector<std::string>{"a.json"});
    EXPECT_EQ(replaceFileContent(folder / "fresh", std::string_view("")), ReplaceStatus::Ok);
    EXPECT_TRUE(fs::is_regular_file(folder / "fresh"));
    EXPECT_EQ(replaceFileContent(folder / "missing" / "a", std::string_view("x")),
              ReplaceStatus::CannotCreate);
    EXPECT_EQ(replaceFileContent(folder / "a.json", [](std::FILE*) { return false; }),
              ReplaceStatus::WriteFailed);
    EXPECT_EQ(fileText(folder / "a.json"), "new");
    EXPECT_EQ(entryNames(folder.path()), (std::vector<std::string>{"a.json", "fresh"}));
}

// A full disk shows either in the write itself or, for content that fits the stdio buffer, only in
// the flush; both must leave the old content and no temporary file.
TEST(DurableFile, FullDiskKeepsTheOldContent) {
    zk::test::TempFolder folder;
    const fs::path target = folder / "project.json";
    writeText(target, "old");
    for (const std::size_t bytes : {std::size_t{3000}, std::size_t{1} << 20}) {
        const std::string result = zk::test::runWithFileSizeLimit(1000, [&] {
            const ReplaceStatus status = replaceFileContent(target, std::string(bytes, 'n'));
            return status == ReplaceStatus::WriteFailed ? std::string("write failed") : std::string("other");
        });
        EXPECT_EQ(result, "write failed") << bytes;
        EXPECT_EQ(fileText(target), "old");
        EXPECT_EQ(entryNames(folder.path()), std::vector<std::string>{"project.json"});
    }
}

// Concurrent writers of one target must not share a temporary file: a reader sees one whole content.
TEST(DurableFile, ConcurrentReplacementsNeverMixContents) {
    zk::test::TempFolder folder;
    const fs::path target = folder / "labels";
    writeText(target, std::string(5000, 'a'));
    std::atomic<bool> failed{false};  // set by any writer or reader thread that saw a fault
    std::vector<std::thread> threads;
    for (char c : {'b', 'c', 'd'}) {
        threads.emplace_back([&, c] {
            for (int i = 0; i < 30; ++i)
                if (replaceFileContent(target, std::string(5000, c)) != ReplaceStatus::Ok) failed = true;
        });
    }
    threads.emplace_back([&] {
        for (int i = 0; i < 200; ++i) {
            const std::string text = fileText(target);
            if (text.size() != 5000 || text.find_first_not_of(text[0]) != std::string::npos) failed = true;
        }
    });
    for (std::thread& thread : threads) thread.join();
    EXPECT_FALSE(failed);
    EXPECT_EQ(entryNames(folder.path()), std::vector<std::string>{"labels"});
}

TEST(DurableFile, CommitPublishesTheWholeStagingTree) {
    zk::test::TempFolder folder;
    const fs::path staging = folder / ".m.creating";
    fs::create_directories(staging / "analyses");
    writeText(staging / "raw.int16", "samples");
    writeText(staging / "analyses" / "x", "run");
    commitStagingDirectory(staging, folder / "m");
    EXPECT_FALSE(fs::exists(staging));
    EXPECT_EQ(fileText(folder / "m" / "raw.int16"), "samples");
    EXPECT_EQ(fileText(folder / "m" / "analyses" / "x"), "run");
}

// A plain rename would silently replace an empty directory that appeared at the final name.
TEST(DurableFile, CommitNeverReplacesAnything) {
    zk::test::TempFolder folder;
    const fs::path staging = folder / ".m.creating";
    fs::create_directories(staging);
    writeText(staging / "raw.int16", "samples");
    fs::create_directories(folder / "empty");
    writeText(folder / "file", "kept");
    for (const char* taken : {"empty", "file"}) {
        try {
            commitStagingDirectory(staging, folder / taken);
            ADD_FAILURE() << "replaced " << taken;
        } catch (const fs::filesystem_error& e) {
            EXPECT_EQ(e.code(), std::errc::file_exists) << taken;
            EXPECT_NE(std::string(e.what()).find("rename"), std::string::npos) << e.what();
        }
        EXPECT_EQ(fileText(staging / "raw.int16"), "samples");
    }
    EXPECT_TRUE(fs::is_empty(folder / "empty"));
    EXPECT_EQ(fileText(folder / "file"), "kept");
    EXPECT_THROW(commitStagingDirectory(folder / "absent", folder / "x"), fs::filesystem_error);
}

#if defined(__x86_64__)
// Where the file system refuses a no-replace rename (here a seccomp filter makes renameat2 refuse
// it), a staging directory is still published, and a taken name is still never replaced.
TEST(DurableFile, CommitWithoutANoReplaceRename) {
    zk::test::TempFolder folder;
    const fs::path staging = folder / ".m.creating";
    fs::create_directories(staging / "analyses");
    writeText(staging / "raw.int16", "samples");
    fs::create_directories(folder / "empty");
    writeText(folder / "file", "kept");
    fs::create_directories(folder / "full" / "x");
    const std::string result = zk::test::runInChild(zk::test::refuseNoReplaceRename, [&] {
        std::string outcome;
        for (const char* taken : {"empty", "file", "full"}) {
            try {
                commitStagingDirectory(staging, folder / taken);
                outcome += std::string(taken) + " replaced; ";
            } catch (const fs::filesystem_error& e) {
                outcome +=
                    std::string(taken) + (e.code() == std::errc::file_exists ? " taken; " : " other; ");
            }
        }
        commitStagingDirectory(staging, folder / "m");
        return outcome + "published";
    });
    EXPECT_EQ(result, "empty taken; file taken; full taken; published");
    EXPECT_FALSE(fs::exists(staging));
    EXPECT_EQ(fileText(folder / "m" / "raw.int16"), "samples");
    EXPECT_TRUE(fs::is_directory(folder / "m" / "analyses"));
    EXPECT_TRUE(fs::is_empty(folder / "empty"));
    EXPECT_EQ(fileText(folder / "file"), "kept");
    EXPECT_EQ(entryNames(folder / "full"), std::vector<std::string>{"x"});
}
#endif

}  // namespace
}  // namespace zk::core
