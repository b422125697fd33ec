import QtQuick
import QtTest
import SorvantaApp

// The Device page driving the real device controller; the serial port is a pseudo-terminal with a
// firmware behind it that keeps its flash pages in memory. Tests run in name order, one session.
Item {
    id: host
    width: 1500
    height: 1000

    DevicePage {
        id: page
        anchors.fill: parent
    }

    TestCase {
        name: "DevicePageSerial"
        when: windowShown

        function child(name) {
            const found = findChild(page, name)
            verify(found !== null, "no child " + name)
            return found
        }

        function waitIdle() {
            tryVerify(() => !deviceCtl.busy, 15000, "the queued action answered")
        }

        function openedDialog(name) {
            const dialog = child(name)
            tryVerify(() => dialog.opened, 2000, name + " opens")
            return dialog
        }

        function test_1_probeSelectsTheFirmwaresPortAndReadsItsId() {
            compare(child("portCombo").count, 1)
            compare(child("hardwareIdLine").text, "Hardware ID: not read")
            mouseClick(child("probeButton"))
            verify(deviceCtl.busy)
            verify(child("busyLine").visible)
            verify(!child("probeButton").enabled)
            verify(!child("readIdButton").enabled)
            waitIdle()
            compare(child("portCombo").currentIndex, 0)
            compare(child("hardwareIdLine").text, "Hardware ID: 0a 1b 2c 3d 4e 5f 60 71")
            verify(child("readIdButton").enabled)
            verify(child("logArea").text.indexOf("device answered on " + firmware.portName) >= 0)
        }

        function test_2_gainAndUdpOutputReachTheFirmware() {
            const spin = child("gainSpin")
            compare(spin.value, 3)
            spin.increase()
            spin.valueModified()
            waitIdle()
            compare(firmware.gains(), [4])
            compare(spin.value, 4)
            mouseClick(child("actDisableButton"))
            waitIdle()
            mouseClick(child("actEnableButton"))
            waitIdle()
            compare(firmware.acts(), [false, true])
        }

        function test_3_aNetworkWriteIsVerifiedReadBackAndOffersTheReboot() {
            mouseClick(child("readNetButton"))
            waitIdle()
            mouseClick(child("writeNetButton"))
            openedDialog("netWriteDialog")
            child("boardIpField").text = "192.168.0.77"
            child("targetPortField").text = ""
            const writesBefore = firmware.writes()
            mouseClick(child("netWriteConfirm"))
            openedDialog("rebootDialog")
            waitIdle()
            compare(firmware.writes(), writesBefore + 1)

            // Read back from the firmware's flash through the same link.
            mouseClick(child("readNetButton"))
            waitIdle()
            compare(deviceCtl.netParams.boardIp, "192.168.0.77")
            compare(deviceCtl.netParams.targetPort, 6666)
            compare(deviceCtl.netParams.sourcePort, 5555)
            verify(child("netSummaryLine").text.indexOf("192.168.0.77") >= 0)

            compare(firmware.resets(), 0)
            mouseClick(child("rebootNow"))
            tryVerify(() => !child("rebootDialog").visible)
            waitIdle()
            compare(firmware.resets(), 1)
        }

        function test_4_clearEmptiesTheLog() {
            verify(child("logArea").text !== "")
            mouseClick(child("clearLogButton"))
            compare(child("logArea").text, "")
        }
    }
}
