#pragma once

#include <complex>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

namespace zk::core {

namespace detail {
struct RealFftBatchPlan;
}

/// The largest frame size a framer accepts (about 22 s at 48 kHz).
inline constexpr std::uint64_t kMaxSpectralFrameSize = std::uint64_t{1} << 20;

/// One windowed FFT frame of every logical channel.
struct SpectralFrame {
    std::uint64_t frameSize = 0;
    std::uint64_t channelCount = 0;
    /// channelCount spectra in logical-channel order, each of frameSize bins in natural order
    /// (bins above frameSize / 2 are the negative frequencies).
    std::vector<std::vector<std::complex<double>>> spectra;
};

/// Cuts interleaved logical-channel int16 samples into overlapping frames, removes each channel's mean,
/// applies a symmetric Hann window scaled so a full-scale sine peaks near 1/sqrt(2), and transforms each
/// channel. Its configuration is immutable after construction, so one instance may serve several threads.
class SpectralFramer {
  public:
    /// frameSize must be a power of two up to kMaxSpectralFrameSize whose window has energy (every size but
    /// 2) and 1 <= hop <= frameSize; throws std::invalid_argument otherwise. A frame size of 1 uses the
    /// window weight 1 (its Hann formula would be 0/0); after mean removal such frames are all zero.
    SpectralFramer(std::uint64_t frameSize, std::uint64_t hop);

    /// samples are interleaved by frame, channelCount per frame. Returns the frames in time order, none
    /// when there are fewer than frameSize samples per channel. Runs the channels of a frame on 4 OpenMP
    /// threads when there are 16 or more.
    [[nodiscard]] std::vector<SpectralFrame> frame(std::span<const std::int16_t> samples,
                                                   std::uint64_t channelCount) const;

    /// The same frames as frame, written into `frames`, which is resized to their number. The frames and
    /// spectra it already holds are reused, so a caller that keeps `frames` between hops of one size
    /// allocates nothing after the first. An invalid stream throws as in frame before `frames` changes.
    void frameInto(std::span<const std::int16_t> samples, std::uint64_t channelCount,
                   std::vector<SpectralFrame>& frames) const;

    [[nodiscard]] std::uint64_t frameSize() const { return frameSize_; }
    [[nodiscard]] std::uint64_t hop() const { return hop_; }
    [[nodiscard]] const std::vector<double>& window() const { return window_; }
    [[nodiscard]] double amplitudeScale() const { return amplitudeScale_; }

  private:
    // Transform scratch kept between calls. A copy of the framer starts with its own, empty one.
    struct Scratch {
        Scratch() = default;
        Scratch(const Scratch&) {}
        Scratch& operator=(const Scratch&) { return *this; }

        std::mutex mutex;  // held by the frameInto call using `doubles`; a concurrent call uses its own
        std::vector<double> doubles;  // guarded by mutex
    };

    void transformFrame(std::span<const std::int16_t> samples, std::uint64_t channelCount,
                        std::uint64_t start, SpectralFrame& frame, std::size_t lanes, std::size_t workers,
                        double* scratch) const;

    std::uint64_t frameSize_;
    std::uint64_t hop_;
    std::vector<double> window_;
    double amplitudeScale_ = 0.0;
    std::shared_ptr<const detail::RealFftBatchPlan> plan_;  // null for frame size 1
    mutable Scratch scratch_;
};

}  // namespace zk::core
