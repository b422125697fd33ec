#include "core/beamforming/deconvolution_solvers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/beamforming/beamformer.h"
#include "deconvolution_reference.h"
#include "steering_test_model.h"

namespace zk::core {
namespace {

using Vec = std::vector<double>;

// A well-conditioned stand-in for a point-spread matrix: Gaussian blur over a line of points, unit
// diagonal, symmetric and diagonally dominant (smallest eigenvalue above 0.2).
Vec gaussianSpread(std::size_t n, double width = 1.0) {
    Vec p(n * n);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j) {
            const double d = (static_cast<double>(i) - static_cast<double>(j)) / width;
            p[i * n + j] = std::exp(-d * d);
        }
    }
    return p;
}

Vec identity(std::size_t n) {
    Vec p(n * n, 0.0);
    for (std::size_t i = 0; i < n; ++i) p[i * n + i] = 1.0;
    return p;
}

Vec column(const Vec& p, std::size_t n, std::size_t k) {
    Vec c(n);
    for (std::size_t j = 0; j < n; ++j) c[j] = p[j * n + k];
    return c;
}

// Gradient of 1/2 ||P x - b||^2, computed the plain way in double.
Vec gradient(const Vec& p, const Vec& x, const Vec& b) {
    const std::size_t n = b.size();
    Vec r(n, 0.0), g(n, 0.0);
    for (std::size_t j = 0; j < n; ++j) {
        for (std::size_t i = 0; i < n; ++i) r[j] += p[j * n + i] * x[i];
        r[j] -= b[j];
    }
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j) g[i] += p[j * n + i] * r[j];
    }
    return g;
}

double euclid(const Vec& a, const Vec& b) {
    double s = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) s += (a[i] - b[i]) * (a[i] - b[i]);
    return std::sqrt(s);
}

double euclid(const Vec& a) { return euclid(a, Vec(a.size(), 0.0)); }

Vec randomData(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    Vec b(n);
    for (auto& v : b) v = u(rng) < 0.3 ? 0.0 : u(rng);
    return b;
}

TEST(DeconvolutionSolvers, LipschitzEstimateMatchesLargestEigenvalueOfNormalMatrix) {
    Vec diag = {3.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 0.5};
    EXPECT_NEAR(lipschitzEstimate(diag, 3), 9.0, 1e-9);
    Vec pair = {2.0, 1.0, 1.0, 2.0};  // eigenvalues 3 and 1
    EXPECT_NEAR(lipschitzEstimate(pair, 2), 9.0, 1e-12);
    EXPECT_EQ(lipschitzEstimate({}, 0), 1.0);
    EXPECT_EQ(lipschitzEstimate(Vec(9, 0.0), 3), 1.0);
    // Nilpotent P maps the start vector into a null direction of P^T P after one step.
    Vec nil = {0.0, 1.0, 0.0, 0.0};
    EXPECT_NEAR(lipschitzEstimate(nil, 2), 1.0, 1e-12);
    Vec tiny = {1e-20, 0.0, 0.0, 1e-20};
    EXPECT_EQ(lipschitzEstimate(tiny, 2), 1.0);
}

TEST(DeconvolutionSolvers, IdentityReturnsData) {
    const Vec b = {0.25, 1.0, 0.0, 0.5, 0.75};
    const Vec p = identity(b.size());
    EXPECT_EQ(damasSolve(p, b, 1, 1.0), b);
    EXPECT_EQ(damasSolve(p, b, 7, 1.0), b);
    for (const Vec& x : {damasFistaSolve(p, b, 50, 1e-4), nnlsSolve(p, b, 50, 1e-4),
                         sparseFistaSolve(p, b, 50, 0.0, 1e-4)}) {
        ASSERT_EQ(x.size(), b.size());
        for (std::size_t i = 0; i < b.size(); ++i) EXPECT_NEAR(x[i], b[i], 1e-12);
    }
    const Vec sbl = sblSolve(p, b, 100, 1e-5, 1e-5);
    for (std::size_t i = 0; i < b.size(); ++i) EXPECT_NEAR(sbl[i], b[i], 1e-3);
    EXPECT_EQ(*std::max_element(sbl.begin(), sbl.end()), 1.0);
}

