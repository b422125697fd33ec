#include "core/storage/measurement_store.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <ctime>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/storage/measurement_files.h"
#include "device_profile_test_support.h"
#include "storage/storage_test_support.h"
#include "test_support.h"

namespace zk::core {
namespace {

namespace fs = std::filesystem;
using zk::test::entryNames;
using zk::test::expectThrowExactly;
using zk::test::fileText;
using zk::test::quoted;
using zk::test::writeText;

TEST(MeasurementIds, OnlyOnePlainPathComponentIsAccepted) {
    for (const std::string id :
         {"", ".", "..", "a/b", "/abs", "a\\b", "\\root", "trailing/", "C:", "c:x", "Z:\\x"}) {
        expectThrowExactly<std::invalid_argument>([&] { validateMeasurementId(id); },
                                                  "measurementId must be a non-empty directory name");
        expectThrowExactly<std::invalid_argument>([&] { validateAnalysisId(id); },
                                                  "analysisId must be a non-empty directory name");
    }
    for (const std::string id : {"m_20260301T090507Z_123", "with space.and dot", "...", ".hidden", "1:x",
                                 "\xc3\xa9t\xc3\xa9", "ab:"}) {
        EXPECT_NO_THROW(validateMeasurementId(id)) << id;
        EXPECT_NO_THROW(validateAnalysisId(id)) << id;
    }
}

TEST(UtcTimestamp, FormatsTheCurrentSecondInUtc) {
    const std::time_t before = std::time(nullptr);
    const std::string text = utcTimestampNow();
    const std::time_t after = std::time(nullptr);
    ASSERT_EQ(text.size(), 20u) << text;
    std::tm parsed{};
    ASSERT_NE(strptime(text.c_str(), "%Y-%m-%dT%H:%M:%SZ", &parsed), nullptr) << text;
    const std::time_t seconds = timegm(&parsed);
    EXPECT_GE(seconds, before);
    EXPECT_LE(seconds, after);
}

// gmtime's shared buffer would let threads overwrite each other's fields (tsan sees the race).
TEST(UtcTimestamp, IsSafeOnSeveralThreads) {
    std::vector<std::thread> threads;
    std::vector<std::string> texts(4);
    for (std::size_t t = 0; t < texts.size(); ++t)
        threads.emplace_back([&texts, t] {
            for (int i = 0; i < 500; ++i) texts[t] = utcTimestampNow();
        });
    for (std::thread& thread : threads) thread.join();
    for (const std::string& text : texts) EXPECT_EQ(text.size(), 20u);
}

// The four-microphone profile of the test support, and its geometry bytes laid out by hand.
std::string geometryBytesOfDefaultProfile() {
    static_assert(std::endian::native == std::endian::little);
    struct Mic {
        std::uint32_t logical, wire;
        double x, y, z;
    };
    const Mic mics[] = {
        {0, 2, -0.05, -0.05, 0}, {1, 3, 0.05, -0.05, 0}, {2, 0, 0.05, 0.05, 0}, {3, 1, -0.05, 0.05, 0.01}};
    std::string bytes;
    for (const Mic& m : mics) {
        char record[32];  // the 4 + 4 + 3 x 8 bytes of the fields
        std::memcpy(record, &m.logical, 4);
        std::memcpy(record + 4, &m.wire, 4);
        std::memcpy(record + 8, &m.x, 8);
        std::memcpy(record + 16, &m.y, 8);
        std::memcpy(record + 24, &m.z, 8);
        bytes.append(record, sizeof record);
    }
    return bytes;
}

struct MeasurementFixture : ::testing::Test {
    zk::test::TempFolder folder;
    fs::path project = folder / "project";
    fs::path measurements = project / "measurements";
    fs::path raw = folder / "staged.raw";
    std::string profile = zk::test::ProfileText{}.str();
    std::string rawBytes = std::string("\x01\x00\xff\x7f", 4) + std::string(8 * 10 - 4, '\x22') + "xyz";

