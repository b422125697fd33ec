#include <sys/mman.h>

#include <cstdint>

#include "core/platform/memory_platform.h"

namespace zk::core {

void adviseLargePages(void* address, std::size_t bytes) noexcept {
    // madvise wants whole huge pages; the partial pages at both ends stay as they are.
    constexpr std::uintptr_t kHugePage = std::uintptr_t{1} << 21;
    const auto begin = reinterpret_cast<std::uintptr_t>(address);
    const std::uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t last = (begin + bytes) & ~(kHugePage - 1);
    if (last > first) {
        madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
    }
}

}  // namespace zk::core
