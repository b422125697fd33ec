#pragma once

#include <QList>
#include <QString>
#include <cstdint>
#include <memory>

#include "camera/uvc_control_backend.h"
#include "camera/uvc_parameter.h"

namespace zk::camera {

// The camera whose controls the user adjusts: the opened control device and the parameters read from
// it. GUI thread only; no lock.
class UvcDeviceBinding {
  public:
    // backend is not owned and outlives the binding.
    explicit UvcDeviceBinding(UvcControlBackend& backend);

    // Binds the camera with the given Qt device id and reads its parameters; false with errorText
    // set leaves the binding unbound.
    bool bind(const QString& cameraId, QString& errorText);
    void unbind();
    bool isBound() const { return device_ != nullptr; }

    // A copy of the list read at binding or by the last readParameters.
    QList<UvcParameter> parameters() const { return parameters_; }
    // Reads the list again from the bound device; nothing happens while unbound.
    void readParameters();

    // Sends value, clamped to the entry's range, in automatic or manual mode; false with errorText set
    // on failure. The list keeps the entry as it was read.
    bool setParameter(const QString& key, std::int32_t value, bool automatic, QString& errorText);

  private:
    UvcControlBackend& backend_;
    std::unique_ptr<UvcControlDevice> device_;
    QList<UvcParameter> parameters_;
};

}  // namespace zk::camera
