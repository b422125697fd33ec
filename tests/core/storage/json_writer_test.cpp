#include "core/storage/json_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <locale>
#include <sstream>
#include <stdexcept>
#include <string>

#include "core/storage/json_reader.h"
#include "test_support.h"

namespace zk::core {
namespace {

std::string compact(const JsonValue& value) {
    std::ostringstream out;
    writeJsonValue(value, out);
    return out.str();
}

TEST(JsonWriter, CompactTextKeepsMemberOrder) {
    EXPECT_EQ(compact(parseJsonDocument(R"( { "b" : [ 1 , 2.5 , true , null ] , "a" : "x" } )")),
              R"({"b":[1,2.5,true,null],"a":"x"})");
    EXPECT_EQ(compact(parseJsonDocument(R"({"k":1,"k":{}, "e":[]})")), R"({"k":1,"k":{},"e":[]})");
    EXPECT_EQ(compact(JsonValue()), "null");
    EXPECT_EQ(compact(JsonValue(false)), "false");
}

TEST(JsonWriter, NumbersUseTheStreamFormatting) {
    EXPECT_EQ(compact(JsonValue(0.1234567)), "0.123457");
    EXPECT_EQ(compact(JsonValue(1e20)), "1e+20");
    EXPECT_EQ(compact(JsonValue(-3.0)), "-3");
    std::ostringstream precise;
    precise.precision(17);
    writeJsonValue(JsonValue(0.1), precise);
    EXPECT_EQ(precise.str(), "0.10000000000000001");
}

TEST(JsonWriter, EscapesExactlyFiveBytes) {
    EXPECT_EQ(jsonEscape("a\tb\nc\"d\\e\rf"), "a\\tb\\nc\\\"d\\\\e\\rf");
    EXPECT_EQ(jsonEscape("\x01\x1F\b\f/\xC3\xA9"), "\x01\x1F\b\f/\xC3\xA9");
    EXPECT_EQ(jsonEscape(""), "");
    EXPECT_EQ(compact(JsonValue(std::string("q\"\\"))), R"("q\"\\")");
}

TEST(JsonWriter, RoundTripsThroughTheReader) {
    const char* documents[] = {
        R"({"name":"tab\there \"q\" back\\slash","n":[0,-1,0.5,1e+20,1e-07],"o":{"x":{},"y":[[]]}})",
        R"([null,true,false,"",{"":""}])",
        R"("line\nbreak\r")",
    };
    for (const char* text : documents) {
        const JsonValue first = parseJsonDocument(text);
        const std::string written = compact(first);
        EXPECT_EQ(written, text);
        EXPECT_EQ(parseJsonDocument(written), first);
    }
    // Other control characters come back raw and code-point escapes as UTF-8.
    EXPECT_EQ(compact(parseJsonDocument(R"("\b\f\u00e9\/")")), "\"\b\f\xC3\xA9/\"");
}

struct CommaDecimal : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    std::string do_grouping() const override { return "\3"; }
    char do_thousands_sep() const override { return '.'; }
};

TEST(JsonWriter, FileNumbersIgnoreTheGlobalLocale) {
    const std::locale previous = std::locale::global(std::locale(std::locale::classic(), new CommaDecimal));
    std::ostringstream localised;
    localised << 1234.5;
    const std::string formatted = formatJsonNumber(1234.5);
    const std::string precise = formatJsonNumber(0.1, 17);
    const double parsed = parseJsonDocument("1234.5").asNumber();
    std::locale::global(previous);
    EXPECT_EQ(localised.str(), "1.234,5");  // the locale really is active
    EXPECT_EQ(formatted, "1234.5");
    EXPECT_EQ(precise, "0.10000000000000001");
    EXPECT_EQ(parsed, 1234.5);
}

TEST(JsonFileBuilder, WritesTheSharedLayout) {
    const std::string ids[] = {"\"m_1\"", "\"m_2\""};
    JsonFileBuilder builder;
    builder.integerMember("schemaVersion", 3)
        .stringMember("name", "a \"b\"\n")
        .beginObject("parameters")
        .numberMember("frequencyHz", 8000.0)
        .numberMember("ratio", 1234567.0)
        .boolMember("removeDiagonal", true)
        .rawMember("algorithmParams", "{\"k\":1}")
        .endObject()
        .beginObject("result")
        .numberMember("peakDb", 1e-5)
        .endObject()
        .quotedMember("rawHash", "cbf29ce484222325")
        .unsignedMember("frames", 18446744073709551615ULL)
        .rawMember("measurements", jsonInlineArray(ids))
        .rawMember("empty", jsonInlineArray({}));
    const std::string text = builder.finish();
    EXPECT_EQ(text,
              "{\n"
              "  \"schemaVersion\": 3,\n"
              "  \"name\": \"a \\\"b\\\"\\n\",\n"
              "  \"parameters\": {\n"
              "    \"frequencyHz\": 8000,\n"
              "    \"ratio\": 1.23457e+06,\n"
              "    \"removeDiagonal\": true,\n"
              "    \"algorithmParams\": {\"k\":1}\n"
              "  },\n"
              "  \"result\": {\n"
              "    \"peakDb\": 1e-05\n"
              "  },\n"
              "  \"rawHash\": \"cbf29ce484222325\",\n"
              "  \"frames\": 18446744073709551615,\n"
              "  \"measurements\": [\"m_1\", \"m_2\"],\n"
              "  \"empty\": []\n"
              "}\n");
    const JsonValue parsed = parseJsonDocument(text);
    EXPECT_EQ(parsed.at("name").asString(), "a \"b\"\n");
    EXPECT_EQ(parsed.at("parameters").at("algorithmParams").at("k").asNumber(), 1.0);
}

