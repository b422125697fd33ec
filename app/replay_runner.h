#pragma once

#include <QString>
#include <cstdint>
#include <stop_token>

#include "core/beamforming/beamforming_parameters.h"
#include "core/signal/frequency_band.h"
#include "core/storage/device_profile.h"
#include "core/storage/measurement_store.h"

namespace zk::core {
class ReplaySource;
}  // namespace zk::core

namespace zk::render {
struct DiagnosticsContext;
}  // namespace zk::render

namespace zk::app {

class PacingClock;
class UiController;

// What the reader thread of one Replay is given at its start: copies, so that it never reads the GUI
// thread's records.
struct ReplayStart {
    core::MeasurementRecord record;
    core::DeviceProfile profile;  // the frozen profile
    double frequencyHz = 0.0;     // on a bin of the frozen sample rate
    core::FrequencyBandParameters band;
    core::BeamformingParameters beamforming;
    std::uint64_t generation = 0;
};

// The Replay's threads and the GUI-thread steps they share with the controller's operations. A friend
// of UiController; every function says the thread it runs on.
class ReplayRunner {
  public:
    // The live frequency rule at the frozen sample rate: a bin 1 .. N/2 - 1 of the engine's frame.
    static double limitedFrequency(double hz, double sampleRateHz);
    // The band with its centre limited like the frequency.
    static core::FrequencyBandParameters limitedBand(core::FrequencyBandParameters band, double sampleRateHz);

    // GUI thread: sets the running flag and starts the reader.
    static void startThreads(UiController& ui, ReplayStart start);
    // GUI thread: clears the running flag, joins the map thread, then the reader. Holds no lock while
    // joining.
    static void stopThreads(UiController& ui);
    // GUI thread: emits replayStateChanged and uiStateChanged when the state changes.
    static void setState(UiController& ui, std::int32_t state);
    // GUI thread: a paused Replay seeks to where it is, so that its map is made again with new settings.
    static void refreshPausedMap(UiController& ui);
    // GUI thread: hands the current band and beamforming parameters to a playing or paused Replay;
    // failures are reported with the Replay's texts. A loading Replay reports them pending.
    static void publishBand(UiController& ui);
    static void publishBeamforming(UiController& ui);
    // GUI thread: Faulted with the error in the metrics, "Replay failed: %1" and replayFinished(false).
    static void onFailed(UiController& ui, const QString& error);

  private:
    static void reportPendingWhileLoading(UiController& ui);
    static void readerLoop(UiController& ui, std::stop_token stop, ReplayStart start);
    static void mapLoop(UiController& ui, std::stop_token stop);
    // Reader thread: warm-up and waterfall history before frame target, then one map.
    static void seek(UiController& ui, std::stop_token stop, PacingClock& pacing, core::ReplaySource& source,
                     const core::DeviceProfile& profile, const render::DiagnosticsContext& context,
                     std::int64_t target, std::uint64_t generation);
    // Reader thread: joins the map thread, so that the final map is rendered by the reader alone.
    static void joinMapThread(UiController& ui);
    static bool running(const UiController& ui, const std::stop_token& stop);

    // Handlers posted by the reader to the GUI thread; each drops itself unless its Replay is current.
    static void post(UiController& ui, std::uint64_t generation, int kind, const QString& text = {});
    static void onStarted(UiController& ui);
    static void onFinished(UiController& ui);
    // GUI thread: joins the ended Replay's threads and frees its source and engine pipeline.
    static void releaseEnded(UiController& ui);
};

}  // namespace zk::app
