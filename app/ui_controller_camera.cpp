// Camera lists, UVC binding and parameters.
#include <QCoreApplication>

#include "app/ui_controller.h"

namespace zk::app {

QStringList UiController::cameraNames() const { return cameraState_.cameraNames; }
QStringList UiController::cameraIds() const { return cameraState_.cameraIds; }
QVariantList UiController::cameraParameters() const { return cameraControl_->cameraParameters(); }

void UiController::refreshCameraDevices() {
    try {
        QStringList names;
        QStringList ids;
        for (const camera::VideoInput& input : camera::listVideoInputs()) {
            names.append(input.name);
            ids.append(input.id);
        }
        cameraState_.cameraNames = std::move(names);
        cameraState_.cameraIds = std::move(ids);
        emit cameraDevicesChanged();
        const qsizetype count = cameraState_.cameraIds.size();
        reportEvent(count > 0 ? QStringLiteral("%1 UVC camera device(s) available").arg(count)
                              : QStringLiteral("No UVC camera detected; press Refresh after connecting one"));
    } catch (const std::exception& error) {
        reportEvent(QStringLiteral("Camera listing failed: %1").arg(QString::fromUtf8(error.what())));
    }
}

void UiController::bindUvcCamera(const QString& cameraId, const QString& cameraName) {
    try {
        cameraControl_->bindUvcCamera(cameraId, cameraName);
    } catch (const std::exception& error) {
        reportEvent(QStringLiteral("UVC parameters unavailable: %1").arg(QString::fromUtf8(error.what())));
    }
}

void UiController::unbindUvcCamera() {
    uvcBinding_->unbind();
    cameraState_.cameraKey.clear();
    if (cameraState_.cameraParameters.isEmpty()) return;
    cameraState_.cameraParameters.clear();
    emit cameraParametersChanged();
}

void UiController::setCameraParameterValue(const QString& key, int value) {
    try {
        cameraControl_->setCameraParameterValue(key, value);
    } catch (const std::exception& error) {
        reportEvent(QStringLiteral("UVC %1 set failed: %2").arg(key, QString::fromUtf8(error.what())));
    }
}

void UiController::previewCameraParameterValue(const QString& key, int value) {
    try {
        cameraControl_->applyUvcParameter(key);
        for (camera::UvcParameter& entry : cameraState_.cameraParameters) {
            if (entry.key != key) continue;
            if (entry.value == value) return;
            QString ignored;
            if (!uvcBinding_->setParameter(key, value, false, ignored)) return;
            entry.value = value;
            entry.autoMode = false;
            return;
        }
    } catch (const std::exception&) {
        // Previews fail silently.
    }
}

void UiController::setCameraParameterAuto(const QString& key, bool autoMode) {
    try {
        cameraControl_->setCameraParameterAuto(key, autoMode);
    } catch (const std::exception& error) {
        reportEvent(QStringLiteral("UVC %1 auto-mode failed: %2").arg(key, QString::fromUtf8(error.what())));
    }
}

void UiController::resetCameraParameters() {
    try {
        cameraControl_->resetCameraParameters();
    } catch (const std::exception& error) {
        reportEvent(QStringLiteral("UVC reset failed: %1").arg(QString::fromUtf8(error.what())));
    }
}

}  // namespace zk::app
