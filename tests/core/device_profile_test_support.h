#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/storage/device_profile.h"

namespace zk::test {

// Pieces of a profile text; each test changes the piece under test and keeps the rest valid.
struct ProfileText {
    std::string schemaVersion = "2";
    std::string profileId = "\"P-4\"";
    std::string modelCode = "2701";
    std::string channelCount = "4";
    std::string wireChannelCount = "4";
    std::string sampleRateHz = "48000";
    std::string deviceExtra;  // members appended inside "device", each starting with a comma
    std::string layout =
        R"("udp": {"bytesPerSample": 2, "samplesPerDatagram": 64, "datagramBytes": 512,
                   "sampleEncoding": "signed-int16", "byteOrder": "little-endian", "interleave": "sample-major"},)";
    std::vector<std::string> microphones = {
        R"({"logicalChannel": 0, "wireChannel": 2, "x": -0.05, "y": -0.05, "z": 0})",
        R"({"logicalChannel": 1, "wireChannel": 3, "x": 0.05, "y": -0.05, "z": 0})",
        R"({"logicalChannel": 2, "wireChannel": 0, "x": 0.05, "y": 0.05, "z": 0})",
        R"({"logicalChannel": 3, "wireChannel": 1, "x": -0.05, "y": 0.05, "z": 0.01})",
    };
    std::string extra;  // root members appended after "array", each starting with a comma

    std::string str() const {
        std::string mics;
        for (std::size_t i = 0; i < microphones.size(); ++i) mics += (i ? ",\n      " : "") + microphones[i];
        return "{\n  \"schemaVersion\": " + schemaVersion + ",\n  \"profileId\": " + profileId +
               ",\n  \"device\": {\"model\": \"M\", \"hardwareVersion\": \"H1\", \"modelCode\": " +
               modelCode + ", \"channelCount\": " + channelCount +
               ", \"wireChannelCount\": " + wireChannelCount + ", \"sampleRateHz\": " + sampleRateHz +
               deviceExtra + "},\n  " + layout + "\n  \"array\": {\"microphones\": [\n      " + mics + "]}" +
               extra + "\n}\n";
    }
};

// The exception's dynamic type and text, or "<none>".
struct Failure {
    std::string type;
    std::string message;
    bool operator==(const Failure&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Failure& f) {
    return out << f.type << ": " << f.message;
}

inline Failure parseFailure(const std::string& text) {
    try {
        zk::core::parseDeviceProfile(text);
    } catch (const std::invalid_argument& e) {
        return {"invalid_argument", e.what()};
    } catch (const std::runtime_error& e) {
        return {"runtime_error", e.what()};
    }
    return {"<none>", ""};
}

inline Failure invalid(std::string message) { return {"invalid_argument", std::move(message)}; }
inline Failure shape(std::string message) { return {"runtime_error", std::move(message)}; }

}  // namespace zk::test
