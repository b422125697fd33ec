import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

ThemedDialog {
    id: root

    property string pickerMode: "file"
    property var nameFilters: []
    property string initialPath: ""
    property string defaultFileName: ""
    property string currentPath: ""
    property string parentPath: ""
    property int selectedIndex: -1
    property int editingIndex: -1

    signal picked(var path)

    readonly property bool rowSelected: selectedIndex >= 0 && selectedIndex < listModel.count
    readonly property string trimmedFileName: nameField.text.trim()

    function listingFilters() {
        return pickerMode === "dir" ? [] : nameFilters
    }

    function entryAt(index) {
        return listModel.get(index)
    }

    function joined(name) {
        return currentPath + "/" + name
    }

    // The drive entry whose root is the longest leading part of the path, compared in upper case.
    function driveIndexFor(path) {
        const upper = path.toUpperCase()
        let best = -1
        let bestLength = 0
        const drives = driveCombo.model || []
        for (let i = 0; i < drives.length; ++i) {
            const root = String(drives[i]).toUpperCase()
            const boundary = upper.length === root.length || root.endsWith("/") || upper.charAt(root.length) === "/"
            if (root.length > bestLength && upper.startsWith(root) && boundary) {
                best = i
                bestLength = root.length
            }
        }
        return best
    }

    function selectByName(name) {
        for (let i = 0; i < listModel.count; ++i) {
            if (listModel.get(i).entryName === name) {
                selectedIndex = i
                listView.positionViewAtIndex(i, ListView.Center)
                return i
            }
        }
        return -1
    }

    function applyResult(result, preselect) {
        statusLabel.text = ""
        const drive = driveIndexFor(result.path)
        if (drive >= 0)
            driveCombo.currentIndex = drive
        currentPath = result.path
        parentPath = result.parent
        pathField.text = result.path
        listModel.clear()
        for (const dir of result.dirs)
            listModel.append({entryName: dir, entryIsDir: true})
        for (const file of result.files)
            listModel.append({entryName: file, entryIsDir: false})
        selectedIndex = -1
        editingIndex = -1
        if (preselect)
            selectByName(preselect)
    }

    function navigate(path) {
        const result = ui.browseListDir(path, listingFilters())
        if (!result.ok) {
            statusLabel.text = qsTr("Cannot open folder: ") + path
            return false
        }
        applyResult(result, "")
        return true
    }

    function pick(path) {
        close()
        picked(path)
    }

    function acceptCurrent() {
        if (pickerMode === "dir") {
            if (rowSelected && entryAt(selectedIndex).entryIsDir)
                pick(joined(entryAt(selectedIndex).entryName))
            else if (currentPath !== "")
                pick(currentPath)
        } else if (pickerMode === "save") {
            if (trimmedFileName !== "" && currentPath !== "")
                pick(joined(trimmedFileName))
        } else if (rowSelected) {
            const entry = entryAt(selectedIndex)
            if (entry.entryIsDir)
                navigate(joined(entry.entryName))
            else
                pick(joined(entry.entryName))
        }
    }

    function createFolder() {
        const result = ui.browseCreateDir(currentPath, qsTr("New Folder"))
        if (!result.ok) {
            statusLabel.text = qsTr("Cannot create folder here")
            return
        }
        statusLabel.text = ""
        navigate(currentPath)
        const index = selectByName(result.name)
        if (index >= 0)
            editingIndex = index
    }

    function commitRename(index, newName) {
        if (index < 0 || index !== editingIndex || index >= listModel.count)
            return
        editingIndex = -1
        const oldName = listModel.get(index).entryName
        const name = newName.trim()
        if (name === "" || name === oldName)
            return
        const result = ui.browseRenameDir(joined(oldName), name)
        if (!result.ok) {
            statusLabel.text = result.error === "exists" ? qsTr("A folder with this name already exists")
                                                        : qsTr("Invalid folder name")
            editingIndex = index
            return
        }
        statusLabel.text = ""
        navigate(currentPath)
        selectByName(result.name)
    }

    function rowClicked(index, doubleClick) {
        selectedIndex = index
        // The list takes the keyboard, so Enter then accepts the clicked row.
        listView.forceActiveFocus()
        const entry = entryAt(index)
        if (pickerMode === "save" && !entry.entryIsDir) {
            nameField.text = entry.entryName
            return
        }
        if (!doubleClick)
            return
        if (entry.entryIsDir)
            navigate(joined(entry.entryName))
        else
            acceptCurrent()
    }

    function moveSelection(step) {
        if (listModel.count === 0)
            return
        const next = selectedIndex < 0 ? (step > 0 ? 0 : listModel.count - 1) : selectedIndex + step
        selectedIndex = Math.max(0, Math.min(listModel.count - 1, next))
        listView.positionViewAtIndex(selectedIndex, ListView.Contain)
        if (pickerMode === "save" && !entryAt(selectedIndex).entryIsDir)
            nameField.text = entryAt(selectedIndex).entryName
    }

    function summaryText() {
        if (pickerMode === "dir")
            return qsTr("Selected: ") + (rowSelected && entryAt(selectedIndex).entryIsDir
                                         ? joined(entryAt(selectedIndex).entryName) : currentPath)
        if (pickerMode === "save") {
            if (trimmedFileName === "")
                return qsTr("Enter a file name")
            return qsTr("Save to: ") + currentPath + (currentPath.endsWith("/") ? "" : "/") + trimmedFileName
        }
        return rowSelected ? qsTr("Selected: ") + joined(entryAt(selectedIndex).entryName) : qsTr("Select a file")
    }

    width: 660
    height: 470
    padding: 12
    // Enter means what the focused field or the folder list makes of it.
    enterAccepts: false

    onOpened: {
        driveCombo.model = ui.browseDrives()
        nameField.text = defaultFileName
        const start = initialPath.replace(/\\/g, "/")
        let shown = false
        if (start !== "") {
            let result = ui.browseListDir(start, listingFilters())
            if (result.ok) {
                applyResult(result, "")
                shown = true
            } else {
                const slash = start.lastIndexOf("/")
                if (slash > 0) {
                    result = ui.browseListDir(start.substring(0, slash), listingFilters())
                    if (result.ok) {
                        applyResult(result, start.substring(slash + 1))
                        shown = true
                    }
                }
            }
        }
        if (!shown && driveCombo.count > 0)
            navigate(driveCombo.model[0])
        pathField.forceActiveFocus()
    }

    ListModel {
        id: listModel
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 8

        RowLayout {
            Layout.fillWidth: true
            spacing: 8

            ThemedCombo {
                id: driveCombo
                objectName: "driveCombo"
                implicitWidth: 96
                model: []
                onActivated: index => root.navigate(driveCombo.model[index])
            }

            ThemedTextField {
                id: pathField
                objectName: "pathField"
                Layout.fillWidth: true
                onAccepted: root.navigate(text)
            }

            ThemedButton {
                objectName: "upButton"
                text: qsTr("Up")
                enabled: root.parentPath !== ""
                onClicked: root.navigate(root.parentPath)
            }
        }

        Rectangle {
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            color: Theme.surfaceAlt
            radius: Theme.radius
            border.color: listView.activeFocus ? Theme.accent : Theme.border
            border.width: listView.activeFocus ? 2 : 1

            ListView {
                id: listView
                objectName: "listView"
                anchors.fill: parent
                anchors.margins: 4
                clip: true
                activeFocusOnTab: true
                // The arrows move the selection (the list's own navigation would cut its binding), Enter
                // opens or picks as OK does.
                keyNavigationEnabled: false
                Keys.onUpPressed: root.moveSelection(-1)
                Keys.onDownPressed: root.moveSelection(1)
                Keys.onReturnPressed: root.acceptCurrent()
                Keys.onEnterPressed: root.acceptCurrent()
                boundsBehavior: Flickable.StopAtBounds
                model: listModel
                currentIndex: root.selectedIndex
                ScrollBar.vertical: PageScrollBar {}

                delegate: Rectangle {
                    id: row
                    required property int index
                    required property string entryName
                    required property bool entryIsDir
                    readonly property bool selected: index === root.selectedIndex
                    readonly property bool editing: index === root.editingIndex

                    width: ListView.view.width
                    height: 30
                    radius: 4
                    color: selected ? Theme.accent : rowMouse.containsMouse ? Theme.surface : "transparent"
                    onEditingChanged: if (editing) renameField.beginEdit()
                    Component.onCompleted: if (editing) renameField.beginEdit()

                    MouseArea {
                        id: rowMouse
                        objectName: "mouseArea"
                        anchors.fill: parent
                        hoverEnabled: true
                        onClicked: root.rowClicked(row.index, false)
                        onDoubleClicked: root.rowClicked(row.index, true)
                    }

                    RowLayout {
                        anchors.fill: parent
                        anchors.leftMargin: 10
                        anchors.rightMargin: 10
                        spacing: 8

                        Text {
                            text: row.entryIsDir ? "\u25b8" : "\u00b7"
                            font.pixelSize: Theme.fontBody
                            color: row.selected ? Theme.accentText : row.entryIsDir ? Theme.accent : Theme.muted
                        }

                        Label {
                            objectName: "entryLabel"
                            Layout.fillWidth: true
                            visible: !row.editing
                            text: row.entryName
                            font.pixelSize: Theme.fontBody
                            color: row.selected ? Theme.accentText : Theme.text
                            elide: Text.ElideMiddle
                        }

                        ThemedTextField {
                            id: renameField
                            objectName: "renameField"
                            Layout.fillWidth: true
                            implicitHeight: 26
                            visible: row.editing
                            text: row.entryName
                            function beginEdit() {
                                text = row.entryName
                                forceActiveFocus()
                                selectAll()
                            }
                            // Consumed here: the list around the editor would take Enter as a pick.
                            Keys.onReturnPressed: root.commitRename(row.index, text)
                            Keys.onEnterPressed: root.commitRename(row.index, text)
                            onActiveFocusChanged: {
                                if (!activeFocus && row.editing)
                                    root.commitRename(row.index, text)
                            }
                            Keys.onEscapePressed: root.editingIndex = -1
                        }
                    }
                }
            }

            Label {
                anchors.centerIn: parent
                visible: listModel.count === 0
                text: qsTr("Empty folder")
                color: Theme.muted
                font.pixelSize: Theme.fontSmall
            }
        }

        Label {
            id: statusLabel
            objectName: "statusLabel"
            Layout.fillWidth: true
            color: Theme.danger
            font.pixelSize: Theme.fontSmall
            elide: Text.ElideMiddle
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: 8
            visible: root.pickerMode === "save"

            Label {
                text: qsTr("File name:")
                color: Theme.muted
                font.pixelSize: Theme.fontBody
            }

            ThemedTextField {
                id: nameField
                objectName: "nameField"
                Layout.fillWidth: true
                onAccepted: root.acceptCurrent()
            }
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: 8

            Label {
                objectName: "summaryLabel"
                Layout.fillWidth: true
                text: root.summaryText()
                color: Theme.muted
                font.pixelSize: Theme.fontSmall
                elide: Text.ElideMiddle
            }

            ThemedButton {
                objectName: "newFolderButton"
                text: qsTr("New Folder")
                visible: root.pickerMode === "dir"
                enabled: root.currentPath !== ""
                onClicked: root.createFolder()
            }

            ThemedButton {
                objectName: "cancelButton"
                text: qsTr("Cancel")
                onClicked: root.close()
            }

            ThemedButton {
                objectName: "okButton"
                kind: 1
                text: qsTr("OK")
                enabled: root.pickerMode === "dir" ? root.currentPath !== ""
                       : root.pickerMode === "save" ? root.trimmedFileName !== "" && root.currentPath !== ""
                       : root.selectedIndex >= 0
                onClicked: root.acceptCurrent()
            }
        }
    }
}
