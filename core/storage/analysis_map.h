#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

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
// Returns the FNV-1a 64 of the bytes written, the checksum the run records beside the map.
std::uint64_t writeAnalysisMap(const std::filesystem::path& path, const HeatmapGrid& grid);

// db rebuilt from relativeDb + peakDb when the trailer is present; without it the levels' range is
// rebuilt from the values and db stays empty. Every failure is a std::runtime_error with a fixed text.
// A non-empty expectedHash (formatHash64 text) must equal the checksum of the bytes read, else
// "Analysis map checksum mismatch"; an empty one (a run saved before checksums) checks nothing.
HeatmapGrid readAnalysisMap(const std::filesystem::path& path, std::string_view expectedHash = {});

// Empty when the run has no result file; otherwise the map read from the run's directory and checked
// against the run's resultFileHash.
std::optional<HeatmapGrid> loadAnalysisRunMap(const AnalysisRunRecord& run);

}  // namespace zk::core
