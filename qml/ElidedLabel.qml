import QtQuick
import QtQuick.Controls

// A label that, once elided, shows its whole text in a tooltip under the pointer.
Label {
    id: label
    // Only in a window: a row of a live list under the pointer may be dropped from it while hovered.
    ToolTip.visible: truncated && hover.hovered && Window.window !== null
    ToolTip.text: text
    ToolTip.delay: 500
    // The shared tooltip may be waiting out its delay for this label when the label leaves the window (a
    // row of a live list under the pointer): it is closed then, or it would open later with no window.
    onWindowChanged: (window) => {
        if (!window && ToolTip.toolTip.parent === label) ToolTip.toolTip.close()
    }
    // A list view drops a row by ending its context before taking it from the window, when no handler
    // of the row runs any more: a hovered label closes the tooltip as its context ends.
    Component.onDestruction: {
        if (hover.hovered && ToolTip.toolTip.parent === label) ToolTip.toolTip.close()
    }

    HoverHandler {
        id: hover
    }
}
