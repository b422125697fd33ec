#include "render/waveform_painters.h"

#include <QColor>
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "render/plot_canvas.h"
#include "render/plot_raster.h"

namespace zk::render {
namespace {

constexpr std::size_t kColumns = kPlotWidth;
constexpr std::size_t kBankSize = 16;
constexpr double kLaneHeight = static_cast<double>(kPlotHeight) / kBankSize;
constexpr int kLowestRow = 198;

// Per-lane minimum and maximum (mean removed, single precision) of each column's frames.
struct LaneColumns {
    std::size_t lanes = 0;
    std::size_t firstLaneChannel = 0;  // logical channel of lane 0
    std::vector<float> minimum;        // [lane * kColumns + x]
    std::vector<float> maximum;
};

LaneColumns laneColumns(const WaveformFrames& frames, std::size_t selectedChannel, double sampleRateHz,
                        double seconds) {
    LaneColumns out;
    const std::size_t stride = frames.channelCount;
    if (stride == 0) return out;
    const std::size_t available = frames.samples.size() / stride;
    const std::size_t bankFirst = selectedChannel / kBankSize * kBankSize;
    const std::size_t blockEnd = frames.firstChannel + stride;
    if (available == 0 || bankFirst < frames.firstChannel || bankFirst >= blockEnd) return out;
    out.lanes = std::min(kBankSize, blockEnd - bankFirst);
    out.firstLaneChannel = bankFirst;
    const std::size_t offset = bankFirst - frames.firstChannel;
    const std::size_t shown = clampCount(sampleRateHz * seconds, 64, available);
    const std::size_t start = available - shown;
    const std::int16_t* base = frames.samples.data();

    std::array<double, kBankSize> mean{};
    for (std::size_t f = start; f < available; ++f) {
        const std::int16_t* frame = base + f * stride + offset;
        for (std::size_t l = 0; l < out.lanes; ++l) mean[l] += frame[l];
    }
    std::array<float, kBankSize> meanF{};
    for (std::size_t l = 0; l < out.lanes; ++l)
        meanF[l] = static_cast<float>(mean[l] / static_cast<double>(shown));

    out.minimum.assign(out.lanes * kColumns, 0.0f);
    out.maximum.assign(out.lanes * kColumns, 0.0f);
    for (std::size_t x = 0; x < kColumns; ++x) {
        const std::size_t from = start + x * shown / kColumns;
        const std::size_t to = std::max(from + 1, start + (x + 1) * shown / kColumns);
        std::array<float, kBankSize> lo;
        std::array<float, kBankSize> hi;
        lo.fill(std::numeric_limits<float>::max());
        hi.fill(std::numeric_limits<float>::lowest());
        for (std::size_t f = from; f < to; ++f) {
            const std::int16_t* frame = base + f * stride + offset;
            for (std::size_t l = 0; l < out.lanes; ++l) {
                const float v = static_cast<float>(frame[l]) - meanF[l];
                lo[l] = std::min(lo[l], v);
                hi[l] = std::max(hi[l], v);
            }
        }
        for (std::size_t l = 0; l < out.lanes; ++l) {
            out.minimum[l * kColumns + x] = lo[l];
            out.maximum[l * kColumns + x] = hi[l];
        }
    }
    return out;
}

float largestExcursion(const LaneColumns& columns, std::size_t lane) {
    float largest = 1.0f;
    for (std::size_t x = 0; x < kColumns; ++x) {
        largest = std::max({largest, std::abs(columns.minimum[lane * kColumns + x]),
                            std::abs(columns.maximum[lane * kColumns + x])});
    }
    return largest;
}

void writeColumn(const CanvasPixels& pixels, int x, int yFrom, int yTo, QRgb colour) {
    const int top = std::clamp(std::min(yFrom, yTo), 0, kLowestRow);
    const int bottom = std::clamp(std::max(yFrom, yTo), 0, kLowestRow);
    for (int y = top; y <= bottom; ++y) pixels.setPlotPixel(x, y, colour);
}

}  // namespace

SingleTraceWaveform paintSingleTraceWaveform(std::span<const double> samples, const PlotColors& colors) {
    SingleTraceWaveform out{blankPlotImage(), 1.1};
    const std::size_t n = samples.size();
    if (n == 0) return out;
    double sum = 0.0;
    for (const double s : samples) sum += s;
    const double mean = sum / static_cast<double>(n);
    double largest = 0.0;
    for (const double s : samples) largest = std::max(largest, std::abs(s - mean));
    out.scale = std::max(1.0, largest) * 1.1;

    // The 820 vertical lines of one drawLines call with a one-unit pen, written as the pixels it fills.
    const QRgb colour = colors.spectrum.rgba();
    const CanvasPixels pixels(out.image);
    for (std::size_t x = 0; x < kColumns; ++x) {
        const std::size_t from = n * x / kColumns;
        const std::size_t to = std::min(n, std::max(from + 1, n * (x + 1) / kColumns));
        const auto [lo, hi] = std::minmax_element(samples.begin() + static_cast<std::ptrdiff_t>(from),
                                                  samples.begin() + static_cast<std::ptrdiff_t>(to));
        const int yMin = 99 - nearestInt(200.0 * ((*lo - mean) / out.scale) * 0.5);
        const int yMax = 99 - nearestInt(200.0 * ((*hi - mean) / out.scale) * 0.5);
        fillVerticalLine(pixels, static_cast<int>(x), yMin, yMax, colour);
    }
    return out;
}

QImage paintLanesWaveform(const WaveformFrames& frames, std::size_t selectedChannel, double sampleRateHz,
                          double seconds, const PlotColors& colors) {
    QImage image = blankPlotImage();
    const LaneColumns columns = laneColumns(frames, selectedChannel, sampleRateHz, seconds);
    const CanvasPixels pixels(image);
    const QRgb selected = colors.waveform.rgb();
    const QRgb dim = colors.waveformDim.rgb();
    for (std::size_t l = 0; l < columns.lanes; ++l) {
        const double centre = (static_cast<double>(l) + 0.5) * kLaneHeight;
        const double gain = (kLaneHeight / 2.0 - 1.0) / (largestExcursion(columns, l) * 1.1);
        const QRgb colour = columns.firstLaneChannel + l == selectedChannel ? selected : dim;
        for (std::size_t x = 0; x < kColumns; ++x) {
            const int yMax = nearestInt(centre - columns.maximum[l * kColumns + x] * gain);
            const int yMin = nearestInt(centre - columns.minimum[l * kColumns + x] * gain);
            writeColumn(pixels, static_cast<int>(x), yMax, yMin, colour);
        }
    }
    return image;
}

QImage paintOverlayWaveform(const WaveformFrames& frames, std::size_t selectedChannel, double sampleRateHz,
                            double seconds) {
    QImage image = blankPlotImage();
    const LaneColumns columns = laneColumns(frames, selectedChannel, sampleRateHz, seconds);
    if (columns.lanes == 0) return image;
    float largest = 1.0f;
    for (std::size_t l = 0; l < columns.lanes; ++l) largest = std::max(largest, largestExcursion(columns, l));
    const double gain = (100.0 - 2.0) / (static_cast<double>(largest) * 1.1);
    const std::size_t selectedLane = selectedChannel - columns.firstLaneChannel;
    const CanvasPixels pixels(image);

    const auto drawLane = [&](std::size_t l) {
        const int hue = (static_cast<int>(l) * 360 / static_cast<int>(kBankSize) + 11) % 360;
        const QRgb colour = QColor::fromHsv(hue, 200, 235, l == selectedLane ? 255 : 110).rgba();
        for (std::size_t x = 0; x < kColumns; ++x) {
            const int yMax = nearestInt(99.0 - columns.maximum[l * kColumns + x] * gain);
            const int yMin = nearestInt(99.0 - columns.minimum[l * kColumns + x] * gain);
            writeColumn(pixels, static_cast<int>(x), yMax, yMin, colour);
        }
    };
    for (std::size_t l = 0; l < columns.lanes; ++l) {
        if (l != selectedLane) drawLane(l);
    }
    if (selectedLane < columns.lanes) drawLane(selectedLane);
    return image;
}

}  // namespace zk::render
