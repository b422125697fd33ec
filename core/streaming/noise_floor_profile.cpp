#include "core/streaming/noise_floor_profile.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <utility>

#include "core/platform/file_platform.h"
#include "core/storage/binary_io.h"
#include "core/storage/durable_file.h"
#include "core/storage/file_io.h"
#include "core/storage/fnv1a.h"
#include "core/storage/json_reader.h"
#include "core/storage/json_writer.h"
#include "core/storage/staged_commit.h"

namespace zk::core {

namespace fs = std::filesystem;

namespace {

constexpr const char* kDirectoryName = "noise_floor";
constexpr const char* kManifestName = "noise_floor.json";
constexpr const char* kPayloadName = "noise_floor.bin";

constexpr std::size_t kMaxManifestBytes = std::size_t{1} << 20;
static_assert(kMaxNoiseFloorBytes == std::uint64_t{2} << 30, "the message names the budget");
constexpr const char* kOverBudget = "noise floor needs more than 2 GiB of memory";

// The manifest as stored: the profile without matrices and the payload's checksum, which is empty in
// a manifest written before the checksum existed (such a payload loads unchecked, as it always did).
struct StoredManifest {
    NoiseFloorProfile profile;
    std::string payloadHash;
};

bool isSquare(const MatrixRows& matrix, std::uint64_t M) {
    return matrix.size() == M &&
           std::all_of(matrix.begin(), matrix.end(), [M](const auto& row) { return row.size() == M; });
}

// Counts past these cannot come from a real array; refusing them first keeps a hostile manifest from
// sizing an allocation. 0 is left to the validation, which names it.
void requireSupportedCounts(std::uint64_t channelCount, std::uint64_t fftSize, bool loading) {
    const auto fail = [loading](const char* text) {
        if (loading) throw std::runtime_error(text);
        throw std::invalid_argument(text);
    };
    static_assert(kMaxNoiseFloorChannels == 1024 && kMaxNoiseFloorFftSize == 65536, "the texts name them");
    if (channelCount > kMaxNoiseFloorChannels) fail("noise floor channelCount must be at most 1024");
    if (fftSize > kMaxNoiseFloorFftSize || (fftSize & (fftSize - 1)) != 0)
        fail("noise floor fftSize must be a power of two up to 65536");
}

std::uint64_t binCount(std::uint64_t fftSize) { return fftSize / 2 + 1; }

std::string manifestText(const NoiseFloorProfile& profile, std::string_view payloadHash) {
    JsonFileBuilder json;
    json.unsignedMember("schemaVersion", 1)
        .stringMember("profileHash", profile.profileHash)
        .unsignedMember("sampleRateHz", profile.sampleRateHz)
        .unsignedMember("channelCount", profile.channelCount)
        .unsignedMember("fftSize", profile.fftSize)
        .unsignedMember("averagedFrames", profile.averagedFrames)
        .numberMember("subtractBeta", profile.subtractBeta)
        .numberMember("psdFloor", profile.psdFloor)
        .boolMember("enabled", profile.enabled)
        .stringMember("createdAtUtc", profile.createdAtUtc);
    if (!payloadHash.empty()) json.stringMember("payloadHash", payloadHash);
    return json.finish();
}

// Only what the writer can write back: whole non-negative counts and finite reals.
std::uint64_t countOf(const JsonValue& root, std::string_view name) {
    return root.at(name).unsignedInteger("noise floor " + std::string(name));
}

double realOf(const JsonValue& root, std::string_view name) {
    try {
        return root.at(name).finiteNumber("noise floor " + std::string(name));
    } catch (const std::invalid_argument& error) {
        throw std::runtime_error(error.what());
    }
}

StoredManifest parseManifest(std::string_view text) {
    const JsonValue root = parseJsonDocument(text);
    StoredManifest stored;
    NoiseFloorProfile& profile = stored.profile;
    if (root.contains("profileHash")) profile.profileHash = root.at("profileHash").asString();
    const std::uint64_t sampleRateHz = countOf(root, "sampleRateHz");
    if (sampleRateHz > std::numeric_limits<std::uint32_t>::max())
        throw std::runtime_error("noise floor sampleRateHz must be at most 4294967295");
    profile.sampleRateHz = static_cast<std::uint32_t>(sampleRateHz);
    profile.channelCount = countOf(root, "channelCount");
    profile.fftSize = countOf(root, "fftSize");
    profile.averagedFrames = countOf(root, "averagedFrames");
    profile.subtractBeta = realOf(root, "subtractBeta");
    profile.psdFloor = realOf(root, "psdFloor");
    if (root.contains("enabled")) profile.enabled = root.at("enabled").asBool();
    if (root.contains("createdAtUtc")) profile.createdAtUtc = root.at("createdAtUtc").asString();
    if (root.contains("payloadHash")) stored.payloadHash = root.at("payloadHash").asString();
    requireSupportedCounts(profile.channelCount, profile.fftSize, true);
    return stored;
}

// The message for a noise-floor file that did not open: missing only when nothing is at the path (a
// link to nothing included); a failed query counts as present.
std::string openFailure(const fs::path& path, const char* what) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    const bool missing = error ? error == std::errc::no_such_file_or_directory : !fs::exists(status);
    return std::string("noise floor ") + what + (missing ? " is missing" : " cannot be read");
}

std::string readManifestText(std::FILE* file) {
    std::string text;
    char chunk[4096];
    while (true) {
        const std::size_t got = std::fread(chunk, 1, sizeof chunk, file);
        if (got > kMaxManifestBytes - text.size())
            throw std::runtime_error("noise floor manifest exceeds 1 MiB");
        text.append(chunk, got);
        if (got < sizeof chunk) break;
    }
    // A failed read must not pass for a shorter manifest.
    if (std::ferror(file)) throw std::runtime_error("noise floor manifest cannot be read");
    return text;
}

// Fills the matrices from the payload and checks it against the manifest's checksum when there is
// one. The size is checked against the counts, and the memory they need against the budget, before
// anything is allocated; a sparse file's apparent size proves nothing, so each bin is allocated only
// once the reading reaches it.
void readPayload(std::FILE* file, NoiseFloorProfile& profile, std::string_view expectedHash) {
    constexpr const char* kTruncated = "noise floor payload is truncated";
    const std::uint64_t M = profile.channelCount;
    const std::uint64_t bins = binCount(profile.fftSize);
    // At most 32769 bins of 8 * 1024^2 bytes: no overflow.
    const std::uint64_t needed = bins * 8 * M * M;
    const std::uint64_t available = regularFileSize(file).value_or(0);
    if (available < needed) throw std::runtime_error(kTruncated);
    using Row = MatrixRows::value_type;
    const std::uint64_t memoryPerBin = M * (M * sizeof(Row::value_type) + sizeof(Row)) + sizeof(MatrixRows);
    if (bins > kMaxNoiseFloorBytes / memoryPerBin) throw std::runtime_error(kOverBudget);
    // A sparse payload's apparent size holds the counts, its data does not.
    if (!holdsDataThrough(file, needed)) throw std::runtime_error(kTruncated);

    BinaryReader reader(file, available, kTruncated);
    std::vector<float> parts(2 * M);
    profile.matrices.reserve(bins);
    for (std::uint64_t k = 0; k < bins; ++k) {
        MatrixRows& matrix = profile.matrices.emplace_back(M);
        for (auto& row : matrix) {
            reader.readInto(parts);
            row.resize(M);
            for (std::uint64_t c = 0; c < M; ++c) row[c] = {parts[2 * c], parts[2 * c + 1]};
        }
    }
    if (!expectedHash.empty() && formatHash64(reader.hash()) != expectedHash)
        throw std::runtime_error("noise floor payload checksum mismatch");
}

// Returns the FNV-1a 64 of the bytes written, for the manifest.
std::uint64_t writePayload(const fs::path& path, const NoiseFloorProfile& profile) {
    FileHandle file = openFileForWriting(path);
    if (!file) throw std::runtime_error("cannot write noise floor payload");
    bool ok = true;
    std::uint64_t hash = 0;
    {
        BinaryWriter writer(file.get());
        std::vector<float> parts(2 * profile.channelCount);
        for (const MatrixRows& matrix : profile.matrices) {
            for (const auto& row : matrix) {
                for (std::size_t c = 0; c < row.size(); ++c) {
                    parts[2 * c] = static_cast<float>(row[c].real());
                    parts[2 * c + 1] = static_cast<float>(row[c].imag());
                }
                writer.f32Array(parts);
            }
        }
        hash = writer.hash();
        ok = writer.flush();
    }
    std::error_code error;
    ok = ok && syncFileToDisk(file.get(), error);
    ok = closeFile(file) && ok;
    if (!ok) throw std::runtime_error("failed to write noise floor payload");
    return hash;
}

void writeManifest(const fs::path& path, std::string_view text) {
    FileHandle file = openFileForWriting(path);
    if (!file) throw std::runtime_error("cannot write noise floor manifest");
    std::error_code error;
    bool ok = std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
    ok = ok && syncFileToDisk(file.get(), error);
    ok = closeFile(file) && ok;
    if (!ok) throw std::runtime_error("failed to write noise floor manifest");
}

}  // namespace

