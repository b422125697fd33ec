// Recording the live stream into a new Measurement of the open Project, with the video handshake of
// QML, the duration limit and the finalize thread.
#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "app/error_text.h"
#include "app/file_paths.h"
#include "app/settings_rules.h"
#include "app/ui_controller.h"
#include "core/storage/device_profile.h"
#include "core/storage/lock_wait.h"
#include "core/storage/staged_commit.h"

namespace zk::app {

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::int64_t kStatsPostIntervalNs = 250'000'000;
constexpr int kWatchdogBaseMs = 8000;

std::int64_t steadyNowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

}  // namespace

QString UiController::recordingState() const {
    switch (run_.recording.load()) {
        case kRecordingActive:
            return QStringLiteral("Recording");
        case kRecordingFinalizing:
            return QStringLiteral("Finalizing");
        default:
            return QStringLiteral("Idle");
    }
}
bool UiController::recording() const { return run_.recording.load() == kRecordingActive; }
bool UiController::canStopRecording() const { return recording(); }
bool UiController::canStartRecording() const {
    return run_.session.load() == kRunning && hasProject() && run_.recording.load() == kRecordingIdle &&
           !profileState_.json.empty();
}
bool UiController::recordingFinalizing() const { return run_.recording.load() == kRecordingFinalizing; }
QString UiController::recordingMeasurementId() const { return recording_.measurementId; }
double UiController::recordingElapsedSeconds() const {
    return static_cast<double>(recording_.elapsedMs.load()) / 1000.0;
}
quint64 UiController::recordingBytes() const { return recording_.bytesWritten.load(); }
bool UiController::recordingVideoActive() const { return recording_.videoActive; }
double UiController::recordingMaxDurationSeconds() const { return recording_.maxDurationMs.load() / 1000.0; }

void UiController::setRecordingMaxDurationSeconds(double seconds) {
    try {
        const double next = clampToRange(std::round(seconds), 1.0, 120.0);
        if (next == recordingMaxDurationSeconds()) return;
        recording_.maxDurationMs.store(static_cast<std::int64_t>(next * 1000.0));
        settings_.setValue(QStringLiteral("recording/maxDurationSec"), next);
        emit recordingMaxDurationChanged();
        emit recordingStatsChanged();
    } catch (...) {
    }
}

void UiController::setRecordingState(std::int32_t state) {
    if (run_.recording.exchange(state) == state) return;
    emit recordingStateChanged();
    emit uiStateChanged();
}

