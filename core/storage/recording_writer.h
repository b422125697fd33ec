#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "core/storage/recording.h"

namespace zk::core {

/// The most bytes a RecordingWriter queues: four seconds of the stream, at least 8 MiB so that a slow
/// stream rides out a disk's pause too, and never more than 64 MiB.
inline constexpr double kRecordingQueueSeconds = 4.0;
inline constexpr std::uint64_t kRecordingQueueMinBytes = std::uint64_t{8} << 20;
inline constexpr std::uint64_t kRecordingQueueMaxBytes = std::uint64_t{64} << 20;
std::uint64_t recordingQueueBoundBytes(double streamBytesPerSecond);

/// A Recording whose samples reach the disk on a thread of its own, behind a queue bounded by bytes, so
/// the thread that hands them over (the acquisition thread) never waits on the disk. The file never
/// holds a gap: once a block is refused (the queue is full) or a write fails, no later block is taken,
/// and what was queued before still reaches the file.
///
/// push and the counters may be called from one producing thread; finish and the destructor from the
/// owner, never while push runs.
class RecordingWriter {
  public:
    /// Writes one block to the Recording; Recording::append unless a test stands in a slow disk.
    using Sink = std::function<void(Recording&, std::span<const std::int16_t>)>;
    /// Called once, on the writer thread, with what the first failed write threw (its reason, say
    /// EntryUnavailable, is the caller's to word).
    using FailureHandler = std::function<void(const std::exception&)>;

    enum class Push {
        Queued,
        Overflow,  // the block did not fit: it and every later block are refused
        Ended,     // refused: an earlier overflow, a failed write or finish came first
    };

    /// Starts the writer thread. `wireChannelCount` is the Recording's frame width in samples.
    RecordingWriter(std::unique_ptr<Recording> recording, std::uint32_t wireChannelCount,
                    std::uint64_t maxQueuedBytes, FailureHandler onFailure = {}, Sink sink = {});
    /// Ends the thread without writing what is still queued; the Recording then discards itself.
    ~RecordingWriter();
    RecordingWriter(const RecordingWriter&) = delete;
    RecordingWriter& operator=(const RecordingWriter&) = delete;

    /// Copies the block into the queue. std::invalid_argument "wire sample count is not divisible by
    /// wireChannelCount" at once for a block of partial frames (nothing is queued, later blocks are
    /// still taken).
    Push push(std::span<const std::int16_t> samples);

    /// Frames and bytes taken by push (queued or already written).
    std::uint64_t framesAccepted() const { return framesAccepted_; }
    std::uint64_t bytesAccepted() const { return bytesAccepted_; }
    std::uint64_t maxQueuedBytes() const { return maxQueuedBytes_; }
    /// The most bytes the queue held at once.
    std::uint64_t peakQueuedBytes() const;

    /// Refuses later blocks, waits until every queued block is written (or a write failed), ends the
    /// thread and hands the Recording over for finalize. Call once.
    std::unique_ptr<Recording> finish();

  private:
    void writeLoop();
    void reportFailure(const std::exception_ptr& failure) const;

    std::unique_ptr<Recording> recording_;  // touched by the writer thread until it ends, then by finish
    const std::uint32_t wireChannelCount_;
    const std::uint64_t maxQueuedBytes_;
    FailureHandler onFailure_;
    Sink sink_;
    std::uint64_t framesAccepted_ = 0;  // producer only
    std::uint64_t bytesAccepted_ = 0;   // producer only

    mutable std::mutex mutex_;         // guards the fields below; producer, writer thread and finish
    std::condition_variable changed_;  // a block queued, the queue drained, or the writer told to end
    std::deque<std::vector<std::int16_t>> queue_;
    std::uint64_t queuedBytes_ = 0;  // the blocks in queue_ plus the one being written
    std::uint64_t peakQueuedBytes_ = 0;
    bool refusing_ = false;  // overflow, failed write or finish: push takes nothing more
    bool draining_ = false;  // finish: write what is queued, then end
    bool abandon_ = false;   // destructor: end at once
    bool failed_ = false;    // a write failed; the queue is dropped
    std::thread thread_;     // declared last: it starts once every field above exists
};

}  // namespace zk::core
