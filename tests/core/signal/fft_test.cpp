#include "core/signal/fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "allocation_counter.h"
#include "core/platform/cpu_features.h"
#include "test_support.h"

namespace zk::core {
namespace {

using Spectrum = std::vector<std::complex<double>>;

using zk::test::expectThrowExactly;

// O(N^2) reference in long double, with the exponent reduced modulo N so the angle stays exact.
Spectrum naiveDft(const Spectrum& x) {
    const std::size_t n = x.size();
    std::vector<std::complex<long double>> twiddle(n);
    for (std::size_t m = 0; m < n; ++m) {
        const long double angle = -2.0L * std::numbers::pi_v<long double> * static_cast<long double>(m) /
                                  static_cast<long double>(n);
        twiddle[m] = {std::cos(angle), std::sin(angle)};
    }
    Spectrum out(n);
    for (std::size_t k = 0; k < n; ++k) {
        std::complex<long double> sum = 0.0L;
        for (std::size_t j = 0; j < n; ++j) {
            sum += std::complex<long double>(x[j]) * twiddle[(j * k) % n];
        }
        out[k] = std::complex<double>(sum);
    }
    return out;
}

Spectrum randomSignal(std::size_t n, std::mt19937& rng) {
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    Spectrum x(n);
    for (auto& v : x) {
        v = {dist(rng), dist(rng)};
    }
    return x;
}

double norm2(const Spectrum& x) {
    double sum = 0.0;
    for (const auto& v : x) {
        sum += std::norm(v);
    }
    return std::sqrt(sum);
}

double relativeError(const Spectrum& got, const Spectrum& reference) {
    Spectrum diff(got.size());
    for (std::size_t k = 0; k < got.size(); ++k) {
        diff[k] = got[k] - reference[k];
    }
    return norm2(diff) / norm2(reference);
}

TEST(FftRadix2, SmallClosedForms) {
    const Spectrum impulse = fftRadix2({1.0, 0.0, 0.0, 0.0});
    for (const auto& v : impulse) {
        EXPECT_EQ(v, std::complex<double>(1.0, 0.0));
    }
    const Spectrum shifted = fftRadix2({0.0, 1.0, 0.0, 0.0});
    const Spectrum expected{{1.0, 0.0}, {0.0, -1.0}, {-1.0, 0.0}, {0.0, 1.0}};
    ASSERT_EQ(shifted.size(), 4u);
    for (std::size_t k = 0; k < 4; ++k) {
        EXPECT_NEAR(shifted[k].real(), expected[k].real(), 1e-15) << k;
        EXPECT_NEAR(shifted[k].imag(), expected[k].imag(), 1e-15) << k;
    }
    const Spectrum single = fftRadix2({{2.5, -3.0}});
    EXPECT_EQ(single, (Spectrum{{2.5, -3.0}}));
}

TEST(FftRadix2, RejectsLengthsThatAreNotPowersOfTwo) {
    for (std::size_t n : {0u, 3u, 6u, 12u, 1000u}) {
        expectThrowExactly<std::invalid_argument>([n] { (void)fftRadix2(Spectrum(n)); },
                                                  "transform size must be a power of two");
    }
}

TEST(FftRadix2, MatchesNaiveDftForEveryPowerOfTwoUpTo4096) {
    std::mt19937 rng(2024);
    for (std::size_t n = 1; n <= 4096; n *= 2) {
        const Spectrum x = randomSignal(n, rng);
        const Spectrum reference = naiveDft(x);
        // The twiddle recurrence accumulates about one rounding per step, so the bound grows with N.
        const double relative = relativeError(fftRadix2(x), reference);
        const double bound =
            1e-15 * (4.0 + std::log2(static_cast<double>(n)) + 0.02 * static_cast<double>(n));
        EXPECT_LT(relative, bound) << "N = " << n;
    }
}

TEST(FftRadix2, ParsevalHoldsForLargeSizes) {
    std::mt19937 rng(99);
    for (std::size_t n : {1024u, 16384u, 65536u}) {
        const Spectrum x = randomSignal(n, rng);
        const double timeEnergy = norm2(x) * norm2(x);
        const Spectrum spectrum = fftRadix2(x);
        const double freqEnergy = norm2(spectrum) * norm2(spectrum);
        EXPECT_NEAR(freqEnergy / (static_cast<double>(n) * timeEnergy), 1.0, 1e-12) << "N = " << n;
    }
}

TEST(FftRadix2, AlternatingSizesStayCorrect) {
    std::mt19937 rng(7);
    const Spectrum small = randomSignal(64, rng);
    const Spectrum large = randomSignal(512, rng);
    const Spectrum smallReference = naiveDft(small);
    const Spectrum largeReference = naiveDft(large);
    for (int round = 0; round < 3; ++round) {
        EXPECT_LT(relativeError(fftRadix2(small), smallReference), 1e-14) << round;
        EXPECT_LT(relativeError(fftRadix2(large), largeReference), 1e-13) << round;
    }
}

TEST(FftRadix2, ComplexExponentialLandsInOneBin) {
    const std::size_t n = 2048;
    const std::size_t k0 = 333;
    Spectrum x(n);
    for (std::size_t j = 0; j < n; ++j) {
        const double angle =
            2.0 * std::numbers::pi * static_cast<double>((j * k0) % n) / static_cast<double>(n);
        x[j] = {std::cos(angle), std::sin(angle)};
    }
    const Spectrum spectrum = fftRadix2(std::move(x));
    for (std::size_t k = 0; k < n; ++k) {
        const double expected = k == k0 ? static_cast<double>(n) : 0.0;
        EXPECT_NEAR(std::abs(spectrum[k]), expected, 1e-9) << k;
    }
}

TEST(FftRadix2, TwiddlesOfEverySizeUsedAreKept) {
    std::mt19937 rng(3);
    const Spectrum small = randomSignal(64, rng);
    const Spectrum large = randomSignal(512, rng);
    (void)fftRadix2(small);
    (void)fftRadix2(large);
    std::vector<Spectrum> inputs;
    for (int round = 0; round < 4; ++round) {
        inputs.push_back(small);
        inputs.push_back(large);
    }
    const zk::test::AllocationCounter counter;
    for (Spectrum& input : inputs) {
        input = fftRadix2(std::move(input));
    }
    // Switching sizes must not rebuild a table: the transforms ran in the moved-in buffers alone.
    EXPECT_EQ(counter.allocations(), 0u);
}

// Each vector level must return the baseline's bits: the kernels use the same products and sums.
TEST(FftRadix2, EveryVectorLevelMatchesTheBaselineExactly) {
    std::mt19937 rng(17);
    std::vector<Spectrum> inputs;
    for (std::size_t n = 1; n <= 8192; n *= 2) {
        inputs.push_back(randomSignal(n, rng));
    }
    detail::limitVectorLevel(VectorLevel::kBaseline);
    std::vector<Spectrum> baseline;
    for (const Spectrum& x : inputs) {
        baseline.push_back(fftRadix2(x));
    }
    for (VectorLevel level : {VectorLevel::kAvx2, VectorLevel::kAvx512}) {
        detail::limitVectorLevel(level);
        if (vectorLevel() != level) {
            continue;  // not on this CPU or not in this build
        }
        for (std::size_t i = 0; i < inputs.size(); ++i) {
            EXPECT_EQ(fftRadix2(inputs[i]), baseline[i])
                << vectorLevelName(level) << " N = " << inputs[i].size();
        }
    }
    detail::limitVectorLevel(VectorLevel::kAvx512);
}

// Threads starting on sizes no one has used yet race to build their tables.
TEST(FftRadix2, ConcurrentFirstUseOfManySizes) {
    std::mt19937 rng(5);
    std::vector<Spectrum> inputs;
    for (std::size_t n = 1u << 17; n <= (1u << 19); n *= 2) {  // sizes no other test uses
        inputs.push_back(randomSignal(n, rng));
    }
    std::vector<std::vector<Spectrum>> results(4);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < results.size(); ++t) {
        threads.emplace_back([&, t] {
            for (std::size_t i = 0; i < inputs.size(); ++i) {
                results[t].push_back(fftRadix2(inputs[(i + t) % inputs.size()]));
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (std::size_t t = 0; t < results.size(); ++t) {
        for (std::size_t i = 0; i < inputs.size(); ++i) {
            EXPECT_EQ(results[t][i], fftRadix2(inputs[(i + t) % inputs.size()])) << t << " " << i;
        }
    }
}

}  // namespace
}  // namespace zk::core
