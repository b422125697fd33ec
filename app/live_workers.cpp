// The four live worker threads: acquisition, DSP, live map render and live diagnostics.
#include <QCoreApplication>
#include <chrono>
#include <cmath>
#include <functional>
#include <optional>
#include <thread>

#include "app/error_text.h"
#include "app/live_dsp_step.h"
#include "app/live_runner.h"
#include "app/pacing_clock.h"
#include "app/platform/thread_name.h"
#include "app/ui_controller.h"
#include "core/platform/socket_platform.h"
#include "core/streaming/streaming_acoustic_engine.h"
#include "core/streaming/synthetic_source.h"
#include "core/streaming/udp_source.h"
#include "render/diagnostic_renderer.h"

namespace zk::app {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint64_t kFramesPerRead = 256;
constexpr auto kMetricsInterval = std::chrono::milliseconds(250);
constexpr auto kIdleNap = std::chrono::milliseconds(1);
constexpr auto kErrorNap = std::chrono::milliseconds(10);
constexpr auto kMapPollNap = std::chrono::milliseconds(2);
constexpr int kWorkersBeforeAcquisition = 3;

// The diagnostics thread counts apart from the threads that share the live-errors counter, so that its
// errors never hide their first message; only its own first error after a start shows.
void countDiagnosticsError(UiController& ui, std::atomic<std::uint64_t>& errors, const QString& text) {
    try {
        if (errors.fetch_add(1) != 0) return;
        ui.setStatusText(UiText::tr("Diagnostics error: %1").arg(text));
    } catch (...) {
        // Reporting itself failed (out of memory): the counter still shows the error.
    }
}

}  // namespace

void LiveRunner::startThreads(UiController& ui, const core::DeviceProfile& profile) {
    ui.liveSession_.dspQueue.reset();
    ui.liveSession_.diagnosticsQueue.reset();
    auto started = std::make_shared<std::atomic<int>>(0);  // each consumer adds 1 once it runs

    // Moving a new thread into a member stops and joins the member's previous thread first.
    ui.threads_.dsp = std::jthread([&ui, started](std::stop_token stop) { dspLoop(ui, stop, started); });
    ui.threads_.liveMap = std::jthread([&ui, started](std::stop_token stop) { mapLoop(ui, stop, started); });
    ui.threads_.liveDiagnostics = std::jthread(
        [&ui, started, profile](std::stop_token stop) { diagnosticsLoop(ui, stop, started, profile); });
    // The consumers wait on their queues before the first block can arrive.
    while (started->load() < kWorkersBeforeAcquisition && ui.run_.liveRunning.load())
        std::this_thread::yield();

    core::UdpSource* udp = ui.sources_.udp.get();
    core::SyntheticSource* synthetic = ui.sources_.synthetic.get();
    const double sampleRateHz = profile.sampleRateHz;
    const std::uint32_t wireChannels = profile.wireChannelCount;
    ui.threads_.acquisition = std::jthread([=, &ui](std::stop_token stop) {
        acquisitionLoop(ui, stop, udp, synthetic, sampleRateHz, wireChannels);
    });
}

void LiveRunner::stopThreads(UiController& ui) {
    ui.run_.liveRunning.store(false);
    ui.liveSession_.dspQueue.close();
    ui.liveSession_.diagnosticsQueue.close();
    for (std::jthread* thread :
         {&ui.threads_.acquisition, &ui.threads_.dsp, &ui.threads_.liveMap, &ui.threads_.liveDiagnostics}) {
        if (thread->joinable()) thread->request_stop();
    }
    for (std::jthread* thread :
         {&ui.threads_.acquisition, &ui.threads_.dsp, &ui.threads_.liveMap, &ui.threads_.liveDiagnostics}) {
        if (thread->joinable()) thread->join();
    }
}

