import QtQuick

// Stands in for the controller: the properties, signals and operations that the module's files use.
// Operations only record their calls, so a test sees what the interface asked for.
QtObject {
    id: fake

    signal heatmapUpdated()
    signal videoRecordStartRequested(string stagingPath)
    signal videoRecordStopRequested()

    property var calls: []
    property var mediaLog: []
    property var lastPalette: null

    property bool hasHeatmap: false
    property string mapSource: ""
    property int heatmapColormap: 0
    property real dynamicRange: 30
    property real levelGateDbfs: -90
    property bool mapHasAbsoluteLevels: false
    property real mapPeakReferenceDbfs: 0
    property real mapShownRangeDb: 30
    property real fixedReferenceDbfs: -30
    property string heatmapScaleMode: "Auto peak"
    property int heatmapStyle: 0
    property real heatmapOpacity: 0.82
    property real cameraOverlayThreshold: 0.35
    property real cameraOverlayAlpha: 0.5
    property real cameraOverlayScale: 1
    property real cameraOverlayOffsetX: 0
    property real cameraOverlayOffsetY: 0
    property bool cameraMirror: false
    property real mapContrastFade: 1
    property int contourLevelCount: 0
    property vector4d contourLevels0: Qt.vector4d(0, 0, 0, 0)
    property vector4d contourLevels1: Qt.vector4d(0, 0, 0, 0)
    property vector4d contourLevels2: Qt.vector4d(0, 0, 0, 0)
    property vector4d contourLevels3: Qt.vector4d(0, 0, 0, 0)
    property vector4d contourLevels4: Qt.vector4d(0, 0, 0, 0)
    property vector4d contourLevels5: Qt.vector4d(0, 0, 0, 0)
    property var mapPeaks: []
    property var channelLevels: []
    property var spectrumLevels: []

    // Projects, Measurements and the file-system services.
    signal selectedMeasurementChanged()
    signal projectChanged()
    property bool hasProject: false
    property string projectName: ""
    property string projectPath: ""
    property string projectId: ""
    property var recentProjects: []
    property var measurements: []
    property int measurementCount: 0
    property int selectedMeasurementIndex: -1
    property bool hasSelectedMeasurement: false
    property string selectedMeasurementId: ""
    property string selectedMeasurementInfo: ""
    property string selectedMeasurementProfileInfo: ""
    property string selectedMeasurementProfileHash: ""
    property string selectedMeasurementGeometryHash: ""
    property string selectedMeasurementRawHash: ""
    property bool selectedMeasurementRawAvailable: false
    property string selectedAnalysisId: ""
    property string replayState: "Idle"
    property bool replayActive: false
    property bool canStartReplay: false
    property string startReplayBlocker: ""
    property string createAnalysisBlocker: ""
    property bool canPauseReplay: false
    property bool canStopReplay: false
    property bool replayPaused: false
    property real replayPositionSeconds: 0
    property real replayDurationSeconds: 0
    property string replayMeasurementId: ""
    property string replayMetrics: ""
    property string replayProfileInfo: ""
    property string selectedMeasurementVideoPath: ""
    property string selectedMeasurementVideoUrl: ""
    // The controller's own name for the position's change signal.
    signal replayPositionChanged()
    onReplayPositionSecondsChanged: replayPositionChanged()
    property bool recording: false
    property bool recordingFinalizing: false
    function browseDrives() { return [] }
    function browseListDir(path, filters) { return {ok: false} }
    function browseCreateDir(path, name) { return {ok: false} }
    function browseRenameDir(path, name) { return {ok: false} }
    property real peakAzimuth: 0
    property real peakElevation: 0
    property real peakLevelDbfs: 0
    property real mapSpanDb: 0
    property int mapVisiblePixels: 0
    property bool mapStale: false

    property string sessionState: "NoProfile"
    property bool busy: false
    property bool canStart: false
    property bool canStop: false
    property bool canStartRecording: false
    property bool canStopRecording: false
    property string recordingMeasurementId: ""
    property real recordingElapsedSeconds: 0
    property real recordingMaxDurationSeconds: 10
    property real recordingBytes: 0
    property bool recordingVideoActive: false
    property bool noiseCalibrating: false
    property real noiseCalibrationRemainingSeconds: 0
    property bool analysisBusy: false
    property real analysisProgress: 0
    property bool hasProfile: false
    property string profileInfo: ""
    property string source: "UDP"
    property string uiTheme: "abyss"
    property string uiLanguage: "zh_CN"
    property string statusText: ""

    // Diagnostic views.
    property string diagnosticSource: ""
    property int diagnosticRevision: 0
    property int diagnosticChannel: 0
    property int diagnosticChannelCount: 0
    property int diagnosticMeterPerRow: 8
    property string diagnosticSummary: ""
    property int diagnosticSilentChannels: -1
    property real diagnosticSpectrumBinHz: 0
    property real diagnosticWaterfallSpanS: 0
    property real diagnosticWaveformScaleAbs: 0
    property real spectrumNyquistHz: 0
    property int waveformMode: 0
    property real waveformWindowS: 0.5
    property real overlayWindowS: 0.05
    property int waterfallColormap: 0
    property var meterReadouts: []
    function meterReadout(channel) {
        record("meterReadout:" + channel)
        return channel >= 0 && channel < meterReadouts.length ? meterReadouts[channel] : ""
    }
    function setWaveformMode(mode) { record("setWaveformMode:" + mode); waveformMode = mode }
    function setWaveformWindowS(seconds) { record("setWaveformWindowS:" + seconds) }
    function setOverlayWindowS(seconds) { record("setOverlayWindowS:" + seconds) }
    function setWaterfallColormap(index) { record("setWaterfallColormap:" + index) }

    // Beamforming, band and map settings; setters record and leave the values alone, so a test sees
    // that the controls show the controller's values, not their own.
    property real frequency: 1000
    property real analysisFrequencyHz: 0
    property string algorithm: "01 DAS / Conventional"
    property var algorithmParameterFields: []
    property var parameterValues: ({})
    property int beamformingParameterRevision: 0
    property string frequencyBandMode: "1/3 octave"
    property bool canEditFrequencyBand: true
    property int focusDistanceIndex: 0
    property real csmTauSeconds: 0.5
    property bool diagonalRemoval: false
    property real airTemperatureC: 20
    property real speedOfSoundMps: 343.2
    property real confidenceThresholdDb: 0
    property real effectiveBandLowHz: 0
    property real effectiveBandHighHz: 0
    property int effectiveBinCount: 0
    property int mapParameterRevision: 0
    property bool canCalibrateNoise: false
    property bool noiseProfileValid: false
    property string noiseProfileInfo: ""
    property bool noiseSubtractionEnabled: false
    function setFrequency(hz) { record("setFrequency:" + hz) }
    function setAlgorithm(name) { record("setAlgorithm:" + name) }
    function setFrequencyBandMode(mode) { record("setFrequencyBandMode:" + mode) }
    function setFocusDistanceIndex(index) { record("setFocusDistanceIndex:" + index) }
    function setDiagonalRemoval(on) { record("setDiagonalRemoval:" + on) }
    function setAirTemperatureC(c) { record("setAirTemperatureC:" + c) }
    function setConfidenceThresholdDb(db) { record("setConfidenceThresholdDb:" + db) }
    function setDynamicRange(db) { record("setDynamicRange:" + db) }
    function setLevelGateDbfs(db) { record("setLevelGateDbfs:" + db) }
    // The maps of MUSIC, Auto-MUSIC, SRP-PHAT and the deconvolutions are shown relative to their peak.
    function algorithmHasAbsoluteLevels(name) {
        return ["05", "06", "08", "10", "11", "12", "13", "14"].indexOf(String(name).substring(0, 2)) < 0
    }
    function setHeatmapOpacity(a) { record("setHeatmapOpacity:" + a) }
    function setHeatmapColormap(index) { record("setHeatmapColormap:" + index) }
    function setHeatmapStyle(index) { record("setHeatmapStyle:" + index) }
    function setHeatmapScaleMode(mode) { record("setHeatmapScaleMode:" + mode) }
    function startNoiseCalibration() { record("startNoiseCalibration") }
    function setNoiseSubtractionEnabled(on) { record("setNoiseSubtractionEnabled:" + on) }
    function beamformingParameterValue(key) {
        return parameterValues.hasOwnProperty(key) ? parameterValues[key] : 0
    }
    function setBeamformingParameter(key, value) { record("setBeamformingParameter:" + key + "=" + value) }

    // Full Recompute, AnalysisRuns and the analysis window.
    signal pendingAnalysisChanged()
    signal selectedAnalysisChanged()
    signal analysisWindowChanged()
    property string analysisAlgorithm: "01 DAS / Conventional"
    property var analysisAlgorithmParameterFields: []
    property var analysisParameterValues: ({})
    property string analysisBandMode: "1/3 octave"
    property real analysisBandwidthHz: 2000
    property int analysisFrameSize: 256
    property int analysisHopSize: 128
    property real analysisGridStepDeg: 1
    property int analysisFocusIndex: 0
    property bool canCreateAnalysis: false
    property string analysisStatus: ""
    property var analysisRuns: []
    property int analysisRunCount: 0
    property int selectedAnalysisIndex: -1
    property bool hasSelectedAnalysis: false
    property string selectedAnalysisInfo: ""
    property string selectedAnalysisProvenance: ""
    property string selectedAnalysisAlgorithmParams: ""
    property string selectedAnalysisParameters: ""
    property bool hasPendingAnalysis: false
    property string pendingAnalysisInfo: ""
    property bool hasAnalysisWindow: false
    property string analysisWindowInfo: ""
    property real analysisWindowSeconds: 0
    property real analysisVideoFrameSeconds: 0
    property real analysisSpectrumNyquistHz: 0
    property int analysisSpectrumRevision: 0
    function analysisBeamformingParameterValue(key) {
        return analysisParameterValues.hasOwnProperty(key) ? analysisParameterValues[key] : 0
    }
    function setAnalysisBeamformingParameter(key, value) {
        record("setAnalysisBeamformingParameter:" + key + "=" + value)
    }
    function createFullRecomputeAnalysis() { record("createFullRecomputeAnalysis") }
    function selectAnalysisRun(index) { record("selectAnalysisRun:" + index) }
    function showAnalysisMap() { record("showAnalysisMap") }
    function savePendingAnalysis() { record("savePendingAnalysis") }
    function discardPendingAnalysis() { record("discardPendingAnalysis") }
    function exportSelectedAnalysis() { record("exportSelectedAnalysis") }
    function clearAnalysisWindow() { record("clearAnalysisWindow") }

    // Replay.
    function startSelectedMeasurementReplay() { record("startSelectedMeasurementReplay") }
    function setReplayPaused(paused) { record("setReplayPaused:" + paused) }
    function stopReplay() { record("stopReplay") }
    function seekReplay(seconds) { record("seekReplay:" + seconds) }
    function analyzeReplayPosition() { record("analyzeReplayPosition") }
    function openProjectFolder() { record("openProjectFolder") }

    function record(call) { calls = calls.concat([call]) }
    function startLive() { record("startLive") }
    function stopLive() { record("stopLive") }
    function startRecording() { record("startRecording") }
    function stopRecording() { record("stopRecording") }
    function cancelNoiseCalibration() { record("cancelNoiseCalibration") }
    function trimMemory() { record("trimMemory") }
    function setPlotPalette(palette) { lastPalette = palette; record("setPlotPalette") }
    function logMediaDiagnostic(message) { mediaLog = mediaLog.concat([message]) }
    function notifyVideoRecorderStarted() { record("notifyVideoRecorderStarted") }
    function notifyVideoRecorderStopped(path) { record("notifyVideoRecorderStopped:" + path) }
    function bindUvcCamera(id, name) { record("bindUvcCamera:" + id + "|" + name) }
    function unbindUvcCamera() { record("unbindUvcCamera") }

    // Device profile, source and the synthetic direction (Device page).
    property string profilePath: ""
    property string profilesDir: "/profiles"
    property bool canImportProfile: true
    property var profileGeometry: []
    property bool canChangeSource: true
    property bool canEditAcquisition: true
    property real azimuth: 0
    property real elevation: 0
    function importProfile(path) { record("importProfile:" + path) }
    function setSource(name) { record("setSource:" + name) }
    function setAzimuth(value) { record("setAzimuth:" + value) }
    function setElevation(value) { record("setElevation:" + value) }

    // Diagnostics, backup and the recording limit (Diagnostics and Settings pages).
    property var diagnosticRows: []
    property var eventLog: []
    property string lastDiagnosticsPath: ""
    property string lastBackupPath: ""
    function exportDiagnosticsBundle() { record("exportDiagnosticsBundle"); return "" }
    function openDiagnosticsFolder() { record("openDiagnosticsFolder") }
    function resetDefaults() { record("resetDefaults") }
    function backupNow() { record("backupNow"); return "" }
    function setRecordingMaxDurationSeconds(value) { record("setRecordingMaxDurationSeconds:" + value) }

    // Camera lists and UVC parameters (Camera page).
    property var cameraNames: []
    property var cameraIds: []
    property var cameraParameters: []
    property real profileCameraAspect: 0
    property string profileCameraResolution: ""
    function refreshCameraDevices() { record("refreshCameraDevices") }
    function setCameraMirror(enabled) { record("setCameraMirror:" + enabled) }
    function setCameraParameterAuto(key, autoMode) { record("setCameraParameterAuto:" + key + "=" + autoMode) }
    function previewCameraParameterValue(key, value) { record("previewCameraParameterValue:" + key + "=" + value) }
    function setCameraParameterValue(key, value) { record("setCameraParameterValue:" + key + "=" + value) }
    function resetCameraParameters() { record("resetCameraParameters") }
}
