#include "core/storage/measurement_store.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"

namespace zk::core {
namespace {

using zk::test::expectThrowExactly;

TEST(MeasurementIds, OnlyOnePlainPathComponentIsAccepted) {
    for (const std::string id :
         {"", ".", "..", "a/b", "/abs", "a\\b", "\\root", "trailing/", "C:", "c:x", "Z:\\x"}) {
        expectThrowExactly<std::invalid_argument>([&] { validateMeasurementId(id); },
                                                  "measurementId must be a non-empty directory name");
        expectThrowExactly<std::invalid_argument>([&] { validateAnalysisId(id); },
                                                  "analysisId must be a non-empty directory name");
    }
    for (const std::string id : {"m_20260301T090507Z_123", "with space.and dot", "...", ".hidden", "1:x",
                                 "\xc3\xa9t\xc3\xa9", "ab:"}) {
        EXPECT_NO_THROW(validateMeasurementId(id)) << id;
        EXPECT_NO_THROW(validateAnalysisId(id)) << id;
    }
}

TEST(UtcTimestamp, FormatsTheCurrentSecondInUtc) {
    const std::time_t before = std::time(nullptr);
    const std::string text = utcTimestampNow();
    const std::time_t after = std::time(nullptr);
    ASSERT_EQ(text.size(), 20u) << text;
    std::tm parsed{};
    ASSERT_NE(strptime(text.c_str(), "%Y-%m-%dT%H:%M:%SZ", &parsed), nullptr) << text;
    const std::time_t seconds = timegm(&parsed);
    EXPECT_GE(seconds, before);
    EXPECT_LE(seconds, after);
}

// gmtime's shared buffer would let threads overwrite each other's fields (tsan sees the race).
TEST(UtcTimestamp, IsSafeOnSeveralThreads) {
    std::vector<std::thread> threads;
    std::vector<std::string> texts(4);
    for (std::size_t t = 0; t < texts.size(); ++t)
        threads.emplace_back([&texts, t] {
            for (int i = 0; i < 500; ++i) texts[t] = utcTimestampNow();
        });
    for (std::thread& thread : threads) thread.join();
    for (const std::string& text : texts) EXPECT_EQ(text.size(), 20u);
}

}  // namespace
}  // namespace zk::core
