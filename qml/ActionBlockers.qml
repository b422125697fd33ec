import QtQml

// Why an action the controller would refuse is disabled: one translated sentence per action, empty
// while it is enabled. A disabled control shows it in its tooltip under the pointer.
QtObject {
    readonly property bool liveBusy: ui.sessionState === "Starting" || ui.sessionState === "Running"
                                     || ui.sessionState === "Stopping"
    readonly property bool recordingBusy: ui.recording || ui.recordingFinalizing

    // In the order the controller refuses a Replay.
    function startReplay() {
        if (ui.canStartReplay)
            return ""
        if (liveBusy)
            return qsTr("Stop Live before starting Measurement Replay")
        if (!ui.hasSelectedMeasurement)
            return qsTr("Select a Measurement, then Start Replay")
        if (ui.replayActive)
            return qsTr("A Replay is running: stop it first")
        if (!ui.selectedMeasurementRawAvailable)
            return qsTr("The raw recording of this Measurement is missing")
        if (recordingBusy)
            return qsTr("Wait until the Recording is saved")
        if (ui.analysisBusy)
            return qsTr("Wait until the Full Recompute ends")
        return ""
    }

    function analyzeAtPosition() {
        if (ui.analysisBusy)
            return qsTr("Wait until the Full Recompute ends")
        return ui.replayActive ? "" : qsTr("Analyze at position needs an active Replay: start one first")
    }

    function record() {
        if (ui.canStartRecording || ui.canStopRecording)
            return ""
        if (ui.recordingFinalizing)
            return qsTr("Wait until the Recording is saved")
        if (ui.sessionState !== "Running")
            return qsTr("Start Live before Recording")
        return ui.hasProject ? "" : qsTr("Open or create a Project before Recording")
    }

    function calibrateNoise() {
        if (ui.canCalibrateNoise || ui.noiseCalibrating)
            return ""
        if (ui.replayActive)
            return qsTr("Background noise is calibrated from Live: stop the Replay and start Live")
        if (recordingBusy)
            return qsTr("Calibrate before or after a Recording, not during it")
        return ui.sessionState === "Running" ? "" : qsTr("Start Live to calibrate the background noise")
    }

    // The Replay and Analysis workspaces work on the selected Measurement.
    function measurementWorkspace() {
        return ui.hasSelectedMeasurement ? "" : qsTr("Select a Measurement on the Project page first")
    }

    function importProfile() {
        if (ui.canImportProfile)
            return ""
        return recordingBusy ? qsTr("Wait until the Recording is saved")
                             : qsTr("Stop Live before importing a Device Profile")
    }

    // The source and the synthetic source's direction are fixed while a session reads from them.
    function changeSource() {
        if (ui.canChangeSource)
            return ""
        if (ui.replayActive)
            return qsTr("Stop the Replay before changing the source")
        return recordingBusy && !liveBusy ? qsTr("Wait until the Recording is saved")
                                          : qsTr("Stop Live before changing the source")
    }
}
