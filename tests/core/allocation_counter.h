#pragma once

// Counts every call of the global operator new (plain and array, on any thread) in the test binary,
// so a test can prove that a step allocates nothing. Aligned forms and direct malloc calls (Eigen
// makes those) are not counted.

#include <cstdint>
#include <utility>

namespace zk::test {

struct AllocationCount {
    std::uint64_t calls = 0;
    std::uint64_t bytes = 0;
};

AllocationCount allocationsSoFar();

// What fn allocated, on every thread, while it ran.
template <typename Fn>
AllocationCount allocationsDuring(Fn&& fn) {
    const AllocationCount before = allocationsSoFar();
    std::forward<Fn>(fn)();
    const AllocationCount after = allocationsSoFar();
    return {after.calls - before.calls, after.bytes - before.bytes};
}

}  // namespace zk::test
