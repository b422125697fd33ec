import QtQuick
import QtTest
import SorvantaApp

// The Diagnostics page's table and actions over the stand-in controller.
Item {
    id: host
    width: 1100
    height: 600

    DiagnosticsPage {
        id: page
        anchors.fill: parent
    }

    TestCase {
        name: "DiagnosticsPage"
        when: windowShown

        function child(name, from) {
            const found = findChild(from || page, name)
            verify(found !== null, "no child " + name)
            return found
        }

        function test_rowsShowNamesAndValuesAndCutLongOnesAtTheRight() {
            const longText = "x".repeat(400)
            ui.diagnosticRows = [{name: "Live engine", value: "running"}, {name: "Blocks", value: 1024},
                                 {name: "Very long name ".repeat(20), value: longText}]
            const view = child("diagnosticRowsView")
            tryVerify(() => view.count === 3)
            compare(child("rowName", view.itemAtIndex(0)).text, "Live engine")
            compare(child("rowValue", view.itemAtIndex(1)).text, "1024")
            const longRow = view.itemAtIndex(2)
            tryVerify(() => child("rowValue", longRow).truncated)
            verify(child("rowName", longRow).truncated)
            compare(child("rowValue", longRow).elide, Text.ElideRight)
            ui.diagnosticRows = []
        }

        function test_pathLineShowsTheLastExportCutInTheMiddle() {
            verify(!child("diagnosticsPathLabel").visible)
            ui.lastDiagnosticsPath = "/home/user/Documents/Sorvanta Studio-diagnostics/" + "d".repeat(300)
                                     + "/diag_20261209_080000"
            const path = child("diagnosticsPathLabel")
            verify(path.visible)
            tryVerify(() => path.truncated)
            compare(path.elide, Text.ElideMiddle)
            ui.lastDiagnosticsPath = ""
        }

        function test_bothActionsAreAlwaysOffered() {
            ui.calls = []
            mouseClick(child("exportBundleButton"))
            mouseClick(child("openFolderButton"))
            compare(ui.calls, ["exportDiagnosticsBundle", "openDiagnosticsFolder"])
        }
    }
}
