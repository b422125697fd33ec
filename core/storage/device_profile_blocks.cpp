#include <limits>
#include <stdexcept>

#include "core/storage/device_profile.h"

namespace zk::core {

namespace {

std::uint32_t readU32(const JsonValue& value) { return static_cast<std::uint32_t>(value.asInteger()); }

void fail(const char* message) { throw std::invalid_argument(message); }

}  // namespace

void UdpStreamLayout::validate(std::uint32_t wireChannelCount) const {
    if (bytesPerSample != 2) fail("UDP bytesPerSample must be 2 for the current int16 decoder");
    if (samplesPerDatagram == 0) fail("UDP samplesPerDatagram must be positive");
    if (sampleEncoding != "signed-int16") fail("UDP sampleEncoding must be signed-int16");
    if (byteOrder != "little-endian") fail("UDP byteOrder must be little-endian");
    if (interleave != "sample-major") fail("UDP interleave must be sample-major");
    const std::uint64_t payload = udpPayloadBytes(wireChannelCount, samplesPerDatagram);
    if (payload > kMaxUdpPayloadBytes) fail("UDP payload exceeds the maximum IPv4 UDP payload");
    if (datagramBytes != payload) {
        fail("UDP datagramBytes must equal wireChannelCount * bytesPerSample * samplesPerDatagram");
    }
}

UdpStreamLayout parseUdpStreamLayout(const JsonValue& object, std::uint32_t wireChannelCount) {
    UdpStreamLayout layout;
    layout.bytesPerSample = readU32(object.at("bytesPerSample"));
    layout.samplesPerDatagram = readU32(object.at("samplesPerDatagram"));
    layout.datagramBytes = readU32(object.at("datagramBytes"));
    layout.sampleEncoding = object.at("sampleEncoding").asString();
    layout.byteOrder = object.at("byteOrder").asString();
    layout.interleave = object.at("interleave").asString();
    layout.validate(wireChannelCount);
    return layout;
}

UdpStreamLayout parseLegacyWireLayout(const JsonValue& object, std::uint32_t wireChannelCount) {
    UdpStreamLayout layout;
    layout.datagramBytes = readU32(object.at("bytesPerDatagram"));
    layout.samplesPerDatagram = readU32(object.at("samplesPerDatagram"));
    if (object.at("sampleFormat").asString() != "int16le") fail("device.wire sampleFormat must be int16le");
    // The legacy name "channel-major" denotes the packing that the current name calls sample-major.
    if (object.at("interleave").asString() != "channel-major")
        fail("device.wire: only interleave channel-major");
    layout.bytesPerSample = 2;
    layout.sampleEncoding = "signed-int16";
    layout.byteOrder = "little-endian";
    layout.interleave = "sample-major";
    layout.validate(wireChannelCount);
    return layout;
}

CameraCalibration parseCameraCalibration(const JsonValue& object) {
    CameraCalibration camera;
    if (object.contains("camera")) camera.camera = object.at("camera").asString();

    const JsonValue& resolution = object.at("resolution");
    camera.width = readU32(resolution.at("width"));
    camera.height = readU32(resolution.at("height"));
    if (camera.width == 0 || camera.height == 0) fail("camera resolution must be positive");

    if (object.contains("cameraMatrix")) {
        const JsonValue& matrix = object.at("cameraMatrix");
        if (matrix.size() != 3) fail("cameraMatrix must have 3 rows");
        for (const JsonValue& row : matrix.asArray()) {
            if (row.size() != 3) fail("cameraMatrix row must have 3 columns");
            for (const JsonValue& entry : row.asArray()) {
                camera.cameraMatrix.push_back(entry.finiteNumber("cameraMatrix"));
            }
        }
    }
    if (object.contains("distortion")) {
        for (const JsonValue& entry : object.at("distortion").asArray()) {
            camera.distortion.push_back(entry.finiteNumber("distortion"));
        }
    }
    if (object.contains("hfovDeg")) camera.hfovDeg = object.at("hfovDeg").finiteNumber("hfovDeg");
    if (object.contains("vfovDeg")) camera.vfovDeg = object.at("vfovDeg").finiteNumber("vfovDeg");
    return camera;
}

FirConfig parseFirConfig(const JsonValue& object) {
    FirConfig fir;
    fir.sampleRateHz = readU32(object.at("sampleRateHz"));
    fir.taps = readU32(object.at("taps"));
    if (fir.sampleRateHz == 0 || fir.taps == 0) fail("FIR sample rate and taps must be positive");

    for (const JsonValue& entry : object.at("presets").asArray()) {
        entry.asObject();
        FirPreset preset;
        preset.id = entry.at("id").asString();
        preset.bandLowHz = entry.at("bandLowHz").asNumber();
        preset.bandHighHz = entry.at("bandHighHz").asNumber();
        preset.factory = entry.at("factory").asBool();
        const JsonValue& coefficients = entry.at("coefficients");
        if (coefficients.asArray().size() != fir.taps) {
            fail("FIR preset coefficient count does not match declared taps");
        }
        preset.coefficients.reserve(fir.taps);
        for (const JsonValue& c : coefficients.asArray()) {
            // Low 32 bits as for every count; the flag keeps a wrapped value from ever reaching a device.
            const std::int64_t value = c.asInteger();
            if (value < std::numeric_limits<std::int32_t>::min() ||
                value > std::numeric_limits<std::int32_t>::max()) {
                preset.coefficientsInRange = false;
            }
            preset.coefficients.push_back(static_cast<std::int32_t>(static_cast<std::uint32_t>(value)));
        }
        fir.presets.push_back(std::move(preset));
    }
    return fir;
}

void requireFirCoefficientsInRange(const DeviceProfile& profile) {
    if (!profile.fir) return;
    for (const FirPreset& preset : profile.fir->presets)
        if (!preset.coefficientsInRange) fail("FIR preset coefficient outside the signed 32-bit range");
}

}  // namespace zk::core
