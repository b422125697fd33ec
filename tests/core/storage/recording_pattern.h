#pragma once

// A three-channel profile and a sample stream known to every process of a test (the test, a forked
// child, the driver program), so each can tell byte for byte what a Recording must hold.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zk::test {

inline constexpr std::uint32_t kPatternWire = 3;  // 6-byte frames: a 1 MiB buffer ends inside a frame

// The text ProfileText gives with three channels on wires 0 to 2 and no datagram layout, spelled out
// so the driver program needs no test library.
inline std::string threeChannelProfile() {
    return R"({
  "schemaVersion": 2,
  "profileId": "P-4",
  "device": {"model": "M", "hardwareVersion": "H1", "modelCode": 2701, "channelCount": 3, "wireChannelCount": 3, "sampleRateHz": 48000},
  
  "array": {"microphones": [
      {"logicalChannel": 0, "wireChannel": 0, "x": 0, "y": 0, "z": 0},
      {"logicalChannel": 1, "wireChannel": 1, "x": 0.1, "y": 0, "z": 0},
      {"logicalChannel": 2, "wireChannel": 2, "x": 0, "y": 0.1, "z": 0}]}
}
)";
}

// Sample k of the stream.
inline std::vector<std::int16_t> samplesFrom(std::uint64_t first, std::size_t count) {
    std::vector<std::int16_t> samples(count);
    for (std::size_t i = 0; i < count; ++i)
        samples[i] = static_cast<std::int16_t>(((first + i) * 2654435761u) >> 11);
    return samples;
}

inline std::string bytesOf(const std::vector<std::int16_t>& samples) {
    return std::string(reinterpret_cast<const char*>(samples.data()), samples.size() * sizeof(std::int16_t));
}

}  // namespace zk::test
