#include "core/storage/analysis_run_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "analysis_test_support.h"
#include "core/beamforming/beamforming_parameters.h"
#include "core/storage/analysis_map.h"
#include "core/storage/staged_commit.h"
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

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

AnalysisRunRecord sampleRecord() {
    AnalysisRunRecord r;
    r.directory = "/nowhere/run-1";
    r.analysisId = "run-1";
    r.measurementId = "m_20260301T090507Z_123";
    r.createdAt = "2026-03-01T09:05:07Z";
    r.buildVersion = "1.2.2";
    r.parameters = test::sampleParameters();
    r.parameters.algorithmParams =
        R"({"focus_distance_m":"infinity","speed_of_sound_mps":343,"mvdr_floor":9.9999999999999998e-13})";
    r.parameters.windowEndSeconds = 1234567.0;
    r.peakAzimuthDeg = 3.5;
    r.peakElevationDeg = -1e-5;
    r.peakDb = 94.123456789;
    r.provenance = test::sampleProvenance();
    r.resultFile = "map.bin";
    r.resultFileHash = "00ff00ff00ff00ff";
    return r;
}

// The file of sampleRecord, line by line as the layout table gives it.
std::string sampleText() {
    const std::vector<std::string> lines = {
        "{",
        R"(  "schemaVersion": 3,)",
        R"(  "analysisId": "run-1",)",
        R"(  "measurementId": "m_20260301T090507Z_123",)",
        R"(  "createdAt": "2026-03-01T09:05:07Z",)",
        R"(  "buildVersion": "1.2.2",)",
        R"(  "parameters": {)",
        R"(    "algorithmId": "MVDR",)",
        R"(    "algorithmVersion": "1",)",
        R"(    "frequencyHz": 8000,)",
        R"(    "frequencyBin": 171,)",
        R"(    "bandMode": "1/3-octave",)",
        R"(    "bandLowHz": 7127.1899999999996,)",
        R"(    "bandHighHz": 8979.7000000000007,)",
        R"(    "bandBinCount": 32,)",
        R"(    "removeCsmDiagonal": true,)",
        R"(    "noiseSubtracted": false,)",
        R"(    "focusDistanceM": "infinity",)",
        R"(    "algorithmParams": {"focus_distance_m":"infinity","speed_of_sound_mps":343,"mvdr_floor":9.9999999999999998e-13},)",
        R"(    "frameSize": 1024,)",
        R"(    "hopSize": 512,)",
        R"(    "azimuthBeginDeg": -32,)",
        R"(    "azimuthEndDeg": 32,)",
        R"(    "azimuthCount": 65,)",
        R"(    "elevationBeginDeg": -24,)",
        R"(    "elevationEndDeg": 24,)",
        R"(    "elevationCount": 49,)",
        R"(    "gridStepDeg": 1,)",
        R"(    "csmMode": "arithmetic",)",
        R"(    "windowStartSeconds": 0.25,)",
        R"(    "windowEndSeconds": 1234567)",
        R"(  },)",
        R"(  "result": {)",
        R"(    "peakAzimuthDeg": 3.5,)",
        R"(    "peakElevationDeg": -1.0000000000000001e-05,)",
        R"(    "peakDb": 94.123456789000002)",
        R"(  },)",
        R"(  "provenance": {)",
        R"(    "recomputeMode": "full",)",
        R"(    "inputRawHash": "0123456789abcdef",)",
        R"(    "profileHash": "fedcba9876543210",)",
        R"(    "profileId": "profile-x",)",
        R"(    "inputFrames": 48000,)",
        R"(    "stftFrames": 92)",
        R"(  },)",
        R"(  "resultFileHash": "00ff00ff00ff00ff",)",
        R"(  "resultFile": "map.bin")",
        "}",
    };
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

class AnalysisRunStore : public ::testing::Test {
  protected:
    void SetUp() override { fs::create_directory(measurement); }
    AnalysisRunRecord create(const std::string& id, const std::optional<HeatmapGrid>& map,
                             const AnalysisRunParameters& p = test::sampleParameters()) {
        return createAnalysisRun(measurement, "m1", id, p, 3.5, -2.0, 71.25, "1.2.2",
                                 test::sampleProvenance(), map);
    }
    fs::path analyses() const { return measurement / "analyses"; }

    zk::test::TempFolder folder;
    fs::path measurement = folder / "m1";
};

TEST_F(AnalysisRunStore, WritesTheManifestLineForLine) {
    EXPECT_EQ(writeAnalysisManifest(sampleRecord()), sampleText());
    AnalysisRunRecord empty = sampleRecord();
    empty.parameters.algorithmParams.clear();
    empty.parameters.focusDistanceM = -kInf;
    const std::string text = writeAnalysisManifest(empty);
    EXPECT_NE(text.find("\n    \"focusDistanceM\": \"infinity\",\n    \"algorithmParams\": {},\n"),
              std::string::npos);
    empty.parameters.focusDistanceM = 3.0;
    EXPECT_NE(writeAnalysisManifest(empty).find("\n    \"focusDistanceM\": 3,\n"), std::string::npos);
}

TEST_F(AnalysisRunStore, CreateCommitsTheRunWithItsMap) {
    const HeatmapGrid map = test::sampleMap(3, 2, 5.0);
    const AnalysisRunRecord run = create("run-1", map);
    EXPECT_EQ(run.directory, analyses() / "run-1");
    EXPECT_EQ(run.resultFile, "map.bin");
    EXPECT_EQ(run.resultFileHash, test::naiveFnv1a64Hex(fileText(run.directory / "map.bin")));
    EXPECT_TRUE(test::isUtcTimestamp(run.createdAt)) << run.createdAt;
    EXPECT_EQ(entryNames(analyses()), std::vector<std::string>{"run-1"});
    EXPECT_EQ(entryNames(run.directory), (std::vector<std::string>{"analysis.json", "map.bin"}));
    EXPECT_EQ(fileText(run.directory / "analysis.json"), writeAnalysisManifest(run));
    EXPECT_EQ(readAnalysisRun(run.directory), run);
    EXPECT_EQ(loadAnalysisRunMap(run)->relativeDb, map.relativeDb);

    const AnalysisRunRecord bare = create("run-2", std::nullopt);
    EXPECT_EQ(entryNames(bare.directory), std::vector<std::string>{"analysis.json"});
    EXPECT_NE(fileText(bare.directory / "analysis.json")
                  .find("\n  \"resultFileHash\": \"\",\n  \"resultFile\": \"\"\n}\n"),
              std::string::npos);
    EXPECT_FALSE(loadAnalysisRunMap(readAnalysisRun(bare.directory)).has_value());
}

// The absolute level keeps its unit inside "result", after the relative peak every reader knows; a run
// saved without it keeps the layout above and reads back without one.
TEST_F(AnalysisRunStore, KeepsThePeakLevelWithItsUnitBesideTheRelativePeak) {
    const HeatmapGrid map = test::sampleMap(3, 2, 5.0);
    const AnalysisRunRecord run =
        createAnalysisRun(measurement, "m1", "level", test::sampleParameters(), 3.5, -2.0, 0.0, "1.2.2",
                          test::sampleProvenance(), map, {-2.25, kLevelUnitDbfs});
    EXPECT_NE(
        fileText(run.directory / "analysis.json")
            .find("\n    \"peakDb\": 0,\n    \"peakLevel\": -2.25,\n    \"peakLevelUnit\": \"dBFS\"\n  },\n"),
        std::string::npos)
        << fileText(run.directory / "analysis.json");
    const AnalysisRunRecord read = readAnalysisRun(run.directory);
    EXPECT_EQ(read.level, (AnalysisRunLevel{-2.25, kLevelUnitDbfs}));
    EXPECT_EQ(read, run);

    EXPECT_EQ(parseAnalysisManifest("/r", sampleText()).level, AnalysisRunLevel{});
    std::string unitOnly = sampleText();
    unitOnly.replace(unitOnly.find("\"peakDb\": 94.123456789000002"), 29,
                     "\"peakDb\": 94.1, \"peakLevelUnit\": \"dBFS\"");
    expectThrowExactly<std::runtime_error>([&] { parseAnalysisManifest("/r", unitOnly); },
                                           "JSON object has no key: peakLevel");
}

// A map keeps its own level in dBFS where its algorithm shows one and it holds its db plane; otherwise
// its level relative to its peak.
TEST_F(AnalysisRunStore, AMapKeepsItsLevelInTheUnitItIsShownIn) {
    HeatmapGrid map = test::sampleMap(3, 2, 5.0);
    map.peakDb = -2.0;
    map.peakRelativeDb = 0.0;
    map.algorithmId = static_cast<std::uint32_t>(BeamformingAlgorithm::kDas);
    EXPECT_EQ(peakLevelOf(map), (AnalysisRunLevel{-2.0, kLevelUnitDbfs}));
    map.algorithmId = static_cast<std::uint32_t>(BeamformingAlgorithm::kMusic);
    EXPECT_EQ(peakLevelOf(map), (AnalysisRunLevel{0.0, kLevelUnitRePeak}));
    // Read from a file without absolute levels: nothing but the relative ones.
    map.algorithmId = static_cast<std::uint32_t>(BeamformingAlgorithm::kDas);
    map.db.clear();
    EXPECT_EQ(peakLevelOf(map), (AnalysisRunLevel{0.0, kLevelUnitRePeak}));
    // Every algorithm in the unit its maps are drawn in.
    map = test::sampleMap(3, 2, 5.0);
    for (std::uint32_t id = 1; id <= 14; ++id) {
        map.algorithmId = id;
        EXPECT_EQ(peakLevelOf(map).unit, algorithmHasAbsoluteLevels(static_cast<std::int32_t>(id))
                                             ? kLevelUnitDbfs
                                             : kLevelUnitRePeak)
            << algorithmName(static_cast<std::int32_t>(id));
    }
}

TEST_F(AnalysisRunStore, TextsWithSpecialCharactersRoundTrip) {
    const std::string nasty = std::string("q\"b\\s/t\tn\nr\rc\x01\x7f\xc3\xa9 ") + std::string(1, '\0') + "z";
    AnalysisRunRecord r = sampleRecord();
    r.parameters.algorithmParams = R"({"a":[1,2.5,true,null],"k\"ey":"v\\al\tue"})";
    // Numbers read back as the very values written: the bin a run used, a window end in thirds.
    r.parameters.frequencyHz = 8015.625;
    r.parameters.windowStartSeconds = 0.1;
    r.parameters.windowEndSeconds = 1.0 / 3.0;
    r.peakDb = 94.123456789;
    for (std::string* text :
         {&r.analysisId, &r.measurementId, &r.createdAt, &r.buildVersion, &r.parameters.algorithmId,
          &r.parameters.algorithmVersion, &r.parameters.bandMode, &r.parameters.csmMode,
          &r.provenance.recomputeMode, &r.provenance.inputRawHash, &r.provenance.profileHash,
          &r.provenance.profileId, &r.resultFileHash}) {
        *text += nasty;
    }
    r.resultFile += "q\"b t\tn\nr\rc\x01\x7f\xc3\xa9 z";  // a plain name holds no separator
    EXPECT_EQ(parseAnalysisManifest(r.directory, writeAnalysisManifest(r)), r);
}

