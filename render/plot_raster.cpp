#include "render/plot_raster.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <vector>

#include "render/plot_canvas.h"

namespace zk::render {
namespace {

// Source-over of colour at coverage onto a non-premultiplied ARGB32 pixel.
QRgb blendOver(QRgb dst, QRgb src, float coverage) {
    const float sa = static_cast<float>(qAlpha(src)) / 255.0f * coverage;
    if (qAlpha(dst) == 0)
        return qRgba(qRed(src), qGreen(src), qBlue(src), static_cast<int>(sa * 255.0f + 0.5f));
    const float da = static_cast<float>(qAlpha(dst)) / 255.0f * (1.0f - sa);
    const float outA = sa + da;
    const auto mix = [&](int sc, int dc) {
        return static_cast<int>((static_cast<float>(sc) * sa + static_cast<float>(dc) * da) / outA + 0.5f);
    };
    return qRgba(mix(qRed(src), qRed(dst)), mix(qGreen(src), qGreen(dst)), mix(qBlue(src), qBlue(dst)),
                 static_cast<int>(outA * 255.0f + 0.5f));
}

// A segment in canvas pixels, with what the distance of a point to it needs.
struct Segment {
    float ax = 0.0f;
    float ay = 0.0f;
    float dx = 0.0f;
    float dy = 0.0f;
    float inverseLengthSquared = 0.0f;  // 0 for a segment of zero length

    [[nodiscard]] float left() const { return std::min(ax, ax + dx); }
    [[nodiscard]] float right() const { return std::max(ax, ax + dx); }
};

}  // namespace

void fillVerticalLine(const CanvasPixels& canvas, int x, int y0, int y1, QRgb colour) {
    int left = kPlotScale * x - 1;
    int right = kPlotScale * x;
    int top = kPlotScale * std::min(y0, y1) - 1;
    int bottom = kPlotScale * std::max(y0, y1);
    if (y0 == y1) {
        left = kPlotScale * x - 2;
        right = kPlotScale * x + 1;
    }
    left = std::max(left, 0);
    right = std::min(right, canvas.width() - 1);
    top = std::max(top, 0);
    bottom = std::min(bottom, canvas.height() - 1);
    for (int y = top; y <= bottom; ++y) {
        QRgb* row = canvas.row(y);
        for (int c = left; c <= right; ++c) row[c] = colour;
    }
}

void strokeCurve(QImage& canvas, std::span<const QPointF> points, double widthUnits, QRgb colour) {
    if (points.empty() || !(widthUnits > 0.0)) return;
    const auto scale = static_cast<float>(kPlotScale);
    const auto reach =
        static_cast<float>(widthUnits) * scale / 2.0f + 0.5f;  // no coverage beyond this distance
    std::vector<Segment> segments;
    segments.reserve(points.size());
    for (std::size_t i = 0; i + 1 < std::max<std::size_t>(points.size(), 2); ++i) {
        const QPointF& a = points[i];
        const QPointF& b = points[std::min(i + 1, points.size() - 1)];
        Segment seg{static_cast<float>(a.x()) * scale, static_cast<float>(a.y()) * scale,
                    static_cast<float>(b.x() - a.x()) * scale, static_cast<float>(b.y() - a.y()) * scale,
                    0.0f};
        const float lengthSquared = seg.dx * seg.dx + seg.dy * seg.dy;
        seg.inverseLengthSquared = lengthSquared > 0.0f ? 1.0f / lengthSquared : 0.0f;
        segments.push_back(seg);
    }

    // Column by column: each nearby segment raises the coverage of the rows it passes within reach of,
    // and the column is blended once, so overlapping segments never blend twice.
    const CanvasPixels pixels(canvas);
    std::vector<float> coverage(static_cast<std::size_t>(pixels.height()), 0.0f);
    std::size_t first = 0;
    for (int c = 0; c < pixels.width(); ++c) {
        const float px = static_cast<float>(c) + 0.5f;
        while (first < segments.size() && segments[first].right() + reach < px) ++first;
        int touchedFrom = pixels.height();
        int touchedTo = -1;
        for (std::size_t s = first; s < segments.size() && segments[s].left() - reach <= px; ++s) {
            const Segment& seg = segments[s];
            // Rows of the part of the segment within reach of this column, widened by the reach.
            float t0 = 0.0f;
            float t1 = 1.0f;
            if (seg.dx != 0.0f) {
                t0 = std::clamp((px - reach - seg.ax) / seg.dx, 0.0f, 1.0f);
                t1 = std::clamp((px + reach - seg.ax) / seg.dx, 0.0f, 1.0f);
            }
            const float y0 = seg.ay + t0 * seg.dy;
            const float y1 = seg.ay + t1 * seg.dy;
            const int rowFrom = std::max(0, static_cast<int>(std::floor(std::min(y0, y1) - reach)));
            const int rowTo =
                std::min(pixels.height() - 1, static_cast<int>(std::ceil(std::max(y0, y1) + reach)));
            // Written with plain comparisons so that the compiler turns the row loop into vector code.
            const float ex0 = px - seg.ax;
            float* cov = coverage.data();
            for (int r = rowFrom; r <= rowTo; ++r) {
                const float ey0 = static_cast<float>(r) + 0.5f - seg.ay;
                float t = (ex0 * seg.dx + ey0 * seg.dy) * seg.inverseLengthSquared;
                t = t < 0.0f ? 0.0f : t;
                t = t > 1.0f ? 1.0f : t;
                const float ex = ex0 - t * seg.dx;
                const float ey = ey0 - t * seg.dy;
                float here = reach - std::sqrt(ex * ex + ey * ey);
                here = here > 1.0f ? 1.0f : here;
                cov[r] = cov[r] > here ? cov[r] : here;
            }
            touchedFrom = std::min(touchedFrom, rowFrom);
            touchedTo = std::max(touchedTo, rowTo);
        }
        for (int r = touchedFrom; r <= touchedTo; ++r) {
            float& cov = coverage[static_cast<std::size_t>(r)];
            if (!(cov > 0.0f)) continue;
            QRgb* pixel = pixels.row(r) + c;
            *pixel = blendOver(*pixel, colour, cov);
            cov = 0.0f;
        }
    }
}

}  // namespace zk::render
