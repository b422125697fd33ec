// The Full Recompute run: its start on the GUI thread, the worker thread and the two result handlers.
#include <QCoreApplication>
#include <QDateTime>
#include <QTimer>
#include <cmath>
#include <memory>

#include "app/full_recompute.h"
#include "app/platform/process_memory.h"
#include "app/settings_rules.h"
#include "app/ui_controller.h"

namespace zk::app {

namespace {

QString qs(const std::string& utf8) { return QString::fromStdString(utf8); }

// The window in frames of the given rate, each bound rounded half away from zero.
std::uint64_t framesOf(double seconds, double sampleRateHz) {
    return static_cast<std::uint64_t>(std::llround(std::max(seconds, 0.0) * sampleRateHz));
}

bool usableNoiseFloor(const core::NoiseFloorProfile& floor, const core::MeasurementRecord& m,
                      std::uint64_t frameSize) {
    return floor.isValid() && floor.profileHash == m.profileHash && floor.fftSize == frameSize;
}

// The recompute subtracts a floor only when the floor itself says so; one loaded switched off while the
// switch is now on goes as a copy marked on, the shared one (the engines hold it too) untouched.
std::shared_ptr<const core::NoiseFloorProfile> switchedOn(
    std::shared_ptr<const core::NoiseFloorProfile> floor) {
    if (floor->enabled) return floor;
    // The type is move-only against accidental copies of its matrices; this one is meant.
    auto copy = std::make_shared<core::NoiseFloorProfile>();
    copy->profileHash = floor->profileHash;
    copy->sampleRateHz = floor->sampleRateHz;
    copy->channelCount = floor->channelCount;
    copy->fftSize = floor->fftSize;
    copy->averagedFrames = floor->averagedFrames;
    copy->subtractBeta = floor->subtractBeta;
    copy->psdFloor = floor->psdFloor;
    copy->createdAtUtc = floor->createdAtUtc;
    copy->matrices = floor->matrices;
    copy->enabled = true;
    return copy;
}

QString infoOf(const PendingAnalysis& pending) {
    const core::AnalysisRunParameters& p = pending.parameters;
    return UiText::tr("%1 · %2 Hz · frame %3/%4 · grid %5° · peak %6° / %7° · %8")
        .arg(qs(p.algorithmId))
        .arg(p.frequencyHz, 0, 'f', 1)
        .arg(p.frameSize)
        .arg(p.hopSize)
        .arg(p.gridStepDeg)
        .arg(pending.peakAzimuthDeg, 0, 'f', 1)
        .arg(pending.peakElevationDeg, 0, 'f', 1)
        .arg(UiText::tr(pending.provenance.recomputeMode.c_str(), "recompute"));
}

}  // namespace

// The steps of a Full Recompute, a friend of UiController; each says the thread it runs on.
class FullRecomputeRunner {
  public:
    // GUI thread: asks a run still going to stop and joins it.
    static void stopPrevious(UiController& ui) {
        ui.run_.fullRecomputeCancel.store(true);
        if (ui.threads_.fullRecompute.joinable()) {
            ui.threads_.fullRecompute.request_stop();
            ui.threads_.fullRecompute.join();
            platform::trimHeap();
        }
    }

    // GUI thread: the job from the selected Measurement and the analysis settings; null, with the
    // refusal reported, when its window is shorter than one frame.
    static std::unique_ptr<FullRecomputeJob> makeJob(UiController& ui) {
        auto job = std::make_unique<FullRecomputeJob>();
        job->measurement = ui.project_.selected;
        job->profile = ui.profileState_.frozen;
        const AnalysisSettings& analysis = ui.analysis_;
        core::BandMatrixRequest& request = job->request;
        request.frameSize = static_cast<std::uint64_t>(analysis.frameSize);
        request.hopSize = static_cast<std::uint64_t>(analysis.hopSize);
        const QString& mode = analysis.bandMode;
        request.band.revision = 0;
        request.band.mode = mode == QLatin1String("Single") ? 1 : mode == QLatin1String("Custom") ? 3 : 2;
        request.band.centerHz = analysis.frequencyHz;
        request.band.bandwidthHz = analysis.bandwidthHz;
        request.band.binLimit = 0;
        request.parameters = analysis.beamforming;
        request.parameters.speedOfSoundMps = speedOfSoundForTemperature(ui.display_.airTemperatureC.load());
        request.gridStep = analysis.gridStepDeg;
        const ProjectNoiseFloor& floor = ui.noiseFloor_;
        if (floor.subtractionEnabled && floor.profile &&
            usableNoiseFloor(*floor.profile, job->measurement, request.frameSize))
            request.noiseFloor = switchedOn(floor.profile);
        else if (floor.subtractionEnabled && floor.profile &&
                 usableNoiseFloor(*floor.profile, job->measurement, floor.profile->fftSize))
            job->unmatchedNoiseFloorFrameSize = floor.profile->fftSize;

        if (analysis.hasWindow) {
            const double rate = static_cast<double>(job->profile.sampleRateHz);
            job->windowStartFrame = framesOf(analysis.windowStartS, rate);
            request.windowFrameCount = framesOf(analysis.windowEndS - analysis.windowStartS, rate);
            if (request.windowFrameCount < request.frameSize) {
                ui.reportEvent(QCoreApplication::translate(
                    "UiController", "Analysis window is shorter than one analysis frame"));
                return nullptr;
            }
        }
        return job;
    }

