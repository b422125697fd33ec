#include "app/sample_block_queue.h"

#include <algorithm>
#include <utility>

namespace zk::app {

BoundedBlockingQueue::BoundedBlockingQueue(std::uint64_t capacity, Overflow overflow) : overflow_(overflow) {
    reset(capacity);
}

void BoundedBlockingQueue::reset(std::uint64_t capacity) {
    std::lock_guard lock(mutex_);
    capacity_ = std::max<std::uint64_t>(capacity, 1);
    fifo_.clear();
    highWaterMark_ = 0;
    droppedBlocks_ = 0;
    droppedFrames_ = 0;
    closed_ = false;
}

void BoundedBlockingQueue::push(SampleBlock block) {
    if (block.samples.empty()) return;
    std::deque<SampleBlock> dropped;  // freed after the lock is released
    {
        std::lock_guard lock(mutex_);
        if (closed_) return;
        if (fifo_.size() >= capacity_) {
            const std::uint64_t keep = overflow_ == Overflow::kDropBacklog ? 0 : capacity_ - 1;
            while (fifo_.size() > keep) {
                droppedFrames_ += fifo_.front().frames;
                ++droppedBlocks_;
                dropped.push_back(std::move(fifo_.front()));
                fifo_.pop_front();
            }
        }
        if (!dropped.empty() && !fifo_.empty()) fifo_.front().dropped = true;
        block.dropped = !dropped.empty() && fifo_.empty();
        fifo_.push_back(std::move(block));
        highWaterMark_ = std::max<std::uint64_t>(highWaterMark_, fifo_.size());
    }
    wakeup_.notify_one();
}

void BoundedBlockingQueue::close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }
    wakeup_.notify_all();
}

std::optional<SampleBlock> BoundedBlockingQueue::pop(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    wakeup_.wait(lock, stop, [this] { return closed_ || !fifo_.empty(); });
    if (fifo_.empty()) return std::nullopt;
    SampleBlock block = std::move(fifo_.front());
    fifo_.pop_front();
    return block;
}

BoundedBlockingQueue::Statistics BoundedBlockingQueue::statistics() const {
    std::lock_guard lock(mutex_);
    return {fifo_.size(), highWaterMark_, droppedBlocks_, droppedFrames_};
}

}  // namespace zk::app
