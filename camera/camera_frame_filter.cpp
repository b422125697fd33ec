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

// Each pixel through a function of its own value and position.
template <typename PixelOp>
void mapPixels(const std::uint32_t* src, std::ptrdiff_t srcStride, std::uint32_t* dst,
               std::ptrdiff_t dstStride, int width, int height, PixelOp op) {
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* in = src + y * srcStride;
        std::uint32_t* out = dst + y * dstStride;
        for (int x = 0; x < width; ++x) out[x] = op(in[x], x, y);
    }
}

// Colour by luma alone: one table entry per luma value, built for the frame's strength.
void mapByLuma(const std::array<std::uint32_t, 256>& lut, const std::uint32_t* src, std::ptrdiff_t srcStride,
               std::uint32_t* dst, std::ptrdiff_t dstStride, int width, int height) {
    mapPixels(src, srcStride, dst, dstStride, width, height,
              [&lut](std::uint32_t p, int, int) { return lut[static_cast<std::size_t>(lumaOf(p))]; });
}

// The 3 x 3 luma neighbourhood of a pixel, edge pixels repeated beyond the border.
struct Neighbourhood {
    std::int32_t tl, t, tr, l, c, r, bl, b, br;
};

// rowOp(y) gives the function that takes (x, neighbourhood) for every pixel of row y.
template <typename RowOp>
void forEachNeighbourhood(const std::int32_t* luma, int width, int height, RowOp rowOp) {
    for (int y = 0; y < height; ++y) {
        const std::int32_t* up = luma + static_cast<std::ptrdiff_t>(std::max(y - 1, 0)) * width;
        const std::int32_t* mid = luma + static_cast<std::ptrdiff_t>(y) * width;
        const std::int32_t* down = luma + static_cast<std::ptrdiff_t>(std::min(y + 1, height - 1)) * width;
        auto pixel = rowOp(y);
        const auto clamped = [&](int x) {
            const int xl = std::max(x - 1, 0);
            const int xr = std::min(x + 1, width - 1);
            pixel(x, Neighbourhood{up[xl], up[x], up[xr], mid[xl], mid[x], mid[xr], down[xl], down[x],
                                   down[xr]});
        };
        clamped(0);
        for (int x = 1; x < width - 1; ++x) {
            pixel(x, Neighbourhood{up[x - 1], up[x], up[x + 1], mid[x - 1], mid[x], mid[x + 1], down[x - 1],
                                   down[x], down[x + 1]});
        }
        if (width > 1) clamped(width - 1);
    }
}

// Sobel magnitude scaled by strength, clamped to 0 .. 1.
inline double edgeLevel(const Neighbourhood& n, double strength) {
    const std::int32_t gx = (n.tr + 2 * n.r + n.br) - (n.tl + 2 * n.l + n.bl);
    const std::int32_t gy = (n.bl + 2 * n.b + n.br) - (n.tl + 2 * n.t + n.tr);
    return clampUnit(strength * (0.5 * std::sqrt(static_cast<double>(gx * gx + gy * gy))) / 255.0);
}

void filterNeighbourhoods(int mode, double strength, const std::uint32_t* src, std::ptrdiff_t srcStride,
                          std::uint32_t* dst, std::ptrdiff_t dstStride, int width, int height,
                          std::vector<std::int32_t>& luma) {
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (luma.size() < count) luma.resize(count);
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* in = src + y * srcStride;
        std::int32_t* out = luma.data() + static_cast<std::ptrdiff_t>(y) * width;
        for (int x = 0; x < width; ++x) out[x] = lumaOf(in[x]);
    }
    const auto rows = [&](int y) { return std::pair{src + y * srcStride, dst + y * dstStride}; };
    if (mode == kFilterEdges) {
        forEachNeighbourhood(luma.data(), width, height, [&](int y) {
            std::uint32_t* out = rows(y).second;
            return [out, strength](int x, const Neighbourhood& n) {
                out[x] = grey(static_cast<int>(255.0 * edgeLevel(n, strength)));
            };
        });
    } else if (mode == kFilterEdgeOverlay) {
        forEachNeighbourhood(luma.data(), width, height, [&](int y) {
            const auto [in, out] = rows(y);
            return [in, out, strength](int x, const Neighbourhood& n) {
                out[x] = edgeLevel(n, strength) >= kEdgeOverlayLevel ? kEdgeRed : (in[x] | kOpaque);
            };
        });
    } else {
        forEachNeighbourhood(luma.data(), width, height, [&](int y) {
            const auto [in, out] = rows(y);
            return [in, out, strength](int x, const Neighbourhood& n) {
                const std::int32_t sum = n.tl + n.t + n.tr + n.l + n.c + n.r + n.bl + n.b + n.br;
                const int k = static_cast<int>(strength * static_cast<double>(n.c - sum / 9));
                const std::uint32_t p = in[x];
                out[x] = rgb(clampByte(redOf(p) + k), clampByte(greenOf(p) + k), clampByte(blueOf(p) + k));
            };
        });
    }
}

