// One SBL pass in its Woodbury form against the straight steps: C = loading I + X X^T formed whole over all
// n points, factored, and x_p^T C^-1 y, 1 - x_p^T C^-1 x_p read off directly, in double and in extended
// precision, on an ill-conditioned point spread where the two forms round differently.
#include "core/beamforming/detail/sbl_pass.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "core/platform/cpu_features.h"
#include "vector_level_cap.h"

namespace zk::core {
namespace {

using Vec = std::vector<double>;

template <typename T>
struct Straight {
    std::vector<T> projected, retained;
};

// The straight steps in T: C = P_S Gamma_S P_S^T + loading I, its Cholesky factor, then the two
// quadratic forms through solves with that factor.
template <typename T>
Straight<T> straightPass(const Vec& p, const Vec& y, const Vec& gamma, const std::vector<std::size_t>& s,
                         double sigma2) {
    const std::size_t n = y.size();
    std::vector<T> c(n * n, T(0));
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j <= i; ++j) {
            T sum = 0;
            for (std::size_t k : s) sum += T(p[i * n + k]) * T(gamma[k]) * T(p[j * n + k]);
            c[i * n + j] = sum;
        }
    T trace = 0;
    for (std::size_t i = 0; i < n; ++i) trace += c[i * n + i];
    const T loading = T(sigma2) + T(1e-10) * trace / T(n);
    for (std::size_t i = 0; i < n; ++i) c[i * n + i] += loading;
    for (std::size_t j = 0; j < n; ++j) {  // in-place lower Cholesky
        for (std::size_t k = 0; k < j; ++k) c[j * n + j] -= c[j * n + k] * c[j * n + k];
        c[j * n + j] = std::sqrt(c[j * n + j]);
        for (std::size_t i = j + 1; i < n; ++i) {
            for (std::size_t k = 0; k < j; ++k) c[i * n + j] -= c[i * n + k] * c[j * n + k];
            c[i * n + j] /= c[j * n + j];
        }
    }
    auto forward = [&](std::vector<T> v) {  // L^-1 v, so that a^T C^-1 b = (L^-1 a) . (L^-1 b)
        for (std::size_t i = 0; i < n; ++i) {
            for (std::size_t k = 0; k < i; ++k) v[i] -= c[i * n + k] * v[k];
            v[i] /= c[i * n + i];
        }
        return v;
    };
    const std::vector<T> z = forward(std::vector<T>(y.begin(), y.end()));
    Straight<T> out;
    for (std::size_t k : s) {
        std::vector<T> x(n);
        for (std::size_t i = 0; i < n; ++i) x[i] = std::sqrt(T(gamma[k])) * T(p[i * n + k]);
        const std::vector<T> w = forward(x);
        T xy = 0, xx = 0;
        for (std::size_t i = 0; i < n; ++i) {
            xy += w[i] * z[i];
            xx += w[i] * w[i];
        }
        out.projected.push_back(xy);
        out.retained.push_back(T(1) - xx);
    }
    return out;
}

// Largest difference from the extended-precision values over the largest of those values.
template <typename T>
double relativeError(const std::vector<T>& got, const std::vector<long double>& want) {
    long double worst = 0, largest = 0;
    for (std::size_t i = 0; i < want.size(); ++i) {
        worst = std::max(worst, std::abs(static_cast<long double>(got[i]) - want[i]));
        largest = std::max(largest, std::abs(want[i]));
    }
    return static_cast<double>(worst / largest);
}

// Five passes over one workspace: a first active set with gaps (its Gram matrix gathered), a subset of it
// (read out of that Gram matrix), every point with almost no noise loading (beyond the Woodbury form's
// limit: the straight form, which overwrites the Gram matrix), the subset with almost no loading (the
// straight form over the active points alone), then the subset again (its Gram matrix formed anew).
// n = 260 spans three tiles of the blocked steps. The spread is a wide blur.
TEST(SblPass, EachFormAgreesWithTheStraightStepsAtEveryVectorLevel) {
    const std::size_t n = 260;
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    Vec p(n * n);
    for (std::size_t j = 0; j < n; ++j)
        for (std::size_t i = 0; i < n; ++i) {
            const double d = (static_cast<double>(i) - static_cast<double>(j)) / 4.0;
            p[j * n + i] = std::exp(-d * d) + 1e-3 * u(rng);
        }
    Vec y(n), pty(n, 0.0), gamma(n);
    for (double& v : y) v = u(rng) < 0.8 ? 0.0 : u(rng);
    for (std::size_t j = 0; j < n; ++j)
        for (std::size_t i = 0; i < n; ++i) pty[i] += p[j * n + i] * y[j];
    for (std::size_t i = 0; i < n; ++i) gamma[i] = std::max(1e-6, pty[i] * pty[i]);

    std::vector<std::size_t> gaps, subset, all;
    for (std::size_t i = 0; i < n; ++i) {
        if (i % 7 != 3) gaps.push_back(i);
        if (i % 7 != 3 && i % 3 != 0) subset.push_back(i);
        all.push_back(i);
    }
    struct Step {
        const std::vector<std::size_t>* active;
        double sigma2;
        bool straight;
    };
    const Step steps[] = {{&gaps, 2e-5, false},
                          {&subset, 2e-5, false},
                          {&all, 1e-13, true},
                          {&subset, 1e-13, true},
                          {&subset, 2e-5, false}};
    std::vector<Straight<long double>> exact;
    std::vector<double> straightError;
    for (const Step& step : steps) {
        exact.push_back(straightPass<long double>(p, y, gamma, *step.active, step.sigma2));
        const Straight<double> plain = straightPass<double>(p, y, gamma, *step.active, step.sigma2);
        straightError.push_back(std::max(relativeError(plain.projected, exact.back().projected),
                                         relativeError(plain.retained, exact.back().retained)));
    }
    for (const VectorLevel level : test::kVectorLevels) {
        const test::VectorLevelCap cap(level);
        if (!test::vectorLevelAvailable(level)) continue;
        detail::SblWorkspace work(n);
        const detail::CancelPoll cancel;
        for (std::size_t k = 0; k < std::size(steps); ++k) {
            SCOPED_TRACE(testing::Message() << vectorLevelName(level) << " step " << k);
            Vec projected, retained;
            ASSERT_TRUE(detail::sblPass(p, y, pty, gamma, *steps[k].active, steps[k].sigma2, work, cancel,
                                        projected, retained));
            EXPECT_EQ(work.straight, steps[k].straight);
            ASSERT_EQ(projected.size(), steps[k].active->size());
            const double projectedError = relativeError(projected, exact[k].projected);
            const double retainedError = relativeError(retained, exact[k].retained);
            // No worse than the straight steps in double, which keep about ten digits here, six with almost
            // no loading.
            EXPECT_LE(projectedError, std::max(2.0 * straightError[k], 1e-12));
            EXPECT_LE(retainedError, std::max(2.0 * straightError[k], 1e-12));
            EXPECT_LT(straightError[k], steps[k].straight ? 1e-5 : 1e-6);
        }
    }
}

// A point whose column is zero with no loading left (sigma2 0, trace 0) makes K singular: the pass
// reports failure instead of returning non-finite values.
TEST(SblPass, ASingularSystemIsReported) {
    const std::size_t n = 3;
    const Vec p(n * n, 0.0), pty(n, 0.0), gamma(n, 1.0);
    const std::vector<std::size_t> active = {0, 1, 2};
    detail::SblWorkspace work(n);
    Vec projected, retained;
    EXPECT_FALSE(
        detail::sblPass(p, pty, pty, gamma, active, 0.0, work, detail::CancelPoll(), projected, retained));
}

}  // namespace
}  // namespace zk::core
