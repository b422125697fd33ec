#include "core/storage/recording_writer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/storage/project_store.h"
#include "device_profile_test_support.h"
#include "storage/storage_test_support.h"
#include "test_support.h"

namespace zk::core {
namespace {

namespace fs = std::filesystem;
using zk::test::fileText;

constexpr std::uint32_t kWires = 4;           // the test profile's wire channels
constexpr std::size_t kBlockFrames = 8192;    // 64 KiB blocks
constexpr std::uint64_t kBound = 256 * 1024;  // four blocks

// A ramp over the whole stream: sample k of the stream is k modulo 2^16, so a lost, doubled or shifted
// block shows at its first sample.
std::vector<std::int16_t> rampBlock(std::uint64_t firstFrame) {
    std::vector<std::int16_t> samples(kBlockFrames * kWires);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(firstFrame * kWires + i));
    return samples;
}

void expectRampOf(const std::string& raw, std::uint64_t frames) {
    ASSERT_EQ(raw.size(), frames * kWires * 2);
    for (std::size_t k = 0; k < raw.size() / 2; ++k) {
        const auto value = static_cast<std::uint16_t>(static_cast<std::uint8_t>(raw[2 * k]) |
                                                      static_cast<std::uint8_t>(raw[2 * k + 1]) << 8);
        ASSERT_EQ(value, static_cast<std::uint16_t>(k)) << "sample " << k;
    }
}

// A disk that takes nothing until it is opened, then writes through the Recording.
class GatedDisk {
  public:
    RecordingWriter::Sink sink() {
        return [this](Recording& recording, std::span<const std::int16_t> samples) {
            std::unique_lock lock(mutex_);
            ++waiting_;
            changed_.notify_all();
            changed_.wait(lock, [this] { return open_; });
            lock.unlock();
            recording.append(samples);
        };
    }
    void waitUntilBusy() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return waiting_ > 0; });
    }
    void open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }

  private:
    std::mutex mutex_;  // guards the two fields; the writer thread and the test thread
    std::condition_variable changed_;
    int waiting_ = 0;
    bool open_ = false;
};

struct RecordingWriterFixture : ::testing::Test {
    zk::test::TempFolder folder;
    fs::path project = folder / "project";
    fs::path measurements = project / "measurements";
    std::string profile = zk::test::ProfileText{}.str();

    void SetUp() override { createProject(project, "p"); }
    std::unique_ptr<Recording> recording(const std::string& id) {
        return std::make_unique<Recording>(project, id, profile, "UDP");
    }
};

TEST_F(RecordingWriterFixture, AFullQueueEndsTheRecordingAtTheLastSampleQueued) {
    GatedDisk disk;
    std::atomic<int> failures{0};
    RecordingWriter writer(
        recording("m1"), kWires, kBound, [&](const std::exception&) { ++failures; }, disk.sink());
    std::uint64_t frames = 0;
    ASSERT_EQ(writer.push(rampBlock(frames)), RecordingWriter::Push::Queued);
    frames += kBlockFrames;
    disk.waitUntilBusy();  // the first block is in the disk's hands, still counted against the bound
    RecordingWriter::Push pushed = RecordingWriter::Push::Queued;
    for (int i = 0; i < 10 && pushed == RecordingWriter::Push::Queued; ++i) {
        pushed = writer.push(rampBlock(frames));
        if (pushed == RecordingWriter::Push::Queued) frames += kBlockFrames;
    }
    EXPECT_EQ(pushed, RecordingWriter::Push::Overflow);
    EXPECT_EQ(frames, kBound / (kBlockFrames * kWires * 2) * kBlockFrames);
    EXPECT_EQ(writer.peakQueuedBytes(), kBound);
    // Nothing after the refused block may follow the samples before it.
    EXPECT_EQ(writer.push(rampBlock(frames + kBlockFrames)), RecordingWriter::Push::Ended);
    EXPECT_EQ(writer.framesAccepted(), frames);
    // The crash-recovery description stays beside the samples while the queue drains.
    EXPECT_TRUE(fs::exists(measurements / ".m1.recording.json"));

    disk.open();
    std::unique_ptr<Recording> drained = writer.finish();
    const RecordingResult result = drained->finalize("");
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(result.framesWritten, frames);
    EXPECT_EQ(readMeasurementManifest(measurements / "m1").totalFrames, frames);
    expectRampOf(fileText(measurements / "m1" / "raw.int16"), frames);
}

TEST_F(RecordingWriterFixture, AFailedWriteIsReportedOnceAndKeepsTheBlocksBefore) {
    int writes = 0;          // writer thread only
    std::mutex reportMutex;  // guards reports; the writer thread adds, the test reads after finish
    std::vector<std::string> reports;
    RecordingWriter writer(
        recording("m2"), kWires, kBound,
        [&](const std::exception& error) {
            std::lock_guard lock(reportMutex);
            reports.push_back(error.what());
        },
        [&](Recording& r, std::span<const std::int16_t> samples) {
            if (++writes == 3) throw std::runtime_error("disk gone");
            r.append(samples);
        });
    for (std::uint64_t b = 0; b < 3; ++b)
        ASSERT_EQ(writer.push(rampBlock(b * kBlockFrames)), RecordingWriter::Push::Queued);
    std::unique_ptr<Recording> kept = writer.finish();
    EXPECT_EQ(reports, std::vector<std::string>{"disk gone"});
    EXPECT_EQ(writer.push(rampBlock(0)), RecordingWriter::Push::Ended);
    EXPECT_EQ(kept->finalize("").framesWritten, 2 * kBlockFrames);
    expectRampOf(fileText(measurements / "m2" / "raw.int16"), 2 * kBlockFrames);
}

TEST_F(RecordingWriterFixture, PartialFramesAreRefusedAtOnceAndLaterBlocksStillTaken) {
    RecordingWriter writer(recording("m3"), kWires, kBound);
    zk::test::expectThrowExactly<std::invalid_argument>(
        [&] { (void)writer.push(std::vector<std::int16_t>(kWires + 1)); },
        "wire sample count is not divisible by wireChannelCount");
    EXPECT_EQ(writer.push(rampBlock(0)), RecordingWriter::Push::Queued);
    EXPECT_EQ(writer.finish()->finalize("").framesWritten, kBlockFrames);
}

TEST(RecordingQueueBound, FourSecondsOfTheStreamWithinItsFloorAndCap) {
    struct Case {
        double bytesPerSecond;
        std::uint64_t bound;
    };
    for (const Case& c : {Case{48000.0 * 128 * 2, 49'152'000}, Case{48000.0 * 4 * 2, 8u << 20},
                          Case{0.0, 8u << 20}, Case{1e9, 64u << 20}}) {
        EXPECT_EQ(recordingQueueBoundBytes(c.bytesPerSecond), c.bound) << c.bytesPerSecond;
    }
}

}  // namespace
}  // namespace zk::core