void UiController::startRecording() {
    QString id;
    try {
        cancelNoiseCalibration();
        if (run_.session.load() != kRunning) {
            reportEvent(hasProject() ? UiText::tr("Recording requires an active Live session")
                                     : UiText::tr("Open or create a Project before Recording"));
            return;
        }
        if (!hasProject()) {
            reportEvent(UiText::tr("Open or create a Project before Recording"));
            return;
        }
        if (run_.recording.load() != kRecordingIdle || profileState_.json.empty()) {
            reportEvent(UiText::tr("Recording requires an active Live session"));
            return;
        }
        if (threads_.recordingFinalize.joinable()) threads_.recordingFinalize.join();

        id = QStringLiteral("m_") +
             QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'_zzz"));
        try {
            const fs::path projectDir = project_.record.directory;
            // "absolute" names the failure of making the staging path absolute.
            std::error_code error;
            const fs::path staging = fs::absolute(
                projectDir / "measurements" / toFsPath(u'.' + id + QStringLiteral(".camera.tmp.mp4")), error);
            if (error) throw fs::filesystem_error("absolute", projectDir, error);

            const core::DeviceProfile& profile = profileState_.live;
            const double bytesPerSecond = profile.sampleRateHz * profile.wireChannelCount * 2.0;
            auto recording = std::make_unique<core::Recording>(
                projectDir, id.toStdString(), profileState_.json, live_.source.toStdString());
            const std::uint64_t generation = recording_.generation.load() + 1;
            auto writer = std::make_unique<core::RecordingWriter>(
                std::move(recording), profile.wireChannelCount,
                core::recordingQueueBoundBytes(bytesPerSecond),
                [this, generation](const std::exception& failure) {
                    endRecordingEarly(generation, UiText::tr("Recording failed: %1").arg(textOf(failure)));
                },
                recording_.sinkForTests);
            std::unique_ptr<core::RecordingWriter> leftover;
            {
                std::lock_guard lock(recording_.mutex);
                leftover = std::move(recording_.writer);
                recording_.writer = std::move(writer);
                recording_.videoPath = staging;
                recording_.startedAt = Clock::now();
                recording_.streamMBps = bytesPerSecond / 1e6;
                recording_.generation.store(generation);
            }
            leftover.reset();

            recording_.measurementId = id;
            recording_.framesWritten.store(0);
            recording_.bytesWritten.store(0);
            recording_.elapsedMs.store(0);
            recording_.limitReached.store(false);
            recording_.lastStatsPostNs.store(0);
            recording_.videoStagingPath = staging;
            recording_.videoActive = false;
            recording_.stopPending = false;
            timers_.recordingWatchdog->stop();

            setRecordingState(kRecordingActive);
            emit recordingStatsChanged();
            emit videoRecordStartRequested(fromFsPath(staging));
            reportEvent(UiText::tr("Recording %1 into Project %2").arg(id, projectName()));
        } catch (const std::exception& error) {
            reportEvent(UiText::tr("Start Recording failed: %1").arg(textOf(error)));
            emit recordingFinished(false, id);
        }
    } catch (...) {
    }
}

void UiController::appendRecordingBlock(std::span<const std::int16_t> samples, bool gap) {
    if (samples.empty() || run_.recording.load() != kRecordingActive) return;
    std::uint64_t generation = 0;
    std::uint64_t elapsedMs = 0;
    QString ended;
    {
        std::lock_guard lock(recording_.mutex);
        if (run_.recording.load() != kRecordingActive || !recording_.writer) return;
        // Read with the writer: the posts below then name the Recording this block went to.
        generation = recording_.generation.load();
        core::RecordingWriter& writer = *recording_.writer;
        try {
            // raw.int16 has no timestamps: samples after a gap would sit at the wrong time. A gap before
            // the first sample is no gap in the file.
            if (gap && writer.framesAccepted() > 0) {
                ended = UiText::tr(
                    "Recording stopped: datagrams were lost, the samples are no longer "
                    "contiguous");
            } else {
                switch (writer.push(samples)) {
                    case core::RecordingWriter::Push::Queued:
                        break;
                    case core::RecordingWriter::Push::Overflow:
                        ended = UiText::tr(
                                    "Recording stopped: the disk is too slow for the stream (%1 MB/s needed)")
                                    .arg(recording_.streamMBps, 0, 'f', 1);
                        break;
                    case core::RecordingWriter::Push::Ended:
                        return;  // a failed write: its writer thread ends the Recording
                }
            }
            recording_.framesWritten.store(writer.framesAccepted());
            recording_.bytesWritten.store(writer.bytesAccepted());
            elapsedMs = static_cast<std::uint64_t>(
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - recording_.startedAt)
                    .count());
            recording_.elapsedMs.store(elapsedMs);
        } catch (const std::exception& error) {
            QString text = textOf(error);
            if (text.isEmpty()) text = UiText::tr("append failed");
            ended = UiText::tr("Recording failed: %1").arg(text);
        }
        if (!ended.isEmpty()) {
            // What was queued before is finalized; no later block reaches it.
            recording_.endedWriter = std::move(recording_.writer);
            run_.recording.store(kRecordingFinalizing);
        }
    }
    if (!ended.isEmpty()) {
        QMetaObject::invokeMethod(
            this, [this, generation, ended] { onRecordingEnded(generation, ended); }, Qt::QueuedConnection);
        return;
    }
    if (static_cast<std::int64_t>(elapsedMs) >= recording_.maxDurationMs.load() &&
        !recording_.limitReached.exchange(true)) {
        QMetaObject::invokeMethod(
            this, [this, generation] { onRecordingLimitReached(generation); }, Qt::QueuedConnection);
    }
    const std::int64_t now = steadyNowNs();
    const std::int64_t last = recording_.lastStatsPostNs.load();
    if (last == 0 || now - last >= kStatsPostIntervalNs) {
        recording_.lastStatsPostNs.store(now);
        QMetaObject::invokeMethod(
            this,
            [this, generation] {
                if (generation == recording_.generation.load()) emit recordingStatsChanged();
            },
            Qt::QueuedConnection);
    }
}

