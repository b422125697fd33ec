#pragma once

// Independent double-precision model of the camera-grid steering vectors, of plane waves and of
// synthetic cross-spectral matrices, for checking the beamforming maps against closed forms. Written
// from the pinhole geometry, never through the Beamformer.

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <cstdint>
#include <limits>
#include <numbers>
#include <random>
#include <span>
#include <vector>

#include "core/beamforming/beamformer.h"

namespace zk::core::testmodel {

using cd = std::complex<double>;
using Vec = std::vector<cd>;

inline constexpr double kSoundSpeed = 343.0;
inline constexpr double kFarField = std::numeric_limits<double>::infinity();

struct Grid {
    double hSpan = 40.0;
    double vSpan = 20.0;
    double hCentre = 0.0;
    double vCentre = 0.0;
    double hStep = 2.0;
    double vStep = 2.0;
    double focus = kFarField;

    std::uint64_t columns() const { return static_cast<std::uint64_t>(std::floor(hSpan / hStep)) + 1; }
    std::uint64_t rows() const { return static_cast<std::uint64_t>(std::floor(vSpan / vStep)) + 1; }
    std::uint64_t cells() const { return columns() * rows(); }
    double h(std::uint64_t c) const {
        return (static_cast<double>(c) - static_cast<double>(columns() - 1) / 2.0) * hStep + hCentre;
    }
    double v(std::uint64_t r) const {
        return (static_cast<double>(r) - static_cast<double>(rows() - 1) / 2.0) * vStep + vCentre;
    }
    std::uint64_t cell(std::uint64_t r, std::uint64_t c) const { return r * columns() + c; }
};

// Unit look direction of the pinhole camera ray through (horizontal, vertical) degrees.
inline std::array<double, 3> lookDirection(double horizontalDeg, double verticalDeg) {
    const double tx = std::tan(horizontalDeg * std::numbers::pi / 180.0);
    const double ty = std::tan(verticalDeg * std::numbers::pi / 180.0);
    const double n = std::sqrt(1.0 + tx * tx + ty * ty);
    return {tx / n, ty / n, 1.0 / n};
}

// Pinhole ray through (h, v), far-field or focused path differences, exp(-i 2 pi f d / c). The far
// field projects the microphones on the ray in the array plane; the earliest one has zero delay.
inline Vec steeringToward(const std::vector<MicrophonePosition>& mics, double speed, double hDeg, double vDeg,
                          double frequencyHz, double focus = kFarField) {
    const double tx = std::tan(hDeg * std::numbers::pi / 180.0);
    const double ty = std::tan(vDeg * std::numbers::pi / 180.0);
    const double n = std::sqrt(1.0 + tx * tx + ty * ty);
    std::vector<double> d(mics.size());
    if (std::isinf(focus)) {
        double top = 0.0;
        for (std::size_t m = 0; m < mics.size(); ++m) {
            d[m] = (tx * mics[m].x + ty * mics[m].y) / n;
            top = std::max(top, d[m]);
        }
        for (double& value : d) value = top - value;
    } else {
        const double px = focus * tx / n, py = focus * ty / n, pz = focus / n;
        for (std::size_t m = 0; m < mics.size(); ++m) {
            const double dx = px - mics[m].x, dy = py - mics[m].y, dz = pz - mics[m].z;
            d[m] = std::sqrt(dx * dx + dy * dy + dz * dz) - focus;
        }
    }
    Vec a(mics.size());
    for (std::size_t m = 0; m < mics.size(); ++m) {
        a[m] = std::polar(1.0, -2.0 * std::numbers::pi * frequencyHz * d[m] / speed);
    }
    return a;
}

// Steering vector of one grid cell, at the grid's focus.
inline Vec steering(const std::vector<MicrophonePosition>& mics, double speed, const Grid& grid,
                    std::uint64_t cell, double frequencyHz) {
    return steeringToward(mics, speed, grid.h(cell % grid.columns()), grid.v(cell / grid.columns()),
                          frequencyHz, grid.focus);
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

// Steering vector a_m = exp(-i 2 pi f tau_m) of a physical plane wave, up to a common phase.
inline Vec planeWaveSteering(const std::vector<MicrophonePosition>& mics, double frequencyHz,
                             double horizontalDeg, double verticalDeg, double speedOfSound) {
    Vec a;
    for (double tau : planeWaveDelays(mics, horizontalDeg, verticalDeg, speedOfSound)) {
        a.push_back(std::polar(1.0, -2.0 * std::numbers::pi * frequencyHz * tau));
    }
    return a;
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

inline MatrixRows zeroMatrix(std::size_t M) { return MatrixRows(M, Vec(M, cd{})); }

// R += power v v^H
inline void addSource(MatrixRows& R, const Vec& v, double power) {
    for (std::size_t i = 0; i < v.size(); ++i) {
        for (std::size_t k = 0; k < v.size(); ++k) {
            R[i][k] += power * v[i] * std::conj(v[k]);
        }
    }
}

inline void addNoise(MatrixRows& R, double power) {
    for (std::size_t i = 0; i < R.size(); ++i) {
        R[i][i] += power;
    }
}

struct Source {
    Vec v;
    double power;
};

// R = sum of power * v v^H plus noise * I, as rows.
inline MatrixRows mixture(const std::vector<Source>& sources, double noise, std::size_t M) {
    MatrixRows R = zeroMatrix(M);
    for (const Source& s : sources) addSource(R, s.v, s.power);
    addNoise(R, noise);
    return R;
}

inline MatrixRows outerProduct(const Vec& v) {
    MatrixRows r(v.size(), Vec(v.size()));
    for (std::size_t i = 0; i < v.size(); ++i) {
        for (std::size_t j = 0; j < v.size(); ++j) r[i][j] = v[i] * std::conj(v[j]);
    }
    return r;
}

// A random positive semi-definite Hermitian matrix: a sum of rank-one terms of random vectors.
inline MatrixRows randomCsm(std::size_t m, std::size_t terms, std::mt19937& rng) {
    std::normal_distribution<double> n(0.0, 1.0);
    MatrixRows r = zeroMatrix(m);
    for (std::size_t t = 0; t < terms; ++t) {
        Vec v(m);
        for (auto& x : v) x = {n(rng), n(rng)};
        for (std::size_t i = 0; i < m; ++i) {
            for (std::size_t j = 0; j < m; ++j) r[i][j] += v[i] * std::conj(v[j]);
        }
    }
    return r;
}

// a^H R a in double precision over all M x M entries.
inline double quadraticForm(const MatrixRows& R, const Vec& a) {
    cd q{};
    for (std::size_t i = 0; i < a.size(); ++i) {
        for (std::size_t j = 0; j < a.size(); ++j) q += std::conj(a[i]) * R[i][j] * a[j];
    }
    return q.real();
}

// |v^H a|^2
inline double innerProductPower(const Vec& v, const Vec& a) {
    cd sum{};
    for (std::size_t m = 0; m < v.size(); ++m) {
        sum += std::conj(v[m]) * a[m];
    }
    return std::norm(sum);
}

// A planar (z = 0) pseudo-random array inside a square of the given side; random positions keep
// grating lobes away from the test directions.
inline std::vector<MicrophonePosition> planarArray(std::size_t count, double sideM, unsigned seed = 7) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-sideM / 2.0, sideM / 2.0);
    std::vector<MicrophonePosition> mics(count);
    for (auto& m : mics) m = {u(rng), u(rng), 0.0};
    return mics;
}

// Sixteen (by default) microphones scattered over a 0.3 m square, with the adaptive tests' seed.
inline std::vector<MicrophonePosition> scatteredArray(std::size_t count = 16) {
    return planarArray(count, 0.3, 20240611u);
}

// A planar array without grating lobes: microphones on a sunflower spiral of the given radius.
inline std::vector<MicrophonePosition> spiralArray(std::size_t count, double radius) {
    std::vector<MicrophonePosition> mics(count);
    const double golden = std::numbers::pi * (3.0 - std::sqrt(5.0));
    for (std::size_t m = 0; m < count; ++m) {
        const double r = radius * std::sqrt((static_cast<double>(m) + 0.5) / static_cast<double>(count));
        const double angle = golden * static_cast<double>(m);
        mics[m] = {r * std::cos(angle), r * std::sin(angle), 0.0};
    }
    return mics;
}

inline std::uint64_t argmax(std::span<const double> values) {
    std::uint64_t best = 0;
    for (std::uint64_t i = 1; i < values.size(); ++i) {
        if (values[i] > values[best]) best = i;
    }
    return best;
}

}  // namespace zk::core::testmodel