TEST_F(AnalysisRunStore, FocusDistanceAndParameterTextReadBack) {
    for (const auto& [focus, read] :
         std::vector<std::pair<double, double>>{{kInf, kInf}, {-kInf, kInf}, {3.0, 3.0}}) {
        AnalysisRunParameters p = test::sampleParameters();
        p.focusDistanceM = focus;
        EXPECT_EQ(
            readAnalysisRun(create(std::string("f").append(std::to_string(focus)), std::nullopt, p).directory)
                .parameters.focusDistanceM,
            read);
    }
    AnalysisRunParameters p = test::sampleParameters();
    p.algorithmParams.clear();
    EXPECT_EQ(readAnalysisRun(create("empty", std::nullopt, p).directory).parameters.algorithmParams, "{}");
    p.algorithmParams = "{ \"speed_of_sound_mps\" : 343.25000001 ,\n \"b\":[ 1e20 ] }";
    EXPECT_EQ(readAnalysisRun(create("compact", std::nullopt, p).directory).parameters.algorithmParams,
              R"({"speed_of_sound_mps":343.25,"b":[1e+20]})");
}

TEST_F(AnalysisRunStore, ReaderDefaultsAndRequiredKeys) {
    const auto without = [](const std::string& line) {
        std::string text = sampleText();
        const std::size_t at = text.find(line);
        EXPECT_NE(at, std::string::npos) << line;
        return text.erase(at, line.size());
    };
    AnalysisRunRecord r = parseAnalysisManifest("d", without("    \"csmMode\": \"arithmetic\",\n"));
    EXPECT_EQ(r.parameters.csmMode, "arithmetic");
    std::string text = sampleText();
    text.replace(text.find("\"gridStepDeg\": 1"), 16, "\"gridStepDeX\": 7");
    text.replace(text.find("\"csmMode\": \"arithmetic\""), 23, "\"csmMode\": \"geometric\"");
    text.replace(text.find("\"frequencyBin\": 171"), 19, "\"frequencyBin\": 12.9");
    text.replace(text.find("\"focusDistanceM\": \"infinity\""), 28, "\"focusDistanceM\": null");
    r = parseAnalysisManifest("d", text);
    EXPECT_EQ(r.directory, fs::path("d"));
    EXPECT_EQ(r.parameters.gridStepDeg, 1.0);
    EXPECT_EQ(r.parameters.csmMode, "geometric");
    EXPECT_EQ(r.parameters.frequencyBin, 12u);
    EXPECT_EQ(r.parameters.focusDistanceM, kInf);

    const std::string minimal =
        R"({"analysisId":"a","measurementId":"m","createdAt":"c","buildVersion":"b","parameters":{)"
        R"("algorithmId":"x","algorithmVersion":"1","frequencyHz":1,"frequencyBin":1,"frameSize":8,"hopSize":4,)"
        R"("azimuthBeginDeg":0,"azimuthEndDeg":1,"azimuthCount":2,"elevationBeginDeg":0,"elevationEndDeg":1,)"
        R"("elevationCount":2},"result":{"peakAzimuthDeg":0,"peakElevationDeg":0,"peakDb":0}})";
    r = parseAnalysisManifest("d", minimal);
    AnalysisRunParameters defaults;
    EXPECT_EQ(r.parameters.windowStartSeconds, -1.0);
    EXPECT_EQ(r.parameters.windowEndSeconds, -1.0);
    EXPECT_EQ(r.parameters.bandMode, defaults.bandMode);
    EXPECT_FALSE(r.parameters.removeCsmDiagonal);
    EXPECT_EQ(r.parameters.focusDistanceM, kInf);
    EXPECT_TRUE(r.parameters.algorithmParams.empty());
    EXPECT_EQ(r.provenance, AnalysisRunProvenance{});
    EXPECT_TRUE(r.resultFile.empty());

    const auto fails = [](const std::string& t, const std::string& message) {
        expectThrowExactly<std::runtime_error>([&] { parseAnalysisManifest("d", t); }, message);
    };
    fails(without("    \"frameSize\": 1024,\n"), "JSON object has no key: frameSize");
    fails(without("  \"buildVersion\": \"1.2.2\",\n"), "JSON object has no key: buildVersion");
    fails(without(",\n    \"peakDb\": 94.123456789000002"), "JSON object has no key: peakDb");
    fails(without("    \"peakDb\": 94.123456789000002\n"),
          "expected string");  // the comma before it now dangles
    std::string bad = sampleText();
    fails(bad.replace(bad.find("true,"), 4, "1"), "JSON value is not a bool");
    bad = sampleText();
    fails(bad.replace(bad.find("\"provenance\": {"), 15, "\"provenance\": [1], \"x\": {"),
          "JSON value is not an object");
    bad = sampleText();
    fails(bad.replace(bad.find("\"run-1\""), 7, "1"), "JSON value is not a string");
    fails(sampleText() + "x", "unexpected trailing JSON content");
    fails("[]", "JSON value is not an object");
}

