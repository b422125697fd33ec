#pragma once

// Stands in for the session machinery around the beamforming and display settings: sets the session,
// Recording and Replay states, a Replay's frozen profile, and hands a map over as the map publishers
// do, so the setters can be exercised against a real, test-driven live engine. It also reaches the
// live counters and queues, and runs the metrics line and the diagnostic rows on demand.

#include <QImage>
#include <mutex>
#include <optional>
#include <stop_token>
#include <vector>

#include "app/live_runner.h"
#include "app/ui_controller.h"
#include "core/beamforming/heatmap_grid.h"
#include "core/streaming/streaming_acoustic_engine.h"
#include "core/streaming/synthetic_source.h"

namespace zk::app {

class BeamformingSettingsTestPeer {
  public:
    explicit BeamformingSettingsTestPeer(UiController& ui) : ui_(ui) {}

    void setSessionState(std::int32_t state) { ui_.setSessionState(state); }
    void setRecordingState(std::int32_t state) { ui_.run_.recording.store(state); }
    void setReplayState(std::int32_t state) { ui_.run_.replay.store(state); }
    void setReplayProfile(const core::DeviceProfile& profile) { ui_.profileState_.frozen = profile; }

    core::StreamingAcousticEngine& liveEngine() { return *ui_.engines_.live; }
    // Held by the DSP thread around each push: a test that holds it stalls the DSP.
    std::mutex& liveEngineMutex() { return ui_.engines_.liveMutex; }
    core::StreamingAcousticEngine& replayEngine() { return *ui_.engines_.replay; }
    const core::BeamformingParameters& beamforming() const { return ui_.live_.beamforming; }
    const core::FrequencyBandParameters& band() const { return ui_.live_.band; }

    void handOverMap(const core::HeatmapGrid& map) {
        std::lock_guard lock(ui_.map_.mutex);
        ui_.map_.latest = map;
    }

    std::optional<core::HeatmapGrid> latestMap() const {
        std::lock_guard lock(ui_.map_.mutex);
        return ui_.map_.latest;
    }

    void setWaterfallImage(const QImage& image) {
        std::lock_guard lock(ui_.diagnostics_.mutex);
        ui_.diagnostics_.state.waterfall.image = image;
    }
    QImage waterfallImage() const {
        std::lock_guard lock(ui_.diagnostics_.mutex);
        return ui_.diagnostics_.state.waterfall.image;
    }

    LiveSessionState& liveSession() { return ui_.liveSession_; }
    core::UdpSource* udpSource() const { return ui_.sources_.udp.get(); }  // set while a UDP session runs
    void rebuildLiveMetrics(core::UdpSource* udp) { ui_.rebuildLiveMetrics(udp); }
    void rebuildDiagnosticRows() { ui_.rebuildDiagnosticRows(); }
    // One pass of the acquisition thread's watch of the array's stream, told as that thread tells it;
    // true when the pass's samples follow a silence.
    bool watchArrayStream(ArrayStreamWatch& watch, ArrayStreamWatch::Clock::time_point now, bool samples,
                          const core::UdpReceiveStats& stats) {
        return LiveRunner::reportArrayStream(ui_, watch.observe(now, samples, stats));
    }
    void setChannelMeters(std::vector<double> rmsDbfs, std::vector<double> peakDbfs) {
        std::lock_guard lock(ui_.diagnostics_.meterMutex);
        ui_.diagnostics_.meters.rmsDbfs = std::move(rmsDbfs);
        ui_.diagnostics_.meters.peakDbfs = std::move(peakDbfs);
    }
    // The clocks the next Replay and the next synthetic live session are paced by.
    void setReplayClock(PacingClock& clock) { ui_.replay_.clock.store(&clock); }
    void setLiveClock(PacingClock& clock) { ui_.liveSession_.clock.store(&clock); }
    // The live acquisition thread's body over a synthetic source, on the calling thread, with the start
    // transaction's running and committed flags left to the test: a commit as late as the test likes.
    void setLiveRunning(bool running) { ui_.run_.liveRunning.store(running); }
    void runSyntheticAcquisition(std::stop_token stop, core::SyntheticSource& source,
                                 const core::DeviceProfile& profile) {
        LiveRunner::acquisitionLoop(ui_, stop, nullptr, &source, profile.sampleRateHz,
                                    profile.wireChannelCount);
    }

  private:
    UiController& ui_;
};

}  // namespace zk::app
