#include "core/signal/frequency_band.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "test_support.h"

namespace zk::core {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

FrequencyBandParameters bandParams(std::int32_t mode, double center, double bandwidth = 2000.0,
                                   std::uint64_t limit = 0) {
    FrequencyBandParameters p;
    p.mode = mode;
    p.centerHz = center;
    p.bandwidthHz = bandwidth;
    p.binLimit = limit;
    return p;
}

std::vector<std::uint64_t> binRange(std::uint64_t first, std::uint64_t last) {
    std::vector<std::uint64_t> bins;
    for (std::uint64_t b = first; b <= last; ++b) bins.push_back(b);
    return bins;
}

using zk::test::messageOf;

// A literal reading of the selection rule that materialises every candidate, against which the
// implementation's range arithmetic is compared.
std::vector<std::uint64_t> referenceBins(std::uint32_t fs, std::uint64_t n,
                                         const FrequencyBandParameters& p) {
    const double df = static_cast<double>(fs) / static_cast<double>(n);
    // Bins 1 .. n/2 - 1: the Nyquist bin only for a frame of two points.
    const std::uint64_t half = n > 3 ? n / 2 - 1 : n / 2;
    const double c = p.centerHz;
    double low = c;
    double high = c;
    if (p.mode == 2) {
        low = c / std::pow(2.0, 1.0 / 6.0);
        high = c * std::pow(2.0, 1.0 / 6.0);
    } else if (p.mode == 3) {
        low = c - p.bandwidthHz / 2;
        high = c + p.bandwidthHz / 2;
    }
    high = std::min(high, fs / 2.0);
    low = std::max(low, df);
    long long m = std::llround(c / df);
    if (m > static_cast<long long>(half)) m = static_cast<long long>(half);
    if (m < 1) m = 1;
    std::vector<long long> cand;
    if (p.mode == 1) {
        cand.push_back(m);
    } else {
        const long long first = std::max<long long>(static_cast<long long>(std::ceil(low / df)), 1);
        const long long last =
            std::min<long long>(static_cast<long long>(std::floor(high / df)), static_cast<long long>(half));
        for (long long b = first; b <= last; ++b) cand.push_back(b);
        if (cand.empty()) cand.push_back(m);
        if (p.binLimit == 0 && cand.size() > 32) {
            const auto it = std::find_if(cand.begin(), cand.end(), [&](long long b) { return b >= m; });
            const long long count = static_cast<long long>(cand.size());
            const long long pos = it == cand.end() ? count / 2 : it - cand.begin();
            long long start = std::max<long long>(pos - 16, 0);
            if (start + 32 > count) start = count - 32;
            cand = std::vector<long long>(cand.begin() + start, cand.begin() + start + 32);
        }
    }
    const std::size_t count = cand.size();
    std::size_t k = (p.binLimit != 0 && count >= p.binLimit) ? p.binLimit : count;
    if (p.mode == 1) k = 1;
    std::vector<std::uint64_t> out;
    if (k == 1) {
        long long best = cand[0];
        for (long long b : cand) {
            if (std::llabs(b - m) < std::llabs(best - m)) best = b;
        }
        out.push_back(static_cast<std::uint64_t>(best));
    } else if (k < count) {
        for (std::size_t i = 0; i < k; ++i) {
            const auto idx = std::llround(static_cast<double>(i) * static_cast<double>(count - 1) /
                                          static_cast<double>(k - 1));
            const auto b = static_cast<std::uint64_t>(cand[static_cast<std::size_t>(idx)]);
            if (out.empty() || out.back() != b) out.push_back(b);
        }
    } else {
        for (long long b : cand) out.push_back(static_cast<std::uint64_t>(b));
    }
    return out;
}

TEST(FrequencyBand, DefaultsAndModeNames) {
    const FrequencyBandParameters p;
    EXPECT_EQ(p.revision, 0u);
    EXPECT_EQ(p.mode, 2);
    EXPECT_EQ(p.centerHz, 8000.0);
    EXPECT_EQ(p.bandwidthHz, 2000.0);
    EXPECT_EQ(p.binLimit, 0u);
    EXPECT_STREQ(bandModeName(1), "single");
    EXPECT_STREQ(bandModeName(2), "1/3-octave");
    EXPECT_STREQ(bandModeName(3), "custom");
    for (int mode : {0, 4, -1, 1000}) EXPECT_STREQ(bandModeName(mode), "unknown") << mode;
}

TEST(FrequencyBand, SingleBinExample) {
    auto p = bandParams(1, 1000.0);
    p.revision = 41;
    const FrequencyBand band = resolveFrequencyBand(48000, 1024, p);
    EXPECT_EQ(band.parameters.revision, 41u);
    EXPECT_EQ(band.parameters.mode, 1);
    EXPECT_EQ(band.parameters.centerHz, 1000.0);
    EXPECT_EQ(band.binIndices, std::vector<std::uint64_t>{21});
    EXPECT_EQ(band.binFrequenciesHz, std::vector<double>{984.375});
    EXPECT_EQ(band.representativeFrequencyHz, 984.375);
    EXPECT_EQ(band.firstFrequencyHz, 984.375);
    EXPECT_EQ(band.lastFrequencyHz, 984.375);
    EXPECT_EQ(band.lowEdgeHz, 1000.0);
    EXPECT_EQ(band.highEdgeHz, 1000.0);
}

TEST(FrequencyBand, ThirdOctaveExampleWindowsTo32Bins) {
    const FrequencyBand band = resolveFrequencyBand(48000, 1024, bandParams(2, 8000.0));
    EXPECT_NEAR(band.lowEdgeHz, 7127.19, 0.01);
    EXPECT_NEAR(band.highEdgeHz, 8979.70, 0.01);
    EXPECT_EQ(band.binIndices, binRange(155, 186));
    ASSERT_EQ(band.binFrequenciesHz.size(), 32u);
    for (std::size_t i = 0; i < 32; ++i) EXPECT_EQ(band.binFrequenciesHz[i], (155.0 + i) * 46.875);
    EXPECT_EQ(band.firstFrequencyHz, 155 * 46.875);
    EXPECT_EQ(band.lastFrequencyHz, 186 * 46.875);
    EXPECT_EQ(band.representativeFrequencyHz, 8015.625);
}

TEST(FrequencyBand, BinLimitsOnThirdOctave) {
    const auto bins = [](std::uint64_t limit) {
        return resolveFrequencyBand(48000, 1024, bandParams(2, 8000.0, 0.0, limit)).binIndices;
    };
    EXPECT_EQ(bins(3), (std::vector<std::uint64_t>{153, 172, 191}));  // positions 0, 19, 38 of 153..191
    EXPECT_EQ(bins(1), std::vector<std::uint64_t>{171});
    EXPECT_EQ(bins(2), (std::vector<std::uint64_t>{153, 191}));
    EXPECT_EQ(bins(39), binRange(153, 191));  // a limit equal to the count keeps all, unwindowed
    EXPECT_EQ(bins(40), binRange(153, 191));  // a limit above the count keeps all
    const auto thirtyEight = bins(38);
    ASSERT_EQ(thirtyEight.size(), 38u);
    EXPECT_EQ(thirtyEight.front(), 153u);
    EXPECT_EQ(thirtyEight.back(), 191u);
}

TEST(FrequencyBand, LimitedSelectionRoundsExactHalvesUp) {
    // Candidates 100 .. 149 (n = 50): with 23 picks, i * 49 / 22 hits exact halves (i = 11 gives 24.5),
    // which must round up even though 49 / 22 itself is not representable.
    const FrequencyBand band = resolveFrequencyBand(48000, 1024, bandParams(3, 5835.9375, 2296.875, 23));
    std::vector<std::uint64_t> expected;
    for (std::uint64_t i = 0; i < 23; ++i) {
        expected.push_back(100 + (2 * i * 49 + 22) / 44);  // round half up in exact integers
    }
    EXPECT_EQ(band.binIndices, expected);
    EXPECT_EQ(band.binIndices[11], 125u);
}

TEST(FrequencyBand, CustomAndEdgeCases) {
    // Custom band clamped at df: candidates 1..42, windowed around bin 21.
    FrequencyBand band = resolveFrequencyBand(48000, 1024, bandParams(3, 1000.0, 2000.0));
    EXPECT_EQ(band.lowEdgeHz, 46.875);
    EXPECT_EQ(band.highEdgeHz, 2000.0);
    EXPECT_EQ(band.binIndices, binRange(5, 36));

    // A band narrower than one bin falls back to the centre bin.
    band = resolveFrequencyBand(48000, 1024, bandParams(3, 1000.0, 1.0));
    EXPECT_EQ(band.binIndices, std::vector<std::uint64_t>{21});
    EXPECT_EQ(band.lowEdgeHz, 999.5);
    EXPECT_EQ(band.highEdgeHz, 1000.5);

    // Centre halfway between bins 21 and 22: the lower frequency represents the band.
    band = resolveFrequencyBand(48000, 1024, bandParams(3, 21.5 * 46.875, 100.0));
    EXPECT_EQ(band.binIndices, (std::vector<std::uint64_t>{21, 22}));
    EXPECT_EQ(band.representativeFrequencyHz, 984.375);

    // The centre exactly at Nyquist is accepted and the high edge stays there, but no band holds the
    // Nyquist bin, whose level depends on where a frame of a real signal starts.
    band = resolveFrequencyBand(48000, 1024, bandParams(1, 24000.0));
    EXPECT_EQ(band.binIndices, std::vector<std::uint64_t>{511});
    EXPECT_EQ(band.representativeFrequencyHz, 23953.125);
    band = resolveFrequencyBand(48000, 1024, bandParams(2, 24000.0));
    EXPECT_EQ(band.highEdgeHz, 24000.0);
    EXPECT_EQ(band.binIndices, binRange(480, 511));
    band = resolveFrequencyBand(48000, 1024, bandParams(3, 23990.0, 40.0));
    EXPECT_EQ(band.binIndices, std::vector<std::uint64_t>{511});
    // A frame of two points has the Nyquist bin only.
    EXPECT_EQ(resolveFrequencyBand(48000, 2, bandParams(2, 24000.0)).binIndices,
              std::vector<std::uint64_t>{1});

    // Odd FFT size: the centre bin rounds above half and is pulled back below it.
    band = resolveFrequencyBand(48000, 1023, bandParams(1, 24000.0));
    EXPECT_EQ(band.binIndices, std::vector<std::uint64_t>{510});
    EXPECT_DOUBLE_EQ(band.binFrequenciesHz[0], 510.0 * 48000.0 / 1023.0);
}

TEST(FrequencyBand, HugeFftSizesSelectWithoutEnumeratingCandidates) {
    const std::uint64_t n = std::uint64_t{1} << 40;
    FrequencyBand band = resolveFrequencyBand(48000, n, bandParams(3, 8000.0, 2000.0));
    ASSERT_EQ(band.binIndices.size(), 32u);
    EXPECT_EQ(band.binIndices.back() - band.binIndices.front(), 31u);
    EXPECT_NEAR(band.representativeFrequencyHz, 8000.0, 48000.0 / static_cast<double>(n));
    band = resolveFrequencyBand(48000, n, bandParams(3, 8000.0, 2000.0, 5));
    ASSERT_EQ(band.binIndices.size(), 5u);
    EXPECT_NEAR(band.firstFrequencyHz, 7000.0, 1e-6);
    EXPECT_NEAR(band.lastFrequencyHz, 9000.0, 1e-6);

    const std::uint64_t maxN = std::numeric_limits<std::uint64_t>::max();
    band = resolveFrequencyBand(48000, maxN, bandParams(1, 24000.0));
    EXPECT_EQ(band.binIndices, std::vector<std::uint64_t>{maxN / 2 - 1});
}

TEST(FrequencyBand, SelectionsBeyondTheBinBoundAreRefused) {
    const std::string invalid = "invalid frequency-band parameters";
    const std::uint64_t huge = std::uint64_t{1} << 40;
    // 2000 Hz at 48 kHz spans about 1.8e11 candidates of a 2^42-point frame, 7.3e11 of a 2^44-point one.
    EXPECT_EQ(messageOf([&] {
                  resolveFrequencyBand(48000, std::uint64_t{1} << 42, bandParams(3, 8000.0, 2000.0, huge));
              }),
              invalid);
    EXPECT_EQ(messageOf([&] {
                  resolveFrequencyBand(48000, std::uint64_t{1} << 44, bandParams(3, 8000.0, 2000.0, huge));
              }),
              invalid);
    EXPECT_EQ(messageOf([&] {
                  resolveFrequencyBand(48000, std::uint64_t{1} << 30,
                                       bandParams(2, 8000.0, 0.0, kMaxFrequencyBandBins + 1));
              }),
              invalid);
    const FrequencyBand largest = resolveFrequencyBand(48000, std::uint64_t{1} << 30,
                                                       bandParams(2, 8000.0, 0.0, kMaxFrequencyBandBins));
    EXPECT_EQ(largest.binIndices.size(), kMaxFrequencyBandBins);
    // A limit above what a band holds selects the whole band, as before.
    EXPECT_EQ(resolveFrequencyBand(48000, 1024, bandParams(3, 8000.0, 500.0, huge)).binIndices,
              binRange(166, 176));
}

TEST(FrequencyBand, EveryFailureText) {
    const auto resolve = [](std::uint32_t fs, std::uint64_t n, FrequencyBandParameters p) {
        return [=] { resolveFrequencyBand(fs, n, p); };
    };
    const std::string invalid = "invalid frequency-band parameters";
    EXPECT_EQ(messageOf(resolve(48000, 1, bandParams(1, 1000.0))), invalid);
    EXPECT_EQ(messageOf(resolve(48000, 0, bandParams(1, 1000.0))), invalid);
    EXPECT_EQ(messageOf(resolve(0, 1024, bandParams(1, 1000.0))), invalid);
    for (double c : {0.0, -0.0, -5.0, kNaN, kInf, -kInf}) {
        EXPECT_EQ(messageOf(resolve(48000, 1024, bandParams(2, c))), invalid) << c;
    }
    EXPECT_EQ(messageOf(resolve(48000, 1024, bandParams(4, 0.0))), invalid);  // validated before the mode

    const std::string nyquist = "frequency-band center exceeds Nyquist";
    EXPECT_EQ(messageOf(resolve(48000, 1024, bandParams(1, 24000.001))), nyquist);
    EXPECT_EQ(messageOf(resolve(48000, 1024, bandParams(4, 30000.0))), nyquist);

    const std::string bandwidth = "custom bandwidth must be positive";
    for (double bw : {0.0, -0.0, -1.0, kInf, -kInf, kNaN}) {
        EXPECT_EQ(messageOf(resolve(48000, 1024, bandParams(3, 1000.0, bw))), bandwidth) << bw;
    }
    EXPECT_NO_THROW(resolveFrequencyBand(48000, 1024, bandParams(2, 1000.0, kNaN)));  // mode 2 ignores it

    for (int mode : {0, 4, -1}) {
        EXPECT_EQ(messageOf(resolve(48000, 1024, bandParams(mode, 1000.0))),
                  "unsupported frequency-band mode");
    }

    const std::string empty = "frequency band contains no positive bin";
    EXPECT_EQ(messageOf(resolve(48000, 1024, bandParams(1, 10.0))), empty);
    EXPECT_EQ(messageOf(resolve(48000, 1024, bandParams(2, 40.0))), empty);  // 40 * 2^(1/6) < 46.875
    EXPECT_EQ(messageOf(resolve(48000, 1024, bandParams(3, 10.0, 20.0))), empty);
    EXPECT_NO_THROW(resolveFrequencyBand(48000, 1024, bandParams(1, 46.875)));
}

TEST(FrequencyBand, FailedResolveLeavesTheCallersBand) {
    FrequencyBand band = resolveFrequencyBand(48000, 1024, bandParams(2, 8000.0));
    const FrequencyBand before = band;
    FrequencyBandParameters bad = bandParams(3, 1000.0, -1.0);
    const FrequencyBandParameters badCopy = bad;
    EXPECT_THROW(band = resolveFrequencyBand(48000, 1024, bad), std::invalid_argument);
    EXPECT_EQ(band.binIndices, before.binIndices);
    EXPECT_EQ(band.binFrequenciesHz, before.binFrequenciesHz);
    EXPECT_EQ(band.representativeFrequencyHz, before.representativeFrequencyHz);
    EXPECT_EQ(band.parameters.centerHz, 8000.0);
    EXPECT_EQ(bad.bandwidthHz, badCopy.bandwidthHz);
    EXPECT_EQ(bad.mode, badCopy.mode);
}

// Checks one resolved band against the reference and the invariants every band must satisfy.
void checkBand(std::uint32_t fs, std::uint64_t n, const FrequencyBandParameters& p,
               const FrequencyBand& band) {
    const double df = static_cast<double>(fs) / static_cast<double>(n);
    const double c = p.centerHz;
    const auto& bins = band.binIndices;
    ASSERT_FALSE(bins.empty());
    ASSERT_EQ(bins, referenceBins(fs, n, p));
    ASSERT_EQ(band.binFrequenciesHz.size(), bins.size());
    for (std::size_t i = 0; i < bins.size(); ++i) {
        ASSERT_GE(bins[i], 1u);
        ASSERT_LE(bins[i], n > 3 ? n / 2 - 1 : n / 2);
        if (i > 0) {
            ASSERT_LT(bins[i - 1], bins[i]);
        }
        ASSERT_DOUBLE_EQ(band.binFrequenciesHz[i],
                         static_cast<double>(bins[i]) * fs / static_cast<double>(n));
    }
    EXPECT_EQ(band.firstFrequencyHz, band.binFrequenciesHz.front());
    EXPECT_EQ(band.lastFrequencyHz, band.binFrequenciesHz.back());
    if (p.mode == 1) {
        EXPECT_EQ(bins.size(), 1u);
    }
    EXPECT_LE(bins.size(), p.binLimit != 0 ? p.binLimit : 32u);
    EXPECT_LE(band.lowEdgeHz, band.highEdgeHz);
    EXPECT_GE(band.lowEdgeHz, df);
    EXPECT_LE(band.highEdgeHz, fs / 2.0);
    // Nearest to the centre, earliest on a tie.
    const auto best = std::min_element(band.binFrequenciesHz.begin(), band.binFrequenciesHz.end(),
                                       [&](double a, double b) { return std::abs(a - c) < std::abs(b - c); });
    EXPECT_EQ(band.representativeFrequencyHz, *best);
    // With a limit of at least two on an unwindowed range, both ends are taken.
    if (p.mode != 1 && p.binLimit >= 2) {
        const double firstD = std::max(std::ceil(band.lowEdgeHz / df), 1.0);
        const double lastD = std::min(std::floor(band.highEdgeHz / df), static_cast<double>(n / 2 - 1));
        if (firstD < lastD) {
            EXPECT_EQ(static_cast<double>(bins.front()), firstD);
            EXPECT_EQ(static_cast<double>(bins.back()), lastD);
        }
    }
}

TEST(FrequencyBand, InvariantsOverASweep) {
    std::vector<std::pair<std::uint32_t, std::uint64_t>> sizes;
    for (std::uint32_t fs : {16000u, 44100u, 48000u}) {
        for (std::uint64_t n : {64u, 1000u, 1024u, 4096u}) sizes.emplace_back(fs, n);
    }
    int resolved = 0;
    for (const auto& [fs, n] : sizes) {
        const double df = static_cast<double>(fs) / static_cast<double>(n);
        for (int mode = 1; mode <= 3; ++mode) {
            for (double bw : {30.0, 2000.0, 9000.0}) {
                for (std::uint64_t limit : {0u, 1u, 2u, 3u, 7u, 32u, 1000u}) {
                    for (int step = 0; step <= 60; ++step) {
                        // Geometric centres from 20 Hz to Nyquist.
                        const double c = std::min(20.0 * std::pow(fs / 40.0, step / 60.0), fs / 2.0);
                        const auto p = bandParams(mode, c, bw, limit);
                        SCOPED_TRACE(testing::Message() << "fs " << fs << " n " << n << " mode " << mode
                                                        << " bw " << bw << " limit " << limit << " c " << c);
                        const double high = mode == 1   ? c
                                            : mode == 2 ? c * std::pow(2.0, 1.0 / 6.0)
                                                        : c + bw / 2;
                        if (std::min(high, fs / 2.0) < df) {
                            EXPECT_THROW(resolveFrequencyBand(fs, n, p), std::invalid_argument);
                            continue;
                        }
                        checkBand(fs, n, p, resolveFrequencyBand(fs, n, p));
                        if (testing::Test::HasFatalFailure()) return;
                        ++resolved;
                    }
                }
            }
        }
    }
    EXPECT_GT(resolved, 10000);
}

}  // namespace
}  // namespace zk::core
