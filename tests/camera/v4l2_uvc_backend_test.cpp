#include <gtest/gtest.h>

#include <QDir>
#include <QList>
#include <QStringList>
#include <iostream>
#include <memory>

#include "camera/uvc_camera_control.h"
#include "camera/uvc_control_backend.h"
#include "camera/uvc_device_binding.h"
#include "camera/uvc_parameter.h"

// The system backend against the real kernel: error paths on nodes every Linux machine has, and the
// controls of whatever camera the machine offers.

namespace zk::camera {
namespace {

QStringList videoNodes() {
    QStringList nodes;
    const QDir dev(QStringLiteral("/dev"));
    for (const QString& name : dev.entryList({QStringLiteral("video*")}, QDir::System | QDir::NoDotAndDotDot))
        nodes.append(dev.filePath(name));
    return nodes;
}

TEST(V4l2UvcBackend, IdsWithoutACaptureNodeAreRefused) {
    const std::unique_ptr<UvcControlBackend> backend = makeSystemUvcBackend();
    QString error;
    EXPECT_EQ(backend->open(QStringLiteral("usb-0000:00:14.0-1"), error), nullptr);
    EXPECT_EQ(error, QStringLiteral("UVC device not found via V4L2"));
    EXPECT_EQ(backend->open(QStringLiteral("/dev/zk-no-such-video"), error), nullptr);
    EXPECT_EQ(error, QStringLiteral("UVC device not found via V4L2"));
    // /dev/null opens, but the capability query fails there (ENOTTY).
    UvcDeviceBinding binding(*backend);
    EXPECT_FALSE(binding.bind(QStringLiteral(" /dev/null\n"), error));
    EXPECT_EQ(error, QStringLiteral("/dev/null is not a V4L2 capture device"));
    EXPECT_FALSE(binding.isBound());
}

TEST(V4l2UvcBackend, CaptureDevicesReportConsistentControls) {
    const QStringList nodes = videoNodes();
    if (nodes.isEmpty()) GTEST_SKIP() << "no /dev/video* device on this machine";
    const std::unique_ptr<UvcControlBackend> backend = makeSystemUvcBackend();
    int bound = 0;
    for (const QString& node : nodes) {
        UvcDeviceBinding binding(*backend);
        QString error;
        if (!binding.bind(node, error)) {
            std::cout << node.toStdString() << ": " << error.toStdString() << '\n';
            continue;
        }
        ++bound;
        for (const UvcParameter& p : binding.parameters()) {
            SCOPED_TRACE(node.toStdString() + " " + p.key.toStdString());
            EXPECT_NE(p.key, QStringLiteral("color_enable"));
            EXPECT_NE(p.key, QStringLiteral("roll"));
            EXPECT_LE(p.minimum, p.maximum);
            EXPECT_GE(p.step, 1);
            EXPECT_NE(uvcParameterLabel(p.key), p.key);
            if (!p.autoMode) {
                EXPECT_GE(p.value, p.minimum);
                EXPECT_LE(p.value, p.maximum);
            }
        }
    }
    if (bound == 0) GTEST_SKIP() << "no /dev/video* node is a capture device with controls";
}

TEST(V4l2UvcBackend, QtCameraIdsNameTheirDeviceNodes) {
    const QList<VideoInput> inputs = listVideoInputs();
    if (inputs.isEmpty()) GTEST_SKIP() << "Qt Multimedia lists no camera on this machine";
    const std::unique_ptr<UvcControlBackend> backend = makeSystemUvcBackend();
    for (const VideoInput& input : inputs) {
        QString error;
        EXPECT_NE(backend->open(input.id, error), nullptr)
            << input.name.toStdString() << " (" << input.id.toStdString() << "): " << error.toStdString();
    }
}

TEST(V4l2UvcBackend, ManualControlTakesItsOwnValueBack) {
    const QStringList nodes = videoNodes();
    if (nodes.isEmpty()) GTEST_SKIP() << "no /dev/video* device on this machine";
    const std::unique_ptr<UvcControlBackend> backend = makeSystemUvcBackend();
    for (const QString& node : nodes) {
        UvcDeviceBinding binding(*backend);
        QString error;
        if (!binding.bind(node, error)) continue;
        for (const UvcParameter& p : binding.parameters()) {
            // Picture controls without an automatic mode, writable on every UVC camera that has them.
            if (!QStringList{"brightness", "contrast", "saturation", "sharpness", "gamma"}.contains(p.key))
                continue;
            // Its current value, so the camera's picture stays as the user left it.
            ASSERT_TRUE(binding.setParameter(p.key, p.value, false, error)) << error.toStdString();
            binding.readParameters();
            for (const UvcParameter& q : binding.parameters()) {
                if (q.key == p.key) {
                    EXPECT_EQ(q.value, p.value) << node.toStdString() << " " << p.key.toStdString();
                }
            }
            return;
        }
    }
    GTEST_SKIP() << "no camera with a manual picture control";
}

}  // namespace
}  // namespace zk::camera
