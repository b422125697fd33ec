#pragma once

#include <QString>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>

#include "core/storage/recording_writer.h"

namespace zk::app {

// The Recording in progress and what the acquisition thread reports of it. Each field says which
// threads touch it.
struct RecordingSession {
    // Guards writer, endedWriter, videoPath, startedAt and streamMBps; the GUI, acquisition and
    // Recording writer threads take it, each only for an append or a hand-over, never while emitting
    // or joining.
    mutable std::mutex mutex;
    std::unique_ptr<core::RecordingWriter> writer;       // appended to while the state is Recording
    std::unique_ptr<core::RecordingWriter> endedWriter;  // ended early (failure, slow disk, gap); to finalize
    std::filesystem::path videoPath;  // the video file to take into the Measurement; may name no file
    std::chrono::steady_clock::time_point startedAt;
    double streamMBps = 0.0;  // the stream's byte rate, named when the disk cannot keep up

    // Raised by every start; handlers posted by the acquisition, writer and finalize threads carry the value
    // of their Recording and are dropped when it is no longer the current one.
    std::atomic<std::uint64_t> generation{0};
    // Counters of the samples taken for the file (queued or written): the acquisition thread writes,
    // the property getters read.
    std::atomic<std::uint64_t> framesWritten{0};
    std::atomic<std::uint64_t> bytesWritten{0};
    std::atomic<std::uint64_t> elapsedMs{0};
    std::atomic<bool> limitReached{false};           // exchanged once per Recording by the acquisition thread
    std::atomic<std::int64_t> lastStatsPostNs{0};    // acquisition thread only; zeroed by the GUI at start
    std::atomic<std::int64_t> maxDurationMs{10000};  // whole seconds; GUI thread writes, acquisition reads

    // GUI thread only.
    QString measurementId;
    std::filesystem::path videoStagingPath;  // where QML was asked to record the video
    bool videoActive = false;
    bool stopPending = false;
    core::RecordingWriter::Sink sinkForTests;  // stands in a slow disk; empty outside tests
};

}  // namespace zk::app
