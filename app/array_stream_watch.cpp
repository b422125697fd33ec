#include "app/array_stream_watch.h"

#include <algorithm>

namespace zk::app {

void ArrayStreamWatch::restart(Clock::time_point now) {
    *this = ArrayStreamWatch{};
    since_ = now;
}

ArrayStreamWatch::Notices ArrayStreamWatch::observe(Clock::time_point now, bool samplesCame,
                                                    const core::UdpReceiveStats& stats) {
    Notices notices;
    const std::uint64_t arrayRejected =
        stats.datagramsDroppedWrongSize - std::min(stats.strayDatagrams, stats.datagramsDroppedWrongSize);
    if (arrayRejected > arrayRejected_) {
        arrayRejected_ = arrayRejected;
        if (!lastRejection_ || now - *lastRejection_ >= kSilenceLimit) rejectingSince_ = now;
        lastRejection_ = now;
        // Each one breaks the samples: a run of them is an event, and while it goes on the status line
        // counts on.
        const bool onset = !rejections_.grew || now - *rejections_.grew > kRunQuiet;
        rejections_.grew = now;
        if (onset || now - rejections_.shown > kRunQuiet) {
            rejections_.shown = now;
            notices.rejections = Rejections{arrayRejected, onset};
        }
    }
    if (stats.strayDatagrams > strays_) {
        strays_ = stats.strayDatagrams;
        // They break nothing: the run's first one is named, no more.
        if (!strayRun_.grew || now - *strayRun_.grew > kRunQuiet)
            notices.stray = Stray{stats.lastStrayBytes, stats.lastStraySender};
        strayRun_.grew = now;
    }

    if (samplesCame) {
        if (reportedS_ > 0)
            notices.resumed = Resumed{std::chrono::duration<double>(now - since_).count(), !dataSeen_};
        dataSeen_ = true;
        since_ = now;
        reportedS_ = 0;
        return notices;
    }
    const Clock::duration quiet = now - since_;
    if (quiet < (dataSeen_ ? kSilenceLimit : kStartGrace)) return notices;
    // Reported at the limit, then whenever the silence has doubled: the text stays true ("for at
    // least") without a line a second; and at once when the rejected datagrams stop coming.
    const std::int64_t quietS = std::chrono::duration_cast<std::chrono::seconds>(quiet).count();
    const bool rejected = rejectedAllAlong(now);
    if (reportedS_ == 0 || quietS >= 2 * reportedS_ || rejected != reportedRejected_) {
        notices.silence = Silence{quietS, reportedS_ == 0, rejected};
        reportedS_ = quietS;
        reportedRejected_ = rejected;
    }
    return notices;
}

bool ArrayStreamWatch::rejectedAllAlong(Clock::time_point now) const {
    // The run began within the silence's first limit and has had no pause as long as the limit since.
    return lastRejection_ && now - *lastRejection_ < kSilenceLimit &&
           rejectingSince_ < since_ + kSilenceLimit;
}

}  // namespace zk::app
