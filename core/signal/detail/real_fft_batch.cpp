#include "core/signal/detail/real_fft_batch.h"

#include <immintrin.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <numbers>

#include "core/platform/cpu_features.h"

// This file is built with -ffp-contract=off, so every variant rounds like the baseline and a channel's
// spectrum has the same bits whichever variant, batch or lane computed it.

namespace zk::core::detail {

namespace {

// Lane vectors of 2, 4 and 8 doubles (GCC vector extensions).
using Lanes2 = double __attribute__((vector_size(16)));
using Lanes4 = double __attribute__((vector_size(32)));
using Lanes8 = double __attribute__((vector_size(64)));

// V as stored to memory aligned only to its elements.
template <typename V>
struct Unaligned;
template <>
struct Unaligned<Lanes2> {
    using Type = double __attribute__((vector_size(16), aligned(8), may_alias));
};
template <>
struct Unaligned<Lanes4> {
    using Type = double __attribute__((vector_size(32), aligned(8), may_alias));
};
template <>
struct Unaligned<Lanes8> {
    using Type = double __attribute__((vector_size(64), aligned(8), may_alias));
};

// One 16-bit sample per lane widened to doubles. Vectors pass by reference only: by value their ABI would
// differ between the variants. Each variant inlines its own through `flatten`.
inline void loadLanes(Lanes2& out, const std::int16_t* samples) {
    std::int32_t pair;
    std::memcpy(&pair, samples, sizeof(pair));
    const __m128i raw = _mm_cvtsi32_si128(pair);
    out = reinterpret_cast<Lanes2>(_mm_cvtepi32_pd(_mm_srai_epi32(_mm_unpacklo_epi16(raw, raw), 16)));
}

#ifdef ZK_DISPATCH_KERNELS
__attribute__((target("avx2,fma"))) inline void loadLanes(Lanes4& out, const std::int16_t* samples) {
    const __m128i raw = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(samples));
    out = reinterpret_cast<Lanes4>(_mm256_cvtepi32_pd(_mm_cvtepi16_epi32(raw)));
}

__attribute__((target("avx512f,avx512bw,avx512dq,avx512vl"))) inline void loadLanes(
    Lanes8& out, const std::int16_t* samples) {
    const __m128i raw = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples));
    out = reinterpret_cast<Lanes8>(_mm512_maskz_cvtepi32_pd(0xFF, _mm256_cvtepi16_epi32(raw)));
}
#endif

// (re, im) *= (wr, wi).
template <typename V>
[[gnu::always_inline]] inline void rotate(V& re, V& im, double wr, double wi) {
    const V r = re * wr - im * wi;
    im = re * wi + im * wr;
    re = r;
}

template <typename V>
[[gnu::always_inline]] inline void storeLanes(std::complex<double>* const* spectra, std::size_t used,
                                              std::size_t k, const V& re, const V& im) {
    for (std::size_t l = 0; l < used; ++l) {
        spectra[l][k] = {re[l], im[l]};
    }
}

// Transposes the L / 2 bins re[b], im[b] of L channels into one vector per channel,
// (re[0][l], im[0][l], re[1][l], im[1][l], ...), and reverses one such vector into conjugates.
using Indices2 = long long __attribute__((vector_size(16)));
using Indices4 = long long __attribute__((vector_size(32)));
using Indices8 = long long __attribute__((vector_size(64)));

[[gnu::always_inline]] inline void transposeBins(const Lanes2* re, const Lanes2* im, Lanes2* lanes) {
    lanes[0] = __builtin_shuffle(re[0], im[0], Indices2{0, 2});
    lanes[1] = __builtin_shuffle(re[0], im[0], Indices2{1, 3});
}

