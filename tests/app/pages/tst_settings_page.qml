import QtQuick
import QtTest
import Qt.labs.settings
import SorvantaApp

// The Settings page with the real controller: the reset and the recording limit reach it, the backup
// path appears once a backup is written, the About box names the profile.
Item {
    id: host
    width: 1280
    height: 800

    SettingsPage {
        id: page
        anchors.fill: parent
    }

    // Reads the controller's settings store, the same file the controller writes.
    Settings {
        id: store
    }

    TestCase {
        name: "SettingsPage"
        when: windowShown

        function child(name) {
            const found = findChild(page, name)
            verify(found !== null, "no child " + name)
            return found
        }

        function typeDuration(text) {
            const spin = child("maxDurationSpin")
            spin.contentItem.forceActiveFocus()
            spin.contentItem.selectAll()
            keyClick(Qt.Key_Backspace)
            for (const ch of text)
                keyClick(ch)
            keyClick(Qt.Key_Return)
        }

        // Runs first (test functions run in name order), before any backup or profile.
        function test_0_beforeABackupThereIsNoPathLineAndNoProfile() {
            compare(ui.lastBackupPath, "")
            const path = child("backupPathLabel")
            verify(!path.visible)
            const box = child("backupBox")
            const column = box.children[0]
            compare(box.height, column.implicitHeight + 28)
            compare(child("aboutProfileLabel").text, "Profile: none")
            compare(child("versionLabel").text, "Sorvanta Studio v" + Qt.application.version)
        }

        function test_resetRestoresTheControllersDefaults() {
            ui.setDynamicRange(35)
            ui.setHeatmapOpacity(0.4)
            compare(ui.dynamicRange, 35)
            verify(child("resetDefaultsButton").enabled)
            mouseClick(child("resetDefaultsButton"))
            compare(ui.dynamicRange, 20)
            compare(ui.heatmapOpacity, 0.82)
            compare(ui.statusText, "Display and acquisition defaults restored")
        }

        function test_durationTypedOutOfRangeIsClampedAndStored() {
            typeDuration("0")
            compare(ui.recordingMaxDurationSeconds, 1)
            compare(Number(store.value("recording/maxDurationSec")), 1)
            typeDuration("500")
            compare(ui.recordingMaxDurationSeconds, 120)
            compare(Number(store.value("recording/maxDurationSec")), 120)
            typeDuration("45")
            compare(ui.recordingMaxDurationSeconds, 45)
            compare(child("maxDurationSpin").value, 45)
            ui.setRecordingMaxDurationSeconds(12.4)
            compare(child("maxDurationSpin").value, 12)
        }

        function test_backupWritesAFolderAndShowsItsPath() {
            mouseClick(child("backupButton"))
            verify(ui.lastBackupPath !== "")
            verify(fixture.exists(ui.lastBackupPath + "/settings.ini"))
            const path = child("backupPathLabel")
            verify(path.visible)
            compare(path.text, ui.lastBackupPath)
            compare(path.elide, Text.ElideMiddle)
        }

        function test_theAboutBoxNamesTheActiveProfile() {
            ui.importProfile(fixture.profilePath("small-4.device.json"))
            verify(ui.hasProfile)
            compare(child("aboutProfileLabel").text, "Profile: " + ui.profileInfo)
        }
    }
}
