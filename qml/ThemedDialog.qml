import QtQuick
import QtQuick.Controls

Dialog {
    id: control

    property int acceptKind: 1
    // False disables the accepting button (OK or Yes) while the input cannot be accepted.
    property bool acceptEnabled: true

    function standardButtonText(role) {
        switch (role) {
        case DialogButtonBox.AcceptRole:
            return qsTr("OK")
        case DialogButtonBox.YesRole:
            return qsTr("Yes")
        case DialogButtonBox.NoRole:
            return qsTr("No")
        case DialogButtonBox.RejectRole:
            return (control.standardButtons & Dialog.Close) ? qsTr("Close") : qsTr("Cancel")
        default:
            return ""
        }
    }

    // Enter that the focused control leaves alone presses the dialog's default button: the accepting one
    // (OK or Yes) unless it is destructive or disabled, else a lone Close. Dialogs with buttons of their
    // own set false and handle Enter themselves.
    property bool enterAccepts: acceptKind !== 2

    function pressDefaultButton() {
        if (!enterAccepts)
            return false
        if (standardButtons & (Dialog.Ok | Dialog.Yes)) {
            if (!acceptEnabled)
                return false
            accept()
            return true
        }
        if (standardButtons === Dialog.Close) {
            reject()
            return true
        }
        return false
    }

    modal: true
    // The dialog takes the keyboard when it opens, so Enter and Tab reach its content.
    focus: true
    padding: 14
    x: parent ? Math.round((parent.width - width) / 2) : 0
    y: parent ? Math.round((parent.height - height) / 2) : 0

    contentItem: FocusScope {
        focus: true
        Keys.onReturnPressed: event => event.accepted = control.pressDefaultButton()
        Keys.onEnterPressed: event => event.accepted = control.pressDefaultButton()
    }

    background: Rectangle {
        radius: Theme.radius
        color: Theme.surface
        border.color: Theme.border
    }

    header: Label {
        text: control.title
        visible: control.title !== ""
        leftPadding: 16
        rightPadding: 16
        topPadding: 14
        bottomPadding: 4
        font.bold: true
        font.pixelSize: Theme.fontTitle
        color: Theme.text
        elide: Label.ElideRight
    }

    footer: DialogButtonBox {
        id: buttonBox
        alignment: Qt.AlignRight | Qt.AlignVCenter
        padding: 14
        topPadding: 8
        // Apart as far as the buttons of a page row, so OK and Cancel read as two.
        spacing: 10
        visible: count > 0
        implicitHeight: count > 0 ? contentHeight + topPadding + bottomPadding : 0
        background: null

        delegate: ThemedButton {
            readonly property int role: DialogButtonBox.buttonRole
            enabled: (role !== DialogButtonBox.AcceptRole && role !== DialogButtonBox.YesRole) || control.acceptEnabled
            kind: role === DialogButtonBox.AcceptRole || role === DialogButtonBox.YesRole
                  ? control.acceptKind : 0
            text: control.standardButtonText(role)
        }
    }
}
