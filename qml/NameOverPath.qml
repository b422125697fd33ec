import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// A name over its path, as the nested and the recent Projects list them.
ColumnLayout {
    property string name
    property string path

    Layout.fillWidth: true
    spacing: 0

    ElidedLabel {
        Layout.fillWidth: true
        text: parent.name
        color: Theme.text
        elide: Text.ElideRight
    }
    ElidedLabel {
        Layout.fillWidth: true
        text: parent.path
        color: Theme.muted
        font.pixelSize: Theme.fontSmall
        elide: Text.ElideMiddle
    }
}
