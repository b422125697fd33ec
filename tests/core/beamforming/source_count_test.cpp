#include "core/beamforming/source_count.h"

#include <gtest/gtest.h>

#include <vector>

namespace zk::core {
namespace {

constexpr std::uint32_t kMdl = 1;
constexpr std::uint32_t kAic = 2;
constexpr std::uint32_t kGap = 3;
constexpr double kFloor = 1e-12;

std::uint32_t estimate(const std::vector<double>& lambda, std::uint64_t n, std::uint32_t maxSources,
                       std::uint32_t estimator) {
    return estimateSourceCount(lambda, n, maxSources, estimator, kFloor);
}

TEST(SourceCount, FewerThanTwoEigenvaluesGiveOne) {
    for (std::uint32_t estimator : {kMdl, kAic, kGap}) {
        EXPECT_EQ(estimate({}, 100, 8, estimator), 1u);
        EXPECT_EQ(estimate({42.0}, 100, 8, estimator), 1u);
    }
}

TEST(SourceCount, StrongSourcesOverWhiteNoiseAreCountedByEveryEstimator) {
    // Three sources far above a flat noise floor: only k = 3 leaves a perfectly flat remainder.
    const std::vector<double> lambda = {400.0, 200.0, 100.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0};
    EXPECT_EQ(estimate(lambda, 200, 8, kMdl), 3u);
    EXPECT_EQ(estimate(lambda, 200, 8, kAic), 3u);
    EXPECT_EQ(estimate(lambda, 200, 8, kGap), 3u);
}

TEST(SourceCount, WhiteNoiseAloneReportsOneSource) {
    // k = 0 wins for the criteria (flat spectrum, no penalty) and is reported as 1; for the gap
    // estimator every gap is 0 and the first one wins.
    const std::vector<double> lambda(6, 2.5);
    EXPECT_EQ(estimate(lambda, 50, 8, kMdl), 1u);
    EXPECT_EQ(estimate(lambda, 50, 8, kAic), 1u);
    EXPECT_EQ(estimate(lambda, 50, 8, kGap), 1u);
}

TEST(SourceCount, AicAcceptsAWeakSourceThatMdlRejects) {
    // Worked by hand for N = 100, p = 8: AIC scores k = 1 at 78.3 and k = 2 at 56.0; MDL scores
    // k = 1 at 58.7 and k = 2 at 64.5, its ln(N) penalty outweighing the weak second eigenvalue.
    const std::vector<double> lambda = {50.0, 2.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0};
    EXPECT_EQ(estimate(lambda, 100, 8, kAic), 2u);
    EXPECT_EQ(estimate(lambda, 100, 8, kMdl), 1u);
}

TEST(SourceCount, SnapshotCountsBelowTwoCountAsTwo) {
    // With few snapshots MDL cannot afford the weak source it finds with many.
    const std::vector<double> lambda = {50.0, 3.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0};
    const std::uint32_t withTwo = estimate(lambda, 2, 8, kMdl);
    EXPECT_EQ(estimate(lambda, 1000, 8, kMdl), 2u);
    EXPECT_EQ(withTwo, 1u);
    EXPECT_EQ(estimate(lambda, 0, 8, kMdl), withTwo);
    EXPECT_EQ(estimate(lambda, 1, 8, kMdl), withTwo);
    EXPECT_EQ(estimate(lambda, 1000, 8, kAic), 2u);
    EXPECT_EQ(estimate(lambda, 2, 8, kAic), 1u);
    EXPECT_EQ(estimate(lambda, 0, 8, kAic), 1u);
}

TEST(SourceCount, GapEstimatorTakesTheFirstLargestLogRatio) {
    EXPECT_EQ(estimate({10.0, 9.0, 1.0, 1.0, 1.0}, 10, 8, kGap), 2u);
    // Equal log gaps (ratio 4 twice): the first wins.
    EXPECT_EQ(estimate({64.0, 16.0, 4.0, 4.0}, 10, 8, kGap), 1u);
    // The floor guards the division: a zero eigenvalue behind the floor makes the last gap largest.
    EXPECT_EQ(estimateSourceCount(std::vector<double>{3.0, 2.0, 1e-9}, 10, 8, kGap, 1e-9), 2u);
}

TEST(SourceCount, MaxSourcesAndChannelCountBoundTheSearch) {
    const std::vector<double> lambda = {100.0, 90.0, 80.0, 70.0, 1.0, 1.0};
    EXPECT_EQ(estimate(lambda, 500, 8, kMdl), 4u);
    EXPECT_EQ(estimate(lambda, 500, 2, kMdl), 2u);
    EXPECT_EQ(estimate(lambda, 500, 2, kAic), 2u);
    // Gaps within the first two: ln(100/90) < ln(90/80), so 2.
    EXPECT_EQ(estimate(lambda, 500, 2, kGap), 2u);
    EXPECT_EQ(estimate(lambda, 500, 0, kGap), 1u);
    EXPECT_EQ(estimate(lambda, 500, 0, kMdl), 1u);
    // Two eigenvalues: at most p - 1 = 1 source whatever the cap.
    EXPECT_EQ(estimate({100.0, 1.0}, 500, 16, kGap), 1u);
    EXPECT_EQ(estimate({100.0, 1.0}, 500, 16, kMdl), 1u);
}

TEST(SourceCount, UnknownEstimatorFallsBackToMdl) {
    const std::vector<double> lambda = {50.0, 2.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0};
    EXPECT_EQ(estimate(lambda, 100, 8, 7), estimate(lambda, 100, 8, kMdl));
    EXPECT_EQ(estimate(lambda, 100, 8, 0), 1u);
}

}  // namespace
}  // namespace zk::core
