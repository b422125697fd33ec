import QtQuick
import QtQuick.Controls

SpinBox {
    id: control

    // The value a text means, for a field whose text is not the plain whole number: the value scaled,
    // a fraction or a unit beside it. Pairs with textFromValue; NaN for a text that means none.
    property var valueOfText: (text, locale) => Math.round(control.numberOf(text, locale))

    // The number of a text in the control's locale (its group separator and decimal point), else in
    // plain notation; NaN when it holds none.
    function numberOf(text, locale) {
        const trimmed = String(text).trim()
        if (trimmed === "")
            return NaN
        try {
            return Number.fromLocaleString(locale, trimmed)
        } catch (notInLocale) {
            const plain = Number(trimmed.replace(/\u2212/g, "-"))
            return isFinite(plain) ? plain : NaN
        }
    }

    // Shows the value again, also when a commit left it as it was under a text that meant nothing.
    function showValue() {
        contentItem.text = Qt.binding(() => control.textFromValue(control.value, control.locale))
    }

    // Why the control is disabled, shown under the pointer; empty while it is enabled.
    property string disabledReason: ""
    ToolTip.visible: hovered && !enabled && disabledReason !== "" && Window.window !== null
    ToolTip.text: disabledReason

    editable: true
    implicitHeight: Theme.controlHeight
    implicitWidth: Math.max(132, contentItem.implicitWidth + 76)
    leftPadding: down.indicator ? down.indicator.width + 4 : 0
    rightPadding: up.indicator ? up.indicator.width + 4 : 0

    // Every text the field shows passes, and what it shows reads back as the value shown: a focus that
    // passes through, or a text that means no number, leaves the value as it is.
    validator: RegularExpressionValidator { regularExpression: /[^\p{L}]*/ }
    valueFromText: (text, locale) => {
        if (text === control.textFromValue(control.value, locale))
            return control.value
        // After the commit, which may leave the value as it was (a refused text, a clamped one).
        Qt.callLater(control.showValue)
        const read = control.valueOfText(text, locale)
        return isFinite(read) ? read : control.value
    }

    contentItem: TextInput {
        z: 2
        text: control.textFromValue(control.value, control.locale)
        font.pixelSize: Theme.fontBody
        color: control.enabled ? Theme.text : Theme.muted
        selectionColor: Theme.accent
        selectedTextColor: Theme.accentText
        horizontalAlignment: Qt.AlignHCenter
        verticalAlignment: Qt.AlignVCenter
        readOnly: !control.editable
        validator: control.validator
        inputMethodHints: Qt.ImhFormattedNumbersOnly
        selectByMouse: true
    }

    down.indicator: Rectangle {
        x: 0
        height: control.height
        implicitWidth: 34
        radius: 8
        color: control.down.pressed ? Theme.surface : "transparent"

        Text {
            anchors.centerIn: parent
            text: "\u2212"
            font.pixelSize: Theme.fontTitle
            color: control.enabled ? Theme.muted : Theme.border
        }
    }

    up.indicator: Rectangle {
        x: control.width - width
        height: control.height
        implicitWidth: 34
        radius: 8
        color: control.up.pressed ? Theme.surface : "transparent"

        Text {
            anchors.centerIn: parent
            text: "+"
            font.bold: true
            font.pixelSize: Theme.fontTitle
            color: control.enabled ? Theme.accent : Theme.border
        }
    }

    background: Rectangle {
        color: Theme.surfaceAlt
        radius: 8
        border.color: control.activeFocus ? Theme.accent : Theme.border
    }
}
