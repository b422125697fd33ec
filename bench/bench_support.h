#pragma once

// Shared by the benchmarks: the live microphone array, the thread count and the reported statistic.

#include <benchmark/benchmark.h>
#include <omp.h>

#include <algorithm>
#include <cstddef>
#include <vector>

#include "core/beamforming/beamformer.h"
#include "core/platform/cpu_features.h"
#include "core/storage/device_profile.h"

namespace zk::bench {

// The shipped 128-microphone spiral: the live case of every benchmark.
inline const std::vector<core::MicrophonePosition>& liveArray() {
    static const std::vector<core::MicrophonePosition> mics = [] {
        const core::DeviceProfile profile =
            core::loadDeviceProfile(ZK_PROFILES_DIR "/TM27-128-H1.6.2.device.json");
        std::vector<core::MicrophonePosition> out;
        for (const auto& m : profile.microphones) out.push_back({m.x, m.y, m.z});
        return out;
    }();
    return mics;
}

// Every step-th microphone of the live array (64 of 128 keep eight on each spiral arm).
inline std::vector<core::MicrophonePosition> liveArrayEvery(std::size_t step) {
    std::vector<core::MicrophonePosition> out;
    for (std::size_t m = 0; m < liveArray().size(); m += step) out.push_back(liveArray()[m]);
    return out;
}

// The best of several repetitions is the figure least disturbed by other work on a shared machine.
inline double fastest(const std::vector<double>& runs) { return *std::min_element(runs.begin(), runs.end()); }

// Repetitions with the minimum beside the usual aggregates; `->Apply(minOfRepetitions)`.
inline void minOfRepetitions(benchmark::internal::Benchmark* b) {
    b->Repetitions(5)->ComputeStatistics("min", fastest)->ReportAggregatesOnly(true);
}

// Sets the OpenMP team size of the maps (they use at most 4) for one benchmark and restores it.
class ThreadScope {
  public:
    explicit ThreadScope(int threads) : previous_(omp_get_max_threads()) { omp_set_num_threads(threads); }
    ~ThreadScope() { omp_set_num_threads(previous_); }
    ThreadScope(const ThreadScope&) = delete;
    ThreadScope& operator=(const ThreadScope&) = delete;

  private:
    int previous_;
};

// Caps the kernels' vector level for one benchmark (0 baseline, 1 AVX2, 2 AVX-512) and restores it.
class VectorLevelScope {
  public:
    explicit VectorLevelScope(std::int64_t level) {
        core::detail::limitVectorLevel(static_cast<core::VectorLevel>(level));
    }
    ~VectorLevelScope() { core::detail::limitVectorLevel(core::VectorLevel::kAvx512); }
    VectorLevelScope(const VectorLevelScope&) = delete;
    VectorLevelScope& operator=(const VectorLevelScope&) = delete;
};

}  // namespace zk::bench
