#pragma once

// A stand-in for the UiController: owns the camera state, a binding over a fake backend and a settings
// store of the running test alone, and records what the operations report.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QVariantMap>
#include <utility>

#include "camera/fake_uvc_backend.h"
#include "camera/uvc_camera_control.h"
#include "camera/uvc_camera_state.h"
#include "camera/uvc_device_binding.h"

namespace zk::camera::test {

inline const QString kCameraId = QStringLiteral("/dev/video0");
inline const QString kCameraKey = QStringLiteral("de2b8d7f");  // MD5 of "/dev/video0", first 8 digits

inline FakeUvcControl control(std::int32_t minimum, std::int32_t maximum, std::int32_t step,
                              std::int32_t defaultValue, std::int32_t value, bool supportsAuto = false,
                              bool autoMode = false) {
    return {{minimum, maximum, step, defaultValue, supportsAuto}, {value, autoMode}};
}

// A webcam as uvcvideo reports one: four picture controls, automatic white balance and exposure, and
// the power line frequency.
inline FakeUvcCamera typicalCamera() {
    FakeUvcCamera camera;
    camera.controls = {
        {QStringLiteral("brightness"), control(0, 255, 1, 128, 140)},
        {QStringLiteral("hue"), control(-180, 180, 1, 0, 5)},
        {QStringLiteral("saturation"), control(0, 100, 1, 64, 60)},
        {QStringLiteral("white_balance"), control(2800, 6500, 10, 4600, 5100, true, true)},
        {QStringLiteral("exposure"), control(3, 2047, 1, 250, 312, true, true)},
        {QStringLiteral("powerline"), control(0, 2, 1, 1, 2)},
    };
    return camera;
}

// Each test's settings live in a file of their own (the tests run in parallel processes), in Qt's
// test location; the file is removed before and after the test.
class CameraSettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        QCoreApplication::setApplicationName(QString::fromLatin1(info->test_suite_name()) + u'.' +
                                             QString::fromLatin1(info->name()));
        const QString file = QSettings().fileName();
        ASSERT_TRUE(file.startsWith(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)));
        ASSERT_TRUE(file.contains(QStringLiteral("/.qttest/"))) << file.toStdString();
        QFile::remove(file);
    }
    void TearDown() override { QFile::remove(QSettings().fileName()); }
};

struct TestController {
    explicit TestController(FakeUvcCamera camera = typicalCamera()) {
        backend.cameras[kCameraId] = std::move(camera);
    }

    FakeUvcBackend backend;
    UvcDeviceBinding binding{backend};
    UvcCameraState state;
    QSettings settings;
    QStringList eventLog;
    QStringList statusLines;
    int devicesChanged = 0;
    int parametersChanged = 0;
    QList<VideoInput> inputs;
    UvcCameraControl control{
        {state, binding, settings, [this](const QString& text) { eventLog.append(text); },
         [this](const QString& text) { statusLines.append(text); }, [this] { ++devicesChanged; },
         [this] { ++parametersChanged; }},
        [this] { return inputs; }};

    FakeUvcCamera& camera() { return backend.cameras.at(kCameraId); }
    const UvcParameter& entry(const QString& key) const {
        for (const UvcParameter& p : state.cameraParameters) {
            if (p.key == key) return p;
        }
        ADD_FAILURE() << "no entry " << key.toStdString();
        static const UvcParameter none;
        return none;
    }
    // Every report reaches both the event log and the status line.
    QStringList reports() const {
        EXPECT_EQ(eventLog, statusLines);
        return eventLog;
    }
};

}  // namespace zk::camera::test
