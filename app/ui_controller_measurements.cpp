// The Measurement list of the open Project, its selection, label edits and deletion.
#include <QCoreApplication>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <system_error>

#include "app/error_text.h"
#include "app/file_paths.h"
#include "app/run_listing.h"
#include "app/settings_rules.h"
#include "app/ui_controller.h"
#include "core/platform/file_platform.h"
#include "core/storage/analysis_run_store.h"
#include "core/storage/device_profile.h"
#include "core/storage/file_io.h"
#include "core/storage/fnv1a.h"
#include "core/storage/lock_wait.h"
#include "core/storage/measurement_files.h"
#include "core/storage/project_recovery.h"

namespace zk::app {

namespace fs = std::filesystem;

namespace {

QString qs(const std::string& utf8) { return QString::fromStdString(utf8); }
fs::path utf8Path(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

bool isPlainComponent(const fs::path& element) {
    try {
        core::validateMeasurementId(element.string());
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// Both "not found" and a found entry are answers; any other failed query counts as present.
bool entryMissing(const fs::path& path) {
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path, error);
    if (error) return error == std::errc::no_such_file_or_directory;
    return !fs::exists(status);
}

bool isRegularFile(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(path, error) && !error;
}

// Why the Measurement's raw samples cannot be read (a named pipe or a device in place of the file is
// never opened, so a read cannot hang on it); empty when they can.
QString rawFileProblem(const core::MeasurementRecord& m, const QString& id) {
    if (m.rawFile.empty())
        return QCoreApplication::translate("UiController", "Measurement %1 names no raw file").arg(id);
    const fs::path raw = m.directory / utf8Path(m.rawFile);
    if (isRegularFile(raw)) return {};
    if (entryMissing(raw))
        return QCoreApplication::translate("UiController", "Raw file %1 of Measurement %2 is missing")
            .arg(fromFsPath(raw.filename()), id);
    return QCoreApplication::translate("UiController", "Raw file %1 of Measurement %2 is not a regular file")
        .arg(fromFsPath(raw.filename()), id);
}

QVariantMap measurementRowOf(const std::string& registeredName, const core::MeasurementRecord& m,
                             const RunListing& runs) {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(m.directory / utf8Path(m.rawFile), error);
    const bool rawAvailable = !error && !m.rawFile.empty();
    const quint64 rawBytes = rawAvailable ? static_cast<quint64>(size) : 0;
    const double bytesPerSecond = 2.0 * m.wireChannelCount * static_cast<double>(m.sampleRateHz);
    const double durationSeconds = rawAvailable && bytesPerSecond > 0.0 ? rawBytes / bytesPerSecond : 0.0;

    const QVariantList analyses = briefRunRows(runs, measurementSeconds(m));
    return {{QStringLiteral("directory"), qs(registeredName)},
            {QStringLiteral("id"), qs(m.measurementId)},
            {QStringLiteral("valid"), true},
            {QStringLiteral("displayName"), qs(m.displayName)},
            {QStringLiteral("notes"), qs(m.notes)},
            {QStringLiteral("location"), qs(m.location)},
            {QStringLiteral("scene"), qs(m.scene)},
            {QStringLiteral("startedAt"), qs(m.startedAt)},
            {QStringLiteral("source"), qs(m.source)},
            {QStringLiteral("videoFile"), qs(m.videoFile)},
            {QStringLiteral("profileId"), qs(m.profileId)},
            {QStringLiteral("deviceModel"), qs(m.deviceModel)},
            {QStringLiteral("sampleRateHz"), static_cast<quint64>(m.sampleRateHz)},
            {QStringLiteral("channelCount"), static_cast<quint64>(m.channelCount)},
            {QStringLiteral("wireChannelCount"), static_cast<quint64>(m.wireChannelCount)},
            {QStringLiteral("totalFrames"), static_cast<quint64>(m.totalFrames)},
            {QStringLiteral("rawBytes"), rawBytes},
            {QStringLiteral("rawAvailable"), rawAvailable},
            {QStringLiteral("durationSeconds"), durationSeconds},
            {QStringLiteral("profileHash"), shortenedHash(qs(m.profileHash))},
            {QStringLiteral("analysisCount"), static_cast<quint64>(analyses.size())},
            {QStringLiteral("analyses"), analyses}};
}

// A registered Measurement that cannot be used (its directory gone, its manifest unreadable): listed
// with the reason, never selectable.
QVariantMap invalidRowOf(const std::string& registeredName, const QString& error) {
    return {{QStringLiteral("directory"), qs(registeredName)},
            {QStringLiteral("id"), qs(registeredName)},
            {QStringLiteral("valid"), false},
            {QStringLiteral("error"), error},
            {QStringLiteral("analyses"), QVariantList()}};
}

// Only the bytes the manifest's hash covers are parsed, so an edited profile never passes.
core::DeviceProfile loadVerifiedFrozenProfile(const core::MeasurementRecord& record) {
    const fs::path path = record.directory / utf8Path(record.deviceProfileFile);
    std::string text;
    switch (core::readFileBounded(path, core::kMaxDeviceProfileBytes, text)) {
        case core::FileReadStatus::Ok:
            break;
        case core::FileReadStatus::TooLarge:
            throw std::invalid_argument("device profile file exceeds 4 MiB");
        case core::FileReadStatus::CannotOpen:
        case core::FileReadStatus::ReadFailed:
            throw std::runtime_error("cannot open device profile");
    }
    if (core::formatHash64(core::fnv1a64(text.data(), text.size())) != record.profileHash)
        core::requireMatchingFiles(core::MeasurementFiles::ProfileDiffers, "Measurement manifest");
    return core::parseDeviceProfile(text);
}

bool rowIsValid(const QVariant& row) { return row.toMap().value(QStringLiteral("valid")).toBool(); }

// A label the user left as it was shown stays out of the edit, so another program's change of it
// is kept.
std::optional<std::string> changedLabel(const QString& value, const std::string& shown) {
    std::string text = value.toStdString();
    if (text == shown) return std::nullopt;
    return text;
}

// Writes the edit under the Measurement's lock without waiting (the GUI thread never does); false,
// with the reason reported, when it was refused. `failed` is the operation's own failure text.
bool writeLabels(UiController& ui, const core::MeasurementRecord& record,
                 const core::MeasurementLabelEdit& edit, const QString& failed) {
    const QString id = qs(record.measurementId);
    try {
        core::updateMeasurementLabels(record.directory, edit, std::chrono::milliseconds(0));
        return true;
    } catch (const core::EntryUnavailable& refused) {
        ui.reportEvent(UiText::tr("Measurement %1 was not changed: %2").arg(id, unavailableReason(refused)));
    } catch (const std::exception& error) {
        ui.reportEvent(failed.arg(textOf(error)));
    }
    return false;
}

}  // namespace

QVariantList UiController::measurements() const { return project_.rows; }
int UiController::measurementCount() const { return static_cast<int>(project_.rows.size()); }
int UiController::selectedMeasurementIndex() const { return project_.selectedIndex; }
bool UiController::hasSelectedMeasurement() const { return project_.selectedIndex >= 0; }
QString UiController::selectedMeasurementId() const {
    return hasSelectedMeasurement() ? qs(project_.selected.measurementId) : QString();
}
QString UiController::selectedMeasurementInfo() const {
    if (!hasSelectedMeasurement()) return {};
    const core::MeasurementRecord& m = project_.selected;
    const double seconds = m.sampleRateHz == 0 ? 0.0 : static_cast<double>(m.totalFrames) / m.sampleRateHz;
    return UiText::tr("%1 logical / %2 wire · %3 Hz · %4 s (%5 frames) · source %6 · %7")
        .arg(m.channelCount)
        .arg(m.wireChannelCount)
        .arg(m.sampleRateHz)
        .arg(seconds, 0, 'f', 2)
        .arg(m.totalFrames)
        .arg(m.source.empty() ? UiText::tr("unknown") : qs(m.source))
        .arg(qs(m.startedAt));
}
QString profileInfoText(const std::string& profileId, std::int64_t schemaVersion, const std::string& model) {
    return UiText::tr("%1 · schema %2 · %3").arg(qs(profileId)).arg(schemaVersion).arg(qs(model));
}

QString UiController::selectedMeasurementProfileInfo() const {
    if (!hasSelectedMeasurement() || !profileState_.frozen.isValid()) return {};
    return profileInfoText(profileState_.frozen.profileId, profileState_.frozen.schemaVersion,
                           profileState_.frozen.model);
}
QString UiController::selectedMeasurementProfileHash() const {
    return hasSelectedMeasurement() ? qs(project_.selected.profileHash) : QString();
}
QString UiController::selectedMeasurementGeometryHash() const {
    return hasSelectedMeasurement() ? qs(project_.selected.geometryHash) : QString();
}
QString UiController::selectedMeasurementRawHash() const {
    return hasSelectedMeasurement() ? qs(project_.selected.rawHash) : QString();
}
bool UiController::selectedMeasurementRawAvailable() const {
    return hasSelectedMeasurement() && project_.selectedRawAvailable;
}
QString UiController::selectedMeasurementVideoPath() const {
    return hasSelectedMeasurement() ? project_.selectedVideoPath : QString();
}
QString UiController::selectedMeasurementVideoUrl() const {
    const QString path = selectedMeasurementVideoPath();
    return path.isEmpty() ? QString() : QUrl::fromLocalFile(path).toString();
}

fs::path UiController::resolveMeasurementDirectory(const std::string& name) const {
    const fs::path given = utf8Path(name);
    if (given.is_absolute() || given.has_root_path())
        throw std::invalid_argument("absolute Measurement path is not allowed");
    std::vector<fs::path> elements;
    for (const fs::path& element : given) {
        if (element == "..") throw std::invalid_argument("Measurement path escapes the Project root");
        if (!element.empty()) elements.push_back(element);
    }
    if (!elements.empty() && elements.front() == "measurements") elements.erase(elements.begin());
    // Exactly one plain name: never the Project root, the measurements folder or anything deeper.
    if (elements.size() != 1 || !isPlainComponent(elements.front()))
        throw std::invalid_argument("Measurement name is not a directory name");
    const fs::path measurementsDir = project_.record.directory / "measurements";
    const fs::path directory = (measurementsDir / elements.front()).lexically_normal();
    if (!isPathWithin(measurementsDir, directory) || isPathWithin(directory, measurementsDir))
        throw std::invalid_argument("Measurement path escapes the Project root");
    return directory;
}

void UiController::clearMeasurementSelection() {
    project_.selectedIndex = -1;
    project_.selected = core::MeasurementRecord{};
    project_.selectedRawAvailable = false;
    project_.selectedRawProblem.clear();
    project_.selectedVideoPath.clear();
    profileState_.frozen = core::DeviceProfile{};
}

// A registered name that is refused, an unreadable Measurement or an unreadable run becomes an invalid
// row with its reason, reported once, so that one bad entry never hides the others.
void UiController::rebuildMeasurementList() {
    project_.rows.clear();
    project_.records.clear();
    project_.reportedUnreadable.clear();
    clearAnalysisRunsForRebuild();
    clearMeasurementSelection();
    emit selectedMeasurementChanged();
    emit analysisRunsChanged();
    emit uiStateChanged();
    if (!project_.open) {
        emit measurementsChanged();
        return;
    }
    const std::vector<std::string>& names = project_.record.measurements;
    for (auto name = names.rbegin(); name != names.rend(); ++name) {
        fs::path directory;
        std::optional<core::MeasurementRecord> record;
        QString error;
        try {
            directory = resolveMeasurementDirectory(*name);
        } catch (const std::exception& refused) {
            // Listed as unusable like any other entry that cannot be read: the rest of the list
            // stays, and the Project opens.
            error = textOf(refused);
            const QString line =
                UiText::tr("project.json lists %1, which is not a Measurement folder of this Project: %2")
                    .arg(qs(*name), error);
            if (!project_.reportedUnreadable.contains(line)) {
                project_.reportedUnreadable.insert(line);
                reportEvent(line);
            }
        }
        if (error.isEmpty() && entryMissing(directory)) {
            error = UiText::tr("Measurement directory is missing");
        } else if (error.isEmpty()) {
            try {
                record = core::readMeasurementManifest(directory);
            } catch (const std::exception& failure) {
                error = QStringLiteral("manifest.json: %1").arg(textOf(failure));
                reportUnreadableOnce(*this, project_.reportedUnreadable,
                                     fromFsPath(directory / "manifest.json"), textOf(failure));
            }
        }
        if (!record) {
            core::MeasurementRecord unusable;
            unusable.directory = directory;
            unusable.measurementId = *name;
            project_.records.push_back(std::move(unusable));
            project_.rows.append(invalidRowOf(*name, error));
            continue;
        }
        const RunListing runs = listRunsOf(record->directory);
        reportUnreadableRuns(*this, project_.reportedUnreadable, runs);
        QVariantMap row = measurementRowOf(*name, *record, runs);
        project_.records.push_back(std::move(*record));
        project_.rows.append(std::move(row));
    }
    emit measurementsChanged();
    // A row whose frozen profile fails verification turns invalid when selected; the next one is tried.
    for (int row = 0; row < project_.rows.size() && !hasSelectedMeasurement(); ++row) {
        if (!rowIsValid(project_.rows[row])) continue;
        selectMeasurement(row);
        if (rowIsValid(project_.rows[row])) break;
    }
}

void UiController::selectMeasurement(int index) {
    try {
        if (run_.fullRecomputeRunning.load()) {
            reportEvent(UiText::tr("Wait for Full Recompute before selecting another Measurement"));
            return;
        }
        const std::int32_t replay = run_.replay.load();
        if (replay == kReplayLoading || replay == kReplayPlaying || replay == kReplayPaused) {
            reportEvent(UiText::tr("Stop the active Replay before selecting another Measurement"));
            return;
        }
        if (replay == kReplayFinished || replay == kReplayFaulted) stopReplay();
        if (index < 0 || index >= measurementCount() || !rowIsValid(project_.rows[index])) return;

        const core::MeasurementRecord record = project_.records[static_cast<std::size_t>(index)];
        const QString id = qs(record.measurementId);

        // Verified before anything changes: a Measurement that fails leaves every setting as it was.
        core::DeviceProfile frozen;
        try {
            frozen = loadVerifiedFrozenProfile(record);
        } catch (const std::exception& error) {
            const fs::path file = record.directory / utf8Path(record.deviceProfileFile);
            // Listed with the reason from now on, and no longer selectable.
            QVariantMap row = project_.rows[index].toMap();
            row.insert(QStringLiteral("valid"), false);
            row.insert(QStringLiteral("error"),
                       QStringLiteral("%1: %2").arg(fromFsPath(file.filename()), textOf(error)));
            project_.rows[index] = row;
            emit measurementsChanged();
            reportEvent(
                UiText::tr("Open frozen Device Profile failed: %1: %2").arg(fromFsPath(file), textOf(error)));
            return;
        }

        if (hasPendingAnalysis() && pendingAnalysisMeasurementId() != id) {
            dropPendingAnalysisForSelection();
            reportEvent(QCoreApplication::translate("UiController", "Unsaved analysis result discarded"));
        }

        project_.selected = record;
        project_.selectedIndex = index;
        profileState_.frozen = std::move(frozen);
        project_.selectedRawProblem = rawFileProblem(record, id);
        project_.selectedRawAvailable = project_.selectedRawProblem.isEmpty();
        project_.selectedVideoPath.clear();
        if (!record.videoFile.empty()) {
            const fs::path video = record.directory / utf8Path(record.videoFile);
            if (isRegularFile(video) && isPathWithin(record.directory, video))
                project_.selectedVideoPath = fromFsPath(fs::absolute(video).lexically_normal());
        }

        // Within this Measurement's limit and on a bin of the analysis frame, without storing.
        const double frequency = analysisFrequencyForFrame(
            analysis_.frequencyHz, profileState_.frozenSampleRate(), analysis_.frameSize);
        if (!fuzzyEqual(frequency, analysis_.frequencyHz)) {
            analysis_.frequencyHz = frequency;
            emit analysisParametersChanged();
        }
        emit selectedMeasurementChanged();
        emit uiStateChanged();
        rebuildAnalysisRunList();
        timers_.analysisSpectrum->start();
        reportEvent(UiText::tr("Measurement selected: %1 · frozen Profile %2")
                        .arg(id, qs(profileState_.frozen.profileId)));
    } catch (const std::exception& error) {
        reportEvent(UiText::tr("Select Measurement failed: %1").arg(textOf(error)));
    } catch (...) {
    }
}

void UiController::selectMeasurementById(const QString& id) {
    for (std::size_t row = 0; row < project_.records.size(); ++row) {
        if (qs(project_.records[row].measurementId) == id) {
            selectMeasurement(static_cast<int>(row));
            return;
        }
    }
}

void UiController::renameSelectedMeasurement(const QString& displayName) {
    try {
        if (!hasSelectedMeasurement()) {
            reportEvent(UiText::tr("Select a Measurement first"));
            return;
        }
        if (run_.recording.load() != kRecordingIdle || run_.replay.load() != kReplayIdle ||
            run_.fullRecomputeRunning.load()) {
            reportEvent(UiText::tr("Stop Recording/Replay/Analysis before editing annotations"));
            return;
        }
        const core::MeasurementRecord record = project_.selected;
        const QString id = qs(record.measurementId);
        const QString name = displayName.trimmed();
        core::MeasurementLabelEdit edit;
        edit.displayName = name.toStdString();
        if (!writeLabels(*this, record, edit, UiText::tr("Rename failed: %1"))) return;
        refreshProject();
        selectMeasurementById(id);
        reportEvent(name.isEmpty() ? UiText::tr("Alias cleared: %1").arg(id)
                                   : UiText::tr("Renamed %1 -> %2").arg(id, name));
    } catch (...) {
    }
}

void UiController::setSelectedMeasurementNote(const QString& location, const QString& scene,
                                              const QString& note) {
    try {
        if (!hasSelectedMeasurement()) {
            reportEvent(UiText::tr("Select a Measurement first"));
            return;
        }
        if (run_.recording.load() != kRecordingIdle || run_.replay.load() != kReplayIdle ||
            run_.fullRecomputeRunning.load()) {
            reportEvent(UiText::tr("Stop Recording/Replay/Analysis before editing annotations"));
            return;
        }
        const core::MeasurementRecord record = project_.selected;
        const QString id = qs(record.measurementId);
        const core::MeasurementLabelEdit edit{std::nullopt, changedLabel(location.trimmed(), record.location),
                                              changedLabel(scene.trimmed(), record.scene),
                                              changedLabel(note, record.notes)};
        if (!writeLabels(*this, record, edit, UiText::tr("Save note failed: %1"))) return;
        refreshProject();
        selectMeasurementById(id);
        reportEvent(UiText::tr("Note saved: %1").arg(id));
    } catch (...) {
    }
}

void UiController::deleteSelectedMeasurement() {
    try {
        if (!hasSelectedMeasurement()) {
            reportEvent(UiText::tr("Select a Measurement first"));
            return;
        }
        if (run_.recording.load() != kRecordingIdle) {
            reportEvent(UiText::tr("Finish the active Recording before deleting"));
            return;
        }
        if (run_.fullRecomputeRunning.load()) {
            reportEvent(UiText::tr("Wait for Full Recompute before deleting"));
            return;
        }
        if (run_.replay.load() != kReplayIdle) stopReplay();

        const fs::path directory = project_.selected.directory;
        const QString id = qs(project_.selected.measurementId);
        const std::string registered = project_.rows[project_.selectedIndex]
                                           .toMap()
                                           .value(QStringLiteral("directory"))
                                           .toString()
                                           .toStdString();
        clearMeasurementSelection();
        emit selectedMeasurementChanged();

        core::MeasurementDeletion deletion;
        try {
            deletion = core::beginMeasurementDeletion(project_.record.directory, directory, registered);
        } catch (const core::EntryUnavailable& refused) {
            refreshProject();
            selectMeasurementById(id);
            reportEvent(UiText::tr("Measurement %1 was not deleted: %2").arg(id, unavailableReason(refused)));
            return;
        } catch (const std::exception& error) {
            reportEvent(UiText::tr("Project unregister failed: %1").arg(textOf(error)));
            refreshProject();
            return;
        }
        const fs::path& doomed = deletion.doomed;
        if (removeDirectoryTree(doomed)) {
            reportEvent(UiText::tr("Measurement deleted: %1").arg(id));
        } else {
            reportEvent(
                UiText::tr(
                    "Measurement unregistered; locked files remain under %1 — delete the folder manually")
                    .arg(fromFsPath(doomed)));
        }
        deletion.lock.release();
        refreshProject();
    } catch (const std::exception& error) {
        reportEvent(UiText::tr("Delete Measurement failed: %1").arg(textOf(error)));
    } catch (...) {
    }
}

}  // namespace zk::app
