#include "app/live_session_state.h"

#include "core/streaming/udp_source.h"

namespace zk::app {

void LiveCounters::zero() {
    for (std::atomic<std::uint64_t>* counter :
         {&ingressSamples, &dspHops, &liveErrors, &diagnosticsErrors, &mapsPublished, &mapsRendered,
          &renderTimeSumUs, &renderTimeMaxUs}) {
        counter->store(0);
    }
}

void LiveCounters::addRenderTime(std::uint64_t microseconds) {
    renderTimeSumUs.fetch_add(microseconds);
    std::uint64_t seen = renderTimeMaxUs.load();
    while (microseconds > seen && !renderTimeMaxUs.compare_exchange_weak(seen, microseconds)) {
    }
}

void PublishedUdpStatistics::store(const core::UdpReceiveStats& stats) {
    datagrams.store(stats.datagramsReceived);
    wrongSizeDatagrams.store(stats.datagramsDroppedWrongSize + stats.emptyDatagrams);
    overflowDatagrams.store(stats.datagramsDroppedBySocket + stats.datagramsDroppedBufferFull);
    bytes.store(stats.bytesReceived);
    receiveErrors.store(stats.receiveErrors);
    bufferedFrames.store(stats.bufferedFrames);
}

void PublishedUdpStatistics::zero() { store(core::UdpReceiveStats{}); }

}  // namespace zk::app
