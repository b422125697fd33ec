#include "core/signal/spectral_framer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "test_support.h"

namespace zk::core {
namespace {

using zk::test::expectThrowExactly;

std::vector<std::int16_t> randomSamples(std::size_t count, std::mt19937& rng) {
    std::uniform_int_distribution<int> dist(-32768, 32767);
    std::vector<std::int16_t> samples(count);
    for (auto& s : samples) {
        s = static_cast<std::int16_t>(dist(rng));
    }
    return samples;
}

// Windowed, mean-free, scaled naive DFT of one channel of one frame, straight from the definitions.
std::vector<std::complex<double>> referenceSpectrum(const std::vector<std::int16_t>& samples,
                                                    std::size_t channels, std::size_t channel,
                                                    std::size_t start, std::size_t n) {
    const double pi = std::numbers::pi;
    double mean = 0.0;
    for (std::size_t k = 0; k < n; ++k) {
        mean += samples[(start + k) * channels + channel];
    }
    mean /= static_cast<double>(n);
    double windowSum = 0.0;
    std::vector<double> windowed(n);
    for (std::size_t k = 0; k < n; ++k) {
        const double w = 0.5 - 0.5 * std::cos(2.0 * pi * static_cast<double>(k) / static_cast<double>(n - 1));
        windowSum += w;
        windowed[k] = (samples[(start + k) * channels + channel] - mean) * w;
    }
    const double scale = std::sqrt(2.0) / (windowSum * 32768.0);
    std::vector<std::complex<double>> out(n);
    for (std::size_t bin = 0; bin < n; ++bin) {
        std::complex<double> sum = 0.0;
        for (std::size_t k = 0; k < n; ++k) {
            sum += windowed[k] *
                   std::polar(1.0, -2.0 * pi * static_cast<double>((k * bin) % n) / static_cast<double>(n));
        }
        out[bin] = sum * scale;
    }
    return out;
}

TEST(SpectralFramer, ConstructorRejectsBadSizes) {
    const auto make = [](std::uint64_t n, std::uint64_t h) {
        return [n, h] { SpectralFramer framer(n, h); };
    };
    expectThrowExactly<std::invalid_argument>(make(12, 4), "spectral frame size must be a power of two");
    expectThrowExactly<std::invalid_argument>(make(8, 9), "invalid spectral frame/hop size");
    expectThrowExactly<std::invalid_argument>(make(12, 13), "invalid spectral frame/hop size");
    expectThrowExactly<std::invalid_argument>(make(0, 1), "invalid spectral frame/hop size");
    expectThrowExactly<std::invalid_argument>(make(8, 0), "invalid spectral frame/hop size");
    EXPECT_NO_THROW(SpectralFramer(8, 8));
    EXPECT_NO_THROW(SpectralFramer(1, 1));
}

TEST(SpectralFramer, FrameRejectsIncompleteStreams) {
    const SpectralFramer framer(8, 4);
    const std::vector<std::int16_t> samples(15);
    expectThrowExactly<std::invalid_argument>([&] { (void)framer.frame(samples, 0); },
                                              "invalid interleaved logical sample stream");
    expectThrowExactly<std::invalid_argument>([&] { (void)framer.frame(samples, 2); },
                                              "invalid interleaved logical sample stream");
}

TEST(SpectralFramer, SymmetricHannWindowAndScale) {
    const std::uint64_t n = 64;
    const SpectralFramer framer(n, 32);
    const std::vector<double>& w = framer.window();
    ASSERT_EQ(w.size(), n);
    EXPECT_EQ(w.front(), 0.0);
    EXPECT_NEAR(w.back(), 0.0, 1e-15);
    for (std::uint64_t i = 0; i < n; ++i) {
        EXPECT_NEAR(w[i], w[n - 1 - i], 1e-15) << i;
    }
    // A symmetric Hann window of N points sums to (N - 1) / 2.
    EXPECT_NEAR(framer.amplitudeScale(), std::sqrt(2.0) / ((n - 1) / 2.0 * 32768.0), 1e-20);
    EXPECT_EQ(framer.frameSize(), n);
    EXPECT_EQ(framer.hop(), 32u);
}

TEST(SpectralFramer, FrameCountAndStarts) {
    const SpectralFramer framer(8, 4);
    EXPECT_TRUE(framer.frame(std::vector<std::int16_t>(7), 1).empty());
    EXPECT_EQ(framer.frame(std::vector<std::int16_t>(8), 1).size(), 1u);
    EXPECT_EQ(framer.frame(std::vector<std::int16_t>(16), 1).size(), 3u);

    for (std::uint64_t hop : {1u, 3u, 5u, 8u}) {
        const SpectralFramer f(8, hop);
        for (std::uint64_t s = 0; s < 40; ++s) {
            std::uint64_t expected = 0;
            for (std::uint64_t start = 0; start + 8 <= s; start += hop) {
                ++expected;
            }
            EXPECT_EQ(f.frame(std::vector<std::int16_t>(s * 2), 2).size(), expected) << hop << " " << s;
        }
    }

    // Frames start at 0, 4 and 8: each must equal the reference spectrum of its own window of samples.
    std::mt19937 rng(5);
    const std::size_t channels = 3;
    const std::vector<std::int16_t> samples =
        randomSamples(18 * channels, rng);  // 2 samples beyond the last frame
    const std::vector<SpectralFrame> frames = framer.frame(samples, channels);
    ASSERT_EQ(frames.size(), 3u);
    for (std::size_t f = 0; f < frames.size(); ++f) {
        EXPECT_EQ(frames[f].frameSize, 8u);
        EXPECT_EQ(frames[f].channelCount, channels);
        ASSERT_EQ(frames[f].spectra.size(), channels);
        for (std::size_t c = 0; c < channels; ++c) {
            const auto reference = referenceSpectrum(samples, channels, c, f * 4, 8);
            ASSERT_EQ(frames[f].spectra[c].size(), 8u);
            for (std::size_t k = 0; k < 8; ++k) {
                EXPECT_NEAR(std::abs(frames[f].spectra[c][k] - reference[k]), 0.0, 1e-14)
                    << "frame " << f << " channel " << c << " bin " << k;
            }
        }
    }
}

TEST(SpectralFramer, MatchesReferenceOnRandomMultichannelInput) {
    std::mt19937 rng(11);
    const std::size_t n = 64;
    const std::size_t channels = 5;
    const std::size_t hop = 24;
    const std::vector<std::int16_t> samples = randomSamples(200 * channels, rng);
    const std::vector<SpectralFrame> frames = SpectralFramer(n, hop).frame(samples, channels);
    ASSERT_EQ(frames.size(), (200 - n) / hop + 1);
    for (std::size_t f = 0; f < frames.size(); ++f) {
        for (std::size_t c = 0; c < channels; ++c) {
            const auto reference = referenceSpectrum(samples, channels, c, f * hop, n);
            for (std::size_t k = 0; k < n; ++k) {
                ASSERT_NEAR(std::abs(frames[f].spectra[c][k] - reference[k]), 0.0, 1e-13) << f << c << k;
            }
        }
    }
}

TEST(SpectralFramer, ConstantInputGivesZeroSpectrum) {
    const SpectralFramer framer(32, 16);
    for (std::int16_t value :
         {std::int16_t{0}, std::int16_t{-32768}, std::int16_t{1234}, std::int16_t{32767}}) {
        const std::vector<std::int16_t> samples(64 * 2, value);
        for (const SpectralFrame& frame : framer.frame(samples, 2)) {
            for (const auto& spectrum : frame.spectra) {
                for (const auto& v : spectrum) {
                    EXPECT_EQ(v, std::complex<double>(0.0, 0.0));
                }
            }
        }
    }
}

TEST(SpectralFramer, FullScaleSineAtBinCentre) {
    const std::size_t n = 1024;
    const std::size_t k0 = 100;
    std::vector<std::int16_t> samples(n);
    for (std::size_t i = 0; i < n; ++i) {
        samples[i] = static_cast<std::int16_t>(
            std::lround(32767.0 * std::sin(2.0 * std::numbers::pi * static_cast<double>(k0 * i) / n)));
    }
    const std::vector<SpectralFrame> frames = SpectralFramer(n, n).frame(samples, 1);
    ASSERT_EQ(frames.size(), 1u);
    const auto& x = frames[0].spectra[0];
    const double peak = std::abs(x[k0]);
    EXPECT_NEAR(peak, 1.0 / std::sqrt(2.0) * 32767.0 / 32768.0, 1e-3);
    // Hann leakage: the neighbouring bins carry about half the peak, bins further out almost nothing.
    EXPECT_NEAR(std::abs(x[k0 - 1]) / peak, 0.5, 0.01);
    EXPECT_NEAR(std::abs(x[k0 + 1]) / peak, 0.5, 0.01);
    EXPECT_LT(std::abs(x[k0 + 3]) / peak, 1e-2);
    EXPECT_LT(std::abs(x[k0 + 50]) / peak, 1e-4);
    // A real input has a conjugate-symmetric spectrum.
    EXPECT_NEAR(std::abs(x[n - k0] - std::conj(x[k0])), 0.0, 1e-12);
}

TEST(SpectralFramer, ChannelParallelPathEqualsSerialPath) {
    std::mt19937 rng(42);
    const std::size_t channels = 20;
    const std::size_t perChannel = 700;
    const std::vector<std::int16_t> samples = randomSamples(perChannel * channels, rng);
    const SpectralFramer framer(256, 100);
    const std::vector<SpectralFrame> all = framer.frame(samples, channels);
    ASSERT_EQ(all.size(), (perChannel - 256) / 100 + 1);
    for (std::size_t c = 0; c < channels; ++c) {
        std::vector<std::int16_t> single(perChannel);
        for (std::size_t i = 0; i < perChannel; ++i) {
            single[i] = samples[i * channels + c];
        }
        const std::vector<SpectralFrame> alone = framer.frame(single, 1);
        ASSERT_EQ(alone.size(), all.size());
        for (std::size_t f = 0; f < all.size(); ++f) {
            EXPECT_EQ(all[f].spectra[c], alone[f].spectra[0]) << "channel " << c << " frame " << f;
        }
    }
}

TEST(SpectralFramer, FrameSizeOneUsesUnitWeight) {
    const SpectralFramer framer(1, 1);
    ASSERT_EQ(framer.window().size(), 1u);
    EXPECT_EQ(framer.window()[0], 1.0);
    EXPECT_DOUBLE_EQ(framer.amplitudeScale(), std::sqrt(2.0) / 32768.0);
    const std::vector<SpectralFrame> frames =
        framer.frame(std::vector<std::int16_t>{5, -7, 9, 300, -1, 0}, 2);
    ASSERT_EQ(frames.size(), 3u);
    for (const SpectralFrame& frame : frames) {
        ASSERT_EQ(frame.spectra.size(), 2u);
        for (const auto& spectrum : frame.spectra) {
            // A single sample is its own mean.
            EXPECT_EQ(spectrum, std::vector<std::complex<double>>{0.0});
        }
    }
}

}  // namespace
}  // namespace zk::core
