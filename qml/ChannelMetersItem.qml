import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

Rectangle {
    id: root

    color: Theme.surface
    radius: Theme.radius
    border.width: 1
    border.color: Theme.border

    Label {
        objectName: "caption"
        anchors.left: parent.left
        anchors.top: parent.top
        anchors.margins: 10
        text: qsTr("CHANNEL LEVELS")
        color: Theme.muted
        font.bold: true
        font.pixelSize: Theme.fontMicro
    }

    Label {
        objectName: "placeholder"
        anchors.centerIn: parent
        visible: ui.channelLevels.length === 0
        text: qsTr("waiting for samples")
        color: Theme.muted
        font.pixelSize: Theme.fontTiny
    }

    RowLayout {
        objectName: "bars"
        anchors.fill: parent
        anchors.leftMargin: 10
        anchors.rightMargin: 10
        anchors.topMargin: 30
        anchors.bottomMargin: 10
        spacing: 4

        Repeater {
            model: ui.channelLevels

            delegate: Rectangle {
                id: track

                required property var modelData

                objectName: "track"
                Layout.fillWidth: true
                Layout.fillHeight: true
                color: Theme.border
                radius: 3

                // At least a stub, so that a silent channel still shows.
                Rectangle {
                    objectName: "bar"
                    anchors.bottom: parent.bottom
                    anchors.horizontalCenter: parent.horizontalCenter
                    width: track.width * 0.5
                    height: track.height * Math.max(0.04, track.modelData)
                    color: Theme.accent
                    radius: 3
                }
            }
        }
    }
}
