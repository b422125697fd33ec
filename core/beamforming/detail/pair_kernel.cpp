#include "core/beamforming/detail/pair_kernel.h"

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstring>

#include "core/platform/cpu_features.h"

namespace zk::core::detail {

namespace {

constexpr std::size_t kPairsPerFlush = 512;

// Lane-wise float vectors of the three vector units; plain float serves the scalar tail. Written as
// GCC vector types so that one body compiles to SSE2, AVX2 or AVX-512 in its caller's target.
typedef float Float4 __attribute__((vector_size(16)));
typedef float Float8 __attribute__((vector_size(32)));
typedef float Float16 __attribute__((vector_size(64)));

template <typename V>
constexpr std::size_t kLanes = sizeof(V) / sizeof(float);

struct Triangle {
    const float* planeRe;
    const float* planeIm;
    std::size_t stride;
    std::size_t microphones;
    const float* pairRe;
    const float* pairIm;
};

// Index of pair (r, r + 1) in the packed triangle minus r + 1, so that pair (r, k) sits at
// rowBase(r) + k; the unsigned wrap for r = 0 cancels in that sum.
inline std::size_t rowBase(std::size_t r, std::size_t m) { return r * (2 * m - r - 1) / 2 - (r + 1); }

template <typename V, std::size_t P>
[[gnu::always_inline]] inline void loadPoints(V (&out)[P], const float* row) {
    for (std::size_t p = 0; p < P; ++p) std::memcpy(&out[p], row + p * kLanes<V>, sizeof(V));
}

// Rows r0 .. r0 + R - 1 of the triangle over P vectors of consecutive points: z_r = sum over k > r of
// X_rk a_k, then Re(conj(a_r) z_r) is added to the partial sums. Each steering vector a_k is loaded
// once for all R rows, and the 2 R P accumulators leave enough independent chains to hide the
// multiply-add latency.
template <typename V, std::size_t P, std::size_t R>
[[gnu::always_inline]] inline void rowTile(const Triangle& t, std::size_t r0, std::size_t point,
                                           V (&partial)[P]) {
    const std::size_t m = t.microphones;
    std::size_t base[R];
    for (std::size_t i = 0; i < R; ++i) base[i] = rowBase(r0 + i, m);
    V zr[R][P] = {};
    V zi[R][P] = {};
    V ur[P];
    V ui[P];
    // The corner of the tile: pair (r0 + i, k) exists only for k > r0 + i.
    for (std::size_t k = r0 + 1; k < std::min(r0 + R, m); ++k) {
        loadPoints(ur, t.planeRe + k * t.stride + point);
        loadPoints(ui, t.planeIm + k * t.stride + point);
        for (std::size_t i = 0; i < R; ++i) {
            if (r0 + i >= k) continue;
            const float c = t.pairRe[base[i] + k];
            const float d = t.pairIm[base[i] + k];
            for (std::size_t p = 0; p < P; ++p) {
                zr[i][p] = zr[i][p] + c * ur[p] - d * ui[p];
                zi[i][p] = zi[i][p] + c * ui[p] + d * ur[p];
            }
        }
    }
    for (std::size_t k = r0 + R; k < m; ++k) {
        loadPoints(ur, t.planeRe + k * t.stride + point);
        loadPoints(ui, t.planeIm + k * t.stride + point);
        for (std::size_t i = 0; i < R; ++i) {
            const float c = t.pairRe[base[i] + k];
            const float d = t.pairIm[base[i] + k];
            for (std::size_t p = 0; p < P; ++p) {
                zr[i][p] = zr[i][p] + c * ur[p] - d * ui[p];
                zi[i][p] = zi[i][p] + c * ui[p] + d * ur[p];
            }
        }
    }
    for (std::size_t i = 0; i < R; ++i) {
        loadPoints(ur, t.planeRe + (r0 + i) * t.stride + point);
        loadPoints(ui, t.planeIm + (r0 + i) * t.stride + point);
        for (std::size_t p = 0; p < P; ++p) partial[p] = partial[p] + ur[p] * zr[i][p] + ui[p] * zi[i][p];
    }
}

template <typename V, std::size_t P>
[[gnu::always_inline]] inline void flush(V (&partial)[P], float* scratch, double* accumulator) {
    constexpr std::size_t kWidth = P * kLanes<V>;
    std::memcpy(scratch, partial, sizeof(partial));
    for (std::size_t q = 0; q < kWidth; ++q) accumulator[q] += scratch[q];
    for (std::size_t p = 0; p < P; ++p) partial[p] = V{};
}

// Pulls the next chunk's steering rows towards the core while this one computes: the rows lie one
// plane stride apart, a pattern the hardware prefetchers follow poorly.
void prefetchChunk(const Triangle& t, std::size_t point, std::size_t count) {
    constexpr std::size_t kLineFloats = 16;
    for (std::size_t m = 0; m < t.microphones; ++m) {
        for (std::size_t q = 0; q < count; q += kLineFloats) {
            __builtin_prefetch(t.planeRe + m * t.stride + point + q, 0, 2);
            __builtin_prefetch(t.planeIm + m * t.stride + point + q, 0, 2);
        }
    }
}

// One chunk of P vectors of points through the whole triangle, R rows at a time. The float partial
// sums go into the double accumulator before they hold more than kPairsPerFlush pairs (or one tile).
template <typename V, std::size_t P, std::size_t R>
[[gnu::always_inline]] inline void chunk(const Triangle& t, std::size_t point, float* scratch,
                                         double* accumulator) {
    constexpr std::size_t kWidth = P * kLanes<V>;
    const std::size_t m = t.microphones;
    if (point + 2 * kWidth <= t.stride) prefetchChunk(t, point + kWidth, kWidth);
    V partial[P] = {};
    std::size_t sinceFlush = 0;
    std::size_t r0 = 0;
    for (; r0 + R < m; r0 += R) {
        // Rows r0 .. r0 + R - 1 hold R (m - r0) - R (R + 1) / 2 pairs.
        const std::size_t tilePairs = R * (m - r0) - R * (R + 1) / 2;
        if (sinceFlush > 0 && sinceFlush + tilePairs > kPairsPerFlush) {
            flush(partial, scratch, accumulator);
            sinceFlush = 0;
        }
        rowTile<V, P, R>(t, r0, point, partial);
        sinceFlush += tilePairs;
    }
    for (; r0 + 1 < m; ++r0) {
        const std::size_t rowPairs = m - 1 - r0;
        if (sinceFlush > 0 && sinceFlush + rowPairs > kPairsPerFlush) {
            flush(partial, scratch, accumulator);
            sinceFlush = 0;
        }
        rowTile<V, P, 1>(t, r0, point, partial);
        sinceFlush += rowPairs;
    }
    flush(partial, scratch, accumulator);
}

// Wide chunks of two vectors, then one, then narrow vectors, then single points.
template <typename Wide, typename Narrow, std::size_t R>
[[gnu::always_inline]] inline void evaluate(const Triangle& t, std::size_t first, std::size_t end,
                                            float* scratch, double* accumulator) {
    std::size_t point = first;
    for (; point + 2 * kLanes<Wide> <= end; point += 2 * kLanes<Wide>) {
        chunk<Wide, 2, R>(t, point, scratch + (point - first), accumulator + (point - first));
    }
    for (; point + kLanes<Wide> <= end; point += kLanes<Wide>) {
        chunk<Wide, 1, R>(t, point, scratch + (point - first), accumulator + (point - first));
    }
    for (; point + kLanes<Narrow> <= end; point += kLanes<Narrow>) {
        chunk<Narrow, 1, R>(t, point, scratch + (point - first), accumulator + (point - first));
    }
    for (; point < end; ++point) {
        chunk<float, 1, R>(t, point, scratch + (point - first), accumulator + (point - first));
    }
}

#ifdef ZK_DISPATCH_KERNELS
// Sixteen accumulators of 32 registers: four rows by two vectors.
__attribute__((target("avx512f,avx512bw,avx512dq,avx512vl"))) void evaluateAvx512(
    const Triangle& t, std::size_t first, std::size_t end, float* scratch, double* accumulator) {
    evaluate<Float16, Float4, 4>(t, first, end, scratch, accumulator);
}

// Eight accumulators of 16 registers: two rows by two vectors.
__attribute__((target("avx2,fma"))) void evaluateAvx2(const Triangle& t, std::size_t first, std::size_t end,
                                                      float* scratch, double* accumulator) {
    evaluate<Float8, Float4, 2>(t, first, end, scratch, accumulator);
}
#endif

void evaluateBaseline(const Triangle& t, std::size_t first, std::size_t end, float* scratch,
                      double* accumulator) {
    evaluate<Float4, float, 2>(t, first, end, scratch, accumulator);
}

}  // namespace

VectorLevel accumulatePairQuadraticForm(std::span<const float> planeRe, std::span<const float> planeIm,
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
    if (pairs == 0 || first >= end) return vectorLevel();
    const Triangle t{planeRe.data(), planeIm.data(), gridPointCount, m, pairRe.data(), pairIm.data()};
    switch (vectorLevel()) {
#ifdef ZK_DISPATCH_KERNELS
        case VectorLevel::kAvx512:
            evaluateAvx512(t, first, end, scratch.data(), accumulator.data());
            return VectorLevel::kAvx512;
        case VectorLevel::kAvx2:
            evaluateAvx2(t, first, end, scratch.data(), accumulator.data());
            return VectorLevel::kAvx2;
#endif
        default:
            evaluateBaseline(t, first, end, scratch.data(), accumulator.data());
            return VectorLevel::kBaseline;
    }
}

}  // namespace zk::core::detail
