#include "core/beamforming/band_matrix.h"

#include <omp.h>

#include <algorithm>
#include <complex>
#include <span>
#include <stdexcept>
#include <utility>

#include "core/detail/parallel_for.h"
#include "core/signal/cross_spectral_matrix.h"
#include "core/signal/interleaved_sample_buffer.h"
#include "core/signal/spectral_framer.h"

namespace zk::core {

namespace {

constexpr std::uint64_t kChunkFrames = 2048;
constexpr int kMaxThreads = 4;
// Spectra held back before the matrices are updated: enough frames to reuse each matrix from cache,
// bounded in bytes so that wide bands and many channels do not grow the batch.
constexpr std::size_t kBatchBytes = std::size_t{4} << 20;
constexpr std::size_t kMaxBatchFrames = 64;

bool isPowerOfTwo(std::uint64_t n) { return n != 0 && (n & (n - 1)) == 0; }

// The band bins of several spectral frames, applied bin by bin: each matrix then stays in cache while
// every frame of the batch updates it, and each element still sums its terms in frame order.
class BandSpectrumBatch {
  public:
    BandSpectrumBatch(std::size_t bins, std::size_t channels)
        : bins_(bins),
          channels_(channels),
          capacity_(std::clamp<std::size_t>(kBatchBytes / (bins * channels * sizeof(std::complex<double>)), 1,
                                            kMaxBatchFrames)),
          values_(capacity_ * bins * channels) {}

    bool full() const { return frames_ == capacity_; }

    void add(const SpectralFrame& frame, std::span<const std::uint64_t> binIndices) {
        std::complex<double>* out = values_.data() + frames_ * bins_ * channels_;
        for (std::size_t j = 0; j < bins_; ++j) {
            const std::uint64_t bin = binIndices[j];
            if (bin >= frame.frameSize) throw std::runtime_error("band bin exceeds spectral frame");
            for (std::size_t c = 0; c < channels_; ++c) out[j * channels_ + c] = frame.spectra[c][bin];
        }
        ++frames_;
    }

    void flushInto(std::vector<CrossSpectralMatrix>& matrices) {
        if (frames_ == 0) return;
        const int threads = static_cast<int>(std::min<std::size_t>(
            {static_cast<std::size_t>(std::max(omp_get_max_threads(), 1)), kMaxThreads, bins_}));
        detail::parallelFor(static_cast<std::int64_t>(bins_), threads, [&](std::int64_t j) {
            const auto bin = static_cast<std::size_t>(j);
            for (std::size_t f = 0; f < frames_; ++f) {
                const std::complex<double>* x = values_.data() + (f * bins_ + bin) * channels_;
                matrices[bin].addSpectrum(std::span<const std::complex<double>>(x, channels_));
            }
        });
        frames_ = 0;
    }

  private:
    std::size_t bins_;
    std::size_t channels_;
    std::size_t capacity_;
    std::size_t frames_ = 0;
    std::vector<std::complex<double>> values_;  // frame-major, then bin, then channel
};

// Interleaved logical samples not yet framed, contiguous for the framer. Framed frames are dropped by
// advancing a start offset; the unframed tail (less than one frame) moves to the front only when a chunk
// no longer fits, and the room is twice a frame plus a chunk, so each sample moves at most once.
class SampleHistory {
  public:
    SampleHistory(std::size_t channels, std::uint64_t frameSize)
        : channels_(channels), capacity_(2 * (frameSize + kChunkFrames) * channels) {
        samples_.reserve(capacity_);
    }

    std::uint64_t frames() const { return samples_.size() / channels_ - start_; }
    std::span<const std::int16_t> firstFrames(std::uint64_t count) const {
        return {samples_.data() + start_ * channels_, count * channels_};
    }
    void dropFrames(std::uint64_t count) { start_ += count; }

    // Room for `count` more frames at the end.
    std::span<std::int16_t> appendFrames(std::uint64_t count) {
        const std::size_t incoming = count * channels_;
        if (start_ > 0 && samples_.size() + incoming > capacity_) {
            const auto first = samples_.begin() + static_cast<std::ptrdiff_t>(start_ * channels_);
            std::copy(first, samples_.end(), samples_.begin());
            samples_.resize(samples_.size() - start_ * channels_);
            start_ = 0;
        }
        const std::size_t old = samples_.size();
        samples_.resize(old + incoming);
        return {samples_.data() + old, incoming};
    }

