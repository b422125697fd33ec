#pragma once

#include <QString>
#include <atomic>
#include <cstdint>
#include <mutex>

#include "app/pacing_clock.h"
#include "app/ui_text.h"

namespace zk::app {

// The Replay of a stored Measurement beside its engine, source and threads. Each field says which
// threads touch it.
struct ReplaySession {
    // Reader, map thread and GUI thread: the reader and map threads read them, the GUI thread writes
    // paused and a seek's target with its position, the reader writes position and duration.
    std::atomic<bool> paused{false};
    std::atomic<double> positionSeconds{0.0};
    std::atomic<double> durationSeconds{0.0};
    // Single-slot mailbox of the GUI thread's seek requests, in frames; -1 = none. The reader exchanges it.
    std::atomic<std::int64_t> seekTargetFrames{-1};
    // Raised by every start and stop on the GUI thread; handlers the reader posts carry the value of
    // their Replay and are dropped when it is no longer the current one.
    std::atomic<std::uint64_t> generation{0};
    // The clock the reader paces the samples by: written by the GUI thread between Replays (tests stand
    // in their own), loaded once by each reader as it starts.
    std::atomic<PacingClock*> clock{&PacingClock::steady()};

    // A seek owns the position until the reader has made it: the reader's position of the frames it
    // played never lands after the GUI thread asked for another one.
    void requestSeek(std::int64_t frames, double seconds) {
        const std::lock_guard lock(seekMutex);
        seekTargetFrames.store(frames);
        positionSeconds.store(seconds);
    }
    // The reader's position, unless a seek is pending; false then.
    bool storeReaderPosition(double seconds) {
        const std::lock_guard lock(seekMutex);
        if (seekTargetFrames.load() >= 0) return false;
        positionSeconds.store(seconds);
        return true;
    }
    std::mutex seekMutex;  // guards the pairing of a seek target with the position it shows

    // Guards the hand-over of the controller's replay map thread member: the reader starts the map
    // thread under it, stopReplay takes the thread out under it; neither joins while holding it.
    std::mutex mapThreadMutex;

    // GUI thread only.
    QString measurementId;
    // The frozen profile the Replay plays with, named on every read in the language of the moment.
    std::string profileId;
    std::uint32_t profileSchemaVersion{0};
    std::string profileModel;
    QString profileHash;  // the Measurement's recorded profile hash
    QString metrics = UiText::tr("Replay stopped");
};

}  // namespace zk::app