TEST_F(AnalysisRunStore, ExistingRunOrStagingIsRefusedBeforeAnythingIsCreated) {
    create("run-1", std::nullopt);
    const std::string before = fileText(analyses() / "run-1" / "analysis.json");
    expectThrowExactly<std::invalid_argument>([&] { create("run-1", test::sampleMap(3, 2, 1.0)); },
                                              "analysis run already exists: run-1");
    EXPECT_EQ(fileText(analyses() / "run-1" / "analysis.json"), before);
    // A staging directory left by a killed create of the id is stale: removed, never reused.
    fs::create_directories(analyses() / ".run-2.creating");
    writeText(analyses() / ".run-2.creating" / "map.bin", "partial");
    EXPECT_EQ(readAnalysisRun(create("run-2", std::nullopt).directory).resultFile, "");
    EXPECT_EQ(entryNames(analyses()), (std::vector<std::string>{"run-1", "run-2"}));
    for (const char* id : {"", ".", "..", "a/b", "a\\b", "C:", "c:x", "/abs"}) {
        expectThrowExactly<std::invalid_argument>([&] { create(id, std::nullopt); },
                                                  "analysisId must be a non-empty directory name");
    }
    EXPECT_EQ(entryNames(analyses()).size(), 2u);
}

// A file its own reader would refuse must never be written: non-finite numbers, parameter text that
// is not JSON (or nests deeper than the reader allows inside the file), a map of the wrong shape.
TEST_F(AnalysisRunStore, UnreadableContentIsRefusedBeforeStaging) {
    struct Field {
        const char* key;
        double AnalysisRunParameters::*member;
    };
    const std::vector<Field> fields = {{"frequencyHz", &AnalysisRunParameters::frequencyHz},
                                       {"bandLowHz", &AnalysisRunParameters::bandLowHz},
                                       {"bandHighHz", &AnalysisRunParameters::bandHighHz},
                                       {"azimuthBeginDeg", &AnalysisRunParameters::azimuthBeginDeg},
                                       {"azimuthEndDeg", &AnalysisRunParameters::azimuthEndDeg},
                                       {"elevationBeginDeg", &AnalysisRunParameters::elevationBeginDeg},
                                       {"elevationEndDeg", &AnalysisRunParameters::elevationEndDeg},
                                       {"gridStepDeg", &AnalysisRunParameters::gridStepDeg},
                                       {"windowStartSeconds", &AnalysisRunParameters::windowStartSeconds},
                                       {"windowEndSeconds", &AnalysisRunParameters::windowEndSeconds}};
    for (const Field& field : fields) {
        for (const double bad : {kNaN, kInf, -kInf}) {
            AnalysisRunParameters p = test::sampleParameters();
            p.*field.member = bad;
            expectThrowExactly<std::invalid_argument>([&] { create("x", std::nullopt, p); },
                                                      std::string(field.key) + " must be finite");
        }
    }
    AnalysisRunParameters p = test::sampleParameters();
    p.focusDistanceM = kNaN;
    expectThrowExactly<std::invalid_argument>([&] { create("x", std::nullopt, p); },
                                              "focusDistanceM must be finite");
    for (const char* peak : {"peakAzimuthDeg", "peakElevationDeg", "peakDb"}) {
        const double az = std::string(peak) == "peakAzimuthDeg" ? kNaN : 0.0;
        const double el = std::string(peak) == "peakElevationDeg" ? kInf : 0.0;
        const double db = std::string(peak) == "peakDb" ? -kInf : 0.0;
        expectThrowExactly<std::invalid_argument>(
            [&] {
                createAnalysisRun(measurement, "m1", "x", test::sampleParameters(), az, el, db, "b", {},
                                  std::nullopt);
            },
            std::string(peak) + " must be finite");
    }
    const std::string deepest = std::string(254, '[') + std::string(254, ']');
    for (const std::string& text :
         {std::string("{"), std::string("{} x"), std::string(" "), std::string("nan"),
          std::string("{\"a\":1e400}"), std::string("[1,]"), "[" + deepest + "]"}) {
        p = test::sampleParameters();
        p.algorithmParams = text;
        expectThrowExactly<std::invalid_argument>([&] { create("x", std::nullopt, p); },
                                                  "algorithmParams must be valid JSON");
    }
    HeatmapGrid shortMap = test::sampleMap(3, 2, 1.0);
    shortMap.relativeDb.pop_back();
    expectThrowExactly<std::invalid_argument>([&] { create("x", shortMap); },
                                              "Analysis map dimensions are invalid");
    EXPECT_FALSE(fs::exists(analyses()));

    // The deepest nesting the reader takes inside the file is accepted and reads back.
    p.algorithmParams = deepest;
    EXPECT_EQ(readAnalysisRun(create("deep", std::nullopt, p).directory).parameters.algorithmParams, deepest);
}

