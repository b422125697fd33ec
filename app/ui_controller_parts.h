#pragma once

// The objects the UiController owns beside its state records, grouped by topic. All are created and
// destroyed on the GUI thread; each field says which other threads touch it.

#include <QString>
#include <memory>
#include <mutex>
#include <string>

#include "app/ui_text.h"
#include "camera/uvc_camera_state.h"
#include "core/storage/device_profile.h"
#include "core/storage/device_session.h"

class QTimer;

namespace zk::core {
class ReplaySource;
class StreamingAcousticEngine;
class SyntheticSource;
class UdpSource;
}  // namespace zk::core

namespace zk::render {
class DiagnosticImageProvider;
class HeatmapImageProvider;
class HeatmapPainter;
}  // namespace zk::render

namespace zk::camera {
class UvcCameraControl;
class UvcControlBackend;
class UvcDeviceBinding;
}  // namespace zk::camera

namespace zk::app {

// The device profile in use and the one of the selected Measurement; GUI thread only.
struct ProfileRecords {
    core::DeviceSession session;
    core::DeviceProfile live;
    std::string json;  // the profile file's bytes as imported
    QString path;
    core::DeviceProfile frozen;  // of the selected Measurement; invalid while none is selected

    // The selected Measurement's sample rate, 0 while none with a valid frozen profile is selected.
    double frozenSampleRate() const { return frozen.isValid() ? frozen.sampleRateHz : 0.0; }
};

// The control backend of the platform, the binding and the controller's camera state.
struct CameraParts {
    std::unique_ptr<camera::UvcControlBackend> backend;
    std::unique_ptr<camera::UvcDeviceBinding> binding;
    camera::UvcCameraState state;
    std::unique_ptr<camera::UvcCameraControl> control;
};

// The live and the Replay engines.
struct EngineParts {
    std::unique_ptr<core::StreamingAcousticEngine> live;
    std::mutex liveMutex;  // guards pushes into live (DSP thread) against resets (GUI)
    std::unique_ptr<core::StreamingAcousticEngine> replay;
};

// The live and the Replay sample sources.
struct SourceParts {
    std::unique_ptr<core::UdpSource> udp;
    std::unique_ptr<core::SyntheticSource> synthetic;
    std::unique_ptr<core::ReplaySource> replay;
};

// The image providers, owned here until registerImageProviders hands them to the engine, and the
// painter that fills the heatmap one (any thread that publishes a map).
struct ImageOutputs {
    render::HeatmapImageProvider* heatmapProvider = nullptr;
    render::DiagnosticImageProvider* diagnosticProvider = nullptr;
    bool handedOver = false;
    std::unique_ptr<render::HeatmapPainter> painter;
};

// Timers, children of the controller.
struct ControllerTimers {
    QTimer* diagnosticRows = nullptr;     // 1000 ms, repeating
    QTimer* memoryLine = nullptr;         // 30000 ms, repeating
    QTimer* noiseCalibration = nullptr;   // 100 ms while calibrating
    QTimer* analysisSpectrum = nullptr;   // 250 ms, single-shot
    QTimer* recordingWatchdog = nullptr;  // single-shot, armed by a stop that waits for the video
};

}  // namespace zk::app
