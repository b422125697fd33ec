#include "render/plot_canvas.h"

#include <cmath>

namespace zk::render {

QImage blankPlotImage() {
    QImage image(kPlotScale * kPlotWidth, kPlotScale * kPlotHeight, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

int nearestInt(double value) {
    constexpr double kLimit = 1e9;
    if (std::isnan(value)) return 0;
    if (value > kLimit) return static_cast<int>(kLimit);
    if (value < -kLimit) return -static_cast<int>(kLimit);
    // Truncation and an exact remainder: rounds halves away from zero without a library call.
    int whole = static_cast<int>(value);
    const double rest = value - whole;
    if (rest >= 0.5) ++whole;
    if (rest <= -0.5) --whole;
    return whole;
}

std::size_t clampCount(double wanted, std::size_t lo, std::size_t available) {
    if (available <= lo) return available;
    if (!(wanted > static_cast<double>(lo))) return lo;
    if (wanted >= static_cast<double>(available)) return available;
    return static_cast<std::size_t>(std::llround(wanted));
}

}  // namespace zk::render