[[gnu::always_inline]] inline void transposeBins(const Lanes4* re, const Lanes4* im, Lanes4* lanes) {
    const Lanes4 even0 = __builtin_shuffle(re[0], im[0], Indices4{0, 4, 2, 6});
    const Lanes4 odd0 = __builtin_shuffle(re[0], im[0], Indices4{1, 5, 3, 7});
    const Lanes4 even1 = __builtin_shuffle(re[1], im[1], Indices4{0, 4, 2, 6});
    const Lanes4 odd1 = __builtin_shuffle(re[1], im[1], Indices4{1, 5, 3, 7});
    lanes[0] = __builtin_shuffle(even0, even1, Indices4{0, 1, 4, 5});
    lanes[2] = __builtin_shuffle(even0, even1, Indices4{2, 3, 6, 7});
    lanes[1] = __builtin_shuffle(odd0, odd1, Indices4{0, 1, 4, 5});
    lanes[3] = __builtin_shuffle(odd0, odd1, Indices4{2, 3, 6, 7});
}

[[gnu::always_inline]] inline void transposeBins(const Lanes8* re, const Lanes8* im, Lanes8* lanes) {
    for (std::size_t parity = 0; parity < 2; ++parity) {
        // Pairs (re, im) of lanes parity, parity + 2, parity + 4, parity + 6 of each bin.
        Lanes8 pairs[4];
        for (std::size_t b = 0; b < 4; ++b) {
            pairs[b] = parity == 0 ? __builtin_shuffle(re[b], im[b], Indices8{0, 8, 2, 10, 4, 12, 6, 14})
                                   : __builtin_shuffle(re[b], im[b], Indices8{1, 9, 3, 11, 5, 13, 7, 15});
        }
        const Lanes8 low01 = __builtin_shuffle(pairs[0], pairs[1], Indices8{0, 1, 8, 9, 2, 3, 10, 11});
        const Lanes8 high01 = __builtin_shuffle(pairs[0], pairs[1], Indices8{4, 5, 12, 13, 6, 7, 14, 15});
        const Lanes8 low23 = __builtin_shuffle(pairs[2], pairs[3], Indices8{0, 1, 8, 9, 2, 3, 10, 11});
        const Lanes8 high23 = __builtin_shuffle(pairs[2], pairs[3], Indices8{4, 5, 12, 13, 6, 7, 14, 15});
        lanes[parity] = __builtin_shuffle(low01, low23, Indices8{0, 1, 2, 3, 8, 9, 10, 11});
        lanes[parity + 2] = __builtin_shuffle(low01, low23, Indices8{4, 5, 6, 7, 12, 13, 14, 15});
        lanes[parity + 4] = __builtin_shuffle(high01, high23, Indices8{0, 1, 2, 3, 8, 9, 10, 11});
        lanes[parity + 6] = __builtin_shuffle(high01, high23, Indices8{4, 5, 6, 7, 12, 13, 14, 15});
    }
}

[[gnu::always_inline]] inline void reverseConjugates(Lanes4& v) {
    v = __builtin_shuffle(v, Indices4{2, 3, 0, 1}) * Lanes4{1.0, -1.0, 1.0, -1.0};
}

[[gnu::always_inline]] inline void reverseConjugates(Lanes8& v) {
    v = __builtin_shuffle(v, Indices8{6, 7, 4, 5, 2, 3, 0, 1}) *
        Lanes8{1.0, -1.0, 1.0, -1.0, 1.0, -1.0, 1.0, -1.0};
}

[[gnu::always_inline]] inline void reverseConjugates(Lanes2& v) { v *= Lanes2{1.0, -1.0}; }

// Bins k .. k + L/2 - 1 of every channel to their places, and their conjugates, reversed, to the bins
// starting at `mirror` (none when mirror is 0).
template <typename V>
[[gnu::always_inline]] inline void storeBlock(std::complex<double>* const* spectra, std::size_t k,
                                              std::size_t mirror, const V* re, const V* im) {
    constexpr std::size_t L = sizeof(V) / sizeof(double);
    using Store = typename Unaligned<V>::Type;
    V lanes[L];
    transposeBins(re, im, lanes);
#pragma GCC unroll 8
    for (std::size_t l = 0; l < L; ++l) {
        *reinterpret_cast<Store*>(spectra[l] + k) = lanes[l];
        if (mirror != 0) {
            reverseConjugates(lanes[l]);
            *reinterpret_cast<Store*>(spectra[l] + mirror) = lanes[l];
        }
    }
}