bool NoiseFloorProfile::isValid() const {
    return channelCount != 0 && fftSize != 0 && averagedFrames != 0 && matrices.size() == binCount(fftSize);
}

fs::path noiseFloorManifestPath(const fs::path& directory) {
    return directory / kDirectoryName / kManifestName;
}

fs::path noiseFloorPayloadPath(const fs::path& directory) {
    return directory / kDirectoryName / kPayloadName;
}

bool noiseFloorProfileExists(const fs::path& directory) {
    std::error_code error;
    return fs::exists(fs::symlink_status(noiseFloorManifestPath(directory), error)) &&
           fs::exists(fs::symlink_status(noiseFloorPayloadPath(directory), error));
}

void saveNoiseFloorProfile(const fs::path& directory, const NoiseFloorProfile& profile,
                           const LockDeadline& deadline) {
    // Everything that can refuse the profile runs before the disk is touched.
    if (!profile.isValid() ||
        !std::all_of(profile.matrices.begin(), profile.matrices.end(),
                     [&](const MatrixRows& m) { return isSquare(m, profile.channelCount); }))
        throw std::invalid_argument("cannot persist an invalid noise floor");
    requireSupportedCounts(profile.channelCount, profile.fftSize, false);
    manifestText(profile, {});  // refuses non-finite numbers; the checksum is known after the payload

    // Never the Project folder itself: one another program deleted is not made again.
    std::error_code missing;
    if (!fs::is_directory(directory, missing))
        throw EntryUnavailable(EntryUnavailable::Entry::Project, EntryUnavailable::Why::Gone);
    const EntryLock lock = takeLockFile(hiddenPath(directory, kDirectoryName, kLockSuffix),
                                        EntryUnavailable::Entry::NoiseFloor, deadline);
    const fs::path finalPath = directory / kDirectoryName;
    const fs::path retired = hiddenPath(directory, kDirectoryName, kRetiredSuffix);
    // Left by a killed save: the old pair goes back in place when no new one took it.
    if (!settleRetired(finalPath, retired))
        throw fs::filesystem_error("rename", retired, finalPath, std::make_error_code(std::errc::io_error));
    StagedDirectory staged(hiddenPath(directory, kDirectoryName, kStagingSuffix),
                           "cannot write noise floor payload");
    const fs::path& staging = staged.path();

    // The payload first, then the manifest, each flushed to the device before the swap, which puts a
    // whole pair at the final name in one step.
    const std::uint64_t payloadHash = writePayload(staging / kPayloadName, profile);
    writeManifest(staging / kManifestName, manifestText(profile, formatHash64(payloadHash)));
    // In place; a Project folder that did not confirm the name is reported, never flushed again, as a
    // second flush may succeed where the first lost the name.
    if (!staged.commitReplacing(finalPath, retired))
        throw fs::filesystem_error("fsync", directory, std::make_error_code(std::errc::io_error));
}

