// Camera lists, UVC binding and parameters.
#include <QCoreApplication>

#include "app/ui_controller.h"
#include "camera/uvc_camera_control.h"

namespace zk::app {

QStringList UiController::cameraNames() const { return camera_.state.cameraNames; }
QStringList UiController::cameraIds() const { return camera_.state.cameraIds; }
QVariantList UiController::cameraParameters() const { return camera_.control->cameraParameters(); }

void UiController::refreshCameraDevices() {
    try {
        QStringList names;
        QStringList ids;
        for (const camera::VideoInput& input : camera::listVideoInputs()) {
            names.append(input.name);
            ids.append(input.id);
        }
        camera_.state.cameraNames = std::move(names);
        camera_.state.cameraIds = std::move(ids);
        emit cameraDevicesChanged();
        const qsizetype count = camera_.state.cameraIds.size();
        // English has a singular; the catalogues give each count its own form (%n).
        reportEvent(count == 1 ? UiText::tr("%n UVC camera device available", nullptr, 1)
                    : count > 0
                        ? UiText::tr("%n UVC camera devices available", nullptr, static_cast<int>(count))
                        : UiText::tr("No UVC camera detected; press Refresh after connecting one"));
    } catch (const std::exception& error) {
        reportEvent(UiText::tr("Camera listing failed: %1").arg(QString::fromUtf8(error.what())));
    }
}

void UiController::bindUvcCamera(const QString& cameraId, const QString& cameraName) {
    try {
        camera_.control->bindUvcCamera(cameraId, cameraName);
    } catch (const std::exception& error) {
        reportEvent(UiText::tr("UVC parameters unavailable: %1").arg(QString::fromUtf8(error.what())));
    }
}

void UiController::unbindUvcCamera() {
    camera_.binding->unbind();
    camera_.state.cameraKey.clear();
    if (camera_.state.cameraParameters.isEmpty()) return;
    camera_.state.cameraParameters.clear();
    emit cameraParametersChanged();
}

void UiController::setCameraParameterValue(const QString& key, int value) {
    try {
        camera_.control->setCameraParameterValue(key, value);
    } catch (const std::exception& error) {
        reportEvent(UiText::tr("UVC %1 set failed: %2").arg(key, QString::fromUtf8(error.what())));
    }
}

void UiController::previewCameraParameterValue(const QString& key, int value) {
    try {
        camera_.control->previewCameraParameterValue(key, value);
    } catch (const std::exception&) {
        // Previews fail silently.
    }
}

void UiController::setCameraParameterAuto(const QString& key, bool autoMode) {
    try {
        camera_.control->setCameraParameterAuto(key, autoMode);
    } catch (const std::exception& error) {
        reportEvent(UiText::tr("UVC %1 auto-mode failed: %2").arg(key, QString::fromUtf8(error.what())));
    }
}

void UiController::resetCameraParameters() {
    try {
        camera_.control->resetCameraParameters();
    } catch (const std::exception& error) {
        reportEvent(UiText::tr("UVC reset failed: %1").arg(QString::fromUtf8(error.what())));
    }
}

}  // namespace zk::app
