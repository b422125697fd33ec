import QtQuick
import QtTest
import SorvantaApp

Item {
    id: root
    width: 480
    height: 240

    TestCase {
        id: testCase
        name: "ThemedButton"
        when: windowShown

        Component {
            id: buttonComponent
            ThemedButton {
                x: 20
                y: 20
                text: "Go"
                // Hover effects depend on the platform; the look while hovered is under test here.
                hoverEnabled: true
            }
        }

        function cleanup() {
            Theme.themeId = "abyss"
        }

        function test_kindPicksToneLabelAndOutline_data() {
            return [
                {tag: "neutral", kind: 0, tone: "border", label: "text"},
                {tag: "accent", kind: 1, tone: "accent", label: "accent"},
                {tag: "danger", kind: 2, tone: "danger", label: "danger"},
                {tag: "warning", kind: 3, tone: "warning", label: "warning"},
                {tag: "success", kind: 4, tone: "success", label: "success"},
                {tag: "beyond the kinds", kind: 5, tone: "border", label: "border"},
                {tag: "negative", kind: -1, tone: "border", label: "border"}
            ]
        }

        function test_kindPicksToneLabelAndOutline(data) {
            const button = createTemporaryObject(buttonComponent, root, {kind: data.kind})
            verify(Qt.colorEqual(button.tone, Theme[data.tone]), "tone")
            verify(Qt.colorEqual(button.contentItem.color, Theme[data.label]), "label")
            verify(Qt.colorEqual(button.background.border.color, Theme[data.tone]), "outline")
            verify(Qt.colorEqual(button.background.color, Theme.surface), "fill at rest")
        }

        function test_neutralButtonHighlightsOnHoverAndPress() {
            const button = createTemporaryObject(buttonComponent, root)
            mouseMove(button, button.width / 2, button.height / 2)
            tryVerify(() => button.hovered)
            verify(Qt.colorEqual(button.background.border.color, Theme.accent))
            verify(Qt.colorEqual(button.background.color, Theme.surfaceAlt))
            mouseMove(root, root.width - 2, root.height - 2)
            tryVerify(() => !button.hovered)
            verify(Qt.colorEqual(button.background.color, Theme.surface))
            mousePress(button)
            verify(button.pressed)
            verify(Qt.colorEqual(button.background.color, Theme.surfaceAlt))
            mouseRelease(button)
        }

        function test_disabledButtonIsMutedAlsoWhileHovered() {
            const button = createTemporaryObject(buttonComponent, root, {kind: 2, enabled: false})
            mouseMove(button, button.width / 2, button.height / 2)
            wait(20)
            verify(Qt.colorEqual(button.contentItem.color, Theme.muted), "label")
            verify(Qt.colorEqual(button.background.border.color, Theme.border), "outline")
            verify(Qt.colorEqual(button.background.color, Theme.surface), "fill")
        }

        function test_themeSwitchRecoloursAnExistingButton() {
            const button = createTemporaryObject(buttonComponent, root, {kind: 1})
            Theme.themeId = "light"
            verify(Qt.colorEqual(button.background.color, Theme.palettes.light.surface))
            verify(Qt.colorEqual(button.contentItem.color, Theme.palettes.light.accent))
        }
    }
}
