#pragma once

#include "render/colormaps.h"

namespace zk::render {

// The published magma colormap sampled at 256 points and rounded to 8 bits per channel: the diagnostic
// waterfall's fourth table and the camera filter's.
extern const ColormapTable kMagmaTable;

}  // namespace zk::render
