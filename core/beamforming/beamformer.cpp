#include "core/beamforming/beamformer.h"

#include <omp.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <stdexcept>
#include <utility>

#include "core/beamforming/detail/input_checks.h"
#include "core/platform/memory_platform.h"

namespace zk::core {

namespace {

constexpr std::size_t kMaxSteeringCaches = 5;

// Grid points per work item of the phase build: 64 points x M microphones of terms stay in L2 until they
// are regrouped into the planes.
constexpr std::size_t kGridBlock = 64;

// Phases up to this size go through the vectorisable sincos below; the reduction by pi / 2 stays exact
// while the quadrant count has at most 20 bits. Real grids and bands stay below 10^3 rad.
constexpr double kFastPhaseLimit = 1.0e5;

// sin and cos of |x| <= kFastPhaseLimit within a few double ulps, written so that the compiler vectorises
// it; the library sincos is one scalar call per term and several times slower. Two-part
// Cody-Waite reduction (the high part of pi / 2 has 33 bits, so n times it is exact), then the fdlibm
// minimax polynomials on [-pi / 4, pi / 4].
inline void sinCosReduced(double x, double& sinX, double& cosX) {
    constexpr double kTwoOverPi = 6.36619772367581382433e-01;
    constexpr double kPio2Hi = 1.57079632673412561417e+00;
    constexpr double kPio2Lo = 6.07710050650619224932e-11;
    constexpr double kRoundShift = 0x1.8p52;  // adding it rounds to an integer held in the low bits
    const double shifted = x * kTwoOverPi + kRoundShift;
    const double n = shifted - kRoundShift;
    const std::uint64_t quadrant = std::bit_cast<std::uint64_t>(shifted);
    const double r = (x - n * kPio2Hi) - n * kPio2Lo;
    const double z = r * r;
    const double sinR =
        r + r * z *
                (-1.66666666666666324348e-01 +
                 z * (8.33333333332248946124e-03 +
                      z * (-1.98412698298579493134e-04 +
                           z * (2.75573137070700676789e-06 +
                                z * (-2.50507602534068634195e-08 + z * 1.58969099521155010221e-10)))));
    const double cosR =
        1.0 - 0.5 * z +
        z * z *
            (4.16666666666666019037e-02 +
             z * (-1.38888888888741095749e-03 +
                  z * (2.48015872894767294178e-05 +
                       z * (-2.75573143513906633035e-07 +
                            z * (2.08757232129817482790e-09 + z * -1.13596475577881948265e-11)))));
    const double s = (quadrant & 1) != 0 ? cosR : sinR;
    const double c = (quadrant & 1) != 0 ? sinR : cosR;
    sinX = (quadrant & 2) != 0 ? -s : s;
    cosX = ((quadrant + 1) & 2) != 0 ? -c : c;
}

// Allocates without touching, so that the value-initialisation of the later resize is the first touch.
// That touch costs far more on 4 KiB pages than the zero fill itself; 2 MiB pages cut the number of
// faults 512-fold. The page size is a hint only: failure changes nothing.
template <typename T>
void reserveLarge(std::vector<T>& v, std::size_t n) {
    v.reserve(n);
    adviseLargePages(v.data(), n * sizeof(T));
}

}  // namespace

int beamformerThreadCount() { return std::min(omp_get_max_threads(), 4); }

Beamformer::Beamformer(std::vector<MicrophonePosition> microphones, double speedOfSound)
    : microphones_(std::move(microphones)), speedOfSound_(speedOfSound) {
    // A NaN or infinite speed would pass a plain "<= 0" test and poison every phase term.
    if (microphones_.empty() || !(speedOfSound_ > 0.0) || !std::isfinite(speedOfSound_)) {
        throw std::invalid_argument("invalid beamformer geometry or sound speed");
    }
}

void Beamformer::setSpeedOfSound(double c) {
    if (!(c > 0.0) || !std::isfinite(c)) throw std::invalid_argument("invalid speed of sound");
    if (c == speedOfSound_) return;
    speedOfSound_ = c;
    std::lock_guard lock(mutex_);
    steeringCaches_.clear();
}

std::shared_ptr<const Beamformer::CameraBandSteeringCache> Beamformer::steeringCacheFor(
    std::span<const double> frequencies, double horizontalSpanDeg, double verticalSpanDeg,
    double horizontalCentreDeg, double verticalCentreDeg, double horizontalStepDeg, double verticalStepDeg,
    double focusDistanceM) const {
    return steeringCacheFor(frequencies,
                            {horizontalSpanDeg, verticalSpanDeg, horizontalCentreDeg, verticalCentreDeg,
                             horizontalStepDeg, verticalStepDeg, focusDistanceM});
}

std::shared_ptr<const Beamformer::CameraBandSteeringCache> Beamformer::steeringCacheFor(
    std::span<const double> frequencies, const CameraGridSpec& key) const {
    auto find = [&]() -> std::shared_ptr<const CameraBandSteeringCache> {
        for (const auto& entry : steeringCaches_) {
            if (entry->key.sameAs(key) && detail::sameFrequencies(entry->frequencies, frequencies))
                return entry;
        }
        return nullptr;
    };
    {
        std::lock_guard lock(mutex_);
        if (auto hit = find()) return hit;
    }
    std::shared_ptr<const CameraBandSteeringCache> built = buildSteeringCache(frequencies, key);
    std::lock_guard lock(mutex_);
    if (auto hit = find()) return hit;
    steeringCaches_.push_back(built);
    if (steeringCaches_.size() > kMaxSteeringCaches) steeringCaches_.erase(steeringCaches_.begin());
    return built;
}

void Beamformer::pathDifferences(double horizontalDeg, double verticalDeg, double focusDistanceM,
                                 std::span<double> out) const {
    constexpr double kDegToRad = std::numbers::pi / 180.0;
    const double tx = std::tan(horizontalDeg * kDegToRad);
    const double ty = std::tan(verticalDeg * kDegToRad);
    const double n = std::sqrt(1.0 + tx * tx + ty * ty);
    const std::size_t m_count = microphones_.size();
    if (std::isinf(focusDistanceM)) {
        // Projection of each microphone on the pinhole ray; the earliest one defines zero delay.
        double t_max = 0.0;
        for (std::size_t m = 0; m < m_count; ++m) {
            out[m] = (tx * microphones_[m].x + ty * microphones_[m].y) / n;
            t_max = std::max(t_max, out[m]);
        }
        for (std::size_t m = 0; m < m_count; ++m) out[m] = t_max - out[m];
        return;
    }
    const double px = focusDistanceM * tx / n;
    const double py = focusDistanceM * ty / n;
    const double pz = focusDistanceM / n;
    for (std::size_t m = 0; m < m_count; ++m) {
        const double dx = px - microphones_[m].x;
        const double dy = py - microphones_[m].y;
        const double dz = pz - microphones_[m].z;
        out[m] = std::sqrt(dx * dx + dy * dy + dz * dz) - focusDistanceM;
    }
}

std::shared_ptr<Beamformer::CameraBandSteeringCache> Beamformer::buildSteeringCache(
    std::span<const double> frequencies, const CameraGridSpec& key) const {
    auto entry = std::make_shared<CameraBandSteeringCache>();
    entry->key = key;
    entry->frequencies.assign(frequencies.begin(), frequencies.end());
    entry->horizontalAxis =
        cameraGridAxis(key.horizontalSpanDeg, key.horizontalCentreDeg, key.horizontalStepDeg);
    entry->verticalAxis = cameraGridAxis(key.verticalSpanDeg, key.verticalCentreDeg, key.verticalStepDeg);
    const std::size_t columns = entry->horizontalAxis.size();
    const std::size_t rows = entry->verticalAxis.size();
    const std::size_t g_count = rows * columns;
    const std::size_t m_count = microphones_.size();
    const std::size_t f_count = frequencies.size();
    entry->gridPointCount = g_count;
    const int threads = beamformerThreadCount();

    std::vector<double> pathDifference(g_count * m_count);
#pragma omp parallel for num_threads(threads) schedule(static)
    for (std::size_t r = 0; r < rows; ++r) {
        for (std::size_t c = 0; c < columns; ++c) {
            pathDifferences(entry->horizontalAxis[c], entry->verticalAxis[r], key.focusDistanceM,
                            std::span(pathDifference).subspan((r * columns + c) * m_count, m_count));
        }
    }

    const std::size_t plane = g_count * m_count;
    const std::size_t total = f_count * plane;
    // Allocation may throw, so it stays outside the team; the three zero fills then run side by side
    // and cannot throw, the capacity being there already.
    reserveLarge(entry->phaseTerms, total);
    reserveLarge(entry->phasePlaneRe, total);
    reserveLarge(entry->phasePlaneIm, total);
#pragma omp parallel sections num_threads(threads)
    {
#pragma omp section
        entry->phaseTerms.resize(total);
#pragma omp section
        entry->phasePlaneRe.resize(total);
#pragma omp section
        entry->phasePlaneIm.resize(total);
    }
    const double c = speedOfSound_;
    // Work items are (frequency, block of grid points), so the team stays busy when F is small; each
    // block is regrouped into the planes while its phase terms are still in cache.
    const std::size_t blocks = (g_count + kGridBlock - 1) / kGridBlock;
    const std::size_t items = f_count * blocks;
#pragma omp parallel for num_threads(threads) schedule(static)
    for (std::size_t item = 0; item < items; ++item) {
        const std::size_t f = item / blocks;
        const std::size_t g0 = (item % blocks) * kGridBlock;
        const std::size_t g1 = std::min(g0 + kGridBlock, g_count);
        const double k = 2.0 * std::numbers::pi * frequencies[f] / c;
        std::complex<float>* terms = entry->phaseTerms.data() + f * plane;
        // complex<float> is laid out as float[2]; plain float stores keep the loop vectorisable.
        float* termParts = reinterpret_cast<float*>(terms);
        const double* d = pathDifference.data();
        const std::size_t i0 = g0 * m_count;
        const std::size_t i1 = g1 * m_count;
        bool fast = true;
        for (std::size_t i = i0; i < i1; ++i) fast &= std::abs(k * d[i]) <= kFastPhaseLimit;
        if (fast) {
            for (std::size_t i = i0; i < i1; ++i) {
                double sinPhi = 0.0;
                double cosPhi = 0.0;
                sinCosReduced(k * d[i], sinPhi, cosPhi);
                termParts[2 * i] = static_cast<float>(cosPhi);
                termParts[2 * i + 1] = static_cast<float>(-sinPhi);
            }
        } else {
            for (std::size_t i = i0; i < i1; ++i) {
                const double phi = k * d[i];
                terms[i] = {static_cast<float>(std::cos(phi)), static_cast<float>(-std::sin(phi))};
            }
        }
        float* re = entry->phasePlaneRe.data() + f * plane;
        float* im = entry->phasePlaneIm.data() + f * plane;
        for (std::size_t m = 0; m < m_count; ++m) {
            for (std::size_t g = g0; g < g1; ++g) {
                re[m * g_count + g] = terms[g * m_count + m].real();
                im[m * g_count + g] = terms[g * m_count + m].imag();
            }
        }
    }
    return entry;
}

}  // namespace zk::core
