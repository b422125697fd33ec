#include "core/storage/json_reader.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <stdexcept>
#include <system_error>

namespace zk::core {

namespace {

[[noreturn]] void fail(const char* message) { throw std::runtime_error(message); }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// std::from_chars reports a result beyond double range without a value; the C conversion gives an
// infinity for an overflow and a zero for an underflow. The scanned text tells which by the decimal
// exponent of its leading significant digit.
double outOfRangeValue(std::string_view text) {
    const bool negative = !text.empty() && text.front() == '-';
    std::size_t i = negative ? 1 : 0;
    std::int64_t magnitude = 0;
    bool seenSignificant = false;
    std::int64_t integerDigits = 0;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        if (text[i] != '0') seenSignificant = true;
        if (seenSignificant) ++integerDigits;
    }
    if (seenSignificant) {
        magnitude = integerDigits - 1;
    } else if (i < text.size() && text[i] == '.') {
        std::int64_t position = 0;
        for (++i; i < text.size() && isDigit(text[i]); ++i) {
            ++position;
            if (text[i] != '0' && !seenSignificant) {
                seenSignificant = true;
                magnitude = -position;
            }
        }
    }
    while (i < text.size() && text[i] != 'e' && text[i] != 'E') ++i;
    std::int64_t exponent = 0;
    if (i < text.size()) {
        ++i;
        bool negativeExponent = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) negativeExponent = text[i++] == '-';
        constexpr std::int64_t kSaturation = 1'000'000'000;
        for (; i < text.size() && isDigit(text[i]); ++i) {
            exponent = std::min<std::int64_t>(exponent * 10 + (text[i] - '0'), kSaturation);
        }
        if (negativeExponent) exponent = -exponent;
    }
    const double magnitudeValue = magnitude + exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    return negative ? -magnitudeValue : magnitudeValue;
}

// Locale-independent: the decimal point is always the full stop whatever the process locale says.
double convertNumber(std::string_view text) {
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    (void)end;
    if (error == std::errc()) return value;
    if (error == std::errc::result_out_of_range) return outOfRangeValue(text);
    return 0.0;  // no digits at all, such as a lone minus sign
}

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

void JsonParser::skipBlanks() {
    while (!atEnd()) {
        const char c = current();
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r') return;
        ++cursor_;
    }
}

JsonValue JsonParser::parseValue(std::size_t depth) {
    skipBlanks();
    if (atEnd()) fail("expected JSON value");
    const char c = current();
    switch (c) {
        case '"':
            return JsonValue(parseString());
        case '[':
            return parseArray(depth);
        case '{':
            return parseObject(depth);
        case 't':
            expectLiteral("true");
            return JsonValue(true);
        case 'f':
            expectLiteral("false");
            return JsonValue(false);
        case 'n':
            expectLiteral("null");
            return JsonValue();
        default:
            if (c == '-' || isDigit(c)) return parseNumber();
            fail("unexpected JSON character");
    }
}

void JsonParser::expectLiteral(std::string_view literal) {
    for (const char expected : literal) {
        if (atEnd() || current() != expected) fail("invalid JSON literal");
        ++cursor_;
    }
}

JsonValue JsonParser::parseNumber() {
    const std::uint64_t start = cursor_;
    if (!atEnd() && current() == '-') ++cursor_;
    while (!atEnd() && isDigit(current())) ++cursor_;
    if (!atEnd() && current() == '.') {
        ++cursor_;
        while (!atEnd() && isDigit(current())) ++cursor_;
    }
    if (!atEnd() && (current() == 'e' || current() == 'E')) {
        ++cursor_;
        if (!atEnd() && (current() == '+' || current() == '-')) ++cursor_;
        while (!atEnd() && isDigit(current())) ++cursor_;
    }
    return JsonValue(convertNumber(std::string_view(text_ + start, cursor_ - start)));
}

std::string JsonParser::parseString() {
    skipBlanks();
    if (atEnd() || current() != '"') fail("expected string");
    ++cursor_;
    std::string out;
    while (true) {
        const std::uint64_t runStart = cursor_;
        while (!atEnd() && current() != '"' && current() != '\\') ++cursor_;
        out.append(text_ + runStart, cursor_ - runStart);
        if (atEnd()) fail("unterminated string");
        if (current() == '"') {
            ++cursor_;
            return out;
        }
        ++cursor_;
        if (atEnd()) fail("unterminated escape sequence");
        const char escaped = current();
        ++cursor_;
        switch (escaped) {
            case '"':
                out.push_back('"');
                break;
            case '/':
                out.push_back('/');
                break;
            case '\\':
                out.push_back('\\');
                break;
            case 'b':
                out.push_back('\b');
                break;
            case 'f':
                out.push_back('\f');
                break;
            case 'n':
                out.push_back('\n');
                break;
            case 'r':
                out.push_back('\r');
                break;
            case 't':
                out.push_back('\t');
                break;
            case 'u': {
                std::uint32_t codePoint = 0;
                for (int k = 0; k < 4; ++k) {
                    const int digit = atEnd() ? -1 : hexDigitValue(current());
                    if (digit < 0) fail("invalid unicode escape");
                    codePoint = (codePoint << 4) | static_cast<std::uint32_t>(digit);
                    ++cursor_;
                }
                appendUtf8(out, codePoint);
                break;
            }
            default:
                fail("invalid escape sequence");
        }
    }
}

void JsonParser::appendUtf8(std::string& out, std::uint32_t codePoint) {
    if (codePoint < 0x80) {
        out.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
}

JsonValue JsonParser::parseArray(std::size_t depth) {
    skipBlanks();
    if (atEnd() || current() != '[') fail("expected array");
    if (depth >= kMaxJsonDepth) fail("JSON nesting too deep");
    ++cursor_;
    JsonArray elements;
    skipBlanks();
    if (!atEnd() && current() == ']') {
        ++cursor_;
        return JsonValue(std::move(elements));
    }
    while (true) {
        elements.push_back(parseValue(depth + 1));
        skipBlanks();
        if (atEnd()) fail("expected ',' or ']' in array");
        const char c = current();
        ++cursor_;
        if (c == ']') return JsonValue(std::move(elements));
        if (c != ',') fail("expected ',' or ']' in array");
    }
}

JsonValue JsonParser::parseObject(std::size_t depth) {
    skipBlanks();
    if (atEnd() || current() != '{') fail("expected object");
    if (depth >= kMaxJsonDepth) fail("JSON nesting too deep");
    ++cursor_;
    JsonObject members;
    skipBlanks();
    if (!atEnd() && current() == '}') {
        ++cursor_;
        return JsonValue(std::move(members));
    }
    while (true) {
        std::string key = parseString();
        skipBlanks();
        if (atEnd() || current() != ':') fail("expected ':' in object");
        ++cursor_;
        JsonValue value = parseValue(depth + 1);
        members.push_back(JsonMember{std::move(key), std::move(value)});
        skipBlanks();
        if (atEnd()) fail("expected ',' or '}' in object");
        const char c = current();
        ++cursor_;
        if (c == '}') return JsonValue(std::move(members));
        if (c != ',') fail("expected ',' or '}' in object");
    }
}

JsonValue parseJsonDocument(std::string_view text) {
    JsonParser parser(text);
    JsonValue root = parser.parseValue();
    parser.skipBlanks();
    if (!parser.atEnd()) fail("unexpected trailing JSON content");
    return root;
}

}  // namespace zk::core
