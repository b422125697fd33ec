import QtQuick
import QtTest
import SorvantaApp

Item {
    id: root
    width: 400
    height: 300

    TestCase {
        id: testCase
        name: "HeatmapField"
        when: windowShown

        Component {
            id: fieldComponent
            HeatmapField {
                anchors.fill: parent
            }
        }

        function init() {
            ui.hasHeatmap = false
            ui.heatmapColormap = 0
            ui.heatmapStyle = 0
            ui.mapPeaks = []
            ui.mapHasAbsoluteLevels = false
            ui.levelGateDbfs = -90
            ui.heatmapScaleMode = "Auto peak"
        }

        function makeField() {
            return createTemporaryObject(fieldComponent, root)
        }

        function test_reloadFetchesTheNewestFieldOnTheNextTurn() {
            const field = makeField()
            const image = findChild(field, "fieldImg")
            compare(String(image.source), "")
            ui.hasHeatmap = true
            const before = Date.now()
            field.reloadField()
            compare(String(image.source), "", "deferred to the next turn")
            tryVerify(() => String(image.source) !== "")
            const after = Date.now()
            const match = /^image:\/\/heatmap\/field\?(\d+)$/.exec(String(image.source))
            verify(match !== null, String(image.source))
            const stamp = Number(match[1])
            verify(stamp >= before && stamp <= after, stamp + " within " + before + ".." + after)
            tryCompare(image, "status", Image.Ready)

            const first = String(image.source)
            wait(5)
            field.reloadField()
            tryVerify(() => String(image.source) !== first, 1000, "a later reload bypasses the cache")
        }

        function test_reloadKeepsTheFieldWithoutAMapOrWhileInactive_data() {
            return [{tag: "no map", hasHeatmap: false, active: true},
                    {tag: "inactive", hasHeatmap: true, active: false}]
        }

        function test_reloadKeepsTheFieldWithoutAMapOrWhileInactive(data) {
            const field = makeField()
            const image = findChild(field, "fieldImg")
            ui.hasHeatmap = true
            field.reloadField()
            tryVerify(() => String(image.source) !== "")
            const current = String(image.source)
            ui.hasHeatmap = data.hasHeatmap
            field.fieldActive = data.active
            wait(5)
            field.reloadField()
            wait(20)
            compare(String(image.source), current)
        }

        function test_colourStripFollowsTheColormap() {
            const field = makeField()
            const lut = findChild(field, "lutImg")
            compare(String(lut.source), "image://heatmap/lut0")
            ui.heatmapColormap = 2
            compare(String(lut.source), "image://heatmap/lut2")
            tryCompare(lut, "status", Image.Ready)
            compare(lut.sourceSize.width, 256)
        }

        // A map shown relative to its peak spans the controller's shown range; an absolute map, or the
        // field before any map, the dynamic range.
        function test_rangeFollowsTheShownRangeOfARelativeMapOnly_data() {
            return [{tag: "relative map", has: true, absolute: false, range: 1.75},
                    {tag: "absolute map", has: true, absolute: true, range: 42.5},
                    {tag: "no map yet", has: false, absolute: false, range: 42.5}]
        }

        function test_rangeFollowsTheShownRangeOfARelativeMapOnly(data) {
            const field = makeField()
            const fx = findChild(field, "fx")
            ui.dynamicRange = 42.5
            ui.mapShownRangeDb = 1.75
            ui.hasHeatmap = data.has
            ui.mapHasAbsoluteLevels = data.absolute
            fuzzyCompare(fx.uRangeDb, data.range, 1e-9)
            fuzzyCompare(field.shownRangeDb, data.range, 1e-9)
        }

        function test_shaderInputsFollowTheController() {
            const field = makeField()
            const fx = findChild(field, "fx")
            ui.dynamicRange = 42.5
            ui.mapPeakReferenceDbfs = -17.25
            ui.fixedReferenceDbfs = -33.5
            ui.heatmapStyle = 2
            ui.cameraOverlayThreshold = 0.45
            ui.cameraOverlayAlpha = 0.7
            ui.mapContrastFade = 0.8
            ui.contourLevelCount = 9
            ui.contourLevels0 = Qt.vector4d(0.1, 0.2, 0.3, 0.4)
            ui.contourLevels5 = Qt.vector4d(0.5, 0.6, 0.7, 0.8)
            fuzzyCompare(fx.uRangeDb, 42.5, 1e-9)
            fuzzyCompare(fx.uPeakRef, -17.25, 1e-9)
            fuzzyCompare(fx.uFixedRef, -33.5, 1e-9)
            compare(fx.uStyle, 2)
            fuzzyCompare(fx.uOverlayThreshold, 0.45, 1e-9)
            fuzzyCompare(fx.uOverlayAlpha, 0.7, 1e-9)
            fuzzyCompare(fx.uContrastFade, 0.8, 1e-9)
            compare(fx.uCCount, 9)
            compare(fx.uC0, Qt.vector4d(0.1, 0.2, 0.3, 0.4))
            compare(fx.uC5, Qt.vector4d(0.5, 0.6, 0.7, 0.8))
            verify(Qt.colorEqual(fx.uInk, Theme.contourInk))
            compare(fx.uOverlay, 0)
            field.overlayMode = true
            compare(fx.uOverlay, 1)
            compare(fx.fieldTex, findChild(field, "fieldImg"))
            compare(fx.lutTex, findChild(field, "lutImg"))
        }

        function test_gateAppliesOnlyToAbsoluteLevels() {
            const field = makeField()
            const fx = findChild(field, "fx")
            ui.levelGateDbfs = -40
            compare(fx.uGateDbfs, -120, "relative levels: the gate sits at -120")
            ui.mapHasAbsoluteLevels = true
            compare(fx.uGateDbfs, -40)
            ui.levelGateDbfs = -55
            compare(fx.uGateDbfs, -55)
        }

        function test_fixedModeOnlyForTheExactNameOnAbsoluteLevels_data() {
            return [{tag: "fixed", mode: "Fixed dBFS", absolute: true, expected: 1},
                    {tag: "fixed, relative levels", mode: "Fixed dBFS", absolute: false, expected: 0},
                    {tag: "auto", mode: "Auto peak", absolute: true, expected: 0},
                    {tag: "other case", mode: "fixed dBFS", absolute: true, expected: 0},
                    {tag: "empty", mode: "", absolute: true, expected: 0}]
        }

        function test_fixedModeOnlyForTheExactNameOnAbsoluteLevels(data) {
            const field = makeField()
            ui.mapHasAbsoluteLevels = data.absolute
            ui.heatmapScaleMode = data.mode
            compare(findChild(field, "fx").uFixedMode, data.expected)
        }

        function childList(item) {
            const list = []
            for (let i = 0; i < item.children.length; ++i)
                list.push(item.children[i])
            return list
        }

        function peakMarks(field) {
            return childList(field).filter(child => child.objectName === "peakMark")
        }

        readonly property var twoPeaks: [
            {u: 0.5, v: 0.25, label: "-12.0 dB", primary: true},
            {u: 0.99, v: 0.01, label: "-18.5 dB at the corner", primary: false}
        ]

        function test_peakMarksOnlyInPeakCrossStyle() {
            const field = makeField()
            ui.mapPeaks = twoPeaks
            compare(peakMarks(field).length, 0, "fill style draws no marks")
            ui.heatmapStyle = 3
            compare(peakMarks(field).length, 2)
            ui.mapPeaks = [twoPeaks[0]]
            compare(peakMarks(field).length, 1, "marks are rebuilt with the peaks")
            ui.mapPeaks = []
            compare(peakMarks(field).length, 0)
        }

        function test_peakMarkGeometry() {
            const field = makeField()
            ui.heatmapStyle = 3
            ui.mapPeaks = twoPeaks
            const marks = peakMarks(field)
            const primary = marks.find(m => m.isPrimary)
            const other = marks.find(m => !m.isPrimary)
            compare(primary.px, 0.5 * field.width)
            compare(primary.py, 0.25 * field.height)
            compare(findChild(primary, "ring").width, 20)
            compare(findChild(other, "ring").width, 16)
            const ring = findChild(primary, "ring")
            compare(ring.x + ring.width / 2, primary.px)
            compare(ring.y + ring.height / 2, primary.py)
            compare(findChild(primary, "pillText").text, "-12.0 dB")
            verify(Qt.colorEqual(findChild(primary, "pill").color, Theme.plotBg85))

            const lines = childList(primary).filter(c => c.visible && (c.width === field.width || c.height === field.height))
            compare(lines.length, 2, "a primary peak draws its cross through the field")
            compare(childList(other).filter(c => c.visible && (c.width === field.width || c.height === field.height)).length, 0)
        }

        function test_pillsStayInsideTheField() {
            const field = makeField()
            ui.heatmapStyle = 3
            ui.mapPeaks = [{u: 0.99, v: 0.01, label: "top right", primary: false},
                           {u: 0.0, v: 1.0, label: "bottom left", primary: true},
                           {u: 1.0, v: 1.0, label: "a rather long label at the bottom right", primary: false}]
            for (const mark of peakMarks(field)) {
                const pill = findChild(mark, "pill")
                verify(pill.x >= 4 && pill.x + pill.width <= field.width - 4, "x of " + pill.x)
                verify(pill.y >= 4 && pill.y + pill.height <= field.height - 4, "y of " + pill.y)
            }
        }

        function test_pillSitsAboveRightOfItsPeakAwayFromTheEdges() {
            const field = makeField()
            ui.heatmapStyle = 3
            ui.mapPeaks = [{u: 0.3, v: 0.6, label: "mid", primary: false}]
            const mark = peakMarks(field)[0]
            const pill = findChild(mark, "pill")
            compare(pill.x, mark.px + 14)
            compare(pill.y, mark.py - pill.height - 12)
        }
    }
}
