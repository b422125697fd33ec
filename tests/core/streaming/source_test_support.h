#pragma once

// Profiles and raw files for the sample source tests.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

#include "core/storage/device_profile.h"
#include "core/streaming/source_analysis.h"
#include "core/streaming/synthetic_source.h"

namespace zk::test {

// A valid profile of one microphone per position; logical channel m is carried by wire channel
// wireOf[m] of wireChannels (identity when wireOf is empty).
inline zk::core::DeviceProfile sourceProfile(const std::vector<zk::core::MicrophoneChannel>& positions,
                                             std::uint32_t wireChannels,
                                             const std::vector<std::uint32_t>& wireOf = {},
                                             std::uint32_t sampleRateHz = 48000) {
    zk::core::DeviceProfile p;
    p.schemaVersion = 2;
    p.profileId = "source-test";
    p.channelCount = static_cast<std::uint32_t>(positions.size());
    p.wireChannelCount = wireChannels;
    p.sampleRateHz = sampleRateHz;
    for (std::uint32_t m = 0; m < positions.size(); ++m) {
        const std::uint32_t wire = wireOf.empty() ? m : wireOf[m];
        p.microphones.push_back({m, wire, positions[m].x, positions[m].y, positions[m].z});
        p.logicalToWire.push_back(wire);
    }
    return p;
}

// wireChannels microphones on a line along x, 1 cm apart.
inline zk::core::DeviceProfile lineProfile(std::uint32_t wireChannels) {
    std::vector<zk::core::MicrophoneChannel> positions;
    for (std::uint32_t m = 0; m < wireChannels; ++m) positions.push_back({m, m, 0.01 * m, 0.0, 0.0});
    return sourceProfile(positions, wireChannels);
}

// count microphones on a Fermat spiral of the given radius in the plane z = 0: no two spacings repeat,
// so a map has no grating lobes.
inline std::vector<zk::core::MicrophoneChannel> spiralPositions(std::uint32_t count, double radiusM) {
    std::vector<zk::core::MicrophoneChannel> positions;
    const double golden = 2.399963229728653;  // pi (3 - sqrt 5)
    for (std::uint32_t k = 0; k < count; ++k) {
        const double r = radiusM * std::sqrt((k + 0.5) / count);
        positions.push_back({k, k, r * std::cos(k * golden), r * std::sin(k * golden), 0.0});
    }
    return positions;
}

// Writes the samples little-endian, then `extraBytes` bytes of 0x7F (an incomplete trailing frame).
inline void writeRawFile(const std::filesystem::path& path, const std::vector<std::int16_t>& samples,
                         std::size_t extraBytes = 0) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (const std::int16_t s : samples) {
        const auto u = static_cast<std::uint16_t>(s);
        const char bytes[2] = {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
        out.write(bytes, 2);
    }
    for (std::size_t i = 0; i < extraBytes; ++i) out.put(0x7F);
    ASSERT_TRUE(out.good());
}

// Distinct values for every sample of every frame, negative ones included.
inline std::vector<std::int16_t> countingSamples(std::size_t count) {
    std::vector<std::int16_t> samples(count);
    for (std::size_t i = 0; i < count; ++i) samples[i] = static_cast<std::int16_t>(i * 37 - 30000);
    return samples;
}

// A plane wave of 8000 counts arriving along the image-plane angles (x, y) at 343 m/s.
inline zk::core::SyntheticSourceSettings tangentWave(double frequencyHz, double angleXDeg, double angleYDeg) {
    zk::core::SyntheticSourceSettings s;
    s.frequencyHz = frequencyHz;
    s.speedOfSoundMps = 343.0;
    s.amplitude = 8000.0;
    s.tangentPlane = true;
    s.tangentAngleXDeg = angleXDeg;
    s.tangentAngleYDeg = angleYDeg;
    return s;
}

// The one-shot run's settings at a bin of its 256-point frame at 48 kHz.
inline zk::core::SourceAnalysisSettings oneShotAtBin(std::uint64_t bin) {
    zk::core::SourceAnalysisSettings s;
    s.bin = bin;
    s.frequencyHz = static_cast<double>(bin) * 48000.0 / 256.0;
    return s;
}

}  // namespace zk::test
