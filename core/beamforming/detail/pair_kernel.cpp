#include "core/beamforming/detail/pair_kernel.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>

namespace zk::core::detail {

namespace {

constexpr std::size_t kPairsPerFlush = 512;

// One row r of the triangle over W consecutive grid points: with z = sum over k > r of X_rk * a_k,
// Re(conj(a_r) * X_rk * a_k) summed over k equals Re(conj(a_r) * z). z stays in registers for W = 32,
// so each pair costs four fused multiply-adds per point and two loads per eight points.
template <std::size_t W>
void rowChunk(const float* __restrict planeRe, const float* __restrict planeIm, std::size_t stride,
              std::size_t r, std::size_t microphoneCount, std::size_t point, const float* __restrict xr,
              const float* __restrict xi, float* __restrict out) {
    float zr[W] = {};
    float zi[W] = {};
    for (std::size_t k = r + 1; k < microphoneCount; ++k) {
        const float a = xr[k - r - 1];
        const float b = xi[k - r - 1];
        const float* __restrict br = planeRe + k * stride + point;
        const float* __restrict bi = planeIm + k * stride + point;
        for (std::size_t t = 0; t < W; ++t) {
            zr[t] = std::fma(a, br[t], std::fma(-b, bi[t], zr[t]));
            zi[t] = std::fma(a, bi[t], std::fma(b, br[t], zi[t]));
        }
    }
    const float* __restrict ar = planeRe + r * stride + point;
    const float* __restrict ai = planeIm + r * stride + point;
    for (std::size_t t = 0; t < W; ++t) out[t] = std::fma(ar[t], zr[t], std::fma(ai[t], zi[t], out[t]));
}

// Pulls the next chunk's steering rows towards the core while this one computes: the rows lie one
// plane stride apart, a pattern the hardware prefetchers follow poorly.
void prefetchChunk(const float* planeRe, const float* planeIm, std::size_t stride,
                   std::size_t microphoneCount, std::size_t point, std::size_t count) {
    constexpr std::size_t kLineFloats = 16;
    for (std::size_t m = 0; m < microphoneCount; ++m) {
        for (std::size_t t = 0; t < count; t += kLineFloats) {
            __builtin_prefetch(planeRe + m * stride + point + t, 0, 2);
            __builtin_prefetch(planeIm + m * stride + point + t, 0, 2);
        }
    }
}

template <std::size_t W>
void chunk(const float* planeRe, const float* planeIm, std::size_t stride, std::size_t microphoneCount,
           std::size_t point, const float* pairRe, const float* pairIm, float* scratch, double* accumulator) {
    if (W > 1 && point + 2 * W <= stride)
        prefetchChunk(planeRe, planeIm, stride, microphoneCount, point + W, W);
    std::fill(scratch, scratch + W, 0.0f);
    std::size_t pairIndex = 0;
    std::size_t sinceFlush = 0;
    for (std::size_t r = 0; r + 1 < microphoneCount; ++r) {
        const std::size_t rowPairs = microphoneCount - 1 - r;
        rowChunk<W>(planeRe, planeIm, stride, r, microphoneCount, point, pairRe + pairIndex,
                    pairIm + pairIndex, scratch);
        pairIndex += rowPairs;
        sinceFlush += rowPairs;
        if (sinceFlush >= kPairsPerFlush) {
            for (std::size_t t = 0; t < W; ++t) accumulator[t] += scratch[t];
            std::fill(scratch, scratch + W, 0.0f);
            sinceFlush = 0;
        }
    }
    for (std::size_t t = 0; t < W; ++t) accumulator[t] += scratch[t];
}

}  // namespace

void accumulatePairQuadraticForm(std::span<const float> planeRe, std::span<const float> planeIm,
                                 std::uint64_t microphoneCount, std::uint64_t gridPointCount,
                                 std::uint64_t first, std::uint64_t end, std::span<const float> pairRe,
                                 std::span<const float> pairIm, std::span<float> scratch,
                                 std::span<double> accumulator) {
    const std::size_t m = microphoneCount;
    const std::size_t pairs = m > 1 ? m * (m - 1) / 2 : 0;
    assert(first <= end && end <= gridPointCount);
    assert(planeRe.size() >= m * gridPointCount && planeIm.size() >= m * gridPointCount);
    assert(pairRe.size() >= pairs && pairIm.size() >= pairs);
    assert(scratch.size() >= end - first && accumulator.size() >= end - first);
    if (pairs == 0 || first >= end) return;
    const float* re = planeRe.data();
    const float* im = planeIm.data();
    std::size_t point = first;
    for (; point + 32 <= end; point += 32) {
        chunk<32>(re, im, gridPointCount, m, point, pairRe.data(), pairIm.data(), &scratch[point - first],
                  &accumulator[point - first]);
    }
    for (; point + 8 <= end; point += 8) {
        chunk<8>(re, im, gridPointCount, m, point, pairRe.data(), pairIm.data(), &scratch[point - first],
                 &accumulator[point - first]);
    }
    for (; point < end; ++point) {
        chunk<1>(re, im, gridPointCount, m, point, pairRe.data(), pairIm.data(), &scratch[point - first],
                 &accumulator[point - first]);
    }
}

}  // namespace zk::core::detail
