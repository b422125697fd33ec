import QtQuick
import QtQuick.Controls
import QtTest
import SorvantaApp

// The Device page over the stand-in controllers: what each control calls, what enables it, the texts
// for each state and the array drawing, whose dots are found in the rendered pixels.
Item {
    id: host
    width: 1500
    height: 1000

    Component {
        id: pageComponent
        DevicePage {
            anchors.fill: parent
        }
    }

    TestCase {
        name: "DevicePage"
        when: windowShown

        property var page: null

        function child(name) {
            const found = findChild(page, name)
            verify(found !== null, "no child " + name)
            return found
        }

        function lastCall(fake) {
            return fake.calls.length > 0 ? fake.calls[fake.calls.length - 1] : ""
        }

        function init() {
            ui.calls = []
            ui.hasProfile = false
            ui.profileInfo = ""
            ui.profilePath = ""
            ui.profileGeometry = []
            ui.canImportProfile = true
            ui.source = "UDP"
            deviceCtl.calls = []
            deviceCtl.busy = false
            deviceCtl.busyLabel = ""
            deviceCtl.canOperate = true
            deviceCtl.canWrite = true
            deviceCtl.serialPorts = ["ttyUSB0 (CP2102)", "ttyS0"]
            deviceCtl.selectedPortIndex = 0
            deviceCtl.hardwareId = ""
            deviceCtl.netParams = ({})
            deviceCtl.firPresetIds = ["flat", "hp200"]
            deviceCtl.adapterList = [{label: "eth0 192.168.0.3/24", ip: "192.168.0.3", mask: "255.255.255.0"}]
            page = createTemporaryObject(pageComponent, host)
            verify(page !== null)
            waitForRendering(page)
        }

        function closeDialogs() {
            for (const name of ["autoNetDialog", "netWriteDialog", "rebootDialog", "firWriteDialog"]) {
                child(name).close()
                tryVerify(() => !child(name).visible)
            }
        }

        function cleanup() {
            closeDialogs()
        }

        function openedDialog(name) {
            const dialog = child(name)
            tryVerify(() => dialog.opened, 2000, name + " opens")
            return dialog
        }

        function test_everySerialActionIsDisabledWhileBusyAndTheBusyLineNamesIt() {
            const serial = ["refreshPortsButton", "probeButton", "gainSpin", "readIdButton", "actEnableButton",
                            "actDisableButton", "readNetButton", "writeNetButton", "refreshAdaptersButton",
                            "autoNetButton", "readFirButton", "writeFirButton"]
            for (const name of serial)
                verify(child(name).enabled, name + " enabled while idle")
            verify(!child("busyLine").visible)
            deviceCtl.busyLabel = "Reading hardware ID"
            deviceCtl.busy = true
            for (const name of serial)
                verify(!child(name).enabled, name + " disabled while busy")
            verify(child("busyLine").visible)
            compare(child("busyLine").text, "Reading hardware ID")
            verify(child("clearLogButton").enabled)
        }

        function test_withoutAUsablePortOnlyPortListingStaysEnabled() {
            deviceCtl.canOperate = false
            deviceCtl.canWrite = false
            verify(child("refreshPortsButton").enabled)
            verify(child("probeButton").enabled)
            for (const name of ["gainSpin", "readIdButton", "actEnableButton", "readNetButton", "writeNetButton",
                                "autoNetButton", "readFirButton", "writeFirButton"])
                verify(!child(name).enabled, name)
        }

        function test_buttonsCallTheirOperations() {
            const expected = [["refreshPortsButton", "refreshPorts"], ["probeButton", "probeAndSelect"],
                              ["readIdButton", "readHardwareId"], ["actEnableButton", "setActEnabled:true"],
                              ["actDisableButton", "setActEnabled:false"], ["readNetButton", "readNetParams"],
                              ["readFirButton", "readFir"], ["clearLogButton", "clearLog"]]
            for (const [button, call] of expected) {
                mouseClick(child(button))
                compare(lastCall(deviceCtl), call, button)
            }
        }

        function test_hardwareIdLineAndPortChoice() {
            compare(child("hardwareIdLine").text, "Hardware ID: not read")
            deviceCtl.hardwareId = "ZK-0042"
            compare(child("hardwareIdLine").text, "Hardware ID: ZK-0042")
            const combo = child("portCombo")
            compare(combo.currentIndex, 0)
            combo.activated(1)
            compare(deviceCtl.selectedPortIndex, 1)
            deviceCtl.selectedPortIndex = 0
            compare(combo.currentIndex, 0)
        }

        function test_gainChangesByTheUserReachTheController() {
            const spin = child("gainSpin")
            compare(spin.value, 3)
            spin.increase()
            spin.valueModified()
            compare(deviceCtl.gain, 4)
            deviceCtl.gain = 9
            compare(spin.value, 9)
            deviceCtl.gain = 3
        }

        function test_importNeedsATypedPathAndSendsItAsTyped() {
            const field = child("profileField")
            const importButton = child("importProfileButton")
            verify(!importButton.enabled)
            field.text = "   "
            verify(!importButton.enabled)
            field.text = " /data/arrays/ring.device.json"
            verify(importButton.enabled)
            mouseClick(importButton)
            compare(lastCall(ui), "importProfile: /data/arrays/ring.device.json")
            ui.canImportProfile = false
            verify(!importButton.enabled)
            verify(!child("browseProfileButton").enabled)
            compare(child("profilePicker").initialPath, "/profiles")
            child("profilePicker").picked("/data/picked.device.json")
            compare(field.text, "/data/picked.device.json")
            ui.profilePath = "/data/a.device.json"
            compare(child("profilePicker").initialPath, "/data/a.device.json")
            compare(field.text, "/data/a.device.json")
        }

        function test_sourceAndSimulatedDirection() {
            verify(!child("azimuthSpin").visible)
            child("sourceCombo").activated(0)
            compare(lastCall(ui), "setSource:Synthetic")
            compare(child("sourceCombo").currentIndex, 1)  // the controller kept UDP
            ui.source = "Synthetic"
            compare(child("sourceCombo").currentIndex, 0)
            verify(child("azimuthSpin").visible)
            verify(child("elevationSpin").visible)
            compare(child("azimuthSpin").to, 80)
            compare(child("elevationSpin").from, -60)
            ui.azimuth = 12.6
            compare(child("azimuthSpin").value, 13)
            ui.canEditAcquisition = false
            verify(!child("azimuthSpin").enabled)
            ui.canEditAcquisition = true
            ui.azimuth = 0
        }

        // Each profile and source control that a session locks says why under the pointer.
        function test_aLockedProfileOrSourceControlSaysWhy_data() {
            const liveProfile = "Stop Live before importing a Device Profile"
            const liveSource = "Stop Live before changing the source"
            const replaySource = "Stop the Replay before changing the source"
            const saving = "Wait until the Recording is saved"
            return [
                {tag: "live runs", session: "Running", importing: false, changing: false,
                 tips: [liveProfile, liveProfile, liveSource, liveSource, liveSource]},
                {tag: "a replay runs", replay: true, importing: true, changing: false,
                 tips: ["", "", replaySource, replaySource, replaySource]},
                {tag: "a Recording is being saved", finalizing: true, importing: false, changing: false,
                 tips: [saving, saving, saving, saving, saving]},
                {tag: "no path typed", path: " ", importing: true, changing: true,
                 tips: ["", "Type a Device Profile's path or browse for one", "", "", ""]}]
        }

        function test_aLockedProfileOrSourceControlSaysWhy(data) {
            ui.source = "Synthetic"
            ui.sessionState = data.session || "Ready"
            ui.replayActive = !!data.replay
            ui.recordingFinalizing = !!data.finalizing
            ui.canImportProfile = data.importing
            ui.canChangeSource = data.changing
            ui.canEditAcquisition = data.changing
            child("profileField").text = data.path !== undefined ? data.path : "/data/a.device.json"
            const names = ["browseProfileButton", "importProfileButton", "sourceCombo", "azimuthSpin", "elevationSpin"]
            for (let i = 0; i < names.length; ++i) {
                const control = child(names[i])
                compare(control.enabled, data.tips[i] === "", names[i])
                control.hoverEnabled = true
                mouseMove(control, control.width / 2, control.height / 2)
                tryVerify(() => control.hovered, 2000, names[i])
                compare(control.ToolTip.visible, data.tips[i] !== "", names[i])
                if (data.tips[i] !== "")
                    compare(control.ToolTip.text, data.tips[i], names[i])
                mouseMove(page, 1, 1)
            }
            ui.sessionState = "NoProfile"
            ui.replayActive = false
            ui.recordingFinalizing = false
            ui.canChangeSource = true
            ui.canEditAcquisition = true
        }

        function test_oneMicrophoneShowsTheHintInsteadOfTheDrawing() {
            ui.hasProfile = true
            ui.profileInfo = "one mic"
            ui.profileGeometry = [{x: 0, y: 0}]
            verify(!child("geometryLine").visible)
            verify(!child("arrayCanvas").visible)
            verify(child("layoutHint").visible)
            compare(child("profileLine").text, "one mic")
            ui.hasProfile = false
            compare(child("profileLine").text, "No validated profile loaded")
        }

        // A dot's centre, as the drawing places it: equal scale on both axes, the array centred.
        function canvasPoint(canvas, points, p) {
            const xs = points.map(q => q.x), ys = points.map(q => q.y)
            const minX = Math.min(...xs), maxX = Math.max(...xs), minY = Math.min(...ys), maxY = Math.max(...ys)
            const scale = Math.min((canvas.width - 32) / Math.max(maxX - minX, 1e-6),
                                   (canvas.height - 32) / Math.max(maxY - minY, 1e-6))
            return {x: canvas.width / 2 + (p.x - (minX + maxX) / 2) * scale,
                    y: canvas.height / 2 - (p.y - (minY + maxY) / 2) * scale}
        }

        // Whether the canvas's own pixels at (x, y) are the accent colour.
        function isAccent(canvas, x, y) {
            const data = canvas.getContext("2d").getImageData(Math.round(x), Math.round(y), 1, 1).data
            return Math.abs(data[0] / 255 - Theme.accent.r) < 0.08 && Math.abs(data[1] / 255 - Theme.accent.g) < 0.08
                && Math.abs(data[2] / 255 - Theme.accent.b) < 0.08 && data[3] > 200
        }

        function test_aLinearArrayIsDrawnScaledByItsLengthAlone() {
            const points = [{x: -0.05, y: 0.02}, {x: 0, y: 0.02}, {x: 0.05, y: 0.02}]
            ui.profileGeometry = points
            ui.hasProfile = true
            ui.profileInfo = "line of 3"
            compare(child("geometryLine").text, "3 ch · 0.100 m × 0.000 m")
            const canvas = child("arrayCanvas")
            verify(canvas.visible)
            verify(!child("layoutHint").visible)
            compare(canvas.dotRadius, 3)
            waitForRendering(canvas)
            tryVerify(() => points.every(p => {
                const at = canvasPoint(canvas, points, p)
                return isAccent(canvas, at.x, at.y)
            }), 3000, "every microphone drawn where the closed form places it")
            // The ends sit 16 px in from the sides; nothing is drawn off the line.
            compare(Math.round(canvasPoint(canvas, points, points[0]).x), 16)
            verify(!isAccent(canvas, canvas.width / 2, canvas.height / 2 - 20))
            verify(!isAccent(canvas, canvas.width / 4, canvas.height / 2))
        }

        function test_largeArraysUseSmallerDots() {
            const points = []
            for (let i = 0; i < 65; ++i)
                points.push({x: Math.cos(i / 65 * 2 * Math.PI) * 0.3, y: Math.sin(i / 65 * 2 * Math.PI) * 0.3})
            ui.profileGeometry = points
            ui.hasProfile = true
            ui.profileInfo = "ring of 65"
            compare(child("arrayCanvas").dotRadius, 2)
            compare(child("geometryLine").text, "65 ch · 0.600 m × " + (Math.max(...points.map(p => p.y))
                    - Math.min(...points.map(p => p.y))).toFixed(3) + " m")
            ui.profileGeometry = points.slice(0, 64)
            compare(child("arrayCanvas").dotRadius, 3)
        }

        function test_networkWriteShowsDefaultsForAnEmptyRecordAndDefaultPortsForEmptyFields() {
            mouseClick(child("writeNetButton"))
            openedDialog("netWriteDialog")
            compare(child("boardMacField").text, "00:11:22:33:44:55")
            compare(child("boardIpField").text, "192.168.0.100")
            compare(child("targetMacField").text, "FF:FF:FF:FF:FF:FF")
            compare(child("targetIpField").text, "192.168.0.3")
            compare(child("sourcePortField").text, "5555")
            compare(child("targetPortField").text, "6666")
            child("boardIpField").text = "10.0.0.7"
            child("sourcePortField").text = ""
            child("targetPortField").text = "0"
            mouseClick(child("netWriteConfirm"))
            tryVerify(() => !child("netWriteDialog").visible)
            compare(lastCall(deviceCtl),
                    "writeNetParams:00:11:22:33:44:55|10.0.0.7|FF:FF:FF:FF:FF:FF|192.168.0.3|5555|6666")
        }

        // Keys typed one by one: the field keeps only what could still become a port 1..65535.
        function test_portFieldsTakeOnlyPorts_data() {
            return [{tag: "highest port", keys: "65535", expected: "65535"},
                    {tag: "one above", keys: "65536", expected: "6553"},
                    {tag: "five nines", keys: "99999", expected: "9999"},
                    {tag: "zero", keys: "0", expected: ""},
                    {tag: "leading zero", keys: "080", expected: "80"},
                    {tag: "lowest port", keys: "1", expected: "1"},
                    {tag: "not digits", keys: "a1-", expected: "1"}]
        }

        function test_portFieldsTakeOnlyPorts(data) {
            mouseClick(child("writeNetButton"))
            openedDialog("netWriteDialog")
            for (const name of ["sourcePortField", "targetPortField"]) {
                const field = child(name)
                field.text = ""
                field.forceActiveFocus()
                for (const key of data.keys)
                    keyClick(key)
                compare(field.text, data.expected, name)
            }
        }

        // Texts set from a record bypass the validator; what is sent is still a port or the default.
        function test_portTextsOutsideTheRangeSendTheDefault_data() {
            return [{tag: "highest", text: "65535", sent: 65535}, {tag: "lowest", text: "1", sent: 1},
                    {tag: "zero", text: "0", sent: 5555}, {tag: "above", text: "65536", sent: 5555},
                    {tag: "fraction", text: "80.5", sent: 5555}, {tag: "blank", text: " ", sent: 5555},
                    {tag: "negative", text: "-80", sent: 5555}]
        }

        function test_portTextsOutsideTheRangeSendTheDefault(data) {
            compare(child("netWriteDialog").portValue(data.text, 5555), data.sent)
        }

        // Each confirmation is as wide as its column (a wrapped text must not widen it), and nothing in it
        // reaches past its frame.
        function test_deviceDialogsAreAsWideAsTheirContent_data() {
            return [{tag: "network write", dialog: "netWriteDialog", column: "netWriteColumn",
                     open: () => mouseClick(child("writeNetButton"))},
                    {tag: "reboot", dialog: "rebootDialog", column: "rebootColumn",
                     open: () => deviceCtl.netParamsWritten()},
                    {tag: "FIR write", dialog: "firWriteDialog", column: "firWriteColumn",
                     open: () => mouseClick(child("writeFirButton"))}]
        }

        function sticksOut(item, frame, path) {
            if (!item.visible)
                return []
            const at = item.mapToItem(frame, 0, 0)
            const found = at.x < -0.5 || at.y < -0.5 || at.x + item.width > frame.width + 0.5
                        || at.y + item.height > frame.height + 0.5 ? [path + " " + Math.round(at.x) + "+"
                                                                     + Math.round(item.width)] : []
            for (let i = 0; i < item.children.length; ++i)
                found.push(...sticksOut(item.children[i], frame, path + "/" + (item.children[i].objectName || i)))
            return found
        }

        function test_deviceDialogsAreAsWideAsTheirContent(data) {
            data.open()
            const dialog = openedDialog(data.dialog)
            const column = child(data.column)
            waitForRendering(column)
            // A title longer than the column may widen the dialog to show it whole, nothing else may.
            const fit = Math.max(column.width + dialog.leftPadding + dialog.rightPadding, dialog.implicitHeaderWidth)
            verify(dialog.width <= fit + 1, "dialog " + dialog.width + " for a column of " + column.width
                   + " under a title of " + dialog.implicitHeaderWidth)
            verify(dialog.availableWidth >= column.width, "column " + column.width + " in " + dialog.availableWidth)
            compare(sticksOut(column, dialog.contentItem, data.column), [])
        }

        function test_networkWriteStartsFromTheLastReadRecord() {
            deviceCtl.netParams = {boardMac: "02:00:00:00:00:01", boardIp: "192.168.1.50", targetMac: "",
                                   targetIp: "192.168.1.2", sourcePort: 7000, targetPort: 0}
            mouseClick(child("writeNetButton"))
            openedDialog("netWriteDialog")
            compare(child("boardMacField").text, "02:00:00:00:00:01")
            compare(child("targetMacField").text, "FF:FF:FF:FF:FF:FF")
            compare(child("sourcePortField").text, "7000")
            compare(child("targetPortField").text, "6666")
            mouseClick(child("netWriteConfirm"))
            compare(lastCall(deviceCtl),
                    "writeNetParams:02:00:00:00:00:01|192.168.1.50|FF:FF:FF:FF:FF:FF|192.168.1.2|7000|6666")
        }

        function test_aVerifiedNetworkWriteOffersTheReboot() {
            deviceCtl.netParamsWritten()
            openedDialog("rebootDialog")
            mouseClick(child("rebootLater"))
            tryVerify(() => !child("rebootDialog").visible)
            verify(deviceCtl.calls.indexOf("rebootDevice") < 0)
            deviceCtl.netParamsWritten()
            openedDialog("rebootDialog")
            mouseClick(child("rebootNow"))
            tryVerify(() => !child("rebootDialog").visible)
            compare(lastCall(deviceCtl), "rebootDevice")
        }

        function test_firPresetWriteNamesThePresetAndWritesIt() {
            const combo = child("firPresetCombo")
            combo.currentIndex = 1
            mouseClick(child("writeFirButton"))
            openedDialog("firWriteDialog")
            compare(child("firWriteText").text, "Write preset \"hp200\" from the active device profile to sector "
                    + "768? The sector is erased, written and read back for verification.")
            mouseClick(child("firWriteConfirm"))
            tryVerify(() => !child("firWriteDialog").visible)
            compare(lastCall(deviceCtl), "writeFirPreset:hp200")
            deviceCtl.firPresetIds = []
            verify(!child("writeFirButton").enabled)
        }

        function test_adaptersAreReadOnceAndAgainOnRefresh() {
            compare(deviceCtl.calls.filter(c => c === "networkAdapters").length, 1)
            deviceCtl.adapterList = deviceCtl.adapterList.concat([{label: "eth1 10.1.0.2/16"}])
            compare(child("netAdapterCombo").count, 1)
            mouseClick(child("refreshAdaptersButton"))
            compare(child("netAdapterCombo").count, 2)
            child("netAdapterCombo").currentIndex = 1
            mouseClick(child("autoNetButton"))
            openedDialog("autoNetDialog")
            verify(child("autoNetText").text.indexOf("Adapter: eth1 10.1.0.2/16") >= 0)
            child("autoNetDialog").accept()
            compare(lastCall(deviceCtl), "autoConfigureNetwork:1")
            deviceCtl.adapterList = []
            mouseClick(child("refreshAdaptersButton"))
            verify(!child("autoNetButton").enabled)
        }

        function test_logShowsTheControllersText() {
            deviceCtl.logText = "[10:00:01] Probe: ttyUSB0 speaks uart_v2\n"
            compare(child("logArea").text, deviceCtl.logText)
        }
    }
}
