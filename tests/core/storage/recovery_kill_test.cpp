// A writer killed before each of its file-changing steps in turn, then the Project opened the way the
// application opens it (recovery, then the readers): what was complete is visible and whole, nothing
// half-written is visible, and no staging name is ever listed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "analysis_test_support.h"
#include "core/storage/analysis_export.h"
#include "core/storage/analysis_map.h"
#include "core/storage/analysis_run_store.h"
#include "core/storage/measurement_store.h"
#include "core/storage/project_recovery.h"
#include "core/storage/project_store.h"
#include "core/storage/recording.h"
#include "core/streaming/noise_floor_profile.h"
#include "device_profile_test_support.h"
#include "storage/recording_pattern.h"
#include "storage/storage_test_support.h"
#include "storage/system_call_step_support.h"
#include "storage/template_project_fixture.h"
#include "streaming/noise_floor_test_support.h"
#include "test_support.h"

namespace zk::core {
namespace {

namespace fs = std::filesystem;
using zk::test::entryNames;
using zk::test::fileText;
using zk::test::StepAction;
using zk::test::StepRun;

constexpr std::size_t kNoKill = std::numeric_limits<std::size_t>::max();
constexpr std::uint32_t kWire = zk::test::kPatternWire;
using zk::test::bytesOf;
using zk::test::samplesFrom;
using zk::test::threeChannelProfile;

// The export's text without its one timestamp line.
std::string withoutTimestamp(const std::string& json) {
    std::istringstream in(json);
    std::string kept;
    for (std::string line; std::getline(in, line);)
        if (line.find("\"exportedAt\"") == std::string::npos) kept += line + '\n';
    return kept;
}

struct KillFixture : zk::test::TemplateProjectFixture {
    KillFixture() : TemplateProjectFixture("kills") {}