void UiController::endRecordingAtBreak(const QString& reason) {
    if (run_.recording.load() != kRecordingActive) return;
    std::uint64_t generation = 0;
    {
        std::lock_guard lock(recording_.mutex);
        // A Recording without a sample yet simply starts after the break.
        if (run_.recording.load() != kRecordingActive || !recording_.writer ||
            recording_.writer->framesAccepted() == 0)
            return;
        generation = recording_.generation.load();
        recording_.endedWriter = std::move(recording_.writer);
        run_.recording.store(kRecordingFinalizing);
    }
    QMetaObject::invokeMethod(
        this, [this, generation, reason] { onRecordingEnded(generation, reason); }, Qt::QueuedConnection);
}

// Recording writer thread: a write failed. The Recording ends at the samples that reached the file.
void UiController::endRecordingEarly(std::uint64_t generation, const QString& message) {
    try {
        {
            std::lock_guard lock(recording_.mutex);
            if (generation == recording_.generation.load() && run_.recording.load() == kRecordingActive &&
                recording_.writer) {
                recording_.endedWriter = std::move(recording_.writer);
                run_.recording.store(kRecordingFinalizing);
            }
        }
        QMetaObject::invokeMethod(
            this, [this, generation, message] { onRecordingEnded(generation, message); },
            Qt::QueuedConnection);
    } catch (...) {
        // Out of memory while posting: a stop by the user still finalizes what was written.
    }
}

void UiController::onRecordingEnded(std::uint64_t generation, const QString& message) {
    try {
        if (generation != recording_.generation.load()) return;
        std::unique_ptr<core::RecordingWriter> writer;
        {
            std::lock_guard lock(recording_.mutex);
            writer = std::move(recording_.endedWriter);
        }
        if (!writer) {
            // The user's stop took the Recording first; its finalize keeps what reached the file.
            if (run_.recording.load() != kRecordingIdle) appendEventLog(message);
            return;
        }
        recording_.videoActive = false;
        recording_.stopPending = false;
        timers_.recordingWatchdog->stop();
        emit videoRecordStopRequested();
        emit recordingStateChanged();
        emit uiStateChanged();
        emit recordingStatsChanged();
        // The status line keeps saying why until the user's next step: background notices (a gap, a
        // silence, the saved Measurement) go to the logs meanwhile.
        appendEventLog(message);
        showStatus(message, StatusWeight::Held);
        // The samples before the end become the Measurement; the video recorder is being stopped.
        appendEventLog(UiText::tr("Finalizing Measurement %1...").arg(recording_.measurementId));
        startRecordingFinalize(std::move(writer), {});
    } catch (...) {
    }
}

void UiController::onRecordingLimitReached(std::uint64_t generation) {
    try {
        if (generation != recording_.generation.load() || run_.recording.load() != kRecordingActive) return;
        reportEvent(UiText::tr("Recording reached the %1 s Measurement limit; finalizing")
                        .arg(recordingMaxDurationSeconds(), 0, 'f', 0));
        stopRecording();
    } catch (...) {
    }
}

