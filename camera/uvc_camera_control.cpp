#include "camera/uvc_camera_control.h"

#include <QCameraDevice>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QMediaDevices>
#include <QStringLiteral>
#include <QVariantMap>
#include <utility>

#include "camera/camera_text.h"

namespace zk::camera {
namespace {

const QString kWhiteBalance = QStringLiteral("white_balance");

QString cameraKeyOf(const QString& cameraId) {
    return QString::fromLatin1(
        QCryptographicHash::hash(cameraId.toUtf8(), QCryptographicHash::Md5).toHex().left(8));
}

}  // namespace

QList<VideoInput> listVideoInputs() {
    QList<VideoInput> inputs;
    for (const QCameraDevice& device : QMediaDevices::videoInputs())
        inputs.append({device.description(), QString::fromUtf8(device.id())});
    return inputs;
}

UvcCameraControl::UvcCameraControl(Owner owner, VideoInputLister lister)
    : owner_(std::move(owner)), lister_(lister ? std::move(lister) : VideoInputLister(listVideoInputs)) {}

void UvcCameraControl::refreshCameraDevices() {
    QStringList names;
    QStringList ids;
    for (const VideoInput& input : lister_()) {
        names.append(input.name);
        ids.append(input.id);
    }
    UvcCameraState& state = owner_.state;
    if (names == state.cameraNames && ids == state.cameraIds) return;
    state.cameraNames = std::move(names);
    state.cameraIds = std::move(ids);
    if (owner_.cameraDevicesChanged) owner_.cameraDevicesChanged();
    const qsizetype count = state.cameraIds.size();
    // English has a singular; the catalogues give each count its own form (%n).
    report(count == 1  ? CameraText::tr("%n UVC camera device available", nullptr, 1)
           : count > 0 ? CameraText::tr("%n UVC camera devices available", nullptr, static_cast<int>(count))
                       : CameraText::tr("No UVC camera detected; press Refresh after connecting one"));
}

void UvcCameraControl::bindUvcCamera(const QString& cameraId, const QString& cameraName) {
    UvcCameraState& state = owner_.state;
    UvcDeviceBinding& binding = owner_.binding;
    QString error;
    if (!binding.bind(cameraId, error)) {
        // The binding dropped the previous camera, so its key and list go too.
        state.cameraKey.clear();
        state.cameraParameters.clear();
        notifyParametersChanged();
        report(CameraText::tr("UVC parameters unavailable: %1").arg(error));
        return;
    }
    state.cameraKey = cameraKeyOf(cameraId);
    state.cameraParameters = binding.parameters();
    int restored = 0;
    for (const UvcParameter& entry : std::as_const(state.cameraParameters)) {
        const QString name = settingsKey(entry.key);
        if (!owner_.settings.contains(name)) continue;
        bool valid = false;
        const int value = owner_.settings.value(name).toInt(&valid);
        if (!valid) continue;
        const bool automatic = owner_.settings.value(name + QStringLiteral("_auto"), false).toBool();
        if (value == entry.value && automatic == entry.autoMode) continue;
        QString ignored;
        if (binding.setParameter(entry.key, value, automatic, ignored)) ++restored;
    }
    if (restored > 0) {
        binding.readParameters();
        state.cameraParameters = binding.parameters();
    }
    notifyParametersChanged();
    const auto count = static_cast<int>(state.cameraParameters.size());
    QString text = (count == 1 ? CameraText::tr("UVC %1: %n parameter", nullptr, count)
                               : CameraText::tr("UVC %1: %n parameters", nullptr, count))
                       .arg(cameraName);
    if (restored > 0) text = CameraText::tr("%1 · %2 restored").arg(text, QString::number(restored));
    report(text);
}

void UvcCameraControl::applyUvcParameter(const QString& key) {
    if (key != QLatin1String("saturation") && key != QLatin1String("hue")) return;
    const qsizetype index = indexOf(kWhiteBalance);
    if (index < 0) return;
    UvcParameter& whiteBalance = owner_.state.cameraParameters[index];
    if (!whiteBalance.supportsAuto || !whiteBalance.autoMode) return;
    QString ignored;
    if (!owner_.binding.setParameter(kWhiteBalance, whiteBalance.value, false, ignored)) return;
    whiteBalance.autoMode = false;
    // The value is stored with the mode: a stored mode alone is never restored at the next binding.
    store(whiteBalance);
    report(CameraText::tr("Auto white balance turned off so the manual colour setting stays applied"));
}

void UvcCameraControl::setCameraParameterValue(const QString& key, std::int32_t value) {
    applyUvcParameter(key);
    const qsizetype index = indexOf(key);
    if (index < 0) return;
    QString error;
    if (!owner_.binding.setParameter(key, value, false, error)) {
        report(CameraText::tr("UVC %1 set failed: %2").arg(key, error));
        return;
    }
    UvcParameter& entry = owner_.state.cameraParameters[index];
    entry.value = clampedUvcValue(entry, value);
    entry.autoMode = false;
    store(entry);
    notifyParametersChanged();
}

void UvcCameraControl::previewCameraParameterValue(const QString& key, std::int32_t value) {
    applyUvcParameter(key);
    const qsizetype index = indexOf(key);
    if (index < 0) return;
    UvcParameter& entry = owner_.state.cameraParameters[index];
    const std::int32_t taken = clampedUvcValue(entry, value);
    if (taken == entry.value) return;
    QString ignored;
    if (!owner_.binding.setParameter(key, taken, false, ignored)) return;
    entry.value = taken;
    entry.autoMode = false;
}

void UvcCameraControl::setCameraParameterAuto(const QString& key, bool automatic) {
    const qsizetype index = indexOf(key);
    if (index < 0 || !owner_.state.cameraParameters[index].supportsAuto) return;
    QString error;
    if (!owner_.binding.setParameter(key, owner_.state.cameraParameters[index].value, automatic, error)) {
        report(CameraText::tr("UVC %1 auto-mode failed: %2").arg(key, error));
        return;
    }
    UvcParameter& entry = owner_.state.cameraParameters[index];
    entry.autoMode = automatic;
    store(entry);
    notifyParametersChanged();
}

void UvcCameraControl::resetCameraParameters() {
    UvcDeviceBinding& binding = owner_.binding;
    if (!binding.isBound()) return;
    for (const UvcParameter& entry : binding.parameters()) {
        QString ignored;
        binding.setParameter(entry.key, entry.defaultValue, false, ignored);
    }
    if (!owner_.state.cameraKey.isEmpty())
        owner_.settings.remove(QStringLiteral("cameraUvc/") + owner_.state.cameraKey);
    binding.readParameters();
    owner_.state.cameraParameters = binding.parameters();
    notifyParametersChanged();
    report(CameraText::tr("UVC parameters reset to device defaults"));
}

QVariantList UvcCameraControl::cameraParameters() const {
    QVariantList list;
    for (const UvcParameter& entry : owner_.state.cameraParameters) {
        list.append(QVariantMap{{QStringLiteral("key"), entry.key},
                                {QStringLiteral("name"), uvcParameterLabel(entry.key)},
                                {QStringLiteral("minimum"), entry.minimum},
                                {QStringLiteral("maximum"), entry.maximum},
                                {QStringLiteral("step"), entry.step},
                                {QStringLiteral("defaultValue"), entry.defaultValue},
                                {QStringLiteral("value"), entry.value},
                                {QStringLiteral("supportsAuto"), entry.supportsAuto},
                                {QStringLiteral("autoMode"), entry.autoMode}});
    }
    return list;
}

QString UvcCameraControl::settingsKey(const QString& key) const {
    return QStringLiteral("cameraUvc/") + owner_.state.cameraKey + u'/' + key;
}

void UvcCameraControl::store(const UvcParameter& entry) {
    if (owner_.state.cameraKey.isEmpty()) return;
    const QString name = settingsKey(entry.key);
    owner_.settings.setValue(name, entry.value);
    owner_.settings.setValue(name + QStringLiteral("_auto"), entry.autoMode);
}

void UvcCameraControl::report(const QString& text) const {
    if (owner_.appendEventLog) owner_.appendEventLog(text);
    if (owner_.setStatusText) owner_.setStatusText(text);
}

void UvcCameraControl::notifyParametersChanged() const {
    if (owner_.cameraParametersChanged) owner_.cameraParametersChanged();
}

qsizetype UvcCameraControl::indexOf(const QString& key) const {
    const QList<UvcParameter>& list = owner_.state.cameraParameters;
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (list[i].key == key) return i;
    }
    return -1;
}

}  // namespace zk::camera
