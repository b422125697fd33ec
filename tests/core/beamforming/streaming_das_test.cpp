#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>

#include "core/beamforming/beamformer.h"
#include "core/platform/cpu_features.h"
#include "core/signal/cross_spectral_matrix.h"
#include "core/signal/spectral_framer.h"
#include "steering_test_model.h"
#include "test_support.h"

namespace zk::core {
namespace {

using C = std::complex<double>;
using testmodel::planarArray;
using testmodel::planeWaveSteering;
using zk::test::messageOf;
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::vector<C> randomSpectra(std::size_t count, std::mt19937& rng) {
    std::normal_distribution<double> n(0.0, 1.0);
    std::vector<C> x(count);
    for (auto& v : x) v = {n(rng), n(rng)};
    return x;
}

struct Fixture {
    std::vector<MicrophonePosition> mics = planarArray(12, 0.25, 21);
    Beamformer bf{mics, 343.0};
    std::vector<double> freqs{1500.0, 3000.0, 4500.0};
    StreamingDasState state;

    void update(std::span<const C> spectra, double alpha, std::uint64_t first = 0, std::uint64_t limit = 0,
                double focus = kInf, std::int32_t threads = 4) {
        bf.updateStreamingDas(state, spectra, freqs, alpha, 30, 20, 0, 0, 5, 5, focus, threads, first, limit);
    }
    // |y|^2 in double with y = sum conj(a_m) X_m over the published phase terms.
    double beamPower(std::span<const C> spectra, std::size_t b, std::size_t g) {
        const auto cache = bf.steeringCacheFor(freqs, 30, 20, 0, 0, 5, 5, kInf);
        const std::size_t m = mics.size();
        C y{};
        for (std::size_t i = 0; i < m; ++i) {
            y +=
                std::conj(C(cache->phaseTerms[(b * cache->gridPointCount + g) * m + i])) * spectra[b * m + i];
        }
        return std::norm(y);
    }
};

TEST(StreamingDas, FirstUpdateStoresBeamPowerThenBlends) {
    Fixture fx;
    std::mt19937 rng(3);
    const auto x1 = randomSpectra(3 * 12, rng);
    const auto x2 = randomSpectra(3 * 12, rng);
    fx.update(x1, 0.9);
    ASSERT_EQ(fx.state.gridPointCount, 7u * 5u);
    ASSERT_EQ(fx.state.beamSums.size(), 3u * 35u);
    EXPECT_EQ(fx.state.updateCount, 1u);
    EXPECT_EQ(fx.state.horizontalAxis.size(), 7u);
    for (std::size_t b = 0; b < 3; ++b) {
        double energy = 0.0;
        for (std::size_t i = 0; i < 12; ++i) energy += std::norm(x1[b * 12 + i]);
        EXPECT_DOUBLE_EQ(fx.state.diagonalSums[b], energy);
        for (std::size_t g = 0; g < 35; ++g) {
            const double expected = fx.beamPower(x1, b, g);
            EXPECT_NEAR(fx.state.beamSums[b * 35 + g], expected, 1e-5 * energy);
        }
    }
    fx.update(x2, 0.9);
    for (std::size_t g = 0; g < 35; ++g) {
        const double expected = 0.9 * fx.beamPower(x1, 1, g) + 0.1 * fx.beamPower(x2, 1, g);
        EXPECT_NEAR(fx.state.beamSums[35 + g], expected, 1e-4);
    }
    fx.state.reset();
    EXPECT_EQ(fx.state.updateCount, 0u);
    EXPECT_EQ(fx.state.binsReached, 0u);
    EXPECT_EQ(fx.state.beamSums.size(), 105u);
    for (double v : fx.state.beamSums) EXPECT_EQ(v, 0.0);
    fx.update(x2, 0.9);  // seeds again, no blending with the zeros
    EXPECT_NEAR(fx.state.beamSums[35], fx.beamPower(x2, 1, 0), 1e-4);
}

TEST(StreamingDas, PartialBinRangesAndCounts) {
    Fixture fx;
    std::mt19937 rng(4);
    const auto x = randomSpectra(36, rng);
    fx.update(x, 0.9, 0, 2);  // bins 0 and 1 only
    EXPECT_EQ(fx.state.diagonalSums[2], 0.0);
    const double seeded = fx.state.beamSums[0];
    EXPECT_GT(seeded, 0.0);
    EXPECT_EQ(fx.state.binsReached, 2u);
    // Bin 2 first reached by a later update takes its power whole, as bin 0 did: a bin that started
    // from 0 would read 10 dB low.
    fx.update(x, 0.9, 2, 5);
    EXPECT_NEAR(fx.state.beamSums[2 * 35 + 4], fx.beamPower(x, 2, 4), 1e-5 * fx.beamPower(x, 2, 4));
    double energy = 0.0;
    for (std::size_t i = 0; i < 12; ++i) energy += std::norm(x[2 * 12 + i]);
    EXPECT_NEAR(fx.state.diagonalSums[2], energy, 1e-12 * energy);
    EXPECT_EQ(fx.state.binsReached, 3u);
    EXPECT_DOUBLE_EQ(fx.state.beamSums[0], seeded);  // untouched bin
    fx.update(x, 0.9, 0, 1);
    EXPECT_NEAR(fx.state.beamSums[0], seeded, 1e-9 * seeded);  // constant input stays put
    const auto before = fx.state.beamSums;
    fx.update(x, 0.9, 7, 0);  // beyond the band: no bin, still one update
    EXPECT_EQ(fx.state.beamSums, before);
    EXPECT_EQ(fx.state.updateCount, 4u);
}

TEST(StreamingDas, ThreadBoundDoesNotChangeResults) {
    Fixture a, b;
    std::mt19937 rng(5);
    for (int i = 0; i < 3; ++i) {
        const auto x = randomSpectra(36, rng);
        a.update(x, 0.8, 0, 0, kInf, 1);
        b.update(x, 0.8, 0, 0, kInf, 4);
    }
    EXPECT_EQ(a.state.beamSums, b.state.beamSums);
    EXPECT_EQ(a.state.diagonalSums, b.state.diagonalSums);
    Fixture c;
    c.update(randomSpectra(36, rng), 0.8, 0, 0, kInf, 0);  // non-positive bound runs on one thread
    EXPECT_EQ(c.state.updateCount, 1u);
}

TEST(StreamingDas, EveryVectorVariantMatchesDoublePrecision) {
    struct LevelGuard {
        ~LevelGuard() { detail::limitVectorLevel(VectorLevel::kAvx512); }
    } guard;
    const auto mics = planarArray(12, 0.25, 21);
    const Beamformer bf(mics, 343.0);
    const std::vector<double> freqs{1500.0, 3000.0, 4500.0};
    std::mt19937 rng(5);
    const auto x1 = randomSpectra(freqs.size() * mics.size(), rng);
    const auto x2 = randomSpectra(freqs.size() * mics.size(), rng);
    // 31 x 21 = 651 points: whole vectors of every width plus a remainder.
    const CameraGridSpec grid{30.0, 20.0, 0.0, 0.0, 1.0, 1.0, kInf};
    const auto run = [&](VectorLevel level) {
        detail::limitVectorLevel(level);
        StreamingDasState state;
        bf.updateStreamingDas(state, x1, freqs, 0.9, grid, 4, 0, 0);
        bf.updateStreamingDas(state, x2, freqs, 0.9, grid, 4, 0, 0);
        return state.beamSums;
    };
    const auto cache = bf.steeringCacheFor(freqs, grid);
    const std::size_t m = mics.size(), points = cache->gridPointCount;
    std::vector<double> expected(freqs.size() * points);
    for (std::size_t b = 0; b < freqs.size(); ++b) {
        for (std::size_t g = 0; g < points; ++g) {
            C y1{}, y2{};
            for (std::size_t i = 0; i < m; ++i) {
                const C a = std::conj(C(cache->phaseTerms[(b * points + g) * m + i]));
                y1 += a * x1[b * m + i];
                y2 += a * x2[b * m + i];
            }
            expected[b * points + g] = 0.9 * std::norm(y1) + 0.1 * std::norm(y2);
        }
    }
    const double scale = *std::max_element(expected.begin(), expected.end());
    const std::vector<double> baseline = run(VectorLevel::kBaseline);
    for (std::size_t k = 0; k < expected.size(); ++k)
        ASSERT_NEAR(baseline[k], expected[k], 1e-5 * scale) << k;
    detail::limitVectorLevel(VectorLevel::kAvx512);
    const VectorLevel widest = vectorLevel();
    for (VectorLevel level : {VectorLevel::kAvx2, VectorLevel::kAvx512}) {
        if (static_cast<int>(level) > static_cast<int>(widest)) continue;
        const std::vector<double> variant = run(level);
        for (std::size_t k = 0; k < expected.size(); ++k) {
            ASSERT_NEAR(variant[k], expected[k], 1e-5 * scale) << vectorLevelName(level) << " " << k;
            ASSERT_NEAR(variant[k], baseline[k], 1e-5 * scale) << vectorLevelName(level) << " " << k;
        }
    }
    if (widest == VectorLevel::kBaseline) GTEST_SKIP() << "this build or CPU has no AVX2 or AVX-512 variant";
}

TEST(StreamingDas, RebuildsOnChangedKeyOrBand) {
    Fixture fx;
    std::mt19937 rng(6);
    const auto x = randomSpectra(36, rng);
    fx.update(x, 0.9);
    fx.update(x, 0.9);
    EXPECT_EQ(fx.state.updateCount, 2u);
    // Alone, the state holds the planes without the phase terms, to the cache's floats; an entry the
    // cache holds already is shared instead.
    const auto cached = fx.bf.steeringCacheFor(fx.freqs, 30, 20, 0, 0, 5, 5, kInf);
    EXPECT_NE(fx.state.steering, cached);
    EXPECT_TRUE(fx.state.steering->phaseTerms.empty());
    EXPECT_EQ(fx.state.steering->phasePlaneRe, cached->phasePlaneRe);
    EXPECT_EQ(fx.state.steering->phasePlaneIm, cached->phasePlaneIm);
    const auto focused = fx.bf.steeringCacheFor(fx.freqs, 30, 20, 0, 0, 5, 5, 2.0);
    fx.update(x, 0.9, 0, 0, 2.0);  // focus distance changed
    EXPECT_EQ(fx.state.updateCount, 1u);
    EXPECT_EQ(fx.state.key.focusDistanceM, 2.0);
    EXPECT_EQ(fx.state.steering, focused);
    fx.update(x, 0.9, 0, 0, 2.0);
    fx.freqs[1] = 3100.0;
    fx.update(x, 0.9, 0, 0, 2.0);
    EXPECT_EQ(fx.state.updateCount, 1u);
    EXPECT_EQ(fx.state.frequencies, fx.freqs);
}

TEST(StreamingDas, RefusesBadUpdates) {
    Fixture fx;
    std::mt19937 rng(7);
    const auto x = randomSpectra(36, rng);
    for (double alpha : {0.0, 1.0, kNaN, -0.5, kInf}) {
        EXPECT_EQ(messageOf([&] { fx.update(x, alpha); }), "invalid streaming DAS update") << alpha;
    }
    EXPECT_EQ(messageOf([&] { fx.update(std::span(x).first(35), 0.9); }), "invalid streaming DAS update");
    fx.freqs = {};
    EXPECT_EQ(messageOf([&] { fx.update({}, 0.9); }), "invalid streaming DAS update");
    fx.freqs = {1000.0, kNaN, 3000.0};
    EXPECT_EQ(messageOf([&] { fx.update(x, 0.9); }), "invalid streaming DAS update");
    fx.freqs = {1000.0, 2000.0, 3000.0};
    auto grid = [&](double span, double step) {
        return messageOf([&] {
            fx.bf.updateStreamingDas(fx.state, x, fx.freqs, 0.9, span, 20, 0, 0, step, 5, kInf, 4, 0, 0);
        });
    };
    EXPECT_EQ(grid(-30, 5), "invalid camera grid");
    EXPECT_EQ(grid(30, 0), "invalid camera grid");
    EXPECT_EQ(grid(180, 5), "invalid camera grid");
    EXPECT_EQ(grid(kInf, 5), "invalid camera grid");
    EXPECT_EQ(fx.state.microphoneCount, 0u);  // nothing was built
}

TEST(FinalizeStreamingDas, NormalisesRemovesDiagonalAndSubtractsNoise) {
    Beamformer bf(planarArray(4, 0.2), 343.0);
    const std::vector<double> h{-1, 0, 1}, v{0, 1}, f{100, 200, 300, 400};
    std::vector<double> beams(6 * 4), diag{2.0, 4.0, 0.0, 1.0};
    for (std::size_t i = 0; i < beams.size(); ++i) beams[i] = 10.0 + static_cast<double>(i);
    const auto plain = bf.finalizeStreamingDas(h, v, f, beams, diag, false, {}, {});
    EXPECT_EQ(plain.width, 3u);
    EXPECT_EQ(plain.height, 2u);
    EXPECT_EQ(plain.binCount, 4u);
    EXPECT_DOUBLE_EQ(plain.representativeFrequencyHz, 300.0);
    EXPECT_DOUBLE_EQ(plain.firstFrequencyHz, 100.0);
    EXPECT_DOUBLE_EQ(plain.lastFrequencyHz, 400.0);
    for (std::size_t g = 0; g < 6; ++g) {
        double sum = 0;
        for (std::size_t b = 0; b < 4; ++b) sum += beams[b * 6 + g] / 16.0;
        EXPECT_DOUBLE_EQ(plain.power[g], sum);
    }
    const auto removed = bf.finalizeStreamingDas(h, v, f, beams, diag, true, {}, {});
    double expected0 = 0;
    for (std::size_t b = 0; b < 4; ++b) expected0 += (beams[b * 6] - diag[b]) / 12.0;
    EXPECT_DOUBLE_EQ(removed.power[0], expected0);

    // Noise diagonal alone is ignored; noise beams alone are subtracted without touching the diagonal.
    const std::vector<double> noiseDiag{100.0, 100.0, 100.0, 100.0};
    const std::vector<double> noiseBeams(24, 1.0);
    EXPECT_EQ(bf.finalizeStreamingDas(h, v, f, beams, diag, true, {}, noiseDiag).power, removed.power);
    const auto beamsOnly = bf.finalizeStreamingDas(h, v, f, beams, diag, true, noiseBeams, {});
    EXPECT_NEAR(beamsOnly.power[0], expected0 - 4.0 / 12.0, 1e-12);
    // With both, the noise diagonal is taken off the diagonal offset (clamped at 0).
    const auto both = bf.finalizeStreamingDas(h, v, f, beams, diag, true, noiseBeams, noiseDiag);
    double expectedBoth = 0;
    for (std::size_t b = 0; b < 4; ++b) expectedBoth += (beams[b * 6] - 1.0) / 12.0;
    EXPECT_NEAR(both.power[0], expectedBoth, 1e-12);

    const std::string bad = "invalid DAS grid finalization input";
    EXPECT_EQ(messageOf([&] { bf.finalizeStreamingDas(h, v, {}, {}, {}, true, {}, {}); }), bad);
    EXPECT_EQ(messageOf([&] { bf.finalizeStreamingDas({}, v, f, beams, diag, true, {}, {}); }), bad);
    EXPECT_EQ(
        messageOf([&] { bf.finalizeStreamingDas(h, v, f, std::span(beams).first(23), diag, true, {}, {}); }),
        bad);
    EXPECT_EQ(
        messageOf([&] { bf.finalizeStreamingDas(h, v, f, beams, std::span(diag).first(3), true, {}, {}); }),
        bad);
    EXPECT_EQ(messageOf([&] {
                  bf.finalizeStreamingDas(h, v, f, beams, diag, true, std::span(noiseBeams).first(2), {});
              }),
              bad);
    EXPECT_EQ(messageOf([&] {
                  bf.finalizeStreamingDas(h, v, f, beams, diag, true, noiseBeams,
                                          std::span(noiseDiag).first(1));
              }),
              bad);
}

TEST(FinalizeStreamingDas, SingleMicrophoneWithDiagonalRemovalIsEmpty) {
    Beamformer bf({{0.0, 0.0, 0.0}}, 343.0);
    StreamingDasState state;
    const std::vector<double> f{2000.0};
    const std::vector<C> x{{3.0, -2.0}};
    bf.updateStreamingDas(state, x, f, 0.5, 20, 20, 0, 0, 5, 5, kInf, 4, 0, 0);
    const auto map = bf.finalizeStreamingDas(state.horizontalAxis, state.verticalAxis, state.frequencies,
                                             state.beamSums, state.diagonalSums, true, {}, {});
    for (double p : map.power) EXPECT_LE(p, 13.0 * 1e-6);
}

// The streaming average of |y|^2 over a spectra sequence equals a^H R a of the equally averaged
// cross-spectral matrix, so the two DAS paths must give the same map.
TEST(StreamingDas, EqualsBroadbandDasOfTheAveragedMatrix) {
    Fixture fx;
    std::mt19937 rng(8);
    const std::size_t m = 12;
    const double alpha = 0.7;
    std::vector<MatrixRows> averaged(3, MatrixRows(m, std::vector<C>(m)));
    for (int hop = 0; hop < 5; ++hop) {
        auto x = randomSpectra(3 * m, rng);
        const auto src = planeWaveSteering(fx.mics, 3000.0, 10.0, -5.0, 343.0);
        for (std::size_t i = 0; i < m; ++i) x[m + i] += 4.0 * src[i];
        fx.update(x, alpha);
        const double wOld = hop == 0 ? 0.0 : alpha;
        for (std::size_t b = 0; b < 3; ++b) {
            for (std::size_t i = 0; i < m; ++i) {
                for (std::size_t j = 0; j < m; ++j) {
                    averaged[b][i][j] =
                        wOld * averaged[b][i][j] + (1.0 - wOld) * x[b * m + i] * std::conj(x[b * m + j]);
                }
            }
        }
    }
    for (bool removeDiagonal : {false, true}) {
        const auto streamed =
            fx.bf.finalizeStreamingDas(fx.state.horizontalAxis, fx.state.verticalAxis, fx.state.frequencies,
                                       fx.state.beamSums, fx.state.diagonalSums, removeDiagonal, {}, {});
        const auto direct = fx.bf.broadbandDas(averaged, fx.freqs, 30, 20, 0, 0, 5, 5, removeDiagonal, kInf);
        ASSERT_EQ(streamed.power.size(), direct.power.size());
        const double peak = direct.power[direct.peakIndex];
        for (std::size_t g = 0; g < direct.power.size(); ++g) {
            EXPECT_NEAR(streamed.power[g], direct.power[g], 1e-5 * peak) << g;
        }
        EXPECT_EQ(streamed.peakIndex, direct.peakIndex);
    }

    // projectBand gives the same expected sums from the matrices.
    std::vector<double> beams, diag;
    fx.bf.projectBand(averaged, fx.freqs, 30, 20, 0, 0, 5, 5, kInf, beams, diag);
    ASSERT_EQ(beams.size(), fx.state.beamSums.size());
    for (std::size_t b = 0; b < 3; ++b) EXPECT_NEAR(diag[b], fx.state.diagonalSums[b], 1e-9 * diag[b]);
    for (std::size_t i = 0; i < beams.size(); ++i) {
        EXPECT_NEAR(beams[i], fx.state.beamSums[i], 1e-5 * diag[i / 35] * 12.0);
    }
}

TEST(ProjectBand, SubtractingAProjectionAsNoiseLeavesNothing) {
    Fixture fx;
    std::mt19937 rng(10);
    std::vector<MatrixRows> matrices;
    for (int b = 0; b < 3; ++b) matrices.push_back(testmodel::randomCsm(12, 2, rng));
    std::vector<double> beams, diag;
    fx.bf.projectBand(matrices, fx.freqs, 30, 20, 0, 0, 5, 5, kInf, beams, diag);
    const auto axesH = cameraGridAxis(30, 0, 5);
    const auto axesV = cameraGridAxis(20, 0, 5);
    for (bool removeDiagonal : {false, true}) {
        const auto signal =
            fx.bf.finalizeStreamingDas(axesH, axesV, fx.freqs, beams, diag, removeDiagonal, {}, {});
        EXPECT_GT(signal.peakDb, -100.0);
        const auto map =
            fx.bf.finalizeStreamingDas(axesH, axesV, fx.freqs, beams, diag, removeDiagonal, beams, diag);
        for (double p : map.power) EXPECT_EQ(p, 0.0);
        EXPECT_EQ(map.peakDb, -240.0);
    }
}

TEST(ProjectBand, RefusesBadInput) {
    Fixture fx;
    std::vector<double> beams{1.0}, diag{2.0};
    const MatrixRows ok(12, std::vector<C>(12));
    const std::vector<MatrixRows> three(3, ok);
    auto run = [&](std::span<const MatrixRows> m, std::span<const double> f, double span = 30) {
        return messageOf([&] { fx.bf.projectBand(m, f, span, 20, 0, 0, 5, 5, kInf, beams, diag); });
    };
    EXPECT_EQ(run({}, {}), "invalid matrix band projection input");
    EXPECT_EQ(run(std::span(three).first(2), fx.freqs), "invalid matrix band projection input");
    const std::vector<double> nanFreq{1000.0, kNaN, 2000.0};
    EXPECT_EQ(run(three, nanFreq), "invalid matrix band projection input");
    auto badRows = three;
    badRows[1][11].pop_back();
    EXPECT_EQ(run(badRows, fx.freqs), "matrix dimension does not match geometry");
    badRows = three;
    badRows[2].pop_back();
    EXPECT_EQ(run(badRows, fx.freqs), "matrix dimension does not match geometry");
    EXPECT_EQ(run(three, fx.freqs, -30), "invalid camera grid");
    EXPECT_EQ(run(three, fx.freqs, 200), "invalid camera grid");
    EXPECT_EQ(beams, (std::vector<double>{1.0}));  // outputs untouched on failure
}

TEST(StreamingDas, PeakAtSourceDirectionFromSyntheticSamples) {
    const auto mics = planarArray(24, 0.3, 31);
    Beamformer bf(mics, 343.0);
    const double fs = 48000.0;
    const std::size_t n = 512;
    const std::vector<std::uint64_t> bins{40, 50, 60};
    std::vector<double> freqs;
    for (auto k : bins) freqs.push_back(static_cast<double>(k) * fs / static_cast<double>(n));
    const SpectralFramer framer(n, n / 2);
    for (const auto& [h, v] : {std::pair{-20.0, 6.0}, std::pair{20.0, -6.0}}) {
        const auto samples = testmodel::planeWaveSamples(mics, h, v, freqs, 3000.0, fs, n * 9, 343.0, 23);
        StreamingDasState state;
        std::vector<C> block(bins.size() * mics.size());
        for (const auto& frame : framer.frame(samples, mics.size())) {
            for (std::size_t b = 0; b < bins.size(); ++b) {
                for (std::size_t m = 0; m < mics.size(); ++m)
                    block[b * mics.size() + m] = frame.spectra[m][bins[b]];
            }
            bf.updateStreamingDas(state, block, freqs, 0.8, 64, 48, 0, 0, 2, 2, kInf, 4, 0, 0);
        }
        const auto map = bf.finalizeStreamingDas(state.horizontalAxis, state.verticalAxis, state.frequencies,
                                                 state.beamSums, state.diagonalSums, true, {}, {});
        EXPECT_DOUBLE_EQ(map.peakAzimuthDeg, h);
        EXPECT_DOUBLE_EQ(map.peakElevationDeg, v);
        const std::size_t mirror =
            static_cast<std::size_t>((-v + 24) / 2) * map.width + static_cast<std::size_t>((-h + 32) / 2);
        EXPECT_LT(map.relativeDb[mirror], -6.0);
    }
}

}  // namespace
}  // namespace zk::core
