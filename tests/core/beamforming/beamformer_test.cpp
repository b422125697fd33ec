#include "core/beamforming/beamformer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <numbers>
#include <stdexcept>
#include <string>
#include <thread>

#include "steering_test_model.h"
#include "test_support.h"

namespace zk::core {
namespace {

using testmodel::planarArray;
using testmodel::planeWaveSteering;
using zk::test::messageOf;
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(CameraGrid, AxesFollowSpanAndStep) {
    const auto h = cameraGridAxis(64.0, 0.0, 2.0);
    const auto v = cameraGridAxis(48.0, 0.0, 2.0);
    ASSERT_EQ(h.size(), 33u);
    ASSERT_EQ(v.size(), 25u);
    EXPECT_DOUBLE_EQ(h.front(), -32.0);
    EXPECT_DOUBLE_EQ(h.back(), 32.0);
    EXPECT_DOUBLE_EQ(h[16], 0.0);
    EXPECT_DOUBLE_EQ(v.front(), -24.0);
    EXPECT_DOUBLE_EQ(v.back(), 24.0);

    const auto partial = cameraGridAxis(10.0, 0.0, 3.0);
    ASSERT_EQ(partial.size(), 4u);
    EXPECT_DOUBLE_EQ(partial[0], -4.5);
    EXPECT_DOUBLE_EQ(partial[1], -1.5);
    EXPECT_DOUBLE_EQ(partial[2], 1.5);
    EXPECT_DOUBLE_EQ(partial[3], 4.5);

    const auto shifted = cameraGridAxis(4.0, 10.0, 2.0);
    EXPECT_EQ(shifted, (std::vector<double>{8.0, 10.0, 12.0}));
}

TEST(CameraGrid, RefusesGridsTheSteeringModelCannotServe) {
    const CameraGridSpec good{64, 48, 0, 0, 2, 2, kInf};
    EXPECT_NO_THROW(checkCameraGrid(good));
    EXPECT_NO_THROW(checkCameraGrid({179.9, 48, 0, 0, 1, 1, 1.0}));
    EXPECT_NO_THROW(checkCameraGrid({64, 48, 0, 0, 2, 2, -kInf}));
    // At most 2^22 directions, however the axes share them: as many as the steering data serves, so a
    // map without it (one bin's) never runs on over a larger grid.
    EXPECT_NO_THROW(checkCameraGrid({127.9375, 127.9375, 0, 0, 1.0 / 16, 1.0 / 16, kInf}));  // 2048 x 2048
    EXPECT_NO_THROW(checkCameraGrid({63.99609375, 63.75, 0, 0, 1.0 / 256, 0.25, kInf}));     // 16384 x 256
    const char* tooLarge =
        "camera grid too large for the steering data (more than 2^22 points or 2^25 points x microphones)";
    for (const CameraGridSpec& tooMany : {CameraGridSpec{128, 127.9375, 0, 0, 1.0 / 16, 1.0 / 16, kInf},
                                          CameraGridSpec{63.99609375, 64, 0, 0, 1.0 / 256, 0.25, kInf},
                                          CameraGridSpec{94.86, 94.86, 0, 0, 0.01, 0.01, kInf}}) {
        EXPECT_EQ(messageOf([&] { checkCameraGrid(tooMany); }), tooLarge);
    }
    // The single-bin map builds no steering data: 90 M directions took it half a minute.
    const Beamformer two({{0.1, 0.0, 0.0}, {-0.1, 0.0, 0.0}}, 343.0);
    const MatrixRows rows(2, std::vector<std::complex<double>>(2));
    EXPECT_EQ(messageOf([&] { two.cameraGridMap(rows, 1000.0, 94.86, 94.86, 0, 0, 0.01, 0.01, false); }),
              tooLarge);
    const std::vector<CameraGridSpec> bad = {
        {-64, 48, 0, 0, 2, 2, kInf},     {64, 0, 0, 0, 2, 2, kInf},     {64, 48, 0, 0, 0, 2, kInf},
        {64, 48, 0, 0, 2, -1, kInf},     {kNaN, 48, 0, 0, 2, 2, kInf},  {64, 48, 0, 0, kNaN, 2, kInf},
        {kInf, 48, 0, 0, 2, 2, kInf},    {64, 48, 0, 0, 2, kInf, kInf}, {180, 48, 0, 0, 1, 1, kInf},
        {64, 200, 0, 0, 1, 1, kInf},     {64, 48, 70, 0, 1, 1, kInf},   {64, 48, 0, kNaN, 1, 1, kInf},
        {64, 48, 0, 0, 1e-300, 1, kInf}, {64, 48, 0, 0, 2, 2, kNaN},
    };
    for (const auto& g : bad) {
        EXPECT_EQ(messageOf([&] { checkCameraGrid(g); }), "invalid camera grid")
            << g.horizontalSpanDeg << " " << g.verticalSpanDeg << " " << g.horizontalCentreDeg << " "
            << g.horizontalStepDeg << " " << g.verticalStepDeg << " " << g.focusDistanceM;
    }
}

TEST(Beamformer, ConstructorAndSpeedOfSoundChecks) {
    EXPECT_EQ(messageOf([] { Beamformer({}, 343.0); }), "invalid beamformer geometry or sound speed");
    EXPECT_EQ(messageOf([] { Beamformer({{}}, 0.0); }), "invalid beamformer geometry or sound speed");
    EXPECT_EQ(messageOf([] { Beamformer({{}}, -1.0); }), "invalid beamformer geometry or sound speed");
    EXPECT_EQ(messageOf([] { Beamformer({{}}, kNaN); }), "invalid beamformer geometry or sound speed");
    Beamformer bf({{0.1, 0.2, 0.0}, {0.0, 0.0, 0.0}}, 343.0);
    EXPECT_EQ(bf.microphoneCount(), 2u);
    EXPECT_DOUBLE_EQ(bf.microphones()[0].y, 0.2);
    for (double c : {0.0, -5.0, kNaN, kInf}) {
        EXPECT_EQ(messageOf([&] { bf.setSpeedOfSound(c); }), "invalid speed of sound");
    }
    EXPECT_DOUBLE_EQ(bf.speedOfSound(), 343.0);
}

TEST(SteeringCache, CentreDirectionHasUnitPhaseTermsWhateverZ) {
    Beamformer bf({{0.1, 0.0, 0.3}, {-0.05, 0.07, -0.2}, {0.0, 0.0, 0.0}}, 343.0);
    const std::vector<double> freqs{1000.0, 5000.0};
    const auto cache = bf.steeringCacheFor(freqs, 4, 4, 0, 0, 2, 2, kInf);
    ASSERT_EQ(cache->gridPointCount, 9u);
    const std::size_t centre = 4;  // row 1, column 1 of the 3 x 3 grid
    for (std::size_t f = 0; f < 2; ++f) {
        for (std::size_t m = 0; m < 3; ++m) {
            const auto a = cache->phaseTerms[(f * 9 + centre) * 3 + m];
            EXPECT_FLOAT_EQ(a.real(), 1.0f);
            EXPECT_FLOAT_EQ(a.imag(), 0.0f);
        }
    }
}

TEST(SteeringCache, FarFieldPhasesMatchPlaneWaveGeometry) {
    const auto mics = planarArray(12, 0.3);
    Beamformer bf(mics, 343.0);
    const std::vector<double> freqs{2000.0, 7000.0};
    const auto cache = bf.steeringCacheFor(freqs, 40, 30, 5, -3, 10, 10, kInf);
    const std::size_t g_count = cache->gridPointCount;
    const std::size_t cols = cache->horizontalAxis.size();
    ASSERT_EQ(g_count, cols * cache->verticalAxis.size());
    for (std::size_t f = 0; f < freqs.size(); ++f) {
        for (std::size_t g = 0; g < g_count; ++g) {
            const auto expected = planeWaveSteering(mics, freqs[f], cache->horizontalAxis[g % cols],
                                                    cache->verticalAxis[g / cols], 343.0);
            // The model fixes the common phase so that every path difference is non-negative; compare
            // the phase of each microphone relative to microphone 0.
            const std::complex<double> a0(cache->phaseTerms[(f * g_count + g) * mics.size()]);
            double maxPhaseDiff = 0.0;
            for (std::size_t m = 0; m < mics.size(); ++m) {
                const std::complex<double> a(cache->phaseTerms[(f * g_count + g) * mics.size() + m]);
                EXPECT_NEAR(std::abs(a), 1.0, 1e-6);
                const auto rel = (a * std::conj(a0)) * std::conj(expected[m] * std::conj(expected[0]));
                maxPhaseDiff = std::max(maxPhaseDiff, std::abs(std::arg(rel)));
                // Planes hold the same numbers, regrouped microphone-major.
                EXPECT_EQ(cache->phasePlaneRe[(f * mics.size() + m) * g_count + g], a.real());
                EXPECT_EQ(cache->phasePlaneIm[(f * mics.size() + m) * g_count + g], a.imag());
            }
            EXPECT_LT(maxPhaseDiff, 1e-5);
        }
    }
    // At a low frequency the phases do not wrap: every path difference is >= 0 and the leading
    // microphone has exactly 0.
    const std::vector<double> low{100.0};
    const auto slow = bf.steeringCacheFor(low, 40, 30, 5, -3, 10, 10, kInf);
    for (std::size_t g = 0; g < slow->gridPointCount; ++g) {
        double smallest = 1.0;
        for (std::size_t m = 0; m < mics.size(); ++m) {
            const double d = -std::arg(std::complex<double>(slow->phaseTerms[g * mics.size() + m]));
            EXPECT_GE(d, -1e-6);
            smallest = std::min(smallest, d);
        }
        EXPECT_NEAR(smallest, 0.0, 1e-6);
    }
}

TEST(SteeringCache, FocusDistanceGivesSphericalPathDifferences) {
    Beamformer bf({{0.0, 0.0, 0.0}, {0.1, 0.0, 0.0}}, 343.0);
    const std::vector<double> freqs{1000.0};
    const auto cache = bf.steeringCacheFor(freqs, 20, 20, 0, 0, 10, 10, 1.0);
    ASSERT_EQ(cache->gridPointCount, 9u);
    const double k = 2.0 * std::numbers::pi * 1000.0 / 343.0;
    for (std::size_t g = 0; g < 9; ++g) {
        const auto origin = cache->phaseTerms[g * 2];
        EXPECT_FLOAT_EQ(origin.real(), 1.0f);
        EXPECT_FLOAT_EQ(origin.imag(), 0.0f);
    }
    const std::complex<double> centre(cache->phaseTerms[4 * 2 + 1]);
    const double d = -std::arg(centre) / k;
    EXPECT_NEAR(d, std::sqrt(1.01) - 1.0, 1e-7);
    EXPECT_NEAR(d, 0.00499, 1e-5);
}

// A wide array gives phases of a few hundred radians in the audio bins and tens of thousands in the 1 MHz
// bin, where an inexact reduction by pi / 2 shows; the 2e7 Hz bin exceeds the range of the fast sincos. The
// grid spans many work blocks, the last one partial, and the finite focus gives negative path differences.
TEST(SteeringCache, LargePhasesOverManyGridBlocksMatchDoublePrecision) {
    auto mics = planarArray(24, 6.0);
    for (std::size_t m = 0; m < mics.size(); ++m) mics[m].z = 0.05 * static_cast<double>(m % 3);
    Beamformer bf(mics, 343.0);
    const std::vector<double> freqs{8000.0, 1500.0, 1.0e6, 2.0e7};
    for (const double focus : {kInf, 2.0}) {
        const auto cache = bf.steeringCacheFor(freqs, 30, 20, 2, -1, 1, 1, focus);
        const std::size_t g_count = cache->gridPointCount;
        const std::size_t cols = cache->horizontalAxis.size();
        const std::size_t M = mics.size();
        ASSERT_EQ(g_count, 31u * 21u);
        double largestAudioPhase = 0.0;
        bool negativePath = false;
        for (std::size_t g = 0; g < g_count; ++g) {
            const auto u =
                testmodel::lookDirection(cache->horizontalAxis[g % cols], cache->verticalAxis[g / cols]);
            std::vector<double> d(M);
            double lead = 0.0;
            for (std::size_t m = 0; m < M; ++m) {
                if (std::isinf(focus)) {
                    d[m] = u[0] * mics[m].x + u[1] * mics[m].y;
                    lead = std::max(lead, d[m]);
                } else {
                    d[m] = std::hypot(focus * u[0] - mics[m].x, focus * u[1] - mics[m].y,
                                      focus * u[2] - mics[m].z) -
                           focus;
                }
            }
            if (std::isinf(focus)) {
                for (auto& v : d) v = lead - v;
            }
            for (std::size_t f = 0; f < freqs.size(); ++f) {
                for (std::size_t m = 0; m < M; ++m) {
                    const double phi = 2.0 * std::numbers::pi * freqs[f] * d[m] / 343.0;
                    if (f < 2) largestAudioPhase = std::max(largestAudioPhase, std::abs(phi));
                    negativePath = negativePath || d[m] < -1e-3;
                    const auto a = cache->phaseTerms[(f * g_count + g) * M + m];
                    // Float rounding of the term plus the rounding of phi itself.
                    const double tol = 6.0e-8 + 1e-15 * std::abs(phi);
                    EXPECT_NEAR(a.real(), std::cos(phi), tol) << f << " " << g << " " << m;
                    EXPECT_NEAR(a.imag(), -std::sin(phi), tol) << f << " " << g << " " << m;
                    EXPECT_EQ(cache->phasePlaneRe[(f * M + m) * g_count + g], a.real());
                    EXPECT_EQ(cache->phasePlaneIm[(f * M + m) * g_count + g], a.imag());
                }
            }
        }
        EXPECT_GT(largestAudioPhase, 150.0);
        EXPECT_EQ(negativePath, !std::isinf(focus));
    }
}

TEST(SteeringCache, HitsReturnTheSameEntryAndEvictionIsFirstInFirstOut) {
    Beamformer bf(planarArray(4, 0.2), 343.0);
    const std::vector<double> freqs{1000.0, 2000.0};
    auto get = [&](double span) { return bf.steeringCacheFor(freqs, span, 10, 0, 0, 5, 5, kInf); };
    const auto first = get(10);
    EXPECT_EQ(get(10), first);
    const std::vector<double> reversed{2000.0, 1000.0};
    EXPECT_NE(bf.steeringCacheFor(reversed, 10, 10, 0, 0, 5, 5, kInf), first);  // order matters
    EXPECT_NE(bf.steeringCacheFor(freqs, 10, 10, 0, 0, 5, 5, 2.0), first);      // focus is part of the key
    const auto second = bf.steeringCacheFor(reversed, 10, 10, 0, 0, 5, 5, kInf);
    get(15);
    EXPECT_EQ(get(10), first);  // hit does not move the entry
    get(20);                    // five entries now
    EXPECT_EQ(get(10), first);
    get(25);  // sixth distinct key: the oldest entry goes, although it was just hit
    EXPECT_EQ(bf.steeringCacheFor(reversed, 10, 10, 0, 0, 5, 5, kInf), second);
    const auto again = get(10);
    EXPECT_NE(again, first);
    EXPECT_EQ(first->gridPointCount, again->gridPointCount);  // evicted entry stays valid for its holder
    EXPECT_EQ(first->phaseTerms, again->phaseTerms);
}

TEST(SteeringCache, NanKeyNeverMatchesAndCyclesTheList) {
    Beamformer bf(planarArray(4, 0.2), 343.0);
    const std::vector<double> freqs{1000.0};
    const auto kept = bf.steeringCacheFor(freqs, 10, 10, 0, 0, 5, 5, kInf);
    const auto n1 = bf.steeringCacheFor(freqs, 10, 10, kNaN, 0, 5, 5, kInf);
    const auto n2 = bf.steeringCacheFor(freqs, 10, 10, kNaN, 0, 5, 5, kInf);
    EXPECT_NE(n1, n2);
    const std::vector<double> nanFreq{kNaN};
    EXPECT_NE(bf.steeringCacheFor(nanFreq, 10, 10, 0, 0, 5, 5, kInf),
              bf.steeringCacheFor(nanFreq, 10, 10, 0, 0, 5, 5, kInf));
    EXPECT_EQ(bf.steeringCacheFor(freqs, 10, 10, 0, 0, 5, 5, kInf), kept);
    for (int i = 0; i < 5; ++i) bf.steeringCacheFor(freqs, 10, 10, kNaN, 0, 5, 5, kInf);
    EXPECT_NE(bf.steeringCacheFor(freqs, 10, 10, 0, 0, 5, 5, kInf), kept);
}

TEST(SteeringCache, SpeedOfSoundChangeEmptiesTheCache) {
    Beamformer bf(planarArray(4, 0.2), 343.0);
    const std::vector<double> freqs{300.0};
    const auto before = bf.steeringCacheFor(freqs, 20, 20, 0, 0, 10, 10, kInf);
    bf.setSpeedOfSound(343.0);
    EXPECT_EQ(bf.steeringCacheFor(freqs, 20, 20, 0, 0, 10, 10, kInf), before);
    bf.setSpeedOfSound(340.0);
    const auto after = bf.steeringCacheFor(freqs, 20, 20, 0, 0, 10, 10, kInf);
    EXPECT_NE(after, before);
    // Phases scale with 1 / c (no wrapping at this frequency).
    int compared = 0;
    for (std::size_t i = 0; i < before->phaseTerms.size(); ++i) {
        const double old = std::arg(std::complex<double>(before->phaseTerms[i]));
        if (std::abs(old) < 1e-2) continue;
        EXPECT_NEAR(std::arg(std::complex<double>(after->phaseTerms[i])) / old, 343.0 / 340.0, 1e-4);
        ++compared;
    }
    EXPECT_GT(compared, 10);
}

TEST(SteeringCache, ConcurrentCallersShareOneEntry) {
    Beamformer bf(planarArray(16, 0.3), 343.0);
    const std::vector<double> freqs{1000.0, 2000.0, 3000.0};
    constexpr int kThreads = 6;
    std::vector<std::shared_ptr<const Beamformer::CameraBandSteeringCache>> got(kThreads);
    std::vector<std::thread> threads;
    std::atomic<int> ready{0};
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            ready.fetch_add(1);
            while (ready.load() < kThreads) std::this_thread::yield();
            for (int i = 0; i < 3; ++i) {
                // Extra distinct keys churn the list while the shared key stays within five entries.
                bf.steeringCacheFor(freqs, 10.0 + t % 2, 10, 0, 0, 5, 5, kInf);
            }
            got[t] = bf.steeringCacheFor(freqs, 30, 20, 0, 0, 5, 5, kInf);
        });
    }
    for (auto& th : threads) th.join();
    for (int t = 1; t < kThreads; ++t) EXPECT_EQ(got[t], got[0]);
    EXPECT_EQ(bf.steeringCacheFor(freqs, 30, 20, 0, 0, 5, 5, kInf), got[0]);
}

