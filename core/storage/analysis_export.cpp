#include "core/storage/analysis_export.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>

#include "core/beamforming/band_matrix.h"
#include "core/platform/file_platform.h"
#include "core/storage/analysis_map.h"
#include "core/storage/durable_file.h"
#include "core/storage/file_io.h"
#include "core/storage/json_writer.h"
#include "core/storage/staged_commit.h"

namespace zk::core {

namespace fs = std::filesystem;

namespace {

constexpr int kCsvPrecision = 10;
constexpr int kJsonPrecision = 17;
constexpr const char* kCannotCreate = "cannot create export directory";

// escapeJsonString leaves control characters raw, which no strict JSON reader takes; the export
// escapes them on top, keeping escapeJsonString itself unchanged for the cache keys.
std::string exportString(std::string_view text) {
    std::string out;
    for (const char c : escapeJsonString(text)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20) {
            out.push_back(c);
            continue;
        }
        switch (c) {
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default: {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", byte);
                out += escape;
            }
        }
    }
    return out;
}

// As a stream with precision 10 in the default floating format (printf's %.10g), in any locale.
void appendCsvNumber(std::string& out, double value) {
    char digits[64];
    const auto result =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::general, kCsvPrecision);
    out.append(digits, result.ptr);
}

std::string exportJson(const AnalysisRunRecord& run, const MeasurementRecord& measurement,
                       const HeatmapGrid& map) {
    const AnalysisRunParameters& p = run.parameters;
    validateAlgorithmParams(p.algorithmParams);
    JsonFileBuilder json(kJsonPrecision);
    json.integerMember("schemaVersion", 1)
        .quotedMember("exportedAt", exportString(utcTimestampNow()))
        .quotedMember("analysisId", exportString(run.analysisId))
        .quotedMember("measurementId", exportString(run.measurementId))
        .quotedMember("buildVersion", exportString(run.buildVersion));
    json.beginObject("algorithm")
        .quotedMember("id", exportString(p.algorithmId))
        .quotedMember("version", exportString(p.algorithmVersion))
        .quotedMember("bandMode", exportString(p.bandMode))
        .numberMember("centerFrequencyHz", p.frequencyHz)
        .numberMember("bandLowHz", p.bandLowHz)
        .numberMember("bandHighHz", p.bandHighHz)
        .unsignedMember("bandBinCount", p.bandBinCount)
        .unsignedMember("frameSize", p.frameSize)
        .unsignedMember("hopSize", p.hopSize)
        .numberMember("gridStepDeg", p.gridStepDeg)
        .boolMember("removeCsmDiagonal", p.removeCsmDiagonal);
    if (std::isinf(p.focusDistanceM)) {
        json.rawMember("focusDistanceM", "\"infinity\"");
    } else {
        json.numberMember("focusDistanceM", p.focusDistanceM);
    }
    json.rawMember("params", p.algorithmParams.empty() ? std::string_view("{}") : p.algorithmParams)
        .endObject();
    json.beginObject("deviceProfile")
        .quotedMember("profileId", exportString(measurement.profileId))
        .unsignedMember("profileSchemaVersion", measurement.profileSchemaVersion)
        .quotedMember("deviceModel", exportString(measurement.deviceModel))
        .quotedMember("hardwareVersion", exportString(measurement.hardwareVersion))
        .quotedMember("profileHash", exportString(measurement.profileHash))
        .quotedMember("geometryHash", exportString(measurement.geometryHash))
        .unsignedMember("sampleRateHz", measurement.sampleRateHz)
        .unsignedMember("channelCount", measurement.channelCount)
        .endObject();
    json.beginObject("result")
        .numberMember("peakAzimuthDeg", run.peakAzimuthDeg)
        .numberMember("peakElevationDeg", run.peakElevationDeg)
        .numberMember("peakDb", run.peakDb)
        .unsignedMember("azimuthCount", map.azimuthDeg.size())
        .unsignedMember("elevationCount", map.elevationDeg.size());
    // After the members every reader knows: the level a relative peakDb of 0 does not give.
    if (!run.level.unit.empty())
        json.numberMember("peakLevel", run.level.peakLevel)
            .quotedMember("peakLevelUnit", exportString(run.level.unit));
    json.endObject();
    return json.finish();
}

// Gives the owner back what it needs to list and remove the folders of a tree (a folder the user set
// to mode 000 cannot be listed, so not emptied); links are never followed.
void grantOwnerAccess(const fs::path& path) {
    std::error_code error;
    if (!fs::is_directory(fs::symlink_status(path, error))) return;
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, error);
    for (fs::directory_iterator it(path, error); !error && it != fs::directory_iterator();
         it.increment(error))
        grantOwnerAccess(it->path());
}

