#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "core/signal/interleaved_sample_buffer.h"
#include "core/storage/device_profile.h"
#include "core/storage/file_io.h"
#include "core/streaming/raw_sample_source.h"

namespace zk::core {

/// Plays a Measurement's headerless raw.int16 back as wire frames, with seeking by frame. It does not
/// pace itself, has no lock and no thread: one thread at a time uses an instance.
class ReplaySource final : public IRawSampleSource {
  public:
    /// Takes the path of the raw file; nothing is opened.
    explicit ReplaySource(std::filesystem::path rawPath);

    ReplaySource(const ReplaySource&) = delete;
    ReplaySource& operator=(const ReplaySource&) = delete;

    [[nodiscard]] SourceKind kind() const override { return SourceKind::Replay; }

    /// Copies the profile and starts an empty buffer for its wireChannelCount (none for a count of 0,
    /// which start then refuses). std::logic_error "cannot configure replay source while open".
    void configure(const DeviceProfile& profile) override;

    /// Opens the file at frame 0; nothing happens when it is open already. std::logic_error "replay
    /// source requires a configured profile", std::runtime_error "cannot open replay raw file" (also
    /// for anything but a regular file, which is never waited for).
    void start() override;

    /// Closes the file; nothing happens when it is closed.
    void stop() override;

    /// Up to frameCount whole frames from the current position; empty at the end of the file. Bytes of
    /// an incomplete trailing frame are never returned. std::logic_error "replay source is not started".
    [[nodiscard]] std::vector<std::int16_t> readFrames(std::uint64_t frameCount) override;

    /// Moves to frame min(frame, totalFrames()), also after the end of the file was reached.
    /// std::logic_error "replay source is not started", std::runtime_error "cannot seek replay raw
    /// file", std::filesystem::filesystem_error "file_size".
    void seekFrame(std::uint64_t frame);

    /// Frames handed out since start, plus the frame the last seek moved to.
    [[nodiscard]] std::uint64_t positionFrames() const { return positionFrames_; }

    /// Whole frames in the file, its size queried each time (std::filesystem::filesystem_error
    /// "file_size"); 0 while no profile with wire channels is configured.
    [[nodiscard]] std::uint64_t totalFrames() const;

  private:
    [[nodiscard]] std::uint64_t frameBytes() const { return 2 * std::uint64_t{profile_.wireChannelCount}; }

    std::filesystem::path rawPath_;
    FileHandle stream_;  // open between start and stop
    DeviceProfile profile_;
    std::unique_ptr<InterleavedSampleBuffer> buffer_;  // null until configured with wire channels
    std::vector<std::uint8_t> scratch_;                // file bytes on their way into buffer_
    std::uint64_t positionFrames_ = 0;
};

}  // namespace zk::core
