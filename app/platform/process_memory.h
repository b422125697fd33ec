#pragma once

#include <cstdint>

namespace zk::app::platform {

// Gives free heap memory back to the operating system where the allocator holds on to it.
void trimHeap() noexcept;

// Has blocks of 1 MiB and more (steering tables, point-spread matrices, sample and image buffers) come
// from the operating system and go straight back to it when freed, rather than being kept in the heap
// between smaller blocks that no trim can return. Call once at start, before any other thread runs.
void limitHeapRetention() noexcept;

// The process's resident memory in bytes; 0 when the platform cannot tell.
std::uint64_t residentSetBytes() noexcept;

}  // namespace zk::app::platform
