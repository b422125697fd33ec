#include "app/analysis_spectrum.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <numbers>
#include <optional>
#include <stdexcept>

#include "core/signal/fft.h"
#include "core/storage/file_io.h"

namespace zk::app {

namespace {

constexpr std::uint64_t kFramesPerRead = 4096;
constexpr double kFullScale = 32768.0;
constexpr double kAmplitudeFloor = 1e-6;

}  // namespace

std::size_t analysisSpectrumFftSize(std::uint64_t frames) {
    for (const std::size_t n : {8192u, 4096u, 2048u, 1024u, 512u}) {
        if (frames >= 2 * static_cast<std::uint64_t>(n)) return n;
    }
    return 256;
}

WindowSpectrum computeWindowSpectrum(const std::filesystem::path& rawFile, std::uint32_t wireChannels,
                                     std::uint64_t startFrame, std::uint64_t frameCount, std::size_t fftSize,
                                     std::size_t hop, const std::atomic<bool>& cancel) {
    WindowSpectrum result;
    const std::size_t n = fftSize;
    if (wireChannels == 0 || n < 8 || (n & (n - 1)) != 0 || hop == 0) return result;

    // Regular files only: a named pipe in place of raw.int16 must never block this thread.
    const core::FileHandle in = core::openFileForReading(rawFile);
    const std::optional<std::uint64_t> size = in ? core::regularFileSize(in.get()) : std::nullopt;
    if (!size) throw std::runtime_error("cannot open raw file for the analysis spectrum");
    const std::uint64_t fileBytes = *size;
    const std::uint64_t frameBytes = 2ULL * wireChannels;
    if (startFrame >= fileBytes / frameBytes) return result;
    if (!core::seekFileTo(in.get(), startFrame * frameBytes)) return result;

    std::vector<double> window(n);
    double windowSum = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        window[i] =
            0.5 *
            (1.0 - std::cos(2.0 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(n - 1)));
        windowSum += window[i];
    }
    const std::size_t bins = n / 2 + 1;
    std::vector<double> averageSum(bins, 0.0);
    std::vector<double> peak(bins, 0.0);
    std::uint64_t transforms = 0;

    std::vector<std::vector<double>> history(wireChannels);
    std::vector<std::size_t> head(wireChannels, 0);
    std::vector<char> bytes;
    std::vector<std::complex<double>> buffer;
    std::uint64_t remaining = frameCount;
    while (remaining > 0 && !cancel.load()) {
        const std::uint64_t want = std::min(remaining, kFramesPerRead);
        bytes.resize(want * frameBytes);
        const std::uint64_t got = std::fread(bytes.data(), 1, bytes.size(), in.get()) / frameBytes;
        if (got == 0) break;
        remaining -= got;
        for (std::uint64_t f = 0; f < got; ++f) {
            for (std::uint32_t c = 0; c < wireChannels; ++c) {
                const std::size_t at = (f * wireChannels + c) * 2;
                const auto value = static_cast<std::int16_t>(
                    static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                               (static_cast<unsigned char>(bytes[at + 1]) << 8)));
                history[c].push_back(static_cast<double>(value));
            }
        }
        for (std::uint32_t c = 0; c < wireChannels; ++c) {
            std::vector<double>& samples = history[c];
            while (samples.size() - head[c] >= n) {
                const double* x = samples.data() + head[c];
                double mean = 0.0;
                for (std::size_t i = 0; i < n; ++i) mean += x[i];
                mean /= static_cast<double>(n);
                buffer.resize(n);
                for (std::size_t i = 0; i < n; ++i) buffer[i] = {(x[i] - mean) * window[i], 0.0};
                buffer = core::fftRadix2(std::move(buffer));
                for (std::size_t m = 0; m < bins; ++m) {
                    const double gain = m == 0 || m == n / 2 ? 1.0 : 2.0;
                    const double amplitude = std::abs(buffer[m]) * gain / (windowSum * kFullScale);
                    averageSum[m] += amplitude;
                    peak[m] = std::max(peak[m], amplitude);
                }
                ++transforms;
                head[c] += hop;
            }
            // The consumed front goes once per read, so each sample moves at most once or twice.
            const std::size_t drop = std::min(head[c], samples.size());
            samples.erase(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(drop));
            head[c] -= drop;
        }
        if (got < want) break;
    }
    if (transforms == 0) return result;
    result.averageDbfs.resize(bins);
    result.peakDbfs.resize(bins);
    for (std::size_t m = 0; m < bins; ++m) {
        const double average = averageSum[m] / static_cast<double>(transforms);
        result.averageDbfs[m] = 20.0 * std::log10(std::max(average, kAmplitudeFloor));
        result.peakDbfs[m] = 20.0 * std::log10(std::max(peak[m], kAmplitudeFloor));
    }
    return result;
}

}  // namespace zk::app
