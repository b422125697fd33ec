#pragma once

#include <array>
#include <cstdint>

namespace zk::render {

// One 256-entry colormap: the R, G, B bytes of entry 0 (lowest level) to entry 255 (highest).
using ColormapTable = std::array<std::uint8_t, 768>;

// The published colormaps sampled at 256 points and rounded to 8 bits per channel. The heatmap colour
// strips are, in this order, viridis, Turbo and jet; the magma table of the diagnostic waterfall and
// the camera filter belongs beside them here.
extern const ColormapTable kViridisTable;
extern const ColormapTable kTurboTable;
extern const ColormapTable kJetTable;

}  // namespace zk::render