// Counts read back only as whole non-negative numbers, and the map's name only as one file of the
// run directory: "../" or an absolute path would reach any file on the machine.
TEST_F(AnalysisRunStore, CountsAndTheMapNameAreCheckedOnRead) {
    const std::string text = sampleText();
    const auto with = [&](const std::string& from, const std::string& to) {
        std::string changed = text;
        changed.replace(changed.find(from), from.size(), to);
        return changed;
    };
    for (const char* value : {"-1", "2.5", "-0.5"}) {
        expectThrowExactly<std::runtime_error>(
            [&] {
                parseAnalysisManifest(
                    "d", with("\"inputFrames\": 48000", std::string("\"inputFrames\": ") + value));
            },
            "inputFrames must be a non-negative integer");
        expectThrowExactly<std::runtime_error>(
            [&] {
                parseAnalysisManifest("d",
                                      with("\"stftFrames\": 92", std::string("\"stftFrames\": ") + value));
            },
            "stftFrames must be a non-negative integer");
    }
    EXPECT_EQ(parseAnalysisManifest("d", with("\"frequencyBin\": 171", "\"frequencyBin\": 171.9"))
                  .parameters.frequencyBin,
              171u);
    // Reals past the double range are refused as every other reader refuses them, never read as infinity.
    for (const auto& [member, key] : std::vector<std::pair<std::string, std::string>>{
             {"\"frequencyHz\": 8000", "frequencyHz"},
             {"\"bandLowHz\": 7127.1899999999996", "bandLowHz"},
             {"\"azimuthEndDeg\": 32", "azimuthEndDeg"},
             {"\"elevationBeginDeg\": -24", "elevationBeginDeg"},
             {"\"focusDistanceM\": \"infinity\"", "focusDistanceM"},
             {"\"peakDb\": 94.123456789000002", "peakDb"}}) {
        for (const char* value : {"1e400", "-1e400"}) {
            expectThrowExactly<std::invalid_argument>(
                [&] { parseAnalysisManifest("d", with(member, "\"" + key + "\": " + value)); },
                key + " must be finite");
        }
    }

    const AnalysisRunRecord run = create("run-1", test::sampleMap(3, 2, 1.0));
    fs::copy_file(run.directory / "map.bin", measurement / "outside.bin");
    for (const char* name :
         {"../../outside.bin", "..", ".", "/etc/passwd", "a/map.bin", "a\\map.bin", "C:map.bin"}) {
        std::string json = "\"resultFile\": \"";
        for (const char* c = name; *c != 0; ++c)
            json += *c == '\\' ? std::string("\\\\") : std::string(1, *c);
        json += '"';
        expectThrowExactly<std::runtime_error>(
            [&] { parseAnalysisManifest("d", with("\"resultFile\": \"map.bin\"", json)); },
            "analysis resultFile must be a plain file name");
        AnalysisRunRecord escaping = run;
        escaping.resultFile = name;
        expectThrowExactly<std::runtime_error>([&] { loadAnalysisRunMap(escaping); },
                                               "analysis resultFile must be a plain file name");
    }
    AnalysisRunRecord renamed = run;
    fs::rename(run.directory / "map.bin", run.directory / "other name.bin");
    renamed.resultFile = "other name.bin";
    EXPECT_TRUE(loadAnalysisRunMap(renamed).has_value());
}

