#include "core/storage/measurement_store.h"

#include <chrono>
#include <ctime>
#include <span>
#include <stdexcept>
#include <system_error>

#include "core/platform/file_platform.h"
#include "core/storage/binary_io.h"
#include "core/storage/device_profile.h"
#include "core/storage/durable_file.h"
#include "core/storage/file_io.h"
#include "core/storage/fnv1a.h"
#include "core/storage/json_reader.h"
#include "core/storage/json_writer.h"
#include "core/storage/lock_wait.h"
#include "core/storage/staged_commit.h"

namespace zk::core {

namespace fs = std::filesystem;

namespace {

constexpr const char* kManifestFile = "manifest.json";
constexpr const char* kProfileFile = "device_profile.json";
constexpr const char* kRawFile = "raw.int16";
constexpr const char* kVideoFile = "video_camera.mp4";
// Far above any manifest the store writes; keeps a hostile file from being read whole into memory.
constexpr std::size_t kMaxManifestBytes = std::size_t{16} << 20;

bool isPlainPathComponent(std::string_view id) {
    if (id.empty() || id == "." || id == "..") return false;
    if (id.find_first_of("/\\") != std::string_view::npos) return false;
    const bool asciiLetter = (id[0] >= 'A' && id[0] <= 'Z') || (id[0] >= 'a' && id[0] <= 'z');
    return !(id.size() >= 2 && asciiLetter && id[1] == ':');
}

void requirePlainFileName(std::string_view name, const char* message) {
    if (!isPlainPathComponent(name) || name.find('\0') != std::string_view::npos)
        throw std::runtime_error(message);
}

// Low 32 bits of the truncated integer, as for every count of the stores.
std::uint32_t readU32(const JsonValue& value) { return static_cast<std::uint32_t>(value.asInteger()); }

// "not found" is an answer, any other status error throws with the operation name.
bool existsOrThrow(const fs::path& path) {
    std::error_code error;
    const bool found = fs::exists(path, error);
    if (error) throw fs::filesystem_error("exists", path, error);
    return found;
}

void copyOrThrow(const fs::path& from, const fs::path& to) {
    std::error_code error;
    fs::copy_file(from, to, fs::copy_options::none, error);
    if (error) throw fs::filesystem_error("copy_file", from, to, error);
}

// Where the file system has no hard links the file is copied.
void linkOrCopyOrThrow(const fs::path& from, const fs::path& to) {
    std::error_code error;
    fs::create_hard_link(from, to, error);
    if (!error) return;
    copyOrThrow(from, to);
}

// Any status or size error skips the video rather than failing the Measurement.
bool isNonEmptyRegularFile(const fs::path& path) {
    if (path.empty()) return false;
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (error || !fs::is_regular_file(status)) return false;
    const std::uintmax_t size = fs::file_size(path, error);
    return !error && size != 0;
}

std::string geometryHashOf(const DeviceProfile& profile) {
    BinaryWriter bytes;
    for (const MicrophoneChannel& mic : profile.microphones)
        bytes.u32(mic.logicalChannel).u32(mic.wireChannel).f64(mic.x).f64(mic.y).f64(mic.z);
    return formatHash64(fnv1a64(std::span<const std::byte>(bytes.buffer())));
}

}  // namespace

std::string utcTimestampNow() {
    const auto now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    // gmtime_r rather than gmtime: the stores run on several threads and gmtime shares one buffer.
    std::tm utc{};
    if (::gmtime_r(&seconds, &utc) == nullptr) throw std::runtime_error("cannot convert time to UTC");
    char text[32];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return std::string(text, length);
}

void validateMeasurementId(std::string_view measurementId) {
    if (!isPlainPathComponent(measurementId))
        throw std::invalid_argument("measurementId must be a non-empty directory name");
}

void validateAnalysisId(std::string_view analysisId) {
    if (!isPlainPathComponent(analysisId))
        throw std::invalid_argument("analysisId must be a non-empty directory name");
}

MeasurementRecord createMeasurement(const fs::path& projectDir, std::string_view measurementId,
                                    std::string_view profileText, const fs::path& rawPath,
                                    std::string_view startedAt, std::string_view endedAt,
                                    std::string_view source, const fs::path& videoPath,
                                    RawFileTransfer rawTransfer, bool* durable) {
    validateMeasurementId(measurementId);
    const DeviceProfile profile = parseDeviceProfile(profileText);
    // A parsed profile has passed this test already; kept so that no other profile source slips by.
    if (!profile.isValid()) throw std::invalid_argument("invalid device profile for measurement");

    std::error_code error;
    const fs::file_status rawStatus = fs::status(rawPath, error);
    if (error && rawStatus.type() != fs::file_type::not_found)
        throw fs::filesystem_error("status", rawPath, error);
    if (!fs::is_regular_file(rawStatus)) throw std::invalid_argument("raw recording file does not exist");

    const fs::path measurementsDir = projectDir / "measurements";
    const fs::path finalDir = measurementsDir / fs::path(std::string(measurementId));
    if (existsOrThrow(finalDir)) throw std::invalid_argument("Measurement already exists");

    // The commit makes names inside measurementsDir durable; a new measurementsDir needs its own name too.
    createDirectoriesDurably(measurementsDir);
    // A leftover of a failed or killed create is replaced; one a living writer holds blocks the id.
    StagedDirectory staged(hiddenPath(measurementsDir, measurementId, kCreatingSuffix),
                           "Measurement staging directory already exists");
    const fs::path& staging = staged.path();
    // Committed by a creator that held the staging name since the test above.
    if (existsOrThrow(finalDir)) throw std::invalid_argument("Measurement already exists");
    MeasurementRecord record;
    // A write failure is reported too, so a damaged frozen profile never gets committed.
    if (writeWholeFile(staging / kProfileFile, profileText) != FileWriteStatus::Ok)
        throw std::runtime_error("cannot write frozen device profile");
    if (rawTransfer == RawFileTransfer::Link) {
        linkOrCopyOrThrow(rawPath, staging / kRawFile);
    } else {
        copyOrThrow(rawPath, staging / kRawFile);
    }
    std::string videoFile;
    if (isNonEmptyRegularFile(videoPath)) {
        videoFile = kVideoFile;
        copyOrThrow(videoPath, staging / kVideoFile);
    }

    record.directory = finalDir;
    record.measurementId = std::string(measurementId);
    record.sampleRateHz = profile.sampleRateHz;
    record.channelCount = profile.channelCount;
    record.wireChannelCount = profile.wireChannelCount;
    record.profileId = profile.profileId;
    record.profileSchemaVersion = profile.schemaVersion;
    record.deviceModel = profile.model;
    record.hardwareVersion = profile.hardwareVersion;
    record.geometryHash = geometryHashOf(profile);
    const std::uintmax_t rawBytes = fs::file_size(staging / kRawFile, error);
    if (!error && profile.wireChannelCount != 0)
        record.totalFrames = rawBytes / (2ULL * profile.wireChannelCount);
    record.source = std::string(source);
    record.videoFile = videoFile;
    record.deviceProfileFile = kProfileFile;
    record.rawFile = kRawFile;
    record.profileHash = formatHash64(hashFile(staging / kProfileFile));
    record.rawHash = formatHash64(hashFile(staging / kRawFile));
    record.startedAt = startedAt.empty() ? utcTimestampNow() : std::string(startedAt);
    record.endedAt = endedAt.empty() ? utcTimestampNow() : std::string(endedAt);

    switch (writeWholeFile(staging / kManifestFile, writeMeasurementManifest(record))) {
        case FileWriteStatus::Ok:
            break;
        case FileWriteStatus::CannotOpen:
            throw std::runtime_error("cannot write measurement manifest");
        case FileWriteStatus::WriteFailed:
            throw std::runtime_error("cannot finalize measurement manifest");
    }
    // A failure leaves the staging directory to `staged`, which removes it, so that the same id
    // can be created again once the cause is gone.
    const bool committedDurably = staged.commit(finalDir);
    if (durable != nullptr) *durable = committedDurably;
    return record;
}

MeasurementRecord readMeasurementManifest(const fs::path& directory) {
    std::string text;
    switch (readFileBounded(directory / kManifestFile, kMaxManifestBytes, text)) {
        case FileReadStatus::Ok:
            return parseMeasurementManifest(directory, text);
        case FileReadStatus::CannotOpen:
            throw std::runtime_error("cannot open measurement manifest");
        case FileReadStatus::TooLarge:
            static_assert(kMaxManifestBytes == std::size_t{16} << 20, "the message names the bound");
            throw std::runtime_error("measurement manifest exceeds 16 MiB");
        case FileReadStatus::ReadFailed:
            break;
    }
    // A failed read must not pass for a shorter manifest.
    throw std::runtime_error("cannot read measurement manifest");
}

MeasurementRecord parseMeasurementManifest(const fs::path& directory, std::string_view text) {
    const JsonValue root = parseJsonDocument(text);
    MeasurementRecord record;
    record.directory = directory;
    record.measurementId = root.at("measurementId").asString();
    record.sampleRateHz = readU32(root.at("sampleRateHz"));
    record.channelCount = readU32(root.at("channelCount"));
    record.wireChannelCount = readU32(root.at("wireChannelCount"));
    const auto optionalText = [&root](std::string_view key, std::string& field) {
        if (root.contains(key)) field = root.at(key).asString();
    };
    optionalText("profileId", record.profileId);
    if (root.contains("profileSchemaVersion"))
        record.profileSchemaVersion = readU32(root.at("profileSchemaVersion"));
    optionalText("deviceModel", record.deviceModel);
    optionalText("hardwareVersion", record.hardwareVersion);
    optionalText("geometryHash", record.geometryHash);
    if (root.contains("totalFrames"))
        record.totalFrames = root.at("totalFrames").unsignedInteger("totalFrames");
    optionalText("source", record.source);
    optionalText("notes", record.notes);
    optionalText("displayName", record.displayName);
    optionalText("location", record.location);
    optionalText("scene", record.scene);
    optionalText("videoFile", record.videoFile);
    record.deviceProfileFile = root.at("deviceProfileFile").asString();
    record.rawFile = root.at("rawFile").asString();
    // Opened and hashed by every reader of the Measurement: never a path outside its folder.
    requirePlainFileName(record.deviceProfileFile, "measurement deviceProfileFile must be a plain file name");
    requirePlainFileName(record.rawFile, "measurement rawFile must be a plain file name");
    record.profileHash = root.at("profileHash").asString();
    record.rawHash = root.at("rawHash").asString();
    record.startedAt = root.at("startedAt").asString();
    record.endedAt = root.at("endedAt").asString();
    return record;
}

std::string writeMeasurementManifest(const MeasurementRecord& record) {
    JsonFileBuilder file;
    file.unsignedMember("schemaVersion", 2)
        .stringMember("measurementId", record.measurementId)
        .unsignedMember("sampleRateHz", record.sampleRateHz)
        .unsignedMember("channelCount", record.channelCount)
        .unsignedMember("wireChannelCount", record.wireChannelCount)
        .stringMember("profileId", record.profileId)
        .unsignedMember("profileSchemaVersion", record.profileSchemaVersion)
        .stringMember("deviceModel", record.deviceModel)
        .stringMember("hardwareVersion", record.hardwareVersion)
        .stringMember("geometryHash", record.geometryHash)
        .unsignedMember("totalFrames", record.totalFrames)
        .stringMember("source", record.source)
        .stringMember("notes", record.notes)
        .stringMember("displayName", record.displayName)
        .stringMember("location", record.location)
        .stringMember("scene", record.scene)
        .stringMember("videoFile", record.videoFile)
        .stringMember("deviceProfileFile", record.deviceProfileFile)
        .stringMember("rawFile", record.rawFile)
        .stringMember("profileHash", record.profileHash)
        .stringMember("rawHash", record.rawHash)
        .stringMember("startedAt", record.startedAt)
        .stringMember("endedAt", record.endedAt);
    return file.finish();
}

void updateMeasurementLabels(const fs::path& directory, const MeasurementLabelEdit& edit,
                             const LockDeadline& deadline) {
    // Held from the read to the rename: an edit of another program in between would be reverted,
    // and a deletion would leave the folder it moves aside to this write.
    EntryLock lock;
    switch (takeEntryLockWithin(directory, deadline, lock)) {
        case EntryLock::Take::Taken:
            if (!lock.isNamedBy(directory))
                throw EntryUnavailable(EntryUnavailable::Entry::Measurement, EntryUnavailable::Why::Gone);
            break;
        case EntryLock::Take::Busy:
            throw EntryUnavailable(EntryUnavailable::Entry::Measurement, EntryUnavailable::Why::Held,
                                   deadline.allowed());
        case EntryLock::Take::Missing:
            throw EntryUnavailable(EntryUnavailable::Entry::Measurement, EntryUnavailable::Why::Gone);
        case EntryLock::Take::Unlockable:
        case EntryLock::Take::Unsupported:
            break;  // a file system without such locks: unguarded, as every entry there
    }
    MeasurementRecord record = readMeasurementManifest(directory);
    for (const auto& [given, field] :
         {std::pair{&edit.displayName, &record.displayName}, std::pair{&edit.location, &record.location},
          std::pair{&edit.scene, &record.scene}, std::pair{&edit.notes, &record.notes}})
        if (*given) *field = **given;
    const std::string text = writeMeasurementManifest(record);
    // A manifest past the readers' bound would make the Measurement unreadable.
    if (text.size() > kMaxManifestBytes)
        throw std::invalid_argument("measurement labels would make the manifest exceed 16 MiB");
    // Never truncated in place: a crash mid-write would leave the only manifest unreadable.
    switch (replaceFileContent(directory / kManifestFile, text)) {
        case ReplaceStatus::Ok:
            return;
        case ReplaceStatus::CannotCreate:
            throw std::runtime_error("cannot write measurement manifest");
        case ReplaceStatus::WriteFailed:
        case ReplaceStatus::NotDurable:
            break;
    }
    throw std::runtime_error("failed to write measurement manifest");
}

void updateMeasurementLabels(const fs::path& directory, std::string_view displayName,
                             std::string_view location, std::string_view scene, std::string_view notes) {
    updateMeasurementLabels(
        directory, {std::string(displayName), std::string(location), std::string(scene), std::string(notes)},
        LockDeadline());
}

}  // namespace zk::core
