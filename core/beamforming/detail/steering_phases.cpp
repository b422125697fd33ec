#include "core/beamforming/detail/steering_phases.h"

#include <bit>
#include <cassert>
#include <cmath>
#include <cstddef>

#include "core/platform/cpu_features.h"

#ifdef ZK_DISPATCH_KERNELS
#include <immintrin.h>
#endif

// This file is compiled with -ffp-contract=off: the AVX2 variant may not fuse the multiplies and adds
// of the baseline into FMAs, or its floats would differ in the last bit.

namespace zk::core::detail {

namespace {

// Phases up to this size go through the vectorisable sincos below; the reduction by pi / 2 stays exact
// while the quadrant count has at most 20 bits. Real grids and bands stay below 10^3 rad.
constexpr double kFastPhaseLimit = 1.0e5;

// sin and cos of |x| <= kFastPhaseLimit within a few double ulps, written so that the compiler vectorises
// it; the library sincos is one scalar call per term and several times slower. Two-part
// Cody-Waite reduction (the high part of pi / 2 has 33 bits, so n times it is exact), then the fdlibm
// minimax polynomials on [-pi / 4, pi / 4].
[[gnu::always_inline]] inline void sinCosReduced(double x, double& sinX, double& cosX) {
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

// complex<float> is laid out as float[2]; plain float stores keep the first loop vectorisable. Terms
// beyond the fast range (or NaN) are redone with the library functions, term by term, so the value of a
// term never depends on its neighbours.
[[gnu::always_inline]] inline void phaseTermsBody(double k, const double* __restrict d, std::size_t count,
                                                  float* __restrict out) {
    for (std::size_t i = 0; i < count; ++i) {
        double sinPhi = 0.0;
        double cosPhi = 0.0;
        sinCosReduced(k * d[i], sinPhi, cosPhi);
        out[2 * i] = static_cast<float>(cosPhi);
        out[2 * i + 1] = static_cast<float>(-sinPhi);
    }
    std::size_t slow = 0;  // a count, not a flag, so that the check vectorises too
    for (std::size_t i = 0; i < count; ++i) slow += !(std::abs(k * d[i]) <= kFastPhaseLimit);
    if (slow == 0) return;
    for (std::size_t i = 0; i < count; ++i) {
        const double phi = k * d[i];
        if (!(std::abs(phi) <= kFastPhaseLimit)) {
            out[2 * i] = static_cast<float>(std::cos(phi));
            out[2 * i + 1] = static_cast<float>(-std::sin(phi));
        }
    }
}

[[gnu::always_inline]] inline void regroupBody(const float* __restrict terms, std::size_t points,
                                               std::size_t m, float* __restrict re, float* __restrict im,
                                               std::size_t stride) {
    for (std::size_t mic = 0; mic < m; ++mic) {
        for (std::size_t g = 0; g < points; ++g) {
            re[mic * stride + g] = terms[2 * (g * m + mic)];
            im[mic * stride + g] = terms[2 * (g * m + mic) + 1];
        }
    }
}

#ifdef ZK_DISPATCH_KERNELS
__attribute__((target("avx2,fma"))) void phaseTermsAvx2(double k, const double* d, std::size_t count,
                                                        float* out) {
    phaseTermsBody(k, d, count, out);
}
__attribute__((target("avx512f,avx512bw,avx512dq,avx512vl"))) void phaseTermsAvx512(double k, const double* d,
                                                                                    std::size_t count,
                                                                                    float* out) {
    phaseTermsBody(k, d, count, out);
}

// 8 points x 8 microphones of terms into 8 rows of 8 points per plane: each point's 16 floats are split
// into real and imaginary parts, then both 8 x 8 tiles are transposed in registers.
__attribute__((target("avx2"), always_inline)) inline void regroupTile(const float* terms, std::size_t m,
                                                                       float* re, float* im,
                                                                       std::size_t stride) {
    __m256 rows[2][8];
    for (std::size_t p = 0; p < 8; ++p) {
        const __m256 low = _mm256_loadu_ps(terms + 2 * p * m);
        const __m256 high = _mm256_loadu_ps(terms + 2 * p * m + 8);
        // Within each 128-bit lane the shuffle takes parts 0 and 1 of low, then of high; the permute
        // restores microphone order across the lanes.
        const __m256 reMixed = _mm256_shuffle_ps(low, high, _MM_SHUFFLE(2, 0, 2, 0));
        const __m256 imMixed = _mm256_shuffle_ps(low, high, _MM_SHUFFLE(3, 1, 3, 1));
        rows[0][p] =
            _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(reMixed), _MM_SHUFFLE(3, 1, 2, 0)));
        rows[1][p] =
            _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(imMixed), _MM_SHUFFLE(3, 1, 2, 0)));
    }
    for (std::size_t part = 0; part < 2; ++part) {
        const __m256* r = rows[part];
        const __m256 t0 = _mm256_unpacklo_ps(r[0], r[1]);
        const __m256 t1 = _mm256_unpackhi_ps(r[0], r[1]);
        const __m256 t2 = _mm256_unpacklo_ps(r[2], r[3]);
        const __m256 t3 = _mm256_unpackhi_ps(r[2], r[3]);
        const __m256 t4 = _mm256_unpacklo_ps(r[4], r[5]);
        const __m256 t5 = _mm256_unpackhi_ps(r[4], r[5]);
        const __m256 t6 = _mm256_unpacklo_ps(r[6], r[7]);
        const __m256 t7 = _mm256_unpackhi_ps(r[6], r[7]);
        const __m256 u0 = _mm256_shuffle_ps(t0, t2, _MM_SHUFFLE(1, 0, 1, 0));
        const __m256 u1 = _mm256_shuffle_ps(t0, t2, _MM_SHUFFLE(3, 2, 3, 2));
        const __m256 u2 = _mm256_shuffle_ps(t1, t3, _MM_SHUFFLE(1, 0, 1, 0));
        const __m256 u3 = _mm256_shuffle_ps(t1, t3, _MM_SHUFFLE(3, 2, 3, 2));
        const __m256 u4 = _mm256_shuffle_ps(t4, t6, _MM_SHUFFLE(1, 0, 1, 0));
        const __m256 u5 = _mm256_shuffle_ps(t4, t6, _MM_SHUFFLE(3, 2, 3, 2));
        const __m256 u6 = _mm256_shuffle_ps(t5, t7, _MM_SHUFFLE(1, 0, 1, 0));
        const __m256 u7 = _mm256_shuffle_ps(t5, t7, _MM_SHUFFLE(3, 2, 3, 2));
        float* out = part == 0 ? re : im;
        _mm256_storeu_ps(out + 0 * stride, _mm256_permute2f128_ps(u0, u4, 0x20));
        _mm256_storeu_ps(out + 1 * stride, _mm256_permute2f128_ps(u1, u5, 0x20));
        _mm256_storeu_ps(out + 2 * stride, _mm256_permute2f128_ps(u2, u6, 0x20));
        _mm256_storeu_ps(out + 3 * stride, _mm256_permute2f128_ps(u3, u7, 0x20));
        _mm256_storeu_ps(out + 4 * stride, _mm256_permute2f128_ps(u0, u4, 0x31));
        _mm256_storeu_ps(out + 5 * stride, _mm256_permute2f128_ps(u1, u5, 0x31));
        _mm256_storeu_ps(out + 6 * stride, _mm256_permute2f128_ps(u2, u6, 0x31));
        _mm256_storeu_ps(out + 7 * stride, _mm256_permute2f128_ps(u3, u7, 0x31));
    }
}