TEST(DeconvolutionSolvers, ColumnOfPointSpreadRecoversUnitSource) {
    const std::size_t n = 15;
    const Vec p = gaussianSpread(n);
    for (std::size_t k : {std::size_t{0}, std::size_t{7}, n - 1}) {
        const Vec b = column(p, n, k);
        const Vec solutions[] = {damasSolve(p, b, 200, 1.0), damasFistaSolve(p, b, 2000, 1e-12),
                                 nnlsSolve(p, b, 5000, 1e-12), sparseFistaSolve(p, b, 2000, 0.0, 1e-12),
                                 sblSolve(p, b, 100, 1e-5, 1e-5)};
        for (const Vec& x : solutions) {
            ASSERT_EQ(x.size(), n);
            for (std::size_t i = 0; i < n; ++i) EXPECT_NEAR(x[i], i == k ? 1.0 : 0.0, 1e-3) << k << " " << i;
        }
    }
}

TEST(DeconvolutionSolvers, ZeroDataGivesZeroSolution) {
    const std::size_t n = 6;
    const Vec p = gaussianSpread(n);
    const Vec b(n, 0.0), zeros(n, 0.0);
    EXPECT_EQ(damasSolve(p, b, 10, 1.0), zeros);
    EXPECT_EQ(damasFistaSolve(p, b, 10, 1e-4), zeros);
    EXPECT_EQ(nnlsSolve(p, b, 10, 1e-4), zeros);
    EXPECT_EQ(sparseFistaSolve(p, b, 10, 0.02, 1e-4), zeros);
    EXPECT_EQ(sblSolve(p, b, 10, 1e-3, 1e-5), zeros);
    EXPECT_TRUE(sblSolve({}, {}, 10, 1e-3, 1e-5).empty());
    EXPECT_TRUE(damasSolve({}, {}, 10, 1.0).empty());
}

TEST(DeconvolutionSolvers, NnlsAndFistaMeetOptimalityConditions) {
    const std::size_t n = 20;
    const Vec p = gaussianSpread(n, 1.3);
    for (unsigned seed : {1u, 2u, 3u}) {
        const Vec b = randomData(n, seed);
        const Vec candidates[] = {nnlsSolve(p, b, 100000, 1e-15), damasFistaSolve(p, b, 20000, 1e-15)};
        for (const Vec& x : candidates) {
            const Vec g = gradient(p, x, b);
            bool anyActive = false;
            for (std::size_t i = 0; i < n; ++i) {
                EXPECT_GE(x[i], 0.0);
                EXPECT_GE(g[i], -1e-7);
                EXPECT_LE(std::abs(x[i] * g[i]), 1e-7);
                anyActive = anyActive || x[i] == 0.0;
            }
            EXPECT_TRUE(anyActive) << "data should leave some bounds active";
        }
        // With the L1 penalty the stationarity condition shifts by lambda.
        const double lambdaRel = 0.05;
        Vec ptb(n, 0.0);
        for (std::size_t i = 0; i < n; ++i) {
            for (std::size_t j = 0; j < n; ++j) ptb[i] += p[j * n + i] * b[j];
        }
        const double lambda = lambdaRel * std::max(0.0, *std::max_element(ptb.begin(), ptb.end()));
        const Vec x = sparseFistaSolve(p, b, 20000, lambdaRel, 1e-15);
        const Vec g = gradient(p, x, b);
        for (std::size_t i = 0; i < n; ++i) {
            if (x[i] > 0.0) {
                EXPECT_NEAR(g[i] + lambda, 0.0, 1e-7);
            } else {
                EXPECT_GE(g[i] + lambda, -1e-7);
            }
        }
    }
}

