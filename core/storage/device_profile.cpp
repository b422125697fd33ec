#include "core/storage/device_profile.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <unordered_set>

#include "core/storage/file_io.h"
#include "core/storage/json_reader.h"

namespace zk::core {

namespace {

// Low 32 bits of the truncated integer, as the format defines for every count.
std::uint32_t readU32(const JsonValue& value) { return static_cast<std::uint32_t>(value.asInteger()); }

bool layoutIsConsistent(const UdpStreamLayout& layout, std::uint32_t wireChannelCount) {
    return layout.bytesPerSample == 2 && layout.samplesPerDatagram != 0 &&
           layout.datagramBytes == udpPayloadBytes(wireChannelCount, layout.samplesPerDatagram) &&
           layout.sampleEncoding == "signed-int16" && layout.byteOrder == "little-endian" &&
           layout.interleave == "sample-major";
}

void readMicrophones(const JsonValue& list, DeviceProfile& profile) {
    if (list.asArray().size() != profile.channelCount) {
        throw std::invalid_argument("microphone count must equal channelCount");
    }
    // Both seen-sets are bounded by the number of microphones actually listed, never by a count
    // read from the file, so a huge wireChannelCount cannot ask for memory up front.
    std::vector<bool> logicalSeen(profile.channelCount, false);
    std::unordered_set<std::uint32_t> wireSeen;
    wireSeen.reserve(profile.channelCount);
    profile.logicalToWire.assign(profile.channelCount, 0);
    profile.microphones.reserve(profile.channelCount);

    for (const JsonValue& entry : list.asArray()) {
        entry.asObject();
        MicrophoneChannel mic;
        mic.logicalChannel = readU32(entry.at("logicalChannel"));
        mic.wireChannel = readU32(entry.at("wireChannel"));
        mic.x = entry.at("x").finiteNumber("microphone.x");
        mic.y = entry.at("y").finiteNumber("microphone.y");
        mic.z = entry.at("z").finiteNumber("microphone.z");
        if (mic.logicalChannel >= profile.channelCount)
            throw std::invalid_argument("logicalChannel out of range");
        if (mic.wireChannel >= profile.wireChannelCount)
            throw std::invalid_argument("wireChannel out of range");
        if (logicalSeen[mic.logicalChannel]) throw std::invalid_argument("duplicate logicalChannel");
        if (!wireSeen.insert(mic.wireChannel).second) throw std::invalid_argument("duplicate wireChannel");
        logicalSeen[mic.logicalChannel] = true;
        profile.logicalToWire[mic.logicalChannel] = mic.wireChannel;
        profile.microphones.push_back(mic);
    }

    if (std::find(logicalSeen.begin(), logicalSeen.end(), false) != logicalSeen.end()) {
        throw std::invalid_argument("logical channels must cover the full range");
    }
    // The wire channels seen are distinct and below wireChannelCount, so they cover the range exactly
    // when there are wireChannelCount of them.
    if (wireSeen.size() != profile.wireChannelCount) {
        throw std::invalid_argument("wire channels must cover the full range");
    }
    std::sort(profile.microphones.begin(), profile.microphones.end(),
              [](const MicrophoneChannel& a, const MicrophoneChannel& b) {
                  return a.logicalChannel < b.logicalChannel;
              });
}

}  // namespace

std::uint64_t udpPayloadBytes(std::uint32_t wireChannelCount, std::uint32_t samplesPerDatagram) {
    // Two u32 factors fit in 64 bits; only the doubling can overflow.
    const std::uint64_t frames = std::uint64_t{wireChannelCount} * samplesPerDatagram;
    if (frames > std::numeric_limits<std::uint64_t>::max() / 2)
        return std::numeric_limits<std::uint64_t>::max();
    return frames * 2;
}

bool DeviceProfile::isValid() const {
    if (schemaVersion == 0 || profileId.empty()) return false;
    if (channelCount == 0 || wireChannelCount == 0 || sampleRateHz == 0) return false;
    if (microphones.size() != channelCount || logicalToWire.size() != channelCount) return false;
    return !udp || layoutIsConsistent(*udp, wireChannelCount);
}

DeviceProfile loadDeviceProfile(const std::filesystem::path& path) {
    static_assert(kMaxDeviceProfileBytes == std::size_t{4} << 20, "the message names the bound");
    std::string text;
    switch (readFileBounded(path, kMaxDeviceProfileBytes, text)) {
        case FileReadStatus::Ok:
            return parseDeviceProfile(text);
        case FileReadStatus::TooLarge:
            throw std::invalid_argument("device profile file exceeds 4 MiB");
        case FileReadStatus::CannotOpen:
        case FileReadStatus::ReadFailed:
            break;
    }
    // A path that opens but cannot be read (a directory here, refused at open elsewhere) is as unusable
    // as one that does not open; a short read must never reach the parser as a complete document.
    throw std::runtime_error("cannot open device profile");
}

DeviceProfile parseDeviceProfile(std::string_view text) {
    const JsonValue root = parseJsonDocument(text);
    if (root.kind() != JsonKind::Object) throw std::invalid_argument("device profile root must be an object");

    DeviceProfile profile;
    profile.schemaVersion = readU32(root.at("schemaVersion"));
    if (profile.schemaVersion != 2) {
        throw std::invalid_argument("only device profile schemaVersion 2 is currently supported");
    }
    profile.profileId = root.at("profileId").asString();
    if (profile.profileId.empty()) throw std::invalid_argument("profileId must not be empty");

    const JsonValue& device = root.at("device");
    profile.model = device.at("model").asString();
    profile.hardwareVersion = device.at("hardwareVersion").asString();
    profile.modelCode = std::to_string(device.at("modelCode").asInteger());
    profile.channelCount = readU32(device.at("channelCount"));
    profile.wireChannelCount = readU32(device.at("wireChannelCount"));
    profile.sampleRateHz = readU32(device.at("sampleRateHz"));
    if (profile.channelCount == 0 || profile.wireChannelCount == 0 || profile.sampleRateHz == 0) {
        throw std::invalid_argument("channelCount, wireChannelCount, sampleRateHz must be positive");
    }

    if (root.contains("udp")) {
        profile.udp = parseUdpStreamLayout(root.at("udp"), profile.wireChannelCount);
    } else if (device.contains("wire")) {
        profile.udp = parseLegacyWireLayout(device.at("wire"), profile.wireChannelCount);
    }

    readMicrophones(root.at("array").at("microphones"), profile);

    if (root.contains("camera")) profile.camera = parseCameraCalibration(root.at("camera"));
    if (root.contains("fir")) profile.fir = parseFirConfig(root.at("fir"));

    if (!profile.isValid()) throw std::invalid_argument("device profile failed final validation");
    return profile;
}

}  // namespace zk::core
