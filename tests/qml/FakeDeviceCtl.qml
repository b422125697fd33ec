import QtQuick

// Stands in for the device controller: the gain the signal monitor sends and whether a link is usable.
QtObject {
    property int gain: 0
    property bool canOperate: false
    property bool busy: false
}
