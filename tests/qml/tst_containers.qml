import QtQuick
import QtQuick.Layouts
import QtTest
import SorvantaApp

Item {
    id: root
    width: 800
    height: 600

    TestCase {
        id: testCase
        name: "Containers"
        when: windowShown

        Component {
            id: emptyCard
            Card {}
        }

        Component {
            id: filledCard
            Card {
                Rectangle {
                    objectName: "block"
                    width: 100
                    height: 50
                    color: "transparent"
                }
            }
        }

        Component {
            id: panelComponent
            UiPanel {
                Rectangle {
                    objectName: "child"
                    Layout.preferredHeight: 40
                    Layout.fillWidth: true
                    color: "transparent"
                }
            }
        }

        Component {
            id: metricsComponent
            FontMetrics {}
        }

        function cleanup() {
            Theme.themeId = "abyss"
        }

        function test_emptyCardIsTheMarginsAlone() {
            const card = createTemporaryObject(emptyCard, root)
            compare(card.implicitWidth, 28)
            compare(card.implicitHeight, 28)
        }

        function test_cardWrapsItsContentWithMargins() {
            const card = createTemporaryObject(filledCard, root)
            compare(card.implicitWidth, 128)
            compare(card.implicitHeight, 78)
            card.width = card.implicitWidth
            card.height = card.implicitHeight
            const block = findChild(card, "block")
            const origin = block.mapToItem(card, 0, 0)
            compare(origin.x, 14)
            compare(origin.y, 14)
            block.width = 180
            compare(card.implicitWidth, 208, "the card follows its content")
        }

        function test_emptySubtitleTakesNoLine() {
            const panel = createTemporaryObject(panelComponent, root, {title: "Title"})
            const subtitle = findChild(panel, "subtitleLabel")
            compare(subtitle.visible, false)
            const title = findChild(panel, "titleLabel")
            const withoutSubtitle = panel.implicitHeight
            fuzzyCompare(withoutSubtitle, 16 + title.implicitHeight + 12 + 40 + 16, 0.5,
                         "title, content and margins only")
            panel.subtitle = "One line"
            verify(subtitle.visible)
            const metrics = createTemporaryObject(metricsComponent, root, {"font.pixelSize": Theme.fontSmall})
            tryVerify(() => panel.implicitHeight - withoutSubtitle >= metrics.height + 3 - 1,
                      1000, "a subtitle adds its line and the heading spacing: "
                      + withoutSubtitle + " -> " + panel.implicitHeight + ", line " + metrics.height)
        }

        function test_emptyTitleStillTakesOneLine() {
            const titled = createTemporaryObject(panelComponent, root, {title: "Title"})
            const untitled = createTemporaryObject(panelComponent, root, {title: ""})
            const label = findChild(untitled, "titleLabel")
            verify(label.height > 0)
            compare(untitled.implicitHeight, titled.implicitHeight)
        }

        function test_childrenStackInTheContentColumn() {
            const panel = createTemporaryObject(panelComponent, root, {title: "Title"})
            panel.width = 300
            panel.height = panel.implicitHeight
            const child = findChild(panel, "child")
            compare(child.parent, findChild(panel, "contentLayout"))
            const title = findChild(panel, "titleLabel")
            const childTop = child.mapToItem(panel, 0, 0).y
            const titleBottom = title.mapToItem(panel, 0, title.height).y
            fuzzyCompare(childTop - titleBottom, 12, 0.5)
            fuzzyCompare(panel.implicitHeight - (childTop + child.height), 16, 0.5)
            compare(child.width, 300 - 32)
        }

        function test_longSubtitleWrapsInsteadOfWidening() {
            const panel = createTemporaryObject(panelComponent, root, {title: "Title", subtitle: "short"})
            panel.width = panel.implicitWidth
            const oneLine = panel.implicitHeight
            panel.subtitle = "A long explanation of what this panel holds, far wider than the panel itself, "
                    + "so that it has to wrap over several lines of text"
            compare(panel.implicitWidth, 300)
            const subtitle = findChild(panel, "subtitleLabel")
            tryVerify(() => subtitle.lineCount > 1)
            verify(subtitle.width <= 300 - 32)
            tryVerify(() => panel.implicitHeight > oneLine)
        }
    }
}
