import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

Slider {
    id: control

    // Why the control is disabled, shown under the pointer; empty while it is enabled.
    property string disabledReason: ""
    ToolTip.visible: hovered && !enabled && disabledReason !== "" && Window.window !== null
    ToolTip.text: disabledReason

    implicitHeight: 28
    // Narrower, a pixel of travel is too coarse a step to set a value by pointer.
    Layout.minimumWidth: 96

    background: Rectangle {
        x: control.leftPadding
        y: control.topPadding + (control.availableHeight - height) / 2
        implicitWidth: 160
        implicitHeight: 4
        width: control.availableWidth
        height: implicitHeight
        radius: 2
        color: Theme.border

        Rectangle {
            width: control.visualPosition * parent.width
            height: parent.height
            radius: 2
            color: control.enabled ? Theme.accent : Theme.muted
        }
    }

    handle: Rectangle {
        x: control.leftPadding + control.visualPosition * (control.availableWidth - width)
        y: control.topPadding + (control.availableHeight - height) / 2
        implicitWidth: 16
        implicitHeight: 16
        radius: 8
        color: control.enabled ? Theme.accent : Theme.muted
        // Keyboard focus rings the handle in the text colour, which stands out from the accent fill.
        border.width: control.visualFocus ? 2 : 0
        border.color: Theme.text
    }
}
