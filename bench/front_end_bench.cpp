// Front end of the signal chain: FFT, framing and cross-spectral updates at live-stream sizes
// (128 microphones, frame 1024, a band of 32 bins), and the whole live front end per hop.

#include <benchmark/benchmark.h>
#include <omp.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <complex>
#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "core/platform/cpu_features.h"
#include "core/signal/cross_spectral_matrix.h"
#include "core/signal/fft.h"
#include "core/signal/frequency_band.h"
#include "core/signal/interleaved_sample_buffer.h"
#include "core/signal/spectral_framer.h"
#include "core/storage/device_profile.h"

namespace {

constexpr std::uint64_t kChannels = 128;
constexpr std::uint64_t kFrameSize = 1024;
constexpr std::uint64_t kBandFirstBin = 160;
constexpr std::uint64_t kBandBins = 32;

std::vector<std::complex<double>> randomComplex(std::size_t n, std::mt19937& rng) {
    std::normal_distribution<double> dist(0.0, 1.0);
    std::vector<std::complex<double>> v(n);
    for (auto& x : v) {
        x = {dist(rng), dist(rng)};
    }
    return v;
}

// Caps the kernels at the level named by a benchmark argument for the scope of one run.
class VectorLevelScope {
  public:
    explicit VectorLevelScope(benchmark::State& state) {
        const auto level = static_cast<zk::core::VectorLevel>(state.range(0));
        zk::core::detail::limitVectorLevel(level);
        if (zk::core::vectorLevel() != level) {
            state.SkipWithError("vector level not available on this CPU or in this build");
        }
        label_ = zk::core::vectorLevelName(level);
    }
    ~VectorLevelScope() { zk::core::detail::limitVectorLevel(zk::core::VectorLevel::kAvx512); }
    VectorLevelScope(const VectorLevelScope&) = delete;
    VectorLevelScope& operator=(const VectorLevelScope&) = delete;

    [[nodiscard]] const std::string& label() const { return label_; }

