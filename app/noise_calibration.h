#pragma once

#include <QElapsedTimer>
#include <atomic>
#include <complex>
#include <cstdint>
#include <memory>
#include <span>
#include <stop_token>
#include <string>
#include <vector>

#include "core/streaming/noise_floor_profile.h"

namespace zk::core {
class StreamingAcousticEngine;
}  // namespace zk::core

namespace zk::app {

// Per-bin cross-spectral sums of one calibration run: the capture thread writes them, the GUI thread
// reads them only after joining it.
struct NoiseCalibrationAccum {
    // binCount matrices of M x M, bin-major, each row-major; only entries on and below the diagonal.
    std::vector<std::complex<double>> sums;
    std::uint64_t accumulatedBlocks = 0;
    std::uint64_t channelCount = 0;  // M; 0 until the first usable block
    std::uint64_t binCount = 0;
    std::uint64_t wellSizedBlocks = 0;  // blocks of M x binCount values seen; every third is summed
    // Summed frames not yet added to sums, bin-major (bin, then channel), at most 16 of them.
    std::vector<std::complex<double>> pending;
    std::uint64_t pendingFrames = 0;
};

// One spectral frame (channel-major: M channels of binCount values) offered to the sums. The first
// usable frame fixes binCount; frames of another size are skipped; of the well-sized ones every third
// is added to the lower triangle of each bin's matrix (once 16 are pending, or at flushNoiseFrames).
// Returns whether the frame was summed.
bool offerNoiseFrame(NoiseCalibrationAccum& accum, std::span<const std::complex<double>> frame,
                     std::uint64_t channelCount);

// Adds the pending frames to the sums; buildNoiseFloorProfile needs none pending.
void flushNoiseFrames(NoiseCalibrationAccum& accum);

// The averaged floor of the sums: N_k = S_k / count made Hermitian (upper entries mirror the lower
// ones), fftSize 2 x binCount - 2, beta 0.8, floor 1e-10, enabled. Needs a count and a channel count.
core::NoiseFloorProfile buildNoiseFloorProfile(const NoiseCalibrationAccum& accum, std::string profileHash,
                                               std::uint32_t sampleRateHz, std::string createdAtUtc);

// Capture thread body: takes the engine's captured frames into the sums while calibrating is set.
void runNoiseCapture(std::stop_token stop, const std::atomic<bool>& calibrating,
                     core::StreamingAcousticEngine& engine, std::shared_ptr<NoiseCalibrationAccum> accum,
                     std::uint64_t channelCount);

// Publishes the noise floor (possibly none) and the subtraction switch to both engines; the Replay
// engine may be null. GUI thread.
void handNoiseFloorToEngines(const std::shared_ptr<const core::NoiseFloorProfile>& profile, bool subtract,
                             core::StreamingAcousticEngine* live, core::StreamingAcousticEngine* replay);

// The running calibration; GUI thread only (the capture thread holds its own share of the sums).
struct NoiseCalibrationRun {
    std::shared_ptr<NoiseCalibrationAccum> accum;
    QElapsedTimer elapsed;
    double remainingSeconds = 0.0;
    core::StreamingAcousticEngine* engine = nullptr;  // the engine capturing for this run
};

}  // namespace zk::app
