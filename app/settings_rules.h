#pragma once

#include <QString>
#include <QVariantList>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <exception>
#include <limits>

#include "app/ui_text.h"

namespace zk::app {

// Two doubles count as equal when the smaller magnitude is at least 10^12 times their difference
// (Qt's fuzzy rule): a setter that finds such a value changes nothing and emits nothing.
inline bool fuzzyEqual(double a, double b) {
    return std::abs(a - b) * 1e12 <= std::min(std::abs(a), std::abs(b));
}

// The nearer bound for a value outside [lo, hi]; NaN takes the lower bound, so no NaN is ever stored.
inline double clampToRange(double value, double lo, double hi) {
    if (std::isnan(value)) return lo;
    return std::clamp(value, lo, hi);
}

// The nearest whole bin of a frameSize-point frame at the sample rate to hz, kept off bin 0 and the
// Nyquist bin (a real signal carries no power there, so a map on either would stay empty).
inline double bandFrequencyOnBin(double hz, double sampleRateHz, double frameSize) {
    const double bin = sampleRateHz / frameSize;
    const double highest = std::max(1.0, frameSize / 2.0 - 1.0);
    return std::clamp(std::round(hz / bin), 1.0, highest) * bin;
}

// The one framing of the live and Replay engines; "Analyze at position" analyses with it too, so that
// its map is the one the Replay showed, and both read the level Live showed.
inline constexpr int kStreamFrameSize = 1024;
inline constexpr int kStreamHopSize = kStreamFrameSize / 2;

// The live frequency rule at a frame of frameSize points: 100 Hz .. Nyquist, then the nearest whole bin
// (so a single-bin band sits exactly on it) other than bin 0 and the Nyquist bin. Without a rate (no
// profile) 100 .. 40000 Hz.
inline double frequencyOnFrame(double hz, double sampleRateHz, int frameSize) {
    if (!(sampleRateHz > 0.0) || frameSize < 4) return clampToRange(hz, 100.0, 40000.0);
    const double nyquist = sampleRateHz / 2.0;
    return bandFrequencyOnBin(clampToRange(hz, std::min(100.0, nyquist), nyquist), sampleRateHz, frameSize);
}

// The live frequency rule for a profile of the given sample rate, at the engines' frame.
inline double frequencyForSampleRate(double hz, double sampleRateHz) {
    return frequencyOnFrame(hz, sampleRateHz, kStreamFrameSize);
}

// The Full Recompute's centre frequency: 100 Hz .. 0.45 x the rate (40000 Hz without a rate), on the bin
// of the analysis frame that the run's band will name, so the form shows the frequency the run records.
// A bin outside 100 .. 0.45 x the rate gives way to its neighbour inside when there is one.
inline double analysisFrequencyForFrame(double hz, double sampleRateHz, int frameSize) {
    if (!(sampleRateHz > 0.0) || frameSize < 4) return clampToRange(hz, 100.0, 40000.0);
    const double upper = std::max(100.0, 0.45 * sampleRateHz);
    const double bin = sampleRateHz / frameSize;
    double snapped = bandFrequencyOnBin(clampToRange(hz, 100.0, upper), sampleRateHz, frameSize);
    if (snapped > upper && snapped - bin >= std::max(100.0, bin)) snapped -= bin;
    if (snapped < 100.0 && snapped + bin <= upper) snapped += bin;
    return snapped;
}

// The focus distance of index 0..4 (far field, 1, 3, 5, 10 m); other indices take the nearer end.
inline double focusDistanceForIndex(int index) {
    constexpr double kDistances[] = {std::numeric_limits<double>::infinity(), 1.0, 3.0, 5.0, 10.0};
    return kDistances[std::clamp(index, 0, 4)];
}

// Speed of sound in air at the given temperature, m/s.
inline double speedOfSoundForTemperature(double celsius) { return 331.3 * std::sqrt(1.0 + celsius / 273.15); }

// One map per parameter descriptor of the algorithm, in descriptor order: "key", "label", "type"
// ("bool", "int" or "real"), "minimum", "maximum", "defaultValue", "step" and "unit".
QVariantList parameterFieldsOf(std::int32_t algorithmId);

// The boundary of an invokable: runs body and turns an exception into the report "<operation> failed:
// <text>" through report (a callable taking the QString), so that none reaches QML. operation is a
// catalogue text.
template <class Report, class Body>
void guardInvokable(const char* operation, Report&& report, Body&& body) {
    try {
        body();
    } catch (const std::exception& error) {
        report(UiText::tr("%1 failed: %2").arg(UiText::tr(operation), QString::fromUtf8(error.what())));
    } catch (...) {
        const QString unknown = UiText::tr("unknown error");
        report(UiText::tr("%1 failed: %2").arg(UiText::tr(operation), unknown));
    }
}

}  // namespace zk::app