    // GUI thread: the run's flags and status as it starts.
    static void announce(UiController& ui, const QString& id) {
        ui.run_.fullRecomputeCancel.store(false);
        ui.run_.analysisProgress.store(0.0);
        ui.map_.hasHeatmap.store(false);
        emit ui.heatmapUpdated();
        ui.run_.fullRecomputeRunning.store(true);
        ui.analysis_.status = UiText::tr("Analysis %1 · validating frozen inputs").arg(id);
        emit ui.analysisProgressChanged();
        emit ui.analysisStateChanged();
        emit ui.uiStateChanged();
        ui.reportEvent(ui.analysis_.status);
    }

    // GUI thread, posted by the worker: the result becomes the pending AnalysisRun and is shown.
    static void onFinished(UiController& ui, const QString& id, FullRecomputeOutcome& outcome,
                           const FullRecomputeJob& done) {
        try {
            ui.run_.analysisProgress.store(1.0);
            ui.run_.fullRecomputeRunning.store(false);
            AnalysisSettings& analysis = ui.analysis_;
            PendingAnalysis pending;
            pending.measurementDirectory = done.measurement.directory;
            pending.analysisId = done.analysisId;
            pending.measurementId = done.measurement.measurementId;
            pending.parameters = std::move(outcome.parameters);
            // Read here, on the thread that writes them, as the run ends.
            pending.parameters.bandMode = analysis.bandMode.toStdString();
            pending.parameters.windowStartSeconds = analysis.hasWindow ? analysis.windowStartS : -1.0;
            pending.parameters.windowEndSeconds = analysis.hasWindow ? analysis.windowEndS : -1.0;
            pending.peakAzimuthDeg = outcome.map.peakAzimuthDeg;
            pending.peakElevationDeg = outcome.map.peakElevationDeg;
            pending.peakDb = outcome.map.peakRelativeDb;
            pending.level = core::peakLevelOf(outcome.map);
            pending.provenance = std::move(outcome.provenance);
            pending.map = std::move(outcome.map);
            AnalysisRunState& runs = analysis.runs;
            runs.pendingInfo = infoOf(pending);
            runs.pending = std::move(pending);
            ui.publishMap(runs.pending->map, render::kMapSourceAnalysis);
            platform::trimHeap();
            const QString computed =
                QCoreApplication::translate("UiController", "Analysis computed - not saved yet: %1")
                    .arg(runs.pendingInfo);
            // Subtraction is on but its floor does not fit this frame: the page says the map is unsubtracted.
            QString note;
            if (done.unmatchedNoiseFloorFrameSize != 0) {
                note =
                    QCoreApplication::translate("UiController",
                                                "Noise floor not subtracted: it was calibrated with %1-point "
                                                "frames, this analysis uses %2-point frames")
                        .arg(done.unmatchedNoiseFloorFrameSize)
                        .arg(done.request.frameSize);
            }
            analysis.status = note.isEmpty() ? computed : computed + u'\n' + note;
            emit ui.analysisProgressChanged();
            emit ui.analysisStateChanged();
            emit ui.uiStateChanged();
            emit ui.pendingAnalysisChanged();
            ui.timers_.analysisSpectrum->start();
            ui.reportEvent(computed);
            if (!note.isEmpty()) ui.reportEvent(note);
            emit ui.analysisFinished(true, id);
        } catch (...) {
            ui.run_.fullRecomputeRunning.store(false);
        }
    }

