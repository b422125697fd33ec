#include "core/signal/cross_spectral_matrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/platform/cpu_features.h"
#include "test_support.h"

namespace zk::core {
namespace {

using Vec = std::vector<std::complex<double>>;
using Rows = std::vector<Vec>;

using zk::test::expectThrowExactly;

Vec randomVector(std::size_t m, std::mt19937& rng) {
    std::normal_distribution<double> dist(0.0, 3.0);
    Vec x(m);
    for (auto& v : x) {
        v = {dist(rng), dist(rng)};
    }
    return x;
}

// Brute-force x x^H on the full matrix, written with std::complex rather than split planes.
void naiveUpdate(Rows& r, const Vec& x, bool exponential, double alpha) {
    for (std::size_t i = 0; i < x.size(); ++i) {
        for (std::size_t j = 0; j < x.size(); ++j) {
            const std::complex<double> term = x[i] * std::conj(x[j]);
            r[i][j] = exponential ? alpha * r[i][j] + (1.0 - alpha) * term : r[i][j] + term;
        }
    }
}

void expectHermitianWithRealDiagonal(const Rows& rows) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i][i].imag(), 0.0) << "diagonal " << i;
        for (std::size_t j = 0; j < i; ++j) {
            EXPECT_EQ(rows[i][j], std::conj(rows[j][i])) << i << ", " << j;
        }
    }
}

void expectNear(const Rows& got, const Rows& expected, double relative) {
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        ASSERT_EQ(got[i].size(), expected[i].size());
        for (std::size_t j = 0; j < got.size(); ++j) {
            const double scale = std::sqrt(std::abs(expected[i][i]) * std::abs(expected[j][j])) + 1e-300;
            EXPECT_LE(std::abs(got[i][j] - expected[i][j]), relative * scale) << i << ", " << j;
        }
    }
}

Rows zeros(std::size_t m) { return Rows(m, Vec(m)); }

SpectralFrame makeFrame(std::size_t channels, std::size_t bins, std::mt19937& rng) {
    SpectralFrame frame{bins, channels, {}};
    for (std::size_t c = 0; c < channels; ++c) {
        frame.spectra.push_back(randomVector(bins, rng));
    }
    return frame;
}

TEST(CrossSpectralMatrix, ConstructionAndChecks) {
    expectThrowExactly<std::invalid_argument>([] { CrossSpectralMatrix m(0); },
                                              "matrix channel count must be non-zero");
    const CrossSpectralMatrix m(3);
    EXPECT_EQ(m.frameCount(), 0u);
    EXPECT_EQ(m.channelCount(), 3u);
    EXPECT_EQ(m.toRows(), zeros(3));
}

TEST(CrossSpectralMatrix, ChannelCountsBeyondTheBoundAreRefused) {
    for (std::uint64_t m : {kMaxMatrixChannels + 1, std::uint64_t{1} << 20, std::uint64_t{1} << 40,
                            std::numeric_limits<std::uint64_t>::max()}) {
        expectThrowExactly<std::invalid_argument>([m] { CrossSpectralMatrix matrix(m); },
                                                  "matrix channel count is too large");
    }
}

TEST(CrossSpectralMatrix, TwoChannelOuterProduct) {
    CrossSpectralMatrix m(2);
    m.addSpectrum(Vec{{1.0, 0.0}, {0.0, 1.0}});
    EXPECT_EQ(m.frameCount(), 1u);
    EXPECT_EQ(m.toRows(), (Rows{{{1.0, 0.0}, {0.0, -1.0}}, {{0.0, 1.0}, {1.0, 0.0}}}));
}

TEST(CrossSpectralMatrix, ExponentialSeedsThenAverages) {
    CrossSpectralMatrix m(2);
    m.setAveragingAlpha(0.5);
    m.addSpectrum(Vec{1.0, 0.0});
    EXPECT_EQ(m.toRows(), (Rows{{1.0, 0.0}, {0.0, 0.0}}));
    m.addSpectrum(Vec{0.0, 1.0});
    EXPECT_EQ(m.toRows(), (Rows{{0.5, 0.0}, {0.0, 0.5}}));
    EXPECT_EQ(m.frameCount(), 2u);
}

TEST(CrossSpectralMatrix, AlphaOutsideOpenIntervalIsRefusedAndKeepsPlainMode) {
    CrossSpectralMatrix m(1);
    for (double alpha : {0.0, 1.0, -0.5, 1.5, std::numeric_limits<double>::quiet_NaN()}) {
        expectThrowExactly<std::invalid_argument>([&] { m.setAveragingAlpha(alpha); },
                                                  "matrix alpha must be in (0, 1)");
    }
    m.addSpectrum(Vec{2.0});
    m.addSpectrum(Vec{3.0});
    EXPECT_EQ(m.toRows(), (Rows{{13.0}}));
}

