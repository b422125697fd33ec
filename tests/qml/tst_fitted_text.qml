import QtQuick
import QtQuick.Controls
import QtTest
import SorvantaApp

// A label in a fixed width: the full size when it fits, else a smaller Theme size, then a second
// line, then an elision with the whole text in a tooltip, in that order.
Item {
    id: root
    width: 600
    height: 200

    readonly property string sample: "Open project folder"

    // The test's own measure of the sample's width at a pixel size.
    TextMetrics {
        id: measure
        text: root.sample
    }

    function widthAt(size) {
        measure.font.pixelSize = size
        return Math.ceil(measure.advanceWidth)
    }

    Component {
        id: labelComponent
        FittedText {
            text: root.sample
            basePixelSize: Theme.fontBody
            minimumPixelSize: Theme.fontCaption
        }
    }

    TestCase {
        name: "FittedText"
        when: windowShown

        function fitted(width) {
            const label = createTemporaryObject(labelComponent, root, {width: width})
            verify(label !== null)
            wait(20)
            return label
        }

        function test_keepsTheFullSizeWhenTheTextFits() {
            const label = fitted(root.widthAt(Theme.fontBody) + 10)
            compare(label.font.pixelSize, Theme.fontBody)
            compare(label.lineCount, 1)
            verify(!label.truncated)
        }

        function test_takesTheLargestSmallerThemeSizeThatFits() {
            // Too narrow for the body and subhead sizes, wide enough for the small size.
            const label = fitted(root.widthAt(Theme.fontSmall) + 3)
            verify(root.widthAt(Theme.fontSubhead) + 2 > label.width)
            compare(label.font.pixelSize, Theme.fontSmall)
            compare(label.lineCount, 1)
            verify(!label.truncated)
        }

        function test_wrapsOntoASecondLineAtTheSmallestSize() {
            const label = fitted(Math.ceil(root.widthAt(Theme.fontCaption) * 0.7))
            compare(label.font.pixelSize, Theme.fontCaption)
            compare(label.lineCount, 2)
            verify(!label.truncated)
            verify(label.contentWidth <= label.width)
        }

        function test_elidesLastWithTheWholeTextInATooltip() {
            const label = fitted(Math.ceil(root.widthAt(Theme.fontCaption) * 0.3))
            compare(label.font.pixelSize, Theme.fontCaption)
            verify(label.truncated)
            compare(label.ToolTip.text, root.sample)
            // Under the pointer the tooltip opens with the whole text.
            mouseMove(label, 2, label.height / 2)
            tryVerify(() => label.ToolTip.toolTip.visible && label.ToolTip.toolTip.text === root.sample, 3000)
            mouseMove(root, root.width - 2, root.height - 2)
            tryVerify(() => !label.ToolTip.toolTip.visible, 3000)
        }

        function test_refitsWhenTheWidthGrows() {
            const label = fitted(Math.ceil(root.widthAt(Theme.fontCaption) * 0.7))
            label.width = root.widthAt(Theme.fontBody) + 10
            tryCompare(label, "fittedPixelSize", Theme.fontBody)
            compare(label.lineCount, 1)
        }
    }
}
