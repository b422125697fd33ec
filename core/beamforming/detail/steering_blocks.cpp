#include "core/beamforming/detail/steering_blocks.h"

#include <algorithm>
#include <atomic>
#include <cassert>

#include "core/beamforming/detail/steering_phases.h"

namespace zk::core::detail {

namespace {

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
    terms_.resize(n);
    if (layout == Layout::kPlanes) {
        re_.resize(n);
        im_.resize(n);
    }
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
    assert(count <= capacity_);
    const std::span<std::complex<float>> out = std::span(terms_).first(count * m);
    steeringPhaseTerms(steeringWavenumber(cache.frequencies[bin], cache.speedOfSound),
                       std::span<const double>(cache.pathDifferences).subspan(first * m, count * m), out);
    return out;
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
    assert(re_.size() == terms_.size());
    const std::uint64_t count = end - first;
    const std::span<const std::complex<float>> block = terms(bin, first, end);
    regroupSteeringPlanes(block.data(), count, m, re_.data(), im_.data(), count);
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
