#include "core/storage/recording.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "core/platform/file_platform.h"
#include "core/storage/device_profile.h"
#include "core/storage/durable_file.h"
#include "core/storage/fnv1a.h"
#include "core/storage/json_reader.h"
#include "core/storage/json_writer.h"
#include "core/storage/lock_wait.h"
#include "core/storage/project_store.h"
#include "core/storage/staged_commit.h"

namespace zk::core {

namespace fs = std::filesystem;

namespace {

static_assert(std::endian::native == std::endian::little, "raw.int16 is the samples as they lie in memory");

// Large enough that a 128-channel stream is written in a few system calls per second.
constexpr std::size_t kStreamBufferBytes = std::size_t{1} << 20;
// A description holds a profile (at most 4 MiB) escaped, and three short texts.
constexpr std::size_t kMaxDescriptionBytes = std::size_t{16} << 20;

bool existsOrThrow(const fs::path& path) {
    std::error_code error;
    const bool found = fs::exists(path, error);
    if (error) throw fs::filesystem_error("exists", path, error);
    return found;
}

std::uint64_t wholeBlocks(std::uint64_t bytes) {
    constexpr std::uint64_t kBlockBytes = 4096;
    return (bytes + kBlockBytes - 1) / kBlockBytes * kBlockBytes;
}

// What a finalize writes besides the samples, which it only links: the frozen profile, the manifest
// and the new project.json, each in whole blocks, and a few blocks for the folder they go into.
std::uint64_t finalizeReserveBytes(const fs::path& projectDirectory, const std::string& measurementId,
                                   const std::string& profileText, const std::string& source,
                                   const std::string& startedAt) {
    const DeviceProfile profile = parseDeviceProfile(profileText);
    MeasurementRecord widest;
    widest.measurementId = measurementId;
    widest.sampleRateHz = widest.channelCount = widest.wireChannelCount = UINT32_MAX;
    widest.profileSchemaVersion = UINT32_MAX;
    widest.profileId = profile.profileId;
    widest.deviceModel = profile.model;
    widest.hardwareVersion = profile.hardwareVersion;
    widest.geometryHash = widest.profileHash = widest.rawHash = std::string(16, '0');
    widest.totalFrames = UINT64_MAX;
    widest.source = source;
    widest.deviceProfileFile = "device_profile.json";
    widest.rawFile = "raw.int16";
    widest.videoFile = "video_camera.mp4";
    widest.startedAt = startedAt.empty() ? std::string(20, '0') : startedAt;
    widest.endedAt = std::string(20, '0');
    std::error_code error;
    const std::uintmax_t projectBytes = fs::file_size(projectDirectory / "project.json", error);
    // The new entry, escaped at worst as six bytes per byte, with its quotes and separator.
    const std::uint64_t projectGrowth = 6 * measurementId.size() + 8;
    return wholeBlocks(profileText.size()) + wholeBlocks(writeMeasurementManifest(widest).size()) +
           wholeBlocks((error ? 0 : projectBytes) + projectGrowth) + 4 * 4096;
}

}  // namespace

fs::path recordingStagingPath(const fs::path& measurementsDir, std::string_view measurementId) {
    return hiddenPath(measurementsDir, measurementId, ".recording.raw.tmp");
}

bool releaseRecordingReserve(const fs::path& descriptionPath) {
    std::string text;
    if (readFileBounded(descriptionPath, kMaxDescriptionBytes, text) != FileReadStatus::Ok) return false;
    const std::size_t end = text.find_last_not_of(' ');
    if (end == std::string::npos || end + 1 == text.size()) return true;
    std::error_code error;
    fs::resize_file(descriptionPath, end + 1, error);
    return !error;
}

fs::path recordingDescriptionPath(const fs::path& measurementsDir, std::string_view measurementId) {
    return hiddenPath(measurementsDir, measurementId, ".recording.json");
}

std::string writeRecordingDescription(const RecordingDescription& description) {
    JsonFileBuilder file;
    file.unsignedMember("schemaVersion", 1)
        .stringMember("measurementId", description.measurementId)
        .stringMember("source", description.source)
        .stringMember("startedAt", description.startedAt)
        .stringMember("writerHost", description.writerHost)
        .integerMember("writerProcess", description.writerProcess)
        .stringMember("writerScope", description.writerScope)
        .stringMember("profileText", description.profileText);
    return file.finish();
}

RecordingDescription readRecordingDescription(const fs::path& path) {
    std::string text;
    if (readFileBounded(path, kMaxDescriptionBytes, text) != FileReadStatus::Ok)
        throw std::runtime_error("cannot read recording description");
    const JsonValue root = parseJsonDocument(text);
    RecordingDescription description;
    description.measurementId = root.at("measurementId").asString();
    description.source = root.at("source").asString();
    description.startedAt = root.at("startedAt").asString();
    description.profileText = root.at("profileText").asString();
    if (root.contains("writerHost")) description.writerHost = root.at("writerHost").asString();
    if (root.contains("writerProcess")) description.writerProcess = root.at("writerProcess").asInteger();
    if (root.contains("writerScope")) description.writerScope = root.at("writerScope").asString();
    return description;
}

Recording::Recording(const fs::path& projectDirectory, std::string measurementId, std::string profileText,
                     std::string source)
    : projectDirectory_(projectDirectory),
      measurementId_(std::move(measurementId)),
      profileText_(std::move(profileText)),
      source_(std::move(source)),
      startedAt_(utcTimestampNow()) {
    validateMeasurementId(measurementId_);
    const ProjectRecord project = loadProject(projectDirectory_);
    if (std::find(project.measurements.begin(), project.measurements.end(), measurementId_) !=
        project.measurements.end())
        throw std::invalid_argument("Measurement is already registered");
    wireChannelCount_ = parseDeviceProfile(profileText_).wireChannelCount;

    const fs::path measurementsDir = projectDirectory_ / "measurements";
    // Never the Project folder itself: a Recording never starts into a Project another program has
    // deleted, or moved aside to delete it, since project.json was read.
    createDirectoryInsideExisting(measurementsDir, EntryUnavailable::Entry::Project);
    if (existsOrThrow(measurementsDir / fs::path(measurementId_)))
        throw std::invalid_argument("Measurement directory already exists");
    stagingPath_ = recordingStagingPath(measurementsDir, measurementId_);
    if (existsOrThrow(stagingPath_)) throw std::invalid_argument("Recording staging file already exists");
    // Created exclusively: a Recording of the same id started meanwhile keeps its own file. Held from
    // here until the Recording ends, so that another program opening the Project leaves it alone.
    streamBuffer_ = std::make_unique_for_overwrite<char[]>(kStreamBufferBytes);
    // A Project deleted (or moved aside) meanwhile is said as such, not as a file that failed.
    const auto cannotCreate = [&] {
        std::error_code missing;
        if (!fs::is_directory(projectDirectory_, missing))
            throw EntryUnavailable(EntryUnavailable::Entry::Project, EntryUnavailable::Why::Gone);
        throw std::runtime_error("cannot create raw recording staging file");
    };
    // A fixed name: a recovery that holds the new file is waited for until it has removed it, at
    // most one bound for every attempt together.
    const LockDeadline deadline;
    std::optional<EntryLock> held;
    for (int attempt = 0; attempt < kCreateAttempts && !held; ++attempt) {
        stream_ = FileHandle(openNewFileForBinaryWrite(stagingPath_));
        if (!stream_) cannotCreate();
        held = holdCreatedEntry(stagingPath_, deadline);
    }
    if (!held) cannotCreate();
    held_ = std::move(*held);
    std::setvbuf(stream_.get(), streamBuffer_.get(), _IOFBF, kStreamBufferBytes);
    // Written before any sample: samples without it could never become a Measurement after a crash.
    // Blanks after its text hold the room the finalize needs, so that a Recording that filled the
    // disk can still be committed (the finalize, or the recovery, gives them back first).
    const WriterIdentity writer = thisWriter();
    std::string description = writeRecordingDescription(
        {measurementId_, profileText_, source_, startedAt_, writer.host, writer.processId, writer.scope});
    const std::uint64_t reserve =
        finalizeReserveBytes(projectDirectory_, measurementId_, profileText_, source_, startedAt_);
    // Within the bound its reader keeps, or the recovery could not read it back.
    description.append(
        std::min<std::uint64_t>(reserve,
                                kMaxDescriptionBytes - std::min(description.size(), kMaxDescriptionBytes)),
        ' ');
    const ReplaceStatus described =
        replaceFileContent(recordingDescriptionPath(measurementsDir, measurementId_), description);
    if (described != ReplaceStatus::Ok && described != ReplaceStatus::NotDurable) {
        closeFile(stream_);
        removeFileQuietly(stagingPath_);
        throw std::runtime_error("cannot write recording description");
    }
    descriptionPath_ = recordingDescriptionPath(measurementsDir, measurementId_);
}

Recording::~Recording() {
    if (!finalized_) discard();
}

void Recording::append(const std::int16_t* samples, std::size_t count) {
    if (!isActive()) throw std::logic_error("Recording is not active");
    if (count == 0) return;
    if (wireChannelCount_ == 0 || count % wireChannelCount_ != 0)
        throw std::invalid_argument("wire sample count is not divisible by wireChannelCount");
    requireOwnStaging();
    // Sticky: after one lost block every later frame would sit at the wrong time.
    if (streamFailed_ || std::fwrite(samples, sizeof(std::int16_t), count, stream_.get()) != count) {
        streamFailed_ = true;
        throw std::runtime_error("cannot append raw recording samples");
    }
    framesWritten_ += count / wireChannelCount_;
    bytesWritten_ += 2 * static_cast<std::uint64_t>(count);
}

RecordingResult Recording::finalize(const fs::path& videoPath, const LockDeadline& deadline) {
    if (commitPending_) return commitAndRegister(videoPath, true, deadline);
    if (!isActive()) throw std::logic_error("Recording is not active");
    requireOwnStaging();
    if (framesWritten_ == 0) throw std::runtime_error("cannot finalize an empty Recording");
    const bool closed = closeFile(stream_);
    if (!closed || streamFailed_) keepWholeFramesOnDisk();
    endedAt_ = utcTimestampNow();
    // From here on the staging file is complete and must survive any failure.
    commitPending_ = true;
    return commitAndRegister(videoPath, false, deadline);
}

// Held by its lock, the file is this Recording's for good; unheld (a file system without locks),
// another program's recovery may have renamed, removed or committed it: then nothing more is written
// into it, and neither its name nor its description is this Recording's to remove.
void Recording::requireOwnStaging() {
    if (!taken_ && (held_ || isSoleNameOf(stream_.get(), stagingPath_))) return;
    taken_ = true;
    throw EntryUnavailable(EntryUnavailable::Entry::Recording, EntryUnavailable::Why::Taken);
}

// After a failed write (a full disk) the file holds a prefix of the appended samples, possibly
// ending in a part of a frame: the whole frames of it, and no more than were appended, are kept.
void Recording::keepWholeFramesOnDisk() {
    const std::uint64_t frameBytes = 2ULL * wireChannelCount_;
    std::error_code error;
    const std::uintmax_t onDisk = fs::file_size(stagingPath_, error);
    const std::uint64_t kept =
        error ? 0 : std::min<std::uint64_t>(onDisk, bytesWritten_) / frameBytes * frameBytes;
    if (kept == 0) throw std::runtime_error("cannot flush raw recording samples");
    if (kept != onDisk) fs::resize_file(stagingPath_, kept, error);
    if (error) {
        samplesKept_ = true;  // whole frames the next open can still recover
        throw std::runtime_error("cannot flush raw recording samples");
    }
    framesWritten_ = kept / frameBytes;
    bytesWritten_ = kept;
}

RecordingResult Recording::commitAndRegister(const fs::path& videoPath, bool retry,
                                             const LockDeadline& deadline) {
    const fs::path measurementsDir = projectDirectory_ / "measurements";
    // Said as it is: the staging file went with the folder, and a later attempt may find it back.
    std::error_code missing;
    if (!fs::is_directory(projectDirectory_, missing))
        throw EntryUnavailable(EntryUnavailable::Entry::Project, EntryUnavailable::Why::Gone);
    if (!committed_ && retry) {
        const fs::path finalDir = measurementsDir / fs::path(measurementId_);
        std::error_code ignored;
        if (fs::exists(finalDir, ignored)) {
            // An earlier attempt may have renamed the Measurement into place and failed after it.
            try {
                MeasurementRecord record = readMeasurementManifest(finalDir);
                if (record.measurementId == measurementId_ &&
                    record.rawHash == formatHash64(hashFile(stagingPath_)))
                    committed_ = std::move(record);
            } catch (const std::exception&) {
                // not ours: createMeasurement below reports the taken name
            }
        }
    }
    if (!committed_) {
        releaseRecordingReserve(descriptionPath_);
        // Linked, not copied: the staging file is never written again, and a full disk has no room
        // for a second copy.
        committed_ =
            createMeasurement(projectDirectory_, measurementId_, profileText_, stagingPath_, startedAt_,
                              endedAt_, source_, videoPath, RawFileTransfer::Link, &committedDurably_);
    }
    ProjectRecord project = loadProject(projectDirectory_);
    // A retry may follow a save that reached the disk but reported a failure.
    const bool listed = std::find(project.measurements.begin(), project.measurements.end(), measurementId_) !=
                        project.measurements.end();
    if (!(retry && listed)) project.registerMeasurement(measurementId_, deadline);

    // The samples first: a description without them is a leftover the next open removes.
    removeFileQuietly(stagingPath_);
    removeFileQuietly(descriptionPath_);
    if (!videoPath.empty()) removeFileQuietly(videoPath);
    held_.release();
    finalized_ = true;
    commitPending_ = false;
    return RecordingResult{*committed_, framesWritten_, bytesWritten_, committedDurably_};
}

void Recording::discard() noexcept {
    if (stream_) closeFile(stream_);
    if (finalized_ || commitPending_ || samplesKept_ || taken_ || stagingPath_.empty()) return;
    removeFileQuietly(stagingPath_);
    if (!descriptionPath_.empty()) removeFileQuietly(descriptionPath_);
    held_.release();
}

}  // namespace zk::core
