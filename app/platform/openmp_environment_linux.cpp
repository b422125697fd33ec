#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "app/platform/openmp_environment.h"

namespace zk::app::platform {

void preferPassiveOpenMpWait(char** argv) noexcept {
    const char* current = std::getenv("OMP_WAIT_POLICY");
    if (current != nullptr && *current != '\0') return;
    if (setenv("OMP_WAIT_POLICY", "PASSIVE", 1) != 0) return;
    // libgomp parses its environment in a library constructor, before main (and before any hook of
    // the executable could set it), so the running image keeps spinning workers. The new image finds
    // the variable set and does not come here again; when exec fails, start-up goes on as it is.
    if (argv == nullptr || argv[0] == nullptr) return;
    execv("/proc/self/exe", argv);
}

}  // namespace zk::app::platform
