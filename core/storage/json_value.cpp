#include "core/storage/json_value.h"

#include <cmath>
#include <limits>
#include <stdexcept>

namespace zk::core {

namespace {

[[noreturn]] void notA(const char* what) {
    throw std::runtime_error(std::string("JSON value is not ") + what);
}

}  // namespace

const JsonArray& JsonValue::asArray() const {
    if (const auto* array = std::get_if<JsonArray>(&data_)) return *array;
    notA("an array");
}

JsonArray& JsonValue::asArray() {
    if (auto* array = std::get_if<JsonArray>(&data_)) return *array;
    notA("an array");
}

bool JsonValue::asBool() const {
    if (const auto* value = std::get_if<bool>(&data_)) return *value;
    notA("a bool");
}

double JsonValue::asNumber() const {
    if (const auto* value = std::get_if<double>(&data_)) return *value;
    notA("a number");
}

std::int64_t JsonValue::asInteger() const {
    const double value = asNumber();
    if (std::isnan(value)) notA("a number");
    // 2^63 is exactly representable; everything at or past it would be undefined to convert.
    constexpr double kTwoPow63 = 9223372036854775808.0;
    if (value >= kTwoPow63) return std::numeric_limits<std::int64_t>::max();
    if (value < -kTwoPow63) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(value);
}

std::uint64_t JsonValue::unsignedInteger(std::string_view fieldName) const {
    const double value = asNumber();
    constexpr double kTwoPow64 = 18446744073709551616.0;
    if (!(value >= 0.0 && value < kTwoPow64) || std::trunc(value) != value)
        throw std::runtime_error(std::string(fieldName) + " must be a non-negative integer");
    return static_cast<std::uint64_t>(value);
}

const JsonObject& JsonValue::asObject() const {
    if (const auto* object = std::get_if<JsonObject>(&data_)) return *object;
    notA("an object");
}

JsonObject& JsonValue::asObject() {
    if (auto* object = std::get_if<JsonObject>(&data_)) return *object;
    notA("an object");
}

const std::string& JsonValue::asString() const {
    if (const auto* value = std::get_if<std::string>(&data_)) return *value;
    notA("a string");
}

std::string& JsonValue::asString() {
    if (auto* value = std::get_if<std::string>(&data_)) return *value;
    notA("a string");
}

const JsonValue& JsonValue::at(std::string_view key) const {
    for (const JsonMember& member : asObject()) {
        if (member.key == key) return member.value;
    }
    throw std::runtime_error("JSON object has no key: " + std::string(key));
}

std::size_t JsonValue::size() const {
    if (const auto* array = std::get_if<JsonArray>(&data_)) return array->size();
    if (const auto* object = std::get_if<JsonObject>(&data_)) return object->size();
    throw std::runtime_error("JSON value has no size");
}

bool JsonValue::contains(std::string_view key) const {
    const auto* object = std::get_if<JsonObject>(&data_);
    if (object == nullptr) return false;
    for (const JsonMember& member : *object) {
        if (member.key == key) return true;
    }
    return false;
}

double JsonValue::finiteNumber(std::string_view fieldName) const {
    const double value = asNumber();
    if (!std::isfinite(value)) throw std::invalid_argument(std::string(fieldName) + " must be finite");
    return value;
}

}  // namespace zk::core
