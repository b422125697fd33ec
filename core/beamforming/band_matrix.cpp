#include "core/beamforming/band_matrix.h"

#include <omp.h>

#include <algorithm>
#include <complex>
#include <cstring>
#include <span>
#include <stdexcept>
#include <utility>

#include "core/beamforming/render_cancel.h"
#include "core/detail/parallel_for.h"
#include "core/signal/cross_spectral_matrix.h"
#include "core/signal/interleaved_sample_buffer.h"
#include "core/signal/spectral_framer.h"

namespace zk::core {

namespace {

constexpr std::uint64_t kChunkFrames = 2048;
constexpr int kMaxThreads = 4;
// Channels framed together: fewer than 16 keep the framer on the calling thread, so the frames of a
// batch can be spread over one team without nested teams; 8 is a multiple of every FFT lane count.
constexpr std::size_t kGroupChannels = 8;
// A batch of spectral frames is framed by one team and then summed bin by bin by a second one. Its
// size is bounded by the bytes of the band spectra it holds and of the samples it spans.
constexpr std::uint64_t kMaxBatchFrames = 64;
constexpr std::uint64_t kBatchSpectraBytes = std::uint64_t{4} << 20;
constexpr std::uint64_t kBatchSampleBytes = std::uint64_t{4} << 20;

bool isPowerOfTwo(std::uint64_t n) { return n != 0 && (n & (n - 1)) == 0; }

std::uint64_t batchFrames(std::uint64_t frameSize, std::uint64_t hop, std::uint64_t bins,
                          std::uint64_t channels) {
    const std::uint64_t bySpectra = kBatchSpectraBytes / (bins * channels * sizeof(std::complex<double>));
    const std::uint64_t spanFrames = kBatchSampleBytes / (channels * sizeof(std::int16_t));
    const std::uint64_t bySamples = spanFrames > frameSize ? (spanFrames - frameSize) / hop + 1 : 1;
    return std::clamp<std::uint64_t>(std::min(bySpectra, bySamples), 1, kMaxBatchFrames);
}

int teamSize() { return std::clamp(omp_get_max_threads(), 1, kMaxThreads); }

// Interleaved logical samples not yet framed, kept per group of channels so each group is framed on
// its own. Framed frames are dropped by advancing a start offset shared by the groups; the unframed
// tail moves to the front only when a chunk no longer fits, so each sample moves at most once. All
// storage is sized once (a source that returns more than it was asked for makes it grow).
class GroupedHistory {
  public:
    GroupedHistory(const std::vector<std::uint32_t>& logicalToWire, std::uint64_t capacityFrames)
        : gather_(
              buildChannelGatherMap(std::vector<std::uint64_t>(logicalToWire.begin(), logicalToWire.end()))),
          channels_(logicalToWire.size()),
          capacity_(capacityFrames),
          logical_(kChunkFrames * channels_) {
        for (std::size_t first = 0; first < channels_; first += kGroupChannels) {
            const std::size_t count = std::min(kGroupChannels, channels_ - first);
            groups_.push_back({first, count, std::vector<std::int16_t>(capacityFrames * count)});
        }
    }

    std::uint64_t frames() const { return end_ - start_; }
    std::size_t groupCount() const { return groups_.size(); }
    std::size_t firstChannel(std::size_t g) const { return groups_[g].first; }
    std::size_t channels(std::size_t g) const { return groups_[g].count; }

    // `count` frames of group g, from `offset` frames after the oldest one held.
    std::span<const std::int16_t> frames(std::size_t g, std::uint64_t offset, std::uint64_t count) const {
        const Group& group = groups_[g];
        return {group.samples.data() + (start_ + offset) * group.count, count * group.count};
    }

    void drop(std::uint64_t count) { start_ += count; }

