#include "camera/fake_uvc_backend.h"

#include <QStringLiteral>
#include <optional>

namespace zk::camera {
namespace {

constexpr std::int32_t kNoSuchControl = -22;  // -EINVAL, as the V4L2 backend answers

class FakeUvcDevice final : public UvcControlDevice {
  public:
    explicit FakeUvcDevice(FakeUvcCamera& camera) : camera_(camera) {}

    std::optional<UvcControlRange> queryRange(const QString& key) override {
        const auto control = camera_.controls.find(key);
        if (control == camera_.controls.end()) return std::nullopt;
        return control->second.range;
    }

    std::optional<UvcControlValue> readValue(const QString& key) override {
        const auto control = camera_.controls.find(key);
        if (control == camera_.controls.end() || !control->second.answersRead) return std::nullopt;
        return control->second.current;
    }

    std::int32_t writeValue(const QString& key, std::int32_t value, bool automatic) override {
        camera_.writes.push_back({key, value, automatic});
        const auto control = camera_.controls.find(key);
        if (control == camera_.controls.end()) return kNoSuchControl;
        FakeUvcControl& target = control->second;
        if (target.writeFailure < 0) return target.writeFailure;
        target.current.value = value;
        if (target.range.supportsAuto) target.current.autoMode = automatic;
        return 0;
    }

  private:
    FakeUvcCamera& camera_;
};

}  // namespace

std::unique_ptr<UvcControlDevice> FakeUvcBackend::open(const QString& cameraId, QString& errorText) {
    const auto camera = cameras.find(cameraId.trimmed());
    if (camera == cameras.end()) {
        errorText = QStringLiteral("fake camera not found");
        return nullptr;
    }
    return std::make_unique<FakeUvcDevice>(camera->second);
}

}  // namespace zk::camera
