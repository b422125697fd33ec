#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/storage/json_value.h"

namespace zk::core {

// Deepest nesting of arrays and objects the reader accepts; the documents of the system nest a few
// levels, and the bound keeps hostile input from exhausting the stack of the recursive reader.
inline constexpr std::size_t kMaxJsonDepth = 256;

// Strict single-pass reader over a view of the caller's text (not copied). Failures are
// std::runtime_error with fixed texts and no position.
class JsonParser {
  public:
    explicit JsonParser(std::string_view text) : text_(text.data()), size_(text.size()) {}

    void skipBlanks();
    // `depth` counts the arrays and objects that enclose the value.
    JsonValue parseValue(std::size_t depth = 0);
    std::string parseString();
    JsonValue parseArray(std::size_t depth = 0);
    JsonValue parseObject(std::size_t depth = 0);
    JsonValue parseNumber();
    void expectLiteral(std::string_view literal);
    static void appendUtf8(std::string& out, std::uint32_t codePoint);

    bool atEnd() const { return cursor_ >= size_; }

  private:
    char current() const { return text_[cursor_]; }

    const char* text_;
    std::size_t size_;
    std::uint64_t cursor_ = 0;
};

// Reads one value of any kind followed only by blanks; the whole text must be consumed.
JsonValue parseJsonDocument(std::string_view text);

}  // namespace zk::core
