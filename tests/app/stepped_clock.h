#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>
#include <vector>

#include "app/pacing_clock.h"
#include "live_test_support.h"

namespace zk::app::test {

// A clock that stands still unless it is moved: by the test, by a deadline the test lets pass, or by a
// nap of the paced thread, which moves it on by the nap's length as the nap begins. A wait for a
// deadline ahead of the clock holds until one of those reaches it, so a test steps a stream block by
// block and reads each deadline beside the clock's time when it was set; naps can be held as well, to
// stop the thread at the poll it makes. Nothing the test reads depends on how fast the machine runs.
class SteppedClock : public PacingClock {
  public:
    struct Wait {
        Clock::time_point deadline;
        Clock::time_point setAt;  // the clock when the paced thread set it
    };

    // Paced thread.
    Clock::time_point now() override {
        std::lock_guard lock(mutex_);
        return now_;
    }
    void sleepUntil(Clock::time_point deadline) override {
        std::unique_lock lock(mutex_);
        waits_.push_back({deadline, now_});
        changed_.notify_all();
        changed_.wait(lock, [&] { return released_ || now_ >= deadline || passes_ > 0; });
        if (now_ >= deadline) return;
        if (!released_) --passes_;
        now_ = deadline;
    }
    void nap(Clock::duration duration) override {
        {
            std::unique_lock lock(mutex_);
            ++naps_;
            now_ += duration;
            changed_.notify_all();
            changed_.wait(lock, [&] { return released_ || !holdNaps_; });
        }
        // A poll that loops on naps gives the processor back, as it does on the steady clock.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    // Test thread.
    Clock::time_point time() const {
        std::lock_guard lock(mutex_);
        return now_;
    }
    void advance(Clock::duration by) {
        std::lock_guard lock(mutex_);
        now_ += by;
        changed_.notify_all();
    }
    // Lets the next `count` deadlines ahead of the clock pass, the clock moving to each.
    void pass(std::size_t count) {
        std::lock_guard lock(mutex_);
        passes_ += count;
        changed_.notify_all();
    }
    void holdNaps(bool hold) {
        std::lock_guard lock(mutex_);
        holdNaps_ = hold;
        changed_.notify_all();
    }
    // Every wait returns at once from now on, so that the paced thread can be stopped and joined.
    void release() {
        std::lock_guard lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }
    // Until `count` deadlines were set, or naps taken; false only past a limit no machine reaches.
    bool waitForWaits(std::size_t count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, kLimit, [&] { return waits_.size() >= count; });
    }
    bool waitForNaps(std::size_t count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, kLimit, [&] { return naps_ >= count; });
    }
    std::vector<Wait> waits() const {
        std::lock_guard lock(mutex_);
        return waits_;
    }
    std::size_t naps() const {
        std::lock_guard lock(mutex_);
        return naps_;
    }

  private:
    static constexpr auto kLimit = std::chrono::seconds(60) * kSlowdown;

    mutable std::mutex mutex_;         // guards the fields below: the paced thread and the test thread
    std::condition_variable changed_;  // any of them changed
    Clock::time_point now_{Clock::now()};
    std::vector<Wait> waits_;
    std::size_t naps_ = 0;
    std::size_t passes_ = 0;
    bool holdNaps_ = false;
    bool released_ = false;
};

// Releases the clock as the scope ends, so that a test leaving early never joins a thread the clock
// still holds.
struct ReleasedOnExit {
    SteppedClock& clock;
    ~ReleasedOnExit() { clock.release(); }
};

}  // namespace zk::app::test
