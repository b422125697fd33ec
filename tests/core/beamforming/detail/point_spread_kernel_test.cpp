#include "core/beamforming/detail/point_spread_kernel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <iostream>
#include <random>
#include <vector>

#include "core/beamforming/beamformer.h"
#include "core/beamforming/detail/coarse_grid.h"
#include "core/platform/cpu_features.h"
#include "core/storage/device_profile.h"
#include "steering_test_model.h"
#include "vector_level_cap.h"

namespace zk::core {
namespace {

using C = std::complex<double>;

using test::VectorLevelCap;

// Rows 3 .. 29 of 37 columns: row tiles, single remainder rows and column vectors past the last
// column; rows outside the range must stay untouched.
TEST(GramKernel, EveryVectorLevelMatchesDoublePrecisionAndBaseline) {
    for (std::size_t m : {std::size_t{1}, std::size_t{5}, std::size_t{130}}) {
        const std::size_t n = 37, stride = 48, firstRow = 3, endRow = 30;
        std::mt19937 rng(static_cast<unsigned>(m));
        std::uniform_real_distribution<double> phase(-3.0, 3.0);
        std::vector<double> re(m * stride, 0.0), im(m * stride, 0.0);
        for (std::size_t k = 0; k < m; ++k) {
            for (std::size_t j = 0; j < n; ++j) {
                const double p = phase(rng);
                re[k * stride + j] = std::cos(p);
                im[k * stride + j] = std::sin(p);
            }
        }
        const detail::GramColumns columns{re, im, m, n, stride};
        const double scale = 1.0 / static_cast<double>(m);
        auto run = [&] {
            std::vector<double> acc(n * stride, 0.5);
            detail::accumulateGramModulus(columns, firstRow, endRow, scale, acc);
            return acc;
        };
        std::vector<double> baseline;
        {
            VectorLevelCap cap(VectorLevel::kBaseline);
            baseline = run();
        }
        for (VectorLevel level : test::kVectorLevels) {
            VectorLevelCap cap(level);
            if (!test::vectorLevelAvailable(level)) continue;
            const std::vector<double> acc = run();
            for (std::size_t i = 0; i < n; ++i) {
                const bool inRange = i >= firstRow && i < endRow;
                for (std::size_t j = 0; j < (inRange ? i + 1 : stride); ++j) {
                    double want = 0.5;
                    if (inRange) {
                        C g = 0.0;
                        for (std::size_t k = 0; k < m; ++k) {
                            g += std::conj(C(re[k * stride + j], im[k * stride + j])) *
                                 C(re[k * stride + i], im[k * stride + i]);
                        }
                        want += std::norm(g * scale);
                    }
                    const double got = acc[i * stride + j];
                    EXPECT_NEAR(got, want, 1e-13)
                        << vectorLevelName(level) << " M=" << m << " " << i << "," << j;
                    EXPECT_NEAR(got, baseline[i * stride + j], 1e-13) << vectorLevelName(level);
                }
            }
        }
    }
}

// The shipped 128-microphone array at every vector level against the brute-force double-precision
// point-spread model: mean over bins of |a_j^H a_i / M|^2, columns normalised.
TEST(PointSpreadMatrix, ShippedArrayMatchesSteeringModelAtEveryVectorLevel) {
    const DeviceProfile profile = loadDeviceProfile(ZK_PROFILES_DIR "/TM27-128-H1.6.2.device.json");
    std::vector<MicrophonePosition> mics;
    for (const auto& m : profile.microphones) mics.push_back({m.x, m.y, m.z});
    Beamformer bf(mics, testmodel::kSoundSpeed);
    const std::vector<double> freqs{3000.0, 6500.0};
    const testmodel::Grid grid{40.0, 30.0, 0.0, 0.0, 2.0, 2.0};  // 21 x 16 cells
    const auto cache = bf.steeringCacheFor(freqs, grid.hSpan, grid.vSpan, 0.0, 0.0, grid.hStep, grid.vStep,
                                           testmodel::kFarField);
    const auto points = detail::coarseGridPoints(detail::coarseGridLines(grid.rows(), 3),
                                                 detail::coarseGridLines(grid.columns(), 3), grid.columns());
    const std::size_t n = points.size();
    ASSERT_EQ(n, 48u);
    std::vector<double> expected(n * n, 0.0);
    for (double f : freqs) {
        std::vector<testmodel::Vec> a;
        for (auto point : points)
            a.push_back(testmodel::steering(mics, testmodel::kSoundSpeed, grid, point, f));
        for (std::size_t j = 0; j < n; ++j) {
            for (std::size_t i = 0; i < n; ++i) {
                C g = 0.0;
                for (std::size_t k = 0; k < mics.size(); ++k) g += std::conj(a[j][k]) * a[i][k];
                expected[j * n + i] += std::norm(g / 128.0) / static_cast<double>(freqs.size());
            }
        }
    }
    for (std::size_t i = 0; i < n; ++i) {
        const double d = expected[i * n + i];
        for (std::size_t j = 0; j < n; ++j) expected[j * n + i] /= d;
    }
    std::vector<double> baseline;
    {
        VectorLevelCap cap(VectorLevel::kBaseline);
        baseline = Beamformer::pointSpreadMatrix(*cache, points);
    }
    for (VectorLevel level : test::kVectorLevels) {
        VectorLevelCap cap(level);
        if (!test::vectorLevelAvailable(level)) continue;
        const std::vector<double> p = Beamformer::pointSpreadMatrix(*cache, points);
        ASSERT_EQ(p.size(), n * n);
        for (std::size_t e = 0; e < n * n; ++e) {
            EXPECT_NEAR(p[e], expected[e], 1e-5) << vectorLevelName(level) << " " << e / n << "," << e % n;
            EXPECT_NEAR(p[e], baseline[e], 1e-12) << vectorLevelName(level);
        }
        for (std::size_t i = 0; i < n; ++i) EXPECT_EQ(p[i * n + i], 1.0);
    }
}

}  // namespace
}  // namespace zk::core
