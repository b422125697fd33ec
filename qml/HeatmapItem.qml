import QtQuick

Rectangle {
    id: root

    color: Theme.surfaceAlt
    radius: Theme.radius
    border.width: 1
    border.color: Theme.border

    HeatmapField {
        id: heatmap

        // An empty field texture decodes as the floor of the scale, so the field stays hidden until
        // the first map has been fetched and the card shows through.
        property bool hasField: false

        objectName: "heatmap"
        anchors.fill: parent
        anchors.margins: 8
        visible: hasField
    }

    Connections {
        target: ui

        function onHeatmapUpdated() {
            heatmap.reloadField()
            // Queued after the fetch that reloadField queues, so the field shows once it holds a map.
            Qt.callLater(function () {
                if (ui.hasHeatmap)
                    heatmap.hasField = true
            })
        }
    }
}
