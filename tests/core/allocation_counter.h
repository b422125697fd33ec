#pragma once

// Counts heap allocations made through the global operator new, on any thread, while an AllocationCounter
// is alive. The test binary replaces operator new (allocation_counter.cpp) to feed it.

#include <cstdint>

namespace zk::test {

class AllocationCounter {
  public:
    AllocationCounter();
    ~AllocationCounter();
    AllocationCounter(const AllocationCounter&) = delete;
    AllocationCounter& operator=(const AllocationCounter&) = delete;

    [[nodiscard]] std::uint64_t allocations() const;
    [[nodiscard]] std::uint64_t bytes() const;

  private:
    std::uint64_t startAllocations_;
    std::uint64_t startBytes_;
};

}  // namespace zk::test
