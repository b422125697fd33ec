#include "app/run_parameters_text.h"

#include <QStringList>
#include <cstdint>
#include <exception>
#include <vector>

#include "app/ui_text.h"
#include "core/beamforming/beamforming_parameters.h"
#include "core/storage/json_reader.h"
#include "core/storage/json_value.h"

namespace zk::app {

namespace {

// The id whose short name the run stores ("MUSIC"), 0 for a name no algorithm has.
std::int32_t algorithmIdOf(const std::string& shortName) {
    for (std::int32_t id = 1; id <= 14; ++id)
        if (shortName == core::algorithmName(id)) return id;
    return 0;
}

QString numberText(double value) { return QString::number(value, 'g', 6); }

QString valueText(const core::JsonValue& value) {
    switch (value.kind()) {
        case core::JsonKind::Bool:
            return value.asBool() ? UiText::tr("on") : UiText::tr("off");
        case core::JsonKind::Number:
            return numberText(value.asNumber());
        case core::JsonKind::String:
            return QString::fromStdString(value.asString());
        default:
            return {};
    }
}

QString memberText(const core::JsonMember& member,
                   const std::vector<core::BeamformingParameterDescriptor>& rows) {
    const core::JsonValue& value = member.value;
    if (member.key == "focus_distance_m")
        return value.kind() == core::JsonKind::Number
                   ? UiText::tr("focus %1 m").arg(numberText(value.asNumber()))
                   : UiText::tr("far field");
    if (member.key == "speed_of_sound_mps" && value.kind() == core::JsonKind::Number)
        return UiText::tr("speed of sound %1 m/s").arg(numberText(value.asNumber()));
    for (const core::BeamformingParameterDescriptor& row : rows) {
        if (row.key != member.key) continue;
        QString text = UiText::tr(row.label.c_str()) + u' ' + valueText(value);
        if (!row.unit.empty()) text += u' ' + QString::fromStdString(row.unit);
        return text;
    }
    return QString::fromStdString(member.key) + u' ' + valueText(value);
}

}  // namespace

QString runParametersText(const core::AnalysisRunParameters& parameters) {
    const QString stored = QString::fromStdString(parameters.algorithmParams);
    try {
        const core::JsonValue root = core::parseJsonDocument(parameters.algorithmParams);
        if (root.kind() != core::JsonKind::Object) return stored;
        const std::vector<core::BeamformingParameterDescriptor> rows =
            core::parameterDescriptors(algorithmIdOf(parameters.algorithmId));
        QStringList parts;
        for (const core::JsonMember& member : root.asObject()) parts << memberText(member, rows);
        return parts.join(QStringLiteral(" · "));
    } catch (const std::exception&) {
        return stored;
    }
}

}  // namespace zk::app
