#include "core/beamforming/derived_matrix_cache.h"

#include <charconv>
#include <complex>
#include <cstdio>
#include <optional>
#include <span>
#include <stdexcept>
#include <string_view>
#include <system_error>

#include "core/storage/binary_io.h"
#include "core/storage/durable_file.h"
#include "core/storage/file_io.h"
#include "core/storage/fnv1a.h"
#include "core/storage/json_reader.h"

namespace zk::core {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kMagic = "ZKCSM001";
constexpr std::uint64_t kSchemaVersion = 1;
constexpr std::uint64_t kMaxChannels = 4096;
constexpr std::uint64_t kMaxBins = 65536;
constexpr const char* kTruncated = "truncated derived matrix data";
static_assert(kMaxDerivedMatrixBytes == std::uint64_t{2} << 30, "the message names the budget");
constexpr const char* kOverBudget = "derived matrix needs more than 2 GiB of memory";
// A sidecar holds ten short fields; anything near this size is not one.
constexpr std::size_t kMaxMetadataBytes = std::size_t{1} << 20;

// printf "%.17g" without its dependence on the global locale.
std::string formatReal(double value) {
    char buffer[64];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 17);
    return error == std::errc() ? std::string(buffer, end) : std::string();
}

std::string keyText(const DerivedMatrixKey& key) {
    std::string text;
    text += std::to_string(key.frameSize) + '|';
    text += std::to_string(key.hopSize) + '|';
    text += std::string(bandModeName(key.bandMode)) + '|';
    text += formatReal(key.centerFrequencyHz) + '|';
    text += formatReal(key.customBandwidthHz) + '|';
    text += std::to_string(key.targetBinCount) + '|';
    text += key.rawHash + '|';
    text += key.profileHash + '|';
    text += std::to_string(key.windowStartFrame) + '|';
    text += std::to_string(key.windowFrameCount);
    return text;
}

std::string sidecarText(const DerivedMatrixKey& key, std::uint64_t dataHash) {
    std::string text = "{\n";
    const auto member = [&text](std::string_view name, const std::string& value, bool last = false) {
        text += "  \"";
        text += name;
        text += "\": ";
        text += value;
        text += last ? "\n" : ",\n";
    };
    const auto quoted = [](std::string_view value) { return '"' + escapeJsonString(value) + '"'; };
    member("schemaVersion", std::to_string(kSchemaVersion));
    member("frameSize", std::to_string(key.frameSize));
    member("hopSize", std::to_string(key.hopSize));
    member("bandMode", quoted(bandModeName(key.bandMode)));
    member("centerFrequencyHz", formatReal(key.centerFrequencyHz));
    member("customBandwidthHz", formatReal(key.customBandwidthHz));
    member("targetBinCount", std::to_string(key.targetBinCount));
    member("rawHash", quoted(key.rawHash));
    member("profileHash", quoted(key.profileHash));
    member("windowStartFrame", std::to_string(key.windowStartFrame));
    member("windowFrameCount", std::to_string(key.windowFrameCount));
    member("dataHash", quoted(formatHash64(dataHash)), true);
    text += "}\n";
    return text;
}

fs::path entryPath(const fs::path& measurementDirectory, const DerivedMatrixKey& key,
                   std::string_view suffix) {
    return measurementDirectory / "derived" / ("csm_" + derivedMatrixKey(key) + std::string(suffix));
}

// Only what the writer can write back: whole non-negative counts and finite reals.
std::uint64_t countOf(const JsonValue& root, std::string_view name) {
    return root.at(name).unsignedInteger("derived matrix " + std::string(name));
}

double realOf(const JsonValue& root, std::string_view name) {
    try {
        return root.at(name).finiteNumber("derived matrix " + std::string(name));
    } catch (const std::invalid_argument& error) {
        throw std::runtime_error(error.what());
    }
}

bool isRegularFile(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(fs::status(path, error));
}

std::span<double> valuesOf(std::vector<std::complex<double>>& row) {
    // A complex<double> is laid out as its real part followed by its imaginary part.
    return {reinterpret_cast<double*>(row.data()), 2 * row.size()};
}

std::span<const double> valuesOf(const std::vector<std::complex<double>>& row) {
    return {reinterpret_cast<const double*>(row.data()), 2 * row.size()};
}

}  // namespace

std::string derivedMatrixKey(const DerivedMatrixKey& key) {
    const std::string text = keyText(key);
    return formatHash64(fnv1a64(text.data(), text.size()));
}

