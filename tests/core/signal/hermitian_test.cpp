#include "core/signal/hermitian.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "allocation_counter.h"
#include "test_support.h"

namespace zk::core {
namespace {

using cd = std::complex<double>;
using Flat = std::vector<cd>;

constexpr std::uint64_t kSizes[] = {1, 2, 5, 16, 64};

// Column-major accessor, matching the reading of the functions under test.
cd& at(Flat& m, std::uint64_t M, std::uint64_t r, std::uint64_t c) { return m[r + c * M]; }
cd at(const Flat& m, std::uint64_t M, std::uint64_t r, std::uint64_t c) { return m[r + c * M]; }

// B * B^H + I with a fixed seed: Hermitian positive definite, condition number bounded by the spread.
Flat randomHermitianPd(std::uint64_t M, std::uint64_t seed) {
    std::mt19937_64 rng(seed);
    std::normal_distribution<double> g(0.0, 1.0);
    Flat b(M * M);
    for (cd& v : b) v = cd(g(rng), g(rng));
    Flat a(M * M);
    for (std::uint64_t r = 0; r < M; ++r) {
        for (std::uint64_t c = 0; c < M; ++c) {
            cd s = r == c ? cd(1.0, 0.0) : cd(0.0, 0.0);
            for (std::uint64_t k = 0; k < M; ++k) s += at(b, M, r, k) * std::conj(at(b, M, c, k));
            at(a, M, r, c) = s;
        }
    }
    return a;
}

Flat multiply(const Flat& x, const Flat& y, std::uint64_t M) {
    Flat z(M * M);
    for (std::uint64_t r = 0; r < M; ++r) {
        for (std::uint64_t c = 0; c < M; ++c) {
            cd s = 0.0;
            for (std::uint64_t k = 0; k < M; ++k) s += at(x, M, r, k) * at(y, M, k, c);
            at(z, M, r, c) = s;
        }
    }
    return z;
}

Flat adjoint(const Flat& x, std::uint64_t M) {
    Flat y(M * M);
    for (std::uint64_t r = 0; r < M; ++r)
        for (std::uint64_t c = 0; c < M; ++c) at(y, M, r, c) = std::conj(at(x, M, c, r));
    return y;
}

double maxAbsDiff(const Flat& x, const Flat& y) {
    double d = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i) d = std::max(d, std::abs(x[i] - y[i]));
    return d;
}

double maxAbs(const Flat& x) {
    double d = 0.0;
    for (const cd& v : x) d = std::max(d, std::abs(v));
    return d;
}

Flat identity(std::uint64_t M) {
    Flat i(M * M);
    for (std::uint64_t k = 0; k < M; ++k) at(i, M, k, k) = 1.0;
    return i;
}

// Reinterprets a flat array with the other storage order (row by row <-> column-major).
Flat transposeStorage(const Flat& m, std::uint64_t M) {
    Flat t(M * M);
    for (std::uint64_t r = 0; r < M; ++r)
        for (std::uint64_t c = 0; c < M; ++c) t[r * M + c] = m[r + c * M];
    return t;
}

double tolerance(std::uint64_t M, double scale) { return 1e-13 * static_cast<double>(M) * scale; }

template <typename F>
void expectInvalid(F&& call) {
    zk::test::expectThrowExactly<std::invalid_argument>(call, "invalid Hermitian matrix");
}

TEST(HermitianCholesky, LowerFactorReproducesRandomMatrices) {
    for (std::uint64_t M : kSizes) {
        SCOPED_TRACE(M);
        const Flat a = randomHermitianPd(M, 1000 + M);
        const HermitianResult l = hermitianCholesky(a.data(), M);
        ASSERT_TRUE(l.ok);
        EXPECT_EQ(l.dimension, M);
        ASSERT_EQ(l.values.size(), M * M);
        for (std::uint64_t c = 0; c < M; ++c) {
            EXPECT_GT(at(l.values, M, c, c).real(), 0.0);
            for (std::uint64_t r = 0; r < c; ++r) EXPECT_EQ(at(l.values, M, r, c), cd(0.0, 0.0));
        }
        const Flat product = multiply(l.values, adjoint(l.values, M), M);
        EXPECT_LT(maxAbsDiff(product, a), tolerance(M, maxAbs(a)));
    }
}

TEST(HermitianInverse, InvertsRandomMatricesWithExactSymmetry) {
    for (std::uint64_t M : kSizes) {
        SCOPED_TRACE(M);
        const Flat a = randomHermitianPd(M, 2000 + M);
        const HermitianResult x = hermitianInverse(a.data(), M);
        ASSERT_TRUE(x.ok);
        EXPECT_EQ(x.dimension, M);
        ASSERT_EQ(x.values.size(), M * M);
        for (std::uint64_t r = 0; r < M; ++r) {
            EXPECT_EQ(at(x.values, M, r, r).imag(), 0.0);
            for (std::uint64_t c = 0; c < M; ++c)
                EXPECT_EQ(at(x.values, M, r, c), std::conj(at(x.values, M, c, r)));
        }
        // B B^H + I has eigenvalues >= 1, so the inverse is bounded by 1 and A X = I to round-off.
        EXPECT_LT(maxAbsDiff(multiply(a, x.values, M), identity(M)), tolerance(M, maxAbs(a)));
        EXPECT_LT(maxAbsDiff(multiply(x.values, a, M), identity(M)), tolerance(M, maxAbs(a)));
    }
}

TEST(HermitianEigen, DecomposesRandomMatricesIntoAscendingUnitEigenpairs) {
    for (std::uint64_t M : kSizes) {
        SCOPED_TRACE(M);
        const Flat a = randomHermitianPd(M, 3000 + M);
        const HermitianEigenResult e = hermitianEigen(a.data(), M);
        ASSERT_TRUE(e.vectors.ok);
        EXPECT_EQ(e.vectors.dimension, M);
        ASSERT_EQ(e.eigenvalues.size(), M);
        ASSERT_EQ(e.vectors.values.size(), M * M);
        const double tol = tolerance(M, maxAbs(a));

        double trace = 0.0, sum = 0.0;
        for (std::uint64_t k = 0; k < M; ++k) {
            trace += at(a, M, k, k).real();
            sum += e.eigenvalues[k];
            if (k > 0) {
                EXPECT_LE(e.eigenvalues[k - 1], e.eigenvalues[k]);
            }
            EXPECT_GE(e.eigenvalues[k], 1.0 - tol);
        }
        EXPECT_NEAR(sum, trace, tol * static_cast<double>(M));

        const Flat& v = e.vectors.values;
        for (std::uint64_t k = 0; k < M; ++k) {
            double norm2 = 0.0;
            for (std::uint64_t r = 0; r < M; ++r) norm2 += std::norm(v[k * M + r]);
            EXPECT_NEAR(norm2, 1.0, 1e-12);
            // Column k satisfies A v = lambda v.
            for (std::uint64_t r = 0; r < M; ++r) {
                cd av = 0.0;
                for (std::uint64_t c = 0; c < M; ++c) av += at(a, M, r, c) * at(v, M, c, k);
                EXPECT_LT(std::abs(av - e.eigenvalues[k] * at(v, M, r, k)), tol);
            }
        }

        Flat scaled = v;
        for (std::uint64_t k = 0; k < M; ++k)
            for (std::uint64_t r = 0; r < M; ++r) at(scaled, M, r, k) *= e.eigenvalues[k];
        EXPECT_LT(maxAbsDiff(multiply(scaled, adjoint(v, M), M), a), tol);
        EXPECT_LT(maxAbsDiff(multiply(adjoint(v, M), v, M), identity(M)), tolerance(M, 1.0));
    }
}

TEST(HermitianReading, RowByRowInputYieldsTheDocumentedRelations) {
    constexpr std::uint64_t M = 5;
    // Build the matrix and hand it over row by row: the functions then see its conjugate.
    const Flat rowMajor = transposeStorage(randomHermitianPd(M, 4242), M);
    auto rm = [&](const Flat& m, std::uint64_t r, std::uint64_t c) { return m[r * M + c]; };
    const double tol = tolerance(M, 100.0);

    // Inverse: identical under either reading.
    const HermitianResult x = hermitianInverse(rowMajor.data(), M);
    ASSERT_TRUE(x.ok);
    for (std::uint64_t r = 0; r < M; ++r) {
        for (std::uint64_t c = 0; c < M; ++c) {
            cd s = 0.0;
            for (std::uint64_t k = 0; k < M; ++k) s += rm(rowMajor, r, k) * rm(x.values, k, c);
            EXPECT_LT(std::abs(s - (r == c ? 1.0 : 0.0)), tol);
        }
    }

    // Eigen: same eigenvalues; conj of each returned vector is an eigenvector of the row-by-row matrix.
    const HermitianEigenResult e = hermitianEigen(rowMajor.data(), M);
    ASSERT_TRUE(e.vectors.ok);
    const HermitianEigenResult reference = hermitianEigen(transposeStorage(rowMajor, M).data(), M);
    ASSERT_TRUE(reference.vectors.ok);
    for (std::uint64_t k = 0; k < M; ++k) {
        EXPECT_NEAR(e.eigenvalues[k], reference.eigenvalues[k], tol);
        for (std::uint64_t r = 0; r < M; ++r) {
            cd av = 0.0;
            for (std::uint64_t c = 0; c < M; ++c)
                av += rm(rowMajor, r, c) * std::conj(e.vectors.values[k * M + c]);
            EXPECT_LT(std::abs(av - e.eigenvalues[k] * std::conj(e.vectors.values[k * M + r])), tol);
        }
    }

    // Cholesky: the factor read row by row is upper-triangular U with U^H U = row-by-row matrix.
    const HermitianResult l = hermitianCholesky(rowMajor.data(), M);
    ASSERT_TRUE(l.ok);
    for (std::uint64_t r = 0; r < M; ++r) {
        for (std::uint64_t c = 0; c < M; ++c) {
            if (c < r) {
                EXPECT_EQ(rm(l.values, r, c), cd(0.0, 0.0));
            }
            cd s = 0.0;
            for (std::uint64_t k = 0; k < M; ++k) s += std::conj(rm(l.values, k, r)) * rm(l.values, k, c);
            EXPECT_LT(std::abs(s - rm(rowMajor, r, c)), tol);
        }
    }
}

TEST(HermitianConcurrency, ParallelCallsMatchSerialResults) {
    constexpr std::uint64_t M = 24;
    constexpr int kThreads = 4;
    std::vector<Flat> inputs;
    for (int t = 0; t < kThreads; ++t) inputs.push_back(randomHermitianPd(M, 5000 + t));
    std::vector<HermitianResult> inverses(kThreads);
    std::vector<HermitianEigenResult> eigens(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            inverses[t] = hermitianInverse(inputs[t].data(), M);
            eigens[t] = hermitianEigen(inputs[t].data(), M);
        });
    }
    for (std::thread& th : threads) th.join();
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(inverses[t].values, hermitianInverse(inputs[t].data(), M).values);
        EXPECT_EQ(eigens[t].eigenvalues, hermitianEigen(inputs[t].data(), M).eigenvalues);
    }
}