NoiseFloorProfile loadNoiseFloorProfile(const fs::path& directory) {
    // Both files are opened through one handle of the directory, before anything is read, so they
    // belong to one pair. A save may retire the opened directory before its files are opened; a new
    // attempt then finds the pair that replaced it. Each save retires one directory, so running out of
    // attempts takes that many saves finishing inside one load; a reader preempted a few times in a row
    // under load must not report a missing pair.
    constexpr int kOpenAttempts = 64;
    FileHandle manifest;
    FileHandle payload;
    for (int attempt = 0; attempt < kOpenAttempts && !(manifest && payload); ++attempt) {
        if (attempt > 0) std::this_thread::yield();
        const DirectoryHandle folder(directory / kDirectoryName);
        manifest.reset(folder.openFileForBinaryRead(kManifestName));
        payload.reset(folder.openFileForBinaryRead(kPayloadName));
    }
    // Only a file that is not there is missing; one that cannot be opened (no permission, a directory,
    // a pipe in its place) is unreadable.
    if (!manifest) throw std::runtime_error(openFailure(noiseFloorManifestPath(directory), "manifest"));

    StoredManifest stored = parseManifest(readManifestText(manifest.get()));
    if (!payload) throw std::runtime_error(openFailure(noiseFloorPayloadPath(directory), "payload"));
    readPayload(payload.get(), stored.profile, stored.payloadHash);
    if (!stored.profile.isValid()) throw std::runtime_error("noise floor profile failed validation");
    return std::move(stored.profile);
}

void rewriteNoiseFloorManifestEnabled(const fs::path& directory, bool enabled, const LockDeadline& deadline) {
    const fs::path manifestPath = noiseFloorManifestPath(directory);
    std::error_code error;
    if (!fs::exists(fs::symlink_status(manifestPath, error)))
        throw std::runtime_error("noise floor manifest is missing");
    // Under the savers' lock, so that a save cannot swap the pair between this read and the write.
    EntryLock lock;
    try {
        lock = takeLockFile(hiddenPath(directory, kDirectoryName, kLockSuffix),
                            EntryUnavailable::Entry::NoiseFloor, deadline);
    } catch (const fs::filesystem_error&) {
        throw std::runtime_error("cannot write noise floor manifest");
    }

    FileHandle file = openFileForReading(manifestPath);
    if (!file) throw std::runtime_error(openFailure(manifestPath, "manifest"));
    StoredManifest stored = parseManifest(readManifestText(file.get()));
    file.reset();
    NoiseFloorProfile& profile = stored.profile;
    if (profile.channelCount == 0 || profile.fftSize == 0 || profile.averagedFrames == 0)
        throw std::runtime_error("noise floor profile failed validation");
    profile.enabled = enabled;
    switch (replaceFileContent(manifestPath, manifestText(profile, stored.payloadHash))) {
        case ReplaceStatus::Ok:
            return;
        case ReplaceStatus::CannotCreate:
            throw std::runtime_error("cannot write noise floor manifest");
        case ReplaceStatus::WriteFailed:
        case ReplaceStatus::NotDurable:
            break;
    }
    throw std::runtime_error("failed to write noise floor manifest");
}

}  // namespace zk::core
