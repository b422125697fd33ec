#pragma once

#include <atomic>
#include <cstdint>

#include "app/bounded_blocking_queue.h"
#include "core/beamforming/heatmap_grid.h"
#include "core/streaming/synthetic_source.h"
#include "core/streaming/udp_source.h"

namespace zk::app {

// Counters of one live session. The GUI thread zeroes them before the workers start (so they never
// count into an earlier session); then the workers named beside each write them and any thread reads.
struct LiveCounters {
    std::atomic<std::uint64_t> ingressSamples{0};   // acquisition
    std::atomic<std::uint64_t> dspHops{0};          // DSP: the engine's processed block count
    std::atomic<std::uint64_t> liveErrors{0};       // acquisition, DSP and live map threads together
    std::atomic<std::uint64_t> mapsPublished{0};    // live map
    std::atomic<std::uint64_t> mapsRendered{0};     // live map
    std::atomic<std::uint64_t> renderTimeSumUs{0};  // live map
    std::atomic<std::uint64_t> renderTimeMaxUs{0};  // live map, raised by compare-and-swap

    void zero();
    // Adds one render time and raises the maximum to it when larger.
    void addRenderTime(std::uint64_t microseconds);
};

// The UDP receive statistics as of the last live metrics line: written by the acquisition thread,
// read by any thread.
struct PublishedUdpStatistics {
    std::atomic<std::uint64_t> datagrams{0};
    std::atomic<std::uint64_t> wrongSizeDatagrams{0};
    std::atomic<std::uint64_t> bytes{0};
    std::atomic<std::uint64_t> receiveErrors{0};
    std::atomic<std::uint64_t> bufferedFrames{0};

    void store(const core::UdpReceiveStats& stats);
    void zero();
};

// Statistics of the latest published map, one atomic exchange each by whichever thread publishes,
// read by the property getters. A getter may see a newer map's value than the image it shows, never a
// torn one.
struct PublishedMapStatistics {
    std::atomic<double> peakAzimuthDeg{0.0};
    std::atomic<double> peakElevationDeg{0.0};
    std::atomic<double> peakRelativeDb{0.0};
    std::atomic<double> peakDb{0.0};
    std::atomic<double> dynamicRangeDb{0.0};
    std::atomic<double> representativeFrequencyHz{0.0};
    std::atomic<double> firstFrequencyHz{0.0};
    std::atomic<double> lastFrequencyHz{0.0};
    std::atomic<std::uint32_t> binCount{0};
    std::atomic<std::uint64_t> parameterRevision{0};
    std::atomic<std::uint32_t> algorithmId{0};

    void publish(const core::HeatmapGrid& map);
};

// What the UiController keeps for its live session beside its sources, engine and threads.
struct LiveSessionState {
    BoundedBlockingQueue dspQueue{64};          // acquisition thread -> DSP thread
    BoundedBlockingQueue diagnosticsQueue{64};  // acquisition thread -> live diagnostics thread
    // Set by the GUI thread when the start transaction commits, cleared by stop and a failed start;
    // the acquisition thread reads nothing from its source until it is set.
    std::atomic<bool> committed{false};
    // The synthetic source's settings; GUI thread only (the source gets a copy).
    core::SyntheticSourceSettings syntheticSettings{1000.0, 0.0, 0.0, 343.0, 30000.0, false, 0.0, 0.0};
    LiveCounters counters;
    PublishedUdpStatistics udp;
    // Degradation watch of the metrics line: the acquisition thread only, reset by the GUI thread
    // before the workers start.
    std::uint64_t degradationSeenSum = 0;
    std::int64_t degradationWarnedNs = 0;  // steady clock of the last warning; 0 before the first
    PublishedMapStatistics map;
};

}  // namespace zk::app
