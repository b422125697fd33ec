import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

ComboBox {
    id: control

    property var textMapper: null

    // Why the control is disabled, shown under the pointer; empty while it is enabled.
    property string disabledReason: ""
    ToolTip.visible: hovered && !enabled && disabledReason !== "" && Window.window !== null
    ToolTip.text: disabledReason

    // Row text of one popup entry; entries whose role is missing show as empty rows.
    function rowText(entry, roleValue) {
        if (control.textMapper)
            return control.textMapper(entry)
        if (control.textRole) {
            if (roleValue !== undefined)
                return roleValue
            if (entry !== undefined && entry !== null && entry[control.textRole] !== undefined)
                return entry[control.textRole]
            return ""
        }
        return entry
    }

    implicitWidth: 120
    implicitHeight: Theme.controlHeight
    // In a layout the combo keeps the width its value needs at the label's smallest size.
    Layout.minimumWidth: Math.ceil(valueMetrics.advanceWidth) + 12 + 30 + 4
    // The label's own padding keeps it clear of the indicator; the control adds none on top.
    leftPadding: 0
    rightPadding: 0

    displayText: control.textMapper && control.currentIndex >= 0 && control.currentIndex < control.count
                 ? control.textMapper(control.model[control.currentIndex])
                 : control.currentText

    TextMetrics {
        id: valueMetrics
        font.pixelSize: Theme.fontCaption
        text: control.displayText
    }

    contentItem: Loader {
        sourceComponent: control.editable ? editorComponent : labelComponent
    }

    Component {
        id: labelComponent
        FittedText {
            text: control.displayText
            basePixelSize: Theme.fontBody
            maximumLines: 1
            color: control.enabled ? Theme.text : Theme.muted
            leftPadding: 12
            rightPadding: 30
            verticalAlignment: Text.AlignVCenter
        }
    }

    Component {
        id: editorComponent
        TextInput {
            text: control.editText
            onTextEdited: control.editText = text
            font.pixelSize: Theme.fontBody
            color: control.enabled ? Theme.text : Theme.muted
            selectionColor: Theme.accent
            selectedTextColor: Theme.accentText
            leftPadding: 12
            rightPadding: 30
            verticalAlignment: TextInput.AlignVCenter
            selectByMouse: true
            clip: true
        }
    }

    indicator: Text {
        text: "\u2304"
        x: control.width - width - 12
        y: (control.height - height) / 2
        font.pixelSize: Theme.fontTitle
        color: control.enabled ? Theme.muted : Theme.border
    }

    background: Rectangle {
        color: Theme.surfaceAlt
        radius: 8
        border.color: control.activeFocus || control.popup.visible ? Theme.accent : Theme.border
    }

    delegate: ItemDelegate {
        id: row
        width: control.width
        // Low enough that the nine themes fit the popup's height cap without scrolling.
        implicitHeight: 34
        highlighted: index === control.highlightedIndex
        contentItem: Text {
            text: control.rowText(modelData, control.textRole ? model[control.textRole] : undefined)
            font.pixelSize: Theme.fontSmall
            color: row.highlighted ? Theme.text : Theme.muted
            verticalAlignment: Text.AlignVCenter
            elide: Text.ElideRight
        }
        background: Rectangle {
            color: row.highlighted ? Theme.surfaceAlt : Theme.surface
        }
    }

    popup: Popup {
        y: control.height + 4
        width: control.width
        padding: 1
        height: Math.min(contentItem.implicitHeight + 2, 320)

        contentItem: ListView {
            implicitHeight: contentHeight
            clip: true
            reuseItems: true
            // A closed popup holds no model, so a long model creates no rows until it opens.
            model: control.popup.visible ? control.delegateModel : null
            currentIndex: control.highlightedIndex
            ScrollBar.vertical: ScrollBar {}
        }

        background: Rectangle {
            color: Theme.surface
            radius: 8
            border.color: Theme.border
        }
    }
}
