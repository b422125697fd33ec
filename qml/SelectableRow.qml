import QtQuick

// A row of a list that the pointer and the keyboard choose alike: a Tab stop with a wider accent
// outline while it has the focus, chosen by a click, Space or Enter while `choosable`.
Rectangle {
    id: row

    property bool selected: false
    property bool choosable: true
    property color restColor: Theme.plotBg

    signal chosen()

    activeFocusOnTab: choosable
    color: selected ? Theme.surfaceAlt : restColor
    border.width: activeFocus ? 2 : 1
    border.color: selected || activeFocus ? Theme.accent : Theme.border

    Keys.onSpacePressed: event => event.accepted = row.choose()
    Keys.onReturnPressed: event => event.accepted = row.choose()
    Keys.onEnterPressed: event => event.accepted = row.choose()

    function choose() {
        if (!choosable)
            return false
        chosen()
        return true
    }

    MouseArea {
        anchors.fill: parent
        enabled: row.choosable
        cursorShape: enabled ? Qt.PointingHandCursor : Qt.ArrowCursor
        onClicked: row.choose()
    }
}
