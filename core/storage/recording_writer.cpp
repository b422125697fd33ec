#include "core/storage/recording_writer.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <utility>

namespace zk::core {

std::uint64_t recordingQueueBoundBytes(double streamBytesPerSecond) {
    const double seconds = std::max(0.0, streamBytesPerSecond) * kRecordingQueueSeconds;
    const double capped = std::min(seconds, static_cast<double>(kRecordingQueueMaxBytes));
    return std::max(kRecordingQueueMinBytes, static_cast<std::uint64_t>(capped));
}

RecordingWriter::RecordingWriter(std::unique_ptr<Recording> recording, std::uint32_t wireChannelCount,
                                 std::uint64_t maxQueuedBytes, FailureHandler onFailure, Sink sink)
    : recording_(std::move(recording)),
      wireChannelCount_(wireChannelCount),
      maxQueuedBytes_(maxQueuedBytes),
      onFailure_(std::move(onFailure)),
      sink_(sink ? std::move(sink)
                 : Sink([](Recording& r, std::span<const std::int16_t> samples) { r.append(samples); })) {
    if (!recording_ || wireChannelCount_ == 0) throw std::invalid_argument("invalid recording writer");
    thread_ = std::thread([this] { writeLoop(); });
}

RecordingWriter::~RecordingWriter() {
    {
        std::lock_guard lock(mutex_);
        refusing_ = true;
        abandon_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

RecordingWriter::Push RecordingWriter::push(std::span<const std::int16_t> samples) {
    if (samples.size() % wireChannelCount_ != 0)
        throw std::invalid_argument("wire sample count is not divisible by wireChannelCount");
    if (samples.empty()) return Push::Queued;
    const std::uint64_t bytes = samples.size_bytes();
    {
        std::lock_guard lock(mutex_);
        if (refusing_) return Push::Ended;
        if (queuedBytes_ + bytes > maxQueuedBytes_) {
            // The file ends at the last sample before this block; the queue still drains into it.
            refusing_ = true;
            return Push::Overflow;
        }
    }
    // Copied outside the lock: the writer thread never waits for the producer's allocation.
    std::vector<std::int16_t> block(samples.begin(), samples.end());
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(block));
        queuedBytes_ += bytes;
        peakQueuedBytes_ = std::max(peakQueuedBytes_, queuedBytes_);
    }
    changed_.notify_all();
    framesAccepted_ += samples.size() / wireChannelCount_;
    bytesAccepted_ += bytes;
    return Push::Queued;
}

std::uint64_t RecordingWriter::peakQueuedBytes() const {
    std::lock_guard lock(mutex_);
    return peakQueuedBytes_;
}

std::unique_ptr<Recording> RecordingWriter::finish() {
    {
        std::lock_guard lock(mutex_);
        refusing_ = true;
        draining_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
    return std::move(recording_);
}

void RecordingWriter::reportFailure(const std::exception_ptr& failure) const {
    if (!onFailure_) return;
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& error) {
        if (*error.what() != '\0') {
            onFailure_(error);
            return;
        }
    } catch (...) {
    }
    onFailure_(std::runtime_error("cannot append raw recording samples"));
}

void RecordingWriter::writeLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return abandon_ || draining_ || !queue_.empty(); });
        if (abandon_ || failed_ || queue_.empty()) return;  // queue_ is empty here only when draining
        std::vector<std::int16_t> block = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        std::exception_ptr failure;
        try {
            sink_(*recording_, block);
        } catch (...) {
            failure = std::current_exception();
        }
        const std::uint64_t bytes = block.size() * sizeof(std::int16_t);
        block = {};
        lock.lock();
        queuedBytes_ -= bytes;
        if (!failure) continue;
        // The Recording refuses every later append, so the queue can only be dropped.
        failed_ = true;
        refusing_ = true;
        queue_.clear();
        queuedBytes_ = 0;
        lock.unlock();
        try {
            reportFailure(failure);
        } catch (...) {
            // Nothing may leave the thread; the owner still finds the Recording ended.
        }
        return;
    }
}

}  // namespace zk::core