fs::path derivedMatrixDataPath(const fs::path& measurementDirectory, const DerivedMatrixKey& key) {
    return entryPath(measurementDirectory, key, ".bin");
}

fs::path derivedMatrixMetadataPath(const fs::path& measurementDirectory, const DerivedMatrixKey& key) {
    return entryPath(measurementDirectory, key, ".json");
}

bool derivedMatrixExists(const fs::path& measurementDirectory, const DerivedMatrixKey& key) {
    try {
        if (!isRegularFile(derivedMatrixMetadataPath(measurementDirectory, key)) ||
            !isRegularFile(derivedMatrixDataPath(measurementDirectory, key))) {
            return false;
        }
        const DerivedMatrixMetadata stored = readDerivedMatrixMetadata(measurementDirectory, key);
        return stored.frameSize == key.frameSize && stored.hopSize == key.hopSize &&
               stored.bandMode == bandModeName(key.bandMode) &&
               stored.centerFrequencyHz == key.centerFrequencyHz &&
               stored.customBandwidthHz == key.customBandwidthHz &&
               stored.targetBinCount == key.targetBinCount && stored.rawHash == key.rawHash &&
               stored.profileHash == key.profileHash && stored.windowStartFrame == key.windowStartFrame &&
               stored.windowFrameCount == key.windowFrameCount && !stored.dataHash.empty();
    } catch (...) {
        return false;
    }
}

DerivedMatrixMetadata readDerivedMatrixMetadata(const fs::path& measurementDirectory,
                                                const DerivedMatrixKey& key) {
    std::string text;
    switch (readFileBounded(derivedMatrixMetadataPath(measurementDirectory, key), kMaxMetadataBytes, text)) {
        case FileReadStatus::Ok:
            break;
        case FileReadStatus::TooLarge:
            throw std::runtime_error("derived matrix metadata exceeds 1 MiB");
        case FileReadStatus::CannotOpen:
        case FileReadStatus::ReadFailed:
            throw std::runtime_error("cannot open derived matrix metadata");
    }
    const JsonValue root = parseJsonDocument(text);

    DerivedMatrixMetadata metadata;
    metadata.frameSize = countOf(root, "frameSize");
    metadata.hopSize = countOf(root, "hopSize");
    metadata.bandMode = root.at("bandMode").asString();
    metadata.centerFrequencyHz = realOf(root, "centerFrequencyHz");
    metadata.customBandwidthHz = realOf(root, "customBandwidthHz");
    metadata.targetBinCount = countOf(root, "targetBinCount");
    metadata.rawHash = root.at("rawHash").asString();
    metadata.profileHash = root.at("profileHash").asString();
    if (root.contains("windowStartFrame")) metadata.windowStartFrame = countOf(root, "windowStartFrame");
    if (root.contains("windowFrameCount")) metadata.windowFrameCount = countOf(root, "windowFrameCount");
    if (root.contains("dataHash")) metadata.dataHash = root.at("dataHash").asString();
    return metadata;
}

