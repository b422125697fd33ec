import QtQuick

// Stands in for the language switch; remembers every language it was asked for.
QtObject {
    property var requested: []
    function setLanguage(code) { requested = requested.concat([code]) }
}
