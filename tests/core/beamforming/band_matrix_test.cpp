#include "core/beamforming/band_matrix.h"

#include <gtest/gtest.h>

#include <string>

namespace zk::core {
namespace {

// Cache keys hold this text: only quotes and backslashes change, everything else stays byte for byte.
TEST(BandMatrix, EscapeJsonStringTouchesOnlyQuotesAndBackslashes) {
    EXPECT_EQ(escapeJsonString(R"(a"b\c)"), R"(a\"b\\c)");
    EXPECT_EQ(escapeJsonString(R"(\")"), R"(\\\")");
    const std::string raw = std::string("n\nt\tr\r\x01\x7f\xc3\xa9/") + std::string(1, '\0');
    EXPECT_EQ(escapeJsonString(raw), raw);
    EXPECT_EQ(escapeJsonString(""), "");
}

}  // namespace
}  // namespace zk::core
