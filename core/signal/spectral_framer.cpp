#include "core/signal/spectral_framer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <utility>

#include "core/detail/parallel_for.h"
#include "core/signal/detail/real_fft_batch.h"

namespace zk::core {

namespace {

// Channels of one frame go parallel from this count on; below it the team start-up costs more than it saves.
constexpr std::uint64_t kParallelChannelThreshold = 16;
constexpr std::size_t kThreads = 4;

double* alignTo64Bytes(double* p) {
    const auto address = reinterpret_cast<std::uintptr_t>(p);
    return p + ((64 - address % 64) % 64) / sizeof(double);
}

}  // namespace

SpectralFramer::SpectralFramer(std::uint64_t frameSize, std::uint64_t hop)
    : frameSize_(frameSize), hop_(hop) {
    if (frameSize == 0 || frameSize > kMaxSpectralFrameSize || hop == 0 || hop > frameSize) {
        throw std::invalid_argument("invalid spectral frame/hop size");
    }
    if ((frameSize & (frameSize - 1)) != 0) {
        throw std::invalid_argument("spectral frame size must be a power of two");
    }
    window_.resize(frameSize);
    if (frameSize == 1) {
        window_[0] = 1.0;
    } else {
        const double denominator = static_cast<double>(frameSize - 1);
        for (std::uint64_t i = 0; i < frameSize; ++i) {
            window_[i] =
                0.5 * (1.0 - std::cos(2.0 * std::numbers::pi * static_cast<double>(i) / denominator));
        }
    }
    double windowSum = 0.0;
    for (double w : window_) {
        windowSum += w;
    }
    // The two-point window is all zero: its scale would be 1/0 and every spectrum NaN.
    if (!(windowSum > 0.0)) {
        throw std::invalid_argument("invalid spectral frame/hop size");
    }
    amplitudeScale_ = std::numbers::sqrt2 / (windowSum * 32768.0);
    if (frameSize >= 4) {
        plan_ = std::make_shared<const detail::RealFftBatchPlan>(detail::makeRealFftBatchPlan(frameSize));
    }
}

std::vector<SpectralFrame> SpectralFramer::frame(std::span<const std::int16_t> samples,
                                                 std::uint64_t channelCount) const {
    std::vector<SpectralFrame> frames;
    frameInto(samples, channelCount, frames);
    return frames;
}

void SpectralFramer::frameInto(std::span<const std::int16_t> samples, std::uint64_t channelCount,
                               std::vector<SpectralFrame>& frames) const {
    if (channelCount == 0 || samples.size() % channelCount != 0) {
        throw std::invalid_argument("invalid interleaved logical sample stream");
    }
    const std::uint64_t perChannel = samples.size() / channelCount;
    if (perChannel < frameSize_) {
        frames.clear();
        return;
    }
    const std::uint64_t frameCount = (perChannel - frameSize_) / hop_ + 1;

    // Everything is sized before any OpenMP team starts, so no allocation can fail inside one.
    frames.resize(frameCount);
    for (SpectralFrame& frame : frames) {
        frame.frameSize = frameSize_;
        frame.channelCount = channelCount;
        frame.spectra.resize(channelCount);
        for (std::vector<std::complex<double>>& spectrum : frame.spectra) {
            spectrum.resize(frameSize_);
        }
    }
    if (!plan_) {
        // A single sample is its own mean; the formula is kept so the result reads like the general case.
        for (std::uint64_t f = 0; f < frameCount; ++f) {
            for (std::uint64_t c = 0; c < channelCount; ++c) {
                const auto x = static_cast<double>(samples[f * hop_ * channelCount + c]);
                frames[f].spectra[c][0] = {(x - x) * window_[0] * amplitudeScale_, 0.0};
            }
        }
        return;
    }

    const std::size_t lanes = detail::realFftBatchLanes();
    const std::size_t batches = (channelCount + lanes - 1) / lanes;
    const std::size_t workers = channelCount >= kParallelChannelThreshold ? std::min(kThreads, batches) : 1;
    const std::size_t needed = workers * detail::realFftBatchScratchDoubles(frameSize_, lanes) + 8;
    std::unique_lock lock(scratch_.mutex, std::try_to_lock);
    std::vector<double> own;
    std::vector<double>& buffer = lock.owns_lock() ? scratch_.doubles : own;
    if (buffer.size() < needed) {
        buffer.resize(needed);
    }
    double* scratch = alignTo64Bytes(buffer.data());
    for (std::uint64_t f = 0; f < frameCount; ++f) {
        transformFrame(samples, channelCount, f * hop_, frames[f], lanes, workers, scratch);
    }
}

void SpectralFramer::transformFrame(std::span<const std::int16_t> samples, std::uint64_t channelCount,
                                    std::uint64_t start, SpectralFrame& frame, std::size_t lanes,
                                    std::size_t workers, double* scratch) const {
    const std::size_t batches = (channelCount + lanes - 1) / lanes;
    const std::size_t perWorker = detail::realFftBatchScratchDoubles(frameSize_, lanes);
    const auto runBatch = [&](std::size_t b, double* workerScratch) {
        const std::size_t first = b * lanes;
        const std::size_t used = std::min<std::size_t>(lanes, channelCount - first);
        std::array<std::complex<double>*, detail::kMaxRealFftLanes> spectra{};
        for (std::size_t l = 0; l < used; ++l) {
            spectra[l] = frame.spectra[first + l].data();
        }
        const detail::RealFftBatch batch{samples.data() + start * channelCount + first,
                                         channelCount,
                                         used,
                                         window_.data(),
                                         amplitudeScale_,
                                         spectra.data()};
        detail::transformRealBatch(*plan_, lanes, batch, workerScratch);
    };
    if (workers == 1) {
        for (std::size_t b = 0; b < batches; ++b) {
            runBatch(b, scratch);
        }
        return;
    }
    // One contiguous run of batches per thread, each with its own scratch block.
    detail::parallelFor(static_cast<std::int64_t>(workers), static_cast<int>(workers), [&](std::int64_t w) {
        const auto worker = static_cast<std::size_t>(w);
        for (std::size_t b = batches * worker / workers; b < batches * (worker + 1) / workers; ++b) {
            runBatch(b, scratch + worker * perWorker);
        }
    });
}

}  // namespace zk::core
