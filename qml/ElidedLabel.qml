import QtQuick
import QtQuick.Controls

// A label that, once elided, shows its whole text in a tooltip under the pointer.
Label {
    // Only in a window: a row of a live list under the pointer may be dropped from it while hovered.
    ToolTip.visible: truncated && hover.hovered && Window.window !== null
    ToolTip.text: text
    ToolTip.delay: 500

    HoverHandler {
        id: hover
    }
}
