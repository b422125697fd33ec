#pragma once

#include <array>
#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

#include "core/beamformer.h"

namespace zk::core::testing {

// A planar (z = 0) pseudo-random array inside a square of the given side; random positions keep
// grating lobes away from the test directions.
inline std::vector<MicrophonePosition> planarArray(std::size_t count, double sideM, unsigned seed = 7) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-sideM / 2.0, sideM / 2.0);
    std::vector<MicrophonePosition> mics(count);
    for (auto& m : mics) m = {u(rng), u(rng), 0.0};
    return mics;
}

// Unit look direction of the pinhole camera ray through (horizontal, vertical) degrees.
inline std::array<double, 3> lookDirection(double horizontalDeg, double verticalDeg) {
    const double tx = std::tan(horizontalDeg * std::numbers::pi / 180.0);
    const double ty = std::tan(verticalDeg * std::numbers::pi / 180.0);
    const double n = std::sqrt(1.0 + tx * tx + ty * ty);
    return {tx / n, ty / n, 1.0 / n};
}

// Arrival delay in seconds of a far-field plane wave from the given direction at each microphone,
// relative to the array origin: a microphone further along the direction hears the wave earlier.
inline std::vector<double> planeWaveDelays(const std::vector<MicrophonePosition>& mics, double horizontalDeg,
                                           double verticalDeg, double speedOfSound) {
    const auto u = lookDirection(horizontalDeg, verticalDeg);
    std::vector<double> delays;
    for (const auto& m : mics) delays.push_back(-(u[0] * m.x + u[1] * m.y + u[2] * m.z) / speedOfSound);
    return delays;
}

// Double-precision steering vector a_m = exp(-i 2 pi f tau_m) of a plane wave, up to a common phase.
inline std::vector<std::complex<double>> planeWaveSteering(const std::vector<MicrophonePosition>& mics,
                                                           double frequencyHz, double horizontalDeg,
                                                           double verticalDeg, double speedOfSound) {
    std::vector<std::complex<double>> a;
    for (double tau : planeWaveDelays(mics, horizontalDeg, verticalDeg, speedOfSound)) {
        a.push_back(std::polar(1.0, -2.0 * std::numbers::pi * frequencyHz * tau));
    }
    return a;
}

inline MatrixRows outerProduct(const std::vector<std::complex<double>>& v) {
    MatrixRows r(v.size(), std::vector<std::complex<double>>(v.size()));
    for (std::size_t i = 0; i < v.size(); ++i) {
        for (std::size_t j = 0; j < v.size(); ++j) r[i][j] = v[i] * std::conj(v[j]);
    }
    return r;
}

// A random positive semi-definite Hermitian matrix: a sum of rank-one terms of random vectors.
inline MatrixRows randomCsm(std::size_t m, std::size_t terms, std::mt19937& rng) {
    std::normal_distribution<double> n(0.0, 1.0);
    MatrixRows r(m, std::vector<std::complex<double>>(m));
    for (std::size_t t = 0; t < terms; ++t) {
        std::vector<std::complex<double>> v(m);
        for (auto& x : v) x = {n(rng), n(rng)};
        for (std::size_t i = 0; i < m; ++i) {
            for (std::size_t j = 0; j < m; ++j) r[i][j] += v[i] * std::conj(v[j]);
        }
    }
    return r;
}

// Brute-force a^H R a in double precision.
inline double quadraticForm(const MatrixRows& r, const std::vector<std::complex<double>>& a) {
    std::complex<double> q{};
    for (std::size_t i = 0; i < a.size(); ++i) {
        for (std::size_t j = 0; j < a.size(); ++j) q += std::conj(a[i]) * r[i][j] * a[j];
    }
    return q.real();
}

// Interleaved int16 samples (frame by frame, microphone order) of a far-field plane wave from the
// given camera direction: a sum of sinusoids at the given frequencies, each microphone delayed by its
// arrival time. The delays are applied analytically, so they need not be whole samples.
inline std::vector<std::int16_t> planeWaveSamples(const std::vector<MicrophonePosition>& mics,
                                                  double horizontalDeg, double verticalDeg,
                                                  const std::vector<double>& frequenciesHz, double amplitude,
                                                  double sampleRateHz, std::size_t samplesPerChannel,
                                                  double speedOfSound, unsigned seed = 17) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> phase(0.0, 2.0 * std::numbers::pi);
    std::vector<double> phases;
    for (std::size_t i = 0; i < frequenciesHz.size(); ++i) phases.push_back(phase(rng));
    const auto delays = planeWaveDelays(mics, horizontalDeg, verticalDeg, speedOfSound);
    std::vector<std::int16_t> out(samplesPerChannel * mics.size());
    for (std::size_t n = 0; n < samplesPerChannel; ++n) {
        for (std::size_t m = 0; m < mics.size(); ++m) {
            const double t = static_cast<double>(n) / sampleRateHz - delays[m];
            double v = 0.0;
            for (std::size_t i = 0; i < frequenciesHz.size(); ++i) {
                v += amplitude * std::sin(2.0 * std::numbers::pi * frequenciesHz[i] * t + phases[i]);
            }
            out[n * mics.size() + m] = static_cast<std::int16_t>(std::lround(v));
        }
    }
    return out;
}

}  // namespace zk::core::testing
