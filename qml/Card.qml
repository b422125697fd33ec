import QtQuick

Rectangle {
    id: card

    default property alias content: container.data

    radius: Theme.radius
    color: Theme.surface
    border.width: 1
    border.color: Theme.border
    implicitWidth: container.implicitWidth + 28
    implicitHeight: container.implicitHeight + 28

    Item {
        id: container
        anchors.fill: parent
        anchors.margins: 14
        implicitWidth: childrenRect.width
        implicitHeight: childrenRect.height
    }
}
