#include "core/detail/parallel_for.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

namespace zk::core {
namespace {

TEST(ParallelFor, RunsEveryIndexOnce) {
    std::vector<int> hits(1000, 0);
    detail::parallelFor(static_cast<std::int64_t>(hits.size()), 4, [&](std::int64_t i) { ++hits[i]; });
    for (int h : hits) EXPECT_EQ(h, 1);
    detail::parallelFor(0, 4, [](std::int64_t) { FAIL() << "no iteration expected"; });
}

TEST(ParallelFor, WorkerExceptionReachesTheCallerAfterTheTeamJoins) {
    std::atomic<int> ran{0};
    try {
        detail::parallelFor(64, 4, [&](std::int64_t i) {
            ++ran;
            if (i == 37) throw std::runtime_error("bin 37 failed");
        });
        ADD_FAILURE() << "the worker's exception was swallowed";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "bin 37 failed");
    }
    EXPECT_EQ(ran.load(), 64);
}

}  // namespace
}  // namespace zk::core
