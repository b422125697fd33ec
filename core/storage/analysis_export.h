#pragma once

#include <filesystem>
#include <string_view>

#include "core/storage/analysis_run_store.h"
#include "core/storage/measurement_store.h"

namespace zk::core {

// Hidden names in the exports folder: exports/.<analysisId>.exporting is an export being built, held
// by its writer; exports/.<analysisId>.replaced an older export set aside while the new one takes its
// place, where the file system cannot swap the two.
inline constexpr std::string_view kExportingSuffix = ".exporting";
inline constexpr std::string_view kReplacedSuffix = ".replaced";

struct ExportResult {
    std::filesystem::path directory;  // projectDir/exports/<analysisId>
    std::filesystem::path csvPath;    // map.csv in it
    std::filesystem::path jsonPath;   // export.json in it
    // False when the export is in place and complete but the exports folder did not confirm its
    // name: a power cut could still bring back the previous state.
    bool durable = true;
};

// Writes the run's persisted map as map.csv (relative dB over the two axes; a cell without a level,
// cellHoldsLevel, is an empty field, so every row keeps its columns) and a JSON summary of
// the run, its Measurement's device profile and its peak as export.json. Both are built and flushed
// in the hidden folder exports/.<analysisId>.exporting, which then takes the place of the export
// folder in one step: an earlier export of the run is replaced only by a complete one and is kept
// when that fails. std::invalid_argument for an analysis id that is not one plain directory name,
// and for a record whose numbers or parameter text no JSON reader could read; std::runtime_error
// with the export's texts for every other failure, after which nothing of the attempt stays;
// EntryUnavailable (Project, Gone) when the Project folder no longer exists, which is never made again.
ExportResult exportAnalysisRun(const AnalysisRunRecord& run, const MeasurementRecord& measurement,
                               const std::filesystem::path& projectDir);

}  // namespace zk::core