    void SetUp() override {
        fs::create_directories(project);
        writeText(raw, rawBytes);
    }
    MeasurementRecord create(const std::string& id, const fs::path& video = {}) {
        return createMeasurement(project, id, profile, raw, "2026-03-01T09:05:07Z", "2026-03-01T09:06:00Z",
                                 "udp \"live\"\t\\", video);
    }
};

TEST_F(MeasurementFixture, CreateFreezesTheFilesUnderAByteExactManifest) {
    const MeasurementRecord record = create("m_20260301T090507Z_123");
    const fs::path dir = measurements / "m_20260301T090507Z_123";
    EXPECT_EQ(entryNames(measurements), std::vector<std::string>{"m_20260301T090507Z_123"});
    EXPECT_EQ(entryNames(dir),
              (std::vector<std::string>{"device_profile.json", "manifest.json", "raw.int16"}));
    EXPECT_EQ(fileText(dir / "device_profile.json"), profile);
    EXPECT_EQ(fileText(dir / "raw.int16"), rawBytes);
    EXPECT_TRUE(fs::exists(raw)) << "the caller removes the source";

    const std::string expected = zk::test::flatJsonFile({
        {"schemaVersion", "2"},
        {"measurementId", quoted("m_20260301T090507Z_123")},
        {"sampleRateHz", "48000"},
        {"channelCount", "4"},
        {"wireChannelCount", "4"},
        {"profileId", quoted("P-4")},
        {"profileSchemaVersion", "2"},
        {"deviceModel", quoted("M")},
        {"hardwareVersion", quoted("H1")},
        {"geometryHash", quoted(zk::test::naiveFnv1a64Hex(geometryBytesOfDefaultProfile()))},
        {"totalFrames", "10"},  // 83 bytes of 8-byte frames
        {"source", quoted("udp \\\"live\\\"\\t\\\\")},
        {"notes", quoted("")},
        {"displayName", quoted("")},
        {"location", quoted("")},
        {"scene", quoted("")},
        {"videoFile", quoted("")},
        {"deviceProfileFile", quoted("device_profile.json")},
        {"rawFile", quoted("raw.int16")},
        {"profileHash", quoted(zk::test::naiveFnv1a64Hex(profile))},
        {"rawHash", quoted(zk::test::naiveFnv1a64Hex(rawBytes))},
        {"startedAt", quoted("2026-03-01T09:05:07Z")},
        {"endedAt", quoted("2026-03-01T09:06:00Z")},
    });
    EXPECT_EQ(fileText(dir / "manifest.json"), expected);
    EXPECT_EQ(record.directory, dir);
    EXPECT_EQ(readMeasurementManifest(dir), record);
}

TEST_F(MeasurementFixture, EmptyTimestampsBecomeNow) {
    const MeasurementRecord record = createMeasurement(project, "m", profile, raw, "", "", "", "");
    EXPECT_EQ(record.startedAt.size(), 20u);
    EXPECT_EQ(record.endedAt.size(), 20u);
    EXPECT_LE(record.startedAt, record.endedAt);
}

TEST_F(MeasurementFixture, RefusalsBeforeAnythingIsCreated) {
    expectThrowExactly<std::invalid_argument>([&] { create("a/b"); },
                                              "measurementId must be a non-empty directory name");
    zk::test::ProfileText badProfile;
    badProfile.schemaVersion = "3";
    expectThrowExactly<std::invalid_argument>(
        [&] { createMeasurement(project, "m", badProfile.str(), raw, "", "", "", ""); },
        "only device profile schemaVersion 2 is currently supported");
    fs::create_directories(folder / "rawdir");
    for (const fs::path& notAFile : {folder / "rawdir", folder / "absent"}) {
        expectThrowExactly<std::invalid_argument>(
            [&] { createMeasurement(project, "m", profile, notAFile, "", "", "", ""); },
            "raw recording file does not exist");
    }
    EXPECT_FALSE(fs::exists(measurements));

    fs::create_directories(measurements / "taken");
    expectThrowExactly<std::invalid_argument>([&] { create("taken"); }, "Measurement already exists");
    EXPECT_TRUE(fs::is_empty(measurements / "taken"));
    // A staging directory left by a killed create of the id is stale: removed, never reused.
    fs::create_directories(measurements / ".stale.creating");
    writeText(measurements / ".stale.creating" / "raw.int16", "partial");
    EXPECT_EQ(readMeasurementManifest(create("stale").directory).measurementId, "stale");
    EXPECT_FALSE(fs::exists(measurements / ".stale.creating"));
}

TEST_F(MeasurementFixture, OnlyANonEmptyRegularVideoIsCopied) {
    writeText(folder / "empty.mp4", "");
    fs::create_directories(folder / "video_dir");
    const fs::path absent = folder / "absent.mp4";
    int n = 0;
    for (const fs::path& video : {folder / "empty.mp4", folder / "video_dir", absent}) {
        const MeasurementRecord record = create("m" + std::to_string(n++), video);
        EXPECT_EQ(record.videoFile, "");
        EXPECT_FALSE(fs::exists(record.directory / "video_camera.mp4"));
    }
    writeText(folder / "cam.mp4", "frames");
    const MeasurementRecord record = create("with_video", folder / "cam.mp4");
    EXPECT_EQ(record.videoFile, "video_camera.mp4");
    EXPECT_EQ(fileText(record.directory / "video_camera.mp4"), "frames");
    EXPECT_EQ(readMeasurementManifest(record.directory).videoFile, "video_camera.mp4");
    EXPECT_TRUE(fs::exists(folder / "cam.mp4"));
}

TEST_F(MeasurementFixture, TotalFramesRoundsDown) {
    zk::test::ProfileText three;
    three.channelCount = three.wireChannelCount = "3";
    three.layout = "";
    three.microphones.pop_back();
    three.microphones[0] = R"({"logicalChannel": 0, "wireChannel": 1, "x": 0, "y": 0, "z": 0})";
    three.microphones[2] = R"({"logicalChannel": 2, "wireChannel": 2, "x": 0, "y": 0, "z": 0})";
    three.microphones[1] = R"({"logicalChannel": 1, "wireChannel": 0, "x": 0, "y": 0, "z": 0})";
    writeText(raw, std::string(1000, 'r'));
    EXPECT_EQ(createMeasurement(project, "m", three.str(), raw, "", "", "", "").totalFrames, 166u);
}

TEST(MeasurementManifest, RoundTripsEveryByteOfTheTexts) {
    MeasurementRecord record;
    record.directory = "/somewhere";
    record.measurementId = "id \"q\"";
    record.sampleRateHz = 4294967295u;
    record.channelCount = 1;
    record.wireChannelCount = 2;
    record.totalFrames = 9007199254740992ULL;  // 2^53: still exact through the double of the reader
    record.source = "back\\slash";
    record.notes = "line\nfeed\r\nand\ttab \x01 \xc3\xa9";
    record.displayName = "\"\"";
    record.location = "\\\\";
    record.scene = "\t";
    record.deviceProfileFile = "device_profile.json";
    record.rawFile = "raw.int16";
    record.rawHash = "x";
    EXPECT_EQ(parseMeasurementManifest("/somewhere", writeMeasurementManifest(record)), record);
}

TEST(MeasurementManifest, ReaderRules) {
    const std::string required =
        R"("measurementId": "m", "sampleRateHz": 48000.9, "channelCount": 4, "wireChannelCount": 4,
           "deviceProfileFile": "d", "rawFile": "r", "profileHash": "p", "startedAt": "s", "endedAt": "e")";
    const MeasurementRecord minimal =
        parseMeasurementManifest("dir", "{" + required + R"(, "rawHash": "h"})");
    EXPECT_EQ(minimal.sampleRateHz, 48000u);
    EXPECT_EQ(minimal.notes, "");
    EXPECT_EQ(minimal.directory, fs::path("dir"));
    expectThrowExactly<std::runtime_error>([&] { parseMeasurementManifest("dir", "{" + required + "}"); },
                                           "JSON object has no key: rawHash");
    expectThrowExactly<std::runtime_error>(
        [&] { parseMeasurementManifest("dir", "{" + required + R"(, "rawHash": 1})"); },
        "JSON value is not a string");
    expectThrowExactly<std::runtime_error>(
        [&] { parseMeasurementManifest("dir", "{" + required + R"(, "rawHash": "h"} x)"); },
        "unexpected trailing JSON content");
    zk::test::TempFolder folder;
    expectThrowExactly<std::runtime_error>([&] { readMeasurementManifest(folder.path()); },
                                           "cannot open measurement manifest");

