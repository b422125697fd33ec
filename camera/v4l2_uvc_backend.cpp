// The control backend over Video4Linux2: Qt Multimedia names a V4L2 camera by its device node, and the
// controls are read and written with VIDIOC_QUERYCTRL, VIDIOC_G_CTRL and VIDIOC_S_CTRL on that node.

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QFile>
#include <QStringLiteral>
#include <array>
#include <cerrno>
#include <cstdint>
#include <optional>

#include "camera/camera_text.h"
#include "camera/uvc_control_backend.h"

namespace zk::camera {
namespace {

// A key's value control and the control that switches its automatic mode (0: none). Controls of the
// table without a V4L2 counterpart (colour enable, roll) are left out, so they are never listed.
struct V4l2Control {
    const char* key;
    std::uint32_t valueId;
    std::uint32_t autoId;
};

constexpr std::array<V4l2Control, 16> kV4l2Controls{{
    {"brightness", V4L2_CID_BRIGHTNESS, 0},
    {"contrast", V4L2_CID_CONTRAST, 0},
    {"hue", V4L2_CID_HUE, V4L2_CID_HUE_AUTO},
    {"saturation", V4L2_CID_SATURATION, 0},
    {"sharpness", V4L2_CID_SHARPNESS, 0},
    {"gamma", V4L2_CID_GAMMA, 0},
    {"white_balance", V4L2_CID_WHITE_BALANCE_TEMPERATURE, V4L2_CID_AUTO_WHITE_BALANCE},
    {"backlight_compensation", V4L2_CID_BACKLIGHT_COMPENSATION, 0},
    {"gain", V4L2_CID_GAIN, V4L2_CID_AUTOGAIN},
    {"exposure", V4L2_CID_EXPOSURE_ABSOLUTE, V4L2_CID_EXPOSURE_AUTO},
    {"focus", V4L2_CID_FOCUS_ABSOLUTE, V4L2_CID_FOCUS_AUTO},
    {"iris", V4L2_CID_IRIS_ABSOLUTE, 0},
    {"zoom", V4L2_CID_ZOOM_ABSOLUTE, 0},
    {"pan", V4L2_CID_PAN_ABSOLUTE, 0},
    {"tilt", V4L2_CID_TILT_ABSOLUTE, 0},
    {"powerline", V4L2_CID_POWER_LINE_FREQUENCY, 0},
}};

const V4l2Control* findControl(const QString& key) {
    for (const V4l2Control& control : kV4l2Controls) {
        if (key == QLatin1String(control.key)) return &control;
    }
    return nullptr;
}

// 0 or -errno; a call interrupted by a signal is repeated.
int xioctl(int fd, unsigned long request, void* argument) {
    for (;;) {
        if (::ioctl(fd, request, argument) != -1) return 0;
        if (errno != EINTR) return -errno;
    }
}

// A control the device offers and enables, of a type that fits the 32-bit G_CTRL / S_CTRL value.
std::optional<v4l2_queryctrl> queryControl(int fd, std::uint32_t id) {
    v4l2_queryctrl query{};
    query.id = id;
    if (xioctl(fd, VIDIOC_QUERYCTRL, &query) < 0) return std::nullopt;
    if ((query.flags & V4L2_CTRL_FLAG_DISABLED) != 0) return std::nullopt;
    switch (query.type) {
        case V4L2_CTRL_TYPE_INTEGER:
        case V4L2_CTRL_TYPE_BOOLEAN:
        case V4L2_CTRL_TYPE_MENU:
        case V4L2_CTRL_TYPE_INTEGER_MENU:
            return query;
        default:
            return std::nullopt;
    }
}

std::optional<std::int32_t> getControl(int fd, std::uint32_t id) {
    v4l2_control control{};
    control.id = id;
    if (xioctl(fd, VIDIOC_G_CTRL, &control) < 0) return std::nullopt;
    return control.value;
}

int setControl(int fd, std::uint32_t id, std::int32_t value) {
    v4l2_control control{};
    control.id = id;
    control.value = value;
    return xioctl(fd, VIDIOC_S_CTRL, &control);
}

// Menu items may have holes (a camera offering only manual and aperture priority exposure).
bool menuHasItem(int fd, const v4l2_queryctrl& menu, std::int32_t item) {
    if (item < menu.minimum || item > menu.maximum) return false;
    v4l2_querymenu query{};
    query.id = menu.id;
    query.index = static_cast<std::uint32_t>(item);
    return xioctl(fd, VIDIOC_QUERYMENU, &query) == 0;
}

// The settings of the automatic-mode control that mean automatic and manual.
struct AutoSwitch {
    std::uint32_t id = 0;
    std::int32_t automatic = 1;
    std::int32_t manual = 0;
    bool exposureMenu = false;
};

// A control supports an automatic mode when its switch exists, is writable and can take both modes.
std::optional<AutoSwitch> autoSwitchOf(int fd, const V4l2Control& control) {
    if (control.autoId == 0) return std::nullopt;
    const std::optional<v4l2_queryctrl> query = queryControl(fd, control.autoId);
    if (!query || (query->flags & V4L2_CTRL_FLAG_READ_ONLY) != 0) return std::nullopt;
    if (query->type == V4L2_CTRL_TYPE_MENU) {
        // Only the exposure switch is a menu. Shutter priority keeps the exposure time manual, so the
        // automatic items are full auto and aperture priority (automatic time, fixed iris).
        if (!menuHasItem(fd, *query, V4L2_EXPOSURE_MANUAL)) return std::nullopt;
        for (const std::int32_t item : {V4L2_EXPOSURE_AUTO, V4L2_EXPOSURE_APERTURE_PRIORITY}) {
            if (menuHasItem(fd, *query, item))
                return AutoSwitch{control.autoId, item, V4L2_EXPOSURE_MANUAL, true};
        }
        return std::nullopt;
    }
    if (query->minimum > 0 || query->maximum < 1) return std::nullopt;
    return AutoSwitch{control.autoId, 1, 0, false};
}

bool isAutomatic(const AutoSwitch& autoSwitch, std::int32_t setting) {
    if (!autoSwitch.exposureMenu) return setting != 0;
    return setting == V4L2_EXPOSURE_AUTO || setting == V4L2_EXPOSURE_APERTURE_PRIORITY;
}

class V4l2UvcDevice final : public UvcControlDevice {
  public:
    explicit V4l2UvcDevice(int fd) : fd_(fd) {}
    // close is not repeated on EINTR: Linux releases the descriptor even then.
    ~V4l2UvcDevice() override { ::close(fd_); }
    V4l2UvcDevice(const V4l2UvcDevice&) = delete;
    V4l2UvcDevice& operator=(const V4l2UvcDevice&) = delete;

