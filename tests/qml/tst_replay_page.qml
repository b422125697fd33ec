import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QtMultimedia
import QtTest
import SorvantaApp

// The Replay page in a workspace stack over the stand-in controller; "window" stands where the main
// window stands for the page.
Item {
    id: window
    width: 1600
    height: 1000

    property var appCamera: null
    property int currentWorkspace: 4
    // The main window's names of the replay states, marked so that a test sees they were asked for.
    function replayStateText(state) { return "<" + state + ">" }

    Component {
        id: stackComponent
        StackLayout {
            anchors.fill: parent
            ReplayPage {}
            Item {}
        }
    }

    // Stands in for the media player: its clock and what the page asked of it.
    Component {
        id: playerComponent
        QtObject {
            property real duration: 10000
            property real position: 0
            property int mediaStatus: MediaPlayer.LoadedMedia
            property int playbackState: MediaPlayer.StoppedState
            property var asked: []
            function setPosition(ms) { asked = asked.concat(["seek:" + ms]); position = ms }
            function pause() { asked = asked.concat(["pause"]); playbackState = MediaPlayer.PausedState }
            function play() { asked = asked.concat(["play"]); playbackState = MediaPlayer.PlayingState }
        }
    }

    TestCase {
        name: "ReplayPage"
        when: windowShown

        property var stack: null
        property var page: null

        function setReplay(state, flags) {
            ui.replayState = state
            ui.replayActive = !!flags.active
            ui.replayPaused = !!flags.paused
            ui.canStartReplay = !!flags.start
            ui.canPauseReplay = !!flags.pause
            ui.canStopReplay = !!flags.stop
        }

        function init() {
            ui.calls = []
            ui.mediaLog = []
            setReplay("Idle", {})
            ui.analysisBusy = false
            ui.hasProject = false
            ui.hasSelectedMeasurement = false
            ui.selectedMeasurementId = ""
            ui.selectedMeasurementVideoPath = ""
            ui.selectedMeasurementVideoUrl = ""
            ui.replayProfileInfo = ""
            ui.replayMeasurementId = ""
            ui.replayMetrics = ""
            ui.replayPositionSeconds = 0
            ui.replayDurationSeconds = 0
            window.currentWorkspace = 4
            stack = createTemporaryObject(stackComponent, window)
            page = stack.children[0]
            waitForRendering(page)
        }

        function child(name) {
            const found = findChild(page, name)
            verify(found !== null, "no child " + name)
            return found
        }

        function test_buttonsFollowTheReplayState_data() {
            return [
                {tag: "Idle", flags: {start: true}, start: "Start Replay", pause: "Pause",
                 enabled: [true, false, false, false]},
                {tag: "Playing", flags: {active: true, pause: true, stop: true}, start: "Start Replay",
                 pause: "Pause", enabled: [false, true, true, true]},
                {tag: "Paused", flags: {active: true, paused: true, pause: true, stop: true},
                 start: "Start Replay", pause: "Resume", enabled: [false, true, true, true]},
                {tag: "Finished", flags: {start: true, stop: true}, start: "Replay again", pause: "Pause",
                 enabled: [true, false, true, false]},
                {tag: "Faulted", flags: {start: true}, start: "Start Replay", pause: "Pause",
                 enabled: [true, false, false, false]}
            ]
        }

        function test_buttonsFollowTheReplayState(data) {
            setReplay(data.tag, data.flags)
            const buttons = ["startReplayButton", "pauseReplayButton", "stopReplayButton", "analyzeButton"]
            compare(buttons.map(name => child(name).enabled), data.enabled)
            compare(child("startReplayButton").text, data.start)
            compare(child("pauseReplayButton").text, data.pause)
            compare(child("timelineSlider").enabled, !!data.flags.active)
            verify(Qt.colorEqual(child("stateDot").color,
                                 data.tag === "Playing" ? Theme.success : data.tag === "Paused" ? Theme.warning
                                                       : data.tag === "Faulted" ? Theme.danger : Theme.muted))
        }

        function test_buttonsCallTheController() {
            setReplay("Paused", {active: true, paused: true, pause: true, stop: true})
            ui.hasProject = true
            mouseClick(child("pauseReplayButton"))
            mouseClick(child("stopReplayButton"))
            mouseClick(child("openFolderButton"))
            setReplay("Finished", {start: true})
            mouseClick(child("startReplayButton"))
            compare(ui.calls, ["setReplayPaused:false", "stopReplay", "openProjectFolder",
                               "startSelectedMeasurementReplay"])
            ui.hasProject = false
            verify(!child("openFolderButton").enabled)
        }

        function test_analyzeHandsThePositionToTheAnalysisPage() {
            setReplay("Playing", {active: true, pause: true, stop: true})
            ui.analysisBusy = true
            verify(!child("analyzeButton").enabled)
            ui.analysisBusy = false
            mouseClick(child("analyzeButton"))
            compare(ui.calls, ["analyzeReplayPosition"])
            compare(window.currentWorkspace, 2)
        }

        function test_clickOnTheMapPlaysOrPauses() {
            const viewport = child("mapViewport")
            setReplay("Idle", {})
            mouseClick(viewport)
            compare(ui.calls, [], "nothing to start")
            ui.canStartReplay = true
            mouseClick(viewport)
            setReplay("Playing", {active: true})
            mouseClick(viewport)
            setReplay("Paused", {active: true, paused: true})
            mouseClick(viewport)
            compare(ui.calls, ["startSelectedMeasurementReplay", "setReplayPaused:true", "setReplayPaused:false"])
        }

        function test_measurementCardAndBadge() {
            compare(child("measurementLine").text, "No Measurement selected")
            compare(child("frozenLine").text, "Frozen Profile loads on Start")
            verify(!child("videoBadge").visible)
            ui.hasSelectedMeasurement = true
            ui.selectedMeasurementId = "m_20260101T120000Z_000"
            ui.replayProfileInfo = "small-4 · 4 ch · 48000 Hz"
            compare(child("measurementLine").text, "m_20260101T120000Z_000")
            compare(child("frozenLine").text, "Frozen: small-4 · 4 ch · 48000 Hz")
            verify(child("videoBadge").visible)
            compare(child("videoBadgeText").text, "audio only")
            const canvas = child("replayCanvas")
            verify(!canvas.replayHasVideo)
            compare(canvas.replayVideoSource, "")
            ui.selectedMeasurementVideoPath = "/tmp/none/video.mp4"
            ui.selectedMeasurementVideoUrl = "file:///tmp/none/video.mp4"
            verify(!canvas.replayHasVideo, "no video before the replay runs")
            compare(child("videoBadgeText").text, "audio only")
            ui.selectedMeasurementVideoPath = ""
        }

        function test_mapTitlesAndStatusLine() {
            const canvas = child("replayCanvas")
            compare(canvas.expectedSource, "replay")
            verify(canvas.replayMode)
            compare(canvas.panelSubtitle, "Start Replay to recompute from immutable raw")
            const status = child("replayStatusLabel")
            compare(status.text,
                    "Select a Measurement, then Start Replay — recording integrity is verified before playback")
            ui.replayMeasurementId = "m_1"
            ui.replayMetrics = "maps 12 · 9.8 maps/s"
            setReplay("Playing", {active: true})
            compare(canvas.panelSubtitle, "m_1 · <Playing> · click map to play/pause")
            compare(status.text, "maps 12 · 9.8 maps/s")
            verify(Qt.colorEqual(status.color, Theme.text))
            setReplay("Faulted", {})
            verify(Qt.colorEqual(status.color, Theme.dangerSoft))
        }

        // A disabled Start Replay or Analyze at position says why: the idle status line names the
        // controller's reason, and the pointer over the button shows it.
        function test_aDisabledActionSaysWhy_data() {
            return [
                {tag: "live runs", state: "Idle", session: "Running", blocker: "Stop Live before starting Measurement Replay",
                 status: "Stop Live before starting Measurement Replay"},
                {tag: "raw missing", state: "Idle", blocker: "Replay raw asset is missing",
                 status: "Replay raw asset is missing"},
                {tag: "recording", state: "Idle", blocker: "Wait until the Recording is saved",
                 status: "Wait until the Recording is saved"},
                {tag: "ready", state: "Idle", blocker: "",
                 status: "Start Replay — recording integrity is verified before playback"},
                {tag: "finished", state: "Finished", blocker: "", metrics: "maps 40", status: "maps 40"},
                {tag: "live runs after a finished Replay", state: "Finished", session: "Running",
                 blocker: "Stop Live before starting Measurement Replay", metrics: "maps 40", status: "maps 40"},
                {tag: "playing", state: "Playing", active: true, blocker: "A Replay is running: stop it first",
                 metrics: "maps 3", status: "maps 3", analyzeTip: ""}]
        }

        function test_aDisabledActionSaysWhy(data) {
            ui.hasSelectedMeasurement = true
            ui.selectedMeasurementId = "m_7"
            ui.sessionState = data.session || "Ready"
            ui.startReplayBlocker = data.blocker
            ui.replayMetrics = data.metrics || ""
            setReplay(data.state, {start: data.blocker === "", active: data.active})
            compare(child("replayStatusLabel").text, data.status)
            verify(child("replayStatusLabel").text.indexOf("Select a Measurement") < 0)
            for (const [name, tip] of [["startReplayButton", data.blocker], ["analyzeButton", data.analyzeTip !== undefined ? data.analyzeTip
                                : "Analyze at position needs an active Replay: start one first"]]) {
                const button = child(name)
                button.hoverEnabled = true
                mouseMove(button, button.width / 2, button.height / 2)
                tryVerify(() => button.hovered)
                compare(button.ToolTip.visible, tip !== "", name)
                if (tip !== "")
                    compare(button.ToolTip.text, tip)
                mouseMove(page, 1, 1)
            }
            ui.sessionState = "NoProfile"
            ui.startReplayBlocker = ""
        }

        function test_signalMonitorBelongsToTheReplay() {
            const monitor = child("replaySignalDiagnostics")
            compare(monitor.expectedSource, "replay")
            compare(monitor.emptyHint, "Start Measurement Replay")
            verify(!findChild(monitor, "gainRow").visible)
            verify(monitor.pageActive)
            stack.currentIndex = 1
            verify(!monitor.pageActive)
            verify(!child("replayCanvas").pageActive)
            stack.currentIndex = 0
            verify(monitor.pageActive)
        }

        function test_zeroDurationStillGivesASliderRange() {
            const slider = child("timelineSlider")
            compare(slider.to, 0.001)
            ui.replayDurationSeconds = 12.5
            compare(slider.to, 12.5)
        }

        function test_timelineFollowsTheClockExceptWhileDragged() {
            setReplay("Playing", {active: true})
            ui.replayDurationSeconds = 10
            ui.replayPositionSeconds = 2
            const slider = child("timelineSlider")
            const label = child("timelineLabel")
            compare(slider.value, 2)
            compare(label.text, "2.00 / 10.00 s")
            const y = slider.height / 2
            mousePress(slider, slider.width / 2, y)
            mouseMove(slider, slider.width * 0.75, y)
            verify(slider.pressed)
            const dragged = slider.value
            verify(dragged > 5, "the handle follows the pointer")
            ui.replayPositionSeconds = 3
            compare(slider.value, dragged, "the clock does not pull the handle away")
            compare(label.text, dragged.toFixed(2) + " / 10.00 s")
            const seeks = ui.calls.filter(c => c.startsWith("seekReplay:"))
            verify(seeks.length >= 1)
            compare(seeks[seeks.length - 1], "seekReplay:" + dragged)
            mouseRelease(slider, slider.width * 0.75, y)
            ui.replayPositionSeconds = 4
            compare(slider.value, 4, "after release it follows the clock again")
            compare(label.text, "4.00 / 10.00 s")
        }

        function test_pausedVideoIsHeldWithin40Ms() {
            const p = createTemporaryObject(playerComponent, window)
            setReplay("Paused", {active: true, paused: true})
            ui.replayPositionSeconds = 2.03125
            p.position = 2000
            page.syncPlayer(p)
            compare(p.asked, ["pause"], "31 ms apart is close enough")
            ui.replayPositionSeconds = 2.0625
            p.asked = []
            page.syncPlayer(p)
            compare(p.asked, ["seek:2062.5", "pause"])
            setReplay("Idle", {})
            p.asked = []
            ui.replayPositionSeconds = 0
            page.syncPlayer(p)
            compare(p.asked, ["seek:0", "pause"], "stopped: held at the replay position")
        }

        function test_playingVideoRunsFreelyUpTo350Ms() {
            const p = createTemporaryObject(playerComponent, window)
            setReplay("Playing", {active: true})
            ui.replayPositionSeconds = 3.25
            p.position = 3000
            page.syncPlayer(p)
            compare(p.asked, ["play"])
            p.asked = []
            page.syncPlayer(p)
            compare(p.asked, [], "already playing, 250 ms of drift tolerated")
            ui.replayPositionSeconds = 3.375
            page.syncPlayer(p)
            compare(p.asked, ["seek:3375"])
        }

        function test_videoParksBeforeItsEnd() {
            const p = createTemporaryObject(playerComponent, window)
            setReplay("Playing", {active: true})
            p.playbackState = MediaPlayer.PlayingState
            p.position = 9800
            ui.replayPositionSeconds = 9.9375
            page.syncPlayer(p)
            compare(p.asked, ["seek:9880", "pause"])
            p.asked = []
            p.position = 9880
            ui.replayPositionSeconds = 12
            page.syncPlayer(p)
            compare(p.asked, ["pause"], "parked already; the replay clock runs on")
            p.asked = []
            p.mediaStatus = MediaPlayer.EndOfMedia
            page.syncPlayer(p)
            compare(p.asked, ["seek:9880", "pause"], "at the end of the media it goes back to the parking frame")
            p.asked = []
            p.duration = 0
            p.mediaStatus = MediaPlayer.LoadedMedia
            page.syncPlayer(p)
            compare(p.asked, ["seek:12000", "play"], "no duration known: no parking")
        }

        function test_withoutVideoSyncDoesNothing() {
            setReplay("Playing", {active: true})
            ui.replayPositionSeconds = 1
            page.syncVideo()
            verify(child("replayCanvas").replayPlayer === null)
            compare(ui.mediaLog, [])
        }

        function test_unplayableVideoIsLoggedAsAMediaDiagnostic() {
            ui.hasSelectedMeasurement = true
            ui.selectedMeasurementVideoPath = "/nonexistent/zk-replay-test/video.mp4"
            ui.selectedMeasurementVideoUrl = "file:///nonexistent/zk-replay-test/video.mp4"
            setReplay("Playing", {active: true})
            const canvas = child("replayCanvas")
            verify(canvas.replayHasVideo)
            compare(child("videoBadgeText").text, "video track")
            tryVerify(() => canvas.replayPlayer !== null)
            tryVerify(() => ui.mediaLog.some(line => line.startsWith("replay ")), 5000)
            for (const line of ui.mediaLog)
                verify(line.endsWith(" source=file:///nonexistent/zk-replay-test/video.mp4"), line)
            setReplay("Idle", {})
            ui.selectedMeasurementVideoPath = ""
            ui.selectedMeasurementVideoUrl = ""
        }
    }
}
