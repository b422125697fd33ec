#include "core/storage/json_value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

#include "core/storage/json_reader.h"
#include "test_support.h"

namespace zk::core {
namespace {

using zk::test::messageOf;

TEST(JsonValue, DefaultIsNullAndKindsFollowTheTypeIndex) {
    EXPECT_EQ(JsonValue().kind(), JsonKind::Null);
    EXPECT_EQ(static_cast<int>(JsonValue(true).kind()), 1);
    EXPECT_EQ(static_cast<int>(JsonValue(2.0).kind()), 2);
    EXPECT_EQ(static_cast<int>(JsonValue(std::string("s")).kind()), 3);
    EXPECT_EQ(static_cast<int>(JsonValue(JsonArray{}).kind()), 4);
    EXPECT_EQ(static_cast<int>(JsonValue(JsonObject{}).kind()), 5);
}

TEST(JsonValue, WrongKindMessages) {
    const JsonValue number(1.0);
    const JsonValue text(std::string("t"));
    EXPECT_EQ(messageOf<std::runtime_error>([&] { number.asArray(); }), "JSON value is not an array");
    EXPECT_EQ(messageOf<std::runtime_error>([&] { number.asBool(); }), "JSON value is not a bool");
    EXPECT_EQ(messageOf<std::runtime_error>([&] { text.asNumber(); }), "JSON value is not a number");
    EXPECT_EQ(messageOf<std::runtime_error>([&] { text.asInteger(); }), "JSON value is not a number");
    EXPECT_EQ(messageOf<std::runtime_error>([&] { number.asObject(); }), "JSON value is not an object");
    EXPECT_EQ(messageOf<std::runtime_error>([&] { number.asString(); }), "JSON value is not a string");
    EXPECT_EQ(messageOf<std::runtime_error>([&] { text.size(); }), "JSON value has no size");
    EXPECT_EQ(messageOf<std::runtime_error>([&] { JsonValue().size(); }), "JSON value has no size");
    EXPECT_EQ(messageOf<std::runtime_error>([&] { text.finiteNumber("f"); }), "JSON value is not a number");
}

TEST(JsonValue, KeyLookup) {
    const JsonValue root = parseJsonDocument(R"({"a":1,"b":null,"a":2})");
    EXPECT_EQ(root.at("a").asNumber(), 1.0);
    EXPECT_TRUE(root.contains("b"));
    EXPECT_FALSE(root.contains("A"));
    EXPECT_EQ(messageOf<std::runtime_error>([&] { root.at("missing"); }), "JSON object has no key: missing");
    for (const char* other : {"[1]", "\"a\"", "null", "3"}) {
        const JsonValue value = parseJsonDocument(other);
        EXPECT_FALSE(value.contains("a")) << other;
        EXPECT_EQ(messageOf<std::runtime_error>([&] { value.at("a"); }), "JSON value is not an object")
            << other;
    }
}

TEST(JsonValue, IntegerTruncatesTowardZero) {
    EXPECT_EQ(JsonValue(2.9).asInteger(), 2);
    EXPECT_EQ(JsonValue(-2.9).asInteger(), -2);
    EXPECT_EQ(JsonValue(-0.5).asInteger(), 0);
    EXPECT_EQ(JsonValue(4294967296.0 + 5.0).asInteger(), 4294967301LL);
    EXPECT_EQ(JsonValue(std::ldexp(1.0, 62)).asInteger(), std::int64_t{1} << 62);
}

TEST(JsonValue, UnsignedIntegerTakesOnlyWholeNumbersThatFitSixtyFourBits) {
    EXPECT_EQ(JsonValue(0.0).unsignedInteger("n"), 0u);
    EXPECT_EQ(JsonValue(std::ldexp(1.0, 63)).unsignedInteger("n"), std::uint64_t{1} << 63);
    EXPECT_EQ(JsonValue(std::nextafter(std::ldexp(1.0, 64), 0.0)).unsignedInteger("n"),
              std::numeric_limits<std::uint64_t>::max() - 2047);
    for (const double bad : {-1.0, -0.5, 0.5, 12.9, std::ldexp(1.0, 64), 1e300,
                             std::numeric_limits<double>::infinity(), std::nan("")}) {
        EXPECT_EQ(messageOf<std::runtime_error>([&] { JsonValue(bad).unsignedInteger("totalFrames"); }),
                  "totalFrames must be a non-negative integer")
            << bad;
    }
    EXPECT_EQ(messageOf<std::runtime_error>([] { JsonValue(std::string("1")).unsignedInteger("n"); }),
              "JSON value is not a number");
}

TEST(JsonValue, IntegerSaturatesBeyondSixtyFourBitsAndRefusesNaN) {
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
    EXPECT_EQ(JsonValue(std::ldexp(1.0, 63)).asInteger(), kMax);
    EXPECT_EQ(JsonValue(1e300).asInteger(), kMax);
    EXPECT_EQ(JsonValue(std::numeric_limits<double>::infinity()).asInteger(), kMax);
    EXPECT_EQ(JsonValue(-std::ldexp(1.0, 63)).asInteger(), kMin);
    EXPECT_EQ(JsonValue(-1e300).asInteger(), kMin);
    EXPECT_EQ(JsonValue(-std::numeric_limits<double>::infinity()).asInteger(), kMin);
    // The largest double below 2^63 still converts exactly.
    EXPECT_EQ(JsonValue(std::nextafter(std::ldexp(1.0, 63), 0.0)).asInteger(), kMax - 1023);
    EXPECT_EQ(messageOf<std::runtime_error>([] { JsonValue(std::nan("")).asInteger(); }),
              "JSON value is not a number");
}

TEST(JsonValue, FiniteNumberNamesTheField) {
    EXPECT_EQ(JsonValue(1.5).finiteNumber("f"), 1.5);
    for (double bad :
         {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(), std::nan("")}) {
        try {
            JsonValue(bad).finiteNumber("microphone.z");
            ADD_FAILURE() << "accepted " << bad;
        } catch (const std::invalid_argument& e) {
            EXPECT_STREQ(e.what(), "microphone.z must be finite");
        }
    }
}

TEST(JsonValue, MutableAccessBuildsTrees) {
    JsonValue root{JsonObject{}};
    root.asObject().push_back({"list", JsonValue(JsonArray{})});
    root.asObject()[0].value.asArray().push_back(JsonValue(std::string("x")));
    root.asObject()[0].value.asArray()[0].asString() += "y";
    EXPECT_EQ(root.at("list").size(), 1u);
    EXPECT_EQ(root.at("list").asArray()[0].asString(), "xy");
}

}  // namespace
}  // namespace zk::core
