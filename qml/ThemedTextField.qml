import QtQuick
import QtQuick.Controls

TextField {
    id: control

    // Why the control is disabled, shown under the pointer; empty while it is enabled.
    property string disabledReason: ""
    ToolTip.visible: hovered && !enabled && disabledReason !== "" && Window.window !== null
    ToolTip.text: disabledReason

    implicitHeight: Theme.controlHeight
    leftPadding: 10
    rightPadding: 10
    selectByMouse: true
    color: Theme.text
    placeholderTextColor: Theme.muted
    selectionColor: Theme.accent
    selectedTextColor: Theme.accentText
    font.pixelSize: Theme.fontBody

    background: Rectangle {
        radius: 8
        border.width: 1
        color: control.enabled ? Theme.surfaceAlt : Theme.surface
        border.color: control.activeFocus ? Theme.accent : Theme.border
    }
}