    // Both files are opened and hashed by every reader: only a plain name inside the folder (the
    // names stand as JSON text: a backslash, a NUL).
    for (const char* name :
         {"/etc/hostname", "../raw.int16", "", ".", "..", "a/b", "a\\\\b", "C:x", "r\\u0000x"}) {
        for (const char* key : {"rawFile", "deviceProfileFile"}) {
            std::string text = "{" + required + R"(, "rawHash": "h"})";
            std::string member = "\"";  // in pieces: "\"" + std::string(...) trips a false -Wrestrict
            member.append(key).append("\": \"");
            text.replace(text.find(member) + member.size(), 1, name);
            expectThrowExactly<std::runtime_error>(
                [&] { parseMeasurementManifest("dir", text); },
                "measurement " + std::string(key) + " must be a plain file name");
        }
    }

    // The 64-bit count takes whole non-negative numbers only, so a rewrite keeps what was read.
    const std::string complete = "{" + required + R"(, "rawHash": "h", "totalFrames": )";
    EXPECT_EQ(parseMeasurementManifest("dir", complete + "9007199254740992}").totalFrames, 9007199254740992u);
    for (const char* value : {"-1", "1.5", "-0.5", "1e20"}) {
        expectThrowExactly<std::runtime_error>(
            [&] { parseMeasurementManifest("dir", complete + value + "}"); },
            "totalFrames must be a non-negative integer");
    }
}

// Read whole into memory only up to 16 MiB: a larger (here sparse) file is refused unread.
TEST(MeasurementManifest, ReadsNoManifestBeyondSixteenMiB) {
    zk::test::TempFolder folder;
    MeasurementRecord record;
    record.measurementId = "m";
    record.directory = folder.path();
    record.deviceProfileFile = "d";
    record.rawFile = "r";
    std::string text = writeMeasurementManifest(record);
    text.resize(std::size_t{16} << 20, ' ');
    writeText(folder / "manifest.json", text);
    EXPECT_EQ(readMeasurementManifest(folder.path()), record);
    fs::resize_file(folder / "manifest.json", (std::uintmax_t{16} << 20) + 1);
    expectThrowExactly<std::runtime_error>([&] { readMeasurementManifest(folder.path()); },
                                           "measurement manifest exceeds 16 MiB");
}

TEST(MeasurementManifest, LabelsAreRewrittenWithEveryOtherKey) {
    zk::test::TempFolder folder;
    writeText(folder / "manifest.json",
              R"({"measurementId": "m", "sampleRateHz": 8000, "channelCount": 1, "wireChannelCount": 1,
                  "totalFrames": 5, "deviceProfileFile": "d", "rawFile": "r", "profileHash": "p",
                  "rawHash": "h", "startedAt": "s", "endedAt": "e", "unknown": true})");
    updateMeasurementLabels(folder.path(), "Name \"1\"", "Hall\\B", "scene\tx", "first\nsecond");
    MeasurementRecord expected = parseMeasurementManifest(folder.path(), fileText(folder / "manifest.json"));
    EXPECT_EQ(expected.displayName, "Name \"1\"");
    EXPECT_EQ(expected.location, "Hall\\B");
    EXPECT_EQ(expected.scene, "scene\tx");
    EXPECT_EQ(expected.notes, "first\nsecond");
    EXPECT_EQ(expected.totalFrames, 5u);
    EXPECT_EQ(fileText(folder / "manifest.json"), writeMeasurementManifest(expected));
    EXPECT_EQ(entryNames(folder.path()), std::vector<std::string>{"manifest.json"});
}

