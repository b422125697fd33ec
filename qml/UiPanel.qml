import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

Rectangle {
    id: root

    property string title: ""
    property string subtitle: ""
    default property alias contentData: contentLayout.data

    implicitWidth: 300
    implicitHeight: panelLayout.implicitHeight + 32
    radius: Theme.radius
    color: Theme.surface
    border.width: 1
    border.color: Theme.border

    ColumnLayout {
        id: panelLayout
        anchors.fill: parent
        anchors.margins: 16
        spacing: 12

        ColumnLayout {
            Layout.fillWidth: true
            spacing: 3

            Label {
                objectName: "titleLabel"
                Layout.fillWidth: true
                text: root.title
                font.bold: true
                font.pixelSize: Theme.fontTitle
                color: Theme.text
                wrapMode: Text.Wrap
            }

            Label {
                objectName: "subtitleLabel"
                Layout.fillWidth: true
                text: root.subtitle
                visible: root.subtitle !== ""
                wrapMode: Text.WordWrap
                font.pixelSize: Theme.fontSmall
                color: Theme.muted
            }
        }

        ColumnLayout {
            id: contentLayout
            objectName: "contentLayout"
            Layout.fillWidth: true
            spacing: 10
        }
    }
}
