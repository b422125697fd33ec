import QtQuick
import QtQuick.Controls

// Shown whenever its view holds more than it shows, not only while it moves: a view that scrolls says so.
ScrollBar {
    policy: size < 1.0 ? ScrollBar.AlwaysOn : ScrollBar.AsNeeded
}
