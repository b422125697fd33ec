#include "allocation_counter.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>

namespace {

// Live AllocationCounter scopes; read by every allocation on any thread.
std::atomic<int> activeScopes{0};
// Allocations and bytes requested while a scope was live; written by any allocating thread.
std::atomic<std::uint64_t> allocationCount{0};
std::atomic<std::uint64_t> allocatedBytes{0};

void note(std::size_t size) {
    if (activeScopes.load(std::memory_order_relaxed) > 0) {
        allocationCount.fetch_add(1, std::memory_order_relaxed);
        allocatedBytes.fetch_add(size, std::memory_order_relaxed);
    }
}

void* allocate(std::size_t size) {
    note(size);
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}

void* allocateAligned(std::size_t size, std::align_val_t alignment) {
    note(size);
    const auto align = std::max(static_cast<std::size_t>(alignment), sizeof(void*));
    void* p = nullptr;
    if (posix_memalign(&p, align, size == 0 ? 1 : size) == 0) {
        return p;
    }
    throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new(std::size_t size, std::align_val_t alignment) { return allocateAligned(size, alignment); }
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return allocateAligned(size, alignment);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }

namespace zk::test {

AllocationCounter::AllocationCounter()
    : startAllocations_(allocationCount.load()), startBytes_(allocatedBytes.load()) {
    activeScopes.fetch_add(1);
}

AllocationCounter::~AllocationCounter() { activeScopes.fetch_sub(1); }

std::uint64_t AllocationCounter::allocations() const { return allocationCount.load() - startAllocations_; }

std::uint64_t AllocationCounter::bytes() const { return allocatedBytes.load() - startBytes_; }

}  // namespace zk::test
