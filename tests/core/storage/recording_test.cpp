#include "core/storage/recording.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/storage/lock_wait.h"
#include "core/storage/project_store.h"
#include "device_profile_test_support.h"
#include "storage/storage_test_support.h"
#include "test_support.h"

namespace zk::core {
namespace {

namespace fs = std::filesystem;
using zk::test::entryNames;
using zk::test::expectThrowExactly;
using zk::test::fileText;
using zk::test::writeText;

// Samples with both bytes distinct and negative values, so byte order and offsets show.
std::vector<std::int16_t> samplesFrom(int first, std::size_t count) {
    std::vector<std::int16_t> samples(count);
    for (std::size_t i = 0; i < count; ++i)
        samples[i] = static_cast<std::int16_t>((first + 7919 * int(i)) % 65536 - 32768);
    return samples;
}

// The little-endian bytes of the samples, spelled out rather than copied from memory.
std::string littleEndianBytes(const std::vector<std::int16_t>& samples) {
    std::string bytes;
    for (const std::int16_t s : samples) {
        const auto bits = static_cast<std::uint16_t>(s);
        bytes.push_back(static_cast<char>(bits & 0xFF));
        bytes.push_back(static_cast<char>(bits >> 8));
    }
    return bytes;
}

struct RecordingFixture : ::testing::Test {
    zk::test::TempFolder folder;
    fs::path project = folder / "project";
    fs::path measurements = project / "measurements";
    std::string profile = zk::test::ProfileText{}.str();  // 4 wire channels

