import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// The array's network parameters, filled from the last read record, written to sector 256 on
// confirmation. The work is the device controller's.
ThemedDialog {
    id: root
    objectName: "netWriteDialog"
    title: qsTr("Write network parameters (sector 256)")
    padding: 16
    // The wrapped text would otherwise ask for its one-line width.
    contentWidth: netWriteColumn.width
    onAboutToShow: fillNetFields()

    // A value of the last read record, or the fallback when the record has none (empty, zero, missing).
    function recordValue(value, fallback) {
        return value === undefined || value === null || value === "" || value === 0 ? fallback : String(value)
    }

    function portValue(text, fallback) {
        const port = Number(text)
        return text.trim() !== "" && Number.isInteger(port) && port >= 1 && port <= 65535 ? port : fallback
    }

    function fillNetFields() {
        const p = deviceCtl.netParams || {}
        boardMacField.text = recordValue(p.boardMac, "00:11:22:33:44:55")
        boardIpField.text = recordValue(p.boardIp, "192.168.0.100")
        targetMacField.text = recordValue(p.targetMac, "FF:FF:FF:FF:FF:FF")
        targetIpField.text = recordValue(p.targetIp, "192.168.0.3")
        sourcePortField.text = recordValue(p.sourcePort, "5555")
        targetPortField.text = recordValue(p.targetPort, "6666")
    }

    function submitNetParams() {
        close()
        deviceCtl.writeNetParams(boardMacField.text, boardIpField.text, targetMacField.text, targetIpField.text,
                                 portValue(sourcePortField.text, 5555), portValue(targetPortField.text, 6666))
    }

    component Caption: Label {
        font.pixelSize: Theme.fontCaption
        color: Theme.muted
    }

    component NetField: ThemedTextField {
        Layout.preferredWidth: 220
        font.pixelSize: Theme.fontSmall
    }

    component PortField: NetField {
        // Every prefix of a port 1..65535 is itself one, so typing never passes through a rejected state.
        validator: RegularExpressionValidator {
            regularExpression: /[1-9][0-9]{0,3}|[1-5][0-9]{4}|6[0-4][0-9]{3}|65[0-4][0-9]{2}|655[0-2][0-9]|6553[0-5]/
        }
        inputMethodHints: Qt.ImhDigitsOnly
    }

    ColumnLayout {
        id: netWriteColumn
        objectName: "netWriteColumn"
        width: 360
        spacing: 8

        Label {
            Layout.fillWidth: true
            text: qsTr("Wrong parameters can make the device unreachable; "
                       + "they are verified by read-back before reporting success. "
                       + "They take effect after the device reboots - you will be "
                       + "offered to reboot the device when the write completes.")
            color: Theme.warning
            font.pixelSize: Theme.fontSmall
            wrapMode: Text.Wrap
        }
        GridLayout {
            columns: 2
            rowSpacing: 6
            columnSpacing: 8

            Caption { text: qsTr("Board MAC") }
            NetField {
                id: boardMacField
                objectName: "boardMacField"
                placeholderText: "00:11:22:33:44:55"
            }
            Caption { text: qsTr("Board IP") }
            NetField {
                id: boardIpField
                objectName: "boardIpField"
                placeholderText: "192.168.0.100"
            }
            Caption { text: qsTr("Target MAC") }
            NetField {
                id: targetMacField
                objectName: "targetMacField"
                placeholderText: "FF:FF:FF:FF:FF:FF"
            }
            Caption { text: qsTr("Target IP") }
            NetField {
                id: targetIpField
                objectName: "targetIpField"
                placeholderText: "192.168.0.3"
            }
            Caption { text: qsTr("Source port") }
            PortField {
                id: sourcePortField
                objectName: "sourcePortField"
            }
            Caption { text: qsTr("Target port") }
            PortField {
                id: targetPortField
                objectName: "targetPortField"
            }
        }
        RowLayout {
            Layout.alignment: Qt.AlignRight
            spacing: 8
            ThemedButton {
                text: qsTr("Cancel")
                onClicked: root.close()
            }
            ThemedButton {
                objectName: "netWriteConfirm"
                kind: 1
                text: qsTr("Write")
                onClicked: root.submitNetParams()
            }
        }
    }
}
