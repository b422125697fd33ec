import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// The selected Measurement's AnalysisRuns, the map of the selected or the unsaved result over the
// Measurement's video, the spectrum of the analysis window and the Full Recompute form. Every control
// shows the controller's value and writes through it; the page keeps only whether the advanced
// parameters are shown.
Page {
    id: root

    property bool showAdvanced: false

    // The StackLayout shows only its current page.
    readonly property bool pageActive: visible
    readonly property var algorithmNames: ["01 DAS / Conventional", "02 Functional", "03 MVDR / Capon",
        "04 Robust Capon", "05 MUSIC", "06 Auto-MUSIC", "07 Orthogonal", "08 SRP-PHAT", "09 CLEAN-SC",
        "10 DAMAS", "11 DAMAS-FISTA", "12 NNLS", "13 Sparse-FISTA", "14 SBL / ARD"]
    readonly property var bandModes: ["Single", "1/3 octave", "Custom"]
    readonly property var windowChoices: [0, 0.5, 1, 2, 5]
    readonly property var focusNames: ["far field", "1 m", "3 m", "5 m", "10 m"]
    readonly property var styleValues: ["fill", "contour", "contourFill", "peakCross"]
    readonly property var scaleValues: ["Auto peak", "Fixed dBFS"]

    ActionBlockers {
        id: blockers
    }

    component Caption: Label {
        color: Theme.muted
        font.pixelSize: Theme.fontTiny
        font.bold: true
    }

    component SmallText: ElidedLabel {
        Layout.fillWidth: true
        color: Theme.muted
        font.pixelSize: Theme.fontSmall
        wrapMode: Text.WordWrap
    }

    // Live and an active Replay draw into the one map the controller holds; a selected run or unsaved
    // result waits for it and shows as soon as it is free.
    readonly property string mapHolder: ui.sessionState === "Starting" || ui.sessionState === "Running"
                                        || ui.sessionState === "Stopping" ? "live"
                                      : ui.replayActive ? "replay" : ""
    readonly property bool analysisMapWanted: ui.hasPendingAnalysis || ui.hasSelectedAnalysis
    // Whether the map the display settings act on is in dBFS: the shown result's, else the next run's.
    readonly property bool shownLevelsAbsolute: ui.hasHeatmap && ui.mapSource === "analysis"
                                                ? ui.mapHasAbsoluteLevels
                                                : ui.algorithmHasAbsoluteLevels(ui.analysisAlgorithm)
    readonly property string wantedRunName: ui.hasPendingAnalysis ? qsTr("the unsaved result") : ui.selectedAnalysisId

    function showAnalysisMapWhenFree() {
        if (pageActive && analysisMapWanted && mapHolder === "" && !(ui.hasHeatmap && ui.mapSource === "analysis"))
            ui.showAnalysisMap()
    }

    onMapHolderChanged: showAnalysisMapWhenFree()
    onPageActiveChanged: showAnalysisMapWhenFree()

    function emptyMapText() {
        if (!ui.hasSelectedMeasurement)
            return qsTr("Select a Measurement")
        if (!analysisMapWanted)
            return qsTr("Create or select an AnalysisRun")
        if (mapHolder === "live")
            return qsTr("Live holds the map: %1 shows as soon as Live stops").arg(wantedRunName)
        if (mapHolder === "replay")
            return qsTr("The Replay holds the map: %1 shows as soon as it stops").arg(wantedRunName)
        return qsTr("%1 has no saved map").arg(wantedRunName)
    }

    // The stored mode word is data; the two modes the system writes are shown translated.
    function recomputeModeText(mode) {
        if (!mode)
            return qsTr("legacy run")
        return mode === "full" ? qsTr("full recompute")
             : mode === "fast" ? qsTr("fast recompute") : qsTr("%1 recompute").arg(mode)
    }

    // A run keeps its level in its unit; one saved without it shows its relative peak as before.
    function peakLevelText(run) {
        const level = Number(run.peakLevel).toFixed(1)
        return run.peakLevelUnit === "dBFS" ? qsTr("%1 dBFS").arg(level)
             : run.peakLevelUnit === "dB re peak" ? qsTr("%1 dB re peak").arg(level)
             : qsTr("%1 dB").arg(Number(run.peakDb).toFixed(1))
    }

    function windowIndex(seconds) {
        for (let i = 0; i < windowChoices.length; ++i) {
            if (Math.abs(windowChoices[i] - seconds) < 1e-9)
                return i
        }
        return 0
    }

    function windowText(seconds) {
        return seconds === 0 ? qsTr("Auto (3τ)") : seconds + " s"
    }

    function frameIndex(size) {
        return size === 1024 ? 2 : size === 512 ? 1 : 0
    }

    // The Measurement's video held at the frame of the analysis window, never in its last 80 ms.
    function syncAnalysisFrame() {
        if (!analysisCanvas.replayHasVideo)
            return
        const player = analysisCanvas.replayPlayer
        if (!player)
            return
        let ms = ui.analysisVideoFrameSeconds * 1000
        const d = player.duration
        if (d > 0 && ms >= d - 80)
            ms = Math.max(0, d - 120)
        if (Math.abs(player.position - ms) > 40)
            player.position = ms
        player.pause()
    }

    background: Rectangle { color: Theme.bg }

    Connections {
        target: ui
        function onPendingAnalysisChanged() { root.syncAnalysisFrame() }
        function onSelectedAnalysisChanged() { root.syncAnalysisFrame() }
        function onAnalysisWindowChanged() { root.syncAnalysisFrame() }
        function onSelectedMeasurementChanged() { root.syncAnalysisFrame() }
    }

    Connections {
        target: analysisCanvas.replayPlayer
        ignoreUnknownSignals: true
        function onDurationChanged() { root.syncAnalysisFrame() }
        function onErrorOccurred(error, errorString) {
            const player = analysisCanvas.replayPlayer
            ui.logMediaDiagnostic("analysis PLAYER ERROR " + error + ": " + errorString
                                  + " source=" + (player ? player.source : ""))
        }
    }

    RowLayout {
        id: pageRow
        anchors.fill: parent
        anchors.margins: 16
        spacing: 14

        ColumnLayout {
            Layout.fillHeight: true
            Layout.minimumWidth: 300
            Layout.maximumWidth: 380
            Layout.preferredWidth: 340
            spacing: 12

            UiPanel {
                objectName: "measurementInputPanel"
                Layout.fillWidth: true
                title: qsTr("Measurement input")
                subtitle: ui.hasSelectedMeasurement ? ui.selectedMeasurementId : qsTr("Select one in Measurements")

                Label {
                    objectName: "measurementInfo"
                    Layout.fillWidth: true
                    wrapMode: Text.WordWrap
                    text: ui.hasSelectedMeasurement ? ui.selectedMeasurementInfo
                                                    : qsTr("Analysis always starts from an immutable Measurement.")
                    color: ui.hasSelectedMeasurement ? Theme.text : Theme.muted
                }
                SmallText {
                    visible: ui.hasSelectedMeasurement
                    text: qsTr("Frozen: %1").arg(ui.selectedMeasurementProfileInfo)
                }
            }

            Card {
                Layout.fillWidth: true
                Layout.fillHeight: true
                // Sized by the column, never by its own list.
                Layout.preferredWidth: 340
                Layout.preferredHeight: 300

                ColumnLayout {
                    anchors.fill: parent
                    spacing: 8

                    RowLayout {
                        Layout.fillWidth: true
                        Caption { text: qsTr("ANALYSIS RUNS"); Layout.fillWidth: true }
                        Caption { objectName: "runCount"; text: ui.analysisRunCount }
                    }

                    ListView {
                        id: analysisList
                        objectName: "analysisList"
                        Layout.fillWidth: true
                        Layout.fillHeight: true
                        clip: true
                        spacing: 6
                        // Up and Down scroll the list; Tab walks its rows.
                        keyNavigationEnabled: false
                        model: ui.analysisRuns

                        Label {
                            objectName: "emptyRunsText"
                            anchors.centerIn: parent
                            width: analysisList.width - 30
                            visible: analysisList.count === 0
                            horizontalAlignment: Text.AlignHCenter
                            wrapMode: Text.WordWrap
                            color: Theme.muted
                            text: ui.hasSelectedMeasurement ? qsTr("No AnalysisRun yet\nCreate the first full recompute")
                                                            : qsTr("Select a Measurement first")
                        }

                        delegate: SelectableRow {
                            id: runRow
                            required property var modelData
                            required property int index
                            readonly property bool valid: modelData.valid === true

                            objectName: "runRow" + index
                            width: analysisList.width
                            height: valid ? 88 : 66
                            radius: 9
                            selected: index === ui.selectedAnalysisIndex
                            choosable: valid && !ui.analysisBusy
                            onChosen: ui.selectAnalysisRun(runRow.index)

                            ColumnLayout {
                                anchors.fill: parent
                                anchors.margins: 10
                                spacing: 3

                                RowLayout {
                                    Layout.fillWidth: true
                                    Label {
                                        Layout.fillWidth: true
                                        text: runRow.modelData.id
                                        elide: Text.ElideRight
                                        color: runRow.valid ? Theme.text : Theme.danger
                                        font.bold: true
                                    }
                                    RunWindowLabel {
                                        objectName: "runWindow"
                                        visible: runRow.valid
                                        run: runRow.modelData
                                    }
                                    Label {
                                        text: runRow.valid ? Number(runRow.modelData.frequencyHz).toFixed(1) + " Hz"
                                                           : qsTr("invalid")
                                        color: Theme.muted
                                        font.pixelSize: Theme.fontSmall
                                    }
                                }
                                SmallText {
                                    objectName: "runSummary"
                                    elide: Text.ElideRight
                                    wrapMode: Text.NoWrap
                                    text: runRow.valid
                                          ? qsTr("%1 · %2 bins · frame %3/%4 · grid %5°")
                                                .arg(runRow.modelData.algorithm)
                                                .arg(runRow.modelData.bandBinCount > 0 ? runRow.modelData.bandBinCount : 1)
                                                .arg(runRow.modelData.frameSize)
                                                .arg(runRow.modelData.hopSize)
                                                .arg(Number(runRow.modelData.gridStepDeg).toFixed(1))
                                          : (runRow.modelData.error || "")
                                }
                                SmallText {
                                    objectName: "runPeak"
                                    visible: runRow.valid
                                    elide: Text.ElideRight
                                    wrapMode: Text.NoWrap
                                    color: runRow.modelData.mapAvailable ? Theme.success : Theme.warning
                                    text: qsTr("peak %1° / %2° · %3 · %4 · %5")
                                          .arg(Number(runRow.modelData.peakAzimuth).toFixed(1))
                                          .arg(Number(runRow.modelData.peakElevation).toFixed(1))
                                          .arg(root.peakLevelText(runRow.modelData))
                                          .arg(runRow.modelData.mapAvailable ? qsTr("map saved") : qsTr("metadata only"))
                                          .arg(root.recomputeModeText(runRow.modelData.mode))
                                }
                            }

                        }
                    }
                }
            }
        }

        ScrollView {
            id: analysisScroll
            objectName: "analysisScroll"
            Layout.fillWidth: true
            Layout.fillHeight: true
            // Room for the status strip below it.
            Layout.bottomMargin: statusStrip.height + 6
            // Its implicit size follows its own width; the row gives it the rest instead.
            Layout.preferredWidth: 600
            Layout.preferredHeight: 600
            clip: true
            ScrollBar.horizontal.policy: ScrollBar.AlwaysOff
            // Shown whenever the view holds more than it shows, as a PageScrollBar is.
            ScrollBar.vertical.policy: ScrollBar.vertical.size < 1.0 ? ScrollBar.AlwaysOn : ScrollBar.AsNeeded
            contentWidth: availableWidth

            ColumnLayout {
                width: analysisScroll.availableWidth
                height: Math.max(implicitHeight, analysisScroll.availableHeight)
                spacing: 12

                AcousticCanvas {
                    id: analysisCanvas
                    objectName: "analysisCanvas"
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    Layout.minimumHeight: 440
                    expectedSource: "analysis"
                    pageActive: root.pageActive
                    replayMode: true
                    replayHasVideo: root.pageActive && ui.selectedMeasurementVideoPath !== ""
                    replayVideoSource: replayHasVideo ? ui.selectedMeasurementVideoUrl : ""
                    panelTitle: qsTr("Analysis result")
                    panelSubtitle: ui.hasPendingAnalysis ? qsTr("Unsaved result - save to keep it")
                                 : ui.hasSelectedAnalysis ? ui.selectedAnalysisId
                                 : qsTr("Each run keeps its own map and provenance")
                    emptyPrimary: root.emptyMapText()
                    emptySecondary: qsTr("Full recompute uses the Measurement's frozen Profile")
                }

                DiagnosticPlotPanel {
                    objectName: "analysisSpectrum"
                    Layout.fillWidth: true
                    Layout.minimumHeight: 120
                    Layout.maximumHeight: 190
                    Layout.preferredHeight: 150
                    title: qsTr("Spectrum - analysis window")
                    note: ui.hasAnalysisWindow ? ui.analysisWindowInfo
                          : qsTr("Averaged over the whole Measurement - click the spectrum to set the centre frequency")
                    imageSource: ui.analysisSpectrumNyquistHz > 0
                                 ? "image://diagnostic/analysisSpectrum?" + ui.analysisSpectrumRevision : ""
                    interactiveSpectrum: true
                    commitToAnalysisFrequency: true
                    nyquistHz: ui.analysisSpectrumNyquistHz
                    targetFrequencyHz: ui.analysisFrequencyHz
                    axisMode: "spectrum"
                }

                UiPanel {
                    objectName: "recomputePanel"
                    Layout.fillWidth: true
                    title: qsTr("Full Recompute")
                    subtitle: qsTr("Full recompute from raw measurement data")

                    GridLayout {
                        Layout.fillWidth: true
                        columns: 4
                        rowSpacing: 8
                        columnSpacing: 10

                        // Fixed cells: the hidden bandwidth field leaves its column empty.
                        Caption { Layout.row: 0; Layout.column: 0; text: qsTr("ALGORITHM") }
                        Caption { Layout.row: 0; Layout.column: 1; text: qsTr("BAND") }
                        Caption {
                            Layout.row: 0; Layout.column: 2
                            text: qsTr("BANDWIDTH HZ")
                            visible: ui.analysisBandMode === "Custom"
                        }
                        Caption { Layout.row: 0; Layout.column: 3; text: qsTr("CENTER (HZ)") }

                        ThemedCombo {
                            objectName: "algorithmCombo"
                            Layout.row: 1; Layout.column: 0
                            Layout.fillWidth: true
                            Layout.minimumWidth: 160
                            enabled: !ui.analysisBusy
                            disabledReason: blockers.recomputing()
                            model: root.algorithmNames
                            currentIndex: Math.max(0, root.algorithmNames.indexOf(ui.analysisAlgorithm))
                            onActivated: index => ui.analysisAlgorithm = root.algorithmNames[index]
                        }
                        ThemedCombo {
                            objectName: "bandCombo"
                            Layout.row: 1; Layout.column: 1
                            Layout.fillWidth: true
                            enabled: !ui.analysisBusy
                            disabledReason: blockers.recomputing()
                            model: root.bandModes
                            textMapper: mode => mode === "Single" ? qsTr("Single")
                                              : mode === "Custom" ? qsTr("Custom") : qsTr("1/3 octave")
                            currentIndex: Math.max(0, root.bandModes.indexOf(ui.analysisBandMode))
                            onActivated: index => ui.analysisBandMode = root.bandModes[index]
                        }
                        ThemedSpinBox {
                            objectName: "bandwidthSpin"
                            Layout.row: 1; Layout.column: 2
                            Layout.fillWidth: true
                            visible: ui.analysisBandMode === "Custom"
                            enabled: !ui.analysisBusy
                            disabledReason: blockers.recomputing()
                            from: 100; to: 40000; stepSize: 100
                            value: Math.round(ui.analysisBandwidthHz)
                            onValueModified: ui.analysisBandwidthHz = value
                        }
                        ThemedSpinBox {
                            objectName: "centerSpin"
                            Layout.row: 1; Layout.column: 3
                            Layout.fillWidth: true
                            enabled: !ui.analysisBusy
                            disabledReason: blockers.recomputing()
                            from: 100; to: 40000; stepSize: 100
                            value: Math.round(ui.analysisFrequencyHz)
                            // The frequency the run will record, which may lie between whole hertz.
                            textFromValue: (spun, locale) => {
                                const hz = spun === Math.round(ui.analysisFrequencyHz) ? ui.analysisFrequencyHz : spun
                                return Number(hz).toLocaleString(locale, "f", Number.isInteger(hz) ? 0 : 1)
                            }
                            onValueModified: ui.analysisFrequencyHz = value
                        }
                    }

                    // The window and the actions share a line where both fit; on a narrower page the
                    // actions wrap below, so nothing of the form lies beyond the page's side.
                    GridLayout {
                        objectName: "actionRow"
                        Layout.fillWidth: true
                        columns: windowGroup.implicitWidth + actionGroup.implicitWidth + columnSpacing <= width ? 2 : 1
                        rowSpacing: 8
                        columnSpacing: 10

                        RowLayout {
                            id: windowGroup
                            Layout.fillWidth: true
                            spacing: 10

                            Label { text: qsTr("Window"); color: Theme.muted }
                            ThemedCombo {
                                objectName: "windowCombo"
                                implicitWidth: 140
                                model: root.windowChoices
                                textMapper: value => root.windowText(value)
                                currentIndex: root.windowIndex(ui.analysisWindowSeconds)
                                onActivated: index => ui.analysisWindowSeconds = root.windowChoices[index]
                            }
                            ElidedLabel {
                                objectName: "windowInfo"
                                visible: ui.hasAnalysisWindow
                                Layout.fillWidth: true
                                Layout.maximumWidth: Math.min(220, Math.ceil(implicitWidth))
                                elide: Text.ElideRight
                                text: ui.analysisWindowInfo
                                color: Theme.muted
                                font.pixelSize: Theme.fontSmall
                            }
                            ThemedButton {
                                objectName: "wholeMeasurementButton"
                                visible: ui.hasAnalysisWindow
                                enabled: !ui.analysisBusy
                                disabledReason: blockers.recomputing()
                                text: qsTr("Whole measurement")
                                onClicked: ui.clearAnalysisWindow()
                            }
                            Item { Layout.fillWidth: true }
                        }
                        RowLayout {
                            id: actionGroup
                            Layout.alignment: Qt.AlignRight
                            spacing: 10

                            ThemedButton {
                                objectName: "advancedToggle"
                                text: (root.showAdvanced ? "▾ " : "▸ ") + qsTr("Advanced parameters")
                                onClicked: root.showAdvanced = !root.showAdvanced
                            }
                            ThemedButton {
                                objectName: "createButton"
                                kind: 1
                                Layout.preferredWidth: 170
                                text: ui.analysisBusy ? qsTr("Computing…") : qsTr("Create AnalysisRun")
                                enabled: ui.canCreateAnalysis
                                disabledReason: blockers.createAnalysis()
                                onClicked: ui.createFullRecomputeAnalysis()
                            }
                        }
                    }

                    GridLayout {
                        objectName: "advancedBlock"
                        Layout.fillWidth: true
                        visible: root.showAdvanced
                        columns: 4
                        rowSpacing: 8
                        columnSpacing: 10

                        Caption { text: qsTr("FRAME") }
                        Caption { text: qsTr("HOP") }
                        Caption { text: qsTr("GRID STEP") }
                        Caption { text: qsTr("FOCUS") }

                        ThemedCombo {
                            objectName: "frameCombo"
                            Layout.fillWidth: true
                            enabled: !ui.analysisBusy
                            disabledReason: blockers.recomputing()
                            model: ["256", "512", "1024"]
                            currentIndex: root.frameIndex(ui.analysisFrameSize)
                            onActivated: index => ui.analysisFrameSize = Number(model[index])
                        }
                        ThemedSpinBox {
                            objectName: "hopSpin"
                            Layout.fillWidth: true
                            enabled: !ui.analysisBusy
                            disabledReason: blockers.recomputing()
                            from: 1; to: ui.analysisFrameSize; stepSize: 64
                            value: ui.analysisHopSize
                            onValueModified: ui.analysisHopSize = value
                        }
                        ThemedSpinBox {
                            objectName: "gridSpin"
                            Layout.fillWidth: true
                            enabled: !ui.analysisBusy
                            disabledReason: blockers.recomputing()
                            from: 5; to: 50; stepSize: 5
                            value: Math.round(ui.analysisGridStepDeg * 10)
                            textFromValue: (value, locale) => Number(value / 10).toLocaleString(locale, "f", 1) + "°"
                            valueOfText: (text, locale) => Math.round(numberOf(text.replace("°", ""), locale) * 10)
                            onValueModified: ui.analysisGridStepDeg = value / 10
                        }
                        ThemedCombo {
                            objectName: "focusCombo"
                            Layout.fillWidth: true
                            enabled: !ui.analysisBusy
                            disabledReason: blockers.recomputing()
                            model: root.focusNames
                            textMapper: name => name === "far field" ? qsTr("far field") : name
                            currentIndex: ui.analysisFocusIndex
                            onActivated: index => ui.analysisFocusIndex = index
                        }
                    }

                    GridLayout {
                        objectName: "displayGrid"
                        Layout.fillWidth: true
                        columns: 4
                        rowSpacing: 8
                        columnSpacing: 8

                        Caption {
                            text: qsTr("Air temp %1 °C · %2 m/s").arg(Number(ui.airTemperatureC).toFixed(0))
                                                                .arg(Math.round(ui.speedOfSoundMps))
                        }
                        Caption { text: qsTr("Confidence %1 dB").arg(Number(ui.confidenceThresholdDb).toFixed(1)) }
                        Caption { text: qsTr("Range %1 dB").arg(Number(ui.dynamicRange).toFixed(1)) }
                        Caption { text: qsTr("Level gate %1 dBFS").arg(Number(ui.levelGateDbfs).toFixed(0)) }

                        ThemedSlider {
                            objectName: "airTemperatureSlider"
                            Layout.fillWidth: true
                            enabled: !ui.analysisBusy
                            disabledReason: blockers.recomputing()
                            from: -20; to: 50; stepSize: 1
                            value: ui.airTemperatureC
                            onMoved: ui.setAirTemperatureC(value)
                        }
                        ThemedSlider {
                            objectName: "confidenceSlider"
                            Layout.fillWidth: true
                            from: 0; to: 6; stepSize: 0.5
                            value: ui.confidenceThresholdDb
                            onMoved: ui.setConfidenceThresholdDb(value)
                        }
                        ThemedSlider {
                            objectName: "rangeSlider"
                            Layout.fillWidth: true
                            from: 0.1; to: 60; stepSize: 0.1
                            value: ui.dynamicRange
                            onMoved: ui.setDynamicRange(value)
                        }
                        ThemedSlider {
                            objectName: "levelGateSlider"
                            Layout.fillWidth: true
                            from: -120; to: 0; stepSize: 1
                            disabledReason: blockers.dbfsControls(root.shownLevelsAbsolute)
                            enabled: disabledReason === ""
                            value: ui.levelGateDbfs
                            onMoved: ui.setLevelGateDbfs(value)
                        }

                        Caption { text: qsTr("Colormap") }
                        Caption { text: qsTr("Style") }
                        Caption { text: qsTr("Scale") }
                        Caption { text: qsTr("Alpha %1%").arg(Math.round(ui.heatmapOpacity * 100)) }

                        ThemedCombo {
                            objectName: "colormapCombo"
                            Layout.fillWidth: true
                            model: ["Viridis", "Turbo", "JET"]
                            currentIndex: ui.heatmapColormap
                            onActivated: index => ui.setHeatmapColormap(index)
                        }
                        ThemedCombo {
                            objectName: "styleCombo"
                            Layout.fillWidth: true
                            model: root.styleValues
                            textMapper: value => value === "contour" ? qsTr("Contour")
                                               : value === "contourFill" ? qsTr("Contour + fill")
                                               : value === "peakCross" ? qsTr("Peak cross") : qsTr("Fill")
                            currentIndex: ui.heatmapStyle
                            onActivated: index => ui.setHeatmapStyle(index)
                        }
                        ThemedCombo {
                            objectName: "scaleCombo"
                            Layout.fillWidth: true
                            model: root.scaleValues
                            disabledReason: blockers.dbfsControls(root.shownLevelsAbsolute)
                            enabled: disabledReason === ""
                            textMapper: value => value === "Fixed dBFS" ? qsTr("Fixed dBFS") : qsTr("Auto peak")
                            currentIndex: ui.heatmapScaleMode === "Fixed dBFS" ? 1 : 0
                            onActivated: index => ui.setHeatmapScaleMode(root.scaleValues[index])
                        }
                        ThemedSlider {
                            objectName: "opacitySlider"
                            Layout.fillWidth: true
                            from: 0.1; to: 1; stepSize: 0.05
                            value: ui.heatmapOpacity
                            onMoved: ui.setHeatmapOpacity(value)
                        }
                    }

                    GridLayout {
                        objectName: "parameterGrid"
                        Layout.fillWidth: true
                        columns: 3
                        rowSpacing: 6
                        columnSpacing: 16

                        Repeater {
                            objectName: "parameterRepeater"
                            model: ui.analysisAlgorithmParameterFields

                            delegate: RowLayout {
                                id: fieldRow
                                required property var modelData
                                readonly property real stored: {
                                    ui.analysisAlgorithmParameterFields
                                    return ui.analysisBeamformingParameterValue(modelData.key)
                                }
                                objectName: "parameter_" + modelData.key
                                Layout.fillWidth: true
                                spacing: 8

                                Label {
                                    Layout.fillWidth: true
                                    text: fieldRow.modelData.label
                                    color: Theme.text
                                    elide: Text.ElideRight
                                }
                                ThemedSwitch {
                                    objectName: "boolEditor"
                                    visible: fieldRow.modelData.type === "bool"
                                    enabled: !ui.analysisBusy
                                    disabledReason: blockers.recomputing()
                                    checked: fieldRow.stored >= 0.5
                                    onToggled: ui.setAnalysisBeamformingParameter(fieldRow.modelData.key, checked ? 1 : 0)
                                }
                                ThemedSpinBox {
                                    objectName: "intEditor"
                                    visible: fieldRow.modelData.type === "int"
                                    enabled: !ui.analysisBusy
                                    disabledReason: blockers.recomputing()
                                    from: fieldRow.modelData.minimum
                                    to: fieldRow.modelData.maximum
                                    stepSize: 1
                                    value: fieldRow.stored
                                    onValueModified: ui.setAnalysisBeamformingParameter(fieldRow.modelData.key, value)
                                }
                                RealNumberField {
                                    objectName: "realEditor"
                                    visible: fieldRow.modelData.type === "real"
                                    enabled: !ui.analysisBusy
                                    disabledReason: blockers.recomputing()
                                    Layout.preferredWidth: 110
                                    value: fieldRow.stored
                                    onEdited: number => ui.setAnalysisBeamformingParameter(fieldRow.modelData.key, number)
                                }
                                Label {
                                    visible: fieldRow.modelData.unit !== ""
                                    text: fieldRow.modelData.unit
                                    color: Theme.muted
                                    font.pixelSize: Theme.fontSmall
                                }
                            }
                        }
                    }
                }

                UiPanel {
                    objectName: "pendingPanel"
                    Layout.fillWidth: true
                    visible: ui.hasPendingAnalysis
                    title: qsTr("Unsaved analysis result")
                    subtitle: ui.pendingAnalysisInfo

                    SmallText {
                        text: qsTr("Computed results are only kept in memory until you save them. Saving writes an immutable AnalysisRun to the Measurement.")
                    }
                    RowLayout {
                        spacing: 10
                        ThemedButton {
                            objectName: "saveButton"
                            kind: 4
                            text: qsTr("Save analysis result")
                            enabled: ui.hasPendingAnalysis && !ui.analysisBusy
                            disabledReason: blockers.recomputing()
                            onClicked: ui.savePendingAnalysis()
                        }
                        ThemedButton {
                            objectName: "discardButton"
                            text: qsTr("Discard")
                            enabled: ui.hasPendingAnalysis && !ui.analysisBusy
                            disabledReason: blockers.recomputing()
                            onClicked: ui.discardPendingAnalysis()
                        }
                    }
                }

                UiPanel {
                    objectName: "selectedRunPanel"
                    Layout.fillWidth: true
                    visible: ui.hasSelectedAnalysis && !ui.hasPendingAnalysis
                    title: ui.selectedAnalysisId
                    subtitle: ui.selectedAnalysisInfo

                    SmallText {
                        objectName: "provenanceText"
                        color: Theme.text
                        text: ui.selectedAnalysisProvenance
                    }
                    SmallText {
                        objectName: "paramsText"
                        visible: ui.selectedAnalysisParameters !== ""
                        text: qsTr("params  %1").arg(ui.selectedAnalysisParameters)
                    }
                    SmallText { text: qsTr("Immutable run · Measurement RAW was hash-checked before and after recompute") }
                    ThemedButton {
                        objectName: "exportButton"
                        Layout.preferredWidth: 190
                        text: qsTr("Export CSV + profile manifest")
                        enabled: ui.hasSelectedAnalysis && !ui.analysisBusy
                        disabledReason: blockers.recomputing()
                        onClicked: ui.exportSelectedAnalysis()
                    }
                }
            }
        }
    }

    // The progress and the status of the analysis, under the long page and in sight wherever it is
    // scrolled to.
    ColumnLayout {
        id: statusStrip
        x: pageRow.x + analysisScroll.x
        width: analysisScroll.width
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 16
        spacing: 6

        ProgressBar {
            objectName: "analysisProgressBar"
            Layout.fillWidth: true
            visible: ui.analysisBusy
            from: 0; to: 1
            value: ui.analysisProgress
        }
        ElidedLabel {
            objectName: "analysisStatusLabel"
            Layout.fillWidth: true
            wrapMode: Text.WordWrap
            maximumLineCount: 2
            elide: Text.ElideRight
            text: ui.analysisStatus
            color: ui.analysisBusy ? Theme.accent : Theme.muted
        }
    }
}
