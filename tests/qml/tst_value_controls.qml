import QtQuick
import QtTest
import SorvantaApp

// Controls that show a controller's value through a binding and send user changes to its setter, where
// the controller clamps: after the user acts, each shows what the controller holds, and keeps following
// it afterwards.
Item {
    id: root
    width: 480
    height: 320

    TestCase {
        id: testCase
        name: "ValueControls"
        when: windowShown

        QtObject {
            id: controller
            property int count: 10
            property real level: 0.2
            property bool enabledFlag: false
            property string name: "start"
            function setCount(v) { const c = Math.min(Math.max(v, 0), 50); if (c !== count) count = c }
            function setLevel(v) { const c = Math.min(v, 0.6); if (c !== level) level = c }
            function setEnabledFlag(v) { if (v !== enabledFlag) enabledFlag = v }
            function setName(v) { const c = v.trim(); if (c !== name) name = c }
        }

        function init() {
            controller.count = 10
            controller.level = 0.2
            controller.enabledFlag = false
            controller.name = "start"
        }

        Component {
            id: spinComponent
            ThemedSpinBox {
                x: 20
                y: 20
                from: 0
                to: 100
                value: controller.count
                onValueModified: controller.setCount(value)
            }
        }

        Component {
            id: sliderComponent
            ThemedSlider {
                x: 20
                y: 20
                width: 300
                from: 0
                to: 1
                value: controller.level
                onMoved: controller.setLevel(value)
            }
        }

        Component {
            id: switchComponent
            ThemedSwitch {
                x: 20
                y: 20
                checked: controller.enabledFlag
                onToggled: controller.setEnabledFlag(checked)
            }
        }

        Component {
            id: fieldComponent
            ThemedTextField {
                x: 20
                y: 20
                width: 200
                text: controller.name
                onEditingFinished: controller.setName(text)
            }
        }

        Component {
            id: focusRowComponent
            Row {
                x: 20
                y: 20
                spacing: 10
                property alias button: rowButton
                property alias slider: rowSlider
                property alias toggle: rowSwitch
                property alias combo: rowCombo
                ThemedButton { id: rowButton; kind: 4; text: "Go" }
                ThemedSlider { id: rowSlider; width: 100 }
                ThemedSwitch { id: rowSwitch; checked: true }
                ThemedCombo { id: rowCombo; model: ["a", "b"] }
            }
        }

        // Tab, pressed as a key, walks the controls; the one holding the keyboard shows it, and none of
        // them does at rest.
        function test_keyboardFocusIsVisibleOnEveryControl() {
            const row = createTemporaryObject(focusRowComponent, root)
            waitForRendering(row)
            const button = row.button.background
            const handle = row.slider.handle
            const ring = findChild(row.toggle, "focusRing")
            compare(button.border.width, 1)
            compare(handle.border.width, 0)
            verify(!ring.visible)
            verify(!Qt.colorEqual(row.combo.background.border.color, Theme.accent))

            const walk = [
                [row.button, () => button.border.width === 2 && Qt.colorEqual(button.border.color, Theme.accent)],
                [row.slider, () => handle.border.width === 2],
                [row.toggle, () => ring.visible],
                [row.combo, () => Qt.colorEqual(row.combo.background.border.color, Theme.accent)]]
            for (const [control, shown] of walk) {
                for (let i = 0; i < 6 && !control.activeFocus; ++i)
                    keyClick(Qt.Key_Tab)
                verify(control.activeFocus, "Tab reaches " + control)
                verify(shown(), "focus shows on " + control)
            }
            verify(!ring.visible && handle.border.width === 0 && button.border.width === 1, "only one shows")
        }

        function typeText(text) {
            for (const ch of text)
                keyClick(ch)
        }

        function test_spinBoxShowsTheClampedValue() {
            const spin = createTemporaryObject(spinComponent, root)
            compare(spin.contentItem.text, "10")
            spin.contentItem.forceActiveFocus()
            spin.contentItem.selectAll()
            typeText("80")
            keyClick(Qt.Key_Return)
            compare(controller.count, 50)
            compare(spin.value, 50)
            compare(spin.contentItem.text, "50")
            controller.count = 7
            compare(spin.value, 7, "the binding survives the user's edit")
            compare(spin.contentItem.text, "7")
            keyClick(Qt.Key_Up)
            compare(controller.count, 8)
            compare(spin.value, 8)
        }

        function test_spinBoxLookFollowsFocusAndPresses() {
            const spin = createTemporaryObject(spinComponent, root)
            verify(Qt.colorEqual(spin.background.color, Theme.surfaceAlt))
            spin.forceActiveFocus()
            verify(Qt.colorEqual(spin.background.border.color, Theme.accent))
            compare(spin.up.indicator.x, spin.width - spin.up.indicator.width)
            compare(spin.down.indicator.x, 0)
            verify(Qt.colorEqual(spin.up.indicator.color, "transparent"))
            mousePress(spin.up.indicator)
            verify(Qt.colorEqual(spin.up.indicator.color, Theme.surface))
            mouseRelease(spin.up.indicator)
            compare(controller.count, 11, "a press on + steps the controller's value")
        }

        function test_sliderShowsTheClampedValue() {
            const slider = createTemporaryObject(sliderComponent, root, {stepSize: 0.1})
            controller.level = 0.55
            slider.forceActiveFocus()
            keyClick(Qt.Key_Right)
            compare(controller.level, 0.6)
            fuzzyCompare(slider.value, 0.6, 1e-9)
            fuzzyCompare(slider.handle.x, slider.leftPadding + 0.6 * (slider.availableWidth - slider.handle.width), 1e-6)
        }

        function test_sliderFollowsTheControllerAfterADrag() {
            const slider = createTemporaryObject(sliderComponent, root)
            const y = slider.height / 2
            const target = slider.leftPadding + 0.4 * slider.availableWidth
            mousePress(slider, slider.handle.x + slider.handle.width / 2, y)
            mouseMove(slider, target, y)
            mouseRelease(slider, target, y)
            verify(Math.abs(controller.level - 0.4) < 0.05, "the drag reached the controller: " + controller.level)
            fuzzyCompare(slider.value, controller.level, 1e-9)
            controller.level = 0.1
            fuzzyCompare(slider.value, 0.1, 1e-9, "the binding survives the user's drag")
        }

        function test_switchFollowsTheController() {
            const control = createTemporaryObject(switchComponent, root)
            const knob = control.indicator.children[0]
            compare(knob.x, 3)
            verify(Qt.colorEqual(control.indicator.color, Theme.surfaceAlt))
            mouseClick(control)
            compare(controller.enabledFlag, true)
            verify(control.checked)
            compare(knob.x, control.indicator.width - 16 - 3)
            verify(Qt.colorEqual(control.indicator.color, Theme.accent))
            verify(Qt.colorEqual(knob.color, Theme.accentText))
            controller.enabledFlag = false
            verify(!control.checked, "the binding survives the user's click")
        }

        function test_textFieldShowsTheControllersText() {
            const field = createTemporaryObject(fieldComponent, root)
            verify(Qt.colorEqual(field.background.border.color, Theme.border))
            field.forceActiveFocus()
            verify(Qt.colorEqual(field.background.border.color, Theme.accent))
            field.selectAll()
            typeText("  new name  ")
            keyClick(Qt.Key_Return)
            compare(controller.name, "new name")
            compare(field.text, "new name")
            controller.name = "renamed"
            compare(field.text, "renamed", "the binding survives the user's typing")
            field.enabled = false
            verify(Qt.colorEqual(field.background.color, Theme.surface))
        }
    }
}
