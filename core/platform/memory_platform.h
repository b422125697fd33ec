#pragma once

#include <cstddef>

namespace zk::core {

// Asks the operating system to back [address, address + bytes) with large pages where it can. A hint
// only: it may do nothing, and it never fails. Large tables that are zero-filled at once (steering
// caches) fault in far fewer pages this way.
void adviseLargePages(void* address, std::size_t bytes) noexcept;

}  // namespace zk::core
