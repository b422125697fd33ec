#include "core/storage/json_writer.h"

#include <cmath>
#include <locale>
#include <sstream>
#include <stdexcept>

#include "core/storage/file_io.h"
#include "core/storage/json_reader.h"

namespace zk::core {

namespace {

constexpr const char* kNonFiniteNumber = "JSON number must be finite";

bool numbersAreFinite(const JsonValue& value) {
    switch (value.kind()) {
        case JsonKind::Number:
            return std::isfinite(value.asNumber());
        case JsonKind::Array:
            for (const JsonValue& element : value.asArray())
                if (!numbersAreFinite(element)) return false;
            return true;
        case JsonKind::Object:
            for (const JsonMember& member : value.asObject())
                if (!numbersAreFinite(member.value)) return false;
            return true;
        default:
            return true;
    }
}

void writeValue(const JsonValue& value, std::ostream& out) {
    switch (value.kind()) {
        case JsonKind::Null:
            out << "null";
            return;
        case JsonKind::Bool:
            out << (value.asBool() ? "true" : "false");
            return;
        case JsonKind::Number:
            out << value.asNumber();
            return;
        case JsonKind::String:
            out << '"' << jsonEscape(value.asString()) << '"';
            return;
        case JsonKind::Array: {
            out << '[';
            bool first = true;
            for (const JsonValue& element : value.asArray()) {
                if (!first) out << ',';
                first = false;
                writeValue(element, out);
            }
            out << ']';
            return;
        }
        case JsonKind::Object: {
            out << '{';
            bool first = true;
            for (const JsonMember& member : value.asObject()) {
                if (!first) out << ',';
                first = false;
                out << '"' << jsonEscape(member.key) << "\":";
                writeValue(member.value, out);
            }
            out << '}';
            return;
        }
    }
}

}  // namespace

void writeJsonValue(const JsonValue& value, std::ostream& out) {
    // Checked before the first byte, so a refused value leaves the stream as it was.
    if (!numbersAreFinite(value)) throw std::invalid_argument(kNonFiniteNumber);
    writeValue(value, out);
}

std::string jsonEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

std::string formatJsonNumber(double value, int precision) {
    if (!std::isfinite(value)) throw std::invalid_argument(kNonFiniteNumber);
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out.precision(precision);
    out << value;
    return out.str();
}

std::string jsonInlineArray(std::span<const std::string> elementTexts) {
    std::string out = "[";
    for (std::size_t i = 0; i < elementTexts.size(); ++i) {
        if (i > 0) out += ", ";
        out += elementTexts[i];
    }
    out += ']';
    return out;
}

JsonFileBuilder::JsonFileBuilder(int numberPrecision)
    : numberPrecision_(numberPrecision), text_("{"), hasMembers_{false} {}

void JsonFileBuilder::startMember(std::string_view key) {
    if (hasMembers_.empty()) throw std::logic_error("JSON file already finished");
    if (hasMembers_.back()) text_ += ',';
    hasMembers_.back() = true;
    text_ += '\n';
    text_.append(2 * hasMembers_.size(), ' ');
    text_ += '"';
    text_ += key;
    text_ += "\": ";
}

JsonFileBuilder& JsonFileBuilder::rawMember(std::string_view key, std::string_view valueText) {
    startMember(key);
    text_ += valueText;
    return *this;
}

JsonFileBuilder& JsonFileBuilder::stringMember(std::string_view key, std::string_view value) {
    return quotedMember(key, jsonEscape(value));
}

JsonFileBuilder& JsonFileBuilder::quotedMember(std::string_view key, std::string_view escapedValue) {
    startMember(key);
    text_ += '"';
    text_ += escapedValue;
    text_ += '"';
    return *this;
}

JsonFileBuilder& JsonFileBuilder::numberMember(std::string_view key, double value) {
    // Refused before the key is written, so the builder stays usable.
    if (!std::isfinite(value)) throw std::invalid_argument(std::string(key) + " must be finite");
    return rawMember(key, formatJsonNumber(value, numberPrecision_));
}

JsonFileBuilder& JsonFileBuilder::integerMember(std::string_view key, std::int64_t value) {
    return rawMember(key, std::to_string(value));
}

JsonFileBuilder& JsonFileBuilder::unsignedMember(std::string_view key, std::uint64_t value) {
    return rawMember(key, std::to_string(value));
}

JsonFileBuilder& JsonFileBuilder::boolMember(std::string_view key, bool value) {
    return rawMember(key, value ? "true" : "false");
}

JsonFileBuilder& JsonFileBuilder::beginObject(std::string_view key) {
    startMember(key);
    text_ += '{';
    hasMembers_.push_back(false);
    return *this;
}

JsonFileBuilder& JsonFileBuilder::endObject() {
    if (hasMembers_.size() < 2) throw std::logic_error("no nested JSON object is open");
    hasMembers_.pop_back();
    text_ += '\n';
    text_.append(2 * hasMembers_.size(), ' ');
    text_ += '}';
    return *this;
}

std::string JsonFileBuilder::finish() {
    if (hasMembers_.size() != 1) throw std::logic_error("nested JSON object left open");
    hasMembers_.clear();
    text_ += "\n}\n";
    return std::move(text_);
}

void writeJsonFile(const std::filesystem::path& path, std::string_view text) {
    // The text is checked by the reader first: no file may hold what its own reader refuses.
    try {
        parseJsonDocument(text);
    } catch (const std::runtime_error& e) {
        throw std::invalid_argument("cannot write invalid JSON (" + std::string(e.what()) +
                                    "): " + path.string());
    }
    if (writeWholeFile(path, text) != FileWriteStatus::Ok)
        throw std::runtime_error("cannot write file: " + path.string());
}

}  // namespace zk::core
