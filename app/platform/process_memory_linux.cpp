#include <malloc.h>
#include <unistd.h>

#include <cstdio>

#include "app/platform/process_memory.h"

namespace zk::app::platform {

void trimHeap() noexcept { malloc_trim(0); }

void limitHeapRetention() noexcept {
    // A fixed threshold also stops glibc from raising it to the size of each large block freed, which
    // would send the next blocks of that size into the heap.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
}

std::uint64_t residentSetBytes() noexcept {
    std::FILE* file = std::fopen("/proc/self/statm", "r");
    if (file == nullptr) return 0;
    unsigned long long totalPages = 0;
    unsigned long long residentPages = 0;
    const int read = std::fscanf(file, "%llu %llu", &totalPages, &residentPages);
    std::fclose(file);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (read != 2 || pageSize <= 0) return 0;
    return residentPages * static_cast<std::uint64_t>(pageSize);
}

}  // namespace zk::app::platform
