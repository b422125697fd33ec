#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>

#include "app/pacing_clock.h"
#include "app/sample_block_queue.h"
#include "core/streaming/synthetic_source.h"

namespace zk::core {
struct UdpReceiveStats;
}  // namespace zk::core

namespace zk::app {

// Start counter of a live session: each consumer thread adds 1 once it runs.
using LiveStarted = std::shared_ptr<std::atomic<int>>;

// Counters of one live session. The GUI thread zeroes them before the workers start (so they never
// count into an earlier session); then the workers named beside each write them and any thread reads.
struct LiveCounters {
    std::atomic<std::uint64_t> ingressSamples{0};  // acquisition
    std::atomic<std::uint64_t> dspHops{0};         // DSP: the engine's processed block count
    std::atomic<std::uint64_t> liveErrors{0};      // acquisition, DSP, live and replay map threads together
    std::atomic<std::uint64_t> diagnosticsErrors{0};  // live diagnostics, apart: never hides their first
    std::atomic<std::uint64_t> mapsPublished{0};      // live map
    std::atomic<std::uint64_t> mapsRendered{0};       // live map
    std::atomic<std::uint64_t> renderTimeSumUs{0};    // live map
    std::atomic<std::uint64_t> renderTimeMaxUs{0};    // live map, raised by compare-and-swap

    void zero();
    // Adds one render time and raises the maximum to it when larger.
    void addRenderTime(std::uint64_t microseconds);
};

// The UDP receive statistics as of the last live metrics line: written by the acquisition thread,
// read by any thread.
struct PublishedUdpStatistics {
    std::atomic<std::uint64_t> datagrams{0};
    std::atomic<std::uint64_t> wrongSizeDatagrams{0};  // wrong-size and empty ones
    std::atomic<std::uint64_t> overflowDatagrams{0};   // dropped by the system or the full sample buffer
    std::atomic<std::uint64_t> bytes{0};
    std::atomic<std::uint64_t> receiveErrors{0};
    std::atomic<std::uint64_t> bufferedFrames{0};

    void store(const core::UdpReceiveStats& stats);
    void zero();
};

// The live session record of the UiController, beside its sources, engine and threads.
struct LiveSessionState {
    // acquisition thread -> DSP thread; a DSP that falls behind gets the newest samples in runs
    BoundedBlockingQueue dspQueue{BoundedBlockingQueue::kDefaultCapacity,
                                  BoundedBlockingQueue::Overflow::kDropBacklog};
    BoundedBlockingQueue diagnosticsQueue;  // acquisition thread -> live diagnostics thread
    // Set by the GUI thread when the start transaction commits, cleared by stop and a failed start;
    // the acquisition thread reads nothing from its source until it is set.
    std::atomic<bool> committed{false};
    // The clock the synthetic source is paced by: written by the GUI thread between sessions (tests
    // stand in their own), loaded once by each acquisition thread as it starts.
    std::atomic<PacingClock*> clock{&PacingClock::steady()};
    // Called by the DSP thread before each block it takes, to slow it on purpose (tests and benchmarks):
    // written by the GUI thread between sessions, copied by each DSP thread as it starts.
    std::function<void(std::stop_token)> beforeDspBlock;
    // The synthetic source's settings; GUI thread only (the source gets a copy).
    core::SyntheticSourceSettings syntheticSettings{1000.0, 0.0, 0.0, 343.0, 30000.0, false, 0.0, 0.0};
    LiveCounters counters;
    PublishedUdpStatistics udp;
    // Degradation watch of the metrics line: the acquisition thread only, reset by the GUI thread
    // before the workers start.
    std::uint64_t degradationSeenSum = 0;
    std::int64_t degradationWarnedNs = 0;  // steady clock of the last warning; 0 before the first
    std::uint32_t datagramBytes = 0;       // the profile's datagram length; 0 without a layout
    // The live map no longer follows the array: set by the acquisition thread when the source falls
    // silent, cleared by it when data returns and by the GUI thread at start and stop.
    std::atomic<bool> mapStale{false};
};

}  // namespace zk::app
