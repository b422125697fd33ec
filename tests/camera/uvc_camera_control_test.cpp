#include "camera/uvc_camera_control.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>
#include <QVariantMap>
#include <vector>

#include "uvc_test_owner.h"

namespace zk::camera {
namespace {

using test::CameraSettingsTest;
using test::kCameraId;
using test::kCameraKey;
using test::TestController;

const QString kPrefix = QStringLiteral("cameraUvc/") + kCameraKey + u'/';

using UvcCameraControlTest = CameraSettingsTest;

TEST_F(UvcCameraControlTest, RefreshReportsOnlyWhenTheListChanges) {
    TestController ui;
    ui.inputs = {{"Front camera", "/dev/video0"}, {"Rear camera", "/dev/video2"}};
    ui.control.refreshCameraDevices();
    ui.control.refreshCameraDevices();
    EXPECT_EQ(ui.state.cameraNames, (QStringList{"Front camera", "Rear camera"}));
    EXPECT_EQ(ui.state.cameraIds, (QStringList{"/dev/video0", "/dev/video2"}));
    EXPECT_EQ(ui.devicesChanged, 1);
    EXPECT_EQ(ui.reports(), QStringList{"2 UVC camera devices available"});

    ui.inputs[1].id = QStringLiteral("/dev/video4");  // same names, another id
    ui.control.refreshCameraDevices();
    ui.inputs.pop_back();
    ui.control.refreshCameraDevices();
    ui.inputs.clear();
    ui.control.refreshCameraDevices();
    EXPECT_EQ(ui.devicesChanged, 4);
    EXPECT_EQ(ui.reports(),
              (QStringList{"2 UVC camera devices available", "2 UVC camera devices available",
                           "1 UVC camera device available",
                           "No UVC camera detected; press Refresh after connecting one"}));
    EXPECT_TRUE(ui.state.cameraIds.isEmpty());
}

TEST_F(UvcCameraControlTest, BindFormsTheKeyAndShowsTheList) {
    TestController ui;
    ui.control.bindUvcCamera(kCameraId, QStringLiteral("Front camera"));
    EXPECT_EQ(ui.state.cameraKey, kCameraKey);
    EXPECT_EQ(ui.parametersChanged, 1);
    EXPECT_EQ(ui.reports(), QStringList{"UVC Front camera: 6 parameters"});

    const QVariantList list = ui.control.cameraParameters();
    ASSERT_EQ(list.size(), 6);
    const QVariantMap whiteBalance = list[3].toMap();
    EXPECT_EQ(whiteBalance, (QVariantMap{{"key", "white_balance"},
                                         {"name", "White balance"},
                                         {"minimum", 2800},
                                         {"maximum", 6500},
                                         {"step", 10},
                                         {"defaultValue", 4600},
                                         {"value", 5100},
                                         {"supportsAuto", true},
                                         {"autoMode", true}}));

    // A camera key from UTF-8 bytes: MD5 of "usb-Äcam-1" in UTF-8 begins c8b50477 (Latin-1: 294fa9f5).
    ui.backend.cameras[QStringLiteral("usb-Äcam-1")] = test::typicalCamera();
    ui.control.bindUvcCamera(QStringLiteral("usb-Äcam-1"), QStringLiteral("Cam"));
    EXPECT_EQ(ui.state.cameraKey, QStringLiteral("c8b50477"));

    ui.control.bindUvcCamera(QStringLiteral("  "), QStringLiteral("Nothing"));
    EXPECT_TRUE(ui.state.cameraKey.isEmpty());
    EXPECT_TRUE(ui.state.cameraParameters.isEmpty());
    EXPECT_EQ(ui.reports().last(), QStringLiteral("UVC parameters unavailable: empty camera id"));
}

TEST_F(UvcCameraControlTest, SetValueSendsTheClampedValueAndStoresWhatTheDeviceTook) {
    TestController ui;
    ui.control.bindUvcCamera(kCameraId, QStringLiteral("Cam"));
    ui.control.setCameraParameterValue(QStringLiteral("brightness"), 300);
    ui.control.setCameraParameterValue(QStringLiteral("gain"), 3);  // the camera has no gain: nothing happens
    EXPECT_EQ(ui.camera().writes, (std::vector<FakeUvcWrite>{{"brightness", 255, false}}));
    EXPECT_EQ(ui.entry(QStringLiteral("brightness")).value, 255);
    EXPECT_EQ(ui.settings.value(kPrefix + "brightness"), QVariant(255));
    EXPECT_EQ(ui.settings.value(kPrefix + "brightness_auto"), QVariant(false));
    EXPECT_EQ(ui.parametersChanged, 2);

    // Setting a value makes an automatic control manual.
    ui.control.setCameraParameterValue(QStringLiteral("exposure"), 500);
    EXPECT_EQ(ui.camera().writes.back(), (FakeUvcWrite{"exposure", 500, false}));
    EXPECT_FALSE(ui.entry(QStringLiteral("exposure")).autoMode);

    ui.camera().controls[QStringLiteral("hue")].writeFailure = -5;
    ui.control.setCameraParameterValue(QStringLiteral("hue"), 10);
    EXPECT_EQ(ui.entry(QStringLiteral("hue")).value, 5);
    EXPECT_FALSE(ui.settings.contains(kPrefix + "hue"));
    EXPECT_EQ(ui.reports().last(), QStringLiteral("UVC hue set failed: UVC set failed (0xfffffffffffffffb)"));
    EXPECT_EQ(ui.parametersChanged, 3);

    // The camera keeps what it took, so binding it again finds nothing to restore.
    ui.camera().writes.clear();
    ui.control.bindUvcCamera(kCameraId, QStringLiteral("Cam"));
    EXPECT_TRUE(ui.camera().writes.empty());
    EXPECT_EQ(ui.reports().last(), QStringLiteral("UVC Cam: 6 parameters"));
}

TEST_F(UvcCameraControlTest, AutoModeOnlyForControlsThatHaveOne) {
    TestController ui;
    ui.control.bindUvcCamera(kCameraId, QStringLiteral("Cam"));
    ui.control.setCameraParameterValue(QStringLiteral("exposure"), 400);
    ui.control.setCameraParameterAuto(QStringLiteral("exposure"), true);
    ui.control.setCameraParameterAuto(QStringLiteral("powerline"), true);
    ui.control.setCameraParameterAuto(QStringLiteral("brightness"), true);
    EXPECT_EQ(ui.camera().writes,
              (std::vector<FakeUvcWrite>{{"exposure", 400, false}, {"exposure", 400, true}}));
    EXPECT_TRUE(ui.entry(QStringLiteral("exposure")).autoMode);
    EXPECT_FALSE(ui.entry(QStringLiteral("powerline")).autoMode);
    EXPECT_EQ(ui.settings.value(kPrefix + "exposure"), QVariant(400));
    EXPECT_EQ(ui.settings.value(kPrefix + "exposure_auto"), QVariant(true));
    EXPECT_FALSE(ui.settings.contains(kPrefix + "powerline_auto"));

    ui.camera().controls[QStringLiteral("exposure")].writeFailure = static_cast<std::int32_t>(0x80004005u);
    ui.control.setCameraParameterAuto(QStringLiteral("exposure"), false);
    EXPECT_TRUE(ui.entry(QStringLiteral("exposure")).autoMode);
    EXPECT_EQ(ui.reports().last(),
              QStringLiteral("UVC exposure auto-mode failed: UVC set failed (0xffffffff80004005)"));
}

TEST_F(UvcCameraControlTest, ColourSettingFirstTurnsAutomaticWhiteBalanceOff) {
    TestController ui;
    ui.control.bindUvcCamera(kCameraId, QStringLiteral("Cam"));
    ui.control.setCameraParameterValue(QStringLiteral("saturation"), 80);
    ui.control.setCameraParameterValue(QStringLiteral("hue"), 20);  // white balance is manual by now
    ui.control.setCameraParameterValue(QStringLiteral("brightness"), 90);
    EXPECT_EQ(ui.camera().writes, (std::vector<FakeUvcWrite>{{"white_balance", 5100, false},
                                                             {"saturation", 80, false},
                                                             {"hue", 20, false},
                                                             {"brightness", 90, false}}));
    EXPECT_FALSE(ui.entry(QStringLiteral("white_balance")).autoMode);
    EXPECT_EQ(ui.settings.value(kPrefix + "white_balance_auto"), QVariant(false));
    EXPECT_EQ(ui.settings.value(kPrefix + "white_balance"), QVariant(5100));
    EXPECT_EQ(ui.reports(),
              (QStringList{"UVC Cam: 6 parameters",
                           "Auto white balance turned off so the manual colour setting stays applied"}));

    // Brightness leaves an automatic white balance alone; a refused switch leaves it automatic. The
    // values stored above would be restored at the next binding, so they go first.
    ui.settings.remove(QStringLiteral("cameraUvc"));
    TestController other;
    other.control.bindUvcCamera(kCameraId, QStringLiteral("Cam"));
    other.control.setCameraParameterValue(QStringLiteral("brightness"), 90);
    other.camera().controls[QStringLiteral("white_balance")].writeFailure = -5;
    other.control.setCameraParameterValue(QStringLiteral("hue"), 20);
    EXPECT_TRUE(other.entry(QStringLiteral("white_balance")).autoMode);
    EXPECT_EQ(other.camera().writes.back(), (FakeUvcWrite{"hue", 20, false}));
}

TEST_F(UvcCameraControlTest, APreviewKeepsTheClampedValueInTheListWithoutStoringOrNotifying) {
    TestController ui;
    ui.control.bindUvcCamera(kCameraId, QStringLiteral("Cam"));
    const int changes = ui.parametersChanged;
    ui.control.previewCameraParameterValue(QStringLiteral("saturation"), 150);
    ui.control.previewCameraParameterValue(QStringLiteral("saturation"), 120);  // the same value taken
    ui.control.previewCameraParameterValue(QStringLiteral("exposure"), 1);
    EXPECT_EQ(ui.camera().writes,
              (std::vector<FakeUvcWrite>{
                  {"white_balance", 5100, false}, {"saturation", 100, false}, {"exposure", 3, false}}));
    EXPECT_EQ(ui.entry(QStringLiteral("saturation")).value, 100);
    EXPECT_EQ(ui.entry(QStringLiteral("exposure")).value, 3);
    EXPECT_FALSE(ui.entry(QStringLiteral("exposure")).autoMode);
    EXPECT_EQ(ui.parametersChanged, changes);
    EXPECT_FALSE(ui.settings.contains(kPrefix + "saturation"));
    EXPECT_FALSE(ui.settings.contains(kPrefix + "exposure"));
    // Only the colour rule reports, once.
    EXPECT_EQ(ui.reports(),
              (QStringList{"UVC Cam: 6 parameters",
                           "Auto white balance turned off so the manual colour setting stays applied"}));

    // A refused preview changes nothing and says nothing.
    ui.camera().controls[QStringLiteral("hue")].writeFailure = -5;
    ui.control.previewCameraParameterValue(QStringLiteral("hue"), 10);
    EXPECT_EQ(ui.entry(QStringLiteral("hue")).value, 5);
    EXPECT_EQ(ui.reports().size(), 2);
}

TEST_F(UvcCameraControlTest, WhiteBalanceTurnedManualByAColourSettingStaysManualAtTheNextBinding) {
    {
        TestController first;
        first.control.bindUvcCamera(kCameraId, QStringLiteral("Cam"));
        first.control.applyUvcParameter(QStringLiteral("saturation"));
    }
    // The camera powers on with automatic white balance again; the binding puts it back to manual.
    TestController second;
    second.control.bindUvcCamera(kCameraId, QStringLiteral("Cam"));
    EXPECT_EQ(second.camera().writes, (std::vector<FakeUvcWrite>{{"white_balance", 5100, false}}));
    EXPECT_FALSE(second.entry(QStringLiteral("white_balance")).autoMode);
    EXPECT_EQ(second.reports(), QStringList{"UVC Cam: 6 parameters · 1 restored"});
}

TEST_F(UvcCameraControlTest, ResetSetsDefaultsAndForgetsOnlyThisCamera) {
    TestController ui;
    ui.settings.setValue(QStringLiteral("cameraUvc/0123abcd/brightness"), 7);  // another camera's value
    ui.control.resetCameraParameters();                                        // unbound: nothing happens
    EXPECT_TRUE(ui.reports().isEmpty());

    ui.control.bindUvcCamera(kCameraId, QStringLiteral("Cam"));
    ui.control.setCameraParameterValue(QStringLiteral("brightness"), 10);
    ui.camera().controls[QStringLiteral("hue")].writeFailure = -5;  // ignored by the reset
    ui.camera().writes.clear();
    ui.control.resetCameraParameters();

    EXPECT_EQ(ui.camera().writes, (std::vector<FakeUvcWrite>{{"brightness", 128, false},
                                                             {"hue", 0, false},
                                                             {"saturation", 64, false},
                                                             {"white_balance", 4600, false},
                                                             {"exposure", 250, false},
                                                             {"powerline", 1, false}}));
    EXPECT_EQ(ui.entry(QStringLiteral("brightness")).value, 128);
    EXPECT_EQ(ui.entry(QStringLiteral("hue")).value, 5);  // as the device still reports it
    EXPECT_FALSE(ui.entry(QStringLiteral("exposure")).autoMode);
    EXPECT_TRUE(ui.settings.childGroups().contains(QStringLiteral("cameraUvc")));
    ui.settings.beginGroup(QStringLiteral("cameraUvc"));
    EXPECT_EQ(ui.settings.childGroups(), QStringList{"0123abcd"});
    ui.settings.endGroup();
    EXPECT_EQ(ui.reports().last(), QStringLiteral("UVC parameters reset to device defaults"));
}

TEST_F(UvcCameraControlTest, StoredValuesAreRestoredWhenTheCameraIsBoundAgain) {
    {
        TestController first;
        first.control.bindUvcCamera(kCameraId, QStringLiteral("Cam"));
        first.control.setCameraParameterValue(QStringLiteral("brightness"), 200);
        first.control.setCameraParameterValue(QStringLiteral("powerline"), 1);
        first.control.setCameraParameterAuto(QStringLiteral("exposure"), false);
    }  // the settings reach the file as the first controller goes

    QSettings stored;
    QFile file(stored.fileName());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("brightness=200"));
    EXPECT_EQ(stored.value(kPrefix + "brightness").toInt(), 200);
    EXPECT_EQ(stored.value(kPrefix + "exposure_auto").toBool(), false);