void UiController::countLiveError(const char* format, const QString& text, bool logEvent) {
    try {
        if (liveSession_.counters.liveErrors.fetch_add(1) != 0) return;
        const QString message = UiText::tr(format).arg(text);
        if (logEvent) {
            reportEvent(message);
        } else {
            setStatusText(message);
        }
    } catch (...) {
        // Reporting itself failed (out of memory): the counter still shows the error.
    }
}

void LiveRunner::acquisitionLoop(UiController& ui, std::stop_token stop, core::UdpSource* udp,
                                 core::SyntheticSource* synthetic, double sampleRateHz,
                                 std::uint32_t wireChannels) {
    platform::nameCurrentThread("zk-acquisition");
    const auto readPeriod = std::chrono::nanoseconds(
        static_cast<std::int64_t>(std::trunc(static_cast<double>(kFramesPerRead) / sampleRateHz * 1e9)));
    // Also the clock the array's silences and rejected datagrams are timed by.
    PacingClock& pacing = *ui.liveSession_.clock.load();
    // The synthetic source's clock starts at its first read: the time it waited for the commit is no
    // sample time, and catching up on it would send a burst.
    std::optional<Clock::time_point> deadline;
    Clock::time_point nextMetrics = Clock::now();
    ArrayStreamWatch watch;
    watch.restart(pacing.now());
    bool receiveStopReported = false;
    while (ui.run_.liveRunning.load() && !stop.stop_requested()) {
        try {
            if (!ui.liveSession_.committed.load()) {
                pacing.nap(kIdleNap);
                watch.restart(pacing.now());
                continue;
            }
            std::vector<std::int16_t> samples;
            bool gap = false;
            if (udp != nullptr) {
                core::UdpRead read = udp->readBlock(kFramesPerRead);
                samples = std::move(read.samples);
                gap = read.gapBefore;
            } else if (synthetic != nullptr) {
                if (!deadline) deadline = pacing.now();
                samples = synthetic->readFrames(kFramesPerRead);
                *deadline += readPeriod;
                pacing.sleepUntil(*deadline);
            } else {
                std::this_thread::sleep_for(kIdleNap);  // no source: nothing to read, nothing to spin on
            }
            bool afterSilence = false;
            if (udp != nullptr) {
                // The time first: the counters read after it hold every datagram that came before it.
                const Clock::time_point now = pacing.now();
                afterSilence = reportArrayStream(ui, watch.observe(now, !samples.empty(), udp->statistics()));
            }
            if (!samples.empty()) {
                const std::uint64_t frames = wireChannels == 0 ? 0 : samples.size() / wireChannels;
                ui.liveSession_.counters.ingressSamples.fetch_add(samples.size());
                // Samples after a silence do not follow the ones before it: a Recording ended at the
                // silence, and the engine restarts its window.
                ui.appendRecordingBlock(samples, gap || afterSilence);  // at once unless a Recording runs
                // One copy for the diagnostics; the DSP gets the read vector itself.
                ui.liveSession_.diagnosticsQueue.push(SampleBlock{samples, frames, gap, afterSilence});
                ui.liveSession_.dspQueue.push(SampleBlock{std::move(samples), frames, gap, afterSilence});
            }
            const Clock::time_point now = Clock::now();
            if (now >= nextMetrics) {
                nextMetrics = now + kMetricsInterval;
                ui.rebuildLiveMetrics(udp);
                std::optional<std::string> stopReason;
                if (udp != nullptr && !receiveStopReported) stopReason = udp->receiveStopReason();
                if (stopReason) {
                    // No data will come: the GUI thread ends the session Faulted and says why, once. A
                    // session started since then has another source and is left alone.
                    receiveStopReported = true;
                    const QString text =
                        UiText::tr("UDP receive stopped: %1").arg(QString::fromStdString(*stopReason));
                    QMetaObject::invokeMethod(
                        &ui,
                        [&ui, udp, text] {
                            if (ui.run_.session.load() != kRunning || ui.sources_.udp.get() != udp) return;
                            try {
                                ui.haltLive(true);
                                ui.reportEvent(text);
                            } catch (...) {
                                // Only the report can fail (out of memory); haltLive left no worker running.
                            }
                        },
                        Qt::QueuedConnection);
                }
            }
        } catch (const std::exception& error) {
            ui.countLiveError(QT_TRANSLATE_NOOP("UiController", "Acquisition error: %1"), textOf(error),
                              true);
            std::this_thread::sleep_for(kErrorNap);
        } catch (...) {
            ui.countLiveError(QT_TRANSLATE_NOOP("UiController", "Acquisition error: %1"),
                              UiText::tr("unknown error"), true);
            std::this_thread::sleep_for(kErrorNap);
        }
    }
    ui.liveSession_.dspQueue.close();
    ui.liveSession_.diagnosticsQueue.close();
}

