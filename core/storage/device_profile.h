#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/storage/json_value.h"

namespace zk::core {

struct MicrophoneChannel {
    std::uint32_t logicalChannel = 0;
    std::uint32_t wireChannel = 0;
    double x = 0.0;  // metres, in the array's frame
    double y = 0.0;
    double z = 0.0;

    friend bool operator==(const MicrophoneChannel&, const MicrophoneChannel&) = default;
};

struct UdpStreamLayout {
    std::uint32_t bytesPerSample = 0;
    std::uint32_t samplesPerDatagram = 0;  // sample frames per datagram
    std::uint32_t datagramBytes = 0;       // payload bytes of one datagram
    std::string sampleEncoding;
    std::string byteOrder;
    std::string interleave;

    // Throws std::invalid_argument with the first failing layout rule.
    void validate(std::uint32_t wireChannelCount) const;

    friend bool operator==(const UdpStreamLayout&, const UdpStreamLayout&) = default;
};

struct CameraCalibration {
    std::string camera;
    std::uint32_t width = 0;  // pixels
    std::uint32_t height = 0;
    std::vector<double> cameraMatrix;  // empty, or 3 x 3 row by row
    std::vector<double> distortion;
    double hfovDeg = 0.0;  // 0 when not given
    double vfovDeg = 0.0;

    friend bool operator==(const CameraCalibration&, const CameraCalibration&) = default;
};

struct FirPreset {
    std::string id;
    double bandLowHz = 0.0;
    double bandHighHz = 0.0;
    bool factory = false;
    std::vector<std::int32_t> coefficients;  // exactly taps entries
    // False when the file gave a coefficient outside the signed 32-bit range (kept as its low 32
    // bits): such a preset is never imported nor written to a device.
    bool coefficientsInRange = true;

    friend bool operator==(const FirPreset&, const FirPreset&) = default;
};

struct FirConfig {
    std::uint32_t sampleRateHz = 0;
    std::uint32_t taps = 0;
    std::vector<FirPreset> presets;

    friend bool operator==(const FirConfig&, const FirConfig&) = default;
};

struct DeviceProfile {
    std::uint32_t schemaVersion = 0;
    std::string profileId;
    std::string model;
    std::string hardwareVersion;
    std::string modelCode;  // decimal text of the integer model code
    std::uint32_t channelCount = 0;
    std::uint32_t wireChannelCount = 0;
    std::uint32_t sampleRateHz = 0;
    std::vector<MicrophoneChannel> microphones;  // sorted: entry i has logicalChannel i
    std::vector<std::uint32_t> logicalToWire;    // entry i is the wire channel of logical channel i
    std::optional<UdpStreamLayout> udp;
    std::optional<CameraCalibration> camera;
    std::optional<FirConfig> fir;

    // The consistency test applied before a profile is used; cheaper than a full parse and without
    // the payload limit, microphone range, camera or FIR checks.
    bool isValid() const;

    friend bool operator==(const DeviceProfile&, const DeviceProfile&) = default;
};

// Largest IPv4 UDP payload in bytes.
inline constexpr std::uint64_t kMaxUdpPayloadBytes = 65507;

// wireChannelCount x 2 x samplesPerDatagram; saturates at UINT64_MAX instead of wrapping, so a
// product past 64 bits can never pass for a small payload.
std::uint64_t udpPayloadBytes(std::uint32_t wireChannelCount, std::uint32_t samplesPerDatagram);

// Largest profile file read: a profile of thousands of microphones with FIR presets stays far below.
inline constexpr std::size_t kMaxDeviceProfileBytes = std::size_t{4} << 20;

// Reads the whole file and parses it; std::runtime_error "cannot open device profile" when the file
// cannot be opened or read, std::invalid_argument "device profile file exceeds 4 MiB" past the bound.
DeviceProfile loadDeviceProfile(const std::filesystem::path& path);
// Returns a fully validated profile or throws (std::invalid_argument for content rules,
// std::runtime_error for JSON shape faults).
DeviceProfile parseDeviceProfile(std::string_view text);

// std::invalid_argument "FIR preset coefficient outside the signed 32-bit range" when a preset of the
// profile holds such a coefficient. The parser itself accepts them, so that a stored Measurement whose
// frozen profile holds one still reads; a profile being imported or a preset being written to a
// device is checked here.
void requireFirCoefficientsInRange(const DeviceProfile& profile);

UdpStreamLayout parseUdpStreamLayout(const JsonValue& object, std::uint32_t wireChannelCount);
UdpStreamLayout parseLegacyWireLayout(const JsonValue& object, std::uint32_t wireChannelCount);
CameraCalibration parseCameraCalibration(const JsonValue& object);
FirConfig parseFirConfig(const JsonValue& object);

}  // namespace zk::core
