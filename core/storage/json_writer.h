#pragma once

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/storage/json_value.h"

namespace zk::core {

// Appends the compact text of the value (no blanks, no line breaks); numbers use the stream's own
// floating-point formatting. An infinite or NaN number anywhere in the value throws
// std::invalid_argument "JSON number must be finite" before anything is written.
void writeJsonValue(const JsonValue& value, std::ostream& out);

// Escapes tab, line feed, carriage return, double quote and backslash; every other byte is copied.
std::string jsonEscape(std::string_view text);

// Formats a number as a stream with the given precision in the default floating format would, in
// the "C" locale whatever the process locale is (precision 6 gives 8000, 0.25, 1.23457e+06).
// std::invalid_argument "JSON number must be finite" for an infinity or NaN.
std::string formatJsonNumber(double value, int precision = 6);

// One line of short values: "[" elements joined by ", " "]"; the elements are written as given.
std::string jsonInlineArray(std::span<const std::string> elementTexts);

// Builds the hand-formatted layout of the stores' JSON files: "{" alone on the first line, one
// member per line indented by two spaces per level, nested objects opened on their member's line
// and closed by a brace at their member's indent, commas on every member but the last of its
// object, and "}" plus a line feed at the end. Keys are fixed texts and are written unescaped.
class JsonFileBuilder {
  public:
    explicit JsonFileBuilder(int numberPrecision = 6);

    // Value text written exactly as given (numbers formatted elsewhere, embedded JSON, arrays).
    JsonFileBuilder& rawMember(std::string_view key, std::string_view valueText);
    // String escaped with jsonEscape and quoted.
    JsonFileBuilder& stringMember(std::string_view key, std::string_view value);
    // String quoted without escaping: for texts that cannot hold a special character (hashes) or
    // that the caller escaped with another escaper.
    JsonFileBuilder& quotedMember(std::string_view key, std::string_view escapedValue);
    // std::invalid_argument "<key> must be finite" for an infinity or NaN; nothing is added then.
    JsonFileBuilder& numberMember(std::string_view key, double value);
    JsonFileBuilder& integerMember(std::string_view key, std::int64_t value);
    JsonFileBuilder& unsignedMember(std::string_view key, std::uint64_t value);
    JsonFileBuilder& boolMember(std::string_view key, bool value);

    JsonFileBuilder& beginObject(std::string_view key);
    JsonFileBuilder& endObject();

    // Closes the root object and returns the whole text; throws std::logic_error while a nested
    // object is still open.
    std::string finish();

  private:
    void startMember(std::string_view key);

    int numberPrecision_;
    std::string text_;
    // One entry per open object: whether it already holds a member (so the next one needs a comma).
    std::vector<bool> hasMembers_;
};

// Writes the text in one piece to a file opened in binary mode with truncation; throws
// std::runtime_error "cannot write file: " plus the path when opening or writing fails, and
// std::invalid_argument, before the file is touched, when parseJsonDocument refuses the text.
void writeJsonFile(const std::filesystem::path& path, std::string_view text);

}  // namespace zk::core