TEST_F(AnalysisRunStore, ListsRunsWithAManifestSortedByteWise) {
    EXPECT_TRUE(listAnalysisRuns(measurement).empty());
    for (const char* id : {"b", "B", "a", "\xc3\xa9", "_"}) create(id, std::nullopt);
    fs::create_directories(analyses() / "no-manifest");
    fs::create_directories(analyses() / "dir-manifest" / "analysis.json");
    // Staging directories are never runs, whether killed mid-write or complete before the rename.
    fs::create_directories(analyses() / ".c.creating");
    writeText(analyses() / ".c.creating" / "analysis.json", "");
    fs::copy(analyses() / "a", analyses() / ".d.creating");
    fs::copy(analyses() / "a", analyses() / ".hidden");
    writeText(analyses() / "plain-file", "x");
    fs::create_symlink(analyses() / "gone", analyses() / "dangling");
    // Listed, so that the reader refuses them with a reason instead of their disappearing.
    fs::create_directories(analyses() / "fifo-manifest");
    ASSERT_EQ(::mkfifo((analyses() / "fifo-manifest" / "analysis.json").c_str(), 0600), 0);
    fs::create_directories(analyses() / "device-manifest");
    fs::create_symlink("/dev/zero", analyses() / "device-manifest" / "analysis.json");
    EXPECT_EQ(listAnalysisRuns(measurement),
              (std::vector<std::string>{"B", "_", "a", "b", "device-manifest", "dir-manifest",
                                        "fifo-manifest", "\xc3\xa9"}));
    // Refused without waiting for a writer or reading a device that never ends.
    for (const char* name : {"device-manifest", "dir-manifest", "fifo-manifest"})
        expectThrowExactly<std::runtime_error>([&] { readAnalysisRun(analyses() / name); },
                                               "cannot open analysis manifest");

    fs::create_directories(folder / "m2");
    writeText(folder / "m2" / "analyses", "a file where the directory should be");
    EXPECT_THROW(listAnalysisRuns(folder / "m2"), fs::filesystem_error);
}

