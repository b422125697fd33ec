#pragma once

// A scripted sample source, synthetic arrays and plane waves, and a band matrix computed the slow way
// (a naive DFT of each Hann-windowed frame in double precision) for the band-matrix tests.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/signal/matrix_rows.h"
#include "core/storage/device_profile.h"
#include "core/streaming/raw_sample_source.h"

namespace zk::test {

using Complex = std::complex<double>;
using Position = std::array<double, 3>;

// Hands out stored wire frames in reads of at most maxChunk frames (0: as many as asked), and records
// what it was asked for. `forcedRead`, when set, is returned by the first read instead.
class ScriptedSource : public core::IRawSampleSource {
  public:
    ScriptedSource(std::vector<std::int16_t> samples, std::uint64_t wireChannels, std::uint64_t maxChunk = 0)
        : samples_(std::move(samples)), wireChannels_(wireChannels), maxChunk_(maxChunk) {}

    core::SourceKind kind() const override { return core::SourceKind::Replay; }
    void configure(const core::DeviceProfile&) override {}
    void start() override {}
    void stop() override {}

    std::vector<std::int16_t> readFrames(std::uint64_t frameCount) override {
        requests.push_back(frameCount);
        if (forcedRead) {
            std::vector<std::int16_t> out = std::move(*forcedRead);
            forcedRead.reset();
            return out;
        }
        const std::uint64_t total = samples_.size() / wireChannels_;
        std::uint64_t frames = std::min(frameCount, total - position_);
        if (maxChunk_ != 0) frames = std::min(frames, maxChunk_);
        const auto first = samples_.begin() + static_cast<std::ptrdiff_t>(position_ * wireChannels_);
        position_ += frames;
        return {first, first + static_cast<std::ptrdiff_t>(frames * wireChannels_)};
    }

    std::vector<std::uint64_t> requests;
    std::optional<std::vector<std::int16_t>> forcedRead;

  private:
    std::vector<std::int16_t> samples_;
    std::uint64_t wireChannels_;
    std::uint64_t maxChunk_;
    std::uint64_t position_ = 0;
};

// A profile text for microphones at the given positions (metres), wired in reverse order so that every
// read must go through the gather map.
inline std::string arrayProfileText(const std::vector<Position>& positions,
                                    std::uint32_t sampleRateHz = 48000) {
    const std::size_t m = positions.size();
    std::string mics;
    for (std::size_t i = 0; i < m; ++i) {
        mics += (i ? ",\n" : "") + std::string("{\"logicalChannel\": ") + std::to_string(i) +
                ", \"wireChannel\": " + std::to_string(m - 1 - i) +
                ", \"x\": " + std::to_string(positions[i][0]) +
                ", \"y\": " + std::to_string(positions[i][1]) +
                ", \"z\": " + std::to_string(positions[i][2]) + "}";
    }
    return "{\"schemaVersion\": 2, \"profileId\": \"T\", \"device\": {\"model\": \"M\", \"hardwareVersion\": "
           "\"H\", \"modelCode\": 1, \"channelCount\": " +
           std::to_string(m) + ", \"wireChannelCount\": " + std::to_string(m) +
           ", \"sampleRateHz\": " + std::to_string(sampleRateHz) + "}, \"array\": {\"microphones\": [" +
           mics + "]}}";
}

// Microphones scattered over a square of the given side in the plane z = 0 (a fixed seed), so a map
// has one main lobe and no grating lobes.
inline std::vector<Position> scatteredArray(std::size_t count, double sideM, unsigned seed = 7) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> coordinate(-sideM / 2, sideM / 2);
    std::vector<Position> out(count);
    for (Position& p : out) p = {coordinate(random), coordinate(random), 0.0};
    return out;
}

// A far-field sine from the camera direction (h, v) degrees: the direction (tan h, tan v, 1), normalised,
// reaches microphone r earlier by u.r / c, so its phase there leads by 2 pi f u.r / c.
struct PlaneWave {
    double frequencyHz = 0.0;
    double horizontalDeg = 0.0;
    double verticalDeg = 0.0;
    double amplitude = 0.0;  // int16 counts
    double phase = 0.0;
};

