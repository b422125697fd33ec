#pragma once

#include <QImage>
#include <QPointF>
#include <QRgb>
#include <span>

#include "render/plot_canvas.h"

namespace zk::render {

// Pixel-level drawing on the plot canvas. QPainter's raster engine in Qt 6.4 hands every large span batch
// to the global thread pool when the painting thread is not one of its own, which alone costs more than a
// whole diagnostics render; these write the canvas directly instead.

// The pixels QPainter fills for an aliased line from logical (x, y0) to (x, y1) drawn with a square-capped
// pen one logical unit wide on the 2x canvas: canvas columns 2x - 1 .. 2x and rows 2 min - 1 .. 2 max, or
// columns 2x - 2 .. 2x + 1 and rows 2y - 1 .. 2y for a line of zero length. Clipped to the canvas; opaque.
void fillVerticalLine(const CanvasPixels& canvas, int x, int y0, int y1, QRgb colour);

// Antialiased stroke of a polyline given in logical plot units, widthUnits wide, with round joins and
// caps: each canvas pixel takes the coverage of the nearest segment and is blended source-over once.
// The points must advance left to right (as a spectrum curve does) by at most a few units each.
void strokeCurve(QImage& canvas, std::span<const QPointF> points, double widthUnits, QRgb colour);

}  // namespace zk::render