    // Appends whole wire frames, gathered into logical order and split over the groups.
    void append(std::span<const std::int16_t> wire, std::uint64_t wireChannels) {
        const std::uint64_t count = wire.size() / wireChannels;
        if (logical_.size() < count * channels_) logical_.resize(count * channels_);
        gatherLogicalChannels(gather_, wire, std::span<std::int16_t>(logical_.data(), count * channels_),
                              wireChannels);
        if (start_ > 0 && end_ + count > capacity_) {
            for (Group& group : groups_) {
                std::copy(group.samples.begin() + static_cast<std::ptrdiff_t>(start_ * group.count),
                          group.samples.begin() + static_cast<std::ptrdiff_t>(end_ * group.count),
                          group.samples.begin());
            }
            end_ -= start_;
            start_ = 0;
        }
        for (Group& group : groups_) {
            if (group.samples.size() < (end_ + count) * group.count)
                group.samples.resize((end_ + count) * group.count);
        }
        for (std::uint64_t f = 0; f < count; ++f) {
            const std::int16_t* frame = logical_.data() + f * channels_;
            for (Group& group : groups_) {
                std::int16_t* out = group.samples.data() + (end_ + f) * group.count;
                // A full group is a fixed-size copy the compiler inlines instead of calling memmove.
                if (group.count == kGroupChannels) {
                    std::memcpy(out, frame + group.first, kGroupChannels * sizeof(std::int16_t));
                } else {
                    std::copy_n(frame + group.first, group.count, out);
                }
            }
        }
        end_ += count;
    }

  private:
    struct Group {
        std::size_t first;
        std::size_t count;
        std::vector<std::int16_t> samples;  // frames [0, end_) interleaved over the group's channels
    };

    ChannelGatherMap gather_;
    std::size_t channels_;
    std::uint64_t capacity_;
    std::vector<std::int16_t> logical_;  // the chunk being appended, in logical order
    std::vector<Group> groups_;
    std::uint64_t start_ = 0;  // frames at the front already framed
    std::uint64_t end_ = 0;
};

// Frames a batch of spectral frames from the history and sums their band bins into the matrices.
class BandAccumulator {
  public:
    BandAccumulator(const SpectralFramer& framer, std::vector<std::uint64_t> binIndices,
                    std::uint64_t channels, std::uint64_t capacity)
        : binIndices_(std::move(binIndices)),
          channels_(channels),
          threads_(teamSize()),
          framers_(static_cast<std::size_t>(threads_), framer),
          frames_(2 * static_cast<std::size_t>(threads_)),
          spectra_(capacity * binIndices_.size() * channels) {
        matrices_.reserve(binIndices_.size());
        for (std::size_t j = 0; j < binIndices_.size(); ++j) matrices_.emplace_back(channels);
    }

    // Frames spectral frames 0 .. count - 1 of the history (frame f starts f hops after its oldest frame),
    // then applies them bin by bin: each matrix stays in cache while the batch updates it, and every
    // element still sums its terms in frame order, so the result does not depend on the team size.
    void addFrames(const GroupedHistory& history, std::uint64_t count) {
        const std::uint64_t frameSize = framers_.front().frameSize();
        const std::uint64_t hop = framers_.front().hop();
        const std::size_t groups = history.groupCount();
        const std::size_t bins = binIndices_.size();
        detail::parallelFor(static_cast<std::int64_t>(count * groups), threads_, [&](std::int64_t item) {
            const auto thread = static_cast<std::size_t>(omp_get_thread_num());
            const std::uint64_t f = static_cast<std::uint64_t>(item) / groups;
            const std::size_t g = static_cast<std::size_t>(item) % groups;
            // A last, smaller group has frames of its own, so no frame changes its channel count.
            std::vector<SpectralFrame>& frames =
                frames_[2 * thread + (history.channels(g) == kGroupChannels ? 0 : 1)];
            framers_[thread].frameInto(history.frames(g, f * hop, frameSize), history.channels(g), frames);
            if (frames.size() != 1) throw std::runtime_error("recompute window mismatch");
            for (std::size_t j = 0; j < bins; ++j) {
                const std::uint64_t bin = binIndices_[j];
                if (bin >= frameSize) throw std::runtime_error("band bin exceeds spectral frame");
                std::complex<double>* out = spectrum(f, j) + history.firstChannel(g);
                for (std::size_t c = 0; c < history.channels(g); ++c) out[c] = frames.front().spectra[c][bin];
            }
        });
        detail::parallelFor(static_cast<std::int64_t>(bins), std::min(threads_, static_cast<int>(bins)),
                            [&](std::int64_t j) {
                                const auto bin = static_cast<std::size_t>(j);
                                for (std::uint64_t f = 0; f < count; ++f)
                                    matrices_[bin].addSpectrum({spectrum(f, bin), channels_});
                            });
    }

