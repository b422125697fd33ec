#pragma once

#include <cstdint>
#include <vector>

#include "core/storage/device_profile.h"

namespace zk::core {

enum class SourceKind : std::uint8_t { Udp = 0, Replay = 1, Synthetic = 2 };

/// A producer of raw microphone samples: blocks of interleaved int16 wire frames in the array's wire
/// channel order (the live stream, a replayed Measurement, a simulation).
class IRawSampleSource {
  public:
    virtual ~IRawSampleSource() = default;

    [[nodiscard]] virtual SourceKind kind() const = 0;

    /// Copies the profile into the source; refused while the source is open or running.
    virtual void configure(const DeviceProfile& profile) = 0;

    /// Opens the stream; nothing happens when it is already open.
    virtual void start() = 0;

    /// Closes the stream; nothing happens when it is not open.
    virtual void stop() = 0;

    /// At most frameCount whole wire frames (frameCount x wireChannelCount samples or fewer),
    /// interleaved in wire order.
    [[nodiscard]] virtual std::vector<std::int16_t> readFrames(std::uint64_t frameCount) = 0;
};

}  // namespace zk::core