TEST(HermitianEdgeCases, SmallClosedForms) {
    const Flat four{cd(4.0, 0.0)};
    const HermitianResult l = hermitianCholesky(four.data(), 1);
    const HermitianResult x = hermitianInverse(four.data(), 1);
    const HermitianEigenResult e = hermitianEigen(four.data(), 1);
    ASSERT_TRUE(l.ok && x.ok && e.vectors.ok);
    EXPECT_EQ(l.values, Flat{cd(2.0, 0.0)});
    EXPECT_EQ(x.values, Flat{cd(0.25, 0.0)});
    ASSERT_EQ(e.eigenvalues.size(), 1u);
    EXPECT_DOUBLE_EQ(e.eigenvalues[0], 4.0);
    EXPECT_NEAR(std::abs(e.vectors.values.at(0)), 1.0, 1e-15);

    // [[2, i], [-i, 2]] row by row; eigenvalues 1 and 3.
    const Flat rowByRow{cd(2, 0), cd(0, 1), cd(0, -1), cd(2, 0)};
    const HermitianEigenResult e2 = hermitianEigen(rowByRow.data(), 2);
    ASSERT_TRUE(e2.vectors.ok);
    ASSERT_EQ(e2.eigenvalues.size(), 2u);
    EXPECT_NEAR(e2.eigenvalues[0], 1.0, 1e-14);
    EXPECT_NEAR(e2.eigenvalues[1], 3.0, 1e-14);
    // Column-major it reads [[2, -i], [i, 2]]; eigenvalue 1 belongs to (1, -i)/sqrt 2 up to phase.
    const cd v0 = e2.vectors.values[0], v1 = e2.vectors.values[1];
    EXPECT_NEAR(std::abs(v1 - cd(0, -1) * v0), 0.0, 1e-14);
}

