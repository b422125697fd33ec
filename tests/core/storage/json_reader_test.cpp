#include "core/storage/json_reader.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace zk::core {
namespace {

struct ErrorCase {
    std::string text;
    std::string message;
};

std::string readerError(std::string_view text) {
    try {
        parseJsonDocument(text);
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "<no error>";
}

void expectErrors(const std::vector<ErrorCase>& cases) {
    for (const ErrorCase& c : cases) {
        EXPECT_EQ(readerError(c.text), c.message) << "text: " << c.text;
    }
}

TEST(JsonReader, MissingValueAndUnexpectedCharacters) {
    expectErrors({
        {"", "expected JSON value"},
        {" \t\n\r", "expected JSON value"},
        {"[1,", "expected JSON value"},
        {"{\"a\":", "expected JSON value"},
        {"+1", "unexpected JSON character"},
        {".5", "unexpected JSON character"},
        {"[1,]", "unexpected JSON character"},
        {"x", "unexpected JSON character"},
        {"\f1", "unexpected JSON character"},
        {"\v1", "unexpected JSON character"},
        {"\xEF\xBB\xBF{}", "unexpected JSON character"},
        {"// note\n1", "unexpected JSON character"},
        {"'a'", "unexpected JSON character"},
    });
}

TEST(JsonReader, Literals) {
    expectErrors({
        {"tru", "invalid JSON literal"},
        {"nul", "invalid JSON literal"},
        {"fals", "invalid JSON literal"},
        {"trUe", "invalid JSON literal"},
        {"[t]", "invalid JSON literal"},
        {"truex", "unexpected trailing JSON content"},
        {"[truex]", "expected ',' or ']' in array"},
        {"[true false]", "expected ',' or ']' in array"},
    });
    EXPECT_TRUE(parseJsonDocument("true").asBool());
    EXPECT_FALSE(parseJsonDocument(" false ").asBool());
    EXPECT_EQ(parseJsonDocument("null").kind(), JsonKind::Null);
}

TEST(JsonReader, ArraysAndObjectsStructure) {
    expectErrors({
        {"[1 2]", "expected ',' or ']' in array"},
        {"[1", "expected ',' or ']' in array"},
        {"[1;2]", "expected ',' or ']' in array"},
        {"{\"a\" 1}", "expected ':' in object"},
        {"{\"a\"", "expected ':' in object"},
        {"{\"a\":1 \"b\":2}", "expected ',' or '}' in object"},
        {"{\"a\":1", "expected ',' or '}' in object"},
        {"{\"a\":1]", "expected ',' or '}' in object"},
        {"{1:2}", "expected string"},
        {"{\"a\":1,}", "expected string"},
        {"{", "expected string"},
        {"{'a':1}", "expected string"},
    });
    EXPECT_EQ(parseJsonDocument("{}").size(), 0u);
    EXPECT_EQ(parseJsonDocument("{ \n\t}").size(), 0u);
    EXPECT_EQ(parseJsonDocument("[]").size(), 0u);
    EXPECT_EQ(parseJsonDocument("[ \r\n ]").kind(), JsonKind::Array);
}

TEST(JsonReader, DirectEntryPointsCheckTheirOpeningCharacter) {
    auto messageOf = [](auto call) -> std::string {
        try {
            call();
        } catch (const std::runtime_error& e) {
            return e.what();
        }
        return "<no error>";
    };
    EXPECT_EQ(messageOf([] { JsonParser("{}").parseArray(); }), "expected array");
    EXPECT_EQ(messageOf([] { JsonParser(" []").parseObject(); }), "expected object");
    EXPECT_EQ(messageOf([] { JsonParser("").parseObject(); }), "expected object");
    EXPECT_EQ(messageOf([] { JsonParser(" 1").parseString(); }), "expected string");
}

TEST(JsonReader, Strings) {
    expectErrors({
        {"\"abc", "unterminated string"},
        {"\"", "unterminated string"},
        {"[\"a\\\"]", "unterminated string"},
        {"\"ab\\", "unterminated escape sequence"},
        {"\"\\x\"", "invalid escape sequence"},
        {"\"\\U0041\"", "invalid escape sequence"},
        {"\"\\u12\"", "invalid unicode escape"},
        {"\"\\u12", "invalid unicode escape"},
        {"\"\\u12G4\"", "invalid unicode escape"},
    });
    EXPECT_EQ(parseJsonDocument(R"("\"\/\\\b\f\n\r\t")").asString(), "\"/\\\b\f\n\r\t");
    EXPECT_EQ(parseJsonDocument(R"("\u00e9")").asString(), "\xC3\xA9");
    EXPECT_EQ(parseJsonDocument(R"("\u20AC")").asString(), "\xE2\x82\xAC");
    EXPECT_EQ(parseJsonDocument(R"("\u0041\u007f")").asString(), "A\x7F");
    EXPECT_EQ(parseJsonDocument(R"("\u07FF")").asString(), "\xDF\xBF");
    // Surrogates are not paired: each escape becomes its own three-byte sequence.
    EXPECT_EQ(parseJsonDocument(R"("\ud83d\ude00")").asString(), "\xED\xA0\xBD\xED\xB8\x80");
    EXPECT_EQ(parseJsonDocument(R"("a\u0000b")").asString(), std::string("a\0b", 3));
    // Raw control characters, line breaks and high bytes pass unchecked.
    EXPECT_EQ(parseJsonDocument("\"a\nb\x01\xFF\"").asString(), "a\nb\x01\xFF");
}

TEST(JsonReader, TrailingContent) {
    expectErrors({
        {"1 2", "unexpected trailing JSON content"},
        {"{} x", "unexpected trailing JSON content"},
        {"nullnull", "unexpected trailing JSON content"},
        {"[]]", "unexpected trailing JSON content"},
    });
    EXPECT_EQ(parseJsonDocument(" \t1\r\n ").asNumber(), 1.0);
}

TEST(JsonReader, LenientNumbers) {
    struct NumberCase {
        std::string text;
        double value;
    };
    const std::vector<NumberCase> cases = {
        {"-", 0.0},   {"1.", 1.0},
        {"1e", 1.0},  {"00", 0.0},
        {"007", 7.0}, {"-.5", -0.5},
        {"1e+", 1.0}, {"2.5E-3", 2.5e-3},
        {"-0", -0.0}, {"12.75e2", 1275.0},
        {"-e5", 0.0}, {"1e-400", 0.0},
        {"0.1", 0.1}, {"123456789012345678901234567890", 1.2345678901234568e29},
    };
    for (const NumberCase& c : cases) {
        EXPECT_EQ(parseJsonDocument(c.text).asNumber(), c.value) << c.text;
    }
    EXPECT_TRUE(std::signbit(parseJsonDocument("-0").asNumber()));
    EXPECT_TRUE(std::signbit(parseJsonDocument("-1e-999").asNumber()));

    const JsonValue huge = parseJsonDocument("1e400");
    EXPECT_TRUE(std::isinf(huge.asNumber()) && huge.asNumber() > 0);
    EXPECT_TRUE(std::isinf(parseJsonDocument("-1e400").asNumber()));
    EXPECT_TRUE(std::isinf(parseJsonDocument("1.7976931348623159e308").asNumber()));
    EXPECT_TRUE(std::isinf(parseJsonDocument("0.0000001e99999999999999999999").asNumber()));
    try {
        huge.finiteNumber("x");
        ADD_FAILURE() << "an infinity passed finiteNumber";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "x must be finite");
    }
}

// The reader's conversion must agree bit for bit with the C library's in the "C" locale.
TEST(JsonReader, NumbersAgreeWithCConversion) {
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> digitCount(0, 25);
    std::uniform_int_distribution<int> digit(0, 9);
    std::uniform_int_distribution<int> coin(0, 1);
    std::uniform_int_distribution<int> exponent(-420, 420);
    for (int trial = 0; trial < 20000; ++trial) {
        std::string text;
        if (coin(random)) text += '-';
        text += std::to_string(digit(random));
        for (int i = digitCount(random); i > 0; --i) text += static_cast<char>('0' + digit(random));
        if (coin(random)) {
            text += '.';
            for (int i = digitCount(random); i > 0; --i) text += static_cast<char>('0' + digit(random));
        }
        if (coin(random)) {
            text += coin(random) ? 'e' : 'E';
            text += std::to_string(exponent(random));
        }
        const double expected = std::strtod(text.c_str(), nullptr);
        const double actual = parseJsonDocument(text).asNumber();
        ASSERT_EQ(std::memcmp(&expected, &actual, sizeof expected), 0) << text;
    }
}

TEST(JsonReader, NestingDepthIsBounded) {
    const std::string deepestAccepted = std::string(kMaxJsonDepth, '[') + std::string(kMaxJsonDepth, ']');
    EXPECT_NO_THROW(parseJsonDocument(deepestAccepted));
    const std::string tooDeep = std::string(kMaxJsonDepth + 1, '[') + std::string(kMaxJsonDepth + 1, ']');
    EXPECT_EQ(readerError(tooDeep), "JSON nesting too deep");
    std::string objects;
    for (std::size_t i = 0; i <= kMaxJsonDepth; ++i) objects += "{\"a\":";
    EXPECT_EQ(readerError(objects), "JSON nesting too deep");
    EXPECT_EQ(readerError(std::string(1'000'000, '[')), "JSON nesting too deep");
}

TEST(JsonReader, ObjectsKeepOrderAndDuplicates) {
    const JsonValue root = parseJsonDocument(R"({"a":1,"b":{"c":[]},"a":2})");
    ASSERT_EQ(root.size(), 3u);
    EXPECT_EQ(root.asObject()[0].key, "a");
    EXPECT_EQ(root.asObject()[1].key, "b");
    EXPECT_EQ(root.asObject()[2].key, "a");
    EXPECT_EQ(root.asObject()[2].value.asNumber(), 2.0);
    EXPECT_EQ(root.at("a").asNumber(), 1.0);
    EXPECT_EQ(root.at("b").at("c").size(), 0u);
}

const std::set<std::string>& readerMessages() {
    static const std::set<std::string> messages = {
        "expected JSON value",
        "unexpected JSON character",
        "invalid JSON literal",
        "expected array",
        "expected object",
        "expected ',' or ']' in array",
        "expected ',' or '}' in object",
        "expected ':' in object",
        "expected string",
        "unterminated string",
        "unterminated escape sequence",
        "invalid escape sequence",
        "invalid unicode escape",
        "unexpected trailing JSON content",
        "JSON nesting too deep",
    };
    return messages;
}

const char* kSampleDocument = R"({
  "schemaVersion": 2,
  "name": "m\u00e9sure \"A\"\n",
  "values": [1, -2.5e-3, 1E+2, true, false, null, {}, []],
  "nested": {"k": {"deep": [[0.5], {"x": "\/\\"}]}},
  "empty": ""
}
)";

