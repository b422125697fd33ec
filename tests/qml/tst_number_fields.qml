import QtQuick
import QtTest
import SorvantaApp

// The number fields in the locales a user may run them in, decimal comma and space groups included: a
// focus that passes through changes nothing, what a field shows reads back as the value it shows, and a
// text that means no number leaves the value as it was.
Item {
    id: root
    width: 640
    height: 240

    // The controller's side: the value it holds and how often the field wrote to it.
    QtObject {
        id: held
        property real value: 0
        property int writes: 0
        function write(next) { ++writes; value = next }
    }

    // The field under test sits between two others in the Tab chain.
    ThemedTextField { id: before; x: 10; y: 10; width: 120 }
    Item { id: slot; anchors.fill: parent }
    ThemedTextField { id: after; x: 10; y: 130; width: 120 }

    // The kinds of field the pages have: whole numbers, large ones in groups, signed ones, tenths with a
    // unit, and a frequency held between whole hertz and shown with one decimal.
    Component {
        id: wholeField
        ThemedSpinBox {
            x: 200; y: 60
            value: Math.round(held.value)
            onValueModified: held.write(value)
        }
    }
    Component {
        id: tenthsField
        ThemedSpinBox {
            x: 200; y: 60
            from: 5; to: 50; stepSize: 5
            value: Math.round(held.value * 10)
            textFromValue: (value, locale) => Number(value / 10).toLocaleString(locale, "f", 1) + "°"
            valueOfText: (text, locale) => Math.round(numberOf(text.replace("°", ""), locale) * 10)
            onValueModified: held.write(value / 10)
        }
    }
    Component {
        id: centreField
        ThemedSpinBox {
            x: 200; y: 60
            from: 100; to: 40000; stepSize: 100
            value: Math.round(held.value)
            textFromValue: (spun, locale) => {
                const hz = spun === Math.round(held.value) ? held.value : spun
                return Number(hz).toLocaleString(locale, "f", Number.isInteger(hz) ? 0 : 1)
            }
            onValueModified: held.write(value)
        }
    }
    Component {
        id: realField
        RealNumberField {
            x: 200; y: 60; width: 140
            value: held.value
            onEdited: number => held.write(number)
        }
    }

    TestCase {
        name: "NumberFields"
        when: windowShown

        readonly property var locales: ["en_US", "zh_CN", "ja_JP", "de_DE", "fr_FR", "sv_SE", "de_CH", "C"]

        // Each kind at a value whose text is rounded or grouped, with values a user may type.
        function kinds() {
            return [
                {kind: "count", component: wholeField, range: [0, 100], value: 10, typed: [0, 7, 100]},
                {kind: "grouped", component: wholeField, range: [100, 40000], value: 12000, typed: [100, 2500, 40000]},
                {kind: "signed", component: wholeField, range: [-80, 80], value: -45, typed: [-80, 0, 79]},
                {kind: "tenths", component: tenthsField, scale: 10, value: 1.5, typed: [0.5, 2.5, 5]},
                // A bin of 48 kHz and one of 44.1 kHz over 256 samples: the second shows 8,096.5, whose
                // rounding to whole hertz is not the value's own.
                {kind: "centre48k", component: centreField, value: 8015.625, typed: [1000, 12000, 8000.5]},
                {kind: "centre44k", component: centreField, value: 8096.484375, typed: [100, 40000]},
                {kind: "real", component: realField, value: 0.0012345, typed: [0.0025, 12, -0.5]}]
        }

        function rows() {
            const all = []
            for (const locale of locales)
                for (const kind of kinds())
                    all.push(Object.assign({tag: kind.kind + " " + locale, locale: locale}, kind))
            return all
        }

        function make(data) {
            held.value = data.value
            held.writes = 0
            // A text field shows plain notation: it has no locale.
            const properties = data.kind === "real" ? {} : {locale: Qt.locale(data.locale)}
            if (data.range) {
                properties.from = data.range[0]
                properties.to = data.range[1]
            }
            const field = createTemporaryObject(data.component, slot, properties)
            verify(field !== null)
            waitForRendering(field)
            return field
        }

        function input(field) { return field.contentItem instanceof TextInput ? field.contentItem : field }
        function shown(field) { return input(field).text }

        // The value as the field holds it: a spin box's whole steps, or the real number itself.
        function spun(data, value) {
            return data.kind === "real" ? value : Math.round(value * (data.scale || 1))
        }

        // The text the field shows for a value, as it shows it in its locale.
        function textOf(data, field, value) {
            return data.kind === "real" ? Number(value).toExponential(2)
                                        : field.textFromValue(spun(data, value), field.locale)
        }

        function test_focusPassingThroughChangesNothing_data() { return rows() }
        function test_focusPassingThroughChangesNothing(data) {
            const field = make(data)
            const text = shown(field)
            verify(text !== "")
            // By the keyboard, forward and back.
            before.forceActiveFocus()
            keyClick(Qt.Key_Tab)
            verify(input(field).activeFocus, "Tab reaches the field")
            keyClick(Qt.Key_Tab)
            verify(after.activeFocus)
            keyClick(Qt.Key_Backtab)
            verify(input(field).activeFocus)
            keyClick(Qt.Key_Backtab)
            // By the pointer: a click into the text, then one beside it; and Return on the shown text.
            mouseClick(input(field))
            verify(input(field).activeFocus)
            keyClick(Qt.Key_Return)
            mouseClick(after)
            wait(0)
            compare(held.writes, 0, "nothing is written")
            compare(held.value, data.value)
            compare(shown(field), text)
        }

        function test_whatAFieldShowsReadsBackAsItsValue_data() { return rows() }
        function test_whatAFieldShowsReadsBackAsItsValue(data) {
            const field = make(data)
            for (const value of data.typed) {
                const text = textOf(data, field, value)
                const edit = input(field)
                edit.forceActiveFocus()
                edit.selectAll()
                edit.remove(0, edit.length)
                edit.insert(0, text)
                compare(edit.text, text, "the field takes its own text " + text)
                keyClick(Qt.Key_Return)
                wait(0)
                const expected = spun(data, value) / (data.scale || 1)
                fuzzyCompare(held.value, expected, Math.abs(expected) * 1e-2 + 1e-12, text + " reads back")
                compare(shown(field), textOf(data, field, held.value))
            }
        }

        function test_aTextThatMeansNoNumberKeepsTheValue_data() { return rows() }
        function test_aTextThatMeansNoNumberKeepsTheValue(data) {
            const field = make(data)
            const text = shown(field)
            const edit = input(field)
            edit.forceActiveFocus()
            edit.selectAll()
            keyClick("x")
            compare(edit.text, text, "letters are refused as they are typed")
            keyClick(Qt.Key_Delete)
            for (const ch of "-.")
                keyClick(ch)
            keyClick(Qt.Key_Tab)
            wait(0)
            compare(held.writes, 0)
            compare(held.value, data.value)
            compare(shown(field), text, "the field shows its value again")
        }
    }
}
