#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/platform/file_platform.h"
#include "core/storage/file_io.h"
#include "core/storage/lock_wait.h"
#include "core/storage/measurement_store.h"

namespace zk::core {

struct RecordingResult {
    MeasurementRecord measurement;
    std::uint64_t framesWritten = 0;
    std::uint64_t bytesWritten = 0;
    // False when the Measurement is committed and registered but its folder's name was not confirmed
    // by the device: saved, yet a power cut could still lose it.
    bool durable = true;
};

// What a Measurement needs of a Recording besides its samples, kept in the hidden description file
// beside the staging file so that the samples of a Recording that never finalized (a crash, a failed
// finalize) can still become a Measurement when the Project is opened again.
struct RecordingDescription {
    std::string measurementId;
    std::string profileText;  // the frozen device profile, byte for byte
    std::string source;
    std::string startedAt;
    // The program that records, so that where the file system takes no locks another program can
    // tell whether it still runs (staged_commit.h); empty in a description without them.
    std::string writerHost;
    std::int64_t writerProcess = 0;
    std::string writerScope;  // processIdScope(); empty in a description of an earlier version

    friend bool operator==(const RecordingDescription&, const RecordingDescription&) = default;
};

// measurementsDir/.<measurementId>.recording.raw.tmp and measurementsDir/.<measurementId>.recording.json
std::filesystem::path recordingStagingPath(const std::filesystem::path& measurementsDir,
                                           std::string_view measurementId);
std::filesystem::path recordingDescriptionPath(const std::filesystem::path& measurementsDir,
                                               std::string_view measurementId);
std::string writeRecordingDescription(const RecordingDescription& description);
// A Recording's description is followed by blanks that keep the room its finalize needs (the frozen
// profile, the manifest, project.json) while the samples fill the disk. Gives that room back by
// cutting the blanks off; false when the file could not be read or cut.
bool releaseRecordingReserve(const std::filesystem::path& descriptionPath);
// The JSON reader's and accessors' texts for a malformed file; std::runtime_error "cannot read
// recording description" when it cannot be read.
RecordingDescription readRecordingDescription(const std::filesystem::path& path);

// A raw recording in progress inside an open Project: interleaved int16 wire frames appended to the
// hidden staging file measurements/.<measurementId>.recording.raw.tmp, turned into a committed and
// registered Measurement by finalize. No lock of its own: the owner serialises every call. The staging
// file is held (staged_commit.h) from its creation until the Recording ends, so that another program
// opening the Project meanwhile leaves it alone. Where the file system takes no locks, another
// program's recovery may still take it for a dead writer's (after a long stall, or by a wrong clock):
// every append and the finalize first check that the staging file is still this Recording's alone,
// and otherwise throw EntryUnavailable (Recording, Taken) and write nothing more.
//
// A finalize that fails while committing or registering (full disk, a name taken meanwhile) keeps
// the staging file, the only copy of the samples, and its description: discard and the destructor
// leave both on disk, and a later finalize retries the commit (clearing the failed attempt's hidden
// staging directory) and the registration from where they stopped. Opening the Project again
// recovers them too (recoverProject).
class Recording {
  public:
    // Validates the id, checks that the Project does not list it and that neither the Measurement
    // directory nor the staging file exists, then creates the staging file exclusively and writes its
    // description beside it (std::runtime_error "cannot write recording description"). Waits for
    // another program's recovery that holds the new file at most lockWaitLimit() in all.
    Recording(const std::filesystem::path& projectDirectory, std::string measurementId,
              std::string profileText, std::string source);
    ~Recording();
    Recording(const Recording&) = delete;
    Recording& operator=(const Recording&) = delete;

    // Appends whole wire frames (a multiple of wireChannelCount samples, little-endian in memory) or
    // throws. Writes are buffered: a device failure is reported by a later append or by finalize, and
    // once reported every later append fails too, so the file never holds a gap. After such a failure
    // finalize commits the whole frames that reached the file.
    void append(const std::int16_t* samples, std::size_t count);
    void append(std::span<const std::int16_t> samples) { append(samples.data(), samples.size()); }

    std::uint64_t framesWritten() const { return framesWritten_; }
    std::uint64_t bytesWritten() const { return bytesWritten_; }
    const std::filesystem::path& stagingPath() const { return stagingPath_; }

    // Commits the Measurement (copying the video when it is a non-empty regular file), registers it
    // in project.json, then removes the staging file, its description and the video file. Waits for
    // another holder of the Project's lock until `deadline`, then EntryUnavailable (Project, Held).
    RecordingResult finalize(const std::filesystem::path& videoPath, const LockDeadline& deadline = {});

    // Abandons an unfinalized Recording: closes the file and removes it and its description, unless a
    // failed finalize left them as the only copy of the samples. Never throws.
    void discard() noexcept;

  private:
    bool isActive() const { return !finalized_ && static_cast<bool>(stream_); }
    void requireOwnStaging();
    RecordingResult commitAndRegister(const std::filesystem::path& videoPath, bool retry,
                                      const LockDeadline& deadline);
    void keepWholeFramesOnDisk();

    std::filesystem::path projectDirectory_;
    std::filesystem::path stagingPath_;
    std::filesystem::path descriptionPath_;
    std::string measurementId_;
    std::string profileText_;
    std::string source_;
    std::string startedAt_;
    std::string endedAt_;  // taken by the first finalize that got past the flush
    std::uint32_t wireChannelCount_ = 0;
    std::uint64_t framesWritten_ = 0;
    std::uint64_t bytesWritten_ = 0;
    EntryLock held_;  // the staging file's lock, from its creation until the Recording ends
    std::unique_ptr<char[]> streamBuffer_;  // declared first: it must outlive the stream using it
    FileHandle stream_;
    bool streamFailed_ = false;   // a write failed: the file may hold a partial block
    bool commitPending_ = false;  // the samples are flushed and finalize failed after that point
    bool samplesKept_ = false;    // finalize failed on a file that still holds whole frames
    bool taken_ = false;          // another program's recovery took the staging file: none of it is ours
    std::optional<MeasurementRecord> committed_;  // the Measurement an earlier attempt committed
    bool committedDurably_ = true;
    bool finalized_ = false;
};

}  // namespace zk::core