// The raw file's length is held to the manifest's frame count before a byte of it is read: one of
// another length is refused unread, one of the same whole frames is hashed.
TEST_F(MeasurementFixture, TheRawFileLengthIsCheckedBeforeItIsHashed) {
    const MeasurementRecord m = create("m");
    ASSERT_EQ(m.totalFrames * 8 + 3, rawBytes.size());
    struct Case {
        const char* name;
        std::string bytes;
        MeasurementFiles result;
        bool read;
    };
    const Case cases[] = {
        {"as committed", rawBytes, MeasurementFiles::Match, true},
        {"one byte more, in the last part frame", rawBytes + "q", MeasurementFiles::RawDiffers, true},
        {"one frame more", rawBytes + std::string(8, 'q'), MeasurementFiles::RawSizeDiffers, false},
        {"one frame less", rawBytes.substr(8), MeasurementFiles::RawSizeDiffers, false},
        {"empty", "", MeasurementFiles::RawSizeDiffers, false},
    };
    for (const Case& c : cases) {
        writeText(m.directory / "raw.int16", c.bytes);
        int chunks = 0;
        EXPECT_EQ(compareMeasurementFiles(m, [&chunks] { return ++chunks > 0; }), c.result) << c.name;
        EXPECT_EQ(chunks > 0, c.read) << c.name;
    }
    zk::test::expectThrowExactly<std::runtime_error>(
        [] { requireMatchingFiles(MeasurementFiles::RawSizeDiffers, "manifest"); },
        "raw file size does not match manifest");
}

