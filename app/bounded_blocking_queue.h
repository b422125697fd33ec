#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <stop_token>
#include <vector>

namespace zk::app {

// One block of wire samples handed from the acquisition thread to a consumer.
struct SampleBlock {
    std::vector<std::int16_t> samples;  // interleaved, whole frames
    std::uint64_t frames = 0;           // samples / wire channel count; 0 without channels
    bool gap = false;                   // blocks were dropped immediately before this one
};

// What the live metrics read of a queue, in one copy taken under its mutex.
struct BlockQueueStatistics {
    std::uint64_t size = 0;
    std::uint64_t highWaterMark = 0;  // the largest size reached since the last reset
    std::uint64_t droppedBlocks = 0;
    std::uint64_t droppedFrames = 0;
};

// A FIFO of sample blocks between one producer that must never wait and one consumer that does.
// When full, a push drops the oldest blocks instead of blocking and flags the oldest survivor as a gap,
// so the consumer learns that continuity broke right before the block it takes next.
class BoundedBlockingQueue {
  public:
    // A capacity of 0 counts as 1.
    explicit BoundedBlockingQueue(std::uint64_t capacity = 64);

    BoundedBlockingQueue(const BoundedBlockingQueue&) = delete;
    BoundedBlockingQueue& operator=(const BoundedBlockingQueue&) = delete;

    // Empties the queue, zeroes the statistics, clears closed and sets the capacity (0 counts as 1).
    void reset(std::uint64_t capacity);

    // Appends the block; an empty block, or any block after close, is discarded. The block's own gap
    // flag is replaced: set only when the push had to drop every block queued before it.
    void push(SampleBlock block);

    // Wakes every waiting pop; later pushes are discarded, blocks already queued can still be taken.
    void close();

    // Waits until a block is queued, the queue is closed or a stop is requested; the front block, or
    // none when the queue is empty after the wait (the consumer then ends).
    [[nodiscard]] std::optional<SampleBlock> pop(std::stop_token stop);

    [[nodiscard]] BlockQueueStatistics statistics() const;

  private:
    // Guards every member below; the producer, the consumer and metric readers take it briefly.
    mutable std::mutex mutex_;
    // Waited on by pop under mutex_; notified by push (one), close and a stop request (all).
    std::condition_variable_any ready_;
    std::deque<SampleBlock> blocks_;
    std::uint64_t capacity_ = 1;
    std::uint64_t highWaterMark_ = 0;
    std::uint64_t droppedBlocks_ = 0;
    std::uint64_t droppedFrames_ = 0;
    bool closed_ = false;
};

}  // namespace zk::app