void UiController::stopRecording() {
    try {
        if (run_.recording.load() != kRecordingActive) return;
        if (!recording_.videoActive) {
            finalizeRecording();
            return;
        }
        recording_.stopPending = true;
        emit videoRecordStopRequested();
        timers_.recordingWatchdog->start(kWatchdogBaseMs +
                                         static_cast<int>(recording_.elapsedMs.load() / 10));
    } catch (...) {
    }
}

void UiController::notifyVideoRecorderStarted() {
    if (run_.recording.load() != kRecordingActive) return;
    recording_.videoActive = true;
    emit recordingStatsChanged();
}

bool UiController::isTrustedVideoPath(const fs::path& path) const {
    const fs::path& staging = recording_.videoStagingPath;
    if (staging.empty()) return false;
    std::error_code pathError;
    std::error_code stagingError;
    if (fs::weakly_canonical(path, pathError) == fs::weakly_canonical(staging, stagingError) && !pathError &&
        !stagingError)
        return true;
    // A recorder that adjusted the name keeps the file beside the staging file, under its stem.
    const std::string stem = (u'.' + recording_.measurementId + QStringLiteral(".camera")).toStdString();
    const fs::path folder = fs::weakly_canonical(path.parent_path(), pathError);
    const fs::path stagingFolder = fs::weakly_canonical(staging.parent_path(), stagingError);
    return !pathError && !stagingError && folder == stagingFolder &&
           path.filename().string().starts_with(stem);
}

void UiController::notifyVideoRecorderStopped(const QString& actualPath) {
    try {
        recording_.videoActive = false;
        emit recordingStatsChanged();
        QString path = actualPath;
        if (path.startsWith(QLatin1String("file:"))) path = QUrl(path).toLocalFile();
        if (!path.isEmpty() && QFileInfo(path).isFile()) {
            const fs::path reported = toFsPath(path);
            if (isTrustedVideoPath(reported) && run_.recording.load() != kRecordingActive) {
                // Its Recording ended without it (the stop watchdog, a failure): nothing takes it.
                core::removeFileQuietly(reported);
            } else if (isTrustedVideoPath(reported)) {
                std::lock_guard lock(recording_.mutex);
                recording_.videoPath = reported;
            } else {
                appendDiagnosticsLog(
                    QStringLiteral("video file outside the Recording ignored: %1").arg(path));
            }
        }
        if (recording_.stopPending) {
            recording_.stopPending = false;
            timers_.recordingWatchdog->stop();
            finalizeRecording();
        }
    } catch (...) {
    }
}

void UiController::onRecordingWatchdog() {
    try {
        if (!recording_.stopPending) return;
        recording_.stopPending = false;
        recording_.videoActive = false;
        logMediaDiagnostic(
            QStringLiteral("video recorder stop watchdog fired; finalizing without flushed video"));
        reportEvent(UiText::tr("Video recorder did not stop in time; finalizing Measurement anyway"));
        finalizeRecording(false);
    } catch (...) {
    }
}

// Without video when told so: a recorder that never reported its stop leaves an unfinished file.
void UiController::finalizeRecording(bool withVideo) {
    std::unique_ptr<core::RecordingWriter> writer;
    fs::path video;
    {
        std::lock_guard lock(recording_.mutex);
        if (run_.recording.load() != kRecordingActive || !recording_.writer) return;
        writer = std::move(recording_.writer);
        if (withVideo) video = recording_.videoPath;
    }
    // A recorder that never reported its stop has not finished the file: it goes, and a late report
    // of the stop removes what the recorder wrote after this.
    if (!withVideo) core::removeFileQuietly(recording_.videoStagingPath);
    timers_.recordingWatchdog->stop();
    setRecordingState(kRecordingFinalizing);
    emit recordingStatsChanged();
    reportEvent(UiText::tr("Finalizing Measurement %1...").arg(recording_.measurementId));
    startRecordingFinalize(std::move(writer), video);
}

