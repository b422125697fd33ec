#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

namespace zk::camera {

// The range of one control as the device reports it (the step as reported, possibly 0).
struct UvcControlRange {
    std::int32_t minimum = 0;
    std::int32_t maximum = 0;
    std::int32_t step = 0;
    std::int32_t defaultValue = 0;
    bool supportsAuto = false;
};

// The current setting of one control.
struct UvcControlValue {
    std::int32_t value = 0;
    bool autoMode = false;
};

// One opened camera's controls, addressed by the keys of uvcControlTable(). Used on one thread.
class UvcControlDevice {
  public:
    virtual ~UvcControlDevice() = default;

    // The control's range, or nothing when the device does not offer the control.
    virtual std::optional<UvcControlRange> queryRange(const QString& key) = 0;
    // The control's current setting, or nothing when the device does not answer.
    virtual std::optional<UvcControlValue> readValue(const QString& key) = 0;
    // Sets the control to value (already within its range) in automatic or manual mode; a control
    // without an automatic mode takes the value and ignores the mode. Returns 0 or a positive code on
    // success, a negative failure code otherwise.
    virtual std::int32_t writeValue(const QString& key, std::int32_t value, bool automatic) = 0;
};

// Finds the control device of a camera listed by Qt Multimedia.
class UvcControlBackend {
  public:
    virtual ~UvcControlBackend() = default;

    // The device behind cameraId (a Qt camera device id), or null with errorText set.
    virtual std::unique_ptr<UvcControlDevice> open(const QString& cameraId, QString& errorText) = 0;
};

// The backend of the platform the application runs on.
std::unique_ptr<UvcControlBackend> makeSystemUvcBackend();

}  // namespace zk::camera