TEST(HermitianEdgeCases, NonPositiveDefiniteFailsWithoutThrowing) {
    const Flat indefinite{cd(1, 0), cd(2, 0), cd(2, 0), cd(1, 0)};
    const Flat singular{cd(1, 0), cd(1, 0), cd(1, 0), cd(1, 0)};
    for (const Flat* m : {&indefinite, &singular}) {
        for (const HermitianResult& r : {hermitianCholesky(m->data(), 2), hermitianInverse(m->data(), 2)}) {
            EXPECT_FALSE(r.ok);
            EXPECT_TRUE(r.values.empty());
            EXPECT_EQ(r.dimension, 2u);
        }
    }
    // The eigensolver does not need definiteness: [[1, 2], [2, 1]] has eigenvalues -1 and 3.
    const HermitianEigenResult e = hermitianEigen(indefinite.data(), 2);
    ASSERT_TRUE(e.vectors.ok);
    EXPECT_NEAR(e.eigenvalues.at(0), -1.0, 1e-14);
    EXPECT_NEAR(e.eigenvalues.at(1), 3.0, 1e-14);
}

TEST(HermitianEdgeCases, NonFiniteInputIsReportedAsFailure) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Flat m{cd(nan, 0), cd(0, 0), cd(0, 0), cd(1, 0)};
    const HermitianResult l = hermitianCholesky(m.data(), 2);
    const HermitianResult x = hermitianInverse(m.data(), 2);
    const HermitianEigenResult e = hermitianEigen(m.data(), 2);
    EXPECT_FALSE(l.ok);
    EXPECT_TRUE(l.values.empty());
    EXPECT_FALSE(x.ok);
    EXPECT_TRUE(x.values.empty());
    EXPECT_FALSE(e.vectors.ok);
    EXPECT_TRUE(e.eigenvalues.empty());
    EXPECT_TRUE(e.vectors.values.empty());
    EXPECT_EQ(e.vectors.dimension, 2u);
}

