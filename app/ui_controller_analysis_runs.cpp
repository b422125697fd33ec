// AnalysisRuns of the selected Measurement: list, selection, save, discard and export.
#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "app/error_text.h"
#include "app/file_paths.h"
#include "app/run_listing.h"
#include "app/run_parameters_text.h"
#include "app/settings_rules.h"
#include "app/ui_controller.h"
#include "core/storage/analysis_export.h"
#include "core/storage/analysis_map.h"
#include "core/storage/analysis_run_store.h"
#include "core/storage/lock_wait.h"

namespace zk::app {

namespace fs = std::filesystem;

namespace {

constexpr const char* kBuildVersion = "sorvanta-ui-0.1.0";

QString qs(const std::string& utf8) { return QString::fromStdString(utf8); }
fs::path utf8Path(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

// What following a run changed.
struct Followed {
    bool parameters = false;
    bool window = false;
};

// The form takes the band and the window the selected run was made with (frequency on the run's own bin,
// band mode, frame and hop, the window or none), so the form, the spectrum cursor and the run name one
// frequency and a recompute with these settings reads the run's own matrices. Nothing is stored: the
// user's own values come back at the next start.
Followed followRun(AnalysisSettings& analysis, const core::AnalysisRunParameters& run, double sampleRateHz) {
    const int frameBefore = analysis.frameSize;
    const int hopBefore = analysis.hopSize;
    const QString modeBefore = analysis.bandMode;
    const double frequencyBefore = analysis.frequencyHz;
    if (run.frameSize == 256 || run.frameSize == 512 || run.frameSize == 1024) {
        analysis.frameSize = static_cast<int>(run.frameSize);
        if (run.hopSize >= 1 && run.hopSize <= run.frameSize)
            analysis.hopSize = static_cast<int>(run.hopSize);
        if (analysis.hopSize > analysis.frameSize) analysis.hopSize = analysis.frameSize / 2;
    }
    const QString mode = QString::fromStdString(run.bandMode);
    if (mode == QLatin1String("Single") || mode == QLatin1String("1/3 octave") ||
        mode == QLatin1String("Custom"))
        analysis.bandMode = mode;
    // The run's bin as it is, above 0.45 x the rate too ("Analyze at position" maps the live bins).
    if (std::isfinite(run.frequencyHz) && run.frequencyHz > 0.0)
        analysis.frequencyHz = frequencyOnFrame(run.frequencyHz, sampleRateHz, analysis.frameSize);

    const bool hadWindow = analysis.hasWindow;
    const double startBefore = analysis.windowStartS;
    const double endBefore = analysis.windowEndS;
    analysis.hasWindow = std::isfinite(run.windowEndSeconds) && run.windowStartSeconds >= 0.0 &&
                         run.windowEndSeconds > run.windowStartSeconds;
    if (analysis.hasWindow) {
        analysis.windowStartS = run.windowStartSeconds;
        analysis.windowEndS = run.windowEndSeconds;
    }
    Followed followed;
    followed.parameters = analysis.frameSize != frameBefore || analysis.hopSize != hopBefore ||
                          analysis.bandMode != modeBefore ||
                          !fuzzyEqual(analysis.frequencyHz, frequencyBefore);
    followed.window =
        analysis.hasWindow != hadWindow ||
        (analysis.hasWindow && (analysis.windowStartS != startBefore || analysis.windowEndS != endBefore));
    return followed;
}

bool mapAvailable(const core::AnalysisRunRecord& run) {
    if (run.resultFile.empty()) return false;
    const fs::path file = run.directory / utf8Path(run.resultFile);
    std::error_code error;
    return fs::is_regular_file(file, error) && !error && isPathWithin(run.directory, file);
}

QVariantMap rowOf(const std::string& name, const core::AnalysisRunRecord& run) {
    const core::AnalysisRunParameters& p = run.parameters;
    return {{QStringLiteral("id"), qs(name)},
            {QStringLiteral("valid"), true},
            {QStringLiteral("createdAt"), qs(run.createdAt)},
            {QStringLiteral("algorithm"), qs(p.algorithmId)},
            {QStringLiteral("frequencyHz"), p.frequencyHz},
            {QStringLiteral("bandLowHz"), p.bandLowHz},
            {QStringLiteral("bandHighHz"), p.bandHighHz},
            {QStringLiteral("gridStepDeg"), p.gridStepDeg},
            {QStringLiteral("bandBinCount"), p.bandBinCount},
            {QStringLiteral("frameSize"), p.frameSize},
            {QStringLiteral("hopSize"), p.hopSize},
            {QStringLiteral("peakAzimuth"), run.peakAzimuthDeg},
            {QStringLiteral("peakElevation"), run.peakElevationDeg},
            {QStringLiteral("peakDb"), run.peakDb},
            {QStringLiteral("peakLevel"), run.level.peakLevel},
            {QStringLiteral("peakLevelUnit"), qs(run.level.unit)},
            {QStringLiteral("mode"), qs(run.provenance.recomputeMode)},
            {QStringLiteral("mapAvailable"), mapAvailable(run)}};
}

// The level with its unit to one decimal; empty for a run saved without one.
QString peakLevelText(const core::AnalysisRunLevel& level) {
    if (level.unit == core::kLevelUnitDbfs) return UiText::tr("%1 dBFS").arg(level.peakLevel, 0, 'f', 1);
    if (level.unit == core::kLevelUnitRePeak)
        return UiText::tr("%1 dB re peak").arg(level.peakLevel, 0, 'f', 1);
    return {};
}

bool runRowIsValid(const QVariant& row) { return row.toMap().value(QStringLiteral("valid")).toBool(); }

}  // namespace

QVariantList UiController::analysisRuns() const { return analysis_.runs.rows; }
int UiController::analysisRunCount() const { return static_cast<int>(analysis_.runs.rows.size()); }
int UiController::selectedAnalysisIndex() const { return analysis_.runs.selectedIndex; }
bool UiController::hasSelectedAnalysis() const { return analysis_.runs.selectedIndex >= 0; }
QString UiController::selectedAnalysisId() const {
    return hasSelectedAnalysis() ? qs(analysis_.runs.selected.analysisId) : QString();
}
QString UiController::selectedAnalysisAlgorithmParams() const {
    return hasSelectedAnalysis() ? qs(analysis_.runs.selected.parameters.algorithmParams) : QString();
}

QString UiController::selectedAnalysisParameters() const {
    return hasSelectedAnalysis() ? runParametersText(analysis_.runs.selected.parameters) : QString();
}

QString UiController::selectedAnalysisInfo() const {
    if (!hasSelectedAnalysis()) return {};
    const core::AnalysisRunRecord& run = analysis_.runs.selected;
    const core::AnalysisRunParameters& p = run.parameters;
    const QString band = p.bandBinCount < 2 ? QStringLiteral("%1 Hz").arg(p.frequencyHz, 0, 'f', 1)
                                            : UiText::tr("%1-%2 Hz · %3 bins")
                                                  .arg(p.bandLowHz, 0, 'f', 0)
                                                  .arg(p.bandHighHz, 0, 'f', 0)
                                                  .arg(p.bandBinCount);
    const QString focus = std::isfinite(p.focusDistanceM)
                              ? UiText::tr("focus %1 m").arg(p.focusDistanceM, 0, 'f', 1)
                              : UiText::tr("far field");
    // A run saved with its level names it in its unit; one saved before reads as it always did.
    const QString level = peakLevelText(run.level);
    return (level.isEmpty() ? UiText::tr("%1 v%2 · %3 · frame %4 / hop %5 · grid %6° · %7 · peak %8 dB")
                            : UiText::tr("%1 v%2 · %3 · frame %4 / hop %5 · grid %6° · %7 · peak %8"))
        .arg(qs(p.algorithmId), qs(p.algorithmVersion), band)
        .arg(p.frameSize)
        .arg(p.hopSize)
        .arg(p.gridStepDeg, 0, 'f', 1)
        .arg(focus)
        .arg(level.isEmpty() ? QString::number(run.peakDb, 'f', 1) : level);
}

QString UiController::selectedAnalysisProvenance() const {
    if (!hasSelectedAnalysis()) return {};
    const core::AnalysisRunRecord& run = analysis_.runs.selected;
    const core::AnalysisRunProvenance& v = run.provenance;
    // The stored mode is a key; the line names it in the user's language.
    [[maybe_unused]] constexpr const char* kModes[][2] = {
        QT_TRANSLATE_NOOP3("UiController", "full", "recompute"),
        QT_TRANSLATE_NOOP3("UiController", "fast", "recompute")};
    return UiText::tr("%1 recompute · %2 input / %3 processed frames · raw %4 · Profile %5 %6 · build %7")
        .arg(UiText::tr(v.recomputeMode.c_str(), "recompute"))
        .arg(v.inputFrames)
        .arg(v.stftFrames)
        .arg(shortenedHash(qs(v.inputRawHash)), qs(v.profileId), shortenedHash(qs(v.profileHash)),
             qs(run.buildVersion));
}

bool UiController::hasPendingAnalysis() const { return analysis_.runs.pending.has_value(); }
QString UiController::pendingAnalysisInfo() const { return analysis_.runs.pendingInfo; }
QString UiController::pendingAnalysisMeasurementId() const {
    return hasPendingAnalysis() ? qs(analysis_.runs.pending->measurementId) : QString();
}

void UiController::clearAnalysisRunsForRebuild() {
    AnalysisRunState& runs = analysis_.runs;
    if (runs.pending) {
        runs.pending.reset();
        runs.pendingInfo.clear();
        emit pendingAnalysisChanged();
    }
    runs.rows.clear();
    runs.records.clear();
    runs.selectedIndex = -1;
    runs.selected = core::AnalysisRunRecord{};
    emit selectedAnalysisChanged();
}

void UiController::rebuildAnalysisRunList() {
    AnalysisRunState& runs = analysis_.runs;
    runs.rows.clear();
    runs.records.clear();
    runs.selectedIndex = -1;
    runs.selected = core::AnalysisRunRecord{};
    emit selectedAnalysisChanged();
    if (!hasSelectedMeasurement()) {
        analysis_.status = UiText::tr("Select a Measurement to create an AnalysisRun");
        emit analysisRunsChanged();
        emit analysisStateChanged();
        return;
    }
    const RunListing listing = listRunsOf(project_.selected.directory);
    reportUnreadableRuns(*this, project_.reportedUnreadable, listing);
    for (const ListedRun& run : listing.runs) {
        if (run.record) {
            QVariantMap row = rowOf(run.name, *run.record);
            addRunWindow(row, run.record->parameters, measurementSeconds(project_.selected));
            runs.rows.append(row);
            runs.records.push_back(*run.record);
        } else {
            runs.rows.append(invalidRunRow(run));
            core::AnalysisRunRecord unreadable;
            unreadable.directory = run.manifestPath.parent_path();
            unreadable.analysisId = run.name;
            runs.records.push_back(std::move(unreadable));
        }
    }
    // English has a singular; the catalogues give each count its own form (%n).
    const auto runCount = static_cast<int>(runs.rows.size());
    analysis_.status = runCount == 0
                           ? UiText::tr("No AnalysisRun yet · Full Recompute creates an immutable run")
                       : runCount == 1 ? UiText::tr("%n independent AnalysisRun", nullptr, 1)
                                       : UiText::tr("%n independent AnalysisRuns", nullptr, runCount);
    // The Measurement row shows the same runs at once: its count and its run rows.
    const int row = project_.selectedIndex;
    if (row >= 0 && row < project_.rows.size()) {
        QVariantMap entry = project_.rows[row].toMap();
        entry.insert(QStringLiteral("analysisCount"), static_cast<quint64>(runs.rows.size()));
        entry.insert(QStringLiteral("analyses"),
                     briefRunRows(listing, measurementSeconds(project_.selected)));
        project_.rows[row] = entry;
        emit measurementsChanged();
    }
    emit analysisRunsChanged();
    emit analysisStateChanged();
    for (int newest = static_cast<int>(runs.rows.size()) - 1; newest >= 0; --newest) {
        if (runRowIsValid(runs.rows[newest])) {
            selectAnalysisRun(newest);
            break;
        }
    }
}

void UiController::selectAnalysisRun(int index) {
    AnalysisRunState& runs = analysis_.runs;
    if (run_.fullRecomputeRunning.load() || index < 0 || index >= runs.rows.size() ||
        !runRowIsValid(runs.rows[index]))
        return;
    try {
        runs.selected = runs.records[static_cast<std::size_t>(index)];
        runs.selectedIndex = index;
        std::optional<core::HeatmapGrid> map = core::loadAnalysisRunMap(runs.selected);
        if (map) {
            publishMap(std::move(*map), render::kMapSourceAnalysis);
        } else {
            map_.hasHeatmap.store(false);
            emit heatmapUpdated();
        }
        emit selectedAnalysisChanged();
        const Followed followed =
            followRun(analysis_, runs.selected.parameters, profileState_.frozenSampleRate());
        if (followed.parameters) emit analysisParametersChanged();
        if (followed.window) {
            emit analysisWindowChanged();
            timers_.analysisSpectrum->start();
        }
        reportEvent(UiText::tr("AnalysisRun selected: %1").arg(qs(runs.selected.analysisId)));
    } catch (const std::exception& error) {
        runs.selectedIndex = -1;
        runs.selected = core::AnalysisRunRecord{};
        emit selectedAnalysisChanged();
        reportEvent(UiText::tr("Open AnalysisRun result failed: %1").arg(textOf(error)));
    } catch (...) {
    }
}

void UiController::showAnalysisMap() {
    if (run_.liveRunning.load() || run_.replayRunning.load() || run_.fullRecomputeRunning.load()) return;
    try {
        const AnalysisRunState& runs = analysis_.runs;
        if (runs.pending) {
            publishMap(runs.pending->map, render::kMapSourceAnalysis);
            return;
        }
        if (runs.selectedIndex < 0) return;
        if (std::optional<core::HeatmapGrid> map = core::loadAnalysisRunMap(runs.selected)) {
            publishMap(std::move(*map), render::kMapSourceAnalysis);
        }
    } catch (const std::exception& error) {
        reportEvent(UiText::tr("Open AnalysisRun result failed: %1").arg(textOf(error)));
    } catch (...) {
    }
}

void UiController::openAnalysisRun(const QString& measurementId, const QString& analysisId) {
    try {
        if (run_.fullRecomputeRunning.load()) {
            reportEvent(UiText::tr("Wait for Full Recompute before opening an AnalysisRun"));
            return;
        }
        const std::int32_t replay = run_.replay.load();
        if (replay == kReplayLoading || replay == kReplayPlaying || replay == kReplayPaused) {
            reportEvent(UiText::tr("Stop the active Replay before opening an AnalysisRun"));
            return;
        }
        if (selectedMeasurementId() != measurementId) {
            selectMeasurementById(measurementId);
            if (selectedMeasurementId() != measurementId) {
                reportEvent(UiText::tr("Measurement not found: %1").arg(measurementId));
                return;
            }
        }
        for (std::size_t row = 0; row < analysis_.runs.records.size(); ++row) {
            if (qs(analysis_.runs.records[row].analysisId) != analysisId) continue;
            const QVariantMap entry = analysis_.runs.rows[static_cast<int>(row)].toMap();
            if (!entry.value(QStringLiteral("valid")).toBool()) {
                const QString error = entry.value(QStringLiteral("error")).toString();
                reportEvent(UiText::tr("Open AnalysisRun result failed: %1").arg(error));
                return;
            }
            selectAnalysisRun(static_cast<int>(row));
            return;
        }
        reportEvent(UiText::tr("AnalysisRun not found: %1").arg(analysisId));
    } catch (const std::exception& error) {
        reportEvent(UiText::tr("Open AnalysisRun failed: %1").arg(textOf(error)));
    } catch (...) {
    }
}

void UiController::savePendingAnalysis() {
    AnalysisRunState& runs = analysis_.runs;
    if (!runs.pending || run_.fullRecomputeRunning.load()) return;
    try {
        const PendingAnalysis& p = *runs.pending;
        const QString id = qs(p.analysisId);
        bool durable = true;
        try {
            core::createAnalysisRun(p.measurementDirectory, p.measurementId, p.analysisId, p.parameters,
                                    p.peakAzimuthDeg, p.peakElevationDeg, p.peakDb, kBuildVersion,
                                    p.provenance, p.map, p.level, &durable);
        } catch (const core::EntryUnavailable& refused) {
            // Saving it anyway would make the deleted folder again, holding this run alone.
            reportEvent(UiText::tr("AnalysisRun %1 of Measurement %2 was not saved: %3")
                            .arg(id, qs(p.measurementId), unavailableReason(refused)));
            return;
        } catch (const std::exception& error) {
            reportEvent(QCoreApplication::translate("UiController", "Save AnalysisRun failed: %1")
                            .arg(textOf(error)));
            return;
        }
        runs.pending.reset();
        runs.pendingInfo.clear();
        emit pendingAnalysisChanged();
        try {
            rebuildAnalysisRunList();
        } catch (const std::exception& error) {
            reportEvent(UiText::tr("AnalysisRun list refresh failed: %1").arg(textOf(error)));
        }
        const char* saved = QT_TRANSLATE_NOOP("UiController", "AnalysisRun saved: %1");
        analysis_.status = QCoreApplication::translate("UiController", saved).arg(id);
        emit analysisStateChanged();
        reportLocalized(saved, {id});
        if (!durable)
            appendEventLog(UiText::tr("Warning: AnalysisRun %1 is saved, but the disk did not confirm its "
                                      "folder; a power cut could still lose it")
                               .arg(id));
    } catch (...) {
    }
}

void UiController::dropPendingAnalysisForSelection() {
    AnalysisRunState& runs = analysis_.runs;
    if (!runs.pending) return;
    runs.pending.reset();
    runs.pendingInfo.clear();
    emit pendingAnalysisChanged();
    if (runs.selectedIndex >= 0) {
        selectAnalysisRun(runs.selectedIndex);
    } else {
        map_.hasHeatmap.store(false);
        emit heatmapUpdated();
    }
}

void UiController::discardPendingAnalysis() {
    try {
        if (!hasPendingAnalysis()) return;
        dropPendingAnalysisForSelection();
        // The Analysis page shows this status; it must not keep offering a result that is gone.
        analysis_.status = QCoreApplication::translate("UiController", "Unsaved analysis result discarded");
        emit analysisStateChanged();
        reportEvent(analysis_.status);
    } catch (...) {
    }
}

void UiController::exportSelectedAnalysis() {
    try {
        if (!hasSelectedAnalysis() || !hasSelectedMeasurement() || !project_.open ||
            !runRowIsValid(analysis_.runs.rows.value(analysis_.runs.selectedIndex))) {
            reportEvent(UiText::tr("Select an AnalysisRun before exporting"));
            return;
        }
        try {
            const core::ExportResult result = core::exportAnalysisRun(
                analysis_.runs.selected, project_.selected, project_.record.directory);
            // Shown on the Analysis page too: the status strip is on the Live page only.
            const char* exported = QT_TRANSLATE_NOOP("UiController", "Exported map.csv + export.json to %1");
            const QString folder = fromFsPath(result.directory);
            analysis_.status = QCoreApplication::translate("UiController", exported).arg(folder);
            emit analysisStateChanged();
            reportLocalized(exported, {folder});
            if (!result.durable)
                appendEventLog(
                    UiText::tr("Warning: the export is in place, but the disk did not confirm "
                               "its folder; a power cut could still lose it"));
        } catch (const std::exception& error) {
            const char* failed = QT_TRANSLATE_NOOP("UiController", "Export failed: %1");
            analysis_.status = QCoreApplication::translate("UiController", failed).arg(textOf(error));
            emit analysisStateChanged();
            reportLocalized(failed, {textOf(error)});
        }
    } catch (...) {
    }
}

}  // namespace zk::app
