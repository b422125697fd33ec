#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <random>
#include <set>
#include <string>
#include <thread>

#include "analysis_test_support.h"
#include "core/storage/analysis_map.h"
#include "core/storage/analysis_run_store.h"
#include "test_support.h"

namespace zk::core {
namespace {

namespace fs = std::filesystem;

// Run k of child c: its parameters and map follow from the two numbers alone.
AnalysisRunParameters parametersOf(int child, int k) {
    AnalysisRunParameters p = test::sampleParameters();
    p.frequencyHz = child;
    p.frequencyBin = static_cast<std::uint32_t>(k);
    return p;
}

HeatmapGrid mapOf(int child, int k) { return test::sampleMap(48, 32, child * 1000.0 + k); }

[[noreturn]] void createRunsUntilKilled(const fs::path& measurement, int child, int ready) {
    const char byte = 1;
    if (::write(ready, &byte, 1) != 1) ::_exit(3);
    try {
        for (int k = 0; k < 1000; ++k) {
            char id[32];
            std::snprintf(id, sizeof id, "c%d-%d", child, k);
            createAnalysisRun(measurement, "m", id, parametersOf(child, k), 1.0, 2.0, 3.0, "b",
                              test::sampleProvenance(), mapOf(child, k));
        }
    } catch (...) {
        ::_exit(2);
    }
    ::_exit(0);
}

// A committed run must read back whole: the manifest and the map its creator wrote, nothing less.
void expectWhole(const fs::path& runDir) {
    const std::string name = runDir.filename().string();
    const std::size_t dash = name.find('-');
    ASSERT_TRUE(name.size() > 1 && name[0] == 'c' && dash != std::string::npos) << name;
    const int child = std::stoi(name.substr(1, dash - 1));
    const int k = std::stoi(name.substr(dash + 1));
    const AnalysisRunRecord run = readAnalysisRun(runDir);
    EXPECT_EQ(run.analysisId, name);
    EXPECT_EQ(run.parameters, parametersOf(child, k));
    const std::optional<HeatmapGrid> map = loadAnalysisRunMap(run);
    ASSERT_TRUE(map.has_value()) << name;
    const HeatmapGrid expected = mapOf(child, k);
    EXPECT_EQ(map->relativeDb, expected.relativeDb) << name;
    EXPECT_EQ(map->representativeFrequencyHz, expected.representativeFrequencyHz) << name;
}

// A child creates runs in a loop and is killed with SIGKILL at random moments; after every kill each
// run under a final name reads back whole, and anything incomplete carries a dotted staging name.
TEST(AnalysisRunCrash, CommittedRunsSurviveKillsAtAnyMoment) {
    zk::test::TempFolder folder;
    const fs::path measurement = folder / "m";
    fs::create_directory(measurement);
    std::mt19937 random(20260301);
    // Kills land uniformly within a span that adapts to the machine (sanitizers slow a run tenfold):
    // it grows while children are killed before they stage anything and shrinks while they commit many.
    int spanUs = 30000;
    std::set<std::string> verified;
    int staged = 0;
    constexpr int kKills = 200;
    for (int child = 0; child < kKills; ++child) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(ready[0]);
            createRunsUntilKilled(measurement, child, ready[1]);
        }
        ::close(ready[1]);
        char byte = 0;
        ASSERT_EQ(::read(ready[0], &byte, 1), 1);
        ::close(ready[0]);
        std::this_thread::sleep_for(std::chrono::microseconds(random() % spanUs));
        ::kill(pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the child stopped by itself with status " << WEXITSTATUS(status);

        int started = 0;
        int committed = 0;
        if (fs::exists(measurement / "analyses")) {
            EXPECT_NO_THROW(listAnalysisRuns(measurement));
            const std::string mine = "c" + std::to_string(child) + "-";
            for (const auto& entry : fs::directory_iterator(measurement / "analyses")) {
                const std::string name = entry.path().filename().string();
                if (name.rfind(mine, 0) == 0 || name.rfind("." + mine, 0) == 0) ++started;
                if (name[0] == '.' || verified.count(name) != 0) continue;
                expectWhole(entry.path());
                verified.insert(name);
                ++committed;
            }
        }
        if (started == 0) spanUs = std::min(2 * spanUs, 2'000'000);
        if (committed > 1) spanUs = std::max(spanUs * 3 / 4, 2000);
    }
    for (const auto& entry : fs::directory_iterator(measurement / "analyses")) {
        if (entry.path().filename().string()[0] == '.') {
            ++staged;
        } else {
            expectWhole(entry.path());
        }
    }
    // Both outcomes of a kill must have happened for the loop to have tested anything.
    EXPECT_GT(verified.size(), 20u);
    EXPECT_GT(staged, 20);
    std::cout << verified.size() << " committed runs, " << staged
              << " staging directories left by kills, last span " << spanUs << " us\n";
}

}  // namespace
}  // namespace zk::core
