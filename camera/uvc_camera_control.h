#pragma once

#include <QList>
#include <QSettings>
#include <QString>
#include <QVariantList>
#include <cstdint>
#include <functional>

#include "camera/uvc_camera_state.h"
#include "camera/uvc_device_binding.h"

namespace zk::camera {

// A video input as Qt Multimedia lists it.
struct VideoInput {
    QString name;  // the description
    QString id;    // the id bytes read as UTF-8
};

// The video inputs of QMediaDevices.
QList<VideoInput> listVideoInputs();

// The camera operations of the UiController (refreshCameraDevices, bindUvcCamera, the parameter
// setters, resetCameraParameters, cameraParameters), working on the controller's state. Values are
// kept per camera in the settings store under "cameraUvc/" + camera key + "/" + parameter key (an
// integer) and the same name + "_auto" (a bool). GUI thread only; no operation throws.
class UvcCameraControl {
  public:
    // The owner's members and notifications; the references outlive the control, and any of the
    // functions may be empty.
    struct Owner {
        UvcCameraState& state;
        UvcDeviceBinding& binding;
        QSettings& settings;
        std::function<void(const QString&)> appendEventLog;
        std::function<void(const QString&)> setStatusText;
        std::function<void()> cameraDevicesChanged;
        std::function<void()> cameraParametersChanged;
    };
    using VideoInputLister = std::function<QList<VideoInput>()>;

    // lister gives the current video inputs (listVideoInputs by default).
    explicit UvcCameraControl(Owner owner, VideoInputLister lister = {});

    // Replaces the camera lists when they changed, and reports the count.
    void refreshCameraDevices();
    // Binds the camera, forms its camera key and restores the values stored for it.
    void bindUvcCamera(const QString& cameraId, const QString& cameraName);
    // For "saturation" and "hue": an automatic white balance goes manual at its current value first.
    void applyUvcParameter(const QString& key);
    // Sets the value in manual mode; the list and the store keep the clamped value the device took.
    void setCameraParameterValue(const QString& key, std::int32_t value);
    // The same on the device and in the list, without storing or notifying; failures are silent.
    void previewCameraParameterValue(const QString& key, std::int32_t value);
    // Switches the automatic mode of a control that supports one, at its current value.
    void setCameraParameterAuto(const QString& key, bool automatic);
    // Sets every control to its default in manual mode and forgets the values stored for the camera.
    void resetCameraParameters();
    // The list as QML sees it: maps with "key", "name", "minimum", "maximum", "step", "defaultValue",
    // "value", "supportsAuto" and "autoMode".
    QVariantList cameraParameters() const;

  private:
    QString settingsKey(const QString& key) const;
    void store(const UvcParameter& entry);
    void report(const QString& text) const;
    void notifyParametersChanged() const;
    qsizetype indexOf(const QString& key) const;

    Owner owner_;
    VideoInputLister lister_;
};

}  // namespace zk::camera
