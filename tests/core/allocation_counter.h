#pragma once

// Counts heap allocations made through the global operator new, on any thread, while an AllocationCounter
// is alive. The test binary replaces operator new (allocation_counter.cpp) to feed it. Direct malloc,
// calloc and realloc calls from code linked into the test binary (Eigen makes those) are counted apart:
// the link wraps those symbols (tests/core/CMakeLists.txt); calls from shared libraries are not seen.

#include <cstdint>
#include <utility>

namespace zk::test {

class AllocationCounter {
  public:
    AllocationCounter();
    ~AllocationCounter();
    AllocationCounter(const AllocationCounter&) = delete;
    AllocationCounter& operator=(const AllocationCounter&) = delete;

    [[nodiscard]] std::uint64_t allocations() const;
    [[nodiscard]] std::uint64_t bytes() const;
    [[nodiscard]] std::uint64_t mallocCalls() const;

  private:
    std::uint64_t startAllocations_;
    std::uint64_t startBytes_;
    std::uint64_t startMallocCalls_;
};

struct AllocationCount {
    std::uint64_t calls = 0;
    std::uint64_t bytes = 0;
    std::uint64_t mallocCalls = 0;  // direct malloc, calloc and realloc calls, not those of operator new
};

// What fn allocated, on every thread, while it ran.
template <typename Fn>
AllocationCount allocationsDuring(Fn&& fn) {
    const AllocationCounter counter;
    std::forward<Fn>(fn)();
    return {counter.allocations(), counter.bytes(), counter.mallocCalls()};
}

}  // namespace zk::test
