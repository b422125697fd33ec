import QtQuick
import QtTest
import SorvantaApp

// The map panel over the stand-in controller, hosted where the main window would host it (id
// "window" with the shared camera).
Item {
    id: window
    width: 1400
    height: 1000

    property var appCamera: null

    Component {
        id: canvasComponent
        AcousticCanvas {}
    }

    TestCase {
        name: "AcousticCanvas"
        when: windowShown

        function init() {
            window.appCamera = null
            ui.calls = []
            ui.hasHeatmap = false
            ui.mapSource = ""
            ui.hasProfile = false
            ui.mapVisiblePixels = 10
            ui.mapStale = false
            ui.heatmapColormap = 0
            ui.dynamicRange = 30
            ui.cameraMirror = false
            ui.cameraOverlayOffsetX = 0
            ui.cameraOverlayOffsetY = 0
            ui.cameraOverlayScale = 1
            ui.heatmapOpacity = 0.82
            ui.heatmapStyle = 0
            ui.mapPeaks = []
            ui.mapHasAbsoluteLevels = false
            cameraFilter.liveSinks = []
        }

        function makeCanvas(w, h, properties) {
            const canvas = createTemporaryObject(canvasComponent, window, properties || {})
            canvas.width = w
            canvas.height = h
            waitForRendering(canvas)
            return canvas
        }

        function showLiveMap() {
            ui.hasProfile = true
            ui.mapSource = "live"
            ui.hasHeatmap = true
        }

        function test_mapOfTheExpectedSourceOnlyIsShown_data() {
            return [
                {tag: "live map", source: "live", has: true, active: true, shown: true},
                {tag: "replay map on a live panel", source: "replay", has: true, active: true, shown: false},
                {tag: "no map yet", source: "live", has: false, active: true, shown: false},
                {tag: "page not current", source: "live", has: true, active: false, shown: false}
            ]
        }

        function test_mapOfTheExpectedSourceOnlyIsShown(data) {
            const canvas = makeCanvas(900, 600, {pageActive: data.active})
            ui.mapSource = data.source
            ui.hasHeatmap = data.has
            compare(canvas.mapVisible, data.shown)
            compare(findChild(canvas, "heatmap").visible, data.shown)
            compare(findChild(canvas, "peakBox").visible, data.shown)
            compare(findChild(canvas, "emptyState").visible, !data.shown)
        }

        function test_emptyStateTellsWhatIsMissing() {
            const canvas = makeCanvas(900, 600)
            compare(findChild(canvas, "emptyPrimary").text, "Import a Device Profile")
            ui.hasProfile = true
            compare(findChild(canvas, "emptyPrimary").text, "Press Start to publish the first map")
            compare(findChild(canvas, "emptySecondary").text, "The acoustic map updates in real time")
        }

        // The field covers a 4:3 box inside a 10 px margin of the viewport, limited by the short side.
        function test_fieldFillsTheCentredPictureBox_data() {
            return [{tag: "wide", w: 1300, h: 520}, {tag: "tall", w: 560, h: 980}]
        }

        function test_fieldFillsTheCentredPictureBox(data) {
            const canvas = makeCanvas(data.w, data.h)
            showLiveMap()
            const viewport = findChild(canvas, "mapViewport")
            const field = findChild(canvas, "heatmap")
            const vw = viewport.width, vh = viewport.height
            const limitedByHeight = (vw - 20) * 3 / 4 > (vh - 20)
            compare(limitedByHeight, data.tag === "wide")
            const boxW = limitedByHeight ? (vh - 20) * 4 / 3 : vw - 20
            const boxH = boxW * 3 / 4
            fuzzyCompare(field.width, boxW, 1e-6)
            fuzzyCompare(field.height, boxH, 1e-6)
            fuzzyCompare(field.x, (vw - boxW) / 2, 1e-6)
            fuzzyCompare(field.y, (vh - boxH) / 2, 1e-6)
            verify(!field.overlayMode, "no picture under the field")
            verify(field.fieldActive)
        }

        function test_overlayOffsetScaleMirrorAndOpacityMoveTheField() {
            const canvas = makeCanvas(1000, 700)
            showLiveMap()
            const viewport = findChild(canvas, "mapViewport")
            const field = findChild(canvas, "heatmap")
            const x0 = field.x, y0 = field.y
            ui.cameraOverlayOffsetX = 0.1
            ui.cameraOverlayOffsetY = -0.05
            fuzzyCompare(field.x, x0 + 0.1 * viewport.width, 1e-6)
            fuzzyCompare(field.y, y0 - 0.05 * viewport.height, 1e-6)
            ui.cameraOverlayScale = 1.25
            compare(field.scale, 1.25)
            ui.heatmapOpacity = 0.4
            fuzzyCompare(field.opacity, 0.4, 1e-6)

            // Mirrored about its own centre: the left edge lands where the right edge was.
            const before = field.mapToItem(viewport, 0, 0)
            ui.cameraMirror = true
            const after = field.mapToItem(viewport, 0, 0)
            const right = field.mapToItem(viewport, field.width, 0)
            fuzzyCompare(after.x, before.x + field.width * field.scale, 1e-3)
            verify(right.x < after.x)
        }

        // The mirror moves a peak's label to the mirrored place, but its text still runs left to right.
        function test_mirrorKeepsPeakLabelsReadable() {
            const canvas = makeCanvas(1000, 700)
            showLiveMap()
            ui.heatmapStyle = 3
            ui.mapPeaks = [{u: 0.25, v: 0.4, label: "-3.0 dB", primary: true}]
            const viewport = findChild(canvas, "mapViewport")
            const field = findChild(canvas, "heatmap")
            const text = findChild(field, "pillText")
            verify(text && text.width > 10)
            const axis = field.mapToItem(viewport, field.width / 2, 0).x
            const plain = text.mapToItem(viewport, text.width / 2, text.height / 2)

            ui.cameraMirror = true
            const left = text.mapToItem(viewport, 0, 0)
            const right = text.mapToItem(viewport, text.width, 0)
            fuzzyCompare(right.x - left.x, text.width, 1e-3)
            const mirrored = text.mapToItem(viewport, text.width / 2, text.height / 2)
            fuzzyCompare(mirrored.x, 2 * axis - plain.x, 1e-3)
            fuzzyCompare(mirrored.y, plain.y, 1e-3)
        }

        function test_peakTextAndGateHintFormatTheirNumbers() {
            const canvas = makeCanvas(1000, 700)
            ui.peakAzimuth = 12.34
            ui.peakElevation = -4.56
            ui.mapSpanDb = 18
            ui.peakLevelDbfs = -42.44
            ui.levelGateDbfs = -35.4
            showLiveMap()
            compare(findChild(canvas, "peakText").text, "Peak 12.3° / -4.6° · span 18.0 dB · levels re peak")
            ui.mapHasAbsoluteLevels = true
            compare(findChild(canvas, "peakText").text, "Peak 12.3° / -4.6° · span 18.0 dB · -42.4 dBFS")
            const hint = findChild(canvas, "gateHint")
            verify(!hint.visible)
            ui.mapVisiblePixels = 0
            verify(hint.visible)
            verify(findChild(canvas, "heatmap").visible, "the field stays, fully transparent")
            compare(findChild(canvas, "gateHintText").text,
                    "Map below level gate: peak -42.4 dBFS < gate -35 dBFS - lower Level gate or make sound")
            ui.mapSource = "analysis"
            verify(!hint.visible)
        }

        function test_aStaleLiveMapSaysSo() {
            const canvas = makeCanvas(900, 600)
            const hint = findChild(canvas, "staleHint")
            showLiveMap()
            verify(!hint.visible)
            ui.mapStale = true
            verify(hint.visible)
            compare(findChild(canvas, "staleHintText").text, "No data from the array - this map is not live")
            ui.mapSource = "replay"
            verify(!hint.visible, "a replay map follows its file, not the array")
            ui.mapSource = "live"
            ui.mapStale = false
            verify(!hint.visible)
        }

        function test_fieldReloadsOnEveryUpdateOnlyWhileShown() {
            const canvas = makeCanvas(900, 600, {pageActive: false})
            const image = findChild(canvas, "fieldImg")
            showLiveMap()
            ui.heatmapUpdated()
            wait(20)
            compare(String(image.source), "", "a hidden page fetches nothing")

            canvas.pageActive = true
            tryVerify(() => String(image.source) !== "", 1000, "becoming current fetches the newest map")
            const first = String(image.source)
            wait(5)
            ui.heatmapUpdated()
            tryVerify(() => String(image.source) !== first, 1000, "each update fetches again")
        }

        function test_legendFollowsColormapAndRange_data() {
            return [{tag: "viridis", index: 0, colours: Theme.colormapViridis},
                    {tag: "turbo", index: 1, colours: Theme.colormapTurbo},
                    {tag: "jet", index: 2, colours: Theme.colormapJet}]
        }

        function test_legendFollowsColormapAndRange(data) {
            const canvas = makeCanvas(900, 600)
            ui.heatmapColormap = data.index
            ui.dynamicRange = 24.25
            const stops = findChild(canvas, "legendBar").gradient.stops
            compare(stops.length, 5)
            for (let i = 0; i < 5; ++i) {
                compare(stops[i].position, i / 4)
                verify(Qt.colorEqual(stops[i].color, data.colours[i]), data.tag + " stop " + i)
            }
            compare(findChild(canvas, "legendFloor").text, "-24.3 dB")
        }

        function test_legendFloorOfARelativeMapIsItsShownRange() {
            const canvas = makeCanvas(900, 600)
            ui.mapShownRangeDb = 1.96
            showLiveMap()
            compare(findChild(canvas, "legendFloor").text, "-2.0 dB")
            ui.mapHasAbsoluteLevels = true
            compare(findChild(canvas, "legendFloor").text, "-30.0 dB")
        }

        function test_liveSinkIsHandedToTheFilterOncePerPanel() {
            const first = makeCanvas(900, 600)
            compare(cameraFilter.liveSinks.length, 1)
            makeCanvas(900, 600)
            compare(cameraFilter.liveSinks.length, 2)
            verify(cameraFilter.liveSinks[0] !== cameraFilter.liveSinks[1])
            verify(cameraFilter.liveSinks[0] === first.videoOutput.videoSink)
        }

        function test_activeCameraPutsThePictureUnderTheFieldUnlessReplaying() {
            window.appCamera = cameraStandIn
            cameraStandIn.active = true
            const canvas = makeCanvas(900, 600)
            showLiveMap()
            verify(findChild(canvas, "liveVideo").visible)
            verify(findChild(canvas, "heatmap").overlayMode)
            canvas.replayMode = true
            verify(!findChild(canvas, "liveVideo").visible)
            verify(!findChild(canvas, "heatmap").overlayMode, "replay without a video has no picture")
            cameraStandIn.active = false
        }

        function test_replayPlayerExistsWithAVideoAndTrimsMemoryAfterIt() {
            const canvas = makeCanvas(900, 600, {replayMode: true, expectedSource: "replay"})
            compare(canvas.replayPlayer, null)
            canvas.replayHasVideo = true
            verify(canvas.replayPlayer !== null)
            verify(findChild(canvas, "replayVideo").visible)
            canvas.replayHasVideo = false
            compare(canvas.replayPlayer, null)
            wait(1000)
            compare(ui.calls, [], "not before 1500 ms")
            tryCompare(ui, "calls", ["trimMemory"], 1500)
        }
    }

    QtObject {
        id: cameraStandIn
        property bool active: false
    }
}
