#include <gtest/gtest.h>

#include <QMetaMethod>
#include <QMetaProperty>
#include <QSet>
#include <map>
#include <span>
#include <string>

#include "app/ui_controller.h"
#include "app_test_support.h"

namespace zk::app::test {
namespace {

using UiControllerSurface = ControllerSettingsTest;

// The surface QML binds to, by name and type: a property or operation renamed, retyped or dropped
// breaks a page that names it, so each one is listed here.
struct Member {
    const char* name;  // a property's name, an operation's signature
    const char* type;  // the property's type, the operation's return type
};

constexpr Member kProperties[] = {
    {"profilePath", "QString"},
    {"uiTheme", "QString"},
    {"uiLanguage", "QString"},
    {"profileInfo", "QString"},
    {"profileCameraAspect", "double"},
    {"profileCameraResolution", "QString"},
    {"profileGeometry", "QVariantList"},
    {"statusText", "QString"},
    {"liveMetrics", "QString"},
    {"sessionState", "QString"},
    {"hasProfile", "bool"},
    {"canImportProfile", "bool"},
    {"canChangeSource", "bool"},
    {"canEditAcquisition", "bool"},
    {"canEditFrequencyBand", "bool"},
    {"canStart", "bool"},
    {"canStop", "bool"},
    {"busy", "bool"},
    {"canCreateAnalysis", "bool"},
    {"canStartRecording", "bool"},
    {"canStopRecording", "bool"},
    {"canCalibrateNoise", "bool"},
    {"canStartReplay", "bool"},
    {"startReplayBlocker", "QString"},
    {"createAnalysisBlocker", "QString"},
    {"diagnosticChannelCount", "int"},
    {"diagnosticMeterPerRow", "int"},
    {"spectrumNyquistHz", "double"},
    {"hasProject", "bool"},
    {"projectName", "QString"},
    {"projectPath", "QString"},
    {"projectId", "QString"},
    {"recentProjects", "QVariantList"},
    {"measurements", "QVariantList"},
    {"measurementCount", "int"},
    {"selectedMeasurementIndex", "int"},
    {"hasSelectedMeasurement", "bool"},
    {"selectedMeasurementId", "QString"},
    {"selectedMeasurementInfo", "QString"},
    {"selectedMeasurementProfileInfo", "QString"},
    {"selectedMeasurementProfileHash", "QString"},
    {"selectedMeasurementGeometryHash", "QString"},
    {"selectedMeasurementRawHash", "QString"},
    {"selectedMeasurementRawAvailable", "bool"},
    {"selectedMeasurementVideoPath", "QString"},
    {"selectedMeasurementVideoUrl", "QString"},
    {"analysisSpectrumNyquistHz", "double"},
    {"analysisRuns", "QVariantList"},
    {"analysisRunCount", "int"},
    {"selectedAnalysisIndex", "int"},
    {"hasSelectedAnalysis", "bool"},
    {"selectedAnalysisId", "QString"},
    {"selectedAnalysisInfo", "QString"},
    {"selectedAnalysisAlgorithmParams", "QString"},
    {"selectedAnalysisProvenance", "QString"},
    {"selectedAnalysisParameters", "QString"},
    {"analysisBusy", "bool"},
    {"analysisStatus", "QString"},
    {"hasPendingAnalysis", "bool"},
    {"pendingAnalysisInfo", "QString"},
    {"analysisSpectrumRevision", "qulonglong"},
    {"analysisProgress", "double"},
    {"analysisAlgorithm", "QString"},
    {"analysisAlgorithmParameterFields", "QVariantList"},
    {"analysisFrequencyHz", "double"},
    {"beamformingParameterRevision", "qulonglong"},
    {"analysisFrameSize", "int"},
    {"analysisHopSize", "int"},
    {"analysisGridStepDeg", "double"},
    {"analysisBandMode", "QString"},
    {"analysisBandwidthHz", "double"},
    {"analysisFocusIndex", "int"},
    {"analysisWindowSeconds", "double"},
    {"hasAnalysisWindow", "bool"},
    {"analysisWindowInfo", "QString"},
    {"recordingState", "QString"},
    {"recording", "bool"},
    {"recordingFinalizing", "bool"},
    {"recordingMeasurementId", "QString"},
    {"recordingElapsedSeconds", "double"},
    {"recordingBytes", "qulonglong"},
    {"recordingVideoActive", "bool"},
    {"recordingMaxDurationSeconds", "double"},
    {"source", "QString"},
    {"algorithm", "QString"},
    {"algorithmParameterFields", "QVariantList"},
    {"focusDistanceIndex", "int"},
    {"airTemperatureC", "double"},
    {"speedOfSoundMps", "double"},
    {"confidenceThresholdDb", "double"},
    {"frequency", "double"},
    {"azimuth", "double"},
    {"elevation", "double"},
    {"frequencyBandMode", "QString"},
    {"bandwidthHz", "double"},
    {"targetBinCount", "int"},
    {"dynamicRange", "double"},
    {"csmTauSeconds", "double"},
    {"levelGateDbfs", "double"},
    {"heatmapScaleMode", "QString"},
    {"heatmapColormap", "int"},
    {"heatmapStyle", "int"},
    {"fixedReferenceDbfs", "double"},
    {"heatmapOpacity", "double"},
    {"diagonalRemoval", "bool"},
    {"noiseSubtractionEnabled", "bool"},
    {"noiseCalibrating", "bool"},
    {"noiseProfileValid", "bool"},
    {"noiseProfileInfo", "QString"},
    {"noiseCalibrationRemainingSeconds", "double"},
    {"replayPaused", "bool"},
    {"replayState", "QString"},
    {"replayActive", "bool"},
    {"replayPlaying", "bool"},
    {"canPauseReplay", "bool"},
    {"canStopReplay", "bool"},
    {"replayMeasurementId", "QString"},
    {"replayProfileInfo", "QString"},
    {"replayMetrics", "QString"},
    {"replayPositionSeconds", "double"},
    {"replayDurationSeconds", "double"},
    {"channelLevels", "QVariantList"},
    {"channelPeaks", "QVariantList"},
    {"waveformWindowS", "double"},
    {"overlayWindowS", "double"},
    {"waveformMode", "int"},
    {"waterfallColormap", "int"},
    {"spectrumLevels", "QVariantList"},
    {"diagnosticChannel", "int"},
    {"diagnosticSummary", "QString"},
    {"diagnosticSilentChannels", "int"},
    {"diagnosticSource", "QString"},
    {"diagnosticRevision", "int"},
    {"diagnosticWaveformScaleAbs", "double"},
    {"diagnosticSpectrumBinHz", "double"},
    {"diagnosticWaterfallSpanS", "double"},
    {"diagnosticRows", "QVariantList"},
    {"eventLog", "QStringList"},
    {"lastDiagnosticsPath", "QString"},
    {"lastBackupPath", "QString"},
    {"hasHeatmap", "bool"},
    {"mapSource", "QString"},
    {"peakAzimuth", "double"},
    {"peakElevation", "double"},
    {"peakDb", "double"},
    {"peakLevelDbfs", "double"},
    {"mapSpanDb", "double"},
    {"mapVisiblePixels", "int"},
    {"mapStale", "bool"},
    {"effectiveFrequencyHz", "double"},
    {"effectiveBandLowHz", "double"},
    {"effectiveBandHighHz", "double"},
    {"effectiveBinCount", "int"},
    {"mapParameterRevision", "qulonglong"},
    {"mapAlgorithmId", "int"},
    {"mapHasAbsoluteLevels", "bool"},
    {"mapPeakReferenceDbfs", "double"},
    {"mapShownRangeDb", "double"},
    {"mapContrastFade", "double"},
    {"mapPeaks", "QVariantList"},
    {"contourLevelCount", "int"},
    {"contourLevels0", "QVector4D"},
    {"contourLevels1", "QVector4D"},
    {"contourLevels2", "QVector4D"},
    {"contourLevels3", "QVector4D"},
    {"contourLevels4", "QVector4D"},
    {"contourLevels5", "QVector4D"},
    {"cameraMirror", "bool"},
    {"cameraOverlayAlpha", "double"},
    {"cameraOverlayThreshold", "double"},
    {"cameraOverlayScale", "double"},
    {"cameraOverlayOffsetX", "double"},
    {"cameraOverlayOffsetY", "double"},
    {"cameraNames", "QStringList"},
    {"cameraIds", "QStringList"},
    {"cameraParameters", "QVariantList"},
    {"profilesDir", "QString"},
    {"analysisVideoFrameSeconds", "double"},
};

constexpr Member kOperations[] = {
    {"refreshReplayPosition()", "void"},
    {"resetDefaults()", "void"},
    {"setAlgorithm(QString)", "void"},
    {"setBeamformingParameter(QString,double)", "void"},
    {"beamformingParameterValue(QString)", "double"},
    {"setFocusDistanceIndex(int)", "void"},
    {"setAirTemperatureC(double)", "void"},
    {"setConfidenceThresholdDb(double)", "void"},
    {"setFrequency(double)", "void"},
    {"setAzimuth(double)", "void"},
    {"setElevation(double)", "void"},
    {"setFrequencyBandMode(QString)", "void"},
    {"setBandwidthHz(double)", "void"},
    {"setTargetBinCount(int)", "void"},
    {"setDiagonalRemoval(bool)", "void"},
    {"setSource(QString)", "void"},
    {"setPlotPalette(QVariantMap)", "void"},
    {"setDynamicRange(double)", "void"},
    {"setLevelGateDbfs(double)", "void"},
    {"setHeatmapScaleMode(QString)", "void"},
    {"setHeatmapColormap(int)", "void"},
    {"setHeatmapStyle(int)", "void"},
    {"setFixedReferenceDbfs(double)", "void"},
    {"setHeatmapOpacity(double)", "void"},
    {"setCameraMirror(bool)", "void"},
    {"setCameraOverlayAlpha(double)", "void"},
    {"setCameraOverlayThreshold(double)", "void"},
    {"setCameraOverlayScale(double)", "void"},
    {"setCameraOverlayOffsetX(double)", "void"},
    {"setCameraOverlayOffsetY(double)", "void"},
    {"refreshCameraDevices()", "void"},
    {"bindUvcCamera(QString,QString)", "void"},
    {"unbindUvcCamera()", "void"},
    {"setCameraParameterValue(QString,int)", "void"},
    {"previewCameraParameterValue(QString,int)", "void"},
    {"setCameraParameterAuto(QString,bool)", "void"},
    {"resetCameraParameters()", "void"},
    {"refreshLocalizedStrings()", "void"},
    {"logMediaDiagnostic(QString)", "void"},
    {"exportDiagnosticsBundle()", "QString"},
    {"backupNow()", "QString"},
    {"openDiagnosticsFolder()", "void"},
    {"importProfile(QString)", "void"},
    {"browseDrives()", "QStringList"},
    {"browseListDir(QString,QStringList)", "QVariantMap"},
    {"browseCreateDir(QString,QString)", "QVariantMap"},
    {"browseRenameDir(QString,QString)", "QVariantMap"},
    {"startLive()", "void"},
    {"stopLive()", "void"},
    {"runOnce()", "void"},
    {"setRecordingMaxDurationSeconds(double)", "void"},
    {"startRecording()", "void"},
    {"stopRecording()", "void"},
    {"notifyVideoRecorderStarted()", "void"},
    {"notifyVideoRecorderStopped(QString)", "void"},
    {"startSelectedMeasurementReplay()", "void"},
    {"setReplayPaused(bool)", "void"},
    {"seekReplay(double)", "void"},
    {"stopReplay()", "void"},
    {"analyzeReplayPosition()", "void"},
    {"setNoiseSubtractionEnabled(bool)", "void"},
    {"startNoiseCalibration()", "void"},
    {"cancelNoiseCalibration()", "void"},
    {"clearAnalysisWindow()", "void"},
    {"meterReadout(int)", "QString"},
    {"setWaveformWindowS(double)", "void"},
    {"setOverlayWindowS(double)", "void"},
    {"setWaveformMode(int)", "void"},
    {"setWaterfallColormap(int)", "void"},
    {"setDiagnosticChannel(int)", "void"},
    {"trimMemory()", "void"},
    {"validateNewProjectDir(QString)", "QString"},
    {"projectExistsAt(QString)", "bool"},
    {"findNestedProjects(QString)", "QStringList"},
    {"createProject(QString,QString)", "void"},
    {"openProject(QString)", "void"},
    {"refreshProject()", "void"},
    {"deleteProject()", "void"},
    {"openRecentProject(QString)", "void"},
    {"removeRecentProject(QString)", "void"},
    {"openProjectFolder()", "void"},
    {"selectMeasurement(int)", "void"},
    {"renameSelectedMeasurement(QString)", "void"},
    {"setSelectedMeasurementNote(QString,QString,QString)", "void"},
    {"deleteSelectedMeasurement()", "void"},
    {"createFullRecomputeAnalysis()", "void"},
    {"setAnalysisBeamformingParameter(QString,double)", "void"},
    {"analysisBeamformingParameterValue(QString)", "double"},
    {"algorithmHasAbsoluteLevels(QString)", "bool"},
    {"selectAnalysisRun(int)", "void"},
    {"showAnalysisMap()", "void"},  // shows a waiting run once Live or Replay frees the one map
    {"savePendingAnalysis()", "void"},
    {"discardPendingAnalysis()", "void"},
    {"openAnalysisRun(QString,QString)", "void"},
    {"exportSelectedAnalysis()", "void"},
};

using Surface = std::map<std::string, std::string>;

Surface surfaceOf(std::span<const Member> members) {
    Surface surface;
    for (const Member& member : members) surface.emplace(member.name, member.type);
    return surface;
}

// What one side holds and the other lacks, one "name: type" a line.
std::string missingFrom(const Surface& from, const Surface& than) {
    std::string text;
    for (const auto& [name, type] : than) {
        const auto found = from.find(name);
        if (found == from.end() || found->second != type) text += "  " + name + ": " + type + "\n";
    }
    return text;
}

TEST_F(UiControllerSurface, PublishesEveryPropertyWithItsNotifySignal) {
    const QMetaObject& meta = UiController::staticMetaObject;
    Surface properties;
    QSet<QString> withoutNotify;
    for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i) {
        const QMetaProperty property = meta.property(i);
        properties.emplace(property.name(), property.typeName());
        if (!property.hasNotifySignal()) withoutNotify.insert(QString::fromLatin1(property.name()));
    }
    const Surface expected = surfaceOf(kProperties);
    const std::string unexpected = missingFrom(expected, properties);
    const std::string missing = missingFrom(properties, expected);
    EXPECT_TRUE(unexpected.empty() && missing.empty()) << "unexpected:\n"
                                                       << unexpected << "missing:\n"
                                                       << missing;
    EXPECT_EQ(withoutNotify,
              (QSet<QString>{QStringLiteral("profilesDir"), QStringLiteral("analysisVideoFrameSeconds")}));
    EXPECT_TRUE(meta.property(meta.indexOfProperty("profilesDir")).isConstant());
}

TEST_F(UiControllerSurface, OffersEveryOperationToQml) {
    const QMetaObject& meta = UiController::staticMetaObject;
    Surface operations;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        const QMetaMethod method = meta.method(i);
        if (method.methodType() == QMetaMethod::Method || method.methodType() == QMetaMethod::Slot)
            operations.emplace(method.methodSignature().toStdString(), method.typeName());
    }
    const Surface expected = surfaceOf(kOperations);
    const std::string unexpected = missingFrom(expected, operations);
    const std::string missing = missingFrom(operations, expected);
    EXPECT_TRUE(unexpected.empty() && missing.empty()) << "unexpected:\n"
                                                       << unexpected << "missing:\n"
                                                       << missing;
    EXPECT_GE(meta.indexOfSignal("analysisFinished(bool,QString)"), 0);
    EXPECT_GE(meta.indexOfSignal("videoRecordStartRequested(QString)"), 0);
}

TEST_F(UiControllerSurface, StartsWithThePromptAndTheCameraCount) {
    UiController ui;
    EXPECT_EQ(ui.statusText(), QStringLiteral("Load a validated Device Profile to begin"));
    EXPECT_TRUE(ui.statusIsInitialPrompt());
    EXPECT_EQ(ui.liveMetrics(), QStringLiteral("Live stopped"));
    EXPECT_EQ(ui.sessionState(), QStringLiteral("NoProfile"));
    ASSERT_EQ(ui.eventLog().size(), 1);
    const QString expected =
        ui.cameraIds().isEmpty()
            ? QStringLiteral("No UVC camera detected; press Refresh after connecting one")
        : ui.cameraIds().size() == 1
            ? QStringLiteral("1 UVC camera device available")
            : QStringLiteral("%1 UVC camera devices available").arg(ui.cameraIds().size());
    EXPECT_TRUE(ui.eventLog().front().endsWith(QStringLiteral("  ") + expected))
        << ui.eventLog().front().toStdString();
    EXPECT_EQ(ui.diagnosticsLog(), ui.eventLog());
}

}  // namespace
}  // namespace zk::app::test
