#include "app/noise_calibration.h"

#include <chrono>
#include <thread>

#include "app/platform/thread_name.h"
#include "core/detail/parallel_for.h"
#include "core/streaming/streaming_acoustic_engine.h"

namespace zk::app {

namespace {

constexpr std::uint64_t kSummedEvery = 3;
constexpr std::int64_t kParallelBinThreshold = 8;
constexpr int kBinThreads = 4;
constexpr std::uint64_t kPendingFrames = 16;
constexpr auto kEmptyQueueNap = std::chrono::milliseconds(2);
constexpr double kSubtractBeta = 0.8;
constexpr double kPsdFloor = 1e-10;

}  // namespace

void flushNoiseFrames(NoiseCalibrationAccum& accum) {
    const std::uint64_t m = accum.channelCount;
    const std::uint64_t bins = accum.binCount;
    const std::uint64_t frames = accum.pendingFrames;
    if (frames == 0) return;
    std::complex<double>* sums = accum.sums.data();
    const std::complex<double>* x = accum.pending.data();
    const int threads = static_cast<std::int64_t>(bins) >= kParallelBinThreshold ? kBinThreads : 1;
    core::detail::parallelFor(static_cast<std::int64_t>(bins), threads, [=](std::int64_t k) {
        const auto bin = static_cast<std::uint64_t>(k);
        std::complex<double>* s = sums + bin * m * m;
        for (std::uint64_t j = 0; j < m; ++j) {
            std::complex<double>* row = s + j * m;
            for (std::uint64_t c = 0; c <= j; ++c) {
                // x_j conj(x_c) in plain arithmetic over the pending frames: one pass over the sums.
                double re = 0.0;
                double im = 0.0;
                for (std::uint64_t p = 0; p < frames; ++p) {
                    const std::complex<double>* xb = x + (p * bins + bin) * m;
                    const double ar = xb[j].real();
                    const double ai = xb[j].imag();
                    const double cr = xb[c].real();
                    const double ci = xb[c].imag();
                    re += ar * cr + ai * ci;
                    im += ai * cr - ar * ci;
                }
                row[c] += std::complex<double>(re, im);
            }
        }
    });
    accum.pendingFrames = 0;
}

bool offerNoiseFrame(NoiseCalibrationAccum& accum, std::span<const std::complex<double>> frame,
                     std::uint64_t channelCount) {
    if (accum.channelCount == 0) {
        if (channelCount == 0 || frame.empty() || frame.size() % channelCount != 0) return false;
        const std::uint64_t bins = frame.size() / channelCount;
        // Sized before the counts say so.
        accum.sums.assign(bins * channelCount * channelCount, {});
        accum.pending.assign(kPendingFrames * bins * channelCount, {});
        accum.binCount = bins;
        accum.channelCount = channelCount;
    }
    const std::uint64_t m = accum.channelCount;
    const std::uint64_t bins = accum.binCount;
    if (frame.size() != m * bins) return false;
    if (++accum.wellSizedBlocks % kSummedEvery != 0) return false;

    // Bin-major, each bin's M values together; the sums take several frames in one pass, since a pass
    // over M x M x bins sums costs far more memory traffic than the products themselves.
    std::complex<double>* slot = accum.pending.data() + accum.pendingFrames * m * bins;
    for (std::uint64_t j = 0; j < m; ++j) {
        for (std::uint64_t k = 0; k < bins; ++k) slot[k * m + j] = frame[j * bins + k];
    }
    ++accum.pendingFrames;
    ++accum.accumulatedBlocks;
    if (accum.pendingFrames == kPendingFrames) flushNoiseFrames(accum);
    return true;
}

core::NoiseFloorProfile buildNoiseFloorProfile(const NoiseCalibrationAccum& accum, std::string profileHash,
                                               std::uint32_t sampleRateHz, std::string createdAtUtc) {
    const std::uint64_t m = accum.channelCount;
    const std::uint64_t bins = accum.binCount;
    const double scale = 1.0 / static_cast<double>(accum.accumulatedBlocks);
    core::NoiseFloorProfile profile;
    profile.profileHash = std::move(profileHash);
    profile.sampleRateHz = sampleRateHz;
    profile.channelCount = m;
    profile.fftSize = 2 * bins - 2;
    profile.averagedFrames = accum.accumulatedBlocks;
    profile.subtractBeta = kSubtractBeta;
    profile.psdFloor = kPsdFloor;
    profile.createdAtUtc = std::move(createdAtUtc);
    profile.enabled = true;
    profile.matrices.resize(bins);
    for (std::uint64_t k = 0; k < bins; ++k) {
        const std::complex<double>* s = accum.sums.data() + k * m * m;
        core::MatrixRows& rows = profile.matrices[k];
        rows.assign(m, std::vector<std::complex<double>>(m));
        for (std::uint64_t j = 0; j < m; ++j) {
            for (std::uint64_t c = 0; c <= j; ++c) {
                const std::complex<double> value = s[j * m + c] * scale;
                rows[j][c] = value;
                rows[c][j] = std::conj(value);
            }
            rows[j][j] = {rows[j][j].real(), 0.0};
        }
    }
    return profile;
}

void runNoiseCapture(std::stop_token stop, const std::atomic<bool>& calibrating,
                     core::StreamingAcousticEngine& engine, std::shared_ptr<NoiseCalibrationAccum> accum,
                     std::uint64_t channelCount) {
    platform::nameCurrentThread("zk-noise-cap");
    while (calibrating.load() && !stop.stop_requested()) {
        try {
            const std::shared_ptr<core::NoiseCaptureBlock> block = engine.takeNoiseCaptureBlock();
            if (!block) {
                std::this_thread::sleep_for(kEmptyQueueNap);
                continue;
            }
            offerNoiseFrame(*accum, block->values, channelCount);
        } catch (...) {
            // Out of memory for the sums: the run ends with too few frames and says so.
            accum->accumulatedBlocks = 0;
            return;
        }
    }
    flushNoiseFrames(*accum);
}

void handNoiseFloorToEngines(const std::shared_ptr<const core::NoiseFloorProfile>& profile, bool subtract,
                             core::StreamingAcousticEngine* live, core::StreamingAcousticEngine* replay) {
    for (core::StreamingAcousticEngine* engine : {live, replay}) {
        if (engine == nullptr) continue;
        engine->setNoiseFloorProfile(profile);
        engine->setNoiseSubtractionEnabled(subtract);
    }
}

}  // namespace zk::app
