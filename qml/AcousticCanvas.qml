import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QtMultimedia

Rectangle {
    id: root

    property string panelTitle: qsTr("Acoustic map")
    property string panelSubtitle: qsTr("Camera overlay is not configured in this slice")
    property bool replayMode: false
    property bool replayHasVideo: false
    property string replayVideoSource: ""
    property string expectedSource: "live"
    property bool pageActive: true
    readonly property bool mapVisible: pageActive && ui.hasHeatmap && ui.mapSource === expectedSource
    property string emptyPrimary: ui.hasProfile ? qsTr("Press Start to publish the first map")
                                                : qsTr("Import a Device Profile")
    property string emptySecondary: qsTr("The acoustic map updates in real time")

    property alias videoOutput: liveVideo
    property alias replayPlayer: replayPlayerLoader.item

    signal viewportClicked()

    function reloadMapImage() {
        heatmap.reloadField()
    }

    // The 4:3 picture box inside a 10 px margin of a w x h viewport, centred.
    function pictureBox(w, h) {
        const innerW = w - 20
        const innerH = h - 20
        const boxW = innerW * 3 / 4 > innerH ? innerH * 4 / 3 : innerW
        const boxH = innerW * 3 / 4 > innerH ? innerH : innerW * 3 / 4
        return Qt.rect((w - boxW) / 2, (h - boxH) / 2, boxW, boxH)
    }

    onMapVisibleChanged: reloadMapImage()
    onPageActiveChanged: reloadMapImage()

    color: Theme.plotBg
    radius: Theme.radius
    border.width: 1
    border.color: Theme.border

    Gradient {
        id: legendViridis
        GradientStop { position: 0; color: Theme.colormapViridis[0] }
        GradientStop { position: 0.25; color: Theme.colormapViridis[1] }
        GradientStop { position: 0.5; color: Theme.colormapViridis[2] }
        GradientStop { position: 0.75; color: Theme.colormapViridis[3] }
        GradientStop { position: 1; color: Theme.colormapViridis[4] }
    }
    Gradient {
        id: legendTurbo
        GradientStop { position: 0; color: Theme.colormapTurbo[0] }
        GradientStop { position: 0.25; color: Theme.colormapTurbo[1] }
        GradientStop { position: 0.5; color: Theme.colormapTurbo[2] }
        GradientStop { position: 0.75; color: Theme.colormapTurbo[3] }
        GradientStop { position: 1; color: Theme.colormapTurbo[4] }
    }
    Gradient {
        id: legendJet
        GradientStop { position: 0; color: Theme.colormapJet[0] }
        GradientStop { position: 0.25; color: Theme.colormapJet[1] }
        GradientStop { position: 0.5; color: Theme.colormapJet[2] }
        GradientStop { position: 0.75; color: Theme.colormapJet[3] }
        GradientStop { position: 1; color: Theme.colormapJet[4] }
    }

    Connections {
        target: ui
        function onHeatmapUpdated() { root.reloadMapImage() }
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 14
        spacing: 10

        // Anchored, not laid out: a layout on a hidden page misses the read-out's appearance and leaves
        // it on top of the title once the page shows.
        Item {
            Layout.fillWidth: true
            implicitHeight: Math.max(titleColumn.implicitHeight, peakBox.implicitHeight)

            // The title gives way to the peak read-out on a narrow map, cut with its tooltip.
            ColumnLayout {
                id: titleColumn
                anchors.left: parent.left
                anchors.right: peakBox.visible ? peakBox.left : parent.right
                anchors.rightMargin: peakBox.visible ? 10 : 0
                anchors.verticalCenter: parent.verticalCenter
                spacing: 2
                ElidedLabel {
                    Layout.fillWidth: true
                    text: root.panelTitle
                    color: Theme.text
                    font.bold: true
                    font.pixelSize: Theme.fontTitle
                    elide: Text.ElideRight
                }
                ElidedLabel {
                    Layout.fillWidth: true
                    text: root.panelSubtitle
                    color: Theme.muted
                    font.pixelSize: Theme.fontSmall
                    elide: Text.ElideRight
                }
            }
            Rectangle {
                id: peakBox
                objectName: "peakBox"
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                visible: root.mapVisible
                color: Theme.surfaceAlt
                border.color: Theme.border
                radius: 8
                implicitHeight: 34
                implicitWidth: peakText.implicitWidth + 20
                Label {
                    id: peakText
                    objectName: "peakText"
                    anchors.centerIn: parent
                    color: Theme.text
                    font.bold: true
                    font.pixelSize: Theme.fontBody
                    // A normalised map has no level of its own: only its levels re peak are shown.
                    text: ui.mapHasAbsoluteLevels
                          ? qsTr("Peak %1° / %2° · span %3 dB · %4 dBFS")
                            .arg(ui.peakAzimuth.toFixed(1)).arg(ui.peakElevation.toFixed(1))
                            .arg(ui.mapSpanDb.toFixed(1)).arg(ui.peakLevelDbfs.toFixed(1))
                          : qsTr("Peak %1° / %2° · span %3 dB · levels re peak")
                            .arg(ui.peakAzimuth.toFixed(1)).arg(ui.peakElevation.toFixed(1))
                            .arg(ui.mapSpanDb.toFixed(1))
                }
            }
        }

        RowLayout {
            spacing: 12
            Layout.fillWidth: true
            Layout.fillHeight: true

            Rectangle {
                id: mapViewport
                objectName: "mapViewport"

                readonly property bool videoActive: replayVideo.visible || liveVideo.visible
                readonly property rect contentRect: replayVideo.visible ? replayVideo.contentRect
                                                  : liveVideo.visible ? liveVideo.contentRect
                                                  : root.pictureBox(width, height)

                Layout.fillWidth: true
                Layout.fillHeight: true
                Layout.minimumWidth: 420
                Layout.minimumHeight: 330
                color: Theme.plotBg
                border.color: Theme.plotBorder
                radius: 8
                clip: true

                Canvas {
                    id: gridCanvas
                    objectName: "gridCanvas"
                    anchors.fill: parent

                    readonly property rect area: mapViewport.contentRect
                    readonly property color lineColor: Theme.plotGrid
                    readonly property color frameColor: Theme.plotBorder
                    onAreaChanged: requestPaint()
                    onLineColorChanged: requestPaint()
                    onFrameColorChanged: requestPaint()
                    onWidthChanged: requestPaint()
                    onHeightChanged: requestPaint()

                    onPaint: {
                        const ctx = getContext("2d")
                        ctx.reset()
                        const r = area
                        ctx.save()
                        ctx.beginPath()
                        ctx.rect(r.x, r.y, r.width, r.height)
                        ctx.clip()
                        ctx.strokeStyle = lineColor
                        ctx.lineWidth = 1
                        ctx.beginPath()
                        for (let i = 1; i <= 5; ++i) {
                            const x = r.x + r.width * i / 6
                            ctx.moveTo(x, r.y)
                            ctx.lineTo(x, r.y + r.height)
                        }
                        for (let j = 1; j <= 5; ++j) {
                            const y = r.y + r.height * j / 6
                            ctx.moveTo(r.x, y)
                            ctx.lineTo(r.x + r.width, y)
                        }
                        ctx.stroke()
                        ctx.restore()
                        ctx.strokeStyle = frameColor
                        ctx.strokeRect(r.x + 0.5, r.y + 0.5, r.width - 1, r.height - 1)
                    }
                }

                VideoOutput {
                    id: liveVideo
                    objectName: "liveVideo"
                    anchors.fill: parent
                    fillMode: VideoOutput.PreserveAspectFit
                    visible: !root.replayMode && !!window.appCamera && window.appCamera.active
                    opacity: visible ? 1 : 0
                    transform: Scale {
                        origin.x: liveVideo.width / 2
                        xScale: ui.cameraMirror ? -1 : 1
                    }
                    Component.onCompleted: cameraFilter.attachLiveSink(liveVideo.videoSink)
                }

                Loader {
                    id: replayPlayerLoader
                    objectName: "replayPlayerLoader"
                    active: root.replayMode && root.replayHasVideo
                    sourceComponent: Component {
                        MediaPlayer {
                            source: root.replayVideoSource
                            videoOutput: replayVideo
                        }
                    }
                    onActiveChanged: {
                        if (!active)
                            heapTrimTimer.restart()
                    }

                    Timer {
                        id: heapTrimTimer
                        objectName: "heapTrimTimer"
                        interval: 1500
                        onTriggered: ui.trimMemory()
                    }
                }

                VideoOutput {
                    id: replayVideo
                    objectName: "replayVideo"
                    anchors.fill: parent
                    fillMode: VideoOutput.PreserveAspectFit
                    visible: root.replayMode && root.replayHasVideo
                    opacity: visible ? 1 : 0
                    transform: Scale {
                        origin.x: replayVideo.width / 2
                        xScale: ui.cameraMirror ? -1 : 1
                    }
                }

                HeatmapField {
                    id: heatmap
                    objectName: "heatmap"
                    z: 2
                    x: mapViewport.contentRect.x + mapViewport.width * ui.cameraOverlayOffsetX
                    y: mapViewport.contentRect.y + mapViewport.height * ui.cameraOverlayOffsetY
                    width: mapViewport.contentRect.width
                    height: mapViewport.contentRect.height
                    overlayMode: mapViewport.videoActive
                    fieldActive: root.mapVisible
                    visible: root.mapVisible
                    opacity: ui.heatmapOpacity
                    scale: ui.cameraOverlayScale
                    mirrored: ui.cameraMirror
                    transform: Scale {
                        origin.x: heatmap.width / 2
                        xScale: ui.cameraMirror ? -1 : 1
                    }
                }

                Rectangle {
                    anchors.centerIn: parent
                    width: 18
                    height: 1
                    color: Theme.plotText
                    opacity: 0.55
                }
                Rectangle {
                    anchors.centerIn: parent
                    width: 1
                    height: 18
                    color: Theme.plotText
                    opacity: 0.55
                }

                Rectangle {
                    objectName: "gateHint"
                    z: 3
                    visible: root.mapVisible && ui.mapVisiblePixels === 0
                    anchors.top: parent.top
                    anchors.topMargin: 8
                    anchors.horizontalCenter: parent.horizontalCenter
                    color: Theme.surfaceAlt
                    border.color: Theme.border
                    radius: 8
                    width: gateHintText.width + 16
                    height: gateHintText.height + 8
                    // Wrapped clear of the axis names in the map's top corners.
                    Label {
                        id: gateHintText
                        objectName: "gateHintText"
                        anchors.centerIn: parent
                        width: Math.min(Math.ceil(gateHintMetrics.advanceWidth) + 1,
                                        Math.max(120, mapViewport.width - 160))
                        wrapMode: Text.WordWrap
                        horizontalAlignment: Text.AlignHCenter
                        color: Theme.text
                        font.pixelSize: Theme.fontSmall
                        text: qsTr("Map below level gate: peak %1 dBFS < gate %2 dBFS - lower Level gate or make sound")
                              .arg(ui.peakLevelDbfs.toFixed(1)).arg(ui.levelGateDbfs.toFixed(0))
                    }
                    TextMetrics {
                        id: gateHintMetrics
                        font: gateHintText.font
                        text: gateHintText.text
                    }
                }

                Rectangle {
                    objectName: "staleHint"
                    z: 3
                    visible: root.mapVisible && root.expectedSource === "live" && ui.mapStale
                    anchors.bottom: parent.bottom
                    anchors.bottomMargin: 8
                    anchors.horizontalCenter: parent.horizontalCenter
                    color: Theme.surfaceAlt
                    border.color: Theme.warning
                    radius: 8
                    width: staleHintText.width + 16
                    height: staleHintText.height + 8
                    Label {
                        id: staleHintText
                        objectName: "staleHintText"
                        anchors.centerIn: parent
                        color: Theme.warning
                        font.pixelSize: Theme.fontSmall
                        text: qsTr("No data from the array - this map is not live")
                    }
                }

                Rectangle {
                    objectName: "emptyState"
                    visible: !root.mapVisible
                    anchors.centerIn: parent
                    width: emptyCol.width + 28
                    height: emptyCol.height + 18
                    color: Theme.plotBg85
                    border.color: Theme.border
                    radius: 8
                    Column {
                        id: emptyCol
                        // A long line wraps inside the viewport instead of running past its sides.
                        readonly property real lineWidth: Math.max(0, mapViewport.width - 48)
                        anchors.centerIn: parent
                        spacing: 8
                        Label {
                            objectName: "emptyPrimary"
                            anchors.horizontalCenter: parent.horizontalCenter
                            width: Math.min(implicitWidth, emptyCol.lineWidth)
                            horizontalAlignment: Text.AlignHCenter
                            wrapMode: Text.WordWrap
                            text: root.emptyPrimary
                            color: Theme.text
                            font.pixelSize: Theme.fontTitle
                        }
                        Label {
                            objectName: "emptySecondary"
                            anchors.horizontalCenter: parent.horizontalCenter
                            width: Math.min(implicitWidth, emptyCol.lineWidth)
                            horizontalAlignment: Text.AlignHCenter
                            wrapMode: Text.WordWrap
                            text: root.emptySecondary
                            color: Theme.muted
                            font.pixelSize: Theme.fontSmall
                        }
                    }
                }

                Label {
                    anchors.left: parent.left
                    anchors.bottom: parent.bottom
                    anchors.margins: 8
                    text: qsTr("Azimuth")
                    color: Theme.muted
                    font.pixelSize: Theme.fontCaption
                }
                Label {
                    anchors.left: parent.left
                    anchors.top: parent.top
                    anchors.margins: 8
                    text: qsTr("Elevation")
                    color: Theme.muted
                    font.pixelSize: Theme.fontCaption
                }

                MouseArea {
                    z: 10
                    anchors.fill: parent
                    onClicked: root.viewportClicked()
                }
            }

            ColumnLayout {
                spacing: 6
                Layout.preferredWidth: 66
                Layout.fillHeight: true

                Label {
                    text: "0 dB"
                    color: Theme.text
                    font.pixelSize: Theme.fontCaption
                    Layout.alignment: Qt.AlignHCenter
                }
                Rectangle {
                    objectName: "legendBar"
                    Layout.preferredWidth: 18
                    Layout.fillHeight: true
                    Layout.alignment: Qt.AlignHCenter
                    radius: 4
                    gradient: ui.heatmapColormap === 1 ? legendTurbo
                            : ui.heatmapColormap === 2 ? legendJet : legendViridis
                }
                Label {
                    objectName: "legendFloor"
                    text: "-" + heatmap.shownRangeDb.toFixed(1) + " dB"
                    color: Theme.muted
                    font.pixelSize: Theme.fontCaption
                    Layout.alignment: Qt.AlignHCenter
                }
            }
        }
    }
}
