#pragma once

#include <complex>
#include <cstdint>
#include <numbers>
#include <span>

// The arithmetic of every steering build, shared by the full tables and the block-wise steering so
// that both give the same floats.
namespace zk::core::detail {

// 2 pi f / c, computed the one way every build uses.
inline double steeringWavenumber(double frequencyHz, double speedOfSound) {
    return 2.0 * std::numbers::pi * frequencyHz / speedOfSound;
}

// out[i] = exp(-i k d[i]) rounded to single precision; out holds pathDifferences.size() terms. The
// AVX2 and AVX-512 variants give the same floats as the baseline.
void steeringPhaseTerms(double wavenumber, std::span<const double> pathDifferences,
                        std::span<std::complex<float>> out) noexcept;

// Regroups `points` point-major terms of M microphones each: term (g, m) goes to re[m * stride + g]
// and im[m * stride + g].
void regroupSteeringPlanes(const std::complex<float>* terms, std::uint64_t points,
                           std::uint64_t microphoneCount, float* re, float* im,
                           std::uint64_t stride) noexcept;

}  // namespace zk::core::detail
