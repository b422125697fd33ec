// Recording on the development disk with the 128-channel, 48 kHz profile: append rate (the live
// stream needs 128 x 48000 x 2 = 12.3 MB/s), the same rate up to a durable file, and the finalize of
// a 1 GiB recording (copy, profile and raw hashes, manifest, flushes, registration).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "core/platform/file_platform.h"
#include "core/storage/profile_store.h"
#include "core/storage/project_store.h"
#include "core/storage/recording.h"

namespace {

namespace fs = std::filesystem;
using zk::core::Recording;

constexpr std::uint32_t kChannels = 128;
constexpr double kLiveBytesPerSecond = 128.0 * 48000.0 * 2.0;
constexpr std::uint64_t kRecordingBytes = 1ULL << 30;

// A Project under the temp folder (on the development disk), removed with everything when the
// program ends.
class BenchProject {
  public:
    static BenchProject& get() {
        static BenchProject project;
        return project;
    }
    const fs::path& path() const { return path_; }
    const std::string& profile() const { return profile_; }
    std::string nextId() {
        char id[32];
        std::snprintf(id, sizeof id, "m%d", counter_++);  // "m" + to_string trips a false GCC 12 -Wrestrict
        return id;
    }

  private:
    BenchProject() {
        folder_ = fs::temp_directory_path() / ("zk_storage_bench_" + std::to_string(std::random_device{}()));
        path_ = folder_ / "project";
        zk::core::createProject(path_, "bench");
        profile_ = zk::core::readWholeFile(fs::path(ZK_PROFILES_DIR) / "TM27-128-H1.6.2.device.json");
    }
    ~BenchProject() {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    fs::path folder_;
    fs::path path_;
    std::string profile_;
    int counter_ = 0;
};

std::vector<std::int16_t> blockOf(std::size_t frames) {
    std::vector<std::int16_t> block(frames * kChannels);
    std::mt19937 random(7);
    for (std::int16_t& sample : block) sample = static_cast<std::int16_t>(random());
    return block;
}

void setRates(benchmark::State& state, std::uint64_t bytes) {
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    state.counters["xLiveStream"] =
        benchmark::Counter(static_cast<double>(bytes) / kLiveBytesPerSecond, benchmark::Counter::kIsRate);
}

// One append per iteration of frames x 128 channels (128 frames: one datagram of the profile); a
// new Recording every 1 GiB, discarded, so the disk does not fill.
void BM_RecordingAppend(benchmark::State& state) {
    BenchProject& project = BenchProject::get();
    const std::vector<std::int16_t> block = blockOf(static_cast<std::size_t>(state.range(0)));
    auto recording =
        std::make_unique<Recording>(project.path(), project.nextId(), project.profile(), "bench");
    std::uint64_t total = 0;
    for (auto _ : state) {
        recording->append(block);
        if (recording->bytesWritten() >= kRecordingBytes) {
            recording =
                std::make_unique<Recording>(project.path(), project.nextId(), project.profile(), "bench");
        }
        total += block.size() * 2;
    }
    setRates(state, total);
}
BENCHMARK(BM_RecordingAppend)->Arg(128)->Arg(480)->MinTime(3.0)->UseRealTime();

// 1 GiB appended in datagram-sized blocks and then flushed to the device: the rate the disk sustains.
void BM_RecordingAppendDurable1GiB(benchmark::State& state) {
    BenchProject& project = BenchProject::get();
    const std::vector<std::int16_t> block = blockOf(128);
    for (auto _ : state) {
        Recording recording(project.path(), project.nextId(), project.profile(), "bench");
        while (recording.bytesWritten() < kRecordingBytes) recording.append(block);
        std::error_code error;
        // The samples sit in the stream's buffer and the page cache until here.
        if (!zk::core::syncPathToDisk(recording.stagingPath(), error))
            state.SkipWithError(error.message().c_str());
        state.PauseTiming();
        recording.discard();
        state.ResumeTiming();
    }
    setRates(state, state.iterations() * kRecordingBytes);
}
BENCHMARK(BM_RecordingAppendDurable1GiB)->Iterations(3)->Unit(benchmark::kSecond)->UseRealTime();

void BM_Finalize1GiB(benchmark::State& state) {
    BenchProject& project = BenchProject::get();
    const std::vector<std::int16_t> block = blockOf(128);
    for (auto _ : state) {
        state.PauseTiming();
        const std::string id = project.nextId();
        Recording recording(project.path(), id, project.profile(), "bench");
        while (recording.bytesWritten() < kRecordingBytes) recording.append(block);
        state.ResumeTiming();
        benchmark::DoNotOptimize(recording.finalize(""));
        state.PauseTiming();
        fs::remove_all(project.path() / "measurements" / id);
        zk::core::ProjectRecord record = zk::core::loadProject(project.path());
        record.unregisterMeasurement(id);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kRecordingBytes));
}
BENCHMARK(BM_Finalize1GiB)->Iterations(3)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
