#include "app/sample_block_queue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace zk::app::test {
namespace {

SampleBlock blockOf(std::uint64_t frames, std::int16_t mark) {
    return {std::vector<std::int16_t>(frames * 2, mark), frames, false};
}

TEST(BoundedBlockingQueue, AFullQueueDropsItsOldestBlockAndMarksTheDrop) {
    BoundedBlockingQueue queue(64);
    for (int i = 0; i < 64; ++i) queue.push(blockOf(10 + i, static_cast<std::int16_t>(i)));
    queue.push(blockOf(99, 64));
    const BoundedBlockingQueue::Statistics stats = queue.statistics();
    EXPECT_EQ(stats.size, 64u);
    EXPECT_EQ(stats.highWaterMark, 64u);
    EXPECT_EQ(stats.droppedBlocks, 1u);
    EXPECT_EQ(stats.droppedFrames, 10u);  // the first block's frames
    queue.close();
    std::optional<SampleBlock> first = queue.pop({});
    ASSERT_TRUE(first);
    EXPECT_EQ(first->samples.front(), 1);  // the former second block, now the oldest
    EXPECT_TRUE(first->dropped);
    EXPECT_FALSE(first->gap) << "the source lost nothing";
    for (int i = 2; i <= 64; ++i) {
        std::optional<SampleBlock> next = queue.pop({});
        ASSERT_TRUE(next);
        EXPECT_EQ(next->samples.front(), i);
        EXPECT_FALSE(next->dropped) << i;
    }
    EXPECT_FALSE(queue.pop({}));
}

// The DSP's queue: a push into a full queue drops every queued block, so the blocks after it come in an
// unbroken run until the queue is full again; one drop at a time would leave a hole before each.
TEST(BoundedBlockingQueue, ABacklogQueueDropsEveryQueuedBlockAtOnce) {
    for (const std::uint64_t capacity : {1u, 2u, 64u}) {
        SCOPED_TRACE(capacity);
        BoundedBlockingQueue queue(capacity, BoundedBlockingQueue::Overflow::kDropBacklog);
        std::uint64_t queuedFrames = 0;
        for (std::uint64_t i = 0; i < capacity; ++i) {
            queue.push(blockOf(10 + i, static_cast<std::int16_t>(i)));
            queuedFrames += 10 + i;
        }
        EXPECT_EQ(queue.statistics().droppedBlocks, 0u);
        for (std::int16_t mark = 100; mark < 103; ++mark) queue.push(blockOf(7, mark));
        BoundedBlockingQueue::Statistics stats = queue.statistics();
        // Only the pushes into a full queue drop: the first drops the backlog, the next two fit
        // unless the capacity is smaller.
        const std::uint64_t kept = std::min<std::uint64_t>(3, capacity);
        EXPECT_EQ(stats.size, capacity == 2 ? 1u : kept);
        EXPECT_EQ(stats.highWaterMark, capacity);
        if (capacity == 64) {
            EXPECT_EQ(stats.droppedBlocks, 64u);
            EXPECT_EQ(stats.droppedFrames, queuedFrames);
        }
        queue.close();
        std::vector<SampleBlock> left;
        while (std::optional<SampleBlock> block = queue.pop({})) left.push_back(std::move(*block));
        ASSERT_FALSE(left.empty());
        EXPECT_EQ(left.back().samples.front(), 102) << "the newest block is kept";
        EXPECT_TRUE(left.front().dropped) << "the first after the drop says so";
        for (std::size_t i = 1; i < left.size(); ++i) EXPECT_FALSE(left[i].dropped) << i;
        for (const SampleBlock& block : left) EXPECT_FALSE(block.gap);
    }
}

TEST(BoundedBlockingQueue, WithCapacityOneTheNewBlockCarriesTheDrop) {
    BoundedBlockingQueue queue(0);  // becomes 1
    queue.push(blockOf(5, 1));
    queue.push(blockOf(7, 2));
    EXPECT_EQ(queue.statistics().droppedFrames, 5u);
    queue.close();
    std::optional<SampleBlock> block = queue.pop({});
    ASSERT_TRUE(block);
    EXPECT_EQ(block->samples.front(), 2);
    EXPECT_TRUE(block->dropped);
}

// A gap the source marked is the stream's own and is not the queue's drop.
TEST(BoundedBlockingQueue, AGapMarkedByTheSourceSurvivesThePush) {
    BoundedBlockingQueue queue(2);
    queue.push(blockOf(4, 1));
    SampleBlock marked = blockOf(4, 2);
    marked.gap = true;
    queue.push(std::move(marked));
    queue.close();
    const std::optional<SampleBlock> first = queue.pop({});
    EXPECT_FALSE(first->gap);
    const std::optional<SampleBlock> second = queue.pop({});
    EXPECT_TRUE(second->gap);
    EXPECT_FALSE(second->dropped);
}

TEST(BoundedBlockingQueue, EmptyBlocksAndBlocksAfterCloseAreDiscarded) {
    BoundedBlockingQueue queue;
    queue.push(SampleBlock{});
    queue.close();
    queue.push(blockOf(3, 1));
    EXPECT_EQ(queue.statistics().size, 0u);
    EXPECT_EQ(queue.statistics().highWaterMark, 0u);
    EXPECT_FALSE(queue.pop({}));
    queue.reset();
    queue.push(blockOf(3, 1));
    EXPECT_EQ(queue.statistics().size, 1u);
}

TEST(BoundedBlockingQueue, CloseWakesAWaitingConsumerThatDrainsAndEnds) {
    BoundedBlockingQueue queue(8);
    std::atomic<int> taken{0};       // written by the consumer
    std::atomic<bool> ended{false};  // written by the consumer
    std::jthread consumer([&](std::stop_token stop) {
        while (queue.pop(stop)) ++taken;
        ended = true;
    });
    queue.push(blockOf(1, 1));
    while (taken.load() < 1) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // now waiting on an empty queue
    EXPECT_FALSE(ended.load());
    // Blocks queued before the close are still taken; the close alone ends the wait.
    queue.push(blockOf(1, 2));
    queue.push(blockOf(1, 3));
    queue.close();
    consumer.join();
    EXPECT_EQ(taken.load(), 3);
    EXPECT_TRUE(ended.load());
}

TEST(BoundedBlockingQueue, HighWaterMarkKeepsTheLargestSizeUntilReset) {
    BoundedBlockingQueue queue(64);
    for (int i = 0; i < 5; ++i) queue.push(blockOf(1, static_cast<std::int16_t>(i)));
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(queue.pop({}));
    queue.push(blockOf(1, 9));
    EXPECT_EQ(queue.statistics().size, 3u);
    EXPECT_EQ(queue.statistics().highWaterMark, 5u);

    queue.reset(2);
    EXPECT_EQ(queue.statistics().size, 0u);
    EXPECT_EQ(queue.statistics().highWaterMark, 0u);
    for (int i = 0; i < 3; ++i) queue.push(blockOf(2, static_cast<std::int16_t>(i)));
    EXPECT_EQ(queue.statistics().size, 2u);
    EXPECT_EQ(queue.statistics().droppedFrames, 2u);
}

TEST(BoundedBlockingQueue, AStopRequestWakesAWaitingConsumer) {
    BoundedBlockingQueue queue;
    std::atomic<bool> ended{false};
    std::jthread consumer([&](std::stop_token stop) {
        EXPECT_FALSE(queue.pop(stop));
        ended = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    consumer.request_stop();
    consumer.join();
    EXPECT_TRUE(ended.load());
}

TEST(BoundedBlockingQueue, AProducerAndAConsumerLoseNothingBelowTheCapacity) {
    BoundedBlockingQueue queue(1 << 20);
    std::uint64_t frames = 0;
    std::jthread consumer([&](std::stop_token stop) {
        while (std::optional<SampleBlock> block = queue.pop(stop)) frames += block->frames;
    });
    for (int i = 1; i <= 2000; ++i) queue.push(blockOf(static_cast<std::uint64_t>(i % 7 + 1), 0));
    queue.close();
    consumer.join();
    std::uint64_t expected = 0;
    for (int i = 1; i <= 2000; ++i) expected += static_cast<std::uint64_t>(i % 7 + 1);
    EXPECT_EQ(frames, expected);
    EXPECT_EQ(queue.statistics().droppedBlocks, 0u);
}

}  // namespace
}  // namespace zk::app::test
