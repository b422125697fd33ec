#include "core/beamforming/detail/clean_sc_kernels.h"

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstring>
#include <type_traits>

namespace zk::core::detail {

namespace {

// Lane-wise double vectors of the three vector units and the float vectors of as many lanes that they
// are widened from; plain double and float serve the scalar tail. GCC vector types, so that one body
// compiles to SSE2, AVX2 or AVX-512 in its caller's target.
typedef double Double2 __attribute__((vector_size(16)));
typedef double Double4 __attribute__((vector_size(32)));
typedef double Double8 __attribute__((vector_size(64)));
typedef float Float2 __attribute__((vector_size(8)));
typedef float Float4 __attribute__((vector_size(16)));
typedef float Float8 __attribute__((vector_size(32)));

template <typename V>
struct NarrowOf;
template <>
struct NarrowOf<double> {
    using type = float;
};
template <>
struct NarrowOf<Double2> {
    using type = Float2;
};
template <>
struct NarrowOf<Double4> {
    using type = Float4;
};
template <>
struct NarrowOf<Double8> {
    using type = Float8;
};

template <typename V>
constexpr std::size_t kLanes = sizeof(V) / sizeof(double);

// Vectors pass by reference only: by value, a 512-bit vector would take another calling convention in
// the baseline code that instantiates these templates.
template <typename V>
[[gnu::always_inline]] inline void widen(V& out, const float* p) {
    if constexpr (std::is_same_v<V, double>) {
        out = static_cast<double>(*p);
    } else {
        typename NarrowOf<V>::type narrow;
        std::memcpy(&narrow, p, sizeof(narrow));
        out = __builtin_convertvector(narrow, V);
    }
}

template <typename V, std::size_t P>
[[gnu::always_inline]] inline void widenPoints(V (&out)[P], const float* row) {
    for (std::size_t p = 0; p < P; ++p) widen(out[p], row + p * kLanes<V>);
}

template <typename V>
[[gnu::always_inline]] inline void store(double* out, const V& v) {
    std::memcpy(out, &v, sizeof(V));
}

template <typename V>
[[gnu::always_inline]] inline void load(V& v, const double* in) {
    std::memcpy(&v, in, sizeof(V));
}

// Lane by lane, which the compiler turns into one vector square root (the file drops errno for it).
template <typename V>
[[gnu::always_inline]] inline void squareRoot(V& x) {
    if constexpr (std::is_same_v<V, double>) {
        x = __builtin_sqrt(x);
    } else {
        for (std::size_t l = 0; l < kLanes<V>; ++l) x[l] = __builtin_sqrt(x[l]);
    }
}

template <typename V>
[[gnu::always_inline]] inline double laneSum(const V& v) {
    if constexpr (std::is_same_v<V, double>) {
        return v;
    } else {
        double sum = 0.0;
        for (std::size_t l = 0; l < kLanes<V>; ++l) sum += v[l];
        return sum;
    }
}

// Index of pair (r, r + 1) in the packed triangle minus r + 1, so that pair (r, k) sits at
// rowBase(r) + k; the unsigned wrap for r = 0 cancels in that sum.
inline std::size_t rowBase(std::size_t r, std::size_t m) { return r * (2 * m - r - 1) / 2 - (r + 1); }

// Rows r0 .. r0 + R - 1 of the triangle over P vectors of consecutive points: z_r = sum over k > r of
// X_rk a_k, then Re(conj(a_r) z_r) is added to the sums. Each a_k is widened once for all R rows, and the
// 2 R P sums leave enough independent chains to hide the multiply-add latency.
template <typename V, std::size_t P, std::size_t R>
[[gnu::always_inline]] inline void rowTile(const SteeringPlanes& a, const PackedHermitian& x, std::size_t r0,
                                           std::size_t point, V (&sums)[P]) {
    const std::size_t m = a.microphones;
    std::size_t base[R];
    for (std::size_t i = 0; i < R; ++i) base[i] = rowBase(r0 + i, m);
    V zr[R][P] = {};
    V zi[R][P] = {};
    V ur[P];
    V ui[P];
    // The corner of the tile: pair (r0 + i, k) exists only for k > r0 + i.
    for (std::size_t k = r0 + 1; k < std::min(r0 + R, m); ++k) {
        widenPoints(ur, a.re + k * a.stride + point);
        widenPoints(ui, a.im + k * a.stride + point);
        for (std::size_t i = 0; i < R; ++i) {
            if (r0 + i >= k) continue;
            const double c = x.pairRe[base[i] + k];
            const double d = x.pairIm[base[i] + k];
            for (std::size_t p = 0; p < P; ++p) {
                zr[i][p] = zr[i][p] + c * ur[p] - d * ui[p];
                zi[i][p] = zi[i][p] + c * ui[p] + d * ur[p];
            }
        }
    }
    for (std::size_t k = r0 + R; k < m; ++k) {
        widenPoints(ur, a.re + k * a.stride + point);
        widenPoints(ui, a.im + k * a.stride + point);
        for (std::size_t i = 0; i < R; ++i) {
            const double c = x.pairRe[base[i] + k];
            const double d = x.pairIm[base[i] + k];
            for (std::size_t p = 0; p < P; ++p) {
                zr[i][p] = zr[i][p] + c * ur[p] - d * ui[p];
                zi[i][p] = zi[i][p] + c * ui[p] + d * ur[p];
            }
        }
    }
    for (std::size_t i = 0; i < R; ++i) {
        widenPoints(ur, a.re + (r0 + i) * a.stride + point);
        widenPoints(ui, a.im + (r0 + i) * a.stride + point);
        for (std::size_t p = 0; p < P; ++p) sums[p] = sums[p] + ur[p] * zr[i][p] + ui[p] * zi[i][p];
    }
}

// Pulls the next chunk's steering rows towards the core while this one computes: the rows lie one
// plane stride apart, a pattern the hardware prefetchers follow poorly.
void prefetchChunk(const SteeringPlanes& a, std::size_t point, std::size_t count) {
    constexpr std::size_t kLineFloats = 16;
    for (std::size_t m = 0; m < a.microphones; ++m) {
        for (std::size_t q = 0; q < count; q += kLineFloats) {
            __builtin_prefetch(a.re + m * a.stride + point + q, 0, 2);
            __builtin_prefetch(a.im + m * a.stride + point + q, 0, 2);
        }
    }
}

// One chunk of P vectors of points: the pairs R rows at a time, then the diagonal.
template <typename V, std::size_t P, std::size_t R>
[[gnu::always_inline]] inline void formChunk(const SteeringPlanes& a, const PackedHermitian& x,
                                             std::size_t point, std::size_t end, double* out) {
    constexpr std::size_t kWidth = P * kLanes<V>;
    const std::size_t m = a.microphones;
    if (point + 2 * kWidth <= end) prefetchChunk(a, point + kWidth, kWidth);
    V pairs[P] = {};
    std::size_t r0 = 0;
    for (; r0 + R < m; r0 += R) rowTile<V, P, R>(a, x, r0, point, pairs);
    for (; r0 + 1 < m; ++r0) rowTile<V, P, 1>(a, x, r0, point, pairs);
    V diagonal[P] = {};
    V ur[P];
    V ui[P];
    for (std::size_t k = 0; k < m; ++k) {
        widenPoints(ur, a.re + k * a.stride + point);
        widenPoints(ui, a.im + k * a.stride + point);
        for (std::size_t p = 0; p < P; ++p)
            diagonal[p] = diagonal[p] + x.diagonal[k] * (ur[p] * ur[p] + ui[p] * ui[p]);
    }
    for (std::size_t p = 0; p < P; ++p) store(out + p * kLanes<V>, diagonal[p] + 2.0 * pairs[p]);
}

template <typename Wide, typename Narrow, std::size_t R>
[[gnu::always_inline]] inline void formPoints(const SteeringPlanes& a, const PackedHermitian& x,
                                              std::size_t first, std::size_t end, double* out) {
    std::size_t point = first;
    for (; point + 2 * kLanes<Wide> <= end; point += 2 * kLanes<Wide>)
        formChunk<Wide, 2, R>(a, x, point, end, out + (point - first));
    for (; point + kLanes<Wide> <= end; point += kLanes<Wide>)
        formChunk<Wide, 1, R>(a, x, point, end, out + (point - first));
    for (; point + kLanes<Narrow> <= end; point += kLanes<Narrow>)
        formChunk<Narrow, 1, R>(a, x, point, end, out + (point - first));
    for (; point < end; ++point) formChunk<double, 1, R>(a, x, point, end, out + (point - first));
}

// P vectors of points: the projections as sums over the microphones in order, then the residual update.
template <typename V, std::size_t P>
[[gnu::always_inline]] inline void subtractChunk(const SteeringPlanes& a, std::size_t point,
                                                 const double* hRe, const double* hIm, double scale,
                                                 double removed, double* residual) {
    V gr[P] = {};
    V gi[P] = {};
    V ur[P];
    V ui[P];
    for (std::size_t k = 0; k < a.microphones; ++k) {
        widenPoints(ur, a.re + k * a.stride + point);
        widenPoints(ui, a.im + k * a.stride + point);
        const double hr = hRe[k];
        const double hi = hIm[k];
        for (std::size_t p = 0; p < P; ++p) {
            gr[p] = gr[p] + ur[p] * hr + ui[p] * hi;
            gi[p] = gi[p] + ur[p] * hi - ui[p] * hr;
        }
    }
    for (std::size_t p = 0; p < P; ++p) {
        const V pr = scale * gr[p];
        const V pi = scale * gi[p];
        V d;
        load(d, residual + p * kLanes<V>);
        d = d - (pr * pr + pi * pi) * removed;
        const V zero = {};
        store(residual + p * kLanes<V>, d > zero ? d : zero);  // NaN fails the test and becomes 0
    }
}

template <typename Wide, typename Narrow>
[[gnu::always_inline]] inline void subtractPoints(const SteeringPlanes& a, std::size_t first, std::size_t end,
                                                  const double* hRe, const double* hIm, double scale,
                                                  double removed, double* residual) {
    constexpr std::size_t kChunk = 4 * kLanes<Wide>;
    std::size_t point = first;
    for (; point + kChunk <= end; point += kChunk)
        subtractChunk<Wide, 4>(a, point, hRe, hIm, scale, removed, residual + (point - first));
    for (; point + kLanes<Narrow> <= end; point += kLanes<Narrow>)
        subtractChunk<Narrow, 1>(a, point, hRe, hIm, scale, removed, residual + (point - first));
    for (; point < end; ++point)
        subtractChunk<double, 1>(a, point, hRe, hIm, scale, removed, residual + (point - first));
}

// y = X v from the upper triangle, column by column: the part above the diagonal adds X_ik v_k to y_i,
// and its conjugate gives y_k the sum over i < k of conj(X_ik) v_i.
template <typename V>
[[gnu::always_inline]] inline void timesVector(std::size_t m, const double* xRe, const double* xIm,
                                               const double* vRe, const double* vIm, double* yRe,
                                               double* yIm) {
    constexpr std::size_t kWidth = kLanes<V>;
    std::fill_n(yRe, m, 0.0);
    std::fill_n(yIm, m, 0.0);
    for (std::size_t k = 0; k < m; ++k) {
        const double* cr = xRe + k * m;
        const double* ci = xIm + k * m;
        const double ar = vRe[k];
        const double ai = vIm[k];
        V tr = {};
        V ti = {};
        std::size_t i = 0;
        for (; i + kWidth <= k; i += kWidth) {
            V ur, ui, wr, wi, yr, yi;
            load(ur, cr + i);
            load(ui, ci + i);
            load(wr, vRe + i);
            load(wi, vIm + i);
            load(yr, yRe + i);
            load(yi, yIm + i);
            yr = yr + ur * ar - ui * ai;
            yi = yi + ur * ai + ui * ar;
            store(yRe + i, yr);
            store(yIm + i, yi);
            tr = tr + ur * wr + ui * wi;
            ti = ti + ur * wi - ui * wr;
        }
        double sr = laneSum(tr);
        double si = laneSum(ti);
        for (; i < k; ++i) {
            yRe[i] = yRe[i] + cr[i] * ar - ci[i] * ai;
            yIm[i] = yIm[i] + cr[i] * ai + ci[i] * ar;
            sr = sr + cr[i] * vRe[i] + ci[i] * vIm[i];
            si = si + cr[i] * vIm[i] - ci[i] * vRe[i];
        }
        yRe[k] = yRe[k] + sr + cr[k] * ar - ci[k] * ai;
        yIm[k] = yIm[k] + si + cr[k] * ai + ci[k] * ar;
    }
}

// The entries above the diagonal count twice in the modulus sum, their mirror images having the same
// modulus.
template <typename V>
[[gnu::always_inline]] inline double outerProductStep(std::size_t m, const double* xRe, const double* xIm,
                                                      const double* hRe, const double* hIm, double weight,
                                                      double* yRe, double* yIm) {
    constexpr std::size_t kWidth = kLanes<V>;
    V above = {};
    double aboveTail = 0.0;
    double diagonal = 0.0;
    for (std::size_t k = 0; k < m; ++k) {
        const std::size_t column = k * m;
        const double kr = hRe[k];
        const double ki = hIm[k];
        std::size_t i = 0;
        for (; i + kWidth <= k; i += kWidth) {
            V xr, xi, hr, hi;
            load(xr, xRe + column + i);
            load(xi, xIm + column + i);
            load(hr, hRe + i);
            load(hi, hIm + i);
            // h_i conj(h_k)
            const V outerRe = hr * kr + hi * ki;
            const V outerIm = hi * kr - hr * ki;
            const V yr = xr - weight * outerRe;
            const V yi = xi - weight * outerIm;
            store(yRe + column + i, yr);
            store(yIm + column + i, yi);
            V modulus = yr * yr + yi * yi;
            squareRoot(modulus);
            above = above + modulus;
        }
        for (; i < k; ++i) {
            const double yr = xRe[column + i] - weight * (hRe[i] * kr + hIm[i] * ki);
            const double yi = xIm[column + i] - weight * (hIm[i] * kr - hRe[i] * ki);
            yRe[column + i] = yr;
            yIm[column + i] = yi;
            aboveTail += __builtin_sqrt(yr * yr + yi * yi);
        }
        const double yr = xRe[column + k] - weight * (kr * kr + ki * ki);
        const double yi = xIm[column + k];
        yRe[column + k] = yr;
        yIm[column + k] = yi;
        diagonal += __builtin_sqrt(yr * yr + yi * yi);
    }
    return diagonal + 2.0 * (laneSum(above) + aboveTail);
}

#ifdef ZK_DISPATCH_KERNELS
#define ZK_AVX512 __attribute__((target("avx512f,avx512bw,avx512dq,avx512vl")))
// Sixteen sums in 32 registers: four rows by two vectors.
ZK_AVX512 void formAvx512(const SteeringPlanes& a, std::size_t first, std::size_t end,
                          const PackedHermitian& x, double* out) {
    formPoints<Double8, Double4, 4>(a, x, first, end, out);
}
ZK_AVX512 void subtractAvx512(const SteeringPlanes& a, std::size_t first, std::size_t end, const double* hRe,
                              const double* hIm, double scale, double removed, double* residual) {
    subtractPoints<Double8, Double4>(a, first, end, hRe, hIm, scale, removed, residual);
}
ZK_AVX512 void timesVectorAvx512(std::size_t m, const double* xRe, const double* xIm, const double* vRe,
                                 const double* vIm, double* yRe, double* yIm) {
    timesVector<Double8>(m, xRe, xIm, vRe, vIm, yRe, yIm);
}
ZK_AVX512 double outerProductAvx512(std::size_t m, const double* xRe, const double* xIm, const double* hRe,
                                    const double* hIm, double weight, double* yRe, double* yIm) {
    return outerProductStep<Double8>(m, xRe, xIm, hRe, hIm, weight, yRe, yIm);
}
#undef ZK_AVX512

#define ZK_AVX2 __attribute__((target("avx2,fma")))
// Eight sums in 16 registers: two rows by two vectors.
ZK_AVX2 void formAvx2(const SteeringPlanes& a, std::size_t first, std::size_t end, const PackedHermitian& x,
                      double* out) {
    formPoints<Double4, Double2, 2>(a, x, first, end, out);
}
ZK_AVX2 void subtractAvx2(const SteeringPlanes& a, std::size_t first, std::size_t end, const double* hRe,
                          const double* hIm, double scale, double removed, double* residual) {
    subtractPoints<Double4, Double2>(a, first, end, hRe, hIm, scale, removed, residual);
}
ZK_AVX2 void timesVectorAvx2(std::size_t m, const double* xRe, const double* xIm, const double* vRe,
                             const double* vIm, double* yRe, double* yIm) {
    timesVector<Double4>(m, xRe, xIm, vRe, vIm, yRe, yIm);
}
ZK_AVX2 double outerProductAvx2(std::size_t m, const double* xRe, const double* xIm, const double* hRe,
                                const double* hIm, double weight, double* yRe, double* yIm) {
    return outerProductStep<Double4>(m, xRe, xIm, hRe, hIm, weight, yRe, yIm);
}
#undef ZK_AVX2

const CleanScKernels kAvx512Kernels = {VectorLevel::kAvx512, formAvx512, subtractAvx512, timesVectorAvx512,
                                       outerProductAvx512};
const CleanScKernels kAvx2Kernels = {VectorLevel::kAvx2, formAvx2, subtractAvx2, timesVectorAvx2,
                                     outerProductAvx2};
#endif

void formBaseline(const SteeringPlanes& a, std::size_t first, std::size_t end, const PackedHermitian& x,
                  double* out) {
    formPoints<Double2, double, 2>(a, x, first, end, out);
}
void subtractBaseline(const SteeringPlanes& a, std::size_t first, std::size_t end, const double* hRe,
                      const double* hIm, double scale, double removed, double* residual) {
    subtractPoints<Double2, double>(a, first, end, hRe, hIm, scale, removed, residual);
}
void timesVectorBaseline(std::size_t m, const double* xRe, const double* xIm, const double* vRe,
                         const double* vIm, double* yRe, double* yIm) {
    timesVector<Double2>(m, xRe, xIm, vRe, vIm, yRe, yIm);
}
double outerProductBaseline(std::size_t m, const double* xRe, const double* xIm, const double* hRe,
                            const double* hIm, double weight, double* yRe, double* yIm) {
    return outerProductStep<Double2>(m, xRe, xIm, hRe, hIm, weight, yRe, yIm);
}

const CleanScKernels kBaselineKernels = {VectorLevel::kBaseline, formBaseline, subtractBaseline,
                                         timesVectorBaseline, outerProductBaseline};

}  // namespace

const CleanScKernels& cleanScKernels() {
    switch (vectorLevel()) {
#ifdef ZK_DISPATCH_KERNELS
        case VectorLevel::kAvx512:
            return kAvx512Kernels;
        case VectorLevel::kAvx2:
            return kAvx2Kernels;
#endif
        default:
            return kBaselineKernels;
    }
}

}  // namespace zk::core::detail
