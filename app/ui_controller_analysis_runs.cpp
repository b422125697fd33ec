// AnalysisRuns of the selected Measurement: list, selection, save, discard and export.
#include "app/ui_controller.h"

namespace zk::app {

QVariantList UiController::analysisRuns() const { return {}; }
int UiController::analysisRunCount() const { return 0; }
int UiController::selectedAnalysisIndex() const { return -1; }
bool UiController::hasSelectedAnalysis() const { return false; }
QString UiController::selectedAnalysisId() const { return {}; }
QString UiController::selectedAnalysisInfo() const { return {}; }
QString UiController::selectedAnalysisAlgorithmParams() const { return {}; }
QString UiController::selectedAnalysisProvenance() const { return {}; }
bool UiController::hasPendingAnalysis() const { return false; }
QString UiController::pendingAnalysisInfo() const { return {}; }

void UiController::clearAnalysisRunsForRebuild() { emit selectedAnalysisChanged(); }
void UiController::rebuildAnalysisRunList() {}
QString UiController::pendingAnalysisMeasurementId() const { return {}; }
void UiController::dropPendingAnalysisForSelection() {}

void UiController::selectAnalysisRun(int index) { Q_UNUSED(index); }
void UiController::savePendingAnalysis() {}
void UiController::discardPendingAnalysis() {}
void UiController::openAnalysisRun(const QString& measurementId, const QString& analysisId) {
    Q_UNUSED(measurementId);
    Q_UNUSED(analysisId);
}
void UiController::exportSelectedAnalysis() {}

}  // namespace zk::app
