// A child process records, finalizes, registers and rewrites labels without pause while the parent
// kills it with SIGKILL at random moments; after every kill the store must hold only whole states.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/storage/measurement_store.h"
#include "core/storage/project_store.h"
#include "core/storage/recording.h"
#include "device_profile_test_support.h"
#include "storage/storage_test_support.h"

namespace zk::core {
namespace {

namespace fs = std::filesystem;
using zk::test::fileText;

// Forking a sanitizer process costs a hundred times more; those builds look for memory faults, and
// the release build takes the full count.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int kKills = 60;
#else
constexpr int kKills = 240;
#endif
constexpr int kKillsPerProject = 30;  // bounds the Measurements checked after each kill
constexpr std::uint32_t kWireChannels = 4;

// Sample k of a recording depends on its id and k alone, so the parent knows every byte to expect.
std::int16_t sampleOf(std::uint32_t idSeed, std::uint64_t k) {
    return static_cast<std::int16_t>((idSeed + k * 2654435761u) >> 7);
}

std::uint32_t seedOf(const std::string& id) {
    std::uint32_t seed = 2166136261u;
    for (const char c : id) seed = (seed ^ static_cast<unsigned char>(c)) * 16777619u;
    return seed;
}

std::string expectedRaw(const std::string& id, std::uint64_t samples) {
    std::string bytes;
    for (std::uint64_t k = 0; k < samples; ++k) {
        const auto bits = static_cast<std::uint16_t>(sampleOf(seedOf(id), k));
        bytes.push_back(static_cast<char>(bits & 0xFF));
        bytes.push_back(static_cast<char>(bits >> 8));
    }
    return bytes;
}

// Writes one byte to `beat` once running and one after every cycle, so the parent can time its kills.
[[noreturn]] void storeForever(const fs::path& project, const std::string& profile, std::uint64_t seed,
                               int beat) {
    std::mt19937_64 random(seed);
    std::vector<std::int16_t> block;
    for (std::uint64_t n = 0;; ++n) {
        if (::write(beat, "b", 1) != 1) ::_exit(3);
        const std::string id = "m_" + std::to_string(seed) + "_" + std::to_string(n);
        Recording recording(project, id, profile, "crash \"test\"\n");
        std::uint64_t k = 0;
        for (std::uint64_t blocks = 1 + random() % 4; blocks > 0; --blocks) {
            block.resize(kWireChannels * (1 + random() % 300));
            for (std::int16_t& sample : block) sample = sampleOf(seedOf(id), k++);
            recording.append(block);
        }
        recording.finalize("");
        const ProjectRecord record = loadProject(project);
        for (int labels = 0; labels < 3; ++labels) {
            const std::string& target = record.measurements[random() % record.measurements.size()];
            const std::string mark = std::to_string(random());
            updateMeasurementLabels(project / "measurements" / target, "name \"" + mark + "\"",
                                    "hall\\" + mark, "scene\t" + mark, "notes\n" + mark);
        }
    }
}

struct Findings {
    int committed = 0;
    int interruptedCommits = 0;  // ".creating" directories left by a kill
    int interruptedRecordings = 0;
};

// Everything a reader may see: project.json parses, every name without a dot prefix is a whole
// Measurement whose files match its manifest and the samples appended, every registered name exists.
void checkStore(const fs::path& project, const std::string& profile, Findings& findings) {
    ProjectRecord record;
    ASSERT_NO_THROW(record = loadProject(project)) << fileText(project / "project.json");
    for (const auto& entry : fs::directory_iterator(project)) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name[0] == '.' || name == "project.json" || name == "measurements") << name;
    }
    const fs::path measurements = project / "measurements";
    if (!fs::exists(measurements)) {
        EXPECT_TRUE(record.measurements.empty());
        return;
    }
    for (const auto& entry : fs::directory_iterator(measurements)) {
        const std::string name = entry.path().filename().string();
        if (name[0] == '.') {
            findings.interruptedCommits += name.ends_with(".creating");
            findings.interruptedRecordings += name.ends_with(".recording.raw.tmp");
            continue;
        }
        ++findings.committed;
        MeasurementRecord m;
        ASSERT_NO_THROW(m = readMeasurementManifest(entry.path())) << name;
        EXPECT_EQ(m.measurementId, name);
        const std::string raw = fileText(entry.path() / "raw.int16");
        EXPECT_EQ(zk::test::naiveFnv1a64Hex(raw), m.rawHash) << name;
        EXPECT_EQ(raw.size(), m.totalFrames * 2 * kWireChannels) << name;
        EXPECT_EQ(raw, expectedRaw(name, raw.size() / 2)) << name;
        EXPECT_EQ(fileText(entry.path() / "device_profile.json"), profile) << name;
        EXPECT_EQ(zk::test::naiveFnv1a64Hex(profile), m.profileHash) << name;
    }
    for (const std::string& name : record.measurements)
        EXPECT_TRUE(fs::is_regular_file(measurements / name / "manifest.json"))
            << "registered, not committed: " << name;
}

