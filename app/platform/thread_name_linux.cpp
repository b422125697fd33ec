#include <pthread.h>

#include <cstring>

#include "app/platform/thread_name.h"

namespace zk::app::platform {

void nameCurrentThread(const char* name) noexcept {
    // Linux refuses names past 15 characters plus the terminator, so a longer one is cut.
    char shortName[16] = {};
    std::strncpy(shortName, name, sizeof shortName - 1);
    pthread_setname_np(pthread_self(), shortName);
}

}  // namespace zk::app::platform
