// The sample block queue between the acquisition thread and its consumers.
#include "app/bounded_blocking_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace zk::app {
namespace {

using namespace std::chrono_literals;

// A block of `frames` frames of one channel whose samples all hold `tag`, so each block is recognisable.
SampleBlock block(std::int16_t tag, std::uint64_t frames) {
    return SampleBlock{std::vector<std::int16_t>(frames, tag), frames, false};
}

std::vector<std::int16_t> drainTags(BoundedBlockingQueue& queue, std::vector<bool>* gaps = nullptr) {
    queue.close();
    std::vector<std::int16_t> tags;
    std::stop_source never;
    while (auto b = queue.pop(never.get_token())) {
        tags.push_back(b->samples.front());
        if (gaps != nullptr) gaps->push_back(b->gap);
    }
    return tags;
}

TEST(BoundedBlockingQueue, FullQueueDropsTheOldestAndFlagsTheNewOldestAsGap) {
    BoundedBlockingQueue queue(64);
    for (std::int16_t tag = 0; tag < 64; ++tag) queue.push(block(tag, 10 + tag));
    EXPECT_EQ(queue.statistics().droppedBlocks, 0u);
    queue.push(block(64, 5));

    const BlockQueueStatistics stats = queue.statistics();
    EXPECT_EQ(stats.size, 64u);
    EXPECT_EQ(stats.highWaterMark, 64u);
    EXPECT_EQ(stats.droppedBlocks, 1u);
    EXPECT_EQ(stats.droppedFrames, 10u);  // block 0's frames

    std::vector<bool> gaps;
    const std::vector<std::int16_t> tags = drainTags(queue, &gaps);
    ASSERT_EQ(tags.size(), 64u);
    for (std::size_t i = 0; i < tags.size(); ++i) {
        EXPECT_EQ(tags[i], static_cast<std::int16_t>(i + 1));
        EXPECT_EQ(gaps[i], i == 0) << i;  // only the block right after the dropped one
    }
}

TEST(BoundedBlockingQueue, CapacityOneFlagsTheNewBlockItself) {
    BoundedBlockingQueue queue(0);  // counts as 1
    queue.push(block(1, 3));
    queue.push(block(2, 4));
    queue.push(block(3, 6));
    EXPECT_EQ(queue.statistics().droppedBlocks, 2u);
    EXPECT_EQ(queue.statistics().droppedFrames, 7u);
    std::vector<bool> gaps;
    EXPECT_EQ(drainTags(queue, &gaps), std::vector<std::int16_t>{3});
    EXPECT_EQ(gaps, std::vector<bool>{true});
}

TEST(BoundedBlockingQueue, HighWaterMarkKeepsTheLargestSizeUntilReset) {
    BoundedBlockingQueue queue(64);
    std::stop_source never;
    for (std::int16_t tag = 0; tag < 5; ++tag) queue.push(block(tag, 1));
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(queue.pop(never.get_token()));
    queue.push(block(9, 1));
    EXPECT_EQ(queue.statistics().size, 3u);
    EXPECT_EQ(queue.statistics().highWaterMark, 5u);

    queue.reset(2);
    EXPECT_EQ(queue.statistics().size, 0u);
    EXPECT_EQ(queue.statistics().highWaterMark, 0u);
    for (std::int16_t tag = 0; tag < 3; ++tag) queue.push(block(tag, 2));
    EXPECT_EQ(queue.statistics().size, 2u);
    EXPECT_EQ(queue.statistics().droppedFrames, 2u);
}

TEST(BoundedBlockingQueue, EmptyBlocksAndPushesAfterCloseAreDiscarded) {
    BoundedBlockingQueue queue(4);
    queue.push(SampleBlock{});
    EXPECT_EQ(queue.statistics().size, 0u);
    queue.push(block(1, 1));
    queue.close();
    queue.push(block(2, 1));
    EXPECT_EQ(queue.statistics().size, 1u);
    EXPECT_EQ(queue.statistics().droppedBlocks, 0u);
    EXPECT_EQ(drainTags(queue), std::vector<std::int16_t>{1});

    // A reset opens it again for the next session.
    queue.reset(4);
    queue.push(block(3, 1));
    EXPECT_EQ(queue.statistics().size, 1u);
}

TEST(BoundedBlockingQueue, CloseWakesAWaitingConsumerWhichDrainsThenEnds) {
    BoundedBlockingQueue queue(8);
    std::atomic<int> taken{0};       // written by the consumer
    std::atomic<bool> ended{false};  // written by the consumer
    std::jthread consumer([&](std::stop_token stop) {
        while (auto b = queue.pop(stop)) taken.fetch_add(1);
        ended.store(true);
    });
    queue.push(block(1, 1));
    while (taken.load() < 1) std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(50ms);  // the consumer now waits on an empty queue
    EXPECT_FALSE(ended.load());

    // Blocks queued before close are still taken; close alone ends the wait.
    queue.push(block(2, 1));
    queue.push(block(3, 1));
    queue.close();
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!ended.load() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
    EXPECT_TRUE(ended.load());
    EXPECT_EQ(taken.load(), 3);
    consumer.join();
}

TEST(BoundedBlockingQueue, StopRequestWakesAWaitingConsumer) {
    BoundedBlockingQueue queue(8);
    std::atomic<bool> ended{false};  // written by the consumer
    std::jthread consumer([&](std::stop_token stop) {
        while (queue.pop(stop)) {
        }
        ended.store(true);
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(ended.load());
    consumer.request_stop();
    consumer.join();  // would hang if the request did not wake the wait
    EXPECT_TRUE(ended.load());
}

}  // namespace
}  // namespace zk::app
