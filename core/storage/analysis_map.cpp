#include "core/storage/analysis_map.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "core/storage/analysis_run_store.h"
#include "core/storage/binary_io.h"
#include "core/storage/file_io.h"
#include "core/storage/fnv1a.h"

namespace zk::core {

namespace {

constexpr const char* kMapMagic = "ZKMAP002";
constexpr const char* kTrailerMagic = "ZKMETA01";
constexpr const char* kTruncated = "truncated Analysis map";
constexpr const char* kPayloadInvalid = "Analysis map payload is invalid";

bool shapeIsValid(const HeatmapGrid& grid) {
    const std::uint64_t w = grid.width;
    const std::uint64_t h = grid.height;
    // Divided rather than multiplied, so no width and height can wrap into a matching product.
    return w > 0 && h > 0 && grid.azimuthDeg.size() == w && grid.elevationDeg.size() == h &&
           grid.relativeDb.size() % w == 0 && grid.relativeDb.size() / w == h;
}

}  // namespace

void checkAnalysisMapShape(const HeatmapGrid& grid) {
    if (!shapeIsValid(grid)) throw std::invalid_argument("Analysis map dimensions are invalid");
}

std::uint64_t writeAnalysisMap(const std::filesystem::path& path, const HeatmapGrid& grid) {
    checkAnalysisMapShape(grid);
    FileHandle file = openFileForWriting(path);
    if (!file) throw std::runtime_error("cannot write Analysis map");
    bool written = false;
    std::uint64_t hash = 0;
    {
        BinaryWriter out(file.get());
        out.magic(kMapMagic).u64(grid.width).u64(grid.height).u64(grid.peakIndex);
        out.f64(grid.peakAzimuthDeg).f64(grid.peakElevationDeg).f64(grid.peakRelativeDb);
        out.f64Array(grid.azimuthDeg).f64Array(grid.elevationDeg).f64Array(grid.relativeDb);
        out.magic(kTrailerMagic).f64(grid.peakDb).f64(grid.minRelativeDb).f64(grid.dynamicRangeDb);
        out.f64(grid.representativeFrequencyHz).f64(grid.firstFrequencyHz).f64(grid.lastFrequencyHz);
        out.u64(grid.binCount)
            .u64(grid.parametersRevision)
            .u32(grid.algorithmId)
            .u32(grid.estimatedSourceCount);
        hash = out.hash();
        written = out.flush();
    }
    // The close writes out the last buffered bytes, so only a write checked after it is known good.
    const bool closed = closeFile(file);
    if (!written || !closed) throw std::runtime_error("cannot finalize Analysis map");
    return hash;
}

HeatmapGrid readAnalysisMap(const std::filesystem::path& path, std::string_view expectedHash) {
    const FileHandle file = openFileForReading(path);
    const std::optional<std::uint64_t> size = file ? regularFileSize(file.get()) : std::nullopt;
    if (!size) throw std::runtime_error("cannot open Analysis map");
    // Every read is bounded by the file's size, so no count in the header allocates more than the
    // file holds.
    BinaryReader in(file.get(), *size, kTruncated);
    if (!in.matchMagic(kMapMagic)) throw std::runtime_error("unsupported Analysis map format");

    const std::uint64_t w = in.u64();
    const std::uint64_t h = in.u64();
    const std::uint64_t peakIndex = in.u64();
    if (w == 0 || h == 0 || w > kMaxAnalysisMapCells || h > kMaxAnalysisMapCells ||
        w > kMaxAnalysisMapCells / h)
        throw std::runtime_error("Analysis map dimensions are unsafe");

    HeatmapGrid grid;
    grid.width = w;
    grid.height = h;
    grid.peakIndex = peakIndex;
    grid.peakAzimuthDeg = in.f64();
    grid.peakElevationDeg = in.f64();
    grid.peakRelativeDb = in.f64();

    in.setTruncatedText(kPayloadInvalid);
    grid.azimuthDeg = in.f64Array(w);
    grid.elevationDeg = in.f64Array(h);
    grid.relativeDb = in.f64Array(w * h);
    if (peakIndex >= w * h) throw std::runtime_error(kPayloadInvalid);

    in.setTruncatedText(kTruncated);
    if (in.matchMagic(kTrailerMagic)) {
        grid.peakDb = in.f64();
        grid.minRelativeDb = in.f64();
        grid.dynamicRangeDb = in.f64();
        grid.representativeFrequencyHz = in.f64();
        grid.firstFrequencyHz = in.f64();
        grid.lastFrequencyHz = in.f64();
        grid.binCount = in.u64();
        grid.parametersRevision = in.u64();
        grid.algorithmId = in.u32();
        grid.estimatedSourceCount = in.u32();
        grid.db.resize(grid.relativeDb.size());
        for (std::size_t i = 0; i < grid.db.size(); ++i) grid.db[i] = grid.relativeDb[i] + grid.peakDb;
        // Files written before floored cells were left out of the range store one down to the floor.
        deriveLevelRange(grid);
    } else {
        // A file written before the trailer existed: its range comes from the values themselves.
        const auto [lowest, highest] = std::minmax_element(grid.relativeDb.begin(), grid.relativeDb.end());
        grid.minRelativeDb = *lowest;
        grid.peakRelativeDb = *highest;
        grid.dynamicRangeDb = *highest - *lowest;
    }
    if (!expectedHash.empty() && formatHash64(in.hash()) != expectedHash)
        throw std::runtime_error("Analysis map checksum mismatch");
    return grid;
}

std::optional<HeatmapGrid> loadAnalysisRunMap(const AnalysisRunRecord& run) {
    if (run.resultFile.empty()) return std::nullopt;
    validateResultFileName(run.resultFile);
    return readAnalysisMap(run.directory / run.resultFile, run.resultFileHash);
}

}  // namespace zk::core
