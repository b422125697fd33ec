#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "core/streaming/udp_source.h"

namespace zk::app {

// What the user is told about the array's stream: a silence and its end, runs of the array's datagrams
// of the wrong length, and runs of stray datagrams. It decides by the times it is given, not by a clock
// of its own, so a test drives it through any timeline. One per live session, on the acquisition
// thread alone.
class ArrayStreamWatch {
  public:
    using Clock = std::chrono::steady_clock;

    // Ten map intervals without samples once the array has sent: it, or the network to it, has stopped.
    static constexpr Clock::duration kSilenceLimit = std::chrono::seconds(1);
    // Before its first samples the array may start late (a slow start is no silence).
    static constexpr Clock::duration kStartGrace = std::chrono::seconds(3);
    // Rejected datagrams further apart than this make separate runs; within a run the status line
    // counts on at most this often.
    static constexpr Clock::duration kRunQuiet = std::chrono::seconds(5);

    // No samples for `seconds` whole seconds. onset: the first report of this silence; rejected: all
    // along the array's datagrams came, and every one had the wrong length.
    struct Silence {
        std::int64_t seconds = 0;
        bool onset = false;
        bool rejected = false;
    };
    // Samples came after a reported silence of `seconds`; firstData: the array had not sent before.
    struct Resumed {
        double seconds = 0.0;
        bool firstData = false;
    };
    // The array's own datagrams of the wrong length, `count` so far; onset: the first of a run.
    struct Rejections {
        std::uint64_t count = 0;
        bool onset = false;
    };
    // The first stray datagram of a run.
    struct Stray {
        std::uint64_t bytes = 0;
        core::DatagramSender sender;
    };
    struct Notices {
        std::optional<Silence> silence;
        std::optional<Resumed> resumed;  // the samples of this pass do not follow the ones before
        std::optional<Rejections> rejections;
        std::optional<Stray> stray;
    };

    // Nothing has come yet, and the wait for the first samples starts at `now`.
    void restart(Clock::time_point now);

    // One pass of the acquisition thread at `now`: whether it read samples, and the receiver's counters
    // read after them.
    [[nodiscard]] Notices observe(Clock::time_point now, bool samplesCame,
                                  const core::UdpReceiveStats& stats);

  private:
    // A run of events no more than kRunQuiet apart.
    struct Run {
        std::optional<Clock::time_point> grew;  // when it last grew
        Clock::time_point shown{};              // when the status line last counted it
    };

    [[nodiscard]] bool rejectedAllAlong(Clock::time_point now) const;

    Clock::time_point since_{};  // the last samples, or the start before the first
    bool dataSeen_ = false;
    std::int64_t reportedS_ = 0;  // the silence last reported, whole seconds; 0 while samples come
    bool reportedRejected_ = false;

    std::uint64_t arrayRejected_ = 0;                 // the array's wrong-length datagrams seen
    std::optional<Clock::time_point> lastRejection_;  // when their count last grew
    Clock::time_point rejectingSince_{};              // start of the run with gaps under kSilenceLimit
    Run rejections_;
    std::uint64_t strays_ = 0;
    Run strayRun_;
};

}  // namespace zk::app
