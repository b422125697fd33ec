import QtQuick
import QtQuick.Controls
import QtTest
import SorvantaApp

// The Analysis page on the real controller: a recorded plane wave recomputed, saved and exported
// through the page's own buttons, as a user does it.
Item {
    id: host
    width: 1500
    height: 1000

    AnalysisPage {
        id: page
        anchors.fill: parent
    }

    TestCase {
        name: "AnalysisPageOnTheController"
        when: windowShown

        function child(name) {
            const found = findChild(page, name)
            verify(found !== null, "no child " + name)
            return found
        }

        function clickButton(name) {
            const button = child(name)
            verify(button.enabled, name + " is enabled")
            button.clicked()
        }

        function test_aRecordedPlaneWaveIsRecomputedSavedAndExported() {
            compare(child("emptyRunsText").text, "Select a Measurement first")
            verify(!child("createButton").enabled)
            const project = fixture.makeWaveProject()
            ui.openProject(project)
            compare(ui.selectedMeasurementId, "m_wave")
            compare(child("measurementInputPanel").subtitle, "m_wave")
            compare(child("emptyRunsText").text, "No AnalysisRun yet\nCreate the first full recompute")

            // The form writes the controller, and shows what the controller holds.
            child("bandCombo").activated(0)
            compare(ui.analysisBandMode, "Single")
            // The centre shows the bin the run will record (bin 43 of 256 points at 48 kHz), not the value typed.
            ui.analysisFrameSize = 256
            ui.analysisFrequencyHz = 8016
            compare(ui.analysisFrequencyHz, 8062.5)
            compare(child("centerSpin").contentItem.text.replace(/[^0-9.]/g, ""), "8062.5")
            ui.analysisFrequencyHz = 8062.5
            mouseClick(child("advancedToggle"))
            child("frameCombo").activated(2)
            compare(ui.analysisFrameSize, 1024)
            ui.analysisHopSize = 512
            compare(child("hopSpin").value, 512)
            compare(child("hopSpin").to, 1024)

            clickButton("createButton")
            verify(ui.analysisBusy)
            compare(child("createButton").text, "Computing…")
            verify(!child("algorithmCombo").enabled)
            tryVerify(() => !ui.analysisBusy, 120000, "the run ends")
            verify(ui.hasPendingAnalysis, ui.analysisStatus)
            verify(child("pendingPanel").visible)
            verify(!child("selectedRunPanel").visible)
            verify(child("analysisCanvas").mapVisible)
            compare(child("analysisCanvas").panelSubtitle, "Unsaved result - save to keep it")
            verify(child("analysisStatusLabel").text.startsWith("Analysis computed - not saved yet: DAS · 8062.5 Hz"))
            // The level the map reads is the level its row keeps.
            const shown = /· (-?[0-9.]+) dBFS$/.exec(child("peakText").text)
            verify(shown !== null, child("peakText").text)

            clickButton("saveButton")
            verify(!ui.hasPendingAnalysis)
            const list = child("analysisList")
            compare(list.count, 1)
            compare(child("runCount").text, "1")
            const row = list.itemAtIndex(0)
            compare(findChild(row, "runSummary").text, "DAS · 1 bins · frame 1024/512 · grid 1.0°")
            compare(findChild(row, "runPeak").text,
                    "peak 10.0° / -5.0° · " + shown[1] + " dBFS · map saved · full recompute")
            verify(child("peakText").text.endsWith(shown[0]), "the saved run's map reads the same level")
            verify(child("selectedRunPanel").visible)
            compare(child("selectedRunPanel").title, ui.selectedAnalysisId)
            verify(child("provenanceText").text.startsWith("full recompute · 48000 input / 92 processed frames"))

            clickButton("exportButton")
            verify(fixture.exists(project + "/exports/" + ui.selectedAnalysisId + "/map.csv"))
            verify(fixture.exists(project + "/exports/" + ui.selectedAnalysisId + "/export.json"))
            // The page itself confirms the export: the status strip is on the Live page only.
            verify(child("analysisStatusLabel").visible)
            compare(child("analysisStatusLabel").text, ui.statusText)
            verify(ui.statusText.startsWith("Exported map.csv + export.json to "), ui.statusText)
        }

        // By the pointer alone, in a locale of decimal commas: a click into the centre frequency, then on
        // Create AnalysisRun. The run and its export keep the frequency the field showed.
        function test_theCentreFrequencyClickedThroughIsTheRunsFrequency() {
            page.locale = Qt.locale("de_DE")
            ui.openProject(fixture.makeWaveProject())
            ui.analysisBandMode = "Single"
            ui.analysisFrameSize = 256
            ui.analysisGridStepDeg = 5
            // Bin 43 of 256 points at 48 kHz, between whole hertz.
            ui.analysisFrequencyHz = 8016
            const centre = child("centerSpin")
            const shown = centre.contentItem.text
            compare(shown, "8.062,5")
            mouseClick(centre.contentItem)
            verify(centre.contentItem.activeFocus)
            const create = child("createButton")
            verify(create.mapToItem(host, 0, create.height).y < host.height, "Create AnalysisRun is in sight")
            mouseClick(create)
            verify(!centre.contentItem.activeFocus)
            tryVerify(() => ui.hasPendingAnalysis && !ui.analysisBusy, 120000, "the run ends")
            compare(centre.contentItem.text, shown)
            clickButton("saveButton")
            const run = ui.analysisRuns[ui.selectedAnalysisIndex]
            compare(run.frequencyHz, Number.fromLocaleString(page.locale, shown))
            // The whole second of the Measurement, as the run's row says.
            compare(findChild(child("runRow" + ui.selectedAnalysisIndex), "runWindow").text, "0.00–1.00 s")
            clickButton("exportButton")
            const exported = JSON.parse(fixture.readText(ui.projectPath + "/exports/" + ui.selectedAnalysisId
                                                         + "/export.json"))
            compare(exported.algorithm.centerFrequencyHz, 8062.5)
            page.locale = Qt.locale()
        }

        // The controller holds one map: while Live draws into it the page says which run waits, and
        // shows that run as soon as Live stops.
        function test_aRunSelectedWhileLiveRunsShowsAsSoonAsLiveStops() {
            const path = fixture.makeProject(1, "LiveHolds")
            fixture.addAnalysisRun(path, "m_1", "a_map", true)
            ui.importProfile(fixture.profilePath("small-4.device.json"))
            ui.setSource("Synthetic")
            ui.openProject(path)
            compare(ui.selectedAnalysisId, "a_map")
            const canvas = child("analysisCanvas")
            tryVerify(() => canvas.mapVisible, 5000, "the run's map shows")

            ui.startLive()
            tryCompare(ui, "sessionState", "Running", 10000)
            tryCompare(ui, "mapSource", "live", 20000)
            verify(!canvas.mapVisible)
            const waiting = "Live holds the map: a_map shows as soon as Live stops"
            compare(child("emptyPrimary").text, waiting)
            // Clicked again while Live runs, the run is still named, never "nothing selected".
            mouseClick(child("runRow0"))
            compare(ui.selectedAnalysisId, "a_map")
            tryCompare(ui, "mapSource", "live", 20000)
            compare(child("emptyPrimary").text, waiting)

            ui.stopLive()
            compare(ui.sessionState, "Ready")
            tryVerify(() => canvas.mapVisible, 5000, "the run shows once Live stops")
            compare(ui.mapSource, "analysis")
            compare(ui.peakAzimuth, 10)
        }

        function test_anUnreadableRunIsListedWithItsReasonAndCannotBeSelected() {
            const path = fixture.makeProject(1, "BrokenRun")
            fixture.addAnalysisRun(path, "m_1", "a_1")
            fixture.addAnalysisRun(path, "m_1", "a_2")
            fixture.touch(path + "/measurements/m_1/analyses/a_2/analysis.json")
            ui.openProject(path)
            compare(ui.analysisRunCount, 2)
            compare(ui.selectedAnalysisId, "a_1")
            const broken = child("runRow1")
            compare(broken.height, 66)
            const reason = findChild(broken, "runSummary").text
            verify(reason.startsWith("analysis.json: "), reason)
            mouseClick(broken)
            compare(ui.selectedAnalysisIndex, 0)
        }
    }
}
