import QtQml

// Why an action is disabled: one translated sentence per action, empty while it is enabled. A control
// shows it as its disabledReason under the pointer. Where the controller refuses an action, its rule
// decides (the can* flags, or the reasons it gives itself); the rules of the pages live here.
QtObject {
    readonly property bool liveBusy: ui.sessionState === "Starting" || ui.sessionState === "Running"
                                     || ui.sessionState === "Stopping"
    readonly property bool recordingBusy: ui.recording || ui.recordingFinalizing

    function startReplay() {
        return ui.startReplayBlocker
    }

    function createAnalysis() {
        return ui.createAnalysisBlocker
    }

    // The analysis form and its results hold still while a Full Recompute runs on them.
    function recomputing() {
        return ui.analysisBusy ? qsTr("Wait until the Full Recompute ends") : ""
    }

    function analyzeAtPosition() {
        if (ui.analysisBusy)
            return recomputing()
        return ui.replayActive ? "" : qsTr("Analyze at position needs an active Replay: start one first")
    }

    function startLive() {
        if (ui.canStart)
            return ""
        if (ui.sessionState === "Starting" || ui.sessionState === "Running")
            return qsTr("Live is running")
        if (ui.sessionState === "Stopping")
            return qsTr("Wait until Live has stopped")
        if (!ui.hasProfile)
            return qsTr("Import a validated Device Profile on the Device page first")
        if (ui.replayState !== "Idle")
            return qsTr("Stop the Replay before starting Live")
        if (recordingBusy)
            return qsTr("Wait until the Recording is saved")
        return ui.analysisBusy ? recomputing() : qsTr("Live cannot start in the current state")
    }

    function stopLive() {
        return ui.canStop ? "" : qsTr("Live is not running")
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

    // Defaults include the Device Profile in use, which changes only when a profile may be imported.
    function resetDefaults() {
        if (ui.canImportProfile)
            return ""
        return recordingBusy ? qsTr("Wait until the Recording is saved")
                             : qsTr("Stop Live before resetting the defaults")
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

    function frequencyBand() {
        if (ui.canEditFrequencyBand)
            return ""
        return ui.hasProfile ? qsTr("The band is set while Live is ready or running, or in a Replay")
                             : qsTr("Import a validated Device Profile on the Device page first")
    }

    // The level gate and the fixed dBFS scale act on levels in dBFS; a map shown relative to its peak has
    // none, whatever they are set to.
    function dbfsControls(absoluteLevels) {
        return absoluteLevels ? ""
                              : qsTr("This map is shown relative to its peak: the level gate and the fixed dBFS scale do not apply to it")
    }

    // A Project stays as it is while a Recording is written into it or a Replay reads from it.
    function changeProject() {
        if (ui.recording)
            return qsTr("Stop the Recording first")
        if (ui.recordingFinalizing)
            return qsTr("Wait until the Recording is saved")
        return ui.replayState === "Idle" ? "" : qsTr("Stop the Replay first")
    }

    function openRecentProject() {
        const blocker = changeProject()
        if (blocker !== "")
            return blocker
        return ui.recentProjects.length > 0 ? "" : qsTr("No recent Projects yet")
    }

    function refreshProject() {
        return ui.replayState === "Idle" ? "" : qsTr("Stop the Replay first")
    }

    // A Measurement's annotations and files stay as they are while a Replay reads it.
    function editMeasurement() {
        return ui.replayActive ? qsTr("Stop the Replay first") : ""
    }

    function deleteMeasurement() {
        if (ui.replayActive)
            return qsTr("Stop the Replay first")
        return ui.recording ? qsTr("Stop the Recording first") : ""
    }

    function moveReplay() {
        return ui.replayActive ? "" : qsTr("Start a Replay to move through it")
    }

    function pauseReplay() {
        return ui.canPauseReplay ? "" : qsTr("No Replay is playing")
    }

    function stopReplay() {
        return ui.canStopReplay ? "" : qsTr("No Replay is running")
    }

    function openProjectFolder() {
        return ui.hasProject ? "" : qsTr("Open or create a Project first")
    }

    function channels() {
        return ui.diagnosticChannelCount > 0 ? "" : qsTr("Channels are listed once Live runs")
    }

    // Serial actions wait for the one the array answers now, and go to the chosen port.
    function deviceAction() {
        if (deviceCtl.busy)
            return qsTr("Wait until the array answers: %1").arg(deviceCtl.busyLabel)
        return deviceCtl.canOperate ? "" : qsTr("Choose the serial port of the array first")
    }

    function deviceIdle() {
        return deviceCtl.busy ? qsTr("Wait until the array answers: %1").arg(deviceCtl.busyLabel) : ""
    }
}