// Adds the waves and, when noiseAmplitude > 0, independent uniform noise to wire frames of the profile.
inline std::vector<std::int16_t> wireSamples(const core::DeviceProfile& profile, std::uint64_t frames,
                                             const std::vector<PlaneWave>& waves, double noiseAmplitude = 0.0,
                                             unsigned seed = 11, double speedOfSound = 343.0) {
    const std::size_t w = profile.wireChannelCount;
    std::vector<double> values(frames * w, 0.0);
    for (const PlaneWave& wave : waves) {
        const double tx = std::tan(wave.horizontalDeg * std::numbers::pi / 180);
        const double ty = std::tan(wave.verticalDeg * std::numbers::pi / 180);
        const double n = std::sqrt(1 + tx * tx + ty * ty);
        for (std::size_t m = 0; m < profile.microphones.size(); ++m) {
            const core::MicrophoneChannel& mic = profile.microphones[m];
            const double lead = (tx * mic.x + ty * mic.y + mic.z) / n / speedOfSound;
            for (std::uint64_t i = 0; i < frames; ++i) {
                const double t = static_cast<double>(i) / profile.sampleRateHz + lead;
                values[i * w + profile.logicalToWire[m]] +=
                    wave.amplitude * std::sin(2 * std::numbers::pi * wave.frequencyHz * t + wave.phase);
            }
        }
    }
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> noise(-noiseAmplitude, noiseAmplitude);
    std::vector<std::int16_t> out(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double v = values[i] + (noiseAmplitude > 0 ? noise(random) : 0.0);
        out[i] = static_cast<std::int16_t>(std::clamp(std::round(v), -32768.0, 32767.0));
    }
    return out;
}

// Per bin, sum over the spectral frames of the window of X X^H, X being the naive DFT of each logical
// channel's mean-free, Hann-windowed frame scaled by sqrt(2) / (sum w * 32768).
inline std::vector<core::MatrixRows> naiveBandMatrix(const std::vector<std::int16_t>& wire,
                                                     const core::DeviceProfile& profile,
                                                     std::uint64_t frameSize, std::uint64_t hop,
                                                     std::uint64_t windowStart, std::uint64_t windowFrames,
                                                     const std::vector<std::uint64_t>& bins,
                                                     std::uint64_t* frameCount = nullptr) {
    const std::size_t m = profile.channelCount;
    const std::size_t w = profile.wireChannelCount;
    std::vector<double> window(frameSize);
    double windowSum = 0;
    for (std::uint64_t i = 0; i < frameSize; ++i) {
        window[i] = 0.5 * (1 - std::cos(2 * std::numbers::pi * static_cast<double>(i) / (frameSize - 1)));
        windowSum += window[i];
    }
    const double scale = std::sqrt(2.0) / (windowSum * 32768.0);
    std::vector<core::MatrixRows> sums(bins.size(), core::MatrixRows(m, std::vector<Complex>(m)));
    std::vector<Complex> x(m);
    std::vector<double> frame(frameSize);
    std::uint64_t frames = 0;
    for (std::uint64_t start = 0; start + frameSize <= windowFrames; start += hop, ++frames) {
        for (std::size_t b = 0; b < bins.size(); ++b) {
            for (std::size_t c = 0; c < m; ++c) {
                double mean = 0;
                for (std::uint64_t i = 0; i < frameSize; ++i) {
                    frame[i] = wire[(windowStart + start + i) * w + profile.logicalToWire[c]];
                    mean += frame[i];
                }
                mean /= static_cast<double>(frameSize);
                Complex sum;
                for (std::uint64_t i = 0; i < frameSize; ++i) {
                    const double angle =
                        -2 * std::numbers::pi * static_cast<double>((i * bins[b]) % frameSize) / frameSize;
                    sum += (frame[i] - mean) * window[i] * scale * std::polar(1.0, angle);
                }
                x[c] = sum;
            }
            for (std::size_t r = 0; r < m; ++r)
                for (std::size_t c = 0; c < m; ++c) sums[b][r][c] += x[r] * std::conj(x[c]);
        }
    }
    if (frameCount != nullptr) *frameCount = frames;
    return sums;
}

// Largest element distance relative to the largest element of the reference.
inline double relativeDistance(const std::vector<core::MatrixRows>& a,
                               const std::vector<core::MatrixRows>& b) {
    EXPECT_EQ(a.size(), b.size());
    double worst = 0, largest = 0;
    for (std::size_t k = 0; k < std::min(a.size(), b.size()); ++k) {
        EXPECT_EQ(a[k].size(), b[k].size());
        for (std::size_t r = 0; r < std::min(a[k].size(), b[k].size()); ++r) {
            for (std::size_t c = 0; c < b[k][r].size(); ++c) {
                worst = std::max(worst, std::abs(a[k][r][c] - b[k][r][c]));
                largest = std::max(largest, std::abs(b[k][r][c]));
            }
        }
    }
    return worst / largest;
}

}  // namespace zk::test
