// The live metrics line, rebuilt by the acquisition thread four times a second.
#include <chrono>

#include "app/ui_controller.h"
#include "core/streaming/streaming_acoustic_engine.h"
#include "core/streaming/udp_source.h"

namespace zk::app {

namespace {

constexpr std::int64_t kDegradationWarningGapNs = 5'000'000'000;

std::int64_t steadyNowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Whether a warning last given at `warnedNs` (0: never) may be given again now; if so, now is stored.
bool warningDue(std::int64_t& warnedNs) {
    const std::int64_t now = steadyNowNs();
    if (warnedNs != 0 && now - warnedNs <= kDegradationWarningGapNs) return false;
    warnedNs = now;
    return true;
}

QString ms(double value) { return QString::number(value, 'f', 2); }
QString usAsMs(std::uint64_t microseconds) {
    return QString::number(static_cast<double>(microseconds) / 1000.0, 'f', 1);
}

}  // namespace

void UiController::rebuildLiveMetrics(core::UdpSource* udp) {
    const BoundedBlockingQueue::Statistics dsp = liveSession_.dspQueue.statistics();
    const BoundedBlockingQueue::Statistics diagnostics = liveSession_.diagnosticsQueue.statistics();
    const core::MapLatencyStats latency = engines_.live->latencyStatistics();
    const LiveCounters& counters = liveSession_.counters;

    QString text;
    if (udp != nullptr) {
        const core::UdpReceiveStats stats = udp->statistics();
        liveSession_.udp.store(stats);
        // Overflows mean the machine does not keep up, at most one warning per 5 s; datagrams of the wrong
        // length, which mean the sender does not send what the profile describes, are the acquisition
        // thread's watch of the array's stream to tell.
        const std::uint64_t lossSum =
            dsp.droppedFrames + stats.datagramsDroppedBySocket + stats.datagramsDroppedBufferFull;
        if (lossSum > liveSession_.degradationSeenSum) {
            liveSession_.degradationSeenSum = lossSum;
            if (warningDue(liveSession_.degradationWarnedNs))
                setAdvisoryStatus(
                    UiText::tr("Acquisition degraded: DSP queue / socket overflow (dropped frames "
                               "are growing) - reduce imaging bins or close auxiliary views"));
        }
        const render::DiagnosticOutputs& d = diagnostics_.outputs;
        text = QStringLiteral(
                   "UDP %1 dgrams · %2 MB · rejected %3 · overflow %27 · ingress %4 fr · DSP q %5/%6 drop %7 "
                   "fr · diag drop "
                   "%8 fr "
                   "· rx err %9 · hops %10 · maps %11 · BF avg/p50/p95/p99/max %12/%13/%14/%15/%16 ms · map "
                   "overwrite %17 · DSP err %18 · diagC %19 ms/%20 · diagP %21 ms/%22 · st %23/%24/%25/%26")
                   .arg(stats.datagramsReceived)
                   .arg(static_cast<double>(stats.bytesReceived) / 1e6, 0, 'f', 1)
                   .arg(stats.datagramsDroppedWrongSize + stats.emptyDatagrams)
                   .arg(stats.bufferedFrames)
                   .arg(dsp.size)
                   .arg(dsp.highWaterMark)
                   .arg(dsp.droppedFrames)
                   .arg(diagnostics.droppedFrames)
                   .arg(stats.receiveErrors)
                   .arg(counters.dspHops.load())
                   .arg(counters.mapsPublished.load())
                   .arg(ms(latency.meanMs), ms(latency.p50Ms), ms(latency.p95Ms), ms(latency.p99Ms),
                        ms(latency.maxMs))
                   .arg(latency.supersededJobs)
                   .arg(counters.liveErrors.load())
                   .arg(usAsMs(d.collectUs.load()))
                   .arg(d.collectCount.load())
                   .arg(usAsMs(d.renderUs.load()))
                   .arg(d.renderCount.load())
                   .arg(usAsMs(d.levelsUs.load()), usAsMs(d.waveformUs.load()), usAsMs(d.spectrumUs.load()),
                        usAsMs(d.waterfallUs.load()))
                   .arg(stats.datagramsDroppedBySocket + stats.datagramsDroppedBufferFull);
    } else {
        text = QStringLiteral(
                   "hops %1 · maps %2 · BF avg/p50/p95/p99/max %3/%4/%5/%6/%7 ms · overwrite %8 · wire "
                   "values %9 · "
                   "DSP drop %10 fr · diag drop %11 fr · errors %12")
                   .arg(counters.dspHops.load())
                   .arg(counters.mapsPublished.load())
                   .arg(ms(latency.meanMs), ms(latency.p50Ms), ms(latency.p95Ms), ms(latency.p99Ms),
                        ms(latency.maxMs))
                   .arg(latency.supersededJobs)
                   .arg(counters.ingressSamples.load())
                   .arg(dsp.droppedFrames)
                   .arg(diagnostics.droppedFrames)
                   .arg(counters.liveErrors.load());
    }
    setLiveMetricsText(text);
}

}  // namespace zk::app
