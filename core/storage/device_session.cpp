#include "core/storage/device_session.h"

#include <stdexcept>

namespace zk::core {

void DeviceSession::importProfile(DeviceProfile profile) {
    if (state_ == kRunning) throw std::logic_error("cannot import a profile while running");
    if (!profile.isValid()) throw std::invalid_argument("device profile is not valid");
    profile_ = std::move(profile);
    runtimeConfig_.reset();
    state_ = kValidated;
}

void DeviceSession::start() {
    if (state_ != kValidated || !profile_) throw std::logic_error("start requires a validated profile");
    runtimeConfig_ = *profile_;
    state_ = kRunning;
}

void DeviceSession::stop() {
    if (state_ != kRunning) throw std::logic_error("stop requires a running session");
    runtimeConfig_.reset();
    state_ = kValidated;
}

const DeviceProfile& DeviceSession::runtimeConfig() const {
    if (!runtimeConfig_) throw std::logic_error("runtime config is not active");
    return *runtimeConfig_;
}

}  // namespace zk::core
