#include "core/storage/analysis_export.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis_test_support.h"
#include "core/storage/analysis_map.h"
#include "core/storage/json_reader.h"
#include "core/storage/lock_wait.h"
#include "permission_support.h"
#include "storage_test_support.h"
#include "test_support.h"

namespace zk::core {
namespace {

namespace fs = std::filesystem;
using zk::test::entryNames;
using zk::test::expectThrowExactly;
using zk::test::fileText;
using zk::test::outcome;
using zk::test::writeText;

// Values chosen for the two number formats: %.10g in the table, %.17g in the summary.
HeatmapGrid csvMap() {
    HeatmapGrid g;
    g.width = 3;
    g.height = 2;
    g.azimuthDeg = {-32.0, -31.5, 0.1234567891234};
    g.elevationDeg = {1e-7, 123456789012.0};
    g.relativeDb = {0.0, -0.25, -12.000000000049, 5.0, -1.5, -3.0};
    g.peakDb = -20.0;  // every cell above the -240 dB floor
    return g;
}

const char* const kCsv =
    "elevation_deg\\azimuth_deg,-32,-31.5,0.1234567891\n"
    "1e-07,0,-0.25,-12\n"
    "1.23456789e+11,5,-1.5,-3\n";

MeasurementRecord measurementRecord() {
    MeasurementRecord m;
    m.measurementId = "m1";
    m.profileId = "zk-array-16";
    m.profileSchemaVersion = 2;
    m.deviceModel = "Array 16";
    m.hardwareVersion = "rev B";
    m.profileHash = "00112233445566ff";
    m.geometryHash = "ffeeddccbbaa9988";
    m.sampleRateHz = 48000;
    m.channelCount = 16;
    return m;
}

std::string expectedJson(const std::string& exportedAt) {
    const std::vector<std::string> lines = {
        "{",
        R"(  "schemaVersion": 1,)",
        R"(  "exportedAt": ")" + exportedAt + R"(",)",
        R"(  "analysisId": "run-1",)",
        R"(  "measurementId": "m1",)",
        R"(  "buildVersion": "1.2.2",)",
        R"(  "algorithm": {)",
        R"(    "id": "MVDR",)",
        R"(    "version": "1",)",
        R"(    "bandMode": "1/3-octave",)",
        R"(    "centerFrequencyHz": 8000,)",
        R"(    "bandLowHz": 7127.1899999999996,)",
        R"(    "bandHighHz": 8979.7000000000007,)",
        R"(    "bandBinCount": 32,)",
        R"(    "frameSize": 1024,)",
        R"(    "hopSize": 512,)",
        R"(    "gridStepDeg": 1,)",
        R"(    "removeCsmDiagonal": true,)",
        R"(    "focusDistanceM": "infinity",)",
        R"(    "params": {"focus_distance_m":"infinity","speed_of_sound_mps":343,"mvdr_loading":0.001})",
        R"(  },)",
        R"(  "deviceProfile": {)",
        R"(    "profileId": "zk-array-16",)",
        R"(    "profileSchemaVersion": 2,)",
        R"(    "deviceModel": "Array 16",)",
        R"(    "hardwareVersion": "rev B",)",
        R"(    "profileHash": "00112233445566ff",)",
        R"(    "geometryHash": "ffeeddccbbaa9988",)",
        R"(    "sampleRateHz": 48000,)",
        R"(    "channelCount": 16)",
        R"(  },)",
        R"(  "result": {)",
        R"(    "peakAzimuthDeg": 3.5,)",
        R"(    "peakElevationDeg": -2.0000000000000002e-05,)",
        R"(    "peakDb": 71.25,)",
        R"(    "azimuthCount": 3,)",
        R"(    "elevationCount": 2)",
        R"(  })",
        "}",
    };
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

class AnalysisExport : public ::testing::Test {
  protected:
    AnalysisRunRecord run(const std::string& id, const std::optional<HeatmapGrid>& map = csvMap(),
                          const AnalysisRunParameters& p = test::sampleParameters()) {
        fs::create_directories(project / "measurements" / "m1");
        return createAnalysisRun(project / "measurements" / "m1", "m1", id, p, 3.5, -2e-5, 71.25, "1.2.2",
                                 test::sampleProvenance(), map);
    }
    std::string exportOutcome(const AnalysisRunRecord& r) {
        return outcome([&] { exportAnalysisRun(r, measurementRecord(), project); });
    }

    zk::test::TempFolder folder;
    fs::path project = folder / "project";
};

TEST_F(AnalysisExport, WritesTheTableAndTheSummaryByteForByte) {
    const AnalysisRunRecord r = readAnalysisRun(run("run-1").directory);
    const ExportResult result = exportAnalysisRun(r, measurementRecord(), project);
    EXPECT_EQ(result.directory, project / "exports" / "run-1");
    EXPECT_EQ(result.csvPath, result.directory / "map.csv");
    EXPECT_EQ(result.jsonPath, result.directory / "export.json");
    EXPECT_EQ(entryNames(result.directory), (std::vector<std::string>{"export.json", "map.csv"}));
    EXPECT_EQ(fileText(result.csvPath), kCsv);

    const std::string json = fileText(result.jsonPath);
    const std::string key = "\n  \"exportedAt\": \"";
    const std::size_t at = json.find(key);
    ASSERT_NE(at, std::string::npos);
    const std::string exportedAt = json.substr(at + key.size(), 20);
    EXPECT_TRUE(test::isUtcTimestamp(exportedAt)) << exportedAt;
    EXPECT_EQ(json, expectedJson(exportedAt));
}

// The run's level in its unit follows the members the summary always had; a run saved without one
// exports as above.
TEST_F(AnalysisExport, TheRunsLevelFollowsTheResultMembersWithItsUnit) {
    fs::create_directories(project / "measurements" / "m1");
    for (const AnalysisRunLevel& level :
         {AnalysisRunLevel{-2.5, kLevelUnitDbfs}, AnalysisRunLevel{0.0, kLevelUnitRePeak}}) {
        const std::string id = "run-" + level.unit.substr(0, 4);
        const AnalysisRunRecord r = readAnalysisRun(
            createAnalysisRun(project / "measurements" / "m1", "m1", id, test::sampleParameters(), 3.5, -2e-5,
                              71.25, "1.2.2", test::sampleProvenance(), csvMap(), level)
                .directory);
        const std::string json = fileText(exportAnalysisRun(r, measurementRecord(), project).jsonPath);
        std::ostringstream tail;
        tail << "    \"elevationCount\": 2,\n    \"peakLevel\": " << level.peakLevel
             << ",\n    \"peakLevelUnit\": \"" << level.unit << "\"\n  }\n}\n";
        EXPECT_TRUE(json.ends_with(tail.str())) << json;
        EXPECT_EQ(fileText(project / "exports" / id / "map.csv"), kCsv);
    }
}

// A cell without a level (floored at -240 dB absolute, as diagonal removal leaves cells without power)
// is an empty field; its row keeps all its columns.
TEST_F(AnalysisExport, ACellWithoutALevelIsAnEmptyField) {
    HeatmapGrid g = csvMap();
    g.relativeDb[4] = -220.0;
    g.relativeDb[0] = -260.0;
    const std::string csv = fileText(exportAnalysisRun(run("r", g), measurementRecord(), project).csvPath);
    EXPECT_EQ(csv,
              "elevation_deg\\azimuth_deg,-32,-31.5,0.1234567891\n"
              "1e-07,,-0.25,-12\n"
              "1.23456789e+11,5,,-3\n");
}

TEST_F(AnalysisExport, TableOfTwoColumnsAndThreeRows) {
    HeatmapGrid g = test::sampleMap(2, 3, 1.0);
    const ExportResult result = exportAnalysisRun(run("r", g), measurementRecord(), project);
    const std::string csv = fileText(result.csvPath);
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = csv.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(csv.substr(start, end - start));
    EXPECT_EQ(start, csv.size());  // ends with its last line feed
    ASSERT_EQ(lines.size(), 4u);
    for (const std::string& line : lines) EXPECT_EQ(std::count(line.begin(), line.end(), ','), 2) << line;
    EXPECT_EQ(lines[0], "elevation_deg\\azimuth_deg,-32,-31");
    EXPECT_EQ(lines[2].substr(0, 4), "-23,");
}

TEST_F(AnalysisExport, FocusDistanceParamsAndSecondExport) {
    AnalysisRunParameters p = test::sampleParameters();
    p.focusDistanceM = 0.3;
    p.algorithmParams.clear();
    const AnalysisRunRecord r = run("f", csvMap(), p);
    const ExportResult result = exportAnalysisRun(r, measurementRecord(), project);
    const std::string json = fileText(result.jsonPath);
    EXPECT_NE(json.find("\n    \"focusDistanceM\": 0.29999999999999999,\n    \"params\": {}\n  },\n"),
              std::string::npos);

    writeText(result.csvPath, std::string(5000, 'x'));
    writeText(result.jsonPath, std::string(5000, 'y'));
    exportAnalysisRun(r, measurementRecord(), project);
    EXPECT_EQ(fileText(result.csvPath), kCsv);
    EXPECT_EQ(fileText(result.jsonPath).size(), json.size());
}

// escapeJsonString leaves control characters raw; export.json must still be valid JSON.
TEST_F(AnalysisExport, TextsAreEscapedAndTheDirectoryKeepsTheId) {
    // A backslash cannot stand in an id (it would be a path separator elsewhere); other fields carry it.
    const std::string id = "q\"b s\tn\x01\xc3\xa9";
    AnalysisRunRecord r = run(id);
    r.buildVersion = "line\nfeed\r\x1f\\";
    MeasurementRecord m = measurementRecord();
    m.deviceModel = "model \"X\"\b\f";
    const ExportResult result = exportAnalysisRun(r, m, project);
    EXPECT_EQ(result.directory, project / "exports" / id);
    const std::string json = fileText(result.jsonPath);
    EXPECT_NE(json.find(R"("analysisId": "q\"b s\tn\u0001)"
                        "\xc3\xa9\""),
              std::string::npos)
        << json;
    EXPECT_NE(json.find(R"("buildVersion": "line\nfeed\r\u001f\\")"), std::string::npos);
    EXPECT_NE(json.find(R"("deviceModel": "model \"X\"\b\f")"), std::string::npos);
    for (const char c : json) EXPECT_TRUE(static_cast<unsigned char>(c) >= 0x20 || c == '\n') << int(c);
    const JsonValue root = parseJsonDocument(json);
    EXPECT_EQ(root.at("analysisId").asString(), id);
    EXPECT_EQ(root.at("buildVersion").asString(), r.buildVersion);
    EXPECT_EQ(root.at("deviceProfile").at("deviceModel").asString(), m.deviceModel);
}

TEST_F(AnalysisExport, RefusalsLeaveNothingBehind) {
    expectThrowExactly<std::runtime_error>(
        [&] { exportAnalysisRun(run("bare", std::nullopt), measurementRecord(), project); },
        "AnalysisRun has no persisted map; nothing to export");
    EXPECT_FALSE(fs::exists(project / "exports"));

    AnalysisRunRecord escape = run("escape");
    for (const char* id : {"../x", "..", "/abs", "a/b", "C:x", ""}) {
        escape.analysisId = id;
        expectThrowExactly<std::invalid_argument>(
            [&] { exportAnalysisRun(escape, measurementRecord(), project); },
            "analysisId must be a non-empty directory name");
    }
    EXPECT_FALSE(fs::exists(project / "exports"));
    EXPECT_FALSE(fs::exists(project / "x"));

    // A Project another program deleted is never made again.
    expectThrowExactly<EntryUnavailable>(
        [&] { exportAnalysisRun(run("gone"), measurementRecord(), folder / "deleted"); },
        "the Project no longer exists");
    EXPECT_FALSE(fs::exists(folder / "deleted"));

    AnalysisRunRecord bad = run("bad");
    bad.peakDb = std::numeric_limits<double>::quiet_NaN();
    expectThrowExactly<std::invalid_argument>([&] { exportAnalysisRun(bad, measurementRecord(), project); },
                                              "peakDb must be finite");
    bad = run("bad2");
    bad.parameters.algorithmParams = "{\"a\":";
    expectThrowExactly<std::invalid_argument>([&] { exportAnalysisRun(bad, measurementRecord(), project); },
                                              "algorithmParams must be valid JSON");
    EXPECT_FALSE(fs::exists(project / "exports"));

    AnalysisRunRecord broken = run("broken");
    writeText(broken.directory / "map.bin", "ZKMAP002");
    expectThrowExactly<std::runtime_error>([&] { exportAnalysisRun(broken, measurementRecord(), project); },
                                           "truncated Analysis map");
}

TEST_F(AnalysisExport, FileFailuresUseTheirTexts) {
    const AnalysisRunRecord r = run("run-1");
    fs::create_directories(project);
    writeText(project / "exports", "a file where the directory should be");
    EXPECT_EQ(exportOutcome(r), "runtime_error: cannot create export directory");
    fs::remove(project / "exports");

    // Only a folder is an older export: a file at its name is kept, and nothing else stays.
    fs::create_directories(project / "exports");
    writeText(project / "exports" / "run-1", "not an export");
    EXPECT_EQ(exportOutcome(r), "runtime_error: cannot create export directory");
    EXPECT_EQ(fileText(project / "exports" / "run-1"), "not an export");
    EXPECT_EQ(entryNames(project / "exports"), std::vector<std::string>{"run-1"});
    fs::remove(project / "exports" / "run-1");

    // An older export folder, whatever it holds, is replaced by exactly the new pair.
    fs::create_directories(project / "exports" / "run-1" / "map.csv");
    writeText(project / "exports" / "run-1" / "stray", "x");
    EXPECT_EQ(exportOutcome(r), "ok");
    EXPECT_EQ(entryNames(project / "exports" / "run-1"),
              (std::vector<std::string>{"export.json", "map.csv"}));
    EXPECT_EQ(fileText(project / "exports" / "run-1" / "map.csv"), kCsv);
    EXPECT_EQ(entryNames(project / "exports"), std::vector<std::string>{"run-1"});

    // So is one the user made unreadable, down to a folder inside it: nothing of it stays hidden.
    fs::create_directories(project / "exports" / "run-1" / "kept");
    writeText(project / "exports" / "run-1" / "kept" / "note", "x");
    fs::permissions(project / "exports" / "run-1" / "kept", fs::perms::none);
    fs::permissions(project / "exports" / "run-1", fs::perms::none);
    {
        const test::WithoutPermissionOverride asAnyUser;
        EXPECT_EQ(exportOutcome(r), "ok");
    }
    EXPECT_EQ(entryNames(project / "exports"), std::vector<std::string>{"run-1"});
    EXPECT_EQ(entryNames(project / "exports" / "run-1"),
              (std::vector<std::string>{"export.json", "map.csv"}));
}

// A full disk fails the table or the summary with its own text; the run, and an older export of it,
// stay as they were, and nothing of the failed attempt is left.
TEST_F(AnalysisExport, FullDiskFailsWithItsText) {
    const AnalysisRunRecord r = run("run-1");
    const std::string before = fileText(r.directory / "map.bin");
    const std::uint64_t csvBytes = std::string(kCsv).size();
    const auto exportsHold = [&](const std::vector<std::string>& names) {
        EXPECT_EQ(
            fs::exists(project / "exports") ? entryNames(project / "exports") : std::vector<std::string>{},
            names);
    };
    EXPECT_EQ(test::runWithFileSizeLimit(0, [&] { return exportOutcome(r); }),
              "runtime_error: cannot finalize export CSV");
    exportsHold({});
    EXPECT_EQ(test::runWithFileSizeLimit(csvBytes - 1, [&] { return exportOutcome(r); }),
              "runtime_error: cannot finalize export CSV");
    exportsHold({});
    EXPECT_EQ(test::runWithFileSizeLimit(csvBytes, [&] { return exportOutcome(r); }),
              "runtime_error: cannot finalize export manifest");
    exportsHold({});

    // A table far larger than the write buffer fails in the middle of writing; the older export of
    // the same run id stays whole.
    const std::string oldJson = fileText(exportAnalysisRun(r, measurementRecord(), project).jsonPath);
    AnalysisRunRecord big = run("big", test::sampleMap(400, 300, 3.0));
    big.analysisId = "run-1";
    EXPECT_EQ(test::runWithFileSizeLimit(100000, [&] { return exportOutcome(big); }),
              "runtime_error: cannot finalize export CSV");
    exportsHold({"run-1"});
    EXPECT_EQ(fileText(project / "exports" / "run-1" / "map.csv"), kCsv);
    EXPECT_EQ(fileText(project / "exports" / "run-1" / "export.json"), oldJson);
    EXPECT_EQ(fileText(r.directory / "map.bin"), before);
    EXPECT_EQ(readAnalysisRun(r.directory), r);
}

}  // namespace
}  // namespace zk::core
