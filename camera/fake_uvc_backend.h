#pragma once

#include <QString>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "camera/uvc_control_backend.h"

namespace zk::camera {

// A control of a fake camera: what it reports, and how it answers.
struct FakeUvcControl {
    UvcControlRange range;
    UvcControlValue current;
    bool answersRead = true;        // false: the range is reported but reading the value fails
    std::int32_t writeFailure = 0;  // negative: every write fails with this code
};

struct FakeUvcWrite {
    QString key;
    std::int32_t value = 0;
    bool automatic = false;

    friend bool operator==(const FakeUvcWrite&, const FakeUvcWrite&) = default;
};

struct FakeUvcCamera {
    std::map<QString, FakeUvcControl> controls;  // by key of the control table
    std::vector<FakeUvcWrite> writes;            // every write, in order
};

// A backend of cameras held in memory, for tests. A write stores the value (and the mode, where the
// control supports one) unless the control fails writes.
class FakeUvcBackend final : public UvcControlBackend {
  public:
    // By Qt device id, compared after trimming; an opened device refers to its entry, so an entry is
    // never erased while a binding holds it.
    std::map<QString, FakeUvcCamera> cameras;

    std::unique_ptr<UvcControlDevice> open(const QString& cameraId, QString& errorText) override;
};

}  // namespace zk::camera
