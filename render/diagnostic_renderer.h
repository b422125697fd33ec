#pragma once

#include <QVariantMap>
#include <cstdint>
#include <mutex>
#include <span>

#include "core/storage/device_profile.h"
#include "render/diagnostic_image_provider.h"
#include "render/diagnostic_state.h"
#include "render/plot_palette.h"

namespace zk::render {

// What the diagnostics renderer works on: the UiController's records and the mutexes that guard them.
// The controller owns all of it; its members of the same names call the functions below.
struct DiagnosticsContext {
    const DiagnosticDisplaySettings& settings;
    std::mutex& diagnosticsMutex;  // the UiController's diagnostics mutex: guards state
    DiagnosticsState& state;
    std::mutex& channelMeterMutex;  // the UiController's channel-meter mutex: guards meters
    ChannelMeters& meters;
    DiagnosticOutputs& outputs;
    DiagnosticImageProvider& provider;
    PlotPalette& palette;
};

// Source kinds of a block.
inline constexpr int kDiagnosticSourceLive = 1;
inline constexpr int kDiagnosticSourceReplay = 2;

// One diagnostics step on the live diagnostics thread or the replay reader thread: accumulates the block
// (int16 samples in wire order, whole frames of the profile's wire channels) and, when forced or at least
// 50 ms after the previous render (nowNs on the steady clock), paints the level, waveform, spectrum and
// waterfall images into the provider and publishes meters, summary and revision. Returns true after a
// render, when the caller emits diagnosticsUpdated. A block that does not fit the profile changes nothing.
bool renderDiagnosticImages(const DiagnosticsContext& context, std::span<const std::int16_t> block,
                            const core::DeviceProfile& profile, bool force, int sourceKind,
                            std::int64_t nowNs);

// The same at the steady clock's current time.
bool renderDiagnosticImages(const DiagnosticsContext& context, std::span<const std::int16_t> block,
                            const core::DeviceProfile& profile, bool force, int sourceKind);

// GUI thread: applies the palette map (applyPlotPalette) and, when waterfallBg changed, drops the
// waterfall history under the diagnostics mutex so that the next row starts a fresh image.
void setPlotPalette(const DiagnosticsContext& context, const QVariantMap& values);

}  // namespace zk::render
