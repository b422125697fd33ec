// Full Recompute analysis: its settings, its own beamforming parameters and the run.
#include <QTimer>
#include <cmath>

#include "app/settings_rules.h"
#include "app/ui_controller.h"
#include "core/beamforming/beamforming_parameters.h"

namespace zk::app {

namespace {

// Every algorithm of the Full Recompute, with its id.
constexpr struct {
    const char* name;
    std::int32_t id;
} kAnalysisAlgorithms[] = {
    {"01 DAS / Conventional", 1},
    {"02 Functional", 2},
    {"03 MVDR / Capon", 3},
    {"04 Robust Capon", 4},
    {"05 MUSIC", 5},
    {"06 Auto-MUSIC", 6},
    {"07 Orthogonal", 7},
    {"08 SRP-PHAT", 8},
    {"09 CLEAN-SC", 9},
    {"10 DAMAS", 10},
    {"11 DAMAS-FISTA", 11},
    {"12 NNLS", 12},
    {"13 Sparse-FISTA", 13},
    {"14 SBL / ARD", 14},
};

}  // namespace

bool UiController::analysisBusy() const { return run_.fullRecomputeRunning.load(); }
QString UiController::analysisStatus() const { return analysis_.status; }
double UiController::analysisProgress() const { return run_.analysisProgress.load(); }
QString UiController::analysisAlgorithm() const { return analysis_.algorithm; }
QVariantList UiController::analysisAlgorithmParameterFields() const {
    return parameterFieldsOf(analysis_.beamforming.algorithm);
}
double UiController::analysisFrequencyHz() const { return analysis_.frequencyHz; }
int UiController::analysisFrameSize() const { return analysis_.frameSize; }
int UiController::analysisHopSize() const { return analysis_.hopSize; }
double UiController::analysisGridStepDeg() const { return analysis_.gridStepDeg; }
QString UiController::analysisBandMode() const { return analysis_.bandMode; }
double UiController::analysisBandwidthHz() const { return analysis_.bandwidthHz; }
int UiController::analysisFocusIndex() const { return analysis_.focusIndex; }
double UiController::analysisWindowSeconds() const { return analysis_.windowSeconds; }

bool UiController::algorithmHasAbsoluteLevels(const QString& algorithmName) const {
    for (const auto& choice : kAnalysisAlgorithms)
        if (algorithmName == QLatin1String(choice.name)) return core::algorithmHasAbsoluteLevels(choice.id);
    return core::algorithmHasAbsoluteLevels(0);
}

bool UiController::canCreateAnalysis() const { return createAnalysisBlocker().isEmpty(); }
QString UiController::createAnalysisBlocker() const {
    const std::int32_t session = run_.session.load();
    const std::int32_t replay = run_.replay.load();
    if (run_.fullRecomputeRunning.load()) return UiText::tr("Wait until the Full Recompute ends");
    if (session == kStarting || session == kRunning || session == kStopping || replay == kReplayLoading ||
        replay == kReplayPlaying || replay == kReplayPaused || !hasSelectedMeasurement())
        return UiText::tr("Full Recompute requires a selected Measurement while Live and Replay are stopped");
    if (run_.recording.load() != kRecordingIdle) return UiText::tr("Wait until the Recording is saved");
    // A raw file that cannot be read is refused for its own reason.
    if (!selectedMeasurementRawAvailable())
        return project_.selectedRawProblem.isEmpty() ? UiText::tr("Replay raw asset is missing")
                                                     : project_.selectedRawProblem;
    if (!profileState_.frozen.isValid())
        return UiText::tr("The frozen Device Profile of this Measurement cannot be read");
    return {};
}

void UiController::setAnalysisAlgorithm(const QString& name) {
    if (run_.fullRecomputeRunning.load()) return;
    for (const auto& choice : kAnalysisAlgorithms) {
        if (name != QLatin1String(choice.name)) continue;
        analysis_.algorithm = name;
        analysis_.beamforming.algorithm = choice.id;
        ++analysis_.beamforming.revision;
        emit analysisAlgorithmChanged();
        return;
    }
    reportEvent(UiText::tr("Unsupported analysis algorithm: %1").arg(name));
}

void UiController::setAnalysisBeamformingParameter(const QString& key, double value) {
    try {
        if (run_.fullRecomputeRunning.load()) return;
        core::BeamformingParameters candidate = analysis_.beamforming;
        if (!candidate.setByKey(key.toStdString(), value)) {
            reportEvent(UiText::tr("Parameter %1 is not part of the selected algorithm").arg(key));
            return;
        }
        const std::uint64_t channels =
            profileState_.frozen.isValid() ? profileState_.frozen.channelCount : 128;
        if (!candidate.isValid(channels)) {
            reportEvent(UiText::tr("Invalid value for %1").arg(key));
            return;
        }
        analysis_.beamforming = candidate;
        ++analysis_.beamforming.revision;
        emit analysisAlgorithmChanged();
    } catch (const std::exception& error) {
        reportEvent(UiText::tr("Parameter update failed: %1").arg(QString::fromUtf8(error.what())));
    }
}

double UiController::analysisBeamformingParameterValue(const QString& key) const {
    double value = 0.0;
    return analysis_.beamforming.getByKey(key.toStdString(), value) ? value : 0.0;
}

void UiController::setAnalysisFrequencyHz(double hz) {
    if (run_.fullRecomputeRunning.load()) return;
    const double next = analysisFrequencyForFrame(hz, profileState_.frozenSampleRate(), analysis_.frameSize);
    if (fuzzyEqual(next, analysis_.frequencyHz)) return;
    analysis_.frequencyHz = next;
    settings_.setValue(QStringLiteral("analysisFrequencyHz"), next);
    emit analysisParametersChanged();
}

void UiController::setAnalysisFrameSize(int size) {
    if (run_.fullRecomputeRunning.load()) return;
    if (size != 256 && size != 512 && size != 1024) return;
    if (size == analysis_.frameSize) return;
    analysis_.frameSize = size;
    // From the user's own hop: one the form shows for a run or a Replay position is not the user's.
    analysis_.hopSize = size < analysis_.ownHopSize ? size / 2 : analysis_.ownHopSize;
    analysis_.ownHopSize = analysis_.hopSize;
    // Back on a bin of the new frame, without storing: the stored value stays the one the user chose.
    analysis_.frequencyHz =
        analysisFrequencyForFrame(analysis_.frequencyHz, profileState_.frozenSampleRate(), size);
    settings_.setValue(QStringLiteral("analysisFrameSize"), size);
    settings_.setValue(QStringLiteral("analysisHopSize"), analysis_.hopSize);
    emit analysisParametersChanged();
    timers_.analysisSpectrum->start();
}

void UiController::setAnalysisHopSize(int hop) {
    if (run_.fullRecomputeRunning.load()) return;
    const int next = std::clamp(hop, 1, analysis_.frameSize);
    if (next == analysis_.hopSize) return;
    analysis_.hopSize = next;
    analysis_.ownHopSize = next;
    settings_.setValue(QStringLiteral("analysisHopSize"), next);
    emit analysisParametersChanged();
}

void UiController::setAnalysisGridStepDeg(double degrees) {
    if (run_.fullRecomputeRunning.load()) return;
    const double next = clampToRange(degrees, 0.5, 5.0);
    if (fuzzyEqual(next, analysis_.gridStepDeg)) return;
    analysis_.gridStepDeg = next;
    settings_.setValue(QStringLiteral("analysisGridStepDeg"), next);
    emit analysisParametersChanged();
}

void UiController::setAnalysisBandMode(const QString& mode) {
    if (run_.fullRecomputeRunning.load()) return;
    if (mode != QLatin1String("Single") && mode != QLatin1String("1/3 octave") &&
        mode != QLatin1String("Custom"))
        return;
    if (mode == analysis_.bandMode) return;
    analysis_.bandMode = mode;
    settings_.setValue(QStringLiteral("analysisBandMode"), mode);
    emit analysisParametersChanged();
}

void UiController::setAnalysisBandwidthHz(double hz) {
    if (run_.fullRecomputeRunning.load()) return;
    const double next = clampToRange(hz, 100.0, 40000.0);
    if (fuzzyEqual(next, analysis_.bandwidthHz)) return;
    analysis_.bandwidthHz = next;
    settings_.setValue(QStringLiteral("analysisBandwidthHz"), next);
    emit analysisParametersChanged();
}

void UiController::setAnalysisFocusIndex(int index) {
    if (run_.fullRecomputeRunning.load()) return;
    const int next = std::clamp(index, 0, 4);
    if (next == analysis_.focusIndex) return;
    ++analysis_.beamforming.revision;
    analysis_.focusIndex = next;
    analysis_.beamforming.focusDistanceM = focusDistanceForIndex(next);
    emit analysisParametersChanged();
}

void UiController::setAnalysisWindowSeconds(double seconds) {
    const double next = clampToRange(seconds, 0.0, 5.0);
    if (fuzzyEqual(next, analysis_.windowSeconds)) return;
    analysis_.windowSeconds = next;
    settings_.setValue(QStringLiteral("analysisWindowSeconds"), next);
    emit analysisWindowChanged();
}

}  // namespace zk::app
