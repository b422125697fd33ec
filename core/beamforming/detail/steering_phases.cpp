#include "core/beamforming/detail/steering_phases.h"

#include <bit>
#include <cassert>
#include <cmath>
#include <cstddef>

#include "core/platform/cpu_features.h"

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
__attribute__((target("avx2,fma"))) void regroupAvx2(const float* terms, std::size_t points, std::size_t m,
                                                     float* re, float* im, std::size_t stride) {
    regroupBody(terms, points, m, re, im, stride);
}
__attribute__((target("avx512f,avx512bw,avx512dq,avx512vl"))) void regroupAvx512(
    const float* terms, std::size_t points, std::size_t m, float* re, float* im, std::size_t stride) {
    regroupBody(terms, points, m, re, im, stride);
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