TEST(JsonFileBuilder, PrecisionAndMisuse) {
    JsonFileBuilder precise(17);
    precise.numberMember("x", 0.1);
    EXPECT_EQ(precise.finish(), "{\n  \"x\": 0.10000000000000001\n}\n");
    EXPECT_EQ(JsonFileBuilder().finish(), "{\n}\n");

    JsonFileBuilder open;
    open.beginObject("o");
    EXPECT_THROW(open.finish(), std::logic_error);
    JsonFileBuilder unbalanced;
    EXPECT_THROW(unbalanced.endObject(), std::logic_error);
}

TEST(JsonFileBuilder, FileIsWrittenInBinaryWithTruncation) {
    zk::test::TempFolder folder;
    const auto path = folder / "out.json";
    writeJsonFile(path, "{\n  \"long\": \"xxxxxxxxxxxxxxxx\"\n}\n");
    writeJsonFile(path, "{\n}\n");
    std::ifstream in(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(bytes, "{\n}\n");
    EXPECT_THROW(writeJsonFile(folder / "missing" / "x.json", "{}"), std::runtime_error);
}

// The reader refuses inf and nan, so no writer may produce them; a refused value leaves no output.
TEST(JsonWriter, RefusesNonFiniteNumbersBeforeWritingAnything) {
    const double infinity = parseJsonDocument("1e400").asNumber();
    for (const double bad : {infinity, -infinity, std::nan("")}) {
        JsonArray deep;
        deep.emplace_back(1.0);
        deep.emplace_back(JsonObject{JsonMember{"x", JsonValue(bad)}});
        JsonObject root;
        root.push_back(JsonMember{"a", JsonValue(std::string("text"))});
        root.push_back(JsonMember{"b", JsonValue(std::move(deep))});
        std::ostringstream out;
        zk::test::expectThrowExactly<std::invalid_argument>(
            [&] { writeJsonValue(JsonValue(std::move(root)), out); }, "JSON number must be finite");
        EXPECT_EQ(out.str(), "");

        zk::test::expectThrowExactly<std::invalid_argument>([&] { formatJsonNumber(bad); },
                                                            "JSON number must be finite");
        zk::test::expectThrowExactly<std::invalid_argument>([&] { formatJsonNumber(bad, 17); },
                                                            "JSON number must be finite");

        JsonFileBuilder builder;
        builder.integerMember("n", 1);
        zk::test::expectThrowExactly<std::invalid_argument>([&] { builder.numberMember("peakDb", bad); },
                                                            "peakDb must be finite");
        builder.beginObject("o");
        zk::test::expectThrowExactly<std::invalid_argument>([&] { builder.numberMember("x", bad); },
                                                            "x must be finite");
        builder.endObject();
        EXPECT_EQ(builder.finish(), "{\n  \"n\": 1,\n  \"o\": {\n  }\n}\n");
    }
}

TEST(JsonWriter, FileRefusesTextItsReaderRejects) {
    zk::test::TempFolder folder;
    const auto fresh = folder / "fresh.json";
    const auto kept = folder / "kept.json";
    writeJsonFile(kept, "{\n  \"x\": 1\n}\n");
    for (const char* bad :
         {"{\n  \"x\": inf\n}\n", "{\n  \"x\": nan\n}\n", "{\n  \"x\": -inf\n}\n", "{\n", ""}) {
        EXPECT_THROW(writeJsonFile(fresh, bad), std::invalid_argument) << bad;
        EXPECT_FALSE(std::filesystem::exists(fresh)) << bad;
        EXPECT_THROW(writeJsonFile(kept, bad), std::invalid_argument) << bad;
    }
    std::ifstream in(kept, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()),
              "{\n  \"x\": 1\n}\n");
}

}  // namespace
}  // namespace zk::core