// Everything one variant runs, on `L` channels at once. Each lane runs the scalar algorithm: mean, window,
// the half-length complex transform (bit-reversed load, decimation-in-time stages two at a time), then the
// split into the real spectrum X[k] = E[k] + W^k O[k] with E, O the transforms of the even and odd samples.
template <typename V>
inline void transformBody(const RealFftBatchPlan& plan, const RealFftBatch& batch, double* scratch) {
    constexpr std::size_t L = sizeof(V) / sizeof(double);
    const std::size_t n = plan.frameSize;
    const std::size_t m = n / 2;
    V* re = reinterpret_cast<V*>(scratch);
    V* im = re + m;

    // A partial batch is first copied into a zero-padded block, so every load below reads L samples.
    const std::int16_t* samples = batch.samples;
    std::size_t stride = batch.stride;
    if (batch.lanesUsed < L) {
        auto* staged = reinterpret_cast<std::int16_t*>(im + m);
        for (std::size_t k = 0; k < n; ++k) {
            for (std::size_t l = 0; l < L; ++l) {
                staged[k * L + l] = l < batch.lanesUsed ? samples[k * stride + l] : std::int16_t{0};
            }
        }
        samples = staged;
        stride = L;
    }
    // Widen every sample once into its bit-reversed slot. The partial sums are integers below 2^53, so
    // they are exact in any order and two of them run side by side.
    V sumEven = {};
    V sumOdd = {};
    for (std::size_t j = 0; j < m; ++j) {
        const std::uint32_t r = plan.bitReverse[j];
        loadLanes(re[r], samples + 2 * j * stride);
        loadLanes(im[r], samples + (2 * j + 1) * stride);
        sumEven += re[r];
        sumOdd += im[r];
    }
    const V mean = (sumEven + sumOdd) / static_cast<double>(n);
    const double* w = batch.window;
    const double scale = batch.scale;
    const auto windowed = [&](std::size_t slot, V & xr, V & xi) __attribute__((always_inline)) {
        const std::size_t k = 2 * plan.bitReverse[slot];
        xr = (re[slot] - mean) * w[k] * scale;
        xi = (im[slot] - mean) * w[k + 1] * scale;
    };

    if (m == 2) {
        V r0, i0, r1, i1;
        windowed(0, r0, i0);
        windowed(1, r1, i1);
        re[0] = r0 + r1;
        im[0] = i0 + i1;
        re[1] = r0 - r1;
        im[1] = i0 - i1;
    }
    // Window, then the stages of half-length 1 and 2, whose twiddles 1 and -i need no products.
    for (std::size_t g = 0; m >= 4 && g < m; g += 4) {
        V r0, i0, r1, i1, r2, i2, r3, i3;
        windowed(g, r0, i0);
        windowed(g + 1, r1, i1);
        windowed(g + 2, r2, i2);
        windowed(g + 3, r3, i3);
        const V br0 = r0 + r1, bi0 = i0 + i1, br1 = r0 - r1, bi1 = i0 - i1;
        const V br2 = r2 + r3, bi2 = i2 + i3, br3 = r2 - r3, bi3 = i2 - i3;
        re[g] = br0 + br2;
        im[g] = bi0 + bi2;
        re[g + 2] = br0 - br2;
        im[g + 2] = bi0 - bi2;
        // -i (br3, bi3) = (bi3, -br3)
        re[g + 1] = br1 + bi3;
        im[g + 1] = bi1 - br3;
        re[g + 3] = br1 - bi3;
        im[g + 3] = bi1 + br3;
    }
    // Two stages per pass (half-lengths h and 2h); the second stage's twiddle for the upper half is the
    // lower one's times -i.
    std::size_t h = 4;
    for (; 4 * h <= m; h *= 4) {
        for (std::size_t g = 0; g < m; g += 4 * h) {
            for (std::size_t j = 0; j < h; ++j) {
                const double w1r = plan.stageRe[h + j];
                const double w1i = plan.stageIm[h + j];
                const double w2r = plan.stageRe[2 * h + j];
                const double w2i = plan.stageIm[2 * h + j];
                const std::size_t a = g + j;
                V r1 = re[a + h], i1 = im[a + h], r3 = re[a + 3 * h], i3 = im[a + 3 * h];
                rotate(r1, i1, w1r, w1i);
                rotate(r3, i3, w1r, w1i);
                const V r0 = re[a], i0 = im[a], r2 = re[a + 2 * h], i2 = im[a + 2 * h];
                const V br0 = r0 + r1, bi0 = i0 + i1, br1 = r0 - r1, bi1 = i0 - i1;
                V br2 = r2 + r3, bi2 = i2 + i3, br3 = r2 - r3, bi3 = i2 - i3;
                rotate(br2, bi2, w2r, w2i);
                rotate(br3, bi3, w2r, w2i);
                re[a] = br0 + br2;
                im[a] = bi0 + bi2;
                re[a + 2 * h] = br0 - br2;
                im[a + 2 * h] = bi0 - bi2;
                re[a + h] = br1 + bi3;
                im[a + h] = bi1 - br3;
                re[a + 3 * h] = br1 - bi3;
                im[a + 3 * h] = bi1 + br3;
            }
        }
    }
    if (h < m) {
        for (std::size_t j = 0; j < h; ++j) {
            V br = re[j + h], bi = im[j + h];
            rotate(br, bi, plan.stageRe[h + j], plan.stageIm[h + j]);
            re[j + h] = re[j] - br;
            im[j + h] = im[j] - bi;
            re[j] += br;
            im[j] += bi;
        }
    }

    // Split into the real spectrum in place: slot k gets X[k] for k < M, and X[M] waits in a register.
    // Bins 0 and M come from Z[0] alone; bin M/2 is conj(Z[M/2]).
    const V zero = {};
    const V xm = re[0] - im[0];
    re[0] += im[0];
    im[0] = zero;
    if (m >= 2) {
        im[m / 2] = -im[m / 2];
    }
    for (std::size_t k = 1; k < m / 2; ++k) {
        const V zr = re[k];
        const V zi = im[k];
        const V yr = re[m - k];
        const V yi = im[m - k];
        const V er = (zr + yr) * 0.5;
        const V ei = (zi - yi) * 0.5;
        const V orr = (zi + yi) * 0.5;
        const V oi = (yr - zr) * 0.5;
        const double wr = plan.postRe[k];
        const double wi = plan.postIm[k];
        const V tr = orr * wr - oi * wi;
        const V ti = orr * wi + oi * wr;
        // X[k] = E + W^k O and X[M - k] = conj(E - W^k O).
        re[k] = er + tr;
        im[k] = ei + ti;
        re[m - k] = er - tr;
        im[m - k] = ti - ei;
    }

    // Out to the channels, X[N - k] = conj(X[k]) for real input. A full batch moves L / 2 bins of every
    // channel per transposed block.
    const std::size_t used = batch.lanesUsed;
    std::complex<double>* const* out = batch.spectra;
    constexpr std::size_t kBlock = L / 2;
    std::size_t first = 0;
    if (used == L && m >= kBlock) {
        for (std::size_t k = 0; k < m; k += kBlock) {
            storeBlock(out, k, k == 0 ? 0 : n - k - kBlock + 1, re + k, im + k);
        }
        // The mirror of block 0 would start at bin N, so its bins go one by one.
        for (std::size_t k = 1; k < kBlock; ++k) {
            storeLanes(out, used, n - k, re[k], -im[k]);
        }
        first = m;
    }
    for (std::size_t k = first; k < m; ++k) {
        storeLanes(out, used, k, re[k], im[k]);
        if (k > 0) {
            storeLanes(out, used, n - k, re[k], -im[k]);
        }
    }
    storeLanes(out, used, m, xm, zero);
}

