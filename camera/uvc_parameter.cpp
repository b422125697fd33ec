#include "camera/uvc_parameter.h"

#include <QCoreApplication>
#include <array>

namespace zk::camera {
namespace {

// The translation context of the labels, which the user sees on the Camera page.
constexpr const char* kLabelContext = "UvcParameter";

constexpr std::array<UvcControlInfo, 18> kControls{{
    {"brightness", QT_TRANSLATE_NOOP("UvcParameter", "Brightness"), kUvcKindVideoProcAmp, 0},
    {"contrast", QT_TRANSLATE_NOOP("UvcParameter", "Contrast"), kUvcKindVideoProcAmp, 1},
    {"hue", QT_TRANSLATE_NOOP("UvcParameter", "Hue"), kUvcKindVideoProcAmp, 2},
    {"saturation", QT_TRANSLATE_NOOP("UvcParameter", "Saturation"), kUvcKindVideoProcAmp, 3},
    {"sharpness", QT_TRANSLATE_NOOP("UvcParameter", "Sharpness"), kUvcKindVideoProcAmp, 4},
    {"gamma", QT_TRANSLATE_NOOP("UvcParameter", "Gamma"), kUvcKindVideoProcAmp, 5},
    {"color_enable", QT_TRANSLATE_NOOP("UvcParameter", "Color enable"), kUvcKindVideoProcAmp, 6},
    {"white_balance", QT_TRANSLATE_NOOP("UvcParameter", "White balance"), kUvcKindVideoProcAmp, 7},
    {"backlight_compensation", QT_TRANSLATE_NOOP("UvcParameter", "Backlight compensation"),
     kUvcKindVideoProcAmp, 8},
    {"gain", QT_TRANSLATE_NOOP("UvcParameter", "Gain"), kUvcKindVideoProcAmp, 9},
    {"exposure", QT_TRANSLATE_NOOP("UvcParameter", "Exposure"), kUvcKindCameraControl, 4},
    {"focus", QT_TRANSLATE_NOOP("UvcParameter", "Focus"), kUvcKindCameraControl, 6},
    {"iris", QT_TRANSLATE_NOOP("UvcParameter", "Iris"), kUvcKindCameraControl, 5},
    {"zoom", QT_TRANSLATE_NOOP("UvcParameter", "Zoom"), kUvcKindCameraControl, 3},
    {"pan", QT_TRANSLATE_NOOP("UvcParameter", "Pan"), kUvcKindCameraControl, 0},
    {"tilt", QT_TRANSLATE_NOOP("UvcParameter", "Tilt"), kUvcKindCameraControl, 1},
    {"roll", QT_TRANSLATE_NOOP("UvcParameter", "Roll"), kUvcKindCameraControl, 2},
    {"powerline", QT_TRANSLATE_NOOP("UvcParameter", "Powerline frequency"), kUvcKindPowerLine, 13},
}};

}  // namespace

std::span<const UvcControlInfo> uvcControlTable() { return kControls; }

QString uvcParameterLabel(const QString& key) {
    for (const UvcControlInfo& control : kControls) {
        if (key == QLatin1String(control.key))
            return QCoreApplication::translate(kLabelContext, control.label);
    }
    return key;
}

}  // namespace zk::camera