// A label that would push the manifest past the readers' 16 MiB is refused; the manifest stays.
TEST_F(MeasurementFixture, ALabelEditPastTheReadBoundIsRefused) {
    const MeasurementRecord m = create("m");
    const std::string before = fileText(m.directory / "manifest.json");
    const std::string huge((std::size_t{16} << 20) - before.size() + 1, 'n');
    try {
        updateMeasurementLabels(m.directory, "", "", "", huge);
        ADD_FAILURE() << "refused nothing";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "measurement labels would make the manifest exceed 16 MiB");
    }
    EXPECT_EQ(fileText(m.directory / "manifest.json"), before);
    updateMeasurementLabels(m.directory, "", "", "", huge.substr(1));  // exactly at the bound
    EXPECT_EQ(readMeasurementManifest(m.directory).notes.size(), huge.size() - 1);
}

// Every prefix and every single-bit flip of a real manifest either reads or fails with one of the
// reader's own texts; never a crash (run under asan) or another kind of failure.
TEST_F(MeasurementFixture, DamagedManifestsFailWithTheirTexts) {
    const std::string text = fileText(create("m").directory / "manifest.json");
    const std::set<std::string> readerTexts = {"expected JSON value",
                                               "unexpected JSON character",
                                               "invalid JSON literal",
                                               "expected string",
                                               "unterminated string",
                                               "unterminated escape sequence",
                                               "invalid unicode escape",
                                               "invalid escape sequence",
                                               "expected ',' or ']' in array",
                                               "expected ':' in object",
                                               "expected ',' or '}' in object",
                                               "unexpected trailing JSON content",
                                               "JSON value is not a string",
                                               "JSON value is not a number",
                                               "JSON value is not an object",
                                               "measurement rawFile must be a plain file name",
                                               "measurement deviceProfileFile must be a plain file name"};
    const auto check = [&](const std::string& damaged) {
        try {
            parseMeasurementManifest("d", damaged);
        } catch (const std::runtime_error& e) {
            const std::string what = e.what();
            if (!readerTexts.contains(what) && what.rfind("JSON object has no key: ", 0) != 0)
                ADD_FAILURE() << what;
        }
    };
    // Only the final line feed may go missing: everything up to the closing brace is needed.
    for (std::size_t length = 0; length + 1 < text.size(); ++length) {
        try {
            parseMeasurementManifest("d", text.substr(0, length));
            ADD_FAILURE() << "a truncated manifest read: " << length;
        } catch (const std::runtime_error&) {
        }
        check(text.substr(0, length));
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        for (int bit = 0; bit < 8; ++bit) {
            std::string damaged = text;
            damaged[i] = static_cast<char>(damaged[i] ^ (1 << bit));
            check(damaged);
        }
    }
}

// Writes fail at the limit as on a full disk; each step fails with its own text and the Measurement
// committed before stays as it was. (The limit is per file.)
TEST_F(MeasurementFixture, FullDiskFailsEachWriterAndKeepsTheCommittedState) {
    const MeasurementRecord before = create("committed");
    const std::string manifestBefore = fileText(before.directory / "manifest.json");
    writeText(raw, std::string(20000, 'r'));
    const std::string longSource(3000, 's');
    const auto attempt = [&](std::uint64_t limit, const std::string& id) {
        return zk::test::runWithFileSizeLimit(limit, [&] {
            createMeasurement(project, id, profile, raw, "", "", longSource, "");
            return std::string("created");
        });
    };
    ASSERT_LT(profile.size(), 3000u);
    EXPECT_EQ(attempt(100, "p"), "cannot write frozen device profile");
    const std::string copyFailure = attempt(3000, "r");
    EXPECT_NE(copyFailure.find("copy_file"), std::string::npos) << copyFailure;
    writeText(raw, std::string(800, 'r'));
    EXPECT_EQ(attempt(3000, "m"), "cannot finalize measurement manifest");
    EXPECT_EQ(zk::test::runWithFileSizeLimit(3000,
                                             [&] {
                                                 updateMeasurementLabels(before.directory, longSource, "", "",
                                                                         "");
                                                 return std::string("updated");
                                             }),
              "failed to write measurement manifest");

    // Each failed create removed its staging directory, so once space is back each id can be created.
    EXPECT_EQ(entryNames(measurements), std::vector<std::string>{"committed"});
    EXPECT_EQ(entryNames(before.directory),
              (std::vector<std::string>{"device_profile.json", "manifest.json", "raw.int16"}));
    EXPECT_EQ(fileText(before.directory / "manifest.json"), manifestBefore);
    EXPECT_EQ(readMeasurementManifest(before.directory), before);
    for (const char* id : {"p", "r", "m"}) EXPECT_EQ(attempt(RLIM_INFINITY, id), "created") << id;
}

}  // namespace
}  // namespace zk::core