// True when every phase term of the entry is exp(-i 2 pi f d / c) of the double-precision model at this
// speed; the two speeds of the test below differ by far more than the tolerance at every compared term.
bool phasesFollowSpeed(const Beamformer::CameraBandSteeringCache& cache,
                       const std::vector<MicrophonePosition>& mics, double speed) {
    const std::size_t G = cache.gridPointCount;
    const std::size_t M = mics.size();
    const std::size_t cols = cache.horizontalAxis.size();
    for (std::size_t f = 0; f < cache.frequencies.size(); ++f) {
        for (std::size_t g = 0; g < G; g += 97) {
            const auto a = testmodel::steeringToward(mics, speed, cache.horizontalAxis[g % cols],
                                                     cache.verticalAxis[g / cols], cache.frequencies[f]);
            for (std::size_t m = 0; m < M; ++m) {
                if (std::abs(std::complex<double>(cache.phaseTerms[(f * G + g) * M + m]) - a[m]) > 1e-4) {
                    return false;
                }
            }
        }
    }
    return true;
}

// A build that started before a speed change may finish after the change emptied the cache; what it
// built must never be served to a later caller. The change lands at spread moments of the build.
TEST(SteeringCache, SpeedChangeDuringABuildNeverServesStalePhases) {
    const auto mics = planarArray(24, 0.4);
    Beamformer bf(mics, 343.0);
    const std::vector<double> freqs{3000.0, 4000.0, 5000.0};
    const CameraGridSpec grid{40, 30, 0, 0, 0.75, 0.75, kInf};
    const auto started = std::chrono::steady_clock::now();
    bf.steeringCacheFor(freqs, grid);
    const auto buildTime = std::chrono::steady_clock::now() - started;
    constexpr int kRounds = 24;
    int staleServed = 0;
    for (int round = 0; round < kRounds; ++round) {
        // Fresh speeds each round, so that every round starts from an empty cache.
        const double before = 300.0 + round;
        const double after = 340.0 + round;
        bf.setSpeedOfSound(before);
        std::atomic<bool> go{false};
        std::shared_ptr<const Beamformer::CameraBandSteeringCache> built;
        std::thread builder([&] {
            go.store(true);
            built = bf.steeringCacheFor(freqs, grid);
        });
        while (!go.load()) std::this_thread::yield();
        std::this_thread::sleep_for(buildTime * round / kRounds);
        bf.setSpeedOfSound(after);
        builder.join();
        // The caller of the racing build gets the phases of one of the two speeds; every later caller
        // gets those of the current one.
        EXPECT_TRUE(phasesFollowSpeed(*built, mics, before) || phasesFollowSpeed(*built, mics, after));
        if (!phasesFollowSpeed(*bf.steeringCacheFor(freqs, grid), mics, after)) ++staleServed;
    }
    EXPECT_EQ(staleServed, 0);
}

