#include "core/signal/detail/real_fft_batch.h"

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

// The 16-bit samples and 32-bit integers of as many lanes as V has.
template <typename V>
struct LaneIntegers;
template <>
struct LaneIntegers<Lanes2> {
    using Samples = short __attribute__((vector_size(4)));
    using Ints = int __attribute__((vector_size(8)));
};
template <>
struct LaneIntegers<Lanes4> {
    using Samples = short __attribute__((vector_size(8)));
    using Ints = int __attribute__((vector_size(16)));
};
template <>
struct LaneIntegers<Lanes8> {
    using Samples = short __attribute__((vector_size(16)));
    using Ints = int __attribute__((vector_size(32)));
};

// Vectors pass by reference only: by value their ABI would differ between the variants. Widening through
// 32-bit integers lets every target use its packed conversions.
template <typename V>
[[gnu::always_inline]] inline void loadLanes(V& out, const std::int16_t* samples) {
    typename LaneIntegers<V>::Samples raw;
    std::memcpy(&raw, samples, sizeof(raw));
    out = __builtin_convertvector(__builtin_convertvector(raw, typename LaneIntegers<V>::Ints), V);
}

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

// Everything one variant runs, on `L` channels at once. Each lane runs the scalar algorithm: mean, window,
// the half-length complex transform (bit-reversed load, radix-2 stages), then the split into the real
// spectrum X[k] = E[k] + W^k O[k] with E, O the transforms of the even and odd samples.
template <typename V>
[[gnu::always_inline]] inline void transformBody(const RealFftBatchPlan& plan, const RealFftBatch& batch,
                                                 double* scratch) {
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

    const std::size_t used = batch.lanesUsed;
    std::complex<double>* const* out = batch.spectra;
    const V zero = {};
    // Bins 0 and N/2 come from Z[0] alone; bin N/4 is conj(Z[N/4]).
    storeLanes<V>(out, used, 0, re[0] + im[0], zero);
    storeLanes<V>(out, used, m, re[0] - im[0], zero);
    if (m >= 2) {
        storeLanes<V>(out, used, m / 2, re[m / 2], -im[m / 2]);
        storeLanes<V>(out, used, n - m / 2, re[m / 2], im[m / 2]);
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
        // X[k] = E + W^k O, X[M - k] = conj(E - W^k O), and X[N - k] = conj(X[k]) for real input.
        storeLanes<V>(out, used, k, er + tr, ei + ti);
        storeLanes<V>(out, used, n - k, er + tr, -(ei + ti));
        storeLanes<V>(out, used, m - k, er - tr, ti - ei);
        storeLanes<V>(out, used, m + k, er - tr, ei - ti);
    }
}

void transformBaseline(const RealFftBatchPlan& plan, const RealFftBatch& batch, double* scratch) {
    transformBody<Lanes2>(plan, batch, scratch);
}

#ifdef ZK_DISPATCH_KERNELS
__attribute__((target("avx2,fma"))) void transformAvx2(const RealFftBatchPlan& plan,
                                                       const RealFftBatch& batch, double* scratch) {
    transformBody<Lanes4>(plan, batch, scratch);
}

__attribute__((target("avx512f,avx512bw,avx512dq,avx512vl"))) void transformAvx512(
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

void transformRealBatch(const RealFftBatchPlan& plan, std::size_t lanes, const RealFftBatch& batch,
                        double* scratch) {
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