    // A fresh process, the camera back at its power-on state: powerline already 1 needs no write.
    FakeUvcCamera powerOn = test::typicalCamera();
    powerOn.controls[QStringLiteral("powerline")].current.value = 1;
    TestController second(powerOn);
    second.control.bindUvcCamera(kCameraId, QStringLiteral("Cam"));
    EXPECT_EQ(second.camera().writes,
              (std::vector<FakeUvcWrite>{{"brightness", 200, false}, {"exposure", 312, false}}));
    EXPECT_EQ(second.entry(QStringLiteral("brightness")).value, 200);
    EXPECT_FALSE(second.entry(QStringLiteral("exposure")).autoMode);
    EXPECT_EQ(second.reports(), QStringList{"UVC Cam: 6 parameters · 2 restored"});

    // Another camera has no stored values.
    second.backend.cameras[QStringLiteral("/dev/video2")] = test::typicalCamera();
    second.control.bindUvcCamera(QStringLiteral("/dev/video2"), QStringLiteral("Other"));
    EXPECT_TRUE(second.backend.cameras[QStringLiteral("/dev/video2")].writes.empty());
    EXPECT_EQ(second.reports().last(), QStringLiteral("UVC Other: 6 parameters"));
}

}  // namespace
}  // namespace zk::camera