TEST(DeconvolutionSolvers, SparseFistaWithoutPenaltyIsDamasFista) {
    const std::size_t n = 12;
    const Vec p = gaussianSpread(n, 1.5);
    const Vec b = randomData(n, 9);
    EXPECT_EQ(sparseFistaSolve(p, b, 40, 0.0, 1e-4), damasFistaSolve(p, b, 40, 1e-4));
    EXPECT_NE(sparseFistaSolve(p, b, 40, 0.1, 1e-4), damasFistaSolve(p, b, 40, 1e-4));
}

// Plain Gauss-Seidel with relaxation, written out directly for a small system.
Vec referenceGaussSeidel(const Vec& p, const Vec& b, int sweeps, double w) {
    const std::size_t n = b.size();
    Vec x(n, 0.0);
    for (int s = 0; s < sweeps; ++s) {
        for (std::size_t i = 0; i < n; ++i) {
            double offDiagonal = 0.0;
            for (std::size_t j = 0; j < n; ++j) {
                if (j != i) offDiagonal += p[i * n + j] * x[j];
            }
            const double u = (b[i] - offDiagonal) / p[i * n + i];
            x[i] = std::max(0.0, w * std::max(u, 0.0) + (1.0 - w) * x[i]);
        }
    }
    return x;
}

TEST(DeconvolutionSolvers, DamasRunsExactlyTheGivenSweeps) {
    const Vec p = {1.0, 0.6, 0.2, 0.6, 1.0, 0.6, 0.2, 0.6, 1.0};
    const Vec b = {0.9, 1.0, 0.3};
    for (double w : {1.0, 0.5, 1.7}) {
        Vec previous;
        for (int sweeps = 1; sweeps <= 6; ++sweeps) {
            const Vec x = damasSolve(p, b, static_cast<std::uint32_t>(sweeps), w);
            const Vec expected = referenceGaussSeidel(p, b, sweeps, w);
            for (std::size_t i = 0; i < b.size(); ++i) EXPECT_NEAR(x[i], expected[i], 1e-14);
            EXPECT_NE(x, previous) << "each sweep must change the iterate here";
            previous = x;
        }
    }
    // A zero diagonal is floored rather than dividing by zero.
    const Vec hollow = {0.0, 0.5, 0.5, 0.0};
    for (double v : damasSolve(hollow, Vec{1.0, 1.0}, 3, 1.0)) EXPECT_TRUE(std::isfinite(v));
}

// The solvers' own iterates, taken one limit at a time with no early stop, tell where the
// relative-change rule must stop a run with a loose tolerance.
template <typename Solve>
void expectStopAtFirstSmallChange(const Solve& solve, double tolerance) {
    const int limit = 400;
    std::vector<Vec> iterates = {Vec()};
    for (int k = 1; k <= limit; ++k) iterates.push_back(solve(static_cast<std::uint32_t>(k), 0.0));
    int stopAt = limit;
    for (int k = 1; k <= limit; ++k) {
        const Vec& old = k == 1 ? Vec(iterates[1].size(), 0.0) : iterates[k - 1];
        if (euclid(iterates[k], old) <= tolerance * std::max(1e-9, euclid(old))) {
            stopAt = k;
            break;
        }
    }
    ASSERT_GT(stopAt, 2);
    ASSERT_LT(stopAt, limit);
    EXPECT_EQ(solve(static_cast<std::uint32_t>(limit), tolerance), iterates[stopAt]);
    EXPECT_NE(solve(static_cast<std::uint32_t>(limit), tolerance / 10.0), iterates[stopAt]);
}

TEST(DeconvolutionSolvers, GradientSolversStopOnRelativeChange) {
    const std::size_t n = 16;
    const Vec p = gaussianSpread(n, 1.4);
    const Vec b = randomData(n, 4);
    const double tol = 1e-3;
    expectStopAtFirstSmallChange([&](std::uint32_t it, double t) { return nnlsSolve(p, b, it, t); }, tol);
    expectStopAtFirstSmallChange([&](std::uint32_t it, double t) { return damasFistaSolve(p, b, it, t); },
                                 tol);
    expectStopAtFirstSmallChange(
        [&](std::uint32_t it, double t) { return sparseFistaSolve(p, b, it, 0.02, t); }, tol);
}

