#pragma once

#include <QImage>
#include <QRgb>
#include <cstddef>

namespace zk::render {

// Every diagnostic plot is drawn in a logical 820 x 200 rectangle on a canvas of twice that size.
inline constexpr int kPlotWidth = 820;
inline constexpr int kPlotHeight = 200;
inline constexpr int kPlotScale = 2;

// The transparent 1640 x 400 ARGB32 canvas.
[[nodiscard]] QImage blankPlotImage();

// Nearest integer with halves away from zero; NaN gives 0 and values beyond +-1e9 saturate there, so a
// stray value never reaches an integer conversion out of range.
[[nodiscard]] int nearestInt(double value);

// wanted (rounded to the nearest count) clamped to lo .. available, where available wins when it is below
// lo (a short history or ring shows what it has); a NaN or negative wish counts as lo.
[[nodiscard]] std::size_t clampCount(double wanted, std::size_t lo, std::size_t available);

// Direct pixel access to an ARGB32 canvas, taken once per painter: QImage::scanLine checks for sharing
// on every call.
class CanvasPixels {
  public:
    explicit CanvasPixels(QImage& canvas)
        : bits_(canvas.bits()),
          stride_(canvas.bytesPerLine()),
          width_(canvas.width()),
          height_(canvas.height()) {}

    [[nodiscard]] QRgb* row(int y) const { return reinterpret_cast<QRgb*>(bits_ + y * stride_); }
    [[nodiscard]] int width() const { return width_; }
    [[nodiscard]] int height() const { return height_; }

    // Logical pixel (x, y) of the plot as its 2 x 2 block of canvas pixels; x and y must be in range.
    void setPlotPixel(int x, int y, QRgb colour) const {
        QRgb* top = row(kPlotScale * y) + kPlotScale * x;
        QRgb* bottom = row(kPlotScale * y + 1) + kPlotScale * x;
        top[0] = top[1] = bottom[0] = bottom[1] = colour;
    }

  private:
    uchar* bits_;
    qsizetype stride_;
    int width_;
    int height_;
};

}  // namespace zk::render