TEST_F(AnalysisRunStore, HostileManifestsFailWithTheirTextsNeverCrash) {
    const std::string whole = sampleText();
    for (std::size_t n = 0; n + 1 < whole.size(); ++n)
        EXPECT_THROW(parseAnalysisManifest("d", whole.substr(0, n)), std::runtime_error) << n;
    fs::create_directories(folder / "run");
    writeText(folder / "run" / "analysis.json", whole.substr(0, whole.size() / 2));
    EXPECT_THROW(readAnalysisRun(folder / "run"), std::runtime_error);
    writeText(folder / "run" / "analysis.json", whole.substr(0, whole.size() - 1));
    EXPECT_EQ(readAnalysisRun(folder / "run").peakDb, 94.123456789);

    std::mt19937 random(11);
    int failed = 0;
    for (std::size_t i = 0; i < 2000; ++i) {
        std::string bytes = whole;
        const std::size_t bit = random() % (bytes.size() * 8);
        bytes[bit / 8] = static_cast<char>(bytes[bit / 8] ^ (1 << (bit % 8)));
        try {
            parseAnalysisManifest("d", bytes);
        } catch (const std::runtime_error&) {
            ++failed;
        } catch (const std::invalid_argument&) {
            ++failed;
        }
    }
    EXPECT_GT(failed, 500);
    expectThrowExactly<std::runtime_error>([&] { readAnalysisRun(folder / "absent"); },
                                           "cannot open analysis manifest");
    // A sparse file past the bound is refused without being read into memory.
    fs::resize_file(folder / "run" / "analysis.json", (std::uintmax_t{16} << 20) + 1);
    expectThrowExactly<std::runtime_error>([&] { readAnalysisRun(folder / "run"); },
                                           "analysis manifest exceeds 16 MiB");
    fs::create_directories(folder / "dir" / "analysis.json");
    expectThrowExactly<std::runtime_error>([&] { readAnalysisRun(folder / "dir"); },
                                           "cannot open analysis manifest");
}

