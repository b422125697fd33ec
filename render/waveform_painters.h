#pragma once

#include <QImage>
#include <cstddef>
#include <cstdint>
#include <span>

#include "render/plot_palette.h"

namespace zk::render {

// The single-channel trace and the scale it was drawn with (the largest excursion from the mean x 1.1,
// at least 1.1), published as the plot's amplitude range.
struct SingleTraceWaveform {
    QImage image;
    double scale = 1.1;
};

// Min-max trace of one channel across the 820 columns, in the palette's spectrum colour.
[[nodiscard]] SingleTraceWaveform paintSingleTraceWaveform(std::span<const double> samples,
                                                           const PlotColors& colors);

// Interleaved int16 frames of channelCount consecutive logical channels, the first being firstChannel:
// the whole frame ring, or just the sixteen-channel bank a view shows.
struct WaveformFrames {
    std::span<const std::int16_t> samples;
    std::size_t channelCount = 0;
    std::size_t firstChannel = 0;
};

// Sixteen lanes, one per channel of the bank holding selectedChannel, over the newest sampleRateHz x
// seconds frames (at least 64); lanes of channels the frames do not hold stay empty.
[[nodiscard]] QImage paintLanesWaveform(const WaveformFrames& frames, std::size_t selectedChannel,
                                        double sampleRateHz, double seconds, const PlotColors& colors);

// The same bank overlaid on one scale, each channel in its own hue, the selected one opaque and on top.
[[nodiscard]] QImage paintOverlayWaveform(const WaveformFrames& frames, std::size_t selectedChannel,
                                          double sampleRateHz, double seconds);

}  // namespace zk::render
