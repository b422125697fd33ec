import QtQuick

// Stands in for the device controller: its state as plain properties, its operations recorded by name.
QtObject {
    signal netParamsWritten()

    property var calls: []
    property var serialPorts: []
    property int selectedPortIndex: -1
    property bool busy: false
    property string busyLabel: ""
    property bool canOperate: false
    property bool canWrite: false
    property int gain: 3
    property string hardwareId: ""
    property string netSummary: ""
    property var netParams: ({})
    property string firSummary: ""
    property var firPresetIds: []
    property string logText: ""
    property var adapterList: []

    function record(call) { calls = calls.concat([call]) }
    function refreshPorts() { record("refreshPorts") }
    function probeAndSelect() { record("probeAndSelect") }
    function readHardwareId() { record("readHardwareId") }
    function readNetParams() { record("readNetParams") }
    function readFir() { record("readFir") }
    function writeNetParams(boardMac, boardIp, targetMac, targetIp, sourcePort, targetPort) {
        record("writeNetParams:" + [boardMac, boardIp, targetMac, targetIp, sourcePort, targetPort].join("|"))
    }
    function writeFirPreset(id) { record("writeFirPreset:" + id) }
    function rebootDevice() { record("rebootDevice") }
    function clearLog() { record("clearLog") }
    function setActEnabled(on) { record("setActEnabled:" + on) }
    function networkAdapters() { record("networkAdapters"); return adapterList }
    function autoConfigureNetwork(index) { record("autoConfigureNetwork:" + index) }
}
