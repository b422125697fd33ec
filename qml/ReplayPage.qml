import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QtMultimedia

// Plays back the selected Measurement: the controller recomputes map and diagnostics from the raw
// samples; the page keeps the Measurement's video in step with the replay clock.
Page {
    id: root

    // Whether this page is the workspace stack's current page; hidden pages request no images.
    readonly property bool pageActive: visible
    readonly property string replayState: ui.replayState

    ActionBlockers {
        id: blockers
    }

    // Start Replay disables itself when pressed: the keyboard moves on to Pause (to Stop until Pause is
    // ready) instead of being dropped.
    property bool focusToPause: false

    function passFocusOn() {
        if (!focusToPause)
            return
        // Parked: on Stop, or back on a scope around Start Replay that took the focus from it.
        let parked = stopReplayButton.activeFocus
        for (let at = startReplayButton; at && !parked; at = at.parent)
            parked = at === Window.activeFocusItem
        parked = parked || !Window.activeFocusItem
        if (pauseReplayButton.enabled && parked) {
            focusToPause = false
            pauseReplayButton.forceActiveFocus(Qt.TabFocusReason)
        } else if (stopReplayButton.enabled && parked && !stopReplayButton.activeFocus) {
            stopReplayButton.forceActiveFocus(Qt.TabFocusReason)
        }
    }

    function idleHint() {
        if (!ui.hasSelectedMeasurement)
            return qsTr("Select a Measurement, then Start Replay — recording integrity is verified before playback")
        const blocker = blockers.startReplay()
        return blocker !== "" ? blocker : qsTr("Start Replay — recording integrity is verified before playback")
    }

    function togglePlayPause() {
        if (ui.replayState === "Playing" || ui.replayState === "Paused")
            ui.setReplayPaused(!ui.replayPaused)
        else if (ui.canStartReplay)
            ui.startSelectedMeasurementReplay()
    }

    function syncVideo() {
        if (!replayCanvas.replayHasVideo)
            return
        syncPlayer(replayCanvas.replayPlayer)
    }

    // The video runs freely while the replay plays and is corrected only beyond 350 ms of drift;
    // paused or stopped it is held within 40 ms of the replay clock. Near its end it parks on a frame
    // just before the end, while the replay clock runs on.
    function syncPlayer(p) {
        if (!p)
            return
        const d = p.duration
        const t = ui.replayPositionSeconds * 1000
        if (d > 0 && t >= d - 80) {
            if (p.position < d - 120 || p.mediaStatus === MediaPlayer.EndOfMedia)
                p.setPosition(d - 120)
            p.pause()
            return
        }
        if (ui.replayState !== "Playing" || ui.replayPaused) {
            if (Math.abs(p.position - t) > 40)
                p.setPosition(t)
            p.pause()
            return
        }
        if (Math.abs(p.position - t) > 350)
            p.setPosition(t)
        if (p.playbackState !== MediaPlayer.PlayingState)
            p.play()
    }

    background: Rectangle {
        color: Theme.bg
    }

    Connections {
        target: ui
        function onReplayPositionChanged() { root.syncVideo() }
        function onReplayPausedChanged() { root.syncVideo() }
        function onReplayStateChanged() { root.syncVideo() }
    }

    Connections {
        target: replayCanvas.replayPlayer
        ignoreUnknownSignals: true
        function onErrorOccurred(error, errorString) {
            ui.logMediaDiagnostic("replay PLAYER ERROR " + error + ": " + errorString + " source="
                                  + replayCanvas.replayPlayer.source)
        }
        function onMediaStatusChanged(status) {
            ui.logMediaDiagnostic("replay mediaStatus -> " + status + " source="
                                  + replayCanvas.replayPlayer.source)
        }
    }

    Flickable {
        id: flick
        anchors.fill: parent
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        contentWidth: width
        // The column's margins above and below belong to the content, so its last row scrolls into sight.
        contentHeight: column.height + 28
        ScrollBar.vertical: PageScrollBar {}

        ColumnLayout {
            id: column
            x: 14
            y: 14
            width: flick.width - 28
            height: Math.max(implicitHeight, flick.height - 28)
            spacing: 12

            RowLayout {
                spacing: 12
                Layout.fillWidth: true
                Layout.fillHeight: true

                ColumnLayout {
                    spacing: 12
                    Layout.fillHeight: true
                    Layout.minimumWidth: 390
                    Layout.preferredWidth: 455
                    Layout.maximumWidth: 560

                    Rectangle {
                        objectName: "measurementCard"
                        Layout.fillWidth: true
                        implicitHeight: 82
                        color: Theme.surface
                        radius: Theme.radius
                        border.width: 1
                        border.color: Theme.border

                        RowLayout {
                            anchors.fill: parent
                            anchors.margins: 12
                            spacing: 10

                            Rectangle {
                                objectName: "stateDot"
                                implicitWidth: 10
                                implicitHeight: 10
                                radius: 5
                                color: root.replayState === "Playing" ? Theme.success
                                     : root.replayState === "Paused" ? Theme.warning
                                     : root.replayState === "Faulted" ? Theme.danger
                                     : Theme.muted
                            }
                            ColumnLayout {
                                spacing: 2
                                Layout.fillWidth: true
                                ElidedLabel {
                                    objectName: "measurementLine"
                                    Layout.fillWidth: true
                                    text: ui.hasSelectedMeasurement ? ui.selectedMeasurementId
                                                                    : qsTr("No Measurement selected")
                                    color: Theme.text
                                    font.bold: true
                                    font.pixelSize: Theme.fontBody
                                    elide: Text.ElideRight
                                }
                                ElidedLabel {
                                    objectName: "frozenLine"
                                    Layout.fillWidth: true
                                    text: ui.replayProfileInfo !== "" ? qsTr("Frozen: %1").arg(ui.replayProfileInfo)
                                                                      : qsTr("Frozen Profile loads on Start")
                                    color: Theme.muted
                                    font.pixelSize: Theme.fontCaption
                                    elide: Text.ElideRight
                                }
                            }
                            Rectangle {
                                objectName: "videoBadge"
                                visible: ui.hasSelectedMeasurement
                                implicitHeight: 24
                                implicitWidth: badgeText.implicitWidth + 16
                                radius: 12
                                color: Theme.surfaceAlt
                                border.width: 1
                                border.color: replayCanvas.replayHasVideo ? Theme.success : Theme.border
                                Label {
                                    id: badgeText
                                    objectName: "videoBadgeText"
                                    anchors.centerIn: parent
                                    text: replayCanvas.replayHasVideo ? qsTr("video track") : qsTr("audio only")
                                    color: replayCanvas.replayHasVideo ? Theme.success : Theme.muted
                                    font.pixelSize: Theme.fontCaption
                                }
                            }
                            Item {
                                Layout.fillWidth: true
                            }
                        }
                    }

                    // Under the Measurement it plays, so the transport and its reason line are in sight
                    // whenever the page opens, whatever the window's height.
                    ColumnLayout {
                        id: transportBar
                        objectName: "transportBar"
                        Layout.fillWidth: true
                        spacing: 10

                        RowLayout {
                            spacing: 10
                            Layout.fillWidth: true

                            ThemedSlider {
                                id: timelineSlider
                                objectName: "timelineSlider"
                                Layout.fillWidth: true
                                from: 0
                                to: Math.max(ui.replayDurationSeconds, 0.001)
                                enabled: ui.replayActive
                                disabledReason: blockers.moveReplay()
                                value: ui.replayPositionSeconds
                                // The dragged handle leaves the replay clock; on release it follows it again.
                                onPressedChanged: {
                                    if (pressed)
                                        value = value
                                    else
                                        value = Qt.binding(() => ui.replayPositionSeconds)
                                }
                                onMoved: ui.seekReplay(value)
                            }
                            Label {
                                objectName: "timelineLabel"
                                text: qsTr("%1 / %2 s")
                                      .arg((timelineSlider.pressed ? timelineSlider.value
                                                                   : ui.replayPositionSeconds).toFixed(2))
                                      .arg(ui.replayDurationSeconds.toFixed(2))
                                color: Theme.muted
                                font.pixelSize: Theme.fontCaption
                            }
                        }

                        Flow {
                            objectName: "transportRow"
                            Layout.fillWidth: true
                            spacing: 10

                            ThemedButton {
                                id: startReplayButton
                                objectName: "startReplayButton"
                                width: 150
                                text: root.replayState === "Finished" ? qsTr("Replay again") : qsTr("Start Replay")
                                enabled: ui.canStartReplay
                                disabledReason: blockers.startReplay()
                                onClicked: ui.startSelectedMeasurementReplay()
                                // The focus property outlives the active focus a disabled item loses.
                                onEnabledChanged: {
                                    root.focusToPause = !enabled && focus
                                    root.passFocusOn()
                                }
                            }
                            ThemedButton {
                                id: pauseReplayButton
                                objectName: "pauseReplayButton"
                                width: 120
                                text: ui.replayPaused ? qsTr("Resume") : qsTr("Pause")
                                enabled: ui.canPauseReplay
                                disabledReason: blockers.pauseReplay()
                                onClicked: ui.setReplayPaused(!ui.replayPaused)
                                onEnabledChanged: root.passFocusOn()
                            }
                            ThemedButton {
                                id: stopReplayButton
                                objectName: "stopReplayButton"
                                width: 120
                                text: qsTr("Stop")
                                enabled: ui.canStopReplay
                                disabledReason: blockers.stopReplay()
                                onClicked: ui.stopReplay()
                                onEnabledChanged: root.passFocusOn()
                            }
                            ThemedButton {
                                objectName: "openFolderButton"
                                width: 140
                                text: qsTr("Open project folder")
                                enabled: ui.hasProject
                                disabledReason: blockers.openProjectFolder()
                                onClicked: ui.openProjectFolder()
                            }
                            ThemedButton {
                                objectName: "analyzeButton"
                                width: 140
                                kind: 1
                                text: qsTr("Analyze at position")
                                enabled: ui.replayActive && !ui.analysisBusy
                                disabledReason: blockers.analyzeAtPosition()
                                // The Analysis page opens right after the request, finished or not.
                                onClicked: {
                                    ui.analyzeReplayPosition()
                                    window.currentWorkspace = 2
                                }
                            }
                        }

                        Rectangle {
                            objectName: "replayStatusStrip"
                            Layout.fillWidth: true
                            implicitHeight: 44
                            color: Theme.surface
                            radius: 8
                            border.width: 1
                            border.color: Theme.border

                            RowLayout {
                                anchors.fill: parent
                                anchors.leftMargin: 12
                                anchors.rightMargin: 12
                                spacing: 12

                                ElidedLabel {
                                    objectName: "replayStatusLabel"
                                    Layout.fillWidth: true
                                    text: root.replayState === "Idle" ? root.idleHint() : ui.replayMetrics
                                    elide: Text.ElideRight
                                    font.pixelSize: Theme.fontSmall
                                    color: root.replayState === "Faulted" ? Theme.dangerSoft : Theme.text
                                }
                                Label {
                                    text: qsTr("1.0x · frozen Profile")
                                    color: Theme.muted
                                    font.pixelSize: Theme.fontCaption
                                }
                            }
                        }
                    }

                    SignalDiagnostics {
                        objectName: "replaySignalDiagnostics"
                        Layout.fillWidth: true
                        Layout.fillHeight: true
                        expectedSource: "replay"
                        emptyHint: qsTr("Start Measurement Replay")
                        pageActive: root.pageActive
                    }
                }

                ColumnLayout {
                    spacing: 8
                    Layout.fillWidth: true
                    Layout.fillHeight: true

                    AlgorithmMapPanel {
                        objectName: "replayAlgorithmMapPanel"
                        shortWindow: Window.height > 0 && Window.height < 900
                        Layout.fillWidth: true
                        enabled: true
                        bandHint: qsTr("band edits recompute at the current replay position")
                        algorithmLocked: false
                        bandLocked: false
                    }

                    AcousticCanvas {
                        id: replayCanvas
                        objectName: "replayCanvas"
                        readonly property bool videoWanted: ui.replayActive
                                                            && ui.selectedMeasurementVideoPath !== ""
                        Layout.fillWidth: true
                        Layout.fillHeight: true
                        Layout.minimumHeight: 420
                        replayMode: true
                        expectedSource: "replay"
                        pageActive: root.pageActive
                        panelTitle: qsTr("Replay sound pressure map")
                        panelSubtitle: root.replayState === "Idle"
                                       ? qsTr("Start Replay to recompute from immutable raw")
                                       : qsTr("%1 · %2 · click map to play/pause").arg(ui.replayMeasurementId)
                                             .arg(window.replayStateText(root.replayState))
                        emptyPrimary: qsTr("Start Measurement Replay")
                        emptySecondary: qsTr("Replay recomputes the acoustic map from the recorded raw data")
                        replayHasVideo: videoWanted
                        replayVideoSource: videoWanted ? ui.selectedMeasurementVideoUrl : ""
                        onViewportClicked: root.togglePlayPause()
                    }
                }
            }
        }
    }
}
