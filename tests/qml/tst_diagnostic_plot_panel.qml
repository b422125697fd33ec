import QtQuick
import QtTest
import SorvantaApp

// The plot frame over the stand-in controller: gutters, ticks, the frequency cursor and the wheel.
Item {
    id: host
    width: 700
    height: 400

    TextMetrics {
        id: micro
        font.pixelSize: 9
        text: "-120 dB"
    }

    Component {
        id: panelComponent
        DiagnosticPlotPanel {
            width: 640
            height: 300
        }
    }

    TestCase {
        name: "DiagnosticPlotPanel"
        when: windowShown

        property var panel: null
        property var box: null

        function init() {
            ui.calls = []
            ui.spectrumNyquistHz = 0
            ui.frequency = 1000
            ui.analysisFrequencyHz = 0
            ui.waveformWindowS = 0.5
            ui.overlayWindowS = 0.05
            ui.diagnosticChannel = 0
            ui.diagnosticWaveformScaleAbs = 0
            ui.diagnosticWaterfallSpanS = 0
            panel = createTemporaryObject(panelComponent, host)
            box = findChild(panel, "axisBox")
            verify(box !== null)
        }

        function child(name) {
            const found = findChild(panel, name)
            verify(found !== null, "no child " + name)
            return found
        }

        function callsStartingWith(prefix) {
            return ui.calls.filter(c => c.startsWith(prefix))
        }

        function test_guttersFollowTheAxisMode_data() {
            const db = Math.ceil(micro.advanceWidth) + 8
            return [
                {tag: "spectrum", left: db, bottom: 16},
                {tag: "waterfall", left: 34, bottom: 16},
                {tag: "lanes", left: 28, bottom: 0},
                {tag: "waveform", left: db, bottom: 16},
                {tag: "overlay", left: 0, bottom: 24},
                {tag: "none", left: 0, bottom: 0},
                {tag: "anything", left: 0, bottom: 0}
            ]
        }

        function test_guttersFollowTheAxisMode(data) {
            panel.axisMode = data.tag
            compare(box.leftGutter, data.left)
            compare(box.rightGutter, 4)
            compare(box.bottomGutter, data.bottom)
            compare(box.plotW, box.width - data.left - 4)
            compare(box.plotH, box.height - data.bottom)
            const image = child("plotImage")
            compare(image.x, data.left)
            compare(image.width, box.plotW)
            compare(image.height, box.plotH)
        }

        function test_waveformGutterWidensForAWideScaleLabel() {
            panel.axisMode = "waveform"
            const narrow = box.leftGutter
            ui.diagnosticWaveformScaleAbs = 123456.4
            micro.text = "-123456"
            compare(child("scaleBottomLabel").text, "-123456")
            compare(child("scaleTopLabel").text, "+123456")
            compare(box.leftGutter, Math.ceil(Math.max(micro.advanceWidth, narrow - 8)) + 8)
            verify(box.leftGutter > narrow)
            micro.text = "-120 dB"
        }

        function test_timeTickTexts() {
            compare(panel.formatTimeTick(0, 0.5), "0 s")
            compare(panel.formatTimeTick(1e-10, 2), "0 s")
            compare(panel.formatTimeTick(-0.5, 0.5), "-500 ms")
            compare(panel.formatTimeTick(-0.0125, 0.05), "-12 ms", "halves round upward")
            compare(panel.formatTimeTick(-0.0136, 0.05), "-14 ms")
            compare(panel.formatTimeTick(-2, 2), "-2.00 s")
            compare(panel.formatTimeTick(-0.4, 1), "-0.40 s")
        }

        function test_waveformTicksSpanTheWindowAndStayInsideThePlot() {
            panel.axisMode = "waveform"
            const texts = []
            for (let i = 0; i < 6; ++i)
                texts.push(child("timeLabel" + i).text)
            compare(texts, ["-500 ms", "-400 ms", "-300 ms", "-200 ms", "-100 ms", "0 s"])
            ui.waveformWindowS = 2
            compare(child("timeLabel0").text, "-2.00 s")
            compare(child("timeLabel3").text, "-0.80 s")
            const first = child("timeLabel0")
            const last = child("timeLabel5")
            compare(first.x, box.leftGutter - first.width / 2, "the first label sits centred on the left edge")
            compare(last.x, box.leftGutter + box.plotW - last.width, "the last label ends at the plot's end")
            compare(first.y, box.plotH + 2)
            const middle = child("timeLabel2")
            fuzzyCompare(middle.x + middle.width / 2, box.leftGutter + 0.4 * box.plotW, 1e-9)
            compare(child("scaleZeroLabel").y + child("scaleZeroLabel").height / 2, box.plotH / 2)
        }

        function test_spectrumLevelLabelsFromZeroToMinus120() {
            panel.axisMode = "spectrum"
            for (let i = 0; i < 7; ++i)
                compare(child("levelLabel" + i).text, (-20 * i) + " dB")
            compare(child("levelLabel0").y, 0, "the top label is clamped inside the plot")
            const bottom = child("levelLabel6")
            compare(bottom.y, box.plotH - bottom.height, "the bottom label is clamped inside the plot")
            const mid = child("levelLabel3")
            compare(mid.y + mid.height / 2, box.plotH / 2)
            compare(mid.width, box.leftGutter - 6)
        }

        function test_noNyquistMeansNoFrequencyAxisAndNoCursor() {
            panel.axisMode = "spectrum"
            panel.interactiveSpectrum = true
            compare(panel.imagingBinHz, 0)
            compare(box.xForFreq(1000), -1)
            verify(!child("freqPickArea").visible)
            verify(!child("freqLine").visible)
            verify(!child("nyquistLabel").visible)
            for (let i = 0; i < 3; ++i) {
                verify(!child("decadeLine" + i).visible)
                verify(!child("decadeLabel" + i).visible)
            }
        }

        function test_decadesSitOnTheLogarithmicAxis() {
            ui.spectrumNyquistHz = 24000
            panel.axisMode = "waterfall"
            compare(panel.imagingBinHz, 46.875)
            compare(child("nyquistLabel").text, "24.0 kHz")
            compare(child("nyquistLabel").x + child("nyquistLabel").width, box.leftGutter + box.plotW)
            const span = Math.log(240)
            const expected = [0, Math.log(10) / span, Math.log(100) / span]
            const texts = ["100 Hz", "1 kHz", "10 kHz"]
            for (let i = 0; i < 3; ++i) {
                const line = child("decadeLine" + i)
                verify(line.visible)
                fuzzyCompare(line.x, box.leftGutter + expected[i] * box.plotW, 1e-6)
                compare(child("decadeLabel" + i).text, texts[i])
            }
            const first = child("decadeLabel0")
            compare(first.x, box.leftGutter - (first.width / 2 - 4), "the 100 Hz label reaches left of the plot")
            compare(child("waterfallBottomLabel").text, "-0 s")
            ui.diagnosticWaterfallSpanS = 11.6
            compare(child("waterfallBottomLabel").text, "-12 s")
            compare(child("waterfallTopLabel").text, "0 s")
        }

        function test_pickSnapsToImagingBins() {
            ui.spectrumNyquistHz = 24000
            panel.axisMode = "spectrum"
            const x1000 = box.plotW * Math.log(10) / Math.log(240)
            fuzzyCompare(panel.freqForX(x1000), 1000, 1e-9)
            compare(panel.pickFreq(x1000), 984.375, "21 bins of 46.875 Hz")
            compare(panel.pickFreq(0), 93.75, "100 Hz rounds to 2 bins")
            compare(panel.pickFreq(-50), 93.75)
            compare(panel.pickFreq(box.plotW + 50), 24000)
            panel.commitToAnalysisFrequency = true
            fuzzyCompare(panel.pickFreq(x1000), 1000, 1e-9)
        }

        function test_clickSetsTheSnappedFrequency() {
            ui.spectrumNyquistHz = 24000
            panel.axisMode = "spectrum"
            panel.interactiveSpectrum = true
            const area = child("freqPickArea")
            verify(area.visible)
            compare(area.x, box.leftGutter)
            compare(area.width, box.plotW)
            const x = 123
            mouseClick(area, x, area.height / 2)
            const f = 100 * Math.pow(240, x / box.plotW)
            const snapped = Math.round(f / 46.875) * 46.875
            compare(callsStartingWith("setFrequency:"), ["setFrequency:" + snapped])
            compare(ui.analysisFrequencyHz, 0)
        }

        function test_commitModeWritesTheUnsnappedAnalysisFrequency() {
            ui.spectrumNyquistHz = 24000
            panel.axisMode = "spectrum"
            panel.interactiveSpectrum = true
            panel.commitToAnalysisFrequency = true
            const area = child("freqPickArea")
            const x = 200
            mouseClick(area, x, 10)
            fuzzyCompare(ui.analysisFrequencyHz, 100 * Math.pow(240, x / box.plotW), 1e-6)
            compare(callsStartingWith("setFrequency:"), [])
        }

        function test_committedLineFollowsTheControllerFrequency() {
            ui.spectrumNyquistHz = 24000
            panel.axisMode = "spectrum"
            panel.interactiveSpectrum = true
            const line = child("freqLine")
            verify(line.visible)
            fuzzyCompare(line.x, box.leftGutter + Math.log(10) / Math.log(240) * box.plotW, 1e-6)
            compare(child("freqBubbleText").text, "1000 Hz")
            ui.frequency = 12345
            compare(child("freqBubbleText").text, "12.35 kHz")
            ui.frequency = 99
            verify(!line.visible, "below 100 Hz there is no committed line")
            panel.interactiveSpectrum = false
            ui.frequency = 1000
            verify(!line.visible)
        }

        function test_hoverShowsThePickedFrequency() {
            ui.spectrumNyquistHz = 24000
            panel.axisMode = "spectrum"
            panel.interactiveSpectrum = true
            const area = child("freqPickArea")
            const hover = child("freqHoverLine")
            verify(!hover.visible)
            mouseMove(area, 150, 20)
            tryVerify(() => hover.visible)
            const picked = panel.pickFreq(area.mouseX)
            compare(hover.x, box.xForFreq(picked) - 0.5)
            compare(child("freqHoverText").text, panel.frequencyLabel(picked))
            const bubble = child("freqHoverBubble")
            verify(bubble.x >= box.leftGutter && bubble.x + bubble.width <= box.leftGutter + box.plotW)
            mouseMove(host, host.width - 2, host.height - 2)
            tryVerify(() => !hover.visible)
        }

        function test_tabClickSignalsButLeavesTheHighlight() {
            panel.tabs = ["Single", "16 lanes", "16 overlay"]
            waitForRendering(panel)
            const activated = []
            panel.tabActivated.connect(index => activated.push(index))
            const chip = child("tabChip1")
            mouseClick(chip)
            compare(activated, [1])
            compare(panel.currentTab, 0)
            verify(Qt.colorEqual(child("tabChip0").border.color, Theme.accent))
            verify(Qt.colorEqual(chip.border.color, Theme.border))
            panel.currentTab = 1
            verify(Qt.colorEqual(chip.border.color, Theme.accent))
            verify(Qt.colorEqual(chip.color, Theme.surfaceAlt))
        }

        function test_laneLabelsNameTheSelectedGroup() {
            panel.axisMode = "lanes"
            ui.diagnosticChannel = 21
            compare(child("laneLabel0").text, "17")
            compare(child("laneLabel15").text, "32")
            verify(Qt.colorEqual(child("laneLabel5").color, Theme.accent))
            verify(Qt.colorEqual(child("laneLabel4").color, Theme.muted))
            verify(child("laneLabel0").visible)
            compare(child("laneLabel3").y, 3 * box.plotH / 16)
        }

        function test_laneLabelsHideOnAShortPlot() {
            panel.axisMode = "lanes"
            // Margins, header and spacing take what the plot does not get.
            const frame = panel.height - box.height
            panel.height = 159 + frame
            tryCompare(box, "plotH", 159)
            verify(!child("laneLabel0").visible)
            panel.height = 160 + frame
            tryCompare(box, "plotH", 160)
            verify(child("laneLabel0").visible)
        }

        function test_overlayChipsAreTheTraceLegend() {
            panel.axisMode = "overlay"
            ui.diagnosticChannel = 18
            const slot = box.plotW / 16
            for (const i of [0, 2, 15]) {
                const chip = child("overlayChip" + i)
                compare(chip.width, Math.max(16, Math.min(28, slot - 2)))
                fuzzyCompare(chip.x + chip.width / 2, box.leftGutter + (i + 0.5) * slot, 1e-9)
                compare(chip.y, box.plotH + 3)
                verify(Qt.colorEqual(chip.color, Qt.hsva(((i * 22.5 + 11) % 360) / 360, 0.78, 0.92, 1)))
            }
            verify(Qt.colorEqual(child("overlayChip2").border.color, Theme.text))
            verify(Qt.colorEqual(child("overlayChip3").border.color, "transparent"))
        }

        // WCAG 2 contrast ratio from relative luminance.
        function contrast(a, b) {
            const linear = c => c <= 0.03928 ? c / 12.92 : Math.pow((c + 0.055) / 1.055, 2.4)
            const lum = c => 0.2126 * linear(c.r) + 0.7152 * linear(c.g) + 0.0722 * linear(c.b)
            const la = lum(a), lb = lum(b)
            return (Math.max(la, lb) + 0.05) / (Math.min(la, lb) + 0.05)
        }

        function test_overlayChipNumbersReachTheContrastFloorInEveryTheme() {
            panel.axisMode = "overlay"
            const before = Theme.themeId
            let measured = 0
            try {
                for (const theme of Theme.themeOrder) {
                    Theme.themeId = theme
                    for (let i = 0; i < 16; ++i) {
                        const ratio = contrast(child("overlayChip" + i).color, child("overlayChipText" + i).color)
                        verify(ratio >= 4.5, theme + " chip " + i + ": contrast " + ratio.toFixed(2))
                        ++measured
                    }
                }
            } finally {
                Theme.themeId = before
            }
            compare(measured, 16 * 9, "every chip of the nine themes")
        }

        function test_wheelZoomsTheNamedWindow() {
            panel.axisMode = "waveform"
            mouseWheel(box, 100, 50, 0, 120)
            compare(ui.calls, [], "no wheel target, no zoom")
            panel.wheelTarget = "waveform"
            mouseWheel(box, 100, 50, 0, 120)
            mouseWheel(box, 100, 50, 0, -120)
            const waveform = callsStartingWith("setWaveformWindowS:").map(c => parseFloat(c.split(":")[1]))
            compare(waveform.length, 2)
            fuzzyCompare(waveform[0], 0.5 / 1.25, 1e-12)
            fuzzyCompare(waveform[1], 0.5 * 1.25, 1e-12)
            panel.wheelTarget = "overlay"
            mouseWheel(box, 100, 50, 0, 120)
            const overlay = callsStartingWith("setOverlayWindowS:").map(c => parseFloat(c.split(":")[1]))
            compare(overlay.length, 1)
            fuzzyCompare(overlay[0], 0.05 / 1.25, 1e-12)
        }

        function test_imageTakesTheGivenSource() {
            panel.imageSource = "image://heatmap/field?7"
            compare(child("plotImage").source.toString(), "image://heatmap/field?7")
            verify(!child("plotImage").cache)
        }
    }
}
