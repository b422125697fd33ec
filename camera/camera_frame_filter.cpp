#include "camera/camera_frame_filter.h"

#include <QImage>
#include <QVideoFrameFormat>
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>

#include "render/colormaps.h"
#include "render/magma_colormap.h"

namespace zk::camera {
namespace {

// BGRA8888 frame memory read as little-endian words is QImage's 0xAARRGGBB.
static_assert(std::endian::native == std::endian::little);

constexpr std::uint32_t kOpaque = 0xff000000u;
constexpr std::uint32_t kEdgeRed = kOpaque | (255u << 16) | (13u << 8) | 26u;
constexpr double kEdgeOverlayLevel = 0.35;
constexpr int kZebraStripePx = 24;
constexpr int kHalftoneCellPx = 6;

inline int redOf(std::uint32_t p) { return static_cast<int>((p >> 16) & 0xffu); }
inline int greenOf(std::uint32_t p) { return static_cast<int>((p >> 8) & 0xffu); }
inline int blueOf(std::uint32_t p) { return static_cast<int>(p & 0xffu); }
inline std::uint32_t rgb(int r, int g, int b) {
    return kOpaque | (static_cast<std::uint32_t>(r) << 16) | (static_cast<std::uint32_t>(g) << 8) |
           static_cast<std::uint32_t>(b);
}
inline std::uint32_t grey(int level) { return kOpaque | static_cast<std::uint32_t>(level) * 0x010101u; }
inline std::int32_t lumaOf(std::uint32_t p) { return (11 * redOf(p) + 16 * greenOf(p) + 5 * blueOf(p)) >> 5; }
inline int clampByte(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }
inline double clampUnit(double v) { return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v); }

// Luma scaled by strength and clamped to 0 .. 1: the level the colour tables and the halftone read.
inline double scaledLevel(int y, double strength) { return clampUnit(y / 255.0 * strength); }

const render::ColormapTable& tableOf(int mode) {
    switch (mode) {
        case kFilterTurbo:
            return render::kTurboTable;
        case kFilterViridis:
            return render::kViridisTable;
        case kFilterMagma:
            return render::kMagmaTable;
        default:
            return render::kJetTable;
    }
}

using Pixel = std::uint32_t;

// Each pixel through a function of its own value; op(pixel) gives the output pixel.
template <typename PixelOp>
void mapPixels(const Pixel* src, std::ptrdiff_t srcStride, Pixel* dst, std::ptrdiff_t dstStride, int width,
               int height, PixelOp op) {
    for (int y = 0; y < height; ++y) {
        const Pixel* __restrict in = src + y * srcStride;
        Pixel* __restrict out = dst + y * dstStride;
        for (int x = 0; x < width; ++x) out[x] = op(in[x]);
    }
}

// The Sobel magnitude of gradient energy q = gx^2 + gy^2 scaled by strength, clamped to 0 .. 1. It never
// falls as q grows, which the edge overlay's threshold search relies on.
inline double edgeLevel(std::int32_t q, double strength) {
    return std::min(strength * (0.5 * std::sqrt(static_cast<double>(q))) / 255.0, 1.0);
}
constexpr std::int32_t kMaxGradientEnergy = 2 * 1020 * 1020;

// The smallest gradient energy whose edge level reaches kEdgeOverlayLevel; past the largest when none.
std::int32_t edgeOverlayEnergy(double strength) {
    std::int32_t lo = 0;
    std::int32_t hi = kMaxGradientEnergy + 1;
    while (lo < hi) {
        const std::int32_t mid = lo + (hi - lo) / 2;
        if (edgeLevel(mid, strength) >= kEdgeOverlayLevel)
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

// Column sums of the three luma rows around one image row, one value of padding at each end so that a
// neighbour beyond the border reads the border pixel.
struct ColumnSums {
    std::int32_t* __restrict weighted;    // up + 2 mid + down, for the horizontal gradient
    std::int32_t* __restrict difference;  // down - up, for the vertical gradient
    std::int32_t* __restrict plain;       // up + mid + down, for the 3 x 3 mean
};

void sumColumns(const std::int32_t* __restrict up, const std::int32_t* __restrict mid,
                const std::int32_t* __restrict down, int width, bool sharpen, const ColumnSums& sums) {
    if (sharpen) {
        for (int x = 0; x < width; ++x) sums.plain[x + 1] = up[x] + mid[x] + down[x];
        sums.plain[0] = sums.plain[1];
        sums.plain[width + 1] = sums.plain[width];
        return;
    }
    for (int x = 0; x < width; ++x) {
        sums.weighted[x + 1] = up[x] + 2 * mid[x] + down[x];
        sums.difference[x + 1] = down[x] - up[x];
    }
    sums.weighted[0] = sums.weighted[1];
    sums.weighted[width + 1] = sums.weighted[width];
    sums.difference[0] = sums.difference[1];
    sums.difference[width + 1] = sums.difference[width];
}

void filterNeighbourhoods(int mode, double strength, const Pixel* src, std::ptrdiff_t srcStride, Pixel* dst,
                          std::ptrdiff_t dstStride, int width, int height,
                          std::vector<std::int32_t>& scratch) {
    // The luma of three picture rows at a time, in a ring: row r sits in slot r mod 3 and is computed
    // from the unfiltered picture just before the first row that needs it.
    const std::size_t rowLength = static_cast<std::size_t>(width);
    const std::size_t padded = rowLength + 2;
    if (scratch.size() < 3 * rowLength + 3 * padded) scratch.resize(3 * rowLength + 3 * padded);
    std::int32_t* ring = scratch.data();
    const auto slot = [&](int row) { return ring + static_cast<std::size_t>(row % 3) * rowLength; };
    const auto computeLuma = [&](int row) {
        const Pixel* __restrict in = src + row * srcStride;
        std::int32_t* __restrict out = slot(row);
        for (int x = 0; x < width; ++x) out[x] = lumaOf(in[x]);
    };
    const ColumnSums sums{ring + 3 * rowLength, ring + 3 * rowLength + padded,
                          ring + 3 * rowLength + 2 * padded};
    const bool sharpen = mode == kFilterSharpen;
    const std::int32_t overlayEnergy = edgeOverlayEnergy(strength);
    computeLuma(0);
    if (height > 1) computeLuma(1);
    for (int y = 0; y < height; ++y) {
        if (y >= 1 && y + 1 < height) computeLuma(y + 1);
        const std::int32_t* mid = slot(y);
        sumColumns(slot(std::max(y - 1, 0)), mid, slot(std::min(y + 1, height - 1)), width, sharpen, sums);
        const Pixel* __restrict in = src + y * srcStride;
        Pixel* __restrict out = dst + y * dstStride;
        const std::int32_t* __restrict v = sums.weighted;
        const std::int32_t* __restrict d = sums.difference;
        const std::int32_t* __restrict s = sums.plain;
        if (mode == kFilterEdges) {
            for (int x = 0; x < width; ++x) {
                const std::int32_t gx = v[x + 2] - v[x];
                const std::int32_t gy = d[x] + 2 * d[x + 1] + d[x + 2];
                out[x] = grey(static_cast<int>(255.0 * edgeLevel(gx * gx + gy * gy, strength)));
            }
        } else if (mode == kFilterEdgeOverlay) {
            for (int x = 0; x < width; ++x) {
                const std::int32_t gx = v[x + 2] - v[x];
                const std::int32_t gy = d[x] + 2 * d[x + 1] + d[x + 2];
                const Pixel p = in[x] | kOpaque;
                out[x] = gx * gx + gy * gy >= overlayEnergy ? kEdgeRed : p;
            }
        } else {
            for (int x = 0; x < width; ++x) {
                // Unsigned: the sum is never negative, and unsigned division by 9 vectorises.
                const auto mean =
                    static_cast<std::int32_t>(static_cast<std::uint32_t>(s[x] + s[x + 1] + s[x + 2]) / 9u);
                const int k = static_cast<int>(strength * static_cast<double>(mid[x] - mean));
                const Pixel p = in[x];
                out[x] = rgb(clampByte(redOf(p) + k), clampByte(greenOf(p) + k), clampByte(blueOf(p) + k));
            }
        }
    }
}

void filterZebra(double strength, const Pixel* src, std::ptrdiff_t srcStride, Pixel* dst,
                 std::ptrdiff_t dstStride, int width, int height) {
    const double threshold = (0.98 - clampUnit(strength * 0.25) * 0.28) * 255.0;
    // Luma is an integer, so "above the threshold" is "at least the next integer".
    const int stripedFrom = static_cast<int>(std::floor(threshold)) + 1;
    for (int y = 0; y < height; ++y) {
        const Pixel* __restrict in = src + y * srcStride;
        Pixel* __restrict out = dst + y * dstStride;
        // Runs of one diagonal stripe: odd stripes lift green and blue as they lift red.
        for (int x0 = 0; x0 < width;) {
            const int stripe = (x0 + y) / kZebraStripePx;
            const int x1 = std::min(width, (stripe + 1) * kZebraStripePx - y);
            const int lift = stripe % 2 == 1 ? 1785 : 0;
            for (int x = x0; x < x1; ++x) {
                const Pixel p = in[x];
                const Pixel striped =
                    rgb((redOf(p) + 1785) >> 3, (greenOf(p) + lift) >> 3, (blueOf(p) + lift) >> 3);
                out[x] = lumaOf(p) >= stripedFrom ? striped : (p | kOpaque);
            }
            x0 = x1;
        }
    }
}

void filterHalftone(double strength, const Pixel* src, std::ptrdiff_t srcStride, Pixel* dst,
                    std::ptrdiff_t dstStride, int width, int height, std::vector<std::int32_t>& scratch) {
    // The dot radius grows with the level, so each place in the cell turns white from one luma value up.
    std::array<int, kHalftoneCellPx * kHalftoneCellPx> whiteFrom{};
    for (int cy = 0; cy < kHalftoneCellPx; ++cy) {
        for (int cx = 0; cx < kHalftoneCellPx; ++cx) {
            const double dx = cx - 2.5;
            const double dy = cy - 2.5;
            const double radius = std::sqrt(dx * dx + dy * dy) / 2.5;
            int level = 0;
            while (level < 256 && radius > 1.02 * scaledLevel(level, strength)) ++level;
            whiteFrom[static_cast<std::size_t>(cy * kHalftoneCellPx + cx)] = level;
        }
    }
    // The cell's thresholds laid out along whole rows, one row per cell row.
    const std::size_t rowLength = static_cast<std::size_t>(width);
    if (scratch.size() < kHalftoneCellPx * rowLength) scratch.resize(kHalftoneCellPx * rowLength);
    for (int cy = 0; cy < kHalftoneCellPx; ++cy)
        for (int x = 0; x < width; ++x)
            scratch[static_cast<std::size_t>(cy) * rowLength + static_cast<std::size_t>(x)] =
                whiteFrom[static_cast<std::size_t>(cy * kHalftoneCellPx + x % kHalftoneCellPx)];
    for (int y = 0; y < height; ++y) {
        const Pixel* __restrict in = src + y * srcStride;
        Pixel* __restrict out = dst + y * dstStride;
        const std::int32_t* __restrict from =
            scratch.data() + static_cast<std::size_t>(y % kHalftoneCellPx) * rowLength;
        for (int x = 0; x < width; ++x) out[x] = lumaOf(in[x]) >= from[x] ? grey(255) : grey(0);
    }
}

}  // namespace

void filterPixels(int mode, double strength, const std::uint32_t* src, std::ptrdiff_t srcStride,
                  std::uint32_t* dst, std::ptrdiff_t dstStride, int width, int height,
                  std::vector<std::int32_t>& luma) {
    if (width <= 0 || height <= 0) return;
    switch (mode) {
        case kFilterGrey:
            mapPixels(src, srcStride, dst, dstStride, width, height, [](Pixel p) { return grey(lumaOf(p)); });
            return;
        case kFilterInvert:
            mapPixels(src, srcStride, dst, dstStride, width, height,
                      [](Pixel p) { return (p ^ 0x00ffffffu) | kOpaque; });
            return;
        case kFilterTurbo:
        case kFilterViridis:
        case kFilterMagma:
        case kFilterJet: {
            const render::ColormapTable& table = tableOf(mode);
            std::array<std::uint32_t, 256> lut{};
            for (int y = 0; y < 256; ++y) {
                const auto index = static_cast<std::size_t>(0.5 + 255.0 * scaledLevel(y, strength));
                lut[static_cast<std::size_t>(y)] =
                    rgb(table[3 * index], table[3 * index + 1], table[3 * index + 2]);
            }
            mapPixels(src, srcStride, dst, dstStride, width, height,
                      [&lut](Pixel p) { return lut[static_cast<std::size_t>(lumaOf(p))]; });
            return;
        }
        case kFilterEdges:
        case kFilterEdgeOverlay:
        case kFilterSharpen:
            filterNeighbourhoods(mode, strength, src, srcStride, dst, dstStride, width, height, luma);
            return;
        case kFilterZebra:
            filterZebra(strength, src, srcStride, dst, dstStride, width, height);
            return;
        case kFilterHalftone:
            filterHalftone(strength, src, srcStride, dst, dstStride, width, height, luma);
            return;
        default:
            mapPixels(src, srcStride, dst, dstStride, width, height, [](Pixel p) { return p | kOpaque; });
            return;
    }
}

QVideoFrame filterVideoFrame(const QVideoFrame& frame, int mode, double strength,
                             std::vector<std::int32_t>& luma) {
    // A BGRX8888 frame is already 0xXXRRGGBB words, which the filters read as RGB32: it is read in
    // place. Every other format goes through Qt's conversion.
    QVideoFrame source = frame;
    const bool inPlace =
        frame.pixelFormat() == QVideoFrameFormat::Format_BGRX8888 && source.map(QVideoFrame::ReadOnly);
    QImage image;
    if (!inPlace) {
        image = frame.toImage().convertToFormat(QImage::Format_RGB32);
        if (image.isNull()) return {};
    }
    const QSize size = inPlace ? frame.size() : image.size();
    const auto* src = reinterpret_cast<const Pixel*>(inPlace ? source.bits(0) : image.constBits());
    const int srcStride = (inPlace ? source.bytesPerLine(0) : image.bytesPerLine()) / 4;
    QVideoFrame out(QVideoFrameFormat(size, QVideoFrameFormat::Format_BGRA8888));
    if (out.map(QVideoFrame::WriteOnly)) {
        const int width = std::min({size.width(), srcStride, out.bytesPerLine(0) / 4});
        filterPixels(mode, strength, src, srcStride, reinterpret_cast<Pixel*>(out.bits(0)),
                     out.bytesPerLine(0) / 4, width, size.height(), luma);
        out.unmap();
    } else {
        out = QVideoFrame();
    }
    if (inPlace) source.unmap();
    return out;
}

}  // namespace zk::camera
