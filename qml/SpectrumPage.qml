import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// The live map full-size under a title; not a workspace of the main window, loaded directly.
Page {
    id: root

    background: Rectangle {
        color: Theme.bg
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 18
        spacing: 12

        Label {
            objectName: "spectrumTitle"
            text: qsTr("Spectrum")
            color: Theme.text
            font.bold: true
            font.pixelSize: Theme.fontHero
        }

        HeatmapItem {
            objectName: "spectrumHeatmap"
            Layout.fillWidth: true
            Layout.fillHeight: true
        }
    }
}
