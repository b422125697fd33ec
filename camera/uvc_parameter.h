#pragma once

#include <QString>
#include <algorithm>
#include <cstdint>
#include <span>

namespace zk::camera {

// Which group of controls an entry belongs to; the power line frequency takes no automatic mode.
inline constexpr std::int32_t kUvcKindVideoProcAmp = 0;
inline constexpr std::int32_t kUvcKindCameraControl = 1;
inline constexpr std::int32_t kUvcKindPowerLine = 2;

// One control of the bound device. step is at least 1.
struct UvcParameter {
    QString key;    // fixed lower-case identifier, such as "brightness"
    QString label;  // untranslated display text, such as "Brightness"
    std::int32_t propertyId = 0;
    std::int32_t kind = kUvcKindVideoProcAmp;
    std::int32_t minimum = 0;
    std::int32_t maximum = 0;
    std::int32_t step = 1;
    std::int32_t defaultValue = 0;
    std::int32_t value = 0;
    bool supportsAuto = false;
    bool autoMode = false;

    friend bool operator==(const UvcParameter&, const UvcParameter&) = default;
};

// The value the device takes for a request: the entry's range, minimum first (rather than std::clamp,
// which a device reporting maximum < minimum would break).
inline std::int32_t clampedUvcValue(const UvcParameter& entry, std::int32_t value) {
    return std::min(std::max(value, entry.minimum), entry.maximum);
}

// A row of the control table: every control a device may offer, in reading order.
struct UvcControlInfo {
    const char* key;
    const char* label;
    std::int32_t kind;
    std::int32_t propertyId;
};

// The eighteen controls: the video processing amplifier, the camera controls, then the power line.
std::span<const UvcControlInfo> uvcControlTable();

// The translated label of a control key; any other text comes back unchanged.
QString uvcParameterLabel(const QString& key);

}  // namespace zk::camera