void filterZebra(double strength, const std::uint32_t* src, std::ptrdiff_t srcStride, std::uint32_t* dst,
                 std::ptrdiff_t dstStride, int width, int height) {
    const double threshold = (0.98 - clampUnit(strength * 0.25) * 0.28) * 255.0;
    mapPixels(src, srcStride, dst, dstStride, width, height, [threshold](std::uint32_t p, int x, int y) {
        if (lumaOf(p) <= threshold) return p | kOpaque;
        const int r = (redOf(p) + 1785) / 8;
        if (((x + y) / kZebraStripePx) % 2 == 1)
            return rgb(r, (greenOf(p) + 1785) / 8, (blueOf(p) + 1785) / 8);
        return rgb(r, greenOf(p) / 8, blueOf(p) / 8);
    });
}

void filterHalftone(double strength, const std::uint32_t* src, std::ptrdiff_t srcStride, std::uint32_t* dst,
                    std::ptrdiff_t dstStride, int width, int height) {
    // The dot radius grows with the level, so each place in the cell turns white from one luma value up.
    std::array<int, kHalftoneCellPx * kHalftoneCellPx> whiteFrom{};
    for (int cy = 0; cy < kHalftoneCellPx; ++cy) {
        for (int cx = 0; cx < kHalftoneCellPx; ++cx) {
            const double dx = cx - 2.5;
            const double dy = cy - 2.5;
            const double radius = std::sqrt(dx * dx + dy * dy) / 2.5;
            int y = 0;
            while (y < 256 && radius > 1.02 * scaledLevel(y, strength)) ++y;
            whiteFrom[static_cast<std::size_t>(cy * kHalftoneCellPx + cx)] = y;
        }
    }
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* in = src + y * srcStride;
        std::uint32_t* out = dst + y * dstStride;
        const int* cellRow = whiteFrom.data() + (y % kHalftoneCellPx) * kHalftoneCellPx;
        for (int x = 0; x < width; ++x)
            out[x] = lumaOf(in[x]) >= cellRow[x % kHalftoneCellPx] ? grey(255) : grey(0);
    }
}

}  // namespace

void filterPixels(int mode, double strength, const std::uint32_t* src, std::ptrdiff_t srcStride,
                  std::uint32_t* dst, std::ptrdiff_t dstStride, int width, int height,
                  std::vector<std::int32_t>& luma) {
    if (width <= 0 || height <= 0) return;
    switch (mode) {
        case kFilterGrey:
            mapPixels(src, srcStride, dst, dstStride, width, height,
                      [](std::uint32_t p, int, int) { return grey(lumaOf(p)); });
            return;
        case kFilterInvert:
            mapPixels(src, srcStride, dst, dstStride, width, height,
                      [](std::uint32_t p, int, int) { return (p ^ 0x00ffffffu) | kOpaque; });
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
            mapByLuma(lut, src, srcStride, dst, dstStride, width, height);
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
            filterHalftone(strength, src, srcStride, dst, dstStride, width, height);
            return;
        default:
            mapPixels(src, srcStride, dst, dstStride, width, height,
                      [](std::uint32_t p, int, int) { return p | kOpaque; });
            return;
    }
}

QVideoFrame filterVideoFrame(const QVideoFrame& frame, int mode, double strength,
                             std::vector<std::int32_t>& luma) {
    const QImage image = frame.toImage().convertToFormat(QImage::Format_RGB32);
    if (image.isNull()) return {};
    QVideoFrame out(QVideoFrameFormat(image.size(), QVideoFrameFormat::Format_BGRA8888));
    if (!out.map(QVideoFrame::WriteOnly)) return {};
    const auto* src = reinterpret_cast<const std::uint32_t*>(image.constBits());
    auto* dst = reinterpret_cast<std::uint32_t*>(out.bits(0));
    const int width = std::min(image.width(), out.bytesPerLine(0) / 4);
    filterPixels(mode, strength, src, image.bytesPerLine() / 4, dst, out.bytesPerLine(0) / 4, width,
                 image.height(), luma);
    out.unmap();
    return out;
}

}  // namespace zk::camera