TEST(DeconvolutionSolvers, FirstIterationStopsOnlyForNegligibleUpdate) {
    const std::size_t n = 8;
    const Vec p = gaussianSpread(n);
    Vec tiny = randomData(n, 5);
    for (auto& v : tiny) v *= 1e-14;  // first step has norm far below tol * 1e-9
    EXPECT_EQ(nnlsSolve(p, tiny, 100, 1e-2), nnlsSolve(p, tiny, 1, 1e-2));
    EXPECT_EQ(damasFistaSolve(p, tiny, 100, 1e-2), damasFistaSolve(p, tiny, 1, 1e-2));
    const Vec b = randomData(n, 5);
    EXPECT_NE(nnlsSolve(p, b, 100, 1e-2), nnlsSolve(p, b, 1, 1e-2));
    // P = I reaches b at once; the second iteration changes nothing and stops.
    const Vec id = identity(n);
    EXPECT_EQ(nnlsSolve(id, b, 100, 1e-12), nnlsSolve(id, b, 2, 1e-12));
}

TEST(DeconvolutionSolvers, SblKeepsStrongestSourcesAndScalesToOne) {
    const std::size_t n = 15;
    const Vec p = gaussianSpread(n);
    Vec b(n, 0.0);
    for (std::size_t j = 0; j < n; ++j) b[j] = p[j * n + 3] + 0.6 * p[j * n + 10];
    const Vec both = sblSolve(p, b, 100, 1e-5, 1e-5);
    EXPECT_EQ(*std::max_element(both.begin(), both.end()), 1.0);
    EXPECT_NEAR(both[3], 1.0, 1e-3);
    EXPECT_NEAR(both[10], 0.6, 1e-3);
    // Pruning near 1 drops everything but the points whose variance is near the largest.
    const Vec strongest = sblSolve(p, b, 100, 1e-5, 0.999);
    EXPECT_EQ(*std::max_element(strongest.begin(), strongest.end()), 1.0);
    const auto nonZero = std::count_if(strongest.begin(), strongest.end(), [](double v) { return v > 0.0; });
    EXPECT_LT(nonZero, 3);
    EXPECT_EQ(strongest[10], 0.0);
    // Zero passes keep the prior mean of zero.
    EXPECT_EQ(sblSolve(p, b, 0, 1e-3, 1e-5), Vec(n, 0.0));
}

struct SblProblem {
    std::string name;
    Vec p, b;
};

// Blurred, randomly perturbed spreads with random data: a size that spans two of the solver's blocks in
// every direction, and one that does not.
SblProblem blurProblem(std::size_t n) {
    std::mt19937 rng(static_cast<unsigned>(n));
    std::uniform_real_distribution<double> jitter(0.0, 0.05);
    Vec p = gaussianSpread(n, 3.0);
    for (double& v : p) v += jitter(rng);
    return {"blur n " + std::to_string(n), p, randomData(n, 11)};
}

// The spread and data the deconvolution driver makes of a band, every cell of a 40 x 30 degree grid at
// 2 degrees a point (n = 336): few microphones, so P is far from full rank and, once the fit is close, the
// noise loading is near its floor.
SblProblem mapProblem(const std::string& name, const std::vector<MicrophonePosition>& mics,
                      const std::vector<double>& freqs, const std::vector<MatrixRows>& matrices,
                      double focusM) {
    const Beamformer beamformer(mics, testmodel::kSoundSpeed);
    const CameraGridSpec grid{40.0, 30.0, 0.0, 0.0, 2.0, 2.0, focusM};
    const auto cache = beamformer.steeringCacheFor(freqs, grid);
    std::vector<std::uint64_t> points(cache->gridPointCount);
    std::iota(points.begin(), points.end(), std::uint64_t{0});
    const testmodel::Grid model{40.0, 30.0, 0.0, 0.0, 2.0, 2.0, focusM};
    return {name, Beamformer::pointSpreadMatrix(*cache, points),
            reference::dasData(matrices, reference::floatSteering(mics, model, freqs, points))};
}