TEST(JsonReader, EveryCutOfAValidDocumentThrowsAReaderError) {
    const std::string text = kSampleDocument;
    ASSERT_NO_THROW(parseJsonDocument(text));
    const std::size_t closing = text.rfind('}');
    for (std::size_t cut = 0; cut <= closing; ++cut) {
        try {
            parseJsonDocument(std::string_view(text).substr(0, cut));
            ADD_FAILURE() << "prefix of " << cut << " bytes was accepted";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(readerMessages().count(e.what()), 1u) << e.what();
        }
    }
}

TEST(JsonReader, FlippedBytesEitherParseOrThrowAReaderError) {
    const std::string original = kSampleDocument;
    const std::string replacements = std::string("\"\\[]{},:.-+e0tfnu \x01\x80\xFF") + '\0';
    std::size_t refused = 0;
    for (std::size_t position = 0; position < original.size(); ++position) {
        for (const char replacement : replacements) {
            std::string text = original;
            text[position] = replacement;
            try {
                parseJsonDocument(text);
            } catch (const std::runtime_error& e) {
                ++refused;
                EXPECT_EQ(readerMessages().count(e.what()), 1u) << e.what();
            }
        }
    }
    EXPECT_GT(refused, original.size());
}

TEST(JsonReader, NumbersIgnoreTheProcessLocale) {
    const char* candidates[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "de_DE"};
    const char* chosen = nullptr;
    for (const char* name : candidates) {
        if (std::setlocale(LC_ALL, name) != nullptr) {
            chosen = name;
            break;
        }
    }
    if (chosen == nullptr) GTEST_SKIP() << "no locale with a decimal comma is installed";
    EXPECT_STREQ(std::localeconv()->decimal_point, ",");
    const double value = parseJsonDocument("[3.25e1]").asArray()[0].asNumber();
    const double half = parseJsonDocument("-0.5").asNumber();
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(value, 32.5);
    EXPECT_EQ(half, -0.5);
}

}  // namespace
}  // namespace zk::core
