import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QtQuick.Window

ApplicationWindow {
    id: window

    property int currentWorkspace: 0
    property var appCamera: cameraChain.camera
    property var appMediaDevices: cameraChain.mediaDevices

    // Sidebar order, top to bottom; `index` is the page's place in the stack and `names` are the
    // words "--workspace" accepts for it.
    readonly property var workspaces: [
        {label: qsTr("Device"), index: 5, names: ["device"], needsMeasurement: false},
        {label: qsTr("Project"), index: 1, names: ["project", "measurements"], needsMeasurement: false},
        {label: qsTr("Camera"), index: 3, names: ["camera"], needsMeasurement: false},
        {label: qsTr("Live"), index: 0, names: ["live"], needsMeasurement: false},
        {label: qsTr("Replay"), index: 4, names: ["replay"], needsMeasurement: true},
        {label: qsTr("Analysis"), index: 2, names: ["analysis"], needsMeasurement: true},
        {label: qsTr("Diagnostics"), index: 6, names: ["diagnostics"], needsMeasurement: false},
        {label: qsTr("Settings"), index: 7, names: ["settings"], needsMeasurement: false}
    ]

    // A smaller screen gets a window that fits it; before a screen is known the full size holds.
    width: Screen.desktopAvailableWidth > 0 ? Math.min(1680, Screen.desktopAvailableWidth) : 1680
    height: Screen.desktopAvailableHeight > 0 ? Math.min(1000, Screen.desktopAvailableHeight) : 1000
    visible: true
    // A laptop's 1280 x 800 screen still holds every page whole.
    minimumWidth: Math.min(1280, Screen.desktopAvailableWidth)
    minimumHeight: Math.min(800, Screen.desktopAvailableHeight)
    title: qsTr("Sorvanta Studio v%1").arg(Qt.application.version)
    color: Theme.bg

    function sessionStateText(state) {
        switch (state) {
        case "NoProfile": return qsTr("No profile")
        case "Ready": return qsTr("Ready")
        case "Starting": return qsTr("Starting")
        case "Running": return qsTr("Running")
        case "Stopping": return qsTr("Stopping")
        case "Faulted": return qsTr("Faulted")
        default: return state
        }
    }

    function replayStateText(state) {
        switch (state) {
        case "Loading": return qsTr("Loading")
        case "Playing": return qsTr("Playing")
        case "Paused": return qsTr("Paused")
        case "Finished": return qsTr("Finished")
        case "Faulted": return qsTr("Faulted")
        case "Idle": return qsTr("Idle")
        default: return state
        }
    }

    // Stack index of a "--workspace" name, -1 for a name not in the table.
    function workspaceIndex(name) {
        for (const entry of workspaces) {
            if (entry.names.indexOf(name) >= 0)
                return entry.index
        }
        return -1
    }

    function applyStartupOptions(args) {
        const at = args.indexOf("--workspace")
        if (at >= 0 && at + 1 < args.length) {
            workspaceArgTimer.workspace = args[at + 1]
            workspaceArgTimer.start()
        }
        if (args.indexOf("--open-camera") >= 0)
            cameraOpenTimer.start()
    }

    function pushPlotPalette() {
        ui.setPlotPalette({
            bg: String(Theme.plotBg),
            grid: String(Theme.plotGrid),
            axis: String(Theme.plotAxis),
            fg: String(Theme.plotFg),
            waveform: String(Theme.plotWaveform),
            waveformDim: String(Theme.plotWaveformDim),
            spectrum: String(Theme.plotSpectrum),
            cursor: String(Theme.plotCursor),
            waterfallBg: String(Theme.plotWaterfallBg)
        })
    }

    ActionBlockers {
        id: blockers
    }

    FocusScroller {
        id: focusScroller
        stack: pages
    }

    // Deferred: the focus may land in an item its layout has not placed yet.
    onActiveFocusItemChanged: Qt.callLater(() => focusScroller.reveal(window.activeFocusItem))
    // A hidden item keeps the keyboard: when a switch hides the focused one (a page's action that opens
    // another workspace), the new workspace's entry takes the keyboard instead.
    onCurrentWorkspaceChanged: Qt.callLater(() => {
        const focused = window.activeFocusItem
        if (focused && !focused.visible) {
            for (let i = 0; i < navRepeater.count; ++i) {
                if (navRepeater.itemAt(i).workspaceIndex === window.currentWorkspace)
                    navRepeater.itemAt(i).forceActiveFocus(Qt.TabFocusReason)
            }
        }
    })

    Component.onCompleted: {
        Theme.themeId = ui.uiTheme
        pushPlotPalette()
        applyStartupOptions(Qt.application.arguments)
    }

    Connections {
        target: Theme
        function onThemeIdChanged() { window.pushPlotPalette() }
    }

    Timer {
        id: workspaceArgTimer
        objectName: "workspaceArgTimer"
        property string workspace: ""
        interval: 100
        onTriggered: {
            const index = window.workspaceIndex(workspace)
            if (index >= 0)
                window.currentWorkspace = index
        }
    }

    Timer {
        id: cameraOpenTimer
        objectName: "cameraOpenTimer"
        interval: 800
        onTriggered: cameraChain.open()
    }

    Timer {
        id: languageClickProbe
        objectName: "languageClickProbe"
        interval: 1200
        running: Qt.application.arguments.indexOf("--language-click-probe") >= 0
        onTriggered: {
            languageCombo.popup.open()
            languageClickStep.start()
        }
    }

    Timer {
        id: languageClickStep
        objectName: "languageClickStep"
        interval: 400
        onTriggered: {
            const item = languageCombo.popup.contentItem.itemAtIndex(0)
            ui.logMediaDiagnostic("language probe clicking delegate 0 item=" + item)
            if (item)
                item.clicked()
        }
    }

    component NavButton: Button {
        id: navButton

        property int workspaceIndex: 0
        // Why the workspace cannot be opened, shown under the pointer as the themed controls show theirs.
        property string disabledReason: ""
        readonly property bool current: window.currentWorkspace === workspaceIndex

        Layout.fillWidth: true
        implicitHeight: 40
        leftPadding: 0
        rightPadding: 0
        onClicked: window.currentWorkspace = workspaceIndex
        Keys.onReturnPressed: clicked()
        Keys.onEnterPressed: clicked()
        ToolTip.visible: hovered && !enabled && disabledReason !== "" && Window.window !== null
        ToolTip.text: disabledReason

        contentItem: Text {
            text: navButton.text
            leftPadding: 14
            verticalAlignment: Text.AlignVCenter
            font.pixelSize: sidebar.navPixelSize
            font.bold: navButton.current
            color: navButton.current ? Theme.text : navButton.enabled ? Theme.muted : Theme.border
        }

        background: Rectangle {
            radius: 8
            // Keyboard focus outlines the entry in the accent colour.
            border.width: navButton.visualFocus ? 2 : 0
            border.color: Theme.accent
            color: navButton.current ? Theme.surfaceAlt
                 : navButton.hovered && navButton.enabled
                   ? Qt.rgba(Theme.surfaceAlt.r, Theme.surfaceAlt.g, Theme.surfaceAlt.b, 0.5)
                   : "transparent"

            Rectangle {
                visible: navButton.current
                width: 3
                radius: 2
                color: Theme.accent
                anchors.left: parent.left
                anchors.leftMargin: 3
                anchors.top: parent.top
                anchors.topMargin: 9
                anchors.bottom: parent.bottom
                anchors.bottomMargin: 9
            }
        }
    }

    header: Rectangle {
        implicitHeight: 72
        color: Theme.surface
        border.color: Theme.border

        RowLayout {
            // A laptop's narrower header packs tighter, so the Project name keeps room beside the pills.
            readonly property bool narrow: window.width < 1500
            anchors.fill: parent
            anchors.leftMargin: 20
            anchors.rightMargin: 20
            spacing: narrow ? 10 : 14

            Label {
                text: qsTr("Sorvanta Studio")
                font.bold: true
                font.pixelSize: parent.narrow ? Theme.fontTitle : Theme.fontDisplay
                color: Theme.text
            }
            Label {
                text: "v" + Qt.application.version
                font.pixelSize: Theme.fontSubhead
                color: Theme.muted
                Layout.alignment: Qt.AlignBottom
                Layout.bottomMargin: 8
            }
            Rectangle {
                implicitWidth: 1
                implicitHeight: 28
                color: Theme.border
            }
            // The Project line gives way first, so the controls on its right always show; squeezed by the
            // pills of a Recording or a Replay it takes a smaller size and a second line before it elides.
            ColumnLayout {
                spacing: 1
                Layout.fillWidth: true
                Layout.minimumWidth: 60
                // Rounded up: the layout places whole pixels, and a width a fraction short elides the line.
                Layout.maximumWidth: Math.ceil(Math.max(projectCaption.implicitWidth, projectNameMetrics.advanceWidth)) + 2
                Label {
                    id: projectCaption
                    text: qsTr("PROJECT")
                    font.bold: true
                    font.pixelSize: Theme.fontCaption
                    color: Theme.muted
                }
                FittedText {
                    id: projectLine
                    objectName: "projectLine"
                    Layout.fillWidth: true
                    text: ui.hasProject ? ui.projectName : qsTr("No project open")
                    basePixelSize: Theme.fontBody
                    minimumPixelSize: Theme.fontSmall
                    color: Theme.text
                }
                TextMetrics {
                    id: projectNameMetrics
                    font.pixelSize: Theme.fontBody
                    text: projectLine.text
                }
            }
            Item {
                Layout.fillWidth: true
            }
            // Gives way next, so the pills and the language and theme combos keep their room.
            ColumnLayout {
                spacing: 1
                Layout.fillWidth: true
                Layout.minimumWidth: 80
                Layout.maximumWidth: Math.min(380, Math.ceil(profileLine.implicitWidth))
                ElidedLabel {
                    id: profileLine
                    objectName: "profileLine"
                    text: ui.hasProfile ? ui.profileInfo : qsTr("No Device Profile")
                    font.pixelSize: Theme.fontCaption
                    color: Theme.muted
                    elide: Text.ElideRight
                    horizontalAlignment: Text.AlignRight
                    Layout.fillWidth: true
                    Layout.alignment: Qt.AlignRight
                }
                Label {
                    objectName: "sourceLine"
                    text: ui.source
                    font.pixelSize: Theme.fontSmall
                    color: Theme.text
                    horizontalAlignment: Text.AlignRight
                    Layout.alignment: Qt.AlignRight
                }
            }

            Rectangle {
                objectName: "analysisPill"
                visible: ui.analysisBusy
                implicitHeight: 32
                implicitWidth: analysisStateLabel.implicitWidth + 24
                radius: 16
                color: Theme.surfaceAlt
                border.color: Theme.accent
                Label {
                    id: analysisStateLabel
                    anchors.centerIn: parent
                    text: qsTr("Analysis · %1%").arg(Math.round(ui.analysisProgress * 100))
                    font.bold: true
                    font.pixelSize: Theme.fontSmall
                    color: Theme.accent
                }
            }
            Rectangle {
                objectName: "replayPill"
                readonly property bool faulted: ui.replayState === "Faulted"
                visible: ui.replayState !== "Idle"
                implicitHeight: 32
                implicitWidth: replayStateLabel.implicitWidth + 24
                radius: 16
                color: Theme.surfaceAlt
                border.color: faulted ? Theme.danger : Theme.accent
                Label {
                    id: replayStateLabel
                    anchors.centerIn: parent
                    text: qsTr("Replay · %1").arg(window.replayStateText(ui.replayState))
                    font.bold: true
                    font.pixelSize: Theme.fontSmall
                    color: parent.faulted ? Theme.dangerSoft : Theme.accent
                }
            }
            Rectangle {
                objectName: "recordingPill"
                visible: ui.recording || ui.recordingFinalizing
                implicitHeight: 32
                implicitWidth: recordingLabel.implicitWidth + 24
                radius: 16
                color: Theme.surfaceAlt
                border.color: ui.recording ? Theme.danger : Theme.warning
                Label {
                    id: recordingLabel
                    anchors.centerIn: parent
                    text: ui.recording ? qsTr("● REC") : qsTr("Saving...")
                    font.bold: true
                    font.pixelSize: Theme.fontSmall
                    color: ui.recording ? Theme.dangerSoft : Theme.warning
                }
            }
            Rectangle {
                objectName: "sessionPill"
                readonly property bool running: ui.sessionState === "Running"
                readonly property bool faulted: ui.sessionState === "Faulted"
                implicitHeight: 32
                implicitWidth: stateLabel.implicitWidth + 24
                radius: 16
                color: Theme.surfaceAlt
                border.color: running ? Theme.success : faulted ? Theme.danger : Theme.border
                Label {
                    id: stateLabel
                    anchors.centerIn: parent
                    text: window.sessionStateText(ui.sessionState)
                    font.bold: true
                    font.pixelSize: Theme.fontSmall
                    color: parent.running ? Theme.success : parent.faulted ? Theme.dangerSoft : Theme.text
                }
            }

            Rectangle {
                implicitWidth: 1
                implicitHeight: 28
                color: Theme.border
            }
            Label {
                text: qsTr("Language")
                font.pixelSize: Theme.fontSmall
                color: Theme.muted
            }
            ThemedCombo {
                id: languageCombo
                objectName: "languageCombo"
                Layout.preferredWidth: 104
                model: ["en", "zh_CN", "ja_JP"]
                currentIndex: Math.max(0, model.indexOf(ui.uiLanguage))
                onActivated: index => {
                    const code = model[index]
                    Qt.callLater(() => {
                        ui.uiLanguage = code
                        i18n.setLanguage(code)
                        // Shows what the controller kept, also when it kept its old value.
                        languageCombo.currentIndex = Qt.binding(
                            () => Math.max(0, languageCombo.model.indexOf(ui.uiLanguage)))
                    })
                }
            }
            Label {
                text: qsTr("Theme")
                font.pixelSize: Theme.fontSmall
                color: Theme.muted
            }
            ThemedCombo {
                id: themeCombo
                objectName: "themeCombo"
                Layout.preferredWidth: 128
                model: Theme.themeOrder
                textMapper: key => Theme.themeNames[key]
                currentIndex: Math.max(0, Theme.themeOrder.indexOf(Theme.themeId))
                onActivated: index => {
                    const key = Theme.themeOrder[index]
                    Qt.callLater(() => {
                        Theme.themeId = key
                        ui.uiTheme = Theme.themeId
                    })
                }
            }
        }
    }

    RowLayout {
        id: mainContentRow
        anchors.fill: parent
        spacing: 0
        // Holds the keyboard until the user tabs on, so the scrolling keys reach the shown page.
        focus: true
        Keys.onPressed: event => {
            if (event.modifiers === Qt.NoModifier || event.modifiers === Qt.KeypadModifier)
                event.accepted = focusScroller.scrollByKey(event.key, window.activeFocusItem)
        }

        Rectangle {
            id: sidebar

            // One size for every workspace name: the largest at which the longest, in bold, fits.
            readonly property int navTextWidth: width - 24 - 14 - 2
            readonly property int navPixelSize: {
                const sizes = [Theme.fontBody, Theme.fontSubhead, Theme.fontSmall, Theme.fontCaption]
                const metrics = [navMetricsBody, navMetricsSubhead, navMetricsSmall, navMetricsCaption]
                for (let i = 0; i < sizes.length; ++i) {
                    if (window.workspaces.every(w => Math.ceil(metrics[i].advanceWidth(w.label)) <= navTextWidth))
                        return sizes[i]
                }
                return Theme.fontCaption
            }

            FontMetrics { id: navMetricsBody; font.bold: true; font.pixelSize: Theme.fontBody }
            FontMetrics { id: navMetricsSubhead; font.bold: true; font.pixelSize: Theme.fontSubhead }
            FontMetrics { id: navMetricsSmall; font.bold: true; font.pixelSize: Theme.fontSmall }
            FontMetrics { id: navMetricsCaption; font.bold: true; font.pixelSize: Theme.fontCaption }

            objectName: "sidebar"
            Layout.preferredWidth: 120
            Layout.fillHeight: true
            color: Theme.surface
            border.color: Theme.border

            ColumnLayout {
                anchors.fill: parent
                anchors.margins: 12
                spacing: 8

                Label {
                    text: qsTr("WORKSPACE")
                    font.bold: true
                    font.pixelSize: Theme.fontCaption
                    color: Theme.muted
                    Layout.fillWidth: true
                    Layout.leftMargin: 10
                    Layout.topMargin: 8
                }

                Repeater {
                    id: navRepeater
                    model: window.workspaces
                    delegate: NavButton {
                        required property var modelData
                        objectName: "nav_" + modelData.names[0]
                        text: modelData.label
                        workspaceIndex: modelData.index
                        enabled: !modelData.needsMeasurement || ui.hasSelectedMeasurement
                        disabledReason: modelData.needsMeasurement ? blockers.measurementWorkspace() : ""
                    }
                }

                Item {
                    Layout.fillHeight: true
                }

                ColumnLayout {
                    objectName: "sessionControls"
                    visible: window.currentWorkspace === 0
                    Layout.fillWidth: true
                    spacing: 6

                    RowLayout {
                        spacing: 8
                        Rectangle {
                            objectName: "sessionDot"
                            implicitWidth: 9
                            implicitHeight: 9
                            radius: 5
                            color: ui.sessionState === "Running" ? Theme.success
                                 : ui.sessionState === "Faulted" ? Theme.danger
                                 : ui.hasProfile ? Theme.accent : Theme.muted
                        }
                        Label {
                            text: window.sessionStateText(ui.sessionState)
                            font.pixelSize: Theme.fontCaption
                            color: Theme.muted
                        }
                    }
                    ThemedButton {
                        objectName: "startButton"
                        Layout.fillWidth: true
                        kind: 4
                        text: ui.busy ? qsTr("Working…") : qsTr("Start")
                        enabled: ui.canStart
                        disabledReason: blockers.startLive()
                        onClicked: ui.startLive()
                    }
                    ThemedButton {
                        objectName: "stopButton"
                        Layout.fillWidth: true
                        kind: 3
                        text: qsTr("Stop")
                        enabled: ui.canStop
                        disabledReason: blockers.stopLive()
                        onClicked: ui.stopLive()
                    }
                    ThemedButton {
                        objectName: "recordButton"
                        Layout.fillWidth: true
                        kind: 2
                        text: ui.recording ? qsTr("Stop & save")
                            : ui.recordingFinalizing ? qsTr("Saving…") : qsTr("Record")
                        enabled: ui.canStopRecording || ui.canStartRecording
                        disabledReason: blockers.record()
                        onClicked: ui.recording ? ui.stopRecording() : ui.startRecording()
                    }
                }

                Rectangle {
                    Layout.fillWidth: true
                    implicitHeight: deviceSummary.implicitHeight + 24
                    radius: 9
                    color: Theme.surfaceAlt
                    border.color: Theme.border

                    Column {
                        id: deviceSummary
                        anchors.left: parent.left
                        anchors.right: parent.right
                        anchors.leftMargin: 8
                        anchors.rightMargin: 8
                        anchors.verticalCenter: parent.verticalCenter
                        spacing: 4

                        Label {
                            width: parent.width
                            text: qsTr("DEVICE CONTRACT")
                            wrapMode: Text.WordWrap
                            font.bold: true
                            font.pixelSize: Theme.fontCaption
                            color: Theme.muted
                        }
                        // Broken between words (a profile id after its hyphens), never inside one; on a
                        // laptop's short screen its fifth line would pass the window's bottom.
                        ElidedLabel {
                            objectName: "deviceSummaryText"
                            width: parent.width
                            text: ui.hasProfile ? ui.profileInfo : qsTr("No validated profile")
                            wrapMode: Text.WordWrap
                            maximumLineCount: 4
                            elide: Text.ElideRight
                            font.pixelSize: Theme.fontCaption
                            color: ui.hasProfile ? Theme.text : Theme.muted
                        }
                    }
                }
            }
        }

        StackLayout {
            id: pages
            objectName: "pages"
            Layout.fillWidth: true
            Layout.fillHeight: true
            currentIndex: window.currentWorkspace

            AcquisitionPage {
                id: acquisitionPage
                objectName: "acquisitionPage"
            }
            MeasurementsPage { objectName: "measurementsPage" }
            AnalysisPage { objectName: "analysisPage" }
            CameraPage {
                id: cameraPage
                objectName: "cameraPage"
            }
            ReplayPage { objectName: "replayPage" }
            DevicePage { objectName: "devicePage" }
            DiagnosticsPage { objectName: "diagnosticsPage" }
            SettingsPage { objectName: "settingsPage" }
        }
    }

    Dialog {
        id: noiseCalibrationDialog
        objectName: "noiseCalibrationDialog"
        modal: true
        anchors.centerIn: Overlay.overlay
        closePolicy: Popup.NoAutoClose
        standardButtons: Dialog.NoButton
        padding: 16
        visible: ui.noiseCalibrating

        background: Rectangle {
            radius: Theme.radius
            color: Theme.surface
            border.color: Theme.border
        }

        header: Label {
            text: qsTr("Background calibration")
            font.bold: true
            font.pixelSize: Theme.fontTitle
            color: Theme.text
            padding: 12
        }

        contentItem: ColumnLayout {
            spacing: 12
            Label {
                text: qsTr("Calibration in progress - please keep the on-site environment stable")
                wrapMode: Text.Wrap
                Layout.maximumWidth: 380
                font.pixelSize: Theme.fontBody
                color: Theme.text
            }
            Label {
                objectName: "calibrationRemaining"
                text: qsTr("%1 s remaining").arg(ui.noiseCalibrationRemainingSeconds.toFixed(1))
                font.bold: true
                font.pixelSize: Theme.fontHero
                color: Theme.accent
                Layout.alignment: Qt.AlignHCenter
            }
            ThemedButton {
                objectName: "cancelCalibrationButton"
                text: qsTr("Cancel")
                Layout.alignment: Qt.AlignHCenter
                onClicked: ui.cancelNoiseCalibration()
            }
        }
    }


    // The one camera of the application, its feed into the filter chain and its recorder.
    CameraChain {
        id: cameraChain
    }
}
