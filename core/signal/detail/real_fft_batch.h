#pragma once

#include <complex>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zk::core::detail {

// The widest batch any variant uses, in channels.
inline constexpr std::size_t kMaxRealFftLanes = 8;

// Plan of the real N-point transform of a batch of channels, computed as one N/2-point complex transform
// per channel with the even samples as real and the odd ones as imaginary parts. The channels of a batch
// sit in the lanes of the vector registers, so each channel runs exactly the operations it would run alone
// and its spectrum does not depend on its neighbours.
struct RealFftBatchPlan {
    std::uint64_t frameSize = 0;
    std::vector<std::uint32_t> bitReverse;  // of the N/2-point transform
    std::vector<double> stageRe;            // e^(-i pi j / h) of the stage of half-length h at h + j
    std::vector<double> stageIm;
    std::vector<double> postRe;  // e^(-2 pi i k / N) for k <= N/4
    std::vector<double> postIm;
};

// frameSize is a power of two, at least 4.
[[nodiscard]] RealFftBatchPlan makeRealFftBatchPlan(std::uint64_t frameSize);

// Doubles of scratch one batch of `lanes` channels needs, a multiple of 8 so that consecutive blocks stay
// 64-byte aligned.
[[nodiscard]] std::size_t realFftBatchScratchDoubles(std::uint64_t frameSize, std::size_t lanes);

// Channels per batch of the kernel variant the current vector level picks (2, 4 or 8).
[[nodiscard]] std::size_t realFftBatchLanes();

// One batch: channel l (l < lanesUsed) reads its N samples at samples[k * stride + l], removes their
// mean, applies window and scale, and writes its N-bin spectrum to spectra[l]. scratch holds
// realFftBatchScratchDoubles(frameSize, lanes) doubles, 64-byte aligned; lanes is what realFftBatchLanes
// returned.
struct RealFftBatch {
    const std::int16_t* samples = nullptr;
    std::size_t stride = 0;
    std::size_t lanesUsed = 0;
    const double* window = nullptr;
    double scale = 0.0;
    std::complex<double>* const* spectra = nullptr;
};

void transformRealBatch(const RealFftBatchPlan& plan, std::size_t lanes, const RealFftBatch& batch,
                        double* scratch);

}  // namespace zk::core::detail
