#include "core/beamforming/detail/dense_kernels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <random>
#include <vector>

#include "core/platform/cpu_features.h"
#include "vector_level_cap.h"

namespace zk::core {
namespace {

using Vec = std::vector<double>;
using detail::DenseIndex;

using test::VectorLevelCap;

// Column-major blocks with a leading dimension above their row count; the padding holds a marker that
// no kernel may change.
constexpr double kPad = 12345.0;

struct Block {
    DenseIndex rows, cols, ld;
    Vec v;
    Block(DenseIndex r, DenseIndex c, std::mt19937& rng) : rows(r), cols(c), ld(r + 3), v(ld * c, kPad) {
        std::uniform_real_distribution<double> u(-1.0, 1.0);
        for (DenseIndex j = 0; j < c; ++j)
            for (DenseIndex i = 0; i < r; ++i) at(i, j) = u(rng);
    }
    double& at(DenseIndex i, DenseIndex j) { return v[j * ld + i]; }
    double at(DenseIndex i, DenseIndex j) const { return v[j * ld + i]; }
};

// A well-conditioned lower triangle (unit-sized diagonal); the upper part holds values no kernel may read.
Block lowerFactor(DenseIndex n, std::mt19937& rng) {
    Block l(n, n, rng);
    for (DenseIndex j = 0; j < n; ++j) {
        l.at(j, j) = 2.0 + std::abs(l.at(j, j));
        for (DenseIndex i = j + 1; i < n; ++i) l.at(i, j) *= 0.3;
    }
    return l;
}

double lower(const Block& l, DenseIndex i, DenseIndex j) { return i >= j ? l.at(i, j) : 0.0; }

void expectBlock(const Block& got, const std::vector<Vec>& want, double tolerance, const char* what) {
    for (DenseIndex j = 0; j < got.cols; ++j) {
        for (DenseIndex i = 0; i < got.ld; ++i) {
            if (i >= got.rows) {
                ASSERT_EQ(got.at(i, j), kPad) << what << " wrote past its rows at " << i << "," << j;
            } else {
                ASSERT_NEAR(got.at(i, j), want[j][i], tolerance) << what << " at " << i << "," << j;
            }
        }
    }
}

// Each kernel at each vector level against plain loops in double, on shapes that are not multiples of
// any vector width; the triangles' other halves hold junk that must not be read.
TEST(DenseKernels, EveryVectorLevelMatchesPlainLoops) {
    const DenseIndex m = 37, n = 29, k = 45;
    for (VectorLevel level : test::kVectorLevels) {
        const VectorLevelCap cap(level);
        if (!test::vectorLevelAvailable(level)) continue;
        SCOPED_TRACE(vectorLevelName(level));
        const detail::DenseKernels& kernels = detail::denseKernels();
        std::mt19937 rng(5);
        const Block a(m, k, rng), bt(n, k, rng);
        std::vector<Vec> want(n, Vec(m, 0.0));

        // C = A B^T and D -= A B^T.
        Block c(m, n, rng);
        kernels.productTransposed(m, n, k, a.v.data(), a.ld, bt.v.data(), bt.ld, c.v.data(), c.ld);
        for (DenseIndex j = 0; j < n; ++j)
            for (DenseIndex i = 0; i < m; ++i)
                for (DenseIndex q = 0; q < k; ++q) want[j][i] += a.at(i, q) * bt.at(j, q);
        expectBlock(c, want, 1e-13, "productTransposed");
        Block d(m, n, rng);
        std::vector<Vec> wantD(n, Vec(m));
        for (DenseIndex j = 0; j < n; ++j)
            for (DenseIndex i = 0; i < m; ++i) {
                wantD[j][i] = d.at(i, j);
                for (DenseIndex q = 0; q < k; ++q) wantD[j][i] -= a.at(i, q) * bt.at(j, q);
            }
        kernels.subtractProductTransposed(m, n, k, a.v.data(), a.ld, bt.v.data(), bt.ld, d.v.data(), d.ld);
        expectBlock(d, wantD, 1e-13, "subtractProductTransposed");

        // E = A'^T B', A' being k x m and B' k x n.
        const Block at(k, m, rng), b(k, n, rng);
        Block e(m, n, rng);
        std::vector<Vec> wantE(n, Vec(m, 0.0));
        for (DenseIndex j = 0; j < n; ++j)
            for (DenseIndex i = 0; i < m; ++i)
                for (DenseIndex q = 0; q < k; ++q) wantE[j][i] += at.at(q, i) * b.at(q, j);
        kernels.transposedProduct(m, n, k, at.v.data(), at.ld, b.v.data(), b.ld, e.v.data(), e.ld);
        expectBlock(e, wantE, 1e-13, "transposedProduct");

        // B L^-T and B L^-1 with L lower n x n: multiplying back gives B.
        const Block ln = lowerFactor(n, rng);
        const Block rhs(m, n, rng);
        for (const bool transposed : {true, false}) {
            Block x = rhs;
            if (transposed) {
                kernels.solveRightTransposed(n, ln.v.data(), ln.ld, m, x.v.data(), x.ld);
            } else {
                kernels.solveRight(n, ln.v.data(), ln.ld, m, x.v.data(), x.ld);
            }
            for (DenseIndex i = 0; i < m; ++i)
                for (DenseIndex j = 0; j < n; ++j) {
                    double back = 0.0;
                    for (DenseIndex q = 0; q < n; ++q)
                        back += x.at(i, q) * (transposed ? lower(ln, j, q) : lower(ln, q, j));
                    ASSERT_NEAR(back, rhs.at(i, j), 1e-12)
                        << (transposed ? "solveRightTransposed" : "solveRight");
                }
        }

        // Cholesky of S = L L^T + I, then solveFactored against S.
        Block s(n, n, rng);
        for (DenseIndex i = 0; i < n; ++i)
            for (DenseIndex j = 0; j < n; ++j) {
                double sum = i == j ? 1.0 : 0.0;
                for (DenseIndex q = 0; q < n; ++q) sum += lower(ln, i, q) * lower(ln, j, q);
                s.at(i, j) = i >= j ? sum : -7.0;  // the upper half must not be read
            }
        Block factor = s;
        ASSERT_TRUE(kernels.cholesky(n, factor.v.data(), factor.ld));
        for (DenseIndex i = 0; i < n; ++i)
            for (DenseIndex j = 0; j <= i; ++j) {
                double sum = 0.0;
                for (DenseIndex q = 0; q <= j; ++q) sum += factor.at(i, q) * factor.at(j, q);
                ASSERT_NEAR(sum, s.at(i, j), 1e-12) << "cholesky at " << i << "," << j;
            }
        Vec v(n), x(n);
        for (DenseIndex i = 0; i < n; ++i) v[i] = x[i] = std::cos(static_cast<double>(i));
        kernels.solveFactored(n, factor.v.data(), factor.ld, x.data());
        for (DenseIndex i = 0; i < n; ++i) {
            double back = 0.0;
            for (DenseIndex j = 0; j < n; ++j) back += (i >= j ? s.at(i, j) : s.at(j, i)) * x[j];
            ASSERT_NEAR(back, v[i], 1e-12) << "solveFactored at " << i;
        }
        // A matrix that is not positive definite is refused.
        Block indefinite = s;
        indefinite.at(n / 2, n / 2) = -1.0;
        EXPECT_FALSE(kernels.cholesky(n, indefinite.v.data(), indefinite.ld));
    }
}

}  // namespace
}  // namespace zk::core
