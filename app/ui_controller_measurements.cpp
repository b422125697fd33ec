// The Measurement list of the open Project, its selection and label edits.
#include "app/ui_controller.h"

namespace zk::app {

QVariantList UiController::measurements() const { return {}; }
int UiController::measurementCount() const { return 0; }
int UiController::selectedMeasurementIndex() const { return -1; }
bool UiController::hasSelectedMeasurement() const { return false; }
QString UiController::selectedMeasurementId() const { return {}; }
QString UiController::selectedMeasurementInfo() const { return {}; }
QString UiController::selectedMeasurementProfileInfo() const { return {}; }
QString UiController::selectedMeasurementProfileHash() const { return {}; }
QString UiController::selectedMeasurementGeometryHash() const { return {}; }
QString UiController::selectedMeasurementRawHash() const { return {}; }
bool UiController::selectedMeasurementRawAvailable() const { return false; }
QString UiController::selectedMeasurementVideoPath() const { return {}; }
QString UiController::selectedMeasurementVideoUrl() const { return {}; }

void UiController::selectMeasurement(int index) { Q_UNUSED(index); }
void UiController::renameSelectedMeasurement(const QString& displayName) { Q_UNUSED(displayName); }
void UiController::setSelectedMeasurementNote(const QString& location, const QString& scene, const QString& note) {
    Q_UNUSED(location);
    Q_UNUSED(scene);
    Q_UNUSED(note);
}
void UiController::deleteSelectedMeasurement() {}

}  // namespace zk::app
