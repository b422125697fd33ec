#include <gtest/gtest.h>

#include <QSignalSpy>

#include "app/ui_controller.h"
#include "core/storage/device_profile.h"
#include "device/device_controller.h"

namespace zk::device {
namespace {

TEST(DeviceControllerOverUi, FollowsTheActiveProfileOfTheApplicationAndItsSignals) {
    const std::string path = std::string(ZK_PROFILES_DIR) + "/TM27-128-H1.6.2.device.json";
    QStringList expected;
    const core::DeviceProfile profile = core::loadDeviceProfile(path);
    for (const auto& preset : profile.fir->presets) expected.push_back(QString::fromStdString(preset.id));
    ASSERT_FALSE(expected.isEmpty());

    app::UiController ui;
    DeviceController controller(&ui);
    EXPECT_TRUE(controller.firPresetIds().isEmpty());
    QSignalSpy presets(&controller, &DeviceController::firPresetIdsChanged);
    QSignalSpy state(&controller, &DeviceController::stateChanged);

    ui.importProfile(QString::fromStdString(path));
    ASSERT_TRUE(ui.hasProfile());
    EXPECT_EQ(controller.firPresetIds(), expected);
    EXPECT_GE(presets.count(), 1);
    EXPECT_GE(state.count(), presets.count());

    const qsizetype before = state.count();
    emit ui.uiStateChanged();
    EXPECT_EQ(state.count(), before + 1);
}

}  // namespace
}  // namespace zk::device
