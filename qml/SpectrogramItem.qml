import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

Rectangle {
    id: root

    color: Theme.surfaceAlt
    radius: Theme.radius
    border.width: 1
    border.color: Theme.border

    Label {
        objectName: "caption"
        anchors.left: parent.left
        anchors.top: parent.top
        anchors.margins: 10
        text: qsTr("SPECTRUM PREVIEW")
        color: Theme.muted
        font.bold: true
        font.pixelSize: Theme.fontMicro
    }

    Label {
        objectName: "placeholder"
        anchors.centerIn: parent
        visible: ui.spectrumLevels.length === 0
        text: qsTr("waiting for samples")
        color: Theme.muted
        font.pixelSize: Theme.fontTiny
    }

    RowLayout {
        objectName: "bars"
        anchors.fill: parent
        anchors.leftMargin: 8
        anchors.rightMargin: 8
        anchors.topMargin: 30
        anchors.bottomMargin: 8
        spacing: 2

        Repeater {
            model: ui.spectrumLevels

            delegate: Rectangle {
                id: track

                required property var modelData

                objectName: "track"
                Layout.fillWidth: true
                Layout.fillHeight: true
                color: Theme.border
                radius: 2

                // At least a stub, so that a silent bin still shows.
                Rectangle {
                    objectName: "bar"
                    anchors.bottom: parent.bottom
                    anchors.horizontalCenter: parent.horizontalCenter
                    width: track.width
                    height: track.height * Math.max(0.02, track.modelData)
                    color: Theme.accent
                    radius: 2
                }
            }
        }
    }
}
