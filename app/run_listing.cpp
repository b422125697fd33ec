// The AnalysisRuns of one Measurement as both lists show them.
#include "app/run_listing.h"

#include <cmath>
#include <exception>

#include "app/file_paths.h"
#include "app/ui_controller.h"

namespace zk::app {

namespace fs = std::filesystem;

namespace {

QString qs(const std::string& utf8) { return QString::fromStdString(utf8); }
fs::path utf8Path(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

QVariantMap briefRowOf(const std::string& name, const core::AnalysisRunRecord& run) {
    return {{QStringLiteral("id"), qs(name)},
            {QStringLiteral("valid"), true},
            {QStringLiteral("createdAt"), qs(run.createdAt)},
            {QStringLiteral("algorithm"), qs(run.parameters.algorithmId)},
            {QStringLiteral("frequencyHz"), run.parameters.frequencyHz},
            {QStringLiteral("bandLowHz"), run.parameters.bandLowHz},
            {QStringLiteral("bandHighHz"), run.parameters.bandHighHz},
            {QStringLiteral("peakAzimuth"), run.peakAzimuthDeg},
            {QStringLiteral("peakElevation"), run.peakElevationDeg},
            {QStringLiteral("peakDb"), run.peakDb},
            {QStringLiteral("mode"), qs(run.provenance.recomputeMode)}};
}

}  // namespace

RunListing listRunsOf(const fs::path& measurementDir) {
    RunListing listing;
    listing.analysesDir = measurementDir / "analyses";
    std::vector<std::string> names;
    try {
        names = core::listAnalysisRuns(measurementDir);
    } catch (const std::exception& error) {
        listing.error = QString::fromUtf8(error.what());
        return listing;
    }
    listing.runs.reserve(names.size());
    for (std::string& name : names) {
        ListedRun run;
        const fs::path runDir = listing.analysesDir / utf8Path(name);
        run.manifestPath = runDir / "analysis.json";
        try {
            run.record = core::readAnalysisRun(runDir);
        } catch (const std::exception& error) {
            run.error = QString::fromUtf8(error.what());
        }
        run.name = std::move(name);
        listing.runs.push_back(std::move(run));
    }
    return listing;
}

QVariantMap invalidRunRow(const ListedRun& run) {
    return {{QStringLiteral("id"), qs(run.name)},
            {QStringLiteral("valid"), false},
            {QStringLiteral("error"), QStringLiteral("analysis.json: %1").arg(run.error)}};
}

QVariantList briefRunRows(const RunListing& listing, double wholeSeconds) {
    QVariantList rows;
    for (auto run = listing.runs.rbegin(); run != listing.runs.rend(); ++run) {
        if (!run->record) {
            rows.append(invalidRunRow(*run));
            continue;
        }
        QVariantMap row = briefRowOf(run->name, *run->record);
        addRunWindow(row, run->record->parameters, wholeSeconds);
        rows.append(row);
    }
    return rows;
}

void addRunWindow(QVariantMap& row, const core::AnalysisRunParameters& parameters, double wholeSeconds) {
    const bool windowed = std::isfinite(parameters.windowEndSeconds) &&
                          parameters.windowStartSeconds >= 0.0 &&
                          parameters.windowEndSeconds > parameters.windowStartSeconds;
    row.insert(QStringLiteral("windowStartSeconds"), windowed ? parameters.windowStartSeconds : 0.0);
    row.insert(QStringLiteral("windowEndSeconds"), windowed ? parameters.windowEndSeconds : wholeSeconds);
}

double measurementSeconds(const core::MeasurementRecord& measurement) {
    return measurement.sampleRateHz > 0
               ? static_cast<double>(measurement.totalFrames) / measurement.sampleRateHz
               : 0.0;
}

void reportUnreadableOnce(UiController& ui, QSet<QString>& reported, const QString& file,
                          const QString& error) {
    const QString line = UiText::tr("Cannot read %1: %2").arg(file, error);
    if (reported.contains(line)) return;
    reported.insert(line);
    ui.reportEvent(line);
}

void reportUnreadableRuns(UiController& ui, QSet<QString>& reported, const RunListing& runs) {
    if (!runs.error.isEmpty()) reportUnreadableOnce(ui, reported, fromFsPath(runs.analysesDir), runs.error);
    for (const ListedRun& run : runs.runs)
        if (!run.record) reportUnreadableOnce(ui, reported, fromFsPath(run.manifestPath), run.error);
}

}  // namespace zk::app