// Whole 8 x 8 tiles through registers, the ragged edges through the plain loop.
__attribute__((target("avx2"), always_inline)) inline void regroupTiled(const float* terms,
                                                                        std::size_t points, std::size_t m,
                                                                        float* re, float* im,
                                                                        std::size_t stride) {
    const std::size_t tiledPoints = points - points % 8;
    const std::size_t tiledMics = m - m % 8;
    for (std::size_t g = 0; g < tiledPoints; g += 8) {
        for (std::size_t mic = 0; mic < tiledMics; mic += 8) {
            regroupTile(terms + 2 * (g * m + mic), m, re + mic * stride + g, im + mic * stride + g, stride);
        }
    }
    for (std::size_t mic = tiledMics; mic < m; ++mic) {
        for (std::size_t g = 0; g < tiledPoints; ++g) {
            re[mic * stride + g] = terms[2 * (g * m + mic)];
            im[mic * stride + g] = terms[2 * (g * m + mic) + 1];
        }
    }
    for (std::size_t mic = 0; mic < m; ++mic) {
        for (std::size_t g = tiledPoints; g < points; ++g) {
            re[mic * stride + g] = terms[2 * (g * m + mic)];
            im[mic * stride + g] = terms[2 * (g * m + mic) + 1];
        }
    }
}

__attribute__((target("avx2,fma"))) void regroupAvx2(const float* terms, std::size_t points, std::size_t m,
                                                     float* re, float* im, std::size_t stride) {
    regroupTiled(terms, points, m, re, im, stride);
}
__attribute__((target("avx512f,avx512bw,avx512dq,avx512vl"))) void regroupAvx512(
    const float* terms, std::size_t points, std::size_t m, float* re, float* im, std::size_t stride) {
    regroupTiled(terms, points, m, re, im, stride);
}
#endif

}  // namespace

void steeringPhaseTerms(double wavenumber, std::span<const double> pathDifferences,
                        std::span<std::complex<float>> out) noexcept {
    assert(out.size() >= pathDifferences.size());
    const double* d = pathDifferences.data();
    const std::size_t count = pathDifferences.size();
    float* parts = reinterpret_cast<float*>(out.data());
#ifdef ZK_DISPATCH_KERNELS
    switch (vectorLevel()) {
        case VectorLevel::kAvx512:
            return phaseTermsAvx512(wavenumber, d, count, parts);
        case VectorLevel::kAvx2:
            return phaseTermsAvx2(wavenumber, d, count, parts);
        case VectorLevel::kBaseline:
            break;
    }
#endif
    phaseTermsBody(wavenumber, d, count, parts);
}

void regroupSteeringPlanes(const std::complex<float>* terms, std::uint64_t points,
                           std::uint64_t microphoneCount, float* re, float* im,
                           std::uint64_t stride) noexcept {
    const float* parts = reinterpret_cast<const float*>(terms);
#ifdef ZK_DISPATCH_KERNELS
    switch (vectorLevel()) {
        case VectorLevel::kAvx512:
            return regroupAvx512(parts, points, microphoneCount, re, im, stride);
        case VectorLevel::kAvx2:
            return regroupAvx2(parts, points, microphoneCount, re, im, stride);
        case VectorLevel::kBaseline:
            break;
    }
#endif
    regroupBody(parts, points, microphoneCount, re, im, stride);
}

}  // namespace zk::core::detail
