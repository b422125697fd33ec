import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QtTest
import SorvantaApp

Item {
    id: host
    width: 1280
    height: 800

    MeasurementsPage {
        id: page
        anchors.fill: parent
    }

    // The page as the main window holds it: in a stack, shown or hidden.
    Component {
        id: stackComponent
        StackLayout {
            property alias page: stackedPage
            anchors.fill: parent
            Item {}
            MeasurementsPage { id: stackedPage }
        }
    }

    TestCase {
        name: "MeasurementsPage"
        when: windowShown

        function child(name) {
            const found = findChild(page, name)
            verify(found !== null, "no child " + name)
            return found
        }

        function list() {
            return child("measurementList")
        }

        function rowAt(index) {
            const view = list()
            view.positionViewAtIndex(index, ListView.Contain)
            const row = view.itemAtIndex(index)
            verify(row !== null, "no row " + index)
            return row
        }

        function titles() {
            const view = list()
            const result = []
            for (let i = 0; i < view.count; ++i)
                result.push(findChild(rowAt(i), "measurementTitle").text)
            return result
        }

        function itemsNamed(item, name) {
            let items = item.objectName === name ? [item] : []
            for (let i = 0; i < item.children.length; ++i)
                items = items.concat(itemsNamed(item.children[i], name))
            return items
        }

        function textsNamed(item, name) {
            let texts = item.objectName === name ? [item.text] : []
            for (let i = 0; i < item.children.length; ++i)
                texts = texts.concat(textsNamed(item.children[i], name))
            return texts
        }

        function openedDialog(name) {
            const dialog = child(name)
            tryVerify(() => dialog.opened, 2000, name + " opens")
            return dialog
        }

        function closeDialogs() {
            for (const name of ["renameDialog", "noteDialog", "deleteDialog", "recentDialog", "newProjectDialog",
                                "dirErrorDialog", "nestedProjectDialog", "openCreateDialog", "deleteProjectDialog"]) {
                const dialog = child(name)
                dialog.close()
                tryVerify(() => !dialog.visible)
            }
        }

        function cleanup() {
            closeDialogs()
        }

        // Runs first (test functions run in name order), before any Project was opened.
        function test_0_withoutAProjectTheListAndTheInspectorSaySo() {
            verify(!ui.hasProject)
            compare(list().count, 0)
            compare(child("emptyListLabel").text, "No Project open")
            compare(child("inspectorPlaceholder").text, "Open a Project to inspect its Measurements")
            verify(!child("recentButton").enabled)
        }

        function test_theRowsAreTheControllersMeasurementsAndFollowTheSelection() {
            ui.openProject(fixture.makeProject(3, "Rows"))
            compare(list().count, ui.measurementCount)
            compare(titles(), ui.measurements.map(row => row.id))
            compare(titles(), ["m_3", "m_2", "m_1"])
            verify(Qt.colorEqual(rowAt(0).border.color, Theme.accent))
            verify(Qt.colorEqual(rowAt(2).border.color, Theme.border))

            mouseClick(rowAt(2))
            compare(ui.selectedMeasurementIndex, 2)
            compare(ui.selectedMeasurementId, "m_1")
            verify(Qt.colorEqual(rowAt(2).border.color, Theme.accent))
            verify(Qt.colorEqual(rowAt(0).border.color, Theme.border))
            compare(findChild(rowAt(2), "durationLabel").text, "0.10 s")
            compare(findChild(rowAt(2), "countsLabel").text, "4 ch · 16000 Hz · 0 analyses")
            compare(child("inspectorPlaceholder").visible, false)
        }

        function test_countsOfOneAreSingular() {
            const path = fixture.makeProject(1, "One")
            fixture.addAnalysisRun(path, "m_1", "a_1")
            ui.openProject(path)
            compare(child("measurementCountLabel").text, "1 measurement")
            compare(findChild(rowAt(0), "countsLabel").text, "4 ch · 16000 Hz · 1 analysis")
            fixture.addAnalysisRun(path, "m_1", "a_2")
            ui.refreshProject()
            compare(findChild(rowAt(0), "countsLabel").text, "4 ch · 16000 Hz · 2 analyses")
        }

        // Every visible text with the box its glyphs take, in the frame's coordinates.
        function textBoxes(item, frame) {
            if (!item.visible || item.opacity === 0)
                return []
            const found = []
            if (typeof item.text === "string" && item.text !== "" && item.contentWidth !== undefined) {
                const w = Math.min(item.contentWidth, item.width)
                const align = item.effectiveHorizontalAlignment
                const shift = align === Text.AlignRight ? item.width - w : align === Text.AlignHCenter
                                                                           ? (item.width - w) / 2 : 0
                const at = item.mapToItem(frame, shift, 0)
                found.push({text: item.text, x: at.x, y: at.y, w: w, h: Math.min(item.contentHeight, item.height)})
            }
            for (let i = 0; i < item.children.length; ++i)
                found.push(...textBoxes(item.children[i], frame))
            return found
        }

        function overlapping(boxes) {
            const pairs = []
            for (let i = 0; i < boxes.length; ++i) {
                for (let j = i + 1; j < boxes.length; ++j) {
                    const a = boxes[i], b = boxes[j]
                    if (a.x < b.x + b.w - 0.5 && b.x < a.x + a.w - 0.5 && a.y < b.y + b.h - 0.5 && b.y < a.y + a.h - 0.5)
                        pairs.push(a.text + " / " + b.text)
                }
            }
            return pairs
        }

        // A Project opened while the page is shown, and while it is hidden as at a start-up that reopens
        // the last Project: once shown, the panel and the list heading are laid out for it.
        function test_aProjectOpenedWhileShownOrHiddenIsLaidOutWithoutOverlaps_data() {
            return [{tag: "shown", hidden: false}, {tag: "hidden", hidden: true}]
        }

        function test_aProjectOpenedWhileShownOrHiddenIsLaidOutWithoutOverlaps(data) {
            ui.openProject(fixture.makeProject(0, "Closed"))
            ui.deleteProject()
            verify(!ui.hasProject)
            const stack = createTemporaryObject(stackComponent, host, {currentIndex: data.hidden ? 0 : 1})
            waitForRendering(stack)
            ui.openProject(fixture.makeProject(2, "Opened"))
            stack.currentIndex = 1
            waitForRendering(stack.page)
            const boxes = textBoxes(stack.page, stack.page)
            for (const text of ["MEASUREMENTS", "manifest index", "2 measurements", "Refresh", "m_1"])
                verify(boxes.some(box => box.text === text), text + " shown")
            compare(overlapping(boxes), [])
        }

        function test_renameAndNoteGoThroughTheirDialogs() {
            ui.openProject(fixture.makeProject(2, "Labels"))
            mouseClick(child("renameButton"))
            const rename = openedDialog("renameDialog")
            compare(child("renameField").text, "")
            child("renameField").text = "Fan on roof"
            rename.accept()
            compare(ui.measurements[0].displayName, "Fan on roof")
            compare(findChild(rowAt(0), "measurementTitle").text, "Fan on roof")
            compare(child("aliasLabel").text, "Alias: Fan on roof")

            mouseClick(child("noteButton"))
            const note = openedDialog("noteDialog")
            child("noteLocationField").text = "  Site B "
            child("noteSceneCombo").editText = "Rooftop"
            child("noteArea").text = "  west wind"
            note.accept()
            compare(ui.measurements[0].scene, "Rooftop")
            compare(ui.measurements[0].location, "Site B")
            compare(ui.measurements[0].notes, "  west wind")
            compare(child("placeLabel").text, "Location: Site B   ·   Scene: Rooftop")

            // A free scene reopens as typed; a listed one selects its entry.
            mouseClick(child("noteButton"))
            openedDialog("noteDialog")
            compare(child("noteSceneCombo").editText, "Rooftop")
            compare(child("noteSceneCombo").currentIndex, -1)
            child("noteSceneCombo").editText = "Workshop"
            child("noteDialog").accept()
            mouseClick(child("noteButton"))
            openedDialog("noteDialog")
            compare(child("noteSceneCombo").currentIndex, 5)
        }

        function test_deleteRemovesTheRowAndTheFolder() {
            const path = fixture.makeProject(2, "Delete")
            ui.openProject(path)
            mouseClick(child("deleteMeasurementButton"))
            openedDialog("deleteDialog").accept()
            compare(list().count, 1)
            compare(titles(), ["m_1"])
            verify(!fixture.exists(path + "/measurements/m_2"))
        }

        function test_aMeasurementWithRunsExpandsOnceAndStaysCollapsed() {
            const path = fixture.makeProject(2, "Runs")
            fixture.addAnalysisRun(path, "m_2", "a_1")
            fixture.addAnalysisRun(path, "m_2", "a_2")
            ui.openProject(path)
            tryCompare(rowAt(0), "height", 106 + 8 + 44 * 2)
            compare(rowAt(1).height, 106)

            mouseClick(findChild(rowAt(0), "expandArrow"))
            tryCompare(rowAt(0), "height", 106)
            mouseClick(rowAt(1))
            mouseClick(rowAt(0))
            compare(ui.selectedMeasurementId, "m_2")
            wait(200)
            compare(rowAt(0).height, 106, "a collapsed Measurement stays collapsed")
        }

        function test_aMeasurementWhoseFolderIsGoneIsShownButNotSelectable() {
            const path = fixture.makeProject(2, "Gone")
            fixture.removeTree(path + "/measurements/m_2")
            ui.openProject(path)
            const gone = rowAt(0)
            tryCompare(gone, "height", 70)
            verify(Qt.colorEqual(findChild(gone, "measurementTitle").color, Theme.dangerSoft))
            compare(findChild(gone, "durationLabel").text, "invalid")
            compare(ui.selectedMeasurementIndex, 1)
            mouseClick(gone)
            compare(ui.selectedMeasurementIndex, 1)
        }

        // Two like runs saved within one minute still read apart: their rows give the second.
        function test_runsOfOneMinuteReadApart() {
            const path = fixture.makeProject(1, "Twins")
            fixture.addAnalysisRun(path, "m_1", "a_1")
            fixture.addAnalysisRun(path, "m_1", "a_2")
            fixture.stampAnalysisRun(path, "m_1", "a_1", "2026-01-01T12:00:05Z")
            fixture.stampAnalysisRun(path, "m_1", "a_2", "2026-01-01T12:00:41Z")
            ui.openProject(path)
            tryCompare(rowAt(0), "height", 106 + 8 + 44 * 2)
            compare(textsNamed(rowAt(0), "runSavedLabel").sort(), ["01-01 12:00:05", "01-01 12:00:41"])
        }

        // Like runs saved at one time read apart by the part of the Measurement each covers (0.1 s of
        // 16 kHz here), shown whole at this laptop's width.
        function test_runsOfOneMeasurementReadApartByTheirWindows() {
            const path = fixture.makeProject(1, "Windows")
            fixture.addAnalysisRun(path, "m_1", "a_1")
            fixture.addAnalysisRun(path, "m_1", "a_2", false, 0.02, 0.06)
            fixture.addAnalysisRun(path, "m_1", "a_3", false, 0.05, 0.0925)
            for (const id of ["a_1", "a_2", "a_3"])
                fixture.stampAnalysisRun(path, "m_1", id, "2026-01-01T12:00:05Z")
            ui.openProject(path)
            tryCompare(rowAt(0), "height", 106 + 8 + 44 * 3)
            compare(textsNamed(rowAt(0), "runWindowLabel").sort(), ["0.00–0.10 s", "0.02–0.06 s", "0.05–0.09 s"])
            for (const label of itemsNamed(rowAt(0), "runWindowLabel"))
                verify(!label.truncated, label.text + " is whole")
        }

        // A Replay the controller would refuse is disabled and says why under the pointer.
        function test_replaySaysWhyItIsDisabled() {
            const path = fixture.makeProject(1, "NoRaw")
            fixture.removeTree(path + "/measurements/m_1/raw.int16")
            ui.openProject(path)
            compare(ui.selectedMeasurementId, "m_1")
            const replay = child("replayMeasurementButton")
            verify(!replay.enabled)
            replay.hoverEnabled = true
            mouseMove(replay, replay.width / 2, replay.height / 2)
            tryVerify(() => replay.hovered)
            compare(replay.ToolTip.text, "Replay raw asset is missing")
            verify(replay.ToolTip.visible)
            mouseMove(page, 1, 1)
        }

        function test_anUnreadableRunIsListedWithItsReasonAndCannotBeOpened() {
            const path = fixture.makeProject(1, "BrokenRun")
            fixture.addAnalysisRun(path, "m_1", "a_1")
            fixture.addAnalysisRun(path, "m_1", "a_2")
            fixture.touch(path + "/measurements/m_1/analyses/a_2/analysis.json")
            ui.openProject(path)
            compare(ui.selectedAnalysisId, "a_1")
            tryCompare(rowAt(0), "height", 106 + 8 + 44 * 2)
            const broken = findChild(rowAt(0), "analysisRow")
            compare(broken.modelData.id, "a_2")
            compare(findChild(broken, "runAlgorithmLabel").text, "invalid")
            const reason = findChild(broken, "runDetailLabel").text
            verify(reason.startsWith("analysis.json: "), reason)
            mouseClick(broken)
            compare(ui.selectedAnalysisId, "a_1")
        }

        function test_removingTheLastRecentProjectKeepsTheDialogOpen() {
            ui.openProject(fixture.makeProject(0, "Recent"))
            verify(ui.recentProjects.length > 0)
            mouseClick(child("recentButton"))
            const dialog = openedDialog("recentDialog")
            const view = child("recentList")
            while (ui.recentProjects.length > 0) {
                const before = ui.recentProjects.length
                tryCompare(view, "count", before)
                waitForRendering(view)
                const remove = findChild(view.itemAtIndex(0), "removeRecentButton")
                mouseMove(remove, remove.width / 2, remove.height / 2)
                tryVerify(() => remove.ToolTip.visible, 2000, "the x says what it does")
                compare(remove.ToolTip.text, "Remove from Recent Projects (the folder stays on disk)")
                mouseClick(remove)
                compare(ui.recentProjects.length, before - 1)
            }
            verify(dialog.opened)
            verify(child("noRecentLabel").visible)
            compare(child("noRecentLabel").text, "No recent projects yet")
        }

        // Open on a Project whose folder is gone says why in the dialog, where the user is; an Open that
        // works closes it.
        function test_openingARecentProjectThatIsGoneSaysWhyInTheDialog() {
            const kept = fixture.makeProject(1, "Kept")
            const gone = fixture.makeProject(1, "Gone")
            ui.openProject(kept)
            ui.openProject(gone)
            fixture.removeTree(gone)
            mouseClick(child("recentButton"))
            const dialog = openedDialog("recentDialog")
            const view = child("recentList")
            compare(view.itemAtIndex(0).children[0].path, gone)
            waitForRendering(view)
            mouseClick(findChild(view.itemAtIndex(0), "openRecentButton"))
            verify(dialog.opened, "the dialog stays open")
            const failure = child("recentFailure")
            verify(failure.visible)
            compare(failure.text, "Project no longer exists at " + gone + " - removed from Recent")
            verify(!ui.recentProjects.some(entry => entry.path === gone), "the gone Project leaves the list")
            compare(ui.projectPath, gone, "the open Project stays as it was")

            tryCompare(view.itemAtIndex(0).children[0], "path", kept)
            waitForRendering(view)
            mouseClick(findChild(view.itemAtIndex(0), "openRecentButton"))
            tryVerify(() => !dialog.visible, 2000, "an Open that works closes the dialog")
            compare(ui.projectPath, kept)
            mouseClick(child("recentButton"))
            openedDialog("recentDialog")
            verify(!failure.visible, "a new look at the list starts without the old reason")
        }

        function test_aNewProjectIsCheckedNamedAfterItsFolderAndCreated() {
            const occupied = fixture.newFolder()
            fixture.touch(occupied + "/file.txt")
            child("dirPicker").pendingAction = "new"
            page.directoryPicked(occupied)
            openedDialog("dirErrorDialog")
            compare(child("dirErrorDialog").message, ui.validateNewProjectDir(occupied))
            closeDialogs()

            const target = fixture.newFolder() + "/Wind tunnel/"
            page.directoryPicked(target)
            const dialog = openedDialog("newProjectDialog")
            compare(child("projectNameField").text, "Wind tunnel")
            const ok = dialog.standardButton(Dialog.Ok)
            for (const [name, acceptable] of [["", false], ["   ", false], [" x ", true], ["Wind tunnel", true]]) {
                child("projectNameField").text = name
                compare(ok.enabled, acceptable, "name '" + name + "'")
            }
            verify(dialog.standardButton(Dialog.Cancel).enabled)
            dialog.accept()
            verify(ui.hasProject)
            compare(ui.projectName, "Wind tunnel")
            compare(ui.projectPath, target)
            compare(child("projectNameField").text, "")
        }

        // Enter, pressed as a user presses it, answers each dialog whose default button is not destructive.
        function test_enterAcceptsEveryDialogButTheDestructiveOnes() {
            child("dirPicker").pendingAction = "new"
            page.directoryPicked(fixture.newFolder() + "/By keys")
            openedDialog("newProjectDialog")
            keyClick(Qt.Key_Return)
            tryVerify(() => !child("newProjectDialog").visible)
            compare(ui.projectName, "By keys")

            ui.openProject(fixture.makeProject(1, "Keys"))
            mouseClick(child("renameButton"))
            openedDialog("renameDialog")
            keySequence("ctrl+a")
            for (const key of [Qt.Key_F, Qt.Key_A, Qt.Key_N])
                keyClick(key)
            keyClick(Qt.Key_Enter)
            compare(ui.measurements[0].displayName, "fan")

            mouseClick(child("noteButton"))
            openedDialog("noteDialog")
            child("noteLocationField").text = "Roof"
            keyClick(Qt.Key_Return)
            compare(ui.measurements[0].location, "Roof")

            mouseClick(child("deleteMeasurementButton"))
            const del = openedDialog("deleteDialog")
            keyClick(Qt.Key_Return)
            verify(del.opened, "Enter never confirms a deletion")
            compare(ui.measurementCount, 1)
            closeDialogs()

            const parent = fixture.newFolder()
            ui.createProject(parent + "/Inner", "Inner")
            ui.openProject(fixture.makeProject(0, "Elsewhere"))
            child("dirPicker").pendingAction = "open"
            page.directoryPicked(parent)
            openedDialog("nestedProjectDialog")
            keyClick(Qt.Key_Return)
            compare(ui.projectPath, parent + "/Inner")
        }

        function test_openingAFolderWithoutAProjectOffersTheNestedOnesOrACreation() {
            const parent = fixture.newFolder()
            fixture.makeDirs(parent, ["zeta", "Alpha", "plain"])
            fixture.touch(parent + "/zeta/project.json")
            child("dirPicker").pendingAction = "open"
            ui.createProject(parent + "/Alpha", "Alpha")
            ui.createProject(fixture.newFolder() + "/other", "Other")
            page.directoryPicked(parent)
            const nested = openedDialog("nestedProjectDialog")
            compare(child("nestedList").count, 2)
            compare(child("nestedList").currentIndex, 0)
            nested.accept()
            compare(ui.projectPath, parent + "/Alpha")

            page.directoryPicked(parent + "/plain")
            openedDialog("openCreateDialog").accept()
            openedDialog("newProjectDialog")
            compare(child("projectNameField").text, "plain")
        }
    }
}
