#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "camera/uvc_parameter.h"

// The UiController state that the camera control operations read and write, as a plain record the
// controller owns. GUI thread only, so no lock guards it.

namespace zk::camera {

struct UvcCameraState {
    QStringList cameraNames;  // the video inputs' descriptions (cameraNames)
    QStringList cameraIds;    // their device ids, read as UTF-8 (cameraIds)
    QString cameraKey;        // of the bound camera, the prefix of its settings keys; empty while none
    QList<UvcParameter> cameraParameters;  // the controller's copy of the bound camera's list
};

}  // namespace zk::camera