// 8 microphones on a 0.2 m spiral with the sparse-array SBL case.
SblProblem spiralProblem() {
    const auto mics = testmodel::spiralArray(8, 0.2);
    return mapProblem("spiral", mics, reference::kSpiralCaseFrequencies, reference::spiralCaseMatrices(mics),
                      testmodel::kFarField);
}

// 24 microphones over 0.5 m focused at 1.5 m on two sources, 10 dB apart, with 0.05 of noise.
SblProblem nearFieldProblem() {
    const auto mics = testmodel::planarArray(24, 0.5, 3);
    const std::vector<double> freqs = {3000.0, 3500.0, 4000.0};
    std::vector<MatrixRows> matrices;
    for (const double f : freqs) {
        matrices.push_back(testmodel::mixture(
            {{testmodel::steeringToward(mics, testmodel::kSoundSpeed, 5.0, -3.0, f, 1.5), 1.0},
             {testmodel::steeringToward(mics, testmodel::kSoundSpeed, -9.0, 6.0, f, 1.5), 0.1}},
            0.05, mics.size()));
    }
    return mapProblem("near field", mics, freqs, matrices, 1.5);
}

// sblSolve against the straight steps, row by row. One pass agrees to rounding; over several passes the
// pruning and the clipped variances amplify the rounding, less so with more noise loading. On the driver's
// problems the noise loading reaches its floor from the second pass on; over four passes the straight
// steps in double keep about five digits on the cells above -30 dB, and so must the solver.
TEST(DeconvolutionSolvers, SblEqualsTheStraightStepsInDouble) {
    struct Row {
        const SblProblem* problem;
        std::uint32_t passes;
        double noiseRel;
        double pruneRel;
        double tolerance;  // on the result, whose largest value is 1
        double floor;      // cells below this in the straight result are not compared
    };
    const SblProblem problems[] = {blurProblem(7), blurProblem(200), spiralProblem(), nearFieldProblem()};
    std::vector<Row> rows;
    for (const SblProblem* blur : {&problems[0], &problems[1]}) {
        for (const double pruneRel : {1e-5, 0.05}) {
            rows.push_back({blur, 1, 1e-3, pruneRel, 1e-9, 0.0});
            rows.push_back({blur, 6, 0.05, pruneRel, 1e-7, 0.0});
        }
    }
    rows.push_back({&problems[2], 4, 1e-3, 1e-5, 1e-4, 1e-3});
    rows.push_back({&problems[3], 4, 1e-3, 1e-5, 1e-4, 1e-3});
    for (const Row& row : rows) {
        const SblProblem& problem = *row.problem;
        SCOPED_TRACE(testing::Message()
                     << problem.name << " passes " << row.passes << " prune " << row.pruneRel);
        const Vec expected = reference::sbl(problem.p, problem.b, row.passes, row.noiseRel, row.pruneRel);
        const Vec actual = sblSolve(problem.p, problem.b, row.passes, row.noiseRel, row.pruneRel);
        ASSERT_EQ(actual.size(), expected.size());
        double worst = 0.0;
        for (std::size_t i = 0; i < expected.size(); ++i) {
            if (expected[i] >= row.floor) worst = std::max(worst, std::abs(actual[i] - expected[i]));
        }
        EXPECT_LE(worst, row.tolerance);
    }
}

TEST(DeconvolutionSolvers, MismatchedSizesAreRejected) {
    const Vec p = identity(3);
    const Vec b = {1.0, 2.0};
    EXPECT_THROW(damasSolve(p, b, 1, 1.0), std::invalid_argument);
    EXPECT_THROW(damasFistaSolve(p, b, 1, 1e-4), std::invalid_argument);
    EXPECT_THROW(nnlsSolve(p, b, 1, 1e-4), std::invalid_argument);
    EXPECT_THROW(sparseFistaSolve(p, b, 1, 0.0, 1e-4), std::invalid_argument);
    EXPECT_THROW(sblSolve(p, b, 1, 1e-3, 1e-5), std::invalid_argument);
}

}  // namespace
}  // namespace zk::core
