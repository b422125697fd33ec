import QtQuick

// A real-valued parameter in exponential notation with 2 fraction digits (1.00e-3), read and written in
// plain notation whatever the locale. Only a text the user changed is sent: the shown text is rounded,
// so sending it back unedited would move the value to its rounding.
ThemedTextField {
    id: control

    property real value: 0
    // A finite number the user typed.
    signal edited(real number)

    function shown() {
        return Number(control.value).toExponential(2)
    }

    validator: DoubleValidator {
        locale: "C"
    }
    text: shown()
    onEditingFinished: {
        const typed = text.trim()
        const number = typed === "" ? NaN : Number(typed)
        if (typed !== shown() && isFinite(number))
            control.edited(number)
        showValue()
    }
    // A text that is no number yet (a lone "-") finishes no edit: the field shows the value once left.
    onActiveFocusChanged: {
        if (!activeFocus)
            Qt.callLater(control.showValue)
    }

    function showValue() {
        text = Qt.binding(control.shown)
    }
}
