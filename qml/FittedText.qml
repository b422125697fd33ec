import QtQuick
import QtQuick.Controls

// A label for a box whose width the layout fixes: it keeps `basePixelSize` when the text fits,
// otherwise takes the largest smaller Theme size down to `minimumPixelSize` that fits on one line,
// then wraps onto `maximumLines` lines at that smallest size, and only then elides, with the whole
// text in a tooltip under the pointer.
Text {
    id: label

    property int basePixelSize: Theme.fontBody
    property int minimumPixelSize: Theme.fontCaption
    property int maximumLines: 2

    property int fittedPixelSize: basePixelSize
    property bool fitsOnOneLine: true

    function widthAt(size) {
        metrics.text = label.text
        metrics.font = Qt.font({family: label.font.family, bold: label.font.bold, pixelSize: size})
        return metrics.advanceWidth
    }

    // Imperative, so that measuring at several sizes never feeds back into a binding.
    function refit() {
        const box = width - leftPadding - rightPadding
        const sizes = [Theme.fontHero, Theme.fontDisplay, Theme.fontTitle, Theme.fontBody, Theme.fontSubhead,
                       Theme.fontSmall, Theme.fontCaption, Theme.fontTiny, Theme.fontMicro]
        let chosen = Math.min(basePixelSize, minimumPixelSize)
        let fits = false
        for (const size of sizes) {
            if (size > basePixelSize || size < chosen)
                continue
            // Two pixels to spare: the laid-out line rounds each glyph and may come out wider.
            if (box > 0 && Math.ceil(widthAt(size)) + 2 <= box) {
                chosen = size
                fits = true
                break
            }
        }
        fitsOnOneLine = fits || box <= 0
        fittedPixelSize = box <= 0 ? basePixelSize : chosen
    }

    font.pixelSize: fittedPixelSize
    wrapMode: fitsOnOneLine || maximumLines < 2 ? Text.NoWrap : Text.Wrap
    maximumLineCount: fitsOnOneLine ? 1 : Math.max(1, maximumLines)
    elide: Text.ElideRight

    // Deferred: a size change inside a layout's pass must not change sizes that pass is placing. The
    // timer goes with the label, so a label destroyed meanwhile leaves nothing behind.
    function scheduleRefit() {
        refitTimer.restart()
    }

    Timer {
        id: refitTimer
        interval: 0
        onTriggered: label.refit()
    }

    onTextChanged: scheduleRefit()
    onWidthChanged: scheduleRefit()
    onLeftPaddingChanged: scheduleRefit()
    onRightPaddingChanged: scheduleRefit()
    onFontChanged: scheduleRefit()
    onBasePixelSizeChanged: scheduleRefit()
    onMinimumPixelSizeChanged: scheduleRefit()
    Component.onCompleted: refit()

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

    TextMetrics {
        id: metrics
    }
}
