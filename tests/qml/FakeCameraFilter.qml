import QtQuick

// Stands in for the camera filter chain: the sinks it was given, its watchdog switch and restarts.
QtObject {
    signal restartRequested()

    property var inputs: []
    property var liveSinks: []
    property var cameraSinks: []
    property bool watchdogArmed: false
    property int restartCount: 0
    property int mode: 0
    property real strength: 1.0

    function attachInput(sink) { inputs = inputs.concat([sink]) }
    function attachLiveSink(sink) { liveSinks = liveSinks.concat([sink]) }
    function attachCameraSink(sink) { cameraSinks = cameraSinks.concat([sink]) }
    // The Qt Multimedia pixel-format values of Motion-JPEG and YUYV.
    function pixelFormatJpeg() { return 29 }
    function pixelFormatYuyv() { return 17 }
}