// Without device flushes a cycle is short enough for the kills to land all over it.
fs::path crashFolder() {
    return zk::test::crashTestBase() / ("zk_crash_" + std::to_string(std::random_device{}()));
}

struct Child {
    pid_t pid = -1;
    int beat = -1;  // read end of the child's beat pipe
};

Child startChild(const fs::path& project, const std::string& profile, std::uint64_t seed) {
    int channel[2];
    if (::pipe(channel) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(channel[0]);
        try {
            storeForever(project, profile, seed, channel[1]);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "store child failed: %s\n", e.what());
        }
        ::_exit(2);
    }
    ::close(channel[1]);
    return {pid, channel[0]};
}

bool waitForBeats(const Child& child, int beats) {
    char byte = 0;
    for (int i = 0; i < beats; ++i)
        if (::read(child.beat, &byte, 1) != 1) return false;
    return true;
}

int stopChild(const Child& child) {
    ::kill(child.pid, SIGKILL);
    int status = 0;
    ::waitpid(child.pid, &status, 0);
    ::close(child.beat);
    return status;
}

TEST(StoreCrash, EveryKillLeavesOnlyWholeStates) {
    const fs::path root = crashFolder();
    // Removed also when an assertion ends the test early.
    const std::unique_ptr<const fs::path, void (*)(const fs::path*)> removeRoot(
        &root, [](const fs::path* path) {
            std::error_code ignored;
            fs::remove_all(*path, ignored);
        });
    const std::string profile = zk::test::ProfileText{}.str();
    std::mt19937_64 random(20260301);
    Findings findings;
    fs::path project;
    // Kills land after a random number of whole cycles plus a random part of one, the cycle as this
    // machine and build run it (a sanitizer build or a loaded machine is many times slower).
    std::chrono::microseconds cycle{0};
    for (int kill = 0; kill < kKills; ++kill) {
        if (kill % kKillsPerProject == 0) {
            if (!project.empty()) fs::remove_all(project);
            project = root / ("project" + std::to_string(kill));
            createProject(project, "crash");
        }
        const Child child = startChild(project, profile, random());
        ASSERT_GT(child.pid, 0);
        ASSERT_TRUE(waitForBeats(child, 1)) << "the child did not start";
        if (cycle.count() == 0) {
            // The mean over many cycles: beats that queued up while this process waited for a core
            // only shorten it a little.
            const auto start = std::chrono::steady_clock::now();
            ASSERT_TRUE(waitForBeats(child, 20));
            cycle = std::max(std::chrono::microseconds(100),
                             std::chrono::duration_cast<std::chrono::microseconds>(
                                 std::chrono::steady_clock::now() - start) /
                                 20);
        } else {
            ASSERT_TRUE(waitForBeats(child, static_cast<int>(random() % 3)));
            std::this_thread::sleep_for(std::chrono::microseconds(random() % (cycle.count() + 1)));
        }
        const int status = stopChild(child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended by itself: " << status;
        checkStore(project, profile, findings);
        if (::testing::Test::HasFatalFailure()) break;
    }
    std::printf("cycle %lld us, committed seen %d, interrupted commits %d, interrupted recordings %d\n",
                static_cast<long long>(cycle.count()), findings.committed, findings.interruptedCommits,
                findings.interruptedRecordings);
    EXPECT_GT(findings.committed, kKills);
    EXPECT_GT(findings.interruptedCommits, 0);
    EXPECT_GT(findings.interruptedRecordings, 0);
}

}  // namespace
}  // namespace zk::core
