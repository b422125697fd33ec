#pragma once

namespace zk::core {

// Widest vector instruction set the numeric kernels may use, in increasing order.
enum class VectorLevel : int {
    kBaseline = 0,  // x86-64 SSE2, or whatever the target's default is
    kAvx2 = 1,      // AVX2 with FMA
    kAvx512 = 2,    // AVX-512 F, BW, DQ and VL
};

// The widest level that both this CPU and this build support, lowered by limitVectorLevel. Kernels
// read it on every call and pick their variant, so the same binary runs on any x86-64 machine.
// Thread-safe.
VectorLevel vectorLevel() noexcept;

// Short name for logs and benchmark labels: "baseline", "avx2", "avx512".
const char* vectorLevelName(VectorLevel level) noexcept;

namespace detail {

// Caps vectorLevel() at `level` (never raises it above what the CPU supports) so tests can run
// every kernel variant on one machine. Not for concurrent use with running kernels.
void limitVectorLevel(VectorLevel level) noexcept;

}  // namespace detail

}  // namespace zk::core