// The export this one replaced lies under a hidden name once the new one is in place; one that could
// not be removed there would stay hidden for good.
void removeReplacedExport(const fs::path& aside) {
    std::error_code error;
    if (fs::symlink_status(aside, error).type() == fs::file_type::not_found) return;
    // Under this name a living writer may hold its own export by now: that one stays.
    const std::optional<EntryLock> held = claimLeftover(aside);
    if (!held) return;
    grantOwnerAccess(aside);
    removeTreeQuietly(aside);
}

// Streams the table in pieces of about kFileChunkBytes, so a map of any width needs no text of its
// size in memory. False when any write or the closing flush failed.
bool writeCsv(std::FILE* file, const HeatmapGrid& map) {
    bool ok = true;
    std::string text = "elevation_deg\\azimuth_deg";
    const auto spill = [&](bool force) {
        if (!force && text.size() < kFileChunkBytes) return;
        ok = ok && std::fwrite(text.data(), 1, text.size(), file) == text.size();
        text.clear();
    };
    for (const double azimuth : map.azimuthDeg) {
        text.push_back(',');
        appendCsvNumber(text, azimuth);
        spill(false);
    }
    text.push_back('\n');
    const std::size_t width = map.azimuthDeg.size();
    for (std::size_t row = 0; row < map.elevationDeg.size(); ++row) {
        appendCsvNumber(text, map.elevationDeg[row]);
        for (std::size_t column = 0; column < width; ++column) {
            text.push_back(',');
            // A floored cell has no level: its field stays empty.
            const std::size_t cell = column + row * width;
            if (cellHoldsLevel(map, cell)) appendCsvNumber(text, map.relativeDb[cell]);
            spill(false);
        }
        text.push_back('\n');
    }
    spill(true);
    return ok;
}

}  // namespace

ExportResult exportAnalysisRun(const AnalysisRunRecord& run, const MeasurementRecord& measurement,
                               const fs::path& projectDir) {
    const std::optional<HeatmapGrid> map = loadAnalysisRunMap(run);
    if (!map) throw std::runtime_error("AnalysisRun has no persisted map; nothing to export");
    const std::size_t width = map->azimuthDeg.size();
    const std::size_t height = map->elevationDeg.size();
    if (width == 0 || height == 0 || map->relativeDb.size() % width != 0 ||
        map->relativeDb.size() / width != height)
        throw std::runtime_error("AnalysisRun map dimensions are invalid");
    // Built first, with its one timestamp, so that a record no reader could take leaves nothing behind.
    const std::string json = exportJson(run, measurement, *map);

    // The id comes from a file: only a plain directory name may be joined to the exports directory.
    validateAnalysisId(run.analysisId);
    const fs::path exportsDir = projectDir / "exports";
    ExportResult result;
    result.directory = exportsDir / run.analysisId;
    result.csvPath = result.directory / "map.csv";
    result.jsonPath = result.directory / "export.json";
    // Built aside under a hidden name, held while this export works on it, and put in place whole, so
    // the export folder is always absent, the previous export or the new one.
    const fs::path staging = hiddenPath(exportsDir, run.analysisId, kExportingSuffix);
    const fs::path retired = hiddenPath(exportsDir, run.analysisId, kReplacedSuffix);
    try {
        createDirectoryInsideExisting(exportsDir, EntryUnavailable::Entry::Project);
    } catch (const fs::filesystem_error&) {
        throw std::runtime_error(kCannotCreate);
    }
    std::optional<StagedDirectory> staged;
    try {
        staged.emplace(staging, kCannotCreate);
    } catch (const fs::filesystem_error&) {
        throw std::runtime_error(kCannotCreate);
    } catch (const std::invalid_argument&) {
        throw std::runtime_error(kCannotCreate);  // another program exports this run right now
    }
    // Left by a killed export of this run, which held the staging name until it died.
    if (!settleRetired(result.directory, retired)) throw std::runtime_error(kCannotCreate);
    std::error_code error;
    FileHandle csv = openFileForWriting(staging / "map.csv");
    if (!csv) throw std::runtime_error("cannot write export CSV");
    bool written = writeCsv(csv.get(), *map) && syncFileToDisk(csv.get(), error);
    if (!closeFile(csv) || !written) throw std::runtime_error("cannot finalize export CSV");

    FileHandle manifest = openFileForWriting(staging / "export.json");
    if (!manifest) throw std::runtime_error("cannot write export manifest");
    written = std::fwrite(json.data(), 1, json.size(), manifest.get()) == json.size() &&
              syncFileToDisk(manifest.get(), error);
    if (!closeFile(manifest) || !written) throw std::runtime_error("cannot finalize export manifest");

    try {
        result.durable = staged->commitReplacing(result.directory, retired);
    } catch (const fs::filesystem_error&) {
        throw std::runtime_error(kCannotCreate);
    }
    removeReplacedExport(staging);
    removeReplacedExport(retired);
    return result;
}

}  // namespace zk::core
