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
    return QStringLiteral("%1 · %2 Hz · frame %3/%4 · grid %5° · peak %6° / %7° · %8")
        .arg(qs(p.algorithmId))
        .arg(p.frequencyHz, 0, 'f', 1)
        .arg(p.frameSize)
        .arg(p.hopSize)
        .arg(p.gridStepDeg)
        .arg(pending.peakAzimuthDeg, 0, 'f', 1)
        .arg(pending.peakElevationDeg, 0, 'f', 1)
        .arg(qs(pending.provenance.recomputeMode));
}

}  // namespace

void UiController::createFullRecomputeAnalysis() {
    try {
        if (!canCreateAnalysis()) {
            // A selected Measurement whose raw file cannot be read is refused for that reason.
            const QString& rawProblem = project_.selectedRawProblem;
            reportEvent(hasSelectedMeasurement() && !rawProblem.isEmpty()
                            ? rawProblem
                            : QStringLiteral("Full Recompute requires a selected Measurement while Live "
                                             "and Replay are stopped"));
            return;
        }
        const std::int32_t replay = run_.replay.load();
        if (replay == kReplayFinished || replay == kReplayFaulted) stopReplay();
        run_.fullRecomputeCancel.store(true);
        if (threads_.fullRecompute.joinable()) {
            threads_.fullRecompute.request_stop();
            threads_.fullRecompute.join();
            platform::trimHeap();
        }

        auto job = std::make_unique<FullRecomputeJob>();
        job->measurement = project_.selected;
        job->profile = profileState_.frozen;
        core::BandMatrixRequest& request = job->request;
        request.frameSize = static_cast<std::uint64_t>(analysis_.frameSize);
        request.hopSize = static_cast<std::uint64_t>(analysis_.hopSize);
        const QString& mode = analysis_.bandMode;
        request.band.revision = 0;
        request.band.mode = mode == QLatin1String("Single") ? 1 : mode == QLatin1String("Custom") ? 3 : 2;
        request.band.centerHz = analysis_.frequencyHz;
        request.band.bandwidthHz = analysis_.bandwidthHz;
        request.band.binLimit = 0;
        request.parameters = analysis_.beamforming;
        request.parameters.speedOfSoundMps = speedOfSoundForTemperature(display_.airTemperatureC.load());
        request.gridStep = analysis_.gridStepDeg;
        if (noiseFloor_.subtractionEnabled && noiseFloor_.profile &&
            usableNoiseFloor(*noiseFloor_.profile, job->measurement, request.frameSize))
            request.noiseFloor = switchedOn(noiseFloor_.profile);

        if (analysis_.hasWindow) {
            const double rate = static_cast<double>(job->profile.sampleRateHz);
            job->windowStartFrame = framesOf(analysis_.windowStartS, rate);
            request.windowFrameCount = framesOf(analysis_.windowEndS - analysis_.windowStartS, rate);
            if (request.windowFrameCount < request.frameSize) {
                reportEvent(QCoreApplication::translate(
                    "UiController", "Analysis window is shorter than one analysis frame"));
                return;
            }
        }

        const QString id = QStringLiteral("a_") + QDateTime::currentDateTimeUtc().toString(
                                                      QStringLiteral("yyyyMMdd'T'HHmmss'Z'_zzz"));
        job->analysisId = id.toStdString();

        run_.fullRecomputeCancel.store(false);
        run_.analysisProgress.store(0.0);
        map_.hasHeatmap.store(false);
        emit heatmapUpdated();
        run_.fullRecomputeRunning.store(true);
        analysis_.status = QStringLiteral("Analysis %1 · validating frozen inputs").arg(id);
        emit analysisProgressChanged();
        emit analysisStateChanged();
        emit uiStateChanged();
        reportEvent(analysis_.status);

        // Result handlers, posted to the GUI thread by the worker.
        auto finished = [this, id](std::shared_ptr<FullRecomputeOutcome> outcome,
                                   std::shared_ptr<const FullRecomputeJob> done) {
            try {
                run_.analysisProgress.store(1.0);
                run_.fullRecomputeRunning.store(false);
                PendingAnalysis pending;
                pending.measurementDirectory = done->measurement.directory;
                pending.analysisId = done->analysisId;
                pending.measurementId = done->measurement.measurementId;
                pending.parameters = std::move(outcome->parameters);
                // Read here, on the thread that writes them, as the run ends.
                pending.parameters.bandMode = analysis_.bandMode.toStdString();
                pending.parameters.windowStartSeconds = analysis_.hasWindow ? analysis_.windowStartS : -1.0;
                pending.parameters.windowEndSeconds = analysis_.hasWindow ? analysis_.windowEndS : -1.0;
                pending.peakAzimuthDeg = outcome->map.peakAzimuthDeg;
                pending.peakElevationDeg = outcome->map.peakElevationDeg;
                pending.peakDb = outcome->map.peakRelativeDb;
                pending.provenance = std::move(outcome->provenance);
                pending.map = std::move(outcome->map);
                AnalysisRunState& runs = analysis_.runs;
                runs.pendingInfo = infoOf(pending);
                runs.pending = std::move(pending);
                publishMap(runs.pending->map, render::kMapSourceAnalysis);
                platform::trimHeap();
                analysis_.status =
                    QCoreApplication::translate("UiController", "Analysis computed - not saved yet: %1")
                        .arg(runs.pendingInfo);
                emit analysisProgressChanged();
                emit analysisStateChanged();
                emit uiStateChanged();
                emit pendingAnalysisChanged();
                timers_.analysisSpectrum->start();
                reportEvent(analysis_.status);
                emit analysisFinished(true, id);
            } catch (...) {
                run_.fullRecomputeRunning.store(false);
            }
        };
        auto failed = [this, id](const QString& error) {
            try {
                run_.fullRecomputeRunning.store(false);
                // A failed or cancelled run freed its work before posting this, as a finished one did.
                platform::trimHeap();
                analysis_.status = QStringLiteral("Full Recompute failed: %1").arg(error);
                emit analysisStateChanged();
                emit uiStateChanged();
                reportEvent(analysis_.status);
                emit analysisFinished(false, id);
            } catch (...) {
            }
        };

        std::shared_ptr<const FullRecomputeJob> shared(std::move(job));
        threads_.fullRecompute = std::jthread([this, shared, finished, failed](std::stop_token stop) {
            const auto post = [this](auto&& call) {
                QMetaObject::invokeMethod(this, std::forward<decltype(call)>(call), Qt::QueuedConnection);
            };
            try {
                double lastPosted = -1.0;
                FullRecomputeHooks hooks;
                hooks.cancelled = [this, &stop] {
                    return run_.fullRecomputeCancel.load() || stop.stop_requested();
                };
                hooks.progress = [this, &lastPosted, &post](double value) {
                    run_.analysisProgress.store(value);
                    if (value >= lastPosted + 0.01 || value >= 1.0) {
                        lastPosted = value;
                        post([this] { emit analysisProgressChanged(); });
                    }
                };
                hooks.cacheHit = [this, &post] {
                    post([this] {
                        analysis_.status = QStringLiteral("Fast Re-analysis · derived cache hit");
                        emit analysisStateChanged();
                    });
                };
                hooks.cacheBroken = [this, &post](const QString& error) {
                    post([this, error] {
                        reportEvent(
                            QStringLiteral("Derived cache entry unreadable, recomputing it: %1").arg(error));
                    });
                };
                hooks.cacheWriteFailed = [this, &post](const QString& error) {
                    post([this, error] {
                        setStatusText(
                            QStringLiteral("Derived cache write failed (analysis result is unaffected): %1")
                                .arg(error));
                    });
                };
                auto outcome = std::make_shared<FullRecomputeOutcome>(runFullRecompute(*shared, hooks));
                post([finished, outcome, shared] { finished(outcome, shared); });
            } catch (const std::exception& error) {
                const QString text = QString::fromUtf8(error.what());
                try {
                    post([failed, text] { failed(text); });
                } catch (...) {
                }
            } catch (...) {
                try {
                    post([failed] { failed(QStringLiteral("unknown error")); });
                } catch (...) {
                }
            }
        });
    } catch (const std::exception& error) {
        run_.fullRecomputeRunning.store(false);
        analysis_.status = QStringLiteral("Full Recompute failed: %1").arg(QString::fromUtf8(error.what()));
        emit analysisStateChanged();
        emit uiStateChanged();
        reportEvent(analysis_.status);
    }
}

}  // namespace zk::app
