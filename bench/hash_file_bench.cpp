// hashFile over a 1 GiB file (page cache warm after the first pass), against a plain chunked read
// of the same file (the rate `cat file > /dev/null` reaches) and the in-memory hash of 64 MiB, on the
// calling thread.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "bench_support.h"
#include "core/storage/fnv1a.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kFileBytes = 1ULL << 30;

// Creates the file on first use and removes it with its folder when the program ends.
class BigFile {
  public:
    static const fs::path& path() {
        static BigFile file;
        return file.path_;
    }

  private:
    BigFile() {
        folder_ = fs::temp_directory_path() / ("zk_hash_bench_" + std::to_string(std::random_device{}()));
        fs::create_directories(folder_);
        path_ = folder_ / "big.raw";
        std::vector<char> block(1 << 20);
        std::mt19937_64 random(1);
        for (std::size_t i = 0; i < block.size(); i += 8) {
            const std::uint64_t v = random();
            std::memcpy(block.data() + i, &v, 8);
        }
        std::ofstream out(path_, std::ios::binary);
        for (std::uint64_t written = 0; written < kFileBytes; written += block.size()) {
            block[written % 4093] ^= 1;  // keep blocks distinct
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
        }
    }
    ~BigFile() {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    fs::path folder_;
    fs::path path_;
};

double maxRssMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_HashFile1GiB(benchmark::State& state) {
    const fs::path& path = BigFile::path();
    const double rssBefore = maxRssMiB();
    for (auto _ : state) benchmark::DoNotOptimize(zk::core::hashFile(path));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileBytes));
    state.counters["maxRssGrowthMiB"] = maxRssMiB() - rssBefore;
}
BENCHMARK(BM_HashFile1GiB)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0)
    ->UseRealTime()
    ->Apply(zk::bench::minOfRepetitions);

// What the hash has to keep up with: the same 64 KiB reads with nothing done to the bytes.
void BM_ReadFile1GiB(benchmark::State& state) {
    const fs::path& path = BigFile::path();
    std::vector<char> chunk(65536);
    for (auto _ : state) {
        std::FILE* file = std::fopen(path.c_str(), "rb");
        std::size_t total = 0;
        while (const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), file)) total += got;
        std::fclose(file);
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileBytes));
}
BENCHMARK(BM_ReadFile1GiB)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0)
    ->UseRealTime()
    ->Apply(zk::bench::minOfRepetitions);

void BM_Fnv1aInMemory64MiB(benchmark::State& state) {
    std::vector<char> bytes(64 << 20, '\x5a');
    for (auto _ : state) benchmark::DoNotOptimize(zk::core::fnv1a64(bytes.data(), bytes.size()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_Fnv1aInMemory64MiB)->Unit(benchmark::kMillisecond)->Apply(zk::bench::minOfRepetitions);

}  // namespace
