import QtQuick
import QtQuick.Controls

// A label that, once elided, shows its whole text in a tooltip under the pointer.
Label {
    ToolTip.visible: truncated && hover.hovered
    ToolTip.text: text
    ToolTip.delay: 500

    HoverHandler {
        id: hover
    }
}
