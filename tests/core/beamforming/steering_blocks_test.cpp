#include "core/beamforming/detail/steering_blocks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/beamforming/beamformer.h"
#include "core/beamforming/compute_beamforming_map.h"
#include "core/beamforming/detail/coarse_grid.h"
#include "core/platform/cpu_features.h"
#include "steering_test_model.h"
#include "test_support.h"

namespace zk::core {
namespace {

using Entry = Beamformer::CameraBandSteeringCache;
using zk::test::messageOf;
constexpr double kInf = std::numeric_limits<double>::infinity();
const std::string kTooLarge =
    "camera grid too large for the steering data (more than 2^22 points or 2^25 points x microphones)";

// Lowers the table budget for one scope; entries built meanwhile hold no tables.
class BudgetScope {
  public:
    explicit BudgetScope(std::uint64_t bytes) { detail::setSteeringTableBudgetBytes(bytes); }
    ~BudgetScope() { detail::setSteeringTableBudgetBytes(detail::kSteeringTableBudgetBytes); }
};

class VectorLevelScope {
  public:
    explicit VectorLevelScope(VectorLevel level) { detail::limitVectorLevel(level); }
    ~VectorLevelScope() { detail::limitVectorLevel(VectorLevel::kAvx512); }
};

std::shared_ptr<const Entry> blockedEntry(const Beamformer& bf, std::span<const double> freqs,
                                          const CameraGridSpec& grid) {
    BudgetScope scope(0);
    return bf.steeringCacheFor(freqs, grid);
}

// A wide array with one far microphone, so that the 2e7 Hz bin passes the fast sincos range and takes
// the library path for some terms of a block but not others.
std::vector<MicrophonePosition> wideArray() {
    auto mics = testmodel::planarArray(11, 0.5);
    mics.push_back({60.0, -3.0, 0.4});
    return mics;
}

TEST(BlockedSteering, BlocksGiveTheFloatsOfTheFullTables) {
    const auto mics = wideArray();
    const std::size_t M = mics.size();
    const std::vector<double> freqs{700.0, 4100.0, 2.0e7};
    for (const double focus : {kInf, 2.5}) {
        const CameraGridSpec grid{30, 20, 2, -1, 1, 1, focus};
        Beamformer full(mics, 343.0);
        Beamformer blockedBf(mics, 343.0);
        const auto tables = full.steeringCacheFor(freqs, grid);
        const auto blocked = blockedEntry(blockedBf, freqs, grid);
        ASSERT_TRUE(tables->tablesHeld);
        ASSERT_FALSE(blocked->tablesHeld);
        EXPECT_TRUE(blocked->phaseTerms.empty() && blocked->phasePlaneRe.empty());
        const std::uint64_t G = blocked->gridPointCount;
        ASSERT_EQ(G, 31u * 21u);
        EXPECT_EQ(blocked->pathDifferences.size(), G * M);
        detail::SteeringBlocks terms(*blocked, 53, detail::SteeringBlocks::Layout::kTerms);
        detail::SteeringBlocks planes(*blocked, 53, detail::SteeringBlocks::Layout::kPlanes);
        for (std::uint64_t b = 0; b < freqs.size(); ++b) {
            // Blocks of an odd size that never line up with the build's 64-point work items.
            for (std::uint64_t first = 0; first < G; first += 53) {
                const std::uint64_t end = std::min(first + 53, G);
                const auto t = terms.terms(b, first, end);
                ASSERT_EQ(t.size(), (end - first) * M);
                for (std::size_t i = 0; i < t.size(); ++i) {
                    ASSERT_EQ(t[i], tables->phaseTerms[(b * G + first) * M + i])
                        << b << " " << first << " " << i;
                }
                const detail::PlaneBlock p = planes.planes(b, first, end);
                for (std::uint64_t m = 0; m < M; ++m) {
                    for (std::uint64_t g = first; g < end; ++g) {
                        const std::size_t at = m * p.stride + (g - first + p.first);
                        ASSERT_EQ(p.re[at], tables->phasePlaneRe[(b * M + m) * G + g]);
                        ASSERT_EQ(p.im[at], tables->phasePlaneIm[(b * M + m) * G + g]);
                    }
                }
            }
        }
    }
}

TEST(BlockedSteering, VectorVariantsGiveTheBaselineFloats) {
    const auto mics = wideArray();
    const std::vector<double> freqs{700.0, 4100.0, 2.0e7};
    const CameraGridSpec grid{30, 20, 2, -1, 1, 1, 2.5};
    std::shared_ptr<const Entry> baseline;
    {
        VectorLevelScope scope(VectorLevel::kBaseline);
        baseline = Beamformer(mics, 343.0).steeringCacheFor(freqs, grid);
    }
    for (const VectorLevel level : {VectorLevel::kAvx2, VectorLevel::kAvx512}) {
        VectorLevelScope scope(level);
        if (vectorLevel() != level) {
            GTEST_SKIP() << "this CPU or build has no " << vectorLevelName(level) << " variant";
        }
        const auto entry = Beamformer(mics, 343.0).steeringCacheFor(freqs, grid);
        EXPECT_EQ(entry->phaseTerms, baseline->phaseTerms) << vectorLevelName(level);
        EXPECT_EQ(entry->phasePlaneRe, baseline->phasePlaneRe) << vectorLevelName(level);
        EXPECT_EQ(entry->phasePlaneIm, baseline->phasePlaneIm) << vectorLevelName(level);
    }
}

TEST(BlockedSteering, TablesAreKeptUpToTheBudgetByte) {
    Beamformer bf(testmodel::planarArray(8, 0.3), 343.0);
    const std::vector<double> freqs{1000.0, 2000.0, 3000.0};
    const CameraGridSpec grid{20, 10, 0, 0, 1, 1, kInf};
    const std::uint64_t bytes = 3 * 21 * 11 * 8 * 16;  // F x G x M terms of 16 bytes with the planes
    {
        BudgetScope scope(bytes);
        EXPECT_TRUE(bf.steeringCacheFor(freqs, grid)->tablesHeld);
    }
    Beamformer other(testmodel::planarArray(8, 0.3), 343.0);
    BudgetScope scope(bytes - 1);
    EXPECT_FALSE(other.steeringCacheFor(freqs, grid)->tablesHeld);
}

// 64 x 48 degrees with 128 microphones and 32 bins: a 0.25-degree grid would need 3.3 GB of tables and
// keeps only its path differences; at 0.1 degrees even those pass the bound, and 0.02 degrees has
// 7.7 million points. Both are refused before anything of their size is allocated.
TEST(BlockedSteering, FineGridsKeepPathDifferencesAndFinerOnesAreRefused) {
    const auto mics = testmodel::planarArray(128, 0.5);
    Beamformer bf(mics, 343.0);
    std::vector<double> freqs;
    for (int b = 0; b < 32; ++b) freqs.push_back(2000.0 + 187.5 * b);
    const auto fine = bf.steeringCacheFor(freqs, CameraGridSpec{64, 48, 0, 0, 0.25, 0.25, kInf});
    EXPECT_FALSE(fine->tablesHeld);
    EXPECT_EQ(fine->gridPointCount, 257u * 193u);
    EXPECT_EQ(fine->pathDifferences.size(), 257u * 193u * 128u);
    EXPECT_TRUE(fine->phaseTerms.empty() && fine->phasePlaneRe.empty() && fine->phasePlaneIm.empty());
    EXPECT_EQ(messageOf([&] {
                  bf.steeringCacheFor(freqs, CameraGridSpec{64, 48, 0, 0, 0.1, 0.1, kInf});
              }),
              kTooLarge);
    EXPECT_EQ(messageOf([&] {
                  bf.steeringCacheFor(freqs, CameraGridSpec{64, 48, 0, 0, 0.02, 0.02, kInf});
              }),
              kTooLarge);

    // Through an algorithm entry, with few microphones: the point count alone is refused.
    Beamformer small(testmodel::planarArray(4, 0.2), 343.0);
    const std::vector<double> one{3000.0};
    std::vector<MatrixRows> matrices{testmodel::zeroMatrix(4)};
    EXPECT_EQ(messageOf([&] { small.broadbandDas(matrices, one, 64, 48, 0, 0, 0.02, 0.02, false, kInf); }),
              kTooLarge);
}

// Every algorithm reads the steering of an entry that holds no tables block by block and must give
// the map of the full tables exactly; both focus modes, on a grid of several odd-sized blocks.
TEST(BlockedSteering, EveryAlgorithmGivesTheSameMapFromBlocks) {
    const auto mics = testmodel::scatteredArray(16);
    FrequencyBandParameters bp;
    bp.mode = 2;
    bp.centerHz = 4000.0;
    const FrequencyBand band = resolveFrequencyBand(48000, 1024, bp);
    ASSERT_GT(band.binFrequenciesHz.size(), 2u);
    std::vector<MatrixRows> matrices;
    for (double f : band.binFrequenciesHz) {
        matrices.push_back(testmodel::mixture({{testmodel::steeringToward(mics, 343.0, 8.0, -6.0, f), 1.0},
                                               {testmodel::steeringToward(mics, 343.0, -20.0, 10.0, f), 0.5}},
                                              0.05, mics.size()));
    }
    for (const double focus : {kInf, 3.0}) {
        Beamformer full(mics, 343.0);
        Beamformer blocked(mics, 343.0);
        for (std::int32_t id = 1; id <= 14; ++id) {
            SCOPED_TRACE("algorithm " + std::to_string(id) + " focus " + std::to_string(focus));
            BeamformingParameters p;
            p.algorithm = id;
            p.focusDistanceM = focus;
            p.cleanMaxIterations = 5;
            const HeatmapGrid expected = computeBeamformingMap(full, matrices, band, p, 64, 64.0, 48.0, 2.0);
            BudgetScope scope(0);
            const HeatmapGrid actual = computeBeamformingMap(blocked, matrices, band, p, 64, 64.0, 48.0, 2.0);
            EXPECT_EQ(actual.power, expected.power);
            EXPECT_EQ(actual.estimatedSourceCount, expected.estimatedSourceCount);
        }
        const CameraGridSpec grid{64, 48, 0, 0, 2, 2, focus};
        ASSERT_TRUE(full.steeringCacheFor(band.binFrequenciesHz, grid)->tablesHeld);
        ASSERT_FALSE(blockedEntry(blocked, band.binFrequenciesHz, grid)->tablesHeld);
    }
}

TEST(BlockedSteering, StreamingDasProjectionAndPointSpreadMatchTheTables) {
    const auto mics = testmodel::scatteredArray(16);
    const std::size_t M = mics.size();
    const std::vector<double> freqs{1500.0, 3000.0, 4500.0};
    const CameraGridSpec grid{64, 48, 0, 0, 2, 2, 4.0};
    Beamformer full(mics, 343.0);
    Beamformer blocked(mics, 343.0);
    std::mt19937 rng(5);
    std::normal_distribution<double> n(0.0, 1.0);
    StreamingDasState fullState, blockedState;
    for (int hop = 0; hop < 3; ++hop) {
        std::vector<std::complex<double>> spectra(freqs.size() * M);
        for (auto& x : spectra) x = {n(rng), n(rng)};
        full.updateStreamingDas(fullState, spectra, freqs, 0.8, grid, 4, 0, 0);
        BudgetScope scope(0);
        blocked.updateStreamingDas(blockedState, spectra, freqs, 0.8, grid, 4, 0, 0);
    }
    ASSERT_NE(blockedState.steering, nullptr);
    EXPECT_FALSE(blockedState.steering->tablesHeld);
    EXPECT_EQ(blockedState.beamSums, fullState.beamSums);
    EXPECT_EQ(blockedState.diagonalSums, fullState.diagonalSums);

    std::vector<MatrixRows> matrices;
    for (std::size_t b = 0; b < freqs.size(); ++b) matrices.push_back(testmodel::randomCsm(M, 3, rng));
    std::vector<double> fullBeams, fullDiagonal, blockedBeams, blockedDiagonal;
    full.projectBand(matrices, freqs, grid, fullBeams, fullDiagonal);
    {
        BudgetScope scope(0);
        blocked.projectBand(matrices, freqs, grid, blockedBeams, blockedDiagonal);
    }
    EXPECT_EQ(blockedBeams, fullBeams);
    EXPECT_EQ(blockedDiagonal, fullDiagonal);

    const auto tables = full.steeringCacheFor(freqs, grid);
    const auto points =
        detail::coarseGridPoints(detail::coarseGridLines(25, 3), detail::coarseGridLines(33, 3), 33);
    EXPECT_EQ(Beamformer::pointSpreadMatrix(*blockedEntry(blocked, freqs, grid), points),
              Beamformer::pointSpreadMatrix(*tables, points));
}

}  // namespace
}  // namespace zk::core
