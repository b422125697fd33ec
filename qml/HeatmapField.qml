import QtQuick
import QtQuick.Controls

Item {
    id: root

    property bool overlayMode: false
    property bool fieldActive: true
    // Set while the holder draws the field mirrored; the peak labels turn back so they stay readable.
    property bool mirrored: false
    // The range the colours span: the dynamic range, or the narrower span of a map shown relative to
    // its peak, so a map whose levels lie within a decibel of its peak still shows its source.
    readonly property real shownRangeDb: ui.hasHeatmap && !ui.mapHasAbsoluteLevels ? ui.mapShownRangeDb
                                                                                    : ui.dynamicRange

    // The changing query defeats the image cache, so each call fetches the newest field.
    function reloadField() {
        Qt.callLater(function () {
            if (root.fieldActive && ui.hasHeatmap)
                fieldImg.source = "image://heatmap/field?" + Date.now()
        })
    }

    Image {
        id: fieldImg
        objectName: "fieldImg"
        visible: false
        cache: false
        // The shader interpolates the field itself: hardware filtering of the packed bytes is too coarse.
        smooth: false
    }

    Image {
        id: lutImg
        objectName: "lutImg"
        visible: false
        cache: true
        smooth: false
        source: "image://heatmap/lut" + ui.heatmapColormap
    }

    ShaderEffect {
        id: fx
        objectName: "fx"
        anchors.fill: parent
        fragmentShader: "heatmap.frag.qsb"

        property var fieldTex: fieldImg
        property var lutTex: lutImg
        property real uRangeDb: root.shownRangeDb
        property real uGateDbfs: ui.mapHasAbsoluteLevels ? ui.levelGateDbfs : -120
        property real uPeakRef: ui.mapPeakReferenceDbfs
        property real uFixedRef: ui.fixedReferenceDbfs
        // A fixed dBFS scale means nothing to a map without absolute levels.
        property int uFixedMode: ui.heatmapScaleMode === "Fixed dBFS" && ui.mapHasAbsoluteLevels ? 1 : 0
        property int uStyle: ui.heatmapStyle
        property int uOverlay: root.overlayMode ? 1 : 0
        property real uOverlayThreshold: ui.cameraOverlayThreshold
        property real uOverlayAlpha: ui.cameraOverlayAlpha
        property real uContrastFade: ui.mapContrastFade
        property int uCCount: ui.contourLevelCount
        property vector4d uC0: ui.contourLevels0
        property vector4d uC1: ui.contourLevels1
        property vector4d uC2: ui.contourLevels2
        property vector4d uC3: ui.contourLevels3
        property vector4d uC4: ui.contourLevels4
        property vector4d uC5: ui.contourLevels5
        property color uInk: Theme.contourInk
        property size uFieldSize: Qt.size(fieldImg.implicitWidth, fieldImg.implicitHeight)
    }

    Repeater {
        objectName: "peakMarks"
        model: ui.heatmapStyle === 3 ? ui.mapPeaks : []

        delegate: Item {
            id: peakMark

            required property var modelData
            readonly property real px: modelData.u * width
            readonly property real py: modelData.v * height
            readonly property bool isPrimary: modelData.primary

            objectName: "peakMark"
            width: root.width
            height: root.height

            Rectangle {
                visible: peakMark.isPrimary
                x: 0
                y: peakMark.py
                width: peakMark.width
                height: 1
                opacity: 0.75
                color: Theme.plotFg
            }
            Rectangle {
                visible: peakMark.isPrimary
                x: peakMark.px
                y: 0
                width: 1
                height: peakMark.height
                opacity: 0.75
                color: Theme.plotFg
            }
            Rectangle {
                visible: !peakMark.isPrimary
                x: peakMark.px - 14
                y: peakMark.py - 1
                width: 9
                height: 2
                color: Theme.plotFg
            }
            Rectangle {
                visible: !peakMark.isPrimary
                x: peakMark.px + 5
                y: peakMark.py - 1
                width: 9
                height: 2
                color: Theme.plotFg
            }
            Rectangle {
                visible: !peakMark.isPrimary
                x: peakMark.px - 1
                y: peakMark.py - 14
                width: 2
                height: 9
                color: Theme.plotFg
            }
            Rectangle {
                visible: !peakMark.isPrimary
                x: peakMark.px - 1
                y: peakMark.py + 5
                width: 2
                height: 9
                color: Theme.plotFg
            }
            Rectangle {
                objectName: "ring"
                readonly property real diameter: peakMark.isPrimary ? 20 : 16
                x: peakMark.px - diameter / 2
                y: peakMark.py - diameter / 2
                width: diameter
                height: diameter
                radius: diameter / 2
                color: "transparent"
                border.width: 2
                border.color: Theme.plotFg
            }
            Rectangle {
                id: pill
                objectName: "pill"
                width: pillText.implicitWidth + 16
                height: pillText.implicitHeight + 10
                radius: 5
                x: Math.min(Math.max(peakMark.px + 14, 4), peakMark.width - width - 4)
                y: Math.min(Math.max(peakMark.py - height - 12, 4), peakMark.height - height - 4)
                color: Theme.plotBg85
                transform: Scale {
                    origin.x: pill.width / 2
                    xScale: root.mirrored ? -1 : 1
                }

                Label {
                    id: pillText
                    objectName: "pillText"
                    anchors.centerIn: parent
                    text: peakMark.modelData.label
                    color: Theme.plotFg
                    font.pixelSize: Theme.fontSmall
                    font.bold: true
                }
            }
        }
    }
}
