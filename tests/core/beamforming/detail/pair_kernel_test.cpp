#include "core/beamforming/detail/pair_kernel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <iostream>
#include <limits>
#include <random>
#include <vector>

#include "core/beamforming/beamformer.h"
#include "core/platform/cpu_features.h"
#include "core/storage/device_profile.h"
#include "steering_test_model.h"
#include "vector_level_cap.h"

namespace zk::core {
namespace {

using C = std::complex<double>;

using test::VectorLevelCap;

struct Shape {
    std::size_t mics;
    std::size_t points;
    std::size_t first;
    std::size_t end;
};

struct KernelCase {
    std::vector<float> re, im, xr, xi;
    Shape shape;

    KernelCase(Shape s, unsigned seed) : shape(s) {
        std::mt19937 rng(seed);
        std::uniform_real_distribution<float> u(-1.0f, 1.0f);
        for (std::size_t i = 0; i < s.mics * s.points; ++i) {
            const float phase = 3.0f * u(rng);
            re.push_back(std::cos(phase));
            im.push_back(std::sin(phase));
        }
        for (std::size_t p = 0; p < s.mics * (s.mics - 1) / 2; ++p) {
            xr.push_back(u(rng));
            xi.push_back(u(rng));
        }
    }

    // The kernel's sums over [first, end) on top of 5.0; the guard cells past the end must stay put.
    std::vector<double> run() const {
        const std::size_t count = shape.end - shape.first;
        std::vector<float> scratch(count + 64, 123.0f);  // garbage the kernel must clear
        std::vector<double> acc(count + 64, 5.0);
        detail::accumulatePairQuadraticForm(re, im, shape.mics, shape.points, shape.first, shape.end, xr, xi,
                                            std::span(scratch).first(count), std::span(acc).first(count));
        for (std::size_t g = count; g < acc.size(); ++g) EXPECT_EQ(acc[g], 5.0) << "wrote past the block";
        acc.resize(count);
        return acc;
    }

    // Brute force in double over the same float inputs, and the sum of |X_rk| that bounds its terms.
    std::pair<double, double> expected(std::size_t g) const {
        double sum = 5.0, magnitude = 0.0;
        std::size_t p = 0;
        for (std::size_t r = 0; r < shape.mics; ++r) {
            for (std::size_t k = r + 1; k < shape.mics; ++k, ++p) {
                const C ar(re[r * shape.points + g], im[r * shape.points + g]);
                const C ak(re[k * shape.points + g], im[k * shape.points + g]);
                sum += (std::conj(ar) * C(xr[p], xi[p]) * ak).real();
                magnitude += std::abs(C(xr[p], xi[p]));
            }
        }
        return {sum, magnitude};
    }
};

// Odd microphone counts leave rows outside the row tiles; the blocks end in two-vector, one-vector,
// narrow and single-point chunks; 130 microphones put more than 512 pairs in one tile.
TEST(PairKernel, EveryVectorLevelMatchesDoublePrecisionAndBaseline) {
    const Shape shapes[] = {{2, 9, 0, 9}, {3, 40, 1, 40}, {5, 70, 3, 70}, {37, 90, 5, 88}, {130, 61, 0, 61}};
    for (const Shape& shape : shapes) {
        const KernelCase c(shape, static_cast<unsigned>(shape.mics));
        std::vector<double> baseline;
        {
            VectorLevelCap cap(VectorLevel::kBaseline);
            baseline = c.run();
        }
        for (VectorLevel level : test::kVectorLevels) {
            VectorLevelCap cap(level);
            if (vectorLevel() != level) {
                std::cout << "[ SKIPPED  ] " << vectorLevelName(level) << " not available on this CPU\n";
                continue;
            }
            const std::vector<double> got = c.run();
            for (std::size_t g = shape.first; g < shape.end; ++g) {
                const auto [want, magnitude] = c.expected(g);
                const double tolerance = 1e-6 * magnitude;
                EXPECT_NEAR(got[g - shape.first], want, tolerance)
                    << vectorLevelName(level) << " M=" << shape.mics << " g=" << g;
                EXPECT_NEAR(got[g - shape.first], baseline[g - shape.first], tolerance)
                    << vectorLevelName(level) << " M=" << shape.mics << " g=" << g;
            }
        }
    }
}

TEST(PairKernel, OneMicrophoneOrEmptyBlockAddsNothing) {
    const std::vector<float> plane(8, 1.0f);
    std::vector<float> scratch(8);
    std::vector<double> acc(8, 2.0);
    for (VectorLevel level : test::kVectorLevels) {
        VectorLevelCap cap(level);
        detail::accumulatePairQuadraticForm(plane, plane, 1, 8, 0, 8, {}, {}, scratch, acc);
        detail::accumulatePairQuadraticForm(plane, plane, 1, 8, 4, 4, {}, {}, scratch, acc);
    }
    EXPECT_EQ(acc, std::vector<double>(8, 2.0));
}

// The shipped 128-microphone array end to end at every vector level: the map within 1e-5 of its peak of
// a brute-force double-precision quadratic form over the independent steering model.
TEST(BroadbandDas, ShippedArrayMatchesDoublePrecisionAtEveryVectorLevel) {
    const DeviceProfile profile = loadDeviceProfile(ZK_PROFILES_DIR "/TM27-128-H1.6.2.device.json");
    std::vector<MicrophonePosition> mics;
    for (const auto& m : profile.microphones) mics.push_back({m.x, m.y, m.z});
    ASSERT_EQ(mics.size(), 128u);
    Beamformer bf(mics, testmodel::kSoundSpeed);
    const testmodel::Grid grid{36.0, 24.0, 2.0, -1.0, 3.0, 3.0};  // 13 x 9 cells
    const std::vector<double> freqs{2500.0, 5000.0};
    std::mt19937 rng(128);
    std::vector<MatrixRows> matrices;
    for (double f : freqs) {
        MatrixRows r = testmodel::randomCsm(128, 2, rng);
        testmodel::addSource(r, testmodel::steeringToward(mics, testmodel::kSoundSpeed, 11.0, -7.0, f), 40.0);
        matrices.push_back(std::move(r));
    }
    for (bool removeDiagonal : {false, true}) {
        const double divisor = removeDiagonal ? 128.0 * 127.0 : 128.0 * 128.0;
        std::vector<double> expected(grid.cells(), 0.0);
        for (std::uint64_t g = 0; g < grid.cells(); ++g) {
            for (std::size_t b = 0; b < freqs.size(); ++b) {
                const auto a = testmodel::steering(mics, testmodel::kSoundSpeed, grid, g, freqs[b]);
                double q = testmodel::quadraticForm(matrices[b], a);
                if (removeDiagonal) {
                    for (std::size_t i = 0; i < 128; ++i) q -= matrices[b][i][i].real();
                }
                expected[g] += std::max(q / divisor, 0.0);
            }
        }
        const double peak = *std::max_element(expected.begin(), expected.end());
        for (VectorLevel level : test::kVectorLevels) {
            VectorLevelCap cap(level);
            if (vectorLevel() != level) continue;
            const auto map =
                bf.broadbandDas(matrices, freqs, grid.hSpan, grid.vSpan, grid.hCentre, grid.vCentre,
                                grid.hStep, grid.vStep, removeDiagonal, grid.focus);
            ASSERT_EQ(map.power.size(), expected.size());
            for (std::size_t g = 0; g < expected.size(); ++g) {
                EXPECT_NEAR(map.power[g], expected[g], 1e-5 * peak) << vectorLevelName(level) << " g=" << g;
            }
        }
    }
}

}  // namespace
}  // namespace zk::core
