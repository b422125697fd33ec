// Each vector level runs its own variant of the dispatched beamforming kernels. Every variant gives correct
// numbers, so the accuracy tests alone would pass with a level wired to another's variant: this test reads
// the level each dispatch reports. The dense kernels report the instruction set their translation unit was
// compiled for, as the compiler saw it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/beamforming/detail/clean_sc_kernels.h"
#include "core/beamforming/detail/dense_kernels.h"
#include "core/beamforming/detail/pair_kernel.h"
#include "core/beamforming/detail/point_spread_kernel.h"
#include "vector_level_cap.h"

namespace zk::core {
namespace {

class KernelDispatch : public ::testing::TestWithParam<VectorLevel> {
  protected:
    void SetUp() override {
        if (vectorLevel() != GetParam()) {
            GTEST_SKIP() << "this CPU or build has no " << vectorLevelName(GetParam()) << " variant";
        }
    }

    test::VectorLevelCap cap_{GetParam()};
};

TEST_P(KernelDispatch, EachLevelRunsItsOwnVariant) {
    const VectorLevel level = GetParam();
    EXPECT_EQ(detail::denseKernels().level, level);
    EXPECT_EQ(detail::cleanScKernels().level, level);

    // Three microphones, 16 points: one call of each entry that reports the variant it ran.
    const std::vector<float> plane(3 * 16, 0.5f);
    const std::vector<float> pairs(3, 0.25f);
    std::vector<float> scratch(16);
    std::vector<double> accumulator(16);
    EXPECT_EQ(
        detail::accumulatePairQuadraticForm(plane, plane, 3, 16, 0, 16, pairs, pairs, scratch, accumulator),
        level);
    const std::vector<double> columns(3 * detail::kGramColumnPadding, 0.5);
    std::vector<double> gram(detail::kGramColumnPadding * detail::kGramColumnPadding);
    EXPECT_EQ(detail::accumulateGramModulus(
                  {columns, columns, 3, detail::kGramColumnPadding, detail::kGramColumnPadding}, 0,
                  detail::kGramColumnPadding, 1.0, gram),
              level);
}

INSTANTIATE_TEST_SUITE_P(EveryVectorLevel, KernelDispatch, ::testing::ValuesIn(test::kVectorLevels),
                         [](const testing::TestParamInfo<VectorLevel>& info) {
                             return std::string(vectorLevelName(info.param));
                         });

}  // namespace
}  // namespace zk::core
