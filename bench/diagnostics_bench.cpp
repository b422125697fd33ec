// One diagnostics render of a 256-frame block of the shipped 128-microphone profile (48 kHz) with every
// view: level bars of 128 channels, the waveform in each of its three modes, the selected channel's
// 8192-point spectrum and a waterfall row, over a history and frame ring already filled by 5 s of blocks.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <mutex>
#include <numbers>
#include <random>
#include <vector>

#include "core/storage/device_profile.h"
#include "render/diagnostic_renderer.h"

namespace {

using namespace zk;

constexpr std::size_t kBlockFrames = 256;

struct Owner {
    render::DiagnosticDisplaySettings settings;
    std::mutex diagnosticsMutex;
    render::DiagnosticsState state;
    std::mutex channelMeterMutex;
    render::ChannelMeters meters;
    render::DiagnosticOutputs outputs;
    render::DiagnosticImageProvider provider;
    render::PlotPalette palette;
    render::DiagnosticsContext context{settings, diagnosticsMutex, state,    channelMeterMutex,
                                       meters,   outputs,          provider, palette};
};

// Wire-order blocks: a tone per channel over noise, so every view has something to draw.
std::vector<std::int16_t> wireBlock(const core::DeviceProfile& profile, std::size_t firstFrame,
                                    std::mt19937& rng) {
    std::normal_distribution<double> noise(0.0, 300.0);
    const std::size_t wire = profile.wireChannelCount;
    std::vector<std::int16_t> block(kBlockFrames * wire);
    for (std::size_t f = 0; f < kBlockFrames; ++f) {
        const double t = static_cast<double>(firstFrame + f) / profile.sampleRateHz;
        for (std::size_t c = 0; c < wire; ++c) {
            const double tone = 8000.0 * std::sin(2.0 * std::numbers::pi * (500.0 + 20.0 * c) * t);
            block[f * wire + c] = static_cast<std::int16_t>(std::lround(tone + noise(rng)));
        }
    }
    return block;
}

void BM_DiagnosticsRender(benchmark::State& bench) {
    const core::DeviceProfile profile =
        core::loadDeviceProfile(ZK_PROFILES_DIR "/TM27-128-H1.6.2.device.json");
    Owner owner;
    owner.settings.setWaveformMode(static_cast<int>(bench.range(0)));
    owner.settings.setDiagnosticChannel(37);
    std::mt19937 rng(7);
    const std::size_t warmBlocks = 5 * profile.sampleRateHz / kBlockFrames;
    std::int64_t nowNs = 1'000'000'000;
    for (std::size_t b = 0; b < warmBlocks; ++b) {
        render::renderDiagnosticImages(owner.context, wireBlock(profile, b * kBlockFrames, rng), profile,
                                       false, render::kDiagnosticSourceLive, nowNs += 5'333'333);
    }
    const std::vector<std::int16_t> block = wireBlock(profile, warmBlocks * kBlockFrames, rng);
    for (auto _ : bench) {
        const bool rendered = render::renderDiagnosticImages(
            owner.context, block, profile, true, render::kDiagnosticSourceLive, nowNs += 50'000'000);
        benchmark::DoNotOptimize(rendered);
    }
    bench.counters["channels"] = static_cast<double>(profile.channelCount);
    const double renders = static_cast<double>(owner.outputs.renderCount.load());
    bench.counters["levelsUs"] = owner.outputs.levelsUs.load() / renders;
    bench.counters["waveformUs"] = owner.outputs.waveformUs.load() / renders;
    bench.counters["spectrumUs"] = owner.outputs.spectrumUs.load() / renders;
    bench.counters["waterfallUs"] = owner.outputs.waterfallUs.load() / renders;
    bench.counters["renderUs"] = owner.outputs.renderUs.load() / renders;
}
BENCHMARK(BM_DiagnosticsRender)
    ->ArgName("waveformMode")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond);

}  // namespace
