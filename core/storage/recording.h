#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "core/storage/file_io.h"
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

// A raw recording in progress inside an open Project: interleaved int16 wire frames appended to the
// hidden staging file measurements/.<measurementId>.recording.raw.tmp, turned into a committed and
// registered Measurement by finalize. No lock of its own: the owner serialises every call.
//
// A finalize that fails while committing or registering (full disk, a name taken meanwhile) keeps
// the staging file, the only copy of the samples: discard and the destructor leave it on disk, and a
// later finalize retries the commit (clearing the failed attempt's hidden staging directory) and the
// registration from where they stopped. Until then the file can also be committed by hand with
// createMeasurement and registered with ProjectRecord::registerMeasurement; stagingPath() names it.
class Recording {
  public:
    // Validates the id, checks that the Project does not list it and that neither the Measurement
    // directory nor the staging file exists, then creates the staging file exclusively.
    Recording(const std::filesystem::path& projectDirectory, std::string measurementId,
              std::string profileText, std::string source);
    ~Recording();
    Recording(const Recording&) = delete;
    Recording& operator=(const Recording&) = delete;

    // Appends whole wire frames (a multiple of wireChannelCount samples, little-endian in memory) or
    // throws. Writes are buffered: a device failure is reported by a later append or by finalize, and
    // once reported every later append fails too, so the file never holds a gap.
    void append(const std::int16_t* samples, std::size_t count);
    void append(std::span<const std::int16_t> samples) { append(samples.data(), samples.size()); }

    std::uint64_t framesWritten() const { return framesWritten_; }
    std::uint64_t bytesWritten() const { return bytesWritten_; }
    const std::filesystem::path& stagingPath() const { return stagingPath_; }

    // Commits the Measurement (copying the video when it is a non-empty regular file), registers it
    // in project.json, then removes the staging file and the video file.
    RecordingResult finalize(const std::filesystem::path& videoPath);

    // Abandons an unfinalized Recording: closes the file and removes it, unless a failed finalize
    // left it as the only copy of the samples. Never throws.
    void discard() noexcept;

  private:
    bool isActive() const { return !finalized_ && static_cast<bool>(stream_); }
    RecordingResult commitAndRegister(const std::filesystem::path& videoPath, bool retry);

    std::filesystem::path projectDirectory_;
    std::filesystem::path stagingPath_;
    std::string measurementId_;
    std::string profileText_;
    std::string source_;
    std::string startedAt_;
    std::string endedAt_;  // taken by the first finalize that got past the flush
    std::uint32_t wireChannelCount_ = 0;
    std::uint64_t framesWritten_ = 0;
    std::uint64_t bytesWritten_ = 0;
    std::unique_ptr<char[]> streamBuffer_;  // declared first: it must outlive the stream using it
    FileHandle stream_;
    bool streamFailed_ = false;   // a write failed: the file may hold a partial block
    bool commitPending_ = false;  // the samples are flushed and finalize failed after that point
    std::optional<MeasurementRecord> committed_;  // the Measurement an earlier attempt committed
    bool committedDurably_ = true;
    bool finalized_ = false;
};

}  // namespace zk::core
