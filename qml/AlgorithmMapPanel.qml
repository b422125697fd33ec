import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// Beamforming and map settings above a sound map. Every control writes to the controller and then
// shows the controller's value again, so a refused or clamped value shows as the controller holds it.
ColumnLayout {
    id: root

    property string bandHint: ""
    // On a short window the drawer starts closed so the map below stays in sight; once the user opens
    // or closes it, the assignment ends this binding and the choice is kept.
    property bool shortWindow: false
    property bool parametersExpanded: !shortWindow
    property bool algorithmLocked: false
    property bool bandLocked: false
    // What a page that locks the algorithm or the band tells the user under the pointer.
    property string lockedReason: ""

    readonly property var algorithmNames: ["01 DAS / Conventional", "02 Functional", "03 MVDR / Capon",
        "04 Robust Capon", "05 MUSIC", "06 Auto-MUSIC", "07 Orthogonal", "08 SRP-PHAT"]
    readonly property var tauChoices: [0.1, 0.5, 1, 2]
    // Diagonal removal has its own switch in the grid.
    readonly property string diagonalKey: "remove_csm_diagonal"

    function visibleParameterFieldCount() {
        const fields = ui.algorithmParameterFields
        let count = 0
        for (let i = 0; i < fields.length; ++i) {
            if (fields[i].key !== diagonalKey)
                ++count
        }
        return count
    }

    function tauIndex(seconds) {
        for (let i = 0; i < tauChoices.length; ++i) {
            if (Math.abs(tauChoices[i] - seconds) < 1e-9)
                return i
        }
        return 0
    }

    ActionBlockers {
        id: blockers
    }

    spacing: 10

    Rectangle {
        objectName: "settingsCard"
        Layout.fillWidth: true
        // Never narrower than its grid can be, or the grid's last column runs past the page's side.
        Layout.minimumWidth: grid.Layout.minimumWidth + 24
        implicitHeight: grid.implicitHeight + 24
        color: Theme.surface
        radius: Theme.radius
        border.width: 1
        border.color: Theme.border

        GridLayout {
            id: grid
            anchors.fill: parent
            anchors.margins: 12
            // Cells flow in a fixed order: six columns where they fit, four on a narrower window, where
            // six would squeeze the combos and sliders below the width their values need.
            readonly property bool wide: width >= 880
            readonly property int lineSpan: wide ? 3 : 2
            columns: wide ? 6 : 4
            rowSpacing: 3
            columnSpacing: 10

            Label {
                text: qsTr("Acoustic map")
                color: Theme.text
                font.bold: true
                font.pixelSize: Theme.fontTitle
            }
            ThemedCombo {
                id: algorithmCombo
                objectName: "algorithmCombo"
                Layout.columnSpan: 3
                Layout.fillWidth: true
                enabled: !root.algorithmLocked
                disabledReason: root.lockedReason
                model: root.algorithmNames
                currentIndex: Math.max(0, root.algorithmNames.indexOf(ui.algorithm))
                onActivated: index => {
                    ui.setAlgorithm(root.algorithmNames[index])
                    currentIndex = Qt.binding(() => Math.max(0, root.algorithmNames.indexOf(ui.algorithm)))
                }
            }
            ThemedCombo {
                objectName: "bandModeCombo"
                readonly property var modes: ["1/3 octave", "Single bin", "Custom bandwidth"]
                textMapper: mode => mode === "Single bin" ? qsTr("Single bin")
                                  : mode === "Custom bandwidth" ? qsTr("Custom bandwidth")
                                  : qsTr("1/3 octave")
                Layout.fillWidth: true
                enabled: ui.canEditFrequencyBand && !root.bandLocked
                disabledReason: root.bandLocked ? root.lockedReason : blockers.frequencyBand()
                model: modes
                currentIndex: Math.max(0, modes.indexOf(ui.frequencyBandMode))
                onActivated: index => {
                    ui.setFrequencyBandMode(modes[index])
                    currentIndex = Qt.binding(() => Math.max(0, modes.indexOf(ui.frequencyBandMode)))
                }
            }
            ThemedCombo {
                objectName: "focusCombo"
                Layout.fillWidth: true
                // Focus distances in metres, the first the far field.
                model: [Infinity, 1, 3, 5, 10]
                textMapper: metres => isFinite(metres) ? qsTr("Focus %1 m").arg(metres) : qsTr("Focus ∞")
                currentIndex: ui.focusDistanceIndex
                onActivated: index => {
                    ui.setFocusDistanceIndex(index)
                    currentIndex = Qt.binding(() => ui.focusDistanceIndex)
                }
            }

            Label {
                objectName: "rangeLabel"
                text: qsTr("Range %1 dB").arg(ui.dynamicRange.toFixed(1))
                color: Theme.muted
                font.pixelSize: Theme.fontSmall
            }
            ThemedSlider {
                objectName: "rangeSlider"
                Layout.fillWidth: true
                from: 0.1
                to: 60
                stepSize: 0.1
                snapMode: Slider.SnapAlways
                value: ui.dynamicRange
                onMoved: {
                    ui.setDynamicRange(value)
                    value = Qt.binding(() => ui.dynamicRange)
                }
            }
            Label {
                objectName: "gateLabel"
                text: qsTr("Level gate %1 dBFS").arg(ui.levelGateDbfs.toFixed(0))
                color: Theme.muted
                font.pixelSize: Theme.fontSmall
            }
            ThemedSlider {
                objectName: "gateSlider"
                Layout.fillWidth: true
                from: -120
                to: 0
                stepSize: 1
                snapMode: Slider.SnapAlways
                disabledReason: blockers.dbfsControls(ui.algorithmHasAbsoluteLevels(ui.algorithm))
                enabled: disabledReason === ""
                value: ui.levelGateDbfs
                onMoved: {
                    ui.setLevelGateDbfs(value)
                    value = Qt.binding(() => ui.levelGateDbfs)
                }
            }
            Label {
                objectName: "alphaLabel"
                text: qsTr("Alpha %1%").arg(Math.round(ui.heatmapOpacity * 100))
                color: Theme.muted
                font.pixelSize: Theme.fontSmall
            }
            ThemedSlider {
                objectName: "alphaSlider"
                Layout.fillWidth: true
                from: 0.1
                to: 1
                stepSize: 0.05
                snapMode: Slider.SnapAlways
                value: ui.heatmapOpacity
                onMoved: {
                    ui.setHeatmapOpacity(value)
                    value = Qt.binding(() => ui.heatmapOpacity)
                }
            }

            Label {
                text: qsTr("Colormap")
                color: Theme.muted
                font.pixelSize: Theme.fontSmall
            }
            ThemedCombo {
                objectName: "colormapCombo"
                Layout.fillWidth: true
                model: ["Viridis", "Turbo", "JET"]
                currentIndex: ui.heatmapColormap
                onActivated: index => {
                    ui.setHeatmapColormap(index)
                    currentIndex = Qt.binding(() => ui.heatmapColormap)
                }
            }
            Label {
                text: qsTr("Style")
                color: Theme.muted
                font.pixelSize: Theme.fontSmall
            }
            ThemedCombo {
                objectName: "styleCombo"
                Layout.fillWidth: true
                model: ["fill", "contour", "contourFill", "peakCross"]
                textMapper: id => id === "contour" ? qsTr("Contour")
                                : id === "contourFill" ? qsTr("Contour + fill")
                                : id === "peakCross" ? qsTr("Peak cross")
                                : qsTr("Fill")
                currentIndex: ui.heatmapStyle
                onActivated: index => {
                    ui.setHeatmapStyle(index)
                    currentIndex = Qt.binding(() => ui.heatmapStyle)
                }
            }
            Label {
                text: qsTr("Scale")
                color: Theme.muted
                font.pixelSize: Theme.fontSmall
            }
            ThemedCombo {
                objectName: "scaleCombo"
                Layout.fillWidth: true
                model: ["Auto peak", "Fixed dBFS"]
                disabledReason: blockers.dbfsControls(ui.algorithmHasAbsoluteLevels(ui.algorithm))
                enabled: disabledReason === ""
                textMapper: id => id === "Fixed dBFS" ? qsTr("Fixed dBFS") : qsTr("Auto peak")
                currentIndex: ui.heatmapScaleMode === "Fixed dBFS" ? 1 : 0
                onActivated: index => {
                    ui.setHeatmapScaleMode(model[index])
                    currentIndex = Qt.binding(() => ui.heatmapScaleMode === "Fixed dBFS" ? 1 : 0)
                }
            }

            Label {
                text: qsTr("Diagonal removal")
                color: Theme.muted
                font.pixelSize: Theme.fontSmall
            }
            ThemedSwitch {
                objectName: "diagonalSwitch"
                checked: ui.diagonalRemoval
                onToggled: {
                    ui.setDiagonalRemoval(checked)
                    checked = Qt.binding(() => ui.diagonalRemoval)
                }
            }
            Label {
                text: qsTr("Background noise")
                color: Theme.muted
                font.pixelSize: Theme.fontSmall
            }
            ThemedButton {
                objectName: "calibrateButton"
                text: qsTr("Calibrate (5 s)")
                enabled: ui.canCalibrateNoise
                disabledReason: blockers.calibrateNoise()
                onClicked: ui.startNoiseCalibration()
            }
            ThemedSwitch {
                objectName: "noiseSwitch"
                checked: ui.noiseSubtractionEnabled
                // Subtraction can always be switched off, but on only with a valid noise profile.
                enabled: !ui.noiseCalibrating && (ui.noiseSubtractionEnabled || ui.noiseProfileValid)
                hoverEnabled: true
                ToolTip.visible: hovered && Window.window !== null
                ToolTip.text: ui.noiseCalibrating ? qsTr("Noise subtraction waits for the calibration to end")
                            : enabled ? qsTr("Subtract the calibrated background noise from the map")
                            : qsTr("Noise subtraction needs a calibration of this device profile first")
                onToggled: {
                    ui.setNoiseSubtractionEnabled(checked)
                    checked = Qt.binding(() => ui.noiseSubtractionEnabled)
                }
            }
            RowLayout {
                spacing: 6
                Label {
                    text: qsTr("Integration time")
                    color: Theme.muted
                    font.pixelSize: Theme.fontSmall
                }
                ThemedCombo {
                    objectName: "tauCombo"
                    Layout.fillWidth: true
                    model: root.tauChoices
                    textMapper: v => v + " s"
                    currentIndex: root.tauIndex(ui.csmTauSeconds)
                    onActivated: index => {
                        ui.csmTauSeconds = root.tauChoices[index]
                        currentIndex = Qt.binding(() => root.tauIndex(ui.csmTauSeconds))
                    }
                }
            }

            Label {
                objectName: "airLabel"
                text: qsTr("Air temp %1 °C · %2 m/s").arg(ui.airTemperatureC.toFixed(0))
                                                    .arg(Math.round(ui.speedOfSoundMps))
                color: Theme.muted
                font.pixelSize: Theme.fontSmall
            }
            ThemedSlider {
                objectName: "airSlider"
                Layout.fillWidth: true
                from: -20
                to: 50
                stepSize: 1
                snapMode: Slider.SnapAlways
                value: ui.airTemperatureC
                onMoved: {
                    ui.setAirTemperatureC(value)
                    value = Qt.binding(() => ui.airTemperatureC)
                }
            }
            Label {
                objectName: "confidenceLabel"
                text: qsTr("Confidence %1 dB").arg(ui.confidenceThresholdDb.toFixed(1))
                color: Theme.muted
                font.pixelSize: Theme.fontSmall
            }
            ThemedSlider {
                objectName: "confidenceSlider"
                Layout.fillWidth: true
                from: 0
                to: 6
                stepSize: 0.5
                snapMode: Slider.SnapAlways
                value: ui.confidenceThresholdDb
                onMoved: {
                    ui.setConfidenceThresholdDb(value)
                    value = Qt.binding(() => ui.confidenceThresholdDb)
                }
            }

            ElidedLabel {
                objectName: "noiseProfileLine"
                Layout.columnSpan: grid.lineSpan
                Layout.fillWidth: true
                Layout.preferredWidth: 1
                text: ui.noiseProfileInfo
                horizontalAlignment: Text.AlignLeft
                elide: Text.ElideRight
                font.pixelSize: Theme.fontCaption
                color: ui.noiseProfileValid ? Theme.muted : Theme.warning
            }
            ElidedLabel {
                objectName: "bandLine"
                Layout.columnSpan: grid.lineSpan
                Layout.fillWidth: true
                Layout.preferredWidth: 1
                text: ui.hasHeatmap ? qsTr("%1–%2 Hz · %3 bins (auto)").arg(ui.effectiveBandLowHz.toFixed(1))
                                                                      .arg(ui.effectiveBandHighHz.toFixed(1))
                                                                      .arg(ui.effectiveBinCount)
                                    : qsTr("Frequency band is selected automatically")
                horizontalAlignment: Text.AlignRight
                elide: Text.ElideLeft
                font.pixelSize: Theme.fontCaption
                color: Theme.muted
            }
            Label {
                objectName: "bandHintLine"
                Layout.columnSpan: grid.columns
                Layout.fillWidth: true
                visible: root.bandHint !== ""
                text: root.bandHint
                horizontalAlignment: Text.AlignRight
                font.pixelSize: Theme.fontCaption
                color: Theme.muted
            }
        }
    }

    Rectangle {
        id: drawerBar
        objectName: "drawerBar"
        Layout.fillWidth: true
        implicitHeight: drawerRow.implicitHeight + 16
        visible: root.visibleParameterFieldCount() > 0
        color: Theme.surface
        radius: Theme.radius
        border.width: 1
        border.color: Theme.border

        RowLayout {
            id: drawerRow
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.top: parent.top
            anchors.margins: 8
            spacing: 10

            ThemedButton {
                objectName: "drawerButton"
                text: root.parametersExpanded ? qsTr("▾ Algorithm parameters")
                                              : qsTr("▸ Algorithm parameters")
                onClicked: root.parametersExpanded = !root.parametersExpanded
            }
            Label {
                objectName: "drawerAlgorithm"
                text: ui.algorithm
                color: Theme.accent
                font.pixelSize: Theme.fontSmall
            }
            Item {
                Layout.fillWidth: true
            }
            Label {
                objectName: "appliedRevision"
                text: qsTr("applied r%1").arg(ui.mapParameterRevision)
                color: Theme.muted
                font.pixelSize: Theme.fontCaption
            }
        }

        Popup {
            id: paramsPopup
            objectName: "paramsPopup"
            x: 0
            y: drawerBar.height + 4
            width: drawerBar.width
            padding: 10
            visible: drawerBar.visible && root.parametersExpanded
            // Closed by the user (a click outside): the drawer collapses. Closed because the page or
            // the drawer went away: it opens again when they come back.
            onClosed: {
                if (drawerBar.visible && root.parametersExpanded)
                    root.parametersExpanded = false
            }

            background: Rectangle {
                color: Theme.surface
                radius: Theme.radius
                border.color: Theme.border
            }

            contentItem: GridLayout {
                columns: 2
                rowSpacing: 6
                columnSpacing: 16

                Repeater {
                    model: ui.algorithmParameterFields
                    delegate: RowLayout {
                        id: fieldRow
                        readonly property var field: modelData
                        // The controller's value, read again whenever its parameters change anywhere
                        // (another page's panel, a reset), so every panel shows what it holds.
                        readonly property real value: {
                            ui.beamformingParameterRevision
                            return ui.beamformingParameterValue(field.key)
                        }
                        objectName: "parameterField_" + field.key
                        visible: field.key !== root.diagonalKey
                        spacing: 6

                        Label {
                            text: fieldRow.field.label
                            color: Theme.muted
                            font.pixelSize: Theme.fontSmall
                        }
                        Loader {
                            sourceComponent: fieldRow.field.type === "bool" ? flagEditor
                                           : fieldRow.field.type === "int" ? integerEditor : realEditor
                        }
                        Label {
                            visible: fieldRow.field.unit !== undefined && fieldRow.field.unit !== ""
                            text: fieldRow.field.unit !== undefined ? fieldRow.field.unit : ""
                            color: Theme.muted
                            font.pixelSize: Theme.fontCaption
                        }

                        Component {
                            id: flagEditor
                            ThemedSwitch {
                                objectName: "flagEditor"
                                checked: fieldRow.value >= 0.5
                                onToggled: {
                                    ui.setBeamformingParameter(fieldRow.field.key, checked ? 1 : 0)
                                    checked = Qt.binding(() => fieldRow.value >= 0.5)
                                }
                            }
                        }
                        Component {
                            id: integerEditor
                            ThemedSpinBox {
                                id: spin
                                objectName: "integerEditor"
                                property int pendingValue: 0
                                from: fieldRow.field.minimum
                                to: fieldRow.field.maximum
                                stepSize: 1
                                value: fieldRow.value
                                onValueModified: {
                                    pendingValue = value
                                    sendTimer.restart()
                                }
                                // Holding an arrow sends one change, after the user stops.
                                Timer {
                                    id: sendTimer
                                    interval: 350
                                    onTriggered: {
                                        ui.setBeamformingParameter(fieldRow.field.key, spin.pendingValue)
                                        spin.value = Qt.binding(() => fieldRow.value)
                                    }
                                }
                            }
                        }
                        Component {
                            id: realEditor
                            RealNumberField {
                                objectName: "realEditor"
                                implicitWidth: 110
                                value: fieldRow.value
                                onEdited: number => ui.setBeamformingParameter(fieldRow.field.key, number)
                            }
                        }
                    }
                }
            }
        }
    }

    // The open popup takes its own room below the bar, so the map's title and peak read-out stay in
    // sight: the popup reaches 4 below the bar plus its height, the panel's spacing and the page's
    // spacing of 10 below the bar and below this room account for the rest.
    Item {
        objectName: "paramsRoom"
        Layout.fillWidth: true
        visible: paramsPopup.visible
        implicitHeight: Math.max(0, paramsPopup.height - 12)
    }
}
