#pragma once

#include <QColor>
#include <QImage>
#include <QRgb>
#include <cstdint>
#include <optional>
#include <span>

#include "render/colormaps.h"

namespace zk::render {

// The scrolling spectrogram's history. Guarded by the UiController's diagnostics mutex: the diagnostics
// and replay threads add rows, the GUI thread's palette and colormap setters drop the image.
struct WaterfallState {
    QImage image;  // 820 x 200 ARGB32, newest row at the top; any other size restarts it
    std::optional<std::int64_t> lastRowNs;  // steady clock of the last row
    double averageRowIntervalS = 0.0;       // smoothed time between rows; not positive before the second row
};

// The table a waterfallColormap value selects: 0 viridis, 1 Turbo, 2 jet, any other value magma.
[[nodiscard]] const ColormapTable& waterfallColormapTable(int index);

// The colour at position 0 .. 1 of a 256-entry table, interpolated between neighbouring entries; below 0
// (or NaN) gives entry 0, from 255/255 on entry 255. Opaque.
[[nodiscard]] QRgb sampleColormap(std::span<const std::uint8_t, 768> table, double position);

// Scrolls the waterfall down by one row and paints the spectrum (dBFS, 0 Hz to Nyquist) as its new top
// row, -100 dBFS at the table's start and -20 dBFS at its end; an empty spectrum changes nothing.
// Returns the time the image spans (200 x the average row interval, in seconds).
double updateWaterfallImage(WaterfallState& state, std::span<const double> spectrumDbfs, double sampleRateHz,
                            const ColormapTable& table, const QColor& background, std::int64_t nowNs);

}  // namespace zk::render
