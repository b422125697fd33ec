import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// Profile import and sample source, the array's serial link and flash sectors, the array's top view and
// the serial log. The work is the controllers'; the page collects input and asks for confirmation.
Page {
    id: root

    // The adapters as read when the page was made or last refreshed; later adapters need Refresh.
    property var adapters: []
    readonly property var geometry: ui.profileGeometry || []
    readonly property bool showLayout: ui.hasProfile && geometry.length > 1
    readonly property bool idle: !deviceCtl.busy
    readonly property bool canAct: deviceCtl.canOperate && idle

    function refreshAdapters() {
        adapters = deviceCtl.networkAdapters()
    }

    // "%1 ch · %2 m × %3 m" for two points or more, else empty.
    function geometryText() {
        if (geometry.length < 2)
            return ""
        let minX = 1e18, maxX = -1e18, minY = 1e18, maxY = -1e18
        for (const p of geometry) {
            minX = Math.min(minX, p.x); maxX = Math.max(maxX, p.x)
            minY = Math.min(minY, p.y); maxY = Math.max(maxY, p.y)
        }
        return qsTr("%1 ch · %2 m × %3 m").arg(geometry.length).arg((maxX - minX).toFixed(3))
            .arg((maxY - minY).toFixed(3))
    }

    function selectedAdapterLabel() {
        const index = netAdapterCombo.currentIndex
        return index >= 0 && index < adapters.length ? String(adapters[index].label) : ""
    }

    Component.onCompleted: refreshAdapters()

    ActionBlockers {
        id: blockers
    }

    background: Rectangle {
        color: Theme.bg
    }

    component Heading: Label {
        font.bold: true
        font.pixelSize: Theme.fontCaption
        color: Theme.muted
    }

    component Caption: Label {
        font.pixelSize: Theme.fontCaption
        color: Theme.muted
    }

    component Body: Label {
        font.pixelSize: Theme.fontSmall
        color: Theme.text
    }

    ScrollView {
        id: scroller
        anchors.fill: parent
        clip: true
        contentWidth: availableWidth
        // Shown whenever the view holds more than it shows, as a PageScrollBar is.
        ScrollBar.vertical.policy: ScrollBar.vertical.size < 1.0 ? ScrollBar.AlwaysOn : ScrollBar.AsNeeded

        ColumnLayout {
            x: 14
            width: scroller.availableWidth - 28
            spacing: 12

            Item { implicitHeight: 2 }

            RowLayout {
                Layout.fillWidth: true
                spacing: 12

                ColumnLayout {
                    Layout.fillWidth: true
                    Layout.alignment: Qt.AlignTop
                    spacing: 12

                    Card {
                        Layout.fillWidth: true
                        ColumnLayout {
                            width: parent.width
                            spacing: 8

                            Heading { text: qsTr("DEVICE PROFILE") }
                            RowLayout {
                                Layout.fillWidth: true
                                spacing: 8
                                ThemedTextField {
                                    id: profileField
                                    objectName: "profileField"
                                    Layout.fillWidth: true
                                    text: ui.profilePath
                                    color: Theme.text
                                    font.pixelSize: Theme.fontSmall
                                    background: Rectangle {
                                        color: Theme.surfaceAlt
                                        radius: 8
                                        border.color: profileField.activeFocus ? Theme.accent : Theme.border
                                    }
                                }
                                ThemedButton {
                                    objectName: "browseProfileButton"
                                    text: qsTr("Browse…")
                                    enabled: ui.canImportProfile
                                    disabledReason: blockers.importProfile()
                                    onClicked: profilePicker.open()
                                }
                                ThemedButton {
                                    objectName: "importProfileButton"
                                    text: qsTr("Import")
                                    enabled: ui.canImportProfile && profileField.text.trim() !== ""
                                    disabledReason: blockers.importProfile()
                                                    || (profileField.text.trim() === "" ? qsTr("Type a Device Profile's path or browse for one") : "")
                                    onClicked: ui.importProfile(profileField.text)
                                }
                            }
                            Label {
                                objectName: "profileLine"
                                Layout.fillWidth: true
                                wrapMode: Text.Wrap
                                font.pixelSize: Theme.fontSmall
                                text: ui.hasProfile ? ui.profileInfo : qsTr("No validated profile loaded")
                                color: ui.hasProfile ? Theme.text : Theme.muted
                            }
                            Caption {
                                objectName: "geometryLine"
                                visible: root.showLayout
                                text: root.showLayout ? root.geometryText() : ""
                            }
                            RowLayout {
                                spacing: 12
                                ColumnLayout {
                                    spacing: 2
                                    Caption { text: qsTr("Source") }
                                    ThemedCombo {
                                        id: sourceCombo
                                        objectName: "sourceCombo"
                                        Layout.preferredWidth: 140
                                        model: ["Synthetic", "UDP"]
                                        currentIndex: Math.max(0, model.indexOf(ui.source))
                                        enabled: ui.canChangeSource
                                        disabledReason: blockers.changeSource()
                                        onActivated: index => {
                                            ui.setSource(model[index])
                                            // Shows what the controller kept, also after a refusal.
                                            sourceCombo.currentIndex = Qt.binding(
                                                () => Math.max(0, sourceCombo.model.indexOf(ui.source)))
                                        }
                                    }
                                }
                                ColumnLayout {
                                    visible: ui.source === "Synthetic"
                                    spacing: 2
                                    Caption { text: qsTr("Azimuth") }
                                    ThemedSpinBox {
                                        objectName: "azimuthSpin"
                                        Layout.preferredWidth: 104
                                        from: -80
                                        to: 80
                                        value: Math.round(ui.azimuth)
                                        enabled: ui.canEditAcquisition
                                        disabledReason: blockers.changeSource()
                                        onValueModified: ui.setAzimuth(value)
                                    }
                                }
                                ColumnLayout {
                                    visible: ui.source === "Synthetic"
                                    spacing: 2
                                    Caption { text: qsTr("Elevation") }
                                    ThemedSpinBox {
                                        objectName: "elevationSpin"
                                        Layout.preferredWidth: 104
                                        from: -60
                                        to: 60
                                        value: Math.round(ui.elevation)
                                        enabled: ui.canEditAcquisition
                                        disabledReason: blockers.changeSource()
                                        onValueModified: ui.setElevation(value)
                                    }
                                }
                            }
                        }
                    }

                    Card {
                        Layout.fillWidth: true
                        ColumnLayout {
                            width: parent.width
                            spacing: 8

                            Heading { text: qsTr("CONTROL LINK (SERIAL)") }
                            RowLayout {
                                Layout.fillWidth: true
                                spacing: 8
                                ThemedCombo {
                                    id: portCombo
                                    objectName: "portCombo"
                                    Layout.preferredWidth: 220
                                    model: deviceCtl.serialPorts
                                    currentIndex: deviceCtl.selectedPortIndex
                                    onActivated: index => {
                                        deviceCtl.selectedPortIndex = index
                                        portCombo.currentIndex = Qt.binding(() => deviceCtl.selectedPortIndex)
                                    }
                                }
                                ThemedButton {
                                    objectName: "refreshPortsButton"
                                    text: qsTr("Refresh")
                                    enabled: root.idle
                                    disabledReason: blockers.deviceIdle()
                                    onClicked: deviceCtl.refreshPorts()
                                }
                                ThemedButton {
                                    objectName: "probeButton"
                                    text: qsTr("Probe & Select")
                                    enabled: root.idle
                                    disabledReason: blockers.deviceIdle()
                                    onClicked: deviceCtl.probeAndSelect()
                                }
                                Item { Layout.fillWidth: true }
                                Caption { text: qsTr("Gain (0-10)") }
                                ThemedSpinBox {
                                    objectName: "gainSpin"
                                    Layout.preferredWidth: 90
                                    from: 0
                                    to: 10
                                    value: deviceCtl.gain
                                    enabled: root.canAct
                                    disabledReason: blockers.deviceAction()
                                    onValueModified: deviceCtl.gain = value
                                }
                            }
                            RowLayout {
                                Layout.fillWidth: true
                                Body {
                                    objectName: "hardwareIdLine"
                                    text: qsTr("Hardware ID: %1").arg(deviceCtl.hardwareId !== ""
                                                                       ? deviceCtl.hardwareId : qsTr("not read"))
                                }
                                Item { Layout.fillWidth: true }
                                ThemedButton {
                                    objectName: "readIdButton"
                                    text: qsTr("Read ID")
                                    enabled: root.canAct
                                    disabledReason: blockers.deviceAction()
                                    onClicked: deviceCtl.readHardwareId()
                                }
                            }
                            RowLayout {
                                Layout.fillWidth: true
                                Caption { text: qsTr("UDP output (V1.4.1+ devices)") }
                                Item { Layout.fillWidth: true }
                                ThemedButton {
                                    objectName: "actEnableButton"
                                    text: qsTr("Enable")
                                    enabled: root.canAct
                                    disabledReason: blockers.deviceAction()
                                    onClicked: deviceCtl.setActEnabled(true)
                                }
                                ThemedButton {
                                    objectName: "actDisableButton"
                                    text: qsTr("Disable")
                                    enabled: root.canAct
                                    disabledReason: blockers.deviceAction()
                                    onClicked: deviceCtl.setActEnabled(false)
                                }
                            }
                            Label {
                                objectName: "busyLine"
                                visible: deviceCtl.busy
                                text: deviceCtl.busyLabel
                                color: Theme.warning
                                font.pixelSize: Theme.fontSmall
                            }
                        }
                    }

                    Card {
                        Layout.fillWidth: true
                        ColumnLayout {
                            width: parent.width
                            spacing: 10

                            Heading { text: qsTr("FLASH SECTORS") }
                            RowLayout {
                                Layout.fillWidth: true
                                spacing: 8
                                ColumnLayout {
                                    Layout.fillWidth: true
                                    spacing: 2
                                    Body {
                                        text: qsTr("Network parameters (sector 256)")
                                        font.bold: true
                                    }
                                    Label {
                                        objectName: "netSummaryLine"
                                        Layout.fillWidth: true
                                        text: deviceCtl.netSummary
                                        color: Theme.muted
                                        font.pixelSize: Theme.fontSmall
                                        wrapMode: Text.Wrap
                                    }
                                }
                                ThemedButton {
                                    objectName: "readNetButton"
                                    text: qsTr("Read")
                                    enabled: root.canAct
                                    disabledReason: blockers.deviceAction()
                                    onClicked: deviceCtl.readNetParams()
                                }
                                ThemedButton {
                                    objectName: "writeNetButton"
                                    text: qsTr("Write...")
                                    enabled: deviceCtl.canWrite && root.idle
                                    disabledReason: blockers.deviceAction()
                                    onClicked: netWriteDialog.open()
                                }
                            }
                            ColumnLayout {
                                Layout.fillWidth: true
                                spacing: 4
                                Body {
                                    text: qsTr("One-click network setup")
                                    font.bold: true
                                }
                                Label {
                                    Layout.fillWidth: true
                                    text: qsTr("Select the network adapter the array is plugged into; the app picks a conflict-free address, writes it and reboots the array.")
                                    color: Theme.muted
                                    font.pixelSize: Theme.fontSmall
                                    wrapMode: Text.Wrap
                                }
                                RowLayout {
                                    Layout.fillWidth: true
                                    spacing: 8
                                    ThemedCombo {
                                        id: netAdapterCombo
                                        objectName: "netAdapterCombo"
                                        Layout.fillWidth: true
                                        model: root.adapters
                                        textRole: "label"
                                    }
                                    ThemedButton {
                                        objectName: "refreshAdaptersButton"
                                        text: qsTr("Refresh")
                                        enabled: root.idle
                                        disabledReason: blockers.deviceIdle()
                                        onClicked: root.refreshAdapters()
                                    }
                                    ThemedButton {
                                        objectName: "autoNetButton"
                                        text: qsTr("Auto Configure...")
                                        enabled: deviceCtl.canWrite && root.idle && netAdapterCombo.currentIndex >= 0
                                        disabledReason: blockers.deviceAction()
                                                        || (netAdapterCombo.currentIndex >= 0 ? "" : qsTr("Choose the network adapter the array is plugged into"))
                                                 && root.adapters.length > 0
                                        onClicked: autoNetDialog.open()
                                    }
                                }
                            }
                            Rectangle {
                                Layout.fillWidth: true
                                implicitHeight: 1
                                color: Theme.border
                            }
                            RowLayout {
                                Layout.fillWidth: true
                                spacing: 8
                                ColumnLayout {
                                    Layout.fillWidth: true
                                    spacing: 2
                                    Body {
                                        text: qsTr("FIR coefficients (sector 768)")
                                        font.bold: true
                                    }
                                    Label {
                                        objectName: "firSummaryLine"
                                        Layout.fillWidth: true
                                        text: deviceCtl.firSummary
                                        color: Theme.muted
                                        font.pixelSize: Theme.fontSmall
                                        wrapMode: Text.Wrap
                                    }
                                }
                                ThemedCombo {
                                    id: firPresetCombo
                                    objectName: "firPresetCombo"
                                    Layout.preferredWidth: 200
                                    model: deviceCtl.firPresetIds
                                }
                                ThemedButton {
                                    objectName: "readFirButton"
                                    text: qsTr("Read")
                                    enabled: root.canAct
                                    disabledReason: blockers.deviceAction()
                                    onClicked: deviceCtl.readFir()
                                }
                                ThemedButton {
                                    objectName: "writeFirButton"
                                    text: qsTr("Write Preset...")
                                    enabled: deviceCtl.canWrite && root.idle && firPresetCombo.currentIndex >= 0
                                    disabledReason: blockers.deviceAction()
                                                    || (firPresetCombo.currentIndex >= 0 ? "" : qsTr("The Device Profile holds no FIR preset to write"))
                                             && firPresetCombo.currentText !== ""
                                    onClicked: firWriteDialog.open()
                                }
                            }
                        }
                    }
                }

                Card {
                    objectName: "layoutCard"
                    implicitWidth: 380
                    implicitHeight: 200
                    Layout.preferredWidth: 380
                    Layout.fillHeight: true

                    ColumnLayout {
                        anchors.fill: parent
                        spacing: 8
                        Heading { text: qsTr("ARRAY LAYOUT (TOP VIEW)") }

                        Canvas {
                            id: arrayCanvas
                            objectName: "arrayCanvas"
                            Layout.fillWidth: true
                            Layout.fillHeight: true
                            visible: root.showLayout

                            readonly property real dotRadius: root.geometry.length > 64 ? 2 : 3

                            // Scale and centre of the drawing: equal scale on both axes, the array centred.
                            function placement() {
                                const points = root.geometry
                                let minX = 1e18, maxX = -1e18, minY = 1e18, maxY = -1e18
                                for (const p of points) {
                                    minX = Math.min(minX, p.x); maxX = Math.max(maxX, p.x)
                                    minY = Math.min(minY, p.y); maxY = Math.max(maxY, p.y)
                                }
                                const spanX = Math.max(maxX - minX, 1e-6)
                                const spanY = Math.max(maxY - minY, 1e-6)
                                const pad = 16
                                return {
                                    minX: minX, maxY: maxY, spanX: spanX, spanY: spanY,
                                    scale: Math.min((width - 2 * pad) / spanX, (height - 2 * pad) / spanY),
                                    cx: (minX + maxX) / 2, cy: (minY + maxY) / 2
                                }
                            }

                            function tx(place, x) { return width / 2 + (x - place.cx) * place.scale }
                            function ty(place, y) { return height / 2 - (y - place.cy) * place.scale }

                            onWidthChanged: requestPaint()
                            onHeightChanged: requestPaint()
                            onPaint: {
                                const ctx = getContext("2d")
                                ctx.reset()
                                const points = root.geometry
                                if (!points || points.length < 2)
                                    return
                                const place = placement()
                                ctx.strokeStyle = Theme.border
                                ctx.lineWidth = 1
                                ctx.strokeRect(tx(place, place.minX), ty(place, place.maxY),
                                               place.spanX * place.scale, place.spanY * place.scale)
                                ctx.strokeStyle = Theme.muted
                                ctx.beginPath()
                                ctx.moveTo(width / 2 - 6, height / 2)
                                ctx.lineTo(width / 2 + 6, height / 2)
                                ctx.moveTo(width / 2, height / 2 - 6)
                                ctx.lineTo(width / 2, height / 2 + 6)
                                ctx.stroke()
                                ctx.fillStyle = Theme.accent
                                for (const p of points) {
                                    ctx.beginPath()
                                    ctx.arc(tx(place, p.x), ty(place, p.y), dotRadius, 0, 2 * Math.PI)
                                    ctx.fill()
                                }
                            }

                            Connections {
                                target: ui
                                function onProfileInfoChanged() { arrayCanvas.requestPaint() }
                            }
                        }

                        Label {
                            objectName: "layoutHint"
                            Layout.fillWidth: true
                            Layout.fillHeight: true
                            visible: !root.showLayout
                            text: qsTr("Import a Device Profile to preview the array layout")
                            color: Theme.muted
                            wrapMode: Text.Wrap
                            horizontalAlignment: Text.AlignHCenter
                            verticalAlignment: Text.AlignVCenter
                        }
                    }
                }
            }

            Card {
                Layout.fillWidth: true
                implicitWidth: 400
                implicitHeight: 220

                ColumnLayout {
                    anchors.fill: parent
                    spacing: 6
                    RowLayout {
                        Layout.fillWidth: true
                        Heading { text: qsTr("LOG") }
                        Item { Layout.fillWidth: true }
                        ThemedButton {
                            objectName: "clearLogButton"
                            implicitHeight: 28
                            text: qsTr("Clear")
                            onClicked: deviceCtl.clearLog()
                        }
                    }
                    ScrollView {
                        Layout.fillWidth: true
                        Layout.fillHeight: true
                        clip: true
                        TextArea {
                            objectName: "logArea"
                            readOnly: true
                            text: deviceCtl.logText
                            font.family: Theme.fontMono
                            font.pixelSize: Theme.fontSmall
                            color: Theme.text
                            wrapMode: TextEdit.NoWrap
                            background: null
                        }
                    }
                }
            }

            Item { implicitHeight: 2 }
        }
    }

    FilePickerDialog {
        id: profilePicker
        objectName: "profilePicker"
        title: qsTr("Import Device Profile")
        pickerMode: "file"
        nameFilters: ["*.device.json", "*.json"]
        initialPath: ui.profilePath !== "" ? ui.profilePath : ui.profilesDir
        onPicked: path => profileField.text = String(path)
    }

    ThemedDialog {
        id: autoNetDialog
        objectName: "autoNetDialog"
        title: qsTr("Auto network setup")
        width: 480
        standardButtons: Dialog.Ok | Dialog.Cancel
        onAccepted: deviceCtl.autoConfigureNetwork(netAdapterCombo.currentIndex)

        Label {
            objectName: "autoNetText"
            width: parent.width
            text: qsTr("The app reads the array's current parameters, assigns a conflict-free address on the selected adapter's network, writes it and reboots the array (.reset).\n\nAdapter: %1\n\nContinue?")
                  .arg(root.selectedAdapterLabel())
            color: Theme.text
            font.pixelSize: Theme.fontBody
            wrapMode: Text.Wrap
        }
    }

    NetWriteDialog {
        id: netWriteDialog
    }

    ThemedDialog {
        id: rebootDialog
        objectName: "rebootDialog"
        title: qsTr("Reboot device?")
        padding: 16
        // The wrapped text would otherwise ask for its one-line width.
        contentWidth: rebootColumn.width

        ColumnLayout {
            id: rebootColumn
            objectName: "rebootColumn"
            width: 340
            spacing: 10
            Label {
                Layout.fillWidth: true
                text: qsTr("Network parameters were written and verified. "
                           + "They take effect only after the device reboots. "
                           + "Reboot the device now? The UDP stream will drop until "
                           + "the device is back.")
                color: Theme.text
                font.pixelSize: Theme.fontBody
                wrapMode: Text.Wrap
            }
            RowLayout {
                Layout.alignment: Qt.AlignRight
                spacing: 8
                ThemedButton {
                    objectName: "rebootLater"
                    text: qsTr("Later")
                    onClicked: rebootDialog.close()
                }
                ThemedButton {
                    objectName: "rebootNow"
                    kind: 3
                    text: qsTr("Reboot now")
                    onClicked: {
                        rebootDialog.close()
                        deviceCtl.rebootDevice()
                    }
                }
            }
        }
    }

    ThemedDialog {
        id: firWriteDialog
        objectName: "firWriteDialog"
        title: qsTr("Write FIR preset")
        padding: 16
        // The wrapped text would otherwise ask for its one-line width.
        contentWidth: firWriteColumn.width

        ColumnLayout {
            id: firWriteColumn
            objectName: "firWriteColumn"
            width: 340
            spacing: 10
            Label {
                objectName: "firWriteText"
                Layout.fillWidth: true
                text: qsTr("Write preset \"%1\" from the active device profile to "
                           + "sector 768? The sector is erased, written and read back "
                           + "for verification.").arg(firPresetCombo.currentText)
                color: Theme.text
                font.pixelSize: Theme.fontBody
                wrapMode: Text.Wrap
            }
            RowLayout {
                Layout.alignment: Qt.AlignRight
                spacing: 8
                ThemedButton {
                    text: qsTr("Cancel")
                    onClicked: firWriteDialog.close()
                }
                ThemedButton {
                    objectName: "firWriteConfirm"
                    kind: 1
                    text: qsTr("Write")
                    onClicked: {
                        const preset = firPresetCombo.currentText
                        firWriteDialog.close()
                        deviceCtl.writeFirPreset(preset)
                    }
                }
            }
        }
    }

    Connections {
        target: deviceCtl
        function onNetParamsWritten() { rebootDialog.open() }
    }

    // A picked path replaces the field's binding; the controller's path still shows once it changes.
    Connections {
        target: ui
        function onProfilePathChanged() { profileField.text = ui.profilePath }
    }
}