    int fd() const { return fd_; }

    std::optional<UvcControlRange> queryRange(const QString& key) override {
        const V4l2Control* control = findControl(key);
        if (control == nullptr) return std::nullopt;
        const std::optional<v4l2_queryctrl> query = queryControl(fd_, control->valueId);
        if (!query) return std::nullopt;
        return UvcControlRange{query->minimum, query->maximum, query->step, query->default_value,
                               autoSwitchOf(fd_, *control).has_value()};
    }

    std::optional<UvcControlValue> readValue(const QString& key) override {
        const V4l2Control* control = findControl(key);
        if (control == nullptr) return std::nullopt;
        const std::optional<std::int32_t> value = getControl(fd_, control->valueId);
        if (!value) return std::nullopt;
        const std::optional<AutoSwitch> autoSwitch = autoSwitchOf(fd_, *control);
        if (!autoSwitch) return UvcControlValue{*value, false};
        const std::optional<std::int32_t> setting = getControl(fd_, autoSwitch->id);
        if (!setting) return std::nullopt;
        return UvcControlValue{*value, isAutomatic(*autoSwitch, *setting)};
    }

    std::int32_t writeValue(const QString& key, std::int32_t value, bool automatic) override {
        const V4l2Control* control = findControl(key);
        if (control == nullptr) return -EINVAL;
        const std::optional<AutoSwitch> autoSwitch = autoSwitchOf(fd_, *control);
        // In automatic mode the device owns the value; writing it there may be refused.
        if (autoSwitch && automatic) return setControl(fd_, autoSwitch->id, autoSwitch->automatic);
        // Manual first: a value written while the automatic mode runs would be overridden or refused.
        if (autoSwitch) {
            if (const int result = setControl(fd_, autoSwitch->id, autoSwitch->manual); result < 0)
                return result;
        }
        return setControl(fd_, control->valueId, value);
    }

  private:
    int fd_;  // the open device node, owned
};

class V4l2UvcBackend final : public UvcControlBackend {
  public:
    std::unique_ptr<UvcControlDevice> open(const QString& cameraId, QString& errorText) override {
        const QString node = cameraId.trimmed();
        if (!node.startsWith(u'/')) {
            errorText = CameraText::tr("UVC device not found via V4L2");
            return nullptr;
        }
        const QByteArray path = QFile::encodeName(node);
        int fd = -1;
        do {
            fd = ::open(path.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        } while (fd == -1 && errno == EINTR);
        if (fd == -1) {
            const int error = errno;
            errorText = error == ENOENT || error == ENODEV || error == ENXIO
                            ? CameraText::tr("UVC device not found via V4L2")
                            : CameraText::tr("cannot open %1: %2").arg(node, qt_error_string(error));
            return nullptr;
        }
        auto device = std::make_unique<V4l2UvcDevice>(fd);
        v4l2_capability capability{};
        const bool queried = xioctl(device->fd(), VIDIOC_QUERYCAP, &capability) == 0;
        const std::uint32_t caps = (capability.capabilities & V4L2_CAP_DEVICE_CAPS) != 0
                                       ? capability.device_caps
                                       : capability.capabilities;
        if (!queried || (caps & (V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_VIDEO_CAPTURE_MPLANE)) == 0) {
            errorText = CameraText::tr("%1 is not a V4L2 capture device").arg(node);
            return nullptr;
        }
        return device;
    }
};

}  // namespace

std::unique_ptr<UvcControlBackend> makeSystemUvcBackend() { return std::make_unique<V4l2UvcBackend>(); }

}  // namespace zk::camera
