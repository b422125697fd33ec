#pragma once

// Profiles and raw files for the sample source tests.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

#include "core/storage/device_profile.h"

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

}  // namespace zk::test
