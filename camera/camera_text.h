#pragma once

#include <QCoreApplication>

namespace zk::camera {

// The camera texts the controller reports share its catalogue context; CameraText::tr translates with
// the translator installed at the moment of the call.
class CameraText {
    Q_DECLARE_TR_FUNCTIONS(UiController)
};

}  // namespace zk::camera
