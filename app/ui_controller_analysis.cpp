// Full Recompute analysis: its settings, its own beamforming parameters and the run.
#include <QTimer>
#include <cmath>

#include "app/settings_rules.h"
#include "app/ui_controller.h"

namespace zk::app {

namespace {

// Every algorithm of the Full Recompute, with its id.
constexpr struct {
    const char* name;
    std::int32_t id;
} kAnalysisAlgorithms[] = {
    {"01 DAS / Conventional", 1}, {"02 Functional", 2}, {"03 MVDR / Capon", 3}, {"04 Robust Capon", 4},
    {"05 MUSIC", 5},              {"06 Auto-MUSIC", 6}, {"07 Orthogonal", 7},   {"08 SRP-PHAT", 8},
    {"09 CLEAN-SC", 9},           {"10 DAMAS", 10},     {"11 DAMAS-FISTA", 11}, {"12 NNLS", 12},
    {"13 Sparse-FISTA", 13},      {"14 SBL / ARD", 14},
};

}  // namespace

bool UiController::analysisBusy() const { return fullRecomputeRunning_.load(); }
QString UiController::analysisStatus() const { return analysisStatus_; }
double UiController::analysisProgress() const { return 0.0; }
QString UiController::analysisAlgorithm() const { return analysisAlgorithm_; }
QVariantList UiController::analysisAlgorithmParameterFields() const {
    return parameterFieldsOf(analysisBeamforming_.algorithm);
}
double UiController::analysisFrequencyHz() const { return analysisFrequencyHz_; }
int UiController::analysisFrameSize() const { return analysisFrameSize_; }
int UiController::analysisHopSize() const { return analysisHopSize_; }
double UiController::analysisGridStepDeg() const { return analysisGridStepDeg_; }
QString UiController::analysisBandMode() const { return analysisBandMode_; }
double UiController::analysisBandwidthHz() const { return analysisBandwidthHz_; }
int UiController::analysisFocusIndex() const { return analysisFocusIndex_; }
double UiController::analysisWindowSeconds() const { return analysisWindowSeconds_; }

bool UiController::canCreateAnalysis() const {
    const std::int32_t session = sessionState_.load();
    const std::int32_t replay = replayState_.load();
    return session != kStarting && session != kRunning && session != kStopping && !fullRecomputeRunning_.load() &&
           replay != kReplayLoading && replay != kReplayPlaying && replay != kReplayPaused &&
           recordingState_.load() == kRecordingIdle && hasSelectedMeasurement() &&
           selectedMeasurementRawAvailable() && frozenProfile_.isValid();
}

void UiController::setAnalysisAlgorithm(const QString& name) {
    if (fullRecomputeRunning_.load()) return;
    for (const auto& choice : kAnalysisAlgorithms) {
        if (name != QLatin1String(choice.name)) continue;
        analysisAlgorithm_ = name;
        analysisBeamforming_.algorithm = choice.id;
        ++analysisBeamforming_.revision;
        emit analysisAlgorithmChanged();
        return;
    }
    reportEvent(QStringLiteral("Unsupported analysis algorithm: %1").arg(name));
}

void UiController::setAnalysisBeamformingParameter(const QString& key, double value) {
    try {
        if (fullRecomputeRunning_.load()) return;
        core::BeamformingParameters candidate = analysisBeamforming_;
        if (!candidate.setByKey(key.toStdString(), value)) {
            reportEvent(QStringLiteral("Parameter %1 is not part of the selected algorithm").arg(key));
            return;
        }
        const std::uint64_t channels = frozenProfile_.isValid() ? frozenProfile_.channelCount : 128;
        if (!candidate.isValid(channels)) {
            reportEvent(QStringLiteral("Invalid value for %1").arg(key));
            return;
        }
        analysisBeamforming_ = candidate;
        ++analysisBeamforming_.revision;
        emit analysisAlgorithmChanged();
    } catch (const std::exception& error) {
        reportEvent(QStringLiteral("Parameter update failed: %1").arg(QString::fromUtf8(error.what())));
    }
}

double UiController::analysisBeamformingParameterValue(const QString& key) const {
    double value = 0.0;
    return analysisBeamforming_.getByKey(key.toStdString(), value) ? value : 0.0;
}

void UiController::setAnalysisFrequencyHz(double hz) {
    if (fullRecomputeRunning_.load()) return;
    const double upper = std::max(100.0, frozenProfile_.isValid() ? 0.45 * frozenProfile_.sampleRateHz : 40000.0);
    const double next = clampToRange(hz, 100.0, upper);
    if (fuzzyEqual(next, analysisFrequencyHz_)) return;
    analysisFrequencyHz_ = next;
    settings_.setValue(QStringLiteral("analysisFrequencyHz"), next);
    emit analysisParametersChanged();
}

void UiController::setAnalysisFrameSize(int size) {
    if (fullRecomputeRunning_.load()) return;
    if (size != 256 && size != 512 && size != 1024) return;
    if (size == analysisFrameSize_) return;
    analysisFrameSize_ = size;
    if (size < analysisHopSize_) analysisHopSize_ = size / 2;
    settings_.setValue(QStringLiteral("analysisFrameSize"), size);
    settings_.setValue(QStringLiteral("analysisHopSize"), analysisHopSize_);
    emit analysisParametersChanged();
    analysisSpectrumTimer_->start();
}

void UiController::setAnalysisHopSize(int hop) {
    if (fullRecomputeRunning_.load()) return;
    const int next = std::clamp(hop, 1, analysisFrameSize_);
    if (next == analysisHopSize_) return;
    analysisHopSize_ = next;
    settings_.setValue(QStringLiteral("analysisHopSize"), next);
    emit analysisParametersChanged();
}

void UiController::setAnalysisGridStepDeg(double degrees) {
    if (fullRecomputeRunning_.load()) return;
    const double next = clampToRange(degrees, 0.5, 5.0);
    if (fuzzyEqual(next, analysisGridStepDeg_)) return;
    analysisGridStepDeg_ = next;
    settings_.setValue(QStringLiteral("analysisGridStepDeg"), next);
    emit analysisParametersChanged();
}

void UiController::setAnalysisBandMode(const QString& mode) {
    if (fullRecomputeRunning_.load()) return;
    if (mode != QLatin1String("Single") && mode != QLatin1String("1/3 octave") && mode != QLatin1String("Custom"))
        return;
    if (mode == analysisBandMode_) return;
    analysisBandMode_ = mode;
    settings_.setValue(QStringLiteral("analysisBandMode"), mode);
    emit analysisParametersChanged();
}

void UiController::setAnalysisBandwidthHz(double hz) {
    if (fullRecomputeRunning_.load()) return;
    const double next = clampToRange(hz, 100.0, 40000.0);
    if (fuzzyEqual(next, analysisBandwidthHz_)) return;
    analysisBandwidthHz_ = next;
    settings_.setValue(QStringLiteral("analysisBandwidthHz"), next);
    emit analysisParametersChanged();
}

void UiController::setAnalysisFocusIndex(int index) {
    if (fullRecomputeRunning_.load()) return;
    const int next = std::clamp(index, 0, 4);
    if (next == analysisFocusIndex_) return;
    ++analysisBeamforming_.revision;
    analysisFocusIndex_ = next;
    analysisBeamforming_.focusDistanceM = focusDistanceForIndex(next);
    emit analysisParametersChanged();
}

void UiController::setAnalysisWindowSeconds(double seconds) {
    const double next = clampToRange(seconds, 0.0, 5.0);
    if (fuzzyEqual(next, analysisWindowSeconds_)) return;
    analysisWindowSeconds_ = next;
    settings_.setValue(QStringLiteral("analysisWindowSeconds"), next);
    emit analysisWindowChanged();
}

void UiController::createFullRecomputeAnalysis() {}

}  // namespace zk::app