BandMatrix readDerivedMatrix(const fs::path& measurementDirectory, const DerivedMatrixKey& key) {
    const FileHandle file = openFileForReading(derivedMatrixDataPath(measurementDirectory, key));
    const std::optional<std::uint64_t> size = file ? regularFileSize(file.get()) : std::nullopt;
    if (!size) throw std::runtime_error("cannot open derived matrix data");
    const std::string expectedHash = readDerivedMatrixMetadata(measurementDirectory, key).dataHash;
    if (expectedHash.empty()) throw std::runtime_error("derived matrix checksum is missing");
    BinaryReader in(file.get(), *size, kTruncated);
    if (!in.matchMagic(kMagic)) throw std::runtime_error("unsupported derived matrix format");
    if (in.u64() != kSchemaVersion) throw std::runtime_error("unsupported derived matrix schema version");
    const std::uint64_t channels = in.count(1, kMaxChannels, "derived matrix channel count is unsafe");

    BandMatrix result;
    result.inputFrames = in.u64();
    result.stftFrames = in.u64();
    FrequencyBand& band = result.band;
    band.lowEdgeHz = in.f64();
    band.highEdgeHz = in.f64();
    band.firstFrequencyHz = in.f64();
    band.lastFrequencyHz = in.f64();
    band.representativeFrequencyHz = in.f64();
    const std::uint64_t bins = in.count(1, kMaxBins, "derived matrix bin count is unsafe");
    // The file must hold 88 + bins x recordBytes bytes before anything is allocated for the records
    // (4096 channels and 65536 bins would ask for petabytes); both counts are bounded, so nothing wraps.
    const std::uint64_t recordBytes = 16 + 16 * channels * channels;
    if (bins > in.remaining() / recordBytes) throw std::runtime_error(kTruncated);
    // The apparent size proves nothing (a sparse file holds no data), so the matrices may never ask
    // for more than the budget, row headers included; each bin is allocated only once it is reached.
    const std::uint64_t memoryPerBin =
        recordBytes + channels * sizeof(std::vector<std::complex<double>>) + sizeof(MatrixRows);
    if (bins > kMaxDerivedMatrixBytes / memoryPerBin) throw std::runtime_error(kOverBudget);
    // A sparse file's apparent size holds the records, its data does not.
    if (!holdsDataThrough(file.get(), *size - in.remaining() + bins * recordBytes))
        throw std::runtime_error(kTruncated);

    band.binIndices.reserve(bins);
    band.binFrequenciesHz.reserve(bins);
    result.matrices.reserve(bins);
    for (std::uint64_t j = 0; j < bins; ++j) {
        band.binIndices.push_back(in.u64());
        band.binFrequenciesHz.push_back(in.f64());
        MatrixRows& matrix = result.matrices.emplace_back(channels);
        for (auto& row : matrix) {
            row.resize(channels);
            in.readInto(valuesOf(row));
        }
    }
    if (formatHash64(in.hash()) != expectedHash) throw std::runtime_error("derived matrix checksum mismatch");
    return result;
}

void writeDerivedMatrix(const fs::path& measurementDirectory, const DerivedMatrixKey& key,
                        const BandMatrix& bandMatrix) {
    const std::vector<MatrixRows>& matrices = bandMatrix.matrices;
    const FrequencyBand& band = bandMatrix.band;
    if (matrices.empty() || matrices.size() != band.binIndices.size() ||
        band.binFrequenciesHz.size() != band.binIndices.size()) {
        throw std::invalid_argument("derived matrix result is inconsistent");
    }
    // Only the cache folder: a Measurement folder another program deleted is never made again.
    std::error_code error;
    fs::create_directory(measurementDirectory / "derived", error);
    if (error) throw std::runtime_error("cannot create derived cache directory");
    const std::uint64_t channels = matrices.front().size();
    if (channels == 0) throw std::invalid_argument("derived matrix channel count is zero");

    // Each file goes to a temporary name and replaces its target only once complete: an interrupted
    // rewrite leaves the old pair, whose sidecar would otherwise vouch for a half-written data file.
    std::uint64_t dataHash = 0;
    const ReplaceStatus data =
        replaceFileContent(derivedMatrixDataPath(measurementDirectory, key), [&](std::FILE* file) {
            BinaryWriter out(file);
            out.magic(kMagic).u64(kSchemaVersion).u64(channels);
            out.u64(bandMatrix.inputFrames).u64(bandMatrix.stftFrames);
            out.f64(band.lowEdgeHz).f64(band.highEdgeHz).f64(band.firstFrequencyHz).f64(band.lastFrequencyHz);
            out.f64(band.representativeFrequencyHz).u64(matrices.size());
            for (std::size_t j = 0; j < matrices.size(); ++j) {
                out.u64(band.binIndices[j]).f64(band.binFrequenciesHz[j]);
                if (matrices[j].size() != channels)
                    throw std::invalid_argument("derived matrix size mismatch");
                for (const auto& row : matrices[j]) {
                    if (row.size() != channels)
                        throw std::invalid_argument("derived matrix row size mismatch");
                    out.f64Array(valuesOf(row));
                }
            }
            dataHash = out.hash();
            return out.flush();
        });
    if (data == ReplaceStatus::CannotCreate) throw std::runtime_error("cannot write derived matrix data");
    if (data != ReplaceStatus::Ok) throw std::runtime_error("cannot finalize derived matrix data");

    const ReplaceStatus metadata =
        replaceFileContent(derivedMatrixMetadataPath(measurementDirectory, key), sidecarText(key, dataHash));
    if (metadata == ReplaceStatus::CannotCreate)
        throw std::runtime_error("cannot write derived matrix metadata");
    if (metadata != ReplaceStatus::Ok) throw std::runtime_error("cannot finalize derived matrix metadata");
}

}  // namespace zk::core
