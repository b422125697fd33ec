#pragma once

#include <cstdint>
#include <stop_token>

#include "app/array_stream_watch.h"
#include "app/live_session_state.h"
#include "core/storage/device_profile.h"

namespace zk::core {
class SyntheticSource;
class UdpSource;
}  // namespace zk::core

namespace zk::app {

class UiController;

// The live session's four worker threads (acquisition, DSP, live map, diagnostics) and what the
// acquisition thread tells the user of the array's stream. A friend of UiController, as ReplayRunner
// is; workers see atomics, copies and their sources. Every function says the thread it runs on.
class LiveRunner {
  public:
    // GUI thread: resets the queues, starts DSP, map, diagnostics, waits until they run, then
    // acquisition.
    static void startThreads(UiController& ui, const core::DeviceProfile& profile);
    // GUI thread: closes both queues, then stops and joins acquisition, DSP, live map, diagnostics in
    // order; no lock.
    static void stopThreads(UiController& ui);
    // The acquisition thread's body.
    static void acquisitionLoop(UiController& ui, std::stop_token stop, core::UdpSource* udp,
                                core::SyntheticSource* synthetic, double sampleRateHz,
                                std::uint32_t wireChannels);
    // Acquisition thread: tells what the watch of the array's stream noticed (a silence's onset marks
    // the map stale and ends a Recording, data again clears the mark); true when this pass's samples
    // come after a silence.
    static bool reportArrayStream(UiController& ui, const ArrayStreamWatch::Notices& notices);

  private:
    static void dspLoop(UiController& ui, std::stop_token stop, LiveStarted started);
    static void mapLoop(UiController& ui, std::stop_token stop, LiveStarted started);
    static void diagnosticsLoop(UiController& ui, std::stop_token stop, LiveStarted started,
                                core::DeviceProfile profile);
};

}  // namespace zk::app
