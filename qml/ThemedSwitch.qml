import QtQuick
import QtQuick.Controls

Switch {
    id: control

    // Why the control is disabled, shown under the pointer; empty while it is enabled.
    property string disabledReason: ""
    ToolTip.visible: hovered && !enabled && disabledReason !== "" && Window.window !== null
    ToolTip.text: disabledReason

    indicator: Rectangle {
        x: control.text ? (control.mirrored ? control.width - width - control.rightPadding
                                            : control.leftPadding)
                        : control.leftPadding + (control.availableWidth - width) / 2
        y: control.topPadding + (control.availableHeight - height) / 2
        implicitWidth: 40
        implicitHeight: 22
        radius: 11
        color: control.checked ? Theme.accent : Theme.surfaceAlt
        border.color: control.checked ? Theme.accent : Theme.border

        Rectangle {
            width: 16
            height: 16
            radius: 8
            x: control.checked ? parent.width - width - 3 : 3
            anchors.verticalCenter: parent.verticalCenter
            color: control.checked ? Theme.accentText : Theme.muted
        }

        // Keyboard focus rings the track outside its own outline, so a checked switch shows it too.
        Rectangle {
            objectName: "focusRing"
            anchors.fill: parent
            anchors.margins: -3
            radius: parent.radius + 3
            color: "transparent"
            border.width: 2
            border.color: Theme.accent
            visible: control.visualFocus
        }
    }
}
