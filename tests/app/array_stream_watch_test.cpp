// The watch of the array's stream over timelines of passes of the acquisition thread: what it says of a
// slow start, a silence, the array's rejected datagrams and stray ones, and when.
#include "app/array_stream_watch.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace zk::app {
namespace {

using Clock = ArrayStreamWatch::Clock;

constexpr core::DatagramSender kStraySender{0x7F000002, 40000};

// One pass: at `ms` after the start, whether samples came, and the totals counted by then.
struct Pass {
    int ms;
    bool samples;
    std::uint64_t arrayRejected;
    std::uint64_t strays;
};

// Passes of a timeline, built span by span.
class Timeline {
  public:
    // Passes every stepMs from fromMs to toMs, each with samples or not, adding the given counts.
    Timeline& passes(int fromMs, int toMs, int stepMs, bool samples, int rejectionsEach = 0,
                     int straysEach = 0) {
        for (int ms = fromMs; ms <= toMs; ms += stepMs) {
            rejected_ += static_cast<std::uint64_t>(rejectionsEach);
            strays_ += static_cast<std::uint64_t>(straysEach);
            passes_.push_back({ms, samples, rejected_, strays_});
        }
        return *this;
    }
    const std::vector<Pass>& all() const { return passes_; }

  private:
    std::vector<Pass> passes_;
    std::uint64_t rejected_ = 0;
    std::uint64_t strays_ = 0;
};

std::string fixed(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

// Every notice of the timeline, "ms: what" in the order given.
std::vector<std::string> noticesOf(const Timeline& timeline) {
    const Clock::time_point start{std::chrono::hours(1)};
    ArrayStreamWatch watch;
    watch.restart(start);
    std::vector<std::string> said;
    for (const Pass& pass : timeline.all()) {
        core::UdpReceiveStats stats;
        stats.datagramsDroppedWrongSize = pass.arrayRejected + pass.strays;
        stats.strayDatagrams = pass.strays;
        stats.lastStrayBytes = 100;
        stats.lastStraySender = kStraySender;
        const ArrayStreamWatch::Notices n =
            watch.observe(start + std::chrono::milliseconds(pass.ms), pass.samples, stats);
        const std::string at = std::to_string(pass.ms) + ": ";
        if (n.stray)
            said.push_back(at + "stray " + std::to_string(n.stray->bytes) + " bytes from " +
                           core::senderText(n.stray->sender));
        if (n.rejections)
            said.push_back(at + "rejections " + std::to_string(n.rejections->count) +
                           (n.rejections->onset ? " onset" : ""));
        if (n.silence)
            said.push_back(at + "silence " + std::to_string(n.silence->seconds) + " s" +
                           (n.silence->onset ? " onset" : "") + (n.silence->rejected ? " rejected" : ""));
        if (n.resumed)
            said.push_back(at + (n.resumed->firstData ? "first data after " : "again after ") +
                           fixed(n.resumed->seconds) + " s");
    }
    return said;
}

struct WatchCase {
    const char* name;
    Timeline timeline;
    std::vector<std::string> said;
};

void PrintTo(const WatchCase& c, std::ostream* out) { *out << c.name; }

class ArrayStreamWatchTimelines : public ::testing::TestWithParam<WatchCase> {};

TEST_P(ArrayStreamWatchTimelines, SayWhatHappenedWhenItHappened) {
    EXPECT_EQ(noticesOf(GetParam().timeline), GetParam().said);
}

INSTANTIATE_TEST_SUITE_P(
    Watch, ArrayStreamWatchTimelines,
    ::testing::Values(
        // The first samples 2.9 s after the start: no silence, and so no return from one. The array
        // has sent now, so a second without samples is one.
        WatchCase{"ASlowStartIsNoSilence",
                  Timeline()
                      .passes(250, 2750, 250, false)
                      .passes(2900, 2900, 1, true)
                      .passes(3150, 3900, 250, false),
                  {"3900: silence 1 s onset"}},
        // An array that never sends is told of after the grace, again as the silence doubles; its first
        // samples are the first, not a return.
        WatchCase{"AnArrayThatNeverSent",
                  Timeline().passes(250, 7750, 250, false).passes(8000, 8000, 1, true),
                  {"3000: silence 3 s onset", "6000: silence 6 s", "8000: first data after 8.00 s"}},
        WatchCase{
            "AnArrayThatStops",
            Timeline().passes(0, 1000, 250, true).passes(1250, 9000, 250, false).passes(9250, 9250, 1, true),
            {"2000: silence 1 s onset", "3000: silence 2 s", "5000: silence 4 s", "9000: silence 8 s",
             "9250: again after 8.25 s"}},
        // Only datagrams of the wrong length from 1.25 s to 5.5 s: named so while they come, and a
        // plain silence from the second after the last one on, never "only rejected" for longer.
        WatchCase{"OnlyRejectedDatagramsThenNothing",
                  Timeline()
                      .passes(0, 1000, 250, true)
                      .passes(1250, 5500, 250, false, 1)
                      .passes(5750, 9000, 250, false),
                  {"1250: rejections 1 onset", "2000: silence 1 s onset rejected",
                   "3000: silence 2 s rejected", "5000: silence 4 s rejected", "6500: silence 5 s"}},
        // Rejected datagrams that begin after a plain silence began do not make it "only rejected".
        WatchCase{"RejectionsLateInASilence",
                  Timeline()
                      .passes(0, 1000, 250, true)
                      .passes(1250, 2500, 250, false)
                      .passes(2750, 4500, 250, false, 1),
                  {"2000: silence 1 s onset", "2750: rejections 1 onset", "3000: silence 2 s"}},
        // One run of the array's rejections a second for 12 s beside its samples: one onset, then the
        // count at most every 5 s; 6 s later a new run.
        WatchCase{"ARunOfRejectionsIsOneEvent",
                  Timeline()
                      .passes(0, 12000, 1000, true, 1)
                      .passes(12250, 17750, 250, true)
                      .passes(18000, 18000, 1, true, 1),
                  {"0: rejections 1 onset", "6000: rejections 7", "12000: rejections 13",
                   "18000: rejections 14 onset"}},
        // Strays a second beside the samples for 20 s: named once; not the array's rejections; after 6 s
        // without one, a new run is named again.
        WatchCase{"ARunOfStraysIsNamedOnce",
                  Timeline().passes(0, 20000, 1000, true, 0, 1).passes(26000, 26000, 1, true, 0, 1),
                  {"0: stray 100 bytes from 127.0.0.2:40000", "26000: stray 100 bytes from 127.0.0.2:40000"}},
        // Strays are not the array: while only they come, the array is silent.
        WatchCase{
            "StraysInASilenceLeaveItPlain",
            Timeline().passes(0, 1000, 250, true).passes(1250, 3000, 250, false, 0, 1),
            {"1250: stray 100 bytes from 127.0.0.2:40000", "2000: silence 1 s onset", "3000: silence 2 s"}}),
    [](const ::testing::TestParamInfo<WatchCase>& info) { return std::string(info.param.name); });

// A watch restarted for a new session keeps nothing of the last one: its first rejected datagram and
// its first stray are named again, and its wait for the first samples is a start's.
TEST(ArrayStreamWatch, ARestartForgetsTheLastSession) {
    const Clock::time_point t0{std::chrono::hours(1)};
    ArrayStreamWatch watch;
    watch.restart(t0);
    core::UdpReceiveStats stats;
    stats.datagramsDroppedWrongSize = 2;
    stats.strayDatagrams = 1;
    stats.lastStrayBytes = 100;
    stats.lastStraySender = kStraySender;
    ArrayStreamWatch::Notices n = watch.observe(t0, true, stats);
    ASSERT_TRUE(n.rejections && n.rejections->onset);
    ASSERT_TRUE(n.stray);

    // The new session's receiver counts from zero; 1 s later, within any run of the last session.
    const Clock::time_point t1 = t0 + std::chrono::seconds(1);
    watch.restart(t1);
    stats.datagramsDroppedWrongSize = 2;
    stats.strayDatagrams = 1;
    n = watch.observe(t1 + std::chrono::milliseconds(250), false, stats);
    ASSERT_TRUE(n.rejections);
    EXPECT_TRUE(n.rejections->onset);
    EXPECT_EQ(n.rejections->count, 1u);
    EXPECT_TRUE(n.stray);
    stats = {};
    EXPECT_FALSE(watch.observe(t1 + std::chrono::milliseconds(2500), false, stats).silence);
    const ArrayStreamWatch::Notices late = watch.observe(t1 + std::chrono::seconds(3), false, stats);
    ASSERT_TRUE(late.silence);
    EXPECT_EQ(late.silence->seconds, 3);
}

}  // namespace
}  // namespace zk::app
