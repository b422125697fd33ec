#include "camera/uvc_device_binding.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QStringList>
#include <QTranslator>
#include <array>

#include "camera/fake_uvc_backend.h"
#include "uvc_test_owner.h"

namespace zk::camera {
namespace {

using test::control;
using test::kCameraId;
using test::typicalCamera;

QStringList keysOf(const QList<UvcParameter>& list) {
    QStringList keys;
    for (const UvcParameter& p : list) keys.append(p.key);
    return keys;
}

TEST(UvcParameterLabel, EveryKeyHasItsLabelAndOtherTextPassesUnchanged) {
    const std::array<std::pair<const char*, const char*>, 18> labels{
        {{"brightness", "Brightness"},
         {"contrast", "Contrast"},
         {"hue", "Hue"},
         {"saturation", "Saturation"},
         {"sharpness", "Sharpness"},
         {"gamma", "Gamma"},
         {"color_enable", "Color enable"},
         {"white_balance", "White balance"},
         {"backlight_compensation", "Backlight compensation"},
         {"gain", "Gain"},
         {"exposure", "Exposure"},
         {"focus", "Focus"},
         {"iris", "Iris"},
         {"zoom", "Zoom"},
         {"pan", "Pan"},
         {"tilt", "Tilt"},
         {"roll", "Roll"},
         {"powerline", "Powerline frequency"}}};
    for (const auto& [key, label] : labels)
        EXPECT_EQ(uvcParameterLabel(QString::fromLatin1(key)), label) << key;
    EXPECT_EQ(uvcParameterLabel(QStringLiteral("Brightness")), QStringLiteral("Brightness"));
    EXPECT_EQ(uvcParameterLabel(QStringLiteral("white balance")), QStringLiteral("white balance"));
}

// Answers one lookup, so the test sees the label pass through the application's translators.
class GermanBrightness : public QTranslator {
  public:
    QString translate(const char* context, const char* source, const char*, int) const override {
        return qstrcmp(context, "UvcParameter") == 0 && qstrcmp(source, "Brightness") == 0
                   ? QStringLiteral("Helligkeit")
                   : QString();
    }
    bool isEmpty() const override { return false; }
};

TEST(UvcParameterLabel, LabelIsTranslated) {
    GermanBrightness translator;
    ASSERT_TRUE(QCoreApplication::installTranslator(&translator));
    EXPECT_EQ(uvcParameterLabel(QStringLiteral("brightness")), QStringLiteral("Helligkeit"));
    EXPECT_EQ(uvcParameterLabel(QStringLiteral("contrast")), QStringLiteral("Contrast"));
    QCoreApplication::removeTranslator(&translator);
}

TEST(UvcDeviceBinding, BindFailuresLeaveItUnbound) {
    FakeUvcBackend backend;
    backend.cameras[kCameraId] = typicalCamera();
    FakeUvcCamera silent;  // reports ranges but answers no read
    silent.controls[QStringLiteral("gain")] = control(0, 10, 1, 0, 0);
    silent.controls[QStringLiteral("gain")].answersRead = false;
    backend.cameras[QStringLiteral("silent")] = silent;
    UvcDeviceBinding binding(backend);

    QString error;
    ASSERT_TRUE(binding.bind(kCameraId, error));
    EXPECT_FALSE(binding.bind(QStringLiteral(" \t "), error));
    EXPECT_EQ(error, QStringLiteral("empty camera id"));
    EXPECT_FALSE(binding.isBound());
    EXPECT_TRUE(binding.parameters().isEmpty());

    EXPECT_FALSE(binding.bind(QStringLiteral("/dev/video9"), error));
    EXPECT_EQ(error, QStringLiteral("fake camera not found"));
    EXPECT_FALSE(binding.bind(QStringLiteral("silent"), error));
    EXPECT_EQ(error, QStringLiteral("device exposes no UVC parameters"));
    EXPECT_FALSE(binding.isBound());
    EXPECT_EQ(binding.setParameter(QStringLiteral("gain"), 1, false, error), false);
    EXPECT_EQ(error, QStringLiteral("no UVC device bound"));
}

TEST(UvcDeviceBinding, ListFollowsTheTableOrderWithStepAtLeastOne) {
    FakeUvcBackend backend;
    FakeUvcCamera camera = typicalCamera();
    camera.controls[QStringLiteral("zoom")] = control(100, 500, 0, 100, 100);
    camera.controls[QStringLiteral("pan")] = control(-36000, 36000, 3600, 0, 0);
    camera.controls[QStringLiteral("gain")] = control(0, 10, 1, 0, 0);
    camera.controls[QStringLiteral("gain")].answersRead = false;  // a range without a value: no entry
    backend.cameras[kCameraId] = camera;
    UvcDeviceBinding binding(backend);
    QString error;
    ASSERT_TRUE(binding.bind(kCameraId, error)) << error.toStdString();

    const QList<UvcParameter> list = binding.parameters();
    EXPECT_EQ(keysOf(list), (QStringList{"brightness", "hue", "saturation", "white_balance", "exposure",
                                         "zoom", "pan", "powerline"}));
    EXPECT_EQ(list[3], (UvcParameter{"white_balance", "White balance", 7, kUvcKindVideoProcAmp, 2800, 6500,
                                     10, 4600, 5100, true, true}));
    EXPECT_EQ(list[4].kind, kUvcKindCameraControl);
    EXPECT_EQ(list[4].propertyId, 4);
    EXPECT_EQ(list[5].step, 1);  // reported as 0
    EXPECT_EQ(list[6].step, 3600);
    EXPECT_EQ(list[7],
              (UvcParameter{"powerline", "Powerline frequency", 13, kUvcKindPowerLine, 0, 2, 1, 1, 2}));
}

TEST(UvcDeviceBinding, SetClampsSendsTheModeAndKeepsTheListAsRead) {
    FakeUvcBackend backend;
    backend.cameras[kCameraId] = typicalCamera();
    FakeUvcCamera& camera = backend.cameras[kCameraId];
    UvcDeviceBinding binding(backend);
    QString error;
    ASSERT_TRUE(binding.bind(kCameraId, error));
    const QList<UvcParameter> before = binding.parameters();

    EXPECT_TRUE(binding.setParameter(QStringLiteral("brightness"), 300, false, error));
    EXPECT_TRUE(binding.setParameter(QStringLiteral("hue"), -500, false, error));
    EXPECT_TRUE(binding.setParameter(QStringLiteral("exposure"), 100, true, error));
    EXPECT_TRUE(binding.setParameter(QStringLiteral("powerline"), 1, true, error));  // takes no mode
    EXPECT_EQ(camera.writes, (std::vector<FakeUvcWrite>{{"brightness", 255, false},
                                                        {"hue", -180, false},
                                                        {"exposure", 100, true},
                                                        {"powerline", 1, false}}));
    EXPECT_EQ(binding.parameters(), before);
    binding.readParameters();
    EXPECT_EQ(binding.parameters()[0].value, 255);

    EXPECT_FALSE(binding.setParameter(QStringLiteral("Brightness"), 1, false, error));
    EXPECT_EQ(error, QStringLiteral("unknown UVC parameter"));
    EXPECT_FALSE(binding.setParameter(QStringLiteral("gain"), 1, false, error));  // not offered by the camera
    EXPECT_EQ(error, QStringLiteral("unknown UVC parameter"));
    EXPECT_EQ(camera.writes.size(), 4u);
}

TEST(UvcDeviceBinding, FailureCodeIsWrittenAsSignExtendedHex) {
    FakeUvcBackend backend;
    backend.cameras[kCameraId] = typicalCamera();
    UvcDeviceBinding binding(backend);
    QString error;
    ASSERT_TRUE(binding.bind(kCameraId, error));
    FakeUvcCamera& camera = backend.cameras[kCameraId];
    camera.controls[QStringLiteral("brightness")].writeFailure =
        static_cast<std::int32_t>(0x80004005u);                 // E_FAIL
    camera.controls[QStringLiteral("hue")].writeFailure = -22;  // -EINVAL

    EXPECT_FALSE(binding.setParameter(QStringLiteral("brightness"), 1, false, error));
    EXPECT_EQ(error, QStringLiteral("UVC set failed (0xffffffff80004005)"));
    EXPECT_FALSE(binding.setParameter(QStringLiteral("hue"), 1, false, error));
    EXPECT_EQ(error, QStringLiteral("UVC set failed (0xffffffffffffffea)"));
}

}  // namespace
}  // namespace zk::camera
