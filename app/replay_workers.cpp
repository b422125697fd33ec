// The Replay's reader and map threads: integrity check, 1.0x pacing, seeking with warm-up and waterfall
// history, and the map hand-off.
#include <QMetaObject>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

#include "app/error_text.h"
#include "app/pacing_clock.h"
#include "app/platform/thread_name.h"
#include "app/replay_runner.h"
#include "app/settings_rules.h"
#include "app/ui_controller.h"
#include "core/storage/fnv1a.h"
#include "core/storage/measurement_files.h"
#include "core/streaming/replay_source.h"
#include "core/streaming/streaming_acoustic_engine.h"
#include "render/diagnostic_renderer.h"
#include "render/spectrum_painters.h"
#include "render/waterfall_painter.h"

namespace zk::app {

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint64_t kFramesPerRead = 256;
constexpr auto kPausedNap = std::chrono::milliseconds(15);
constexpr auto kMapPollNap = std::chrono::milliseconds(2);
constexpr auto kPositionInterval = std::chrono::milliseconds(100);
constexpr auto kFirstMapNap = std::chrono::milliseconds(10);
constexpr int kFirstMapTries = 60;
constexpr std::uint64_t kWaterfallRows = 200;
constexpr std::size_t kHistorySpectrumPoints = 8192;

enum PostKind { kPostStarted, kPostPosition, kPostFinished, kPostFailed };

fs::path utf8Path(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

std::int64_t steadyNs(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

std::int64_t framesToNs(std::uint64_t frames, double sampleRateHz) {
    return static_cast<std::int64_t>(static_cast<double>(frames) / sampleRateHz * 1e9);
}

}  // namespace

bool ReplayRunner::running(const UiController& ui, const std::stop_token& stop) {
    return ui.run_.replayRunning.load() && !stop.stop_requested();
}

void ReplayRunner::startThreads(UiController& ui, ReplayStart start) {
    stopThreads(ui);
    ui.run_.replayRunning.store(true);
    ui.threads_.replayReader = std::jthread([&ui, start = std::move(start)](std::stop_token stop) mutable {
        readerLoop(ui, stop, std::move(start));
    });
}

void ReplayRunner::stopThreads(UiController& ui) {
    ui.run_.replayRunning.store(false);
    std::jthread map;
    {
        std::lock_guard lock(ui.replay_.mapThreadMutex);
        map = std::move(ui.threads_.replayMap);
    }
    if (map.joinable()) {
        map.request_stop();
        map.join();
    }
    if (ui.threads_.replayReader.joinable()) {
        ui.threads_.replayReader.request_stop();
        ui.threads_.replayReader.join();
    }
}

void ReplayRunner::joinMapThread(UiController& ui) {
    std::jthread map;
    {
        std::lock_guard lock(ui.replay_.mapThreadMutex);
        map = std::move(ui.threads_.replayMap);
    }
    if (map.joinable()) {
        map.request_stop();
        map.join();
    }
}

void ReplayRunner::post(UiController& ui, std::uint64_t generation, int kind, const QString& text) {
    QMetaObject::invokeMethod(
        &ui,
        [&ui, generation, kind, text] {
            // A handler of a Replay that was stopped or restarted meanwhile changes nothing.
            if (ui.replay_.generation.load() != generation) return;
            try {
                switch (kind) {
                    case kPostStarted:
                        onStarted(ui);
                        break;
                    case kPostPosition:
                        emit ui.replayPositionChanged();
                        break;
                    case kPostFinished:
                        onFinished(ui);
                        break;
                    default:
                        onFailed(ui, text);
                        break;
                }
            } catch (...) {
                // Only a report can fail here (out of memory); the state was set before it.
            }
        },
        Qt::QueuedConnection);
}

void ReplayRunner::readerLoop(UiController& ui, std::stop_token stop, ReplayStart start) {
    platform::nameCurrentThread("zk-replay-read");
    ReplaySession& session = ui.replay_;
    core::StreamingAcousticEngine& engine = *ui.engines_.replay;
    const core::DeviceProfile& profile = start.profile;
    const auto keepGoing = [&ui, &stop] { return running(ui, stop); };
    try {
        const fs::path rawPath = start.record.directory / utf8Path(start.record.rawFile);
        const std::optional<core::MeasurementFiles> files =
            core::compareMeasurementFiles(start.record, keepGoing);
        if (!files) return;
        core::requireMatchingFiles(*files, "manifest");
        if (!keepGoing()) return;
        if (profile.sampleRateHz == 0 || profile.wireChannelCount == 0)
            throw std::runtime_error("invalid device profile");
        const double rate = profile.sampleRateHz;

        // The GUI thread touches the source only after joining this thread.
        auto owned = std::make_unique<core::ReplaySource>(rawPath);
        owned->configure(profile);
        owned->start();
        core::ReplaySource& source = *owned;
        ui.sources_.replay = std::move(owned);
        session.durationSeconds.store(static_cast<double>(source.totalFrames()) / rate);

        core::StreamingEngineConfig config;
        config.frameSize = kStreamFrameSize;
        config.hopSize = kStreamHopSize;
        config.frequencyHz = start.frequencyHz;
        config.band = start.band;
        config.csmTauSeconds = ui.heatmapSettings_.csmTauSeconds.load();
        config.mapIntervalMs = 100;
        config.asyncMaps = true;
        config.beamforming = start.beamforming;
        engine.configure(profile, config);
        engine.setFrequencyBand(start.band);
        engine.setBeamformingParameters(start.beamforming);

        {
            // Declared before the lock, so a map thread left over is joined after the lock is released.
            std::jthread previous;
            std::lock_guard lock(session.mapThreadMutex);
            if (!keepGoing()) return;
            previous = std::move(ui.threads_.replayMap);
            ui.threads_.replayMap = std::jthread([&ui](std::stop_token mapStop) { mapLoop(ui, mapStop); });
        }
        post(ui, start.generation, kPostStarted);

        const render::DiagnosticsContext context{ui.diagnosticSettings_,
                                                 ui.diagnostics_.mutex,
                                                 ui.diagnostics_.state,
                                                 ui.diagnostics_.meterMutex,
                                                 ui.diagnostics_.meters,
                                                 ui.diagnostics_.outputs,
                                                 *ui.imageOutputs_.diagnosticProvider,
                                                 render::PlotPalette::processWide()};
        // Paced by the sample clock from a base time, so rounding never accumulates over a long Replay.
        // The base is taken at the first block after the start, a pause and a seek: the time before it
        // is no Replay time, and catching up on it would play it at full speed.
        PacingClock& pacing = *session.clock.load();
        std::optional<Clock::time_point> base;
        std::uint64_t framesSinceBase = 0;
        Clock::time_point nextPosition{};
        while (keepGoing()) {
            const std::int64_t target = session.seekTargetFrames.exchange(-1);
            if (target >= 0) {
                seek(ui, stop, pacing, source, profile, context, target, start.generation);
                base.reset();
                continue;
            }
            if (session.paused.load()) {
                base.reset();
                pacing.nap(kPausedNap);
                continue;
            }
            if (!base) {
                base = pacing.now();
                framesSinceBase = 0;
            }
            const std::vector<std::int16_t> block = source.readFrames(kFramesPerRead);
            if (block.empty()) {
                if (!keepGoing()) continue;
                session.positionSeconds.store(session.durationSeconds.load());
                // The map thread ends first: the engine's maps are rendered by one thread at a time.
                joinMapThread(ui);
                engine.renderPendingMap();
                if (std::optional<core::HeatmapGrid> map = engine.latestMap())
                    ui.publishMap(std::move(*map), render::kMapSourceReplay);
                ui.run_.replayRunning.store(false);
                post(ui, start.generation, kPostFinished);
                continue;
            }
            if (render::renderDiagnosticImages(context, block, profile, false,
                                               render::kDiagnosticSourceReplay)) {
                emit ui.diagnosticsUpdated();
                emit ui.channelLevelsChanged();
                emit ui.spectrumLevelsChanged();
            }
            engine.pushWireFrames(block);

            framesSinceBase += block.size() / profile.wireChannelCount;
            pacing.sleepUntil(*base + std::chrono::nanoseconds(framesToNs(framesSinceBase, rate)));
            const Clock::time_point now = pacing.now();
            if (now >= nextPosition &&
                session.storeReaderPosition(static_cast<double>(source.positionFrames()) / rate)) {
                nextPosition = now + kPositionInterval;
                post(ui, start.generation, kPostPosition);
            }
        }
    } catch (const std::exception& error) {
        ui.run_.replayRunning.store(false);
        post(ui, start.generation, kPostFailed, textOf(error));
    } catch (...) {
        ui.run_.replayRunning.store(false);
        post(ui, start.generation, kPostFailed, UiText::tr("unknown error"));
    }
}

void ReplayRunner::seek(UiController& ui, std::stop_token stop, PacingClock& pacing,
                        core::ReplaySource& source, const core::DeviceProfile& profile,
                        const render::DiagnosticsContext& context, std::int64_t target,
                        std::uint64_t generation) {
    ReplaySession& session = ui.replay_;
    core::StreamingAcousticEngine& engine = *ui.engines_.replay;
    const double rate = profile.sampleRateHz;
    const std::uint32_t wires = profile.wireChannelCount;
    const auto interrupted = [&] { return session.seekTargetFrames.load() >= 0 || !running(ui, stop); };

    const std::uint64_t t = std::min(static_cast<std::uint64_t>(target), source.totalFrames());
    const double tau = ui.heatmapSettings_.csmTauSeconds.load();
    std::uint64_t warmUp =
        std::min(static_cast<std::uint64_t>(std::trunc(rate * std::clamp(3.0 * tau, 0.3, 5.0))), t);
    engine.reset();
    engine.suspendMaps();
    ui.resetLiveView();

    std::uint64_t step = static_cast<std::uint64_t>(std::trunc(0.05 * rate));
    if (step < 2) step = 1;
    std::uint64_t history = std::min(step * kWaterfallRows, t - warmUp);
    source.seekFrame(t - history - warmUp);

    // The history and warm-up rows get times on the sample clock ending now, so the waterfall's span
    // and the renderer's 50 ms spacing follow the recorded time, and the first rows after the seek
    // continue them on the steady clock.
    const std::int64_t startNs = steadyNs(Clock::now()) - framesToNs(history + warmUp, rate);
    const std::size_t channels = profile.logicalToWire.size();
    const int selected = std::clamp(context.settings.diagnosticChannel.load(), 0,
                                    static_cast<int>(std::max<std::size_t>(channels, 1) - 1));
    const std::size_t wireIndex =
        channels == 0 ? 0 : profile.logicalToWire[static_cast<std::size_t>(selected)];
    const std::size_t historyCapacity = std::max<std::size_t>(48000, std::size_t{6} * profile.sampleRateHz);
    {
        std::lock_guard lock(ui.diagnostics_.mutex);
        ui.diagnostics_.state.waterfall = render::WaterfallState{};
        ui.diagnostics_.state.history.setCapacity(historyCapacity);
        // The renderer restarts the history when its channel count changes; it must keep this one.
        ui.diagnostics_.state.accumulators.reset(channels);
    }

    std::uint64_t framesRead = 0;
    std::uint64_t nextRow = step;
    std::vector<double> newest;
    const render::ColormapTable& table =
        render::waterfallColormapTable(context.settings.waterfallColormap.load());
    while (history > 0 && !interrupted()) {
        const std::vector<std::int16_t> block = source.readFrames(std::min(kFramesPerRead, history));
        if (block.empty()) break;
        const std::uint64_t frames = block.size() / wires;
        {
            std::lock_guard lock(ui.diagnostics_.mutex);
            ui.diagnostics_.state.history.append(block, frames, wires, wireIndex);
        }
        framesRead += frames;
        if (framesRead >= nextRow) {
            nextRow += step;
            {
                std::lock_guard lock(ui.diagnostics_.mutex);
                ui.diagnostics_.state.history.copyNewest(kHistorySpectrumPoints, newest);
            }
            double peakHz = 0.0;
            double peakDbfs = 0.0;
            const std::vector<double> spectrum =
                render::computeChannelSpectrumDbfs(newest, rate, kHistorySpectrumPoints, peakHz, peakDbfs);
            const QColor background = context.palette.colors().waterfallBg;
            std::lock_guard lock(ui.diagnostics_.mutex);
            render::updateWaterfallImage(ui.diagnostics_.state.waterfall, spectrum, rate, table, background,
                                         startNs + framesToNs(framesRead, rate));
            ui.diagnostics_.state.lastRenderNs = startNs + framesToNs(framesRead, rate);
        }
        history -= frames;
    }

    while (warmUp > 0 && !interrupted()) {
        const std::vector<std::int16_t> block = source.readFrames(std::min(kFramesPerRead, warmUp));
        if (block.empty()) break;
        const std::uint64_t frames = block.size() / wires;
        framesRead += frames;
        const bool row = framesRead >= nextRow;
        if (row) nextRow += step;
        if (render::renderDiagnosticImages(context, block, profile, row, render::kDiagnosticSourceReplay,
                                           startNs + framesToNs(framesRead, rate))) {
            emit ui.diagnosticsUpdated();
            emit ui.channelLevelsChanged();
            emit ui.spectrumLevelsChanged();
        }
        engine.pushWireFrames(block);
        warmUp -= frames;
    }

    if (session.seekTargetFrames.load() >= 0) {
        engine.resumeMaps();
        return;
    }
    // The map thread renders the requested map; the position follows once it is there.
    engine.requestMapNow();
    for (int attempt = 0; attempt < kFirstMapTries && running(ui, stop); ++attempt) {
        if (engine.latestMap()) break;
        pacing.nap(kFirstMapNap);
    }
    // A seek requested while the map was made owns the position now.
    if (!session.storeReaderPosition(session.paused.load()
                                         ? static_cast<double>(t) / rate
                                         : static_cast<double>(source.positionFrames()) / rate))
        return;
    if (running(ui, stop)) post(ui, generation, kPostPosition);
}

void ReplayRunner::mapLoop(UiController& ui, std::stop_token stop) {
    platform::nameCurrentThread("zk-replay-map");
    core::StreamingAcousticEngine& engine = *ui.engines_.replay;
    while (running(ui, stop)) {
        try {
            if (!engine.renderPendingMap()) {
                std::this_thread::sleep_for(kMapPollNap);
                continue;
            }
            if (std::optional<core::HeatmapGrid> map = engine.latestMap())
                ui.publishMap(std::move(*map), render::kMapSourceReplay);
        } catch (const std::exception& error) {
            ui.countLiveError(QT_TRANSLATE_NOOP("UiController", "Replay map error: %1"), textOf(error), true);
            std::this_thread::sleep_for(kMapPollNap);
        } catch (...) {
            ui.countLiveError(QT_TRANSLATE_NOOP("UiController", "Replay map error: %1"),
                              UiText::tr("unknown error"), true);
            std::this_thread::sleep_for(kMapPollNap);
        }
    }
}

}  // namespace zk::app
