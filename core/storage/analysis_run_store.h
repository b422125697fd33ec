#pragma once

#include <cstdint>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/beamforming/heatmap_grid.h"

namespace zk::core {

// The "parameters" object of analysis.json: what the caller computed the run with, stored as given.
struct AnalysisRunParameters {
    std::string algorithmId;
    std::string algorithmVersion;
    double frequencyHz = 0.0;
    std::uint32_t frequencyBin = 0;
    std::string bandMode;
    double bandLowHz = 0.0;
    double bandHighHz = 0.0;
    std::uint32_t bandBinCount = 0;
    bool removeCsmDiagonal = false;
    bool noiseSubtracted = false;
    double focusDistanceM = std::numeric_limits<double>::infinity();  // infinite = far field
    std::string algorithmParams;                                      // compact JSON text, or empty
    std::uint32_t frameSize = 0;
    std::uint32_t hopSize = 0;
    double azimuthBeginDeg = 0.0;
    double azimuthEndDeg = 0.0;
    std::uint32_t azimuthCount = 0;
    double elevationBeginDeg = 0.0;
    double elevationEndDeg = 0.0;
    std::uint32_t elevationCount = 0;
    double gridStepDeg = 1.0;
    std::string csmMode = "arithmetic";
    double windowStartSeconds = -1.0;
    double windowEndSeconds = -1.0;

    friend bool operator==(const AnalysisRunParameters&, const AnalysisRunParameters&) = default;
};

// How a run was computed and from which frozen inputs.
struct AnalysisRunProvenance {
    std::string recomputeMode;  // "fast" or "full"
    std::string inputRawHash;
    std::string profileHash;
    std::string profileId;
    std::uint64_t inputFrames = 0;  // raw frames consumed
    std::uint64_t stftFrames = 0;   // spectral frames accumulated

    friend bool operator==(const AnalysisRunProvenance&, const AnalysisRunProvenance&) = default;
};

// The peak level a run keeps beside its relative peakDb, with its unit: the map's own level in dBFS
// where its levels are absolute (mapHasAbsoluteLevels), else its level relative to its peak. An empty
// unit is a run saved without one, which reads as before.
inline constexpr const char* kLevelUnitDbfs = "dBFS";
inline constexpr const char* kLevelUnitRePeak = "dB re peak";
struct AnalysisRunLevel {
    double peakLevel = 0.0;
    std::string unit;  // kLevelUnitDbfs, kLevelUnitRePeak or empty

    friend bool operator==(const AnalysisRunLevel&, const AnalysisRunLevel&) = default;
};

// The level of a computed map as a run keeps it.
AnalysisRunLevel peakLevelOf(const HeatmapGrid& map);

struct AnalysisRunRecord {
    std::filesystem::path directory;  // the run directory
    std::string analysisId;
    std::string measurementId;
    std::string createdAt;
    std::string buildVersion;
    AnalysisRunParameters parameters;
    double peakAzimuthDeg = 0.0;
    double peakElevationDeg = 0.0;
    double peakDb = 0.0;
    AnalysisRunLevel level;  // "peakLevel" and "peakLevelUnit" of "result" when the unit is known
    AnalysisRunProvenance provenance;
    std::string resultFile;      // "map.bin", or empty when the run has no map
    std::string resultFileHash;  // FNV-1a 64 of the map file; empty without a map or in an older run

    friend bool operator==(const AnalysisRunRecord&, const AnalysisRunRecord&) = default;
};

// Builds the run under "." + analysisId + ".creating" in the Measurement's analyses directory, flushes
// its files and the directory to disk and renames it to analysisId without ever replacing anything.
// Parameters its own reader would refuse (a non-finite number other than an infinite focus distance,
// algorithmParams that is not JSON, a map of the wrong shape) throw std::invalid_argument before
// anything is created. A staging directory of the id left by an earlier create is removed first (one
// a living writer holds fails with "analysis staging directory already exists"), and a failure
// removes the one this call made, so a failed save can be retried. When `durable` is given
// it tells whether the parent directory confirmed the new name: false means the run is saved and
// complete, but a power cut could still lose it. The Measurement folder must exist: it is never made
// here (EntryUnavailable, Gone, when another program deleted it; nothing is created).
AnalysisRunRecord createAnalysisRun(const std::filesystem::path& measurementDir,
                                    std::string_view measurementId, std::string_view analysisId,
                                    const AnalysisRunParameters& parameters, double peakAzimuthDeg,
                                    double peakElevationDeg, double peakDb, std::string_view buildVersion,
                                    const AnalysisRunProvenance& provenance,
                                    const std::optional<HeatmapGrid>& map, const AnalysisRunLevel& level = {},
                                    bool* durable = nullptr);

// Names of the committed runs: the subdirectories of measurementDir/analyses whose names do not begin
// with a dot and that hold an entry named analysis.json (of any kind: the reader refuses one that is
// no regular file), sorted byte-wise; empty when there is no analyses directory.
std::vector<std::string> listAnalysisRuns(const std::filesystem::path& measurementDir);

// The record of runDir/analysis.json; std::runtime_error "cannot open analysis manifest" when it
// cannot be read, "analysis manifest exceeds 16 MiB" past the bound, and the JSON and accessor
// texts for a malformed one (std::invalid_argument "<key> must be finite" for a real such as 1e400);
// "analysis resultFile must be a plain file name" unless resultFile is empty or one file name inside
// the run directory.
AnalysisRunRecord readAnalysisRun(const std::filesystem::path& runDir);
AnalysisRunRecord parseAnalysisManifest(const std::filesystem::path& runDir, std::string_view text);

// std::runtime_error "analysis resultFile must be a plain file name" unless the name is empty or one
// path component other than "." and "..".
void validateResultFileName(std::string_view resultFile);

// std::invalid_argument "algorithmParams must be valid JSON" unless the text is one JSON value with
// finite numbers that the reader also takes nested two objects deep, as in analysis.json and
// export.json. The empty text (written as {}) is accepted.
void validateAlgorithmParams(std::string_view text);

// The analysis.json text. std::invalid_argument "<key> must be finite" for a non-finite number
// (an infinite focus distance is written as "infinity"), and "algorithmParams must be valid JSON"
// for parameter text that the reader would refuse.
std::string writeAnalysisManifest(const AnalysisRunRecord& record);

}  // namespace zk::core
