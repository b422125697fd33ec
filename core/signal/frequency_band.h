#pragma once

#include <cstdint>
#include <vector>

namespace zk::core {

/// The user's band choice. A plain value published as std::shared_ptr<const FrequencyBandParameters>.
struct FrequencyBandParameters {
    std::uint64_t revision = 0;
    std::int32_t mode = 2;  // 1 single bin, 2 third-octave, 3 custom
    double centerHz = 8000.0;
    double bandwidthHz = 2000.0;  // mode 3 only
    std::uint64_t binLimit = 0;   // largest number of bins to use; 0 = no limit
};

/// Mode text used in files and exports: "single", "1/3-octave", "custom", otherwise "unknown".
const char* bandModeName(std::int32_t mode);

/// A band resolved for one sample rate and FFT size: the bins every consumer works on.
struct FrequencyBand {
    FrequencyBandParameters parameters;
    double lowEdgeHz = 0.0;  // edges after clamping to df .. fs/2
    double highEdgeHz = 0.0;
    double firstFrequencyHz = 0.0;  // of the first and last selected bin
    double lastFrequencyHz = 0.0;
    double representativeFrequencyHz = 0.0;
    std::vector<std::uint64_t>
        binIndices;  // ascending, unique, each in 1 .. fftSize/2 - 1 (1 when fftSize is 2)
    std::vector<double> binFrequenciesHz;  // bin * sampleRate / fftSize, one per index
};

/// The most bins a band may select: half the largest spectral frame, so any band of a frame the framer
/// accepts fits.
inline constexpr std::uint64_t kMaxFrequencyBandBins = std::uint64_t{1} << 19;

/// Resolves the band's bins; fftSize need not be a power of two. Throws std::invalid_argument, also when
/// the selection would hold more than kMaxFrequencyBandBins bins.
FrequencyBand resolveFrequencyBand(std::uint32_t sampleRate, std::uint64_t fftSize,
                                   const FrequencyBandParameters& parameters);

}  // namespace zk::core
