#include "core/signal/spectral_framer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "allocation_counter.h"
#include "core/platform/cpu_features.h"
#include "core/signal/fft.h"
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

TEST(SpectralFramer, SizesWithoutWindowEnergyOrBeyondTheBoundAreRefused) {
    const std::string invalid = "invalid spectral frame/hop size";
    // The two-point Hann window is all zero, so its scale would be 1/0.
    expectThrowExactly<std::invalid_argument>([] { SpectralFramer framer(2, 1); }, invalid);
    expectThrowExactly<std::invalid_argument>([] { SpectralFramer framer(2, 2); }, invalid);
    const std::uint64_t huge = std::uint64_t{1} << 40;
    expectThrowExactly<std::invalid_argument>([=] { SpectralFramer framer(huge, 1); }, invalid);
    expectThrowExactly<std::invalid_argument>([=] { SpectralFramer framer(huge, huge); }, invalid);
    expectThrowExactly<std::invalid_argument>([] { SpectralFramer framer(kMaxSpectralFrameSize * 2, 1); },
                                              invalid);
    const SpectralFramer largest(kMaxSpectralFrameSize, kMaxSpectralFrameSize);
    EXPECT_GT(largest.amplitudeScale(), 0.0);
    // Counts that no stream of that size can match are refused or give no frame, without allocating.
    const SpectralFramer framer(4, 4);
    const zk::test::AllocationCounter counter;
    EXPECT_TRUE(framer.frame(std::span<const std::int16_t>(), huge).empty());
    EXPECT_EQ(counter.allocations(), 0u);
}

// The transform of one channel through fftRadix2, straight from the framing steps.
std::vector<std::complex<double>> fftOfChannel(const SpectralFramer& framer,
                                               const std::vector<std::int16_t>& samples, std::size_t channels,
                                               std::size_t channel, std::size_t start) {
    const std::size_t n = framer.frameSize();
    double sum = 0.0;
    for (std::size_t k = 0; k < n; ++k) {
        sum += samples[(start + k) * channels + channel];
    }
    const double mean = sum / static_cast<double>(n);
    std::vector<std::complex<double>> buffer(n);
    for (std::size_t k = 0; k < n; ++k) {
        buffer[k] =
            (samples[(start + k) * channels + channel] - mean) * framer.window()[k] * framer.amplitudeScale();
    }
    return fftRadix2(std::move(buffer));
}

// The real-input transform agrees with the complex transform of the same windowed channel to within a few
// roundings per stage, for every size and for batches that fill the vector lanes only partly.
TEST(SpectralFramer, MatchesTheComplexTransformOfEachChannel) {
    std::mt19937 rng(21);
    for (std::size_t n = 4; n <= 4096; n *= 2) {
        for (std::size_t channels : {1u, 3u, 9u, 17u}) {
            const SpectralFramer framer(n, n / 2);
            const std::vector<std::int16_t> samples = randomSamples((n + n / 2) * channels, rng);
            const std::vector<SpectralFrame> frames = framer.frame(samples, channels);
            ASSERT_EQ(frames.size(), 2u);
            for (std::size_t f = 0; f < frames.size(); ++f) {
                for (std::size_t c = 0; c < channels; ++c) {
                    const auto reference = fftOfChannel(framer, samples, channels, c, f * n / 2);
                    double error = 0.0;
                    double energy = 0.0;
                    for (std::size_t k = 0; k < n; ++k) {
                        error += std::norm(frames[f].spectra[c][k] - reference[k]);
                        energy += std::norm(reference[k]);
                    }
                    const double bound =
                        1e-15 * (4.0 + std::log2(static_cast<double>(n)) + 0.02 * static_cast<double>(n));
                    EXPECT_LT(std::sqrt(error / energy), bound)
                        << "N " << n << " C " << channels << " c " << c;
                    // Real input: the negative frequencies are exact conjugates.
                    for (std::size_t k = 1; k < n; ++k) {
                        ASSERT_EQ(frames[f].spectra[c][n - k], std::conj(frames[f].spectra[c][k]))
                            << n << " " << k;
                    }
                }
            }
        }
    }
}

