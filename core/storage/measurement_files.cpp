#include "core/storage/measurement_files.h"

#include <cstdio>
#include <span>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "core/storage/file_io.h"
#include "core/storage/fnv1a.h"

namespace zk::core {

namespace fs = std::filesystem;

std::optional<std::string> hashFileUnlessStopped(const fs::path& path,
                                                 const std::function<bool()>& keepGoing) {
    // Regular files only: a named pipe in place of the file must never block the hashing thread.
    const FileHandle in = openFileForReading(path);
    if (!in) throw std::runtime_error("cannot open file for hashing: " + path.string());
    std::vector<char> chunk(std::size_t{1} << 20);
    std::uint64_t hash = kFnv1a64OffsetBasis;
    while (true) {
        if (keepGoing && !keepGoing()) return std::nullopt;
        const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), in.get());
        if (std::ferror(in.get())) throw std::runtime_error("cannot read file for hashing: " + path.string());
        hash = fnv1a64Append(hash, std::as_bytes(std::span<const char>(chunk.data(), got)));
        if (got < chunk.size()) return formatHash64(hash);
    }
}

std::optional<MeasurementFiles> compareMeasurementFiles(const MeasurementRecord& record,
                                                        const std::function<bool()>& keepGoing,
                                                        std::string* rawHash) {
    const fs::path rawPath = record.directory / fs::path(record.rawFile);
    // The size first: a raw file of another length is not the one described, and hashing a large one
    // in full would only tell so later. Without a frame count there is no length to hold it to.
    if (record.wireChannelCount != 0 && record.totalFrames != 0) {
        std::error_code error;
        const std::uintmax_t bytes = fs::file_size(rawPath, error);
        if (!error && bytes / (2ULL * record.wireChannelCount) != record.totalFrames)
            return MeasurementFiles::RawSizeDiffers;
    }
    const std::optional<std::string> raw = hashFileUnlessStopped(rawPath, keepGoing);
    if (!raw) return std::nullopt;
    if (rawHash != nullptr) *rawHash = *raw;
    if (*raw != record.rawHash) return MeasurementFiles::RawDiffers;
    const std::optional<std::string> profile =
        hashFileUnlessStopped(record.directory / fs::path(record.deviceProfileFile), keepGoing);
    if (!profile) return std::nullopt;
    return *profile == record.profileHash ? MeasurementFiles::Match : MeasurementFiles::ProfileDiffers;
}

void requireMatchingFiles(MeasurementFiles result, std::string_view manifestName) {
    switch (result) {
        case MeasurementFiles::Match:
            return;
        case MeasurementFiles::RawSizeDiffers:
            throw std::runtime_error("raw file size does not match " + std::string(manifestName));
        case MeasurementFiles::RawDiffers:
            throw std::runtime_error("raw integrity hash does not match " + std::string(manifestName));
        case MeasurementFiles::ProfileDiffers:
            throw std::runtime_error("frozen Profile hash does not match " + std::string(manifestName));
    }
}

}  // namespace zk::core
