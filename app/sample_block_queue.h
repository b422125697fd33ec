#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <stop_token>
#include <vector>

namespace zk::app {

// Whole interleaved wire frames handed from the acquisition thread to one consumer.
struct SampleBlock {
    std::vector<std::int16_t> samples;
    std::uint64_t frames = 0;
    bool gap = false;           // the source lost samples right before this one
    bool afterSilence = false;  // the source sent nothing for a while right before this one
    bool dropped = false;       // the queue dropped blocks right before this one
};

// A FIFO of sample blocks that never blocks its producer: when full, the oldest blocks are dropped and
// counted, and the consumer sees the drop on the next block it takes. One producer (the acquisition
// thread) and one consumer (the DSP or the diagnostics thread); the statistics may be read anywhere.
class BoundedBlockingQueue {
  public:
    // What a push into a full queue drops: the oldest block alone, or every queued one. A consumer that
    // needs runs of contiguous samples (the DSP's frames span four blocks) takes the backlog whole: one
    // block at a time would leave a hole before every block it takes for as long as it stays behind.
    enum class Overflow { kDropOldest, kDropBacklog };

    struct Statistics {
        std::uint64_t size = 0;
        std::uint64_t highWaterMark = 0;
        std::uint64_t droppedBlocks = 0;
        std::uint64_t droppedFrames = 0;
    };

    static constexpr std::uint64_t kDefaultCapacity = 64;

    explicit BoundedBlockingQueue(std::uint64_t capacity = kDefaultCapacity,
                                  Overflow overflow = Overflow::kDropOldest);

    // Empties the queue, zeroes the statistics, reopens it; a capacity of 0 becomes 1.
    void reset(std::uint64_t capacity = kDefaultCapacity);
    // An empty block, or any block after close, is discarded.
    void push(SampleBlock block);
    // Wakes every waiting consumer; the blocks still queued can be taken.
    void close();
    // Waits for a block, the close or a stop request; none when the queue is empty afterwards.
    std::optional<SampleBlock> pop(std::stop_token stop);
    Statistics statistics() const;

  private:
    mutable std::mutex mutex_;            // guards everything below; producer, consumer and readers
    std::condition_variable_any wakeup_;  // waited on by the consumer with its stop token
    std::deque<SampleBlock> fifo_;
    const Overflow overflow_;
    std::uint64_t capacity_ = kDefaultCapacity;
    std::uint64_t highWaterMark_ = 0;
    std::uint64_t droppedBlocks_ = 0;
    std::uint64_t droppedFrames_ = 0;
    bool closed_ = false;
};

}  // namespace zk::app