// A full disk fails the map or the manifest with its own text; the committed runs stay as they were
// and nothing appears under a run name.
TEST_F(AnalysisRunStore, FullDiskFailsWithItsTextAndKeepsCommittedRuns) {
    const AnalysisRunRecord kept = create("kept", test::sampleMap(3, 2, 1.0));
    const std::string keptText = fileText(kept.directory / "analysis.json");
    const std::string keptMap = fileText(kept.directory / "map.bin");
    struct Case {
        std::uint64_t limit;
        bool withMap;
        const char* result;
    };
    int index = 0;
    for (const Case& c : {Case{0, true, "runtime_error: cannot finalize Analysis map"},
                          Case{100, true, "runtime_error: cannot finalize Analysis map"},
                          Case{500, true, "runtime_error: cannot finalize analysis manifest"},
                          Case{0, false, "runtime_error: cannot finalize analysis manifest"}}) {
        const std::string id = "full" + std::to_string(index++);
        const std::optional<HeatmapGrid> map =
            c.withMap ? std::optional<HeatmapGrid>(test::sampleMap(3, 2, 2.0)) : std::nullopt;
        EXPECT_EQ(test::runWithFileSizeLimit(c.limit, [&] { return outcome([&] { create(id, map); }); }),
                  c.result)
            << id;
        EXPECT_FALSE(fs::exists(analyses() / id));
        // Removed, so that the save can be retried once there is space again.
        EXPECT_FALSE(fs::exists(analyses() / ("." + id + ".creating")));
        EXPECT_EQ(readAnalysisRun(create(id, map).directory).resultFile, c.withMap ? "map.bin" : "") << id;
    }
    EXPECT_EQ(readAnalysisRun(kept.directory), kept);
    EXPECT_EQ(fileText(kept.directory / "analysis.json"), keptText);
    EXPECT_EQ(fileText(kept.directory / "map.bin"), keptMap);
}

