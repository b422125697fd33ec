// The deconvolution solvers, their maps and CLEAN-SC give the same bits on one thread as on four: the
// products hand whole rows or columns to the threads instead of splitting sums, and CLEAN-SC adds its
// bins in order. The sizes are above the point where the work leaves the calling thread.
#include <gtest/gtest.h>
#include <omp.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include "core/beamforming/beamformer.h"
#include "core/beamforming/deconvolution_solvers.h"
#include "steering_test_model.h"

namespace zk::core {
namespace {

using namespace testmodel;
using Plane = std::vector<double>;

// The team size of the maps (they use at most 4) for one scope.
class TeamSize {
  public:
    explicit TeamSize(int threads) : previous_(omp_get_max_threads()) { omp_set_num_threads(threads); }
    ~TeamSize() { omp_set_num_threads(previous_); }
    TeamSize(const TeamSize&) = delete;
    TeamSize& operator=(const TeamSize&) = delete;

  private:
    int previous_;
};

void expectSameOnOneAndFourThreads(const std::function<Plane()>& render) {
    Plane one, four;
    {
        const TeamSize team(1);
        one = render();
    }
    {
        const TeamSize team(4);
        four = render();
    }
    ASSERT_EQ(one.size(), four.size());
    // Not a vacuous match of two empty or zero results.
    EXPECT_GT(*std::max_element(one.begin(), one.end()), 0.0);
    for (std::size_t i = 0; i < one.size(); ++i) {
        ASSERT_EQ(one[i], four[i]) << "entry " << i;
    }
}

// A blur that is not symmetric, so P and P^T differ, over n = 1000 points.
struct Problem {
    static constexpr std::size_t n = 1000;
    Plane p = Plane(n * n);
    Plane b = Plane(n);

    Problem() {
        std::mt19937 rng(11);
        std::uniform_real_distribution<double> u(0.0, 1.0);
        for (std::size_t j = 0; j < n; ++j) {
            for (std::size_t i = 0; i < n; ++i) {
                const double d = (static_cast<double>(i) - static_cast<double>(j)) / 3.0;
                p[j * n + i] = std::exp(-d * d) * (0.5 + u(rng));
            }
        }
        for (double& v : b) v = u(rng) < 0.7 ? 0.0 : u(rng);
    }
};

// Under a thread limit (the ThreadSanitizer preset runs OpenMP on one thread) both runs would be serial,
// and Eigen, seeing four threads asked for but one granted, blocks SBL's products for four.
#define SKIP_WITHOUT_FOUR_THREADS() \
    if (omp_get_thread_limit() < 4) GTEST_SKIP() << "OpenMP may not run four threads here"

TEST(DeconvolutionThreads, SolversGiveTheSameBitsOnOneAndFourThreads) {
    SKIP_WITHOUT_FOUR_THREADS();
    const Problem problem;
    const std::vector<std::pair<const char*, std::function<Plane()>>> solvers = {
        {"Lipschitz", [&] { return Plane{lipschitzEstimate(problem.p, Problem::n)}; }},
        {"DAMAS", [&] { return damasSolve(problem.p, problem.b, 5, 1.0); }},
        {"DAMAS-FISTA", [&] { return damasFistaSolve(problem.p, problem.b, 20, 0.0); }},
        {"NNLS", [&] { return nnlsSolve(problem.p, problem.b, 20, 0.0); }},
        {"Sparse-FISTA", [&] { return sparseFistaSolve(problem.p, problem.b, 20, 0.02, 0.0); }},
        {"SBL", [&] { return sblSolve(problem.p, problem.b, 1, 0.001, 1e-5); }},
    };
    for (const auto& [name, solve] : solvers) {
        SCOPED_TRACE(name);
        expectSameOnOneAndFourThreads(solve);
    }
}

// Two sources seen by 24 microphones in five bins over 40 x 24 degrees at 1 degree: stride 1 gives a
// point-spread matrix of n = 41 x 25 = 1025 points.
TEST(DeconvolutionThreads, MapsGiveTheSameBitsOnOneAndFourThreads) {
    SKIP_WITHOUT_FOUR_THREADS();
    const std::vector<MicrophonePosition> mics = planarArray(24, 0.6);
    const Beamformer beamformer(mics, kSoundSpeed);
    const std::vector<double> freqs = {4000.0, 4500.0, 5000.0, 6000.0, 7000.0};
    std::vector<MatrixRows> matrices;
    for (double f : freqs) {
        MatrixRows r = zeroMatrix(mics.size());
        addSource(r, steeringToward(mics, kSoundSpeed, 6.0, -3.0, f), 1.0);
        addSource(r, steeringToward(mics, kSoundSpeed, -8.0, 5.0, f), 0.5);
        addNoise(r, 0.05);
        matrices.push_back(std::move(r));
    }
    const CameraGridSpec grid{40.0, 24.0, 0.0, 0.0, 1.0, 1.0, kFarField};
    for (const std::int32_t id : {10, 11, 12, 13}) {
        SCOPED_TRACE(id);
        const double first = id == 10 ? 1.0 : 1e-4;  // DAMAS's relaxation, else a tolerance or lambda
        expectSameOnOneAndFourThreads(
            [&] { return beamformer.deconvolutionMap(matrices, freqs, id, 10, 1, first, 1e-4, grid).power; });
    }
    // CLEAN-SC shares out five bins (unequally) over the team, two bins' points.
    for (const std::size_t bins : {5, 2}) {
        SCOPED_TRACE(bins);
        const std::span<const MatrixRows> some(matrices.data(), bins);
        const std::span<const double> someFreqs(freqs.data(), bins);
        expectSameOnOneAndFourThreads(
            [&] { return beamformer.cleanScMap(some, someFreqs, 0.6, 20, -25.0, grid).power; });
    }
}

}  // namespace
}  // namespace zk::core
