import QtQuick
import QtTest
import SorvantaApp

// The wheel of the plot panel on the real controller, which keeps the time windows within its limits.
Item {
    id: host
    width: 700
    height: 400

    DiagnosticPlotPanel {
        id: panel
        width: 640
        height: 300
        axisMode: "waveform"
    }

    TestCase {
        name: "DiagnosticPlotPanelOnTheController"
        when: windowShown

        function wheel(steps) {
            const box = findChild(panel, "axisBox")
            for (let i = 0; i < Math.abs(steps); ++i)
                mouseWheel(box, 200, 100, 0, steps > 0 ? 120 : -120)
        }

        function test_waveformWindowZoomsWithinItsLimits() {
            panel.wheelTarget = "waveform"
            ui.waveformWindowS = 1
            wheel(1)
            fuzzyCompare(ui.waveformWindowS, 0.8, 1e-12)
            wheel(-2)
            fuzzyCompare(ui.waveformWindowS, 1.25, 1e-12)
            wheel(-20)
            compare(ui.waveformWindowS, 5, "the longest window")
            compare(findChild(panel, "timeLabel0").text, "-5.00 s")
            wheel(40)
            compare(ui.waveformWindowS, 0.1, "the shortest window")
            compare(findChild(panel, "timeLabel0").text, "-100 ms")
        }

        function test_overlayWindowZoomsWithinItsLimits() {
            panel.wheelTarget = "overlay"
            ui.waveformWindowS = 1
            ui.overlayWindowS = 0.05
            wheel(1)
            fuzzyCompare(ui.overlayWindowS, 0.04, 1e-12)
            wheel(-30)
            compare(ui.overlayWindowS, 0.5)
            wheel(40)
            compare(ui.overlayWindowS, 0.005)
            compare(ui.waveformWindowS, 1, "the waveform window is left alone")
        }
    }
}
