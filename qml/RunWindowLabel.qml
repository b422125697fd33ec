import QtQuick

// The part of its Measurement an AnalysisRun covers, "start–end s": two runs of one Measurement at one
// frequency read apart by it. Empty for a run that names none.
ElidedLabel {
    property var run: ({})

    readonly property real startSeconds: Number(run.windowStartSeconds)
    readonly property real endSeconds: Number(run.windowEndSeconds)

    text: isFinite(startSeconds) && isFinite(endSeconds) && endSeconds > startSeconds
          ? qsTr("%1–%2 s").arg(startSeconds.toFixed(2)).arg(endSeconds.toFixed(2)) : ""
    color: Theme.muted
    font.pixelSize: Theme.fontSmall
    elide: Text.ElideRight
}
