#include "app/bounded_blocking_queue.h"

#include <algorithm>
#include <utility>

namespace zk::app {

BoundedBlockingQueue::BoundedBlockingQueue(std::uint64_t capacity)
    : capacity_(std::max<std::uint64_t>(capacity, 1)) {}

void BoundedBlockingQueue::reset(std::uint64_t capacity) {
    std::deque<SampleBlock> released;
    {
        std::lock_guard lock(mutex_);
        released.swap(blocks_);
        capacity_ = std::max<std::uint64_t>(capacity, 1);
        highWaterMark_ = 0;
        droppedBlocks_ = 0;
        droppedFrames_ = 0;
        closed_ = false;
    }
    // The old blocks are freed here, outside the lock.
}

void BoundedBlockingQueue::push(SampleBlock block) {
    if (block.samples.empty()) return;
    std::deque<SampleBlock> dropped;
    {
        std::lock_guard lock(mutex_);
        if (closed_) return;
        while (blocks_.size() >= capacity_) {
            droppedFrames_ += blocks_.front().frames;
            ++droppedBlocks_;
            dropped.push_back(std::move(blocks_.front()));
            blocks_.pop_front();
        }
        // The gap goes to the block right after the dropped ones: the oldest survivor, or the new
        // block itself when nothing survived.
        if (!dropped.empty() && !blocks_.empty()) blocks_.front().gap = true;
        block.gap = !dropped.empty() && blocks_.empty();
        blocks_.push_back(std::move(block));
        highWaterMark_ = std::max<std::uint64_t>(highWaterMark_, blocks_.size());
    }
    ready_.notify_one();
}

void BoundedBlockingQueue::close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }
    ready_.notify_all();
}

std::optional<SampleBlock> BoundedBlockingQueue::pop(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    ready_.wait(lock, stop, [this] { return closed_ || !blocks_.empty(); });
    if (blocks_.empty()) return std::nullopt;
    SampleBlock block = std::move(blocks_.front());
    blocks_.pop_front();
    return block;
}

BlockQueueStatistics BoundedBlockingQueue::statistics() const {
    std::lock_guard lock(mutex_);
    return {blocks_.size(), highWaterMark_, droppedBlocks_, droppedFrames_};
}

}  // namespace zk::app