    // What the application does when it opens the Project.
    ProjectRecord open() {
        ProjectRecord record = loadProject(project);
        recoverProject(record);
        return record;
    }
};

TEST_F(KillFixture, AnAnalysisRunSaveLeavesTheRunWholeOrAbsent) {
    const HeatmapGrid map = zk::test::sampleMap(48, 32, 7.0);
    const auto save = [&] {
        createAnalysisRun(measurement, "m", "a1", zk::test::sampleParameters(), 1.0, 2.0, 3.0, "b",
                          zk::test::sampleProvenance(), map);
        return true;
    };
    reset();
    const StepRun whole = zk::test::runToStep(kNoKill, StepAction::Kill, save);
    ASSERT_EQ(whole.failure, "");
    // From its last write into the staging folder on, the run is complete.
    const std::size_t complete = zk::test::lastStepWith(whole.steps, ".a1.creating/");
    ASSERT_GT(complete, 0u);
    int visible = 0;
    int absent = 0;
    zk::test::killAtEveryStep(
        [&] { reset(); }, save,
        [&](std::size_t step, const StepRun& run) {
            SCOPED_TRACE("killed before " + run.steps.back());
            open();
            const std::vector<std::string> runs = listAnalysisRuns(measurement);
            const bool listed = runs == std::vector<std::string>{"a1"};
            EXPECT_TRUE(listed || runs.empty()) << runs.size();
            EXPECT_EQ(listed, step > complete) << "a complete run must show, an incomplete one must not";
            if (fs::exists(measurement / "analyses")) {
                EXPECT_EQ(entryNames(measurement / "analyses"), runs);
            }
            if (listed) {
                const AnalysisRunRecord record = readAnalysisRun(measurement / "analyses" / "a1");
                EXPECT_EQ(record.parameters, zk::test::sampleParameters());
                const std::optional<HeatmapGrid> read = loadAnalysisRunMap(record);
                ASSERT_TRUE(read.has_value());
                EXPECT_EQ(read->relativeDb, map.relativeDb);
            }
            (listed ? visible : absent)++;
        });
    EXPECT_GT(visible, 0);
    EXPECT_GT(absent, 0);
}

// An export replaces an older one of the run only once it is whole: a kill leaves the old files or
// the new ones, never a mixture or a part.
TEST_F(KillFixture, AnExportLeavesTheOldOrTheNewExportWhole) {
    reset();
    const AnalysisRunRecord older =
        createAnalysisRun(measurement, "m", "a0", zk::test::sampleParameters(), 1.0, 2.0, 3.0, "b",
                          zk::test::sampleProvenance(), zk::test::sampleMap(40, 30, 3.0));
    const AnalysisRunRecord run =
        createAnalysisRun(measurement, "m", "a1", zk::test::sampleParameters(), 4.0, 5.0, 6.0, "b",
                          zk::test::sampleProvenance(), zk::test::sampleMap(48, 32, 7.0));
    const MeasurementRecord m = readMeasurementManifest(measurement);
    AnalysisRunRecord previous = older;  // an export of other content under the run's name
    previous.analysisId = "a1";
    exportAnalysisRun(previous, m, project);
    fs::remove_all(original);
    fs::copy(project, original, fs::copy_options::recursive);
    const fs::path exported = project / "exports" / "a1";
    const std::string oldCsv = fileText(exported / "map.csv");
    const std::string oldJson = withoutTimestamp(fileText(exported / "export.json"));

    const auto exportRun = [&] {
        exportAnalysisRun(run, m, project);
        return true;
    };
    reset();
    ASSERT_EQ(zk::test::runToStep(kNoKill, StepAction::Kill, exportRun).failure, "");
    const std::string newCsv = fileText(exported / "map.csv");
    const std::string newJson = withoutTimestamp(fileText(exported / "export.json"));
    ASSERT_NE(oldCsv, newCsv);
    int olds = 0;
    zk::test::killAtEveryStep(
        [&] { reset(); }, exportRun,
        [&](std::size_t, const StepRun& run) {
            SCOPED_TRACE("killed before " + run.steps.back());
            open();
            const std::string csv = fileText(exported / "map.csv");
            const std::string json = withoutTimestamp(fileText(exported / "export.json"));
            EXPECT_EQ(entryNames(project / "exports"), std::vector<std::string>{"a1"})
                << "nothing left hidden";
            const bool isOld = csv == oldCsv && json == oldJson;
            EXPECT_TRUE(isOld || (csv == newCsv && json == newJson)) << "csv " << csv.size() << " bytes";
            olds += isOld;
        });
    EXPECT_GT(olds, 0);
}

// A noise-floor save replaces the pair whole, and the next open leaves nothing of the save behind.
TEST_F(KillFixture, ANoiseFloorSaveLeavesTheOldOrTheNewPairAndNothingHidden) {
    reset();
    saveNoiseFloorProfile(project, zk::test::taggedProfile(4, 64, 1));
    fs::remove_all(original);
    fs::copy(project, original, fs::copy_options::recursive);
    const auto save = [&] {
        saveNoiseFloorProfile(project, zk::test::taggedProfile(4, 64, 2));
        return true;
    };
    int olds = 0;
    int news = 0;
    zk::test::killAtEveryStep([&] { reset(); }, save,
                              [&](std::size_t, const StepRun& run) {
                                  SCOPED_TRACE("killed before " + run.steps.back());
                                  open();
                                  const std::uint64_t tag = loadNoiseFloorProfile(project).averagedFrames;
                                  EXPECT_TRUE(tag == 1 || tag == 2) << tag;
                                  (tag == 1 ? olds : news)++;
                                  EXPECT_EQ(entryNames(project),
                                            (std::vector<std::string>{".noise_floor.lock", "measurements",
                                                                      "noise_floor", "project.json"}));
                              });
    EXPECT_GT(olds, 0);
    EXPECT_GT(news, 0);
}

// Appends that pass the writer's buffer and the finalize: every whole frame that reached the disk
// becomes the Measurement, byte for byte, and all of them once the finalize has flushed the file.
TEST_F(KillFixture, ARecordingKilledAtAnyStepKeepsEveryWholeFrameOnDisk) {
    const std::size_t blockSamples = kWire * 70'000;  // 420 kB: the 1 MiB buffer spills mid-frame
    const int blocks = 3;
    const std::string appended = bytesOf(samplesFrom(0, blockSamples * blocks));
    const fs::path staging = recordingStagingPath(measurements, "m1");
    const auto record = [&] {
        Recording recording(project, "m1", profile, "kill test");
        for (int b = 0; b < blocks; ++b) recording.append(samplesFrom(b * blockSamples, blockSamples));
        recording.finalize("");
        return true;
    };
    reset();
    const StepRun whole = zk::test::runToStep(kNoKill, StepAction::Kill, record);
    ASSERT_EQ(whole.failure, "");
    const std::size_t flushed = zk::test::lastStepWith(whole.steps, "write " + staging.string());
    ASSERT_GE(std::count_if(whole.steps.begin(), whole.steps.end(),
                            [&](const std::string& s) { return s == "write " + staging.string(); }),
              2)
        << "the appends must reach the file in several writes";
    int recovered = 0;
    zk::test::killAtEveryStep(
        [&] { reset(); }, record,
        [&](std::size_t step, const StepRun& run) {
            SCOPED_TRACE("killed before " + run.steps.back());
            std::error_code missing;
            const std::uintmax_t onDisk = std::max(fs::exists(staging) ? fs::file_size(staging) : 0,
                                                   fs::exists(measurements / "m1" / "raw.int16", missing)
                                                       ? fs::file_size(measurements / "m1" / "raw.int16")
                                                       : 0);
            const ProjectRecord opened = open();
            const std::uint64_t frames = onDisk / (2 * kWire);
            if (step > flushed) {
                EXPECT_EQ(frames * 2 * kWire, appended.size()) << "all samples were flushed";
            }
            if (frames == 0) {
                EXPECT_EQ(opened.measurements, std::vector<std::string>{"m"});
                EXPECT_EQ(entryNames(measurements), std::vector<std::string>{"m"});
                return;
            }
            EXPECT_EQ(opened.measurements, (std::vector<std::string>{"m", "m1"}));
            EXPECT_EQ(loadProject(project).measurements, opened.measurements);
            EXPECT_EQ(entryNames(measurements), (std::vector<std::string>{"m", "m1"}))
                << "nothing left hidden";
            const MeasurementRecord m1 = readMeasurementManifest(measurements / "m1");
            const std::string raw = fileText(measurements / "m1" / "raw.int16");
            EXPECT_EQ(m1.totalFrames, frames);
            EXPECT_TRUE(raw == appended.substr(0, frames * 2 * kWire)) << raw.size() << " bytes";
            EXPECT_EQ(m1.rawHash, zk::test::naiveFnv1a64Hex(raw));
            EXPECT_EQ(fileText(measurements / "m1" / "device_profile.json"), profile);
            EXPECT_EQ(m1.source, "kill test");
            ++recovered;
        });
    EXPECT_GT(recovered, 5);
}

}  // namespace
}  // namespace zk::core
