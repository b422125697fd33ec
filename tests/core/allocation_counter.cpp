#include "allocation_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<std::uint64_t> allocationCalls{0};  // every counted operator new, any thread
std::atomic<std::uint64_t> allocationBytes{0};  // the bytes they asked for

void* countedAllocate(std::size_t bytes) {
    allocationCalls.fetch_add(1, std::memory_order_relaxed);
    allocationBytes.fetch_add(bytes, std::memory_order_relaxed);
    return std::malloc(bytes == 0 ? 1 : bytes);
}

}  // namespace

namespace zk::test {

AllocationCount allocationsSoFar() {
    return {allocationCalls.load(std::memory_order_relaxed), allocationBytes.load(std::memory_order_relaxed)};
}

}  // namespace zk::test

// Every plain form is replaced together with its deletes, so memory never passes between this
// allocator and the library's (or a sanitizer's) own.
void* operator new(std::size_t bytes) {
    if (void* p = countedAllocate(bytes)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t bytes) {
    if (void* p = countedAllocate(bytes)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept { return countedAllocate(bytes); }
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept { return countedAllocate(bytes); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