__attribute__((flatten)) void transformBaseline(const RealFftBatchPlan& plan, const RealFftBatch& batch,
                                                double* scratch) {
    transformBody<Lanes2>(plan, batch, scratch);
}

#ifdef ZK_DISPATCH_KERNELS
__attribute__((target("avx2,fma"), flatten)) void transformAvx2(const RealFftBatchPlan& plan,
                                                                const RealFftBatch& batch, double* scratch) {
    transformBody<Lanes4>(plan, batch, scratch);
}

__attribute__((target("avx512f,avx512bw,avx512dq,avx512vl"), flatten)) void transformAvx512(
    const RealFftBatchPlan& plan, const RealFftBatch& batch, double* scratch) {
    transformBody<Lanes8>(plan, batch, scratch);
}
#endif

}  // namespace

RealFftBatchPlan makeRealFftBatchPlan(std::uint64_t frameSize) {
    RealFftBatchPlan plan;
    plan.frameSize = frameSize;
    const std::size_t m = frameSize / 2;
    const auto bits = static_cast<unsigned>(std::countr_zero(m));
    plan.bitReverse.resize(m);
    for (std::size_t j = 0; j < m; ++j) {
        std::uint32_t r = 0;
        for (unsigned b = 0; b < bits; ++b) {
            r |= static_cast<std::uint32_t>((j >> b) & 1u) << (bits - 1 - b);
        }
        plan.bitReverse[j] = r;
    }
    // Each twiddle straight from cos and sin, so its error does not grow along a recurrence.
    plan.stageRe.assign(m, 1.0);
    plan.stageIm.assign(m, 0.0);
    for (std::size_t h = 1; h < m; h <<= 1) {
        for (std::size_t j = 0; j < h; ++j) {
            const double angle = -std::numbers::pi * static_cast<double>(j) / static_cast<double>(h);
            plan.stageRe[h + j] = std::cos(angle);
            plan.stageIm[h + j] = std::sin(angle);
        }
    }
    plan.postRe.resize(m / 2 + 1);
    plan.postIm.resize(m / 2 + 1);
    for (std::size_t k = 0; k <= m / 2; ++k) {
        const double angle =
            -2.0 * std::numbers::pi * static_cast<double>(k) / static_cast<double>(frameSize);
        plan.postRe[k] = std::cos(angle);
        plan.postIm[k] = std::sin(angle);
    }
    return plan;
}

std::size_t realFftBatchScratchDoubles(std::uint64_t frameSize, std::size_t lanes) {
    // Two planes of N/2 lane vectors, then N lanes of 16-bit samples for a partial batch.
    const std::size_t doubles = frameSize * lanes + (frameSize * lanes + 3) / 4;
    return (doubles + 7) / 8 * 8;
}

std::size_t realFftBatchLanes() {
#ifdef ZK_DISPATCH_KERNELS
    switch (vectorLevel()) {
        case VectorLevel::kAvx512:
            return 8;
        case VectorLevel::kAvx2:
            return 4;
        case VectorLevel::kBaseline:
            break;
    }
#endif
    return 2;
}

void transformRealBatch(const RealFftBatchPlan& plan, [[maybe_unused]] std::size_t lanes,
                        const RealFftBatch& batch, double* scratch) {
#ifdef ZK_DISPATCH_KERNELS
    if (lanes == 8) {
        transformAvx512(plan, batch, scratch);
        return;
    }
    if (lanes == 4) {
        transformAvx2(plan, batch, scratch);
        return;
    }
#endif
    transformBaseline(plan, batch, scratch);
}

}  // namespace zk::core::detail
