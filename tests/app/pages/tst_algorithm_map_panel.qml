import QtQuick
import QtTest
import SorvantaApp

// The algorithm and map panel on the real controller: the parameter fields of each algorithm come from
// the beamforming core's own table, and edits land in the controller or are refused by it.
Item {
    id: host
    width: 1400
    height: 800

    AlgorithmMapPanel {
        id: panel
        width: host.width
    }

    // The same panel on another page (the Live and the Replay page each have one).
    AlgorithmMapPanel {
        id: otherPanel
        y: 420
        width: host.width
    }

    SignalSpy {
        id: parametersChanged
        target: ui
        signalName: "beamformingParametersChanged"
    }

    TestCase {
        name: "AlgorithmMapPanelOnTheController"
        when: windowShown

        // The panel keys of every live algorithm, in the core's panel order.
        readonly property var expectedKeys: ({
            "01 DAS / Conventional": [],
            "02 Functional": ["functional_order", "functional_eigen_tolerance"],
            "03 MVDR / Capon": ["mvdr_loading", "mvdr_floor"],
            "04 Robust Capon": ["robust_capon_base_loading", "robust_capon_uncertainty",
                                "robust_capon_uncertainty_gain", "robust_capon_floor"],
            "05 MUSIC": ["music_source_count", "music_floor"],
            "06 Auto-MUSIC": ["auto_music_max_sources", "auto_music_estimator", "auto_music_floor",
                              "auto_music_eigen_floor"],
            "07 Orthogonal": ["orthogonal_max_modes", "orthogonal_eigen_threshold"],
            "08 SRP-PHAT": ["phat_floor", "phat_exponent", "phat_zero_diagonal"]
        })

        function child(name, parent) {
            const found = findChild(parent || panel, name)
            verify(found !== null, "no child " + name)
            return found
        }

        function chooseAlgorithm(index) {
            const combo = child("algorithmCombo")
            combo.activated(index)
            compare(ui.algorithm, combo.model[index])
            compare(combo.currentIndex, index)
        }

        function shownFields() {
            const popup = child("paramsPopup")
            if (!popup.visible)
                return []
            waitForItemPolished(popup.contentItem)
            const keys = []
            const rows = popup.contentItem.children
            for (let i = 0; i < rows.length; ++i) {
                const row = rows[i]
                if (row.objectName.startsWith("parameterField_") && row.visible)
                    keys.push(row.objectName.substring("parameterField_".length))
            }
            return keys
        }

        function editReal(key, text) {
            const field = child("realEditor", child("parameterField_" + key, child("paramsPopup").contentItem))
            field.forceActiveFocus()
            field.selectAll()
            for (const ch of text)
                keyClick(ch)
            keyClick(Qt.Key_Return)
            return field
        }

        function init() {
            panel.parametersExpanded = true
            otherPanel.parametersExpanded = true
        }

        function cleanup() {
            chooseAlgorithm(0)
        }

        function test_everyAlgorithmShowsItsOwnFields_data() {
            return Object.keys(expectedKeys).map((name, index) => ({tag: name, index: index}))
        }

        function test_everyAlgorithmShowsItsOwnFields(data) {
            chooseAlgorithm(data.index)
            const keys = expectedKeys[data.tag]
            compare(child("drawerBar").visible, keys.length > 0)
            if (keys.length > 0)
                tryVerify(() => child("paramsPopup").opened, 2000)
            compare(shownFields(), keys)
            compare(child("drawerAlgorithm").text, data.tag)
            for (const field of ui.algorithmParameterFields) {
                if (field.key === "remove_csm_diagonal")
                    continue
                const row = child("parameterField_" + field.key, child("paramsPopup").contentItem)
                const editor = field.type === "bool" ? "flagEditor" : field.type === "int" ? "integerEditor"
                                                                                       : "realEditor"
                verify(findChild(row, editor) !== null, field.key + " is edited as " + field.type)
            }
        }

        function test_realEditsReachTheControllerOrAreRefused() {
            chooseAlgorithm(2)
            tryVerify(() => child("paramsPopup").opened, 2000)
            const loading = editReal("mvdr_loading", "2.5e-2")
            fuzzyCompare(ui.beamformingParameterValue("mvdr_loading"), 0.025, 1e-15)
            compare(loading.text, "2.50e-2")
            const before = ui.beamformingParameterValue("mvdr_floor")
            const floor = editReal("mvdr_floor", "-1")
            compare(ui.beamformingParameterValue("mvdr_floor"), before, "a floor must stay above zero")
            compare(floor.text, before.toExponential(2), "the field shows the controller's value again")
        }

        function loadingEditor(onPanel) {
            return child("realEditor", child("parameterField_mvdr_loading",
                                             child("paramsPopup", onPanel).contentItem))
        }

        function test_everyPanelShowsTheControllersValue() {
            chooseAlgorithm(2)
            tryVerify(() => child("paramsPopup").opened && child("paramsPopup", otherPanel).opened, 2000)
            editReal("mvdr_loading", "2e-3")
            fuzzyCompare(ui.beamformingParameterValue("mvdr_loading"), 2e-3, 1e-15)
            compare(loadingEditor(otherPanel).text, "2.00e-3", "an edit on one page shows on the other")

            ui.setBeamformingParameter("mvdr_loading", 4e-3)
            compare(loadingEditor(panel).text, "4.00e-3")
            compare(loadingEditor(otherPanel).text, "4.00e-3")

            // A reset keeps the algorithm's parameters but sets the diagonal flag, one of them.
            ui.setDiagonalRemoval(false)
            parametersChanged.clear()
            ui.resetDefaults()
            compare(parametersChanged.count, 1)
            compare(ui.beamformingParameterValue("remove_csm_diagonal"), 1)
            for (const editor of [loadingEditor(panel), loadingEditor(otherPanel)])
                compare(editor.text, ui.beamformingParameterValue("mvdr_loading").toExponential(2))
        }

        function test_integerEditsReachTheControllerOnce() {
            chooseAlgorithm(4)
            tryVerify(() => child("paramsPopup").opened, 2000)
            const spin = child("integerEditor", child("parameterField_music_source_count",
                                                      child("paramsPopup").contentItem))
            const before = ui.beamformingParameterValue("music_source_count")
            compare(spin.value, before)
            spin.forceActiveFocus()
            keyClick(Qt.Key_Up)
            keyClick(Qt.Key_Up)
            tryCompare(ui, "statusText", "Parameter music_source_count updated", 2000)
            compare(ui.beamformingParameterValue("music_source_count"), before + 2)
            compare(spin.value, before + 2)
        }

        function test_flagEditsAndTheDiagonalSwitch() {
            chooseAlgorithm(7)
            tryVerify(() => child("paramsPopup").opened, 2000)
            const flag = child("flagEditor", child("parameterField_phat_zero_diagonal",
                                                   child("paramsPopup").contentItem))
            const before = ui.beamformingParameterValue("phat_zero_diagonal") >= 0.5
            compare(flag.checked, before)
            mouseClick(flag)
            compare(ui.beamformingParameterValue("phat_zero_diagonal") >= 0.5, !before)
            compare(flag.checked, !before)
            panel.parametersExpanded = false
            const diagonal = child("diagonalSwitch")
            const removal = ui.diagonalRemoval
            mouseClick(diagonal)
            compare(ui.diagonalRemoval, !removal)
            compare(diagonal.checked, !removal)
            mouseClick(diagonal)
            compare(ui.diagonalRemoval, removal)
        }

        function test_integrationTimeAndRefusedNoiseSubtraction() {
            panel.parametersExpanded = false
            const tau = child("tauCombo")
            tau.activated(3)
            compare(ui.csmTauSeconds, 2)
            compare(tau.currentIndex, 3)
            tau.activated(1)
            compare(ui.csmTauSeconds, 0.5)
            verify(!ui.noiseProfileValid)
            verify(!child("noiseSwitch").enabled, "no noise profile, nothing to subtract")
            verify(!child("calibrateButton").enabled, "no live session to calibrate")
        }
    }
}
