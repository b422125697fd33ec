import QtQuick
import QtQuick.Controls

SpinBox {
    id: control

    // Why the control is disabled, shown under the pointer; empty while it is enabled.
    property string disabledReason: ""
    ToolTip.visible: hovered && !enabled && disabledReason !== "" && Window.window !== null
    ToolTip.text: disabledReason

    editable: true
    implicitHeight: Theme.controlHeight
    implicitWidth: Math.max(132, contentItem.implicitWidth + 76)
    leftPadding: down.indicator ? down.indicator.width + 4 : 0
    rightPadding: up.indicator ? up.indicator.width + 4 : 0

    contentItem: TextInput {
        z: 2
        text: control.textFromValue(control.value, control.locale)
        font.pixelSize: Theme.fontBody
        color: control.enabled ? Theme.text : Theme.muted
        selectionColor: Theme.accent
        selectedTextColor: Theme.accentText
        horizontalAlignment: Qt.AlignHCenter
        verticalAlignment: Qt.AlignVCenter
        readOnly: !control.editable
        validator: control.validator
        inputMethodHints: Qt.ImhFormattedNumbersOnly
        selectByMouse: true
    }

    down.indicator: Rectangle {
        x: 0
        height: control.height
        implicitWidth: 34
        radius: 8
        color: control.down.pressed ? Theme.surface : "transparent"

        Text {
            anchors.centerIn: parent
            text: "\u2212"
            font.pixelSize: Theme.fontTitle
            color: control.enabled ? Theme.muted : Theme.border
        }
    }

    up.indicator: Rectangle {
        x: control.width - width
        height: control.height
        implicitWidth: 34
        radius: 8
        color: control.up.pressed ? Theme.surface : "transparent"

        Text {
            anchors.centerIn: parent
            text: "+"
            font.bold: true
            font.pixelSize: Theme.fontTitle
            color: control.enabled ? Theme.accent : Theme.border
        }
    }

    background: Rectangle {
        color: Theme.surfaceAlt
        radius: 8
        border.color: control.activeFocus ? Theme.accent : Theme.border
    }
}
