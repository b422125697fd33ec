#pragma once

#include <cstdint>

namespace zk::app::platform {

// Gives free heap memory back to the operating system where the allocator holds on to it.
void trimHeap() noexcept;

// The process's resident memory in bytes; 0 when the platform cannot tell.
std::uint64_t residentSetBytes() noexcept;

}  // namespace zk::app::platform
