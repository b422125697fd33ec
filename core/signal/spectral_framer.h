#pragma once

#include <complex>
#include <cstdint>
#include <span>
#include <vector>

namespace zk::core {

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
/// channel. Immutable after construction, so one instance may serve several threads.
class SpectralFramer {
  public:
    /// frameSize must be a power of two and 1 <= hop <= frameSize; throws std::invalid_argument otherwise.
    /// A frame size of 1 uses the window weight 1 (its Hann formula would be 0/0); after mean removal
    /// such frames are all zero.
    SpectralFramer(std::uint64_t frameSize, std::uint64_t hop);

    /// samples are interleaved by frame, channelCount per frame. Returns the frames in time order, none
    /// when there are fewer than frameSize samples per channel. Runs the channels of a frame on 4 OpenMP
    /// threads when there are 16 or more.
    [[nodiscard]] std::vector<SpectralFrame> frame(std::span<const std::int16_t> samples,
                                                   std::uint64_t channelCount) const;

    [[nodiscard]] std::uint64_t frameSize() const { return frameSize_; }
    [[nodiscard]] std::uint64_t hop() const { return hop_; }
    [[nodiscard]] const std::vector<double>& window() const { return window_; }
    [[nodiscard]] double amplitudeScale() const { return amplitudeScale_; }

  private:
    std::uint64_t frameSize_;
    std::uint64_t hop_;
    std::vector<double> window_;
    double amplitudeScale_ = 0.0;
};

}  // namespace zk::core