bool LiveRunner::reportArrayStream(UiController& ui, const ArrayStreamWatch::Notices& notices) {
    if (notices.stray) {
        ui.reportAdvisory(UiText::tr("Datagrams from another sender ignored: %1 bytes from %2; the array's "
                                     "stream goes on")
                              .arg(notices.stray->bytes)
                              .arg(QString::fromStdString(core::senderText(notices.stray->sender))));
    }
    if (notices.rejections) {
        const QString text =
            QCoreApplication::translate("UiController",
                                        "Datagrams rejected: their length does not match the Device Profile "
                                        "(%1 bytes expected, %2 rejected so far)")
                .arg(ui.liveSession_.datagramBytes)
                .arg(notices.rejections->count);
        if (notices.rejections->onset) {
            ui.reportAdvisory(text);
        } else {
            ui.setAdvisoryStatus(text);
        }
    }
    if (notices.silence) {
        const ArrayStreamWatch::Silence& silence = *notices.silence;
        const QString text =
            silence.rejected
                ? QCoreApplication::translate("UiController",
                                              "Only rejected datagrams from the array for %1 s: their "
                                              "length does not match the Device Profile (%2 bytes expected)")
                      .arg(silence.seconds)
                      .arg(ui.liveSession_.datagramBytes)
                : QCoreApplication::translate("UiController", "No data from the array for %1 s")
                      .arg(silence.seconds);
        if (silence.onset) {
            ui.liveSession_.mapStale.store(true);
            emit ui.mapStaleChanged();
            ui.endRecordingAtBreak(
                silence.rejected
                    ? QCoreApplication::translate("UiController",
                                                  "Recording stopped: only rejected datagrams from the "
                                                  "array for %1 s")
                          .arg(silence.seconds)
                    : QCoreApplication::translate("UiController",
                                                  "Recording stopped: no data from the array for %1 s")
                          .arg(silence.seconds));
            ui.reportAdvisory(text);
        } else {
            ui.setAdvisoryStatus(text);  // the event log keeps the onset; the status line counts on
        }
    }
    if (notices.resumed) {
        ui.liveSession_.mapStale.store(false);
        emit ui.mapStaleChanged();
        const QString seconds = QString::number(notices.resumed->seconds, 'f', 1);
        ui.reportAdvisory(
            notices.resumed->firstData
                ? UiText::tr("First data from the array after %1 s").arg(seconds)
                : QCoreApplication::translate("UiController", "Data from the array again after %1 s")
                      .arg(seconds));
    }
    return notices.resumed.has_value();
}

