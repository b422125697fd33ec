import QtQuick

// Stands in for the controller: the properties and the signal that the module's items read.
QtObject {
    signal heatmapUpdated()

    property bool hasHeatmap: false
    property int heatmapColormap: 0
    property real dynamicRange: 30
    property real levelGateDbfs: -90
    property bool mapHasAbsoluteLevels: false
    property real mapPeakReferenceDbfs: 0
    property real fixedReferenceDbfs: -30
    property string heatmapScaleMode: "Auto peak"
    property int heatmapStyle: 0
    property real cameraOverlayThreshold: 0.35
    property real cameraOverlayAlpha: 0.5
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
    property bool recording: false
    property bool recordingFinalizing: false
    function browseDrives() { return [] }
    function browseListDir(path, filters) { return {ok: false} }
    function browseCreateDir(path, name) { return {ok: false} }
    function browseRenameDir(path, name) { return {ok: false} }
}
