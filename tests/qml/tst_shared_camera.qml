import QtQuick
import QtTest
import SorvantaApp

// The main window's camera chain and its recording handshake with the controller, on a machine
// without a video input, and the file URL rule.
Item {
    id: root
    width: 200
    height: 200

    Component {
        id: mainComponent
        Main {}
    }

    TestCase {
        name: "SharedCamera"
        when: windowShown

        property var win: null

        function init() {
            ui.calls = []
            ui.mediaLog = []
            cameraFilter.inputs = []
            cameraFilter.restartCount = 0
            win = createTemporaryObject(mainComponent, root)
            verify(win !== null)
            ui.calls = []
        }

        function test_localFileUrl_data() {
            return [
                {tag: "windows path", path: "C:\\Data\\My Project\\video é.mp4",
                 url: "file:///C:/Data/My%20Project/video%20%C3%A9.mp4"},
                {tag: "unix path", path: "/tmp/a b/clip.mp4", url: "file:///tmp/a%20b/clip.mp4"},
                {tag: "listed punctuation", path: "C:/x-._~!$&'()*+,;=:@/y", url: "file:///C:/x-._~!$&'()*+,;=:@/y"},
                {tag: "unlisted characters", path: "C:/50%#?[]{}\"<>^`|",
                 url: "file:///C:/50%25%23%3F%5B%5D%7B%7D%22%3C%3E%5E%60%7C"},
                {tag: "outside the basic plane", path: "/v/\uD83C\uDFA4.mp4", url: "file:///v/%F0%9F%8E%A4.mp4"},
                {tag: "not a string", path: 42, url: "file:///42"}
            ]
        }

        function test_localFileUrl(data) {
            compare(findChild(win, "cameraChain").localFileUrl(data.path), data.url)
        }

        function test_cameraFeedEntersTheFilterChainAndArmsNoWatchdogWhileStopped() {
            compare(cameraFilter.inputs.length, 1)
            verify(cameraFilter.inputs[0] !== null && cameraFilter.inputs[0] !== undefined)
            verify(!win.appCamera.active)
            verify(!cameraFilter.watchdogArmed)
            verify(win.appMediaDevices !== null && win.appMediaDevices !== undefined)
        }

        function test_openWithoutAVideoInputLeavesTheCameraStopped() {
            compare(win.appMediaDevices.videoInputs.length, 0, "this test needs a machine without cameras")
            findChild(win, "cameraChain").open()
            verify(!win.appCamera.active)
            compare(ui.calls, [])
        }

        function test_recordingStartWithoutACameraStartsNothing() {
            ui.videoRecordStartRequested("C:\\stage\\m 1.mp4")
            compare(ui.mediaLog, ["video start requested; camera active=false path=[C:\\stage\\m 1.mp4]"])
            compare(findChild(win, "mediaRecorder").recorderState, 0)
            compare(ui.calls, [])
        }

        function test_stopBeforeTheRecorderRanAnswersAtOnceWithoutAFile() {
            ui.videoRecordStopRequested()
            compare(ui.calls, ["notifyVideoRecorderStopped:"])
        }

        function test_watchdogRestartIsLoggedWithItsCount() {
            cameraFilter.restartCount = 3
            cameraFilter.restartRequested()
            compare(ui.mediaLog, ["camera watchdog restart #3"])
            // Stopped and started again: without a device it stays inactive and no binding follows.
            verify(!win.appCamera.active)
            verify(!findChild(win, "uvcBindTimer").running)
        }
    }
}
