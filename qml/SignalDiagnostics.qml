import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// What the acquisition delivers, from the same blocks the Recorder and the beamformer receive; every
// picture is an image the controller's diagnostics worker renders, this panel only frames it.
Rectangle {
    id: root

    property bool showGain: false
    property string expectedSource: "live"
    property bool pageActive: true
    property string emptyHint: qsTr("waiting for data")
    readonly property bool diagVisible: pageActive && ui.diagnosticSource === expectedSource
    // The array fell silent: the pictures still show its last samples, which are not live any more.
    readonly property bool stale: diagVisible && expectedSource === "live" && ui.mapStale
    readonly property real staleOpacity: stale ? 0.4 : 1

    // Empty while hidden or showing the other workspace's source, so no image is requested then.
    ActionBlockers {
        id: blockers
    }

    function diagnosticSource(name) {
        return diagVisible ? "image://diagnostic/" + name + "?" + ui.diagnosticRevision : ""
    }

    function waveformNote() {
        const c = ui.diagnosticChannel
        const g = Math.floor(c / 16) * 16
        if (ui.waveformMode === 2)
            return qsTr("16ch overlay · %1 ms · wheel zooms the time axis")
                   .arg(Math.round(ui.overlayWindowS * 1000))
        if (ui.waveformMode === 1)
            return qsTr("16 lanes · ch %1-%2 · wheel zooms the time axis").arg(g + 1).arg(g + 16)
        return qsTr("ch %1 · window %2 s · wheel zooms the time axis")
               .arg(c + 1).arg(ui.waveformWindowS.toFixed(2))
    }

    color: Theme.surface
    radius: Theme.radius
    border.width: 1
    border.color: Theme.border

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 12
        spacing: 9

        RowLayout {
            Layout.fillWidth: true
            spacing: 10

            ColumnLayout {
                spacing: 2
                Layout.fillWidth: true
                Label {
                    text: qsTr("Signal monitor")
                    color: Theme.text
                    font.bold: true
                    font.pixelSize: Theme.fontTitle
                }
                FittedText {
                    text: qsTr("Live snapshots · same samples as Recorder and DSP")
                    color: Theme.muted
                    basePixelSize: Theme.fontCaption
                    minimumPixelSize: Theme.fontTiny
                    maximumLines: 1
                    Layout.fillWidth: true
                }
            }
            Item {
                Layout.fillWidth: true
            }
            Label {
                text: qsTr("Channel")
                color: Theme.muted
                font.pixelSize: Theme.fontSmall
            }
            ThemedSpinBox {
                id: channelBox
                objectName: "channelBox"
                Layout.preferredWidth: 106
                from: 1
                to: Math.max(1, ui.diagnosticChannelCount)
                value: ui.diagnosticChannel + 1
                enabled: ui.diagnosticChannelCount > 0
                disabledReason: blockers.channels()
                onValueModified: {
                    ui.diagnosticChannel = value - 1
                    value = Qt.binding(() => ui.diagnosticChannel + 1)
                }
            }
        }

        RowLayout {
            objectName: "gainRow"
            visible: root.showGain && ui.source === "UDP"
            Layout.fillWidth: true
            spacing: 10

            Label {
                text: qsTr("Gain (0-10)")
                color: Theme.muted
                font.pixelSize: Theme.fontSmall
            }
            ThemedSpinBox {
                objectName: "gainBox"
                Layout.preferredWidth: 120
                from: 0
                to: 10
                value: deviceCtl.gain
                enabled: deviceCtl.canOperate && !deviceCtl.busy
                disabledReason: blockers.deviceAction()
                onValueModified: {
                    deviceCtl.gain = value
                    value = Qt.binding(() => deviceCtl.gain)
                }
            }
            Label {
                objectName: "noSerialNote"
                visible: !deviceCtl.canOperate
                text: qsTr("no serial link")
                color: Theme.muted
                font.pixelSize: Theme.fontCaption
            }
            Item {
                Layout.fillWidth: true
            }
        }

        // Wrapped between its fields, so the peak frequency and level stay in sight on a narrow panel.
        ElidedLabel {
            objectName: "summaryLabel"
            Layout.fillWidth: true
            text: ui.diagnosticSummary
            font.family: Theme.fontMono
            font.pixelSize: Theme.fontCaption
            wrapMode: Text.WordWrap
            maximumLineCount: 3
            elide: Text.ElideRight
            // The count, not the text: the summary reads "silent 0/" only in English.
            color: ui.diagnosticSilentChannels === 0 ? Theme.success : Theme.accent
            opacity: root.staleOpacity
        }

        DiagnosticPlotPanel {
            objectName: "waveformPanel"
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.minimumHeight: 145
            Layout.preferredHeight: 210
            title: qsTr("Time waveform")
            tabs: [qsTr("Single"), qsTr("16 lanes"), qsTr("16 overlay")]
            currentTab: ui.waveformMode
            onTabActivated: index => ui.setWaveformMode(index)
            axisMode: ui.waveformMode === 1 ? "lanes" : ui.waveformMode === 2 ? "overlay" : "waveform"
            wheelTarget: ui.waveformMode === 2 ? "overlay" : "waveform"
            imageSource: root.diagnosticSource("waveform")
            note: root.waveformNote()
            opacity: root.staleOpacity
        }

        DiagnosticPlotPanel {
            objectName: "spectrumPanel"
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.minimumHeight: 145
            Layout.preferredHeight: 210
            title: qsTr("Spectrum (dBFS)")
            axisMode: "spectrum"
            interactiveSpectrum: true
            imageSource: root.diagnosticSource("spectrum")
            note: qsTr("bin %1 Hz · Hann · click to choose imaging center frequency")
                  .arg(ui.diagnosticSpectrumBinHz.toFixed(1))
            opacity: root.staleOpacity
        }

        Rectangle {
            objectName: "auxiliaryCard"
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.minimumHeight: 160
            Layout.preferredHeight: 230
            color: Theme.plotBg
            radius: 9
            border.width: 1
            border.color: Theme.border
            opacity: root.staleOpacity

            ColumnLayout {
                anchors.fill: parent
                anchors.margins: 8
                spacing: 5

                RowLayout {
                    Layout.fillWidth: true
                    Label {
                        text: qsTr("Auxiliary view")
                        color: Theme.text
                        font.bold: true
                        font.pixelSize: Theme.fontSmall
                    }
                    Item {
                        Layout.fillWidth: true
                    }
                    Label {
                        id: meterHoverLabel
                        objectName: "meterHoverLabel"
                        visible: auxiliaryView.currentIndex === 1
                        text: ""
                        color: Theme.text
                        font.family: Theme.fontMono
                        font.pixelSize: Theme.fontCaption
                    }
                    ThemedCombo {
                        objectName: "waterfallColormapCombo"
                        visible: auxiliaryView.currentIndex === 0
                        Layout.preferredWidth: 96
                        model: ["Viridis", "Turbo", "JET", "Magma"]
                        currentIndex: ui.waterfallColormap
                        onActivated: index => {
                            ui.setWaterfallColormap(index)
                            currentIndex = Qt.binding(() => ui.waterfallColormap)
                        }
                    }
                    ThemedCombo {
                        id: auxiliaryView
                        objectName: "auxiliaryView"
                        Layout.preferredWidth: 150
                        model: ["waterfall", "channelRms"]
                        currentIndex: 0
                        textMapper: id => id === "channelRms" ? qsTr("Channel RMS") : qsTr("Waterfall")
                    }
                }

                StackLayout {
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    currentIndex: auxiliaryView.currentIndex

                    Item {
                        id: waterfallBox
                        objectName: "waterfallBox"
                        readonly property real logMinHz: 100
                        readonly property var decades: [100, 1000, 10000]
                        readonly property int leftGutter: 34
                        readonly property int bottomGutter: 16
                        readonly property real plotW: Math.max(0, width - 34 - 4)
                        readonly property real plotH: Math.max(0, height - 16)

                        function xForFreq(f) {
                            const nyquist = ui.spectrumNyquistHz
                            if (f < logMinHz || !(nyquist > logMinHz))
                                return -1
                            const u = Math.log(f / logMinHz) / Math.log(nyquist / logMinHz)
                            return leftGutter + Math.max(0, Math.min(1, u)) * plotW
                        }

                        Rectangle {
                            x: waterfallBox.leftGutter
                            width: waterfallBox.plotW
                            height: waterfallBox.plotH
                            color: "transparent"
                            border.width: 1
                            border.color: Theme.muted
                            opacity: 0.8
                        }
                        Repeater {
                            model: waterfallBox.decades
                            delegate: Rectangle {
                                objectName: "waterfallDecadeLine" + index
                                readonly property real lineX: waterfallBox.xForFreq(modelData)
                                visible: lineX >= 0
                                x: lineX
                                width: 1
                                height: waterfallBox.plotH
                                color: Theme.muted
                                opacity: 0.35
                            }
                        }
                        Image {
                            objectName: "waterfallImage"
                            x: waterfallBox.leftGutter
                            width: waterfallBox.plotW
                            height: waterfallBox.plotH
                            source: root.diagnosticSource("waterfall")
                            fillMode: Image.Stretch
                            cache: false
                            asynchronous: false
                            smooth: true
                        }
                        Text {
                            width: 28
                            horizontalAlignment: Text.AlignRight
                            text: "0 s"
                            color: Theme.muted
                            font.pixelSize: Theme.fontMicro
                        }
                        Text {
                            objectName: "waterfallSpanLabel"
                            width: 28
                            y: waterfallBox.plotH - height
                            horizontalAlignment: Text.AlignRight
                            text: "-" + Math.round(ui.diagnosticWaterfallSpanS) + " s"
                            color: Theme.muted
                            font.pixelSize: Theme.fontMicro
                        }
                        Repeater {
                            model: waterfallBox.decades
                            delegate: Text {
                                objectName: "waterfallDecadeLabel" + index
                                readonly property real lineX: waterfallBox.xForFreq(modelData)
                                // A decade too close to the top of the axis gives way to the Nyquist label.
                                visible: lineX >= 0
                                         && (!waterfallNyquistLabel.visible || x + width + 6 <= waterfallNyquistLabel.x)
                                x: Math.max(34, Math.min(34 + waterfallBox.plotW - width, lineX - width / 2))
                                y: waterfallBox.plotH + 2
                                text: modelData >= 1000 ? (modelData / 1000) + " kHz" : modelData + " Hz"
                                color: Theme.muted
                                font.pixelSize: Theme.fontMicro
                            }
                        }
                        Text {
                            id: waterfallNyquistLabel
                            objectName: "waterfallNyquistLabel"
                            visible: ui.spectrumNyquistHz > 0
                            x: 34 + waterfallBox.plotW - width
                            y: waterfallBox.plotH + 2
                            text: (ui.spectrumNyquistHz / 1000).toFixed(1) + " kHz"
                            color: Theme.muted
                            font.pixelSize: Theme.fontMicro
                        }
                    }

                    Item {
                        id: levelsBox
                        objectName: "levelsBox"
                        readonly property int perRow: Math.max(1, ui.diagnosticMeterPerRow)
                        readonly property int rows: Math.max(1, Math.ceil(ui.diagnosticChannelCount / perRow))
                        // Every k-th column carries its channel number, k the smallest step at which the
                        // widest number and a gap fit between two labels.
                        readonly property int labelStep: {
                            const slot = width / perRow
                            const needed = widestLabel.advanceWidth + 4
                            for (const k of [1, 2, 4, 8, 16, 32, 64]) {
                                if (k * slot >= needed || k >= perRow)
                                    return k
                            }
                            return perRow
                        }

                        TextMetrics {
                            id: widestLabel
                            font.pixelSize: Theme.fontMicro
                            text: String(Math.max(1, ui.diagnosticChannelCount))
                        }

                        Image {
                            objectName: "levelsImage"
                            anchors.fill: parent
                            source: root.diagnosticSource("levels")
                            fillMode: Image.Stretch
                            cache: false
                            asynchronous: false
                            smooth: true
                        }
                        Repeater {
                            objectName: "meterLabels"
                            model: ui.diagnosticChannelCount
                            delegate: Text {
                                readonly property real band: levelsBox.height / levelsBox.rows
                                readonly property real slot: levelsBox.width / levelsBox.perRow
                                visible: index % levelsBox.perRow % levelsBox.labelStep === 0
                                x: Math.max(0, Math.min(levelsBox.width - width,
                                                        (index % levelsBox.perRow + 0.5) * slot - width / 2))
                                y: Math.floor(index / levelsBox.perRow) * band + band - 15
                                text: index + 1
                                color: Theme.muted
                                font.pixelSize: Theme.fontMicro
                            }
                        }
                        MouseArea {
                            objectName: "meterHoverArea"
                            // The cell under the pointer, also where the pointer enters; the index may
                            // pass the last channel, whose read-out is empty.
                            function readCell(x, y) {
                                const row = Math.min(levelsBox.rows - 1,
                                                     Math.floor(y / Math.max(1, height) * levelsBox.rows))
                                const col = Math.min(levelsBox.perRow - 1,
                                                     Math.floor(x / Math.max(1, width) * levelsBox.perRow))
                                meterHoverLabel.text = ui.meterReadout(row * levelsBox.perRow + col)
                            }
                            anchors.fill: parent
                            hoverEnabled: true
                            onEntered: readCell(mouseX, mouseY)
                            onPositionChanged: mouse => readCell(mouse.x, mouse.y)
                            onExited: meterHoverLabel.text = ""
                        }
                    }
                }
            }
        }
    }

    Rectangle {
        objectName: "diagStaleHint"
        visible: root.stale
        anchors.centerIn: parent
        width: Math.min(diagStaleText.implicitWidth, root.width - 48) + 16
        height: diagStaleText.height + 8
        color: Theme.surfaceAlt
        border.color: Theme.warning
        radius: 8

        Label {
            id: diagStaleText
            objectName: "diagStaleHintText"
            anchors.centerIn: parent
            width: Math.min(implicitWidth, root.width - 48)
            wrapMode: Text.WordWrap
            horizontalAlignment: Text.AlignHCenter
            color: Theme.warning
            font.pixelSize: Theme.fontSmall
            text: qsTr("No data from the array - these views are not live")
        }
    }

    Rectangle {
        objectName: "diagCover"
        anchors.fill: parent
        visible: !root.diagVisible
        color: Theme.surface
        radius: root.radius

        Label {
            anchors.centerIn: parent
            text: root.emptyHint
            color: Theme.muted
            font.pixelSize: Theme.fontSmall
        }
        // The panels under the cover are not live; the cover keeps pointer input away from them.
        MouseArea {
            anchors.fill: parent
            hoverEnabled: true
            onWheel: wheel => wheel.accepted = true
        }
    }

    Timer {
        id: auxRmsTimer
        interval: 2500
        onTriggered: auxiliaryView.currentIndex = 1
    }
    Timer {
        id: waveModeTimer
        property int mode: 0
        interval: 2000
        onTriggered: ui.waveformMode = mode
    }
    Component.onCompleted: {
        const args = Qt.application.arguments
        if (args.indexOf("--aux-rms") >= 0)
            auxRmsTimer.start()
        const at = args.indexOf("--wave-mode")
        const mode = at >= 0 && at + 1 < args.length ? parseInt(args[at + 1]) : NaN
        if (isFinite(mode)) {
            waveModeTimer.mode = mode
            waveModeTimer.start()
        }
    }
}