    void SetUp() override { createProject(project, "p"); }
    fs::path stagingOf(const std::string& id) const {
        return measurements / ("." + id + ".recording.raw.tmp");
    }
    fs::path descriptionOf(const std::string& id) const {
        return measurements / ("." + id + ".recording.json");
    }
};

TEST_F(RecordingFixture, FinalizeCommitsRegistersAndRemovesTheStagingFile) {
    Recording recording(project, "m1", profile, "udp 10.0.0.2");
    EXPECT_EQ(recording.stagingPath(), stagingOf("m1"));
    EXPECT_TRUE(fs::is_regular_file(stagingOf("m1")));
    // What the samples need to become this Measurement after a crash lies beside them from the start.
    const RecordingDescription described = readRecordingDescription(descriptionOf("m1"));
    EXPECT_EQ(described.measurementId, "m1");
    EXPECT_EQ(described.profileText, profile);
    EXPECT_EQ(described.source, "udp 10.0.0.2");
    std::vector<std::int16_t> all;
    for (const std::size_t frames : {3u, 1u, 250u}) {
        const std::vector<std::int16_t> block = samplesFrom(static_cast<int>(all.size()), 4 * frames);
        recording.append(block);
        all.insert(all.end(), block.begin(), block.end());
    }
    EXPECT_EQ(recording.framesWritten(), 254u);
    EXPECT_EQ(recording.bytesWritten(), 254u * 8);
    const RecordingResult result = recording.finalize("");
    EXPECT_EQ(result.framesWritten, 254u);
    EXPECT_EQ(result.bytesWritten, 254u * 8);
    EXPECT_EQ(entryNames(measurements), std::vector<std::string>{"m1"});
    EXPECT_EQ(fileText(measurements / "m1" / "raw.int16"), littleEndianBytes(all));
    EXPECT_EQ(result.measurement, readMeasurementManifest(measurements / "m1"));
    EXPECT_EQ(result.measurement.totalFrames, 254u);
    EXPECT_EQ(result.measurement.source, "udp 10.0.0.2");
    EXPECT_EQ(result.measurement.startedAt, described.startedAt);
    EXPECT_EQ(fileText(measurements / "m1" / "device_profile.json"), profile);
    EXPECT_LE(result.measurement.startedAt, result.measurement.endedAt);
    EXPECT_EQ(loadProject(project).measurements, std::vector<std::string>{"m1"});
}

TEST_F(RecordingFixture, AppendAndFinalizeRules) {
    zk::test::ProfileText two;
    two.channelCount = two.wireChannelCount = "2";
    two.layout = "";
    two.microphones.resize(2);
    two.microphones[0] = R"({"logicalChannel": 0, "wireChannel": 1, "x": 0, "y": 0, "z": 0})";
    two.microphones[1] = R"({"logicalChannel": 1, "wireChannel": 0, "x": 1, "y": 0, "z": 0})";
    Recording recording(project, "m", two.str(), "");
    recording.append(nullptr, 0);
    expectThrowExactly<std::runtime_error>([&] { recording.finalize(""); },
                                           "cannot finalize an empty Recording");
    expectThrowExactly<std::invalid_argument>([&] { recording.append(samplesFrom(0, 3)); },
                                              "wire sample count is not divisible by wireChannelCount");
    EXPECT_EQ(recording.bytesWritten(), 0u);
    recording.append(samplesFrom(5, 2));
    EXPECT_EQ(recording.finalize("").measurement.totalFrames, 1u);
    EXPECT_EQ(fileText(measurements / "m" / "raw.int16"), littleEndianBytes(samplesFrom(5, 2)));
    for (const std::size_t count : {0u, 2u})
        expectThrowExactly<std::logic_error>([&] { recording.append(samplesFrom(0, count)); },
                                             "Recording is not active");
    expectThrowExactly<std::logic_error>([&] { recording.finalize(""); }, "Recording is not active");

    Recording discarded(project, "d", profile, "");
    discarded.append(samplesFrom(0, 4));
    discarded.discard();
    EXPECT_FALSE(fs::exists(stagingOf("d")));
    EXPECT_FALSE(fs::exists(descriptionOf("d")));
    expectThrowExactly<std::logic_error>([&] { discarded.append(nullptr, 0); }, "Recording is not active");
    expectThrowExactly<std::logic_error>([&] { discarded.finalize(""); }, "Recording is not active");
    {
        Recording dropped(project, "x", profile, "");
        dropped.append(samplesFrom(0, 8));
    }
    EXPECT_EQ(entryNames(measurements), std::vector<std::string>{"m"});
}

TEST_F(RecordingFixture, ConstructionRefusals) {
    ProjectRecord record = loadProject(project);
    record.registerMeasurement("listed");
    expectThrowExactly<std::invalid_argument>([&] { Recording(project, "listed", profile, ""); },
                                              "Measurement is already registered");
    EXPECT_FALSE(fs::exists(measurements)) << "refused before any directory is created";
    expectThrowExactly<std::invalid_argument>([&] { Recording(project, "..", profile, ""); },
                                              "measurementId must be a non-empty directory name");
    expectThrowExactly<std::runtime_error>(
        [&] { Recording(folder / "none", "m", profile, ""); },
        "cannot open project.json: " + (folder / "none" / "project.json").string());
    expectThrowExactly<std::invalid_argument>([&] { Recording(project, "m", "[]", ""); },
                                              "device profile root must be an object");
    fs::create_directories(measurements / "unlisted");
    expectThrowExactly<std::invalid_argument>([&] { Recording(project, "unlisted", profile, ""); },
                                              "Measurement directory already exists");
    writeText(stagingOf("left"), "old samples");
    expectThrowExactly<std::invalid_argument>([&] { Recording(project, "left", profile, ""); },
                                              "Recording staging file already exists");
    EXPECT_EQ(fileText(stagingOf("left")), "old samples");
}

TEST_F(RecordingFixture, VideoIsCopiedWhenNotEmptyAndRemovedEitherWay) {
    writeText(folder / "empty.mp4", "");
    writeText(folder / "cam.mp4", "frames");
    Recording first(project, "a", profile, "");
    first.append(samplesFrom(0, 4));
    EXPECT_EQ(first.finalize(folder / "empty.mp4").measurement.videoFile, "");
    EXPECT_FALSE(fs::exists(folder / "empty.mp4"));
    EXPECT_FALSE(fs::exists(measurements / "a" / "video_camera.mp4"));
    Recording second(project, "b", profile, "");
    second.append(samplesFrom(0, 4));
    EXPECT_EQ(second.finalize(folder / "cam.mp4").measurement.videoFile, "video_camera.mp4");
    EXPECT_FALSE(fs::exists(folder / "cam.mp4"));
    EXPECT_EQ(fileText(measurements / "b" / "video_camera.mp4"), "frames");
}

// The staging file is the only copy of the samples once finalize has closed it: a failed commit must
// leave it to a later finalize, whatever discard and the destructor do meanwhile.
TEST_F(RecordingFixture, FailedFinalizeKeepsTheSamplesForALaterFinalize) {
    const std::vector<std::int16_t> samples = samplesFrom(3, 400);
    {
        Recording recording(project, "m", profile, "");
        recording.append(samples);
        fs::create_directories(measurements / "m");  // the name is taken meanwhile
        expectThrowExactly<std::invalid_argument>([&] { recording.finalize(""); },
                                                  "Measurement already exists");
        expectThrowExactly<std::logic_error>([&] { recording.append(samples); }, "Recording is not active");
        recording.discard();
        EXPECT_EQ(fileText(stagingOf("m")), littleEndianBytes(samples));
        fs::remove(measurements / "m");
        const RecordingResult result = recording.finalize("");
        EXPECT_EQ(result.framesWritten, 100u);
        EXPECT_EQ(fileText(measurements / "m" / "raw.int16"), littleEndianBytes(samples));
        EXPECT_EQ(loadProject(project).measurements, std::vector<std::string>{"m"});
        EXPECT_FALSE(fs::exists(stagingOf("m")));
    }
    {
        Recording recording(project, "n", profile, "");
        recording.append(samples);
        fs::create_directories(measurements / "n");
        EXPECT_THROW(recording.finalize(""), std::invalid_argument);
    }
    EXPECT_EQ(fileText(stagingOf("n")), littleEndianBytes(samples)) << "the destructor keeps it too";
    EXPECT_EQ(readRecordingDescription(descriptionOf("n")).measurementId, "n");
}

// The Project went away under a running Recording (moved aside by another program's Delete Project):
// its finalize says so, and makes no Project folder again.
TEST_F(RecordingFixture, AFinalizeWhoseProjectWentAwaySaysSoAndMakesNothingAgain) {
    Recording recording(project, "m", profile, "");
    recording.append(samplesFrom(0, 40));
    fs::rename(project, folder / ".project.deleting");
    expectThrowExactly<EntryUnavailable>([&] { recording.finalize(""); }, "the Project no longer exists");
    EXPECT_FALSE(fs::exists(project));
    EXPECT_EQ(fs::file_size(folder / ".project.deleting" / "measurements" / ".m.recording.raw.tmp"), 80u)
        << "the samples stay where they went";
}

// Each write of the recording path fails at the limit with its own text; the whole frames that
// reached the file before a failed write still become the Measurement, and a finalize that failed
// while committing or registering succeeds once space is back.
TEST_F(RecordingFixture, FullDisk) {
    Recording before(project, "before", profile, "");
    before.append(samplesFrom(1, 40));
    const MeasurementRecord committed = before.finalize("").measurement;
    const std::vector<std::int16_t> block = samplesFrom(2, 4 * 2048);  // 16 KiB
    const std::string firstBlocks = littleEndianBytes(block) + littleEndianBytes(block) +
                                    littleEndianBytes(block) + littleEndianBytes(block);

    // Sticky once reported: a later append would leave a gap in the samples.
    const auto failuresAfterTheLimit = [&] {
        Recording recording(project, "a", profile, "");
        std::string texts;
        const auto note = [&texts](auto&& call) {
            try {
                call();
            } catch (const std::runtime_error& e) {
                texts += std::string(texts.empty() ? "" : " / ") + e.what();
            }
        };
        for (int i = 0; i < 200 && texts.empty(); ++i) note([&] { recording.append(block); });
        note([&] { recording.append(block); });
        return texts + " / " + std::to_string(recording.finalize("").framesWritten);
    };
    // The limit falls on a frame boundary: 64 KiB of the 1 MiB the buffer spilled reached the file.
    EXPECT_EQ(zk::test::runWithFileSizeLimit(64 << 10, failuresAfterTheLimit),
              "cannot append raw recording samples / cannot append raw recording samples / 8192");
    EXPECT_EQ(fileText(measurements / "a" / "raw.int16"), firstBlocks);
    // Fits the stream's buffer: the failure shows only in the close that flushes it, and the limit
    // falls inside a frame, whose part is dropped.
    EXPECT_EQ(zk::test::runWithFileSizeLimit((64 << 10) + 5,
                                             [&] {
                                                 Recording recording(project, "b", profile, "");
                                                 for (int i = 0; i < 6; ++i) recording.append(block);
                                                 const RecordingResult result = recording.finalize("");
                                                 return std::to_string(result.measurement.totalFrames);
                                             }),
              "8192");
    EXPECT_EQ(fileText(measurements / "b" / "raw.int16"), firstBlocks);
    EXPECT_EQ(loadProject(project).measurements, (std::vector<std::string>{"before", "a", "b"}));
    EXPECT_EQ(entryNames(measurements), (std::vector<std::string>{"a", "b", "before"}))
        << "nothing hidden left";

    // No Recording starts without its description: a full disk refuses it before any sample.
    EXPECT_EQ(zk::test::runWithFileSizeLimit(100,
                                             [&] {
                                                 Recording recording(project, "e", profile, "");
                                                 return std::string("started");
                                             }),
              "cannot write recording description");

    const std::vector<std::int16_t> small = samplesFrom(9, 400);
    // Started before the limit: its description is longer than what the limit lets the finalize write.
    const auto failThenRetry = [&](const std::string& id, const std::string& source) {
        return [&, id, source] {
            zk::test::setFileSizeLimit(RLIM_INFINITY);
            Recording recording(project, id, profile, source);
            recording.append(small);
            zk::test::setFileSizeLimit(3000);
            std::string texts;
            try {
                recording.finalize("");
            } catch (const std::exception& e) {
                texts = e.what();
            }
            recording.discard();
            texts += fs::exists(stagingOf(id)) ? " / kept" : " / lost";
            zk::test::setFileSizeLimit(RLIM_INFINITY);
            return texts + " / " + recording.finalize("").measurement.measurementId;
        };
    };
    // The manifest (long source) and then project.json (long name) outgrow the limit.
    EXPECT_EQ(zk::test::runWithFileSizeLimit(3000, failThenRetry("c", std::string(4000, 's'))),
              "cannot finalize measurement manifest / kept / c");
    ProjectRecord renamed = loadProject(project);
    renamed.name = std::string(4000, 'n');
    renamed.save();
    EXPECT_EQ(zk::test::runWithFileSizeLimit(3000, failThenRetry("d", "")),
              "cannot write project.json / kept / d");

    EXPECT_EQ(loadProject(project).measurements, (std::vector<std::string>{"before", "a", "b", "c", "d"}));
    EXPECT_EQ(entryNames(measurements), (std::vector<std::string>{"a", "b", "before", "c", "d"}));
    for (const char* id : {"c", "d"})
        EXPECT_EQ(fileText(measurements / id / "raw.int16"), littleEndianBytes(small)) << id;
    EXPECT_EQ(readMeasurementManifest(measurements / "before"), committed);
}

}  // namespace
}  // namespace zk::core