TEST(CrossSpectralMatrix, PlainSumMatchesNaiveSumForManySizes) {
    std::mt19937 rng(314);
    // Sizes around the 16-wide and 8-wide steps exercise the vector bodies and the scalar tails.
    for (std::size_t m : {1u, 2u, 3u, 7u, 8u, 9u, 15u, 16u, 17u, 31u, 33u, 64u, 100u, 129u}) {
        CrossSpectralMatrix csm(m);
        Rows expected = zeros(m);
        for (int k = 0; k < 12; ++k) {
            const Vec x = randomVector(m, rng);
            csm.addSpectrum(x);
            naiveUpdate(expected, x, false, 0.0);
        }
        EXPECT_EQ(csm.frameCount(), 12u);
        const Rows rows = csm.toRows();
        expectNear(rows, expected, 1e-13);
        expectHermitianWithRealDiagonal(rows);
    }
}

TEST(CrossSpectralMatrix, ExponentialAverageMatchesNaiveRecurrence) {
    std::mt19937 rng(2718);
    for (std::size_t m : {1u, 5u, 8u, 12u, 16u, 23u, 128u}) {
        CrossSpectralMatrix csm(m);
        const double alpha = 0.83;
        csm.setAveragingAlpha(alpha);
        Rows expected = zeros(m);
        for (int k = 0; k < 20; ++k) {
            const Vec x = randomVector(m, rng);
            csm.addSpectrum(x);
            naiveUpdate(expected, x, k > 0, alpha);
        }
        const Rows rows = csm.toRows();
        expectNear(rows, expected, 1e-13);
        expectHermitianWithRealDiagonal(rows);
    }
}

TEST(CrossSpectralMatrix, FrameBinsAddOneOuterProductPerBinAndCountOnce) {
    std::mt19937 rng(8);
    const std::size_t m = 19;
    const SpectralFrame frame = makeFrame(m, 8, rng);
    CrossSpectralMatrix csm(m);
    csm.addFrameBins(frame, 3, 5);
    EXPECT_EQ(csm.frameCount(), 1u);
    Rows expected = zeros(m);
    for (std::size_t bin = 3; bin < 5; ++bin) {
        Vec x(m);
        for (std::size_t c = 0; c < m; ++c) {
            x[c] = frame.spectra[c][bin];
        }
        naiveUpdate(expected, x, false, 0.0);
    }
    expectNear(csm.toRows(), expected, 1e-13);
    csm.addFrameBins(frame, 7, 8);  // the last bin of the frame is in range
    EXPECT_EQ(csm.frameCount(), 2u);
}

TEST(CrossSpectralMatrix, FrameBinsChooseTheModeOncePerCall) {
    std::mt19937 rng(9);
    const std::size_t m = 21;
    const double alpha = 0.7;
    const SpectralFrame first = makeFrame(m, 16, rng);
    const SpectralFrame second = makeFrame(m, 16, rng);
    CrossSpectralMatrix csm(m);
    csm.setAveragingAlpha(alpha);
    csm.addFrameBins(first, 2, 6);     // seeds: a plain sum over all four bins
    csm.addFrameBins(second, 10, 13);  // averages: each bin decays the previous value again
    Rows expected = zeros(m);
    const auto column = [m](const SpectralFrame& f, std::size_t bin) {
        Vec x(m);
        for (std::size_t c = 0; c < m; ++c) {
            x[c] = f.spectra[c][bin];
        }
        return x;
    };
    for (std::size_t bin = 2; bin < 6; ++bin) {
        naiveUpdate(expected, column(first, bin), false, alpha);
    }
    for (std::size_t bin = 10; bin < 13; ++bin) {
        naiveUpdate(expected, column(second, bin), true, alpha);
    }
    EXPECT_EQ(csm.frameCount(), 2u);
    const Rows rows = csm.toRows();
    expectNear(rows, expected, 1e-13);
    expectHermitianWithRealDiagonal(rows);
}

TEST(CrossSpectralMatrix, InvalidUpdatesThrowAndChangeNothing) {
    std::mt19937 rng(10);
    const std::size_t m = 4;
    CrossSpectralMatrix csm(m);
    csm.addSpectrum(randomVector(m, rng));
    const Rows before = csm.toRows();

    expectThrowExactly<std::invalid_argument>([&] { csm.addSpectrum(randomVector(m + 1, rng)); },
                                              "spectrum channel count does not match matrix");
    expectThrowExactly<std::invalid_argument>([&] { csm.addSpectrum(Vec{}); },
                                              "spectrum channel count does not match matrix");

    const SpectralFrame frame = makeFrame(m, 8, rng);
    const std::string range = "invalid matrix frequency bin range";
    expectThrowExactly<std::invalid_argument>([&] { csm.addFrameBins(frame, 3, 3); }, range);
    expectThrowExactly<std::invalid_argument>([&] { csm.addFrameBins(frame, 5, 2); }, range);
    expectThrowExactly<std::invalid_argument>([&] { csm.addFrameBins(frame, 0, 9); }, range);

    SpectralFrame wrongCount = frame;
    wrongCount.channelCount = m + 1;
    SpectralFrame wrongSpectra = frame;
    wrongSpectra.spectra.pop_back();
    const std::string channels = "spectral frame channel count does not match matrix";
    expectThrowExactly<std::invalid_argument>([&] { csm.addFrameBins(wrongCount, 0, 1); }, channels);
    expectThrowExactly<std::invalid_argument>([&] { csm.addFrameBins(wrongSpectra, 0, 1); }, channels);

    // A frame whose spectra are shorter than its frame size claims must not be read past their end.
    SpectralFrame shortSpectrum = frame;
    shortSpectrum.spectra[2].resize(5);
    expectThrowExactly<std::invalid_argument>([&] { csm.addFrameBins(shortSpectrum, 4, 6); }, range);

    EXPECT_EQ(csm.toRows(), before);
    EXPECT_EQ(csm.frameCount(), 1u);
    EXPECT_NO_THROW(csm.addFrameBins(shortSpectrum, 4, 5));
    EXPECT_EQ(csm.frameCount(), 2u);
}