void UiController::startRecordingFinalize(std::unique_ptr<core::RecordingWriter> writer,
                                          const fs::path& video) {
    if (threads_.recordingFinalize.joinable()) threads_.recordingFinalize.join();
    const std::uint64_t generation = recording_.generation.load();
    const QString id = recording_.measurementId;
    threads_.recordingFinalize =
        std::jthread([this, generation, id, video, writer = std::move(writer)]() mutable {
            try {
                bool success = false;
                QString error;
                QString warning;
                // Waits for the queued samples to reach the file: the slow disk delays only this thread.
                std::unique_ptr<core::Recording> recording = writer->finish();
                writer.reset();
                try {
                    if (!recording->finalize(video).durable)
                        warning = UiText::tr(
                                      "Warning: Measurement %1 is saved, but the disk did not "
                                      "confirm its folder; a power cut could still lose it")
                                      .arg(id);
                    success = true;
                } catch (const std::exception& failure) {
                    error = textOf(failure);
                } catch (...) {
                    error = UiText::tr("unknown error");
                }
                // A writer whose finalize failed keeps its samples for the next open of the Project.
                const fs::path staging = recording->stagingPath();
                recording.reset();
                std::error_code missing;
                const QString keptPath =
                    !success && fs::exists(staging, missing) ? fromFsPath(staging) : QString();
                QMetaObject::invokeMethod(
                    this,
                    [this, generation, id, success, error, keptPath, warning] {
                        onRecordingFinalized(generation, id, success, error, keptPath, warning);
                    },
                    Qt::QueuedConnection);
            } catch (...) {
                // Out of memory while posting: the state stays Finalizing until the controller ends.
            }
        });
}

void UiController::onRecordingFinalized(std::uint64_t generation, const QString& id, bool success,
                                        const QString& error, const QString& keptPath,
                                        const QString& warning) {
    try {
        if (generation != recording_.generation.load()) return;
        setRecordingState(kRecordingIdle);
        emit recordingStatsChanged();
        // A Recording that ended early keeps its reason on the status line; selecting the Measurement
        // reports over it, so the reason is put back.
        const std::optional<QString> reason = heldStatus();
        if (success) {
            try {
                if (project_.open) {
                    project_.record = core::loadProject(project_.record.directory);
                    emit projectChanged();
                    rebuildMeasurementList();
                    const std::vector<std::string>& names = project_.record.measurements;
                    const auto found = std::find(names.begin(), names.end(), id.toStdString());
                    // The rebuild has selected the newest row already, which is this one as a rule.
                    const int row = static_cast<int>(names.end() - found) - 1;
                    if (found != names.end() && row != project_.selectedIndex) selectMeasurement(row);
                }
                reportAdvisory(UiText::tr("Measurement saved: %1 · %2").arg(id, projectName()));
                if (!warning.isEmpty()) appendEventLog(warning);
                if (reason) showStatus(*reason, StatusWeight::Held);
            } catch (const std::exception& failure) {
                reportEvent(
                    UiText::tr("Measurement saved, but Project refresh failed: %1").arg(textOf(failure)));
            }
        } else {
            reportEvent(UiText::tr("Finalize Recording failed: %1").arg(error));
            if (!keptPath.isEmpty()) {
                setStatusText(
                    UiText::tr("Recorded samples kept in %1; opening the Project again recovers them")
                        .arg(keptPath));
            }
        }
        emit recordingFinished(success, id);
    } catch (...) {
    }
}

void UiController::finalizeOpenRecordingAtExit() {
    std::unique_ptr<core::RecordingWriter> writer;
    {
        std::lock_guard lock(recording_.mutex);
        writer = recording_.writer ? std::move(recording_.writer) : std::move(recording_.endedWriter);
    }
    if (!writer) return;
    try {
        // The video recorder cannot hand over its file any more: whatever lies at its path is unfinished.
        // A failure leaves the samples to the next open of the Project.
        writer->finish()->finalize(fs::path());
    } catch (...) {
    }
}

}  // namespace zk::app
