#pragma once

#include <chrono>
#include <thread>

namespace zk::app {

// The clock a sample stream is paced by: the Replay's reader and the synthetic live source wait on it
// for each block's deadline. The program paces by the steady clock; a test stands in a clock of its own
// to read the deadlines themselves, which no load on the machine moves.
class PacingClock {
  public:
    using Clock = std::chrono::steady_clock;

    virtual ~PacingClock() = default;
    virtual Clock::time_point now() { return Clock::now(); }
    virtual void sleepUntil(Clock::time_point deadline) { std::this_thread::sleep_until(deadline); }

    // The steady clock itself, for as long as the process lives; it keeps no state.
    static PacingClock& steady() {
        static PacingClock clock;
        return clock;
    }
};

}  // namespace zk::app
