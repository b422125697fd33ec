import QtQuick
import QtTest
import SorvantaApp

// The signal monitor over the stand-in controller and device controller.
Item {
    id: host
    width: 520
    height: 1000

    Component {
        id: monitorComponent
        SignalDiagnostics {
            anchors.fill: parent
        }
    }

    TestCase {
        name: "SignalDiagnostics"
        when: windowShown

        property var monitor: null

        function init() {
            ui.calls = []
            ui.diagnosticSource = "live"
            ui.diagnosticRevision = 3
            ui.diagnosticChannel = 0
            ui.diagnosticChannelCount = 0
            ui.diagnosticMeterPerRow = 8
            ui.diagnosticSummary = ""
            ui.diagnosticSilentChannels = -1
            ui.mapStale = false
            ui.waveformMode = 0
            ui.waveformWindowS = 0.5
            ui.overlayWindowS = 0.05
            ui.spectrumNyquistHz = 0
            ui.meterReadouts = []
            ui.source = "UDP"
            deviceCtl.gain = 4
            deviceCtl.canOperate = true
            deviceCtl.busy = false
            monitor = createTemporaryObject(monitorComponent, host)
            waitForRendering(monitor)
        }

        function child(name) {
            const found = findChild(monitor, name)
            verify(found !== null, "no child " + name)
            return found
        }

        function sources() {
            return [child("waveformPanel").imageSource.toString(), child("spectrumPanel").imageSource.toString(),
                    findChild(monitor, "waterfallImage").source.toString(),
                    findChild(monitor, "levelsImage").source.toString()]
        }

        function test_imagesFollowTheRevisionOfTheirOwnSource() {
            compare(sources(), ["image://diagnostic/waveform?3", "image://diagnostic/spectrum?3",
                                "image://diagnostic/waterfall?3", "image://diagnostic/levels?3"])
            verify(!child("diagCover").visible)
            ui.diagnosticRevision = 4
            compare(child("spectrumPanel").imageSource.toString(), "image://diagnostic/spectrum?4")
        }

        function test_otherSourceOrHiddenPageEmptiesEveryImage() {
            ui.diagnosticSource = "replay"
            compare(sources(), ["", "", "", ""])
            verify(child("diagCover").visible)
            ui.diagnosticSource = "live"
            monitor.pageActive = false
            compare(sources(), ["", "", "", ""])
            verify(child("diagCover").visible)
            monitor.expectedSource = "replay"
            monitor.pageActive = true
            compare(sources(), ["", "", "", ""])
            ui.diagnosticSource = "replay"
            compare(child("waveformPanel").imageSource.toString(), "image://diagnostic/waveform?3")
        }

        // A silent array: the summary, waveform, spectrum and auxiliary view still hold its last samples,
        // and say that they are not live; a replay follows its file and is never marked.
        function test_aSilentArrayMarksEveryLiveView() {
            const hint = child("diagStaleHint")
            const marked = ["summaryLabel", "waveformPanel", "spectrumPanel", "auxiliaryCard"]
            verify(!hint.visible)
            for (const name of marked)
                compare(child(name).opacity, 1, name)
            ui.mapStale = true
            verify(hint.visible)
            compare(child("diagStaleHintText").text, "No data from the array - these views are not live")
            for (const name of marked)
                verify(child(name).opacity < 0.5, name)
            verify(hint.width <= monitor.width, "the hint fits the panel")
            ui.diagnosticSource = "replay"
            monitor.expectedSource = "replay"
            verify(!hint.visible)
            compare(child("waveformPanel").opacity, 1)
            monitor.expectedSource = "live"
            ui.diagnosticSource = "live"
            verify(hint.visible)
            ui.mapStale = false
            verify(!hint.visible)
            compare(child("spectrumPanel").opacity, 1)
        }

        function test_waveformModesChooseAxesWheelAndNote_data() {
            return [
                {tag: "single", mode: 0, axis: "waveform", wheel: "waveform",
                 note: "ch 22 · window 0.50 s · wheel zooms the time axis"},
                {tag: "lanes", mode: 1, axis: "lanes", wheel: "waveform",
                 note: "16 lanes · ch 17-32 · wheel zooms the time axis"},
                {tag: "overlay", mode: 2, axis: "overlay", wheel: "overlay",
                 note: "16ch overlay · 50 ms · wheel zooms the time axis"}
            ]
        }

        function test_waveformModesChooseAxesWheelAndNote(data) {
            ui.diagnosticChannelCount = 64
            ui.diagnosticChannel = 21
            ui.waveformMode = data.mode
            const panel = child("waveformPanel")
            compare(panel.axisMode, data.axis)
            compare(panel.wheelTarget, data.wheel)
            compare(panel.note, data.note)
            compare(panel.currentTab, data.mode)
            compare(panel.imageSource.toString(), "image://diagnostic/waveform?3")
        }

        function test_tabClickAsksTheControllerForTheMode() {
            const panel = child("waveformPanel")
            compare(panel.tabs, ["Single", "16 lanes", "16 overlay"])
            mouseClick(findChild(panel, "tabChip2"))
            compare(ui.calls, ["setWaveformMode:2"])
            compare(panel.axisMode, "overlay")
        }

        // The tabs are tab stops: Tab, pressed as a key, reaches each, which shows its focus; Space or
        // Enter chooses it.
        function test_theKeyboardReachesAndChoosesTheWaveformTabs() {
            const panel = child("waveformPanel")
            const lanes = findChild(panel, "tabChip1")
            const overlay = findChild(panel, "tabChip2")
            for (let i = 0; i < 12 && !lanes.activeFocus; ++i)
                keyClick(Qt.Key_Tab)
            verify(lanes.activeFocus, "Tab reaches the tabs")
            compare(lanes.border.width, 2)
            keyClick(Qt.Key_Space)
            compare(ui.calls, ["setWaveformMode:1"])
            keyClick(Qt.Key_Tab)
            verify(overlay.activeFocus)
            keyClick(Qt.Key_Return)
            compare(ui.calls, ["setWaveformMode:1", "setWaveformMode:2"])
        }

        function test_spectrumPanelPicksTheImagingFrequency() {
            ui.diagnosticSpectrumBinHz = 5.859375
            const panel = child("spectrumPanel")
            compare(panel.axisMode, "spectrum")
            verify(panel.interactiveSpectrum)
            verify(!panel.commitToAnalysisFrequency)
            compare(panel.note, "bin 5.9 Hz · Hann · click to choose imaging center frequency")
        }

        function test_channelBoxIsOneBasedAndWritesZeroBased() {
            const box = child("channelBox")
            verify(!box.enabled, "no channels")
            compare(box.from, 1)
            compare(box.to, 1)
            ui.diagnosticChannelCount = 16
            ui.diagnosticChannel = 4
            verify(box.enabled)
            compare(box.to, 16)
            compare(box.value, 5)
            box.forceActiveFocus()
            keyClick(Qt.Key_Up)
            compare(ui.diagnosticChannel, 5)
            compare(box.value, 6)
            ui.diagnosticChannel = 0
            compare(box.value, 1, "the box shows the controller's channel again")
        }

        function test_gainRowOnlyForTheArrayOnTheLivePage() {
            const row = child("gainRow")
            verify(!row.visible, "not asked for")
            monitor.showGain = true
            verify(row.visible)
            ui.source = "Synthetic"
            verify(!row.visible)
            ui.source = "UDP"
            const gain = child("gainBox")
            compare(gain.value, 4)
            verify(gain.enabled)
            verify(!child("noSerialNote").visible)
            gain.forceActiveFocus()
            keyClick(Qt.Key_Up)
            compare(deviceCtl.gain, 5)
            deviceCtl.busy = true
            verify(!gain.enabled)
            deviceCtl.busy = false
            deviceCtl.canOperate = false
            verify(!gain.enabled)
            verify(child("noSerialNote").visible)
        }

        function cleanup() {
            languageSwitch.setLanguage("en")
        }

        // The summary as the controller writes it, from the catalogue of the language shown.
        function summary(silent) {
            return qsTranslate("UiController", "CH %1 | DC %2 counts | RMS %3 dBFS | raw %4..%5 | peak %6 Hz / "
                                               + "%7 dBFS | silent %8/%9 | win %10 (df %11 Hz)")
                .arg(1).arg("-0.3").arg("-23.1").arg(-9000).arg(9100).arg("1002.0").arg("-26.0")
                .arg(silent).arg(16).arg(4096).arg("11.7")
        }

        function test_summaryIsGreenOnlyWithoutSilentChannels_data() {
            return [{tag: "en", language: "en"}, {tag: "zh_CN", language: "zh_CN"}]
        }

        // Green means no silent channel in every language; a note such as "Waiting for raw samples"
        // counts none and is never green.
        function test_summaryIsGreenOnlyWithoutSilentChannels(data) {
            languageSwitch.setLanguage(data.language)
            compare(summary(0).indexOf("silent") < 0, data.language !== "en", summary(0))
            const label = child("summaryLabel")
            ui.diagnosticSummary = summary(0)
            ui.diagnosticSilentChannels = 0
            compare(label.text, ui.diagnosticSummary)
            verify(Qt.colorEqual(label.color, Theme.success))
            ui.diagnosticSummary = summary(3)
            ui.diagnosticSilentChannels = 3
            verify(Qt.colorEqual(label.color, Theme.accent))
            ui.diagnosticSummary = qsTranslate("UiController", "Waiting for raw samples")
            ui.diagnosticSilentChannels = -1
            verify(Qt.colorEqual(label.color, Theme.accent))
        }

        // The language changes while a new summary arrives, before the panel lays out: the chips keep
        // their places and take the new names.
        function test_aLanguageSwitchBesideANewSummaryRenamesTheTabs() {
            const chip = findChild(child("waveformPanel"), "tabChip0")
            languageSwitch.setLanguage("zh_CN")
            ui.diagnosticSummary = summary(0)
            ui.diagnosticSilentChannels = 0
            waitForRendering(monitor)
            compare(findChild(child("waveformPanel"), "tabChip0"), chip)
            compare(findChild(chip, "tabChipLabel").text, qsTranslate("SignalDiagnostics", "Single"))
            verify(qsTranslate("SignalDiagnostics", "Single") !== "Single")
        }

        function test_auxiliaryViewSwitchesBetweenWaterfallAndMeters() {
            const selector = child("auxiliaryView")
            compare(selector.displayText, "Waterfall")
            verify(child("waterfallColormapCombo").visible)
            verify(!child("meterHoverLabel").visible)
            verify(findChild(monitor, "waterfallBox").visible)
            selector.forceActiveFocus()
            keyClick(Qt.Key_Down)
            compare(selector.currentIndex, 1)
            compare(selector.displayText, "Channel RMS")
            verify(!child("waterfallColormapCombo").visible)
            verify(child("meterHoverLabel").visible)
            verify(findChild(monitor, "levelsBox").visible)
            verify(!findChild(monitor, "waterfallBox").visible)
        }

        function test_waterfallColormapGoesToTheController() {
            ui.waterfallColormap = 1
            const combo = child("waterfallColormapCombo")
            compare(combo.currentIndex, 1)
            compare(combo.currentText, "Turbo")
            combo.forceActiveFocus()
            keyClick(Qt.Key_Down)
            compare(ui.calls, ["setWaterfallColormap:2"])
            compare(combo.currentIndex, 1, "the stand-in kept its colormap, so the combo shows it")
        }

        function test_waterfallAxesWithAndWithoutNyquist() {
            const box = findChild(monitor, "waterfallBox")
            verify(!findChild(box, "waterfallNyquistLabel").visible)
            verify(!findChild(box, "waterfallDecadeLabel0").visible)
            ui.spectrumNyquistHz = 24000
            ui.diagnosticWaterfallSpanS = 9.5
            compare(findChild(box, "waterfallNyquistLabel").text, "24.0 kHz")
            compare(findChild(box, "waterfallSpanLabel").text, "-10 s")
            const first = findChild(box, "waterfallDecadeLabel0")
            verify(first.visible)
            compare(first.x, 34, "the 100 Hz label is clamped at the plot's left edge")
            const line = findChild(box, "waterfallDecadeLine1")
            fuzzyCompare(line.x, 34 + Math.log(10) / Math.log(240) * box.plotW, 1e-6)
        }

        function test_meterHoverReadsTheCellUnderThePointer() {
            ui.diagnosticChannelCount = 20
            ui.diagnosticMeterPerRow = 8
            ui.meterReadouts = Array.from({length: 20}, (_, i) => "ch " + (i + 1) + ": -30.0 / -20.0 dBFS")
            const selector = child("auxiliaryView")
            selector.currentIndex = 1
            const box = findChild(monitor, "levelsBox")
            tryVerify(() => box.visible && box.width > 0 && box.height > 0)
            waitForRendering(box)
            compare(box.rows, 3)
            const cellW = box.width / 8
            const cellH = box.height / 3
            mouseMove(box, 1.5 * cellW, 0.5 * cellH)
            tryCompare(child("meterHoverLabel"), "text", "ch 2: -30.0 / -20.0 dBFS")
            mouseMove(box, 2.5 * cellW, 1.5 * cellH)
            tryCompare(child("meterHoverLabel"), "text", "ch 11: -30.0 / -20.0 dBFS")
            mouseMove(box, 7.5 * cellW, 2.5 * cellH)
            tryVerify(() => ui.calls.indexOf("meterReadout:23") >= 0, 1000, "an empty cell of the last row")
            compare(child("meterHoverLabel").text, "")
            mouseMove(host, 1, 1)
            tryCompare(child("meterHoverLabel"), "text", "")
        }

        function test_withoutChannelsTheMeterGridHasOneRow() {
            const box = findChild(monitor, "levelsBox")
            compare(box.rows, 1)
            ui.diagnosticMeterPerRow = 0
            compare(box.perRow, 1)
        }
    }
}