    // The sums as rows, each accumulator released once converted so that both never coexist whole.
    std::vector<MatrixRows> takeRows() {
        std::vector<MatrixRows> rows(matrices_.size());
        for (std::size_t j = matrices_.size(); j-- > 0;) {
            rows[j] = matrices_[j].toRows();
            matrices_.pop_back();
        }
        return rows;
    }

  private:
    std::complex<double>* spectrum(std::uint64_t frame, std::size_t bin) {
        return spectra_.data() + (frame * binIndices_.size() + bin) * channels_;
    }

    std::vector<std::uint64_t> binIndices_;
    std::size_t channels_;
    int threads_;
    std::vector<SpectralFramer> framers_;             // one per team thread, each with its own scratch
    std::vector<std::vector<SpectralFrame>> frames_;  // two per team thread, reused frame after frame
    std::vector<std::complex<double>> spectra_;       // frame-major, then bin, then channel
    std::vector<CrossSpectralMatrix> matrices_;
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

    const std::uint64_t channels = profile.channelCount;
    const std::uint64_t wireChannels = profile.wireChannelCount;
    const std::uint64_t batch = batchFrames(frameSize, hopSize, binIndices.size(), channels);
    const std::uint64_t batchSpan = frameSize + (batch - 1) * hopSize;
    GroupedHistory history(profile.logicalToWire, 2 * (batchSpan + kChunkFrames));
    BandAccumulator accumulator(SpectralFramer(frameSize, hopSize), binIndices, channels, batch);
    const auto addFrames = [&](std::uint64_t count) {
        accumulator.addFrames(history, count);
        result.stftFrames += count;
        history.drop(count * hopSize);
    };

    const bool windowed = request.windowFrameCount > 0;
    std::uint64_t remaining = request.windowFrameCount;
    const std::uint64_t denominator = windowed ? request.windowFrameCount : request.totalFrames;
    while (true) {
        if (cancelRequested && cancelRequested()) throw std::runtime_error(kComputationCancelledText);
        if (windowed && remaining == 0) break;
        const std::vector<std::int16_t> chunk =
            source.readFrames(windowed ? std::min(kChunkFrames, remaining) : kChunkFrames);
        if (chunk.empty()) break;
        if (chunk.size() % wireChannels != 0)
            throw std::runtime_error("recompute received incomplete wire frames");
        std::uint64_t t = chunk.size() / wireChannels;
        if (windowed && remaining < t) t = remaining;

        history.append(std::span<const std::int16_t>(chunk.data(), t * wireChannels), wireChannels);
        result.inputFrames += t;
        if (windowed) remaining -= t;
        while (history.frames() >= batchSpan) addFrames(batch);

        if (reportProgress && denominator != 0) {
            reportProgress(std::clamp(
                static_cast<double>(result.inputFrames) / static_cast<double>(denominator), 0.0, 1.0));
        }
    }
    if (history.frames() >= frameSize) addFrames((history.frames() - frameSize) / hopSize + 1);
    if (result.stftFrames == 0) throw std::runtime_error("Measurement is too short for recompute");
    result.matrices = accumulator.takeRows();
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