TEST(HermitianSymmetrize, ColumnMajorHermitianPart) {
    using C = std::complex<double>;
    const MatrixRows hermitian = {{{2, 0}, {1, -1}}, {{1, 1}, {3, 0}}};
    const auto h = hermitianSymmetrize(hermitian);
    ASSERT_EQ(h.size(), 4u);
    EXPECT_EQ(h[0], C(2, 0));
    EXPECT_EQ(h[1], C(1, 1));   // (1, 0)
    EXPECT_EQ(h[2], C(1, -1));  // (0, 1)
    EXPECT_EQ(h[3], C(3, 0));
    const MatrixRows general = {{{1, 2}, {4, 0}}, {{0, 2}, {5, 0}}};
    const auto g = hermitianSymmetrize(general);
    EXPECT_EQ(g[0], C(1, 0));
    EXPECT_EQ(g[2], (C(4, 0) + std::conj(C(0, 2))) * 0.5);  // (0, 1)
    EXPECT_EQ(g[1], std::conj(g[2]));
    EXPECT_EQ(messageOf([] { hermitianSymmetrize({{{1, 0}, {0, 0}}, {{1, 0}}}); }), "matrix is not square");
}

TEST(CheckBroadbandMatrix, RulesInOrder) {
    using C = std::complex<double>;
    const MatrixRows ok(2, std::vector<C>(2));
    MatrixRows shortRow = ok;
    shortRow[1].pop_back();
    const std::vector<MatrixRows> one{ok};
    const std::vector<double> f1{1000.0};
    const std::vector<double> f2{1000.0, 2000.0};
    EXPECT_NO_THROW(checkBroadbandMatrix(one, f1, 2));
    EXPECT_EQ(messageOf([&] { checkBroadbandMatrix({}, {}, 2); }), "invalid broadband matrix/frequency band");
    EXPECT_EQ(messageOf([&] { checkBroadbandMatrix(one, f2, 2); }),
              "invalid broadband matrix/frequency band");
    for (double f : {0.0, -1.0, kNaN, kInf}) {
        const std::vector<double> bad{f};
        EXPECT_EQ(messageOf([&] { checkBroadbandMatrix(one, bad, 2); }), "invalid broadband matrix bin") << f;
    }
    EXPECT_EQ(messageOf([&] { checkBroadbandMatrix(one, f1, 3); }), "invalid broadband matrix bin");
    const std::vector<MatrixRows> second{ok, shortRow};
    EXPECT_EQ(messageOf([&] { checkBroadbandMatrix(second, f2, 2); }), "invalid broadband spectral matrix");
    const std::vector<MatrixRows> empty{MatrixRows{}};
    EXPECT_EQ(messageOf([&] { checkBroadbandMatrix(empty, f1, 0); }), "invalid broadband matrix band");
}

}  // namespace
}  // namespace zk::core
