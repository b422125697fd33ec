#pragma once

#include <filesystem>
#include <optional>

#include "core/beamforming/heatmap_grid.h"

namespace zk::core {

struct AnalysisRunRecord;

// The map file of a saved AnalysisRun ("ZKMAP002" plus the "ZKMETA01" trailer, little-endian): the
// axes and relative levels of a HeatmapGrid with its peak and band metadata; power is never stored.

// The reader's bound on W x H; the writer does not enforce it.
inline constexpr std::uint64_t kMaxAnalysisMapCells = 10'000'000;

// std::invalid_argument "Analysis map dimensions are invalid" unless width and height are positive
// and the axes and relativeDb hold width, height and width x height values.
void checkAnalysisMapShape(const HeatmapGrid& grid);

// Checks the shape before touching the file; std::runtime_error "cannot write Analysis map" when it
// cannot be opened and "cannot finalize Analysis map" when any write or the closing flush fails. The
// file is not flushed to the device here: the run's commit does that for the whole directory.
void writeAnalysisMap(const std::filesystem::path& path, const HeatmapGrid& grid);

// db rebuilt from relativeDb + peakDb when the trailer is present; without it the levels' range is
// rebuilt from the values and db stays empty. Every failure is a std::runtime_error with a fixed text.
HeatmapGrid readAnalysisMap(const std::filesystem::path& path);

// Empty when the run has no result file; otherwise the map read from the run's directory.
std::optional<HeatmapGrid> loadAnalysisRunMap(const AnalysisRunRecord& run);

}  // namespace zk::core