  private:
    std::string label_;
};

// 1024-point transform per vector level (0 baseline, 1 AVX2, 2 AVX-512); the timing includes refilling
// the 16 KiB input, since the transform consumes it.
void BM_FftRadix2_1024(benchmark::State& state) {
    const VectorLevelScope level(state);
    std::mt19937 rng(1);
    const auto input = randomComplex(kFrameSize, rng);
    for (auto _ : state) {
        auto spectrum = zk::core::fftRadix2(input);
        benchmark::DoNotOptimize(spectrum.data());
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(level.label());
}
BENCHMARK(BM_FftRadix2_1024)->DenseRange(0, 2);

// One hop: exactly 1024 samples of each of 128 channels, giving one frame (128 windowed 1024-point
// transforms) in reused buffers, per vector level (0 baseline, 1 AVX2, 2 AVX-512), on 4 threads.
void BM_SpectralFramerHop_128ch_1024(benchmark::State& state) {
    const VectorLevelScope level(state);
    std::mt19937 rng(2);
    std::uniform_int_distribution<int> dist(-32768, 32767);
    std::vector<std::int16_t> samples(kChannels * kFrameSize);
    for (auto& s : samples) {
        s = static_cast<std::int16_t>(dist(rng));
    }
    const zk::core::SpectralFramer framer(kFrameSize, kFrameSize / 2);
    std::vector<zk::core::SpectralFrame> frames;
    for (auto _ : state) {
        framer.frameInto(samples, kChannels, frames);
        benchmark::DoNotOptimize(frames.data());
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(level.label());
}
BENCHMARK(BM_SpectralFramerHop_128ch_1024)->DenseRange(0, 2)->UseRealTime();

// addFrameBins over 32 bins of one 128-channel frame into one matrix (32 rank-one updates of 128 x 128).
void csmUpdate(benchmark::State& state, bool exponential) {
    std::mt19937 rng(3);
    zk::core::SpectralFrame frame{kFrameSize, kChannels, {}};
    for (std::uint64_t c = 0; c < kChannels; ++c) {
        frame.spectra.push_back(randomComplex(kFrameSize, rng));
    }
    zk::core::CrossSpectralMatrix matrix(kChannels);
    if (exponential) {
        matrix.setAveragingAlpha(0.9);
    }
    matrix.addFrameBins(frame, kBandFirstBin, kBandFirstBin + kBandBins);
    for (auto _ : state) {
        matrix.addFrameBins(frame, kBandFirstBin, kBandFirstBin + kBandBins);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBandBins);
}

void BM_CsmAddFrameBinsPlain_128ch_32bins(benchmark::State& state) { csmUpdate(state, false); }
BENCHMARK(BM_CsmAddFrameBinsPlain_128ch_32bins);

void BM_CsmAddFrameBinsExponential_128ch_32bins(benchmark::State& state) { csmUpdate(state, true); }
BENCHMARK(BM_CsmAddFrameBinsExponential_128ch_32bins);

// The live front end as the streaming engine runs it, one hop per iteration: gather 512 wire frames of the
// shipped 128-microphone profile into logical order, frame the latest 1024 samples per channel (Hann, FFT),
// pick the 32 bins of the third-octave band at 8 kHz and update one exponentially averaged 128 x 128
// matrix per bin from a parallel loop over the bins. 48 kHz, hop 512 (10.7 ms of signal).
class LiveFrontEnd {
  public:
    LiveFrontEnd()
        : profile_(zk::core::loadDeviceProfile(ZK_PROFILES_DIR "/TM27-128-H1.6.2.device.json")),
          channels_(profile_.channelCount),
          wireChannels_(profile_.wireChannelCount),
          map_(zk::core::buildChannelGatherMap(
              std::vector<std::uint64_t>(profile_.logicalToWire.begin(), profile_.logicalToWire.end()))),
          framer_(kFrameSize, kHop),
          band_(zk::core::resolveFrequencyBand(profile_.sampleRateHz, kFrameSize, {})),
          wire_(kHop * wireChannels_),
          history_(kFrameSize * channels_),
          bandValues_(band_.binIndices.size() * channels_) {
        std::mt19937 rng(4);
        std::uniform_int_distribution<int> dist(-32768, 32767);
        for (auto& s : wire_) {
            s = static_cast<std::int16_t>(dist(rng));
        }
        const double alpha = std::exp(-(static_cast<double>(kHop) / profile_.sampleRateHz) / 0.5);
        matrices_.reserve(band_.binIndices.size());
        for (std::size_t i = 0; i < band_.binIndices.size(); ++i) {
            matrices_.emplace_back(channels_);
            matrices_.back().setAveragingAlpha(alpha);
        }
    }

    void hop(int threads) {
        // Slide the window by one hop and gather the new wire frames into its tail.
        std::copy(history_.begin() + kHop * channels_, history_.end(), history_.begin());
        zk::core::gatherLogicalChannels(map_, wire_, std::span(history_).last(kHop * channels_),
                                        wireChannels_);
        framer_.frameInto(history_, channels_, frames_);
        const zk::core::SpectralFrame& frame = frames_.front();
        const std::size_t bins = band_.binIndices.size();
        for (std::size_t i = 0; i < bins; ++i) {
            for (std::size_t c = 0; c < channels_; ++c) {
                bandValues_[i * channels_ + c] = frame.spectra[c][band_.binIndices[i]];
            }
        }
        const auto count = static_cast<std::int64_t>(bins);
#pragma omp parallel for num_threads(threads) schedule(static) if (count >= 4)
        for (std::int64_t i = 0; i < count; ++i) {
            matrices_[static_cast<std::size_t>(i)].addSpectrum(
                std::span(bandValues_).subspan(static_cast<std::size_t>(i) * channels_, channels_));
        }
    }

    [[nodiscard]] double hopSeconds() const { return static_cast<double>(kHop) / profile_.sampleRateHz; }
    [[nodiscard]] std::size_t bins() const { return band_.binIndices.size(); }

  private:
    static constexpr std::uint64_t kHop = 512;

    zk::core::DeviceProfile profile_;
    std::uint64_t channels_;
    std::uint64_t wireChannels_;
    zk::core::ChannelGatherMap map_;
    zk::core::SpectralFramer framer_;
    zk::core::FrequencyBand band_;
    std::vector<zk::core::CrossSpectralMatrix> matrices_;
    std::vector<std::int16_t> wire_;
    std::vector<std::int16_t> history_;
    std::vector<zk::core::SpectralFrame> frames_;
    std::vector<std::complex<double>> bandValues_;
};

// Reports "realtime" = seconds of processing per second of signal. One thread means every OpenMP region,
// the framer's included, runs on the calling thread.
void BM_LiveFrontEnd(benchmark::State& state) {
    const int threads = static_cast<int>(state.range(0));
    const int levels = omp_get_max_active_levels();
    omp_set_max_active_levels(threads == 1 ? 0 : levels);
    LiveFrontEnd frontEnd;
    for (int i = 0; i < 20; ++i) {
        frontEnd.hop(threads);  // settles the average and the buffers
    }
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        frontEnd.hop(threads);
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    omp_set_max_active_levels(levels);
    state.counters["realtime"] =
        elapsed.count() / (static_cast<double>(state.iterations()) * frontEnd.hopSeconds());
    state.SetLabel("M=128, frame 1024, hop 512, 48 kHz, " + std::to_string(frontEnd.bins()) + " bins, " +
                   std::to_string(threads) + " thread(s)");
}

// The best of several repetitions is the figure least disturbed by other work on a shared machine.
double fastest(const std::vector<double>& runs) { return *std::min_element(runs.begin(), runs.end()); }

BENCHMARK(BM_LiveFrontEnd)
    ->Arg(1)
    ->Arg(4)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ComputeStatistics("min", fastest);

}  // namespace