TEST(HermitianEdgeCases, NullOrEmptyMatrixThrows) {
    const Flat one{cd(1, 0)};
    expectInvalid([] { hermitianCholesky(nullptr, 3); });
    expectInvalid([] { hermitianEigen(nullptr, 3); });
    expectInvalid([] { hermitianInverse(nullptr, 3); });
    expectInvalid([&] { hermitianCholesky(one.data(), 0); });
    expectInvalid([&] { hermitianEigen(one.data(), 0); });
    expectInvalid([&] { hermitianInverse(one.data(), 0); });
}

// The diagonal lowered by the mean eigenvalue (trace / M): indefinite, so Cholesky fails on it.
Flat indefiniteFrom(const Flat& pd, std::uint64_t M) {
    double trace = 0.0;
    for (std::uint64_t k = 0; k < M; ++k) trace += at(pd, M, k, k).real();
    Flat shifted = pd;
    for (std::uint64_t k = 0; k < M; ++k) at(shifted, M, k, k) -= trace / static_cast<double>(M);
    return shifted;
}

Flat resultValues(const HermitianWorkspace& workspace) {
    return Flat(workspace.values().begin(), workspace.values().end());
}

// One workspace through mixed operations and failures: each call must give the plain function's bits,
// with nothing left over from the call before. The eigen path also matches Eigen's own solver there.
TEST(HermitianWorkspace, ReusedWorkspaceGivesThePlainFunctionsBits) {
    for (std::uint64_t M : kSizes) {
        SCOPED_TRACE(M);
        const Flat pd = randomHermitianPd(M, 6000 + M);
        const Flat other = randomHermitianPd(M, 7000 + M);
        const Flat indefinite = indefiniteFrom(pd, M);
        const Flat nan = [&] {
            Flat m = pd;
            m.back() = std::numeric_limits<double>::quiet_NaN();
            return m;
        }();

        HermitianWorkspace workspace(M);
        EXPECT_EQ(workspace.dimension(), M);
        for (const Flat* m : {&pd, &indefinite, &nan, &other, &pd}) {
            const HermitianEigenResult eigen = hermitianEigen(m->data(), M);
            ASSERT_EQ(workspace.eigen(m->data()), eigen.vectors.ok);
            if (eigen.vectors.ok) {
                EXPECT_EQ(resultValues(workspace), eigen.vectors.values);
                EXPECT_EQ(std::vector<double>(workspace.eigenvalues().begin(), workspace.eigenvalues().end()),
                          eigen.eigenvalues);
            }
            const HermitianResult factor = hermitianCholesky(m->data(), M);
            ASSERT_EQ(workspace.cholesky(m->data()), factor.ok);
            if (factor.ok) {
                EXPECT_EQ(resultValues(workspace), factor.values);
            }
        }
        EXPECT_FALSE(workspace.cholesky(indefinite.data()));
        EXPECT_TRUE(workspace.eigen(indefinite.data()));
        if (M > 1) {
            EXPECT_LT(workspace.eigenvalues()[0], 0.0);
        }
    }
}

