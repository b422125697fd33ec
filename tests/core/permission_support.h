#pragma once

// File modes that bind when the tests run as root, as they do for any other user.

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace zk::test {

// Root passes every permission check through CAP_DAC_OVERRIDE; while alive, the calling thread runs
// without it (and without CAP_DAC_READ_SEARCH), so file modes bind as for any user. A no-op for
// other users.
class WithoutPermissionOverride {
  public:
    WithoutPermissionOverride() {
        header_.version = _LINUX_CAPABILITY_VERSION_3;
        header_.pid = 0;
        if (syscall(SYS_capget, &header_, saved_) != 0) return;
        __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        dropped_ = syscall(SYS_capset, &header_, reduced) == 0;
    }
    ~WithoutPermissionOverride() {
        if (dropped_) syscall(SYS_capset, &header_, saved_);
    }
    WithoutPermissionOverride(const WithoutPermissionOverride&) = delete;
    WithoutPermissionOverride& operator=(const WithoutPermissionOverride&) = delete;

  private:
    __user_cap_header_struct header_{};
    __user_cap_data_struct saved_[2]{};
    bool dropped_ = false;
};

}  // namespace zk::test