TEST(CrossSpectralMatrix, ResetClearsAndReseedsTheAverage) {
    CrossSpectralMatrix csm(3);
    csm.setAveragingAlpha(0.25);
    csm.addSpectrum(Vec{1.0, 2.0, 3.0});
    csm.addSpectrum(Vec{{0.0, 1.0}, 1.0, 0.0});
    csm.reset();
    EXPECT_EQ(csm.frameCount(), 0u);
    EXPECT_EQ(csm.toRows(), zeros(3));
    // The mode stays exponential, but the first update after reset seeds without decay.
    csm.addSpectrum(Vec{2.0, 0.0, 0.0});
    EXPECT_EQ(csm.toRows()[0][0], std::complex<double>(4.0, 0.0));
    csm.addSpectrum(Vec{0.0, 0.0, 0.0});
    EXPECT_EQ(csm.toRows()[0][0], std::complex<double>(1.0, 0.0));
    EXPECT_EQ(csm.frameCount(), 2u);
}

TEST(CrossSpectralMatrix, DiagonalImaginaryPartsStayExactlyZeroUnderStress) {
    std::mt19937 rng(123);
    std::uniform_real_distribution<double> exponent(-20.0, 20.0);
    std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
    const std::size_t m = 37;
    CrossSpectralMatrix plain(m);
    CrossSpectralMatrix averaged(m);
    averaged.setAveragingAlpha(0.9);
    for (int k = 0; k < 50; ++k) {
        Vec x(m);
        for (auto& v : x) {
            // Magnitudes spread over many decades, where any fused rounding would show on the diagonal.
            v = {mantissa(rng) * std::pow(10.0, exponent(rng)),
                 mantissa(rng) * std::pow(10.0, exponent(rng))};
        }
        plain.addSpectrum(x);
        averaged.addSpectrum(x);
    }
    expectHermitianWithRealDiagonal(plain.toRows());
    expectHermitianWithRealDiagonal(averaged.toRows());
}

// Every vector variant gives the baseline's bits, in both modes, around every vector width and tail, and
// keeps the diagonal's imaginary parts exactly zero on inputs spread over many decades.
TEST(CrossSpectralMatrix, EveryVectorLevelMatchesTheBaselineExactly) {
    std::mt19937 rng(77);
    std::uniform_real_distribution<double> exponent(-20.0, 20.0);
    std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
    const auto run = [&](std::size_t m, bool exponential, std::uint32_t seed) {
        rng.seed(seed);
        CrossSpectralMatrix csm(m);
        if (exponential) {
            csm.setAveragingAlpha(0.83);
        }
        for (int k = 0; k < 6; ++k) {
            Vec x(m);
            for (auto& v : x) {
                v = {mantissa(rng) * std::pow(10.0, exponent(rng)),
                     mantissa(rng) * std::pow(10.0, exponent(rng))};
            }
            csm.addSpectrum(x);
        }
        SpectralFrame frame = makeFrame(m, 8, rng);
        csm.addFrameBins(frame, 2, 7);
        return csm.toRows();
    };
    const std::vector<std::size_t> sizes{1, 3, 7, 8, 9, 15, 16, 17, 23, 31, 33, 64, 127, 128};
    for (const bool exponential : {false, true}) {
        for (const std::size_t m : sizes) {
            detail::limitVectorLevel(VectorLevel::kBaseline);
            const Rows baseline = run(m, exponential, static_cast<std::uint32_t>(m));
            expectHermitianWithRealDiagonal(baseline);
            for (const VectorLevel level : {VectorLevel::kAvx2, VectorLevel::kAvx512}) {
                detail::limitVectorLevel(level);
                if (vectorLevel() != level) {
                    continue;  // not on this CPU or not in this build
                }
                const Rows rows = run(m, exponential, static_cast<std::uint32_t>(m));
                EXPECT_EQ(rows, baseline) << vectorLevelName(level) << " M = " << m << " exp " << exponential;
                expectHermitianWithRealDiagonal(rows);
            }
        }
    }
    detail::limitVectorLevel(VectorLevel::kAvx512);
}

}  // namespace
}  // namespace zk::core
