import QtQuick
import QtQuick.Layouts
import QtTest
import SorvantaApp

// The Analysis page in a workspace stack over the stand-in controller: what it shows of the
// controller's state and what it asks of it.
Item {
    id: window
    width: 1500
    height: 1000

    Component {
        id: stackComponent
        StackLayout {
            anchors.fill: parent
            AnalysisPage {}
            Item {}
        }
    }

    TestCase {
        name: "AnalysisPage"
        when: windowShown

        property var stack: null
        property var page: null

        function child(name) {
            const found = findChild(page, name)
            verify(found !== null, "no child " + name)
            return found
        }

        function init() {
            ui.calls = []
            ui.analysisBusy = false
            ui.canCreateAnalysis = false
            ui.hasSelectedMeasurement = false
            ui.selectedMeasurementId = ""
            ui.analysisRuns = []
            ui.analysisRunCount = 0
            ui.selectedAnalysisIndex = -1
            ui.hasSelectedAnalysis = false
            ui.hasPendingAnalysis = false
            ui.analysisAlgorithm = "01 DAS / Conventional"
            ui.analysisBandMode = "1/3 octave"
            ui.analysisFrameSize = 256
            ui.analysisHopSize = 128
            ui.analysisWindowSeconds = 0
            ui.analysisSpectrumNyquistHz = 0
            ui.analysisAlgorithmParameterFields = []
            ui.analysisParameterValues = ({})
            stack = createTemporaryObject(stackComponent, window)
            page = stack.children[0]
            waitForRendering(page)
        }

        function test_pageAndCanvasAreActiveOnlyWhileCurrent() {
            const canvas = child("analysisCanvas")
            compare(canvas.expectedSource, "analysis")
            verify(canvas.replayMode)
            verify(canvas.pageActive)
            ui.selectedMeasurementVideoPath = "/tmp/video.mp4"
            ui.selectedMeasurementVideoUrl = "file:///tmp/video.mp4"
            verify(canvas.replayHasVideo)
            compare(canvas.replayVideoSource, "file:///tmp/video.mp4")
            stack.currentIndex = 1
            verify(!canvas.pageActive)
            verify(!canvas.replayHasVideo)
            compare(canvas.replayVideoSource, "")
            ui.selectedMeasurementVideoPath = ""
            ui.selectedMeasurementVideoUrl = ""
        }

        function test_emptyListAndPanelTextsFollowTheSelection() {
            compare(child("emptyRunsText").text, "Select a Measurement first")
            compare(child("analysisCanvas").emptyPrimary, "Select a Measurement")
            ui.hasSelectedMeasurement = true
            compare(child("emptyRunsText").text, "No AnalysisRun yet\nCreate the first full recompute")
            compare(child("analysisCanvas").emptyPrimary, "Create or select an AnalysisRun")
            ui.hasSelectedAnalysis = true
            ui.selectedAnalysisId = "a_1"
            compare(child("analysisCanvas").panelSubtitle, "a_1")
            verify(child("selectedRunPanel").visible)
            ui.hasPendingAnalysis = true
            compare(child("analysisCanvas").panelSubtitle, "Unsaved result - save to keep it")
            verify(child("pendingPanel").visible)
            verify(!child("selectedRunPanel").visible)
            ui.selectedAnalysisId = ""
        }

        function test_rowsShowValidAndInvalidRunsAndOnlyValidOnesSelect() {
            ui.analysisRuns = [
                {id: "a_1", valid: true, algorithm: "DAS", frequencyHz: 8062.5, bandBinCount: 0, frameSize: 1024,
                 hopSize: 512, gridStepDeg: 2, peakAzimuth: 10, peakElevation: -5, peakDb: 0, mapAvailable: true,
                 mode: "full"},
                {id: "a_2", valid: false, error: "cannot open analysis manifest"},
                {id: "a_3", valid: true, algorithm: "MVDR", frequencyHz: 1000, bandBinCount: 4, frameSize: 256,
                 hopSize: 128, gridStepDeg: 1, peakAzimuth: 0, peakElevation: 0, peakDb: 0, mapAvailable: false,
                 mode: ""}]
            ui.selectedAnalysisIndex = 0
            const list = child("analysisList")
            compare(list.count, 3)
            const first = list.itemAtIndex(0)
            compare(first.height, 88)
            compare(first.border.color, Theme.accent)
            compare(findChild(first, "runSummary").text, "DAS · 1 bins · frame 1024/512 · grid 2.0°")
            compare(findChild(first, "runPeak").text, "peak 10.0° / -5.0° · 0.0 dB · map saved · full recompute")
            compare(findChild(first, "runPeak").color, Theme.success)
            const invalid = list.itemAtIndex(1)
            compare(invalid.height, 66)
            compare(findChild(invalid, "runSummary").text, "cannot open analysis manifest")
            const third = list.itemAtIndex(2)
            compare(findChild(third, "runPeak").text, "peak 0.0° / 0.0° · 0.0 dB · metadata only · legacy run")
            compare(findChild(third, "runPeak").color, Theme.warning)

            mouseClick(invalid)
            mouseClick(third)
            compare(ui.calls, ["selectAnalysisRun:2"])
            ui.analysisBusy = true
            mouseClick(first)
            compare(ui.calls, ["selectAnalysisRun:2"])
        }

        function test_unknownTextsShowTheFirstEntryAndBandwidthOnlyForCustom() {
            ui.analysisAlgorithm = "01 DAS (CBF)"
            ui.analysisBandMode = "Octave"
            compare(child("algorithmCombo").currentIndex, 0)
            compare(child("bandCombo").currentIndex, 0)
            verify(!child("bandwidthSpin").visible)
            ui.analysisBandMode = "Custom"
            compare(child("bandCombo").currentIndex, 2)
            verify(child("bandwidthSpin").visible)
            ui.analysisAlgorithm = "10 DAMAS"
            compare(child("algorithmCombo").currentIndex, 9)
            child("algorithmCombo").activated(4)
            compare(ui.analysisAlgorithm, "05 MUSIC")
        }

        function cleanup() {
            languageSwitch.setLanguage("en")
        }

        // Every item of a combo as its popup shows it.
        function shownItems(combo) {
            const items = []
            for (let i = 0; i < combo.count; ++i)
                items.push(combo.rowText(combo.model[i]))
            return items
        }

        // In Chinese the band modes and the far field are named from the catalogue; the controller
        // still gets the English keys and the index.
        function test_bandAndFocusNamesAreTranslatedAndSetTheKeys() {
            languageSwitch.setLanguage("zh_CN")
            const band = child("bandCombo")
            const focus = child("focusCombo")
            compare(shownItems(band), ["Single", "1/3 octave", "Custom"].map(mode => qsTranslate("AnalysisPage", mode)))
            compare(shownItems(focus), [qsTranslate("AnalysisPage", "far field"), "1 m", "3 m", "5 m", "10 m"])
            for (const text of shownItems(band).concat(shownItems(focus)))
                verify(!/[A-Za-z]{3,}/.test(text), "untranslated: " + text)
            ui.analysisBandMode = "Custom"
            compare(band.displayText, shownItems(band)[2])
            band.activated(0)
            compare(ui.analysisBandMode, "Single")
            compare(band.displayText, shownItems(band)[0])
            ui.analysisFocusIndex = 2
            focus.activated(0)
            compare(ui.analysisFocusIndex, 0)
            compare(focus.displayText, shownItems(focus)[0])
        }

        function test_advancedBlockFollowsTheFrameSize() {
            verify(!child("advancedBlock").visible)
            mouseClick(child("advancedToggle"))
            verify(page.showAdvanced)
            verify(child("advancedBlock").visible)
            verify(child("advancedToggle").text.indexOf("▾ ") === 0)
            compare(child("hopSpin").to, 256)
            ui.analysisFrameSize = 1024
            compare(child("hopSpin").to, 1024)
            compare(child("frameCombo").currentIndex, 2)
            ui.analysisGridStepDeg = 2.5
            compare(child("gridSpin").value, 25)
            compare(child("gridSpin").displayText, "2.5°")
            page.showAdvanced = false
        }

        function test_windowComboNamesTheAutomaticWindow() {
            const combo = child("windowCombo")
            compare(combo.currentIndex, 0)
            compare(combo.displayText, "Auto (3τ)")
            ui.analysisWindowSeconds = 2
            compare(combo.currentIndex, 3)
            compare(combo.displayText, "2 s")
            verify(!child("wholeMeasurementButton").visible)
            ui.hasAnalysisWindow = true
            verify(child("wholeMeasurementButton").visible)
            mouseClick(child("wholeMeasurementButton"))
            compare(ui.calls, ["clearAnalysisWindow"])
            ui.hasAnalysisWindow = false
        }

        function test_spectrumHasNoImageWithoutANyquistFrequency() {
            const spectrum = child("analysisSpectrum")
            compare(String(spectrum.imageSource), "")
            verify(spectrum.commitToAnalysisFrequency)
            ui.analysisSpectrumNyquistHz = 24000
            ui.analysisSpectrumRevision = 7
            compare(String(spectrum.imageSource), "image://diagnostic/analysisSpectrum?7")
            compare(spectrum.nyquistHz, 24000)
        }

        function test_busyDisablesTheInputsButNotTheDisplayOrTheWindow() {
            ui.canCreateAnalysis = true
            const start = child("createButton")
            compare(start.text, "Create AnalysisRun")
            mouseClick(start)
            compare(ui.calls, ["createFullRecomputeAnalysis"])
            ui.analysisBusy = true
            ui.canCreateAnalysis = false
            compare(start.text, "Computing…")
            verify(!start.enabled)
            for (const name of ["algorithmCombo", "bandCombo", "centerSpin", "frameCombo", "hopSpin", "gridSpin",
                                "focusCombo", "airTemperatureSlider", "wholeMeasurementButton"])
                verify(!child(name).enabled, name)
            for (const name of ["windowCombo", "confidenceSlider", "rangeSlider", "levelGateSlider",
                                "colormapCombo", "styleCombo", "scaleCombo", "opacitySlider"])
                verify(child(name).enabled, name)
            verify(child("analysisProgressBar").visible)
            ui.hasPendingAnalysis = true
            verify(!child("saveButton").enabled)
            verify(!child("discardButton").enabled)
            ui.analysisBusy = false
            verify(child("saveButton").enabled)
            mouseClick(child("saveButton"))
            mouseClick(child("discardButton"))
            compare(ui.calls, ["createFullRecomputeAnalysis", "savePendingAnalysis", "discardPendingAnalysis"])
        }

        function test_parameterEditorsWriteThroughTheController() {
            ui.analysisAlgorithmParameterFields = [
                {key: "loading", label: "Diagonal loading", type: "real", minimum: 0, maximum: 1, unit: ""},
                {key: "sources", label: "Sources", type: "int", minimum: 1, maximum: 8, unit: "src"},
                {key: "whiten", label: "Whiten", type: "bool", minimum: 0, maximum: 1, unit: ""}]
            ui.analysisParameterValues = ({loading: 0.001, sources: 3, whiten: 1})
            const real = findChild(child("parameter_loading"), "realEditor")
            compare(real.text, "1.00e-3")
            verify(findChild(child("parameter_whiten"), "boolEditor").checked)
            compare(findChild(child("parameter_sources"), "intEditor").value, 3)

            real.text = "2.5e-2"
            real.editingFinished()
            real.text = "nonsense"
            real.editingFinished()
            compare(ui.calls, ["setAnalysisBeamformingParameter:loading=0.025"])
            compare(real.text, "1.00e-3")
            ui.analysisBusy = true
            verify(!real.enabled)
        }
    }
}
