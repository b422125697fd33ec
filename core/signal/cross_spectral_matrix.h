#pragma once

#include <complex>
#include <cstdint>
#include <span>
#include <vector>

#include "core/signal/matrix_rows.h"
#include "core/signal/spectral_framer.h"

namespace zk::core {

/// The largest channel count a matrix accepts: its two planes then hold 256 MiB.
inline constexpr std::uint64_t kMaxMatrixChannels = 4096;

/// Accumulates R = sum x x^H of per-channel spectrum vectors, as a plain running sum or (after
/// setAveragingAlpha) an exponential moving average. Only the upper triangle is stored; the diagonal's
/// imaginary parts stay exactly zero. One thread at a time may update an instance; updates allocate nothing.
class CrossSpectralMatrix {
  public:
    /// Throws std::invalid_argument when channelCount is 0 or above kMaxMatrixChannels.
    explicit CrossSpectralMatrix(std::uint64_t channelCount);

    /// Switches exponential averaging on for good: R = alpha R + (1 - alpha) x x^H from the second update
    /// after construction or reset on. Requires 0 < alpha < 1.
    void setAveragingAlpha(double alpha);

    /// One update with x = spectrum (one value per channel); frameCount grows by 1.
    void addSpectrum(std::span<const std::complex<double>> spectrum);

    /// One update per bin firstBin .. lastBin - 1 of the frame, all in the mode chosen at the start of the
    /// call; frameCount grows by 1 per call.
    void addFrameBins(const SpectralFrame& frame, std::uint64_t firstBin, std::uint64_t lastBin);

    [[nodiscard]] std::uint64_t frameCount() const { return frameCount_; }
    [[nodiscard]] std::uint64_t channelCount() const { return channelCount_; }

    /// Zeroes the matrix and the frame count; the averaging mode and alpha stay.
    void reset();

    /// The full Hermitian matrix: row i, column j = R_ij, the lower triangle as conjugates of the upper one.
    [[nodiscard]] MatrixRows toRows() const;

  private:
    void accumulate(bool exponential);

    std::uint64_t channelCount_;
    std::uint64_t frameCount_ = 0;
    std::vector<double> real_;  // row-major M*M, upper triangle only
    std::vector<double> imag_;
    std::vector<double> scratchRe_;  // the current vector split into planes for the packed kernel
    std::vector<double> scratchIm_;
    bool exponential_ = false;
    double alpha_ = 0.9;
};

}  // namespace zk::core
