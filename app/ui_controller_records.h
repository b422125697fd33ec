#pragma once

// Records the UiController keeps its state in, grouped by topic; each field says who touches it.

#include <QString>
#include <QVariantList>
#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

#include "app/analysis_session.h"
#include "app/replay_session.h"
#include "core/beamforming/beamforming_parameters.h"
#include "core/beamforming/heatmap_grid.h"
#include "core/signal/frequency_band.h"
#include "render/diagnostic_state.h"
#include "render/heatmap_state.h"

namespace zk::app {

// The session states; UiController::sessionState names them.
enum SessionState : std::int32_t {
    kNoProfile = 0,
    kReady = 1,
    kStarting = 2,
    kRunning = 3,
    kStopping = 4,
    kFaulted = 5,
};
enum RecordingState : std::int32_t { kRecordingIdle = 0, kRecordingActive = 1, kRecordingFinalizing = 2 };
enum ReplayState : std::int32_t {
    kReplayIdle = 0,
    kReplayLoading = 1,
    kReplayPlaying = 2,
    kReplayPaused = 3,
    kReplayFinished = 4,
    kReplayFaulted = 5,
};

// Session, Recording and Replay states and the run flags: written on the GUI thread, read by workers.
struct RunState {
    std::atomic<std::int32_t> session{kNoProfile};
    std::atomic<std::int32_t> recording{kRecordingIdle};
    std::atomic<std::int32_t> replay{kReplayIdle};
    std::atomic<bool> fullRecomputeRunning{false};  // analysisBusy
    std::atomic<bool> noiseCalibrating{false};      // read by the capture thread
    std::atomic<bool> liveRunning{false};           // the live threads run while set
    std::atomic<bool> replayRunning{false};         // the replay threads run while set
    std::atomic<bool> fullRecomputeCancel{false};   // polled by the Full Recompute worker
    std::atomic<double> analysisProgress{0.0};      // the Full Recompute worker writes, the GUI reads
    std::atomic<bool> analysisSpectrumCancel{false};
};

// The status line, the live metrics line and the two logs. Any thread may write them; each mutex
// guards only the field after it, no two are held together and none is held while a signal goes out.
// How a status text meets the one on the status line: Held marks a stop reason, which Advisory texts
// (background notices) leave standing until the next Plain one.
enum class StatusWeight { Plain, Advisory, Held };

struct ControllerTexts {
    mutable std::mutex statusMutex;  // guards statusText, statusSource, its arguments and count, statusHeld
    QString statusText;
    const char* statusSource = nullptr;  // the catalogue text statusText was made from, if any
    QStringList statusArguments;
    int statusCount = -1;     // the %n of a plural statusSource, else -1
    bool statusHeld = false;  // statusText is a stop reason that background notices leave standing
    std::atomic<bool> initialPrompt{true};  // the status line still shows the start-up prompt
    mutable std::mutex liveMetricsMutex;    // guards liveMetrics
    QString liveMetrics;
    mutable std::mutex logMutex;  // guards both logs
    std::deque<QString> eventLog;
    std::deque<QString> diagnosticsLog;
};

// The live map's algorithm, band and simulated source; GUI thread only (workers get snapshots).
struct LiveSettings {
    QString source = QStringLiteral("UDP");
    QString algorithmName = QStringLiteral("01 DAS / Conventional");
    double frequency = 8000.0;  // Hz; also the band centre and the simulated source's frequency
    double azimuth = 0.0;       // degrees, of the simulated source
    double elevation = 0.0;
    core::FrequencyBandParameters band{0, 2, 8000.0, 2000.0, 0};
    core::BeamformingParameters beamforming;
};

// Display and acquisition settings that the map workers read without a lock: written by the GUI
// thread's setters, one atomic each.
struct DisplaySettings {
    std::atomic<double> fixedReferenceDbfs{-30.0};
    std::atomic<std::int32_t> heatmapScaleMode{0};  // 0 "Auto peak", 1 "Fixed dBFS"
    std::atomic<std::int32_t> heatmapColormap{0};
    std::atomic<std::int32_t> heatmapStyle{0};
    std::atomic<double> heatmapOpacity{0.82};
    std::atomic<bool> diagonalRemoval{true};
    std::atomic<std::int32_t> focusDistanceIndex{0};
    std::atomic<double> airTemperatureC{20.0};
    std::atomic<bool> cameraMirror{false};
    std::atomic<double> cameraOverlayAlpha{0.5};
    std::atomic<double> cameraOverlayThreshold{0.35};
    std::atomic<double> cameraOverlayScale{1.0};
    std::atomic<double> cameraOverlayOffsetX{0.0};
    std::atomic<double> cameraOverlayOffsetY{0.0};
};

// The Full Recompute's own settings and the analysis window; GUI thread only.
struct AnalysisSettings {
    QString algorithm = QStringLiteral("01 DAS (CBF)");
    core::BeamformingParameters beamforming;
    QString status;
    double frequencyHz = 1000.0;
    int frameSize = 1024;
    int hopSize = 512;
    // The hop the user chose last (or the stored one): a framing the form borrows from a run or from
    // "Analyze at position" leaves it alone, and a new frame size starts from it.
    int ownHopSize = 512;
    double gridStepDeg = 1.0;
    QString bandMode = QStringLiteral("1/3 octave");
    double bandwidthHz = 2000.0;
    int focusIndex = 0;
    double windowSeconds = 0.0;
    bool hasWindow = false;
    double windowStartS = 0.0;
    double windowEndS = 0.0;
    AnalysisRunState runs;  // the run list, the selected run and the pending result
};

// The map hand-off: the latest published map and what the heatmap painter publishes back.
struct MapHandoff {
    mutable std::mutex mutex;  // guards latest; map workers write, the GUI thread and painters read
    std::optional<core::HeatmapGrid> latest;
    mutable std::mutex displayMutex;  // guards smoothing; painting threads only
    render::HeatmapSmoothingMemory smoothing;
    mutable std::mutex shaderStateMutex;  // guards shaderState; painters write, getters read
    render::HeatmapShaderState shaderState;
    std::atomic<std::int32_t> visiblePixels{0};  // written by the painter, read by the getter
    std::atomic<bool> hasHeatmap{false};         // a map was published since the last clear
};

// What the diagnostics renderer keeps and publishes.
struct DiagnosticsRecords {
    mutable std::mutex mutex;  // guards state; diagnostics workers and the GUI thread
    render::DiagnosticsState state;
    mutable std::mutex meterMutex;  // guards meters; diagnostics workers write, getters read
    render::ChannelMeters meters;
    render::DiagnosticOutputs outputs;  // atomics, no lock
    QVariantList rows;                  // the diagnostic rows; GUI thread only
    // Rate memory of the rows: the datagram count and steady time of the previous snapshot; GUI only.
    std::uint64_t previousDatagrams = 0;
    std::int64_t previousSnapshotNs = 0;  // 0 before the first snapshot
    // Raised for every stored analysisSpectrum image (GUI thread), read by any thread.
    std::atomic<std::uint64_t> analysisSpectrumRevision{0};
    // Raised by every analysis spectrum request; a spectrum posted for an older one is dropped. GUI only.
    std::uint64_t analysisSpectrumGeneration = 0;
};

// The controller's worker threads; the destructor stops and joins them in its own order.
struct WorkerThreads {
    std::jthread noiseCapture;
    std::jthread acquisition;
    std::jthread dsp;
    std::jthread liveMap;
    std::jthread liveDiagnostics;
    std::jthread replayMap;
    std::jthread replayReader;
    std::jthread fullRecompute;
    std::jthread analysisSpectrum;
    std::jthread recordingFinalize;
};

}  // namespace zk::app
