// The CLEAN-SC kernels at each vector level against plain complex double loops, on shapes that are not
// whole vectors (odd microphone counts, blocks starting and ending between vectors), with junk below the
// diagonal of every matrix and around every output that no kernel may touch.
#include "core/beamforming/detail/clean_sc_kernels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <random>
#include <vector>

#include "vector_level_cap.h"

namespace zk::core {
namespace {

using C = std::complex<double>;
using Vec = std::vector<double>;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

class CleanScKernels : public ::testing::TestWithParam<VectorLevel> {
  protected:
    void SetUp() override {
        if (vectorLevel() != GetParam())
            GTEST_SKIP() << "this CPU or build has no " << vectorLevelName(GetParam());
    }
    const detail::CleanScKernels& kernels() const { return detail::cleanScKernels(); }

    test::VectorLevelCap cap_{GetParam()};
};

// Unit-modulus float steering of `points` points, microphone-major with a stride past the last point.
struct Steering {
    std::size_t m, stride;
    std::vector<float> re, im;
    Steering(std::size_t mics, std::size_t points, std::mt19937& rng) : m(mics), stride(points + 5) {
        std::uniform_real_distribution<float> phase(-3.0f, 3.0f);
        for (std::size_t i = 0; i < m * stride; ++i) {
            const float p = phase(rng);
            re.push_back(std::cos(p));
            im.push_back(std::sin(p));
        }
    }
    C at(std::size_t g, std::size_t mic) const { return {re[mic * stride + g], im[mic * stride + g]}; }
    detail::SteeringPlanes planes() const { return {re.data(), im.data(), stride, m}; }
};

// A random Hermitian matrix, whole, and as the kernels' column-major upper triangle with NaN below.
struct Hermitian {
    std::size_t m;
    std::vector<std::vector<C>> x;
    Vec re, im;
    Hermitian(std::size_t order, std::mt19937& rng)
        : m(order), x(m, std::vector<C>(m)), re(m * m, kNaN), im(m * m, kNaN) {
        std::uniform_real_distribution<double> u(-1.0, 1.0);
        for (std::size_t k = 0; k < m; ++k) {
            for (std::size_t i = 0; i <= k; ++i) {
                x[i][k] = {u(rng), i == k ? 0.0 : u(rng)};
                x[k][i] = std::conj(x[i][k]);
                re[i + k * m] = x[i][k].real();
                im[i + k * m] = x[i][k].imag();
            }
        }
    }
};

struct Shape {
    std::size_t mics, first, end;
};
constexpr Shape kShapes[] = {{1, 0, 3}, {2, 1, 18}, {5, 3, 70}, {37, 5, 133}, {130, 0, 61}};

TEST_P(CleanScKernels, HermitianFormIsTheQuadraticFormAtEveryPoint) {
    for (const Shape& s : kShapes) {
        SCOPED_TRACE(testing::Message() << "M " << s.mics << " points " << s.first << ".." << s.end);
        std::mt19937 rng(static_cast<unsigned>(s.mics));
        const Steering a(s.mics, s.end, rng);
        const Hermitian x(s.mics, rng);
        Vec diagonal, pairRe, pairIm;
        for (std::size_t r = 0; r < s.mics; ++r) {
            diagonal.push_back(x.x[r][r].real());
            for (std::size_t k = r + 1; k < s.mics; ++k) {
                pairRe.push_back(x.x[r][k].real());
                pairIm.push_back(x.x[r][k].imag());
            }
        }
        Vec out(s.end - s.first + 2, -7.0);
        kernels().hermitianForm(a.planes(), s.first, s.end, {diagonal.data(), pairRe.data(), pairIm.data()},
                                out.data());
        for (std::size_t g = s.first; g < s.end; ++g) {
            C q{};
            for (std::size_t j = 0; j < s.mics; ++j)
                for (std::size_t k = 0; k < s.mics; ++k) q += std::conj(a.at(g, j)) * x.x[j][k] * a.at(g, k);
            ASSERT_NEAR(out[g - s.first], q.real(), 1e-12 * static_cast<double>(s.mics * s.mics))
                << "point " << g;
        }
        EXPECT_EQ(out[s.end - s.first], -7.0);
        EXPECT_EQ(out[s.end - s.first + 1], -7.0);
    }
}

// The residual loses |s a^H h|^2 times the removed power; what would go below 0, and NaN, becomes 0.
TEST_P(CleanScKernels, SubtractedProjectionClipsAtZero) {
    for (const Shape& s : kShapes) {
        SCOPED_TRACE(testing::Message() << "M " << s.mics << " points " << s.first << ".." << s.end);
        std::mt19937 rng(static_cast<unsigned>(s.mics) + 1);
        std::uniform_real_distribution<double> u(-1.0, 1.0);
        const Steering a(s.mics, s.end, rng);
        Vec hRe(s.mics), hIm(s.mics);
        for (std::size_t k = 0; k < s.mics; ++k) hRe[k] = u(rng), hIm[k] = u(rng);
        const double scale = 0.7 / static_cast<double>(s.mics), removed = 1.3;
        std::vector<double> projected;
        for (std::size_t g = s.first; g < s.end; ++g) {
            C p{};
            for (std::size_t k = 0; k < s.mics; ++k) p += std::conj(a.at(g, k)) * C(hRe[k], hIm[k]);
            projected.push_back(std::norm(scale * p) * removed);
        }
        // Every third point keeps a fifth of its projection, the others would go negative; one is NaN.
        Vec residual(s.end - s.first + 1, 9.0);
        for (std::size_t i = 0; i < projected.size(); ++i)
            residual[i] = i % 3 == 0 ? 1.2 * projected[i] : 0.5 * projected[i];
        residual[projected.size() / 2] = kNaN;
        kernels().subtractProjectedSource(a.planes(), s.first, s.end, hRe.data(), hIm.data(), scale, removed,
                                          residual.data());
        for (std::size_t i = 0; i < projected.size(); ++i) {
            const double want = i == projected.size() / 2 ? 0.0 : i % 3 == 0 ? 0.2 * projected[i] : 0.0;
            ASSERT_NEAR(residual[i], want, 1e-12 * projected[i] + 1e-300) << "point " << s.first + i;
        }
        EXPECT_EQ(residual.back(), 9.0);
    }
}

TEST_P(CleanScKernels, MatrixStepsReadAndWriteTheUpperTriangleOnly) {
    for (const std::size_t m : {1, 2, 7, 9, 33, 130}) {
        SCOPED_TRACE(testing::Message() << "M " << m);
        std::mt19937 rng(static_cast<unsigned>(m));
        std::uniform_real_distribution<double> u(-1.0, 1.0);
        const Hermitian x(m, rng);
        Vec vRe(m), vIm(m), yRe(m, kNaN), yIm(m, kNaN);
        for (std::size_t k = 0; k < m; ++k) vRe[k] = u(rng), vIm[k] = u(rng);
        kernels().hermitianTimesVector(m, x.re.data(), x.im.data(), vRe.data(), vIm.data(), yRe.data(),
                                       yIm.data());
        for (std::size_t i = 0; i < m; ++i) {
            C want{};
            for (std::size_t k = 0; k < m; ++k) want += x.x[i][k] * C(vRe[k], vIm[k]);
            ASSERT_NEAR(yRe[i], want.real(), 1e-13 * static_cast<double>(m)) << "row " << i;
            ASSERT_NEAR(yIm[i], want.imag(), 1e-13 * static_cast<double>(m)) << "row " << i;
        }

        const double weight = 0.4;
        Vec outRe(m * m, -5.0), outIm(m * m, -5.0);
        const double sum = kernels().subtractOuterProduct(m, x.re.data(), x.im.data(), vRe.data(), vIm.data(),
                                                          weight, outRe.data(), outIm.data());
        double wantSum = 0.0;
        for (std::size_t k = 0; k < m; ++k) {
            for (std::size_t i = 0; i < m; ++i) {
                const C want = x.x[i][k] - weight * C(vRe[i], vIm[i]) * std::conj(C(vRe[k], vIm[k]));
                wantSum += std::abs(want);
                if (i > k) {
                    ASSERT_EQ(outRe[i + k * m], -5.0) << "wrote below the diagonal at " << i << "," << k;
                    ASSERT_EQ(outIm[i + k * m], -5.0) << "wrote below the diagonal at " << i << "," << k;
                    continue;
                }
                ASSERT_NEAR(outRe[i + k * m], want.real(), 1e-15) << i << "," << k;
                // The diagonal keeps the input's imaginary part exactly (zero here).
                if (i == k) {
                    ASSERT_EQ(outIm[i + k * m], 0.0) << "diagonal " << i;
                }
                ASSERT_NEAR(outIm[i + k * m], want.imag(), 1e-15) << i << "," << k;
            }
        }
        EXPECT_NEAR(sum, wantSum, 1e-13 * wantSum);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryVectorLevel, CleanScKernels, ::testing::ValuesIn(test::kVectorLevels),
                         [](const testing::TestParamInfo<VectorLevel>& info) {
                             return std::string(vectorLevelName(info.param));
                         });

}  // namespace
}  // namespace zk::core