void LiveRunner::dspLoop(UiController& ui, std::stop_token stop, LiveStarted started) {
    platform::nameCurrentThread("zk-dsp");
    started->fetch_add(1);
    core::raiseCurrentThreadPriority();
    const std::function<void(std::stop_token)> beforeBlock = ui.liveSession_.beforeDspBlock;
    while (ui.run_.liveRunning.load() && !stop.stop_requested()) {
        std::optional<SampleBlock> block = ui.liveSession_.dspQueue.pop(stop);
        if (!block) break;
        try {
            if (beforeBlock) beforeBlock(stop);
            {
                std::lock_guard lock(ui.engines_.liveMutex);
                pushBlockToLiveEngine(*ui.engines_.live, *block);
                ui.liveSession_.counters.dspHops.store(ui.engines_.live->processedBlockCount());
            }
            // Said here, where the map's samples are: a drop of the diagnostics queue alone leaves the map
            // whole. A silence is reported as such by the acquisition thread.
            if (block->gap || block->dropped)
                ui.setAdvisoryStatus(UiText::tr("Live sample gap detected; continuity window restarted"));
        } catch (const std::exception& error) {
            ui.countLiveError(QT_TRANSLATE_NOOP("UiController", "DSP error: %1"), textOf(error), false);
        } catch (...) {
            ui.countLiveError(QT_TRANSLATE_NOOP("UiController", "DSP error: %1"), UiText::tr("unknown error"),
                              false);
        }
    }
}

void LiveRunner::mapLoop(UiController& ui, std::stop_token stop, LiveStarted started) {
    platform::nameCurrentThread("zk-live-map");
    started->fetch_add(1);
    while (ui.run_.liveRunning.load() && !stop.stop_requested()) {
        try {
            const Clock::time_point t0 = Clock::now();
            std::optional<core::HeatmapGrid> map;
            if (ui.engines_.live->renderPendingMap()) map = ui.engines_.live->latestMap();
            if (!map) {
                std::this_thread::sleep_for(kMapPollNap);
                continue;
            }
            ui.liveSession_.counters.mapsRendered.fetch_add(1);
            const auto elapsedNs =
                std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - t0).count();
            ui.liveSession_.counters.addRenderTime(static_cast<std::uint64_t>(elapsedNs / 1000));
            ui.publishMap(std::move(*map), render::kMapSourceLive);
            ui.liveSession_.counters.mapsPublished.fetch_add(1);
        } catch (const std::exception& error) {
            ui.countLiveError(QT_TRANSLATE_NOOP("UiController", "Map render error: %1"), textOf(error),
                              false);
            std::this_thread::sleep_for(kMapPollNap);
        } catch (...) {
            ui.countLiveError(QT_TRANSLATE_NOOP("UiController", "Map render error: %1"),
                              UiText::tr("unknown error"), false);
            std::this_thread::sleep_for(kMapPollNap);
        }
    }
}

void LiveRunner::diagnosticsLoop(UiController& ui, std::stop_token stop, LiveStarted started,
                                 core::DeviceProfile profile) {
    platform::nameCurrentThread("zk-live-diag");
    started->fetch_add(1);
    const render::DiagnosticsContext context{ui.diagnosticSettings_,
                                             ui.diagnostics_.mutex,
                                             ui.diagnostics_.state,
                                             ui.diagnostics_.meterMutex,
                                             ui.diagnostics_.meters,
                                             ui.diagnostics_.outputs,
                                             *ui.imageOutputs_.diagnosticProvider,
                                             render::PlotPalette::processWide()};
    while (ui.run_.liveRunning.load() && !stop.stop_requested()) {
        std::optional<SampleBlock> block = ui.liveSession_.diagnosticsQueue.pop(stop);
        if (!block) break;
        try {
            if (render::renderDiagnosticImages(context, block->samples, profile, false,
                                               render::kDiagnosticSourceLive)) {
                emit ui.diagnosticsUpdated();
                emit ui.channelLevelsChanged();
                emit ui.spectrumLevelsChanged();
            }
        } catch (const std::exception& error) {
            countDiagnosticsError(ui, ui.liveSession_.counters.diagnosticsErrors, textOf(error));
        } catch (...) {
            countDiagnosticsError(ui, ui.liveSession_.counters.diagnosticsErrors,
                                  UiText::tr("unknown error"));
        }
    }
}

}  // namespace zk::app
