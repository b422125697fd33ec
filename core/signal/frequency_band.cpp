#include "core/signal/frequency_band.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace zk::core {

namespace {

constexpr std::int32_t kModeSingle = 1;
constexpr std::int32_t kModeThirdOctave = 2;
constexpr std::int32_t kModeCustom = 3;

// Candidates are always consecutive bins, so they are kept as a range and never materialised: a
// custom band at a large FFT size may span far more bins than will be selected.
struct BinRange {
    std::uint64_t first = 0;
    std::uint64_t count = 0;
};

// Rounds half away from zero like llround, but clamps to 1 .. top before converting so that a
// quotient near 2^63 never overflows the integer type.
std::uint64_t centreBin(double ratio, std::uint64_t top) {
    const double rounded = std::round(ratio);
    if (rounded >= static_cast<double>(top)) return top;
    if (rounded < 1.0) return 1;
    return static_cast<std::uint64_t>(rounded);
}

BinRange candidateRange(std::int32_t mode, double low, double high, double df, std::uint64_t top,
                        std::uint64_t centre) {
    if (mode == kModeSingle) return {centre, 1};
    const double firstD = std::max(std::ceil(low / df), 1.0);
    const double lastD = std::floor(high / df);
    if (firstD > static_cast<double>(top) || firstD > lastD) return {centre, 1};
    const auto first = static_cast<std::uint64_t>(firstD);
    const std::uint64_t last = lastD >= static_cast<double>(top) ? top : static_cast<std::uint64_t>(lastD);
    if (first > last) return {centre, 1};
    return {first, last - first + 1};
}

// Without a limit a wide band keeps only the 32 bins around the centre bin.
BinRange centreWindow(BinRange range, std::uint64_t centre) {
    constexpr std::uint64_t kWindow = 32;
    constexpr std::uint64_t kHalfWindow = 16;
    if (range.count <= kWindow) return range;
    const std::uint64_t last = range.first + range.count - 1;
    std::uint64_t p = 0;
    if (centre > last) {
        p = range.count / 2;
    } else if (centre > range.first) {
        p = centre - range.first;
    }
    std::uint64_t start = p > kHalfWindow ? p - kHalfWindow : 0;
    if (start + kWindow > range.count) start = range.count - kWindow;
    return {range.first + start, kWindow};
}

std::vector<std::uint64_t> selectBins(BinRange range, std::uint64_t k, std::uint64_t centre) {
    std::vector<std::uint64_t> bins;
    const std::uint64_t n = range.count;
    if (k == 1) {
        // Nearest candidate to the centre bin; within a consecutive range that is the clamped centre.
        bins.push_back(std::clamp(centre, range.first, range.first + n - 1));
    } else if (k < n) {
        bins.reserve(k);
        // i * (n - 1) is formed before the division so that an exact half stays exact and rounds up.
        for (std::uint64_t i = 0; i < k; ++i) {
            const auto position = static_cast<std::uint64_t>(
                std::round(static_cast<double>(i) * static_cast<double>(n - 1) / static_cast<double>(k - 1)));
            const std::uint64_t bin = range.first + std::min(position, n - 1);
            if (bins.empty() || bins.back() != bin) bins.push_back(bin);
        }
    } else {
        bins.reserve(n);
        for (std::uint64_t i = 0; i < n; ++i) bins.push_back(range.first + i);
    }
    return bins;
}

}  // namespace

const char* bandModeName(std::int32_t mode) {
    switch (mode) {
        case kModeSingle:
            return "single";
        case kModeThirdOctave:
            return "1/3-octave";
        case kModeCustom:
            return "custom";
        default:
            return "unknown";
    }
}

FrequencyBand resolveFrequencyBand(std::uint32_t sampleRate, std::uint64_t fftSize,
                                   const FrequencyBandParameters& parameters) {
    const double c = parameters.centerHz;
    if (sampleRate == 0 || fftSize < 2 || !std::isfinite(c) || !(c > 0.0)) {
        throw std::invalid_argument("invalid frequency-band parameters");
    }
    const double fs = static_cast<double>(sampleRate);
    const double nyquist = fs / 2.0;
    if (c > nyquist) throw std::invalid_argument("frequency-band center exceeds Nyquist");
    const double df = fs / static_cast<double>(fftSize);
    // The Nyquist bin of a real signal holds only the cosine part of what lies there, so its level depends
    // on where the frame starts: a band ends one bin below it (a frame of two points has no other bin).
    const std::uint64_t half = fftSize / 2;
    const std::uint64_t top = half > 1 ? half - 1 : half;

    double low = 0.0;
    double high = 0.0;
    switch (parameters.mode) {
        case kModeSingle:
            low = c;
            high = c;
            break;
        case kModeThirdOctave: {
            const double k = std::pow(2.0, 1.0 / 6.0);
            low = c / k;
            high = c * k;
            break;
        }
        case kModeCustom: {
            const double bw = parameters.bandwidthHz;
            if (!std::isfinite(bw) || !(bw > 0.0)) {
                throw std::invalid_argument("custom bandwidth must be positive");
            }
            low = c - bw / 2.0;
            high = c + bw / 2.0;
            break;
        }
        default:
            throw std::invalid_argument("unsupported frequency-band mode");
    }
    high = std::min(high, nyquist);
    low = std::max(low, df);
    if (low > high) throw std::invalid_argument("frequency band contains no positive bin");

    const std::uint64_t centre = centreBin(c / df, top);
    BinRange range = candidateRange(parameters.mode, low, high, df, top, centre);
    const std::uint64_t limit = parameters.binLimit;
    if (limit == 0 && parameters.mode != kModeSingle) range = centreWindow(range, centre);
    std::uint64_t k = (limit != 0 && range.count >= limit) ? limit : range.count;
    if (parameters.mode == kModeSingle) k = 1;
    // A bin limit as large as a huge FFT size would otherwise ask for one list entry per candidate.
    if (k > kMaxFrequencyBandBins) throw std::invalid_argument("invalid frequency-band parameters");

    FrequencyBand band;
    band.parameters = parameters;
    band.lowEdgeHz = low;
    band.highEdgeHz = high;
    band.binIndices = selectBins(range, k, centre);
    band.binFrequenciesHz.reserve(band.binIndices.size());
    for (const std::uint64_t bin : band.binIndices) {
        band.binFrequenciesHz.push_back(static_cast<double>(bin) * df);
    }
    band.firstFrequencyHz = band.binFrequenciesHz.front();
    band.lastFrequencyHz = band.binFrequenciesHz.back();
    band.representativeFrequencyHz = band.binFrequenciesHz.front();
    double bestDistance = std::abs(band.representativeFrequencyHz - c);
    for (const double f : band.binFrequenciesHz) {
        const double distance = std::abs(f - c);
        if (distance < bestDistance) {
            bestDistance = distance;
            band.representativeFrequencyHz = f;
        }
    }
    return band;
}

}  // namespace zk::core
