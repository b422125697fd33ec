#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace zk::core {

class JsonValue;
struct JsonMember;

using JsonArray = std::vector<JsonValue>;
using JsonObject = std::vector<JsonMember>;

// The alternatives in the order of their type index.
enum class JsonKind : std::uint8_t { Null = 0, Bool = 1, Number = 2, String = 3, Array = 4, Object = 5 };

// A JSON value; every number is held as a double and object members keep document order, duplicates
// included. Accessors throw std::runtime_error on a wrong kind with a fixed text.
class JsonValue {
  public:
    JsonValue() = default;
    explicit JsonValue(std::nullptr_t) {}
    explicit JsonValue(bool value) : data_(value) {}
    explicit JsonValue(double value) : data_(value) {}
    explicit JsonValue(std::string value) : data_(std::move(value)) {}
    explicit JsonValue(JsonArray value);
    explicit JsonValue(JsonObject value);

    JsonKind kind() const { return static_cast<JsonKind>(data_.index()); }

    const JsonArray& asArray() const;
    JsonArray& asArray();
    bool asBool() const;
    double asNumber() const;
    // Truncates toward zero; saturates at the int64 limits beyond 2^63 (infinities included) and
    // refuses NaN as not a number, so no conversion is undefined.
    std::int64_t asInteger() const;
    // A whole number in 0 .. 2^64 - 1 for the unsigned counts of stored files, so a value always reads
    // back as it was written; std::runtime_error "<fieldName> must be a non-negative integer" otherwise.
    std::uint64_t unsignedInteger(std::string_view fieldName) const;
    const JsonObject& asObject() const;
    JsonObject& asObject();
    const std::string& asString() const;
    std::string& asString();

    // Value of the first member whose key equals the given key byte for byte.
    const JsonValue& at(std::string_view key) const;
    std::size_t size() const;
    bool contains(std::string_view key) const;
    // The number when finite; otherwise std::invalid_argument "<fieldName> must be finite".
    double finiteNumber(std::string_view fieldName) const;

    friend bool operator==(const JsonValue&, const JsonValue&) = default;

  private:
    std::variant<std::nullptr_t, bool, double, std::string, JsonArray, JsonObject> data_{nullptr};
};

struct JsonMember {
    std::string key;
    JsonValue value;

    friend bool operator==(const JsonMember&, const JsonMember&) = default;
};

inline JsonValue::JsonValue(JsonArray value) : data_(std::move(value)) {}
inline JsonValue::JsonValue(JsonObject value) : data_(std::move(value)) {}

}  // namespace zk::core
