import QtQuick

// Stands in for the camera filter chain: the sinks it was given, its watchdog switch and restarts.
QtObject {
    signal restartRequested()

    property var inputs: []
    property var liveSinks: []
    property bool watchdogArmed: false
    property int restartCount: 0

    function attachInput(sink) { inputs = inputs.concat([sink]) }
    function attachLiveSink(sink) { liveSinks = liveSinks.concat([sink]) }
}
