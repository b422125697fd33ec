import QtQuick
import QtTest
import SorvantaApp

// The Camera page over the stand-in controller and a stand-in shared camera whose devices list formats
// as Qt Multimedia does (resolution, maximum frame rate, pixel format).
Item {
    id: window
    width: 1400
    height: 900

    property var appCamera: camera
    property var appMediaDevices: devices

    readonly property int jpeg: 29
    readonly property int yuyv: 17
    readonly property int nv12: 23

    function format(w, h, fps, pixelFormat) {
        return {resolution: {width: w, height: h}, maxFrameRate: fps, pixelFormat: pixelFormat}
    }

    readonly property var frontDevice: ({
        id: "\\\\?\\usb#vid_046d&pid_0825#{65e8773d}",
        description: "Front",
        videoFormats: [format(640, 480, 30, yuyv), format(1280, 720, 30, yuyv), format(1280, 720, 30, jpeg),
                       format(1280, 720, 15, nv12), format(1920, 1080, 24, nv12), format(1920, 1080, 5, yuyv),
                       format(1280, 720, 60, nv12)]
    })
    readonly property var rearDevice: ({
        id: "/dev/video2", description: "Rear", videoFormats: [format(800, 600, 20, yuyv)]
    })

    QtObject {
        id: devices
        property var videoInputs: [window.frontDevice, window.rearDevice]
    }

    QtObject {
        id: camera
        property bool active: false
        property var cameraDevice: window.frontDevice
        property var cameraFormat: window.format(640, 480, 30, window.yuyv)
        property int starts: 0
        property int stops: 0
        function start() { ++starts; active = true }
        function stop() { ++stops; active = false }
    }

    Component {
        id: pageComponent
        CameraPage {
            anchors.fill: parent
        }
    }

    TestCase {
        name: "CameraPage"
        when: windowShown

        property var page: null

        function child(name, from) {
            const found = findChild(from || page, name)
            verify(found !== null, "no child " + name)
            return found
        }

        function init() {
            camera.active = false
            camera.cameraDevice = window.frontDevice
            camera.cameraFormat = window.format(640, 480, 30, window.yuyv)
            ui.calls = []
            ui.recording = false
            ui.cameraNames = ["Front", "Rear"]
            ui.cameraIds = [window.frontDevice.id, window.rearDevice.id]
            ui.cameraParameters = []
            ui.profileCameraAspect = 0
            ui.profileCameraResolution = ""
            page = createTemporaryObject(pageComponent, window)
            verify(page !== null)
            // Every test begins without a stored format for either camera.
            page.selectResolution(0)
            camera.starts = 0
            camera.stops = 0
            waitForRendering(page)
        }

        function labelOf(w, h) {
            return page.resolutionModel.indexOf(w + "x" + h)
        }

        function test_deviceKeyReplacesEveryCharacterOutsideTheSafeSet() {
            compare(page.deviceKey(), "____usb_vid_046d_pid_0825__65e8773d_")
            camera.cameraDevice = window.rearDevice
            compare(page.deviceKey(), "_dev_video2")
            camera.cameraDevice = {id: "", videoFormats: []}
            compare(page.deviceKey(), "none")
            compare(page.resolutionModel, ["Auto"])
            compare(page.fpsModel, ["Auto"])
        }

        function test_resolutionsAreDistinctLargestFirstAndRatesFollowTheChoice() {
            compare(page.resolutionModel, ["Auto", "1920x1080", "1280x720", "640x480"])
            compare(page.fpsModel, ["Auto", "5", "15", "24", "30", "60"])
            page.selectResolution(2)
            compare(page.fpsModel, ["Auto", "15", "30", "60"])
            verify(child("fpsCombo").enabled)
            page.selectResolution(0)
            verify(!child("fpsCombo").enabled)
        }

        function test_calibratedAspectIsMarkedAndOtherAspectsWarnOfCropping() {
            ui.profileCameraAspect = 16 / 9
            ui.profileCameraResolution = "1920x1080"
            page.refreshFormatModels()
            compare(page.resolutionModel, ["Auto", "1920x1080 · calibrated FOV", "1280x720 · calibrated FOV",
                                           "640x480"])
            const note = child("croppedNote")
            verify(!note.visible)
            page.selectResolution(3)
            verify(note.visible)
            verify(note.text.indexOf("calibrated at 1920x1080") >= 0)
            page.selectResolution(1)
            verify(!note.visible)
        }

        function test_motionJpegBeatsYuyvWhichBeatsOtherFormatsThenTheHigherRateWins() {
            let best = page.pickFormat(1280, 720, 30)
            compare(best.pixelFormat, window.jpeg)
            best = page.pickFormat(1280, 720, 0)
            compare(best.pixelFormat, window.jpeg)
            compare(best.maxFrameRate, 30)
            best = page.pickFormat(1920, 1080, 0)
            compare(best.pixelFormat, window.yuyv)
            best = page.pickFormat(1920, 1080, 24)
            compare(best.pixelFormat, window.nv12)
            best = page.pickFormat(1280, 720, 60)
            compare(best.maxFrameRate, 60)
            compare(page.pickFormat(1024, 768, 0), null)
        }

        function test_aChosenFormatRestartsARunningCameraOnlyWhenItDiffers() {
            camera.start()
            const autoFormat = camera.cameraFormat
            compare(page.autoFormat, autoFormat)
            camera.starts = 0
            page.selectResolution(labelOf(1280, 720))
            compare(camera.cameraFormat.resolution.width, 1280)
            compare(camera.cameraFormat.pixelFormat, window.jpeg)
            compare(camera.stops, 1)
            compare(camera.starts, 1)
            verify(camera.active)

            // The same size, a rate within 0.5 and the same pixel format: no restart.
            camera.cameraFormat = window.format(1280, 720, 30.2, window.jpeg)
            page.selectFps(page.fpsModel.indexOf("30"))
            compare(camera.stops, 1)

            // Auto goes back to the format the camera had when it first became active.
            page.selectResolution(0)
            compare(camera.cameraFormat, autoFormat)
            compare(camera.stops, 2)
        }

        function test_theFormatIsNeverChangedDuringARecording() {
            const before = camera.cameraFormat
            ui.recording = true
            verify(!child("resolutionCombo").enabled)
            verify(!child("fpsCombo").enabled)
            page.selectResolution(labelOf(1920, 1080))
            compare(camera.cameraFormat, before)
        }

        function test_eachCameraKeepsItsOwnFormat() {
            page.selectResolution(labelOf(1280, 720))
            page.selectFps(page.fpsModel.indexOf("60"))
            compare(camera.cameraFormat.maxFrameRate, 60)

            camera.cameraDevice = window.rearDevice
            compare(page.resolutionModel, ["Auto", "800x600"])
            compare(page.resolutionIndex, 0)

            camera.cameraDevice = window.frontDevice
            compare(page.resolutionModel[page.resolutionIndex], "1280x720")
            compare(page.fpsModel[page.fpsIndex], "60")

            // A fresh page reads the same stored choice.
            const again = createTemporaryObject(pageComponent, window)
            compare(again.resolutionModel[again.resolutionIndex], "1280x720")
            compare(again.fpsModel[again.fpsIndex], "60")
        }

        function test_probeValueSelectsItsSizeAndAValueWithoutASecondPartDoesNothing() {
            page.camProbeFormat = "1280"
            page.applyProbeFormat()
            compare(page.resolutionIndex, 0)
            page.camProbeFormat = "1280x720"
            page.applyProbeFormat()
            compare(page.resolutionModel[page.resolutionIndex], "1280x720")
            page.camProbeFormat = "1024x768"
            page.applyProbeFormat()
            compare(page.resolutionModel[page.resolutionIndex], "1280x720")
        }

        function test_deviceChoiceStopsTheCameraAndSwitchesItsDevice() {
            camera.start()
            const combo = child("deviceCombo")
            compare(combo.currentIndex, 0)
            combo.activated(1)
            verify(!camera.active)
            compare(camera.cameraDevice, window.rearDevice)
            compare(combo.currentIndex, 1)
            compare(camera.starts, 1)
        }

        function test_withoutCamerasOpenIsDisabledAndTheComboSaysSo() {
            verify(child("openCameraButton").enabled)
            verify(!child("stopCameraButton").enabled)
            ui.cameraNames = []
            ui.cameraIds = []
            verify(!child("openCameraButton").enabled)
            compare(child("deviceCombo").displayText, "No Camera detected")
            ui.cameraNames = ["Front"]
            mouseClick(child("openCameraButton"))
            verify(camera.active)
            compare(child("cameraStatus").text, "· Running")
            compare(child("cameraStateText").text, "Active")
            verify(!child("openCameraButton").enabled)
            mouseClick(child("stopCameraButton"))
            verify(!camera.active)
            compare(child("streamStateText").text, "UVC stream stopped")
        }

        function test_processingModeAndStrengthReachTheFilterChain() {
            const combo = child("filterCombo")
            compare(combo.displayText, "Original")
            verify(!child("strengthRow").visible)
            combo.activated(3)
            compare(page.filterMode, 3)
            compare(cameraFilter.mode, 3)
            compare(combo.displayText, "False color · Turbo")
            verify(child("strengthRow").visible)
            page.filterStrength = 2.5
            compare(cameraFilter.strength, 2.5)
            combo.activated(0)
            compare(cameraFilter.mode, 0)
            page.filterStrength = 1
        }

        function test_uvcControlsPreviewWhileDraggedAndStoreOnRelease() {
            ui.cameraParameters = [
                {key: "brightness", name: "Brightness", minimum: 0, maximum: 100, step: 1, defaultValue: 50,
                 value: 50, supportsAuto: false, autoMode: false},
                {key: "exposure", name: "Exposure", minimum: 0, maximum: 100, step: 1, defaultValue: 50,
                 value: 40, supportsAuto: true, autoMode: true},
                {key: "powerline", name: "Power line", minimum: 0, maximum: 2, step: 1, defaultValue: 1,
                 value: 5, supportsAuto: false, autoMode: false}
            ]
            verify(!child("uvcEmptyNote").visible)
            verify(child("resetUvcButton").enabled)
            waitForRendering(page)

            const brightness = child("uvc_brightness")
            const slider = child("paramSlider", brightness)
            verify(slider.enabled)
            mousePress(slider, slider.width / 2, slider.height / 2)
            mouseMove(slider, slider.width * 0.75, slider.height / 2)
            const moved = Math.round(slider.value)
            verify(moved > 50)
            compare(child("uvcValueText", brightness).text, String(moved))
            mouseRelease(slider, slider.width * 0.75, slider.height / 2)
            const previews = ui.calls.filter(c => c.startsWith("previewCameraParameterValue:brightness="))
            verify(previews.length > 0)
            compare(ui.calls[ui.calls.length - 1], "setCameraParameterValue:brightness=" + moved)
            compare(child("uvcValueText", brightness).text, "50")  // the controller's value until it changes

            const exposure = child("uvc_exposure")
            verify(!child("paramSlider", exposure).enabled)
            const autoSwitch = child("uvcAutoSwitch", exposure)
            verify(autoSwitch.checked)
            mouseClick(autoSwitch)
            compare(ui.calls[ui.calls.length - 1], "setCameraParameterAuto:exposure=false")

            const powerline = child("uvc_powerline")
            compare(child("uvcValueText", powerline).text, "60 Hz")
            const combo = child("powerlineCombo", powerline)
            compare(combo.currentIndex, 2)
            verify(!child("paramSlider", powerline).visible)
            combo.activated(1)
            compare(ui.calls[ui.calls.length - 1], "setCameraParameterValue:powerline=1")

            mouseClick(child("resetUvcButton"))
            compare(ui.calls[ui.calls.length - 1], "resetCameraParameters")
        }

        function test_mirrorSwitchAsksTheController() {
            const mirror = child("mirrorSwitch")
            verify(!mirror.checked)
            mouseClick(mirror)
            compare(ui.calls[ui.calls.length - 1], "setCameraMirror:true")
        }

        function test_thePreviewFeedsFromTheFilterChain() {
            const preview = child("cameraPreview")
            verify(cameraFilter.cameraSinks.indexOf(preview.videoSink) >= 0)
            compare(page.previewOutput, preview)
        }
    }
}
