#include "core/signal/spectral_framer.h"

#include <cmath>
#include <numbers>
#include <stdexcept>
#include <utility>

#include "core/signal/fft.h"
#include "core/detail/parallel_for.h"

namespace zk::core {

namespace {

// Channels of one frame go parallel from this count on; below it the team start-up costs more than it saves.
constexpr std::uint64_t kParallelChannelThreshold = 16;

void transformChannel(std::span<const std::int16_t> samples, std::uint64_t channelCount, std::uint64_t start,
                      std::uint64_t channel, const std::vector<double>& window, double scale,
                      std::vector<std::complex<double>>& spectrum) {
    const std::size_t n = window.size();
    const std::int16_t* x = samples.data() + start * channelCount + channel;
    double sum = 0.0;
    for (std::size_t k = 0; k < n; ++k) {
        sum += static_cast<double>(x[k * channelCount]);
    }
    const double mean = sum / static_cast<double>(n);
    std::vector<std::complex<double>> buffer;
    buffer.reserve(n);
    for (std::size_t k = 0; k < n; ++k) {
        buffer.emplace_back((static_cast<double>(x[k * channelCount]) - mean) * window[k] * scale, 0.0);
    }
    spectrum = fftRadix2(std::move(buffer));
}

void transformChannelsInParallel(std::span<const std::int16_t> samples, std::uint64_t channelCount,
                                 std::uint64_t start, const std::vector<double>& window, double scale,
                                 std::vector<std::vector<std::complex<double>>>& spectra) {
    detail::parallelFor(static_cast<std::int64_t>(channelCount), 4, [&](std::int64_t c) {
        transformChannel(samples, channelCount, start, static_cast<std::uint64_t>(c), window, scale,
                         spectra[static_cast<std::size_t>(c)]);
    });
}

}  // namespace

SpectralFramer::SpectralFramer(std::uint64_t frameSize, std::uint64_t hop)
    : frameSize_(frameSize), hop_(hop) {
    if (frameSize == 0 || hop == 0 || hop > frameSize) {
        throw std::invalid_argument("invalid spectral frame/hop size");
    }
    if ((frameSize & (frameSize - 1)) != 0) {
        throw std::invalid_argument("spectral frame size must be a power of two");
    }
    window_.resize(frameSize);
    if (frameSize == 1) {
        window_[0] = 1.0;
    } else {
        const double denominator = static_cast<double>(frameSize - 1);
        for (std::uint64_t i = 0; i < frameSize; ++i) {
            window_[i] =
                0.5 * (1.0 - std::cos(2.0 * std::numbers::pi * static_cast<double>(i) / denominator));
        }
    }
    double windowSum = 0.0;
    for (double w : window_) {
        windowSum += w;
    }
    amplitudeScale_ = std::numbers::sqrt2 / (windowSum * 32768.0);
}

std::vector<SpectralFrame> SpectralFramer::frame(std::span<const std::int16_t> samples,
                                                 std::uint64_t channelCount) const {
    if (channelCount == 0 || samples.size() % channelCount != 0) {
        throw std::invalid_argument("invalid interleaved logical sample stream");
    }
    const std::uint64_t perChannel = samples.size() / channelCount;
    if (perChannel < frameSize_) {
        return {};
    }
    const std::uint64_t frameCount = (perChannel - frameSize_) / hop_ + 1;

    std::vector<SpectralFrame> frames;
    frames.reserve(frameCount);
    for (std::uint64_t f = 0; f < frameCount; ++f) {
        SpectralFrame out{frameSize_, channelCount, {}};
        out.spectra.resize(channelCount);
        const std::uint64_t start = f * hop_;
        if (channelCount >= kParallelChannelThreshold) {
            transformChannelsInParallel(samples, channelCount, start, window_, amplitudeScale_, out.spectra);
        } else {
            for (std::uint64_t c = 0; c < channelCount; ++c) {
                transformChannel(samples, channelCount, start, c, window_, amplitudeScale_, out.spectra[c]);
            }
        }
        frames.push_back(std::move(out));
    }
    return frames;
}

}  // namespace zk::core
