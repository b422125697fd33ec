#include "render/heatmap_painter.h"

#include <QString>
#include <QVariantMap>
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <iterator>
#include <limits>
#include <utility>

#include "core/beamforming/beamforming_parameters.h"
#include "render/heatmap_image_provider.h"
#include "render/map_peaks.h"

namespace zk::render {
namespace {

using core::HeatmapGrid;

constexpr double kMissingLevelDb = -160.0;  // stands for non-finite levels in the smoothing
constexpr double kRelativeGateDb = -120.0;
constexpr double kEmptyReferenceDb = -240.0;  // the dB floor, the peak of an empty map
// A field beyond this is a malformed map, painted as the 1 x 1 empty field rather than allocated;
// 256 MiB is also Qt's default limit for images it reads.
constexpr std::uint64_t kMaxFieldBytes = std::uint64_t{256} << 20;
constexpr int kContourLevels = 12;

double finiteOr(double value, double fallback) { return std::isfinite(value) ? value : fallback; }

// For settings that a setter may have stored as NaN (std::clamp lets NaN through): NaN takes lo.
double clampOrLow(double value, double lo, double hi) {
    return std::isnan(value) ? lo : std::clamp(value, lo, hi);
}

std::int64_t steadyClockNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Division instead of a product, which could wrap for the 64-bit sizes of a malformed map.
bool fieldFits(std::uint64_t width, std::uint64_t height) { return width <= kMaxFieldBytes / 4 / height; }

// 65535 p + 0.5 truncated, p = 10^((level - reference) / 10) clamped to [0, 1].
std::uint16_t encodeRelativePower(double level, double reference) {
    const double p = std::pow(10.0, (level - reference) / 10.0);
    if (!(p > 0.0)) return 0;
    if (p >= 1.0) return 65535;
    return static_cast<std::uint16_t>(65535.0 * p + 0.5);
}

// The largest finite level, else the map's peak (the dB floor when that is not finite either).
double referenceLevel(std::span<const double> display, double peakDb) {
    bool anyFinite = false;
    double top = 0.0;
    for (const double level : display) {
        if (!std::isfinite(level)) continue;
        top = anyFinite ? std::max(top, level) : level;
        anyFinite = true;
    }
    return anyFinite ? top : finiteOr(peakDb, kEmptyReferenceDb);
}

// The range a map is drawn over: the dynamic range, or for a relative map whose finite levels all lie
// closer to the reference, their own span, so that a map within a decibel of its peak (MUSIC over a
// band of noise bins) still spreads over the colours and shows its source.
double shownRange(std::span<const double> display, double reference, double dynamicRange, bool absolute) {
    if (absolute) return dynamicRange;
    double lowest = reference;
    for (const double level : display) {
        if (std::isfinite(level)) lowest = std::min(lowest, level);
    }
    const double span = reference - lowest;
    return span > 0.0 && span < dynamicRange ? span : dynamicRange;
}

// How far the reference stands above the median finite level, less the threshold, within [0, 1];
// 1 for fewer than 16 finite levels.
double contrastFade(std::span<const double> display, double reference, double confidenceThresholdDb) {
    std::vector<double> finite;
    finite.reserve(display.size());
    std::copy_if(display.begin(), display.end(), std::back_inserter(finite),
                 [](double level) { return std::isfinite(level); });
    if (finite.size() < 16) return 1.0;
    const auto median = finite.begin() + static_cast<std::ptrdiff_t>(finite.size() / 2);
    std::nth_element(finite.begin(), median, finite.end());
    return clampOrLow(reference - *median - confidenceThresholdDb, 0.0, 1.0);
}

QVariantMap peakMark(const HeatmapGrid& map, bool absolute, std::uint64_t column, std::uint64_t row,
                     double level, std::uint64_t width, std::uint64_t height, bool primary) {
    return {
        {QStringLiteral("u"), (static_cast<double>(column) + 0.5) / static_cast<double>(width)},
        {QStringLiteral("v"), (static_cast<double>(height - row) - 0.5) / static_cast<double>(height)},
        {QStringLiteral("label"), formatPeakLabel(map, absolute, column, row, level)},
        {QStringLiteral("primary"), primary},
    };
}

}  // namespace

std::vector<double> blendHeatmapLevels(std::span<const double> previous, std::span<const double> levels,
                                       double a) {
    if (previous.size() != levels.size()) return {levels.begin(), levels.end()};
    std::vector<double> out(levels.size());
    for (std::size_t i = 0; i < levels.size(); ++i) {
        out[i] =
            (1.0 - a) * finiteOr(levels[i], kMissingLevelDb) + a * finiteOr(previous[i], kMissingLevelDb);
    }
    return out;
}

std::vector<double> smoothHeatmapLevels3x3(std::span<const double> levels, std::uint64_t width,
                                           std::uint64_t height) {
    if (width == 0 || height == 0 || width > levels.size() / height || width * height != levels.size()) {
        return {levels.begin(), levels.end()};
    }
    constexpr std::array<double, 3> kWeights = {1.0, 2.0, 1.0};
    std::vector<double> out(levels.size());
    for (std::size_t row = 0; row < height; ++row) {
        const std::size_t rowFirst = row == 0 ? 0 : row - 1;
        const std::size_t rowEnd = std::min<std::size_t>(row + 2, height);
        for (std::size_t column = 0; column < width; ++column) {
            const std::size_t columnFirst = column == 0 ? 0 : column - 1;
            const std::size_t columnEnd = std::min<std::size_t>(column + 2, width);
            double sum = 0.0;
            double weight = 0.0;
            for (std::size_t r = rowFirst; r < rowEnd; ++r) {
                for (std::size_t c = columnFirst; c < columnEnd; ++c) {
                    const double w = kWeights[r + 1 - row] * kWeights[c + 1 - column];
                    sum += w * finiteOr(levels[r * width + c], kMissingLevelDb);
                    weight += w;
                }
            }
            out[row * width + column] = sum / weight;
        }
    }
    return out;
}

HeatmapPainter::HeatmapPainter(Owner owner, SteadyClockNs clock)
    : owner_(owner), clock_(clock ? std::move(clock) : SteadyClockNs(steadyClockNs)) {}

void HeatmapPainter::refreshHeatmapImages() const {
    std::optional<HeatmapGrid> map;
    {
        const std::lock_guard lock(owner_.mapMutex);
        map = owner_.latestBeamMap;
    }
    if (!map) return;
    const QImage image = paintHeatmapField(*map);
    if (owner_.provider != nullptr) owner_.provider->setImage(QStringLiteral("field"), image);
}

std::vector<double> HeatmapPainter::smoothForDisplay(const HeatmapGrid& map,
                                                     const std::vector<double>& levels, std::uint64_t width,
                                                     std::uint64_t height, std::int32_t mapSource,
                                                     double csmTauSeconds) const {
    const std::lock_guard lock(owner_.displayMutex);
    HeatmapSmoothingMemory& memory = owner_.smoothing;
    const bool restart = !(memory.heatmapSmoothingValid && mapSource == memory.heatmapSmoothingSource &&
                           map.parametersRevision == memory.heatmapSmoothingRevision &&
                           map.algorithmId == memory.heatmapSmoothingAlgorithm &&
                           memory.heatmapSmoothedLevels.size() == levels.size());
    const std::int64_t now = clock_();
    double dtSeconds = 0.1;
    if (memory.heatmapSmoothingValid && memory.heatmapLastPaintNs != 0) {
        dtSeconds = std::clamp(
            (static_cast<double>(now) - static_cast<double>(memory.heatmapLastPaintNs)) / 1e9, 0.01, 1.0);
    }
    memory.heatmapLastPaintNs = now;
    const double tauSeconds = clampOrLow(csmTauSeconds * 0.5, 0.35, 1.0);
    if (restart) {
        memory.heatmapSmoothedLevels = levels;
    } else {
        memory.heatmapSmoothedLevels =
            blendHeatmapLevels(memory.heatmapSmoothedLevels, levels, std::exp(-dtSeconds / tauSeconds));
    }
    memory.heatmapSmoothingValid = true;
    memory.heatmapSmoothingSource = mapSource;
    memory.heatmapSmoothingRevision = map.parametersRevision;
    memory.heatmapSmoothingAlgorithm = map.algorithmId;
    return smoothHeatmapLevels3x3(memory.heatmapSmoothedLevels, width, height);
}

QImage HeatmapPainter::paintHeatmapField(const HeatmapGrid& map) const {
    // One reading of each setting, so the whole paint follows the same values.
    const HeatmapDisplaySettings& settings = owner_.settings;
    const double dynamicRange = settings.dynamicRange.load();
    const double csmTauSeconds = settings.csmTauSeconds.load();
    const double levelGateDbfs = settings.levelGateDbfs.load();
    const double confidenceThresholdDb = finiteOr(settings.confidenceThresholdDb.load(), 0.0);
    const std::int32_t mapSource = settings.mapSource.load();

    // A normalised map (MUSIC, SRP-PHAT, the deconvolutions) keeps its db vector, but its peak is no
    // level: it is drawn, gated and labelled relative to its peak.
    const bool absolute = core::mapHasAbsoluteLevels(map);
    const std::vector<double>& levels = absolute ? map.db : map.relativeDb;
    const double gate = absolute && !std::isnan(levelGateDbfs) ? levelGateDbfs : kRelativeGateDb;

    std::uint64_t width = std::max<std::uint64_t>(map.width, 1);
    std::uint64_t height = std::max<std::uint64_t>(map.height, 1);
    QImage image;
    if (fieldFits(width, height)) {
        image = QImage(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGBA8888);
    }
    const bool painted = !image.isNull();  // false for an oversized map or a failed allocation
    if (!painted) {
        width = height = 1;
        image = QImage(1, 1, QImage::Format_RGBA8888);
    }

    std::vector<double> smoothed;
    std::span<const double> display;
    if (painted) display = levels;
    if (painted && mapSource != kMapSourceAnalysis && levels.size() == map.relativeDb.size()) {
        smoothed = smoothForDisplay(map, levels, width, height, mapSource, csmTauSeconds);
        display = smoothed;
    }

    const double reference = absolute ? referenceLevel(display, map.peakDb) : 0.0;
    if (absolute) {
        const double fade = contrastFade(display, reference, confidenceThresholdDb);
        const std::lock_guard lock(owner_.heatmapStateMutex);
        owner_.shaderState.mapContrastFade = fade;
    }

    const double rangeDb = shownRange(display, reference, dynamicRange, absolute);
    const bool counting = dynamicRange > 0.0;
    const bool marking = painted && map.azimuthDeg.size() >= width && map.elevationDeg.size() >= height &&
                         map.peakIndex < map.relativeDb.size();
    std::vector<double> peakSearch;
    if (marking) peakSearch.assign(width * height, std::numeric_limits<double>::quiet_NaN());
    std::int64_t visible = 0;
    for (std::uint64_t y = 0; y < height; ++y) {
        uchar* line = image.scanLine(static_cast<int>(y));
        const std::uint64_t rowStart = (height - 1 - y) * width;
        for (std::uint64_t x = 0; x < width; ++x) {
            const std::uint64_t index = rowStart + x;
            const double level =
                index < display.size() ? display[index] : std::numeric_limits<double>::quiet_NaN();
            std::uint16_t q = 0;
            if (std::isfinite(level)) {
                q = encodeRelativePower(level, reference);
                if (counting && level >= gate) {
                    ++visible;
                    if (marking) peakSearch[index] = map.relativeDb[index];
                }
            }
            uchar* pixel = line + 4 * x;
            pixel[0] = static_cast<uchar>(q >> 8);
            pixel[1] = static_cast<uchar>(q & 0xFF);
            pixel[2] = 0;
            pixel[3] = 255;
        }
    }
    owner_.mapVisiblePixels.exchange(
        static_cast<std::int32_t>(std::min<std::int64_t>(visible, std::numeric_limits<std::int32_t>::max())));

    std::array<float, 24> contourLevels{};
    const std::int32_t contourLevelCount = counting ? kContourLevels : 0;
    for (int k = 1; k <= contourLevelCount; ++k) contourLevels[k - 1] = static_cast<float>(k) / 13.0f;

    QVariantList peaks;
    if (marking) {
        const std::uint64_t row = map.peakIndex / width;
        const std::uint64_t column = map.peakIndex % width;
        if (row < height) {
            peaks.append(peakMark(map, absolute, column, row, map.peakRelativeDb, width, height, true));
        }
        const std::uint64_t minSeparation = std::max<std::uint64_t>(3, std::min(width, height) / 8);
        for (const MapPeak& peak : findMapPeaks(peakSearch, width, height, 6.0, 4, minSeparation)) {
            if (peak.index == map.peakIndex || peak.column >= width || peak.row >= height) continue;
            peaks.append(peakMark(map, absolute, peak.column, peak.row, peak.level, width, height, false));
        }
    }

    {
        const std::lock_guard lock(owner_.heatmapStateMutex);
        HeatmapShaderState& state = owner_.shaderState;
        state.mapHasAbsoluteLevels = absolute;
        state.mapPeakReferenceDbfs = reference;
        state.mapShownRangeDb = rangeDb;
        state.contourLevelCount = contourLevelCount;
        state.contourLevels = contourLevels;
        state.mapPeaks.swap(peaks);  // the old list is freed outside the lock
    }
    return image;
}

}  // namespace zk::render
