#pragma once

// Stands in for the live session around a Recording: marks the session as running and hands sample
// blocks to the controller as the acquisition thread does, so the Recording can be driven block by
// block without the live threads.

#include <QTimer>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <span>

#include "app/ui_controller.h"

namespace zk::app {

class RecordingTestPeer {
  public:
    explicit RecordingTestPeer(UiController& ui) : ui_(ui) {}

    void setSessionState(std::int32_t state) { ui_.setSessionState(state); }
    void append(std::span<const std::int16_t> samples, bool gap = false) {
        ui_.appendRecordingBlock(samples, gap);
    }
    // Every later Recording writes through `sink`, which may stand in a slow disk.
    void setSink(core::RecordingWriter::Sink sink) { ui_.recording_.sinkForTests = std::move(sink); }
    // Moves the Recording's start back, as if it had been running that much longer.
    void advanceRecordingClock(std::chrono::milliseconds by) {
        std::lock_guard lock(ui_.recording_.mutex);
        ui_.recording_.startedAt -= by;
    }
    QTimer* watchdog() const { return ui_.timers_.recordingWatchdog; }
    std::uint64_t generation() const { return ui_.recording_.generation.load(); }

    // What a worker thread of an earlier Recording would post late.
    void deliverStaleHandlers(std::uint64_t generation) {
        ui_.onRecordingLimitReached(generation);
        ui_.onRecordingEnded(generation, QStringLiteral("stale failure"));
        ui_.onRecordingFinalized(generation, QStringLiteral("m_stale"), false, QStringLiteral("stale"),
                                 QString());
    }

  private:
    UiController& ui_;
};

}  // namespace zk::app
