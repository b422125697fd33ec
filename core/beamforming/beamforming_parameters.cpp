#include "core/beamforming/beamforming_parameters.h"

#include <cmath>
#include <locale>
#include <span>
#include <sstream>
#include <variant>

#include "core/beamforming/detail/algorithm_table.h"

namespace zk::core {

namespace {

using detail::FlagField;
using detail::IntegerField;
using detail::ParameterRow;
using detail::RealField;

template <class... Fs>
struct Overloaded : Fs... {
    using Fs::operator()...;
};

std::span<const ParameterRow> rowsOf(std::int32_t algorithm) {
    const detail::AlgorithmEntry* entry = detail::findAlgorithm(algorithm);
    return entry == nullptr ? std::span<const ParameterRow>{} : entry->parameters;
}

const ParameterRow* findRow(std::int32_t algorithm, std::string_view key) {
    for (const ParameterRow& row : rowsOf(algorithm)) {
        if (row.key == key) return &row;
    }
    return nullptr;
}

double readField(const BeamformingParameters& p, const detail::ParameterField& field) {
    return std::visit(Overloaded{
                          [&](FlagField f) { return p.*f ? 1.0 : 0.0; },
                          [&](IntegerField f) { return static_cast<double>(p.*f); },
                          [&](RealField f) { return p.*f; },
                      },
                      field);
}

}  // namespace

const char* algorithmName(std::int32_t id) {
    const detail::AlgorithmEntry* entry = detail::findAlgorithm(id);
    return entry == nullptr ? "Unknown" : entry->name;
}

bool algorithmHasAbsoluteLevels(std::int32_t id) {
    const detail::AlgorithmEntry* entry = detail::findAlgorithm(id);
    return entry == nullptr || entry->absoluteLevels;
}

std::vector<BeamformingParameterDescriptor> parameterDescriptors(std::int32_t id) {
    const BeamformingParameters defaults;
    std::vector<BeamformingParameterDescriptor> out;
    for (const ParameterRow& row : rowsOf(id)) {
        BeamformingParameterDescriptor d;
        d.label = row.label;
        d.key = row.key;
        d.kind = static_cast<std::int32_t>(row.field.index());
        d.minimum = row.limits.minimum;
        d.maximum = row.limits.maximum;
        d.defaultValue = readField(defaults, row.field);
        d.step = row.step;
        d.unit = row.unit;
        out.push_back(std::move(d));
    }
    return out;
}

bool BeamformingParameters::setByKey(std::string_view key, double value) {
    const ParameterRow* entry = findRow(algorithm, key);
    if (entry == nullptr) return false;
    return std::visit(Overloaded{
                          [&](FlagField f) {
                              this->*f = value >= 0.5;
                              return true;
                          },
                          [&](IntegerField f) {
                              // Truncation toward zero keeps (-1, 2^32); converting a value outside it
                              // is undefined. The negated comparison also refuses NaN.
                              constexpr double kUpperExclusive = 4294967296.0;
                              if (!(value > -1.0 && value < kUpperExclusive)) return false;
                              this->*f = static_cast<std::uint32_t>(std::trunc(value));
                              return true;
                          },
                          [&](RealField f) {
                              this->*f = value;
                              return true;
                          },
                      },
                      entry->field);
}

bool BeamformingParameters::getByKey(std::string_view key, double& value) const {
    const ParameterRow* entry = findRow(algorithm, key);
    if (entry == nullptr) return false;
    value = readField(*this, entry->field);
    return true;
}

bool BeamformingParameters::isValid(std::uint64_t channelCount) const {
    if (channelCount < 2) return false;
    const detail::AlgorithmEntry* entry = detail::findAlgorithm(algorithm);
    if (entry == nullptr) return false;
    if (!std::isinf(focusDistanceM) && !(focusDistanceM >= 0.1 && focusDistanceM <= 100.0)) return false;
    if (!(std::isfinite(speedOfSoundMps) && speedOfSoundMps >= 300.0 && speedOfSoundMps <= 400.0)) {
        return false;
    }
    // The validity limits of the selected algorithm's rows, the same ones its map entry enforces; the
    // panel limits are only what the panel offers.
    for (const ParameterRow& row : entry->parameters) {
        if (!row.validity.admits(readField(*this, row.field))) return false;
    }
    return true;
}

std::string BeamformingParameters::toJson() const {
    std::ostringstream os;
    os.imbue(std::locale::classic());
    os.precision(17);
    os << "{\"focus_distance_m\":";
    if (std::isinf(focusDistanceM)) {
        os << "\"infinity\"";
    } else {
        os << focusDistanceM;
    }
    os << ",\"speed_of_sound_mps\":" << speedOfSoundMps;
    for (const ParameterRow& entry : rowsOf(algorithm)) {
        os << ",\"" << entry.key << "\":";
        std::visit(Overloaded{
                       [&](FlagField f) { os << (this->*f ? "true" : "false"); },
                       [&](IntegerField f) { os << this->*f; },
                       [&](RealField f) { os << this->*f; },
                   },
                   entry.field);
    }
    os << '}';
    return os.str();
}

}  // namespace zk::core
