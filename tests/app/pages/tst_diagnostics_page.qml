import QtQuick
import QtTest
import SorvantaApp

// The Diagnostics page with the real controller: the event log it keeps and a real export into the run's
// own Documents folder.
Item {
    id: host
    width: 1280
    height: 700

    DiagnosticsPage {
        id: page
        anchors.fill: parent
    }

    TestCase {
        name: "DiagnosticsPage"
        when: windowShown

        function child(name) {
            const found = findChild(page, name)
            verify(found !== null, "no child " + name)
            return found
        }

        function test_0_beforeAnExportThePathLineIsHidden() {
            verify(!child("diagnosticsPathLabel").visible)
        }

        function test_anExportShowsTheBundlesPath() {
            mouseClick(child("exportBundleButton"))
            verify(ui.lastDiagnosticsPath !== "")
            verify(fixture.exists(ui.lastDiagnosticsPath + "/metrics.txt"))
            const path = child("diagnosticsPathLabel")
            verify(path.visible)
            compare(path.text, ui.lastDiagnosticsPath)
            compare(path.elide, Text.ElideMiddle)
        }

        function test_theEventLogJumpsToItsNewestLine() {
            const view = child("eventView")
            for (let i = 0; i < 80; ++i)
                ui.resetDefaults()
            compare(view.count, ui.eventLog.length)
            tryVerify(() => view.atYEnd, 2000, "at the newest line")
            view.positionViewAtBeginning()
            verify(!view.atYEnd)
            ui.resetDefaults()
            tryVerify(() => view.atYEnd, 2000, "back at the newest line after a new entry")
            const last = view.itemAtIndex(view.count - 1)
            verify(last !== null)
            compare(last.text, ui.eventLog[ui.eventLog.length - 1])
        }
    }
}
