import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

Page {
    id: root

    property string pendingProjectDirectory: ""
    property var expandedIds: ({})

    readonly property bool projectActionsEnabled: blockers.changeProject() === ""
    readonly property var selectedRow: ui.selectedMeasurementIndex >= 0 ? currentRow() : null

    component SmallText: ElidedLabel {
        Layout.fillWidth: true
        color: Theme.muted
        font.pixelSize: Theme.fontSmall
        elide: Text.ElideRight
    }

    component HashText: SmallText { wrapMode: Text.WrapAnywhere }
    component WideButton: ThemedButton { Layout.fillWidth: true; implicitWidth: 60 }

    component BodyText: ElidedLabel {
        Layout.fillWidth: true
        color: Theme.text
        wrapMode: Text.WordWrap
    }

    // A dialog whose body is one text.
    component MessageDialog: ThemedDialog {
        property alias message: messageLabel.text
        BodyText { id: messageLabel; width: parent.width }
    }

    function isExpanded(id) { return expandedIds[id] === true }

    function setExpanded(id, value) {
        const map = expandedIds
        map[id] = value
        expandedIds = map
    }

    function toggleExpanded(id) { setExpanded(id, !isExpanded(id)) }

    function currentRow() {
        const rows = ui.measurements
        const index = ui.selectedMeasurementIndex
        return index < 0 || index >= rows.length ? null : rows[index]
    }

    // The main window's workspace, when the page sits in it.
    function showWorkspace(index) {
        if (typeof window !== "undefined" && window && window.currentWorkspace !== undefined)
            window.currentWorkspace = index
    }

    function lastPathSegment(path) {
        const pieces = path.split("/").filter(piece => piece !== "")
        return pieces.length > 0 ? pieces[pieces.length - 1] : ""
    }

    function offerNewProject(path) {
        const message = ui.validateNewProjectDir(path)
        if (message !== "") {
            dirErrorDialog.message = message
            dirErrorDialog.open()
            return
        }
        pendingProjectDirectory = path
        projectNameField.text = lastPathSegment(path)
        newProjectDialog.open()
        projectNameField.forceActiveFocus()
        projectNameField.selectAll()
    }

    function directoryPicked(path) {
        if (dirPicker.pendingAction === "new") {
            offerNewProject(path)
            return
        }
        if (ui.projectExistsAt(path)) {
            ui.openProject(path)
            return
        }
        const nested = ui.findNestedProjects(path)
        if (nested.length > 0) {
            nestedModel.clear()
            for (const nestedPath of nested) {
                const name = lastPathSegment(nestedPath)
                nestedModel.append({path: nestedPath, name: name !== "" ? name : nestedPath})
            }
            nestedList.currentIndex = 0
            nestedProjectDialog.open()
            return
        }
        pendingProjectDirectory = path
        openCreateDialog.open()
    }

    function pickDirectory(action) {
        dirPicker.pendingAction = action
        dirPicker.open()
    }

    function openRenameDialog() {
        const row = currentRow()
        renameField.text = row && row.displayName ? row.displayName : ""
        renameDialog.open()
        renameField.forceActiveFocus()
    }

    function openNoteDialog() {
        const row = currentRow()
        const scene = row && row.scene ? row.scene : ""
        noteTimeLabel.text = row && row.startedAt ? row.startedAt : ""
        noteLocationField.text = row && row.location ? row.location : ""
        noteSceneCombo.currentIndex = noteSceneCombo.find(scene)
        noteSceneCombo.editText = scene
        noteArea.text = row && row.notes ? row.notes : ""
        noteDialog.open()
        noteLocationField.forceActiveFocus()
    }

    function placeText(row) {
        const parts = []
        if (row && row.location)
            parts.push(qsTr("Location: %1").arg(row.location))
        if (row && row.scene)
            parts.push(qsTr("Scene: %1").arg(row.scene))
        return parts.join("   ·   ")
    }
    background: Rectangle { color: Theme.bg }
    ActionBlockers { id: blockers }

    Connections {
        target: ui
        function onSelectedMeasurementChanged() {
            const id = ui.selectedMeasurementId
            if (id === "" || root.expandedIds.hasOwnProperty(id))
                return
            const row = ui.measurements.find(entry => entry.id === id)
            if (row && row.analyses && row.analyses.length > 0)
                root.setExpanded(id, true)
        }
    }

    RowLayout {
        anchors.fill: parent
        anchors.margins: 16
        spacing: 14

        ColumnLayout {
            Layout.preferredWidth: 350
            Layout.maximumWidth: 390
            Layout.fillHeight: true
            spacing: 12
            UiPanel {
                Layout.fillWidth: true
                title: qsTr("Project")
                subtitle: ui.hasProject ? ui.projectPath : qsTr("Open or create a local Sorvanta project")
                RowLayout {
                    Layout.fillWidth: true
                    spacing: 8
                    WideButton {
                        objectName: "newProjectButton"
                        text: qsTr("New")
                        enabled: root.projectActionsEnabled
                        disabledReason: blockers.changeProject()
                        onClicked: root.pickDirectory("new")
                    }
                    WideButton {
                        objectName: "openProjectButton"
                        text: qsTr("Open")
                        enabled: root.projectActionsEnabled
                        disabledReason: blockers.changeProject()
                        onClicked: root.pickDirectory("open")
                    }
                    WideButton {
                        objectName: "recentButton"
                        text: qsTr("Recent")
                        disabledReason: blockers.openRecentProject()
                        enabled: disabledReason === ""
                        onClicked: recentDialog.open()
                    }
                }
                ColumnLayout {
                    Layout.fillWidth: true
                    visible: ui.hasProject
                    spacing: 6
                    BodyText { text: ui.projectName; font.bold: true; elide: Text.ElideRight; wrapMode: Text.NoWrap }
                    SmallText { // English has a singular; the catalogues give each count its own form (%n).
                        objectName: "measurementCountLabel"
                        text: ui.measurementCount === 1 ? qsTr("%n measurement", "", 1) : qsTr("%n measurements", "", ui.measurementCount) }
                    RowLayout {
                        Layout.fillWidth: true
                        spacing: 8
                        WideButton {
                            text: qsTr("Refresh")
                            enabled: ui.hasProject && ui.replayState === "Idle"
                            disabledReason: blockers.refreshProject()
                            onClicked: ui.refreshProject()
                        }
                        WideButton {
                            objectName: "deleteProjectButton"
                            kind: 2
                            text: qsTr("Delete")
                            enabled: root.projectActionsEnabled
                            disabledReason: blockers.changeProject()
                            onClicked: deleteProjectDialog.open()
                        }
                    }
                }
            }
            Card {
                Layout.fillWidth: true
                Layout.fillHeight: true
                // Fixed, not taken from its own filled content: a width from its list leaves the column blind to
                // the Project panel's growth, and a height from it loops with the column's polish.
                implicitWidth: 300
                implicitHeight: 0
                ColumnLayout {
                    anchors.fill: parent
                    spacing: 10
                    RowLayout {
                        Layout.fillWidth: true
                        SmallText {
                            objectName: "measurementsHeading"; text: qsTr("MEASUREMENTS")
                            font.pixelSize: Theme.fontCaption; font.bold: true
                        }
                        SmallText {
                            objectName: "manifestIndexLabel"
                            Layout.fillWidth: false
                            // A visibility change made while the page is hidden never reaches the row's layout.
                            text: ui.measurementCount > 0 ? qsTr("manifest index") : ""
                            font.pixelSize: Theme.fontCaption
                        }
                    }
                    ListView {
                        id: measurementList
                        objectName: "measurementList"
                        Layout.fillWidth: true
                        Layout.fillHeight: true
                        clip: true
                        spacing: 8
                        boundsBehavior: Flickable.StopAtBounds
                        keyNavigationEnabled: false
                        model: ui.measurements
                        ScrollBar.vertical: PageScrollBar {}
                        delegate: measurementDelegate
                        SmallText {
                            objectName: "emptyListLabel"
                            anchors.centerIn: parent
                            visible: measurementList.count === 0
                            text: ui.hasProject ? qsTr("No Measurements in this Project") : qsTr("No Project open")
                        }
                    }
                }
            }
        }

        ScrollView {
            id: measurementInspector
            objectName: "measurementInspector"
            // A fixed implicit size: the content width follows the width the layout gives, never the reverse.
            implicitWidth: 320; implicitHeight: 240
            Layout.fillWidth: true
            Layout.fillHeight: true
            contentWidth: availableWidth
            ScrollBar.horizontal.policy: ScrollBar.AlwaysOff
            ScrollBar.vertical.policy: ScrollBar.vertical.size < 1.0 ? ScrollBar.AlwaysOn : ScrollBar.AsNeeded
            ColumnLayout {
                width: measurementInspector.availableWidth
                spacing: 12
                BodyText { text: qsTr("Measurement inspector"); font.pixelSize: Theme.fontDisplay; font.bold: true }
                SmallText {
                    text: qsTr("Historical data is interpreted with its frozen Device Profile, never the current Live Profile.")
                    wrapMode: Text.WordWrap
                }
                UiPanel {
                    Layout.fillWidth: true
                    visible: ui.hasProject
                    title: ui.projectName
                    subtitle: ui.projectId
                    BodyText { text: ui.projectPath; font.pixelSize: Theme.fontSmall; wrapMode: Text.WrapAnywhere }
                }
                UiPanel {
                    Layout.fillWidth: true
                    visible: ui.hasSelectedMeasurement
                    title: ui.selectedMeasurementId
                    subtitle: qsTr("Immutable Measurement")
                    BodyText { text: ui.selectedMeasurementInfo; font.pixelSize: Theme.fontSmall }
                    Rectangle {
                        Layout.fillWidth: true
                        implicitHeight: frozenLayout.implicitHeight + 20
                        radius: 8
                        color: Theme.surfaceAlt
                        border.color: Theme.border
                        ColumnLayout {
                            id: frozenLayout
                            anchors.fill: parent
                            anchors.margins: 10
                            spacing: 4
                            SmallText { text: qsTr("FROZEN DEVICE PROFILE"); font.pixelSize: Theme.fontCaption; font.bold: true }
                            BodyText {
                                text: ui.selectedMeasurementProfileInfo
                                font.pixelSize: Theme.fontSmall
                                wrapMode: Text.WrapAnywhere
                            }
                            HashText { text: qsTr("Recorded profile hash  %1").arg(ui.selectedMeasurementProfileHash) }
                            HashText {
                                visible: ui.selectedMeasurementGeometryHash !== ""
                                text: qsTr("Geometry hash  %1").arg(ui.selectedMeasurementGeometryHash)
                            }
                        }
                    }
                    SmallText {
                        objectName: "rawAssetLabel"
                        text: (ui.selectedMeasurementRawAvailable ? qsTr("RAW ASSET PRESENT  ·  Recorded raw hash  %1")
                                                                  : qsTr("RAW ASSET MISSING  ·  Recorded raw hash  %1"))
                              .arg(ui.selectedMeasurementRawHash)
                        color: ui.selectedMeasurementRawAvailable ? Theme.success : Theme.dangerSoft
                        wrapMode: Text.WrapAnywhere
                    }
                }
                UiPanel {
                    Layout.fillWidth: true
                    visible: ui.hasSelectedMeasurement
                    title: qsTr("Manage Measurement")
                    subtitle: qsTr("Alias/notes are metadata only - raw payload and hashes stay immutable")
                    Flow {
                        Layout.fillWidth: true
                        spacing: 8
                        ThemedButton {
                            objectName: "replayMeasurementButton"
                            text: qsTr("Replay")
                            enabled: ui.canStartReplay
                            disabledReason: blockers.startReplay()
                            onClicked: {
                                ui.startSelectedMeasurementReplay()
                                root.showWorkspace(4)
                            }
                        }
                        ThemedButton {
                            objectName: "renameButton"
                            text: qsTr("Rename")
                            disabledReason: blockers.editMeasurement()
                            enabled: disabledReason === ""
                            onClicked: root.openRenameDialog()
                        }
                        ThemedButton {
                            objectName: "noteButton"
                            text: qsTr("Note")
                            disabledReason: blockers.editMeasurement()
                            enabled: disabledReason === ""
                            onClicked: root.openNoteDialog()
                        }
                        ThemedButton {
                            objectName: "deleteMeasurementButton"
                            kind: 2
                            text: qsTr("Delete")
                            disabledReason: blockers.deleteMeasurement()
                            enabled: disabledReason === ""
                            onClicked: deleteDialog.open()
                        }
                    }
                    BodyText {
                        objectName: "aliasLabel"
                        visible: text !== ""
                        text: root.selectedRow && root.selectedRow.displayName
                              ? qsTr("Alias: %1").arg(root.selectedRow.displayName) : ""
                        font.pixelSize: Theme.fontSmall
                    }
                    BodyText {
                        objectName: "placeLabel"
                        visible: text !== ""
                        text: root.placeText(root.selectedRow)
                        font.pixelSize: Theme.fontSmall
                    }
                    SmallText {
                        objectName: "notesLabel"
                        visible: text !== ""
                        text: root.selectedRow && root.selectedRow.notes ? root.selectedRow.notes : ""
                        wrapMode: Text.WordWrap
                    }
                }
                SmallText {
                    objectName: "inspectorPlaceholder"
                    visible: !ui.hasSelectedMeasurement
                    text: ui.hasProject ? qsTr("Select a valid Measurement") : qsTr("Open a Project to inspect its Measurements")
                    font.pixelSize: Theme.fontBody
                    wrapMode: Text.WordWrap
                }
            }
        }
    }

    Component {
        id: measurementDelegate

        SelectableRow {
            id: entry
            required property int index
            required property var modelData
            readonly property bool valid: modelData.valid === true
            readonly property var analyses: valid && modelData.analyses ? modelData.analyses : []
            readonly property bool expanded: root.isExpanded(modelData.id)
            readonly property bool hasPlace: !!(modelData.location || modelData.scene)
            objectName: "measurementRow"
            width: ListView.view ? ListView.view.width : 0
            height: (valid ? (hasPlace ? 122 : 106) : 70) + (expanded && analyses.length > 0 ? 8 + 44 * analyses.length : 0)
            radius: 9
            selected: index === ui.selectedMeasurementIndex
            choosable: valid && !ui.replayActive
            onChosen: ui.selectMeasurement(entry.index)
            clip: true
            Behavior on height { NumberAnimation { duration: 120; easing.type: Easing.OutCubic } }
            ColumnLayout {
                anchors.fill: parent
                anchors.margins: 10
                spacing: 2
                RowLayout {
                    Layout.fillWidth: true
                    spacing: 6
                    Text {
                        objectName: "expandArrow"
                        visible: entry.valid && entry.analyses.length > 0
                        text: entry.expanded ? "\u25be" : "\u25b8"
                        color: Theme.accent
                        font.pixelSize: Theme.fontBody
                        // A Tab stop of its own, so the keyboard reaches the AnalysisRun rows too.
                        activeFocusOnTab: visible
                        Keys.onSpacePressed: root.toggleExpanded(entry.modelData.id)
                        Rectangle { anchors.fill: parent; anchors.margins: -3; radius: 4; color: "transparent"
                                    border.color: Theme.accent; border.width: 2; visible: parent.activeFocus }
                        MouseArea { anchors.fill: parent; anchors.margins: -4; onClicked: root.toggleExpanded(entry.modelData.id) }
                    }
                    BodyText {
                        objectName: "measurementTitle"
                        text: entry.modelData.displayName ? entry.modelData.displayName : entry.modelData.id
                        color: entry.valid ? Theme.text : Theme.dangerSoft
                        font.pixelSize: Theme.fontBody
                        font.bold: true
                        elide: Text.ElideRight
                        wrapMode: Text.NoWrap
                    }
                    SmallText {
                        objectName: "durationLabel"
                        Layout.fillWidth: false
                        text: entry.valid ? Number(entry.modelData.durationSeconds).toFixed(2) + " s" : qsTr("invalid")
                    }
                }
                SmallText {
                    objectName: "countsLabel"
                    text: !entry.valid ? (entry.modelData.error || "")
                        : entry.modelData.rawAvailable
                          ? (entry.modelData.analysisCount === 1 ? qsTr("%1 ch · %2 Hz · %n analysis", "", 1)
                             : qsTr("%1 ch · %2 Hz · %n analyses", "", entry.modelData.analysisCount))
                                .arg(entry.modelData.channelCount).arg(entry.modelData.sampleRateHz)
                          : qsTr("RAW ASSET MISSING · %1 ch · %2 Hz").arg(entry.modelData.channelCount)
                                .arg(entry.modelData.sampleRateHz)
                    color: entry.valid && entry.modelData.rawAvailable ? Theme.muted : Theme.dangerSoft
                }
                SmallText {
                    visible: entry.valid
                    text: (entry.modelData.profileId ? entry.modelData.profileId : qsTr("profile unknown"))
                          + (entry.modelData.source ? "  ·  " + entry.modelData.source : "")
                          + (entry.modelData.videoFile ? "  ·  " + qsTr("video") : "")
                }
                SmallText {
                    visible: entry.valid
                    text: (entry.modelData.displayName ? entry.modelData.id + "  ·  " : "") + (entry.modelData.startedAt || "")
                }
                SmallText {
                    visible: entry.valid && entry.hasPlace
                    text: [entry.modelData.location, entry.modelData.scene].filter(part => !!part).join("  ·  ")
                    color: Theme.text
                }
                SmallText {
                    visible: entry.valid && !!entry.modelData.notes
                    text: entry.modelData.notes || ""
                    maximumLineCount: 1
                }
                Item { Layout.fillHeight: true }
                // A positioner: Qt 6.4 layouts crash on Repeater items deleted while the row's height animates.
                Column {
                    Layout.fillWidth: true
                    topPadding: 4
                    spacing: 4
                    Repeater {
                        id: analysisRepeater
                        property string measurementId: entry.modelData.id
                        model: entry.expanded ? entry.analyses : []
                        SelectableRow {
                            id: runRow
                            required property var modelData
                            readonly property bool runValid: modelData.valid === true
                            readonly property string created: modelData.createdAt || ""
                            objectName: "analysisRow"
                            width: parent ? parent.width : 0
                            height: 40
                            radius: 6
                            restColor: "transparent"
                            selected: ui.selectedMeasurementId === analysisRepeater.measurementId
                                      && ui.selectedAnalysisId === modelData.id
                            choosable: runValid && !ui.replayActive
                            onChosen: {
                                ui.openAnalysisRun(analysisRepeater.measurementId, runRow.modelData.id)
                                root.showWorkspace(2)
                            }
                            RowLayout {
                                anchors.left: parent.left
                                anchors.right: parent.right
                                anchors.top: parent.top
                                anchors.margins: 8
                                anchors.topMargin: 3
                                height: 16
                                spacing: 6
                                SmallText {
                                    objectName: "runAlgorithmLabel"
                                    Layout.fillWidth: false
                                    Layout.preferredWidth: 96
                                    text: runRow.runValid ? runRow.modelData.algorithm : qsTr("invalid")
                                    color: runRow.runValid ? Theme.text : Theme.dangerSoft
                                }
                                SmallText {
                                    Layout.fillWidth: false
                                    Layout.preferredWidth: 76
                                    visible: runRow.runValid
                                    text: Number(runRow.modelData.frequencyHz).toFixed(0) + " Hz"
                                }
                                SmallText {
                                    objectName: "runDetailLabel"
                                    visible: !runRow.runValid
                                    text: runRow.modelData.error || ""
                                }
                                Item { Layout.fillWidth: runRow.runValid }
                                SmallText {
                                    Layout.fillWidth: false
                                    visible: runRow.runValid
                                    text: Number(runRow.modelData.peakAzimuth).toFixed(1) + "° / "
                                          + Number(runRow.modelData.peakElevation).toFixed(1) + "°"
                                }
                            }
                            // The part of the Measurement the run covers and when it was saved, to the
                            // second: two runs of one Measurement read apart by them.
                            RowLayout {
                                objectName: "runWindowLine"
                                visible: runRow.runValid
                                anchors.left: parent.left
                                anchors.right: parent.right
                                anchors.bottom: parent.bottom
                                anchors.margins: 8
                                anchors.bottomMargin: 3
                                height: 16
                                spacing: 6
                                RunWindowLabel {
                                    objectName: "runWindowLabel"
                                    run: runRow.modelData
                                }
                                SmallText {
                                    objectName: "runSavedLabel"
                                    horizontalAlignment: Text.AlignRight
                                    text: runRow.created.length >= 19 ? runRow.created.substring(5, 19).replace("T", " ")
                                                                      : runRow.created
                                }
                            }
                        }
                    }
                }
            }
        }
    }

    FilePickerDialog {
        id: dirPicker
        objectName: "dirPicker"
        property string pendingAction: "open"
        pickerMode: "dir"
        title: qsTr("Select Sorvanta Project Directory")
        initialPath: ui.hasProject ? ui.projectPath : ""
        onPicked: path => root.directoryPicked(path)
    }

    MessageDialog {
        id: dirErrorDialog
        objectName: "dirErrorDialog"
        title: qsTr("Cannot Create Project")
        standardButtons: Dialog.Close
        width: 420
    }

    ThemedDialog {
        id: newProjectDialog
        objectName: "newProjectDialog"
        title: qsTr("Create Sorvanta Project")
        standardButtons: Dialog.Ok | Dialog.Cancel
        width: 420
        acceptEnabled: projectNameField.text.trim() !== ""
        onAccepted: {
            ui.createProject(root.pendingProjectDirectory, projectNameField.text)
            projectNameField.text = ""
        }
        ColumnLayout {
            width: parent.width
            spacing: 8
            BodyText {
                text: qsTr("The selected folder becomes the Project root (must be empty). The Project name below is the display name.")
            }
            SmallText { text: root.pendingProjectDirectory; elide: Text.ElideMiddle }
            ThemedTextField {
                id: projectNameField
                objectName: "projectNameField"
                Layout.fillWidth: true
                placeholderText: qsTr("Project name")
            }
        }
    }

    ThemedDialog {
        id: nestedProjectDialog
        objectName: "nestedProjectDialog"
        title: qsTr("Project Found in Subfolder")
        standardButtons: Dialog.Ok | Dialog.Cancel
        width: 520
        onAccepted: {
            if (nestedList.currentIndex >= 0 && nestedList.currentIndex < nestedModel.count)
                ui.openProject(nestedModel.get(nestedList.currentIndex).path)
        }
        ColumnLayout {
            width: parent.width
            spacing: 8
            BodyText {
                text: qsTr("The selected folder does not contain a project, but the following project was found inside it. Open it?")
            }
            ListView {
                id: nestedList
                objectName: "nestedList"
                Layout.fillWidth: true
                Layout.preferredHeight: Math.min(contentHeight + 4, 180)
                clip: true
                model: ListModel { id: nestedModel }
                delegate: Rectangle {
                    id: nestedRow
                    required property int index
                    required property string name
                    required property string path
                    width: ListView.view.width
                    height: 44
                    radius: 6
                    color: ListView.isCurrentItem ? Theme.surfaceAlt : "transparent"
                    MouseArea {
                        anchors.fill: parent
                        onClicked: nestedList.currentIndex = nestedRow.index
                        onDoubleClicked: {
                            nestedList.currentIndex = nestedRow.index
                            nestedProjectDialog.accept()
                        }
                    }
                    NameOverPath {
                        anchors.fill: parent
                        anchors.margins: 6
                        name: nestedRow.name
                        path: nestedRow.path
                    }
                }
            }
        }
    }

    MessageDialog {
        id: openCreateDialog
        objectName: "openCreateDialog"
        title: qsTr("No Project in Folder")
        standardButtons: Dialog.Yes | Dialog.No
        width: 460
        message: qsTr("There is no project in the selected folder:\n%1\n\nCreate a new project here?").arg(root.pendingProjectDirectory)
        onAccepted: root.offerNewProject(root.pendingProjectDirectory)
    }

    RecentProjectsDialog {
        id: recentDialog
        objectName: "recentDialog"
    }

    MessageDialog {
        id: deleteProjectDialog
        objectName: "deleteProjectDialog"
        title: qsTr("Delete Project")
        standardButtons: Dialog.Yes | Dialog.No
        acceptKind: 2
        width: 480
        onAccepted: ui.deleteProject()
        message: qsTr("Permanently delete project \"%1\"?\n\nAll Measurements, raw recordings, video tracks and AnalysisRuns under\n%2\nare removed from disk. This cannot be undone.").arg(ui.projectName).arg(ui.projectPath)
    }

    ThemedDialog {
        id: renameDialog
        objectName: "renameDialog"
        title: qsTr("Rename Measurement")
        standardButtons: Dialog.Ok | Dialog.Cancel
        width: 420
        onAccepted: ui.renameSelectedMeasurement(renameField.text)
        ColumnLayout {
            width: parent.width
            spacing: 8
            BodyText { text: qsTr("Display alias (empty clears it). The measurement id and raw payload never change.") }
            ThemedTextField {
                id: renameField
                objectName: "renameField"
                Layout.fillWidth: true
                placeholderText: ui.selectedMeasurementId
            }
        }
    }

    ThemedDialog {
        id: noteDialog
        objectName: "noteDialog"
        title: qsTr("Measurement Note")
        standardButtons: Dialog.Ok | Dialog.Cancel
        width: 520
        onAccepted: ui.setSelectedMeasurementNote(noteLocationField.text, noteSceneCombo.editText, noteArea.text)
        GridLayout {
            width: parent.width
            columns: 2
            columnSpacing: 8
            rowSpacing: 8
            SmallText { Layout.fillWidth: false; Layout.preferredWidth: 70; text: qsTr("Time") }
            BodyText { id: noteTimeLabel; objectName: "noteTimeLabel" }
            SmallText { Layout.fillWidth: false; Layout.preferredWidth: 70; text: qsTr("Location") }
            ThemedTextField {
                id: noteLocationField
                objectName: "noteLocationField"
                Layout.fillWidth: true
                placeholderText: qsTr("Building / room / site")
            }
            SmallText { Layout.fillWidth: false; Layout.preferredWidth: 70; text: qsTr("Scene") }
            ThemedCombo {
                id: noteSceneCombo
                objectName: "noteSceneCombo"
                Layout.fillWidth: true
                editable: true
                model: ["Anechoic chamber", "Semi-anechoic chamber", "Reverberation room", "Laboratory",
                        "Meeting room", "Workshop", "Outdoor", "Other"]
            }
            SmallText { Layout.columnSpan: 2; text: qsTr("Remarks") }
            ScrollView {
                Layout.columnSpan: 2
                Layout.fillWidth: true
                Layout.preferredHeight: 120
                TextArea {
                    id: noteArea
                    objectName: "noteArea"
                    placeholderText: qsTr("Test conditions, source position, observations...")
                    placeholderTextColor: Theme.muted
                    color: Theme.text
                    wrapMode: TextEdit.Wrap
                    font.pixelSize: Theme.fontBody
                    background: Rectangle {
                        radius: 8
                        color: Theme.surfaceAlt
                        border.color: noteArea.activeFocus ? Theme.accent : Theme.border
                    }
                }
            }
        }
    }

    MessageDialog {
        id: deleteDialog
        objectName: "deleteDialog"
        title: qsTr("Delete Measurement")
        standardButtons: Dialog.Yes | Dialog.No
        acceptKind: 2
        width: 460
        onAccepted: ui.deleteSelectedMeasurement()
        message: qsTr("Permanently delete %1?\n\nRaw recording, video track and all AnalysisRuns are removed from disk. This cannot be undone.").arg(ui.selectedMeasurementId)
    }
}
