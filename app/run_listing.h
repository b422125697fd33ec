#pragma once

#include <QSet>
#include <QString>
#include <QVariantList>
#include <QVariantMap>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/storage/analysis_run_store.h"
#include "core/storage/measurement_store.h"

namespace zk::app {

class UiController;

// One run the store lists: its record, or why its analysis.json cannot be read.
struct ListedRun {
    std::string name;  // the run directory name
    std::filesystem::path manifestPath;
    std::optional<core::AnalysisRunRecord> record;
    QString error;  // the reader's text, set exactly when record is empty
};

// The runs of one Measurement in the store's order. One unreadable run never hides the others; when
// the listing itself fails, `error` says why and no run is known.
struct RunListing {
    std::filesystem::path analysesDir;
    std::vector<ListedRun> runs;
    QString error;
};

// Never throws std::exception.
RunListing listRunsOf(const std::filesystem::path& measurementDir);

// The row of a run that cannot be read: listed with its reason, never selectable.
QVariantMap invalidRunRow(const ListedRun& run);

// The brief run rows of a Measurement row, newest first; wholeSeconds is the Measurement's length.
QVariantList briefRunRows(const RunListing& listing, double wholeSeconds);

// The part of the Measurement a run covers, in seconds ("windowStartSeconds", "windowEndSeconds"):
// the window it was computed over, or 0 to wholeSeconds for a run of the whole Measurement. Two runs
// of one Measurement at one frequency read apart by it.
void addRunWindow(QVariantMap& row, const core::AnalysisRunParameters& parameters, double wholeSeconds);

// The length of a Measurement's raw data in seconds, 0 when its rate is unknown.
double measurementSeconds(const core::MeasurementRecord& measurement);

// Reports "Cannot read <file>: <error>" unless `reported` already holds that line (the lines since the
// Measurement list was last rebuilt), so each unreadable file is named once per open or refresh.
void reportUnreadableOnce(UiController& ui, QSet<QString>& reported, const QString& file,
                          const QString& error);
void reportUnreadableRuns(UiController& ui, QSet<QString>& reported, const RunListing& runs);

}  // namespace zk::app
