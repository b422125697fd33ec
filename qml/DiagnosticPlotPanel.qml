import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// One provider image inside drawn axes; the image carries the curve, the panel only frames and labels it.
Rectangle {
    id: root

    property string title: ""
    property string note: ""
    property url imageSource: ""
    property bool interactiveSpectrum: false
    property real nyquistHz: ui.spectrumNyquistHz
    property real targetFrequencyHz: ui.frequency
    property bool commitToAnalysisFrequency: false
    property string axisMode: "none"
    property var tabs: []
    property int currentTab: 0
    property string wheelTarget: ""
    readonly property real logMinHz: 100
    readonly property var decades: [100, 1000, 10000]
    readonly property real pendingFrequencyHz: targetFrequencyHz
    readonly property real imagingBinHz: nyquistHz > 0 ? nyquistHz / 512 : 0

    signal tabActivated(int index)

    function formatTimeTick(t, windowS) {
        if (Math.abs(t) < 1e-9)
            return "0 s"
        if (windowS >= 1)
            return t.toFixed(2) + " s"
        return Math.round(t * 1000) + " ms"
    }

    // Black or white, whichever contrasts more with the fill by WCAG relative luminance; one of the two
    // always reaches 4.5:1, whatever the fill.
    function inkOn(fill) {
        const linear = c => c <= 0.04045 ? c / 12.92 : Math.pow((c + 0.055) / 1.055, 2.4)
        const l = 0.2126 * linear(fill.r) + 0.7152 * linear(fill.g) + 0.0722 * linear(fill.b)
        return (l + 0.05) * (l + 0.05) >= 0.05 * 1.05 ? "#000000" : "#ffffff"
    }

    function freqForX(x) {
        const u = Math.max(0, Math.min(1, x / Math.max(1, axisBox.plotW)))
        return root.logMinHz * Math.pow(root.nyquistHz / root.logMinHz, u)
    }

    // The picture of the spectrum has imaging bins of nyquist / 512; a pick lands on one of them
    // unless the frequency is committed to the analysis, which takes any value.
    function pickFreq(x) {
        const f = freqForX(x)
        if (root.commitToAnalysisFrequency || !(root.imagingBinHz > 0))
            return f
        const c = Math.max(100, Math.min(root.nyquistHz, f))
        const s = Math.round(c / root.imagingBinHz) * root.imagingBinHz
        return Math.max(root.imagingBinHz, Math.min(root.nyquistHz, s))
    }

    function frequencyLabel(f) {
        return f >= 10000 ? (f / 1000).toFixed(2) + " kHz" : f.toFixed(0) + " Hz"
    }

    function decadeLabel(f) {
        return f >= 1000 ? (f / 1000) + " kHz" : f + " Hz"
    }

    radius: 9
    color: Theme.plotBg
    border.width: 1
    border.color: Theme.border

    TextMetrics {
        id: dbMetrics
        font.pixelSize: Theme.fontMicro
        text: "-120 dB"
    }
    TextMetrics {
        id: lowerScaleMetrics
        font.pixelSize: Theme.fontMicro
        text: "-" + Math.round(ui.diagnosticWaveformScaleAbs)
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 8
        spacing: 5

        RowLayout {
            objectName: "headerRow"
            Layout.fillWidth: true
            spacing: 8

            Label {
                objectName: "titleLabel"
                text: root.title
                color: Theme.text
                font.bold: true
                font.pixelSize: Theme.fontSmall
            }

            // By count: a language switch renames the chips instead of making new ones; Qt 6.4 layouts
            // crash on Repeater items deleted under them before the row lays out again.
            Repeater {
                model: root.tabs.length
                delegate: Rectangle {
                    id: chip
                    objectName: "tabChip" + index
                    readonly property bool active: index === root.currentTab
                    implicitHeight: 20
                    implicitWidth: chipLabel.implicitWidth + 14
                    radius: 5
                    color: active ? Theme.surfaceAlt : "transparent"
                    border.width: activeFocus ? 2 : 1
                    border.color: active || activeFocus ? Theme.accent : Theme.border
                    // A tab stop of its own: Space or Enter chooses it.
                    activeFocusOnTab: true
                    Keys.onSpacePressed: root.tabActivated(index)
                    Keys.onReturnPressed: root.tabActivated(index)
                    Keys.onEnterPressed: root.tabActivated(index)

                    Label {
                        id: chipLabel
                        objectName: "tabChipLabel"
                        anchors.centerIn: parent
                        text: root.tabs[index]
                        color: chip.active ? Theme.text : Theme.muted
                        font.bold: chip.active
                        font.pixelSize: Theme.fontCaption
                    }
                    MouseArea {
                        anchors.fill: parent
                        cursorShape: Qt.PointingHandCursor
                        onClicked: root.tabActivated(index)
                    }
                }
            }

            Item {
                Layout.fillWidth: true
            }

            // The note keeps its channel, window and bin width: smaller type, then a second line.
            FittedText {
                objectName: "noteLabel"
                text: root.note
                color: Theme.muted
                basePixelSize: Theme.fontCaption
                minimumPixelSize: Theme.fontTiny
                horizontalAlignment: Text.AlignRight
                Layout.fillWidth: true
                Layout.minimumWidth: 0
                Layout.maximumWidth: Math.max(60, 0.55 * root.width)
            }
        }

        Item {
            id: axisBox
            objectName: "axisBox"
            Layout.fillWidth: true
            Layout.fillHeight: true

            readonly property string mode: root.axisMode
            readonly property int leftGutter: mode === "spectrum" ? Math.ceil(dbMetrics.advanceWidth) + 8
                                            : mode === "waterfall" ? 34
                                            : mode === "lanes" ? 28
                                            : mode === "waveform"
                                              ? Math.ceil(Math.max(dbMetrics.advanceWidth,
                                                                   lowerScaleMetrics.advanceWidth)) + 8
                                            : 0
            readonly property int rightGutter: 4
            readonly property int bottomGutter: mode === "waveform" || mode === "spectrum"
                                                || mode === "waterfall" ? 16
                                              : mode === "overlay" ? 24 : 0
            readonly property real plotW: Math.max(0, width - leftGutter - rightGutter)
            readonly property real plotH: Math.max(0, height - bottomGutter)
            readonly property bool frequencyAxis: mode === "spectrum" || mode === "waterfall"
            readonly property bool cursorShown: root.interactiveSpectrum && root.nyquistHz > 0
            readonly property int laneBase: Math.floor(ui.diagnosticChannel / 16) * 16

            function xForFreq(f) {
                if (f < root.logMinHz || !(root.nyquistHz > root.logMinHz))
                    return -1
                const u = Math.log(f / root.logMinHz) / Math.log(root.nyquistHz / root.logMinHz)
                return leftGutter + Math.max(0, Math.min(1, u)) * plotW
            }

            Rectangle {
                objectName: "plotFrame"
                x: axisBox.leftGutter
                width: axisBox.plotW
                height: axisBox.plotH
                color: "transparent"
                border.width: 1
                border.color: Theme.muted
                opacity: 0.8
            }

            Repeater {
                objectName: "timeGrid"
                model: axisBox.mode === "waveform" ? 6 : 0
                delegate: Rectangle {
                    x: axisBox.leftGutter + (index / 5) * axisBox.plotW - (index === 5 ? 1 : 0)
                    width: 1
                    height: axisBox.plotH
                    color: Theme.muted
                    opacity: 0.35
                }
            }

            Rectangle {
                objectName: "centreLine"
                visible: axisBox.mode === "waveform" || axisBox.mode === "overlay"
                x: axisBox.leftGutter
                y: axisBox.plotH / 2
                width: axisBox.plotW
                height: 1
                color: Theme.muted
                opacity: 0.6
            }

            Repeater {
                objectName: "levelGrid"
                model: axisBox.mode === "spectrum" ? 7 : 0
                delegate: Item {
                    readonly property real db: -20 * index
                    readonly property real lineY: axisBox.plotH * (1 - (db + 120) / 120)
                    Rectangle {
                        x: axisBox.leftGutter
                        y: parent.lineY
                        width: axisBox.plotW
                        height: 1
                        color: Theme.muted
                        opacity: 0.35
                    }
                    Text {
                        objectName: "levelLabel" + index
                        // A short plot labels every second or third line, so no two labels touch; the end
                        // labels are pulled half a label inwards, hence the one and a half heights.
                        visible: index % (axisBox.plotH / 6 >= 1.5 * dbMetrics.height + 2 ? 1
                                          : axisBox.plotH / 3 >= 1.5 * dbMetrics.height + 2 ? 2 : 3) === 0
                        width: axisBox.leftGutter - 6
                        y: Math.max(0, Math.min(axisBox.plotH - height, parent.lineY - height / 2))
                        horizontalAlignment: Text.AlignRight
                        text: parent.db + " dB"
                        color: Theme.muted
                        font.pixelSize: Theme.fontMicro
                    }
                }
            }

            Repeater {
                objectName: "decadeGrid"
                model: axisBox.frequencyAxis ? root.decades : []
                delegate: Item {
                    readonly property real lineX: axisBox.xForFreq(modelData)
                    Rectangle {
                        objectName: "decadeLine" + index
                        visible: parent.lineX >= 0
                        x: parent.lineX
                        width: 1
                        height: axisBox.plotH
                        color: Theme.muted
                        opacity: 0.35
                    }
                    Text {
                        objectName: "decadeLabel" + index
                        readonly property real shift: index === 0 ? width / 2 - 4 : 0
                        // A decade too close to the top of the axis gives way to the Nyquist label.
                        visible: parent.lineX >= 0 && (!nyquistLabel.visible || x + width + 6 <= nyquistLabel.x)
                        x: Math.max(axisBox.leftGutter - shift,
                                    Math.min(axisBox.leftGutter + axisBox.plotW - width, parent.lineX - width / 2))
                        y: axisBox.plotH + 2
                        text: root.decadeLabel(modelData)
                        color: Theme.muted
                        font.pixelSize: Theme.fontMicro
                    }
                }
            }

            Text {
                id: nyquistLabel
                objectName: "nyquistLabel"
                visible: axisBox.frequencyAxis && root.nyquistHz > 0
                x: axisBox.leftGutter + axisBox.plotW - width
                y: axisBox.plotH + 2
                text: (root.nyquistHz / 1000).toFixed(1) + " kHz"
                color: Theme.muted
                font.pixelSize: Theme.fontMicro
            }

            Image {
                id: plotImage
                objectName: "plotImage"
                x: axisBox.leftGutter
                width: axisBox.plotW
                height: axisBox.plotH
                source: root.imageSource
                fillMode: Image.Stretch
                cache: false
                asynchronous: false
                smooth: true
            }

            Repeater {
                objectName: "timeLabels"
                model: axisBox.mode === "waveform" ? 6 : 0
                delegate: Text {
                    objectName: "timeLabel" + index
                    readonly property real shift: index === 0 ? width / 2 : 0
                    x: Math.max(axisBox.leftGutter - shift,
                                Math.min(axisBox.leftGutter + axisBox.plotW - width,
                                         axisBox.leftGutter + (index / 5) * axisBox.plotW - width / 2))
                    y: axisBox.plotH + 2
                    text: root.formatTimeTick(-ui.waveformWindowS * (1 - index / 5), ui.waveformWindowS)
                    color: Theme.muted
                    font.pixelSize: Theme.fontMicro
                }
            }

            Item {
                visible: axisBox.mode === "waveform"
                Text {
                    objectName: "scaleTopLabel"
                    width: axisBox.leftGutter - 6
                    horizontalAlignment: Text.AlignRight
                    text: "+" + Math.round(ui.diagnosticWaveformScaleAbs)
                    color: Theme.muted
                    font.pixelSize: Theme.fontMicro
                }
                Text {
                    objectName: "scaleZeroLabel"
                    width: axisBox.leftGutter - 6
                    y: axisBox.plotH / 2 - height / 2
                    horizontalAlignment: Text.AlignRight
                    text: "0"
                    color: Theme.muted
                    font.pixelSize: Theme.fontMicro
                }
                Text {
                    objectName: "scaleBottomLabel"
                    width: axisBox.leftGutter - 6
                    y: axisBox.plotH - height
                    horizontalAlignment: Text.AlignRight
                    text: lowerScaleMetrics.text
                    color: Theme.muted
                    font.pixelSize: Theme.fontMicro
                }
            }

            Repeater {
                objectName: "laneLabels"
                model: axisBox.mode === "lanes" ? 16 : 0
                delegate: Text {
                    objectName: "laneLabel" + index
                    readonly property real laneH: axisBox.plotH / 16
                    readonly property int channel: axisBox.laneBase + index
                    visible: laneH >= 10
                    x: 0
                    y: index * laneH
                    width: 24
                    height: laneH
                    horizontalAlignment: Text.AlignRight
                    verticalAlignment: Text.AlignVCenter
                    text: channel + 1
                    color: channel === ui.diagnosticChannel ? Theme.accent : Theme.muted
                    font.pixelSize: Theme.fontMicro
                }
            }

            Repeater {
                objectName: "overlayChips"
                model: axisBox.mode === "overlay" ? 16 : 0
                delegate: Rectangle {
                    objectName: "overlayChip" + index
                    readonly property real slot: axisBox.plotW / 16
                    readonly property int channel: axisBox.laneBase + index
                    width: Math.max(16, Math.min(28, slot - 2))
                    height: 18
                    radius: 3
                    x: axisBox.leftGutter + (index + 0.5) * slot - width / 2
                    y: axisBox.plotH + 3
                    color: Qt.hsva(((index * 22.5 + 11) % 360) / 360, 0.78, 0.92, 1)
                    border.width: 2
                    border.color: channel === ui.diagnosticChannel ? Theme.text : "transparent"
                    Text {
                        objectName: "overlayChipText" + index
                        anchors.centerIn: parent
                        text: parent.channel + 1
                        font.bold: true
                        font.pixelSize: Theme.fontMicro
                        color: root.inkOn(parent.color)
                    }
                }
            }

            Item {
                visible: axisBox.mode === "waterfall"
                Text {
                    objectName: "waterfallTopLabel"
                    width: axisBox.leftGutter - 6
                    horizontalAlignment: Text.AlignRight
                    text: "0 s"
                    color: Theme.muted
                    font.pixelSize: Theme.fontMicro
                }
                Text {
                    objectName: "waterfallBottomLabel"
                    width: axisBox.leftGutter - 6
                    y: axisBox.plotH - height
                    horizontalAlignment: Text.AlignRight
                    text: "-" + Math.round(ui.diagnosticWaterfallSpanS) + " s"
                    color: Theme.muted
                    font.pixelSize: Theme.fontMicro
                }
            }

            Rectangle {
                id: freqHoverLine
                objectName: "freqHoverLine"
                readonly property real hoverX: freqPickArea.containsMouse
                                               ? axisBox.xForFreq(root.pickFreq(freqPickArea.mouseX)) - 0.5 : -1
                z: 1
                visible: axisBox.cursorShown && freqPickArea.containsMouse && hoverX >= 0
                x: hoverX
                width: 1
                height: axisBox.plotH
                color: Theme.plotText
                opacity: 0.45
            }

            Rectangle {
                objectName: "freqHoverBubble"
                z: 3
                visible: freqHoverLine.visible
                y: 21
                height: 17
                width: hoverBubbleLabel.implicitWidth + 10
                radius: 4
                x: Math.max(axisBox.leftGutter,
                            Math.min(axisBox.leftGutter + axisBox.plotW - width, freqHoverLine.hoverX - width / 2))
                color: Theme.plotBg85
                opacity: 0.85
                border.width: 1
                border.color: Theme.plotText
                Label {
                    id: hoverBubbleLabel
                    objectName: "freqHoverText"
                    anchors.centerIn: parent
                    text: freqPickArea.containsMouse ? root.frequencyLabel(root.pickFreq(freqPickArea.mouseX)) : ""
                    color: Theme.plotText
                    font.pixelSize: Theme.fontCaption
                }
            }

            Rectangle {
                id: freqLine
                objectName: "freqLine"
                readonly property real lineX: axisBox.xForFreq(root.pendingFrequencyHz)
                z: 2
                visible: axisBox.cursorShown && lineX >= 0
                x: lineX
                width: 2
                height: axisBox.plotH
                color: Theme.dangerSoft
            }

            Rectangle {
                objectName: "freqBubble"
                z: 3
                visible: freqLine.visible
                y: 2
                height: 17
                width: freqBubbleLabel.implicitWidth + 10
                radius: 4
                x: Math.max(axisBox.leftGutter,
                            Math.min(axisBox.leftGutter + axisBox.plotW - width, freqLine.lineX - width / 2))
                color: Theme.plotBg85
                border.width: 1
                border.color: Theme.dangerSoft
                Label {
                    id: freqBubbleLabel
                    objectName: "freqBubbleText"
                    anchors.centerIn: parent
                    text: root.frequencyLabel(root.pendingFrequencyHz)
                    color: Theme.dangerSoft
                    font.pixelSize: Theme.fontCaption
                }
            }

            MouseArea {
                id: freqPickArea
                objectName: "freqPickArea"
                z: 4
                visible: axisBox.cursorShown
                enabled: visible
                x: axisBox.leftGutter
                width: axisBox.plotW
                height: axisBox.plotH
                hoverEnabled: true
                cursorShape: Qt.CrossCursor
                onClicked: mouse => {
                    const f = root.pickFreq(mouse.x)
                    if (root.commitToAnalysisFrequency)
                        ui.analysisFrequencyHz = f
                    else
                        ui.setFrequency(f)
                }
            }

            WheelHandler {
                objectName: "wheelZoom"
                target: null
                enabled: root.wheelTarget !== ""
                onWheel: event => {
                    const factor = event.angleDelta.y > 0 ? 1 / 1.25 : 1.25
                    if (root.wheelTarget === "overlay")
                        ui.setOverlayWindowS(ui.overlayWindowS * factor)
                    else
                        ui.setWaveformWindowS(ui.waveformWindowS * factor)
                }
            }
        }
    }
}