// Eigen allocates with malloc, past operator new: a made workspace must call neither, on every path and
// at sizes where Eigen's factorisations and reductions work in blocks.
TEST(HermitianWorkspace, CallsAllocateNothing) {
    for (std::uint64_t M : {1u, 2u, 5u, 16u, 64u, 128u, 256u}) {
        SCOPED_TRACE(M);
        const Flat pd = randomHermitianPd(M, 8000 + M);
        const Flat indefinite = indefiniteFrom(pd, M);
        HermitianWorkspace workspace(M);
        bool expected = false;
        const zk::test::AllocationCount used = zk::test::allocationsDuring([&] {
            expected = workspace.cholesky(pd.data()) && workspace.eigen(pd.data()) &&
                       workspace.eigen(indefinite.data()) && !workspace.cholesky(indefinite.data());
        });
        EXPECT_TRUE(expected);
        EXPECT_EQ(used.calls, 0u);
        EXPECT_EQ(used.mallocCalls, 0u);
    }
    // The counter does see Eigen's allocations: its solver makes them on every call.
    const Flat pd = randomHermitianPd(16, 1);
    EXPECT_GT(zk::test::allocationsDuring([&] { hermitianEigen(pd.data(), 16); }).mallocCalls, 0u);
}

TEST(HermitianWorkspace, NullOrEmptyMatrixThrows) {
    expectInvalid([] { HermitianWorkspace{0}; });
    HermitianWorkspace workspace(3);
    expectInvalid([&] { workspace.cholesky(nullptr); });
    expectInvalid([&] { workspace.eigen(nullptr); });
}

}  // namespace
}  // namespace zk::core
