#include "camera/uvc_device_binding.h"

#include <QStringLiteral>
#include <algorithm>
#include <optional>
#include <utility>

#include "camera/camera_text.h"

namespace zk::camera {

UvcDeviceBinding::UvcDeviceBinding(UvcControlBackend& backend) : backend_(backend) {}

bool UvcDeviceBinding::bind(const QString& cameraId, QString& errorText) {
    unbind();
    if (cameraId.trimmed().isEmpty()) {
        errorText = CameraText::tr("empty camera id");
        return false;
    }
    device_ = backend_.open(cameraId, errorText);
    if (!device_) return false;
    readParameters();
    if (parameters_.isEmpty()) {
        unbind();
        errorText = CameraText::tr("device exposes no UVC parameters");
        return false;
    }
    return true;
}

void UvcDeviceBinding::unbind() {
    device_.reset();
    parameters_.clear();
}

void UvcDeviceBinding::readParameters() {
    if (!device_) return;
    QList<UvcParameter> list;
    for (const UvcControlInfo& control : uvcControlTable()) {
        const QString key = QString::fromLatin1(control.key);
        const std::optional<UvcControlRange> range = device_->queryRange(key);
        if (!range) continue;
        const std::optional<UvcControlValue> current = device_->readValue(key);
        if (!current) continue;
        list.append(UvcParameter{.key = key,
                                 .label = QString::fromLatin1(control.label),
                                 .propertyId = control.propertyId,
                                 .kind = control.kind,
                                 .minimum = range->minimum,
                                 .maximum = range->maximum,
                                 .step = range->step < 2 ? 1 : range->step,
                                 .defaultValue = range->defaultValue,
                                 .value = current->value,
                                 .supportsAuto = range->supportsAuto,
                                 .autoMode = current->autoMode});
    }
    parameters_ = std::move(list);
}

bool UvcDeviceBinding::setParameter(const QString& key, std::int32_t value, bool automatic,
                                    QString& errorText) {
    if (!device_) {
        errorText = CameraText::tr("no UVC device bound");
        return false;
    }
    const auto entry = std::find_if(parameters_.cbegin(), parameters_.cend(),
                                    [&key](const UvcParameter& p) { return p.key == key; });
    if (entry == parameters_.cend()) {
        errorText = CameraText::tr("unknown UVC parameter");
        return false;
    }
    const std::int32_t clamped = clampedUvcValue(*entry, value);
    const bool mode = entry->kind == kUvcKindPowerLine ? false : automatic;
    const std::int32_t code = device_->writeValue(key, clamped, mode);
    if (code < 0) {
        // Widened with its sign, so a failure code shows as ffffffff followed by its 32 bits.
        const auto bits = static_cast<quint64>(static_cast<qint64>(code));
        errorText = CameraText::tr("UVC set failed (0x%1)").arg(bits, 0, 16);
        return false;
    }
    return true;
}

}  // namespace zk::camera
