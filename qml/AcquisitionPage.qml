import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

Page {
    id: root

    // Whether this page is the workspace stack's current page (the stack shows only that one); hidden
    // pages request no images.
    readonly property bool pageActive: visible
    readonly property bool cameraActive: !!window.appCamera && window.appCamera.active

    property alias acousticVideoOutput: acousticCanvas.videoOutput

    background: Rectangle {
        color: Theme.bg
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

                    // First in its column, so the status line is in sight whenever the page opens.
                    Rectangle {
                        objectName: "statusStrip"
                        Layout.fillWidth: true
                        implicitHeight: Math.max(44, statusRow.implicitHeight + 20)
                        color: Theme.surface
                        radius: 8
                        border.width: 1
                        border.color: Theme.border

                        ColumnLayout {
                            id: statusRow
                            anchors.fill: parent
                            anchors.leftMargin: 12
                            anchors.rightMargin: 12
                            anchors.topMargin: 10
                            anchors.bottomMargin: 10
                            spacing: 4

                            ElidedLabel {
                                objectName: "statusLabel"
                                text: ui.statusText
                                elide: Text.ElideRight
                                font.pixelSize: Theme.fontSmall
                                color: ui.sessionState === "Faulted" ? Theme.dangerSoft : Theme.text
                                Layout.fillWidth: true
                            }
                            ElidedLabel {
                                objectName: "recordingLabel"
                                Layout.fillWidth: true
                                elide: Text.ElideRight
                                visible: ui.recording
                                color: Theme.danger
                                font.pixelSize: Theme.fontCaption
                                text: qsTr("REC %1 · %2 / %3 s · %4 MB · %5")
                                      .arg(ui.recordingMeasurementId)
                                      .arg(ui.recordingElapsedSeconds.toFixed(1))
                                      .arg(ui.recordingMaxDurationSeconds.toFixed(0))
                                      .arg((ui.recordingBytes / 1048576).toFixed(2))
                                      .arg(ui.recordingVideoActive ? qsTr("CAM") : qsTr("no video"))
                            }
                        }
                    }

                    SignalDiagnostics {
                        objectName: "signalDiagnostics"
                        showGain: true
                        pageActive: root.pageActive
                        Layout.fillWidth: true
                        Layout.fillHeight: true
                    }
                }

                ColumnLayout {
                    spacing: 10
                    Layout.fillWidth: true
                    Layout.fillHeight: true

                    AlgorithmMapPanel {
                        objectName: "algorithmMapPanel"
                        shortWindow: Window.height > 0 && Window.height < 900
                        Layout.fillWidth: true
                    }

                    AcousticCanvas {
                        id: acousticCanvas
                        objectName: "acousticCanvas"
                        Layout.fillWidth: true
                        Layout.fillHeight: true
                        Layout.minimumHeight: 420
                        panelTitle: qsTr("Sound pressure map")
                        panelSubtitle: root.cameraActive
                                       ? qsTr("UVC video overlay active — Record captures a video track")
                                       : qsTr("No camera — Record will be audio only")
                        expectedSource: "live"
                        pageActive: root.pageActive
                    }
                }
            }
        }
    }
}
