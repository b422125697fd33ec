#include "core/storage/analysis_run_store.h"

#include <algorithm>
#include <cmath>
#include <locale>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include "core/storage/analysis_map.h"
#include "core/storage/durable_file.h"
#include "core/storage/file_io.h"
#include "core/storage/fnv1a.h"
#include "core/storage/json_reader.h"
#include "core/storage/json_writer.h"
#include "core/storage/lock_wait.h"
#include "core/storage/measurement_store.h"
#include "core/storage/staged_commit.h"

namespace zk::core {

namespace fs = std::filesystem;

namespace {

constexpr const char* kManifestName = "analysis.json";
constexpr const char* kMapName = "map.bin";
// Far above any manifest the store writes; keeps a hostile file from being read whole into memory.
constexpr std::size_t kMaxManifestBytes = std::size_t{16} << 20;
// Enough digits to read back the very value the run used (8015.625 Hz, not 8015.62), so that following
// a run recomputes its own band and window.
constexpr int kManifestNumberPrecision = 17;
// The root object and "parameters" (or "algorithm" in an export) enclose the algorithm parameters.
constexpr std::size_t kAlgorithmParamsDepth = 2;

bool pathExists(const fs::path& path) {
    std::error_code error;
    const bool exists = fs::exists(path, error);
    if (error) throw fs::filesystem_error("exists", path, error);
    return exists;
}

std::uint32_t readU32(const JsonValue& value) { return static_cast<std::uint32_t>(value.asInteger()); }

void readOptional(const JsonValue& object, std::string_view key, std::string& out) {
    if (object.contains(key)) out = object.at(key).asString();
}
// Reals are finite like those of every other reader: 1e400 is refused, not read as infinity.
double readReal(const JsonValue& object, std::string_view key) { return object.at(key).finiteNumber(key); }
void readOptional(const JsonValue& object, std::string_view key, double& out) {
    if (object.contains(key)) out = readReal(object, key);
}
void readOptional(const JsonValue& object, std::string_view key, std::uint32_t& out) {
    if (object.contains(key)) out = readU32(object.at(key));
}
void readOptional(const JsonValue& object, std::string_view key, std::uint64_t& out) {
    if (object.contains(key)) out = object.at(key).unsignedInteger(key);
}
void readOptional(const JsonValue& object, std::string_view key, bool& out) {
    if (object.contains(key)) out = object.at(key).asBool();
}

AnalysisRunParameters parseParameters(const JsonValue& p) {
    AnalysisRunParameters out;
    out.algorithmId = p.at("algorithmId").asString();
    out.algorithmVersion = p.at("algorithmVersion").asString();
    out.frequencyHz = readReal(p, "frequencyHz");
    out.frequencyBin = readU32(p.at("frequencyBin"));
    out.frameSize = readU32(p.at("frameSize"));
    out.hopSize = readU32(p.at("hopSize"));
    out.azimuthBeginDeg = readReal(p, "azimuthBeginDeg");
    out.azimuthEndDeg = readReal(p, "azimuthEndDeg");
    out.azimuthCount = readU32(p.at("azimuthCount"));
    out.elevationBeginDeg = readReal(p, "elevationBeginDeg");
    out.elevationEndDeg = readReal(p, "elevationEndDeg");
    out.elevationCount = readU32(p.at("elevationCount"));

    readOptional(p, "gridStepDeg", out.gridStepDeg);
    readOptional(p, "csmMode", out.csmMode);
    readOptional(p, "windowStartSeconds", out.windowStartSeconds);
    readOptional(p, "windowEndSeconds", out.windowEndSeconds);
    readOptional(p, "bandMode", out.bandMode);
    readOptional(p, "bandLowHz", out.bandLowHz);
    readOptional(p, "bandHighHz", out.bandHighHz);
    readOptional(p, "bandBinCount", out.bandBinCount);
    readOptional(p, "removeCsmDiagonal", out.removeCsmDiagonal);
    readOptional(p, "noiseSubtracted", out.noiseSubtracted);
    // "infinity", or any other non-number, keeps the far field.
    if (p.contains("focusDistanceM") && p.at("focusDistanceM").kind() == JsonKind::Number)
        out.focusDistanceM = readReal(p, "focusDistanceM");
    if (p.contains("algorithmParams")) {
        std::ostringstream text;
        text.imbue(std::locale::classic());
        writeJsonValue(p.at("algorithmParams"), text);
        out.algorithmParams = text.str();
    }
    return out;
}

}  // namespace

AnalysisRunLevel peakLevelOf(const HeatmapGrid& map) {
    if (mapHasAbsoluteLevels(map)) return {map.peakDb, kLevelUnitDbfs};
    return {map.peakRelativeDb, kLevelUnitRePeak};
}

void validateResultFileName(std::string_view resultFile) {
    if (resultFile.empty()) return;
    // Joined to the run directory: anything but one plain name could reach any file on the machine.
    const bool driveLetter =
        resultFile.size() >= 2 && resultFile[1] == ':' &&
        ((resultFile[0] >= 'A' && resultFile[0] <= 'Z') || (resultFile[0] >= 'a' && resultFile[0] <= 'z'));
    const bool plain = resultFile != "." && resultFile != ".." && !driveLetter &&
                       resultFile.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
    if (!plain) throw std::runtime_error("analysis resultFile must be a plain file name");
}

void validateAlgorithmParams(std::string_view text) {
    constexpr const char* kInvalid = "algorithmParams must be valid JSON";
    if (text.empty()) return;
    try {
        JsonParser parser(text);
        const JsonValue value = parser.parseValue(kAlgorithmParamsDepth);
        parser.skipBlanks();
        if (!parser.atEnd()) throw std::invalid_argument(kInvalid);
        // The reader stores the value written back, which refuses numbers beyond a double's range.
        std::ostringstream ignored;
        writeJsonValue(value, ignored);
    } catch (const std::exception&) {
        throw std::invalid_argument(kInvalid);
    }
}

std::string writeAnalysisManifest(const AnalysisRunRecord& record) {
    const AnalysisRunParameters& p = record.parameters;
    validateAlgorithmParams(p.algorithmParams);
    JsonFileBuilder json(kManifestNumberPrecision);
    json.unsignedMember("schemaVersion", 3)
        .stringMember("analysisId", record.analysisId)
        .stringMember("measurementId", record.measurementId)
        .stringMember("createdAt", record.createdAt)
        .stringMember("buildVersion", record.buildVersion);
    json.beginObject("parameters")
        .stringMember("algorithmId", p.algorithmId)
        .stringMember("algorithmVersion", p.algorithmVersion)
        .numberMember("frequencyHz", p.frequencyHz)
        .unsignedMember("frequencyBin", p.frequencyBin)
        .stringMember("bandMode", p.bandMode)
        .numberMember("bandLowHz", p.bandLowHz)
        .numberMember("bandHighHz", p.bandHighHz)
        .unsignedMember("bandBinCount", p.bandBinCount)
        .boolMember("removeCsmDiagonal", p.removeCsmDiagonal)
        .boolMember("noiseSubtracted", p.noiseSubtracted);
    if (std::isinf(p.focusDistanceM)) {
        json.rawMember("focusDistanceM", "\"infinity\"");
    } else {
        json.numberMember("focusDistanceM", p.focusDistanceM);
    }
    json.rawMember("algorithmParams", p.algorithmParams.empty() ? std::string_view("{}") : p.algorithmParams)
        .unsignedMember("frameSize", p.frameSize)
        .unsignedMember("hopSize", p.hopSize)
        .numberMember("azimuthBeginDeg", p.azimuthBeginDeg)
        .numberMember("azimuthEndDeg", p.azimuthEndDeg)
        .unsignedMember("azimuthCount", p.azimuthCount)
        .numberMember("elevationBeginDeg", p.elevationBeginDeg)
        .numberMember("elevationEndDeg", p.elevationEndDeg)
        .unsignedMember("elevationCount", p.elevationCount)
        .numberMember("gridStepDeg", p.gridStepDeg)
        .stringMember("csmMode", p.csmMode)
        .numberMember("windowStartSeconds", p.windowStartSeconds)
        .numberMember("windowEndSeconds", p.windowEndSeconds)
        .endObject();
    json.beginObject("result")
        .numberMember("peakAzimuthDeg", record.peakAzimuthDeg)
        .numberMember("peakElevationDeg", record.peakElevationDeg)
        .numberMember("peakDb", record.peakDb);
    // Beside the relative peak, so readers of the members above read every run alike.
    if (!record.level.unit.empty())
        json.numberMember("peakLevel", record.level.peakLevel)
            .stringMember("peakLevelUnit", record.level.unit);
    json.endObject();
    const AnalysisRunProvenance& v = record.provenance;
    json.beginObject("provenance")
        .stringMember("recomputeMode", v.recomputeMode)
        .stringMember("inputRawHash", v.inputRawHash)
        .stringMember("profileHash", v.profileHash)
        .stringMember("profileId", v.profileId)
        .unsignedMember("inputFrames", v.inputFrames)
        .unsignedMember("stftFrames", v.stftFrames)
        .endObject();
    json.stringMember("resultFileHash", record.resultFileHash);
    json.stringMember("resultFile", record.resultFile);
    return json.finish();
}

AnalysisRunRecord createAnalysisRun(const fs::path& measurementDir, std::string_view measurementId,
                                    std::string_view analysisId, const AnalysisRunParameters& parameters,
                                    double peakAzimuthDeg, double peakElevationDeg, double peakDb,
                                    std::string_view buildVersion, const AnalysisRunProvenance& provenance,
                                    const std::optional<HeatmapGrid>& map, const AnalysisRunLevel& level,
                                    bool* durable) {
    validateAnalysisId(analysisId);
    const fs::path analysesDir = measurementDir / "analyses";
    const fs::path finalDir = analysesDir / analysisId;
    if (pathExists(finalDir))
        throw std::invalid_argument("analysis run already exists: " + std::string(analysisId));
    const fs::path staging = hiddenPath(analysesDir, analysisId, kCreatingSuffix);

    AnalysisRunRecord record;
    record.directory = finalDir;
    record.analysisId = analysisId;
    record.measurementId = measurementId;
    record.createdAt = utcTimestampNow();
    record.buildVersion = buildVersion;
    record.parameters = parameters;
    record.peakAzimuthDeg = peakAzimuthDeg;
    record.peakElevationDeg = peakElevationDeg;
    record.peakDb = peakDb;
    record.level = level;
    record.provenance = provenance;
    record.resultFile = map ? kMapName : "";
    // Everything the reader would refuse is refused here, before a staging directory exists that
    // would block the id until someone removes it.
    writeAnalysisManifest(record);
    if (map) checkAnalysisMapShape(*map);

    createDirectoryInsideExisting(analysesDir, EntryUnavailable::Entry::Measurement);
    // A leftover of a failed or killed save is replaced; one a living writer holds blocks the id.
    StagedDirectory staged(staging, "analysis staging directory already exists");
    // Committed by a creator that held the staging name since the test above.
    if (pathExists(finalDir))
        throw std::invalid_argument("analysis run already exists: " + std::string(analysisId));
    if (map) record.resultFileHash = formatHash64(writeAnalysisMap(staging / kMapName, *map));
    switch (writeWholeFile(staging / kManifestName, writeAnalysisManifest(record))) {
        case FileWriteStatus::Ok:
            break;
        case FileWriteStatus::CannotOpen:
            throw std::runtime_error("cannot write analysis manifest");
        case FileWriteStatus::WriteFailed:
            throw std::runtime_error("cannot finalize analysis manifest");
    }
    // Flushes both files and the directory before the no-replace rename, and the parent after it; a
    // failure leaves the staging directory to `staged`, which removes it so the save can be retried.
    const bool committedDurably = staged.commit(finalDir);
    if (durable != nullptr) *durable = committedDurably;
    return record;
}

std::vector<std::string> listAnalysisRuns(const fs::path& measurementDir) {
    const fs::path dir = measurementDir / "analyses";
    std::vector<std::string> ids;
    if (!pathExists(dir)) return ids;
    std::error_code error;
    fs::directory_iterator it(dir, error);
    if (error) throw fs::filesystem_error("directory_iterator::directory_iterator", dir, error);
    for (; it != fs::directory_iterator(); it.increment(error)) {
        // An entry renamed or removed while the listing runs (a run being committed) is skipped.
        std::error_code statusError;
        const fs::file_status status = it->status(statusError);
        if (statusError && status.type() != fs::file_type::not_found)
            throw fs::filesystem_error("directory_entry::status", it->path(), statusError);
        // A dotted name is a staging directory, complete or not, never a run.
        if (!fs::is_directory(status) || it->path().filename().string().starts_with('.')) continue;
        // Any kind of entry under the manifest's name makes a run, so that a damaged one (a folder, a
        // pipe, a link to a device) is listed and refused by the reader with its reason.
        const fs::path manifest = it->path() / kManifestName;
        const fs::file_status manifestStatus = fs::symlink_status(manifest, statusError);
        if (statusError && manifestStatus.type() != fs::file_type::not_found)
            throw fs::filesystem_error("status", manifest, statusError);
        if (fs::exists(manifestStatus)) ids.push_back(it->path().filename().string());
    }
    if (error) throw fs::filesystem_error("directory_iterator::operator++", dir, error);
    std::sort(ids.begin(), ids.end());
    return ids;
}

AnalysisRunRecord readAnalysisRun(const fs::path& runDir) {
    std::string text;
    switch (readFileBounded(runDir / kManifestName, kMaxManifestBytes, text)) {
        case FileReadStatus::Ok:
            return parseAnalysisManifest(runDir, text);
        case FileReadStatus::TooLarge:
            static_assert(kMaxManifestBytes == std::size_t{16} << 20, "the message names the bound");
            throw std::runtime_error("analysis manifest exceeds 16 MiB");
        case FileReadStatus::CannotOpen:
        case FileReadStatus::ReadFailed:
            break;
    }
    // A read that fails part way must never reach the parser as a shorter document.
    throw std::runtime_error("cannot open analysis manifest");
}

AnalysisRunRecord parseAnalysisManifest(const fs::path& runDir, std::string_view text) {
    const JsonValue root = parseJsonDocument(text);
    AnalysisRunRecord record;
    record.directory = runDir;
    record.analysisId = root.at("analysisId").asString();
    record.measurementId = root.at("measurementId").asString();
    record.createdAt = root.at("createdAt").asString();
    record.buildVersion = root.at("buildVersion").asString();
    record.parameters = parseParameters(root.at("parameters"));

    const JsonValue& result = root.at("result");
    record.peakAzimuthDeg = readReal(result, "peakAzimuthDeg");
    record.peakElevationDeg = readReal(result, "peakElevationDeg");
    record.peakDb = readReal(result, "peakDb");
    // Both or neither: a level without its unit could be read in the wrong one.
    if (result.contains("peakLevelUnit")) {
        record.level.unit = result.at("peakLevelUnit").asString();
        record.level.peakLevel = readReal(result, "peakLevel");
    }
    if (root.contains("provenance")) {
        const JsonValue& p = root.at("provenance");
        p.asObject();  // every member is optional, so only this reports a provenance of another kind
        readOptional(p, "recomputeMode", record.provenance.recomputeMode);
        readOptional(p, "inputRawHash", record.provenance.inputRawHash);
        readOptional(p, "profileHash", record.provenance.profileHash);
        readOptional(p, "profileId", record.provenance.profileId);
        readOptional(p, "inputFrames", record.provenance.inputFrames);
        readOptional(p, "stftFrames", record.provenance.stftFrames);
    }
    readOptional(root, "resultFileHash", record.resultFileHash);
    readOptional(root, "resultFile", record.resultFile);
    validateResultFileName(record.resultFile);
    return record;
}

}  // namespace zk::core
