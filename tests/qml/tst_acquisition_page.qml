import QtQuick
import QtQuick.Layouts
import QtTest
import SorvantaApp

// The Live page in a workspace stack, over the stand-in controller and a stand-in shared camera.
Item {
    id: window
    width: 1500
    height: 950

    property var appCamera: null

    QtObject {
        id: cameraStandIn
        property bool active: false
    }

    Component {
        id: stackComponent
        StackLayout {
            anchors.fill: parent
            AcquisitionPage {}
            Item {}
        }
    }

    TestCase {
        name: "AcquisitionPage"
        when: windowShown

        property var stack: null
        property var page: null

        function init() {
            window.appCamera = null
            cameraStandIn.active = false
            ui.recording = false
            ui.sessionState = "Ready"
            ui.statusText = "Live acquisition running from Synthetic"
            stack = createTemporaryObject(stackComponent, window)
            page = stack.children[0]
            waitForRendering(page)
        }

        function test_pageAndMapAreActiveOnlyWhileCurrent() {
            const canvas = findChild(page, "acousticCanvas")
            verify(page.pageActive)
            verify(canvas.pageActive)
            compare(canvas.expectedSource, "live")
            compare(canvas.panelTitle, "Sound pressure map")
            stack.currentIndex = 1
            verify(!page.pageActive)
            verify(!canvas.pageActive)
            stack.currentIndex = 0
            verify(canvas.pageActive)
        }

        function test_subtitleTellsWhetherRecordingTakesVideo() {
            const canvas = findChild(page, "acousticCanvas")
            compare(canvas.panelSubtitle, "No camera — Record will be audio only")
            window.appCamera = cameraStandIn
            compare(canvas.panelSubtitle, "No camera — Record will be audio only", "a stopped camera")
            cameraStandIn.active = true
            compare(canvas.panelSubtitle, "UVC video overlay active — Record captures a video track")
            verify(page.acousticVideoOutput === canvas.videoOutput)
        }

        function test_recordingLabelOnlyWhileRecordingInMebibytes() {
            const label = findChild(page, "recordingLabel")
            verify(!label.visible)
            ui.recordingMeasurementId = "m_20260101T120000Z_000"
            ui.recordingElapsedSeconds = 2.46
            ui.recordingMaxDurationSeconds = 120
            ui.recordingBytes = 1572864
            ui.recordingVideoActive = true
            ui.recording = true
            verify(label.visible)
            compare(label.text, "REC m_20260101T120000Z_000 · 2.5 / 120 s · 1.50 MB · CAM")
            ui.recordingVideoActive = false
            ui.recordingBytes = 1000000
            compare(label.text, "REC m_20260101T120000Z_000 · 2.5 / 120 s · 0.95 MB · no video")
            ui.recording = false
            verify(!label.visible)
        }

        function test_statusLineTurnsSoftRedOnlyWhenFaulted_data() {
            return ["NoProfile", "Ready", "Starting", "Running", "Stopping", "Faulted"].map(s => ({tag: s}))
        }

        function test_statusLineTurnsSoftRedOnlyWhenFaulted(data) {
            ui.sessionState = data.tag
            const label = findChild(page, "statusLabel")
            compare(label.text, ui.statusText)
            verify(Qt.colorEqual(label.color, data.tag === "Faulted" ? Theme.dangerSoft : Theme.text))
        }
    }
}