    // GUI thread, posted by the worker: a failed or cancelled run.
    static void onFailed(UiController& ui, const QString& id, const QString& error) {
        try {
            ui.run_.fullRecomputeRunning.store(false);
            // A failed or cancelled run freed its work before posting this, as a finished one did.
            platform::trimHeap();
            ui.analysis_.status = UiText::tr("Full Recompute failed: %1").arg(error);
            emit ui.analysisStateChanged();
            emit ui.uiStateChanged();
            ui.reportEvent(ui.analysis_.status);
            emit ui.analysisFinished(false, id);
        } catch (...) {
        }
    }

    // Worker thread: runs the job and posts its end to the GUI thread; nothing leaves it.
    static void work(UiController& ui, std::stop_token stop, const QString& id,
                     const std::shared_ptr<const FullRecomputeJob>& job) {
        UiController* target = &ui;
        const auto post = [target](auto&& call) {
            QMetaObject::invokeMethod(target, std::forward<decltype(call)>(call), Qt::QueuedConnection);
        };
        try {
            double lastPosted = -1.0;
            auto outcome = std::make_shared<FullRecomputeOutcome>(
                runFullRecompute(*job, hooksFor(ui, stop, lastPosted, post)));
            post([target, id, outcome, job] { onFinished(*target, id, *outcome, *job); });
        } catch (const std::exception& error) {
            const QString text = QString::fromUtf8(error.what());
            try {
                post([target, id, text] { onFailed(*target, id, text); });
            } catch (...) {
            }
        } catch (...) {
            try {
                post([target, id] { onFailed(*target, id, UiText::tr("unknown error")); });
            } catch (...) {
            }
        }
    }

  private:
    // Worker thread: the run's cancel test, its progress (posted per percent) and the cache's reports.
    template <typename Post>
    static FullRecomputeHooks hooksFor(UiController& ui, std::stop_token& stop, double& lastPosted,
                                       const Post& post) {
        UiController* target = &ui;
        FullRecomputeHooks hooks;
        hooks.cancelled = [target, &stop] {
            return target->run_.fullRecomputeCancel.load() || stop.stop_requested();
        };
        hooks.progress = [target, &lastPosted, post](double value) {
            target->run_.analysisProgress.store(value);
            if (value >= lastPosted + 0.01 || value >= 1.0) {
                lastPosted = value;
                post([target] { emit target->analysisProgressChanged(); });
            }
        };
        hooks.cacheHit = [target, post] {
            post([target] {
                target->analysis_.status = UiText::tr("Fast Re-analysis · derived cache hit");
                emit target->analysisStateChanged();
            });
        };
        hooks.cacheBroken = [target, post](const QString& error) {
            post([target, error] {
                target->reportEvent(
                    UiText::tr("Derived cache entry unreadable, recomputing it: %1").arg(error));
            });
        };
        hooks.cacheWriteFailed = [target, post](const QString& error) {
            post([target, error] {
                target->setStatusText(
                    UiText::tr("Derived cache write failed (analysis result is unaffected): %1").arg(error));
            });
        };
        return hooks;
    }
};

void UiController::createFullRecomputeAnalysis() {
    try {
        if (const QString blocker = createAnalysisBlocker(); !blocker.isEmpty()) {
            reportEvent(blocker);
            return;
        }
        const std::int32_t replay = run_.replay.load();
        if (replay == kReplayFinished || replay == kReplayFaulted) stopReplay();
        FullRecomputeRunner::stopPrevious(*this);
        std::unique_ptr<FullRecomputeJob> job = FullRecomputeRunner::makeJob(*this);
        if (!job) return;
        const QString id = QStringLiteral("a_") + QDateTime::currentDateTimeUtc().toString(
                                                      QStringLiteral("yyyyMMdd'T'HHmmss'Z'_zzz"));
        job->analysisId = id.toStdString();
        FullRecomputeRunner::announce(*this, id);
        std::shared_ptr<const FullRecomputeJob> shared(std::move(job));
        threads_.fullRecompute = std::jthread([this, id, shared](std::stop_token stop) {
            FullRecomputeRunner::work(*this, std::move(stop), id, shared);
        });
    } catch (const std::exception& error) {
        run_.fullRecomputeRunning.store(false);
        analysis_.status = UiText::tr("Full Recompute failed: %1").arg(QString::fromUtf8(error.what()));
        emit analysisStateChanged();
        emit uiStateChanged();
        reportEvent(analysis_.status);
    }
}

}  // namespace zk::app
