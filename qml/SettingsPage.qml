import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// Defaults and backup, the recording limit and the About box; every value is the controller's.
Page {
    id: root

    ActionBlockers {
        id: blockers
    }

    component Box: Rectangle {
        default property alias content: inner.data
        property alias spacing: inner.spacing

        Layout.fillWidth: true
        implicitHeight: inner.implicitHeight + 28
        radius: Theme.radius
        color: Theme.surface
        border.color: Theme.border

        ColumnLayout {
            id: inner
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.top: parent.top
            anchors.margins: 14
        }
    }

    component Heading: Label {
        font.bold: true
        font.pixelSize: Theme.fontTitle
        color: Theme.text
    }

    background: Rectangle {
        color: Theme.bg
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 18
        spacing: 12

        Label {
            text: qsTr("Settings")
            font.bold: true
            font.pixelSize: Theme.fontHero
            color: Theme.text
        }

        Box {
            objectName: "backupBox"
            spacing: 8

            RowLayout {
                Layout.fillWidth: true
                Heading {
                    text: qsTr("Backup & restore")
                }
                Item {
                    Layout.fillWidth: true
                }
                ThemedButton {
                    objectName: "resetDefaultsButton"
                    text: qsTr("Reset defaults")
                    enabled: ui.canImportProfile
                    disabledReason: blockers.resetDefaults()
                    onClicked: ui.resetDefaults()
                }
                ThemedButton {
                    objectName: "backupButton"
                    text: qsTr("Back up now")
                    onClicked: ui.backupNow()
                }
            }
            Label {
                Layout.fillWidth: true
                text: qsTr("Reset restores display and DSP defaults (stop the session first); backup writes the current settings to the Documents folder.")
                color: Theme.muted
                font.pixelSize: Theme.fontCaption
                wrapMode: Text.Wrap
            }
            Label {
                objectName: "backupPathLabel"
                Layout.fillWidth: true
                visible: ui.lastBackupPath !== ""
                text: ui.lastBackupPath
                color: Theme.success
                font.pixelSize: Theme.fontCaption
                elide: Text.ElideMiddle
            }
        }

        Box {
            spacing: 8

            RowLayout {
                Layout.fillWidth: true
                Heading {
                    text: qsTr("Recording")
                }
                Item {
                    Layout.fillWidth: true
                }
                Label {
                    text: qsTr("Max duration")
                    color: Theme.muted
                    font.pixelSize: Theme.fontSmall
                }
                ThemedSpinBox {
                    objectName: "maxDurationSpin"
                    from: 1
                    to: 120
                    stepSize: 1
                    value: ui.recordingMaxDurationSeconds
                    onValueModified: ui.setRecordingMaxDurationSeconds(value)
                }
                Label {
                    text: qsTr("s")
                    color: Theme.muted
                    font.pixelSize: Theme.fontSmall
                }
            }
            Label {
                Layout.fillWidth: true
                text: qsTr("A recording stops and saves automatically once it reaches this limit (1-120 s).")
                color: Theme.muted
                font.pixelSize: Theme.fontCaption
                wrapMode: Text.Wrap
            }
        }

        Box {
            spacing: 6

            Heading {
                text: qsTr("About")
            }
            Label {
                objectName: "versionLabel"
                text: "Sorvanta Studio v" + Qt.application.version
                font.bold: true
                font.pixelSize: Theme.fontSmall
                color: Theme.text
            }
            Label {
                objectName: "aboutProfileLabel"
                Layout.fillWidth: true
                text: qsTr("Profile: ") + (ui.hasProfile ? ui.profileInfo : qsTr("none"))
                color: Theme.muted
                font.pixelSize: Theme.fontCaption
                wrapMode: Text.Wrap
            }
        }

        Item {
            Layout.fillHeight: true
        }
    }
}