// The first creator to come between creating its new folder and locking it waits there until every
// other creator of the round has finished: one that took that folder for a dead writer's leftover
// removes it meanwhile.
struct PausedCreator {
    std::mutex mutex;  // guards the fields below; taken by the creators' threads and the hook
    std::condition_variable changed;
    int finished = 0;  // creators whose create returned or threw
    int others = 0;    // creators the paused one waits for
    bool paused = false;
    std::string lost;  // the paused creator's folder when it did not survive the wait
};
PausedCreator* pausedCreator = nullptr;  // the round's, while it runs

void pauseFirstCreator(const fs::path& created) {
    PausedCreator& round = *pausedCreator;
    std::unique_lock lock(round.mutex);
    if (round.paused) return;
    round.paused = true;
    struct stat before {};
    ::lstat(created.c_str(), &before);
    round.changed.wait(lock, [&] { return round.finished == round.others; });
    struct stat after {};
    if (::lstat(created.c_str(), &after) != 0 || after.st_ino != before.st_ino) round.lost = created.string();
}

// Creators racing for one id: exactly one commits, the committed run is one creator's whole, and no
// creator removes the folder another has just created.
TEST_F(AnalysisRunStore, RacingCreatorsNeverShareAStagingDirectory) {
    constexpr int kCreators = 4;
    setCreatedEntryHookForTesting(pauseFirstCreator);
    for (int r = 0; r < 20; ++r) {
        const std::string id = "race" + std::to_string(r);
        PausedCreator round;
        round.others = kCreators - 1;
        pausedCreator = &round;
        std::atomic<int> committed{0};  // creators whose run was published
        std::vector<std::thread> threads;
        for (int t = 0; t < kCreators; ++t) {
            threads.emplace_back([&, t] {
                try {
                    AnalysisRunParameters p = test::sampleParameters();
                    p.frequencyBin = static_cast<std::uint32_t>(t);
                    create(id, test::sampleMap(8, 6, t), p);
                    ++committed;
                } catch (const std::exception&) {
                }
                const std::lock_guard lock(round.mutex);
                ++round.finished;
                round.changed.notify_all();
            });
        }
        for (std::thread& thread : threads) thread.join();
        EXPECT_EQ(round.lost, "") << "removed before its creator locked it";
        EXPECT_EQ(committed.load(), 1) << id;
        const AnalysisRunRecord run = readAnalysisRun(analyses() / id);
        EXPECT_EQ(loadAnalysisRunMap(run)->relativeDb,
                  test::sampleMap(8, 6, run.parameters.frequencyBin).relativeDb);
    }
    setCreatedEntryHookForTesting(nullptr);
    EXPECT_EQ(entryNames(analyses()).size(), 20u) << "nothing left hidden";
}

}  // namespace
}  // namespace zk::core
