#include "allocation_counter.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>

// The link maps malloc, calloc and realloc of the test binary's own code to the __wrap_ functions below;
// __real_ reaches the C library (or a sanitizer's interceptor).
extern "C" {
void* __real_malloc(std::size_t size);
void* __real_calloc(std::size_t count, std::size_t size);
void* __real_realloc(void* p, std::size_t size);
}

namespace {

// Live AllocationCounter scopes; read by every allocation on any thread.
std::atomic<int> activeScopes{0};
// Allocations and bytes requested while a scope was live; written by any allocating thread.
std::atomic<std::uint64_t> allocationCount{0};
std::atomic<std::uint64_t> allocatedBytes{0};
// Direct malloc, calloc and realloc calls while a scope was live; written by any calling thread.
std::atomic<std::uint64_t> mallocCount{0};

void noteMalloc() {
    if (activeScopes.load(std::memory_order_relaxed) > 0) mallocCount.fetch_add(1, std::memory_order_relaxed);
}

void note(std::size_t size) {
    if (activeScopes.load(std::memory_order_relaxed) > 0) {
        allocationCount.fetch_add(1, std::memory_order_relaxed);
        allocatedBytes.fetch_add(size, std::memory_order_relaxed);
    }
}

void* allocate(std::size_t size) {
    note(size);
    if (void* p = __real_malloc(size == 0 ? 1 : size)) {
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

extern "C" {
void* __wrap_malloc(std::size_t size) {
    noteMalloc();
    return __real_malloc(size);
}
void* __wrap_calloc(std::size_t count, std::size_t size) {
    noteMalloc();
    return __real_calloc(count, size);
}
void* __wrap_realloc(void* p, std::size_t size) {
    noteMalloc();
    return __real_realloc(p, size);
}
}

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
    : startAllocations_(allocationCount.load()),
      startBytes_(allocatedBytes.load()),
      startMallocCalls_(mallocCount.load()) {
    activeScopes.fetch_add(1);
}

AllocationCounter::~AllocationCounter() { activeScopes.fetch_sub(1); }

std::uint64_t AllocationCounter::allocations() const { return allocationCount.load() - startAllocations_; }

std::uint64_t AllocationCounter::bytes() const { return allocatedBytes.load() - startBytes_; }

std::uint64_t AllocationCounter::mallocCalls() const { return mallocCount.load() - startMallocCalls_; }

}  // namespace zk::test
