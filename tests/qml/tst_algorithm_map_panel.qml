import QtQuick
import QtQuick.Controls
import QtTest
import SorvantaApp

// The algorithm and map settings over the stand-in controller, whose setters only record: every
// control must show the controller's value, whatever the user chose.
Item {
    id: host
    width: 1300
    height: 700

    readonly property var mixedFields: [
        {key: "remove_csm_diagonal", label: "Diagonal removal", type: "bool", minimum: 0, maximum: 1, unit: ""},
        {key: "music_source_count", label: "Source count", type: "int", minimum: 1, maximum: 16, unit: ""},
        {key: "mvdr_loading", label: "Diagonal loading", type: "real", minimum: 0, maximum: 1, unit: ""},
        {key: "phat_zero_diagonal", label: "PHAT zero diagonal", type: "bool", minimum: 0, maximum: 1, unit: ""},
        {key: "clean_stop_db", label: "Stop level", type: "real", minimum: -60, maximum: -5, unit: "dB"}
    ]

    Component {
        id: panelComponent
        AlgorithmMapPanel {
            width: host.width
        }
    }

    TestCase {
        name: "AlgorithmMapPanel"
        when: windowShown

        property var panel: null

        function init() {
            ui.calls = []
            ui.algorithm = "01 DAS / Conventional"
            ui.algorithmParameterFields = [host.mixedFields[0]]
            ui.parameterValues = {music_source_count: 3, mvdr_loading: 0.001, phat_zero_diagonal: 1,
                                  clean_stop_db: -20}
            ui.csmTauSeconds = 0.5
            ui.canEditFrequencyBand = true
            ui.hasHeatmap = false
            ui.noiseCalibrating = false
            ui.noiseProfileValid = false
            ui.noiseSubtractionEnabled = false
            panel = createTemporaryObject(panelComponent, host)
            waitForRendering(panel)
        }

        function child(name, parent) {
            const found = findChild(parent || panel, name)
            verify(found !== null, "no child " + name)
            return found
        }

        function popup() {
            return child("paramsPopup")
        }

        function openedPopup() {
            const p = popup()
            tryVerify(() => p.opened, 2000, "the parameter popup opens")
            waitForItemPolished(p.contentItem)
            return p
        }

        function field(key) {
            return child("parameterField_" + key, popup().contentItem)
        }

        function test_algorithmComboShowsTheControllersChoice() {
            const combo = child("algorithmCombo")
            compare(combo.count, 8)
            compare(combo.currentIndex, 0)
            ui.algorithm = "05 MUSIC"
            compare(combo.currentIndex, 4)
            combo.forceActiveFocus()
            keyClick(Qt.Key_Down)
            compare(ui.calls, ["setAlgorithm:06 Auto-MUSIC"])
            compare(combo.currentIndex, 4, "a refused choice snaps back")
            ui.algorithm = "08 SRP-PHAT"
            compare(combo.currentIndex, 7, "a change made elsewhere shows after the user's choice")
            ui.algorithm = "99 Unknown"
            compare(combo.currentIndex, 0)
            panel.algorithmLocked = true
            verify(!combo.enabled)
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

        // In Chinese the combos name the band modes and focus distances from the catalogue, and still
        // hand the controller the English keys.
        function test_bandAndFocusNamesAreTranslatedAndSendTheKeys() {
            languageSwitch.setLanguage("zh_CN")
            const band = child("bandModeCombo")
            const focus = child("focusCombo")
            compare(shownItems(band), ["1/3 octave", "Single bin", "Custom bandwidth"].map(
                        mode => qsTranslate("AlgorithmMapPanel", mode)))
            compare(shownItems(focus), [qsTranslate("AlgorithmMapPanel", "Focus ∞")].concat(
                        [1, 3, 5, 10].map(metres => qsTranslate("AlgorithmMapPanel", "Focus %1 m").arg(metres))))
            for (const text of shownItems(band).concat(shownItems(focus)))
                verify(!/[A-Za-z]{3,}/.test(text), "untranslated: " + text)
            ui.frequencyBandMode = "Custom bandwidth"
            compare(band.displayText, shownItems(band)[2])
            band.forceActiveFocus()
            keyClick(Qt.Key_Up)
            ui.focusDistanceIndex = 0
            compare(focus.displayText, shownItems(focus)[0])
            focus.forceActiveFocus()
            keyClick(Qt.Key_Down)
            compare(ui.calls, ["setFrequencyBandMode:Single bin", "setFocusDistanceIndex:1"])
            ui.frequencyBandMode = "1/3 octave"
        }

        function test_bandModeEditableOnlyWhenAllowedAndUnlocked() {
            const combo = child("bandModeCombo")
            verify(combo.enabled)
            ui.frequencyBandMode = "Custom bandwidth"
            compare(combo.currentIndex, 2)
            ui.canEditFrequencyBand = false
            verify(!combo.enabled)
            ui.canEditFrequencyBand = true
            panel.bandLocked = true
            verify(!combo.enabled)
            ui.frequencyBandMode = "1/3 octave"
        }

        function test_labelsShowTheControllersValues() {
            ui.dynamicRange = 12.34
            ui.levelGateDbfs = -72.6
            ui.heatmapOpacity = 0.826
            ui.airTemperatureC = 24.4
            ui.speedOfSoundMps = 345.6
            ui.confidenceThresholdDb = 1.25
            compare(child("rangeLabel").text, "Range 12.3 dB")
            compare(child("gateLabel").text, "Level gate -73 dBFS")
            compare(child("alphaLabel").text, "Alpha 83%")
            compare(child("airLabel").text, "Air temp 24 °C · 346 m/s")
            compare(child("confidenceLabel").text, "Confidence 1.3 dB")
            compare(child("rangeSlider").value, 12.34)
            ui.dynamicRange = 30
            ui.levelGateDbfs = -90
            ui.heatmapOpacity = 0.82
        }

        function test_sliderMoveCallsTheSetterAndShowsTheControllerValue() {
            const slider = child("gateSlider")
            compare(slider.value, ui.levelGateDbfs)
            mouseClick(slider, slider.width * 0.9, slider.height / 2)
            const calls = ui.calls.filter(c => c.startsWith("setLevelGateDbfs:"))
            verify(calls.length >= 1)
            const sent = parseFloat(calls[0].split(":")[1])
            verify(sent > -30 && sent <= 0 && Number.isInteger(sent), "the value under the pointer, in 1 dB steps: " + sent)
            for (const call of calls)
                compare(call, calls[0])
            compare(slider.value, ui.levelGateDbfs, "the stand-in kept its gate")
        }

        function test_integrationTimeChoices_data() {
            return [{tag: "0.1", tau: 0.1, index: 0}, {tag: "2", tau: 2, index: 3},
                    {tag: "off the list", tau: 0.75, index: 0}]
        }

        function test_integrationTimeChoices(data) {
            ui.csmTauSeconds = data.tau
            const combo = child("tauCombo")
            compare(combo.currentIndex, data.index)
            compare(combo.displayText, [0.1, 0.5, 1, 2][data.index] + " s")
        }

        function test_integrationTimeIsWrittenToTheController() {
            const combo = child("tauCombo")
            combo.forceActiveFocus()
            keyClick(Qt.Key_Down)
            compare(ui.csmTauSeconds, 1)
            compare(combo.currentIndex, 2)
        }

        function test_styleAndScaleNames() {
            const style = child("styleCombo")
            ui.heatmapStyle = 2
            compare(style.displayText, "Contour + fill")
            ui.heatmapStyle = 3
            compare(style.displayText, "Peak cross")
            ui.heatmapStyle = 0
            const scale = child("scaleCombo")
            compare(scale.currentIndex, 0)
            ui.heatmapScaleMode = "Fixed dBFS"
            compare(scale.currentIndex, 1)
            scale.forceActiveFocus()
            keyClick(Qt.Key_Up)
            compare(ui.calls, ["setHeatmapScaleMode:Auto peak"])
            compare(scale.currentIndex, 1)
            ui.heatmapScaleMode = "Auto peak"
        }

        // The switch has no label of its own: the pointer over it says what it does, or why it is off.
        function test_noiseSwitchTurnsOnOnlyWithAValidProfile_data() {
            const what = "Subtract the calibrated background noise from the map"
            const calibrate = "Noise subtraction needs a calibration of this device profile first"
            const wait = "Noise subtraction waits for the calibration to end"
            return [
                {tag: "off, no profile", on: false, valid: false, calibrating: false, enabled: false, tip: calibrate},
                {tag: "off, valid profile", on: false, valid: true, calibrating: false, enabled: true, tip: what},
                {tag: "on, invalid profile", on: true, valid: false, calibrating: false, enabled: true, tip: what},
                {tag: "on, calibrating", on: true, valid: true, calibrating: true, enabled: false, tip: wait},
                {tag: "off, calibrating", on: false, valid: true, calibrating: true, enabled: false, tip: wait}
            ]
        }

        function test_noiseSwitchTurnsOnOnlyWithAValidProfile(data) {
            ui.noiseSubtractionEnabled = data.on
            ui.noiseProfileValid = data.valid
            ui.noiseCalibrating = data.calibrating
            const toggle = child("noiseSwitch")
            compare(toggle.enabled, data.enabled)
            compare(toggle.checked, data.on)
            verify(Qt.colorEqual(child("noiseProfileLine").color, data.valid ? Theme.muted : Theme.warning))
            mouseMove(toggle, toggle.width / 2, toggle.height / 2)
            tryVerify(() => toggle.hovered)
            verify(toggle.ToolTip.visible)
            compare(toggle.ToolTip.text, data.tip)
            mouseMove(host, 1, 1)
        }

        function test_calibrateAndSwitchesCallTheController() {
            ui.canCalibrateNoise = true
            mouseClick(child("calibrateButton"))
            ui.noiseProfileValid = true
            mouseClick(child("noiseSwitch"))
            mouseClick(child("diagonalSwitch"))
            compare(ui.calls, ["startNoiseCalibration", "setNoiseSubtractionEnabled:true",
                               "setDiagonalRemoval:true"])
            verify(!child("noiseSwitch").checked, "the stand-in kept subtraction off")
            verify(!child("diagonalSwitch").checked)
            ui.canCalibrateNoise = false
            verify(!child("calibrateButton").enabled)
        }

        function test_calibrateSaysWhyItIsDisabled_data() {
            return [
                {tag: "Live stopped", session: "Ready", tip: "Start Live to calibrate the background noise"},
                {tag: "a Replay runs", session: "Ready", replay: true,
                 tip: "Background noise is calibrated from Live: stop the Replay and start Live"},
                {tag: "a Recording runs", session: "Running", recording: true,
                 tip: "Calibrate before or after a Recording, not during it"},
                {tag: "Live runs", session: "Running", can: true, tip: ""}]
        }

        function test_calibrateSaysWhyItIsDisabled(data) {
            ui.sessionState = data.session
            ui.replayActive = !!data.replay
            ui.recording = !!data.recording
            ui.canCalibrateNoise = !!data.can
            const button = child("calibrateButton")
            compare(button.enabled, data.tip === "")
            button.hoverEnabled = true
            mouseMove(button, button.width / 2, button.height / 2)
            tryVerify(() => button.hovered)
            compare(button.ToolTip.visible, data.tip !== "")
            if (data.tip !== "")
                compare(button.ToolTip.text, data.tip)
            mouseMove(panel, 1, 1)
            ui.sessionState = "NoProfile"
            ui.replayActive = false
            ui.recording = false
            ui.canCalibrateNoise = false
        }

        function test_bandLineAndHint() {
            compare(child("bandLine").text, "Frequency band is selected automatically")
            ui.effectiveBandLowHz = 891.25
            ui.effectiveBandHighHz = 1122.0
            ui.effectiveBinCount = 24
            ui.hasHeatmap = true
            compare(child("bandLine").text, "891.3–1122.0 Hz · 24 bins (auto)")
            verify(!child("bandHintLine").visible)
            panel.bandHint = "band edits recompute at the current replay position"
            verify(child("bandHintLine").visible)
            compare(child("bandHintLine").text, panel.bandHint)
        }

        function test_onlyDiagonalRemovalMeansNoDrawer() {
            compare(panel.visibleParameterFieldCount(), 0)
            verify(!child("drawerBar").visible)
            verify(!popup().visible)
            ui.algorithmParameterFields = []
            verify(!child("drawerBar").visible)
        }

        function test_drawerListsEveryFieldButDiagonalRemoval() {
            ui.algorithm = "05 MUSIC"
            ui.algorithmParameterFields = host.mixedFields
            compare(panel.visibleParameterFieldCount(), 4)
            verify(child("drawerBar").visible)
            tryVerify(() => popup().opened, 2000, "open by default")
            compare(child("drawerAlgorithm").text, "05 MUSIC")
            verify(!field("remove_csm_diagonal").visible)
            for (const key of ["music_source_count", "mvdr_loading", "phat_zero_diagonal", "clean_stop_db"])
                verify(field(key).visible, key)
            compare(child("integerEditor", field("music_source_count")).value, 3)
            compare(child("realEditor", field("mvdr_loading")).text, "1.00e-3")
            verify(child("flagEditor", field("phat_zero_diagonal")).checked)
            compare(child("realEditor", field("clean_stop_db")).text, "-2.00e+1")
        }

        function test_closingThePopupCollapsesTheDrawer() {
            ui.algorithmParameterFields = host.mixedFields
            tryVerify(() => popup().opened)
            const button = child("drawerButton")
            compare(button.text, "▾ Algorithm parameters")
            mouseClick(child("rangeSlider"), 1, 1)
            tryVerify(() => !popup().visible, 2000, "a click outside closes it")
            verify(!panel.parametersExpanded)
            compare(button.text, "▸ Algorithm parameters")
            mouseClick(button)
            tryVerify(() => popup().opened)
            verify(panel.parametersExpanded)
        }

        function test_aShortWindowStartsClosedAndKeepsTheUsersOpen() {
            ui.algorithmParameterFields = host.mixedFields
            panel.shortWindow = true
            tryVerify(() => !popup().visible, 2000, "closed on a short window")
            verify(!child("paramsRoom").visible)
            mouseClick(child("drawerButton"))
            tryVerify(() => popup().opened)
            panel.shortWindow = false
            panel.shortWindow = true
            verify(panel.parametersExpanded, "the user's open is kept")
            verify(popup().visible)
        }

        function test_editorsCallTheParameterSetter() {
            ui.algorithmParameterFields = host.mixedFields
            openedPopup()
            ui.calls = []
            mouseClick(child("flagEditor", field("phat_zero_diagonal")))
            compare(ui.calls, ["setBeamformingParameter:phat_zero_diagonal=0"])
            verify(child("flagEditor", field("phat_zero_diagonal")).checked, "shows the controller's flag")

            ui.calls = []
            const real = child("realEditor", field("mvdr_loading"))
            real.forceActiveFocus()
            real.selectAll()
            for (const ch of "2.5e-4")
                keyClick(ch)
            keyClick(Qt.Key_Return)
            compare(ui.calls, ["setBeamformingParameter:mvdr_loading=0.00025"])
            compare(real.text, "1.00e-3", "shows the controller's value again")

            ui.calls = []
            real.text = "1e999"
            real.editingFinished()
            compare(ui.calls, [], "a value that is not finite is not sent")
        }

        function test_integerEditsAreSentOnceAfterTheUserStops() {
            ui.algorithmParameterFields = host.mixedFields
            openedPopup()
            ui.calls = []
            const spin = child("integerEditor", field("music_source_count"))
            spin.forceActiveFocus()
            keyClick(Qt.Key_Up)
            keyClick(Qt.Key_Up)
            compare(spin.value, 5)
            compare(ui.calls, [], "nothing while the user is still changing it")
            tryCompare(ui, "calls", ["setBeamformingParameter:music_source_count=5"], 2000)
            compare(spin.value, 3, "then the controller's value shows")
        }
    }
}
