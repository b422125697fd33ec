#include "core/beamforming/beamformer.h"

#include <omp.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <stdexcept>
#include <utility>

#include "core/beamforming/detail/input_checks.h"
#include "core/beamforming/detail/steering_blocks.h"
#include "core/beamforming/detail/steering_phases.h"
#include "core/platform/memory_platform.h"

namespace zk::core {

namespace {

// Five entries at most, and none holds more than 256 MiB: its tables within the budget
// (detail::kSteeringTableBudgetBytes), or else path differences of at most 2^25 terms plus its axes. The
// cache therefore stays within about 1.25 GiB; an evicted entry lives on only while a caller holds it.
constexpr std::size_t kMaxSteeringCaches = 5;

// Grid points per work item of the phase build: 64 points x M microphones of terms stay in L2 until they
// are regrouped into the planes.
constexpr std::size_t kGridBlock = 64;

// Allocates without touching, so that the value-initialisation of the later resize is the first touch.
// That touch costs far more on 4 KiB pages than the zero fill itself; 2 MiB pages cut the number of
// faults 512-fold. The page size is a hint only: failure changes nothing.
template <typename T>
void reserveLarge(std::vector<T>& v, std::size_t n) {
    v.reserve(n);
    adviseLargePages(v.data(), n * sizeof(T));
}

// Whether an entry's tables (phase terms and both planes, 16 bytes a term) fit the memory budget.
bool steeringTablesFit(double bins, double points, double microphones) {
    return bins * points * microphones * 16.0 <= static_cast<double>(detail::steeringTableBudgetBytes());
}

}  // namespace

int beamformerThreadCount() { return std::min(omp_get_max_threads(), 4); }

Beamformer::Beamformer(std::vector<MicrophonePosition> microphones, double speedOfSound)
    : microphones_(std::move(microphones)), speedOfSound_(speedOfSound) {
    // A NaN or infinite speed would pass a plain "<= 0" test and poison every phase term.
    if (microphones_.empty() || !(speedOfSound > 0.0) || !std::isfinite(speedOfSound)) {
        throw std::invalid_argument("invalid beamformer geometry or sound speed");
    }
}

void Beamformer::setSpeedOfSound(double c) {
    if (!(c > 0.0) || !std::isfinite(c)) throw std::invalid_argument("invalid speed of sound");
    std::lock_guard lock(mutex_);
    if (c == speedOfSound_.load()) return;
    speedOfSound_.store(c);
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
    // The speed is part of the key: an entry built with an older one is never a match.
    const double c = speedOfSound_.load();
    {
        std::lock_guard lock(mutex_);
        if (auto hit = findSteering(frequencies, key, c)) return hit;
    }
    std::shared_ptr<const CameraBandSteeringCache> built = buildSteeringCache(frequencies, key, c);
    std::lock_guard lock(mutex_);
    if (auto hit = findSteering(frequencies, key, c)) return hit;
    // A speed change during the build has emptied the list already; its caller still gets the entry of
    // the speed that was current when it asked.
    if (speedOfSound_.load() != c) return built;
    steeringCaches_.push_back(built);
    if (steeringCaches_.size() > kMaxSteeringCaches) steeringCaches_.erase(steeringCaches_.begin());
    return built;
}

std::shared_ptr<const Beamformer::CameraBandSteeringCache> Beamformer::findSteering(
    std::span<const double> frequencies, const CameraGridSpec& key, double c) const {
    for (const auto& entry : steeringCaches_) {
        if (entry->key.sameAs(key) && detail::sameFrequencies(entry->frequencies, frequencies) &&
            entry->speedOfSound == c)
            return entry;
    }
    return nullptr;
}

std::shared_ptr<const Beamformer::CameraBandSteeringCache> Beamformer::steeringPlanesFor(
    std::span<const double> frequencies, const CameraGridSpec& grid) const {
    const double c = speedOfSound_.load();
    {
        std::lock_guard lock(mutex_);
        if (auto hit = findSteering(frequencies, grid, c)) return hit;
    }
    // Without tables both kinds of entry are the same path differences, which the cache may share.
    const double points =
        static_cast<double>(cameraGridPointCount(grid.horizontalSpanDeg, grid.horizontalStepDeg)) *
        static_cast<double>(cameraGridPointCount(grid.verticalSpanDeg, grid.verticalStepDeg));
    if (!steeringTablesFit(static_cast<double>(frequencies.size()), points,
                           static_cast<double>(microphones_.size())))
        return steeringCacheFor(frequencies, grid);
    return buildSteeringCache(frequencies, grid, c, false);
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
    std::span<const double> frequencies, const CameraGridSpec& key, double speedOfSound,
    bool withTerms) const {
    const std::uint64_t columns = cameraGridPointCount(key.horizontalSpanDeg, key.horizontalStepDeg);
    const std::uint64_t rows = cameraGridPointCount(key.verticalSpanDeg, key.verticalStepDeg);
    const std::size_t m_count = microphones_.size();
    // Both axes hold at most 10^6 points, so the product cannot wrap.
    const std::uint64_t g_count = rows * columns;
    if (g_count > detail::kMaxSteeringPoints ||
        m_count > detail::kMaxSteeringPointTerms / std::max<std::uint64_t>(g_count, 1)) {
        throw std::invalid_argument(detail::kGridTooLarge);
    }
    const std::size_t f_count = frequencies.size();
    const bool tablesHeld = steeringTablesFit(static_cast<double>(f_count), static_cast<double>(g_count),
                                              static_cast<double>(m_count));

    auto entry = std::make_shared<CameraBandSteeringCache>();
    entry->key = key;
    entry->frequencies.assign(frequencies.begin(), frequencies.end());
    entry->horizontalAxis =
        cameraGridAxis(key.horizontalSpanDeg, key.horizontalCentreDeg, key.horizontalStepDeg);
    entry->verticalAxis = cameraGridAxis(key.verticalSpanDeg, key.verticalCentreDeg, key.verticalStepDeg);
    entry->gridPointCount = g_count;
    entry->speedOfSound = speedOfSound;
    entry->microphoneCount = m_count;
    entry->tablesHeld = tablesHeld;
    const int threads = beamformerThreadCount();

    std::vector<double> pathDifference(g_count * m_count);
#pragma omp parallel for num_threads(threads) schedule(static)
    for (std::size_t r = 0; r < rows; ++r) {
        for (std::size_t c = 0; c < columns; ++c) {
            pathDifferences(entry->horizontalAxis[c], entry->verticalAxis[r], key.focusDistanceM,
                            std::span(pathDifference).subspan((r * columns + c) * m_count, m_count));
        }
    }
    if (!tablesHeld) {
        entry->pathDifferences = std::move(pathDifference);
        return entry;
    }

    const std::size_t plane = g_count * m_count;
    const std::size_t total = f_count * plane;
    // Allocation may throw, so it stays outside the team; the three zero fills then run side by side
    // and cannot throw, the capacity being there already. Without the terms table each thread forms
    // its blocks' terms in a scratch block of its own.
    if (withTerms) reserveLarge(entry->phaseTerms, total);
    reserveLarge(entry->phasePlaneRe, total);
    reserveLarge(entry->phasePlaneIm, total);
    std::vector<std::complex<float>> scratch(
        withTerms ? 0 : static_cast<std::size_t>(threads) * kGridBlock * m_count);
#pragma omp parallel sections num_threads(threads)
    {
#pragma omp section
        entry->phaseTerms.resize(withTerms ? total : 0);
#pragma omp section
        entry->phasePlaneRe.resize(total);
#pragma omp section
        entry->phasePlaneIm.resize(total);
    }
    // Work items are (frequency, block of grid points), so the team stays busy when F is small; each
    // block is regrouped into the planes while its phase terms are still in cache.
    const std::size_t blocks = (g_count + kGridBlock - 1) / kGridBlock;
    const std::size_t items = f_count * blocks;
    const std::span<const double> d(pathDifference);
#pragma omp parallel for num_threads(threads) schedule(static)
    for (std::size_t item = 0; item < items; ++item) {
        const std::size_t f = item / blocks;
        const std::size_t g0 = (item % blocks) * kGridBlock;
        const std::size_t count = std::min(g0 + kGridBlock, g_count) - g0;
        std::complex<float>* terms =
            withTerms
                ? entry->phaseTerms.data() + (f * g_count + g0) * m_count
                : scratch.data() + static_cast<std::size_t>(omp_get_thread_num()) * kGridBlock * m_count;
        detail::steeringPhaseTerms(detail::steeringWavenumber(frequencies[f], speedOfSound),
                                   d.subspan(g0 * m_count, count * m_count),
                                   std::span(terms, count * m_count));
        detail::regroupSteeringPlanes(terms, count, m_count, entry->phasePlaneRe.data() + f * plane + g0,
                                      entry->phasePlaneIm.data() + f * plane + g0, g_count);
    }
    return entry;
}

}  // namespace zk::core
