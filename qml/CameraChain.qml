import QtQuick
import QtMultimedia

// The application's one camera: its feed into the camera filter chain (with the filter's watchdog), the
// UVC binding of the device that runs, and the recorder the controller starts and stops with a
// Recording. Pages see the camera through the window's appCamera.
Item {
    id: root
    objectName: "cameraChain"
    visible: false

    readonly property alias camera: sharedCamera
    readonly property alias mediaDevices: mediaDevices

    // A local path as a "file:///" URL with "/" separators; characters outside the URL-safe set are
    // percent-encoded. The leading "/" of a Unix path is the one after "file://".
    function localFileUrl(path) {
        let text = String(path).replace(/\\/g, "/")
        if (text.startsWith("/"))
            text = text.substring(1)
        const plain = /^[A-Za-z0-9\-._~!$&'()*+,;=:@\/]$/
        let url = "file:///"
        for (const ch of text)
            url += plain.test(ch) ? ch : encodeURIComponent(ch)
        return url
    }

    function hasDefaultVideoInput() {
        return String(mediaDevices.defaultVideoInput.id) !== ""
    }

    function open() {
        if (!sharedCamera || sharedCamera.active || !hasDefaultVideoInput())
            return
        sharedCamera.cameraDevice = mediaDevices.defaultVideoInput
        sharedCamera.start()
    }

    function bindActiveCamera() {
        ui.bindUvcCamera(String(sharedCamera.cameraDevice.id), sharedCamera.cameraDevice.description)
    }

    MediaDevices {
        id: mediaDevices
    }

    Camera {
        id: sharedCamera
        objectName: "sharedCamera"
        cameraDevice: mediaDevices.defaultVideoInput
    }

    CaptureSession {
        id: sharedCaptureSession
        camera: sharedCamera
        videoOutput: cameraFeed
        recorder: mediaRecorder
    }

    VideoOutput {
        id: cameraFeed
        visible: false
        width: 0
        height: 0
        Component.onCompleted: cameraFilter.attachInput(cameraFeed.videoSink)
    }

    MediaRecorder {
        id: mediaRecorder
        objectName: "mediaRecorder"
        onRecorderStateChanged: {
            ui.logMediaDiagnostic("recorderState -> " + recorderState + " error=" + errorString)
            if (recorderState === MediaRecorder.RecordingState)
                ui.notifyVideoRecorderStarted()
            else if (recorderState === MediaRecorder.StoppedState)
                ui.notifyVideoRecorderStopped(String(actualLocation))
        }
        onErrorOccurred: (error, errorString) => {
            ui.logMediaDiagnostic("RECORDER ERROR " + error + ": " + errorString)
            ui.notifyVideoRecorderStopped("")
        }
    }

    Timer {
        id: uvcBindTimer
        objectName: "uvcBindTimer"
        interval: 250
        onTriggered: {
            if (sharedCamera.active)
                root.bindActiveCamera()
        }
    }

    Binding {
        target: cameraFilter
        property: "watchdogArmed"
        value: sharedCamera.active
    }

    Connections {
        target: cameraFilter
        function onRestartRequested() {
            ui.logMediaDiagnostic("camera watchdog restart #" + cameraFilter.restartCount)
            sharedCamera.stop()
            sharedCamera.start()
        }
    }

    Connections {
        target: sharedCamera
        function onActiveChanged() {
            if (sharedCamera.active) {
                uvcBindTimer.restart()
            } else {
                uvcBindTimer.stop()
                ui.unbindUvcCamera()
            }
        }
        function onCameraDeviceChanged() {
            if (!sharedCamera.active)
                return
            uvcBindTimer.stop()
            root.bindActiveCamera()
        }
    }

    Connections {
        target: ui
        function onVideoRecordStartRequested(path) {
            const active = !!sharedCamera && sharedCamera.active
            ui.logMediaDiagnostic("video start requested; camera active=" + active + " path=[" + path + "]")
            if (!active)
                return
            mediaRecorder.outputLocation = root.localFileUrl(path)
            mediaRecorder.record()
            ui.logMediaDiagnostic("record() called; state=" + mediaRecorder.recorderState
                                  + " error=" + mediaRecorder.errorString)
        }
        function onVideoRecordStopRequested() {
            if (mediaRecorder.recorderState === MediaRecorder.RecordingState)
                mediaRecorder.stop()
            else
                ui.notifyVideoRecorderStopped("")
        }
    }
}
