#include <malloc.h>
#include <unistd.h>

#include <cstdio>

#include "app/platform/process_memory.h"

namespace zk::app::platform {

void trimHeap() noexcept { malloc_trim(0); }

std::uint64_t residentSetBytes() noexcept {
    // statm gives sizes in pages: total program size, then the resident set.
    std::FILE* file = std::fopen("/proc/self/statm", "r");
    if (file == nullptr) return 0;
    unsigned long long totalPages = 0;
    unsigned long long residentPages = 0;
    const int fields = std::fscanf(file, "%llu %llu", &totalPages, &residentPages);
    std::fclose(file);
    const long pageBytes = sysconf(_SC_PAGESIZE);
    if (fields != 2 || pageBytes <= 0) return 0;
    return static_cast<std::uint64_t>(residentPages) * static_cast<std::uint64_t>(pageBytes);
}

}  // namespace zk::app::platform
