import QtQuick
import QtQuick.Controls
import QtTest
import SorvantaApp

Item {
    id: host
    width: 900
    height: 700

    Component {
        id: pickerComponent
        FilePickerDialog {}
    }

    Component {
        id: spyComponent
        SignalSpy {}
    }

    TestCase {
        name: "FilePickerDialog"
        when: windowShown

        function openPicker(properties) {
            const picker = createTemporaryObject(pickerComponent, host, properties)
            picker.open()
            tryVerify(() => picker.opened)
            return picker
        }

        function part(picker, name) {
            const found = findChild(picker.contentItem, name)
            verify(found !== null, "no child " + name)
            return found
        }

        function names(picker) {
            const view = part(picker, "listView")
            const result = []
            for (let i = 0; i < view.count; ++i)
                result.push(view.model.get(i).entryName)
            return result
        }

        function rowItem(picker, index) {
            const view = part(picker, "listView")
            view.positionViewAtIndex(index, ListView.Contain)
            const row = view.itemAtIndex(index)
            verify(row !== null, "no row " + index)
            return row
        }

        function indexOf(picker, name) {
            return names(picker).indexOf(name)
        }

        function test_aFileGivenWithBackslashesOpensItsFolderWithTheFileSelected() {
            const folder = fixture.newFolder()
            fixture.makeDirs(folder, ["sub"])
            fixture.touch(folder + "/a.device.json")
            fixture.touch(folder + "/b.device.json")
            fixture.touch(folder + "/readme.txt")
            const picker = openPicker({pickerMode: "file", nameFilters: ["*.device.json"],
                                       initialPath: (folder + "/b.device.json").replace(/\//g, "\\")})
            compare(picker.currentPath, folder)
            const listing = ui.browseListDir(folder, ["*.device.json"])
            compare(names(picker), listing.dirs.concat(listing.files))
            compare(names(picker), ["sub", "a.device.json", "b.device.json"])
            compare(picker.selectedIndex, 2)
            compare(part(picker, "summaryLabel").text, "Selected: " + folder + "/b.device.json")

            const picked = createTemporaryObject(spyComponent, host, {target: picker, signalName: "picked"})
            mouseClick(part(picker, "okButton"))
            compare(picked.count, 1)
            compare(picked.signalArguments[0][0], folder + "/b.device.json")
            verify(!picker.visible)
        }

        function test_folderModeListsFoldersOnlyAndNavigates() {
            const folder = fixture.newFolder()
            fixture.makeDirs(folder, ["inner/deep", "other"])
            fixture.touch(folder + "/file.json")
            const picker = openPicker({pickerMode: "dir", nameFilters: ["*.json"], initialPath: folder})
            compare(names(picker), ["inner", "other"])

            mouseDoubleClickSequence(rowItem(picker, indexOf(picker, "inner")))
            compare(picker.currentPath, folder + "/inner")
            compare(names(picker), ["deep"])
            mouseClick(part(picker, "upButton"))
            compare(picker.currentPath, folder)

            const empty = fixture.newFolder()
            part(picker, "pathField").text = empty
            part(picker, "pathField").forceActiveFocus()
            keyClick(Qt.Key_Return)
            compare(picker.currentPath, empty)
            compare(part(picker, "listView").count, 0)

            part(picker, "pathField").text = empty + "/missing"
            part(picker, "pathField").forceActiveFocus()
            keyClick(Qt.Key_Return)
            compare(part(picker, "statusLabel").text, "Cannot open folder: " + empty + "/missing")
            compare(picker.currentPath, empty, "a failed listing keeps the shown folder")

            const picked = createTemporaryObject(spyComponent, host, {target: picker, signalName: "picked"})
            picker.acceptCurrent()
            compare(picked.signalArguments[0][0], empty)
        }

        function test_theKeyboardReachesTheFolderListAndEnterPicksTheSelectedRow() {
            const folder = fixture.newFolder()
            fixture.makeDirs(folder, ["alpha", "beta"])
            const picker = openPicker({pickerMode: "dir", initialPath: folder})
            const picked = createTemporaryObject(spyComponent, host, {target: picker, signalName: "picked"})
            const view = part(picker, "listView")
            tryVerify(() => part(picker, "pathField").activeFocus)
            keyClick(Qt.Key_Return)
            verify(picker.opened, "Enter in the path lists it and never picks")
            compare(picked.count, 0)
            for (let i = 0; i < 8 && !view.activeFocus; ++i)
                keyClick(Qt.Key_Tab)
            verify(view.activeFocus, "Tab reaches the folder list")
            keyClick(Qt.Key_Down)
            keyClick(Qt.Key_Down)
            compare(picker.selectedIndex, indexOf(picker, "beta"))
            keyClick(Qt.Key_Return)
            compare(picked.count, 1)
            compare(picked.signalArguments[0][0], folder + "/beta")
            verify(!picker.visible)

            // A row chosen with the pointer, then Enter.
            const again = openPicker({pickerMode: "dir", initialPath: folder})
            const pickedAgain = createTemporaryObject(spyComponent, host, {target: again, signalName: "picked"})
            mouseClick(rowItem(again, indexOf(again, "alpha")))
            keyClick(Qt.Key_Enter)
            compare(pickedAgain.count, 1)
            compare(pickedAgain.signalArguments[0][0], folder + "/alpha")
        }

        function test_aNewFolderOpensForRenamingAndARenameThatClashesStaysOpen() {
            const folder = fixture.newFolder()
            fixture.makeDirs(folder, ["taken"])
            const picker = openPicker({pickerMode: "dir", initialPath: folder})
            mouseClick(part(picker, "newFolderButton"))
            const created = indexOf(picker, "New Folder")
            verify(created >= 0, names(picker).join(","))
            compare(picker.editingIndex, created)
            verify(fixture.exists(folder + "/New Folder"))

            const editor = findChild(rowItem(picker, created), "renameField")
            tryVerify(() => editor.visible && editor.activeFocus)
            editor.text = "taken"
            keyClick(Qt.Key_Return)
            compare(part(picker, "statusLabel").text, "A folder with this name already exists")
            compare(picker.editingIndex, created)

            editor.text = "Run 7"
            keyClick(Qt.Key_Return)
            compare(picker.editingIndex, -1)
            compare(part(picker, "statusLabel").text, "")
            verify(fixture.exists(folder + "/Run 7"))
            verify(!fixture.exists(folder + "/New Folder"))
            compare(names(picker), ui.browseListDir(folder, []).dirs)
            compare(picker.selectedIndex, indexOf(picker, "Run 7"))

            // Blanks or the same name change nothing and ask nothing of the disk.
            picker.editingIndex = picker.selectedIndex
            picker.commitRename(picker.selectedIndex, "   ")
            verify(fixture.exists(folder + "/Run 7"))
            compare(part(picker, "statusLabel").text, "")
        }

        function test_saveModeFillsTheNameFromAFileAndStaysOpen() {
            const folder = fixture.newFolder()
            fixture.touch(folder + "/export.json")
            const picker = openPicker({pickerMode: "save", nameFilters: ["*.json"], initialPath: folder,
                                       defaultFileName: "map.json"})
            compare(part(picker, "summaryLabel").text, "Save to: " + folder + "/map.json")
            mouseDoubleClickSequence(rowItem(picker, 0))
            compare(part(picker, "nameField").text, "export.json")
            verify(picker.opened)
            part(picker, "nameField").text = "   "
            compare(part(picker, "summaryLabel").text, "Enter a file name")
            verify(!part(picker, "okButton").enabled)
        }

        function test_aStartThatCannotBeListedFallsBackToTheFirstDrive() {
            const missing = fixture.newFolder() + "/gone/deeper"
            const picker = openPicker({pickerMode: "dir", initialPath: missing})
            const drives = ui.browseDrives()
            verify(drives.length > 0)
            compare(picker.currentPath, ui.browseListDir(drives[0], []).path)
            compare(names(picker), ui.browseListDir(drives[0], []).dirs)
        }
    }
}
