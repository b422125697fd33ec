#pragma once

#include <QString>
#include <QVariantList>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/beamforming/heatmap_grid.h"
#include "core/storage/analysis_run_store.h"

namespace zk::app {

// A computed, not yet saved AnalysisRun.
struct PendingAnalysis {
    std::filesystem::path measurementDirectory;
    std::string analysisId;
    std::string measurementId;
    core::AnalysisRunParameters parameters;
    double peakAzimuthDeg = 0.0;
    double peakElevationDeg = 0.0;
    double peakDb = 0.0;
    core::AnalysisRunLevel level;
    core::AnalysisRunProvenance provenance;
    core::HeatmapGrid map;
};

// The selected Measurement's AnalysisRuns, the selected one and the pending result; GUI thread only.
struct AnalysisRunState {
    QVariantList rows;                             // one map per run, in the store's order
    std::vector<core::AnalysisRunRecord> records;  // parallel to rows
    int selectedIndex = -1;
    core::AnalysisRunRecord selected;  // valid while selectedIndex >= 0
    std::optional<PendingAnalysis> pending;
    QString pendingInfo;
};

}  // namespace zk::app
