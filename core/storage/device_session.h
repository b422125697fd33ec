#pragma once

#include <cstdint>
#include <optional>

#include "core/storage/device_profile.h"

namespace zk::core {

// Holds the working device profile and the frozen copy used while running. No lock: its owner calls
// it from one thread. Every refusal throws before anything changes.
class DeviceSession {
  public:
    static constexpr std::int32_t kNoProfile = 0;
    static constexpr std::int32_t kValidated = 1;
    static constexpr std::int32_t kRunning = 2;

    // std::logic_error while running; std::invalid_argument when the profile is not valid.
    void importProfile(DeviceProfile profile);
    void start();
    void stop();
    // std::logic_error "runtime config is not active" unless running.
    const DeviceProfile& runtimeConfig() const;
    bool hasProfile() const { return profile_.has_value(); }
    std::int32_t state() const { return state_; }

  private:
    std::optional<DeviceProfile> profile_;
    std::optional<DeviceProfile> runtimeConfig_;
    std::int32_t state_ = kNoProfile;
};

}  // namespace zk::core