  private:
    std::size_t channels_;
    std::size_t capacity_;
    std::vector<std::int16_t> samples_;
    std::uint64_t start_ = 0;  // frames at the front already framed
};

}  // namespace

BandMatrix computeBandMatrix(IRawSampleSource& source, const DeviceProfile& profile,
                             const BandMatrixRequest& request, BandMatrixProgress progress,
                             BandMatrixCancel cancel) {
    // Taken over here, so whatever they hold is released when the call ends.
    const BandMatrixProgress reportProgress = std::move(progress);
    const BandMatrixCancel cancelRequested = std::move(cancel);

    if (!profile.isValid()) throw std::invalid_argument("Band matrix requires a valid Profile");
    const std::uint64_t frameSize = request.frameSize;
    const std::uint64_t hopSize = request.hopSize;
    // Sizes the framer refuses (2 has a window without energy) are framing errors of the request too.
    if (frameSize == 0 || hopSize == 0 || hopSize > frameSize || !isPowerOfTwo(frameSize) || frameSize == 2 ||
        frameSize > kMaxSpectralFrameSize) {
        throw std::invalid_argument("invalid recompute frame/hop size");
    }

    BandMatrix result;
    result.band = resolveFrequencyBand(profile.sampleRateHz, frameSize, request.band);
    const std::vector<std::uint64_t>& binIndices = result.band.binIndices;
    if (binIndices.empty()) throw std::invalid_argument("frequency band selects no spectral bins");

    const ChannelGatherMap gather = buildChannelGatherMap(
        std::vector<std::uint64_t>(profile.logicalToWire.begin(), profile.logicalToWire.end()));
    const SpectralFramer framer(frameSize, hopSize);
    const std::uint64_t channels = profile.channelCount;
    const std::uint64_t wireChannels = profile.wireChannelCount;
    std::vector<CrossSpectralMatrix> matrices;
    matrices.reserve(binIndices.size());
    for (std::size_t j = 0; j < binIndices.size(); ++j) matrices.emplace_back(channels);

    BandSpectrumBatch batch(binIndices.size(), channels);
    SampleHistory history(channels, frameSize);
    std::vector<SpectralFrame> frames;
    const bool windowed = request.windowFrameCount > 0;
    std::uint64_t remaining = request.windowFrameCount;
    const std::uint64_t denominator = windowed ? request.windowFrameCount : request.totalFrames;

    while (true) {
        if (cancelRequested && cancelRequested())
            throw std::runtime_error("Band matrix computation cancelled");
        if (windowed && remaining == 0) break;
        const std::vector<std::int16_t> chunk =
            source.readFrames(windowed ? std::min(kChunkFrames, remaining) : kChunkFrames);
        if (chunk.empty()) break;
        if (chunk.size() % wireChannels != 0)
            throw std::runtime_error("recompute received incomplete wire frames");
        std::uint64_t t = chunk.size() / wireChannels;
        if (windowed && remaining < t) t = remaining;

        gatherLogicalChannels(gather, std::span<const std::int16_t>(chunk.data(), t * wireChannels),
                              history.appendFrames(t), wireChannels);
        result.inputFrames += t;
        if (windowed) remaining -= t;

        while (history.frames() >= frameSize) {
            framer.frameInto(history.firstFrames(frameSize), channels, frames);
            if (frames.size() != 1) throw std::runtime_error("recompute window mismatch");
            batch.add(frames.front(), binIndices);
            if (batch.full()) batch.flushInto(matrices);
            ++result.stftFrames;
            history.dropFrames(hopSize);
        }

        if (reportProgress && denominator != 0) {
            reportProgress(std::clamp(
                static_cast<double>(result.inputFrames) / static_cast<double>(denominator), 0.0, 1.0));
        }
    }
    if (result.stftFrames == 0) throw std::runtime_error("Measurement is too short for recompute");
    batch.flushInto(matrices);

    // From the back, each accumulator released once converted, so the rows never coexist with all of them.
    result.matrices.resize(matrices.size());
    for (std::size_t j = matrices.size(); j-- > 0;) {
        result.matrices[j] = matrices[j].toRows();
        matrices.pop_back();
    }
    return result;
}

std::string escapeJsonString(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '"' || c == '\\') out.push_back('\\');
        out.push_back(c);
    }
    return out;
}

}  // namespace zk::core
