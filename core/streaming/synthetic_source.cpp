#include "core/streaming/synthetic_source.h"

#include <cmath>
#include <numbers>
#include <stdexcept>
#include <utility>

namespace zk::core {

namespace {

struct ArrivalVector {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

double radians(double degrees) { return std::numbers::pi * degrees / 180.0; }

ArrivalVector arrivalVector(const SyntheticSourceSettings& s) {
    if (s.tangentPlane) {
        const double a = std::tan(radians(s.tangentAngleXDeg));
        const double b = std::tan(radians(s.tangentAngleYDeg));
        const double norm = std::sqrt(a * a + b * b + 1.0);
        return {a / norm, b / norm, 1.0 / norm};
    }
    const double az = radians(s.azimuthDeg);
    const double el = radians(s.elevationDeg);
    return {std::cos(az) * std::cos(el), std::sin(az) * std::cos(el), std::sin(el)};
}

// Saturates at the int16 range and truncates toward zero inside it. NaN, which only an overflowing
// phase can still produce, becomes 0 instead of an undefined conversion.
std::int16_t toSample(double value) {
    if (value >= 32767.0) return 32767;
    if (value <= -32768.0) return -32768;
    if (std::isnan(value)) return 0;
    return static_cast<std::int16_t>(value);
}

}  // namespace

SyntheticSource::SyntheticSource(const SyntheticSourceSettings& settings) : settings_(settings) {
    // NaN compares false, so "not above zero" refuses it; an infinity gets the same text.
    if (!(settings.frequencyHz > 0.0) || !(settings.speedOfSoundMps > 0.0) ||
        !std::isfinite(settings.frequencyHz) || !std::isfinite(settings.speedOfSoundMps)) {
        throw std::invalid_argument("synthetic source frequency and speed of sound must be positive");
    }
    for (const double value : {settings.amplitude, settings.azimuthDeg, settings.elevationDeg,
                               settings.tangentAngleXDeg, settings.tangentAngleYDeg}) {
        if (!std::isfinite(value)) {
            throw std::invalid_argument("synthetic source amplitude and direction must be finite");
        }
    }
}

void SyntheticSource::configure(const DeviceProfile& profile) {
    const ArrivalVector u = arrivalVector(settings_);
    std::vector<double> offsets;
    offsets.reserve(profile.microphones.size());
    for (const MicrophoneChannel& mic : profile.microphones) {
        offsets.push_back(2.0 * std::numbers::pi * settings_.frequencyHz *
                          (u.x * mic.x + u.y * mic.y + u.z * mic.z) / settings_.speedOfSoundMps);
    }
    DeviceProfile copy = profile;
    profile_ = std::move(copy);
    phaseOffsets_ = std::move(offsets);
    producedFrames_ = 0;
}

std::vector<std::int16_t> SyntheticSource::readFrames(std::uint64_t frameCount) {
    const std::uint64_t wires = profile_.wireChannelCount;
    bool valid = profile_.isValid();
    for (std::size_t m = 0; valid && m < profile_.logicalToWire.size(); ++m) {
        // isValid leaves both unchecked: a wire index past the frame or a non-finite position.
        valid = profile_.logicalToWire[m] < wires && std::isfinite(phaseOffsets_[m]);
    }
    if (!valid) throw std::logic_error("synthetic source requires a valid profile");

    std::vector<std::int16_t> samples;
    if (frameCount > samples.max_size() / wires) throw std::length_error("synthetic read of too many frames");
    samples.assign(static_cast<std::size_t>(frameCount * wires), 0);

    const double amplitude = settings_.amplitude;
    const double timeStep = 2.0 * std::numbers::pi * settings_.frequencyHz;
    const double sampleRate = profile_.sampleRateHz;
    for (std::uint64_t i = 0; i < frameCount; ++i) {
        const double timePhase = timeStep * static_cast<double>(producedFrames_ + i) / sampleRate;
        std::int16_t* frame = samples.data() + i * wires;
        for (std::size_t m = 0; m < phaseOffsets_.size(); ++m) {
            frame[profile_.logicalToWire[m]] = toSample(amplitude * std::sin(phaseOffsets_[m] + timePhase));
        }
    }
    producedFrames_ += frameCount;
    return samples;
}

}  // namespace zk::core
