import QtQuick
import QtQuick.Layouts
import QtTest
import SorvantaApp

Item {
    id: root
    width: 480
    height: 480

    TestCase {
        id: testCase
        name: "ThemedCombo"
        when: windowShown

        // A controller that holds one of four names and turns a request for "d" into "c".
        QtObject {
            id: controller
            property string value: "b"
            function setValue(v) {
                const next = v === "d" ? "c" : v
                if (next !== value)
                    value = next
            }
        }

        Component {
            id: boundCombo
            ThemedCombo {
                x: 20
                y: 20
                model: ["a", "b", "c", "d"]
                currentIndex: Math.max(0, model.indexOf(controller.value))
                onActivated: index => controller.setValue(model[index])
            }
        }

        Component {
            id: themeCombo
            ThemedCombo {
                x: 20
                y: 20
                model: Theme.themeOrder
                textMapper: id => Theme.themeNames[id]
                currentIndex: Math.max(0, Theme.themeOrder.indexOf(Theme.themeId))
            }
        }

        Component {
            id: objectCombo
            ThemedCombo {
                x: 20
                y: 20
                model: [{name: "first"}, {name: "second"}]
            }
        }

        function cleanup() {
            Theme.themeId = "abyss"
            controller.value = "b"
        }

        function rowTexts(combo) {
            const list = combo.popup.contentItem
            const texts = []
            for (let i = 0; i < list.count; ++i)
                texts.push(list.itemAtIndex(i).contentItem.text)
            return texts
        }

        function openPopup(combo) {
            combo.popup.open()
            tryVerify(() => combo.popup.opened)
            const list = combo.popup.contentItem
            tryVerify(() => list.count === combo.count && list.itemAtIndex(combo.count - 1) !== null)
        }

        Component {
            id: squeezedRow
            RowLayout {
                width: 60
                ThemedCombo {
                    Layout.fillWidth: true
                    model: ["Custom bandwidth"]
                }
            }
        }

        function test_aSqueezingLayoutLeavesTheValueWhole() {
            const row = createTemporaryObject(squeezedRow, root)
            const combo = row.children[0]
            tryVerify(() => combo.contentItem.item !== null)
            const label = combo.contentItem.item
            wait(20)
            verify(!label.truncated, "cut at " + combo.width + " px")
            verify(label.implicitWidth - label.leftPadding - label.rightPadding
                   <= label.width - label.leftPadding - label.rightPadding + 1,
                   label.implicitWidth + " px in " + label.width)
        }

        function test_mapperShowsTheCurrentEntryAndFollowsTheTheme() {
            const combo = createTemporaryObject(themeCombo, root)
            compare(combo.displayText, Theme.themeNames.abyss)
            Theme.themeId = "light"
            compare(combo.currentIndex, Theme.themeOrder.indexOf("light"))
            compare(combo.displayText, Theme.themeNames.light)
            compare(combo.contentItem.item.text, Theme.themeNames.light)
            Theme.themeId = "no such theme"
            compare(combo.currentIndex, 0)
        }

        function test_mapperWithoutACurrentEntryShowsTheStandardText() {
            const combo = createTemporaryObject(themeCombo, root)
            combo.currentIndex = -1
            compare(combo.displayText, combo.currentText)
            compare(combo.displayText, "")
        }

        function test_closedPopupHoldsNoRows() {
            const combo = createTemporaryObject(themeCombo, root)
            compare(combo.popup.contentItem.count, 0)
            openPopup(combo)
            compare(rowTexts(combo), Theme.themeOrder.map(id => Theme.themeNames[id]))
            combo.popup.close()
            tryCompare(combo.popup.contentItem, "count", 0)
        }

        function test_rowsOfObjectEntries_data() {
            return [
                {tag: "role present", role: "name", rows: ["first", "second"], display: "first"},
                {tag: "role missing", role: "label", rows: ["", ""], display: ""}
            ]
        }

        function test_rowsOfObjectEntries(data) {
            const combo = createTemporaryObject(objectCombo, root, {textRole: data.role})
            compare(combo.displayText, data.display)
            openPopup(combo)
            compare(rowTexts(combo), data.rows)
        }

        function test_highlightedRowIsRaised() {
            const combo = createTemporaryObject(boundCombo, root)
            combo.forceActiveFocus()
            verify(Qt.colorEqual(combo.background.border.color, Theme.accent), "focused outline")
            openPopup(combo)
            const list = combo.popup.contentItem
            compare(combo.highlightedIndex, 1)
            for (let i = 0; i < list.count; ++i) {
                const row = list.itemAtIndex(i)
                const lit = i === combo.highlightedIndex
                verify(Qt.colorEqual(row.background.color, lit ? Theme.surfaceAlt : Theme.surface), "row " + i)
                verify(Qt.colorEqual(row.contentItem.color, lit ? Theme.text : Theme.muted), "row text " + i)
            }
            combo.popup.close()
        }

        function test_pickedEntryShowsAsTheControllerHoldsIt() {
            const combo = createTemporaryObject(boundCombo, root)
            compare(combo.currentIndex, 1)
            openPopup(combo)
            mouseClick(combo.popup.contentItem.itemAtIndex(3))
            tryVerify(() => !combo.popup.visible)
            compare(controller.value, "c")
            compare(combo.currentIndex, 2, "the controller turned d into c")
            compare(combo.displayText, "c")
            controller.value = "a"
            compare(combo.currentIndex, 0, "the binding survives the user's pick")
        }

        function test_editableComboWritesEveryEditToEditText() {
            const combo = createTemporaryObject(boundCombo, root, {editable: true})
            const input = combo.contentItem.item
            verify(input.hasOwnProperty("cursorPosition"), "an editable combo shows a text input")
            input.forceActiveFocus()
            input.selectAll()
            keyClick(Qt.Key_X)
            compare(combo.editText, "x")
            keyClick(Qt.Key_Y)
            compare(combo.editText, "xy")
        }
    }
}
