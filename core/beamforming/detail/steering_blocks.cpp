#include "core/beamforming/detail/steering_blocks.h"

#include <algorithm>
#include <atomic>
#include <cassert>

#include "core/beamforming/detail/steering_phases.h"

namespace zk::core::detail {

namespace {

// Points whose terms are built at a time on the way to planes: the planes of a whole bin need no terms of
// the whole bin beside them.
constexpr std::uint64_t kRegroupPoints = 256;

// The budget the next steering build reads; written by tests only, read by any building thread.
std::atomic<std::uint64_t> tableBudget{kSteeringTableBudgetBytes};

}  // namespace

std::uint64_t steeringTableBudgetBytes() noexcept { return tableBudget.load(std::memory_order_relaxed); }

void setSteeringTableBudgetBytes(std::uint64_t bytes) noexcept {
    tableBudget.store(std::min(bytes, kSteeringTableBudgetBytes), std::memory_order_relaxed);
}

SteeringBlocks::SteeringBlocks(const CameraBandSteeringCache& cache, std::uint64_t maxPoints, Layout layout)
    : cache_(&cache) {
    if (cache.tablesHeld) return;
    capacity_ = std::min(maxPoints, cache.gridPointCount);
    const std::uint64_t n = capacity_ * cache.microphoneCount;
    if (layout == Layout::kPlanes) {
        terms_.resize(std::min(capacity_, kRegroupPoints) * cache.microphoneCount);
        re_.resize(n);
        im_.resize(n);
    } else {
        terms_.resize(n);
    }
}

std::span<const std::complex<float>> SteeringBlocks::build(std::uint64_t bin, std::uint64_t first,
                                                           std::uint64_t end) {
    const CameraBandSteeringCache& cache = *cache_;
    const std::uint64_t m = cache.microphoneCount;
    const std::span<std::complex<float>> out = std::span(terms_).first((end - first) * m);
    steeringPhaseTerms(steeringWavenumber(cache.frequencies[bin], cache.speedOfSound),
                       std::span<const double>(cache.pathDifferences).subspan(first * m, (end - first) * m),
                       out);
    return out;
}

std::span<const std::complex<float>> SteeringBlocks::terms(std::uint64_t bin, std::uint64_t first,
                                                           std::uint64_t end) {
    const CameraBandSteeringCache& cache = *cache_;
    const std::uint64_t m = cache.microphoneCount;
    assert(first <= end && end <= cache.gridPointCount && bin < cache.frequencies.size());
    const std::uint64_t count = end - first;
    if (cache.tablesHeld) {
        assert(!cache.phaseTerms.empty());  // a planes-only entry serves planes alone
        return std::span<const std::complex<float>>(cache.phaseTerms)
            .subspan((bin * cache.gridPointCount + first) * m, count * m);
    }
    assert(count <= capacity_ && re_.empty());
    return build(bin, first, end);
}

PlaneBlock SteeringBlocks::planes(std::uint64_t bin, std::uint64_t first, std::uint64_t end) {
    const CameraBandSteeringCache& cache = *cache_;
    const std::uint64_t m = cache.microphoneCount;
    const std::uint64_t g = cache.gridPointCount;
    if (cache.tablesHeld) {
        const std::uint64_t plane = m * g;
        return {std::span<const float>(cache.phasePlaneRe).subspan(bin * plane, plane),
                std::span<const float>(cache.phasePlaneIm).subspan(bin * plane, plane), g, first, end};
    }
    const std::uint64_t count = end - first;
    assert(!re_.empty() && count <= capacity_);
    for (std::uint64_t part = 0; part < count; part += kRegroupPoints) {
        const std::uint64_t partEnd = std::min(part + kRegroupPoints, count);
        const std::span<const std::complex<float>> block = build(bin, first + part, first + partEnd);
        regroupSteeringPlanes(block.data(), partEnd - part, m, re_.data() + part, im_.data() + part, count);
    }
    return {std::span<const float>(re_).first(count * m), std::span<const float>(im_).first(count * m), count,
            0, count};
}

std::vector<SteeringBlocks> steeringBlocksPerThread(const CameraBandSteeringCache& cache, int threads,
                                                    std::uint64_t maxPoints, SteeringBlocks::Layout layout) {
    std::vector<SteeringBlocks> blocks;
    blocks.reserve(static_cast<std::size_t>(std::max(threads, 1)));
    for (int t = 0; t < std::max(threads, 1); ++t) blocks.emplace_back(cache, maxPoints, layout);
    return blocks;
}

}  // namespace zk::core::detail
