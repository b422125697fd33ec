#include <QPointer>

#include "app/ui_controller.h"
#include "device/device_controller.h"

namespace zk::device {
namespace {

DeviceController::Services servicesOf(app::UiController* ui) {
    DeviceController::Services services;
    services.activeProfile = [ui = QPointer<app::UiController>(ui)]() -> const core::DeviceProfile* {
        return ui ? ui->activeProfile() : nullptr;
    };
    return services;
}

}  // namespace

DeviceController::DeviceController(app::UiController* ui, QObject* parent)
    : DeviceController(servicesOf(ui), parent) {
    if (ui == nullptr) return;
    connect(ui, &app::UiController::profileInfoChanged, this, &DeviceController::firPresetIdsChanged);
    connect(ui, &app::UiController::profileInfoChanged, this, &DeviceController::stateChanged);
    connect(ui, &app::UiController::uiStateChanged, this, &DeviceController::stateChanged);
}

}  // namespace zk::device
