import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// The controller's diagnostic values as a name/value table beside the event log, with the bundle export.
Page {
    id: root

    background: Rectangle {
        color: Theme.bg
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 18
        spacing: 12

        RowLayout {
            Layout.fillWidth: true
            spacing: 10

            Label {
                text: qsTr("Diagnostics")
                color: Theme.text
                font.bold: true
                font.pixelSize: Theme.fontHero
            }
            Item {
                Layout.fillWidth: true
            }
            ThemedButton {
                objectName: "exportBundleButton"
                text: qsTr("Export diagnostics bundle")
                onClicked: ui.exportDiagnosticsBundle()
            }
            ThemedButton {
                objectName: "openFolderButton"
                text: qsTr("Open folder")
                onClicked: ui.openDiagnosticsFolder()
            }
        }

        Label {
            objectName: "diagnosticsPathLabel"
            Layout.fillWidth: true
            visible: ui.lastDiagnosticsPath !== ""
            text: ui.lastDiagnosticsPath
            color: Theme.success
            font.pixelSize: Theme.fontCaption
            elide: Text.ElideMiddle
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: 12

            // The values take up to half the row, so a profile or a latency line shows whole beside the log.
            Rectangle {
                Layout.preferredWidth: Math.max(430, Math.min(640, parent.width * 0.45))
                Layout.fillHeight: true
                color: Theme.surface
                radius: Theme.radius
                border.color: Theme.border

                ListView {
                    id: rowsView
                    objectName: "diagnosticRowsView"
                    anchors.fill: parent
                    anchors.margins: 12
                    clip: true
                    spacing: 6
                    model: ui.diagnosticRows
                    ScrollBar.vertical: PageScrollBar {}

                    // Placed by hand: the row is as tall as its wrapped value from the frame it is made
                    // in, so the rows the list rebuilds every second never overlap for a frame.
                    delegate: Item {
                        required property var modelData
                        width: ListView.view.width
                        implicitHeight: Math.max(rowName.implicitHeight, rowValue.implicitHeight)

                        ElidedLabel {
                            id: rowName
                            objectName: "rowName"
                            width: 190
                            text: String(modelData.name)
                            color: Theme.muted
                            font.pixelSize: Theme.fontSmall
                            elide: Text.ElideRight
                        }
                        // A value longer than its column takes a second line before it is cut.
                        ElidedLabel {
                            id: rowValue
                            objectName: "rowValue"
                            x: rowName.width + 12
                            width: parent.width - x
                            text: String(modelData.value)
                            color: Theme.text
                            font.family: Theme.fontMono
                            font.pixelSize: Theme.fontSmall
                            wrapMode: Text.WordWrap
                            maximumLineCount: 2
                            elide: Text.ElideRight
                        }
                    }
                }
            }

            Rectangle {
                Layout.fillWidth: true
                Layout.fillHeight: true
                color: Theme.surface
                radius: Theme.radius
                border.color: Theme.border

                ColumnLayout {
                    anchors.fill: parent
                    anchors.margins: 12
                    spacing: 8

                    Label {
                        text: qsTr("Event log")
                        color: Theme.muted
                        font.bold: true
                        font.pixelSize: Theme.fontSmall
                    }
                    ListView {
                        id: eventView
                        objectName: "eventView"
                        Layout.fillWidth: true
                        Layout.fillHeight: true
                        clip: true
                        spacing: 2
                        model: ui.eventLog
                        // The newest line stays in sight whenever entries come or go.
                        onCountChanged: Qt.callLater(eventView.positionViewAtEnd)
                        ScrollBar.vertical: PageScrollBar {}

                        delegate: ElidedLabel {
                            required property string modelData
                            width: ListView.view.width
                            text: modelData
                            color: Theme.text
                            font.family: Theme.fontMono
                            font.pixelSize: Theme.fontCaption
                            elide: Text.ElideRight
                        }
                    }
                }
            }
        }
    }
}