TEST(SpectralFramer, EveryVectorLevelGivesTheBaselineBits) {
    std::mt19937 rng(8);
    for (std::size_t n : {4u, 8u, 16u, 64u, 512u, 1024u}) {
        for (std::size_t channels : {1u, 2u, 5u, 16u, 21u}) {
            const SpectralFramer framer(n, n / 4);
            const std::vector<std::int16_t> samples = randomSamples(2 * n * channels, rng);
            detail::limitVectorLevel(VectorLevel::kBaseline);
            const std::vector<SpectralFrame> baseline = framer.frame(samples, channels);
            for (const VectorLevel level : {VectorLevel::kAvx2, VectorLevel::kAvx512}) {
                detail::limitVectorLevel(level);
                if (vectorLevel() != level) {
                    continue;  // not on this CPU or not in this build
                }
                const std::vector<SpectralFrame> frames = framer.frame(samples, channels);
                ASSERT_EQ(frames.size(), baseline.size());
                for (std::size_t f = 0; f < frames.size(); ++f) {
                    EXPECT_EQ(frames[f].spectra, baseline[f].spectra)
                        << vectorLevelName(level) << " N " << n << " C " << channels << " frame " << f;
                }
            }
        }
    }
    detail::limitVectorLevel(VectorLevel::kAvx512);
}

// The live hop: 128 channels, frame 1024, hop 512, framed again and again into the same frames.
TEST(SpectralFramer, FramingIntoKeptFramesAllocatesNothingAfterTheFirstHop) {
    std::mt19937 rng(31);
    const std::size_t channels = 128;
    const SpectralFramer framer(1024, 512);
    std::vector<std::vector<std::int16_t>> hops;
    for (int h = 0; h < 4; ++h) {
        hops.push_back(randomSamples(1024 * channels, rng));
    }
    std::vector<SpectralFrame> frames;
    framer.frameInto(hops[0], channels, frames);
    const std::complex<double>* storage = frames.at(0).spectra.at(77).data();
    {
        const zk::test::AllocationCounter counter;
        for (int round = 0; round < 3; ++round) {
            for (const auto& hop : hops) {
                framer.frameInto(hop, channels, frames);
            }
        }
        EXPECT_EQ(counter.allocations(), 0u);
    }
    EXPECT_EQ(frames.at(0).spectra.at(77).data(), storage);
    const std::vector<SpectralFrame> fresh = framer.frame(hops.back(), channels);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].spectra, fresh[0].spectra);
}

TEST(SpectralFramer, FrameIntoResizesKeptFramesToEachStream) {
    std::mt19937 rng(12);
    const SpectralFramer framer(16, 4);
    std::vector<SpectralFrame> frames;
    for (const auto& [perChannel, channels] :
         std::vector<std::pair<std::size_t, std::size_t>>{{28, 3}, {16, 3}, {24, 5}, {15, 2}, {20, 1}}) {
        const std::vector<std::int16_t> samples = randomSamples(perChannel * channels, rng);
        framer.frameInto(samples, channels, frames);
        const std::vector<SpectralFrame> expected = framer.frame(samples, channels);
        ASSERT_EQ(frames.size(), expected.size()) << perChannel << " x " << channels;
        for (std::size_t f = 0; f < frames.size(); ++f) {
            EXPECT_EQ(frames[f].frameSize, 16u);
            EXPECT_EQ(frames[f].channelCount, channels);
            EXPECT_EQ(frames[f].spectra, expected[f].spectra);
        }
    }
    // A refused stream leaves the kept frames as they were.
    const std::vector<std::int16_t> samples = randomSamples(20 * 2, rng);
    framer.frameInto(samples, 2, frames);
    const std::vector<SpectralFrame> before = frames;
    EXPECT_THROW(framer.frameInto(std::span(samples).first(39), 2, frames), std::invalid_argument);
    ASSERT_EQ(frames.size(), before.size());
    EXPECT_EQ(frames[0].spectra, before[0].spectra);
}

// Two threads framing with one framer: one of them uses the framer's scratch, the other its own.
TEST(SpectralFramer, OneFramerServesSeveralThreads) {
    std::mt19937 rng(4);
    const SpectralFramer framer(256, 128);
    const std::vector<std::int16_t> a = randomSamples(1024 * 20, rng);
    const std::vector<std::int16_t> b = randomSamples(1024 * 3, rng);
    const std::vector<SpectralFrame> expectedA = framer.frame(a, 20);
    const std::vector<SpectralFrame> expectedB = framer.frame(b, 3);
    bool sameA = true;
    bool sameB = true;
    std::thread first([&] {
        std::vector<SpectralFrame> frames;
        for (int i = 0; i < 20; ++i) {
            framer.frameInto(a, 20, frames);
            for (std::size_t f = 0; f < frames.size(); ++f) {
                sameA = sameA && frames[f].spectra == expectedA[f].spectra;
            }
        }
    });
    std::thread second([&] {
        std::vector<SpectralFrame> frames;
        for (int i = 0; i < 20; ++i) {
            framer.frameInto(b, 3, frames);
            for (std::size_t f = 0; f < frames.size(); ++f) {
                sameB = sameB && frames[f].spectra == expectedB[f].spectra;
            }
        }
    });
    first.join();
    second.join();
    EXPECT_TRUE(sameA);
    EXPECT_TRUE(sameB);
}

}  // namespace
}  // namespace zk::core
