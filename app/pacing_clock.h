#pragma once

#include <chrono>
#include <thread>

namespace zk::app {

// The clock a sample stream is paced by: the Replay's reader and the synthetic live source wait on it
// for each block's deadline, and take their naps on it while they wait for anything else. The program
// paces by the steady clock; a test stands in a clock of its own to read the deadlines themselves and
// to hold the waits, which no load on the machine moves.
class PacingClock {
  public:
    using Clock = std::chrono::steady_clock;

    virtual ~PacingClock() = default;
    virtual Clock::time_point now() { return Clock::now(); }
    virtual void sleepUntil(Clock::time_point deadline) { std::this_thread::sleep_until(deadline); }
    // A poll's wait, no deadline of the stream: for a commit, a resume, a map.
    virtual void nap(Clock::duration duration) { std::this_thread::sleep_for(duration); }

    // The steady clock itself, for as long as the process lives; it keeps no state.
    static PacingClock& steady() {
        static PacingClock clock;
        return clock;
    }
};

}  // namespace zk::app
