#pragma once

// A small owner standing in for the UiController: the diagnostics records, their mutexes, the provider
// and a palette of its own, so tests never share state.

#include <QImage>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <numbers>
#include <numeric>
#include <span>
#include <vector>

#include "core/storage/device_profile.h"
#include "render/diagnostic_renderer.h"

namespace zk::render::test {

struct TestOwner {
    DiagnosticDisplaySettings settings;
    std::mutex diagnosticsMutex;
    DiagnosticsState state;
    std::mutex channelMeterMutex;
    ChannelMeters meters;
    DiagnosticOutputs outputs;
    DiagnosticImageProvider provider;
    PlotPalette palette;
    DiagnosticsContext context{settings, diagnosticsMutex, state,    channelMeterMutex,
                               meters,   outputs,          provider, palette};

    bool render(std::span<const std::int16_t> block, const core::DeviceProfile& profile, bool force = true,
                std::int64_t nowNs = 1'000'000'000) {
        return renderDiagnosticImages(context, block, profile, force, kDiagnosticSourceLive, nowNs);
    }
    QImage image(const char* id) { return provider.requestImage(QString::fromLatin1(id), nullptr, {}); }
};

// wire channels in, logicalToWire[k] feeding logical channel k.
inline core::DeviceProfile makeProfile(std::uint32_t wireChannels, std::vector<std::uint32_t> logicalToWire,
                                       std::uint32_t sampleRateHz) {
    core::DeviceProfile profile;
    profile.wireChannelCount = wireChannels;
    profile.channelCount = static_cast<std::uint32_t>(logicalToWire.size());
    profile.sampleRateHz = sampleRateHz;
    profile.logicalToWire = std::move(logicalToWire);
    return profile;
}

inline core::DeviceProfile identityProfile(std::uint32_t channels, std::uint32_t sampleRateHz) {
    std::vector<std::uint32_t> map(channels);
    std::iota(map.begin(), map.end(), 0u);
    return makeProfile(channels, std::move(map), sampleRateHz);
}

// frames x channels interleaved, with amplitude x sin(2 pi f n / rate) rounded into one channel.
inline std::vector<std::int16_t> sineBlock(std::size_t frames, std::size_t channels, std::size_t channel,
                                           double amplitude, double frequencyHz, double sampleRateHz,
                                           std::size_t firstFrame = 0) {
    std::vector<std::int16_t> block(frames * channels, 0);
    for (std::size_t f = 0; f < frames; ++f) {
        const double phase =
            2.0 * std::numbers::pi * frequencyHz * static_cast<double>(firstFrame + f) / sampleRateHz;
        block[f * channels + channel] = static_cast<std::int16_t>(std::lround(amplitude * std::sin(phase)));
    }
    return block;
}

// Column of the logarithmic frequency axis that holds frequencyHz, from the axis' definition.
inline int axisColumn(double frequencyHz, double sampleRateHz) {
    const double nyquist = sampleRateHz / 2.0;
    const double lowest = std::min(nyquist / 100.0, 100.0);
    return static_cast<int>(std::floor(820.0 * std::log(frequencyHz / lowest) / std::log(nyquist / lowest)));
}

// Topmost canvas row with any painted pixel in canvas column x, or -1 when the column is empty.
inline int topmostPainted(const QImage& image, int x) {
    for (int y = 0; y < image.height(); ++y) {
        if (qAlpha(image.pixel(x, y)) != 0) return y;
    }
    return -1;
}

}  // namespace zk::render::test
