#pragma once

#include <cstdint>
#include <vector>

#include "core/storage/device_profile.h"
#include "core/streaming/raw_sample_source.h"

namespace zk::core {

struct SyntheticSourceSettings {
    double frequencyHz = 0.0;  // must be positive
    double azimuthDeg = 0.0;
    double elevationDeg = 0.0;
    double speedOfSoundMps = 0.0;  // must be positive
    double amplitude = 0.0;        // peak value in int16 counts
    bool tangentPlane = false;     // arrive along the two image-plane angles instead of azimuth and elevation
    double tangentAngleXDeg = 0.0;
    double tangentAngleYDeg = 0.0;
};
static_assert(sizeof(SyntheticSourceSettings) == 64);

/// Simulates the array: one sine plane wave arriving from one direction at every microphone of the
/// profile, its phase running on across reads until the next configure. It does not pace itself, has no
/// lock and no thread: one thread at a time uses an instance.
class SyntheticSource final : public IRawSampleSource {
  public:
    /// std::invalid_argument "synthetic source frequency and speed of sound must be positive" unless both
    /// are positive and finite, "synthetic source amplitude and direction must be finite" for a NaN or an
    /// infinity in the amplitude or any of the four angles.
    explicit SyntheticSource(const SyntheticSourceSettings& settings);

    [[nodiscard]] SourceKind kind() const override { return SourceKind::Synthetic; }

    /// Copies the profile and starts the wave again at frame 0; allowed at any time.
    void configure(const DeviceProfile& profile) override;
    void start() override {}
    void stop() override {}

    /// frameCount wire frames of the wave: microphone m writes wire channel logicalToWire[m], the rest
    /// stay 0. std::logic_error "synthetic source requires a valid profile" (also for a wire index past
    /// the frame or a non-finite position), std::length_error for a count past the addressable size.
    [[nodiscard]] std::vector<std::int16_t> readFrames(std::uint64_t frameCount) override;

    [[nodiscard]] const SyntheticSourceSettings& settings() const { return settings_; }
    [[nodiscard]] std::uint64_t producedFrames() const { return producedFrames_; }

  private:
    SyntheticSourceSettings settings_;
    std::vector<double> phaseOffsets_;  // per microphone: 2 pi f (u . r) / c, from configure
    DeviceProfile profile_;
    std::uint64_t producedFrames_ = 0;
};

}  // namespace zk::core
