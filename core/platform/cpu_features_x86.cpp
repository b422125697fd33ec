#include <algorithm>
#include <atomic>

#include "core/platform/cpu_features.h"

namespace zk::core {

namespace {

VectorLevel detectVectorLevel() noexcept {
#if defined(ZK_DISPATCH_KERNELS) && (defined(__x86_64__) || defined(__i386__))
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl")) {
        return VectorLevel::kAvx512;
    }
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) {
        return VectorLevel::kAvx2;
    }
#endif
    return VectorLevel::kBaseline;
}

const VectorLevel kDetected = detectVectorLevel();

// The cap tests set; read by every kernel call on any thread.
std::atomic<int> cap{static_cast<int>(VectorLevel::kAvx512)};

}  // namespace

VectorLevel vectorLevel() noexcept {
    return static_cast<VectorLevel>(
        std::min(static_cast<int>(kDetected), cap.load(std::memory_order_relaxed)));
}

const char* vectorLevelName(VectorLevel level) noexcept {
    switch (level) {
        case VectorLevel::kAvx512:
            return "avx512";
        case VectorLevel::kAvx2:
            return "avx2";
        case VectorLevel::kBaseline:
            break;
    }
    return "baseline";
}

namespace detail {

void limitVectorLevel(VectorLevel level) noexcept {
    cap.store(static_cast<int>(level), std::memory_order_relaxed);
}

}  // namespace detail

}  // namespace zk::core
