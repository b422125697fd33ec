import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QtMultimedia
import Qt.labs.settings

// Chooses the shared camera, its format (kept per camera), the processing of its picture (kept) and its
// UVC parameters; the camera is the main window's, so what is chosen here is what Live shows.
Page {
    id: root

    property var camera: typeof window !== "undefined" && window ? window.appCamera : null
    property var mediaDevices: typeof window !== "undefined" && window ? window.appMediaDevices : null
    property var resolutionEntries: []
    property var resolutionModel: []
    property int resolutionIndex: 0
    property var fpsEntries: []
    property var fpsModel: []
    property int fpsIndex: 0
    property var autoFormat: null
    property bool formatGuard: false
    property string camProbeFormat: {
        const args = Qt.application.arguments
        const at = args.indexOf("--camera-probe")
        return at >= 0 && at + 1 < args.length ? String(args[at + 1]) : ""
    }
    property int filterMode: 0
    property real filterStrength: 1.0
    property alias previewOutput: cameraPreview

    readonly property bool cameraActive: !!camera && camera.active
    readonly property var filterIds: ["original", "mono", "invert", "falseTurbo", "falseViridis", "falseMagma",
                                      "falseJet", "edge", "focusPeaking", "zebra", "dots", "sharpen"]
    readonly property var parameters: ui.cameraParameters || []
    readonly property var selectedEntry: resolutionIndex > 0 && resolutionIndex <= resolutionEntries.length
                                         ? resolutionEntries[resolutionIndex - 1] : null

    function filterText(id) {
        switch (id) {
        case "mono": return qsTr("Mono")
        case "invert": return qsTr("Invert")
        case "falseTurbo": return qsTr("False color · Turbo")
        case "falseViridis": return qsTr("False color · Viridis")
        case "falseMagma": return qsTr("False color · Magma")
        case "falseJet": return qsTr("False color · JET")
        case "edge": return qsTr("Edge detect")
        case "focusPeaking": return qsTr("Focus peaking")
        case "zebra": return qsTr("Zebra")
        case "dots": return qsTr("Dots")
        case "sharpen": return qsTr("Sharpen")
        default: return qsTr("Original")
        }
    }

    function powerlineText(id) {
        switch (id) {
        case "50hz": return qsTr("50 Hz")
        case "60hz": return qsTr("60 Hz")
        default: return qsTr("Off")
        }
    }

    function powerlineIndex(value) {
        return Math.max(0, Math.min(2, Math.round(value)))
    }

    function hasDevice() {
        return !!camera && !!camera.cameraDevice && String(camera.cameraDevice.id) !== ""
    }

    function deviceKey() {
        if (!hasDevice())
            return "none"
        return String(camera.cameraDevice.id).replace(/[^A-Za-z0-9._-]/g, "_")
    }

    function videoFormats() {
        return hasDevice() && camera.cameraDevice.videoFormats ? camera.cameraDevice.videoFormats : []
    }

    function sameFormat(a, b) {
        if (!a || !b)
            return false
        return a.resolution.width === b.resolution.width && a.resolution.height === b.resolution.height
            && Math.abs(a.maxFrameRate - b.maxFrameRate) < 0.5 && a.pixelFormat === b.pixelFormat
    }

    function calibratedAspect(w, h) {
        return ui.profileCameraAspect > 0 && Math.abs(w / h - ui.profileCameraAspect) < 0.02
    }

    // Qt.labs.settings announces no category change: the group follows the device here, before each
    // rebuild, and a new group loads its stored values at once.
    function syncFormatCategory() {
        const category = "cameraFormat/" + deviceKey()
        if (camFormatSettings.category !== category)
            camFormatSettings.category = category
    }

    function refreshFormatModels() {
        syncFormatCategory()
        const entries = []
        const seen = {}
        for (const format of videoFormats()) {
            const w = format.resolution.width
            const h = format.resolution.height
            const key = w + "x" + h
            if (seen[key])
                continue
            seen[key] = true
            entries.push({w: w, h: h, label: calibratedAspect(w, h) ? key + " · " + qsTr("calibrated FOV") : key})
        }
        entries.sort((a, b) => b.w * b.h - a.w * a.h)
        resolutionEntries = entries
        resolutionModel = [qsTr("Auto")].concat(entries.map(e => e.label))
        let index = 0
        if (camFormatSettings.width > 0) {
            const at = entries.findIndex(e => e.w === camFormatSettings.width && e.h === camFormatSettings.height)
            index = at >= 0 ? at + 1 : 0
        }
        resolutionIndex = index
        refreshFpsModel()
    }

    function refreshFpsModel() {
        const entry = selectedEntry
        const w = entry ? entry.w : 0
        const h = entry ? entry.h : 0
        const rates = []
        for (const format of videoFormats()) {
            if (w > 0 && (format.resolution.width !== w || format.resolution.height !== h))
                continue
            const r = Math.round(format.maxFrameRate)
            if (r > 0 && rates.indexOf(r) < 0)
                rates.push(r)
        }
        rates.sort((a, b) => a - b)
        fpsEntries = rates
        fpsModel = [qsTr("Auto")].concat(rates.map(r => String(r)))
        let index = 0
        if (camFormatSettings.fps > 0) {
            const at = rates.indexOf(Math.round(camFormatSettings.fps))
            index = at >= 0 ? at + 1 : 0
        }
        fpsIndex = index
    }

    function pickFormat(w, h, fps) {
        let best = null
        let bestScore = -1
        for (const format of videoFormats()) {
            if (format.resolution.width !== w || format.resolution.height !== h)
                continue
            if (fps > 0 && Math.round(format.maxFrameRate) !== fps)
                continue
            const score = format.maxFrameRate
                + (format.pixelFormat === cameraFilter.pixelFormatJpeg() ? 10000
                   : format.pixelFormat === cameraFilter.pixelFormatYuyv() ? 5000 : 0)
            if (score > bestScore) {
                best = format
                bestScore = score
            }
        }
        return best
    }

    function selectedRate() {
        return fpsIndex > 0 && fpsIndex <= fpsEntries.length ? fpsEntries[fpsIndex - 1] : 0
    }

    function applyFormat() {
        if (formatGuard || !hasDevice() || ui.recording)
            return
        const entry = selectedEntry
        const target = entry ? pickFormat(entry.w, entry.h, selectedRate()) : autoFormat
        if (!target || sameFormat(camera.cameraFormat, target))
            return
        formatGuard = true
        const wasActive = camera.active
        if (wasActive)
            camera.stop()
        camera.cameraFormat = target
        if (wasActive)
            camera.start()
        formatGuard = false
    }

    function selectResolution(index) {
        resolutionIndex = index
        refreshFpsModel()
        const entry = selectedEntry
        camFormatSettings.width = entry ? entry.w : 0
        camFormatSettings.height = entry ? entry.h : 0
        camFormatSettings.fps = selectedRate()
        applyFormat()
    }

    function selectFps(index) {
        fpsIndex = index
        camFormatSettings.fps = selectedRate()
        applyFormat()
    }

    function openCamera() {
        applyFormat()
        camera.start()
    }

    function applyProbeFormat() {
        const parts = camProbeFormat.split("x")
        if (parts.length !== 2)
            return
        const w = parseInt(parts[0])
        const h = parseInt(parts[1])
        const at = resolutionEntries.findIndex(e => e.w === w && e.h === h)
        if (at >= 0)
            selectResolution(at + 1)
    }

    Component.onCompleted: refreshFormatModels()

    Settings {
        id: camFilterSettings
        category: "cameraFilter"
        property alias mode: root.filterMode
        property alias strength: root.filterStrength
    }

    Settings {
        id: camFormatSettings
        category: "cameraFormat/" + root.deviceKey()
        property int width: 0
        property int height: 0
        property real fps: 0
    }

    Binding {
        target: cameraFilter
        property: "mode"
        value: root.filterMode
    }

    Binding {
        target: cameraFilter
        property: "strength"
        value: root.filterStrength
    }

    Connections {
        target: root.camera
        ignoreUnknownSignals: true
        function onActiveChanged() {
            if (!root.camera.active)
                return
            if (root.autoFormat === null)
                root.autoFormat = root.camera.cameraFormat
            root.applyFormat()
        }
        function onCameraDeviceChanged() {
            root.autoFormat = null
            root.refreshFormatModels()
        }
    }

    Connections {
        target: ui
        function onProfileInfoChanged() { root.refreshFormatModels() }
    }

    Connections {
        target: i18n
        ignoreUnknownSignals: true
        function onLanguageChanged() { root.refreshFormatModels() }
    }

    Timer {
        id: probeTimer
        objectName: "cameraProbeTimer"
        interval: 2500
        running: root.camProbeFormat !== ""
        onTriggered: root.applyProbeFormat()
    }

    background: Rectangle {
        color: Theme.bg
    }

    component Caption: Label {
        font.pixelSize: Theme.fontSmall
        color: Theme.muted
    }

    component Value: Label {
        font.pixelSize: Theme.fontSmall
        color: Theme.text
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 16
        spacing: 12

        RowLayout {
            Layout.fillWidth: true
            spacing: 10
            Label {
                text: qsTr("Camera")
                font.bold: true
                font.pixelSize: Theme.fontHero
                color: Theme.text
            }
            Label {
                objectName: "cameraStatus"
                text: root.cameraActive ? qsTr("· Running") : qsTr("· Stopped")
                color: root.cameraActive ? Theme.success : Theme.muted
                font.pixelSize: Theme.fontBody
            }
            Item { Layout.fillWidth: true }
            ThemedButton {
                objectName: "openCameraButton"
                text: qsTr("Open Camera")
                disabledReason: !root.camera || ui.cameraNames.length === 0
                                ? qsTr("No camera found: connect one and press Refresh")
                                : root.cameraActive ? qsTr("The camera is open") : ""
                enabled: disabledReason === ""
                onClicked: root.openCamera()
            }
            ThemedButton {
                objectName: "stopCameraButton"
                text: qsTr("Stop Camera")
                enabled: root.cameraActive
                disabledReason: qsTr("The camera is not open")
                onClicked: root.camera.stop()
            }
            ThemedButton {
                objectName: "refreshCamerasButton"
                text: qsTr("Refresh")
                onClicked: ui.refreshCameraDevices()
            }
        }

        Card {
            Layout.fillWidth: true
            implicitWidth: 600
            implicitHeight: 112

            GridLayout {
                anchors.fill: parent
                anchors.margins: -2
                columns: 4
                rowSpacing: 8
                columnSpacing: 12

                Caption { text: qsTr("UVC device") }
                ThemedCombo {
                    id: deviceCombo
                    objectName: "deviceCombo"
                    Layout.fillWidth: true
                    model: ui.cameraNames.length > 0 ? ui.cameraNames : [qsTr("No Camera detected")]
                    currentIndex: root.hasDevice()
                                  ? Math.max(0, ui.cameraIds.indexOf(String(root.camera.cameraDevice.id))) : 0
                    onActivated: index => {
                        if (index >= ui.cameraIds.length || !root.camera || !root.mediaDevices)
                            return
                        root.camera.stop()
                        root.camera.cameraDevice = root.mediaDevices.videoInputs[index]
                    }
                }
                Caption { text: qsTr("State") }
                Value {
                    objectName: "cameraStateText"
                    text: root.cameraActive ? qsTr("Active") : qsTr("Idle")
                }
                Caption { text: qsTr("Mirror") }
                RowLayout {
                    ThemedSwitch {
                        objectName: "mirrorSwitch"
                        checked: ui.cameraMirror
                        onToggled: ui.setCameraMirror(checked)
                    }
                    Value { text: ui.cameraMirror ? qsTr("Horizontal") : qsTr("Normal") }
                }
                Caption { text: qsTr("Role") }
                Value { text: qsTr("Camera settings only · overlay is shown in Live") }
            }
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: 12

            ColumnLayout {
                Layout.fillWidth: true
                Layout.fillHeight: true
                spacing: 8

                Rectangle {
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    clip: true
                    color: Theme.plotBg
                    border.color: Theme.border

                    VideoOutput {
                        id: cameraPreview
                        objectName: "cameraPreview"
                        anchors.fill: parent
                        anchors.margins: 1
                        fillMode: VideoOutput.PreserveAspectFit
                        visible: root.cameraActive
                        transform: Scale {
                            origin.x: cameraPreview.width / 2
                            xScale: ui.cameraMirror ? -1 : 1
                        }
                        Component.onCompleted: cameraFilter.attachCameraSink(cameraPreview.videoSink)
                    }

                    ColumnLayout {
                        anchors.centerIn: parent
                        visible: !root.cameraActive
                        spacing: 6
                        Label {
                            Layout.alignment: Qt.AlignHCenter
                            text: qsTr("Select a UVC camera and press Open Camera")
                            font.pixelSize: Theme.fontTitle
                            color: Theme.text
                        }
                        Label {
                            Layout.alignment: Qt.AlignHCenter
                            text: qsTr("Camera settings only · acoustic overlay is shown in Live")
                            font.pixelSize: Theme.fontSmall
                            color: Theme.muted
                        }
                    }
                }

                RowLayout {
                    Layout.fillWidth: true
                    spacing: 10
                    Value {
                        text: qsTr("Camera settings")
                        font.bold: true
                    }
                    Caption { text: qsTr("Live workspace displays acoustic overlay") }
                    Item { Layout.fillWidth: true }
                    Caption {
                        objectName: "streamStateText"
                        text: root.cameraActive ? qsTr("UVC stream active") : qsTr("UVC stream stopped")
                    }
                }
            }

            UvcSettingsPanel {}
        }
    }

    component UvcSettingsPanel: Rectangle {
        Layout.preferredWidth: 340
        Layout.fillHeight: true
        radius: Theme.radius
        color: Theme.surface
        border.color: Theme.border

        ColumnLayout {
            anchors.fill: parent
            anchors.margins: 12
            spacing: 8

            GridLayout {
                Layout.fillWidth: true
                columns: 2
                rowSpacing: 6
                columnSpacing: 10

                Caption { text: qsTr("Resolution") }
                ThemedCombo {
                    id: resolutionCombo
                    objectName: "resolutionCombo"
                    Layout.fillWidth: true
                    model: root.resolutionModel
                    currentIndex: root.resolutionIndex
                    disabledReason: ui.recording ? qsTr("The picture format stays as it is while Recording")
                                  : root.resolutionModel.length > 1 ? ""
                                  : qsTr("Open a camera to choose among its resolutions")
                    enabled: disabledReason === ""
                    onActivated: {
                        root.selectResolution(resolutionCombo.currentIndex)
                        resolutionCombo.currentIndex = Qt.binding(() => root.resolutionIndex)
                    }
                }
                Caption { text: qsTr("Frame rate") }
                ThemedCombo {
                    id: fpsCombo
                    objectName: "fpsCombo"
                    Layout.fillWidth: true
                    model: root.fpsModel
                    currentIndex: root.fpsIndex
                    disabledReason: ui.recording ? qsTr("The picture format stays as it is while Recording")
                                  : root.resolutionIndex > 0 ? "" : qsTr("Choose a resolution first")
                    enabled: disabledReason === ""
                    onActivated: {
                        root.selectFps(fpsCombo.currentIndex)
                        fpsCombo.currentIndex = Qt.binding(() => root.fpsIndex)
                    }
                }
                Label {
                    objectName: "croppedNote"
                    Layout.columnSpan: 2
                    Layout.fillWidth: true
                    visible: !!root.selectedEntry && ui.profileCameraAspect > 0
                             && Math.abs(root.selectedEntry.w / root.selectedEntry.h - ui.profileCameraAspect) > 0.02
                    text: qsTr("Cropped sensor readout: the camera narrows its FOV at this resolution (calibrated at %1); Live overlay alignment is approximate")
                          .arg(ui.profileCameraResolution)
                    wrapMode: Text.Wrap
                    color: Theme.warning
                    font.pixelSize: Theme.fontCaption
                }
                Caption { text: qsTr("Processing") }
                ThemedCombo {
                    objectName: "filterCombo"
                    Layout.fillWidth: true
                    model: root.filterIds
                    textMapper: id => root.filterText(id)
                    currentIndex: root.filterMode
                    onActivated: index => root.filterMode = index
                }
            }

            RowLayout {
                objectName: "strengthRow"
                Layout.fillWidth: true
                visible: root.filterMode > 0
                Caption { text: qsTr("Strength") }
                ThemedSlider {
                    objectName: "strengthSlider"
                    Layout.fillWidth: true
                    from: 0.25
                    to: 4
                    stepSize: 0.25
                    value: root.filterStrength
                    onMoved: root.filterStrength = value
                }
                Value { text: root.filterStrength.toFixed(2) }
            }

            Rectangle {
                Layout.fillWidth: true
                implicitHeight: 1
                color: Theme.border
            }

            RowLayout {
                Layout.fillWidth: true
                Value {
                    text: qsTr("UVC parameters")
                    font.bold: true
                }
                Item { Layout.fillWidth: true }
                ThemedButton {
                    objectName: "resetUvcButton"
                    text: qsTr("Reset all")
                    enabled: root.parameters.length > 0
                    disabledReason: qsTr("This camera offers no parameters to reset")
                    onClicked: ui.resetCameraParameters()
                }
            }

            Label {
                objectName: "uvcEmptyNote"
                Layout.fillWidth: true
                visible: root.parameters.length === 0
                text: qsTr("Open the camera to enumerate its UVC controls; settings persist per device and apply to the Live overlay as well")
                wrapMode: Text.Wrap
                color: Theme.muted
                font.pixelSize: Theme.fontCaption
            }

            ScrollView {
                id: parameterScroll
                Layout.fillWidth: true
                Layout.fillHeight: true
                clip: true
                contentWidth: availableWidth
                ScrollBar.horizontal.policy: ScrollBar.AlwaysOff
                // Shown whenever the view holds more than it shows, as a PageScrollBar is.
                ScrollBar.vertical.policy: ScrollBar.vertical.size < 1.0 ? ScrollBar.AlwaysOn : ScrollBar.AsNeeded

                Column {
                    width: parameterScroll.availableWidth
                    spacing: 8
                    Repeater {
                        objectName: "uvcRepeater"
                        model: root.parameters
                        delegate: UvcParameterBlock {}
                    }
                }
            }
        }
    }

    component UvcParameterBlock: Column {
        id: block
        required property var modelData
        readonly property bool powerline: modelData.key === "powerline"

        objectName: "uvc_" + modelData.key
        width: parent ? parent.width : 0
        spacing: 0

        RowLayout {
            width: block.width
            Value { text: block.modelData.name }
            Item { Layout.fillWidth: true }
            Value {
                objectName: "uvcValueText"
                text: block.powerline
                      ? root.powerlineText(["off", "50hz", "60hz"][root.powerlineIndex(block.modelData.value)])
                      : paramSlider.pressed ? String(Math.round(paramSlider.value)) : String(block.modelData.value)
            }
            ThemedSwitch {
                objectName: "uvcAutoSwitch"
                visible: block.modelData.supportsAuto
                scale: 0.7
                checked: block.modelData.autoMode
                onToggled: ui.setCameraParameterAuto(block.modelData.key, checked)
            }
            Label {
                visible: block.modelData.supportsAuto
                text: qsTr("auto")
                font.pixelSize: Theme.fontCaption
                color: block.modelData.autoMode ? Theme.accent : Theme.muted
            }
        }
        ThemedSlider {
            id: paramSlider
            objectName: "paramSlider"
            width: block.width
            visible: !block.powerline
            from: block.modelData.minimum
            to: block.modelData.maximum
            stepSize: block.modelData.step
            value: block.modelData.value
            enabled: !block.modelData.autoMode
            disabledReason: qsTr("Set by the camera while Auto is on")
            onMoved: ui.previewCameraParameterValue(block.modelData.key, Math.round(value))
            onPressedChanged: {
                if (!pressed)
                    ui.setCameraParameterValue(block.modelData.key, Math.round(value))
            }
        }
        ThemedCombo {
            objectName: "powerlineCombo"
            width: block.width
            visible: block.powerline
            model: ["off", "50hz", "60hz"]
            textMapper: id => root.powerlineText(id)
            currentIndex: root.powerlineIndex(block.modelData.value)
            onActivated: index => ui.setCameraParameterValue(block.modelData.key, index)
        }
    }
}
