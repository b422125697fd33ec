import QtQuick
import QtQuick.Controls

Button {
    id: control

    property int kind: 0

    // Why the control is disabled, shown under the pointer; empty while it is enabled.
    property string disabledReason: ""
    ToolTip.visible: hovered && !enabled && disabledReason !== "" && Window.window !== null
    ToolTip.text: disabledReason
    readonly property color tone: kind === 1 ? Theme.accent
                                : kind === 2 ? Theme.danger
                                : kind === 3 ? Theme.warning
                                : kind === 4 ? Theme.success
                                : Theme.border

    implicitHeight: Theme.controlHeight
    // Measured at the full size, so a label shrunk to fit never feeds back into the width.
    implicitWidth: Math.max(96, Math.ceil(labelMetrics.advanceWidth) + 28)

    TextMetrics {
        id: labelMetrics
        font.pixelSize: Theme.fontBody
        text: control.text
    }

    contentItem: FittedText {
        text: control.text
        basePixelSize: Theme.fontBody
        color: !control.enabled ? Theme.muted : control.kind === 0 ? Theme.text : control.tone
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }

    // Enter presses a focused button as Space does, so a dialog's focused button answers Enter itself.
    Keys.onReturnPressed: control.clicked()
    Keys.onEnterPressed: control.clicked()

    background: Rectangle {
        radius: 8
        // Keyboard focus draws a wider outline in the accent colour, in every kind.
        border.width: control.visualFocus ? 2 : 1
        color: control.pressed || (control.hovered && control.enabled) ? Theme.surfaceAlt : Theme.surface
        border.color: !control.enabled ? Theme.border
                    : control.visualFocus ? Theme.accent
                    : control.kind === 0 ? (control.hovered ? Theme.accent : Theme.border)
                    : control.tone
    }
}
