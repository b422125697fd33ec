#pragma once

#include <QVideoFrame>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zk::camera {

// The filter modes of the camera picture, as QML sets them.
enum CameraFilterMode : int {
    kFilterPassThrough = 0,
    kFilterGrey = 1,
    kFilterInvert = 2,
    kFilterTurbo = 3,
    kFilterViridis = 4,
    kFilterMagma = 5,
    kFilterJet = 6,
    kFilterEdges = 7,
    kFilterEdgeOverlay = 8,
    kFilterZebra = 9,
    kFilterHalftone = 10,
    kFilterSharpen = 11,
};
inline constexpr int kFilterModeLast = kFilterSharpen;
inline constexpr double kFilterStrengthMax = 8.0;

// Filters width x height pixels of 32-bit 0xAARRGGBB words (alpha ignored) into dst, every output
// pixel opaque. Strides count pixels. mode 1 .. 11 (any other value copies the picture); strength must
// be finite, 0 .. 8. luma is scratch the caller keeps between frames (luma rows of the neighbourhood
// filters, the halftone's thresholds): it grows as a frame needs and never shrinks. src and dst must not
// overlap.
void filterPixels(int mode, double strength, const std::uint32_t* src, std::ptrdiff_t srcStride,
                  std::uint32_t* dst, std::ptrdiff_t dstStride, int width, int height,
                  std::vector<std::int32_t>& luma);

// One frame through filterPixels: the frame as an RGB32 image in, a new BGRA8888 frame of the same
// size out. A frame Qt cannot convert, or an output frame that cannot be mapped, gives an invalid
// frame. May run on any thread.
QVideoFrame filterVideoFrame(const QVideoFrame& frame, int mode, double strength,
                             std::vector<std::int32_t>& luma);

}  // namespace zk::camera
