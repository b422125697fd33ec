import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// The recent Projects, each opened or removed from the list. An Open that fails leaves the dialog open
// with the controller's reason under the list, where the user is looking.
ThemedDialog {
    id: dialog

    // Why the last Open did not open its Project; empty after one that did, and whenever the dialog opens.
    property string failure: ""
    // Set by the controller while an Open runs, when it opened the Project.
    property bool projectOpened: false

    function openRecent(path) {
        failure = ""
        projectOpened = false
        openWatch.enabled = true
        ui.openRecentProject(path)
        openWatch.enabled = false
        if (projectOpened)
            close()
        else
            failure = ui.statusText
    }

    Connections {
        id: openWatch
        target: ui
        enabled: false
        function onProjectChanged() { dialog.projectOpened = true }
    }

    title: qsTr("Recent Projects")
    standardButtons: Dialog.Close
    width: 560
    onAboutToShow: failure = ""

    ColumnLayout {
        width: parent.width
        spacing: 6
        ElidedLabel {
            objectName: "noRecentLabel"
            Layout.fillWidth: true
            visible: ui.recentProjects.length === 0
            text: qsTr("No recent projects yet")
            color: Theme.muted
            font.pixelSize: Theme.fontBody
            elide: Text.ElideRight
        }
        ListView {
            id: recentList
            objectName: "recentList"
            Layout.fillWidth: true
            Layout.preferredHeight: Math.min(contentHeight, 320)
            visible: ui.recentProjects.length > 0
            clip: true
            model: ui.recentProjects
            delegate: RowLayout {
                id: recentRow
                required property var modelData
                width: ListView.view.width
                height: 52
                spacing: 8
                NameOverPath {
                    name: recentRow.modelData.name ? recentRow.modelData.name : recentRow.modelData.path
                    path: recentRow.modelData.path
                }
                ThemedButton {
                    objectName: "openRecentButton"
                    text: qsTr("Open")
                    onClicked: dialog.openRecent(recentRow.modelData.path)
                }
                ThemedButton {
                    objectName: "removeRecentButton"
                    kind: 2
                    implicitWidth: 34
                    text: "×"
                    hoverEnabled: true; ToolTip.visible: hovered && Window.window !== null
                    ToolTip.text: qsTr("Remove from Recent Projects (the folder stays on disk)")
                    onClicked: ui.removeRecentProject(recentRow.modelData.path)
                }
            }
        }
        Label {
            objectName: "recentFailure"
            Layout.fillWidth: true
            visible: dialog.failure !== ""
            text: dialog.failure
            color: Theme.dangerSoft
            font.pixelSize: Theme.fontSmall
            wrapMode: Text.Wrap
        }
    }
}
